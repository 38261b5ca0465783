// Whole runs of the example decks of non-linear problems through the real
// program, each checked against its closed-form figure:
//   - examples/cylinder: a thick cylinder of von Mises material under
//     internal pressure in plane strain (elastic state, first yield at the
//     bore, partly plastic state, collapse);
//   - examples/footing: a smooth strip footing pushed into an undrained clay
//     (phi = 0), its pressure from the reactions levelling off at Prandtl's
//     (2 + pi) c;
//   - examples/slope: a homogeneous 2:1 slope whose strength-reduction
//     factor grows step by step until no equilibrium is found, near the
//     factor of safety 1.4 of Griffiths and Lane's first example.
// The decks are read from examples/ as a user runs them; the results are
// read back from the listing's displacement and stress tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/scratch.h"
#include "common/deck.h"

namespace zephsol::test {
namespace {

namespace fs = std::filesystem;

std::string example_deck(const std::string& name) {
  return testing::read_file(fs::path(ZEPH_TEST_SOURCE_DIR) / ".." / "examples" / name / (name + ".dat"));
}

// One element's line of the stress table: its components, the von Mises
// value and what follows, and whether the point printed plastic strains.
struct ElementOut {
  std::vector<double> values;
  bool plastic = false;
};

// The results of one output step as the listing prints them.
struct StepOut {
  std::map<int, std::vector<double>> disp;  // node -> components
  std::map<int, std::vector<double>> reac;  // node -> components
  std::map<int, ElementOut> elements;       // element -> its output point
};

bool number(const std::string& t, double& v) {
  if (t.empty() || t.find_first_of("0123456789") == std::string::npos) return false;
  char* end = nullptr;
  v = std::strtod(t.c_str(), &end);
  return *end == '\0';
}

std::vector<std::string> tokens(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string t; in >> t;) out.push_back(t);
  return out;
}

// Headings of the node tables (Shift-JIS): "変　　位" of the accumulated
// displacements, "反　　力" of the reactions, "節　" of the element nodal
// forces.
constexpr std::string_view kDispHeading = "\x95\xcf\x81\x40\x81\x40\x88\xca";
constexpr std::string_view kReacHeading = "\x94\xbd\x81\x40\x81\x40\x97\xcd";
constexpr std::string_view kForceHeading = "\x90\xdf\x81\x40\x81\x40\x81\x40";

// The steps of a listing: a step starts with its displacement table; the
// reaction and stress rows that follow belong to it.
std::vector<StepOut> output_steps(const std::vector<std::string>& listing) {
  enum class Table { none, disp, reac } table = Table::none;
  std::vector<StepOut> steps;
  for (std::size_t i = 0; i < listing.size(); ++i) {
    const std::string& line = listing[i];
    if (line.find(kDispHeading) != std::string::npos) {
      table = Table::disp;
      steps.emplace_back();
      continue;
    }
    if (line.find(kReacHeading) != std::string::npos) table = Table::reac;
    if (line.find(kForceHeading) != std::string::npos) table = Table::none;
    const auto t = tokens(line);
    double v = 0;
    if (t.size() > 4 && t[1] == "-" && t[3] == "STRESS" && !steps.empty()) {
      ElementOut e;
      for (std::size_t k = 4; k < t.size(); ++k)
        if (number(t[k], v)) e.values.push_back(v);
      e.plastic = i + 1 < listing.size() && tokens(listing[i + 1]).front() == "E.STRAIN";
      steps.back().elements[std::stoi(t[0])] = e;
      continue;
    }
    if (table == Table::none || t.size() < 3 || t[0].find_first_not_of("0123456789") != std::string::npos) continue;
    std::vector<double> comps;
    for (std::size_t k = 1; k < t.size() && number(t[k], v); ++k) comps.push_back(v);
    if (comps.size() + 1 != t.size()) continue;
    (table == Table::disp ? steps.back().disp : steps.back().reac)[std::stoi(t[0])] = comps;
  }
  return steps;
}

// The intervals whose steps iterated: those named by convergence reports.
std::vector<int> iterated_intervals(const std::vector<std::string>& listing) {
  std::vector<int> out;
  const std::string key = "5020, CONVERGENCE CRITERIA AT INTERVAL";
  for (const auto& l : listing) {
    const auto at = l.find(key);
    if (at == std::string::npos) continue;
    const int iv = std::stoi(l.substr(at + key.size(), 5));
    if (out.empty() || out.back() != iv) out.push_back(iv);
  }
  return out;
}

// Thick cylinder, bore a = 1, outside b = 2, plane strain, E = 1.0E+5,
// nu = 0.3, yield stress 100. The deck's pressures, step by step: 42, 44.5,
// 49.6 to 70 by 5.1, 71 to 78 by 1, then 79, 80, 81, 82.
constexpr double kA = 1.0, kB = 2.0, kE = 1.0e5, kNu = 0.3, kSigY = 100.0;

// Lame's elastic radial displacement at r under pressure p (plane strain).
double lame_u(double p, double r) {
  const double d = kB * kB - kA * kA, A = p * kA * kA / d, B = p * kA * kA * kB * kB / d;
  return (1 + kNu) / kE * ((1 - 2 * kNu) * A * r + B / r);
}

// The pressure of first yield at the bore: sigma_r = -p, sigma_theta and
// sigma_z of Lame's solution in the von Mises criterion.
double first_yield_pressure() {
  const double d = kB * kB - kA * kA;
  return kSigY * d / std::sqrt(3 * std::pow(kB, 4) + std::pow((1 - 2 * kNu) * kA * kA, 2));
}

// Radius c of the plastic zone under pressure p (Hill, k = sigma_y / sqrt 3):
// p = k (2 ln(c/a) + 1 - c^2/b^2), by bisection on [a, b].
double plastic_radius(double p) {
  const double k = kSigY / std::sqrt(3.0);
  double lo = kA, hi = kB;
  for (int i = 0; i < 60; ++i) {
    const double c = 0.5 * (lo + hi);
    (k * (2 * std::log(c / kA) + 1 - c * c / (kB * kB)) < p ? lo : hi) = c;
  }
  return 0.5 * (lo + hi);
}

// The outside displacement with a plastic zone out to c: the elastic ring
// c..b carries the yield pressure k (1 - c^2/b^2) at its bore.
double hill_outer_u(double c) { return 2 * (1 - kNu * kNu) * (kSigY / std::sqrt(3.0)) * c * c / (kE * kB); }

// Element radii of the deck's mesh: 20 rings graded by 1.15 from the bore.
double ring_radius(int i) { return kA + (kB - kA) * (std::pow(1.15, i) - 1) / (std::pow(1.15, 20) - 1); }

TEST(WholeRuns, ThickCylinderYieldsAtTheBoreAndCollapsesAtTheLimitPressure) {
  DeckRun run(example_deck("cylinder"), {.memo = 16, .solvlst = {}});
  // The run ends at the step past the limit pressure, where the iteration
  // finds no equilibrium (p = 81, the third step of interval 5).
  EXPECT_EQ(run.run_program(), 1);
  const auto listing = run.listing();
  EXPECT_TRUE(has_line(run.errors(), "0*** USER FATAL MESSAGE 5021, ITERATION LIMIT EXCEEDED AT INTERVAL     5 STEP     3"));
  const auto steps = output_steps(listing);
  ASSERT_EQ(steps.size(), 17u);  // every step up to p = 80
  const auto u = [&](std::size_t s, int node) { return steps[s].disp.at(node).at(0); };

  // Elastic at 42: Lame's displacements of bore and outside.
  EXPECT_NEAR(u(0, 1), lame_u(42.0, kA), 1e-3 * lame_u(42.0, kA));
  EXPECT_NEAR(u(0, 21), lame_u(42.0, kB), 1e-3 * lame_u(42.0, kB));

  // First yield at 43.23: no step of interval 1 (p = 42) iterates, the
  // step of interval 2 (p = 44.5) is the first that does, and the bore's
  // ring is the one plastic ring there.
  const double py = first_yield_pressure();
  ASSERT_GT(py, 42.0);
  ASSERT_LT(py, 44.5);
  const auto iterated = iterated_intervals(listing);
  ASSERT_FALSE(iterated.empty());
  EXPECT_EQ(iterated.front(), 2);
  for (const auto& [id, e] : steps[0].elements) EXPECT_FALSE(e.plastic) << id;
  EXPECT_TRUE(steps[1].elements.at(1).plastic);
  EXPECT_FALSE(steps[1].elements.at(2).plastic);

  // Partly plastic at 70: the rings inside Hill's radius c are plastic and
  // those outside it elastic, and the outside moves as the elastic ring
  // c..b under the yield pressure at c.
  const double c = plastic_radius(70.0);
  EXPECT_NEAR(c, 1.442, 0.002);
  for (int e = 1; e <= 20; ++e) {
    if (ring_radius(e) < c - 0.02) {
      EXPECT_TRUE(steps[6].elements.at(e).plastic) << e;
    } else if (ring_radius(e - 1) > c + 0.02) {
      EXPECT_FALSE(steps[6].elements.at(e).plastic) << e;
    }
  }
  EXPECT_NEAR(u(6, 21), hill_outer_u(c), 0.01 * hill_outer_u(c));

  // Collapse at (2/sqrt 3) sigma_y ln(b/a) = 80.04: at 80 the whole ring
  // is plastic and the bore has moved about as far as a fully plastic ring
  // lets it (u(b) b/a with the plastic zone out to b); the step to 81 finds
  // no equilibrium (above).
  const double pc = 2 / std::sqrt(3.0) * kSigY * std::log(kB / kA);
  ASSERT_GT(pc, 80.0);
  ASSERT_LT(pc, 81.0);
  const double u_limit = hill_outer_u(kB) * kB / kA;
  EXPECT_GT(u(16, 1), u_limit);
  EXPECT_LT(u(16, 1), 1.5 * u_limit);
  for (int e = 1; e <= 20; ++e) EXPECT_TRUE(steps[16].elements.at(e).plastic) << e;
}

// Strip footing of half-width 1 on a clay of cohesion 100: the pressure
// under the footing (the reactions of its nodes over the half-width) rises
// with the settlement and levels off at the bearing capacity (2 + pi) c =
// 514.2. The run levels off about 4.5 % above it, as a mesh this coarse (an
// eighth of the half-width per element under the footing) does; the figure
// is taken within 8 %.
TEST(WholeRuns, StripFootingOnClayBearsPrandtlsPressure) {
  DeckRun run(example_deck("footing"), {.memo = 16, .solvlst = {}});
  ASSERT_EQ(run.run_program(), 0);
  const auto steps = output_steps(run.listing());
  ASSERT_EQ(steps.size(), 51u);
  const auto pressure = [&](std::size_t s) {
    double f = 0;
    for (int node = 1; node <= 9; ++node) f -= steps[s].reac.at(node).at(1);
    return f / 1.0;
  };
  const auto settlement = [&](std::size_t s) { return -steps[s].disp.at(3).at(1); };
  EXPECT_NEAR(settlement(0), 0.002, 1e-9);
  EXPECT_NEAR(settlement(50), 0.042, 1e-9);
  // The pressure never falls, and over the last ten steps it rises by less
  // than a tenth of what it rose over the ten steps after the first.
  for (std::size_t s = 1; s < steps.size(); ++s) EXPECT_GE(pressure(s), 0.999 * pressure(s - 1)) << s;
  EXPECT_LT(pressure(50) - pressure(40), 0.1 * (pressure(11) - pressure(1)));
  const double qu = (2 + std::acos(-1.0)) * 100.0;
  EXPECT_GT(pressure(50), qu);
  EXPECT_LT(pressure(50), 1.08 * qu);
  // Well before collapse (first step) the soil carries far less.
  EXPECT_LT(pressure(0), 0.6 * qu);
}

// The strength-reduction factors of a listing, in the order printed, each
// once.
std::vector<double> reduction_factors(const std::vector<std::string>& listing) {
  std::vector<double> out;
  const std::string key = " *** Total Facotr of Safety : ";
  for (const auto& l : listing) {
    if (l.rfind(key, 0) != 0) continue;
    const double f = std::stod(l.substr(key.size(), 7));
    if (out.empty() || out.back() != f) out.push_back(f);
  }
  return out;
}

// Homogeneous slope, 2:1, height 10, firm base at the toe, c' = 10,
// phi' = 20 deg, gamma = 20 (c'/(gamma H) = 0.05): factor of safety 1.4 by
// finite elements and 1.38 from Bishop and Morgenstern's charts (Griffiths
// and Lane 1999, example 1). The deck loads the slope at a factor of 1.2
// and raises it by 0.02 a step: the last factor that stands is the run's
// factor of safety, taken within 5 % of 1.4 (the mesh is coarse).
TEST(WholeRuns, SlopeByStrengthReductionFailsNearItsFactorOfSafety) {
  DeckRun run(example_deck("slope"), {.memo = 16, .solvlst = {}});
  EXPECT_EQ(run.run_program(), 1);
  const auto listing = run.listing();
  EXPECT_TRUE(has_line(run.errors(), "0*** USER FATAL MESSAGE 5021, ITERATION LIMIT EXCEEDED AT INTERVAL     2 STEP    13"));
  const auto factors = reduction_factors(listing);
  const auto steps = output_steps(listing);
  // Every factor from 1.2 has its step; the last one printed found no
  // equilibrium and has none.
  ASSERT_EQ(factors.size(), steps.size() + 1);
  for (std::size_t i = 0; i < factors.size(); ++i) EXPECT_NEAR(factors[i], 1.2 + 0.02 * static_cast<double>(i), 1e-4);
  const double fos = factors[factors.size() - 2];
  EXPECT_NEAR(fos, 1.4, 0.05 * 1.4);
  // The crest's edge moves little while the slope stands well and runs
  // out at the last factors: the last step moves it more than five times
  // the first ten steps together.
  const auto crest = [&](std::size_t s) { return -steps[s].disp.at(1501).at(0); };
  const std::size_t last = steps.size() - 1;
  EXPECT_GT(crest(last) - crest(last - 1), 5.0 * (crest(10) - crest(0)));
  EXPECT_GT(crest(10), crest(0));
}

// The deck with a "SOLVER" card after its identification card.
std::string with_solver(const std::string& deck, const std::string& solver) {
  const auto id = deck.find("Quorvane");
  const auto eol = deck.find('\n', id);
  return deck.substr(0, eol + 1) + solver + "\n" + deck.substr(eol + 1);
}

// A deck's run with a solver card (none: the default method): its steps,
// exit status and error log.
struct MethodRun {
  std::vector<StepOut> steps;
  int status = 0;
  std::vector<std::string> errors;
};
MethodRun run_with(const std::string& deck, const std::string& solver) {
  DeckRun run(solver.empty() ? deck : with_solver(deck, solver), {.memo = 16, .solvlst = {}});
  MethodRun out;
  out.status = run.run_program();
  out.steps = output_steps(run.listing());
  out.errors = run.errors();
  return out;
}

// Every value of a table within tol of the reference's, relative to the
// largest magnitude of the reference table.
void expect_table_near(const std::map<int, std::vector<double>>& got, const std::map<int, std::vector<double>>& want,
                       double tol, const std::string& what) {
  double scale = 0;
  for (const auto& [node, v] : want)
    for (double x : v) scale = std::max(scale, std::abs(x));
  ASSERT_EQ(got.size(), want.size()) << what;
  for (const auto& [node, v] : want) {
    const auto& g = got.at(node);
    ASSERT_EQ(g.size(), v.size()) << what << " node " << node;
    for (std::size_t k = 0; k < v.size(); ++k) EXPECT_NEAR(g[k], v[k], tol * scale) << what << " node " << node;
  }
}

// Both runs end alike and every step's displacements and reactions agree
// within tol of the largest value of the reference's table.
void expect_same_results(const MethodRun& got, const MethodRun& want, double tol, const std::string& what) {
  EXPECT_EQ(got.status, want.status) << what;
  ASSERT_FALSE(want.steps.empty()) << what;
  ASSERT_EQ(got.steps.size(), want.steps.size()) << what;
  for (std::size_t s = 0; s < got.steps.size(); ++s) {
    const std::string step = what + " step " + std::to_string(s + 1);
    expect_table_near(got.steps[s].disp, want.steps[s].disp, tol, step + " disp");
    expect_table_near(got.steps[s].reac, want.steps[s].reac, tol, step + " reac");
  }
}

constexpr const char* kPcg = "SOLVER PCG, 1.0E-10, 20000";
constexpr const char* kSparse = "SOLVER METI";

// The three examples give the same results with each method of solution:
// the profile decomposition (the default, "SDCO"), conjugate gradients
// ("PCG" to 1E-10) and the sparse multifrontal method ("METI"): the same
// steps and exit status, and displacements and reactions within the
// tolerance of each example relative to the largest value of each step's
// table: the printed five digits where the equilibrium iteration converges
// tightly; where it stops as soon as the increments fall within its own
// tolerance (the slope's "PARAM 30,U,1.0E-3"), three times that: methods
// whose solutions differ in their last digits may stop a step one
// iteration apart, and the plastic state carries the difference on to the
// later steps.
TEST(WholeRuns, TheExamplesGiveTheSameResultsWithEveryMethod) {
  const std::pair<std::string, double> examples[] = {{"cylinder", 1e-5}, {"footing", 1e-5}, {"slope", 3e-3}};
  for (const auto& [name, tol] : examples) {
    const MethodRun profile = run_with(example_deck(name), "");
    for (const std::string solver : {kPcg, kSparse})
      expect_same_results(run_with(example_deck(name), solver), profile, tol, name + " " + solver);
  }
}

// The footing on a nearly incompressible clay (nu = 0.495): the incomplete
// factorisation of K meets non-positive pivots, so that conjugate gradients
// preconditioned by it did not converge in the first, elastic step (message
// 1001). With the diagonal shift it reports, PCG solves the run as the
// profile decomposition does.
TEST(WholeRuns, PcgSolvesTheFootingOnANearlyIncompressibleClay) {
  std::string deck = example_deck("footing");
  const std::string nu = "        NU           0.3\n";
  ASSERT_NE(deck.find(nu), std::string::npos);
  deck.replace(deck.find(nu), nu.size(), "        NU         0.495\n");
  const MethodRun profile = run_with(deck, "");
  const MethodRun pcg = run_with(deck, kPcg);
  EXPECT_TRUE(has_line(pcg.errors, "0*** SYSTEM INFORMATION MESSAGE 1002, IC FACTORIZATION MET A NON-POSITIVE PIVOT"));
  EXPECT_FALSE(has_line(pcg.errors, "1001"));
  expect_same_results(pcg, profile, 1e-5, "footing nu 0.495 PCG");
}

}  // namespace
}  // namespace zephsol::test
