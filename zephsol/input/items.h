// Walking the item list of the free-field card reader, item by item.
#pragma once

#include <cstring>
#include <span>
#include <string>

#include "zephsol/exec/words.h"
#include "zephsol/input/inrec.h"

namespace zephsol {

inline constexpr word kItemName = 2;
inline constexpr word kItemDelim = 1;
inline constexpr word kItemInt = -1;
inline constexpr word kItemReal = -2;
inline constexpr word kItemDouble = -4;
inline constexpr word kItemText = 10;
inline constexpr word kItemContinued = 0;

// Words taken by the item whose type word is t, the type word included; 1
// for the end and continuation marks.
constexpr word item_size(word t) noexcept {
  if (t == kItemName || t == kItemDouble) return 3;
  if (t == kItemDelim || t == kItemInt || t == kItemReal) return 2;
  if (t >= kItemText && t != kEOS) return t - kItemText + 1;
  return 1;
}

// A position in an item list.
class ItemCursor {
 public:
  explicit ItemCursor(std::span<const word> items, word at = 0) : items_(items), at_(at) {}

  word type() const { return items_[static_cast<std::size_t>(at_)]; }
  word at() const { return at_; }
  word value(int k = 0) const { return items_[static_cast<std::size_t>(at_ + 1 + k)]; }

  bool is_end() const { return type() == kEOS; }
  bool is_continued() const { return type() == kItemContinued; }
  bool is_name() const { return type() == kItemName; }
  bool is_int() const { return type() == kItemInt; }
  bool is_real() const { return type() == kItemReal; }
  bool is_delim() const { return type() == kItemDelim; }
  bool is_text() const { return type() >= kItemText && type() != kEOS; }
  // A name of eight blanks.
  bool is_empty_name() const { return is_name() && value(0) == name_word("") && value(1) == name_word(""); }
  // A name whose first four characters are kw (blank-filled).
  bool is_keyword(std::string_view kw) const { return is_name() && value(0) == name_word(kw); }
  std::array<word, 2> name8() const { return {value(0), value(1)}; }
  float real() const { return word_real(value(0)); }
  word text_words() const { return type() - kItemText; }

  // Moves to the next item; stays on an end or continuation mark.
  void next() {
    if (!is_end() && !is_continued()) at_ += item_size(type());
  }

 private:
  std::span<const word> items_;
  word at_;
};

}  // namespace zephsol
