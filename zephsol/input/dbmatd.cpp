// DBMATD: materials from "MATERIAL" cards into MATD. A header card gives the
// identifier, the kind (or "DUP" and the identifier of the material copied),
// the yield criterion code and the orthotropy flag; each parameter card
// (field 1 blank) gives one named parameter of the kind's list, or for the
// general kinds "HDASH" "F5" n followed by a hardening table of n pairs.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/decoders.h"
#include "zephsol/input/decsup.h"
#include "zephsol/input/decwork.h"
#include "zephsol/input/ifpmsg.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/lststo.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {

namespace {

// ---- Parameter lists -------------------------------------------------------

enum ParamFlag : unsigned {
  kRequired = 1,  // its absence is message 2601
  kFloor = 2,     // a value <= 0 is stored as 0.01
  kTension = 4,   // "SIGT" kept in word 14: sets IFPSGT
  kPositive = 8,  // the law divides by it: a value <= 0 is refused (2602)
  kModulus = 16,  // a modulus or a strength: a negative value is refused (2603)
  kPoisson = 32,  // a Poisson's ratio: refused outside -1 < nu < 0.5 (2603)
  kAngle = 64,    // a friction angle in degrees: refused outside 0 <= phi < 90 (2603)
};

// Whether a value lies in the range its flags allow (non-finite values never
// do).
bool in_range(unsigned flags, float v) {
  if (!std::isfinite(v)) return false;
  if ((flags & kModulus) && v < 0.0f) return false;
  if ((flags & kPoisson) && !(v > -1.0f && v < 0.5f)) return false;
  if ((flags & kAngle) && !(v >= 0.0f && v < 90.0f)) return false;
  return true;
}

struct Param {
  std::string_view name;
  int word_no;  // entry word that receives the value
  unsigned flags = 0;
};

constexpr Param kZuzu[] = {
    {"C", mw::C, kRequired | kModulus},        {"PHAI", mw::PHAI, kRequired | kAngle}, {"GAMM", mw::GAMM},
    {"DZER", mw::DZER, kRequired},  {"DFAI", mw::DFAI, kRequired}, {"DTOK", mw::DTOK, kRequired},
    {"POZE", mw::POZE, kRequired},  {"POFA", mw::POFA, kRequired}, {"YURU", mw::YURU, kRequired},
    {"POTO", mw::POTO, kRequired},  {"TAUR", mw::TAUR, kRequired}, {"SIGT", mw::ZSIGT, kRequired},
    {"HORA", mw::HORA, kRequired},  {"ALPHA", mw::ALPHA, kRequired}, {"K", mw::K, kRequired},
    {"SFSIGT", mw::SFSIGT},
};

constexpr Param kDuncan[] = {
    {"C", mw::C, kRequired | kModulus},      {"PHAI", mw::PHAI, kRequired | kAngle}, {"GAMM", mw::GAMM},
    {"DCK", mw::DCK, kRequired | kPositive}, {"DCN", mw::DCN, kRequired}, {"DCRF", mw::DCRF, kRequired},
    {"DCKU", mw::DCKU, kRequired}, {"DCG", mw::DCG, kRequired},  {"DCF", mw::DCF, kRequired},
    {"DCD", mw::DCD, kRequired},  {"DCPA", mw::DCPA, kRequired | kPositive},
    {"DCDE", mw::DCDE, kRequired | kFloor},
    {"ALPHA", mw::ALPHA, kRequired}, {"DCNU", mw::DCNU, kPoisson},          {"K", mw::K},
    {"SFSIGT", mw::SFSIGT},
};

constexpr Param kFailure[] = {
    {"E", mw::E, kModulus},         {"NU", mw::NU, kPoisson},       {"GAMM", mw::GAMM}, {"C", mw::C, kModulus},
    {"PHAI", mw::PHAI, kAngle},   {"EMIN", mw::EMIN, kModulus},   {"NUMAX", mw::NUMAX, kPoisson}, {"ALPHA", mw::ALPHA},
    {"SIGT", mw::SIGT, kTension}, {"SIG0", mw::SIG0}, {"ENT", mw::ENT, kModulus}, {"NUNT", mw::NUNT, kPoisson},
    {"K", mw::K},         {"SFSIGT", mw::SFSIGT},
};

constexpr Param kRatio[] = {
    {"E", mw::E, kModulus},     {"NU", mw::NU, kPoisson},     {"GAMM", mw::GAMM},   {"C", mw::C, kModulus},     {"PHAI", mw::PHAI, kAngle},
    {"U", mw::U},     {"V", mw::V},       {"W", mw::W},         {"U1", mw::U1},   {"V1", mw::V1},
    {"W1", mw::W1},   {"U2", mw::U2},     {"V2", mw::V2},       {"W2", mw::W2},   {"EPS", mw::EPS},
    {"SIGT", mw::SIGT, kTension},         {"ALPHA", mw::ALPHA}, {"HDASH", mw::HDASH},
    {"SIG0", mw::SIG0}, {"EMAX", mw::EMAX, kModulus}, {"ENT", mw::ENT, kModulus},   {"NUNT", mw::NUNT, kPoisson},
};

constexpr Param kOrtho[] = {
    {"E1", mw::E1, kModulus},     {"E2", mw::E2, kModulus},     {"E3", mw::E3, kModulus},     {"NU12", mw::NU12}, {"NU23", mw::NU23},
    {"NU31", mw::NU31}, {"G12", mw::G12, kModulus},   {"G23", mw::G23, kModulus},   {"G31", mw::G31, kModulus},   {"GAMM", mw::GAMM},
    {"C", mw::C, kModulus},       {"PHAI", mw::PHAI, kAngle}, {"SIGY", mw::SIGY, kModulus}, {"ALPHA", mw::ALPHA}, {"HDAS", mw::HDASH},
    {"SIGT", mw::SIGT, kTension},           {"SIG0", mw::SIG0}, {"ENT", mw::ENT, kModulus},   {"NUNT", mw::NUNT, kPoisson},
    {"K", mw::K},       {"SFSIGT", mw::SFSIGT},
};

constexpr Param kGeneral[] = {
    {"E", mw::E, kModulus},         {"NU", mw::NU, kPoisson},         {"GAMM", mw::GAMM},   {"C", mw::C, kModulus},
    {"PHAI", mw::PHAI, kAngle},   {"SIGY", mw::SIGY, kModulus},     {"ALPHA", mw::ALPHA}, {"HDASH", mw::HDASH},
    {"SIGT", mw::SIGT, kTension},                 {"SIG0", mw::SIG0},   {"ENT", mw::ENT, kModulus},
    {"NUNT", mw::NUNT, kPoisson},   {"K", mw::K},           {"SFSIGT", mw::SFSIGT}, {"SSRSTA", mw::SSRSTA},
    {"SSRINC", mw::SSRINC},
};

// The parameter list of a kind: the names, the entry length (0: 29 + 2 x
// table pairs), whether the "F5" table is allowed, whether every parameter
// card marks a hyperbolic material.
struct ParamList {
  word kind;   // -1: every kind without a list of its own
  bool ortho;  // the list of kind 0 with orthotropy flag 1
  std::span<const Param> params;
  word length;
  bool general;
  bool duncan;
};

constexpr word kBaseLength = 29;

const ParamList kLists[] = {
    {mkind::ZUZU, false, kZuzu, 27, false, false},
    {mkind::DUNCAN, false, kDuncan, 27, false, true},
    {mkind::FAILURE, false, kFailure, 27, false, false},
    {mkind::RATIO, false, kRatio, 29, false, false},
    {mkind::ELASTIC, true, kOrtho, 27, false, false},
    {-1, false, kGeneral, 0, true, false},
};

const ParamList& list_of(word kind, word flag) {
  for (const ParamList& l : kLists)
    if (l.kind == kind && (!l.ortho || flag == 1)) return l;
  return kLists[std::size(kLists) - 1];
}

// ---- The material being read ---------------------------------------------------

constexpr int kMaxPairs = 147;                            // table words 19 to 312
constexpr int kEntryWords = kBaseLength + 2 * kMaxPairs;  // the longest entry L

constexpr word kIds = 1;      // work list: material identifiers
constexpr word kEntries = 2;  // work list: [L, entry] per material

struct Material {
  std::array<word, kEntryWords> w{};  // w[k - 1] is entry word k
  word id = 0;
  word card = 0;  // CARDNO of the header card
  const ParamList* list = nullptr;

  word& at(int k) { return w[static_cast<std::size_t>(k - 1)]; }
  void set_real(int k, float v) { at(k) = real_word(v); }
  word length() const {
    return list->length != 0 ? list->length : kBaseLength + 2 * w[mw::NF5 - 1];
  }
};

// State of the material decoder between cards.
struct Reader {
  bool open = false;          // a material is being read
  bool skipping = false;      // cards up to the next header card are passed over
  bool skip_numeric = false;  // table cards of a refused parameter are passed over
  word count = 0;
  Material m;
};

// ---- Header cards ----------------------------------------------------------------

// The stored entry [L, words] of material id, empty when there is none.
std::span<const word> stored_entry(word id) {
  const std::span<const word> all = lst_words(kEntries);
  for (std::size_t at = 0; at < all.size(); at += static_cast<std::size_t>(all[at]) + 1)
    if (all[at + 1] == id) return all.subspan(at + 1, static_cast<std::size_t>(all[at]));
  return {};
}

bool id_used(word id) {
  const std::span<const word> ids = lst_words(kIds);
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

void fresh_entry(Material& m) {
  m.w.fill(0);
  m.at(mw::KIND) = int_field(2, 0).value;
  m.at(mw::IYIELD) = int_field(3, 0).value;
  m.at(mw::ORTHO) = int_field(4, 0).value;
  m.set_real(mw::SIGT, -1.0f);
  m.set_real(mw::SIG0, -1.0f);
  m.set_real(mw::SFSIGT, -1.0f);
  m.set_real(mw::SSRSTA, 0.1f);
  m.set_real(mw::SSRINC, 0.01f);
}

// A copy of the source named in field 3; false (2143) when it is not stored.
bool copied_entry(Material& m) {
  const word source = int_field(3, 0).value;
  const std::span<const word> src = stored_entry(source);
  if (src.empty()) {
    IFPMSG(2143, m.id, source);
    return false;
  }
  m.w.fill(0);
  std::copy(src.begin(), src.end(), m.w.begin());
  return true;
}

// Begins a material at its header card; false when its cards are to be
// passed over.
bool begin_material(Material& m) {
  const IntField id = int_field(1, 0);
  if (id.value < 1) {
    if (id.status != kFieldError) IFPMSG(2082);
    return false;
  }
  if (id_used(id.value)) {
    IFPMSG(2081, id.value);
    return false;
  }
  m.id = id.value;
  m.card = crdcom().CARDNO;
  if (name_field(2) == name_words8("DUP")) {
    if (!copied_entry(m)) return false;
  } else {
    fresh_entry(m);
  }
  m.list = &list_of(m.at(mw::KIND), m.at(mw::ORTHO));
  return true;
}

// ---- Parameter cards --------------------------------------------------------------

const Param* find_param(const ParamList& l, const std::array<word, 2>& name, int& bit) {
  for (std::size_t i = 0; i < l.params.size(); ++i)
    if (name_words8(l.params[i].name) == name) {
      bit = static_cast<int>(i);
      return &l.params[i];
    }
  return nullptr;
}

// Reads the 2n values of a hardening table from the cards after the current
// one, four pairs a card in fields 2-9, into words 19 onward, and leaves the
// card after them at hand. A card that is not a table card is 2518: the
// pairs read so far stand, and that card stays at hand. A 148th pair ends
// the run.
void read_table(GroupCards& cards, Material& m, word n) {
  const std::int64_t values = 2 * std::int64_t{n};
  word got = 0;
  cards.next();
  while (got < values) {
    if (!cards.more() || cards.set_card() || ALFTST(2) != 0) {
      IFPMSG(2518);
      break;
    }
    for (word k = 2; k <= 9 && got < values; ++k, ++got) {
      if (got == 2 * kMaxPairs) MSGPUT(-4, name_word("MATD"), 300);
      m.set_real(mw::TABLE + got, real_field(k, 0.0f));
    }
    cards.next();
  }
  m.at(mw::NF5) = got / 2;
}

// Field 3 holds a word: "F5" with "HDASH" begins a hardening table. Leaves
// the next card at hand.
void format_word(GroupCards& cards, Material& m, const std::array<word, 2>& name) {
  const std::array<word, 2> format = name_field(3);
  if (format != name_words8("F5")) {
    IFPMSG(2104, 0, format);
  } else if (name != name_words8("HDASH")) {
    IFPMSG(2522, format[0], name);
  } else if (const IntField n = int_field(4, 0); n.value > 1) {
    return read_table(cards, m, n.value);
  } else if (n.status != kFieldError) {
    IFPMSG(2524, n.value);
  }
  cards.next();
}

// Decodes the parameter card at hand and leaves the next card at hand.
void parameter_card(GroupCards& cards, Reader& r) {
  Material& m = r.m;
  const std::array<word, 2> name = name_field(2);
  int bit = 0;
  const Param* p = find_param(*m.list, name, bit);
  if (p == nullptr) {
    IFPMSG(2104, 0, name);
    r.skip_numeric = true;
    return cards.next();
  }
  m.at(mw::MASK) |= word{1} << bit;
  if (m.list->duncan) ifpflg().IFPDUN = -1;
  if (m.list->general && ALFTST(3) != 0) return format_word(cards, m, name);
  float v = real_field(3, 0.0f);
  if ((p->flags & kFloor) && v <= 0.0f) v = 0.01f;
  if ((p->flags & kPositive) && !(v > 0.0f)) {
    IFPMSG(2602, v, name);
    return cards.next();
  }
  if (!in_range(p->flags, v)) {
    IFPMSG(2603, v, name);
    return cards.next();
  }
  m.set_real(p->word_no, v);
  if (p->flags & kTension) ifpflg().IFPSGT = -1;
  cards.next();
}

// ---- End of a material -------------------------------------------------------------

// The card number of a message about the card numbered cardno.
word printed_card_number(word cardno) {
  const AboutCard about(cardno);
  return ifp_card_number();
}

// Message 2601 for a required parameter that was not given. It counts as a
// fatal decoder message but is printed past the print limit as well.
void missing_parameter(const Material& m, std::string_view name) {
  ifp_count(true);
  LINCNT(3);
  const CRDCOM& c = crdcom();
  const std::string head =
      fline("('0*** USER FATAL MESSAGE   2601,  CARD NUMBER',I7,',  DATA GROUP NAME- ',A24)",
            {printed_card_number(m.card), std::string(c.GRPNAM.data(), c.GRPNAM.size())});
  const std::string text = fline("(10X,A8,' DATA IS MISSING.')", {padded(name, 8)});
  write_listing_and_log({head, text});
}

void finish_material(Reader& r) {
  Material& m = r.m;
  m.at(mw::ID) = m.id;
  const word length = m.length();
  list_append(kEntries, {&length, 1});
  list_append(kEntries, std::span<const word>(m.w.data(), static_cast<std::size_t>(length)));
  list_append(kIds, {&m.id, 1});
  ++r.count;
  for (std::size_t i = 0; i < m.list->params.size(); ++i)
    if ((m.list->params[i].flags & kRequired) && (m.at(mw::MASK) & (word{1} << i)) == 0)
      missing_parameter(m, m.list->params[i].name);
}

// ---- The group -----------------------------------------------------------------------

void header_card(Reader& r) {
  if (r.open) finish_material(r);
  r.open = begin_material(r.m);
  r.skipping = !r.open;
  r.skip_numeric = false;
}

void decode(GroupCards& cards, Reader& r) {
  while (cards.more()) {
    if (cards.set_card()) {
      header_card(r);
    } else if (r.skipping || (r.skip_numeric && ALFTST(2) == 0)) {
      // Cards of a refused material, or table cards of a refused parameter.
    } else if (!r.open) {
      IFPMSG(2000, 1, 8);
      r.skipping = true;
    } else {
      r.skip_numeric = false;
      parameter_card(cards, r);
      continue;
    }
    cards.next();
  }
  if (r.open) finish_material(r);
}

void write_matd(word count) {
  const std::span<const word> rec = lst_words(kEntries);
  const word file = open_output_block("MATD");
  write_words(file, rec);
  end_record(file);
  DBCLOS(file, kCloseRewind);
  const std::array<word, 6> header = {count, static_cast<word>(rec.size()), 0, 0, 0, 0};
  HDRPUT(file, header);
}

// Leaves the identifiers (list 1, at the start of the work area) for the
// connectivity decoder.
void keep_ids(word count) {
  CRDCOM& c = crdcom();
  c.MATLST = c.IFREE;
  c.NMATL = count;
  c.IFREE += count;
}

}  // namespace

void DBMATD() {
  ifpflg().IFPDUN = 0;
  ifpflg().IFPSGT = 0;
  CRDCOM& c = crdcom();
  c.MATLST = c.IFREE;
  c.NMATL = 0;
  if (!group_has_data(GRP_MATERIAL)) return;
  open_lists({{20, 20}, {200, 400}}, c.IFREE, c.BUFOUT);
  GroupCards cards(GRP_MATERIAL);
  Reader r;
  decode(cards, r);
  if (r.count == 0) return;
  write_matd(r.count);
  keep_ids(r.count);
}

}  // namespace zephsol
