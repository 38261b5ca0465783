// Accumulation kernel of the element stiffness: KE += B^T D B, packed.
#include <array>
#include <cassert>
#include <cstddef>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/kelem.h"

namespace zephsol {
namespace {

// Row by row: c(a) = sum_b D(a, b) B(b, i), then KE(i, j) += sum_a c(a) B(a, j)
// for j = i..N; the rows of the packed KE follow each other, so KE is walked
// once from its first term to its last.
template <int NS>
void btdb_ns(const double* b, const double* d, int n, double* ke) {
  std::array<std::array<double, NS>, NS> dd{};
  for (int a = 0, k = 0; a < NS; ++a)
    for (int c = a; c < NS; ++c, ++k) dd[a][c] = dd[c][a] = d[k];
  double* out = ke;
  for (int i = 0; i < n; ++i) {
    std::array<double, NS> c{};
    for (int a = 0; a < NS; ++a) {
      double s = 0.0;
      for (int e = 0; e < NS; ++e) s += dd[a][e] * b[e * n + i];
      c[a] = s;
    }
    // Four columns at a time: four independent sums, each still taken over
    // a = 1..NS in order, so that the additions overlap.
    int j = i;
    for (; j + 4 <= n; j += 4, out += 4) {
      double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
      for (int a = 0; a < NS; ++a) {
        const double* ba = b + a * n + j;
        s0 += c[a] * ba[0];
        s1 += c[a] * ba[1];
        s2 += c[a] * ba[2];
        s3 += c[a] * ba[3];
      }
      out[0] += s0;
      out[1] += s1;
      out[2] += s2;
      out[3] += s3;
    }
    for (; j < n; ++j) {
      double s = 0.0;
      for (int a = 0; a < NS; ++a) s += c[a] * b[a * n + j];
      *out++ += s;
    }
  }
}

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

void BTDB6(std::span<const double> B, std::span<const double> D, word N, std::span<double> KE) {
  assert(B.size() >= static_cast<std::size_t>(6 * N) && D.size() >= 21);
  assert(KE.size() >= static_cast<std::size_t>(N * (N + 1) / 2));
  btdb_ns<6>(B.data(), D.data(), N, KE.data());
}

}  // namespace zephsol
