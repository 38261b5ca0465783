// Case control tokens and set lists.
#include "zephsol/input/tokrd.h"

#include <algorithm>
#include <array>

#include "zephsol/dbio/core.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/cards.h"
#include "zephsol/input/ccmsg.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/items.h"
#include "zephsol/input/lststo.h"

namespace zephsol {

namespace {

TOKCOM& tok() { return input_state().tok; }
CTLCOM& ctl() { return input_state().ctl; }

// Runs the free-field reader again on the card in hand, keeping the larger
// fatal flag.
void reparse_card() {
  SYSWRD& s = sysw();
  const word saved = s.IERFLG;
  s.IERFLG = 0;
  FRCARD(ctl().CARD, ctl().PARSE, kParseWords);
  s.IERFLG = std::max(saved, s.IERFLG);
}

// The next ordinary card, parsed; false at a section card or the end of the
// deck, which end the block.
bool next_card() {
  CTLCRD();
  if (ctl().KCLASS != CLS_CARD) {
    tok().blkend = 1;
    return false;
  }
  reparse_card();
  return true;
}

void set_name_token(const ItemCursor& c) {
  TOKCOM& t = tok();
  t.kind = TK_NAME;
  t.sub = TS_WORD;
  t.length = 2;
  t.name = c.name8();
  t.valpos = c.at() + 1;
}

// The token of the item at the current position; the position moves past it.
void token_from_item() {
  TOKCOM& t = tok();
  ItemCursor c(ctl().PARSE, t.pos);
  const word type = c.type();
  t.valpos = c.at() + 1;
  if (type == kEOS) {
    t.kind = TK_EOS;
    t.length = 0;
    return;
  }
  if (type < 0) {
    t.kind = TK_NUMBER;
    t.sub = -type;
    t.length = type == kItemDouble ? 2 : 1;
  } else if (type == kItemDelim) {
    t.kind = TK_DELIM;
    t.sub = TS_WORD;
    t.length = 1;
    t.delim = c.value(0);
  } else if (type == kItemName) {
    set_name_token(c);
  } else if (type >= kItemText) {
    t.kind = TK_NAME;
    t.sub = TS_TEXT;
    t.length = c.text_words();
    t.name = {name_word(""), name_word("")};
    for (word i = 0; i < std::min<word>(t.length, 2); ++i) t.name[static_cast<std::size_t>(i)] = c.value(i);
  } else {
    MSGPUT(-999, type, t.pos);
    return;
  }
  c.next();
  t.pos = c.at();
}

// The first token of the next statement: its name, or the end of the block.
void statement_start() {
  TOKCOM& t = tok();
  for (;;) {
    if (ctl().KCLASS < 0 || t.blkend || !next_card()) {
      t.kind = TK_END;
      return;
    }
    ItemCursor c(ctl().PARSE);
    if (c.is_continued()) continue;
    if (c.is_name()) {
      t.start = 0;
      t.badrun = 0;
      set_name_token(c);
      c.next();
      t.pos = c.at();
      return;
    }
    if (!t.badrun) CCMSG(1, 0, 0);
    t.badrun = 1;
  }
}

// --- Set lists -------------------------------------------------------------

constexpr std::array<std::string_view, 3> kSetNames = {"SET", "IPSE", "OTIM"};

// The set number after the statement name, "(n)" allowed; false (with the
// message given) when the statement must be abandoned.
bool set_number(word& n) {
  TOKRD();
  TOKCOM& t = tok();
  bool paren = false;
  if (t.kind == TK_DELIM && tok_is_delim('(')) {
    paren = true;
    TOKRD();
  }
  if (t.kind == TK_NUMBER) {
    if (t.sub != TS_INT || tok_int() < 1) {
      CCMSG(12, 0, 0);
      return false;
    }
    n = tok_int();
    return true;
  }
  if (t.kind == TK_DELIM) {
    CCMSG(11, t.delim, 0);
    return false;
  }
  CCMSG(paren ? 14 : 20, 0, 0);
  return false;
}

enum class Prev { Start, Incl, Num, ThruEnd, ByStep, BadThru, All, Thru, By };
enum class Cur { Incl, Num, All, Thru, By, End, Fault };

struct SetKeyword {
  std::string_view name;
  Cur cur;
};
constexpr SetKeyword kSetKeywords[] = {
    {"INCL", Cur::Incl}, {"ALL", Cur::All}, {"THRU", Cur::Thru}, {"BY", Cur::By}};

// The class of the current token within a set list; a fault has printed
// its message.
Cur classify_set_token() {
  const TOKCOM& t = tok();
  switch (t.kind) {
    case TK_END:
    case TK_EOS:
      return Cur::End;
    case TK_DELIM:
      CCMSG(11, t.delim, 0);
      return Cur::Fault;
    case TK_NUMBER:
      if (t.sub == TS_INT && tok_int() >= 0) return Cur::Num;
      CCMSG(12, 0, 0);
      return Cur::Fault;
    default:
      if (t.sub == TS_WORD)
        for (const SetKeyword& k : kSetKeywords)
          if (tok_is(k.name)) return k.cur;
      CCMSG(13, t.name[0], t.name[1]);
      return Cur::Fault;
  }
}

// One entry being built at the end of a set list.
class SetEntry {
 public:
  SetEntry(word kind, word n) : kind_(kind), head_(lst_length(kind)) {
    const std::array<word, 3> header{name_word(kSetNames[static_cast<std::size_t>(kind - 1)]), n, 0};
    LSTAPP(kind, header, 3);
  }
  void store(word v) {
    LSTAPP(kind_, std::span<const word>(&v, 1), 1);
    ++lst_words(kind_)[static_cast<std::size_t>(head_ + 2)];
  }
  // Removes the entry: the list ends where it did before.
  void drop() { input_state().lst.end[static_cast<std::size_t>(kind_ - 1)] -= lst_length(kind_) - head_; }

 private:
  word kind_;
  word head_;
};

// One step of the set-list grammar. Returns false when the statement is
// over: done (entry kept) or a fault (entry dropped, *dropped set).
bool set_step(Prev& prev, Cur cur, word& v, SetEntry& e, bool& dropped) {
  const auto bad_context = [&] {
    CCMSG(14, 0, 0);
    dropped = true;
    return false;
  };
  if (cur == Cur::End) {
    if (prev == Prev::Start) {
      CCMSG(-18, 0, 0);
      e.store(kEOS);
    } else if (prev == Prev::Incl || prev == Prev::Thru || prev == Prev::By) {
      CCMSG(19, 0, 0);
    }
    return false;
  }
  const word x = cur == Cur::Num ? tok_int() : 0;
  switch (prev) {
    case Prev::Start:
    case Prev::Incl:
      if (cur == Cur::Incl && prev == Prev::Start) {
        prev = Prev::Incl;
      } else if (cur == Cur::Num) {
        e.store(v = x);
        prev = Prev::Num;
      } else if (cur == Cur::All) {
        e.store(kEOS);
        prev = Prev::All;
      } else {
        return bad_context();
      }
      return true;
    case Prev::All:
      if (cur != Cur::Num) return bad_context();
      CCMSG(-15, 0, 0);
      return true;
    case Prev::Thru:
      if (cur != Cur::Num) return bad_context();
      if (x < v) {
        CCMSG(16, v, x);
        prev = Prev::BadThru;
      } else {
        e.store(-x);
        prev = Prev::ThruEnd;
      }
      return true;
    case Prev::By:
      if (cur != Cur::Num) return bad_context();
      if (x == 0) {  // a step of 0 would read as the value 0
        CCMSG(12, 0, 0);
        dropped = true;
        return false;
      }
      e.store(-x);
      prev = Prev::ByStep;
      return true;
    default:
      break;
  }
  // After a number: "THRU" only after a plain value, "BY" only after a range.
  if (cur == Cur::Incl) {
    prev = Prev::Incl;
  } else if (cur == Cur::Num) {
    e.store(v = x);
    prev = Prev::Num;
  } else if (cur == Cur::Thru && prev == Prev::Num) {
    prev = Prev::Thru;
  } else if (cur == Cur::By && prev == Prev::ThruEnd) {
    prev = Prev::By;
  } else {
    return bad_context();
  }
  return true;
}

}  // namespace

word tok_int() { return ctl().PARSE[static_cast<std::size_t>(tok().valpos)]; }

bool tok_is(std::string_view kw) { return tok().kind == TK_NAME && tok().name[0] == name_word(kw); }

bool tok_is_delim(char c) {
  return tok().kind == TK_DELIM && tok().delim == name_word(std::string_view(&c, 1));
}

void skip_statement() {
  while (tok().kind != TK_EOS && tok().kind != TK_END) TOKRD();
}

bool set_defined(word kind, word n) {
  const auto w = lst_words(kind);
  for (std::size_t i = 0; i + 2 < w.size(); i += 3 + static_cast<std::size_t>(w[i + 2]))
    if (w[i + 1] == n) return true;
  return false;
}

void TOKRD() {
  TOKCOM& t = tok();
  if (t.start) {
    statement_start();
    return;
  }
  while (ctl().PARSE[static_cast<std::size_t>(t.pos)] == kItemContinued) {
    if (!next_card()) {
      t.kind = TK_EOS;
      return;
    }
    t.pos = 0;
  }
  token_from_item();
}

void SETLST(word kind) {
  word n = 0;
  if (!set_number(n)) {
    skip_statement();
    return;
  }
  if (set_defined(kind, n)) {
    CCMSG(-10, n, 0);
    skip_statement();
    return;
  }
  SetEntry entry(kind, n);
  TOKRD();
  if (tok().kind == TK_DELIM) {
    if (!tok_is_delim('=')) {
      CCMSG(11, tok().delim, 0);
      entry.drop();
      skip_statement();
      return;
    }
    TOKRD();
  }
  Prev prev = Prev::Start;
  word v = 0;
  bool dropped = false;
  for (;;) {
    const Cur cur = classify_set_token();
    if (cur == Cur::Fault) {
      dropped = true;
      break;
    }
    if (!set_step(prev, cur, v, entry, dropped)) break;
    TOKRD();
  }
  if (dropped) entry.drop();
  skip_statement();
}

}  // namespace zephsol
