// Laboratory tests of the soil laws through the whole program: a unit cube
// of one HEX8 element in a triaxial cell (and a unit square of one QPLAN4
// element in a biaxial one), each checked against its closed form:
//   - Drucker-Prager (criterion 2) and Mohr-Coulomb (criterion 1) in
//     drained compression and extension under a fixed cell pressure, driven
//     by the displacement of the top past failure: the axial stress settles
//     at the criterion's strength for that cell pressure; Drucker-Prager
//     also in plane strain, where steady flow fixes the stress across the
//     plane;
//   - von Mises with a constant hardening slope and with a table of slopes
//     in simple compression: the stress follows the hardened yield stress;
//   - the hyperbolic law (kind 3) loaded by a deviator in small steps under
//     a fixed cell pressure: the axial strain follows the sum of the steps'
//     increments over the tangent modulus of the state each step starts
//     from, and unloaded with the unloading modulus;
//   - the failure law with reduced moduli (kind 5) loaded past the
//     Mohr-Coulomb strength: the steps from a state beyond it take EMIN and
//     NUMAX;
//   - the stress-ratio degradation law (kind 7) below the strength: each
//     step takes the modulus of the strength ratio it starts from;
//   - the ZUZUZERUR rock model (kind 2) with a straight envelope: each step
//     takes the modulus of the strength ratio it starts from;
//   - a no-tension material pulled under a cell pressure: the axial stress
//     is cut back to the tension limit, the sides still carry the cell
//     pressure.
//
// The cube: node 1 at the origin, 1-4 the base and 5-8 the top, counter-
// clockwise; each face on a plane x = 0, y = 0 or z = 0 slides on it, so
// that the stress is uniform and follows from the loads alone. The cell
// pressure acts through nodal forces on the faces x = 1 and y = 1 (and on
// the top when the axial load is a force). Stresses: tension positive.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "common/deck.h"
#include "support/gridmesh.h"
#include "support/nodal.h"
#include "support/results.h"
#include "zephsol/exec/records.h"

namespace zephsol::test {
namespace {

const double kPi = std::acos(-1.0);

// The cube's element, nodes and sliding supports, after the material cards.
std::string cube_cards(const std::string& material) {
  constexpr std::array<std::array<int, 3>, 8> kCorners{
      {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}};
  std::string b = "ELEMENT\n" + card({"1", "HEX8"}) + "\n" + material + "NODE\n";
  for (std::size_t n = 0; n < kCorners.size(); ++n)
    b += card({std::to_string(n + 1), "", std::to_string(kCorners[n][0]) + ".0", std::to_string(kCorners[n][1]) + ".0",
               std::to_string(kCorners[n][2]) + ".0"}) +
         "\n";
  b += "CONNECTI\n" + card({"1", "1", "", "1", "1", "2", "3", "4", "5", "6"}) + "\n" + card({"", "7", "8"}) + "\n";
  // x held on x = 0 (1, 4, 5, 8), y on y = 0 (1, 2, 5, 6), z on z = 0 (1-4).
  const auto hold = [](int first, int last, int c) {
    return card({"", std::to_string(first), std::to_string(last), "1", "", std::to_string(c), std::to_string(c)}) +
           "\n";
  };
  b += "CONST\n" + hold(1, 1, 1) + hold(4, 5, 1) + hold(8, 8, 1) + hold(1, 2, 2) + hold(5, 6, 2) + hold(1, 4, 3);
  return b;
}

// "NLOAD" members: a pressure p on the faces x = 1 and y = 1 of the unit
// cube (a quarter on each corner), and a force fz on each top node.
std::string cell_loads(double p, double fz) {
  std::array<std::array<double, 3>, 8> f{};
  for (const int n : {2, 3, 6, 7}) f[static_cast<std::size_t>(n - 1)][0] = -p / 4;
  for (const int n : {3, 4, 7, 8}) f[static_cast<std::size_t>(n - 1)][1] = -p / 4;
  for (const int n : {5, 6, 7, 8}) f[static_cast<std::size_t>(n - 1)][2] = fz;
  std::string b;
  for (std::size_t n = 0; n < f.size(); ++n) {
    if (f[n] == std::array<double, 3>{}) continue;
    b += card({"", std::to_string(n + 1), "", "", "", "1", "3", field8(f[n][0]), field8(f[n][1]), field8(f[n][2])}) +
         "\n";
  }
  return b;
}

std::string material_cards(const std::string& kind, const std::string& criterion,
                           const std::vector<std::pair<std::string, double>>& values) {
  std::string b = "MATERIAL\n" + card({"1", kind, criterion}) + "\n";
  for (const auto& [name, v] : values) b += card({"", name, field8(v)}) + "\n";
  return b;
}

// The cube of a material brought to the cell pressure s3 on all its faces in
// a first interval, then loaded by a deviator q through the top in a second
// of the steps given; further history cards may follow.
std::string deviator_deck(const std::string& material, double s3, double q, int steps, const std::string& more = "") {
  std::string b = cube_cards(material);
  b += "NLOAD\n" + card({"1"}) + "\n" + cell_loads(s3, -s3 / 4) + card({"2"}) + "\n";
  for (int n = 5; n <= 8; ++n) b += card({"", std::to_string(n), "", "", "", "3", "3", field8(-q / 4)}) + "\n";
  b += "HISTORY\n" + card({"INTERVAL", "1"}) + "\n" + card({"", "NLOA", "1", "1.0"}) + "\n" +
       card({"INTERVAL", std::to_string(steps)}) + "\n" + card({"", "NLOA", "2", "1.0"}) + "\n" + more;
  return bulk_deck(b);
}

// Runs a deck whole; false (with a failure) when the run counted errors.
bool run_whole(DeckRun& run) {
  run.analysis();
  std::string errors;
  for (const auto& l : run.errors()) errors += l + "\n";
  EXPECT_EQ(sysw().IERFLG, 0) << errors;
  return sysw().IERFLG == 0;
}

// ---- Drucker-Prager and Mohr-Coulomb at failure -----------------------------

// c 10, phi 30 deg, E 1.0E+4, nu 0.25, cell pressure 20. The cell pressure
// and the top's displacement grow together over the steps; at the end the
// lateral stresses are the cell pressure (the loads alone fix them) and the
// axial stress is the strength, which the perfectly plastic law holds
// whatever the path.
constexpr double kC = 10.0, kPhi = 30.0, kCell = 20.0;

// Axial stress at failure, compression negative, with the other two normal
// stresses at -kCell.
//   Mohr-Coulomb: s1 = s3 Kp + 2 c sqrt(Kp) in compression (s1 the axial
//   pressure), s3 = (s1 - 2 c sqrt(Kp)) / Kp in extension, Kp =
//   (1 + sin phi) / (1 - sin phi).
//   Drucker-Prager: a I1 + sqrt(J2) = k with a = 2 sin phi / (sqrt3 (3 -
//   sin phi)), k = 6 c cos phi / (sqrt3 (3 - sin phi)): the cone through
//   the Mohr-Coulomb compression meridian; with the axial stress s and the
//   lateral ones -p, I1 = s - 2p and sqrt(J2) = |s + p| / sqrt3.
double strength(int criterion, bool compression) {
  const double phi = kPhi * kPi / 180, sn = std::sin(phi), cs = std::cos(phi);
  if (criterion == 1) {
    const double kp = (1 + sn) / (1 - sn);
    return compression ? -(kCell * kp + 2 * kC * std::sqrt(kp)) : -(kCell - 2 * kC * std::sqrt(kp)) / kp;
  }
  const double r3 = std::sqrt(3.0), a = 2 * sn / (r3 * (3 - sn)), k = 6 * kC * cs / (r3 * (3 - sn));
  // Compression: s + p < 0, a (s - 2p) - (s + p)/sqrt3 = k; extension:
  // a (s - 2p) + (s + p)/sqrt3 = k.
  return compression ? (k + 2 * a * kCell + kCell / r3) / (a - 1 / r3)
                     : (k + 2 * a * kCell - kCell / r3) / (a + 1 / r3);
}

struct FailureCase {
  int criterion;
  bool compression;
};

class TriaxialFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(TriaxialFailure, AxialStressSettlesAtTheStrength) {
  const auto [criterion, compression] = GetParam();
  const double s = strength(criterion, compression);
  // Elastic axial strain to failure with the lateral stresses fixed: (s +
  // p) / E from the cell pressure's state; the top moves three times that.
  const double top = 3.0 * (s + kCell) / 1.0e4;
  std::string b = cube_cards(
      material_cards("1", std::to_string(criterion), {{"E", 1.0e4}, {"NU", 0.25}, {"C", kC}, {"PHAI", kPhi}}));
  b += "NLOAD\n" + card({"1"}) + "\n" + cell_loads(kCell, 0.0);
  b += "DISP\n" + card({"1"}) + "\n" + card({"", "5", "8", "1", "", "3", "3", field8(top)}) + "\n";
  b += "HISTORY\n" + card({"INTERVAL", "10"}) + "\n" + card({"", "NLOA", "1", "1.0"}) + "\n" +
       card({"", "DISP", "1", "1.0"}) + "\n";
  DeckRun run(bulk_deck(b), {.memo = 16, .solvlst = {}});
  if (!run_whole(run)) return;
  const auto point = output_points(1).at(0);
  const auto& sig = point.vec[0];
  EXPECT_NEAR(sig[0], -kCell, 1e-5 * kCell);
  EXPECT_NEAR(sig[1], -kCell, 1e-5 * kCell);
  EXPECT_NEAR(sig[2], s, 1e-5 * std::abs(s));
  for (std::size_t k = 3; k < 6; ++k) EXPECT_NEAR(sig[k], 0.0, 1e-5 * kCell);
}

INSTANTIATE_TEST_SUITE_P(Criteria, TriaxialFailure,
                         ::testing::Values(FailureCase{2, true}, FailureCase{2, false}, FailureCase{1, true},
                                           FailureCase{1, false}));

// Drucker-Prager in plane strain: a unit square of one QPLAN4 element,
// the cell pressure on its side x = 1 in a first interval, then its top
// pushed down 0.1 (ten times the strain of first yield) in 50 steps. The
// flow is associated; once it is steady the elastic strains no longer
// change, so the plastic strain rate across the plane is zero too: a + sz /
// (2 sqrt(J2)) = 0. With the in-plane centre c and radius R of Mohr's
// circle and sigma_z = c + d, that gives d = -3 a R / sqrt(1 - 3 a^2), and
// the criterion 3 a c + R sqrt(1 - 3 a^2) = k; with c = -p - R:
// R = (k + 3 a p) / (sqrt(1 - 3 a^2) - 3 a).
TEST(PlaneStrainDruckerPrager, BiaxialStressSettlesAtTheSteadyFlowLimit) {
  const double sn = std::sin(kPhi * kPi / 180), r3 = std::sqrt(3.0);
  const double a = 2 * sn / (r3 * (3 - sn)), k = 6 * kC * std::cos(kPhi * kPi / 180) / (r3 * (3 - sn));
  const double root = std::sqrt(1 - 3 * a * a), radius = (k + 3 * a * kCell) / (root - 3 * a);
  const double centre = -kCell - radius, across = centre - 3 * a * radius / root;

  std::string b = "ELEMENT\n" + card({"1", "QPLAN4"}) + "\n" +
                  material_cards("1", "2", {{"E", 1.0e4}, {"NU", 0.25}, {"C", kC}, {"PHAI", kPhi}}) + "NODE\n" +
                  card({"1", "", "0.0", "0.0", "0.0"}) + "\n" + card({"2", "", "1.0", "0.0", "0.0"}) + "\n" +
                  card({"3", "", "1.0", "1.0", "0.0"}) + "\n" + card({"4", "", "0.0", "1.0", "0.0"}) + "\n" +
                  "CONNECTI\n" + card({"1", "1", "", "1", "1", "2", "3", "4"}) + "\n";
  b += "CONST\n" + card({"", "1", "1", "1", "", "1", "2"}) + "\n" + card({"", "2", "2", "1", "", "2", "2"}) + "\n" +
       card({"", "4", "4", "1", "", "1", "1"}) + "\n";
  b += "NLOAD\n" + card({"1"}) + "\n";
  for (const char* n : {"2", "3"}) b += card({"", n, "", "", "", "1", "1", field8(-kCell / 2)}) + "\n";
  b += "DISP\n" + card({"1"}) + "\n" + card({"", "3", "4", "1", "", "2", "2", "-0.1"}) + "\n";
  b += "HISTORY\n" + card({"INTERVAL", "1"}) + "\n" + card({"", "NLOA", "1", "1.0"}) + "\n" + card({"INTERVAL", "50"}) +
       "\n" + card({"", "DISP", "1", "1.0"}) + "\n";
  std::string deck = bulk_deck(b);
  deck.insert(deck.find("FIELD 3"), "PARAM 50, U, 1.0E-4\n");
  DeckRun run(deck, {.memo = 16, .solvlst = {}});
  if (!run_whole(run)) return;
  const auto sig = output_points(1).at(0).vec[0];
  EXPECT_NEAR(sig[0], -kCell, 1e-5 * kCell);
  EXPECT_NEAR(sig[1], centre - radius, 1e-5 * radius);
  EXPECT_NEAR(sig[2], across, 1e-5 * radius);
  EXPECT_NEAR(sig[3], 0.0, 1e-5 * kCell);
}

// ---- Von Mises with hardening -----------------------------------------------

// The cube free on its sides, its top pushed down 0.05 (five times the
// strain of first yield) in 20 steps; E 1.0E+4, nu 0.25, SIGY 100. In
// simple compression the equivalent plastic strain is the axial one, so the
// stress s at the total strain e satisfies s = k(e - s/E), k the yield
// stress hardened by the slope: HDASH 2500 throughout, s = (100 + 2500 e) /
// (1 + 2500/E) = 180; or an "F5" table of slopes, 2500 up to a plastic
// strain of 0.02 and 500 beyond, s = (100 + 2500 x 0.02 + 500 (e - 0.02)) /
// (1 + 500/E) = 157.142857.
struct HardeningCase {
  std::string name, cards;
  double stress;
};

class VonMisesHardening : public ::testing::TestWithParam<HardeningCase> {};

TEST_P(VonMisesHardening, SimpleCompressionFollowsTheHardenedYieldStress) {
  const auto& c = GetParam();
  std::string b = cube_cards(material_cards("1", "3", {{"E", 1.0e4}, {"NU", 0.25}, {"SIGY", 100.0}}) + c.cards);
  b += "DISP\n" + card({"1"}) + "\n" + card({"", "5", "8", "1", "", "3", "3", "-0.05"}) + "\n";
  b += "HISTORY\n" + card({"INTERVAL", "20"}) + "\n" + card({"", "DISP", "1", "1.0"}) + "\n";
  std::string deck = bulk_deck(b);
  deck.insert(deck.find("FIELD 3"), "PARAM 50, U, 1.0E-4\n");
  DeckRun run(deck, {.memo = 16, .solvlst = {}});
  if (!run_whole(run)) return;
  const auto sig = output_points(1).at(0).vec[0];
  EXPECT_NEAR(sig[0], 0.0, 1e-5 * c.stress);
  EXPECT_NEAR(sig[1], 0.0, 1e-5 * c.stress);
  EXPECT_NEAR(sig[2], -c.stress, 1e-5 * c.stress);
}

INSTANTIATE_TEST_SUITE_P(Slopes, VonMisesHardening,
                         ::testing::Values(HardeningCase{"constant", card({"", "HDASH", "2500.0"}) + "\n", 180.0},
                                           HardeningCase{"table",
                                                         card({"", "HDASH", "F5", "2"}) + "\n" +
                                                             card({"", "0.0", "2500.0", "0.02", "500.0"}) + "\n",
                                                         165.0 / 1.05}),
                         [](const auto& info) { return info.param.name; });

// ---- Hyperbolic law
// ----------------------------------------------------------

// DCK 500, DCN 0.5, DCRF 0.9, DCPA 100, c 0, phi 30 deg, nu fixed at 0.3
// (DCNU); cell pressure s3 = 100 = pa. The first interval brings the cube
// to the cell pressure in one step, at the initial modulus K pa (s3/pa)^n =
// 50000 (the state before it is taken at pa, so the step is the same whether
// or not it is iterated). The second adds a deviator q of 160 (0.8 of the
// strength 2 s3 sin phi / (1 - sin phi) = 200) through the top in 20 equal
// steps. With the lateral stresses fixed the axial strain of a step is
// dq / Et, Et = Ei (1 - Rf (1 - sin phi) q / (2 c cos phi + 2 s3 sin phi))^2
// of the state the step starts from.
constexpr double kPa = 100.0, kK = 500.0, kN = 0.5, kRf = 0.9, kDuncanNu = 0.3, kDeviator = 160.0;
constexpr int kDeviatorSteps = 20;

double duncan_tangent(double s3, double q) {
  const double sn = std::sin(kPhi * kPi / 180), ei = kK * kPa * std::pow(s3 / kPa, kN);
  const double f = 1 - kRf * (1 - sn) * q / (2 * s3 * sn);
  return ei * f * f;
}

// With unloading steps, a third interval takes half the deviator off in
// that many steps: the first starts from the largest mean stress reached
// and so still takes the tangent modulus; the others start below it and
// take the unloading modulus DCKU pa (s3/pa)^n = 100000.
class HyperbolicLaw : public ::testing::TestWithParam<int> {};

TEST_P(HyperbolicLaw, TriaxialStrainFollowsTheTangentModulusStepByStep) {
  const int unloading = GetParam();
  const double s3 = kPa, ku = 1000.0;
  const std::string material = material_cards("3", "0",
                                              {{"C", 0.0},
                                               {"PHAI", kPhi},
                                               {"DCK", kK},
                                               {"DCN", kN},
                                               {"DCRF", kRf},
                                               {"DCKU", ku},
                                               {"DCG", kDuncanNu},
                                               {"DCF", 0.0},
                                               {"DCD", 0.0},
                                               {"DCPA", kPa},
                                               {"DCDE", 0.01},
                                               {"ALPHA", 0.0},
                                               {"DCNU", kDuncanNu}});
  const std::string unload =
      unloading > 0 ? card({"INTERVAL", std::to_string(unloading)}) + "\n" + card({"", "NLOA", "2", "-0.5"}) + "\n"
                    : "";
  DeckRun run(deviator_deck(material, s3, kDeviator, kDeviatorSteps, unload), {.memo = 16, .solvlst = {}});
  if (!run_whole(run)) return;

  // The stresses follow from the loads alone.
  const double q = unloading > 0 ? kDeviator / 2 : kDeviator;
  const auto sig = output_points(1).at(0).vec[0];
  EXPECT_NEAR(sig[0], -s3, 1e-5 * s3);
  EXPECT_NEAR(sig[1], -s3, 1e-5 * s3);
  EXPECT_NEAR(sig[2], -s3 - q, 1e-5 * s3);

  const double isotropic = s3 * (1 - 2 * kDuncanNu) / duncan_tangent(s3, 0.0);
  double strain = isotropic;
  const double dq = kDeviator / kDeviatorSteps;
  for (int n = 0; n < kDeviatorSteps; ++n) strain += dq / duncan_tangent(s3, n * dq);
  for (int n = 0; n < unloading; ++n) {
    const double step = kDeviator / 2 / unloading;
    strain -= step / (n == 0 ? duncan_tangent(s3, kDeviator) : ku * kPa * std::pow(s3 / kPa, kN));
  }
  const auto u = displacements();
  for (int node = 5; node <= 8; ++node) EXPECT_NEAR(u.at({node, 2}), -strain, 1e-6 * strain) << node;
  // Lateral: the first interval's isotropic strain, then -nu times each
  // step's axial strain.
  EXPECT_NEAR(u.at({7, 0}), -isotropic + kDuncanNu * (strain - isotropic), 1e-6 * strain);
}

INSTANTIATE_TEST_SUITE_P(Unloading, HyperbolicLaw, ::testing::Values(0, 4));

// ---- Failure with reduced moduli
// ---------------------------------------------

// Kind 5, E 1.0E+4, nu 0.25, c 10, phi 30 deg, EMIN 1000, NUMAX 0.45:
// brought to the cell pressure 20 in a first interval, then loaded by a
// deviator of 100 through the top in ten equal steps. A step whose
// starting state lies beyond the Mohr-Coulomb strength (a deviator of
// 74.64 at this cell pressure) takes EMIN: the steps from 80 and from 90.
TEST(ReducedModuli, TriaxialCubeSoftensOnceItsStateLiesBeyondTheStrength) {
  constexpr double e = 1.0e4, nu = 0.25, emin = 1000.0, numax = 0.45, q = 100.0;
  constexpr int steps = 10;
  const std::string material =
      material_cards("5", "0", {{"E", e}, {"NU", nu}, {"C", kC}, {"PHAI", kPhi}, {"EMIN", emin}, {"NUMAX", numax}});
  DeckRun run(deviator_deck(material, kCell, q, steps), {.memo = 16, .solvlst = {}});
  if (!run_whole(run)) return;
  const auto sig = output_points(1).at(0).vec[0];
  EXPECT_NEAR(sig[2], -kCell - q, 1e-5 * q);

  const double kp = 3.0, strength = kCell * kp + 2 * kC * std::sqrt(kp) - kCell;
  double axial = kCell * (1 - 2 * nu) / e, lateral = -kCell * (1 - 2 * nu) / e;
  for (int n = 0; n < steps; ++n) {
    const bool failed = n * q / steps > strength;
    const double de = q / steps / (failed ? emin : e);
    axial += de;
    lateral += (failed ? numax : nu) * de;
  }
  const auto u = displacements();
  EXPECT_NEAR(u.at({7, 2}), -axial, 1e-6 * axial);
  EXPECT_NEAR(u.at({7, 0}), lateral, 1e-6 * axial);
}

// ---- Stress-ratio degradation
// ------------------------------------------------

// Kind 7 with the Mohr-Coulomb criterion (its point law goes through the
// plastic check, which needs a criterion), E 1.0E+4 (before the point has a
// state), nu 0.25, c 10, phi 30 deg, U 0, V 500, W 0.5, no further terms:
// brought to the cell pressure 20 in a first interval, then loaded by a
// deviator of 60 in six equal steps. Each step takes E0 (1 - r) of the state it
// starts from, E0 = U + V s3^W, r the deviator over the Mohr-Coulomb
// strength 74.64.
TEST(StressRatioDegradation, TriaxialCubeSoftensWithTheStrengthRatio) {
  constexpr double e = 1.0e4, nu = 0.25, q = 60.0;
  constexpr int steps = 6;
  const std::string material = material_cards(
      "7", "1", {{"E", e}, {"NU", nu}, {"C", kC}, {"PHAI", kPhi}, {"U", 0.0}, {"V", 500.0}, {"W", 0.5}, {"EPS", 0.01}});
  DeckRun run(deviator_deck(material, kCell, q, steps), {.memo = 16, .solvlst = {}});
  if (!run_whole(run)) return;
  const auto sig = output_points(1).at(0).vec[0];
  EXPECT_NEAR(sig[2], -kCell - q, 1e-5 * q);

  const double strength = kCell * 3.0 + 2 * kC * std::sqrt(3.0) - kCell, e0 = 500.0 * std::sqrt(kCell);
  double axial = kCell * (1 - 2 * nu) / e;
  for (int n = 0; n < steps; ++n) axial += q / steps / (e0 * (1 - n * q / steps / strength));
  const auto u = displacements();
  EXPECT_NEAR(u.at({7, 2}), -axial, 1e-6 * axial);
}

// ---- ZUZUZERUR rock model
// ----------------------------------------------------

// Kind 2 with a straight envelope (HORA 1): TAUR 10, phi 30 deg, SIGT -10
// (its tensile vertex), YURU 1; E = (DZER - DFAI) r^POTO + DFAI with DZER
// 1.0E+4, DFAI 1000, POTO 1, and nu 0.25 throughout (POZE = POFA); the
// card list asks for K too, which acts only under gravity. Brought
// to the cell pressure 20 in a first interval (at DZER: no ratio yet), then
// loaded by a deviator of 60 in six equal steps, each at the ratio of the
// state it starts from: with the circle's radius R and centre pm
// (compression positive), the distance to the envelope rho = sin phi
// (TAUR / tan phi + pm) and x = pm - SIGT, r = min(1 - R / rho, (s3 -
// SIGT) / x).
TEST(Zuzuzerur, TriaxialCubeSoftensWithItsStrengthRatio) {
  constexpr double dzer = 1.0e4, dfai = 1000.0, nu = 0.25, taur = 10.0, sigt = -10.0, q = 60.0;
  constexpr int steps = 6;
  const std::string material = material_cards("2", "0",
                                              {{"C", 0.0},
                                               {"PHAI", kPhi},
                                               {"DZER", dzer},
                                               {"DFAI", dfai},
                                               {"DTOK", 0.0},
                                               {"POZE", nu},
                                               {"POFA", nu},
                                               {"YURU", 1.0},
                                               {"POTO", 1.0},
                                               {"TAUR", taur},
                                               {"SIGT", sigt},
                                               {"HORA", 1.0},
                                               {"ALPHA", 0.0},
                                               {"K", 0.5}});
  DeckRun run(deviator_deck(material, kCell, q, steps), {.memo = 16, .solvlst = {}});
  if (!run_whole(run)) return;
  const auto sig = output_points(1).at(0).vec[0];
  EXPECT_NEAR(sig[2], -kCell - q, 1e-5 * q);

  const double phi = kPhi * kPi / 180;
  double axial = kCell * (1 - 2 * nu) / dzer;
  for (int n = 0; n < steps; ++n) {
    const double dev = n * q / steps, radius = dev / 2, pm = kCell + radius;
    const double rho = std::sin(phi) * (taur / std::tan(phi) + pm);
    const double r = std::min(1 - radius / rho, (kCell - sigt) / (pm - sigt));
    axial += q / steps / ((dzer - dfai) * r + dfai);
  }
  const auto u = displacements();
  EXPECT_NEAR(u.at({7, 2}), -axial, 1e-6 * axial);
}

// ---- No-tension material ----------------------------------------------------

// E 1.0E+4, nu 0.25 (ENT 100 and NUNT 0.25 once cracked), brought to a
// cell pressure of 20 on its sides in a first interval, then the top
// pulled up 0.005 (an elastic tension of 40 and more) in two steps. The
// sides carry the cell pressure whatever happens; the axial stress is cut
// back to the tension limit SIGT and stays there while SIG0 is negative
// (the default), or falls to nothing once the point has cracked (SIG0 0).
// The iteration runs to a tolerance of 1.0E-5 on the displacements.
struct TensionCase {
  double sigt, sig0, axial;
};

class NoTension : public ::testing::TestWithParam<TensionCase> {};

TEST_P(NoTension, PulledCubeCarriesNoMoreThanItsTensionLimit) {
  const auto [sigt, sig0, axial] = GetParam();
  std::string b = cube_cards(material_cards(
      "0", "0", {{"E", 1.0e4}, {"NU", 0.25}, {"SIGT", sigt}, {"SIG0", sig0}, {"ENT", 100.0}, {"NUNT", 0.25}}));
  b += "NLOAD\n" + card({"1"}) + "\n" + cell_loads(kCell, 0.0);
  b += "DISP\n" + card({"1"}) + "\n" + card({"", "5", "8", "1", "", "3", "3", "0.005"}) + "\n";
  b += "HISTORY\n" + card({"INTERVAL", "1"}) + "\n" + card({"", "NLOA", "1", "1.0"}) + "\n" + card({"INTERVAL", "2"}) +
       "\n" + card({"", "DISP", "1", "1.0"}) + "\n";
  std::string deck = bulk_deck(b);
  deck.insert(deck.find("FIELD 3"), "PARAM 100, U, 1.0E-5\nDIAG 55=1\n");
  DeckRun run(deck, {.memo = 16, .solvlst = {}});
  if (!run_whole(run)) return;
  const auto point = output_points(1).at(0);
  const auto& sig = point.vec[0];
  EXPECT_NEAR(sig[0], -kCell, 1e-4 * kCell);
  EXPECT_NEAR(sig[1], -kCell, 1e-4 * kCell);
  EXPECT_NEAR(sig[2], axial, 1e-4 * kCell);
  // The point is marked cracked (its moduli become ENT and NUNT), and has
  // lost its strength unless SIG0 keeps it.
  EXPECT_EQ(point.blk.b1.v[3], -10.0);
  EXPECT_EQ(point.blk.b10.v[0] < 0.0, sig0 >= 0.0);
}

INSTANTIATE_TEST_SUITE_P(Limits, NoTension,
                         ::testing::Values(TensionCase{0.0, -1.0, 0.0}, TensionCase{5.0, -1.0, 5.0},
                                           TensionCase{5.0, 0.0, 0.0}));

}  // namespace
}  // namespace zephsol::test
