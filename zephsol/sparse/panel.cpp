// Panel kernels of the symmetric front elimination (first form: no pivot
// is taken yet; every column is left to the driver).
#include "zephsol/sparse/kernels.h"

namespace zephsol::sparse {

void xdslpl(double, double*, bool, i32, i32, i32, iword*, double*, iword*, iword*, double*, iword*, i32& npiv,
            i32*, double&, double&, i32& ier) {
  npiv = 0;
  ier = 0;
}
void xdslpm(double, double*, bool, i32, i32, i32, iword*, double*, iword*, iword*, double*, iword*, i32& npiv,
            i32*, double&, double&, i32& ier) {
  npiv = 0;
  ier = 0;
}
void xdslnl(double*, double*, i32, i32, double*, iword*, i32*, double&, double&, i32& ier) { ier = -1; }
void xdslnm(double*, double*, i32, i32, double*, iword*, i32*, double&, double&, i32& ier) { ier = -1; }
void xdslpt(i32, double&, i32, const double*, i32, double*, double*, i32*, i32& ier) { ier = -1; }
void xdslxl(i32, i32, double*, i32, i32) {}
void xdslxm(i32, i32, double*, i32, i32) {}
void xdsldl(i32, double*, i32, i32, i32*) {}
void xdsldm(i32, double*, i32, i32, i32*) {}
void xdslel(i32, double*, i32, i32, i32*) {}
void xdslem(i32, double*, i32, i32, i32*) {}
void xdslul(i32, i32, i32, const double*, const iword*, i32, double*, double*, double&) {}
void xdslum(i32, i32, i32, i32, const double*, const iword*, i32, double*, double*, double*, double&) {}

}  // namespace zephsol::sparse
