// GP2MPC: MPC sets from node references to equation numbers; GP2FST: the
// check of each set for freedoms dependent twice or dependent and a term.
#include <array>
#include <cstdint>
#include <span>

#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/model/gp2.h"
#include "zephsol/model/gp2_work.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace {

constexpr word kRef = 3;  // [node, component, coefficient] as read

// Converts reference r of the equation at `eq` ([t, node, component,
// coefficient, t terms of 3 words]) to the pair (equation, coefficient) at
// words 2 + 2r and 3 + 2r; equation 0 for a rejected node or component.
void convert_reference(std::span<word> eq, word r, word system, word set, std::span<word> nodes, bool& local) {
  const gp2::NodePairs pairs;
  const std::size_t from = 1 + static_cast<std::size_t>(kRef * r);
  const word node = eq[from], c = eq[from + 1], coef = eq[from + 2];
  word number = 0;
  const word k = pairs.find(node);
  if (k == 0) {
    user_error(fline("('0*** USER FATAL MESSAGE 2419, NODE',I6,' REFERED BY MPC',I6,' IS NOT DEFINED')", {node, set}));
  } else {
    if (c < 1 || c > pairs.dofs(k)) {
      user_error(fline("('0*** USER FATAL MESSAGE 2351, D.O.F NUMBER',I4,' OF NODE',I6,' IN MPC',I6,' IS OUT OF RANGE')",
                       {c, node, set}));
    } else {
      number = pairs.first(k) + c - 1;
    }
    if (!gp2::same_system(nodes, k, system, local))
      user_error(fline("('0*** USER FATAL MESSAGE 2341 , INCONSISTENT REFERENCE OF COORDINATE SYSTEM(S) '/"
                       "10X,'AT MPC NODE',I6,' IN MPC',I6)",
                       {node, set}));
  }
  const std::size_t to = 1 + 2 * static_cast<std::size_t>(r);
  eq[to] = number;
  eq[to + 1] = coef;
}

// Reads the next equation of BOUN into the entry area and converts it in
// place to [t, dependent pair, t pairs]; returns t.
word convert_equation(word area, word set, std::span<word> nodes, bool& local) {
  const BNDCOM& b = bndcom();
  std::array<word, 5> head{};  // [system, node, component, coefficient, t]
  DBREAD(b.BOUN, head.data(), 5, 0);
  const word t = head[4];
  const std::int64_t need = std::int64_t{kRef} * t + 4;
  if (need > b.NFREE) short_of_core(need, b.NFREE);
  const std::span<word> eq = core().words(area, need);
  eq[0] = t;
  eq[1] = head[1];
  eq[2] = head[2];
  eq[3] = head[3];
  if (t > 0) DBREAD(b.BOUN, eq.data() + 4, kRef * t, 0);
  for (word r = 0; r <= t; ++r) convert_reference(eq, r, head[0], set, nodes, local);
  return t;
}

// Moves the set staged on $301 to BCDT with the node count j in its head,
// followed by its node record.
void copy_staged_set(word ids, std::span<const word> nodes, word area, bool local, word set) {
  const BNDCOM& b = bndcom();
  const word j = local ? gp2::node_system_count(nodes) : 0;
  DBREWD(S301);
  std::array<word, 5> head{};
  DBREAD(S301, head.data(), 5, 1);
  head[4] = j;
  DBWRIT(b.BCDT, head.data(), 5, 1);
  gp2::copy_record(S301, b.BCDT, area);
  if (j > 0) {
    if (4 * std::int64_t{j} > b.NFREE) short_of_core(4 * std::int64_t{j}, b.NFREE);
    gp2::node_system_rows(ids, nodes, area, j, [set](word node, word s) {
      user_error(fline("('0***USER FATAL MESSAGE 2345 , COORDINATE SYSTEM ID',I6,' REFERED BY MPC NODE',I6/"
                       "10X,'IN MPC',I6,' IS UNDEFINED')",
                       {s, node, set}));
    });
    DBWRIT(b.BCDT, &core().w(area), 4 * j, 1);
  }
  DBEOF(b.BCDT);
  DBREWD(S301);
}

// The freedom of equation eq as (component, node) for the messages.
std::array<word, 2> freedom(word eq) {
  word node = 0, comp = 0;
  GP2DOF(eq, node, comp);
  return {comp, node};
}

void term_also_dependent(word eq, word set) {
  const auto [c, node] = freedom(eq);
  user_error(fline("('0*** USER FATAL MESSAGE 1932, NODAL D.O.F.',I4,' OF NODE',I6,"
                   "' IN THE RIGHT-HAND-SIDE OF MPC EQUATION'/"
                   "10X,'HAS BEEN APPEARED IN THE LEFT-HAND-SIDE.  MPC ID=',I6)",
                   {c, node, set}));
}

void dependent_twice(word eq, word set) {
  const auto [c, node] = freedom(eq);
  user_error(fline("('0*** USER FATAL MESSAGE 1933, NODAL D.O.F.',I4,' OF NODE',I6/"
                   "10X,'IS DUPLICATELY DEFINED IN THE LEFT-HAND-SIDE OF FASTENING EQUATION.',4X,'MPC ID =',I6)",
                   {c, node, set}));
}

// Checks the q equations of one "FAST" file; flags: 0 unused, -1
// dependent, 1 term.
void check_set(std::span<word> flags, word buffer, word set, word q) {
  const BNDCOM& b = bndcom();
  std::ranges::fill(flags, 0);
  for (word i = 0; i < q; ++i) {
    std::array<word, 3> head{};  // [t, dependent equation, coefficient]
    DBREAD(b.BCDT, head.data(), 3, 0);
    const word t = head[0], e = head[1];
    if (e > 0) {
      word& f = flags[static_cast<std::size_t>(e - 1)];
      if (f == 0) {
        f = -1;
      } else if (f == -1) {
        dependent_twice(e, set);
      } else {
        term_also_dependent(e, set);
      }
    }
    if (2 * std::int64_t{t} > b.NFREE) short_of_core(2 * std::int64_t{t} + 3, b.NFREE);
    if (t <= 0) continue;
    const std::span<word> terms = core().words(buffer, 2 * std::int64_t{t});
    DBREAD(b.BCDT, terms.data(), 2 * t, 0);
    for (word k = 0; k < t; ++k) {
      const word eq = terms[2 * static_cast<std::size_t>(k)];
      if (eq <= 0) continue;
      word& f = flags[static_cast<std::size_t>(eq - 1)];
      if (f == -1) {
        term_also_dependent(eq, set);
      } else {
        f = 1;
      }
    }
  }
}

}  // namespace

void GP2MPC(word ids, word work, word area, word nsets) {
  const BNDCOM& b = bndcom();
  const word out = b.SCRTCH != 0 ? b.SCRTCH : b.BCDT;
  for (word s = 0; s < nsets; ++s) {
    gp2::clear_node_vector(work);
    const std::span<word> nodes = gp2::node_vector(work);
    bool local = false;
    std::array<word, 3> head{};  // [set, q, not used]
    DBREAD(b.BOUN, head.data(), 3, 0);
    const word set = head[0], q = head[1];
    const std::array<word, 5> file_head{name_word("FAST"), set, q, 0, 0};
    DBWRIT(out, file_head.data(), 5, 1);
    for (word i = 0; i < q; ++i) {
      const word t = convert_equation(area, set, nodes, local);
      DBWRIT(out, &core().w(area), 2 * t + 3, i == q - 1 ? 1 : 0);
    }
    DBEOF(out);
    if (out != b.BCDT) {
      copy_staged_set(ids, nodes, area, local, set);
    } else if (local) {
      model_fatal(-905, set, 0);
    }
  }
  DBREAD(b.BOUN, nullptr, 0, 1);
}

void GP2FST(word flags, word buffer) {
  const BNDCOM& b = bndcom();
  const std::span<word> f = core().words(flags, b.NEQ);
  for (;;) {
    std::array<word, 5> head{};
    word nread = 0, status = 0;
    DBRDST(b.BCDT, head.data(), 5, 1, nread, status);
    if (status == 2) return;
    if (status == 1 && nread < 5) model_fatal(-1, name_word("BCDT"), nread);
    if (head[0] == name_word("FAST")) {
      check_set(f, buffer, head[1], head[2]);
      if (head[2] > 0) DBREAD(b.BCDT, nullptr, 0, 1);
    }
    DBSKPF(b.BCDT, 1);
  }
}

}  // namespace zephsol
