// Whole-run fuzzing of the program: damaged old problem tapes and model
// values (material and load figures, extreme ones included) run through
// the solver program on scratch directories.
//
// Every case comes from one number, its seed: the same seed gives the same
// deck, the same tape damage and the same run. A case is a finding when the
// run
//   - was reported by a sanitizer (its standard error holds a report),
//   - ended on a signal, a time-out or the signal handler's abort line,
//   - ended normally (exit 0) with a non-finite value in the listing or the
//     result file, or
//   - left a work file (or any file the run does not own) in its directory.
// An error end with a message (exit 1) is an ordinary outcome.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zephsol::fuzz {

// One case of the campaign.
struct Case {
  std::uint64_t seed = 0;
  std::string kind;     // "tape" or "model"
  std::string what;     // the damage or the values changed, for the report
};

// What one run gave.
struct Outcome {
  Case c;
  int exit = 0;                       // exit status, -1 when not exited
  std::string message;                // the first fatal line of the run
  std::vector<std::string> findings;  // empty when the run was sound
};

// The clean problem tape of the base deck (checkpoints of every interval),
// written once by a run of the program; empty when that run failed.
const std::string& base_tape();

// Builds and runs the case of seed, checking the run as above.
Outcome run_case(std::uint64_t seed);

// Runs the cases first, first + 1, ..., first + count - 1 and prints one
// line per finding (and, with verbose, one per case) on standard output.
// Returns every outcome that has a finding.
std::vector<Outcome> campaign(std::uint64_t first, std::uint64_t count, bool verbose);

}  // namespace zephsol::fuzz
