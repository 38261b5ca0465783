// Test support shared by the model and later tests: data blocks as text.
//
// dump_block() reads a closed data block through the file system and prints
// its six header words, then every record on one line, each word typed by a
// layout: "I" an integer, "R" a REAL, "A" four characters. An end-of-file
// mark prints "EOF" (multi-file blocks); the dump ends at the end of the
// data or at two marks in a row. Tests compare dumps, or parts of them,
// with short expected texts.
//
// A layout is a list of items separated by blanks, applied from the start of
// each record; the last item that runs out of words ends the record:
//   I R A        one word of that type
//   I3 R12       a count of words
//   R@8          as many words as word 8 of the record holds
//   I*           every remaining word
//   (I5 R3)*     a group repeated to the end of the record; (..)@k and (..)n
//                repeat it word k's value or n times
// Words not covered by the layout print as integers.
//
// Layouts of the model tables are built in (layout_of(number)); a block
// without a built-in layout prints integers. Examples:
//   CSTM  "I3 R12"                  NODC  "(I5 R3)*"
//   EST   "I10 R@8 R@9 I@10"        ADIC  "I4 I@4 I@2"
//   record 7 of EST as the test sees it:
//     "7: 3 16777217 1 0 3 9 9 0 24 8 | 0 0 0 1 0 0 ... | 1027 ..."
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol::test {

// The built-in layout of a data block ("I*" for a block without one).
std::string layout_of(word number);

// One record as text under a layout: words separated by blanks, items of
// the top level separated by " | ". Reals print in their shortest exact
// form (1, 0.5, -2.5e-07), names in quotes ('ELEM').
std::string format_record(const std::vector<word>& record, std::string_view layout);

// The dump: "header: h1 h2 h3 h4 h5 h6", then "k: <record>" for records
// k = 1, 2, ... (counting on across files), "EOF" between files.
std::vector<std::string> dump_block(word number, std::string_view layout);
std::vector<std::string> dump_block(word number);

// The records of a closed data block up to the first mark, whole.
std::vector<std::vector<word>> block_records(word number);
// The six header words.
std::array<word, 6> block_header(word number);
// Writes records (and the header) to a data block, for fixtures that a deck
// cannot produce. A record without words writes an end-of-file mark (the
// files of a multi-file block); closing the block ends its last file.
void write_block(word number, const std::vector<std::vector<word>>& records, std::array<word, 6> header);

// The REAL stored in a word, and back.
inline float real_of(word w) { return word_real(w); }
inline word word_of(float v) { return real_word(v); }

}  // namespace zephsol::test
