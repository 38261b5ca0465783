// Elimination of dense fronts by the front kernels: a front of order nf
// (500, 1,000 and 3,000 unless given as arguments) with 128 fully summed
// columns is copied into a column-oriented panel, eliminated by the pivoting
// kernel (pvttol 0.01) and the trailing triangle updated in blocks of 32
// columns ("--block=b" for another width), as the factorisation does with
// its default options. Printed per
// front and kind (positive definite, indefinite): seconds of the kernel and
// of the update (best of "--repeat=k", default 3), the pivots taken and how
// many were 2x2, and the arithmetic rate in GFLOP/s (the factorisation's
// operation count) beside the single-thread DGEMM rate measured in the run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "element_fixture.h"
#include "zephsol/sparse/blas.h"
#include "zephsol/sparse/kernels.h"

namespace {

using namespace zephsol::sparse;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// The packed lower triangle of a random symmetric front (column c from its
// diagonal down); positive definite by a dominant diagonal.
std::vector<double> random_front(int nf, bool spd, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> f;
  f.reserve(std::size_t(nf) * (nf + 1) / 2);
  for (int j = 0; j < nf; ++j)
    for (int i = j; i < nf; ++i) f.push_back(i == j && spd ? nf + u(gen) : u(gen));
  return f;
}

struct Timing {
  double kernel = 1e30, update = 1e30, flops = 0.0;
  int npiv = 0, blocks2 = 0;
};

Timing run(int nf, int npiv_front, bool spd, int repeat, int nbu) {
  const std::vector<double> front = random_front(nf, spd, 17u + unsigned(nf));
  const int ncol = std::min(npiv_front, nf), ntrail = nf - ncol;
  std::vector<double> panel(std::size_t(nf) * ncol), f22(std::size_t(ntrail) * (ntrail + 1) / 2);
  std::vector<double> dmax(ncol), w1(std::size_t(ncol) * nbu), w2(std::size_t(ntrail) * nbu);
  std::vector<i32> rowidx(ncol), pivblk(ncol), cand(ncol), ipiv(ncol);
  Timing t;
  for (int round = 0; round < repeat; ++round) {
    // Panel: the first ncol columns, zero above the diagonal; F22 the rest.
    std::size_t pos = 0;
    for (int j = 0; j < ncol; ++j) {
      std::fill_n(panel.data() + std::size_t(j) * nf, j, 0.0);
      for (int i = j; i < nf; ++i) panel[std::size_t(j) * nf + i] = front[pos++];
    }
    std::copy(front.begin() + std::ptrdiff_t(pos), front.end(), f22.begin());
    for (int j = 0; j < ncol; ++j) rowidx[j] = j + 1;
    double pert[5] = {}, ops1 = 0.0, ops2 = 0.0;
    i32 inertia[3] = {}, npiv = 0, ier = 0;
    auto t0 = Clock::now();
    xdslpm(0.01, pert, ntrail == 0, nf, ncol, 0, rowidx.data(), panel.data(), pivblk.data(), cand.data(),
           dmax.data(), ipiv.data(), npiv, inertia, ops1, ops2, ier);
    t.kernel = std::min(t.kernel, seconds_since(t0));
    t0 = Clock::now();
    if (npiv > 0 && ntrail > 0)
      xdslum(npiv, ncol, nf, nbu, panel.data(), pivblk.data(), ntrail, f22.data(), w1.data(), w2.data(), ops1);
    t.update = std::min(t.update, seconds_since(t0));
    t.flops = ops1;
    t.npiv = npiv;
    t.blocks2 = int(std::count(pivblk.begin(), pivblk.begin() + npiv, 2));
  }
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  blas_single_thread();
  std::vector<int> orders;
  int repeat = 3, nbu = 32;
  for (int k = 1; k < argc; ++k) {
    const std::string a = argv[k];
    if (a.rfind("--repeat=", 0) == 0) repeat = std::max(1, std::atoi(a.c_str() + 9));
    else if (a.rfind("--block=", 0) == 0) nbu = std::max(1, std::atoi(a.c_str() + 8));
    else orders.push_back(std::atoi(a.c_str()));
  }
  if (orders.empty()) orders = {500, 1000, 3000};
  const double peak = zephsol::bench::dgemm_rate();
  std::printf("DGEMM (n = 1000, one thread): %.2f GFLOP/s\n", peak / 1e9);
  for (int nf : orders)
    for (bool spd : {true, false}) {
      const Timing t = run(nf, 128, spd, repeat, nbu);
      const double s = t.kernel + t.update, rate = t.flops / s;
      std::printf("  front %5d, 128 fully summed, %-10s kernel %8.4f s  update %8.4f s  pivots %3d (%2d 2x2)"
                  "  %6.2f GFLOP/s = %5.1f %% of DGEMM\n",
                  nf, spd ? "definite" : "indefinite", t.kernel, t.update, t.npiv, t.blocks2, rate / 1e9,
                  100.0 * rate / peak);
    }
  return 0;
}
