#include "jacobi.h"

#include <algorithm>
#include <cmath>

namespace zephsol::test {

Eigen3 jacobi(const std::array<double, 6>& t) {
  double a[3][3] = {{t[0], t[3], t[5]}, {t[3], t[1], t[4]}, {t[5], t[4], t[2]}};
  double v[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int sweep = 0; sweep < 50; ++sweep)
    for (int p = 0; p < 2; ++p)
      for (int q = p + 1; q < 3; ++q) {
        if (std::fabs(a[p][q]) < 1e-300) continue;
        const double th = 0.5 * std::atan2(2.0 * a[p][q], a[q][q] - a[p][p]);
        const double c = std::cos(th), s = std::sin(th);
        for (int k = 0; k < 3; ++k) {
          const double kp = a[k][p], kq = a[k][q];
          a[k][p] = c * kp - s * kq;
          a[k][q] = s * kp + c * kq;
          const double vp = v[k][p], vq = v[k][q];
          v[k][p] = c * vp - s * vq;
          v[k][q] = s * vp + c * vq;
        }
        for (int k = 0; k < 3; ++k) {
          const double pk = a[p][k], qk = a[q][k];
          a[p][k] = c * pk - s * qk;
          a[q][k] = s * pk + c * qk;
        }
      }
  std::array<int, 3> order{0, 1, 2};
  std::sort(order.begin(), order.end(), [&](int i, int j) { return a[i][i] < a[j][j]; });
  Eigen3 e{};
  for (int k = 0; k < 3; ++k) {
    e.value[k] = a[order[k]][order[k]];
    for (int i = 0; i < 3; ++i) e.vector[k][i] = v[i][order[k]];
  }
  return e;
}

}  // namespace zephsol::test
