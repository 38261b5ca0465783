// Decoder messages: counting, header line, catalogue text; and the size check
// of expanded sets.
#include "zephsol/input/ifpmsg.h"

#include <algorithm>
#include <vector>

#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

// One catalogue text: the body of its format (after the ten leading blanks)
// and the values it takes, in order: '1' p1 and '2' p2 as integers, 'R' p1
// as a REAL, 'a' the 4 characters of p1, 'B' the 8 characters of p2, 'G' the
// first 12 characters of the data group name.
struct CatalogueRow {
  word number;
  std::string_view params;
  std::string_view body;
};

constexpr CatalogueRow kCatalogue[] = {
    {2000, "12", "'WRONG NOTATION OR FORMAT IN COLUMN ',I3,' THROU ',I3"},
    {2020, "G", "'ELEMENT TYPE DATA MISSING-- ',A12,' DATA WILL NOT BE PROCESSED'"},
    {2021, "", "'NODE ID IS MISSING OR NOT A POSITIVE INTEGER'"},
    {2022, "", "'ELEMENT ID IS MISSING OR NOT A POSITIVE INTEGER'"},
    {2023, "", "'D.O.F NUMBER IS MISSING OR NOT A POSITIVE INTEGER'"},
    {2024, "1", "'INCREMENT ',I6,' IS ILLEGAL'"},
    {2025, "1", "'REPEAT COUNT ',I6,' IS ILLEGAL'"},
    {2026, "1", "'D.O.F NUMBER ',I6,' IS OUT OF RANGE'"},
    {2027, "12", "'D.O.F NUMBERS ',I6,' AND ',I6,' REVERSAL'"},
    {2028, "B", "A8,' ID IS MISSING OR NOT A POSITIVE INTEGER'"},
    {2080, "1", "'DUPLICATED NODE ID ',I8,',  NEW ONE ADOPTED'"},
    {2081, "G1", "'DUPLICATED ',A12,' ID NUMBER ',I8"},
    {2082, "G", "A12,' ID NUMBER IS NOT A POSITIVE INTEGER'"},
    {2104, "B", "'UNKNOWN KEYWORD- ',A8"},
    {2106, "1", "'COORDINATE SYSTEM ID ',I6,' IS NOT A POSITIVE INTEGER'"},
    {2107, "1", "'ILLEGAL COORDINATE SYSTEM TYPE ',I6"},
    {2111, "1", "'NUMBER OF COMPONENTS TOO LARGE- EXCESS ',I6,' ARE IGNORED'"},
    {2112, "", "'NUMBER OF DIVISION IS LESS THAN 1'"},
    {2115, "", "'ERROR IN THE CONTEXT OF EXTERNAL GENERATION LOOP'"},
    {2116, "1", "'NODE ',I8,' REFERS ITSELF'"},
    {kSetTooLarge, "12", "'RANGE ',I10,' THRU ',I10,' CANNOT BE EXPANDED IN ONE SET'"},
    {2124, "B", "'UNKNOWN ELEMENT TYPE NAME- ',A8"},
    {2127, "", "'PROPERTY ID IS MISSING OR NOT A POSITIVE INTEGER'"},
    {2128, "", "'PROPERTY ID IS NOT REQUIRED'"},
    {2129, "", "'MATERIAL ID IS MISSING OR NOT A POSITIVE INTEGER'"},
    {2131, "12", "'ELEMENT ',I8,' REFERES UNDEFINED ELEMENT TYPE ',I6"},
    {2132, "1", "'TOO MANY NODES IN THE ELEMENT.  IT MUST BE ',I6"},
    {2135, "1", "'NUMBER OF NODES TO MODIFY ',I6,' IS NOT A POSITIVE INTEGER'"},
    {2137, "1", "I4,'-TH NODE OF ELEMENT CONNECTION IS MISSING OR NOT A POSITIVE INTEGER'"},
    {2138, "1", "'TOO MANY NUMBER OF NODES TO MODIFY. EXCESS ',I6,' ARE IGNORED'"},
    {2139, "", "'EXTERNAL LOOP TERMINATOR IS MISSING'"},
    {2141, "1", "'NUMBER OF PROPERTY DATA ',I6,' IS NOT POSITIVE'"},
    {2143, "12", "'MATERIAL',I6,' REFERS UNDEFINED MATERIAL',I6"},
    {2165, "", "'VISCO-PLASTICITY CAN BE MANIPULATED BY USER''S SUBROUTINE ONLY'"},
    {2166, "1", "'CREEP STRAIN EQUATION NUMBER ',I6,' NOT AVAILABLE'"},
    {2167, "R", "'COEFFICIENT ',1P,E13.5,' OF PRIMARY CREEP STRAIN EQUATION IS ILLEGAL'"},
    {2169, "1", "'SWELLING STRAIN EQUATION NUMBER ',I6,' NOT AVAILABLE'"},
    {2180, "", "'NUMBER OF EQUIVALENT NODES IS LESS THAN 2'"},
    {2181, "", "'NUMBER OF MASTER NODES IS LESS THAN 1'"},
    {2188, "1", "'ELEMENT LOAD TYPE CODE ',I6,' IS NOT AVAILABLE'"},
    {2193, "1", "'PARAMETER ',I6,' IS ILLEGAL'"},
    {2197, "", "'PARAMETER MUST BE 0 OR 1'"},
    {2201, "1", "'NUMBER OF STEPS ',I6,' IS ILLEGAL'"},
    {2202, "R", "'TIME INCREMENT ',1P,E13.5,' IS NOT POSITIVE'"},
    {2208, "", "'(NLOAD/DLOAD/BODY/DISP/MPC) AND (INACT) MAY NOT',' BE COMBINED.'"},
    {2210, "", "'BUCKLING CARD NOT PRECEDED BY INTERVAL CARD'"},
    {2211, "", "'TIME CARD IS MISSING'"},
    {2224, "1", "'INDEX ',I6,' OF ELEMENT INTERNAL POINT IS ILLEGAL'"},
    {2225, "", "'''REF'' CARD IS OBSOLETE -- USE ''REFERENCE TEMP'' INSTEAD'"},
    {2317, "1", "'NODE ',I8,' FOR INTERNAL DIVISION IS UNDEFINED'"},
    {2318, "1", "'GENERATED NODE ',I8,' IS OUT OF BOUNDS OF TWO END NODES'"},
    {2319, "12", "'NODE ',I6,' REFERS UNDEFINED NODE PITCH ',I6"},
    {2320, "1", "'NUMBER OF DIVISION IS NOT CONSISTENT WITH NODE PITCH ',I6"},
    {2322, "12", "'COORDINATE SYSTEM OF NODES ',I8,' AND ',I8,' ARE NOT COMPATIBLE'"},
    {2327, "1", "'DUPLICATED ELEMENT TYPE ',I6"},
    {2332, "12", "'ELEMENT ',I8,' REFERS UNDEFINED MATERIAL ID ',I8"},
    {2333, "", "'MATERIAL ID NOT REQUIRED'"},
    {2360, "1", "'VECTOR INDEX ',I6,' IS OUT OF RANGE'"},
    {2361, "12", "'VECTOR INDECES ',I6,' AND ',I6,' REVERSAL'"},
    {2365, "", "'FORMATS F1 AND F2 MAY NOT COEXIST'"},
    {2440, "G1", "A12,I8,' DEFINES NULL DATA'"},
    {2453, "1", "'IN NODE PITCH ',I6,', THE SUM OF RATIO''S RESULTS IN ZERO'"},
    {2454, "1", "'NODE ',I8,' HAS NO CONNECTIONS IN ELEMENT'"},
    {2518, "", "'DATA PREMATUALY ENDED'"},
    {2519, "1B", "'FOR HARDENING RULE ',I6,', MATERIAL KIND ',A8,' MAY NOT BE USED'"},
    {2522, "aB", "'FORMAT ',A4,' NOT AVAILABLE FOR MATERIAL KIND ',A8"},
    {2523, "1", "'THE ORDER OF POLYNOMIAL ',I6,' IS NOT POSITIVE'"},
    {2524, "1", "'THE NUMBER OF PAIRS OF TABLE DATA ',I6,' IS LESS THAN 2'"},
    {2526, "1B", "'IN MATERIAL ID ',I6,', KIND ',A8,' DUPLICATED'"},
    {2527, "1", "'ORDER OF POLYNOMINAL OR TABLE DIMENSION ',I6,' IS NOT POSITIVE'"},
    {2556, "1", "'ELEMENT HEAT INPUT TYPE CODE ',I6,' IS NOT AVAILABLE'"},
    {2569, "", "'NUMBER OF NODES IS LESS THAN 1'"},
    {2602, "BR", "A8,' DATA',1P,E13.5,' IS NOT POSITIVE.'"},
    {2603, "BR", "A8,' DATA',1P,E13.5,' IS OUT OF RANGE.'"},
    {2866, "", "'INACT MAY NOT BE USED WHILE PREVIOUS RELAXATION HAVE NOT YET COMPLETED.'"},
    {2867, "", "'RELS MAY NOT BE USED WHILE NO RELAXATION FORCES ARE PRESENTED.'"},
    {2868, "", "'TOTAL OF RELAXATION FACTOR EXCEEDED 100%'"},
    {2871, "1", "'VECTOR INDEX',I6,' IS OUT OF RANGE'"},
    {2872, "", "'NUMBER OF REGIONS EXCAVATING MAY NOT EXCEED 8'"},
    {2873, "", "'MATCHNG AND MGCHNG CANNOT BE MIXED'"},
    {2874, "1", "'INTERVAL NUMBER ',I5,' IS ILLEGAL'"},
    {2875, "1", "'NO FORCE CAN BE RELEASED FROM THE REGION',' WHERE EXCAVATION BEGAN AT INTERVAL',I6"},
    {2876, "", "'TEMPERAT AND PRESTRES DATA MAY NOT BE GIVEN TOGETHER'"},
    {2877, "1", "'NUMBER OF RELS CARDS IN AN INTERVAL MAY NOT EXCEED',I3"},
    {2878, "1", "'NUMBER OF INTERVALS ACTIVATING GROUPS AFTER EXCAVATION MAY NOT EXCEED',I4"},
    {2879, "12", "'MATERIAL CHANGES ',I6,' AND PROPERTY CHANGES ',I6,' ARE NOT PAIRED'"},
};

const CatalogueRow* find_row(word number) {
  const auto* row = std::find_if(std::begin(kCatalogue), std::end(kCatalogue),
                                 [number](const CatalogueRow& r) { return r.number == number; });
  return row == std::end(kCatalogue) ? nullptr : row;
}

std::string_view text_of(const std::array<char, 24>& t, std::size_t n) { return {t.data(), n}; }

// The value of one parameter code; a character value is kept in `store`.
FmtArg param_arg(char code, const IfpParm& p1, const IfpParm& p2, std::string& store) {
  switch (code) {
    case '1': return FmtArg(p1.integer());
    case '2': return FmtArg(p2.integer());
    case 'R': return FmtArg(p1.real());
    case 'a': store = p1.chars(4); break;
    case 'B': store = p2.chars(8); break;
    default: store = text_of(crdcom().GRPNAM, 12); break;
  }
  return FmtArg(store);
}

std::string text_line(word number, const IfpParm& p1, const IfpParm& p2) {
  const CatalogueRow* row = find_row(number);
  if (row == nullptr)
    return fline("(10X,'POSSIBLE DATA ERROR.  P1,P2=',2I10)", {p1.integer(), p2.integer()});
  std::array<std::string, 2> store;
  std::vector<FmtArg> args;
  for (std::size_t i = 0; i < row->params.size(); ++i)
    args.push_back(param_arg(row->params[i], p1, p2, store[i]));
  const std::string format = "(10X," + std::string(row->body) + ")";
  return fortran_records(format, args).front();
}

}  // namespace

bool ifp_count(bool fatal) {
  CRDCOM& c = crdcom();
  if (!fatal) return ++c.NWARN <= c.MSGLIM;
  ++c.NFATAL;
  sysw().IERFLG = 1;
  return c.NFATAL <= c.MSGLIM;
}

word ifp_card_number() noexcept {
  const word n = crdcom().CARDNO;
  const word number = n & 0x7FFFFFFF;
  return n < 0 ? -number : number;
}

std::string ifp_header(bool fatal, word number, bool with_card) {
  const CRDCOM& c = crdcom();
  const std::string_view kind = text_of(fatal ? c.FATHDR : c.WRNHDR, 24);
  const std::string_view group = text_of(c.GRPNAM, 24);
  if (with_card)
    return fline("('0',A24,I6,',  CARD NUMBER',I7,',  DATA GROUP NAME- ',A24)",
                 {kind, number, ifp_card_number(), group});
  return fline("('0',A24,I6,',  DATA GROUP NAME- ',A24)", {kind, number, group});
}

void IFPMSG(word code, IfpParm p1, IfpParm p2) {
  const bool fatal = code >= 0;
  const word number = fatal ? code : -code;
  if (!ifp_count(fatal)) return;
  LINCNT(3);
  write_listing_and_log({ifp_header(fatal, number, ifp_card_number() != 0)});
  write_listing_and_log({text_line(number, p1, p2)});
}

AboutCard::AboutCard(word cardno) noexcept : at_hand_(crdcom().CARDNO) { crdcom().CARDNO = cardno; }

AboutCard::~AboutCard() { crdcom().CARDNO = at_hand_; }

std::int64_t range_terms(word first, word last, word step) noexcept {
  const std::int64_t f = first, l = last, s = step;
  if (s > 0) return (l - f + s - 1) / s + 1;
  if (s < 0) return (l - f + s + 1) / s + 1;
  return 0;
}

bool set_grow(std::int64_t& words, std::int64_t terms, word words_per_entry, const StepRange& range) {
  const std::int64_t sum = words + terms * words_per_entry;
  if (sum > kMaxRecordWords) {
    IFPMSG(kSetTooLarge, range.first, range.last);
    return false;
  }
  words = sum;
  return true;
}

}  // namespace zephsol
