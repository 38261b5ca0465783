// The binding of the sparse library's entries.
#include "zephsol/solve/mfslib.h"

#include "zephsol/sparse/hherr.h"
#include "zephsol/sparse/sparse.h"

namespace zephsol {

MfsLibrary mfs_library() {
  MfsLibrary m;
  m.xdslin = sparse::xdslin;
  m.xdslim = sparse::xdslim;
  m.xdslif = sparse::xdslif;
  m.xdslom = sparse::xdslom;
  m.xdslsf = [](double* work, mfs_int lwork, std::int64_t& need, std::int64_t& needmn, mfs_int& ier) {
    sparse::xdslsf(work, lwork, need, needmn, ier);
  };
  m.xdslvm = sparse::xdslvm;
  m.xdslvf = sparse::xdslvf;
  m.xdslfa = [](double* work, mfs_int lwork, double& cond, std::array<mfs_int, 3>& inertia, mfs_int& ier) {
    sparse::xdslfa(work, lwork, cond, inertia.data(), ier);
  };
  m.xdslsl = sparse::xdslsl;
  m.pivots = sparse::factor_pivots;
  m.quiet = [](bool on) { sparse::HHERR(on ? -5 : -6, "MFSOLV", 0, 0); };
  return m;
}

}  // namespace zephsol
