// The element stiffness dispatcher KELEM, the input flag words the element
// routines read, and the binding of the material routines' views to the
// current element and point.
#include <algorithm>
#include <array>
#include <cstddef>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/exec/records.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {
namespace {


using Span = std::span<double>;
using Temps = std::span<const float>;
using Stiffness = void (*)(word ltherm, Temps temp, Span ke, Span th);

void reject_type(word, Temps, Span, Span) { elem_fatal(-5000, estcom().IECOD, estcom().IEXN); }

// The option flags (IBBAR, ISHEAR): (0, 1) for the plain codes, (1, 0) for the R codes.
template <int Ibbar, int Ishear>
void k_hex8(word l, Temps t, Span ke, Span th) { KHEX8(l, t, ke, th, Ibbar, Ishear); }
template <int Ibbar, int Ishear>
void k_qax4(word l, Temps t, Span ke, Span th) { KQAX4(l, t, ke, th, Ibbar, Ishear); }
template <int Ibbar, int Ishear>
void k_qplan4(word l, Temps t, Span ke, Span th) { KQPLAN4(l, t, ke, th, Ibbar, Ishear); }

void k_beam2(word ltherm, Temps temp, Span ke, Span th) {
  KBEAM2(ke, 0);
  if (ltherm & 1) BMTEMP(temp, th, 0);
}
void k_sbeam2(word l, Temps t, Span ke, Span th) { KSBEAM2(l, t, ke, th, 0); }

// Types that take no temperatures: the routine gets KE alone.
template <void (*K)(std::span<double>)>
void k_plain(word, Temps, Span ke, Span) { K(ke); }

// Stiffness routine per type code (with the option flags of HEX8, QAX4,
// QPLAN4 and their R forms); the codes without element routines reject.
constexpr std::array<Stiffness, 31> stiffness_table() {
  std::array<Stiffness, 31> t{};
  t.fill(reject_type);
  t[1] = k_hex8<0, 1>;
  t[2] = KPENT6;
  t[3] = k_qax4<0, 1>;
  t[4] = KTAX3;
  t[5] = k_beam2;
  t[6] = KROD2;
  t[7] = KQFLA4;
  t[9] = KQMEM4;
  t[10] = KTMEM3;
  t[11] = k_qplan4<0, 1>;
  t[12] = KTPLAN3;
  t[14] = k_plain<KJOINT4>;
  t[15] = KHEX20;
  t[16] = KPENT15;
  t[17] = KTET10;
  t[18] = k_plain<KJOINT6>;
  t[19] = k_plain<KJOINT8>;
  t[20] = k_plain<KJOINT12>;
  t[21] = k_plain<KJOINT16>;
  t[22] = k_plain<KSPG2>;
  t[23] = k_plain<KCNT2>;
  t[26] = k_sbeam2;
  t[27] = k_hex8<1, 0>;
  t[28] = k_qax4<1, 0>;
  t[29] = k_qplan4<1, 0>;
  return t;
}

constexpr std::array<Stiffness, 31> kStiffness = stiffness_table();

}  // namespace


void bind_material_views() {
  ESTCOM& e = estcom();
  EIVWK& w = eivwka();
  MatlState& m = matl_state();
  m.elem = MatElem{&e.IEXN, &e.IECOD, &e.MATID, &e.ICLASS, &e.NS, e.PROP.data()};
  m.point = MatPoint{w.sw.data(),           w.scratch.data(),       w.vec[0].data(),
                     w.vec[2].data(),       w.blk.b1.v.data(),      &w.blk.b2.epeq,
                     w.blk.b2.iv.data(),    &w.blk.b9,              w.blk.b11.iv.data()};
}

void KELEM(std::span<double> KE, std::span<const word> TREC, std::span<double> V1, word MODE) {
  bind_material_views();
  const ESTCOM& e = estcom();
  const int n = etycom().NDOF;
  const auto nk = static_cast<std::size_t>(n * (n + 1) / 2);
  std::fill(KE.begin(), KE.begin() + static_cast<std::ptrdiff_t>(nk), 0.0);
  const word ltherm = MODE == 1 && !TREC.empty() && TREC[0] >= 2 ? -1 : 0;
  std::array<double, ESTCOM::kMaxDof> th{};
  // Node temperatures from word 3 of the record; missing values are 0.
  std::array<float, ESTCOM::kMaxNode> temp{};
  if (ltherm != 0)
    for (std::size_t k = 0; k < temp.size() && k + 2 < TREC.size(); ++k) temp[k] = word_real(TREC[k + 2]);
  const word code = e.IECOD;
  const Stiffness f = code >= 1 && code <= 30 ? kStiffness[static_cast<std::size_t>(code)] : reject_type;
  f(ltherm, temp, KE.first(nk), std::span<double>(th).first(static_cast<std::size_t>(n)));
  if (ltherm != 0) eu::scatter_add(std::span<const double>(th).first(static_cast<std::size_t>(n)), 1.0, V1);
}

}  // namespace zephsol
