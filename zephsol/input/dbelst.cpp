// DBELST: element groups from "EGROUP" and "MGROUP" into ELST. A definition
// card gives the group identifier in field 1; its member cards (field 1
// blank) list element identifiers: "F1" one per field in fields 3-10, "F2"
// up to two ranges (first, last, step) in fields 3-5 and 6-8.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/util.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/decoders.h"
#include "zephsol/input/decsup.h"
#include "zephsol/input/decwork.h"
#include "zephsol/input/idrange.h"
#include "zephsol/input/ifpmsg.h"
#include "zephsol/input/lststo.h"

namespace zephsol {

namespace {

constexpr word kIds = 1;      // identifiers defined in this data group
constexpr word kMembers = 2;  // members of the current definition

// What the data groups leave behind.
struct Groups {
  word file = 0;
  word longest = 0;
  word egroups = 0;
  std::vector<word> mgroups;  // identifiers of the "MGROUP" records written
};

// The current definition: its size for the record size check, whether it
// has a good member, and its wide ranges (whose undefined elements the
// record leaves out).
struct Members {
  std::int64_t words = 0;
  bool any = false;
  std::vector<StepRange> wide;
};

void add_member(Members& m, word id) {
  if (!set_grow(m.words, 1, 1, {id, id})) return;
  list_append(kMembers, {&id, 1});
  m.any = true;
}

// "F1": element identifiers up to the first blank field.
void list_members(Members& m) {
  for (word k = 3; k <= kFields && !field_blank(k); ++k) {
    const IntField f = int_field(k, 0);
    if (f.status == kFieldError) continue;
    if (f.value < 1) {
      IFPMSG(2022, f.value);
      continue;
    }
    add_member(m, f.value);
  }
}

// One range of "F2" in fields k, k + 1, k + 2: its elements (a wide range
// only those the deck defines) join the definition. A range that cannot be
// expanded in the definition is 2120 on its card.
void range_members(Members& m, word k) {
  StepRange r;
  if (!read_range(k, 2022, r)) return;
  const bool wide = wide_range(r, IdKind::Element);
  std::int64_t size = 0;
  if (wide) {
    m.wide.push_back(r);
    if (!union_size(m.wide, size)) {
      m.wide.pop_back();
      return IFPMSG(kSetTooLarge, r.first, r.last);
    }
  }
  std::vector<word> ids;
  walk_range(r, IdKind::Element, 0, [&ids](word id) { ids.push_back(id); }, [](word) {});
  const auto n = static_cast<std::int64_t>(ids.size());
  const bool fits = list_fits(kMembers, n);
  if (!fits) IFPMSG(kSetTooLarge, r.first, r.last);
  if (!fits || !set_grow(m.words, n, 1, r)) {
    if (wide) m.wide.pop_back();
    return;
  }
  list_append(kMembers, ids);
  m.any = true;
}

void member_card(Members& m) {
  const std::array<word, 2> key = name_field(2);
  if (key[0] == name_word("F1")) return list_members(m);
  if (key[0] != name_word("F2")) return IFPMSG(2104, 0, key);
  for (const word k : {3, 6}) {
    if (field_blank(k)) return;
    range_members(m, k);
  }
}

// The elements the wide ranges of a definition name that neither the deck
// defines nor its record holds, ascending without repeats: the first
// kLeftOutKept go to the record's left-out entries with their places in the
// record, and all of them are counted.
void record_left_out(const Members& m, std::span<const word> kept, LeftOutRecorder& left) {
  if (m.wide.empty()) return;
  std::vector<RangeTerms> terms(m.wide.begin(), m.wide.end());
  auto named = [&terms](word id) {
    return std::any_of(terms.begin(), terms.end(), [id](const RangeTerms& t) { return t.place_of(id) >= 0; });
  };
  auto held = [&kept](word id) { return std::binary_search(kept.begin(), kept.end(), id); };
  // All of them: the union of the ranges less its defined and held elements.
  std::int64_t total = 0;
  union_size(m.wide, total);
  const auto defined = defined_ids(IdKind::Element);
  const word low = std::min_element(terms.begin(), terms.end(), [](auto& a, auto& b) { return a.low() < b.low(); })->low();
  const word high = std::max_element(terms.begin(), terms.end(), [](auto& a, auto& b) { return a.high() < b.high(); })->high();
  for (auto it = std::lower_bound(defined.begin(), defined.end(), low); it != defined.end() && *it <= high; ++it)
    if (named(*it)) --total;
  for (const word id : kept)
    if (!is_defined(IdKind::Element, id) && named(id)) --total;
  // The first ones: the terms of every range in ascending order, merged.
  std::vector<std::int64_t> next(terms.size(), 0);
  auto ascending = [&terms](std::size_t r, std::int64_t j) {
    const RangeTerms& t = terms[r];
    return t.range().step > 0 ? t.at(j) : t.at(t.size() - 1 - j);
  };
  std::int64_t reported = 0;
  while (reported < static_cast<std::int64_t>(kLeftOutKept)) {
    std::int64_t least = std::int64_t{1} << 40;
    for (std::size_t r = 0; r < terms.size(); ++r)
      if (next[r] < terms[r].size()) least = std::min<std::int64_t>(least, ascending(r, next[r]));
    if (least == std::int64_t{1} << 40) break;
    const auto id = static_cast<word>(least);
    for (std::size_t r = 0; r < terms.size(); ++r)
      if (next[r] < terms[r].size() && ascending(r, next[r]) == id) ++next[r];
    if (is_defined(IdKind::Element, id) || held(id)) continue;
    left.add(id, std::lower_bound(kept.begin(), kept.end(), id) - kept.begin());
    ++reported;
  }
  left.count(total - reported);
}

// Writes the definition's record [id, n, sorted members without repeats];
// 2440 when it has no member. True when a record was written; `ordinal`
// is its place among the records of its data group.
bool end_definition(word id, Members& m, Groups& g, word kind, word ordinal) {
  const std::span<word> list = lst_words(kMembers);
  const bool empty = !m.any;
  if (empty) {
    IFPMSG(2440, id);
  } else {
    SORTIV(list, static_cast<word>(list.size()));
    const auto n = static_cast<word>(std::unique(list.begin(), list.end()) - list.begin());
    write_words(g.file, {id, n});
    write_words(g.file, list.first(static_cast<std::size_t>(n)));
    end_record(g.file);
    g.longest = std::max(g.longest, n + 2);
    LeftOutRecorder left(ELST, kind, ordinal);
    record_left_out(m, list.first(static_cast<std::size_t>(n)), left);
  }
  clear_work_list(kMembers);
  m = Members{};
  return !empty;
}

// Decodes one data group; calls written(id) for every record written and
// counts them.
template <class Written>
void decode_group(word group, word kind, Groups& g, Written&& written) {
  if (grptab().at(group).NCARD < 3) return;  // fewer than two cards after the header
  const CRDCOM& c = crdcom();
  open_lists({{20, 20}, {200, 400}}, c.IFREE, c.BUFOUT);
  GroupCards cards(group);
  Members m;
  word records = 0;
  walk_sets(
      cards, kIds,
      [&m](GroupCards& at) {
        member_card(m);
        at.next();
      },
      [&](word id) {
        if (!end_definition(id, m, g, kind, records)) return;
        ++records;
        written(id);
      });
}

// Leaves the identifiers of the "MGROUP" records at the start of the work
// area for the later decoders.
void keep_mgroup_ids(const std::vector<word>& ids) {
  CRDCOM& c = crdcom();
  c.MGRLST = c.IFREE;
  c.NMGRP = static_cast<word>(ids.size());
  if (!ids.empty()) std::copy(ids.begin(), ids.end(), core().words(c.IFREE, c.NMGRP).begin());
  c.IFREE += c.NMGRP;
}

}  // namespace

void DBELST() {
  if (!group_has_data(GRP_EGROUP) && !group_has_data(GRP_MGROUP)) return;
  Groups g;
  g.file = open_output_block("ELST");
  decode_group(GRP_EGROUP, kEgroupRecords, g, [&g](word) { ++g.egroups; });
  decode_group(GRP_MGROUP, kMgroupRecords, g, [&g](word id) { g.mgroups.push_back(id); });
  keep_mgroup_ids(g.mgroups);
  const auto mgroups = static_cast<word>(g.mgroups.size());
  if (g.egroups + mgroups == 0) {
    DBCLOS(g.file, kCloseUnload);
    return;
  }
  DBCLOS(g.file, kCloseRewind);
  const std::array<word, 6> header = {g.egroups, mgroups, 0, 0, 0, g.longest};
  HDRPUT(g.file, header);
}

}  // namespace zephsol
