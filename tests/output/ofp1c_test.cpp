// The element output of a step: element state records written through the
// state store, then OFP1 (or the element walk alone, to read its scratch
// records). Checked: the printed stress lines byte for byte, the element
// vectors against hand values (uniaxial, plane with shear, shell surfaces,
// joint), the order of the vectors for each kind of model, the group of
// active elements, and the principal-value and element-force records.
#include "zephsol/output/elemout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "support/stepfix.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/ofprqp.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/output/output_records.h"

namespace zephsol::test {
namespace {

// Type codes and classes of the fixture's elements.
constexpr word kHex8 = 1, kBeam2 = 5, kQfla4 = 7, kQplan4 = 11, kJoint4 = 14;

std::vector<int> ids(std::initializer_list<std::pair<int, int>> ranges) {
  std::vector<int> v;
  for (const auto& [a, b] : ranges)
    for (int i = a; i <= b; ++i) v.push_back(i);
  return v;
}

std::vector<int> cat(std::initializer_list<std::vector<int>> parts) {
  std::vector<int> v;
  for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
  return v;
}

// Values of a vector as (element, value) pairs.
using Values = std::vector<std::pair<int, double>>;

void expect_values(const PostVector* v, const Values& want, double rel = 1e-6) {
  ASSERT_NE(v, nullptr);
  ASSERT_EQ(v->values.size(), want.size()) << v->title;
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(v->values[i].first, want[i].first) << v->title;
    EXPECT_NEAR(v->values[i].second, want[i].second, rel * std::max(1.0, std::fabs(want[i].second))) << v->title;
  }
}

// Point fillers.
void stress(EIVWK& w, std::initializer_list<double> s) { std::copy(s.begin(), s.end(), w.vec[0].begin()); }
void total_strain(EIVWK& w, std::initializer_list<double> e) { std::copy(e.begin(), e.end(), w.vec[2].begin()); }
void safety(EIVWK& w, double f) {
  w.sw[0] = 1;
  w.blk.b1.v[4] = f;
}

class ElementStep : public StepTest {
 protected:
  void SetUp() override {
    StepTest::SetUp();
    write_nodes({{1, 2}, {2, 2}});
    write_uset({64, 64, 64, 64});
    write_columns(UG, {std::vector<double>(4, 0.0)});
  }

  // HEX8 101 under uniaxial 100 (point 9), QPLAN4 102 under (30, -10, 5,
  // 15) with a thermal strain (point 5), BEAM2 103 with end forces, QFLA4
  // 104 (points 45 and 5), JOINT4 105 in stick (point 2), and an inactive
  // HEX8 106 between them.
  void mixed_model() {
    write_states({
        {101, kHex8, 3, 9, 9,
         [](word p, EIVWK& w) {
           if (p != 9) return;
           stress(w, {100, 0, 0, 0, 0, 0});
           w.vec[1] = {1e-3, -3e-4, -3e-4, 0, 0, 0};
           total_strain(w, {1e-3, -3e-4, -3e-4, 0, 0, 0});
           safety(w, 1.5);
         }},
        {106, kHex8, 3, 9, 9, [](word, EIVWK& w) { stress(w, {7, 7, 7, 0, 0, 0}); }, 1},
        {102, kQplan4, 5, 5, 5,
         [](word p, EIVWK& w) {
           if (p != 5) return;
           stress(w, {30, -10, 5, 15});
           w.vec[1] = {2e-4, -1e-4, 0, 3e-4};
           total_strain(w, {3e-4, 0, 0, 3e-4});
           safety(w, 2.0);
           w.sw[2] = 1;
           w.blk.b3.s = 20.0;
           w.blk.b3.v = {1e-4, 1e-4, 0, 0};
         }},
        {103, kBeam2, 6, 1, 1,
         [](word, EIVWK& w) {
           stress(w, {50, 0, 0});
           w.sw[7] = 1;
           for (int k = 0; k < 13; ++k) w.blk.b8.v[static_cast<std::size_t>(k)] = k + 1;  // r1..r13 = 1..13
           w.vec[2][5] = 0.25;                                                              // curvature
           w.sw[9] = w.sw[10] = 1;
           w.blk.b10.v[0] = 0.5;
           w.blk.b10.v[1] = 0.75;
           w.blk.b11.iv[0] = 2;
         }},
        {104, kQfla4, 7, 45, 25,
         [](word p, EIVWK& w) {
           if (p == 45) {
             stress(w, {10, 0, 0, 0, 0});
             safety(w, 3.0);
           } else if (p == 5) {
             stress(w, {-20, 0, 5, 0, 0});
             safety(w, 0.8);
             w.sw[7] = 1;
             for (int k = 0; k < 13; ++k) w.blk.b8.v[static_cast<std::size_t>(k)] = 10 * (k + 1);
           }
         }},
        {105, kJoint4, 10, 3, 2,
         [](word p, EIVWK& w) {
           if (p != 2) return;
           stress(w, {1.5, -2.5, 0.5});
           total_strain(w, {1e-4, 2e-4, 3e-4});
           w.sw[10] = 1;
           w.blk.b11.iv[0] = 2;
         }},
    });
  }

  // The stress line that begins with the element and point given, and the
  // strain lines after it.
  std::vector<std::string> lines_of(const std::string& lead) const {
    const std::vector<std::string> l = listing();
    const auto strain = [](const std::string& line) {
      static const std::string labels[] = {"E.STRAIN", "P.STRAIN", "T.STRAIN", "  STRAIN", "   DISP."};
      return line.size() > 22 && line.rfind(std::string(14, ' '), 0) == 0 &&
             std::find(std::begin(labels), std::end(labels), line.substr(14, 8)) != std::end(labels);
    };
    std::vector<std::string> out;
    for (std::size_t i = 0; i < l.size(); ++i)
      if (l[i].rfind(lead, 0) == 0)
        for (std::size_t k = i; k < l.size() && (k == i || strain(l[k])); ++k) out.push_back(l[k]);
    return out;
  }
};

TEST_F(ElementStep, MixedModelPrintedAndWrittenAgainstHandValues) {
  mixed_model();
  print_requests({"STRE = ALL"});
  post_requests({"OTIM 1 = 1", "SET 1 = ALL"});
  output_step(1, 1, 1);
  const PostFile f = post();
  ASSERT_TRUE(f.errors.empty()) << f.errors.front();
  const PostStep& s = f.steps.at(0);
  EXPECT_EQ(s.elements, (std::vector<int>{101, 102, 103, 104, 105}));

  // Solid variant without factor; shell surfaces; the printed joint; thermal.
  const std::vector<int> shell_words = cat({ids({{7033, 7033}, {7026, 7027}, {7031, 7031}, {7020, 7025}}),
                                            ids({{7065, 7070}, {7029, 7029}, {7071, 7072}, {7076, 7076}}),
                                            ids({{7126, 7127}})});
  std::vector<int> lower = shell_words;
  for (int& id : lower) id += 400;
  const std::vector<int> want = cat({ids({{1, 3}, {52, 54}, {56, 58}}),
                                     ids({{60031, 60031}, {60016, 60017}, {60028, 60028}, {60010, 60015}}),
                                     ids({{60050, 60055}, {81001, 81001}, {60148, 60148}, {60056, 60057}}),
                                     ids({{60059, 60059}, {60116, 60117}, {81007, 81007}}), shell_words, lower,
                                     ids({{81003, 81003}, {5301, 5303}, {5401, 5403}, {60202, 60207}}),
                                     // the force vectors of the beam and the shell
                                     {3022, 3018, 3019, 3024, 3015, 3014, 3023, 3020, 3021, 3025, 3017, 3016},
                                     ids({{5001, 5003}, {7006, 7008}, {7011, 7015}}),
                                     ids({{81000, 81000}})});  // the material vector last
  EXPECT_EQ(s.vector_ids(), want);

  // Block 1: the solid and the plane element (shells and unset safety factors left out).
  const double vm_plane = std::sqrt(0.5 * (40 * 40 + 15 * 15 + 25 * 25) + 3 * 15 * 15);
  expect_values(s.vector(60031), {{101, 100}, {102, vm_plane}});
  expect_values(s.vector(60016), {{101, 100}, {102, 35}});
  expect_values(s.vector(60017), {{101, 0}, {102, -15}});
  expect_values(s.vector(60028), {{101, 50}, {102, 25}});
  expect_values(s.vector(60148), {{101, 0}, {102, 0.5 * std::atan2(30.0, 40.0) * 180 / M_PI}}, 1e-5);
  expect_values(s.vector(60116), {{101, 100}, {102, 35}});
  expect_values(s.vector(60117), {{101, 0}, {102, 15}});
  expect_values(s.vector(60012), {{101, 0}, {102, 5}});
  expect_values(s.vector(60013), {{101, 0}, {102, 15}});
  expect_values(s.vector(60056), {{101, 1e-3}, {102, 1.5e-4 + std::sqrt(1.5e-4 * 1.5e-4 + 1.5e-4 * 1.5e-4)}});
  expect_values(s.vector(60057), {{101, -3e-4}, {102, 1.5e-4 - std::sqrt(1.5e-4 * 1.5e-4 + 1.5e-4 * 1.5e-4)}}, 1e-5);
  expect_values(s.vector(60059), {{101, 1.3e-3}, {102, std::sqrt(2.0) * 3e-4}}, 1e-5);
  // The safety factor covers the shell (its lower surface point) as well.
  expect_values(s.vector(81001), {{101, 1.5}, {102, 2.0}, {104, 0.8}});
  const PostVector& vm = *s.vector(60031);
  EXPECT_EQ(vm.title, "Solid Von Mises Stress   ");
  EXPECT_EQ(vm.out_type, 4);
  EXPECT_EQ(vm.flags, "1,0,1,");
  EXPECT_EQ(vm.min_id, 102);
  EXPECT_EQ(vm.max_id, 101);
  EXPECT_EQ(s.vector(60010)->flags, "0,0,1,");
  EXPECT_EQ(s.vector(60056)->out_type, 5);

  // Shell surfaces: upper point 45 uniaxial 10; lower point 5 (-20, 0, 5).
  const double r = std::sqrt(100.0 + 25.0);
  expect_values(s.vector(7033), {{104, 10}});
  expect_values(s.vector(7026), {{104, 10}});
  expect_values(s.vector(7433), {{104, std::sqrt(475.0)}});
  expect_values(s.vector(7426), {{104, -10 + r}});
  expect_values(s.vector(7427), {{104, -10 - r}});
  expect_values(s.vector(7431), {{104, r}});
  EXPECT_EQ(s.vector(7433)->title, "Lower Von Mises Stress   ");

  // The joint: status code 1 for the stick state, stresses and displacements.
  const PostVector& status = *s.vector(81003);
  EXPECT_EQ(status.lines[2], "  0.000000E+00,  0.000000E+00,  0.000000E+00,");
  EXPECT_EQ(status.lines[5], "     0,     0,     0,     8,");
  EXPECT_EQ(status.lines[7], "     105,             1,");
  expect_values(s.vector(5302), {{105, -2.5}});
  expect_values(s.vector(5403), {{105, 3e-4}});

  // Thermal strains of the printed plane point.
  expect_values(s.vector(60202), {{102, 1e-4}});
  expect_values(s.vector(60204), {{102, 0}});

  // The printed lines, byte for byte.
  EXPECT_EQ(lines_of("    101 -  9"),
            (std::vector<std::string>{
                "    101 -  9    STRESS   1.0000E+02  0.0000E+00  0.0000E+00  0.0000E+00  0.0000E+00  0.0000E+00"
                "    1.0000E+02     1.500",
                "                STRAIN   1.0000E-03 -3.0000E-04 -3.0000E-04  0.0000E+00  0.0000E+00  0.0000E+00"}));
  const std::string gap(26, ' ');
  EXPECT_EQ(lines_of("    102 -  5"),
            (std::vector<std::string>{
                "    102 -  5    STRESS   3.0000E+01 -1.0000E+01  5.0000E+00  1.5000E+01" + gap + "  4.3589E+01     2.000",
                "              E.STRAIN   2.0000E-04 -1.0000E-04  0.0000E+00  3.0000E-04",
                "              T.STRAIN   1.0000E-04  1.0000E-04  0.0000E+00  0.0000E+00" + gap + std::string(34, ' ') +
                    "    20.000",
                "                STRAIN   3.0000E-04  0.0000E+00  0.0000E+00  3.0000E-04"}));
  EXPECT_EQ(lines_of("    105 -  2"),
            (std::vector<std::string>{"    105 -  2    STRESS   1.5000E+00 -2.5000E+00  5.0000E-01    CLOSE,  FRICTIONAL  ",
                                      "                 DISP.   1.0000E-04  2.0000E-04  3.0000E-04"}));
  // The shell at its default points, von Mises alone; the beam and the inactive element not at all.
  const std::vector<std::string> shell = lines_of("    104 - 45");
  ASSERT_FALSE(shell.empty());
  EXPECT_EQ(shell[0], "    104 - 45    STRESS   1.0000E+01  0.0000E+00  0.0000E+00  0.0000E+00  0.0000E+00" +
                          std::string(14, ' ') + "  1.0000E+01");
  EXPECT_FALSE(lines_of("    104 -  5").empty());
  EXPECT_FALSE(lines_of("    104 - 25").empty());
  EXPECT_TRUE(lines_of("    103 -").empty());
  EXPECT_TRUE(lines_of("    106 -").empty());
  // Every stress line puts its von Mises value in the same columns.
  for (const std::string& lead : {"    101 -  9", "    102 -  5", "    104 - 45"})
    EXPECT_EQ(lines_of(lead)[0].substr(97, 12).find("E+0"), 8u) << lead;
}

TEST_F(ElementStep, VectorsOfEachKindOfModel) {
  // One element of a kind, through the fixture's fillers.
  const StateDef hex{201, kHex8, 3, 9, 9, [](word, EIVWK& w) { safety(w, 1.0); }};
  const StateDef beam{202, kBeam2, 6, 1, 1, nullptr};
  const StateDef plane{203, kQplan4, 5, 5, 5, [](word, EIVWK& w) { safety(w, 1.0); }};
  const StateDef shell{204, kQfla4, 7, 45, 25, [](word, EIVWK& w) { safety(w, 1.0); }};
  const StateDef plastic_shell{205, kQfla4, 7, 45, 25, [](word, EIVWK& w) {
                                 safety(w, 1.0);
                                 w.sw[1] = 1;
                                 w.sw[5] = 1;  // elasto-plastic material
                                 w.blk.b2.epeq = 0.01;
                                 w.blk.b2.iv[0] = 1;
                               }};
  const std::vector<int> solid_block = ids({{60031, 60031}, {60016, 60017}, {60028, 60028}, {60010, 60015},
                                            {60050, 60055}, {81001, 81001}, {60148, 60148}, {60056, 60057},
                                            {60059, 60059}, {60116, 60117}, {81007, 81007}});
  const auto plain_block = [](int factor) {
    std::vector<int> v = ids({{7033, 7033}, {7026, 7027}, {7031, 7031}, {7020, 7025}, {7065, 7070}, {81001, 81001},
                              {7029, 7029}, {7071, 7072}, {7076, 7076}, {7126, 7127}});
    if (factor != 0) v.push_back(factor);
    v.push_back(81007);
    return v;
  };
  const std::vector<int> upper = ids({{7033, 7033}, {7026, 7027}, {7031, 7031}, {7020, 7025}, {7065, 7070},
                                      {7029, 7029}, {7071, 7072}, {7076, 7076}, {7126, 7127}});
  std::vector<int> lower = upper;
  for (int& id : lower) id += 400;
  struct Case {
    const char* what;
    std::vector<StateDef> elements;
    word deformation;
    word shell_plastic;
    std::vector<int> want;
  };
  const Case cases[] = {
      {"solids and beams", {hex, beam}, 0, 0, cat({solid_block, ids({{60202, 60207}})})},
      {"plane only", {plane}, 0, 0, cat({plain_block(0), ids({{7202, 7207}})})},
      {"shells only", {shell}, 0, 0, cat({upper, lower, ids({{7202, 7207}})})},
      {"shells and solids", {shell, hex}, 0, 0, cat({solid_block, upper, lower, ids({{60202, 60207}})})},
      {"deformation coefficients", {plane}, -1, 0, cat({plain_block(81006), ids({{7202, 7207}})})},
      // The block-1 and upper-shell plastic vectors share 7164-7170.
      {"plastic shells only",
       {plastic_shell},
       0,
       -1,
       cat({upper, lower, ids({{7164, 7170}, {7202, 7207}, {7164, 7170}, {7564, 7570}, {81005, 81005}}),
            ids({{7602, 7607}})})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    reset_iter_state();
    ifpflg().IFPDUN = c.deformation;
    sigcom().KPLSHL = c.shell_plastic;
    write_states(c.elements);
    post_requests({"OTIM 1 = 1", "SET 1 = ALL"});
    const auto before = post().steps.size();
    output_step(1, 1, 1);
    const PostFile f = post();
    ASSERT_TRUE(f.errors.empty()) << f.errors.front();
    ASSERT_EQ(f.steps.size(), before + 1);
    const std::vector<int> got = f.steps.back().vector_ids();
    std::vector<int> want = c.want;
    want.push_back(81000);  // the element material vector closes every step
    EXPECT_EQ(std::vector<int>(got.begin() + 9, got.end()), want);
    if (c.deformation != 0) EXPECT_EQ(f.steps.back().vector(81006)->title, "Deformation Factor       ");
  }
}

TEST_F(ElementStep, IdentifiersWiderThanTheirFieldsAreWrittenWhole) {
  const auto hex = [](word id, double s) {
    return StateDef{id, kHex8, 3, 9, 9, [s](word, EIVWK& w) {
                      stress(w, {s, 0, 0, 0, 0, 0});
                      safety(w, 1.0);
                    }};
  };
  write_states({hex(12345678, 100), hex(123456789, -50), hex(7, 10)});
  post_requests({"OTIM 1 = 1", "SET 1 = ALL"});
  output_step(1, 1, 1);
  const PostFile f = post();
  ASSERT_TRUE(f.errors.empty()) << f.errors.front();
  const PostStep& s = f.steps.at(0);
  EXPECT_EQ(s.elements, (std::vector<int>{12345678, 123456789, 7}));
  const PostVector& sx = *s.vector(60010);
  EXPECT_EQ(sx.lines[5], "123456789,12345678,     4,     8,");
  EXPECT_EQ(std::vector<std::string>(sx.lines.begin() + 7, sx.lines.end() - 1),
            (std::vector<std::string>{"12345678,  1.000000E+02,", "123456789, -5.000000E+01,",
                                      "       7,  1.000000E+01,"}));
  const std::vector<std::string> l = post_lines();
  EXPECT_NE(std::find(l.begin(), l.end(), "123456789,     0,     1,     1,"), l.end());
  EXPECT_EQ(std::find_if(l.begin(), l.end(), [](const std::string& x) { return x.find('*') != std::string::npos; }),
            l.end());
}

// The element walk alone, its scratch blocks read back before the readers
// would release them.
class ElementWalkRecords : public ElementStep {
 protected:
  std::vector<std::vector<word>> r301, r302;
  word walk() {
    word next = 1;
    OFPRQP(CTRL, next);
    const std::array<word, 6> h = block_header(EIV0);
    const word nel = h[0], at = std::max<word>(next, 7);
    const word top = sysw().COREND - sysw().NBUFSZ;
    DBOPEN(EIV0, top, kRead);
    DBOPEN(S301, top - sysw().NBUFSZ, kWrite);
    DBOPEN(S302, top - 2 * sysw().NBUFSZ, kWrite);
    ofpscr() = OFPSCR{S301, 0, S302, 0};
    word ngroup = 0;
    const word results = at + 3 * nel, plastic = results + 75 * nel, thermal = plastic + 21 * nel;
    const word work = thermal + 7 * nel;
    OFP1C(EIV0, nel, at, at + nel, at + 2 * nel, results, plastic, thermal, work, top - 2 * sysw().NBUFSZ - work,
          (h[4] & 2) != 0 ? 0 : -1, ngroup);
    DBCLOS(EIV0, kCloseRewind);
    DBCLOS(S301, kCloseRewind);
    DBCLOS(S302, kCloseRewind);
    r301 = block_records(S301);
    r302 = block_records(S302);
    return ngroup;
  }
};

TEST_F(ElementWalkRecords, PrincipalAndForceRecordsOfShellAndBeam) {
  mixed_model();
  print_requests({"STRE = ALL", "PRSTRESS = ALL"});
  EXPECT_EQ(walk(), 5);
  EXPECT_EQ(ofpscr().principal_records, static_cast<word>(r301.size()));
  EXPECT_EQ(ofpscr().force_records, 2);
  // Principal records: the solid, the plane element, the shell's point 5
  // and its printed points 25 and 45; not the beam, not the joint.
  std::vector<std::string> p;
  for (const auto& rec : r301) p.push_back(format_record(rec, "I3 R6 R6"));
  EXPECT_EQ(p, (std::vector<std::string>{
                   "101 9 3 | 100 0 0 0 0 0 | 0.001 -3e-04 -3e-04 0 0 0",
                   "102 5 5 | 30 -10 5 15 0 0 | 3e-04 0 0 3e-04 0 0",
                   "104 5 7 | -20 0 5 0 0 0 | 0 0 0 0 0 0",
                   "104 25 7 | 0 0 0 0 0 0 | 0 0 0 0 0 0",
                   "104 45 7 | 10 0 0 0 0 0 | 0 0 0 0 0 0",
               }));
  // Force records: the beam's end forces, state, moment, curvature and
  // ratios; the shell's section forces in its own layout, both named by
  // element and type in words 1-2.
  ASSERT_EQ(r302.size(), 2u);
  EXPECT_EQ(format_record(r302[0], "I2 R6 R6 I R11"),
            "103 5 | 2 3 4 5 6 7 | 8 9 10 11 12 13 | 2 | 1 0.25 0.5 0.75 0 0 0 0 0 0 0");
  EXPECT_EQ(format_record(r302[1], "I2 R12 I I2 I R8"),
            "104 7 | 0 0 0 0 0 0 0 0 0 0 0 0 | 0 | 104 7 | -1 | 20 30 40 80 90 100 110 120");
}

}  // namespace
}  // namespace zephsol::test
