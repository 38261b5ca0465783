// Case control messages.
#include "zephsol/input/ccmsg.h"

#include <cstdlib>
#include <string>

#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

enum class Head { SystemFatal, UserFatal, UserWarning };

struct Row {
  word number;
  Head head;
  const char* format;  // text line; its first `params` of p1, p2 in order
  int params;
  bool p1_mod;         // p1 printed modulo 1000000
};

constexpr Row kTexts[] = {
    {601, Head::SystemFatal, "(10X,'CANNOT INTERPRET CARD.')", 0, false},
    {604, Head::UserWarning, "(10X,'TOO MANY LIST ITEMS, REMAINING LIST IGNORED.')", 0, false},
    {607, Head::UserFatal, "(10X,'SYNTAX ERROR, FLOATING POINT NUMERICAL DATA MUST BE SPECIFIED.')", 0, false},
    {608, Head::SystemFatal, "(10X,'FIELD LENGTH TOO SMALL. NECESSARY=',I8,', CURRENT=',I8,'.')", 2, false},
    {610, Head::UserWarning, "(10X,'DUPLICATED SET ID ',I8,', CURRENT SET IGNORED.')", 1, true},
    {611, Head::UserFatal, "(10X,'SYNTAX ERROR, DELIMITER ',A4,' IS ILLEGAL.')", 1, false},
    {612, Head::UserFatal, "(10X,'NUMERICAL DATA MUST BE POSITIVE INTEGER.')", 0, false},
    {613, Head::UserFatal, "(10X,'UNRECOGNIZED KEYWORD ',2A4,'.')", 2, false},
    {614, Head::UserFatal, "(10X,'SPECIFICATIONS ARE IN BAD CONTEXT.')", 0, false},
    {615, Head::UserWarning, "(10X,'ANY SPECIFICATIONS AFTER (ALL) WILL BE IGNORED.')", 0, false},
    {616, Head::UserFatal, "(10X,'(',I8,' THRU ',I8,') IS OUT OF ORDER.')", 2, false},
    {617, Head::UserWarning, "(10X,'(EXCLUDE) APPEARED FIRST - ASSUME (ALL) PRESENTED.')", 0, false},
    {618, Head::UserWarning, "(10X,'NO SPECIFICATION FOR THE SET, (INCLUDE ALL) ASSUMED.')", 0, false},
    {619, Head::UserFatal, "(10X,'END-OF-STATEMENT, NUMERIC DATA MISSING.')", 0, false},
    {620, Head::UserFatal, "(10X,'OUTPUT CONTROL CARD SYNTAX ERROR.')", 0, false},
    {621, Head::UserFatal, "(10X,'SET DEFINITION CARD MUST PROCEED TO CONTROL SUBBLOCK.')", 0, false},
    {622, Head::UserFatal, "(10X,'CONTROL CARD ',2A4,' DUPLICATED.')", 2, false},
    {623, Head::UserWarning, "(10X,'(END OUTPUT) CARD MISSING.')", 0, false},
    {624, Head::UserWarning, "(10X,'NO SPECIFICATION AFTER KEYWORD - DEFAULT ASSUMED.')", 0, false},
    {625, Head::UserWarning, "(10X,'NO SPECIFICATION PERMITTED AFTER (NONE).')", 0, false},
    {626, Head::UserFatal, "(10X,'TOO MANY SPECS, TABLE OVERFLOW. FWP=',I8,', LWP=',I8,'.')", 2, false},
    {627, Head::UserFatal, "(10X,'UNDEFINED SET NUMBER ',I8,'.')", 1, true},
};

const char* header_format(Head h) {
  switch (h) {
    case Head::SystemFatal: return "('0*** SYSTEM FATAL MESSAGE      ',I5,',')";
    case Head::UserFatal: return "('0*** USER FATAL MESSAGE        ',I5,',')";
    case Head::UserWarning: return "('0*** USER WARNING MESSAGE      ',I5,',')";
  }
  return "";
}

const Row* find_text(word number) {
  for (const Row& r : kTexts)
    if (r.number == number) return &r;
  return nullptr;
}

}  // namespace

void CCMSG(word code, word p1, word p2) {
  SYSWRD& s = sysw();
  if (code > 0 && s.IERFLG == 0) s.IERFLG = 1;
  LINCT3(3);
  const word mag = code < 0 ? -code : code;
  const word number = 600 + mag;
  const Row* r = (mag >= 1 && mag <= 30) ? find_text(number) : nullptr;
  if (r == nullptr) {
    write_listing_and_log({fline("('0*** MESSAGE NUMBER ',I5,' NOT AVAILABLE.')", {number})});
    return;
  }
  const std::string head = fline(header_format(r->head), {number});
  const word first = r->p1_mod ? p1 % 1000000 : p1;
  const std::string text = r->params == 0   ? fline(r->format)
                           : r->params == 1 ? fline(r->format, {first})
                                            : fline(r->format, {first, p2});
  write_listing_and_log({head, text});
}

}  // namespace zephsol
