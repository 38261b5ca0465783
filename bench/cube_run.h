// Runs of a cube of unit HEX8 bricks through the program built beside the
// benchmark (ZEPH_PROGRAM), each in a scratch directory of its own.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "tests/common/cube_deck.h"

namespace sparse_bench {

// A cube named as the benchmarks take it: "31" is the cube of 31 HEX8
// bricks a side, "HEX20:20" that of 20 HEX20 bricks a side.
inline std::string cube_deck(const std::string& cube, std::string_view solver) {
  constexpr std::string_view quadratic = "HEX20:";
  if (cube.rfind(quadratic, 0) == 0)
    return zephsol::test::hex20_cube_deck(std::atoi(cube.c_str() + quadratic.size()), solver);
  return zephsol::test::hex8_cube_deck(std::atoi(cube.c_str()), solver);
}

// A directory under $TMPDIR (or /tmp) named for `tag` and this process,
// holding the cube's deck (the SOLVER card's value `solver`, none when
// empty) and a SOLV.LST with MEMO and MMEM.
inline std::filesystem::path cube_run_dir(const std::string& tag, const std::string& cube, std::string_view solver,
                                          int memo, int mmem) {
  const char* tmp = std::getenv("TMPDIR");
  const std::filesystem::path dir =
      std::filesystem::path(tmp ? tmp : "/tmp") / ("zeph_bench_" + tag + "_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "cube.dat") << cube_deck(cube, solver);
  std::ofstream(dir / "SOLV.LST") << " INPT cube.dat\n LIST cube.lst\n ERRO cube.err\n STAT cube.sta\n"
                                     " CONV cube.cnv\n POST cube.neu\n MEMO "
                                  << memo << "\n MMEM " << mmem << "\n END\n";
  return dir;
}
inline std::filesystem::path cube_run_dir(const std::string& tag, int k, std::string_view solver, int memo,
                                          int mmem) {
  return cube_run_dir(tag, std::to_string(k), solver, memo, mmem);
}

// Starts the program in dir on `threads` threads (OMP_NUM_THREADS), its
// console going to console.txt there; the child's process id.
inline pid_t start_program(const std::filesystem::path& dir, const char* threads) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0 || !std::freopen("console.txt", "w", stdout)) _exit(127);
    setenv("OMP_NUM_THREADS", threads, 1);
    execl(ZEPH_PROGRAM, ZEPH_PROGRAM, static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

}  // namespace sparse_bench
