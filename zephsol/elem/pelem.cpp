// The element load dispatcher: walks a load record, sends each entry to the
// load routine of the element type and adds the element load vector to the
// global vectors.
#include "zephsol/elem/pelem.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/elem/pload.h"
#include "zephsol/elem/typerow.h"

namespace zephsol {
namespace {

constexpr word kDistributed = 2, kBody = 7;

constexpr ElementType kNoLoads{0, "", {}, {}, nullptr, nullptr, LoadRoute::Reject, nullptr, nullptr, nullptr, nullptr, true};

// The row of the type; a code outside 1-29 takes no loads (-5000).
const ElementType& load_row(word iecod) {
  const ElementType* row = element_type(iecod);
  return row != nullptr ? *row : kNoLoads;
}

// More values than any load code reads.
constexpr std::size_t kMaxValues = 16;

// Calls entry(ELDTYP, code, values) for each entry [ELDTYP, m, code,
// m - 1 values] of a load record (word 1 = L; entries from word 3, each the
// next m + 2 words on) while the entry's count word lies within the record;
// entry returns false to stop. An entry without a code word, or one that
// runs past the record, ends the run.
template <class Entry>
void walk(std::span<const word> rec, Entry entry) {
  const auto last = std::min(static_cast<std::size_t>(rec[0]) + 1, rec.size());  // words 1..last
  std::array<float, kMaxValues> values{};
  for (std::size_t p = 3; p + 1 <= last;) {
    const word eldtyp = rec[p - 1], m = rec[p];
    if (m < 1 || p + 1 + static_cast<std::size_t>(m) > last) pload::bad_code(eldtyp);
    const word code = rec[p + 1];
    const std::size_t nv = std::min(static_cast<std::size_t>(m - 1), kMaxValues);
    for (std::size_t k = 0; k < nv; ++k) values[k] = word_real(rec[p + 2 + k]);
    if (!entry(eldtyp, code, std::span<const float>(values.data(), nv))) return;
    p += static_cast<std::size_t>(m) + 2;
  }
}

}  // namespace

void PELEM(std::span<const word> lrec, std::span<double> v1, std::span<double> v2, word sign) {
  if (lrec.empty() || lrec[0] < 1) return;
  const ESTCOM& e = estcom();
  const ElementType& row = load_row(e.IECOD);
  // Joints, springs and contact elements take no element loads; their
  // entries (a body force of the load table has no load words for them)
  // are not read.
  if (row.loads == LoadRoute::Ignore) return;
  const word n = etycom().NDOF;
  assert(n >= 0 && n <= ESTCOM::kMaxDof);
  std::array<double, ESTCOM::kMaxDof> pe{};
  const std::span<double> pev(pe.data(), static_cast<std::size_t>(n));
  walk(lrec, [&](word eldtyp, word code, std::span<const float> values) {
    if (row.loads == LoadRoute::Reject) record_fatal(-5000, e.IECOD, e.IEXN);
    const LoadRoutine fn = eldtyp == kDistributed ? row.distributed : eldtyp == kBody ? row.body : nullptr;
    if (fn == nullptr) pload::bad_code(eldtyp);
    if (row.loads == LoadRoute::Beam) {
      assert(n >= 9);
      std::array<double, 6> s{};
      fn(code, values, s);
      for (std::size_t k = 0; k < 3; ++k) {
        pe[k] += s[k];
        pe[6 + k] += s[3 + k];
      }
    } else {
      fn(code, values, pev);
    }
    return true;
  });
  if (sign == 1) {
    eu::scatter_add(pev, 1.0, v1);
    eu::scatter_add(pev, 1.0, v2);
  } else {
    eu::scatter_add(pev, -1.0, v2);
  }
}

void PLHEX8(std::span<const word> rec, std::span<double> pe) {
  if (rec.empty() || rec[0] < 3) return;
  walk(rec, [&](word eldtyp, word code, std::span<const float> values) {
    if (eldtyp == kDistributed)
      PDHEX8(code, values, pe);
    else if (eldtyp == kBody)
      PBHEX8(code, values, pe);
    else
      pload::bad_code(eldtyp);
    return true;
  });
}

}  // namespace zephsol
