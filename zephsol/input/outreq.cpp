// Output requests of the case control.
#include "zephsol/input/outreq.h"

#include <array>
#include <span>
#include <string_view>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/ccmsg.h"
#include "zephsol/input/inblocks.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/lststo.h"
#include "zephsol/input/tokrd.h"

namespace zephsol {

namespace {

constexpr word kRequestList = 4;
constexpr word kLists = 4;
constexpr word kSlotWords = 200;
constexpr word kFirstCoreWord = 1;

TOKCOM& tok() { return input_state().tok; }

// Lays the list store over the free open core below one buffer; returns the
// buffer's first word, or 0 when there is no room (608, IERFLG 2).
word block_setup() {
  const word nbuf = sysw().NBUFSZ;
  const word left = CORLFT(kFirstCoreWord);
  if (left < nbuf) {
    CCMSG(8, nbuf, left);
    sysw().IERFLG = 2;
    return 0;
  }
  LSTCOM& s = input_state().lst;
  s.count = kLists;
  for (word k = 0; k < kLists; ++k) {
    s.end[static_cast<std::size_t>(k)] = kSlotWords;
    s.grow[static_cast<std::size_t>(k)] = kSlotWords;
  }
  LSTINI(kFirstCoreWord, left - nbuf);
  tok().blkend = 0;
  tok().badrun = 0;
  return kFirstCoreWord + left - nbuf;
}

void append(word w) { LSTAPP(kRequestList, std::span<const word>(&w, 1), 1); }

// The request entry being built at the end of list 4, by word offsets.
class RequestEntry {
 public:
  RequestEntry(const ReqTab::Row& row) : element_(row.kind == kElementRequest), head_(lst_length(kRequestList)) {
    for (word w : {row.name[0], row.name[1], word{2}, kEOS, word{0}}) append(w);
    sub_ = head_ + 3;
  }
  // Appends a word to the entry: N rises by 1.
  void put(word w) {
    append(w);
    ++at(head_ + 2);
  }
  // Appends a selection of the current sub-entry: k rises by 1.
  void select(word set) {
    put(set);
    if (element_) put(0);
    ++at(sub_ + 1);
  }
  word selections() { return at(sub_ + 1); }
  void set_steps(word t) { at(sub_) = t; }
  void none() { at(sub_) = at(sub_ + 1) = -1; }
  // A new sub-entry for every step and no selection.
  void open_sub() {
    sub_ = lst_length(kRequestList);
    put(kEOS);
    put(0);
  }
  // "ALL" as the only selection of the current sub-entry.
  void select_all() {
    const word cut = lst_length(kRequestList) - (sub_ + 2);
    input_state().lst.end[kRequestList - 1] -= cut;
    at(head_ + 2) -= cut;
    at(sub_ + 1) = 0;
    select(kEOS);
  }
  // Sets the point selection of the last selection.
  void set_points(word ipse) { at(lst_length(kRequestList) - 1) = ipse; }
  bool element() const { return element_; }

 private:
  word& at(word offset) { return lst_words(kRequestList)[static_cast<std::size_t>(offset)]; }
  bool element_;
  word head_;
  word sub_;
};

enum class Last { Start, Selection, Points, Steps };

// The specifications of a request after its name; false when the statement
// was abandoned with a message.
bool read_specifications(RequestEntry& e) {
  Last last = Last::Start;
  bool all = false;
  word id = 0;
  while (tok().kind != TK_EOS && tok().kind != TK_END) {
    if (last == Last::Steps) {
      e.open_sub();
      all = false;
      last = Last::Start;
    }
    if (tok_is("ALL")) {
      e.select_all();
      all = true;
      last = Last::Selection;
    } else if (tok_is("SET")) {
      if (SETREF(1, id)) return false;
      if (!all) e.select(id);
      last = Last::Selection;
    } else if (tok_is("OTIM")) {
      if (SETREF(3, id)) return false;
      if (e.selections() == 0) e.select(kEOS);
      e.set_steps(id);
      last = Last::Steps;
    } else if (tok_is("IPSE")) {
      if (!e.element()) {
        CCMSG(13, tok().name[0], tok().name[1]);
        return false;
      }
      if (last == Last::Points) {
        CCMSG(-14, 0, 0);
        return false;
      }
      if (SETREF(2, id)) return false;
      if (e.selections() == 0) e.select(kEOS);
      e.set_points(id);
      last = Last::Points;
    } else if (tok().kind == TK_NAME) {
      CCMSG(13, tok().name[0], tok().name[1]);
      return false;
    } else if (tok().kind == TK_NUMBER) {
      CCMSG(20, 0, 0);
      return false;
    } else {
      CCMSG(11, tok().delim, 0);
      return false;
    }
    TOKRD();
  }
  return true;
}

// A print request statement whose name is in the table.
void read_request(ReqTab::Row& row) {
  if (row.given) {
    CCMSG(-22, row.name[0], row.name[1]);
    skip_statement();
    return;
  }
  row.given = 1;
  RequestEntry e(row);
  TOKRD();
  if (tok().kind == TK_DELIM) {
    if (!tok_is_delim('=')) {
      CCMSG(11, tok().delim, 0);
      skip_statement();
      return;
    }
    TOKRD();
  }
  if (tok().kind == TK_NUMBER) {
    CCMSG(20, 0, 0);
  } else if (tok().kind == TK_EOS || tok().kind == TK_END) {
    CCMSG(-24, 0, 0);
  } else if (tok_is("NONE")) {
    e.none();
    TOKRD();
    if (tok().kind != TK_EOS && tok().kind != TK_END) CCMSG(-25, 0, 0);
  } else {
    read_specifications(e);
  }
  skip_statement();
}

ReqTab::Row* find_request(ReqTab& t) {
  for (int i = 0; i < t.n; ++i)
    if (t.row[static_cast<std::size_t>(i)].name == tok().name) return &t.row[static_cast<std::size_t>(i)];
  return nullptr;
}

struct SetStatement {
  std::string_view name;
  word kind;
};
constexpr SetStatement kSetStatements[] = {{"SET", 1}, {"IPSE", 2}, {"OTIM", 3}};

// Reads the statements of a block; request statements go to `request`.
template <typename OnRequest>
void read_block(ReqTab& table, OnRequest request) {
  for (;;) {
    tok().start = 1;
    TOKRD();
    if (tok().kind == TK_END) return;
    bool done = false;
    for (const SetStatement& s : kSetStatements) {
      if (tok_is(s.name)) {
        SETLST(s.kind);
        done = true;
        break;
      }
    }
    if (done) continue;
    if (ReqTab::Row* row = find_request(table)) {
      request(*row);
      continue;
    }
    CCMSG(13, tok().name[0], tok().name[1]);
    skip_statement();
  }
}

// The result-file requests: every request on "OTIM" set 1 and "SET" set 1,
// at the default integration points.
void default_noutput_entries() {
  for (word set : {word{1}, word{3}})
    if (!set_defined(set, 1)) CCMSG(27, 1, 0);
  const ReqTab& t = input_state().noutab;
  for (int i = 0; i < t.n; ++i) {
    const ReqTab::Row& r = t.row[static_cast<std::size_t>(i)];
    const bool element = r.kind == kElementRequest;
    for (word w : {r.name[0], r.name[1], element ? word{4} : word{3}, word{1}, word{1}, word{1}}) append(w);
    if (element) append(0);
  }
}

void finish_block(word number, word buffer) {
  if (lst_length(kRequestList) == 0) return;
  write_request_block(number, request_records(), buffer);
}

}  // namespace

word SETREF(word kind, word& id) {
  TOKRD();
  if (tok().kind == TK_DELIM) {
    const bool paren = tok_is_delim('(');
    if (paren) TOKRD();
    if (!paren || tok().kind == TK_DELIM) {
      CCMSG(11, tok().delim, 0);
      return 1;
    }
  }
  if (tok_is("ALL")) {
    id = kEOS;
    return 0;
  }
  if (tok().kind == TK_NUMBER) {
    if (tok().sub != TS_INT || tok_int() < 1) {
      CCMSG(12, 0, 0);
      id = 0;
      return 0;
    }
    id = tok_int();
    if (!set_defined(kind, id)) CCMSG(27, id, 0);
    return 0;
  }
  CCMSG(20, 0, 0);
  return 1;
}

RequestRecords request_records() {
  RequestRecords r;
  const auto print = name_words8("PRINT");
  r.rec1.assign(print.begin(), print.end());
  const auto req = lst_words(kRequestList);
  r.rec2.assign(req.begin(), req.end());
  for (word k = 1; k < kRequestList; ++k) {
    const auto w = lst_words(k);
    r.rec3.insert(r.rec3.end(), w.begin(), w.end());
  }
  r.header[0] = static_cast<word>(r.rec2.size());
  r.header[1] = static_cast<word>(r.rec3.size());
  r.rec3.push_back(-1);
  return r;
}

void OUTREQ() {
  const word buffer = block_setup();
  if (buffer == 0) return;
  read_block(input_state().outtab, read_request);
  finish_block(CTRL, buffer);
}

void NOUREQ() {
  const word buffer = block_setup();
  if (buffer == 0) return;
  read_block(input_state().noutab, [](ReqTab::Row& row) {
    // Result-file requests are fixed; a request statement has no effect.
    CCMSG(13, row.name[0], row.name[1]);
    skip_statement();
  });
  default_noutput_entries();
  finish_block(CTRN, buffer);
}

}  // namespace zephsol
