// The control cards of the executive control deck and what each sets: the
// table of card names and their value readers, shared by the deck reader
// and its card readers.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "zephsol/exec/words.h"
#include "zephsol/input/items.h"

namespace zephsol {

// State of the deck reading that outlives one card.
struct DeckState {
  word fatal = 0;                // the deck's fatal indicator
  bool after_error = false;      // the last card ended in an error message
  bool section_pending = false;  // a continuation read met a section card, now in hand
  word tape_buffer = 0;          // open-core word of the problem tape buffer
};

// A card's value reader: given the item after the card name, sets what the
// card sets; returns 0 or the number of the message the card deserves (507,
// 513, 519).
using CardReader = word (*)(ItemCursor value, DeckState& st);

struct ControlCard {
  std::string_view name;
  word required;
  bool repeatable;
  CardReader read;
};

// The control cards, in the order of the control card table.
std::span<const ControlCard, 13> control_cards();

// Outcome of reading a continuation card.
enum class Continuation {
  Card,      // the next card is in hand
  Section,   // a section card came instead (left in hand for the deck reader)
  Rejected,  // the next card was rejected by the free-field reader
};
Continuation next_continuation(DeckState& st);

// Prints message number (with the card name where the text has one) on
// units 6 and 999.
void deck_message(word number, std::array<word, 2> name = {});
// Prints a fatal message and ends the run.
[[noreturn]] void deck_fatal(word number, std::array<word, 2> name = {});
// Message 509 with the old tape's identification, and the end of the run.
[[noreturn]] void wrong_old_tape(const IDREC& old);

}  // namespace zephsol
