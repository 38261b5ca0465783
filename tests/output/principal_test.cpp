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
#include <string>
#include <tuple>
#include <vector>

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

// Solid 21 with a full stress tensor and a full strain tensor; membrane 22;
// plane 23; solid 24 with principal axes along x, y and z.
const Tensor kSolidStress{50, -20, 30, 15, -10, 25};
const Tensor kSolidStrain{1e-3, -4e-4, 2e-4, 3e-4, -1e-4, 5e-4};
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
  for (const auto& [line, t, shear] : {std::tuple{lines[0], kSolidStress, 0.5}, std::tuple{lines[4], kSolidStrain, 1.0}}) {
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

}  // namespace
}  // namespace zephsol::test
