// Element stiffness throughput: forms the stiffness of 1,000,000 HEX8 and
// 100,000 HEX20 elements (or the counts given as the first and second
// arguments) through the stiffness dispatcher, cycling over a few distorted
// elements of an elastic material, and prints elements per second with the
// arithmetic rate they imply, beside the DGEMM rate of the same machine
// measured in the same run (single-threaded BLAS).
//
// The arithmetic counted is that of the accumulation K += B^T (w D) B, two
// operations per multiply-add: per point N NS^2 for c = D B and
// NS N (N + 1) / 2 for the packed rows, N the element DOFs, NS = 6. The strain-
// displacement matrices and the rest are not counted, so the fraction shown
// is a lower bound of what the machine delivers.
#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/exec/records.h"
#include "zephsol/matl/mattab.h"
#include "zephsol/matl/matrec.h"
#include "element_fixture.h"

namespace {

using namespace zephsol;
using namespace zephsol::bench;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Seconds to form `count` element stiffnesses of type iecod; the check sum of
// the diagonals keeps the work observable.
double time_elements(word iecod, long count, double& check) {
  constexpr int kVariants = 16;
  std::vector<word> area(100000);
  std::vector<double> ke(1830), v(60);
  std::vector<std::array<float, 60>> xyz(kVariants);
  for (int i = 0; i < kVariants; ++i) {
    set_element(iecod, i);
    std::copy_n(estcom().XYZ.begin(), 60, xyz[static_cast<std::size_t>(i)].begin());
  }
  EIVRDA(0, area);
  const int n = etycom().NDOF;
  check = 0.0;
  const auto t0 = Clock::now();
  for (long e = 0; e < count; ++e) {
    std::copy_n(xyz[static_cast<std::size_t>(e % kVariants)].begin(), 60, estcom().XYZ.begin());
    KELEM(ke, {}, v, 0);
    check += ke[0] + ke[static_cast<std::size_t>(n * (n + 1) / 2 - 1)];
  }
  return seconds_since(t0);
}

// Counted operations of one element: points x (N NS^2 + NS N (N + 1) / 2) x 2.
double element_flops(int points, int n) {
  constexpr int ns = 6;
  return points * 2.0 * (double(n) * ns * ns + double(ns) * n * (n + 1) / 2.0);
}

}  // namespace

int main(int argc, char** argv) {
  sparse::blas_single_thread();
  const long n8 = argc > 1 ? std::atol(argv[1]) : 1000000;
  const long n20 = argc > 2 ? std::atol(argv[2]) : 100000;
  reset_exec_state();
  const double peak = dgemm_rate();
  std::printf("DGEMM (n = 1000, one thread): %.2f GFLOP/s\n", peak / 1e9);
  struct Run {
    const char* name;
    word iecod;
    long count;
    int points, dof;
  };
  for (const Run& r : {Run{"HEX8", 1, n8, 8, 24}, Run{"HEX20", 15, n20, 27, 60}}) {
    double check = 0.0;
    const double t = time_elements(r.iecod, r.count, check);
    const double rate = r.count / t, flops = rate * element_flops(r.points, r.dof);
    std::printf("%-6s %9ld elements in %7.3f s: %10.0f elements/s, %6.2f GFLOP/s counted = %5.1f %% of DGEMM"
                "  (check %.6e)\n",
                r.name, r.count, t, rate, flops / 1e9, 100.0 * flops / peak, check);
  }
  return 0;
}
