// Messages, fatal stops and small table services of the model modules.
#include "zephsol/model/model_util.h"

#include <limits>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/dbio/punits.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

constexpr word kPrintLimit = 100;
constexpr word kConeLimit = 100;
constexpr word kRecordEnded = 1, kNoRecord = 2;

word clamp_word(std::int64_t v) {
  constexpr std::int64_t lo = std::numeric_limits<word>::min(), hi = std::numeric_limits<word>::max();
  return static_cast<word>(std::clamp(v, lo, hi));
}

// A line of several records (a format with "/") takes one line each.
void print_both(const std::string& line) {
  LINCNT(2 + static_cast<word>(std::count(line.begin(), line.end(), '\n')));
  unit_write_line(kListing, line);
  unit_write_line(kErrorLog, line);
}

}  // namespace

void short_of_core(std::int64_t needed, std::int64_t available) {
  model_fatal(-3, clamp_word(needed), clamp_word(available));
}

void user_error(const std::string& line, bool always) {
  SYSWRD& s = sysw();
  if (s.IERFLG < 0) s.IERFLG = 0;
  ++s.IERFLG;
  if (always || s.IERFLG <= kPrintLimit) print_both(line);
}

void user_errors_unprinted(std::int64_t n) {
  if (n <= 0) return;
  SYSWRD& s = sysw();
  s.IERFLG = static_cast<word>(std::min<std::int64_t>(std::int64_t{std::max<word>(s.IERFLG, 0)} + n, 0x7FFFFFFF));
}

void user_warning(const std::string& line) { print_both(line); }

void error_total() {
  const word n = sysw().IERFLG;
  if (n <= kPrintLimit) return;
  const std::string line = fline("('0*** TOTAL',I6,' ERRORS -- FIRST',I6,' ARE PRINTED')", {n, kPrintLimit});
  unit_write_line(kListing, line);
  unit_write_line(kErrorLog, line);
}

Header header_of(word file) {
  Header h{};
  HDRGET(file, h);
  return h;
}

word read_cone_record(word CONE, std::span<word, 100> area) {
  word nread = 0, status = 0;
  DBRDST(CONE, area.data(), kConeLimit, 1, nread, status);
  if (status == kNoRecord) model_fatal(-2, name_word("CONE"), 0);
  if (status != kRecordEnded) model_fatal(-3825, name_word("CONE"), kConeLimit);
  return nread;
}

std::size_t sort_unique(std::span<word> list, bool drop_zero) {
  std::sort(list.begin(), list.end());
  auto end = std::unique(list.begin(), list.end());
  if (drop_zero) end = std::remove(list.begin(), end, 0);
  return static_cast<std::size_t>(end - list.begin());
}

void bad_block_value(word code, word p1, word p2) {
  damaged_data();
  model_fatal(code, p1, p2);
}

}  // namespace zephsol
