// Profile decomposition of the stiffness of HEX8 cubes: n x n x n unit
// elements of an elastic material, the nodes of the bottom face fixed, the
// others numbered plane by plane (a profile-reducing order: the active rows
// are about one plane of nodes). The cubes of 31 and 45 elements a side
// (95,232 and 285,660 equations) are the default; other sides may be given
// as arguments, and "row" as an argument adds the row kernel on the cube of
// 15 (11,520 equations) for comparison.
//
// Each cube is factored by SDCOMP through the file system (KLL read from and
// LLL written to work files of a temporary directory): in core, and with a
// work space holding a fraction of the pending triangle so that the rows
// spill in groups (the fraction is 0.6 unless "--spill=f" gives another).
// Printed per run: seconds (elapsed, and processor time of the thread, which
// a machine shared with other work disturbs less), spill groups, the
// arithmetic rate in GFLOP/s (sum over rows of m (m - 1), m the row's active
// count) beside the single-thread DGEMM rate measured in the same run, and
// the largest error of the solution of K x = K 1 through FWBSUB with its
// elapsed and processor seconds, and the load. "--repeat=k" runs every
// decomposition k times and keeps the fastest; "--cold" reads the work files
// from the disk (below).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "hex_cube.h"
#include "load.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/strings.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/fwbsub.h"
#include "zephsol/solve/sdcspl.h"
#include "zephsol/solve/solve_records.h"
#include "zephsol/solve/tria.h"

namespace {

using namespace zephsol;
using namespace zephsol::bench;
using Clock = std::chrono::steady_clock;

constexpr word kKll = 227, kLll = 230, kRhs = 225, kSol = 231;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Processor seconds of the calling thread (user and system).
double thread_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

using Cube = HexCube;

// "--cold": the work files are written to disk and dropped from the page
// cache (posix_fadvise POSIX_FADV_DONTNEED) before each decomposition and
// each substitution, so that they read their files from the disk.
bool cold = false;

void drop_cached_work_files(const std::filesystem::path& dir) {
  if (!cold) return;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const int fd = ::open(e.path().c_str(), O_RDONLY);
    if (fd < 0) continue;
    ::fdatasync(fd);
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
  }
}

// KLL of the cube, column by column (both triangles), and the load K 1.
std::vector<double> write_stiffness(const Cube& c) {
  const word neq = c.equations();
  std::vector<double> load(static_cast<std::size_t>(neq), 0.0);
  MCB m{kKll, 0, neq, 6, 2, 0, 0};
  DBOPEN(kKll, 2, kWrite);
  SCB& s = shared_scb(1);
  word col = 0;
  c.for_each_column(
      [&](word j) {
        if (col != 0) COLEND(m, s);
        col = j;
        COLBEG(m, 2, s);
      },
      [&](word row, double v) {
        COLTRM(v, row, s);
        load[static_cast<std::size_t>(col - 1)] += v;
      });
  if (col != 0) COLEND(m, s);
  DBCLOS(kKll, kCloseRewind);
  m.density = density_of(m.density, neq, neq);
  HDRPUT(kKll, m.header());
  return load;
}

MCB control_block(word file) {
  MCB m{file};
  HDRGET(file, m.header());
  return m;
}

// Active counts of the rows: the flops of the factorisation and the largest.
void measure(word neq, double& flops, word& largest) {
  sdcblk().kll = control_block(kKll);
  DBOPEN(kKll, 2, kRead);
  const auto act = core().words(1001, neq);
  const auto cnt = core().words(1001 + neq, neq);
  SDCPRE(act, cnt, largest);
  DBCLOS(kKll, kCloseRewind);
  flops = 0.0;
  for (word m : cnt) flops += double(m) * (m - 1);
}

// The largest error of the solution of K x = K 1; the substitution's
// elapsed and processor seconds.
double solve_error(const testing::FreshFileSystem& fs, const std::vector<double>& load, double& seconds,
                   double& cpu) {
  MCB r{kRhs, 0, static_cast<word>(load.size()), 2, 2, 0, 0};
  DBOPEN(kRhs, 2, kWrite);
  COLPUT(r, 2, load.data(), 1, r.rows);
  DBCLOS(kRhs, kCloseRewind);
  HDRPUT(kRhs, r.header());
  SOLBLK& s = solblk();
  s.factor = control_block(kLll);
  s.rhs = control_block(kRhs);
  s.solution = MCB{kSol};
  s.sign = 1;
  drop_cached_work_files(fs.dir());
  const auto t0 = Clock::now();
  const double c0 = thread_seconds();
  FWBSUB(1, CORLFT(1));
  cpu = thread_seconds() - c0;
  seconds = seconds_since(t0);
  HDRPUT(kSol, s.solution.header());
  std::vector<double> x(load.size());
  MCB sol = control_block(kSol);
  DBOPEN(kSol, 2, kRead);
  word first = 1, last = sol.rows, empty = 0;
  COLGET(sol, 2, x.data(), first, last, empty);
  DBCLOS(kSol, kCloseRewind);
  double err = 0.0;
  for (double v : x) err = std::max(err, std::abs(v - 1.0));
  return err;
}

// The spill groups of the last decomposition, from its information table.
int groups_in(const testing::FreshFileSystem& fs, std::size_t from) {
  const std::string listing = fs.read("listing").substr(from);
  const auto at = listing.rfind("SPILL =");
  return at == std::string::npos ? 0 : std::atoi(listing.c_str() + at + 7);
}

struct Run {
  double seconds = 0.0;
  double cpu = 0.0;
  int groups = 0;
};

Run decompose(const testing::FreshFileSystem& fs, word z, bool spill) {
  SDCBLK& b = sdcblk();
  b.kll = control_block(kKll);
  b.lll = MCB{kLll};
  b.scr1 = spill ? 301 : 0;
  b.scr2 = spill ? 302 : 0;
  const std::size_t before = fs.read("listing").size();
  word failrow = 0;
  drop_cached_work_files(fs.dir());
  const auto t0 = Clock::now();
  const double c0 = thread_seconds();
  SDCOMP(1, z, failrow);
  const double cpu = thread_seconds() - c0;
  Run r{seconds_since(t0), cpu, groups_in(fs, before)};
  HDRPUT(kLll, b.lll.header());
  if (failrow != 0) std::printf("decomposition failed at row %d\n", failrow);
  return r;
}

void run_cube(int n, double spill_fraction, bool row_kernel, int repeat, double peak) {
  const Cube c{n};
  const word neq = c.equations();
  // The triangle of the largest active count, the row arrays and the buffers.
  const double m_est = 3.0 * c.side() * c.side() + 3.0 * c.side() + 6.0;
  const auto memo = static_cast<word>((m_est * (m_est + 3.0) * 4.0 + 16.0 * neq) / (1 << 20) * 1.1) + 16;
  testing::FreshFileSystem fs(memo, 1025);
  reset_solve_state();
  const auto t0 = Clock::now();
  const std::vector<double> load = write_stiffness(c);
  const double t_kll = seconds_since(t0);
  double flops = 0.0;
  word largest = 0;
  measure(neq, flops, largest);
  std::printf("\ncube %d^3: %d equations, largest active count %d, %.3e flops (KLL written in %.1f s)\n", n, neq,
              largest, flops, t_kll);

  const std::int64_t nbuf = sysw().NBUFSZ;
  const std::int64_t triangle = std::int64_t{largest} * (largest + 3);
  struct Mode {
    const char* name;
    bool blocked, spill;
    double fraction;
  };
  std::vector<Mode> modes{{"blocked, in core", true, false, 1.0},
                          {"blocked, spilling", true, true, spill_fraction}};
  if (row_kernel) modes.insert(modes.begin(), {"row kernel, in core", false, false, 1.0});
  Run in_core;
  for (const Mode& md : modes) {
    solve_state().kernel = SdcKernel{.blocked = md.blocked};
    const word z = md.spill ? static_cast<word>(double(triangle) * md.fraction + 4 * nbuf + 8 * std::int64_t{largest})
                            : CORLFT(1);
    Run r;
    for (int k = 0; k < repeat; ++k) {
      const Run once = decompose(fs, z, md.spill);
      if (k == 0 || once.seconds < r.seconds) r = once;
    }
    double t_solve = 0.0, c_solve = 0.0;
    const double err = solve_error(fs, load, t_solve, c_solve);
    if (md.blocked && !md.spill) in_core = r;
    std::printf("  %-20s %7.2f s (%7.2f s cpu) %3d groups %6.2f GFLOP/s = %5.1f %% of DGEMM", md.name, r.seconds,
                r.cpu, r.groups, flops / r.seconds / 1e9, 100.0 * flops / r.seconds / peak);
    if (md.spill && in_core.seconds > 0.0)
      std::printf(" (%.2f x in core, %.2f x cpu)", r.seconds / in_core.seconds, r.cpu / in_core.cpu);
    std::printf("  wall/cpu %.2f  solve %.2f s (%.2f s cpu, wall/cpu %.2f), |x - 1| <= %.1e  load %s\n",
                r.seconds / r.cpu, t_solve, c_solve, t_solve / c_solve, err, sparse_bench::machine_load().c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  sparse::blas_single_thread();
  reset_exec_state();
  std::vector<int> sides;
  double fraction = 0.6;
  bool row_kernel = false;
  int repeat = 1;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    if (arg == "row")
      row_kernel = true;
    else if (arg.rfind("--repeat=", 0) == 0)
      repeat = std::max(1, std::atoi(arg.c_str() + 9));
    else if (arg == "--cold")
      cold = true;
    else if (arg.rfind("--spill=", 0) == 0)
      fraction = std::atof(arg.c_str() + 8);
    else
      sides.push_back(std::atoi(arg.c_str()));
  }
  const double peak = dgemm_rate();
  std::printf("DGEMM (n = 1000, one thread): %.2f GFLOP/s\n", peak / 1e9);
  if (row_kernel) run_cube(15, fraction, true, repeat, peak);
  if (sides.empty() && !row_kernel) sides = {31, 45};
  for (int n : sides) run_cube(n, fraction, false, repeat, peak);
  return 0;
}
