// Executive control deck.
#include "zephsol/input/ctldck.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/cards.h"
#include "zephsol/input/ctlcards.h"
#include "zephsol/input/inblocks.h"
#include "zephsol/input/outreq.h"

namespace zephsol {

namespace {

constexpr word kFirstCoreWord = 1;

struct MsgRow {
  word number;
  bool counted;        // two lines counted on the page before it
  bool named;          // the text takes the card name (A8) or file name (A4)
  const char* format;
};

constexpr MsgRow kMessages[] = {
    {503, false, false, "('0*** SYSTEM FATAL MESSAGE 503, MEMORY TOO SMALL TO ALLOCATE A BUFFER.')"},
    {505, true, true, "('0*** USER FATAL MESSAGE 505, CONTOL CARD ',2A4,' IS ILLEGAL.')"},
    {506, true, true, "('0*** USER FATAL MESSAGE 506, CONTROL CARD ',2A4,' DUPLICATED.')"},
    {507, true, false, "('0*** USER FATAL MESSAGE 507, ILLEGAL SPECIFICATION OF FORMAT ON PRECEEDING CARD.')"},
    {509, false, false, "('0*** USER FATAL MESSAGE 509, WRONG OLD TAPE MOUNTED.')"},
    {513, true, false, "('0*** USER FATAL MESSAGE 513, TOO MANY INTERVAL NUMBERS IN CHKPNT CARD.')"},
    {519, true, false, "('0*** USER FATAL MESSAGE 519, ID CARD MUST PRECEED ALL OTHER CONTOL CARDS.')"},
    {520, true, true, "('0*** USER FATAL MESSAGE 520, CONTROL CARD ',2A4,' IS MISSING.')"},
    {528, false, false, "('0*** USER FATAL MESSAGE 528, EXECUTIVE CONTOL DECK PREMATUALY ENDED.')"},
    {530, false, true, "('0*** SYSTEM FATAL MESSAGE 530, COULD NOT OPEN FILE NAMED ',A4)"},
};

const MsgRow& message_row(word number) {
  for (const MsgRow& r : kMessages)
    if (r.number == number) return r;
  return kMessages[0];
}

std::string message_line(word number, std::array<word, 2> name) {
  const MsgRow& r = message_row(number);
  if (!r.named) return fline(r.format);
  if (number == 530) return fline(r.format, {name[0]});
  return fline(r.format, {name[0], name[1]});
}

// Heading lines of the control deck echo: the title, the tens of the card
// columns and a column ruler over the echoed card columns 21-100.
void set_heading_lines() {
  auto& h = exec_state().page.HEADLN;
  const std::string title = std::string(30, ' ') + "E X E C U T I V E   C O N T R O L   D E C K   E C H O E";
  std::string tens(128, ' ');
  tens[0] = '0';
  for (int d = 1; d <= 8; ++d) tens[static_cast<std::size_t>(20 + 10 * d - 1)] = static_cast<char>('0' + d);
  std::string ruler = std::string(20, ' ') + "1...:....0";
  for (int i = 0; i < 7; ++i) ruler += "....:....0";
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string line = padded(i == 0 ? title : i == 1 ? tens : ruler, 128);
    std::copy(line.begin(), line.end(), h[i].begin());
  }
}

// The name a card is reported under: its first item's 8 characters, or for
// a card that does not begin with a name its first 8 non-blank columns.
std::array<word, 2> card_name(const ItemCursor& first) {
  if (first.is_name()) return first.name8();
  std::string cols;
  for (word w : input_state().ctl.CARD) cols += word_name(w);
  const auto at = cols.find_first_not_of(' ');
  return name_words8(at == std::string::npos ? std::string_view{} : std::string_view(cols).substr(at, 8));
}

int find_card(const ItemCursor& first) {
  if (!first.is_name()) return -1;
  const CTLTAB& t = input_state().ctltab;
  for (std::size_t i = 0; i < t.entry.size(); ++i)
    if (t.entry[i].name == first.name8()) return static_cast<int>(i);
  return -1;
}

void note_error(DeckState& st) {
  st.fatal = 1;
  st.after_error = true;
}

// One control card of class 0.
void process_card(DeckState& st) {
  const ItemCursor first(input_state().ctl.PARSE);
  const int k = find_card(first);
  if (k < 0) {
    if (!st.after_error) deck_message(505, card_name(first));
    note_error(st);
    return;
  }
  st.after_error = false;
  word& flag = input_state().ctltab.entry[static_cast<std::size_t>(k)].flag;
  if (flag & kReadBit) {
    deck_message(506, first.name8());
    note_error(st);
    return;
  }
  flag |= kReadBit;
  const ControlCard& card = control_cards()[static_cast<std::size_t>(k)];
  ItemCursor value = first;
  value.next();
  const word msg = card.read(value, st);
  if (card.repeatable) flag &= ~kReadBit;
  if (msg != 0) {
    deck_message(msg);
    note_error(st);
  }
}

// A fatal flag set by the free-field reader joins the deck's indicator.
void take_reader_flag(DeckState& st) {
  if (sysw().IERFLG != 0) {
    st.fatal = std::max<word>(st.fatal, 1);
    sysw().IERFLG = 0;
  }
}

void check_required_cards(DeckState& st) {
  CTLTAB& t = input_state().ctltab;
  for (auto& e : t.entry) {
    if ((e.flag & 0xFF) == 1 && !(e.flag & kReadBit)) {
      deck_message(520, e.name);
      e.flag |= kReadBit;
      st.fatal = 1;
    }
  }
}

// The "OUTPUT" and "NOUTPUT" blocks after the control cards.
void read_case_control(DeckState& st) {
  const auto take = [&st] { st.fatal = std::max(st.fatal, sysw().IERFLG); };
  if (input_state().ctl.KCLASS == CLS_OUTPUT) {
    OUTREQ();
    take();
  }
  if (input_state().ctl.KCLASS == CLS_NOUTPUT) {
    input_state().NOUTFL = -1;
    NOUREQ();
    take();
  }
}

}  // namespace

word packed_date(std::string_view d) {
  const auto two = [&](std::size_t at) -> int {
    if (d.size() < at + 2 || !std::isdigit(static_cast<unsigned char>(d[at])) ||
        !std::isdigit(static_cast<unsigned char>(d[at + 1])))
      return -1;
    return 10 * (d[at] - '0') + (d[at + 1] - '0');
  };
  const int month = two(0), day = two(3), yy = two(6);
  if (month < 0 || day < 0 || yy < 0) return 0;
  const int year = yy <= 90 ? 2000 + yy : 1900 + yy;
  return year * 65536 + month * 256 + day;
}

void deck_message(word number, std::array<word, 2> name) {
  if (message_row(number).counted) LINCT3(2);
  write_listing_and_log({message_line(number, name)});
}

void deck_fatal(word number, std::array<word, 2> name) {
  const std::string line = message_line(number, name);
  // A problem tape that cannot be had is also told on the console, like the
  // other files the run cannot open.
  if (number == 530) unit_write_line(sysw().LOGUNT, line);
  write_listing_and_log({line});
  sysw().IERFLG = 1;
  sysw().ICHKPT = 0;
  RUNEND();
}

void wrong_old_tape(const IDREC& old) {
  const word date = old[4];
  const std::string line =
      fline("(30X,'OLD PROBLEM TAPE ID = ',2A4,',',2A4,',',I2.2,'/',I2.2,'/',I4)",
            {old[0], old[1], old[2], old[3], date & 255, (date >> 8) & 255, date >> 16});
  write_listing_and_log({message_line(509, {}), line});
  sysw().IERFLG = 1;
  sysw().ICHKPT = 0;
  RUNEND();
}

Continuation next_continuation(DeckState& st) {
  CTLCRD();
  const word cls = input_state().ctl.KCLASS;
  if (cls == CLS_EOF) deck_fatal(528);
  const bool rejected = sysw().IERFLG != 0;
  take_reader_flag(st);
  if (cls != CLS_CARD) {
    st.section_pending = true;
    return rejected ? Continuation::Rejected : Continuation::Section;
  }
  return rejected ? Continuation::Rejected : Continuation::Card;
}

void CTLDCK() {
  SYSWRD& s = sysw();
  InputState& in = input_state();
  DeckState st;
  const word left = CORLFT(kFirstCoreWord);
  if (left <= s.NBUFSZ) deck_fatal(503);
  st.tape_buffer = kFirstCoreWord + left - s.NBUFSZ;
  s.NLINE = s.LINPAG;
  st.fatal = s.IERFLG;
  s.IERFLG = 0;
  set_heading_lines();
  if (!block_closed(NPTP)) deck_fatal(530, {name_word("NPTP"), name_word("")});
  in.sintls.count = 0;
  CTLCRD();
  for (;;) {
    if (in.ctl.KCLASS == CLS_EOF) deck_fatal(528);
    if (in.ctl.KCLASS != CLS_CARD) break;
    if (s.IERFLG != 0) {  // the card after a rejected one is dropped as well
      take_reader_flag(st);
      CTLCRD();
      continue;
    }
    process_card(st);
    if (st.section_pending) {
      st.section_pending = false;
      continue;
    }
    CTLCRD();
  }
  take_reader_flag(st);
  check_required_cards(st);
  read_case_control(st);
  if (st.fatal == 0 && s.ICHKPT != 0) write_new_tape_id(in.idrec, st.tape_buffer);
  s.IERFLG = st.fatal;
}

}  // namespace zephsol
