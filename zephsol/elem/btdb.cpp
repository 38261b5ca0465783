// Accumulation kernel of the element stiffness: KE += B^T D B, packed.
#include <array>
#include <cassert>
#include <cstddef>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/elem/vec2.h"

namespace zephsol {
namespace {

using v2::V2;
using v2::load;
using v2::store;

// C = D B for every column first, C(a, i) = sum_b D(a, b) B(b, i), the
// columns two by two. Each sum starts from zero and takes its terms in order.
template <int NS>
void d_times_b(const std::array<std::array<double, NS>, NS>& dd, const double* b, int n, double* cm) {
  for (int a = 0; a < NS; ++a) {
    double* ca = cm + a * n;
    int i = 0;
    for (; i + 2 <= n; i += 2) {
      V2 s{};
      for (int e = 0; e < NS; ++e) s += v2::splat(dd[a][e]) * load(b + e * n + i);
      store(ca + i, s);
    }
    for (; i < n; ++i) {
      double s = 0.0;
      for (int e = 0; e < NS; ++e) s += dd[a][e] * b[e * n + i];
      ca[i] = s;
    }
  }
}

// Row by row: c(a) = C(a, i), then KE(i, j) += sum_a c(a) B(a, j) for
// j = i..N; the rows of the packed KE follow each other, so KE is walked once
// from its first term to its last. Each sum starts from zero and takes its
// terms in order a = 1..NS; the columns j go two by two, eight at a time so
// that the additions of independent columns overlap.
template <int NS>
void btdb_ns(const double* b, const double* d, int n, double* ke) {
  constexpr int kMaxN = 64;
  std::array<std::array<double, NS>, NS> dd{};
  for (int a = 0, k = 0; a < NS; ++a)
    for (int c = a; c < NS; ++c, ++k) dd[a][c] = dd[c][a] = d[k];
  std::array<double, NS * kMaxN> cbuf;
  const bool whole = n <= kMaxN;
  if (whole) d_times_b<NS>(dd, b, n, cbuf.data());
  double* out = ke;
  for (int i = 0; i < n; ++i) {
    std::array<double, NS> c;
    std::array<V2, NS> cv;
    for (int a = 0; a < NS; ++a) {
      double s = 0.0;
      if (whole) {
        s = cbuf[static_cast<std::size_t>(a * n + i)];
      } else {
        for (int e = 0; e < NS; ++e) s += dd[a][e] * b[e * n + i];
      }
      c[a] = s;
      cv[a] = v2::splat(s);
    }
    int j = i;
    for (; j + 8 <= n; j += 8, out += 8) {
      V2 s0{}, s1{}, s2{}, s3{};
      for (int a = 0; a < NS; ++a) {
        const double* ba = b + a * n + j;
        s0 += cv[a] * load(ba);
        s1 += cv[a] * load(ba + 2);
        s2 += cv[a] * load(ba + 4);
        s3 += cv[a] * load(ba + 6);
      }
      store(out, load(out) + s0);
      store(out + 2, load(out + 2) + s1);
      store(out + 4, load(out + 4) + s2);
      store(out + 6, load(out + 6) + s3);
    }
    for (; j + 2 <= n; j += 2, out += 2) {
      V2 s0{};
      for (int a = 0; a < NS; ++a) s0 += cv[a] * load(b + a * n + j);
      store(out, load(out) + s0);
    }
    for (; j < n; ++j) {
      double s = 0.0;
      for (int a = 0; a < NS; ++a) s += c[a] * b[a * n + j];
      *out++ += s;
    }
  }
}

// Non-zero rows of column 3k + d of a solid's B: the normal strain of d and
// the two engineering shears that take displacement d, ascending.
constexpr int kSolidRows[3][3] = {{0, 3, 5}, {1, 3, 4}, {2, 4, 5}};

using Kernel = void (*)(const double*, const double*, int, double*);

// One kernel per supported component count; nullptr where none is.
constexpr std::array<Kernel, 13> kKernels{nullptr,       btdb_ns<1>, btdb_ns<2>, btdb_ns<3>, btdb_ns<4>,
                                          btdb_ns<5>,    btdb_ns<6>, nullptr,    nullptr,    nullptr,
                                          nullptr,       nullptr,    btdb_ns<12>};

}  // namespace

void BTDB(std::span<const double> B, std::span<const double> D, word N, word NS, std::span<double> KE) {
  const Kernel k = NS >= 0 && NS < static_cast<word>(kKernels.size()) ? kKernels[static_cast<std::size_t>(NS)]
                                                                      : nullptr;
  if (k == nullptr) bad_argument("NDF ", NS);
  assert(B.size() >= static_cast<std::size_t>(NS * N));
  assert(D.size() >= static_cast<std::size_t>(NS * (NS + 1) / 2));
  assert(KE.size() >= static_cast<std::size_t>(N * (N + 1) / 2));
  k(B.data(), D.data(), N, KE.data());
}

// The dense kernel's sums with their zero terms left out: adding a product
// with a zero factor changes no sum (at most the sign of a zero one, which
// then changes nothing where it is added), so KE comes out the same, term for
// term, as from BTDB6. With the three non-zero terms of column j (v_t(j) in
// rows r_t(j % 3)) packed together,
//   C(a, i)   = sum_t D(a, r_t) v_t(i)
//   KE(i, j) += sum_t C(r_t(j % 3), i) v_t(j)
// whose coefficients repeat with period 3 in j: period 6 for two columns at
// a time.
void btdb_solid(std::span<const double> B, std::span<const double> D, word N, std::span<double> KE) {
  constexpr int kMaxN = ESTCOM::kMaxDof;
  const int n = N;
  assert(n % 3 == 0 && n <= kMaxN);
  assert(B.size() >= static_cast<std::size_t>(6 * n) && D.size() >= 21);
  assert(KE.size() >= static_cast<std::size_t>(n * (n + 1) / 2));
  const double* b = B.data();
  std::array<std::array<double, 6>, 6> dd{};
  for (int a = 0, k = 0; a < 6; ++a)
    for (int c = a; c < 6; ++c, ++k) dd[a][c] = dd[c][a] = D[static_cast<std::size_t>(k)];
  std::array<std::array<double, kMaxN>, 3> v;
  for (int j = 0; j < n; ++j)
    for (int t = 0; t < 3; ++t) v[t][j] = b[kSolidRows[j % 3][t] * n + j];
  std::array<std::array<double, 6>, kMaxN> cm;
  for (int i = 0; i < n; ++i) {
    const int* r = kSolidRows[i % 3];
    for (int a = 0; a < 6; ++a) {
      double s = 0.0;
      s += dd[a][r[0]] * v[0][i];
      s += dd[a][r[1]] * v[1][i];
      s += dd[a][r[2]] * v[2][i];
      cm[i][a] = s;
    }
  }
  const double* v0 = v[0].data();
  const double* v1 = v[1].data();
  const double* v2p = v[2].data();
  double* out = KE.data();
  for (int i = 0; i < n; ++i) {
    const auto& c = cm[i];
    // p[t][e]: the coefficient of v_t in a column j with j % 3 = e.
    const double p[3][3] = {{c[0], c[1], c[2]}, {c[3], c[3], c[4]}, {c[5], c[4], c[5]}};
    // q[t][m]: the coefficients of columns i + 2m and i + 2m + 1.
    V2 q[3][3];
    for (int t = 0; t < 3; ++t)
      for (int m = 0; m < 3; ++m) q[t][m] = V2{p[t][(i + 2 * m) % 3], p[t][(i + 2 * m + 1) % 3]};
    int j = i;
    for (; j + 6 <= n; j += 6, out += 6)
      for (int m = 0; m < 3; ++m) {
        const int jm = j + 2 * m;
        V2 s{};
        s += q[0][m] * load(v0 + jm);
        s += q[1][m] * load(v1 + jm);
        s += q[2][m] * load(v2p + jm);
        store(out + 2 * m, load(out + 2 * m) + s);
      }
    for (int m = 0; j + 2 <= n; j += 2, out += 2, ++m) {
      V2 s{};
      s += q[0][m] * load(v0 + j);
      s += q[1][m] * load(v1 + j);
      s += q[2][m] * load(v2p + j);
      store(out, load(out) + s);
    }
    for (; j < n; ++j) {
      const int e = j % 3;
      double s = 0.0;
      s += p[0][e] * v0[j];
      s += p[1][e] * v1[j];
      s += p[2][e] * v2p[j];
      *out++ += s;
    }
  }
}

void BTDB6(std::span<const double> B, std::span<const double> D, word N, std::span<double> KE) {
  assert(B.size() >= static_cast<std::size_t>(6 * N) && D.size() >= 21);
  assert(KE.size() >= static_cast<std::size_t>(N * (N + 1) / 2));
  btdb_ns<6>(B.data(), D.data(), N, KE.data());
}

}  // namespace zephsol
