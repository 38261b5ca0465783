// The element matrix generation module end to end on data blocks written
// through the file system: three unit-cube HEX8 elements of one elastic
// material, each on equations of its own; element 1 excluded (with a body
// force that must not reach the vectors), element 2 heated uniformly,
// element 3 under its own weight and a pressure on its top face.
//
// Independent values: the unit cube's stiffness term K(1,1) = 0.2136752137 E
// (nu = 0.3); K annihilates rigid translations; a uniform temperature rise T
// gives each corner sigma0 A/4 outward per axis, sigma0 = E alpha T /
// (1 - 2 nu); the weight gives each node gamma V / 8; a pressure p on a face
// gives each of its nodes p A / 4 pushing into the element.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "support/dbfix.h"
#include "common/fatal.h"
#include "zephsol/dbio/directory.h"
#include "common/testing.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/emg.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/packed.h"
#include "zephsol/exec/records.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {
namespace {

using test::Record;

constexpr float kE = 1000.0f, kNu = 0.3f, kGamma = 2.0f, kAlpha = 1.0e-3f, kRise = 10.0f, kPressure = 3.0f;
constexpr int kElements = 3, kDofs = 24, kRows = kElements * kDofs, kTerms = kDofs * (kDofs + 1) / 2;
constexpr word kTopFace = 2;  // nodes 5-8, the face z = 1 of the cube

word real(float v) { return std::bit_cast<word>(v); }

// Element e (1-3): the unit cube at x = 2(e - 1), node k at the corner given
// by the bits of k - 1 (x, y, z), its DOFs on equations 24(e - 1) + 1 on.
Record est_record(int e) {
  Record r{500 + e, (1 << 24) + 1, 10, 1, 3, 9, 9, 0, 24, 8};
  for (int k = 0; k < 8; ++k) {
    r.push_back(real(static_cast<float>(2 * (e - 1) + (k & 1))));
    r.push_back(real(static_cast<float>((k >> 1) & 1)));
    r.push_back(real(static_cast<float>((k >> 2) & 1)));
  }
  for (int k = 0; k < 8; ++k) r.push_back((kDofs * (e - 1) + 3 * k + 1) * 1024 + 3);
  return r;
}

// Equation of component s (0-2) of node k (1-8) of element e.
std::size_t equation(int e, int k, int s) { return static_cast<std::size_t>(kDofs * (e - 1) + 3 * (k - 1) + s); }

Record material_record() {
  Record m(30, 0);
  m[0] = 29;  // entry length
  m[1] = 10;  // material ID
  m[3] = 1;
  m[mw::E] = real(kE);
  m[mw::NU] = real(kNu);
  m[mw::GAMM] = real(kGamma);
  m[mw::ALPHA] = real(kAlpha);
  return m;
}

const Record kWeight{7, 4, 0, real(0.0f), real(0.0f), real(-1.0f)};
const Record kTopPressure{2, 5, kTopFace, real(kPressure), real(kPressure), real(kPressure), real(kPressure)};

// [L, entries, the entries], L the words after the first; [0] without entries.
Record load_record(const std::vector<Record>& entries) {
  if (entries.empty()) return {0};
  Record r{0, static_cast<word>(entries.size())};
  for (const Record& e : entries) r.insert(r.end(), e.begin(), e.end());
  r[0] = static_cast<word>(r.size() - 1);
  return r;
}

Record temperature_record(float t) {
  Record r{9, 8 * 16 + 1};
  for (int k = 0; k < 8; ++k) r.push_back(real(t));
  return r;
}

// A state record of fresh points; inactive: the element was excluded before.
Record state_record(int e, word inactive) {
  Record r{500 + e, 1, 3, 9, 9, inactive};
  for (word p = 1; p <= 9; ++p) {
    r.push_back(p);
    r.insert(r.end(), 20, 0);
  }
  return r;
}

std::size_t longest(const std::vector<Record>& records) {
  std::size_t n = 0;
  for (const Record& r : records) n = std::max(n, r.size());
  return n;
}

void write_per_element(word file, const std::vector<Record>& records) {
  const auto count = static_cast<word>(records.size()), words = static_cast<word>(longest(records));
  test::write_records(file, records, {count, words, 0, 1, 0, 0});
}

std::vector<double> initial_loads() {
  std::vector<double> v(kRows);
  for (int i = 0; i < kRows; ++i) v[static_cast<std::size_t>(i)] = static_cast<float>(0.01 * (i + 1));
  return v;
}

class Emg : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_elem_state();
    reset_matl_state();
    elem_state().tables.etyp.count = 1;
    elem_state().tables.etyp.entry[0] = {100, 1};
    std::vector<Record> est;
    for (int e = 1; e <= kElements; ++e) est.push_back(est_record(e));
    write_per_element(EST, est);
    const Record m = material_record();
    test::write_records(MATD, {m}, {1, static_cast<word>(m.size()), 0, 0, 0, 0});
    test::write_records(XCLD, {{1}}, {1, 0, 0, 0, 0, 0});
    write_per_element(ENTD, {{0}, temperature_record(kRise), {0}});
    write_per_element(EPD, {load_record({kWeight}), {0}, load_record({kWeight, kTopPressure})});
    test::write_column(DPG0, initial_loads(), kRealSingle);
  }

  static void pass(word interval, word step, word iteration) {
    STPCTR& s = stpctr();
    s.NINTVL = interval;
    s.NSTEP = step;
    s.NITER = iteration;
  }

  // MODE 1 as the main program runs it at a step, in the first pass (no states).
  static void step_run() {
    pass(1, 1, 0);
    EMG(EST, MATD, EIV0, DPG0, ENTD, EPD, XCLD, ESK, DPG, DPGM, 1);
  }

  testing::FreshFileSystem fs{1, 65};
};

// The weight and top pressure of element 3.
std::vector<double> applied_loads() {
  std::vector<double> v(kRows, 0.0);
  for (int k = 1; k <= 8; ++k) v[equation(3, k, 2)] -= kGamma * 1.0 / 8;
  for (int k = 5; k <= 8; ++k) v[equation(3, k, 2)] -= kPressure * 1.0 / 4;
  return v;
}

// The free expansion of element 2: sigma0 A / 4 outward at every corner.
std::vector<double> thermal_loads() {
  const double sigma0 = double{kE} * kAlpha * kRise / (1.0 - 2.0 * kNu);
  std::vector<double> v(kRows, 0.0);
  for (int k = 1; k <= 8; ++k)
    for (int s = 0; s < 3; ++s) v[equation(2, k, s)] = (((k - 1) >> s) & 1 ? 1.0 : -1.0) * sigma0 / 4;
  return v;
}

void expect_vector(const std::vector<double>& got, const std::vector<double>& want, const char* what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t i = 0; i < got.size(); ++i)
    EXPECT_NEAR(got[i], want[i], 1e-4 * (1.0 + std::abs(want[i]))) << what << " row " << i + 1;
}

std::vector<double> stiffness_terms(const Record& r) {
  std::vector<double> k(static_cast<std::size_t>(r[0]));
  std::memcpy(k.data(), r.data() + 1, k.size() * sizeof(double));
  return k;
}

TEST_F(Emg, StepWritesTheStiffnessAndBothLoadVectors) {
  step_run();

  // ESK: [0] for the excluded element, [300, 300 doubles] for the others.
  const std::vector<Record> esk = test::read_records(ESK);
  ASSERT_EQ(esk.size(), 3u);
  EXPECT_EQ(esk[0], (Record{0}));
  EXPECT_EQ(test::header_of(ESK), (std::array<word, 6>{3, kTerms, 0, 0, 0, 0}));
  for (int e = 2; e <= 3; ++e) {
    const Record& r = esk[static_cast<std::size_t>(e - 1)];
    ASSERT_EQ(r.size(), 1u + 2 * kTerms);
    const std::vector<double> k = stiffness_terms(r);
    EXPECT_NEAR(k[0], 0.2136752137 * kE, 1e-5 * kE) << "element " << e;
    // A rigid translation along each axis meets no force.
    for (int s = 0; s < 3; ++s)
      for (int i = 1; i <= kDofs; ++i) {
        double f = 0.0;
        for (int node = 0; node < 8; ++node) f += k[packed_index(i, 3 * node + s + 1, kDofs)];
        EXPECT_NEAR(f, 0.0, 1e-9 * kE) << "element " << e << " row " << i << " axis " << s;
      }
  }

  // DPGM = DPG0 + applied loads; DPG adds the thermal loads.
  const std::vector<double> v0 = initial_loads(), p = applied_loads(), t = thermal_loads();
  std::vector<double> dpgm(kRows), dpg(kRows);
  for (std::size_t i = 0; i < dpg.size(); ++i) {
    dpgm[i] = v0[i] + p[i];
    dpg[i] = dpgm[i] + t[i];
  }
  expect_vector(test::read_column(DPGM), dpgm, "DPGM");
  expect_vector(test::read_column(DPG), dpg, "DPG");
  for (word v : {DPG, DPGM}) {
    const auto h = test::header_of(v);
    EXPECT_EQ(h[0], 1);
    EXPECT_EQ(h[1], kRows);
    EXPECT_EQ(h[2], kRectangular);
    EXPECT_EQ(h[3], sysw().IPREC);
  }

  // The excluded element's weight is reported once, on both units.
  const std::string warning =
      "0*** USER WARNING MESSAGE 1301,      1 INACTIVE ELEMENTS  ARE ENDOWED WITH ELEMENT DISTRIBUTED LOADS.\n";
  EXPECT_NE(fs.read("listing").find(warning), std::string::npos);
  EXPECT_EQ(fs.read("errors"), warning);
  EXPECT_EQ(sysw().IWRNFL, 1);
}

TEST_F(Emg, StiffnessOnlyReadsNoLoadsOrTemperatures) {
  step_run();
  const std::vector<Record> esk = test::read_records(ESK);
  pass(1, 1, 1);
  write_per_element(EIV0, {state_record(1, 1), state_record(2, 0), state_record(3, 0)});
  sysw().IWRNFL = 0;
  // The load and temperature blocks given all the same: none of them is read,
  // no vector is written.
  EMG(EST, MATD, EIV0, DPG0, ENTD, EPD, XCLD, ESK, S301, S302, 0);
  EXPECT_EQ(test::read_records(ESK), esk);
  EXPECT_EQ(test::header_of(S301), (std::array<word, 6>{}));
  EXPECT_EQ(test::header_of(S302), (std::array<word, 6>{}));
  EXPECT_EQ(sysw().IWRNFL, 0);
}

TEST_F(Emg, ExcavationSubtractsOnlyTheNewlyExcludedElementsLoads) {
  pass(2, 1, 0);
  // Element 1 was excluded before, element 2 is excluded now; all carry weight.
  write_per_element(EIV0, {state_record(1, 1), state_record(2, 0), state_record(3, 0)});
  write_per_element(EPX, {load_record({kWeight}), load_record({kWeight}), load_record({kWeight})});
  test::write_records(XCLD, {{1, 2}}, {2, 0, 0, 0, 0, 0});
  test::write_column(PGM, initial_loads());
  EMG(EST, MATD, EIV0, PGM, 0, EPX, XCLD, 0, 0, PGM, -1);
  std::vector<double> want = initial_loads();
  for (int k = 1; k <= 8; ++k) want[equation(2, k, 2)] += kGamma * 1.0 / 8;
  expect_vector(test::read_column(PGM), want, "PGM");
  EXPECT_EQ(test::header_of(ESK), (std::array<word, 6>{}));
  EXPECT_EQ(fs.read("errors"), "");
}

TEST_F(Emg, DiagnosticSwitch54PrintsEveryElementStiffness) {
  DIAGST(54, 1);
  pass(1, 1, 0);
  EMG(EST, MATD, 0, 0, 0, 0, XCLD, ESK, 0, 0, 0);
  const std::string listing = fs.read("listing");
  std::vector<std::string> lines;
  for (std::size_t a = 0, b; (b = listing.find('\n', a)) != std::string::npos; a = b + 1)
    lines.push_back(listing.substr(a, b - a));
  const auto count = [&](const std::string& prefix) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  };
  const auto find = [&](const std::string& prefix) {
    return std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  };
  EXPECT_EQ(count("0/// DIAG.54 /// ELEMENT STIFFNESS, IEXN,IECOD =   502     1"), 1);
  EXPECT_EQ(count("0/// DIAG.54 /// ELEMENT STIFFNESS, IEXN,IECOD =   503     1"), 1);
  EXPECT_GE(count("0    MATRIX ESK               SYMMETRIC TYPE     THE NUMBER OF ROWS AND COLUMNS   24"), 2);
  // Blocks of columns 1-10, 11-20 and 21-24 show rows 1-10, 1-20 and 1-24.
  EXPECT_EQ(count("  ROW "), 2 * (10 + 20 + 24));
  EXPECT_GE(count("0     COLUMN    1           2           3"), 2);
  EXPECT_GE(count("0     COLUMN   21          22          23          24"), 2);
  // Every row line follows row lines or a column line, also after a new
  // page, where the heading and the column line are repeated.
  for (auto l = lines.begin(); l != lines.end(); ++l)
    if (l->rfind("  ROW ", 0) == 0) {
      const auto above = std::prev(l);
      EXPECT_TRUE(above->rfind("  ROW ", 0) == 0 || above->rfind("0     COLUMN", 0) == 0) << *l;
      if (above->rfind("0     COLUMN", 0) == 0) {
        const std::string& before = *std::prev(above);
        EXPECT_TRUE(before.rfind("  ROW ", 0) == 0 || before.rfind("0    MATRIX ESK", 0) == 0) << before;
      }
    }
  const auto row1 = find("  ROW   1");
  ASSERT_NE(row1, lines.end());
  EXPECT_EQ(row1->substr(0, 22), "  ROW   1   2.1368E+02");
  EXPECT_EQ(row1->size(), 9u + 1 + 10 * 12);
  // Row 15 of the second block starts at column 15: four columns indented.
  const auto block2 = find("0     COLUMN   11");
  ASSERT_NE(block2, lines.end());
  const auto row15 =
      std::find_if(block2, lines.end(), [](const std::string& l) { return l.rfind("  ROW  15", 0) == 0; });
  ASSERT_NE(row15, lines.end());
  EXPECT_EQ(row15->find_first_not_of(' ', 9), 9u + 1 + 4 * 12 + 2);
  EXPECT_EQ(row15->size(), 9u + 1 + 4 * 12 + 6 * 12);
}

TEST_F(Emg, NoStateRecordsOutsideTheFirstPassEndTheRun) {
  for (const std::array<word, 3>& p : {std::array<word, 3>{1, 1, 1}, {1, 2, 0}, {2, 1, 0}}) {
    const std::string log = test::fatal_log([&] {
      pass(p[0], p[1], p[2]);
      EMG(EST, MATD, EIV0, 0, 0, 0, XCLD, ESK, 0, 0, 0);
    });
    EXPECT_TRUE(test::has_message(log, 10)) << p[0] << p[1] << p[2] << "\n" << log;
    EXPECT_NE(log.find("EIV0"), std::string::npos) << log;
  }
}

TEST_F(Emg, RecordsThatDisagreeWithTheirBlocksEndTheRun) {
  struct Case {
    const char* what;
    word code;
    const char* name;
  };
  const Case cases[] = {{"load record longer than the header says", 3825, "EPD "},
                        {"temperatures of two elements only", 2, "ENTD"}};
  for (const Case& c : cases) {
    const std::string log = test::fatal_log([&] {
      if (c.code == 3825)
        HDRPUT(EPD, std::array<word, 6>{3, 5, 0, 1, 0, 0});
      else
        write_per_element(ENTD, {{0}, temperature_record(kRise)});
      step_run();
    });
    EXPECT_TRUE(test::has_message(log, c.code)) << c.what << "\n" << log;
    EXPECT_NE(log.find(c.name), std::string::npos) << c.what << "\n" << log;
  }
}

TEST_F(Emg, ShortOpenCoreEndsTheRun) {
  struct Case {
    const char* what;
    word rows, excluded;
  };
  // Vectors of 200,000 rows do not fit in a megabyte of open core; a list of
  // 260,000 excluded elements no longer fits once the material table is in.
  for (const Case& c : {Case{"load vectors", 200000, 1}, Case{"excluded list", kRows, 260000}}) {
    HDRPUT(DPG0, std::array<word, 6>{1, c.rows, 2, 1, 0, 0});
    HDRPUT(XCLD, std::array<word, 6>{c.excluded, 0, 0, 0, 0, 0});
    const std::string log = test::fatal_log([] { step_run(); });
    EXPECT_TRUE(test::has_message(log, 3)) << c.what << "\n" << log;
  }
}

}  // namespace
}  // namespace zephsol
