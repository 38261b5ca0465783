// xdslin: initialisation of a problem in the work array.
#include <algorithm>
#include <cctype>
#include <string>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/sparse/blas.h"
#include "zephsol/sparse/entry.h"
#include "zephsol/sparse/sparse.h"
#include "zephsol/sparse/state.h"

namespace zephsol::sparse {
namespace {

constexpr std::string_view kBanner = "MFSLIB multifrontal library, release 1.0.              ";
static_assert(kBanner.size() == 55);

// Option defaults (`dslopt`); the words not listed are 0.0.
void store_options(const Work& w, i32 neqns) {
  w.set(cw::bform, 4.0);
  w.set(cw::vstore, 0.0);
  w.set(cw::pvttol, static_cast<double>(0.01f));
  w.set(cw::orient, 1.0);
  w.set(cw::panel, 128.0);
  w.set(cw::condest, 1.0);
  w.set(cw::maxzer, static_cast<double>(std::max(100.0f, static_cast<float>(neqns) * 0.01f)));
  w.set(cw::updblk, 32.0);
  w.set(cw::rhsblk, 8.0);
}

}  // namespace

void xdslin(i32 neqns, char dslsym, i32 msglvl, i32 msgunit, i32 lunit1, i32 lunit2, i32 lunit3,
            i32 lunit4, i32 lunit5, i32 lunit6, double* work, i32 lwork, i32& ier) {
  ier = 0;
  std::copy(kBanner.begin(), kBanner.end(), library_state().banner.begin());
  blas_single_thread();
  if (msglvl >= 2) {
    const std::string rule(59, '=');
    unit_write_line(msgunit, "");
    unit_write_line(msgunit, " " + rule);
    unit_write_line(msgunit, " = " + std::string(kBanner) + " =");
    unit_write_line(msgunit, " = multifrontal structural input phase                     =");
    unit_write_line(msgunit, " " + rule);
  }
  Work w(work, lwork);
  if (neqns < 1) {
    ier = err::input_neqns;
    fatal(msglvl, msgunit, "xdslin", ier, 1, 0,
          {" *** number of equations input to",
           fline("('subroutine xdslin is nonpositive.  neqns = ',I10)", {neqns})});
    if (lwork >= 1) w.set(cw::stage, stage::failed);
    return;
  }
  const i64 need = 10 * xisl2d(i64{neqns} + 1) + 200;
  if (lwork < need) {
    ier = err::input_space;
    fatal(msglvl, msgunit, "xdslin", ier, 2, need, need_text("xdslin", need, lwork));
    if (lwork >= 1) w.set(cw::stage, stage::failed);
    return;
  }
  std::fill(work, work + 200, 0.0);
  w.set(cw::stage, stage::initialised);
  w.set(cw::mtype, std::toupper(static_cast<unsigned char>(dslsym)) == 'U' ? 2.0 : 1.0);
  w.set(cw::msglvl, msglvl);
  w.set(cw::msgunit, msgunit);
  w.set(cw::lunit1, lunit1);
  w.set(cw::lunit2, lunit2);
  w.set(cw::lunit3, lunit3);
  w.set(cw::lunit4, lunit4);
  w.set(cw::lunit5, lunit5);
  w.set(cw::lunit6, lunit6);
  w.set(cw::neqns, neqns);
  store_options(w, neqns);
}

}  // namespace zephsol::sparse
