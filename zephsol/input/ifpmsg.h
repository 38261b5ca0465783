// Messages of the data-group decoders.
//
// IFPMSG counts a message (a positive code is fatal: NFATAL and IERFLG; a
// negative code a warning: NWARN), and while the count of its kind is within
// MSGLIM prints, on the listing and the error log, a header line that
// locates the card (kind, number, card number when there is one, data group
// name) and a text line from the catalogue of numbers 2000-2879. A number
// without a text prints "POSSIBLE DATA ERROR.  P1,P2=" with both parameters
// as integers. Counting never depends on printing.
//
// Parameters are explicit: an integer, a REAL, or up to eight characters
// held in two words; a text takes from a parameter only what it holds.
//
// The decoders also check the expanded size of a set (ranges of nodes or
// elements times components) in 64 bits: a range whose set would not fit in
// one record of the file system, or whose expansion does not fit in the
// work area, is fatal message 2120 on its card, naming the range.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "zephsol/exec/words.h"

namespace zephsol {

// One parameter of a decoder message.
class IfpParm {
 public:
  constexpr IfpParm() noexcept = default;
  constexpr IfpParm(word v) noexcept : w_{v, kBlank} {}
  IfpParm(float v) noexcept : w_{real_word(v), kBlank} {}
  constexpr IfpParm(std::array<word, 2> chars8) noexcept : w_(chars8) {}
  // Up to eight characters, blank-filled.
  constexpr IfpParm(std::string_view chars) noexcept
      : w_(name_words8(chars)) {}
  constexpr IfpParm(const char* chars) noexcept : IfpParm(std::string_view(chars)) {}

  word integer() const noexcept { return w_[0]; }
  float real() const noexcept { return word_real(w_[0]); }
  // The first n characters (n at most 8).
  std::string chars(std::size_t n) const { return words8_name(w_[0], w_[1]).substr(0, n); }

 private:
  static constexpr word kBlank = name_word("    ");
  std::array<word, 2> w_{0, kBlank};
};

void IFPMSG(word code, IfpParm p1 = {}, IfpParm p2 = {});

// While it lives, decoder messages name card `cardno` (a card read earlier:
// the set, definition or interval card that a message about the whole item
// is about) instead of the card at hand. No card is read meanwhile.
class AboutCard {
 public:
  explicit AboutCard(word cardno) noexcept;
  ~AboutCard();
  AboutCard(const AboutCard&) = delete;
  AboutCard& operator=(const AboutCard&) = delete;

 private:
  word at_hand_;
};

// Counts one decoder message: a fatal one raises NFATAL and sets IERFLG, a
// warning raises NWARN. True while the count of its kind is within MSGLIM,
// that is when the message is to be printed.
bool ifp_count(bool fatal);
// The card number as messages print it: CARDNO without its sign bit, negated
// when the sign bit (a card of the old problem tape) is set.
word ifp_card_number() noexcept;
// The header line of a decoder message: "0", the 24-character kind, the
// number (I6), ",  CARD NUMBER" and the card number (I7) when with_card, and
// ",  DATA GROUP NAME- " with the 24 characters of GRPNAM.
std::string ifp_header(bool fatal, word number, bool with_card);

// Message number of a range that cannot be expanded in its set (the set
// would not fit in one record, or its expansion in the work area).
inline constexpr word kSetTooLarge = 2120;
// Words one record of the file system can hold (its count is one word).
inline constexpr std::int64_t kMaxRecordWords = 2147483647;

// A stepped range of nodes or elements.
struct StepRange {
  word first = 0;
  word last = 0;
  word step = 1;
};

// Terms of the stepped range first, first + step, ... up to last, by the rule
// of RNGCNT, in 64 bits; 0 for a zero step (the decoders refuse it first).
std::int64_t range_terms(word first, word last, word step) noexcept;
// Adds terms entries of words_per_entry words to a set of `words` words. When
// the sum would pass kMaxRecordWords, raises fatal 2120 for the current card
// (the range that expands so far: first and last) and returns false with
// `words` unchanged.
bool set_grow(std::int64_t& words, std::int64_t terms, word words_per_entry, const StepRange& range);

}  // namespace zephsol
