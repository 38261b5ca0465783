// The lines that the decomposition and the substitution print themselves
// (on the listing and on the error log), before the numbered fatal message
// that ends the run or the error flag that stops the decomposition.
#pragma once

#include <cstdint>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

enum class RowFailure { NullColumn, ZeroDiagonal };

// "0*** SDCOMP FATAL MESSAGE ---  DECOMPOSITION ABORTED AT" row "-TH ROW BECAUSE OF ...".
void print_row_abort(word row, RowFailure why);
// "0*** SYSTEM FATAL MESSAGE 3106 , ..." / "3107 , ...": the same failure met
// while the active counts are measured.
void print_count_abort(word row, RowFailure why);
// "0*** SDCOMP FATAL MESSAGE ---  NUMBER OF ACTIVE COLUMNS" m "AT ROW" i "EXCEEDED THE LIMIT OF" nc.
void print_limit_exceeded(word m, word row, word nc);
// "0*** SYSTEM FATAL MESSAGE" code ", WRONG INPUT FILE" file, then the
// header words, and the run ends with fatal 999 (0, 0).
[[noreturn]] void wrong_input_file(word code, word file, std::span<const word, 6> header);
// "0*** SYSTEM FATAL MESSAGE" code ", THE FIRST ELEMENT OF" column "-TH COLUMN
// OF (" matrix ") IS NOT THE DIAGONAL ELEMENET OR ZERO.", then the run ends
// with fatal 999 (0, 0).
[[noreturn]] void first_term_not_diagonal(word code, char matrix, word column);

// Fatal message code (given positive) with its two parameters: the run ends.
[[noreturn]] void solve_fatal(word code, word p1, word p2);

// A record of a data block that contradicts itself or what it addresses:
// on a restart it may come from a damaged old problem tape and the run ends
// as for one; otherwise fatal code (given positive), as solve_fatal.
[[noreturn]] void record_contradiction(word code, word p1, word p2);

// The number as a message parameter: values past a word are shown as the
// largest word.
word message_word(std::int64_t v) noexcept;

}  // namespace zephsol
