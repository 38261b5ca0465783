// Grouping of the bulk data into INP1 and the group table.
#include "zephsol/input/bulkgrp.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/util.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/probtape.h"

namespace zephsol {

namespace {

constexpr word kFirstCoreWord = 1;
constexpr word kEchoBulk = 1;    // ECHOPT bit: echo the bulk data from its start
constexpr word kEchoMerged = 2;  // ECHOPT bit: echo the merged bulk data written to the new tape
// Sign bit of a header card number: the card lies on the old problem tape.
constexpr word kOldCard = static_cast<word>(0x80000000u);

// Messages of the grouping on the listing: the whole line, the lines counted
// before it, and whether it is fatal (IERFLG) or a warning (IWRNFL).
struct GroupMessage {
  word number;
  std::string_view line;
  word lines;
  bool fatal;
};

constexpr GroupMessage kMessages[] = {
    {531, " *** USER FATAL MESSAGE   531, THE ABOVE CARD IS NOT PRECEDED BY HEADE  R CARD.", 1, true},
    {532, " *** USER FATAL MESSAGE   532, THE ABOVE HEADER CARD IS DUPLICATED.", 0, true},
    {533, " *** USER FATAL MESSAGE   533, NO BULK DATA.", 0, true},
    {535, "0*** USER WARNING MESSAGE 535, ENDDATA  CARD IS MISSING", 2, false},
};

void message(word number) {
  const auto* m = std::find_if(std::begin(kMessages), std::end(kMessages),
                               [number](const GroupMessage& r) { return r.number == number; });
  if (m->lines > 0) LINCT3(m->lines);
  unit_write_line(kListing, m->line);
  if (m->fatal)
    sysw().IERFLG = 1;
  else
    sysw().IWRNFL = 1;
}

// A fatal end of the grouping: no checkpoint, the message ends the run.
[[noreturn]] void fatal_end(word code, word p1, word p2) {
  sysw().IERFLG = 1;
  sysw().ICHKPT = 0;
  MSGPUT(code, p1, p2);
  RUNEND();
}

// A fatal end on a data block that is open or not defined.
void require_closed(std::string_view name) {
  word found = 0;
  DBFIND(name_word(name), found);
  if (found >= 0) fatal_end(-201, name_word(name), 0);
}

// A fatal end on the old problem tape, told on the listing.
[[noreturn]] void tape_fatal(const std::string& line) {
  unit_write_line(kListing, line);
  sysw().IERFLG = 1;
  sysw().ICHKPT = 0;
  RUNEND();
}

[[noreturn]] void old_tape_unreadable() {
  tape_fatal("0*** SYSTEM FATAL MESSAGE 534, ENCOUNTERED EOF/EOR WHILE READING FILE OPTP");
}

// The heading lines of the bulk data echo.
void set_headings() {
  auto& h = exec_state().page.HEADLN;
  const std::string lines[3] = {
      std::string(46, ' ') + "B U L K   D A T A   E C H O",
      "",
      std::string(20, ' ') + "<..1...><..2...><..3...><..4...><..5...><..6...><..7...><..8...><..9...><..10..>",
  };
  for (std::size_t i = 0; i < h.size(); ++i) {
    const std::string line = padded(lines[i], h[i].size());
    std::copy(line.begin(), line.end(), h[i].begin());
  }
}

void echo_plain(const std::string& cols) {
  LINCT3(1);
  unit_write_line(kListing, fline("(20X,A80)", {cols}));
}

void echo_numbered(const std::string& cols, word number) {
  LINCT3(1);
  unit_write_line(kListing, fline("(7X,I8,'-    ',A80)", {number, cols}));
}

// The state of the card loop.
struct Grouping {
  bool echo = false;      // the echo is on
  word open = 0;          // group whose record is being written, 0 for none
  bool skipping = false;  // data cards are dropped up to the next header
  bool opened_any = false;
};

void close_group(Grouping& g) {
  if (g.open == 0) return;
  DBWRIT(INP1, &g.open, 0, 1);
  dbpos pos = 0;
  DBLPOS(INP1, pos);
  grptab().at(g.open).POS = pos;
  g.open = 0;
}

// A card refused with a message: shown with its number first when the echo
// is off, then its data cards are dropped.
void refuse(Grouping& g, const std::string& cols, word number) {
  if (!g.echo) echo_numbered(cols, bulk_state().NBCARD);
  message(number);
  g.skipping = true;
}

void header_card(Grouping& g, word i, const std::string& cols) {
  close_group(g);
  GRPTAB::Group& group = grptab().at(i);
  if (group.NCARD != 0) return refuse(g, cols, 532);
  DBWRIT(INP1, input_state().ctl.CARD.data(), kCardWords, 0);
  group.NCARD = 1;
  group.HDRCRD = bulk_state().NBCARD;
  g.open = i;
  g.skipping = false;
  g.opened_any = true;
  if (sysw().IRSTRT != 0) exec_state().GRPCHG[0] |= BITSHL(1, 31 - i);
}

void data_card(Grouping& g, const std::string& cols) {
  if (!g.opened_any) return refuse(g, cols, 531);
  if (g.skipping) return;
  DBWRIT(INP1, input_state().ctl.CARD.data(), kCardWords, 0);
  ++grptab().at(g.open).NCARD;
}

bool ends_bulk(std::string_view cols) { return cols.substr(0, 4) == "END " || cols.substr(0, 8) == "ENDDATA "; }

// Reads the cards up to the end of the bulk data into the group records.
void group_cards(Grouping& g) {
  const CTLCOM& ctl = input_state().ctl;
  word& number = bulk_state().NBCARD;
  number = 0;
  for (;;) {
    BLKCRD();
    if (ctl.KCLASS < 0) {
      message(535);
      break;
    }
    const std::string cols = card_columns(ctl.CARD);
    const std::string_view head = std::string_view(cols).substr(0, 4);
    if (head == "=ON " || head == "=OFF") {
      g.echo = head == "=ON ";
      echo_plain(cols);
      continue;
    }
    if (cols[0] == '$') {
      if (g.echo) echo_plain(cols);
      continue;
    }
    ++number;
    if (g.echo) echo_numbered(cols, number);
    if (ends_bulk(cols)) break;
    const word i = cols[0] != ' ' ? group_number(std::string_view(cols).substr(0, 8)) : 0;
    if (i != 0)
      header_card(g, i, cols);
    else
      data_card(g, cols);
  }
  close_group(g);
}

bool has_data() {
  const auto& groups = grptab().group;
  return std::any_of(groups.begin(), groups.end(), [](const GRPTAB::Group& x) { return x.NCARD >= 2; });
}

// ------------------------------------------------------- restart merge

// Positions the old tape after the header of its bulk data set.
void find_old_bulk_set() {
  for (;;) {
    DBSKPS(OPTP, 1);
    SetHeader h{};
    word got = 0, status = 0;
    DBRDST(OPTP, h.data(), kSetHeaderWords, 1, got, status);
    if (status != 0) old_tape_unreadable();
    if (h[0] == kSetMark && h[1] == kBulkSet) return;
  }
}

// The card in hand of the old tape's bulk data set, with its number there.
struct OldCard {
  std::array<word, kCardWords> card{};
  std::string cols;
  word number = 0;

  void next() {
    word got = 0, status = 0;
    DBRDST(OPTP, card.data(), kCardWords, 1, got, status);
    if (status != 0) old_tape_unreadable();
    ++number;
    cols = card_columns(card);
  }
  bool ends() const { return cols.compare(0, 4, "ENDD") == 0; }
  // The group whose header this card is, 0 for a data card.
  word header() const { return cols[0] != ' ' ? group_number(std::string_view(cols).substr(0, 8)) : 0; }
};

// Group i of the old tape, its header in hand: copied into a record of INP1
// when the new deck does not give it, its cards dropped otherwise. Returns
// the next group, 0 at the end of the bulk data.
word merge_old_group(Grouping& g, OldCard& old, word i) {
  GRPTAB::Group& group = grptab().at(i);
  const bool take = group.NCARD == 0;
  if (take) {
    DBWRIT(INP1, old.card.data(), kCardWords, 0);
    group.NCARD = 1;
    group.HDRCRD = old.number | kOldCard;
    g.open = i;
  }
  for (;;) {
    old.next();
    const word next = old.ends() ? 0 : old.header();
    if (old.ends() || next != 0) {
      close_group(g);
      return next;
    }
    if (!take) continue;
    DBWRIT(INP1, old.card.data(), kCardWords, 0);
    ++group.NCARD;
  }
}

// A restart takes every group the new deck does not give from the bulk data
// set of the old tape, and leaves the tape after that set.
void merge_old_groups(Grouping& g, word buffer) {
  require_closed("OPTP");
  DBOPEN(OPTP, buffer, kRead);
  find_old_bulk_set();
  OldCard old;
  old.next();
  if (!old.ends()) {
    word i = old.header();
    if (i == 0)
      tape_fatal("0*** SYSTEM FATAL MESSAGE 536, UNRECONGNIZED HEADER CARD - " + old.cols.substr(0, 8) +
                 " ON OLD PROBLEM TAPE BULK DATA.");
    while (i != 0) i = merge_old_group(g, old, i);
  }
  DBSKPS(OPTP, 1);
  DBCLOS(OPTP, kCloseNoRewind);
}

// ------------------------------------------------------ new problem tape

// The echo of the merged bulk data as it goes to the new tape, numbered
// from 1 on a new page.
struct MergedEcho {
  bool on = false;
  word number = 0;

  explicit MergedEcho(bool echo) : on(echo) {
    if (!on) return;
    auto& line1 = exec_state().page.HEADLN[0];
    const std::string title = padded(std::string(40, ' ') + "M E R G E D   B U L K   D A T A   E C H O", line1.size());
    std::copy(title.begin(), title.end(), line1.begin());
    sysw().NLINE = sysw().LINPAG;
  }
  void card(const std::array<word, kCardWords>& c) {
    if (on) echo_numbered(card_columns(c), ++number);
  }
};

std::array<word, kCardWords> enddata_card() {
  const std::string cols = padded("ENDDATA", kCardColumns);
  std::array<word, kCardWords> c{};
  for (std::size_t k = 0; k < c.size(); ++k) c[k] = name_word(std::string_view(cols).substr(4 * k, 4));
  return c;
}

void write_card(const std::array<word, kCardWords>& c, MergedEcho& echo) {
  DBWRIT(NPTP, c.data(), kCardWords, 1);
  echo.card(c);
}

// The bulk data set of the new tape: every group with data, in group-table
// order, one record per card, and the card "ENDDATA".
void copy_to_new_tape(word buffer1, word buffer2) {
  require_closed("NPTP");
  DBOPEN(INP1, buffer1, kRead);
  DBOPEN(NPTP, buffer2, kWriteNoRewind);
  const SetHeader header{kSetMark, kBulkSet, 0, 0, 0, 0, 0, 0};
  DBWRIT(NPTP, header.data(), kSetHeaderWords, 1);
  MergedEcho echo(BITAND(sysw().ECHOPT, kEchoMerged) != 0);
  for (const GRPTAB::Group& group : grptab().group) {
    if (group.NCARD < 2) continue;
    DBGOTO(INP1, group.POS);
    std::array<word, kCardWords> card{};
    for (;;) {
      word got = 0, status = 0;
      DBRDST(INP1, card.data(), kCardWords, 0, got, status);
      if (status != 0) break;
      write_card(card, echo);
    }
  }
  write_card(enddata_card(), echo);
  DBEOS(NPTP);
  DBCLOS(NPTP, kCloseNoRewind);
  DBCLOS(INP1, kCloseRewind);
}

}  // namespace

void XMERGE() {
  MODBGN("XMERGE  ");
  SYSWRD& s = sysw();
  const word free = CORLFT(kFirstCoreWord);
  const std::int64_t needed = 2 * std::int64_t{s.NBUFSZ};
  if (needed > free) fatal_end(-3, static_cast<word>(needed), free);
  const word buffer1 = kFirstCoreWord + free - s.NBUFSZ;
  const word buffer2 = buffer1 - s.NBUFSZ;
  require_closed("INP1");

  grptab().group = {};
  Grouping g;
  g.echo = BITAND(s.ECHOPT, kEchoBulk) != 0;
  set_headings();
  s.NLINE = s.LINPAG;
  const bool cards = input_state().ctl.KCLASS >= 0;
  const bool restart = s.IRSTRT != 0;
  if (cards || restart) DBOPEN(INP1, buffer1, kWrite);
  if (cards) group_cards(g);
  if (restart) merge_old_groups(g, buffer2);
  if (cards || restart) {
    const word closing = 0;
    DBWRIT(INP1, &closing, 1, 1);
    DBCLOS(INP1, kCloseRewind);
  }
  if (!has_data()) {
    message(533);
    return;
  }
  if (s.ICHKPT != 0) copy_to_new_tape(buffer1, buffer2);
}

}  // namespace zephsol
