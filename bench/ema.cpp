// Stiffness assembly EMA of a cube of n x n x n HEX8 elements (default 45:
// 46^3 nodes, three freedoms each) from element matrices on data blocks,
// against a plain compressed-column assembly of the same element matrices
// held in memory (pattern known beforehand, every term placed by a binary
// search of its row in its column), in the same run. EMA is then timed again
// with data blocks four and sixteen times larger (NBUFSZ), each on a fresh
// file system with the tables written anew, so that the block size can be
// chosen from a measurement. Each EMA figure is that of a second call on the
// same tables, as in every solution pass after the first; the first call's
// time is printed beside it. The element tables ECT, ADIC and ESK are laid
// out as the model modules and the element matrix generation write them;
// the open core holds the whole matrix, so EMA assembles in one group.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "block_round.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/strings.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/ema.h"
#include "zephsol/solve/solve_records.h"

namespace {

using namespace zephsol;
using namespace zephsol::bench;

constexpr word kMemoMegabytes = 512;
constexpr int kDofs = 24, kTerms = kDofs * (kDofs + 1) / 2;

struct Cube {
  int n = 0;  // elements along an edge
  int nodes_per_edge() const { return n + 1; }
  word node(int i, int j, int k) const { return 1 + i + nodes_per_edge() * (j + nodes_per_edge() * k); }
  word nodes() const { return nodes_per_edge() * nodes_per_edge() * nodes_per_edge(); }
  word elements() const { return n * n * n; }
  word first(word node) const { return 3 * (node - 1) + 1; }
  word eqw(word node) const { return first(node) * 1024 + 3; }
  // The eight nodes of element e (0-based i, j, k).
  std::array<word, 8> element_nodes(int i, int j, int k) const {
    return {node(i, j, k),         node(i + 1, j, k),         node(i + 1, j + 1, k),         node(i, j + 1, k),
            node(i, j, k + 1),     node(i + 1, j, k + 1),     node(i + 1, j + 1, k + 1),     node(i, j + 1, k + 1)};
  }
};

// A symmetric element matrix (upper triangle by rows), scaled per element.
std::vector<double> base_matrix() {
  std::vector<double> k;
  for (int a = 0; a < kDofs; ++a)
    for (int b = a; b < kDofs; ++b) k.push_back(a == b ? 10.0 + a : std::sin(1.0 + a * 31 + b * 7));
  return k;
}
double scale(word e) { return 1.0 + 0.1 * (e % 7); }

// The elements of each node and the connected nodes, ascending.
struct Adjacency {
  std::vector<std::vector<word>> elements, connected;
};

Adjacency adjacency(const Cube& c) {
  Adjacency a;
  a.elements.resize(static_cast<std::size_t>(c.nodes()));
  a.connected.resize(static_cast<std::size_t>(c.nodes()));
  word e = 0;
  for (int k = 0; k < c.n; ++k)
    for (int j = 0; j < c.n; ++j)
      for (int i = 0; i < c.n; ++i) {
        ++e;
        const auto nodes = c.element_nodes(i, j, k);
        for (word p : nodes) {
          auto& conn = a.connected[static_cast<std::size_t>(p - 1)];
          a.elements[static_cast<std::size_t>(p - 1)].push_back(e);
          conn.insert(conn.end(), nodes.begin(), nodes.end());
        }
      }
  for (auto& conn : a.connected) {
    std::sort(conn.begin(), conn.end());
    conn.erase(std::unique(conn.begin(), conn.end()), conn.end());
  }
  return a;
}

// ECT, ADIC and ESK of the cube.
void write_tables(const Cube& c, const Adjacency& adj, const std::vector<double>& k) {
  DBOPEN(ECT, kBuf, kWrite);
  word e = 0;
  for (int kk = 0; kk < c.n; ++kk)
    for (int j = 0; j < c.n; ++j)
      for (int i = 0; i < c.n; ++i) {
        const auto nodes = c.element_nodes(i, j, kk);
        std::array<word, 14> r{++e, 1, 8, kDofs, c.first(nodes[0]), c.first(nodes[6])};
        for (std::size_t p = 0; p < 8; ++p) r[6 + p] = c.eqw(nodes[p]);
        DBWRIT(ECT, r.data(), 14, 1);
      }
  DBCLOS(ECT, kCloseRewind);
  HDRPUT(ECT, std::array<word, 6>{c.elements(), 1, 8, kDofs, 0, 0});

  DBOPEN(ADIC, kBuf, kWrite);
  word longest = 0;
  std::vector<word> r;
  for (word p = 1; p <= c.nodes(); ++p) {
    const auto& els = adj.elements[static_cast<std::size_t>(p - 1)];
    const auto& conn = adj.connected[static_cast<std::size_t>(p - 1)];
    r.assign({c.eqw(p), static_cast<word>(conn.size()), 3 * static_cast<word>(conn.size()), static_cast<word>(els.size())});
    r.insert(r.end(), els.begin(), els.end());
    for (word q : conn) r.push_back(c.eqw(q));
    longest = std::max(longest, static_cast<word>(r.size()));
    DBWRIT(ADIC, r.data(), static_cast<word>(r.size()), 1);
  }
  DBCLOS(ADIC, kCloseRewind);
  HDRPUT(ADIC, std::array<word, 6>{c.nodes(), 3 * c.nodes(), 0, 0, 0, longest});

  DBOPEN(ESK, kBuf, kWrite);
  std::vector<double> ke(k.size());
  const word m = kTerms;
  for (word e = 1; e <= c.elements(); ++e) {
    for (std::size_t t = 0; t < k.size(); ++t) ke[t] = k[t] * scale(e);
    DBWRIT(ESK, &m, 1, 0);
    DBWRDP(ESK, ke.data(), m, 1);
  }
  DBCLOS(ESK, kCloseRewind);
  HDRPUT(ESK, std::array<word, 6>{c.elements(), kTerms, 0, 0, 0, 0});
}

// ---- The in-memory assembly ----

struct Csc {
  std::vector<std::int64_t> start;
  std::vector<word> row;  // 1-based equations
  std::vector<double> val;
};

Csc pattern(const Cube& c, const Adjacency& adj) {
  Csc a;
  a.start.push_back(0);
  for (word p = 1; p <= c.nodes(); ++p)
    for (int comp = 0; comp < 3; ++comp) {
      for (word q : adj.connected[static_cast<std::size_t>(p - 1)])
        for (int r = 0; r < 3; ++r) a.row.push_back(c.first(q) + r);
      a.start.push_back(static_cast<std::int64_t>(a.row.size()));
    }
  a.val.assign(a.row.size(), 0.0);
  return a;
}

void assemble(const Cube& c, const std::vector<double>& k, Csc& a) {
  std::array<word, kDofs> eq{};
  std::array<double, kDofs * kDofs> full{};
  for (int t = 0, a0 = 0; a0 < kDofs; ++a0)
    for (int b = a0; b < kDofs; ++b, ++t) full[a0 * kDofs + b] = full[b * kDofs + a0] = k[static_cast<std::size_t>(t)];
  word e = 0;
  for (int kk = 0; kk < c.n; ++kk)
    for (int j = 0; j < c.n; ++j)
      for (int i = 0; i < c.n; ++i) {
        const double s = scale(++e);
        const auto nodes = c.element_nodes(i, j, kk);
        for (std::size_t p = 0; p < 8; ++p)
          for (int r = 0; r < 3; ++r) eq[3 * p + r] = c.first(nodes[p]) + r;
        for (int col = 0; col < kDofs; ++col) {
          const auto c0 = a.start[static_cast<std::size_t>(eq[col] - 1)], c1 = a.start[static_cast<std::size_t>(eq[col])];
          const auto first = a.row.begin() + c0, last = a.row.begin() + c1;
          for (int row = 0; row < kDofs; ++row) {
            const auto at = std::lower_bound(first, last, eq[row]) - a.row.begin();
            a.val[static_cast<std::size_t>(at)] += s * full[row * kDofs + col];
          }
        }
      }
}

// Largest |KGG - reference| over every stored term; -1 when a term of KGG
// is not in the reference pattern.
double largest_difference(const Csc& ref) {
  MCB m{KGG};
  HDRGET(KGG, m.header());
  DBOPEN(KGG, kBuf, kRead);
  SCB s{};
  s.file = KGG;
  s.type = 2;
  double worst = 0.0;
  for (word j = 0; j < m.cols; ++j) {
    const auto first = ref.row.begin() + ref.start[static_cast<std::size_t>(j)];
    const auto last = ref.row.begin() + ref.start[static_cast<std::size_t>(j) + 1];
    s.flag = 1;
    for (NXTSTR(s); s.flag == 0; NXTSTR(s))
      for (word t = 0; t < s.room; ++t) {
        const auto at = std::lower_bound(first, last, s.row + t);
        if (at == last || *at != s.row + t) return -1.0;
        const double v = ref.val[static_cast<std::size_t>(at - ref.row.begin())];
        worst = std::max(worst, std::abs(string_term(2, s.slot, t) - v));
      }
  }
  DBCLOS(KGG, kCloseRewind);
  return worst;
}

// EMA twice on a fresh file system of data blocks of nbufsz - 1 words: the
// first call meets open-core pages never touched before, the second runs as
// every later solution pass does. Returns the seconds of the second.
double time_ema(const Cube& c, const Adjacency& adj, const std::vector<double>& k, word nbufsz, const Csc* check) {
  testing::FreshFileSystem fs(kMemoMegabytes, nbufsz);
  write_tables(c, adj, k);
  reset_solve_state();
  auto t0 = Clock::now();
  EMA(ESK, ECT, ADIC, 0, KGG);
  const double first = seconds_since(t0);
  const word blocks0 = sysw().NBLKIO;
  t0 = Clock::now();
  EMA(ESK, ECT, ADIC, 0, KGG);
  const double t = seconds_since(t0);
  std::array<word, 6> h{};
  HDRGET(KGG, h);
  std::printf("  EMA, NBUFSZ %5d: %8.3f s (first call %.3f s), %zu pass(es), %d block transfers;"
              " KGG %d columns, largest %d, density %d\n",
              nbufsz, t, first, solve_state().ema_passes.size(), sysw().NBLKIO - blocks0, h[0], h[4], h[5]);
  if (check) std::printf("  largest difference to the in-memory assembly: %.3e\n", largest_difference(*check));
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  Cube c;
  c.n = argc > 1 ? std::atoi(argv[1]) : 45;
  const std::vector<double> k = base_matrix();
  const Adjacency adj = adjacency(c);
  std::printf("stiffness assembly: %d^3 HEX8 elements, %d nodes, %d equations\n", c.n, c.nodes(), 3 * c.nodes());

  Csc csc = pattern(c, adj);
  const auto t0 = Clock::now();
  assemble(c, k, csc);
  const double t_csc = seconds_since(t0);
  std::printf("  compressed columns in memory: %8.3f s, %zu terms\n", t_csc, csc.row.size());

  const double t1 = time_ema(c, adj, k, 1025, &csc);
  const double t4 = time_ema(c, adj, k, 4097, nullptr);
  const double t16 = time_ema(c, adj, k, 16385, nullptr);
  std::printf("  EMA / compressed columns: %.2f (NBUFSZ 1025), %.2f (4097), %.2f (16385)\n", t1 / t_csc, t4 / t_csc,
              t16 / t_csc);
  std::printf("  EMA with larger blocks / NBUFSZ 1025: %.2f (4097), %.2f (16385)\n", t4 / t1, t16 / t1);
  return 0;
}
