// The machine's load for the benchmarks' lines: the three figures of
// /proc/loadavg.
#pragma once

#include <fstream>
#include <string>

namespace sparse_bench {

inline std::string machine_load() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

}  // namespace sparse_bench
