// GP2BND: boundary sets from (node, component, system, value) entries to
// (equation, value) pairs with the node records of their systems.
#include <array>
#include <cstdint>
#include <string>

#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/util.h"
#include "zephsol/input/leftout.h"
#include "zephsol/model/gp2.h"
#include "zephsol/model/gp2_work.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace {

constexpr word kEntry = 4;  // [node, component, system, value]

// What the messages of one set name.
struct SetName {
  const char* label;  // " CONST  " or "  DISP  "
  word id;
};

// The warnings 2342 of one call: the first 100 are printed, none is counted
// as an error.
struct Warnings {
  word count = 0;
};

void undefined_node(const SetName& set, word node) {
  user_error(fline("('0*** USER FATAL MESSAGE 2417,',A8,I6,' REFERS UNDEFINED NODE ',I6)", {set.label, set.id, node}));
}

void out_of_range(const SetName& set, word comp, word node, bool fatal, Warnings& warnings) {
  const std::string head = fatal ? "0*** USER FATAL MESSAGE 2343" : "0*** USER WARNING MESSAGE 2342";
  const std::string line = head + fline("(' , D.O.F NUMBER',I4,' OF NODE',I6,' IN',A8,I6,' IS OUT OF RANGE')",
                                        {comp, node, set.label, set.id});
  if (fatal) {
    user_error(line);
  } else if (++warnings.count <= bndcom().LIMIT) {
    user_warning(line);
  }
}

// One entry checked and converted; returns whether a pair is kept.
bool convert_entry(const SetName& set, std::span<const word> e, std::span<word> nodes, bool& local,
                   Warnings& warnings, std::array<word, 2>& pair) {
  const gp2::NodePairs pairs;
  const word node = e[0], c = e[1], s = e[2], v = e[3];
  const word k = pairs.find(node);
  if (k == 0) {
    if (v != 0) undefined_node(set, node);
    return false;
  }
  if (c < 1 || c > pairs.dofs(k)) {
    out_of_range(set, c, node, v != 0, warnings);
    return false;
  }
  if (!gp2::same_system(nodes, k, s, local)) {
    user_error(fline("('0*** USER FATAL MESSAGE 2340 , INCONSISTENT REFERENCE OF COORDINATE SYSTEM(S) '/"
                     "10X,'AT BOUNDARY NODE',I6,' IN ',A8,I6)",
                     {node, set.label, set.id}));
    return false;
  }
  pair = {pairs.first(k) + c - 1, v};
  return true;
}

// Sorts the m pairs by equation and drops repeated equations (2460 when
// the values differ); returns the pairs kept.
word unique_pairs(const SetName& set, std::span<word> p, word m) {
  if (m <= 1) return m;
  SORTIR(2, 1, p, m);
  word kept = 1;
  for (word i = 1; i < m; ++i) {
    const std::size_t at = 2 * static_cast<std::size_t>(i);
    if (p[at] == p[at - 2]) {
      if (p[at + 1] != p[at - 1]) {
        word node = 0, comp = 0;
        GP2DOF(p[at], node, comp);
        user_error(fline("('0*** USER FATAL MESSAGE 2460, NODAL D.O.F.',I4,' OF NODE',I6,' IS REDUNDANT IN',A8,I6)",
                         {comp, node, set.label, set.id}));
      }
      continue;
    }
    // Slot i keeps pair i until pair i + 1 has been compared with it.
    p[2 * static_cast<std::size_t>(kept)] = p[at];
    p[2 * static_cast<std::size_t>(kept) + 1] = p[at + 1];
    ++kept;
  }
  return kept;
}

}  // namespace

void GP2BND(word ids, word work, word area, word& nsets) {
  BNDCOM& b = bndcom();
  const word n_in = nsets;
  Warnings warnings;
  nsets = 0;
  for (word ordinal = 0; ordinal < n_in; ++ordinal) {
    gp2::clear_node_vector(work);
    const std::span<word> nodes = gp2::node_vector(work);
    bool local = false;
    std::array<word, 2> head{};
    DBREAD(b.BOUN, head.data(), 2, 0);
    const SetName set{head[0] == 0 ? " CONST  " : "  DISP  ", head[0]};
    const word n = head[1];
    if (std::int64_t{kEntry} * n > b.NFREE) short_of_core(std::int64_t{kEntry} * n, b.NFREE);
    const std::span<word> e = core().words(area, kEntry * std::int64_t{n});
    if (n > 0) DBREAD(b.BOUN, e.data(), kEntry * n, 0);

    LeftOutWalk left(left_out(b.BOUN, kBoundarySets, ordinal));
    auto report = [&set](word node) { undefined_node(set, node); };
    word m = 0;
    for (word i = 0; i < n; ++i) {
      left.before(i, report);
      std::array<word, 2> pair{};
      if (!convert_entry(set, e.subspan(static_cast<std::size_t>(kEntry * i), kEntry), nodes, local, warnings, pair))
        continue;
      e[2 * static_cast<std::size_t>(m)] = pair[0];
      e[2 * static_cast<std::size_t>(m) + 1] = pair[1];
      ++m;
    }
    user_errors_unprinted(left.rest(report));
    if (m == 0) {
      user_error(fline("('0*** USER FATAL MESSAGE 2440, ',A8,I6,' DEFINES NULL DATA')", {set.label, set.id}));
      continue;
    }
    m = unique_pairs(set, e, m);
    const word j = local ? gp2::node_system_count(nodes) : 0;
    const std::array<word, 5> file_head{name_word("BOUN"), set.id, m, 0, j};
    DBWRIT(b.BCDT, file_head.data(), 5, 1);
    DBWRIT(b.BCDT, e.data(), 2 * m, 1);
    if (j > 0) {
      gp2::node_system_rows(ids, nodes, area, j, [&set](word node, word s) {
        user_error(fline("('0*** USER FATAL MESSAGE 2344, NODE',I6,' IN ',A8,I6,' REFERS UNDEFINED COORDINATE SYSTEM',I6)",
                         {node, set.label, set.id, s}));
      });
      DBWRIT(b.BCDT, &core().w(area), 4 * j, 1);
    }
    DBEOF(b.BCDT);
    ++nsets;
  }
  DBREAD(b.BOUN, nullptr, 0, 1);
}

}  // namespace zephsol
