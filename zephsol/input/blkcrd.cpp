// Bulk data card reader: the next card, with a free-field card rebuilt into
// ten fixed fields of eight columns.
#include <string>
#include <string_view>

#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/bulkgrp.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/cards.h"
#include "zephsol/input/inrec.h"

namespace zephsol {

namespace {

// Columns in which a "," or "/" makes a card a free-field card.
constexpr std::size_t kFreeFieldColumns = 32;

constexpr bool separator(char c) { return c == ',' || c == '/'; }

// The fields of a free-field card as the scan fills them.
class FieldBuilder {
 public:
  // Starts the next field; false (and 306 noted) past the tenth.
  bool begin() {
    if (fields_ == kFields) {
      too_many_ = true;
      return false;
    }
    ++fields_;
    length_ = 0;
    return true;
  }
  // Appends a character to the current field; a ninth notes 307.
  void put(char c) {
    if (length_ == kFieldColumns) {
      too_long_ = true;
      return;
    }
    out_[static_cast<std::size_t>(kFieldColumns * (fields_ - 1) + length_++)] = c;
  }
  const std::string& card() const { return out_; }
  bool too_many() const { return too_many_; }
  bool too_long() const { return too_long_; }

 private:
  std::string out_ = std::string(kCardColumns, ' ');
  int fields_ = 0;
  int length_ = 0;
  bool too_many_ = false;
  bool too_long_ = false;
};

// Splits columns 1-80 at blanks, "," and "/": a run of characters fills the
// next field; a separator right after another separator (blanks between
// them do not count), or first on the card, leaves a field empty; a
// separator after a run ended by a blank only ends that run.
FieldBuilder split_fields(std::string_view cols) {
  enum class After { Start, Separator, BlankEndedRun };
  FieldBuilder b;
  After after = After::Start;
  bool in_run = false;
  bool dropping = false;  // characters of a run beyond the tenth field
  for (const char c : cols) {
    if (c == ' ') {
      if (in_run) after = After::BlankEndedRun;
      in_run = false;
    } else if (separator(c)) {
      if (!in_run && after != After::BlankEndedRun) b.begin();
      in_run = false;
      after = After::Separator;
    } else {
      if (!in_run) dropping = !b.begin();
      in_run = true;
      if (!dropping) b.put(c);
    }
  }
  return b;
}

void card_fault(std::string_view format) {
  LINCNT(2);
  write_listing_and_log({fline(format, {bulk_state().NBCARD + 1})});
  sysw().IERFLG = 1;
}

// A card with "$" or "=" in column 1 is returned as it stands; so is a
// fixed-field card, with no "," or "/" in columns 1-32.
bool free_field(const std::string& cols) {
  if (cols[0] == '$' || cols[0] == '=') return false;
  return std::string_view(cols).substr(0, kFreeFieldColumns).find_first_of(",/") != std::string_view::npos;
}

// The free-field card rebuilt in ten fields; messages 306 and 307.
std::string rebuilt(const std::string& cols) {
  const FieldBuilder b = split_fields(cols);
  if (b.too_many())
    card_fault("('0*** USER FATAL MESSAGE  306, CARD NUMBER',I8,', MORE THAN 10 FIELDS IN A CARD.')");
  if (b.too_long())
    card_fault("('0*** USER FATAL MESSAGE  307, CARD NUMBER',I8,', MORE THAN 8 CHARACTERS IN A FIELD.')");
  return b.card();
}

}  // namespace

void BLKCRD() {
  CTLCOM& ctl = input_state().ctl;
  if (ctl.KCLASS < 0) return;
  const auto line = unit_read_line(sysw().INUNIT, kCardColumns);
  if (!line) {
    ctl.KCLASS = CLS_EOF;
    return;
  }
  card_from_line(*line, ctl.CARD);
  const std::string cols = card_columns(ctl.CARD);
  if (free_field(cols)) card_from_line(rebuilt(cols), ctl.CARD);
}

}  // namespace zephsol
