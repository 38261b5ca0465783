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
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/util.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/decoders.h"
#include "zephsol/input/decsup.h"
#include "zephsol/input/decwork.h"
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

// Members appended to the current definition, for the record size check.
struct Members {
  std::int64_t words = 0;
};

void add_member(Members& m, word id) {
  if (set_grow(m.words, 1, 1)) list_append(kMembers, {&id, 1});
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

// One range of "F2" in fields k, k + 1, k + 2.
void range_members(Members& m, word k) {
  StepRange r;
  if (!read_range(k, 2022, r) || !set_grow(m.words, range_size(r), 1)) return;
  for_each_in_range(r, [](word id) { list_append(kMembers, {&id, 1}); });
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

// Writes the definition's record [id, n, sorted members without repeats];
// 2440 when it has no member. True when a record was written.
bool end_definition(word id, Members& m, Groups& g) {
  const std::span<word> list = lst_words(kMembers);
  const bool empty = list.empty();
  if (empty) {
    IFPMSG(2440, id);
  } else {
    SORTIV(list, static_cast<word>(list.size()));
    const auto n = static_cast<word>(std::unique(list.begin(), list.end()) - list.begin());
    write_words(g.file, {id, n});
    write_words(g.file, list.first(static_cast<std::size_t>(n)));
    end_record(g.file);
    g.longest = std::max(g.longest, n + 2);
  }
  clear_work_list(kMembers);
  m = Members{};
  return !empty;
}

// Decodes one data group; calls written(id) for every record written.
template <class Written>
void decode_group(word group, Groups& g, Written&& written) {
  if (grptab().at(group).NCARD < 3) return;  // fewer than two cards after the header
  const CRDCOM& c = crdcom();
  open_lists({{20, 20}, {200, 400}}, c.IFREE, c.BUFOUT);
  GroupCards cards(group);
  Members m;
  walk_sets(
      cards, kIds,
      [&m](GroupCards& at) {
        member_card(m);
        at.next();
      },
      [&](word id) {
        if (end_definition(id, m, g)) written(id);
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
  decode_group(GRP_EGROUP, g, [&g](word) { ++g.egroups; });
  decode_group(GRP_MGROUP, g, [&g](word id) { g.mgroups.push_back(id); });
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
