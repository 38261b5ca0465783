// Load decoders: temperature and prestress sets, and the force sets of the
// nodal loads, distributed loads, body forces and initial stresses.
#include "zephsol/input/dbload.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/decsup.h"
#include "zephsol/input/idrange.h"
#include "zephsol/input/lststo.h"

namespace zephsol {

namespace {


// Work lists: the set identifiers seen and the members of the current set.
constexpr word kIds = 1;
constexpr word kMembers = 2;

// What field 5 of a force member holds.
enum class Third { System, LoadType, None };

// One force kind: its group and entry width, the message of an identifier
// below 1, the meaning of field 5, the components (read from fields 6 and 7
// or fixed), the field of the first value, whether the group has set cards,
// the flag it adds to the LOAD header and its header word (0 for none), and
// whether fields 5-7 are checked before the range (the order of the messages).
struct ForceKind {
  word kind;
  word group;
  word width;
  word id_message;
  Third third;
  word max_component;
  word component_message;
  word c_default;
  word d_default;  // 0: the first component
  word value_field;
  bool single_set;
  word flag;
  word header_word;
  bool components_first;
};

constexpr ForceKind kForceKinds[] = {
    {1, GRP_NLOAD, 9, 2021, Third::System, 6, 2026, 1, 0, 8, false, 1, 1, false},  // "NLOAD"
    {2, GRP_DLOAD, 11, 2022, Third::LoadType, 8, 2871, 1, 3, 8, false, 2, 2, true},  // "DLOAD"
    {7, GRP_BODY, 11, 2022, Third::None, 3, 0, 1, 3, 5, false, 2, 3, false},  // "BODY"
    {8, GRP_INITSTR, 17, 2022, Third::None, 12, 0, 1, 12, 5, true, 8 + 2, 0, false},  // "INIT STR"
};

constexpr word kMemberHead = 6;   // [first, last, step, field 5, c, d] before the values
constexpr word kMaxValues = 14;   // value words of the widest entry

const ForceKind* force_kind(word kind) {
  const auto* k = std::find_if(std::begin(kForceKinds), std::end(kForceKinds),
                               [kind](const ForceKind& f) { return f.kind == kind; });
  return k == std::end(kForceKinds) ? nullptr : k;
}

// The sets of one record that a decoder writes.
struct SetRecord {
  word file = 0;
  word kind = 1;                 // third word of the record head
  const char* name = "";
  IdKind ids = IdKind::Element;  // what the ranges name
  word left_kind = kTemperatureSets;  // the sets' kind among the left-out entries
  bool head = false;
  std::int64_t record_words = 3;
  std::int64_t entries = 0;      // of the current set, as written
  bool members = false;          // the current set has a good member
  word nsets = 0;

  void start_set(word id, std::initializer_list<word> more) {
    if (!head) write_head(file, name, kind);
    head = true;
    write_words(file, {id});
    write_words(file, more);
  }
  void end_set() {
    clear_work_list(kMembers);
    entries = 0;
    members = false;
  }
  // The range of a member and every term the set holds of it, in order:
  // entry(term) for each; the terms a wide range leaves out are recorded.
  template <class Entry>
  void write_range(const StepRange& range, LeftOutRecorder& left, std::int64_t& written, Entry&& entry) {
    std::int64_t told = 0;
    const std::int64_t out = walk_range(
        range, ids, static_cast<std::int64_t>(kLeftOutKept),
        [&](word id) {
          entry(id);
          ++written;
        },
        [&](word id) {
          left.add(id, written);
          ++told;
        });
    left.count(out - told);
  }
  void finish() {
    if (head) end_record(file);
  }
};

// ---- Temperature and prestress sets ------------------------------------

// A member card [e, f, s, value]: elements e, e + s, ... f at one value.
void temperature_member(SetRecord& r, GroupCards& cards) {
  StepRange elems;
  float value = 0.0f;
  word sv = 0;
  bool ok = read_range(2, 2022, elems);
  RELFLD(5, value, 0.0f, sv);
  if (ok && sv != kFieldError) {
    const std::int64_t terms = kept_terms(elems, r.ids);
    if (set_grow(r.record_words, terms, 2, elems)) {
      append_words(kMembers, {elems.first, elems.last, elems.step, real_word(value)});
      r.entries += terms;
      r.members = true;
    }
  }
  cards.next();
}

void end_temperature_set(SetRecord& r, word id) {
  if (!r.members) {
    IFPMSG(2440, id);
  } else {
    r.start_set(id, {static_cast<word>(r.entries)});
    LeftOutRecorder left(LOAD, r.left_kind, r.nsets);
    std::int64_t written = 0;
    const auto m = lst_words(kMembers);
    for (std::size_t i = 0; i < m.size(); i += 4) {
      const word value = m[i + 3];
      r.write_range({m[i], m[i + 1], m[i + 2]}, left, written,
                    [&](word element) { write_words(r.file, {element, value}); });
    }
    ++r.nsets;
    r.record_words += 2;
  }
  r.end_set();
}

// The one body of DBTEMP and DBPRST.
void temperature_sets(word file, word group, word& nsets) {
  nsets = 0;
  init_work_lists({20, 1000}, 20);
  SetRecord r{file, 1, "TEMP    "};
  GroupCards cards(group);
  walk_sets(
      cards, kIds, [&r](GroupCards& c) { temperature_member(r, c); },
      [&r](word id) { end_temperature_set(r, id); });
  r.finish();
  nsets = r.nsets;
}

// ---- Force sets ----------------------------------------------------------

// Fields 5-7 of an "NLOAD" or "DLOAD" member: the coordinate system or the
// load type word, and the components c to d.
bool read_components(const ForceKind& k, word& third, word& c, word& d) {
  word s3 = 0, sc = 0, sd = 0;
  INTFLD(5, third, 0, s3);
  INTFLD(6, c, k.c_default, sc);
  INTFLD(7, d, k.d_default == 0 ? c : k.d_default, sd);
  bool ok = s3 != kFieldError;
  if (k.third == Third::System && s3 == kFieldRead && third < 1) {
    IFPMSG(2106, third);
    ok = false;
  }
  if (k.third == Third::LoadType && third < 0) {
    IFPMSG(2193, third);
    ok = false;
  }
  if (sc == kFieldError || sd == kFieldError) return false;
  for (const word comp : {c, d}) {
    if (comp < 1 || comp > k.max_component) {
      IFPMSG(k.component_message, comp);
      return false;
    }
  }
  // A reversed pair would load nothing at all: refused in "DLOAD" too,
  // whose blank last component is 3.
  if (d < c) {
    IFPMSG(2027, c, d);
    return false;
  }
  return ok;
}

// Reads n values from field k of the card at hand on, continued in fields
// 2-10 of the following cards, and leaves the card after them at hand.
// False after 2518 when a continuation card is missing (the card that ended
// the member stays at hand); faulty is set by a faulty value field.
bool read_values(GroupCards& cards, word k, word n, std::span<word> values, bool& faulty) {
  word got = 0;
  for (;;) {
    for (; k <= 10 && got < n; ++k, ++got) {
      float v = 0.0f;
      word status = 0;
      RELFLD(k, v, 0.0f, status);
      faulty = faulty || status == kFieldError;
      values[static_cast<std::size_t>(got)] = real_word(v);
    }
    cards.next();
    if (got == n) return true;
    if (!cards.more() || cards.set_card()) {
      IFPMSG(2518);
      return false;
    }
    k = 2;
  }
}

// The gravity axis: the last of the three body-force values that is
// negative.
void set_gravity(std::span<const word> values) {
  for (word axis = 1; axis <= 3; ++axis)
    if (word_real(values[static_cast<std::size_t>(axis - 1)]) < 0.0f) load_words().IGRAV = axis;
}

// One member card with its continuation cards. A faulty member is dropped
// at once, so that a continuation card after it is read as a member card;
// a good one is kept as [first, last, step, field 5, c, d] and its values.
void force_member(const ForceKind& k, SetRecord& r, GroupCards& cards) {
  StepRange range;
  word third = 0, c = k.c_default, d = k.d_default;
  bool ok = true;
  if (k.components_first) ok = read_components(k, third, c, d);
  ok = read_range(2, k.id_message, range) && ok;
  if (k.third != Third::None && !k.components_first) ok = read_components(k, third, c, d) && ok;
  if (!ok) {
    cards.next();
    return;
  }

  std::array<word, kMaxValues> values{};
  bool faulty = false;
  const word n = d - c + 1;
  const word member_card = crdcom().CARDNO;
  if (!read_values(cards, k.value_field, n, values, faulty) || faulty) return;
  const std::int64_t terms = kept_terms(range, r.ids);
  const AboutCard about(member_card);
  if (!set_grow(r.record_words, terms, k.width, range)) return;
  append_words(kMembers, {range.first, range.last, range.step, third, c, d});
  LSTAPP(kMembers, values, n);
  r.entries += terms;
  r.members = true;
  if (k.kind == 7) set_gravity(values);
}

// Writes the entries of one member: [node or element, d x 256 + c, field 5,
// the values of components 1 to W - 3].
void write_force_entries(const ForceKind& k, SetRecord& r, std::span<const word> m, LeftOutRecorder& left,
                         std::int64_t& written) {
  const word c = m[4], d = m[5];
  std::array<word, 3 + kMaxValues> entry{};
  entry[1] = d * 256 + c;
  entry[2] = m[3];
  std::copy(m.begin() + kMemberHead, m.end(), entry.begin() + 2 + c);
  const std::span<const word> out(entry.data(), static_cast<std::size_t>(k.width));
  r.write_range({m[0], m[1], m[2]}, left, written, [&](word id) {
    entry[0] = id;
    write_words(r.file, out);
  });
}

void end_force_set(const ForceKind& k, SetRecord& r, word id) {
  if (!r.members) {
    IFPMSG(2440, id);
  } else {
    r.start_set(id, {1, static_cast<word>(r.entries * k.width + 1), k.kind});
    LeftOutRecorder left(LOAD, k.kind, r.nsets);
    std::int64_t written = 0;
    const auto m = lst_words(kMembers);
    for (std::size_t i = 0; i < m.size();) {
      const std::size_t len = kMemberHead + static_cast<std::size_t>(m[i + 5] - m[i + 4] + 1);
      write_force_entries(k, r, m.subspan(i, len), left, written);
      i += len;
    }
    ++r.nsets;
    r.record_words += 4;
  }
  r.end_set();
}

bool any_load_group() {
  for (const word g : {GRP_TEMPERAT, GRP_PRESTRES})
    if (group_has_data(g)) return true;
  return std::any_of(std::begin(kForceKinds), std::end(kForceKinds),
                     [](const ForceKind& k) { return group_has_data(k.group); });
}

}  // namespace

LoadWords& load_words() noexcept {
  static LoadWords words;
  return words;
}

void DBTEMP(word file, word& nsets) { temperature_sets(file, GRP_TEMPERAT, nsets); }

void DBPRST(word file, word& nsets) { temperature_sets(file, GRP_PRESTRES, nsets); }

void DBFORC(word file, word& nsets, word kind) {
  nsets = 0;
  const ForceKind* k = force_kind(kind);
  if (k == nullptr) {
    MSGPUT(-999, kind, 0);  // no such force kind: a program logic error
    return;
  }
  init_work_lists({20, 1000}, 20);
  SetRecord r{file, kind, "FORCE   ", kind == 1 ? IdKind::Node : IdKind::Element, kind};
  GroupCards cards(k->group);
  auto member = [&](GroupCards& c) { force_member(*k, r, c); };
  auto end_set = [&](word id) { end_force_set(*k, r, id); };
  if (k->single_set)
    walk_single_set(cards, member, end_set);
  else
    walk_sets(cards, kIds, member, end_set);
  r.finish();
  nsets = r.nsets;
}

void DBLOAD() {
  ifpflg().IFPPRS = 0;
  load_words().IGRAV = 0;
  if (!any_load_group()) return;
  const word file = open_output_block("LOAD");
  std::array<word, 6> hdr{};
  word flags = 0;
  word n = 0;
  if (group_has_data(GRP_TEMPERAT)) {
    DBTEMP(file, n);
    hdr[4] = n;
    if (n > 0) flags = 2;
  }
  if (group_has_data(GRP_PRESTRES)) {
    // The load module reads a single temperature record: both groups
    // together cannot be told apart there.
    if (group_has_data(GRP_TEMPERAT)) {
      GRPOPN(GRP_PRESTRES);
      IFPMSG(kTempAndPrestress);
    }
    DBPRST(file, n);
    hdr[4] = n;
    if (n > 0) flags |= 2;
    ifpflg().IFPPRS = -1;
  }
  for (const ForceKind& k : kForceKinds) {
    if (!group_has_data(k.group)) continue;
    DBFORC(file, n, k.kind);
    if (k.header_word > 0) hdr[static_cast<std::size_t>(k.header_word - 1)] = n;
    if (n > 0) flags |= k.flag;
  }
  hdr[3] = flags;
  if (flags == 0) {
    DBCLOS(file, kCloseUnload);
    return;
  }
  DBCLOS(file, kCloseRewind);
  HDRPUT(file, hdr);
}

}  // namespace zephsol
