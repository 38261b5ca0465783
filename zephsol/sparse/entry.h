// What the entries of the sparse library share: the context of a call, the
// report of a fatal error (HHERR, then the fatal-error block on msgunit at
// message level >= 1) and the texts every entry uses.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// One call of an entry: the work array, the entry's name and the message
// level and unit of the control block.
struct Call {
  Call(double* work, i64 lwork, const char* entry);
  Work w;
  const char* name;
  i32 msglvl;
  i32 msgunit;
  i64 stage() const { return w.ictl(cw::stage); }
};

// HHERR(mode, name, ier, extra) and, at message level >= 1, the block: an
// empty line, five blanks, "*** fatal error no. ", ier (I5) and the first
// text line; every further line after five blanks.
void fatal(i32 msglvl, i32 msgunit, std::string_view name, i32 ier, i32 mode, i64 extra,
           const std::vector<std::string>& text);
inline void fatal(const Call& c, i32 ier, i32 mode, i64 extra, const std::vector<std::string>& text) {
  fatal(c.msglvl, c.msgunit, c.name, ier, mode, extra, text);
}

// " *** subroutine <name> executed in an" / "incorrect sequence.  current
// stage = " (I10), then, when should is not empty, five blanks and it.
std::vector<std::string> stage_text(std::string_view name, i64 stage, std::string_view should);
// " *** subroutine <name> requires " need (I15) / "words of workspace and
// has only " lwork (I15) " available."
std::vector<std::string> need_text(std::string_view name, i64 need, i64 lwork);
// " *** subroutine <name> encountered i/o error" / "on i/o file no. " (I15).
std::vector<std::string> io_text(std::string_view name, i64 unit);

// A phase banner at message level >= 2: an empty line, then each line
// after one blank.
void banner(const Call& c, std::initializer_list<std::string_view> lines);
// A line of msgunit: five blanks, the label, the value (I15 or F15.6).
void count_line(const Call& c, std::string_view label, i64 v);
void time_line(const Call& c, std::string_view label, double seconds);
// At message level >= 1, the times of a phase whose input came in earlier
// calls: an empty line, then the input's cpu and wall time (from the first
// call) and the processing's (the rest), under the four labels.
void input_times(const Call& c, const std::array<std::string_view, 4>& labels, double in_cpu, double in_wall,
                 double cpu, double wall);

}  // namespace zephsol::sparse
