// TA2: element identifiers of the EGROUP and MGROUP lists replaced by
// element sequence numbers.
#include "zephsol/model/ta2.h"

#include <cstdint>
#include <span>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/util.h"
#include "zephsol/input/leftout.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace {

constexpr word kRow = 3;  // element table row: identifier, sequence number, group

struct Groups {
  word ELST = 0, IELS = 0;
  std::span<word> table;  // NE rows
  std::span<word> list;   // one group's identifiers, as long as the longest ELST record
  word ne = 0;
};

// Element table rows [identifier, sequence number, 0] from CONE, sorted by identifier.
void read_elements(word CONE, const Groups& g, word buffer) {
  std::array<word, 100> rec{};
  DBOPEN(CONE, buffer, kRead);
  for (word e = 1; e <= g.ne; ++e) {
    read_cone_record(CONE, rec);
    const std::span<word> row = g.table.subspan(static_cast<std::size_t>(kRow * (e - 1)), kRow);
    row[0] = rec[0];
    row[1] = e;
    row[2] = 0;
  }
  DBCLOS(CONE, kCloseRewind);
  sort_rows<kRow>(g.table, static_cast<std::size_t>(g.ne), 1);
}

// Reads the next group record of ELST, maps its identifiers to sequence
// numbers and marks the elements with the group; returns [group, count] and
// leaves the sorted list at the front of g.list. The elements that a wide
// range of the group named and the decoder left out of the record (none are
// defined) are reported in their places, as if the record held them.
std::array<word, 2> map_group(const Groups& g, const char* label, const LeftOutSet& left_out) {
  std::array<word, 2> head{};
  DBREAD(g.ELST, head.data(), 2, 0);
  const word group = head[0], n = head[1];
  if (n < 0 || n > static_cast<word>(g.list.size())) model_fatal(-3825, name_word("ELST"), static_cast<word>(g.list.size()));
  DBREAD(g.ELST, g.list.data(), n, 1);
  auto not_found = [&](word id) {
    user_error(fline("('0*** USER FATAL MESSAGE 1704, ELEMENT',I6,' IN ',A6,I6,' NOT FOUND.')", {id, label, group}));
  };
  LeftOutWalk left(left_out);
  for (word i = 0; i < n; ++i) {
    left.before(i, not_found);
    word& entry = g.list[static_cast<std::size_t>(i)];
    const word id = entry;
    const word at = BSRCH1(id, g.table, kRow, g.ne);
    if (at == 0) {
      entry = 0;
      not_found(id);
      continue;
    }
    const std::span<word> row = g.table.subspan(static_cast<std::size_t>(at - 1), kRow);
    entry = row[1];
    if (row[2] != 0)
      user_warning(fline("('0*** USER WARNING MESSAGE 1705, ELEMENT',I6,' IN ',A6,I6,' IS ALSO INCLUDED IN ',A6,I6)",
                         {id, label, group, label, row[2]}));
    row[2] = group;
  }
  user_errors_unprinted(left.rest(not_found));
  const auto kept = sort_unique(g.list.first(static_cast<std::size_t>(n)), true);
  return {group, static_cast<word>(kept)};
}

// One record of NE words: the MGROUP of each element in CONE order.
void write_material_groups(const Groups& g) {
  sort_rows<kRow>(g.table, static_cast<std::size_t>(g.ne), 2);
  for (word e = 0; e < g.ne; ++e) g.table[static_cast<std::size_t>(e)] = g.table[static_cast<std::size_t>(kRow * e + 2)];
  if (g.ne > 0) DBWRIT(g.IELS, g.table.data(), g.ne, 1);
}

}  // namespace

void TA2(word ELST, word CONE, word IELS) {
  MODBGN("TA2     ");
  const Header el = header_of(ELST);
  const word negroup = el[0], nmgroup = el[1], longest = el[5];
  if (negroup <= 0 && nmgroup <= 0) {
    HDRPUT(IELS, Header{});
    return;
  }
  const word nbuf = sysw().NBUFSZ;
  const word buf1 = sysw().COREND - nbuf, buf2 = buf1 - nbuf;
  const word ncore = CORLFT(1);
  Groups g{ELST, IELS, {}, {}, std::max(header_of(CONE)[0], 0)};
  const std::int64_t need = std::int64_t{kRow} * g.ne + std::max(longest, 0);
  if (need > std::int64_t{ncore} - 2 * nbuf) short_of_core(need, ncore);
  g.table = core().words(1, kRow * g.ne);
  g.list = core().words(1 + kRow * g.ne, std::max(longest, 0));

  read_elements(CONE, g, buf1);
  DBOPEN(ELST, buf1, kRead);
  DBOPEN(IELS, buf2, kWrite);
  for (word k = 0; k < negroup; ++k) {
    const auto head = map_group(g, "EGROUP", left_out(ELST, kEgroupRecords, k));
    DBWRIT(IELS, head.data(), 2, head[1] == 0 ? 1 : 0);
    if (head[1] > 0) DBWRIT(IELS, g.list.data(), head[1], 1);
  }
  if (nmgroup > 0) {
    for (word e = 0; e < g.ne; ++e) g.table[static_cast<std::size_t>(kRow * e + 2)] = 0;
    for (word k = 0; k < nmgroup; ++k) map_group(g, "MGROUP", left_out(ELST, kMgroupRecords, k));
    write_material_groups(g);
  }
  DBCLOS(ELST, kCloseRewind);
  error_total();
  if (sysw().IERFLG != 0) {
    DBCLOS(IELS, kCloseUnload);
    return;
  }
  DBCLOS(IELS, kCloseRewind);
  HDRPUT(IELS, Header{negroup, nmgroup, 0, 0, 0, longest});
}

}  // namespace zephsol
