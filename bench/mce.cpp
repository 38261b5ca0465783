// The products of a constraint reduction on data blocks, against the same
// products on compressed columns in memory.
//
// KGG: a 3D-mesh-like symmetric matrix, three freedoms per node of a brick
// grid coupled to the 27 neighbouring nodes, the first 200,000 freedoms (or
// the number given as the first argument). One freedom in a hundred is
// constrained: it depends on three independent freedoms through GST (n x o).
// The sequence, as the constraint reduction runs it:
//   MTXPT4  KGG -> KSS (o x o), $303 (n x o), $302 (o x n), $304 (n x n)
//   MTXMP2  GKFS = GST KSS + $303
//   MTXMP2  $303 = GST $302
//   MTXMPS  $302 = GKFS GSTᵀ + $303
//   MTXADD  KLL  = $304 + $302
// The same products run on compressed-column matrices held in memory
// (Gustavson's column-by-column product with a dense accumulator), and the
// two KLL are compared. Prints the seconds of each step, the block
// transfers, and both totals.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/mtxadd.h"
#include "zephsol/dbio/mtxmpy.h"
#include "zephsol/dbio/partn.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"
#include "block_round.h"

namespace {

using namespace zephsol;
using namespace zephsol::bench;

constexpr word kMemoMegabytes = 512;
constexpr int kConstrainedEvery = 100;

// ---- The model ----

struct Mesh {
  word n = 0;            // freedoms
  word nx = 0, ny = 0;   // nodes along x and y; z as far as needed
  word node(word i, word j, word k) const { return (k * ny + j) * nx + i; }
};

Mesh make_mesh(word freedoms) {
  Mesh m;
  m.n = freedoms;
  m.nx = m.ny = static_cast<word>(std::cbrt(freedoms / 3.0)) + 1;
  return m;
}

// K(r, c) of the mesh matrix (0-based freedoms), symmetric: a heavy
// diagonal and couplings from a hash of the pair.
double coupling(word r, word c) {
  if (r == c) return 100.0;
  const auto lo = static_cast<std::uint64_t>(std::min(r, c)), hi = static_cast<std::uint64_t>(std::max(r, c));
  const std::uint64_t h = (lo * 2654435761u) ^ (hi * 40503u + 12345u);
  return -1.0 + static_cast<double>(h % 1000) / 1000.0;
}

// The freedoms coupled to freedom c, ascending.
void column_rows(const Mesh& m, word c, std::vector<word>& rows) {
  rows.clear();
  const word p = c / 3;
  const word i = p % m.nx, j = (p / m.nx) % m.ny, k = p / (m.nx * m.ny);
  for (word dk = -1; dk <= 1; ++dk)
    for (word dj = -1; dj <= 1; ++dj)
      for (word di = -1; di <= 1; ++di) {
        const word ii = i + di, jj = j + dj, kk = k + dk;
        if (ii < 0 || jj < 0 || kk < 0 || ii >= m.nx || jj >= m.ny) continue;
        const word q = m.node(ii, jj, kk);
        for (word a = 0; a < 3; ++a)
          if (3 * q + a < m.n) rows.push_back(3 * q + a);
      }
}

bool constrained(word dof) { return dof % kConstrainedEvery == kConstrainedEvery / 2; }

// The three independent freedoms a constrained freedom depends on, with
// their coefficients.
struct Master {
  word dof;
  double g;
};
std::array<Master, 3> masters(const Mesh& m, word c) {
  const word below = c >= 3 ? c - 3 : c + 9;
  return {Master{below, 0.5}, Master{std::min(c + 3, m.n - 1), 0.3}, Master{std::min(c + 6, m.n - 1), 0.2}};
}

// ---- Compressed columns in memory ----

struct Csc {
  word rows = 0, cols = 0;
  std::vector<std::int64_t> start{0};
  std::vector<word> row;
  std::vector<double> val;
  void push(word r, double v) {
    row.push_back(r);
    val.push_back(v);
  }
  void end_column() { start.push_back(static_cast<std::int64_t>(row.size())); }
};

// Dense accumulator for one result column: values and the rows touched.
struct Accumulator {
  std::vector<double> v;
  std::vector<char> mark;
  std::vector<word> touched;
  explicit Accumulator(word n) : v(static_cast<std::size_t>(n), 0.0), mark(static_cast<std::size_t>(n), 0) {}
  void add(word r, double x) {
    if (!mark[static_cast<std::size_t>(r)]) {
      mark[static_cast<std::size_t>(r)] = 1;
      touched.push_back(r);
    }
    v[static_cast<std::size_t>(r)] += x;
  }
  void flush(Csc& out) {
    std::sort(touched.begin(), touched.end());
    for (word r : touched) {
      out.push(r, v[static_cast<std::size_t>(r)]);
      v[static_cast<std::size_t>(r)] = 0.0;
      mark[static_cast<std::size_t>(r)] = 0;
    }
    touched.clear();
    out.end_column();
  }
};

// D = A B + C (C may be null), column by column.
Csc multiply(const Csc& a, const Csc& b, const Csc* c) {
  Csc d;
  d.rows = a.rows;
  d.cols = b.cols;
  Accumulator acc(a.rows);
  for (word j = 0; j < b.cols; ++j) {
    if (c)
      for (auto t = c->start[j]; t < c->start[j + 1]; ++t) acc.add(c->row[t], c->val[t]);
    for (auto t = b.start[j]; t < b.start[j + 1]; ++t) {
      const word k = b.row[t];
      const double bv = b.val[t];
      for (auto s = a.start[k]; s < a.start[k + 1]; ++s) acc.add(a.row[s], a.val[s] * bv);
    }
    acc.flush(d);
  }
  return d;
}

Csc transpose(const Csc& a) {
  Csc t;
  t.rows = a.cols;
  t.cols = a.rows;
  std::vector<std::int64_t> count(static_cast<std::size_t>(a.rows) + 1, 0);
  for (word r : a.row) ++count[static_cast<std::size_t>(r) + 1];
  for (std::size_t i = 1; i < count.size(); ++i) count[i] += count[i - 1];
  t.start = count;
  t.row.resize(a.row.size());
  t.val.resize(a.val.size());
  for (word j = 0; j < a.cols; ++j)
    for (auto s = a.start[j]; s < a.start[j + 1]; ++s) {
      const auto at = count[static_cast<std::size_t>(a.row[s])]++;
      t.row[at] = j;
      t.val[at] = a.val[s];
    }
  return t;
}

Csc add(const Csc& a, const Csc& b) {
  Csc s;
  s.rows = a.rows;
  s.cols = a.cols;
  Accumulator acc(a.rows);
  for (word j = 0; j < a.cols; ++j) {
    for (auto t = a.start[j]; t < a.start[j + 1]; ++t) acc.add(a.row[t], a.val[t]);
    for (auto t = b.start[j]; t < b.start[j + 1]; ++t) acc.add(b.row[t], b.val[t]);
    acc.flush(s);
  }
  return s;
}

// The four blocks of K by the o / n sets.
std::array<Csc, 4> partition(const Csc& k, const std::vector<word>& place, word no, word nn) {
  std::array<Csc, 4> p;  // oo, no, on, nn
  p[0].rows = no, p[0].cols = no;
  p[1].rows = nn, p[1].cols = no;
  p[2].rows = no, p[2].cols = nn;
  p[3].rows = nn, p[3].cols = nn;
  for (word j = 0; j < k.cols; ++j) {
    const bool oc = place[static_cast<std::size_t>(j)] < 0;
    Csc& upper = p[oc ? 0 : 2];
    Csc& lower = p[oc ? 1 : 3];
    for (auto t = k.start[j]; t < k.start[j + 1]; ++t) {
      const word q = place[static_cast<std::size_t>(k.row[t])];
      if (q < 0)
        upper.push(-q - 1, k.val[t]);
      else
        lower.push(q - 1, k.val[t]);
    }
    upper.end_column();
    lower.end_column();
  }
  return p;
}

// ---- Data blocks ----

MCB write_csc(word file, const Csc& a, word form) {
  MCB mcb{file, 0, a.rows, form, 2, 0, 0};
  DBOPEN(file, kBuf, kWrite);
  SCB& s = shared_scb(2);
  for (word j = 0; j < a.cols; ++j) {
    COLBEG(mcb, 2, s);
    for (auto t = a.start[j]; t < a.start[j + 1]; ++t) COLTRM(a.val[t], a.row[t] + 1, s);
    COLEND(mcb, s);
  }
  DBCLOS(file, kCloseRewind);
  mcb.density = density_of(mcb.density, mcb.rows, mcb.cols);
  return mcb;
}

// Largest |KLL(data block) - KLL(memory)| over both patterns.
double largest_difference(const MCB& kll, const Csc& ref) {
  std::vector<double> v(static_cast<std::size_t>(ref.rows), 0.0);
  double worst = 0.0;
  DBOPEN(kll.file, kBuf, kRead);
  SCB own{};
  for (word j = 0; j < ref.cols; ++j) {
    for (auto t = ref.start[j]; t < ref.start[j + 1]; ++t) v[ref.row[t]] = ref.val[t];
    own.file = kll.file;
    own.type = kll.type;
    own.flag = 1;
    for (NXTSTR(own); own.flag == 0; NXTSTR(own))
      for (word i = 0; i < own.room; ++i) {
        double& x = v[static_cast<std::size_t>(own.row + i - 1)];
        worst = std::max(worst, std::abs(x - core().d(2 * (own.slot + i) - 1)));
        x = 0.0;
      }
    for (auto t = ref.start[j]; t < ref.start[j + 1]; ++t) {
      worst = std::max(worst, std::abs(v[ref.row[t]]));
      v[ref.row[t]] = 0.0;
    }
  }
  DBCLOS(kll.file, kCloseRewind);
  return worst;
}

}  // namespace

int main(int argc, char** argv) {
  const word freedoms = argc > 1 ? static_cast<word>(std::atol(argv[1])) : 200000;
  testing::FreshFileSystem fs(kMemoMegabytes, 1025);
  const Mesh mesh = make_mesh(freedoms);

  // The model in memory: KGG, the partition vector, GST.
  std::vector<word> place(static_cast<std::size_t>(freedoms));
  word no = 0, nn = 0;
  for (word d = 0; d < freedoms; ++d) place[static_cast<std::size_t>(d)] = constrained(d) ? -++no : ++nn;
  Csc kgg;
  kgg.rows = kgg.cols = freedoms;
  std::vector<word> rows;
  for (word c = 0; c < freedoms; ++c) {
    column_rows(mesh, c, rows);
    for (word r : rows) kgg.push(r, coupling(r, c));
    kgg.end_column();
  }
  Csc gst;
  gst.rows = nn;
  gst.cols = no;
  for (word c = 0; c < freedoms; ++c) {
    if (!constrained(c)) continue;
    auto ms = masters(mesh, c);
    std::sort(ms.begin(), ms.end(), [](const Master& a, const Master& b) { return a.dof < b.dof; });
    for (std::size_t k = 0; k < ms.size(); ++k) {
      if (k > 0 && ms[k].dof == ms[k - 1].dof) {
        gst.val.back() += ms[k].g;
        continue;
      }
      gst.push(place[static_cast<std::size_t>(ms[k].dof)] - 1, ms[k].g);
    }
    gst.end_column();
  }
  const MCB kgg_mcb = write_csc(KGG, kgg, kSymmetric);
  const MCB gst_mcb = write_csc(GST, gst, kRectangular);
  std::printf("constraint reduction: %d freedoms, %d constrained, KGG %lld terms, GST %lld terms\n", freedoms, no,
              static_cast<long long>(kgg.row.size()), static_cast<long long>(gst.row.size()));

  // On data blocks.
  const word z = 1;
  const word ncore = CORLFT(z);
  const word blocks0 = sysw().NBLKIO;
  double steps[5];
  const auto t_all = Clock::now();
  auto t0 = Clock::now();
  PRTCTL& pc = prtctl();
  pc = PRTCTL{};
  pc.A = kgg_mcb;
  pc.A11.file = KSS;
  pc.A21.file = S303;
  pc.A12.file = S302;
  pc.A22.file = S304;
  MTXPT4(place, no, nn, z, ncore);
  steps[0] = seconds_since(t0);

  MPYCTL& c = mpyctl();
  c = MPYCTL{};
  c.A = gst_mcb;
  c.B = pc.A11;
  c.C = pc.A21;
  c.D.file = GKFS;
  c.sign_ab = c.sign_c = 1;
  c.scratch = S301;
  t0 = Clock::now();
  MTXMP2(z, ncore);
  steps[1] = seconds_since(t0);
  const MCB gkfs = c.D;

  c.B = pc.A12;
  c.C = MCB{};
  c.D = MCB{S303, 0, 0, 0, 0, 0, 0};
  t0 = Clock::now();
  MTXMP2(z, ncore);
  steps[2] = seconds_since(t0);
  const MCB gkon = c.D;

  c.A = gkfs;
  c.B = gst_mcb;
  c.C = gkon;
  c.D = MCB{S302, 0, 0, 0, 2, 0, 0};
  t0 = Clock::now();
  MTXMPS(z, ncore);
  steps[3] = seconds_since(t0);

  ADDCTL& ac = addctl();
  ac = ADDCTL{};
  ac.A = pc.A22;
  ac.B = c.D;
  ac.S.file = KLL;
  ac.alpha_type = ac.beta_type = 1;
  set_addctl_scalar(1, ac.alpha, 1.0);
  set_addctl_scalar(1, ac.beta, 1.0);
  t0 = Clock::now();
  MTXADD(z, ncore);
  steps[4] = seconds_since(t0);
  const double t_blocks = seconds_since(t_all);
  const MCB kll = ac.S;

  // In memory.
  const auto t_mem = Clock::now();
  const auto parts = partition(kgg, place, no, nn);
  const Csc gkfs_m = multiply(gst, parts[0], &parts[1]);
  const Csc gkon_m = multiply(gst, parts[2], nullptr);
  const Csc p_m = multiply(gkfs_m, transpose(gst), &gkon_m);
  const Csc kll_m = add(parts[3], p_m);
  const double t_memory = seconds_since(t_mem);

  std::printf("  data blocks:        %8.3f s  (MTXPT4 %.3f, MTXMP2 %.3f, MTXMP2 %.3f, MTXMPS %.3f, MTXADD %.3f),"
              " %d block transfers\n",
              t_blocks, steps[0], steps[1], steps[2], steps[3], steps[4], sysw().NBLKIO - blocks0);
  std::printf("  compressed columns: %8.3f s  (in memory)\n", t_memory);
  std::printf("  KLL %d x %d, %lld terms in memory; largest difference %.3e\n", kll.rows, kll.cols,
              static_cast<long long>(kll_m.row.size()), largest_difference(kll, kll_m));
  return 0;
}
