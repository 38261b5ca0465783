// Conjugate gradients with the incomplete factorisation on HEX8 cubes: n x
// n x n unit elements of an elastic material, the nodes of the bottom face
// fixed (45 elements a side, 285,660 equations, by default; other sides may
// be given as arguments, "--iterations=k" sets the iterations timed, 40 by
// default).
//
// The lower triangle of the stiffness is built in compressed columns in
// memory, as the driver loads it, and the load is K 1. Printed per cube:
// the equations and stored terms, the seconds of the incomplete
// factorisation, and the time per iteration beside its bandwidth bound: an
// iteration reads the matrix once (the product) and the factor twice (the
// two sweeps of the preconditioner), three passes over 12 bytes a term,
// timed against the memory bandwidth of a triad loop measured in the same
// run, and so the product and the preconditioner alone. Then, after a run
// to the tolerance 1e-8, the iterations taken (counted in the iteration
// table of DIAG switch 14), the error estimate reached and the largest
// error of x against 1.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "hex_cube.h"
#include "load.h"
#include "common/testing.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/pcg.h"

namespace {

using namespace zephsol;
using namespace zephsol::bench;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// The lower triangle of the cube's stiffness and the load K 1.
struct System {
  word n = 0;
  std::vector<word> ia, ja;
  std::vector<double> a, b;
};

System cube(int ne) {
  const HexCube c{ne};
  System s;
  s.n = c.equations();
  s.b.assign(static_cast<std::size_t>(s.n), 0.0);
  word col = 0;
  c.for_each_column(
      [&](word j) {
        col = j;
        s.ia.push_back(static_cast<word>(s.a.size() + 1));
      },
      [&](word row, double v) {
        s.b[static_cast<std::size_t>(col - 1)] += v;
        if (row < col) return;
        s.ja.push_back(row);
        s.a.push_back(v);
      });
  s.ia.push_back(static_cast<word>(s.a.size() + 1));
  return s;
}

// Bytes per second of the triad a = b + s c over arrays far larger than the
// caches (24 bytes moved per element, the best of five).
double triad_bandwidth() {
  const std::size_t n = std::size_t{1} << 24;
  std::vector<double> a(n, 0.0), b(n, 1.0), c(n, 2.0);
  double best = 1e30;
  for (int r = 0; r < 5; ++r) {
    const auto t0 = Clock::now();
    const double s = 1.0 + 1e-9 * r;
    for (std::size_t i = 0; i < n; ++i) a[i] = b[i] + s * c[i];
    best = std::min(best, seconds_since(t0));
  }
  volatile double sink = a[n / 3];
  (void)sink;
  return 24.0 * double(n) / best;
}

struct Timing {
  double seconds = 0.0;
  float err = 0.0f;
  word flag = 0;
  std::vector<double> x;
};

Timing run(System& s, word maxit, float tol) {
  const auto n = static_cast<std::size_t>(s.n);
  std::vector<double> b = s.b, l(s.a.size()), u(n), r(n), z(n);
  Timing t;
  t.x.assign(n, 0.0);
  const auto t0 = Clock::now();
  PCGSOL(s.n, static_cast<word>(s.a.size()), s.ja, s.ia, s.a, b, t.x, maxit, tol, l, u, r, z, t.err, t.flag);
  t.seconds = seconds_since(t0);
  return t;
}

// The fewest seconds of `runs` calls of timed().
template <class Timed>
double fastest(int runs, Timed timed) {
  double best = timed();
  for (int r = 1; r < runs; ++r) best = std::min(best, timed());
  return best;
}

// Seconds of one product and of one application of the preconditioner,
// the average of `repeats` after a first of each, over the factor's node
// blocks where the iteration uses them; and the seconds of laying out and
// filling the blocks (counted in the start of the iteration), with their
// values per stored term.
struct Passes {
  double product = 0.0, sweeps = 0.0, layout = 0.0, padding = 0.0;
  bool blocked = false;
};

template <class Pass>
double average_seconds(word repeats, Pass pass) {
  pass();
  const auto t0 = Clock::now();
  for (word k = 0; k < repeats; ++k) pass();
  return seconds_since(t0) / repeats;
}

Passes time_passes(System& s, word repeats) {
  const auto n = static_cast<std::size_t>(s.n);
  std::vector<double> l = s.a, w(n), x(n, 1.0), y(n);
  word first = 0;
  PCGICF(s.n, s.ja, s.ia, l, w, first);
  Passes p;
  const auto t0 = Clock::now();
  NodeBlocks b = node_blocks(s.n, s.ja, s.ia);
  p.blocked = node_blocks_pay(b, static_cast<std::int64_t>(s.a.size()));
  if (p.blocked) fill_node_blocks(b, s.ja, s.ia, l);
  p.layout = seconds_since(t0);
  p.padding = 9.0 * double(b.rows.size()) / double(s.a.size());
  p.product = average_seconds(repeats, [&] { PCGMV(s.n, x, y, s.ja, s.ia, s.a); });
  if (p.blocked)
    p.sweeps = average_seconds(repeats, [&] { block_precondition(b, x, y); });
  else
    p.sweeps = average_seconds(repeats, [&] { PCGPRE(s.n, s.ja, s.ia, l, x, y); });
  return p;
}

// Lines on the listing so far.
std::size_t table_lines(const zephsol::testing::FreshFileSystem& fs) {
  const std::string listing = fs.read("listing");
  return static_cast<std::size_t>(std::count(listing.begin(), listing.end(), '\n'));
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sides;
  word iterations = 40;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--iterations=", 0) == 0)
      iterations = std::atoi(a.c_str() + 13);
    else
      sides.push_back(std::atoi(a.c_str()));
  }
  if (sides.empty()) sides = {45};
  zephsol::testing::FreshFileSystem fs(4, 1025);
  const double bandwidth = triad_bandwidth();
  std::printf("triad bandwidth %.2f GB/s\n", bandwidth * 1e-9);
  for (int ne : sides) {
    System s = cube(ne);
    const double terms = double(s.a.size());
    // Start-up alone (no iteration: the factorisation and the first
    // residual), then the timed iterations, each the fastest of three runs
    // (the start-up's page faults vary much on a busy machine).
    const double setup = fastest(3, [&] { return run(s, 0, 0.0f).seconds; });
    const double timed = fastest(3, [&] { return run(s, iterations, 0.0f).seconds; });
    const double per_iteration = (timed - setup) / iterations;
    const double bound = 3.0 * 12.0 * terms / bandwidth;
    std::printf("cube %d: %d equations, %.0f stored terms\n", ne, s.n, terms);
    std::printf("  factorisation and start  %8.3f s\n", setup);
    std::printf("  per iteration            %8.4f s   bandwidth bound %8.4f s   ratio %.2f   load %s\n",
                per_iteration, bound, per_iteration / bound, sparse_bench::machine_load().c_str());
    const Passes passes = time_passes(s, iterations);
    std::printf("  factor in node blocks: %s, %.2f values a stored term, laid out and filled in %.3f s\n",
                passes.blocked ? "yes" : "no", passes.padding, passes.layout);
    std::printf("  product K x              %8.4f s   bandwidth bound %8.4f s   ratio %.2f\n", passes.product,
                bound / 3.0, passes.product * 3.0 / bound);
    std::printf("  preconditioner M^-1 r    %8.4f s   bandwidth bound %8.4f s   ratio %.2f\n", passes.sweeps,
                bound * 2.0 / 3.0, passes.sweeps * 1.5 / bound);
    const std::size_t before = table_lines(fs);
    DIAGST(14, 1);
    const Timing solved = run(s, std::max<word>(s.n, 100), 1.0e-8f);
    DIAGST(14, 0);
    const std::size_t taken = table_lines(fs) - before - 3;
    double err = 0.0;
    for (double v : solved.x) err = std::max(err, std::abs(v - 1.0));
    std::printf("  to 1e-8: %.2f s, %zu iterations, flag %d, estimate %.3e, largest error of x %.3e\n",
                solved.seconds, taken, solved.flag, double(solved.err), err);
  }
}
