// Element type table, type descriptor and the decoding of element summary
// records into the current element.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/fatal.h"
#include "zephsol/elem/etype.h"
#include "zephsol/program/program.h"

namespace zephsol {
namespace {

constexpr word kHEX8 = 1, kQAX4 = 3, kTAX3 = 4, kBEAM2 = 5, kROD2 = 6, kQFLA4 = 7, kGAP2 = 13,
               kJOINT4 = 14, kHEX20 = 15, kCNT2 = 23, kSBEAM2 = 26;

int bits(word w) { return std::popcount(static_cast<std::uint32_t>(w)); }

// Loads the descriptor of code iecod as the only ETYP definition (user type 100 + iecod).
void load_type(word iecod, word option) {
  auto& etyp = elem_state().tables.etyp;
  etyp.count = 1;
  etyp.entry[0] = {100 + iecod, iecod};
  ETYPDS(1, option);
}

bool has_descriptor(word code) { return code != 24 && code != 25; }

// Every code 1..29 has its row, in code order: either every routine of
// every phase (stiffness, internal forces, loads, stresses), a node order
// that is a permutation of the type's nodes, and a locator only for plane and
// solid continua; or an explicit refusal, with no routine at all, for the
// four codes without element routines.
TEST(TypeRows, EveryCodeHasACompleteRowOrAnExplicitRefusal) {
  const auto rows = element_type_rows();
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kMaxTypeCode));
  for (word code = 1; code <= kMaxTypeCode; ++code) {
    const ElementType& row = rows[static_cast<std::size_t>(code - 1)];
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.code, code);
    EXPECT_EQ(element_type(code), &row);
    EXPECT_FALSE(row.name.empty());
    const bool without_routines = code == 8 || code == kGAP2 || code == 24 || code == 25;
    EXPECT_EQ(row.refused, without_routines);
    if (row.refused) {
      EXPECT_EQ(row.stiffness, nullptr);
      EXPECT_EQ(row.force, nullptr);
      EXPECT_EQ(row.stress, nullptr);
      EXPECT_EQ(row.loads, LoadRoute::Reject);
      EXPECT_EQ(row.locate, nullptr);
      continue;
    }
    EXPECT_TRUE(row.attr.descriptor);
    EXPECT_GT(row.attr.nn, 0);
    EXPECT_NE(row.stiffness, nullptr);
    EXPECT_NE(row.force, nullptr);
    EXPECT_NE(row.stress, nullptr);
    EXPECT_NE(row.loads, LoadRoute::Reject);
    if (row.loads == LoadRoute::Ignore) {
      EXPECT_EQ(row.distributed, nullptr);
      EXPECT_EQ(row.body, nullptr);
    } else {
      EXPECT_NE(row.body, nullptr);
    }
    if (!row.order.empty()) {
      ASSERT_EQ(row.order.size(), static_cast<std::size_t>(row.attr.nn));
      std::vector<word> sorted(row.order.begin(), row.order.end());
      std::sort(sorted.begin(), sorted.end());
      for (std::size_t i = 0; i < sorted.size(); ++i) EXPECT_EQ(sorted[i], static_cast<word>(i + 1));
    }
    const bool continuum = row.attr.iclass >= 3 && row.attr.iclass <= 5;
    if (row.locate != nullptr) EXPECT_TRUE(continuum);
  }
  EXPECT_EQ(element_type(0), nullptr);
  EXPECT_EQ(element_type(kMaxTypeCode + 1), nullptr);
}

TEST(TypeTable, EveryDescriptorIsSelfConsistent) {
  for (word code = 1; code <= kMaxTypeCode; ++code) {
    if (!has_descriptor(code)) continue;
    reset_elem_state();
    load_type(code, 1);
    const ETYCOM& e = etycom();
    SCOPED_TRACE(words8_name(e.NAME[0], e.NAME[1]));
    EXPECT_EQ(e.IECOD, code);
    EXPECT_EQ(e.IUTYPE, 100 + code);
    int dofs = 0, coords = 0;
    for (int n = 0; n < e.NN; ++n) {
      dofs += bits(e.DOFMSK[n]);
      coords += bits(e.CRDMSK[n]);
      EXPECT_TRUE(e.CRDMSK[n] == 7 || e.CRDMSK[n] == 3);
      EXPECT_TRUE(e.TMPFLG[n] == 0 || e.TMPFLG[n] == 1);
    }
    EXPECT_EQ(e.NDOF, dofs);
    EXPECT_EQ(e.NC, coords);
    EXPECT_GE(e.IOUTPT, 1);
    EXPECT_LE(e.IOUTPT, e.NPTS);
    EXPECT_LE(e.NN, ESTCOM::kMaxNode);
    EXPECT_LE(e.NDOF, ESTCOM::kMaxDof);
    EXPECT_LE(e.NC, ESTCOM::kMaxCoord);
    EXPECT_LE(e.NP, ESTCOM::kMaxProp);
    EXPECT_GE(e.ICLASS, 1);
    EXPECT_LE(e.ICLASS, NSCOMP.count);
    // Plane types carry two coordinates per node, types in space three.
    EXPECT_EQ(e.IDIM, e.CRDMSK[0] == 3 ? 4 : 9);
    // A body-force entry holds a code word and one component per direction.
    if (e.LDWORD[6] != 0) {
      EXPECT_EQ(e.LDWORD[6], 1 + (e.IDIM == 9 ? 3 : 2));
    }
    std::array<word, 2> name{};
    ETYPNM(code, name);
    EXPECT_EQ(name, e.NAME);
    word back = 0;
    ETYPCD(name, back);
    EXPECT_EQ(back, code);
  }
}

TEST(TypeTable, SpotRows) {
  struct Row {
    word code;
    word iclass, nn, npts, iout, ndof, nc, np, idim, nldtyp;
    std::array<word, 8> loads;
  };
  const Row rows[] = {
      {kHEX20, 3, 20, 27, 14, 60, 60, 0, 9, 8, {4, 9, 0, 0, 0, 0, 4, 13}},
      {kSBEAM2, 6, 3, 125, 63, 12, 9, 8, 9, 8, {7, 3, 0, 0, 0, 0, 4, 13}},
      {kTAX3, 4, 3, 4, 1, 6, 6, 0, 4, 8, {3, 3, 0, 0, 0, 0, 3, 13}},
      {kQFLA4, 7, 4, 45, 25, 24, 12, 11, 9, 8, {7, 5, 0, 0, 0, 0, 4, 13}},
      {kGAP2, 10, 2, 1, 1, 6, 6, 6, 9, 1, {4, 0, 0, 0, 0, 0, 0, 0}},
      {kJOINT4, 10, 4, 3, 2, 8, 8, 8, 4, 8, {4, 0, 0, 0, 0, 0, 0, 13}},
  };
  for (const Row& r : rows) {
    reset_elem_state();
    load_type(r.code, 1);
    const ETYCOM& e = etycom();
    SCOPED_TRACE(r.code);
    EXPECT_EQ(e.ICLASS, r.iclass);
    EXPECT_EQ(e.NN, r.nn);
    EXPECT_EQ(e.NPTS, r.npts);
    EXPECT_EQ(e.IOUTPT, r.iout);
    EXPECT_EQ(e.NDOF, r.ndof);
    EXPECT_EQ(e.NC, r.nc);
    EXPECT_EQ(e.NP, r.np);
    EXPECT_EQ(e.IDIM, r.idim);
    EXPECT_EQ(e.NLDTYP, r.nldtyp);
    EXPECT_EQ(e.LDWORD, r.loads);
  }
  // The beams' third node orients the section: coordinates, no DOF, no temperature.
  reset_elem_state();
  load_type(kBEAM2, 1);
  const ETYCOM& e = etycom();
  EXPECT_EQ((std::array<word, 3>{e.DOFMSK[0], e.DOFMSK[1], e.DOFMSK[2]}), (std::array<word, 3>{63, 63, 0}));
  EXPECT_EQ((std::array<word, 3>{e.TMPFLG[0], e.TMPFLG[1], e.TMPFLG[2]}), (std::array<word, 3>{1, 1, 0}));
  EXPECT_EQ(e.CRDMSK[2], 7);
  // Word positions of the record.
  auto w = etycom().words();
  EXPECT_EQ(w[6], 3);    // word 7: nodes
  EXPECT_EQ(w[15], 9);   // word 16: dimension code
  EXPECT_EQ(w[53], 63);  // word 54: DOF mask of node 1
}

TEST(TypeNames, LookupBothWays) {
  struct Case {
    const char* name;
    word code;
  };
  const Case cases[] = {{"HEX8", 1},     {"HEX8    ", 1}, {"hex8", 0},    {"HEX8RX", 0}, {"HEX8R", 27},
                        {"QPLAN4R", 29}, {"JOINT16", 21}, {"QPLAIC4", 24}, {"????", 0},  {"", 0}};
  for (const auto& c : cases) {
    word code = -1;
    ETYPCD(name_words8(c.name), code);
    EXPECT_EQ(code, c.code) << c.name;
  }
  for (const word code : {0, 30, -5}) {
    std::array<word, 2> name{};
    ETYPNM(code, name);
    EXPECT_EQ(words8_name(name[0], name[1]), "????    ") << code;
  }
  std::array<word, 2> name{};
  ETYPNM(21, name);
  EXPECT_EQ(words8_name(name[0], name[1]), "JOINT16 ");
}

TEST(TypeDescriptor, OptionZeroKeepsTheEarlierOptionPart) {
  reset_elem_state();
  load_type(kBEAM2, 1);
  const ETYCOM before = etycom();
  load_type(kQAX4, 0);
  const ETYCOM& e = etycom();
  EXPECT_EQ(e.NN, 4);
  EXPECT_EQ(e.LDWORD, before.LDWORD);
  EXPECT_EQ(e.DOFMSK, before.DOFMSK);
  EXPECT_EQ(e.TMPFLG, before.TMPFLG);
  // Option 1 writes only the first NN entries of the per-node arrays.
  load_type(kQAX4, 1);
  EXPECT_EQ(e.DOFMSK[0], 3);
  EXPECT_EQ(e.DOFMSK[3], 3);
  EXPECT_EQ(e.DOFMSK[4], 0);
}

TEST(TypeDescriptor, BadDefinitionsEndTheRun) {
  struct Case {
    word count, iecod, iseq;
    word code;
    const char* text;
  };
  const Case cases[] = {
      {1, kHEX8, 0, 8015, "ISEQ =        0"},
      {1, kHEX8, 2, 8015, "ISEQ =        2"},
      {1, 24, 1, 5000, "REASON CODE =        24,         0"},
      {1, 30, 1, 5000, "REASON CODE =        30,         0"},
  };
  for (const auto& c : cases) {
    reset_elem_state();
    elem_state().tables.etyp.count = c.count;
    elem_state().tables.etyp.entry[0] = {7, c.iecod};
    const std::string log = test::fatal_log([&] { ETYPDS(c.iseq, 0); });
    EXPECT_TRUE(test::has_message(log, c.code)) << log;
    EXPECT_NE(log.find(c.text), std::string::npos) << c.text << "\n" << log;
  }
}

// ---- Element summary records ------------------------------------------------

struct Est {
  word iexn = 501, iseq = 1, iecod = kBEAM2, matid = 10, group = 3, iclass = 6, npts = 1, iout = 1;
  std::vector<float> prop;
  std::vector<float> xyz;
  std::vector<word> eqix;
  std::optional<word> np, nc, nn;  // counts as written when not the sizes of the lists

  std::vector<word> words() const {
    std::vector<word> w{iexn,   static_cast<word>((static_cast<std::uint32_t>(iseq) << 24) | iecod),
                        matid,  group,
                        iclass, npts,
                        iout,   np.value_or(static_cast<word>(prop.size())),
                        nc.value_or(static_cast<word>(xyz.size())),
                        nn.value_or(static_cast<word>(eqix.size()))};
    for (float p : prop) w.push_back(real_word(p));
    for (float x : xyz) w.push_back(real_word(x));
    for (word q : eqix) w.push_back(q);
    return w;
  }
};

Est beam() {
  Est e;
  e.prop.assign(20, 0.5f);
  for (int i = 0; i < 4; ++i) e.prop[i] = 1.0f + i;
  e.xyz = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  e.eqix = {1 * 1024 + 6, 7 * 1024 + 6, 0};
  return e;
}

void add_property(word id, std::array<float, 4> values) {
  auto& p = elem_state().tables.prptab;
  const auto k = static_cast<std::size_t>(p.count++);
  p.id[k] = id;
  p.nval[k] = 4;
  for (int v = 0; v < 4; ++v) p.value[v][k] = values[v];
}

void add_change(ChangeList& list, word key, word id, word order) {
  list.entry[static_cast<std::size_t>(list.count++)] = {key, id, order};
}

TEST(ElementRecord, DecodesTheRecordWords) {
  reset_elem_state();
  Est e = beam();
  e.iseq = 130;  // sets the sign bit of the packed word
  estrd_words(e.words());
  const ESTCOM& c = estcom();
  EXPECT_EQ(c.IEXN, 501);
  EXPECT_EQ(c.IECOD, kBEAM2);
  EXPECT_EQ(c.ISEQ, 130);
  EXPECT_EQ(c.MATID, 10);
  EXPECT_EQ(c.MGROUP, 3);
  EXPECT_EQ(c.ICLASS, 6);
  EXPECT_EQ(c.NS, 6);
  EXPECT_EQ(c.NP, 20);
  EXPECT_EQ(c.NC, 9);
  EXPECT_EQ(c.NN, 3);
  EXPECT_EQ(c.PROP[2], 3.0f);
  EXPECT_EQ(c.PROP[19], 0.5f);
  EXPECT_EQ(c.XYZ[3], 1.0f);
  EXPECT_EQ(c.EQIX[1], 7 * 1024 + 6);
  // Node 1 starts at equation 1, node 2 at 7, the orientation node has none.
  const std::array<word, 12> dofs{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  EXPECT_TRUE(std::equal(dofs.begin(), dofs.end(), c.IDOF.begin()));
  auto w = estcom().words();
  EXPECT_EQ(w[3], 130);  // word 4: ISEQ
  EXPECT_EQ(w[13], 3);   // word 14: material group
  EXPECT_EQ(w[94], 1 * 1024 + 6);
}

TEST(ElementRecord, DofListFromEquationWords) {
  reset_elem_state();
  Est e;
  e.iecod = kQAX4;
  e.iclass = 4;
  e.xyz.assign(8, 0.0f);
  e.eqix = {7 * 1024 + 3, 0, 20 * 1024 + 4, (2097151 << 10) + 1};
  estrd_words(e.words());
  const ESTCOM& c = estcom();
  const std::array<word, 8> dofs{7, 8, 9, 20, 21, 22, 23, 2097151};
  EXPECT_TRUE(std::equal(dofs.begin(), dofs.end(), c.IDOF.begin()));
  EXPECT_EQ(c.NS, 4);
}

TEST(ElementRecord, ShorterRecordLeavesNothingOfThePreviousOne) {
  reset_elem_state();
  Est hex;
  hex.iecod = kHEX20;
  hex.iclass = 3;
  hex.prop.assign(20, 9.0f);  // more words than the type has: still decoded
  hex.xyz.assign(60, 9.0f);
  for (word k = 0; k < 20; ++k) hex.eqix.push_back((100 + 3 * k) * 1024 + 3);
  estrd_words(hex.words());
  ASSERT_EQ(estcom().IDOF[59], 159);
  Est rod;
  rod.iecod = kROD2;
  rod.iclass = 1;
  rod.prop = {1, 2, 3};
  rod.xyz = {1, 1, 1, 2, 2, 2};
  rod.eqix = {4 * 1024 + 3, 1024 + 3};
  estrd_words(rod.words());
  const ESTCOM& c = estcom();
  EXPECT_EQ((std::vector<word>(c.IDOF.begin(), c.IDOF.begin() + 7)), (std::vector<word>{4, 5, 6, 1, 2, 3, 0}));
  EXPECT_TRUE(std::all_of(c.IDOF.begin() + 6, c.IDOF.end(), [](word d) { return d == 0; }));
  EXPECT_TRUE(std::all_of(c.EQIX.begin() + 2, c.EQIX.end(), [](word w) { return w == 0; }));
  EXPECT_TRUE(std::all_of(c.PROP.begin() + 3, c.PROP.end(), [](float v) { return v == 0.0f; }));
  EXPECT_TRUE(std::all_of(c.XYZ.begin() + 6, c.XYZ.end(), [](float v) { return v == 0.0f; }));
}

TEST(ElementRecord, SectionBeamReportsThreeComponents) {
  reset_elem_state();
  Est e = beam();
  e.iecod = kSBEAM2;
  e.prop.resize(8);
  estrd_words(e.words());
  EXPECT_EQ(estcom().NS, 3);
}

TEST(ElementRecord, PropertyChanges) {
  struct Case {
    const char* what;
    word iecod, group;
    word id_order, group_order;  // 0: no entry in that list
    std::array<float, 4> expect;
  };
  const std::array<float, 4> keep{1, 2, 3, 4}, by_id{11, 12, 13, 14}, by_group{21, 22, 23, 24};
  const Case cases[] = {
      {"equal orders take the ID list", kBEAM2, 3, 5, 5, by_id},
      {"later group change wins", kBEAM2, 3, 5, 6, by_group},
      {"later ID change wins", kBEAM2, 3, 6, 5, by_id},
      {"group list only", kBEAM2, 3, 0, 2, by_group},
      {"ID list only", kBEAM2, 3, 2, 0, by_id},
      {"group 0 ignores the group list", kBEAM2, 0, 0, 9, keep},
      {"no change listed", kBEAM2, 3, 0, 0, keep},
      {"rod takes value 1", kROD2, 3, 5, 5, {11, 2, 3, 4}},
      {"shell takes value 1", kQFLA4, 3, 5, 5, {11, 2, 3, 4}},
      {"joint takes values 1 and 4", kJOINT4, 3, 5, 5, {11, 2, 3, 14}},
      {"contact keeps its record", kCNT2, 3, 5, 5, keep},
      {"section beam keeps its record", kSBEAM2, 3, 5, 5, keep},
      {"solid keeps its record", kHEX8, 3, 5, 5, keep},
  };
  for (const auto& c : cases) {
    reset_elem_state();
    add_property(11, by_id);
    add_property(12, by_group);
    auto& t = elem_state().tables;
    add_change(t.PRCMID, 99, 12, 9);  // other keys do not match
    add_change(t.PRCGRP, 98, 11, 9);
    if (c.id_order) add_change(t.PRCMID, 10, 11, c.id_order);
    if (c.group_order) add_change(t.PRCGRP, c.group, 12, c.group_order);
    Est e = beam();
    e.iecod = c.iecod;
    e.group = c.group;
    load_type(c.iecod, 0);
    e.eqix = {1024 + etycom().NDOF, 0, 0};  // the type's DOF count
    estrd_words(e.words());
    const auto& p = estcom().PROP;
    EXPECT_EQ((std::array<float, 4>{p[0], p[1], p[2], p[3]}), c.expect) << c.what;
    EXPECT_EQ(p[4], 0.5f) << c.what;
  }
}

TEST(ElementRecord, ChangeToAnUnknownPropertyKeepsTheRecord) {
  reset_elem_state();
  add_property(11, {11, 12, 13, 14});
  add_change(elem_state().tables.PRCMID, 10, 77, 1);
  estrd_words(beam().words());
  EXPECT_EQ(estcom().PROP[0], 1.0f);
}

TEST(ElementRecord, InconsistentRecordsEndTheRun) {
  struct Case {
    const char* what;
    Est est;
    word code;
    const char* text;
  };
  auto with = [](auto change) {
    Est e = beam();
    change(e);
    return e;
  };
  const Case cases[] = {
      {"class 12", with([](Est& e) { e.iclass = 12; }), 3523, "REASON CODE =        12,         0"},
      {"class 0", with([](Est& e) { e.iclass = 0; }), 3523, "REASON CODE =         0,         0"},
      {"type code 30", with([](Est& e) { e.iecod = 30; }), 5000, "REASON CODE =        30,         0"},
      {"21 properties", with([](Est& e) { e.prop.resize(21); }), 8063, "NDOF=      21, NDOFX=      20"},
      {"61 coordinates", with([](Est& e) { e.xyz.resize(61); }), 8063, "NDOF=      61, NDOFX=      60"},
      {"21 nodes", with([](Est& e) { e.eqix.resize(21); }), 8063, "NDOF=      21, NDOFX=      20"},
      {"negative node count", with([](Est& e) { e.nn = -2; }), 8063, "NDOF=      -2, NDOFX=      20"},
      {"61 element DOFs", with([](Est& e) { e.eqix = {1024 + 31, 4096 + 30, 0}; }), 8063,
       "NDOF=      61, NDOFX=      60"},
      {"record shorter than its counts", with([](Est& e) { e.nn = 4; }), 1, "UNEXPECTED EOR ON FILE EST"},
      {"fewer DOFs than the type", with([](Est& e) { e.eqix[1] = 7 * 1024 + 3; }), 8067,
       "DOF COUNT OF ELEMENT     501 IS       9, THAT OF ITS TYPE      12"},
      {"more DOFs than the type", with([](Est& e) { e.eqix[2] = 13 * 1024 + 6; }), 8067,
       "DOF COUNT OF ELEMENT     501 IS      18, THAT OF ITS TYPE      12"},
  };
  for (const auto& c : cases) {
    reset_elem_state();
    const auto words = c.est.words();
    const std::string log = test::fatal_log([&] { estrd_words(words); });
    EXPECT_TRUE(test::has_message(log, c.code)) << c.what << "\n" << log;
    EXPECT_NE(log.find(c.text), std::string::npos) << c.what << "\n" << log;
  }
  const std::string log = test::fatal_log([] { estrd_words(std::vector<word>(9, 1)); });
  EXPECT_TRUE(test::has_message(log, 1)) << log;
}

}  // namespace
}  // namespace zephsol
