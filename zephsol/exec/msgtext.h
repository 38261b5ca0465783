// The catalogue of message texts behind the text writers of msg.h.
#pragma once

#include <span>
#include <string_view>

#include "zephsol/exec/words.h"

namespace zephsol::msgtext {

enum class Header : unsigned char { SystemFatal, UserFatal, SystemWarning, UserWarning, SparseSolver };

// The header line format of each kind (code as I5, then a comma).
std::string_view header_format(Header h);

// One text of the catalogue: the codes first..last share it. The text line is
// the format applied to p1 and p2 in order, each printed as params says:
// 'I' integer, 'A' the four characters of the word, 'E' the REAL in the word.
// A sparse-solver text has no parameters; its Shift-JIS bytes are the one
// argument of the format.
struct Text {
  word first;
  word last;
  Header header;
  std::string_view params;
  std::string_view format;
  std::string_view sjis = {};
};

// The texts of each writer, ordered by code.
std::span<const Text> system_texts();
std::span<const Text> file_texts();
std::span<const Text> sparse_texts();
std::span<const Text> element_texts();

// The text of code in texts, or nullptr.
const Text* find_text(std::span<const Text> texts, word code);

}  // namespace zephsol::msgtext
