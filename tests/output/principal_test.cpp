// The principal stress and strain tables of a step, through OFP1 on element
// states written by the state store: which records each table prints, the
// two line layouts byte for byte, and the printed values against LAPACK's
// eigenvalues of the same tensors with the printed direction angles giving
// unit eigenvectors.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "common/deck.h"
#include "support/stepfix.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/iter/sjis_headings.h"

extern "C" void dsyev_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w,
                       double* work, const int* lwork, int* info, std::size_t, std::size_t);

namespace zephsol::test {
namespace {

constexpr word kHex8 = 1, kQmem4 = 9, kQplan4 = 11;

using Tensor = std::array<double, 6>;  // xx, yy, zz, xy, yz, zx

// Eigenvalues of a symmetric 3 x 3 tensor, ascending.
std::array<double, 3> eigenvalues(const Tensor& t) {
  std::array<double, 9> a{t[0], t[3], t[5], t[3], t[1], t[4], t[5], t[4], t[2]};
  std::array<double, 3> w{};
  std::array<double, 64> work{};
  const int n = 3, lwork = 64;
  int info = 0;
  dsyev_("N", "L", &n, a.data(), &n, w.data(), work.data(), &lwork, &info, 1, 1);
  EXPECT_EQ(info, 0);
  return w;
}

// A printed record: element, point, values.
struct Line {
  int element = 0, point = 0;
  std::vector<double> values;
  std::string text;
};

// The record lines of the listing, in order: 13 values (three principal
// values, shear, nine angles) or 7 (two values, shear, four angles).
std::vector<Line> record_lines(const std::vector<std::string>& listing) {
  static const std::regex spatial(R"([ \d]{6}\d -[ \d]{2}\d {3}([ -]{2}\d\.\d{4}E[+-]\d\d){4}( {2}([ \d-]{4}\d\.\d){3}){3})");
  static const std::regex membrane(
      R"([ \d]{6}\d -[ \d]{2}\d {3}([ -]{2}\d\.\d{4}E[+-]\d\d){2} {12}[ -]{2}\d\.\d{4}E[+-]\d\d {7}( {2}([ \d-]{4}\d\.\d){2}){2})");
  std::vector<Line> out;
  for (const std::string& l : listing) {
    const bool s = std::regex_match(l, spatial), m = !s && std::regex_match(l, membrane);
    if (!s && !m) continue;
    Line r{std::stoi(l.substr(0, 7)), std::stoi(l.substr(9, 3)), {}, l};
    const std::size_t nv = s ? 4 : 2;
    for (std::size_t k = 0; k < nv; ++k) r.values.push_back(std::stod(l.substr(15 + 12 * k, 12)));
    std::size_t p = 15 + 12 * nv;
    if (m) r.values.push_back(std::stod(l.substr(p + 12, 12))), p += 24 + 7;
    const std::size_t groups = s ? 3 : 2, per = s ? 3 : 2;
    for (std::size_t g = 0; g < groups; ++g, p += 2 + 7 * per)
      for (std::size_t k = 0; k < per; ++k) r.values.push_back(std::stod(l.substr(p + 2 + 7 * k, 7)));
    out.push_back(r);
  }
  return out;
}

// Whether the listing holds the title of the principal stress table, and
// of the principal strain table.
std::pair<bool, bool> titles(const std::vector<std::string>& listing) {
  std::pair<bool, bool> n{};
  for (const std::string& l : listing) {
    n.first = n.first || l.find(kSjisTitlePrincipalStress) != std::string::npos;
    n.second = n.second || l.find(kSjisTitlePrincipalStrain) != std::string::npos;
  }
  return n;
}

// Solid 21 with a full stress tensor and a full strain tensor (engineering
// shears, the tensor holds half of each); membrane 22; plane 23; solid 24
// with principal axes along x, y and z.
const Tensor kSolidStress{50, -20, 30, 15, -10, 25};
const Tensor kSolidStrain{1e-3, -4e-4, 2e-4, 3e-4, -1e-4, 5e-4};
const Tensor kSolidStrainTensor{1e-3, -4e-4, 2e-4, 1.5e-4, -0.5e-4, 2.5e-4};
const Tensor kPlaneStress{30, -10, 50, 15, 0, 0};

class PrincipalStep : public StepTest {
 protected:
  void SetUp() override {
    StepTest::SetUp();
    write_nodes({{1, 2}});
    write_uset({64, 64});
    write_columns(UG, {std::vector<double>(2, 0.0)});
    const auto point = [](word at, std::vector<double> s, std::vector<double> e) {
      return [=](word p, EIVWK& w) {
        if (p != at) return;
        std::copy(s.begin(), s.end(), w.vec[0].begin());
        std::copy(e.begin(), e.end(), w.vec[2].begin());
      };
    };
    write_states({
        {21, kHex8, 3, 9, 9,
         point(9, {kSolidStress.begin(), kSolidStress.end()}, {kSolidStrain.begin(), kSolidStrain.end()})},
        {22, kQmem4, 2, 5, 5, point(5, {40, -10, 20}, {1e-4, 0, 0})},
        {23, kQplan4, 5, 5, 5, point(5, {30, -10, 50, 15}, {1e-4, 0, 0, 0})},
        {24, kHex8, 3, 9, 9, point(9, {100, 50, -20, 0, 0, 0}, {1e-4, 0, 0, 0, 0, 0})},
    });
  }
};

TEST_F(PrincipalStep, StressAndStrainTablesOverEveryRecordAgainstEigenvalues) {
  print_requests({"PRSTRESS = ALL", "PRSTRAIN = ALL"});
  output_step(1, 1, 1);
  const std::vector<std::string> l = listing();
  EXPECT_EQ(titles(l), std::make_pair(true, true));
  const std::vector<Line> lines = record_lines(l);
  ASSERT_EQ(lines.size(), 8u);
  std::vector<int> order;
  for (const Line& r : lines) order.push_back(r.element);
  EXPECT_EQ(order, (std::vector<int>{21, 22, 23, 24, 21, 22, 23, 24}));

  // The two layouts, byte for byte.
  EXPECT_EQ(lines[1].text,
            "     22 -  5     4.7016E+01 -1.7016E+01              3.2016E+01            19.3   70.7    109.3   19.3");
  EXPECT_EQ(lines[3].text,
            "     24 -  9     1.0000E+02  5.0000E+01 -2.0000E+01  6.0000E+01      0.0   90.0   90.0     90.0    0.0"
            "   90.0     90.0   90.0    0.0");

  // Principal values of the solid's stresses and strains are the tensors'
  // eigenvalues, and each direction is a unit eigenvector.
  for (const auto& [line, t, shear] : {std::tuple{lines[0], kSolidStress, 0.5}, std::tuple{lines[4], kSolidStrainTensor, 1.0}}) {
    const std::array<double, 3> w = eigenvalues(t);
    const double scale = std::max(std::fabs(w[0]), std::fabs(w[2]));
    SCOPED_TRACE(line.text);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(line.values[k], w[2 - k], 1e-4 * scale);
    EXPECT_NEAR(line.values[3], shear * (w[2] - w[0]), 1e-4 * scale);
    for (std::size_t k = 0; k < 3; ++k) {
      std::array<double, 3> n{};
      for (std::size_t i = 0; i < 3; ++i) n[i] = std::cos(line.values[4 + 3 * k + i] * M_PI / 180.0);
      EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0, 5e-3);
      const double p = line.values[k];
      const std::array<double, 3> r{t[0] * n[0] + t[3] * n[1] + t[5] * n[2] - p * n[0],
                                    t[3] * n[0] + t[1] * n[1] + t[4] * n[2] - p * n[1],
                                    t[5] * n[0] + t[4] * n[1] + t[2] * n[2] - p * n[2]};
      EXPECT_LT(std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]), 5e-3 * scale);
    }
  }
  // The plane element sorted: 50 out of plane, 35 and -15 in plane.
  EXPECT_NEAR(lines[2].values[0], 50, 1e-3);
  EXPECT_NEAR(lines[2].values[1], 35, 1e-3);
  EXPECT_NEAR(lines[2].values[2], -15, 1e-3);
}

TEST_F(PrincipalStep, SecondRequestNarrowsTheStressTable) {
  struct Case {
    const char* what;
    std::vector<std::string> requests;
    std::vector<int> printed;
    std::pair<bool, bool> titles;
    std::vector<double> first_values;  // of the first line, when checked
  };
  const Case cases[] = {
      // The plane element keeps its in-plane values first and last under
      // the second request: 35, the out-of-plane 50, then -15.
      {"all, narrowed to a set", {"SET 3 = 23", "PRSTRESS = ALL", "PRSTRES2 = SET 3"}, {23}, {true, false}, {35, 50, -15}},
      {"a set alone", {"SET 3 = 21, 24", "PRSTRESS = SET 3"}, {21, 24}, {true, false}, {}},
      {"strains only", {"SET 3 = 22", "PRSTRAIN = SET 3"}, {22}, {false, true}, {}},
      {"a set nothing of the step is in", {"SET 3 = 99", "PRSTRESS = SET 3"}, {}, {true, false}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t before = listing().size();
    print_requests(c.requests);
    output_step(1, 1, 1);
    const std::vector<std::string> all = listing();
    const std::vector<std::string> l(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    EXPECT_EQ(titles(l), c.titles);
    const std::vector<Line> lines = record_lines(l);
    std::vector<int> printed;
    for (const Line& r : lines) printed.push_back(r.element);
    EXPECT_EQ(printed, c.printed);
    if (!c.first_values.empty() && !lines.empty()) {
      EXPECT_EQ(std::vector<double>(lines[0].values.begin(), lines[0].values.begin() + 3), c.first_values);
    }
  }
}

// Principal strains of whole runs: one HEX8 cube and one QMEM4 square under
// prescribed nodal movements u = eps x (eps the strain tensor, half the
// engineering shears off the diagonal), so that every point has the strains
// given. The printed table and the result-file vectors (largest, smallest,
// largest shear p1 - p3) give the eigenvalues of the strain tensor, and the
// printed directions are its eigenvectors.
struct StrainRun {
  const char* type;
  Tensor strains;  // xx, yy, zz and the engineering shears xy, yz, zx
  std::array<double, 3> want;  // the tensor's eigenvalues, descending (by hand)
  int first_vector;  // result-file vector of the largest value
};

std::string field(double v) {
  std::ostringstream s;
  s.precision(6);
  s << v;
  return s.str();
}

std::string strain_deck(const StrainRun& r, const Tensor& eps) {
  const bool solid = std::string(r.type) == "HEX8";
  const std::vector<std::array<double, 3>> nodes =
      solid ? std::vector<std::array<double, 3>>{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                                 {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}
            : std::vector<std::array<double, 3>>{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  std::string b = "ELEMENT\n" + card({"1", r.type}) + "\nMATERIAL\n" + card({"1", "0"}) + "\n" + card({"", "E", "1.0E+4"}) +
                  "\n" + card({"", "NU", "0.3"}) + "\n";
  if (!solid) b += "PROPERTY\n" + card({"1", "1", "0.5"}) + "\n";
  b += "NODE\n";
  for (std::size_t i = 0; i < nodes.size(); ++i)
    b += card({std::to_string(i + 1), "", field(nodes[i][0]), field(nodes[i][1]), field(nodes[i][2])}) + "\n";
  b += "CONNECTI\n" + card({"1", "1", solid ? "" : "1", "1", "1", "2", "3", "4", solid ? "5" : "", solid ? "6" : ""}) + "\n";
  if (solid) b += card({"", "7", "8"}) + "\n";
  b += "DISP\n" + card({"1"}) + "\n";
  const double m[3][3] = {{eps[0], eps[3], eps[5]}, {eps[3], eps[1], eps[4]}, {eps[5], eps[4], eps[2]}};
  const std::size_t moving = solid ? 3 : 2;
  for (std::size_t i = 0; i < nodes.size(); ++i)
    for (std::size_t c = 0; c < moving; ++c) {
      const double u = m[c][0] * nodes[i][0] + m[c][1] * nodes[i][1] + m[c][2] * nodes[i][2];
      const std::string n = std::to_string(i + 1), comp = std::to_string(c + 1);
      b += card({"", n, n, "1", "", comp, comp, field(u)}) + "\n";
    }
  if (!solid) b += "CONST\n" + card({"", "1", "4", "1", "", "3", "3"}) + "\n";
  b += "HISTORY\n" + card({"INTERVAL", "1"}) + "\n" + card({"", "DISP", "1", "1.0"}) + "\n";
  return bulk_deck(b, "OUTPUT\nPRSTRAIN = ALL\nNOUTPUT\nOTIM 1 = 1\nSET 1 = ALL\n");
}

TEST(PrincipalStrainRuns, ValuesAndDirectionsOfTheStrainTensor) {
  const StrainRun runs[] = {
      {"HEX8", {1e-3, -5e-4, -2e-3, 1e-3, 5e-4, 3e-4}, {1.1662e-3, -6.2405e-4, -2.0422e-3}, 60056},
      // (1 +- sqrt 2) / 2 E-03, the first direction at 22.5 degrees to x.
      {"QMEM4", {1e-3, 0, 0, 1e-3, 0, 0}, {1.20711e-3, 0.0, -2.0711e-4}, 7071},
  };
  for (const StrainRun& r : runs) {
    SCOPED_TRACE(r.type);
    const Tensor eps{r.strains[0], r.strains[1], r.strains[2], r.strains[3] / 2, r.strains[4] / 2, r.strains[5] / 2};
    DeckRun run(strain_deck(r, eps));
    ASSERT_EQ(run.run_program(), 0) << run.text(kErrorFile);
    const std::vector<Line> lines = record_lines(run.listing());
    ASSERT_EQ(lines.size(), 1u);
    const Line& l = lines[0];
    const bool solid = l.values.size() == 13;
    const std::array<double, 3> w = eigenvalues(eps);
    const std::vector<double> printed =
        solid ? std::vector<double>{l.values[0], l.values[1], l.values[2]} : std::vector<double>{l.values[0], 0.0, l.values[1]};
    for (std::size_t k = 0; k < 3; ++k) {
      EXPECT_NEAR(printed[k], r.want[k], 1e-7) << "value " << k + 1;
      EXPECT_NEAR(printed[k], w[2 - k], 1e-7) << "value " << k + 1;
    }
    const double shear = r.want[0] - r.want[2];
    EXPECT_NEAR(l.values[solid ? 3 : 2], shear, 1e-7);
    if (solid) {
      for (std::size_t k = 0; k < 3; ++k) {
        std::array<double, 3> n{};
        for (std::size_t i = 0; i < 3; ++i) n[i] = std::cos(l.values[4 + 3 * k + i] * M_PI / 180.0);
        const double p = l.values[k];
        for (std::size_t i = 0; i < 3; ++i) {
          const std::size_t a = i == 0 ? 0 : i == 1 ? 3 : 5, b = i == 0 ? 3 : i == 1 ? 1 : 4, c = i == 0 ? 5 : i == 1 ? 4 : 2;
          EXPECT_NEAR(eps[a] * n[0] + eps[b] * n[1] + eps[c] * n[2], p * n[i], 5e-3 * std::abs(r.want[2])) << "direction " << k + 1;
        }
      }
    } else {
      EXPECT_NEAR(l.values[3], 22.5, 0.05);
      EXPECT_NEAR(l.values[4], 67.5, 0.05);
    }
    // The result file: the largest and smallest principal strain and the
    // largest shear strain of the element.
    const PostFile post = read_post(run.lines(kResultFile));
    EXPECT_TRUE(post.errors.empty()) << post.errors.front();
    ASSERT_EQ(post.steps.size(), 1u);
    const std::array<std::pair<int, double>, 3> vectors{
        {{r.first_vector, r.want[0]}, {r.first_vector + 1, r.want[2]}, {r.first_vector + (solid ? 3 : 5), shear}}};
    for (const auto& [id, want] : vectors) {
      const PostVector* v = post.steps[0].vector(id);
      ASSERT_NE(v, nullptr) << id;
      ASSERT_EQ(v->values.size(), 1u) << id;
      EXPECT_NEAR(v->values[0].second, want, 1e-7) << id;
    }
  }
}

}  // namespace
}  // namespace zephsol::test
