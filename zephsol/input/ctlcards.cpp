// Value readers of the control cards.
#include "zephsol/input/ctlcards.h"

#include <algorithm>
#include <initializer_list>
#include <string>

#include "zephsol/dbio/directory.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/cards.h"
#include "zephsol/input/ctldck.h"
#include "zephsol/input/inblocks.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/solvlst.h"

namespace zephsol {

namespace {

constexpr word kOk = 0;
constexpr word kBadValue = 507;
constexpr word kTooManyIntervals = 513;
constexpr word kIdNotFirst = 519;
constexpr std::size_t kMaxIntervals = 100;
constexpr word kTitleWords = 18;

InputState& in() { return input_state(); }

// A delimiter right after the card name is passed over.
void skip_leading_delimiter(ItemCursor& c) {
  if (c.is_delim()) c.next();
}

// Continues an item walk on the next card; false (with the message to give
// in msg) when the card ends there.
bool continue_on_next_card(ItemCursor& c, DeckState& st, word& msg) {
  switch (next_continuation(st)) {
    case Continuation::Card:
      c = ItemCursor(in().ctl.PARSE);
      return true;
    case Continuation::Section:
      msg = kBadValue;
      return false;
    case Continuation::Rejected:
      msg = kOk;
      return false;
  }
  return false;
}

struct Choice {
  std::string_view keyword;
  word* target;  // nullptr: the keyword changes nothing
  word value;
};

// A card whose value is one keyword of a list; no value changes nothing.
word keyword_card(ItemCursor c, std::initializer_list<Choice> choices) {
  if (c.is_end()) return kOk;
  skip_leading_delimiter(c);
  if (!c.is_name()) return kBadValue;
  for (const Choice& ch : choices) {
    if (c.is_keyword(ch.keyword)) {
      if (ch.target) *ch.target = ch.value;
      return kOk;
    }
  }
  return kBadValue;
}

// "Quorvane name1 name2": the problem identification.
word read_id(ItemCursor c, DeckState&) {
  ItemCursor second = c;
  second.next();
  if (!c.is_name() || !second.is_name()) return kBadValue;
  const CTLTAB& t = in().ctltab;
  for (std::size_t i = 1; i < t.entry.size(); ++i)
    if (t.entry[i].flag & kReadBit) return kIdNotFirst;
  const ExecState& e = exec_state();
  IDREC& id = in().idrec;
  const auto first = c.name8();
  const auto other = second.name8();
  id = {first[0], first[1], other[0], other[1], packed_date(word_name(e.sys.RUNDAT[0]) + word_name(e.sys.RUNDAT[1])),
        1};
  const auto version = name_words8(std::string_view(e.sysid.version.data(), 8));
  id[6] = version[0];
  id[7] = version[1];
  return kOk;
}

// The text of a title card into a page text of 72 characters.
word read_text(ItemCursor c, std::array<char, 72>& target) {
  if (c.is_end()) return kOk;
  if (!c.is_text()) return kBadValue;
  const word n = std::min(c.text_words(), kTitleWords);
  for (word i = 0; i < n; ++i) {
    const std::string w = word_name(c.value(i));
    std::copy(w.begin(), w.end(), target.begin() + 4 * i);
  }
  return kOk;
}

word read_title(ItemCursor c, DeckState&) { return read_text(c, exec_state().page.TITLE); }
word read_subtitle(ItemCursor c, DeckState&) { return read_text(c, exec_state().page.SUBTITLE); }

word read_restart(ItemCursor c, DeckState& st) {
  if (c.is_int())
    sysw().IRSTRT = c.value();
  else if (c.is_end())
    sysw().IRSTRT = -1;
  else
    return kBadValue;
  if (!block_closed(OPTP) || !file_readable(solvky_file_name("OPTP")))
    deck_fatal(530, {name_word("OPTP"), name_word("")});
  IDREC& old = in().oldid;
  read_old_tape_id(old, st.tape_buffer);
  if (!std::equal(old.begin(), old.begin() + 4, in().idrec.begin())) wrong_old_tape(old);
  return kOk;
}

word read_chkpnt(ItemCursor c, DeckState& st) {
  SYSWRD& s = sysw();
  skip_leading_delimiter(c);
  if (c.is_end()) {
    s.ICHKPT = 3;
    return kOk;
  }
  if (c.is_name()) {
    return keyword_card(c, {{"NO", &s.ICHKPT, 0}, {"YES", &s.ICHKPT, 3}, {"LAST", &s.ICHKPT, 1}});
  }
  CHKLST& list = in().chklst;
  for (;;) {
    if (c.is_end()) return kOk;
    if (c.is_continued()) {
      word msg = kOk;
      if (!continue_on_next_card(c, st, msg)) return msg;
      continue;
    }
    if (!c.is_int() || c.value() < 0) return kBadValue;
    if (static_cast<std::size_t>(list.count) >= kMaxIntervals) return kTooManyIntervals;
    list.list[static_cast<std::size_t>(list.count++)] = c.value();
    s.ICHKPT = 2;
    c.next();
  }
}

word read_diag(ItemCursor c, DeckState& st) {
  for (;;) {
    if (c.is_end()) return kOk;
    if (c.is_continued()) {
      word msg = kOk;
      if (!continue_on_next_card(c, st, msg)) return msg;
      continue;
    }
    if (!c.is_int()) return kBadValue;
    const word n = c.value();
    c.next();
    if (!c.is_delim()) return kBadValue;
    c.next();
    if (!c.is_int()) return kBadValue;
    DIAGST(n, c.value());
    c.next();
  }
}

word read_param(ItemCursor c, DeckState&) {
  SYSWRD& s = sysw();
  if (c.is_int())
    s.MAXITR = c.value();
  else if (!c.is_empty_name())
    return kBadValue;
  c.next();
  if (!c.is_name()) return kBadValue;
  if (!c.is_empty_name()) {
    const word r = keyword_card(c, {{"U", &s.ICNVKD, 1}, {"P", &s.ICNVKD, 2}, {"BOTH", &s.ICNVKD, 3},
                                    {"NO", &s.ICNVKD, 0}});
    if (r != kOk) return r;
  }
  c.next();
  if (c.is_end()) return kOk;
  if (c.is_real())
    s.CNVTOL = c.real();
  else if (!c.is_empty_name())
    return kBadValue;
  c.next();
  if (c.is_end()) return kOk;
  if (c.is_empty_name()) {
    s.ICONT = 0;
    return kOk;
  }
  return c.is_name() ? keyword_card(c, {{"STOP", &s.ICONT, 0}, {"CONT", &s.ICONT, 1}}) : kBadValue;
}

word read_rerun(ItemCursor c, DeckState&) {
  return keyword_card(c, {{"NO", &sysw().IRERUN, -1}, {"YES", nullptr, 0}});
}

word read_field(ItemCursor c, DeckState&) {
  if (!c.is_int() || c.value() < 1 || c.value() > 4) return kBadValue;
  sysw().IFIELD = c.value();
  return kOk;
}

// "SINTVAL n" and, after a final comma, one further interval per card.
word read_sintval(ItemCursor c, DeckState& st) {
  if (!c.is_int() || c.value() < 1) return kBadValue;
  const word n = c.value();
  if (n >= 2) sysw().ISINTV = n;
  SINTLS& list = in().sintls;
  list.list[0] = n;
  list.count = 1;
  c.next();
  while (c.is_continued()) {
    word msg = kOk;
    if (!continue_on_next_card(c, st, msg)) return msg;
    const word prev = list.list[static_cast<std::size_t>(list.count - 1)];
    if (!c.is_int() || c.value() < 1 || c.value() < prev) return kBadValue;
    if (static_cast<std::size_t>(list.count) >= kMaxIntervals) return kBadValue;
    list.list[static_cast<std::size_t>(list.count++)] = c.value();
    c.next();
  }
  return kOk;
}

word read_autospc(ItemCursor c, DeckState&) {
  return keyword_card(c, {{"YES", &sysw().IASPC, 1}, {"NO", nullptr, 0}});
}

word read_autompc(ItemCursor c, DeckState&) {
  return keyword_card(c, {{"YES", &sysw().IAMPC, 1}, {"NO", nullptr, 0}});
}

// "SOLVER = SDCO | METI | PCG [, tolerance [, iterations]]".
word read_solver(ItemCursor c, DeckState&) {
  SYSWRD& s = sysw();
  if (c.is_end()) return kOk;
  skip_leading_delimiter(c);
  if (!c.is_keyword("PCG")) return keyword_card(c, {{"SDCO", nullptr, 0}, {"METI", &s.ISOLVR, kSparseMethod}});
  s.ISOLVR = kPcgMethod;
  c.next();
  if (c.is_end()) return kOk;
  if (c.is_real())
    s.PCGTOL = c.real();
  else if (!c.is_empty_name())
    return kBadValue;
  c.next();
  if (c.is_end()) return kOk;
  if (!c.is_int()) return kBadValue;
  s.PCGMXI = c.value();
  return kOk;
}

constexpr std::array<ControlCard, 13> kCards = {{
    {"Quorvane", 1, false, read_id},
    {"TITLE", 0, false, read_title},
    {"SUBTITLE", 0, false, read_subtitle},
    {"RESTART", 0, false, read_restart},
    {"CHKPNT", 0, false, read_chkpnt},
    {"DIAG", 0, true, read_diag},
    {"PARAM", 0, false, read_param},
    {"RERUN", 0, false, read_rerun},
    {"FIELD", 1, false, read_field},
    {"SINTVAL", 0, false, read_sintval},
    {"AUTOSPC", 0, false, read_autospc},
    {"SOLVER", 0, false, read_solver},
    {"AUTOMPC", 0, false, read_autompc},
}};

}  // namespace

std::span<const ControlCard, 13> control_cards() { return kCards; }

CTLTAB::CTLTAB() {
  for (std::size_t i = 0; i < entry.size(); ++i) entry[i] = {name_words8(kCards[i].name), kCards[i].required};
}

}  // namespace zephsol
