// Services shared by the model modules: their numbered user messages with
// the print limit, the total line, fatal stops, data-block headers, the
// reading of CONE records and sorts of fixed-width rows.
//
// A user error counts one in IERFLG and is printed (LINCNT of 2 lines, then
// the line on the listing and the error log) while the count is at most
// 100; a module whose count passed 100 ends its output with
// "0*** TOTAL" n " ERRORS -- FIRST" 100 " ARE PRINTED" on both units.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "zephsol/exec/msg.h"
#include "zephsol/exec/words.h"

namespace zephsol {

using Header = std::array<word, 6>;

// A negative code ends the run through MSGPUT and does not return.
[[noreturn]] inline void model_fatal(word code, word p1, word p2) {
  MSGPUT(code, p1, p2);
  std::abort();
}
// A value of a data block that addresses nothing (a freedom, count or
// position out of range). On a restart the block may come from a damaged old
// problem tape, and the run ends as for one (message 566); otherwise it ends
// on fatal `code`.
[[noreturn]] void bad_block_value(word code, word p1, word p2);
// Fatal 3 with the words needed and available, kept within a word.
[[noreturn]] void short_of_core(std::int64_t needed, std::int64_t available);

// The printed line of a user error; counted, printed while the count is at
// most 100 (or always, with `always`).
void user_error(const std::string& line, bool always = false);
// n more user errors, counted without being printed (the print limit has
// been passed): identifiers left out of a decoded block by a wide range
// (zephsol/input/leftout.h). The count stays within a word.
void user_errors_unprinted(std::int64_t n);
// A warning line: printed on both units, not counted.
void user_warning(const std::string& line);
// The total line, when more than 100 errors were counted.
void error_total();

Header header_of(word file);

// Reads the next record of CONE (open for reading) into area, which must end
// within 100 words; returns its length. A longer record is fatal -3825
// ("CONE", 100), the end of the data -2 ("CONE").
word read_cone_record(word CONE, std::span<word, 100> area);

// Sorts the n rows of W words of table ascending by word k1 (1-based), ties
// by word k2 (0: none). The rows stay whole.
template <std::size_t W>
void sort_rows(std::span<word> table, std::size_t n, std::size_t k1, std::size_t k2 = 0) {
  std::vector<std::array<word, W>> rows(n);
  for (std::size_t i = 0; i < n; ++i) std::copy_n(table.begin() + static_cast<std::ptrdiff_t>(W * i), W, rows[i].begin());
  std::sort(rows.begin(), rows.end(), [k1, k2](const auto& a, const auto& b) {
    if (a[k1 - 1] != b[k1 - 1]) return a[k1 - 1] < b[k1 - 1];
    return k2 != 0 && a[k2 - 1] < b[k2 - 1];
  });
  for (std::size_t i = 0; i < n; ++i) std::copy_n(rows[i].begin(), W, table.begin() + static_cast<std::ptrdiff_t>(W * i));
}

// Visits the positions (from 0) of the entries of an element load record
// of `length` words, found by walking them from word 3: entry = [ELDTYP, n,
// code word, n - 1 values], or [ELDTYP, 0] for a load without words (a body
// force on an element that takes none). An entry running past the record
// is fatal -3520 (length, its end).
template <class Visit>
void walk_load_entries(std::span<const word> rec, word length, Visit&& visit) {
  for (word at = 2; at + 1 < length;) {
    const word n = rec[static_cast<std::size_t>(at + 1)];
    const std::int64_t end = std::int64_t{at} + n + 2;
    if (n < 0 || end > length) bad_block_value(-3520, length, static_cast<word>(std::min<std::int64_t>(end, INT32_MAX)));
    visit(at);
    at += n + 2;
  }
}

// Sorts list ascending and drops repeated values (and zeros with
// drop_zero); returns the count kept at the front.
std::size_t sort_unique(std::span<word> list, bool drop_zero = false);

}  // namespace zephsol
