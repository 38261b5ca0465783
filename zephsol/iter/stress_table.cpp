// The table of stress routines by element type code.
#include "zephsol/iter/stress_table.h"

#include <array>
#include <cstddef>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/iter/scont.h"
#include "zephsol/iter/sstruct.h"

namespace zephsol {
namespace {

using Temps = std::span<const float>;
using Disp = std::span<const double>;
using Force = std::span<double>;

void reject_type(word, Temps, Disp, Force) { elem_fatal(-5000, estcom().IECOD, estcom().IEXN); }

// Routines that take no temperatures: (UE, FE).
template <void (*S)(Disp, Force)>
void no_temperatures(word, Temps, Disp ue, Force fe) { S(ue, fe); }

// The option flags (IBBAR, ISHEAR): (0, 1) for the plain codes, (1, 0) for the R codes.
template <int Ibbar, int Ishear>
void s_hex8(word t, Temps tp, Disp u, Force f) { SHEX8(t, tp, u, f, Ibbar, Ishear); }
template <int Ibbar, int Ishear>
void s_qax4(word t, Temps tp, Disp u, Force f) { SQAX4(t, tp, u, f, Ibbar, Ishear); }
template <int Ibbar, int Ishear>
void s_qplan4(word t, Temps tp, Disp u, Force f) { SQPLAN4(t, tp, u, f, Ibbar, Ishear); }

constexpr std::size_t kCodes = 31;  // codes 1-30 at their own index

constexpr std::array<StressRoutine, kCodes> stress_table() {
  std::array<StressRoutine, kCodes> t{};
  t.fill(reject_type);  // 8 TFLA3, 13 GAP2, 24 QPLAIC4, 25 TPLAIC3, 30
  t[1] = s_hex8<0, 1>;
  t[2] = SPENT6;
  t[3] = s_qax4<0, 1>;
  t[4] = STAX3;
  t[5] = SBEAM;
  t[6] = SROD2;
  t[7] = SQFLA4;
  t[9] = SQMEM4;
  t[10] = STMEM3;
  t[11] = s_qplan4<0, 1>;
  t[12] = STPLAN3;
  t[14] = no_temperatures<SJOINT4>;
  t[15] = SHEX20;
  t[16] = SPENT15;
  t[17] = STET10;
  t[18] = no_temperatures<SJOINT6>;
  t[19] = no_temperatures<SJOINT8>;
  t[20] = no_temperatures<SJOINT12>;
  t[21] = no_temperatures<SJOINT16>;
  t[22] = SSPG2;
  t[23] = no_temperatures<SCNT2>;
  t[26] = SSBEAM2;
  t[27] = s_hex8<1, 0>;
  t[28] = s_qax4<1, 0>;
  t[29] = s_qplan4<1, 0>;
  return t;
}

constexpr std::array<StressRoutine, kCodes> kStress = stress_table();

}  // namespace

StressRoutine stress_routine(word IECOD) {
  if (IECOD < 1 || IECOD > 30) return s_hex8<0, 1>;
  return kStress[static_cast<std::size_t>(IECOD)];
}

}  // namespace zephsol
