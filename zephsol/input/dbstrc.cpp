// DBSTRC: the geometry data block STRC from "CONNECTI", "COORDINA" and
// "NODE". The elements are decoded first into the scratch data block, then
// copied into STRC after the coordinate systems; every node an element uses
// is marked, and when some node was marked the nodes no element uses are
// left out (warning 2454). The identifiers of the elements and nodes
// written are kept for the ranges of the later decoders.
#include <array>
#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
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

constexpr word kNodeTable = 2;  // the list in which DBNODE leaves its table
constexpr word kNodeWords = 6;
constexpr word kConnected = 3;  // node table word that marks a used node
constexpr word kElementHead = 8;

// Marks the node table entry of every node identifier; true when one was found.
bool mark_nodes(std::span<word> table, word nnode, std::span<const word> ids) {
  bool any = false;
  for (const word id : ids) {
    const word pos = BSRCH1(id, table, kNodeWords, nnode);
    if (pos == 0) continue;
    table[static_cast<std::size_t>(pos - 1 + kConnected - 1)] = 1;
    any = true;
  }
  return any;
}

// Copies the "ELEMENT " record of the scratch block into STRC and marks the
// nodes used; true when some node was marked.
bool copy_elements(word scratch, word nelem, word nnode) {
  const std::span<word> table = nnode > 0 ? lst_words(kNodeTable) : std::span<word>{};
  bool any = false;
  std::vector<word> ids;
  ids.reserve(static_cast<std::size_t>(nelem));
  DBOPEN(scratch, crdcom().BUFSCR, kRead);
  word header[3];
  DBREAD(scratch, header, 3, 0);
  DBWRIT(STRC, header, 3, 0);
  std::array<word, kElementHead + ESTCOM::kMaxNode> e{};
  for (word k = 0; k < nelem; ++k) {
    DBREAD(scratch, e.data(), kElementHead, 0);
    const word n = e[kElementHead - 1];
    DBREAD(scratch, e.data() + kElementHead, n, 0);
    DBWRIT(STRC, e.data(), kElementHead + n, k == nelem - 1 ? 1 : 0);
    ids.push_back(e[0]);
    if (nnode > 0) any = mark_nodes(table, nnode, std::span<const word>(e.data() + kElementHead, n)) || any;
  }
  DBCLOS(scratch, kCloseUnload);
  keep_defined_ids(IdKind::Element, std::move(ids));
  return any;
}

// Writes the "NODE    " record; with `connected`, nodes that no element uses
// are left out with warning 2454. Returns the number of nodes written.
word write_nodes(word nnode, bool connected) {
  const std::span<const word> table = lst_words(kNodeTable);
  write_head(STRC, "NODE    ", 3);
  word written = 0;
  std::vector<word> ids;
  for (std::size_t at = 0; at < static_cast<std::size_t>(nnode) * kNodeWords; at += kNodeWords) {
    const std::span<const word> t = table.subspan(at, kNodeWords);
    if (connected && t[kConnected - 1] == 0) {
      crdcom().CARDNO = 0;
      IFPMSG(-2454, t[0]);
      continue;
    }
    write_words(STRC, {t[0], 0, t[1], 0, 3, t[3], t[4], t[5]});
    ids.push_back(t[0]);
    ++written;
  }
  end_record(STRC);
  keep_defined_ids(IdKind::Node, std::move(ids));
  return written;
}

}  // namespace

void DBSTRC(word scratch) {
  word nelem = 0, ncsys = 0, nnode = 0;
  DBCONN(scratch, nelem);
  open_output_block("STRC");
  DBCORD(STRC, ncsys);
  DBNODE(nnode);
  const bool connected = nelem > 0 && copy_elements(scratch, nelem, nnode);
  if (nnode > 0) nnode = write_nodes(nnode, connected);
  if (ncsys + nnode + nelem == 0) {
    DBCLOS(STRC, kCloseUnload);
    return;
  }
  DBCLOS(STRC, kCloseRewind);
  const std::array<word, 6> header = {ncsys, nnode, 0, nelem, 0, 0};
  HDRPUT(STRC, header);
}

}  // namespace zephsol
