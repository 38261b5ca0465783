// Helpers the structural and interface stress routines share: a global nodal
// vector in local components, and the closure lock of the joint and contact
// normal traction.
#pragma once

#include <cstddef>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol::su {

// FL(ildm b + a) = sum_m T(a, m) FE(igdm b + m) for the nblk blocks (T(a, m)
// at t[3 m + a]): the local components of a global nodal vector.
inline void to_local(int ildm, int igdm, int nblk, std::span<const double, 9> t, std::span<const double> fe,
                     std::span<double> fl) {
  for (int b = 0; b < nblk; ++b)
    for (int a = 0; a < ildm; ++a) {
      double s = 0.0;
      for (int m = 0; m < igdm; ++m)
        s += t[static_cast<std::size_t>(3 * m + a)] * fe[static_cast<std::size_t>(igdm * b + m)];
      fl[static_cast<std::size_t>(ildm * b + a)] = s;
    }
}

// Closure lock of a normal traction: with the trial tn, the stored traction
// a and the closure limit tc (tension positive, tc < 0), LOCK is set while tn
// is below tc and cleared at or above it. Leaving the lock with a large
// change sets KITER and puts tn just above tc (its excess over tc divided by
// factor); entering it with a large change sets KITER, or KRERUN (the
// result true: the update ends with this trial) when the overshoot times
// factor exceeds |tn|.
bool closure_lock(double& tn, double a, double tc, double factor, word& lock);

}  // namespace zephsol::su
