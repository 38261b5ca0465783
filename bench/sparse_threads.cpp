// Cubes of unit HEX8 bricks through the whole program with each equation
// solver and thread count: one run per cube, method and count (the count
// in OMP_NUM_THREADS of the run), each printed with its wall and CPU time,
// its exit status, the ratio of its wall time to the method's first count,
// and the machine's load (/proc/loadavg) before and after it.
//
//   bench_sparse_threads [edges] [methods] [threads] [MEMO] [MMEM]
//   defaults:            "31 45" "METI"  "1 2 4 8"  1000   7191
//
// Each list is one argument of words apart; a cube is its number of HEX8
// bricks a side, or "HEX20:" and its number of HEX20 bricks; a method is
// the value of the SOLVER card ("METI", "PCG,1.0E-12,2000") or "-" for none
// (the profile decomposition). The runs are made in directories under $TMPDIR (or /tmp),
// removed after each run.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::vector<std::string> words(const std::string& list) {
  std::istringstream in(list);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

struct Run {
  int status = -1;
  double wall = 0, cpu = 0;
  std::string before, after;
};

// The cube with `method` on `threads` threads, MEMO and MMEM as given.
Run run_cube(const std::string& cube, const std::string& method, const std::string& threads, int memo, int mmem) {
  const fs::path dir = sparse_bench::cube_run_dir("threads", cube, method == "-" ? "" : method, memo, mmem);
  Run r;
  r.before = sparse_bench::machine_load();
  const auto t0 = Clock::now();
  const pid_t pid = sparse_bench::start_program(dir, threads.c_str());
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  r.wall = std::chrono::duration<double>(Clock::now() - t0).count();
  r.after = sparse_bench::machine_load();
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
          1e-6 * static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec);
  std::error_code ec;
  fs::remove_all(dir, ec);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const auto edges = words(argc > 1 ? argv[1] : "31 45");
  const auto methods = words(argc > 2 ? argv[2] : "METI");
  const auto counts = words(argc > 3 ? argv[3] : "1 2 4 8");
  const int memo = argc > 4 ? std::atoi(argv[4]) : 1000;
  const int mmem = argc > 5 ? std::atoi(argv[5]) : 7191;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("%-10s %-20s %3s %4s %9s %9s %7s   %-17s  %s\n", "cube", "method", "thr", "exit", "wall s", "cpu s",
              "speedup", "load before", "load after");
  for (const auto& edge : edges)
    for (const auto& method : methods) {
      double first = 0;
      for (const auto& threads : counts) {
        const Run r = run_cube(edge, method, threads, memo, mmem);
        if (first == 0) first = r.wall;
        std::printf("%-10s %-20s %3s %4d %9.2f %9.2f %7.2f   %-17s  %s\n", (edge + "^3").c_str(), method.c_str(),
                    threads.c_str(), r.status, r.wall, r.cpu, first / r.wall, r.before.c_str(), r.after.c_str());
      }
    }
  return 0;
}
