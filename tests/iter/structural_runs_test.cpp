// Whole analyses of decks of structural elements (input phase, model tables,
// assembly, solution, stress recovery, output) checked against closed forms:
//   - BEAM2 cantilevers loaded at the tip by forces and moments in every
//     direction, along a global axis and inclined in space with an
//     orientation node: the tip displacements and rotations of the
//     cantilever's flexibility, and the end forces of every element (its
//     state and the listing's element-force table) equal to the statics;
//   - ROD2 trusses against their hand solution;
//   - SPG2 springs in series and in parallel against the combined constant;
//   - QFLA4 plates in bending and QMEM4 / TMEM3 membranes in uniform tension.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/block_dump.h"
#include "common/deck.h"
#include "support/nodal.h"
#include "support/gridmesh.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/exec/records.h"

namespace zephsol::test {
namespace {

using V3 = std::array<double, 3>;
using M3 = std::array<V3, 3>;  // rows: the local axes in global components

V3 cross(const V3& a, const V3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
V3 sub(const V3& a, const V3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
V3 add(const V3& a, const V3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
V3 scale(double s, const V3& a) { return {s * a[0], s * a[1], s * a[2]}; }
double dot(const V3& a, const V3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
V3 unit(const V3& a) { return scale(1.0 / std::sqrt(dot(a, a)), a); }
V3 times(const M3& t, const V3& a) { return {dot(t[0], a), dot(t[1], a), dot(t[2], a)}; }
V3 times_transposed(const M3& t, const V3& a) {
  return add(add(scale(a[0], t[0]), scale(a[1], t[1])), scale(a[2], t[2]));
}

std::string num(double v) {
  std::ostringstream s;
  s.precision(8);
  s << v;
  return s.str();
}

// One state point of every element of EIV0, by element identifier: the
// point `point`, or the element's output point when 0.
std::map<int, EIVWK> element_points(word point = 0) {
  MCB m{EIV0};
  HDRGET(EIV0, m.header());
  std::vector<word> area(40000);
  std::map<int, EIVWK> out;
  DBOPEN(EIV0, 2, kRead);
  for (word e = 0; e < m.header()[0]; ++e) {
    EIVRDA(EIV0, area);
    EIVGTA(point > 0 ? point : eivwka().head[4]);
    out[eivwka().head[0]] = eivwka();
  }
  DBCLOS(EIV0, kCloseRewind);
  return out;
}

// The element-force table of the listing: per element the values of its
// BEGIN line and of the END line after it.
struct ForceRows {
  std::vector<double> begin, end;
};
std::map<int, ForceRows> listed_forces(const std::vector<std::string>& listing) {
  std::map<int, ForceRows> out;
  const auto values = [](std::istringstream& in) {
    std::vector<double> v;
    for (double x; in >> x;) v.push_back(x);
    return v;
  };
  for (std::size_t i = 0; i + 1 < listing.size(); ++i) {
    std::istringstream in(listing[i]);
    int id = 0;
    std::string word;
    if (!(in >> id >> word) || word != "BEGIN") continue;
    std::istringstream next(listing[i + 1]);
    std::string end;
    if (!(next >> end) || end != "END") continue;
    out[id] = {values(in), values(next)};
  }
  return out;
}

// ---------------------------------------------------------------------------
// BEAM2 cantilevers.

constexpr double kE = 1000.0, kNu = 0.25, kG = kE / (2 * (1 + kNu));
constexpr double kArea = 0.5, kIy = 0.25, kIz = 0.125, kJ = 0.375;

struct Load6 {
  V3 force, moment;
};

// Tip displacement and rotation (local axes) of a cantilever of length L
// under the tip force and moment f (local axes): u = F L / EA, v = Fy L^3 /
// 3EIz + Mz L^2 / 2EIz, w = Fz L^3 / 3EIy - My L^2 / 2EIy, rx = Mx L / GJ,
// ry = -Fz L^2 / 2EIy + My L / EIy, rz = Fy L^2 / 2EIz + Mz L / EIz.
Load6 cantilever_tip(double L, const Load6& f) {
  const double eiy = kE * kIy, eiz = kE * kIz;
  return {{f.force[0] * L / (kE * kArea), f.force[1] * L * L * L / (3 * eiz) + f.moment[2] * L * L / (2 * eiz),
           f.force[2] * L * L * L / (3 * eiy) - f.moment[1] * L * L / (2 * eiy)},
          {f.moment[0] * L / (kG * kJ), -f.force[2] * L * L / (2 * eiy) + f.moment[1] * L / eiy,
           f.force[1] * L * L / (2 * eiz) + f.moment[2] * L / eiz}};
}

// A straight cantilever from the origin to `tip` in `n` elements, clamped at
// node 1 and loaded at its tip (node n + 1) by `load` (global axes); node
// 100 orients the cross-sections when `orient` is given, else the third
// node is blank. The end forces are requested on the listing.
std::string cantilever_deck(const V3& tip, int n, const Load6& load, const V3* orient) {
  std::string b = "ELEMENT\n" + card({"1", "BEAM2"}) + "\nMATERIAL\n" + card({"1", "0"}) + "\n" +
                  card({"", "E", num(kE)}) + "\n" + card({"", "NU", num(kNu)}) + "\nPROPERTY\n" +
                  card({"1", "4", num(kArea), num(kIy), num(kIz), num(kJ)}) + "\nNODE\n";
  for (int k = 0; k <= n; ++k) {
    const V3 p = scale(static_cast<double>(k) / n, tip);
    b += card({std::to_string(k + 1), "", num(p[0]), num(p[1]), num(p[2])}) + "\n";
  }
  if (orient != nullptr) b += card({"100", "", num((*orient)[0]), num((*orient)[1]), num((*orient)[2])}) + "\n";
  b += "CONNECTI\n";
  for (int k = 1; k <= n; ++k)
    b += card({std::to_string(k), "1", "1", "1", std::to_string(k), std::to_string(k + 1), orient ? "100" : ""}) + "\n";
  b += "CONST\n" + card({"", "1", "", "", "", "1", "6"}) + "\n";
  b += "NLOAD\n" + card({"1"}) + "\n" +
       card({"", std::to_string(n + 1), "", "", "", "1", "3", num(load.force[0]), num(load.force[1]), num(load.force[2])}) +
       "\n" + card({"", std::to_string(n + 1), "", "", "", "4", "6", num(load.moment[0]), num(load.moment[1]), num(load.moment[2])}) +
       "\n";
  b += "HISTORY\n" + card({"INTERVAL", "1"}) + "\n" + card({"", "NLOA", "1", "1.0"}) + "\n";
  return bulk_deck(b, "OUTPUT\nELFO = ALL\n");
}

// The frame of a member along d with its orientation point at offset r from
// node 1. Without one, e3 is normal to the member and the global y axis (e2
// has a positive y component); a member along y has e3 = z.
M3 member_axes(const V3& d, const V3* r) {
  const V3 e1 = unit(d);
  V3 ref{0, 1, 0};
  if (r != nullptr) ref = *r;
  else if (e1[0] == 0 && e1[2] == 0) ref = {e1[1] > 0 ? -1.0 : 1.0, 0, 0};
  const V3 e3 = unit(cross(e1, ref));
  return {e1, cross(e3, e1), e3};
}

// Runs the cantilever and checks the tip against the flexibility, and every
// element's end forces (local axes, node 1 then node 2) in its state and in
// the listing against the statics: the outer end of each element carries the
// tip load moved to it, the inner end the opposite.
void check_cantilever(const V3& tip, int n, const Load6& load, const V3* orient) {
  SCOPED_TRACE("tip " + num(tip[0]) + " " + num(tip[1]) + " " + num(tip[2]));
  DeckRun run(cantilever_deck(tip, n, load, orient));
  run.analysis();
  ASSERT_EQ(sysw().IERFLG, 0);
  const double L = std::sqrt(dot(tip, tip));
  const M3 t = member_axes(tip, orient);
  const Load6 local{times(t, load.force), times(t, load.moment)};
  const Load6 want_local = cantilever_tip(L, local);
  const V3 want_u = times_transposed(t, want_local.force), want_r = times_transposed(t, want_local.moment);
  const auto u = displacements();
  double scale_u = 0, scale_r = 0;
  for (int c = 0; c < 3; ++c) {
    scale_u = std::max(scale_u, std::abs(want_u[c]));
    scale_r = std::max(scale_r, std::abs(want_r[c]));
  }
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(u.at({n + 1, c}), want_u[c], 1e-6 * scale_u) << "translation " << c;
    EXPECT_NEAR(u.at({n + 1, c + 3}), want_r[c], 1e-6 * scale_r) << "rotation " << c;
  }

  const auto points = element_points(1);
  const auto listed = listed_forces(run.listing());
  double scale_f = std::sqrt(dot(load.force, load.force)) * L + std::sqrt(dot(load.moment, load.moment));
  for (int k = 1; k <= n; ++k) {
    const V3 a = scale(static_cast<double>(k - 1) / n, tip), b = scale(static_cast<double>(k) / n, tip);
    const V3 m_b = add(load.moment, cross(sub(tip, b), load.force));
    const V3 m_a = add(load.moment, cross(sub(tip, a), load.force));
    std::array<double, 12> want{};
    const V3 f_loc = times(t, load.force), mb_loc = times(t, m_b), ma_loc = times(t, m_a);
    for (int c = 0; c < 3; ++c) {
      want[c] = -f_loc[c];
      want[c + 3] = -ma_loc[c];
      want[c + 6] = f_loc[c];
      want[c + 9] = mb_loc[c];
    }
    const auto& r = points.at(k).blk.b8.v;
    const auto& row = listed.at(k);
    ASSERT_EQ(row.begin.size(), 6u);
    ASSERT_EQ(row.end.size(), 6u);
    for (std::size_t c = 0; c < 12; ++c) {
      EXPECT_NEAR(r[c + 1], want[c], 1e-6 * scale_f) << "element " << k << " force " << c;
      const double printed = c < 6 ? row.begin[c] : row.end[c - 6];
      EXPECT_NEAR(printed, want[c], 1e-5 * scale_f) << "element " << k << " listed force " << c;
    }
  }
}

// Every tip component at once, with different rigidities in the two planes,
// so that a load or a rigidity on the wrong axis shows in some component.
const Load6 kTipLoad{{3.0, -2.0, 1.5}, {0.75, -1.25, 2.5}};

TEST(BeamCantilever, AlongXWithoutOrientationNode) {
  check_cantilever({2.0, 0.0, 0.0}, 4, kTipLoad, nullptr);
}

TEST(BeamCantilever, AlongZWithoutOrientationNode) {
  check_cantilever({0.0, 0.0, 2.0}, 4, kTipLoad, nullptr);
}

// Along the global y axis the default frame takes its reference direction
// from the sign of the member's direction.
TEST(BeamCantilever, AlongYAndMinusYWithoutOrientationNode) {
  check_cantilever({0.0, 2.0, 0.0}, 2, kTipLoad, nullptr);
  check_cantilever({0.0, -2.0, 0.0}, 2, kTipLoad, nullptr);
}

// Inclined in space, (1, 2, 2) by 3 elements, cross-sections turned by an
// orientation node off the member's line.
TEST(BeamCantilever, InclinedWithOrientationNode) {
  const V3 orient{1.0, 0.0, 0.0};
  check_cantilever({3.0, 6.0, 6.0}, 3, kTipLoad, &orient);
}

}  // namespace
}  // namespace zephsol::test
