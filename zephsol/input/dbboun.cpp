// Boundary decoder: "CONST" and "DISP" sets expanded into boundary entries,
// "MPC" sets with their equations and terms.
#include "zephsol/input/dbboun.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/decsup.h"
#include "zephsol/input/idrange.h"
#include "zephsol/input/lststo.h"

namespace zephsol {

namespace {


// Work lists: the set identifiers seen and the members of the current set.
constexpr word kIds = 1;
constexpr word kMembers = 2;

constexpr word kMaxComponent = 6;
constexpr word kEntryWords = 4;    // [node, component, system, value]
constexpr word kMemberWords = 7;   // [a, b, s, system, c, d, value]
constexpr word kEquationWords = 5; // [system, node, component, coefficient, t]
constexpr word kTermWords = 3;     // [node, component, coefficient]

constexpr word kSystemFlag = 1;
constexpr word kMpcSystemFlag = 2;

// What the decoder keeps while it writes BOUN.
struct Boun {
  word file = 0;
  std::array<word, 6> hdr{};
  bool head = false;                 // the current record's head is written
  std::int64_t record_words = 0;     // words of the "BOUNDARY" record so far
  std::int64_t entries = 0;          // n of the current boundary set (entries written)
  bool members = false;              // the current set has a good member
};

void start_record(Boun& b) {
  b.head = false;
  b.record_words = 3;
  b.entries = 0;
  b.members = false;
}

void write_record_head(Boun& b, const char* name) {
  if (b.head) return;
  write_head(b.file, name, 1);
  b.head = true;
}

// Fields 2-8 of a "CONST" or "DISP" member card.
struct Member {
  StepRange nodes;
  word system = 0, c = 0, d = 0;
  float value = 0.0f;
};

// Checks the components: 2023 below 1, 2027 reversed; components above 6
// are a warning and are lowered to 6.
bool components_ok(Member& m, word sc, word sd) {
  if (sc == kFieldError || sd == kFieldError) return false;
  if (m.c < 1 || m.d < 1) {
    IFPMSG(2023);
    return false;
  }
  if (m.d < m.c) {
    IFPMSG(2027, m.c, m.d);
    return false;
  }
  if (m.d > kMaxComponent) {
    IFPMSG(-2026, m.c > kMaxComponent ? m.c : m.d);
    m.c = std::min(m.c, kMaxComponent);
    m.d = kMaxComponent;
  }
  return true;
}

// Keeps a good member: it counts the entries the set will hold of it (a
// wide range only its defined nodes).
void keep_member(Boun& b, const Member& m) {
  const std::int64_t terms = kept_terms(m.nodes, IdKind::Node) * (m.d - m.c + 1);
  if (!set_grow(b.record_words, terms, kEntryWords, m.nodes)) return;
  append_words(kMembers, {m.nodes.first, m.nodes.last, m.nodes.step, m.system, m.c, m.d,
                          real_word(m.value)});
  b.entries += terms;
  b.members = true;
  if (m.system != 0) b.hdr[4] |= kSystemFlag;
}

// One member card of "CONST" (with_value false) or "DISP": a good one is
// kept; a card with any fatal error is dropped. Its messages are raised
// while it is at hand.
void boundary_member(Boun& b, GroupCards& cards, bool with_value) {
  Member m;
  word ssys = 0, sc = 0, sd = 0, sv = 0;
  bool ok = read_range(2, 2021, m.nodes);
  INTFLD(5, m.system, 0, ssys);
  INTFLD(6, m.c, 0, sc);
  INTFLD(7, m.d, m.c, sd);
  if (with_value) RELFLD(8, m.value, 0.0f, sv);
  if (ssys == kFieldError) ok = false;
  if (ssys == kFieldRead && m.system < 1) {
    IFPMSG(2106, m.system);
    ok = false;
  }
  ok = components_ok(m, sc, sd) && ok;
  if (ok && sv != kFieldError) keep_member(b, m);
  cards.next();
}

// Writes the entries of one member: every node of its range with every
// component c to d; `written` counts the set's entries. The nodes a wide
// range names and the deck does not define are left out, and recorded
// unless the entry is one the boundary module drops silently (value 0.0).
void write_member_entries(word file, std::span<const word> m, std::int64_t& written, LeftOutRecorder& left) {
  const word system = m[3], c = m[4], d = m[5], value = m[6];
  const word components = d - c + 1;
  const bool reported = word_real(value) != 0.0f;
  const std::int64_t named = reported ? static_cast<std::int64_t>(kLeftOutKept) : 0;
  std::int64_t told = 0;
  const std::int64_t out = walk_range(
      {m[0], m[1], m[2]}, IdKind::Node, named,
      [&](word node) {
        for (word comp = c; comp <= d; ++comp) write_words(file, {node, comp, system, value});
        written += components;
      },
      [&](word node) {
        left.add(node, written, components);
        ++told;
      });
  if (reported) left.count((out - told) * components);
}

// Closes a "CONST" or "DISP" set: 2440 when it has no good member, else its
// entries are written.
void end_boundary_set(Boun& b, word id) {
  if (!b.members) {
    IFPMSG(2440, id);
  } else {
    write_record_head(b, "BOUNDARY");
    write_words(b.file, {id, static_cast<word>(b.entries)});
    LeftOutRecorder left(BOUN, kBoundarySets, b.hdr[0]);
    std::int64_t written = 0;
    const auto members = lst_words(kMembers);
    for (std::size_t i = 0; i < members.size(); i += kMemberWords)
      write_member_entries(b.file, members.subspan(i, kMemberWords), written, left);
    ++b.hdr[0];
    b.record_words += 2;
  }
  clear_work_list(kMembers);
  b.entries = 0;
  b.members = false;
}

void boundary_sets(Boun& b) {
  init_work_lists({20, 700}, 20);
  start_record(b);
  auto member = [&b](bool with_value) {
    return [&b, with_value](GroupCards& cards) { boundary_member(b, cards, with_value); };
  };
  auto end_set = [&b](word id) { end_boundary_set(b, id); };
  if (group_has_data(GRP_CONST)) {
    GroupCards cards(GRP_CONST);
    walk_single_set(cards, member(false), end_set);
  }
  if (group_has_data(GRP_DISP)) {
    GroupCards cards(GRP_DISP);
    walk_sets(cards, kIds, member(true), end_set);
  }
  if (b.head) end_record(b.file);
}

// One (node, component, coefficient) triple from fields k to k + 2:
// 2021 and 2023 for a node or component below 1, warning 2026 above 6; the
// term is kept in every case.
void read_term(word k) {
  word node = 0, comp = 0, sn = 0, sc = 0, sf = 0;
  float coef = 0.0f;
  INTFLD(k, node, 0, sn);
  INTFLD(k + 1, comp, 0, sc);
  RELFLD(k + 2, coef, 0.0f, sf);
  if (sn != kFieldError && node < 1) IFPMSG(2021);
  if (sc != kFieldError && comp < 1) IFPMSG(2023);
  if (comp > kMaxComponent) IFPMSG(-2026, comp);
  append_words(kMembers, {node, comp, real_word(coef)});
}

// Reads t terms, three to a card, into the equation whose term count is
// word `count_at` of the entry list. The group ending, or a card with a
// non-blank field 1, before all are read is 2518; the equation keeps the
// terms read.
void read_terms(GroupCards& cards, word t, std::size_t count_at) {
  word got = 0;
  while (got < t) {
    if (!cards.more() || cards.set_card()) {
      IFPMSG(2518);
      return;
    }
    for (word k = 2; k <= 8 && got < t; k += kTermWords, ++got) read_term(k);
    lst_words(kMembers)[count_at] = got;
    cards.next();
  }
}

// One equation card of an "MPC" set with its term cards. A faulty equation
// card is dropped, and the next card is read as an equation card.
void mpc_equation(Boun& b, word& equations, GroupCards& cards) {
  word node = 0, comp = 0, t = 0, system = 0;
  word sn = 0, sc = 0, sf = 0, st = 0, ss = 0;
  float coef = 0.0f;
  INTFLD(2, node, 0, sn);
  INTFLD(3, comp, 0, sc);
  RELFLD(4, coef, 0.0f, sf);
  INTFLD(5, t, 1, st);
  INTFLD(6, system, 0, ss);
  bool ok = sn != kFieldError && sc != kFieldError && sf != kFieldError && st != kFieldError &&
            ss != kFieldError;
  auto refuse = [&ok](word number, word p1 = 0) {
    IFPMSG(number, p1);
    ok = false;
  };
  if (sn != kFieldError && node < 1) refuse(2021);
  if (sc != kFieldError && comp < 1) refuse(2023);
  if (comp > kMaxComponent) IFPMSG(-2026, comp);
  if (st != kFieldError && t < 1) refuse(2181);
  if (ss == kFieldRead && system < 1) refuse(2106, system);
  cards.next();
  if (!ok) return;

  ++equations;
  const auto count_at = static_cast<std::size_t>(lst_length(kMembers) + kEquationWords - 1);
  append_words(kMembers, {system, node, comp, real_word(coef), 0});
  if (system != 0) b.hdr[4] |= kMpcSystemFlag;
  read_terms(cards, t, count_at);
}

// Closes an "MPC" set: 2440 without an equation, else the set is written.
void end_mpc_set(Boun& b, word& equations, word id) {
  if (equations < 1) {
    IFPMSG(2440, id);
  } else {
    write_record_head(b, "FASTENIN");
    write_words(b.file, {id, equations, 0});
    write_words(b.file, lst_words(kMembers));
    ++b.hdr[1];
    b.hdr[2] = std::max(b.hdr[2], equations);
  }
  clear_work_list(kMembers);
  equations = 0;
}

void mpc_sets(Boun& b) {
  if (!group_has_data(GRP_MPC)) return;
  init_work_lists({20, 400}, 20);
  start_record(b);
  word equations = 0;
  GroupCards cards(GRP_MPC);
  walk_sets(
      cards, kIds, [&](GroupCards& c) { mpc_equation(b, equations, c); },
      [&](word id) { end_mpc_set(b, equations, id); });
  if (b.head) end_record(b.file);
}

}  // namespace

void DBBOUN() {
  if (!group_has_data(GRP_CONST) && !group_has_data(GRP_DISP) && !group_has_data(GRP_MPC))
    return;
  Boun b;
  b.file = open_output_block("BOUN");
  b.hdr[3] = group_has_data(GRP_CONST) ? 1 : 0;
  boundary_sets(b);
  mpc_sets(b);
  if (b.hdr[0] == 0 && b.hdr[1] == 0) {
    DBCLOS(b.file, kCloseUnload);
    return;
  }
  HDRPUT(b.file, b.hdr);
  DBCLOS(b.file, kCloseRewind);
}

}  // namespace zephsol
