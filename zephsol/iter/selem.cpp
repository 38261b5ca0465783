// Element stress dispatch SELEM with the nodal-force print, and SINACT.
#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/util.h"
#include "zephsol/iter/ofphdg.h"
#include "zephsol/iter/sdr.h"
#include "zephsol/iter/stress_table.h"

namespace zephsol {
namespace {

constexpr word kEntryWords = 8;

// Force components per print line and the heading kind of a type code; 0
// components: the type prints no lines.
struct PrintGroup {
  word n;
  word heading;
};

PrintGroup print_group(word iecod) {
  switch (iecod) {
    case 3: case 4: case 11: case 12: case 14: case 28: case 29:
      return {2, 12};
    case 5: case 7: case 8: case 22: case 23: case 26:
      return {6, 13};
    case 9: case 10:
      return {0, 12};
    default:
      return {3, 12};
  }
}

// One line a node: the element ID, the node ID and its n force components.
void print_forces(std::span<const double> fe, const ElementNodes& nodes) {
  const ESTCOM& e = estcom();
  const PrintGroup g = print_group(e.IECOD);
  if (g.n == 0) return;
  const std::span<const word> ids = nodes.of(e.IEXN);
  const word lines = (etycom().NDOF + g.n - 1) / g.n;
  for (word j = 1; j <= lines; ++j) {
    word newpg = 0;
    LINCNT(1, newpg);
    if (newpg != 0) {
      OFPHDG(g.heading, 3);
      sysw().NLINE += 3;
    }
    std::vector<FmtArg> args{e.IEXN, j <= static_cast<word>(ids.size()) ? ids[static_cast<std::size_t>(j - 1)] : 0};
    const auto first = static_cast<std::size_t>(g.n * (j - 1));
    for (std::size_t c = 0; c < static_cast<std::size_t>(g.n); ++c)
      args.emplace_back(first + c < fe.size() ? fe[first + c] : 0.0);
    fwrite_unit(kListing, "(11X,I5,4X,I5,6X,6(1X,1P,E12.4))", args);
  }
}

}  // namespace

void ElementNodes::read(word strc, word buffer) {
  words_.clear();
  first_.clear();
  std::array<word, 6> h{};
  HDRGET(strc, h);
  if (h[3] <= 0) return;  // no "ELEMENT " record
  DBOPEN(strc, buffer, kRead);
  if (h[0] > 0) {
    word status = 0;
    DBFWRD(strc, status);  // the "COORDINA" record
  }
  std::array<word, 3> head{};
  DBREAD(strc, head.data(), 3, 0);
  words_.resize(static_cast<std::size_t>(std::max<word>(head[2], 0)));
  DBREAD(strc, words_.data(), static_cast<word>(words_.size()), 1);
  DBCLOS(strc, kCloseRewind);
  for (std::size_t k = 0; k + kEntryWords <= words_.size();) {
    first_.emplace(words_[k], k);
    k += kEntryWords + static_cast<std::size_t>(std::max<word>(words_[k + kEntryWords - 1], 0));
  }
}

std::span<const word> ElementNodes::of(word id) const {
  const auto it = first_.find(id);
  if (it == first_.end()) elem_fatal(-999, id, 0);
  const std::size_t k = it->second;
  const auto n = static_cast<std::size_t>(std::max<word>(words_[k + kEntryWords - 1], 0));
  return std::span<const word>(words_).subspan(k + kEntryWords, std::min(n, words_.size() - k - kEntryWords));
}

void SELEM(std::span<const double> UG, std::span<const word> TREC, std::span<double> FG, const ElementNodes* nodes) {
  const ESTCOM& e = estcom();
  const auto n = static_cast<std::size_t>(etycom().NDOF);
  std::array<double, ESTCOM::kMaxDof> ue{}, fe{};
  for (std::size_t k = 0; k < n; ++k) {
    const word d = e.IDOF[k];
    ue[k] = d >= 1 && static_cast<std::size_t>(d) <= UG.size() ? UG[static_cast<std::size_t>(d - 1)] : 0.0;
  }
  eivwka().head[5] = 0;
  const word itherm = !TREC.empty() && TREC[0] > 1 ? -1 : 0;
  std::array<float, ESTCOM::kMaxNode> temp{};
  if (itherm != 0)
    for (std::size_t k = 0; k < temp.size() && k + 2 < TREC.size(); ++k) temp[k] = word_real(TREC[k + 2]);
  const std::span<double> fen = std::span<double>(fe).first(n);
  stress_routine(e.IECOD)(itherm, temp, std::span<const double>(ue).first(n), fen);
  if (nodes != nullptr) print_forces(fen, *nodes);
  for (std::size_t k = 0; k < n; ++k) {
    const word d = e.IDOF[k];
    if (d >= 1 && static_cast<std::size_t>(d) <= FG.size()) FG[static_cast<std::size_t>(d - 1)] -= fe[k];
  }
}

void SINACT() {
  EIVWK& a = eivwka();
  const word points = a.head[3];
  for (word p = 1; p <= points; ++p) {
    EIVGTA(p);
    a.scalar = 0.0;
    a.vec = {};
    EivBlocks& b = a.blk;
    // Blocks 1, 2, 3, 7, 8, 9, 10 and 11 (switch indices 0-2, 6-10).
    if (a.sw[0] != 0) b.b1 = {};
    if (a.sw[1] != 0) b.b2 = {};
    if (a.sw[2] != 0) b.b3 = {};
    if (a.sw[6] != 0) b.b7 = {};
    if (a.sw[7] != 0) b.b8 = {};
    if (a.sw[8] != 0) b.b9 = 0.0;
    if (a.sw[9] != 0) b.b10 = {};
    if (a.sw[10] != 0) b.b11 = {};
    for (std::size_t k : {0, 1, 2, 6, 7, 8, 9, 10}) a.sw[k] = 0;
    EIVPTA();
  }
  a.head[5] = 1;
}

}  // namespace zephsol
