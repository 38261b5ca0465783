// Section kinematics of the section beam SBEAM2: a two-node space beam
// integrated over stations along the member and points of a rectangular
// cross-section, each point with its own material state.
//
// SBMSEC sets up the member axes, the rectangle b x h with the area A
// (property value 1) and second moment I about local z (value 3) of the
// element, b h = A and b h^3 / 12 = I, and the integration tables; it writes
// b, h, b, h over property values 1-4 of ESTCOM, so it runs once per element
// read. BSBEAM2 forms the strain-displacement template of one station;
// BSBMPT scales it to one section point, gives the point's weight and its
// number in the element's state record (a 5 x 5 x 5 grid, station by
// station, then depth position, width position fastest).
//
// Strains at section point (y, z): e_x = u' - y v'' - z w'', g_xy = -z rx',
// g_xz = y rx', with v' = rz and w' = -ry; u and rx linear, v and w cubic
// Hermitian in xi (-1 at node 1, +1 at node 2). DOFs (12, local axes): node 1
// u v w rx ry rz, then node 2. B 3 x 12, component by component.
//
// Messages (all end the run): -8005 (IEXN, 1) zero member length; -8005
// (IEXN, 3) orientation node on the member's line; -8013 (IEXN, value as
// REAL) area or second moment not positive; -8015 ("NSTA", "NY  " or "NZ  ",
// value) more stations or section positions than the tables hold.
#pragma once

#include <array>
#include <cstddef>

#include "zephsol/exec/words.h"

namespace zephsol {

// Section-beam work record, double precision, fields in order.
struct SBMCOM {
  std::array<double, 9> T{};    // member triad (rows = local axes, column by column)
  double L = 0.0;               // member length
  double W = 0.0;               // weight of the current section point
  std::array<double, 5> F{};    // volume factor per station
  std::array<double, 5> BW{};   // section width per station
  std::array<double, 5> HD{};   // section depth per station
  std::array<double, 36> BP{};  // B at the current section point
  std::array<double, 36> BT{};  // the station's template of B
  std::array<double, 5> XS{};   // station abscissae
  std::array<double, 5> WS{};   // station weights
  std::array<double, 13> YP{};  // depth positions (local y)
  std::array<double, 13> WY{};
  std::array<double, 5> ZP{};   // width positions (local z)
  std::array<double, 5> WZ{};
};
static_assert(sizeof(SBMCOM) == 144 * 8);
static_assert(offsetof(SBMCOM, BP) == 26 * 8);
static_assert(offsetof(SBMCOM, XS) == 98 * 8);

SBMCOM& sbmcom() noexcept;
void reset_sbmcom();

// mode 0: everything; other: axes and equivalent rectangle only. nsta <= 5
// stations (Gauss), ny <= 13 depth and nz <= 5 width positions (closed rules).
void SBMSEC(word mode, word nsta, word ny, word nz);
// Template at station abscissa xi; BP = BT unscaled.
void BSBEAM2(double xi);
// Section point (station i, depth position j, width position k, 1-based):
// BP and W; ipt = 25 i + 5 j + k - 30 for mode 0 (the full grid), 25 i + 10 j
// + 2 k - 36 otherwise (positions j, k of the 3 x 3 subset at grid positions
// 2j - 1, 2k - 1). ny, nz are accepted and not read.
void BSBMPT(word mode, word i, word j, word k, word ny, word nz, word& ipt);

// Calls f(ipt) for the section points of nsta stations and ny x nz positions
// (BSBMPT's mode), station by station, then depth, width fastest; BP and W
// of SBMCOM hold the point's B and weight during the call.
template <class F>
void each_section_point(word mode, word nsta, word ny, word nz, F&& f) {
  SBMCOM& s = sbmcom();
  for (word i = 1; i <= nsta; ++i) {
    BSBEAM2(s.XS[static_cast<std::size_t>(i - 1)]);
    for (word j = 1; j <= ny; ++j)
      for (word k = 1; k <= nz; ++k) {
        word ipt = 0;
        BSBMPT(mode, i, j, k, ny, nz, ipt);
        f(ipt);
      }
  }
}

}  // namespace zephsol
