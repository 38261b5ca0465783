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

namespace zephsol {
namespace {

constexpr word kDistributed = 2, kBody = 7;

using LoadFn = void (*)(word, std::span<const float>, std::span<double>);

// How a type's loads reach its element vector.
enum class Route {
  Reject,  // no load routines: -5000
  Ignore,  // joints, springs, contact: loads dropped without a message
  Direct,  // the routine fills PE
  Beam,    // the routine fills the 6 end translations, added to DOFs 1-3 and 7-9
};

struct LoadRow {
  Route route;
  LoadFn distributed;  // load type 2; nullptr: not taken
  LoadFn body;         // load type 7
};

constexpr LoadRow kReject{Route::Reject, nullptr, nullptr};
constexpr LoadRow kIgnore{Route::Ignore, nullptr, nullptr};

// Indexed by IECOD - 1.
constexpr std::array<LoadRow, 29> kLoadRows{{
    {Route::Direct, PDHEX8, PBHEX8},      // 1  HEX8
    {Route::Direct, PDPENT6, PBPENT6},    // 2  PENT6
    {Route::Direct, PDQAX4, PBQAX4},      // 3  QAX4
    {Route::Direct, PDTAX3, PBTAX3},      // 4  TAX3
    {Route::Beam, PDROD2, PBROD2},        // 5  BEAM2
    {Route::Direct, nullptr, PBROD2},     // 6  ROD2
    {Route::Direct, PDQFLA4, PBQFLA4},    // 7  QFLA4
    kReject,                              // 8  TFLA3
    {Route::Direct, PDQMEM4, PBQMEM4},    // 9  QMEM4
    {Route::Direct, PDTMEM3, PBTMEM3},    // 10 TMEM3
    {Route::Direct, PDQPN4, PBQPLAN4},    // 11 QPLAN4
    {Route::Direct, PDTPLAN3, PBTPLAN3},  // 12 TPLAN3
    kReject,                              // 13 GAP2
    kIgnore,                              // 14 JOINT4
    {Route::Direct, PDHEX20, PBHEX20},    // 15 HEX20
    {Route::Direct, PDPENT15, PBPENT15},  // 16 PENT15
    {Route::Direct, PDTET10, PBTET10},    // 17 TET10
    kIgnore,                              // 18 JOINT6
    kIgnore,                              // 19 JOINT8
    kIgnore,                              // 20 JOINT12
    kIgnore,                              // 21 JOINT16
    kIgnore,                              // 22 SPG2
    kIgnore,                              // 23 CNT2
    kReject,                              // 24 QPLAIC4
    kReject,                              // 25 TPLAIC3
    {Route::Beam, nullptr, PBROD2},       // 26 SBEAM2
    {Route::Direct, PDHEX8, PBHEX8},      // 27 HEX8R
    {Route::Direct, PDQAX4, PBQAX4},      // 28 QAX4R
    {Route::Direct, PDQPN4, PBQPLAN4},    // 29 QPLAN4R
}};

const LoadRow& load_row(word iecod) {
  if (iecod < 1 || iecod > static_cast<word>(kLoadRows.size())) return kReject;
  return kLoadRows[static_cast<std::size_t>(iecod - 1)];
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
  const LoadRow& row = load_row(e.IECOD);
  // Joints, springs and contact elements take no element loads; their
  // entries (a body force of the load table has no load words for them)
  // are not read.
  if (row.route == Route::Ignore) return;
  const word n = etycom().NDOF;
  assert(n >= 0 && n <= ESTCOM::kMaxDof);
  std::array<double, ESTCOM::kMaxDof> pe{};
  const std::span<double> pev(pe.data(), static_cast<std::size_t>(n));
  walk(lrec, [&](word eldtyp, word code, std::span<const float> values) {
    if (row.route == Route::Reject) elem_fatal(-5000, e.IECOD, e.IEXN);
    const LoadFn fn = eldtyp == kDistributed ? row.distributed : eldtyp == kBody ? row.body : nullptr;
    if (fn == nullptr) pload::bad_code(eldtyp);
    if (row.route == Route::Beam) {
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
