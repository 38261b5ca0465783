// Printed lines of the decomposition and the substitution.
#include "zephsol/solve/sdcmsg.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "zephsol/dbio/punits.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

const char* reason(RowFailure why) {
  return why == RowFailure::NullColumn ? "-TH ROW BECAUSE OF NULL COLUMN" : "-TH ROW BECAUSE OF ZERO DIAGONAL";
}

}  // namespace

void print_row_abort(word row, RowFailure why) {
  const std::string line =
      fline("('0*** SDCOMP FATAL MESSAGE ---  DECOMPOSITION ABORTED AT ',I8,A)", {row, reason(why)});
  write_listing_and_log({line});
}

void print_count_abort(word row, RowFailure why) {
  const word code = why == RowFailure::NullColumn ? 3106 : 3107;
  const std::string line =
      fline("('0*** SYSTEM FATAL MESSAGE ',I4,' , DECOMPOSITION ABORTED AT',I8,A)", {code, row, reason(why)});
  write_listing_and_log({line});
}

void print_limit_exceeded(word m, word row, word nc) {
  const std::string line = fline(
      "('0*** SDCOMP FATAL MESSAGE ---  NUMBER OF ACTIVE COLUMNS ',I8,' AT ROW ',I8,' EXCEEDED THE LIMIT OF ',I8)",
      {m, row, nc});
  write_listing_and_log({line});
}

void wrong_input_file(word code, word file, std::span<const word, 6> h) {
  const std::string first = fline("('0*** SYSTEM FATAL MESSAGE ',I4,', WRONG INPUT FILE ',I4)", {code, file});
  const std::string second = fline("(10X,'HEADER INFORMATION =',6I8)", {h[0], h[1], h[2], h[3], h[4], h[5]});
  write_listing_and_log({first, second});
  solve_fatal(999, 0, 0);
}

void first_term_not_diagonal(word code, char matrix, word column) {
  write_listing_and_log({fline("('0*** SYSTEM FATAL MESSAGE ',I4,', THE FIRST ELEMENT OF ',I6,'-TH COLUMN OF (',A,"
                               "') IS NOT THE DIAGONAL ELEMENET OR ZERO.')",
                               {code, column, std::string(1, matrix)})});
  solve_fatal(999, 0, 0);
}

void solve_fatal(word code, word p1, word p2) {
  MSGPUT(-code, p1, p2);
  RUNEND();
}

void record_contradiction(word code, word p1, word p2) {
  damaged_data();
  solve_fatal(code, p1, p2);
}

word message_word(std::int64_t v) noexcept {
  return static_cast<word>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace zephsol
