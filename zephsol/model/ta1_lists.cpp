// CONE records, element node lists and neighbour gathering of TA1.
#include "zephsol/model/ta1_lists.h"

#include <algorithm>
#include <cstdint>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/exec/util.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

ConeElements::ConeElements(word CONE, word buffer, TypeCheck check) : cone_(CONE), check_(check) {
  DBOPEN(CONE, buffer, kRead);
}

word ConeElements::iseq() const { return BITSHR(rec_[1], 24); }
word ConeElements::iecod() const { return BITAND(rec_[1], 16777215); }

bool ConeElements::next(word e) {
  const word length = read_cone_record(cone_, rec_);
  const word nn = rec_[4];
  if (length < 5 || length != nn + 5) model_fatal(-3828, e, nn);
  const bool changed = iseq() != iseq_;
  if (changed) {
    iseq_ = iseq();
    ETYPDS(iseq_, 1);
  }
  // Every record is checked, so that no node count passes the descriptor's masks.
  const ETYCOM& t = etycom();
  if (check_ == TypeCheck::NodeCount && t.NN != nn) model_fatal(-901, t.NN, nn);
  if (check_ == TypeCheck::TypeCode && t.IECOD != iecod()) model_fatal(-901, t.IECOD, iecod());
  if (nn > static_cast<word>(t.DOFMSK.size())) model_fatal(-901, t.NN, nn);
  return changed;
}

void ConeElements::close() { DBCLOS(cone_, kCloseRewind); }

void element_node_lists(word newnum, word elemptr, word elemnodes, word& avail) {
  const TA1COM& t = ta1com();
  const WordSpace& c = core();
  const std::span<word> ptr = c.words(elemptr, t.NE + 1);
  const std::int64_t room = avail;
  std::int64_t next = 1;
  ConeElements cone(t.CONE, t.IBUF, TypeCheck::NodeCount);
  for (word e = 1; e <= t.NE; ++e) {
    cone.next(e);
    std::array<word, 100> list{};
    std::size_t count = 0;
    const auto nodes = cone.nodes();
    for (std::size_t j = 0; j < nodes.size(); ++j)
      if (etycom().DOFMSK[j] != 0 && nodes[j] != 0) list[count++] = nodes[j];
    if (count > 1) count = sort_unique(std::span<word>(list.data(), count));
    if (next - 1 + static_cast<std::int64_t>(count) > room) model_fatal(-4, name_word("CONN"), avail);
    ptr[static_cast<std::size_t>(e - 1)] = static_cast<word>(next);
    for (std::size_t k = 0; k < count; ++k)
      c.w(elemnodes + next - 1 + static_cast<std::int64_t>(k)) = newnum != 0 ? c.w(newnum + list[k] - 1) : list[k];
    next += static_cast<std::int64_t>(count);
  }
  ptr[static_cast<std::size_t>(t.NE)] = static_cast<word>(next);
  cone.close();
  avail = static_cast<word>(next - 1);
}

word gather_neighbours(word i, std::span<const word> elemptr, std::span<const word> elemnodes,
                       std::span<const word> nodeptr, std::span<const word> nodeelems, std::span<word> into,
                       const char* label, word reported) {
  std::size_t g = 0;
  for (word at = nodeptr[static_cast<std::size_t>(i - 1)]; at < nodeptr[static_cast<std::size_t>(i)]; ++at) {
    const word e = nodeelems[static_cast<std::size_t>(at - 1)];
    const auto first = static_cast<std::size_t>(elemptr[static_cast<std::size_t>(e - 1)] - 1);
    const auto last = static_cast<std::size_t>(elemptr[static_cast<std::size_t>(e)] - 1);
    if (g + (last - first) > into.size()) model_fatal(-4, name_word(label), reported);
    std::copy(elemnodes.begin() + static_cast<std::ptrdiff_t>(first), elemnodes.begin() + static_cast<std::ptrdiff_t>(last),
              into.begin() + static_cast<std::ptrdiff_t>(g));
    g += last - first;
  }
  return static_cast<word>(sort_unique(into.first(g)));
}

}  // namespace zephsol
