// The sparse method through the whole program on large HEX8 cubes of unit
// bricks (SOLVER METI, one step under the cube's own weight, one thread):
// each cube runs in a scratch directory with the largest memory the word
// space accepts, and the benchmark prints its wall time, the program's peak
// memory, the largest size of the files it held open (its work files and
// the library's scratch files) and the way the library went (in core or
// out of core), beside the time of a smaller cube
// run in core scaled by the ratio of the factorisation's operations (the
// library's estimate for each cube's structure). The machine's load (the
// three figures of /proc/loadavg) is printed before and after each run.
//
//   bench_sparse_runs [MEMO] [MMEM] [reference edge] [edge ...]
//   defaults:         1000   7191   40               54 60 70
//
// The directories are made under $TMPDIR (or /tmp) and
// removed after each run.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cube_run.h"
#include "load.h"
#include "sparse_cube.h"
#include "zephsol/sparse/sparse.h"

namespace {

namespace fs = std::filesystem;
using zephsol::sparse::i32;
using zephsol::sparse::i64;
using Clock = std::chrono::steady_clock;

std::string stamp() {
  char buf[32];
  const std::time_t t = std::time(nullptr);
  std::strftime(buf, sizeof buf, "%H:%M:%S", std::gmtime(&t));
  return buf;
}

// The library's estimate of the factorisation's operations for cube k (the
// structure of all its nodes; the program's holds the bottom face, a
// layer fewer, alike for the cubes compared).
double factor_ops(int k) {
  using namespace zephsol::sparse;
  const sparse_bench::Matrix s = sparse_bench::hex_cube(k);
  const std::size_t lan = 2 * s.rowind.size() + 40 * static_cast<std::size_t>(s.n) + 100000;
  std::vector<double> work(lan);
  const i32 la = static_cast<i32>(lan);
  i32 ier = 0, need = 0;
  xdslin(s.n, 'S', 0, 0, 11, 12, 13, 14, 15, 17, work.data(), la, ier);
  if (ier == 0) xdslim('A', s.colptr, s.rowind, work.data(), la, ier);
  if (ier == 0) xdslif(work.data(), la, need, ier);
  if (ier == 0) xdslom(work.data(), la, need, ier);
  return ier == 0 ? work[114] : 0.0;
}

struct Outcome {
  int status = -1;
  double seconds = 0, peak_mb = 0, scratch_mb = 0;
  std::string memory_line, message, load_before, load_after;
};

// The bytes of the regular files that process pid holds open (the
// library's scratch files are unlinked as soon as they are opened, so they
// are only seen through the process's descriptors).
i64 open_file_bytes(pid_t pid) {
  i64 total = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    struct stat st {};
    if (::stat(e.path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) total += static_cast<i64>(st.st_size);
  }
  return total;
}

std::string line_with(const fs::path& file, const std::string& text) {
  std::ifstream in(file);
  for (std::string l; std::getline(in, l);)
    if (l.find(text) != std::string::npos) return l;
  return "";
}

// The resident memory of process pid in MB.
double resident_mb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string l; std::getline(in, l);)
    if (l.rfind("VmRSS:", 0) == 0) return std::atof(l.c_str() + 6) / 1024.0;
  return 0.0;
}

// Runs cube k through the program with MEMO and MMEM, sampling the size of
// its open files every half second and printing a line of progress every
// minute (the resident memory, the open files and the load). The listing is
// written through a buffer, so it cannot tell which phase a run is in.
Outcome run_cube(int k, int memo, int mmem) {
  const fs::path dir = sparse_bench::cube_run_dir("cube_" + std::to_string(k), k, "METI", memo, mmem);
  Outcome o;
  o.load_before = sparse_bench::machine_load();
  const auto t0 = Clock::now();
  const pid_t pid = sparse_bench::start_program(dir, "1");
  i64 largest = 0;
  int status = 0;
  rusage ru{};
  for (int tick = 1;; ++tick) {
    const pid_t r = wait4(pid, &status, WNOHANG, &ru);
    if (r == pid) break;
    const i64 open = open_file_bytes(pid);
    largest = std::max(largest, open);
    if (tick % 120 == 0) {
      std::printf("  [%s] cube %d^3 running %.0f s, resident %.0f MB, open files %.0f MB, load %s\n",
                  stamp().c_str(), k, std::chrono::duration<double>(Clock::now() - t0).count(), resident_mb(pid), static_cast<double>(open) / 1048576.0, sparse_bench::machine_load().c_str());
      std::fflush(stdout);
    }
    usleep(500000);
  }
  o.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  o.load_after = sparse_bench::machine_load();
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  o.peak_mb = static_cast<double>(ru.ru_maxrss) / 1024.0;
  o.scratch_mb = static_cast<double>(largest) / 1048576.0;
  o.memory_line = line_with(dir / "cube.lst", "Working Memory for MFSLIB");
  o.message = line_with(dir / "cube.lst", " TO RUN IN CORE");
  std::error_code ec;
  fs::remove_all(dir, ec);
  return o;
}

void report(int k, int memo, int mmem, const Outcome& o) {
  std::printf("[%s] cube %d^3, MEMO %d MMEM %d: exit %d, wall %.1f s, peak %.0f MB, open files at most %.0f MB\n",
              stamp().c_str(), k, memo, mmem, o.status, o.seconds, o.peak_mb, o.scratch_mb);
  std::printf("    load before %s, after %s\n", o.load_before.c_str(), o.load_after.c_str());
  if (!o.memory_line.empty()) std::printf("   %s\n", o.memory_line.c_str());
  if (!o.message.empty()) std::printf("   %s\n", o.message.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int memo = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int mmem = argc > 2 ? std::atoi(argv[2]) : 7191;
  const int ref = argc > 3 ? std::atoi(argv[3]) : 40;
  std::vector<int> edges;
  for (int i = 4; i < argc; ++i) edges.push_back(std::atoi(argv[i]));
  if (argc <= 4) edges = {54, 60, 70};

  const double ref_ops = factor_ops(ref);
  const Outcome r = run_cube(ref, memo, mmem);
  std::printf("reference: cube %d^3 in core, %.4g factor operations, %.1f s (%.3g operations a second)\n", ref,
              ref_ops, r.seconds, ref_ops / r.seconds);
  report(ref, memo, mmem, r);
  for (int k : edges) {
    const int edge = k;
    const double ops = factor_ops(edge);
    const double scaled = r.seconds * ops / ref_ops;
    std::printf("cube %d^3: %.4g factor operations, in-core time scaled by operations %.1f s\n", edge, ops, scaled);
    std::fflush(stdout);
    const Outcome o = run_cube(edge, memo, mmem);
    report(edge, memo, mmem, o);
    std::printf("    time / scaled in-core time = %.2f\n", o.seconds / scaled);
    std::fflush(stdout);
  }
  return 0;
}
