// Material decoder: the entry of every kind word by word (defaults, the
// parameter words of each list, mask, length), "DUP" copies, hardening
// tables up to their limit, the IFPFLG words, the identifier list, and the
// card errors.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "modelfix.h"
#include "zephsol/exec/records.h"

namespace zephsol::test {
namespace {

class MaterialTest : public ModelDecoderTest {
 protected:
  // The record of MATD split into its entries (the L word dropped).
  std::vector<std::vector<word>> entries() {
    const auto recs = records(MATD);
    std::vector<std::vector<word>> out;
    if (recs.size() != 1) return out;
    for (std::size_t at = 0; at < recs[0].size(); at += static_cast<std::size_t>(recs[0][at]) + 1)
      out.emplace_back(recs[0].begin() + static_cast<long>(at) + 1,
                       recs[0].begin() + static_cast<long>(at) + 1 + recs[0][at]);
    return out;
  }
};

// Entry word k (1-based) of an entry under construction.
struct Entry {
  std::vector<word> w;
  // A material before its parameter cards: words 1-4, the defaults of
  // words 14, 16, 27, 28 and 29, L words.
  Entry(word id, word kind, word code, word flag, std::size_t length) : w(29, 0) {
    w[0] = id;
    w[1] = kind;
    w[2] = code;
    w[3] = flag;
    set(14, -1.0f).set(16, -1.0f).set(27, -1.0f).set(28, 0.1f).set(29, 0.01f);
    w.resize(length, 0);
  }
  Entry& set(int k, float v) {
    w[static_cast<std::size_t>(k - 1)] = rw(v);
    return *this;
  }
  Entry& put(int k, word v) {
    w[static_cast<std::size_t>(k - 1)] = v;
    return *this;
  }
  // Each parameter given with the number of the word it lands in as value.
  Entry& own_words(std::initializer_list<int> words) {
    for (int k : words) set(k, static_cast<float>(k));
    return *this;
  }
};

// Parameter cards: name and value.
void add_params(std::vector<std::string>& deck, const std::vector<std::pair<const char*, int>>& params) {
  for (const auto& [name, value] : params) deck.push_back(fixed({"", name, std::to_string(value) + "."}));
}

TEST_F(MaterialTest, EntriesOfEveryKind) {
  std::vector<std::string> deck = {"MATERIAL", fixed({"1", "1"})};
  add_params(deck, {{"E", 7}, {"SIGT", 14}});
  deck.push_back(fixed({"", "NU", "0.25"}));  // ratios lie in (-1, 0.5)
  deck.push_back(fixed({"2", "2"}));  // "ZUZUZERUR" without "HORA": 2601
  add_params(deck, {{"C", 10}, {"PHAI", 11}, {"DZER", 13}, {"DFAI", 14}, {"DTOK", 15}, {"POZE", 16},
                    {"POFA", 17}, {"YURU", 18}, {"POTO", 19}, {"TAUR", 20}, {"SIGT", 21}, {"ALPHA", 12},
                    {"K", 26}});
  deck.push_back(fixed({"3", "3"}));  // hyperbolic; "DCDE" 0.0 is stored as 0.01
  add_params(deck, {{"C", 10}, {"PHAI", 11}, {"DCK", 13}, {"DCN", 14}, {"DCRF", 15}, {"DCKU", 16},
                    {"DCG", 17}, {"DCF", 18}, {"DCD", 19}, {"DCPA", 20}, {"DCDE", 0}, {"ALPHA", 12}});
  deck.push_back(fixed({"4", "5"}));
  add_params(deck, {{"E", 7}, {"EMIN", 13}});
  deck.push_back(fixed({"", "NUMAX", "0.4"}));
  deck.push_back(fixed({"5", "7"}));
  add_params(deck, {{"W2", 27}, {"EMAX", 29}});
  deck.push_back(fixed({"6", "0", "", "1"}));  // orthotropic
  add_params(deck, {{"E1", 7}, {"G31", 25}, {"K", 26}});
  deck.push_back(fixed({"7", "1", "3"}));
  add_params(deck, {{"E", 7}});
  deck.push_back(fixed({"", "HDASH", "F5", "2"}));
  deck.push_back(fixed({"", "0.0", "10.0", "0.1", "20.0"}));
  deck.push_back(fixed({"8", "DUP", "7"}));  // a copy of 7 with its table, E changed
  add_params(deck, {{"E", 300}});
  deck.push_back(fixed({"9", "0"}));
  add_params(deck, {{"K", 5}});
  deck.push_back(fixed({"10", "0"}));  // no "K": 0, not the previous material's

  ifpflg().IFPDUN = 0;
  run(deck);

  std::vector<std::vector<word>> expect;
  expect.push_back(Entry(1, 1, 0, 0, 29).own_words({7, 14}).set(8, 0.25f).put(6, 1 + 2 + 256).w);
  expect.push_back(Entry(2, 2, 0, 0, 27)
                       .own_words({10, 11, 13, 14, 15, 16, 17, 18, 19, 20, 21, 12, 26})
                       .put(6, 0xFFFF - (1 << 2) - (1 << 12) - (1 << 15))
                       .w);
  expect.push_back(Entry(3, 3, 0, 0, 27)
                       .own_words({10, 11, 13, 14, 15, 16, 17, 18, 19, 20, 12})
                       .set(21, 0.01f)
                       .put(6, (1 << 13) - 1 - (1 << 2))
                       .w);
  expect.push_back(Entry(4, 5, 0, 0, 27).own_words({7, 13}).set(15, 0.4f).put(6, 1 + 32 + 64).w);
  expect.push_back(Entry(5, 7, 0, 0, 29).own_words({27, 29}).put(6, (1 << 13) + (1 << 19)).w);
  expect.push_back(Entry(6, 0, 0, 1, 27).own_words({7, 25, 26}).put(6, 1 + (1 << 8) + (1 << 19)).w);
  Entry seven(7, 1, 3, 0, 33);
  seven.own_words({7}).put(5, 2).put(6, 1 + (1 << 7)).set(19, 0.0f).set(20, 10.0f).set(21, 0.1f).set(22, 20.0f);
  expect.push_back(seven.w);
  expect.push_back(seven.put(1, 8).set(7, 300.0f).w);
  expect.push_back(Entry(9, 0, 0, 0, 29).set(26, 5.0f).put(6, 1 << 12).w);
  expect.push_back(Entry(10, 0, 0, 0, 29).w);

  const auto got = entries();
  ASSERT_EQ(got.size(), expect.size());
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expect[i]) << "material " << i + 1;
  word length = 0;
  for (const auto& e : expect) length += static_cast<word>(e.size()) + 1;
  EXPECT_EQ(header(MATD), (std::array<word, 6>{10, length, 0, 0, 0, 0}));

  EXPECT_EQ(messages(), std::vector<word>{2601});
  EXPECT_EQ(crdcom().NFATAL, 1);
  const auto log = errlog();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "0*** USER FATAL MESSAGE   2601,  CARD NUMBER      6,  DATA GROUP NAME- MATERIAL" +
                        std::string(16, ' '));
  EXPECT_EQ(log[1], "          HORA     DATA IS MISSING.");

  EXPECT_EQ(ifpflg().IFPDUN, -1);
  EXPECT_EQ(ifpflg().IFPSGT, -1);
  EXPECT_EQ(crdcom().NMATL, 10);
  EXPECT_EQ(core_words(crdcom().MATLST, 10), (std::vector<word>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(MaterialTest, CardErrors) {
  ifpflg().IFPDUN = -1;  // both flags start at 0 in every run
  ifpflg().IFPSGT = -1;
  run({"MATERIAL",
       fixed({"", "E", "1.0"}),                 // 2000: no material yet
       fixed({"1", "1"}),
       fixed({"", "XYZ", "5.0"}),               // 2104, and its table card passes silently
       fixed({"", "1.0", "2.0"}),
       fixed({"", "E", "3.0"}),
       fixed({"1", "1"}), fixed({"", "E", "9.0"}),  // 2081, its cards pass silently
       fixed({"0", "1"}),                       // 2082
       fixed({"2", "DUP", "99"}), fixed({"", "E", "9.0"}),  // 2143
       fixed({"3", "1"}),
       fixed({"", "E", "F5", "3"}),             // 2522
       fixed({"", "HDASH", "F6", "3"}),         // 2104
       fixed({"", "HDASH", "F5", "1"}),         // 2524
       fixed({"4", "1"}),
       fixed({"", "HDASH", "F5", "5"}),
       fixed({"", "1.0", "2.0", "3.0", "4.0", "5.0", "6.0", "7.0", "8.0"}),
       fixed({"", "NU", "0.25"}),               // 2518; read as the next parameter
       fixed({"5", "1"}),
       fixed({"", "HDASH", "F5", "2"}),         // 2518 at the next material
       fixed({"6", "1"}),
       fixed({"", "HDASH", "F5", "2"})});       // 2518 at the end of the group
  EXPECT_EQ(messages(), (std::vector<word>{2000, 2104, 2081, 2082, 2143, 2522, 2104, 2524, 2518, 2518, 2518}));
  EXPECT_EQ(message_text(2143), "          MATERIAL     2 REFERS UNDEFINED MATERIAL    99");
  EXPECT_EQ(message_text(2522), "          FORMAT F5   NOT AVAILABLE FOR MATERIAL KIND E       ");
  EXPECT_EQ(message_text(2104), "          UNKNOWN KEYWORD- XYZ     ");

  const auto got = entries();
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[0], Entry(1, 1, 0, 0, 29).set(7, 3.0f).put(6, 1).w);
  // The mask of 3 shows the names accepted, even where field 3 was refused.
  EXPECT_EQ(got[1][0], 3);
  EXPECT_EQ(got[1][5], 1 + (1 << 7));
  // Four pairs read of five; they reach into words 23-26.
  Entry four(4, 1, 0, 0, 37);
  four.put(5, 4).put(6, 2 + (1 << 7)).set(8, 0.25f);
  for (int k = 19; k <= 26; ++k) four.set(k, static_cast<float>(k - 18));
  EXPECT_EQ(got[2], four.w);
  EXPECT_EQ(got[3], Entry(5, 1, 0, 0, 29).put(6, 1 << 7).w);
  EXPECT_EQ(got[4], Entry(6, 1, 0, 0, 29).put(6, 1 << 7).w);
  EXPECT_EQ(ifpflg().IFPDUN, 0);
  EXPECT_EQ(ifpflg().IFPSGT, 0);
}

TEST_F(MaterialTest, MissingParametersArePrintedPastThePrintLimit) {
  crdcom().NFATAL = crdcom().MSGLIM;
  std::vector<std::string> deck = {"MATERIAL", fixed({"1", "3"})};
  add_params(deck, {{"C", 10}, {"PHAI", 11}, {"DCK", 13}, {"DCN", 14}, {"DCRF", 15}, {"DCKU", 16},
                    {"DCG", 17}, {"DCF", 18}, {"DCD", 19}, {"DCPA", 20}, {"ALPHA", 12}});
  deck.push_back(fixed({"", "XYZ", "1."}));  // 2104 past the limit: counted, not printed
  run(deck);
  EXPECT_EQ(messages(), std::vector<word>{2601});
  EXPECT_EQ(message_text(2601), "          DCDE     DATA IS MISSING.");
  EXPECT_EQ(crdcom().NFATAL, crdcom().MSGLIM + 2);
  EXPECT_EQ(sysw().IERFLG, 1);
}

// Values no law can use are refused with 2603 at their bounds; those just
// inside them, and a zero modulus, are stored.
TEST_F(MaterialTest, ValuesOutsideTheirRangeAreRefused) {
  struct Value {
    const char* kind;
    const char* name;
    const char* value;
    bool refused;
  };
  const Value values[] = {
      {"1", "NU", "0.4999", false},  {"1", "NU", "0.5", true},     {"1", "NU", "-0.999", false},
      {"1", "NU", "-1.0", true},     {"1", "E", "0.0", false},     {"1", "E", "-1.0", true},
      {"1", "C", "-0.1", true},      {"1", "PHAI", "89.9", false}, {"1", "PHAI", "90.0", true},
      {"1", "PHAI", "-1.0", true},   {"1", "SIGY", "-5.0", true},  {"5", "NUMAX", "0.5", true},
      {"5", "EMIN", "-1.0", true},   {"7", "EMAX", "-1.0", true},  {"3", "DCNU", "0.5", true},
  };
  for (const Value& v : values) {
    fresh();
    run({"MATERIAL", fixed({"1", v.kind}), fixed({"", v.name, v.value})});
    const auto m = messages();
    const bool refused = std::find(m.begin(), m.end(), 2603) != m.end();
    EXPECT_EQ(refused, v.refused) << v.kind << " " << v.name << " " << v.value;
  }
}

TEST_F(MaterialTest, HyperbolicModelRefusesWhatItDividesBy) {
  // The reference pressure and the modulus number must be positive; a refused
  // value is not stored, and the parameter does not count as missing.
  std::vector<std::string> deck = {"MATERIAL", fixed({"1", "3"})};
  add_params(deck, {{"C", 10}, {"PHAI", 11}, {"DCK", 0}, {"DCN", 14}, {"DCRF", 15}, {"DCKU", 16}, {"DCG", 17},
                    {"DCF", 18}, {"DCD", 19}, {"DCPA", -100}, {"DCDE", 21}, {"ALPHA", 12}});
  deck.push_back(fixed({"2", "DUP", "1"}));
  add_params(deck, {{"DCPA", 100}, {"DCK", 500}});  // the copy may give them
  run(deck);
  EXPECT_EQ(messages(), (std::vector<word>{2602, 2602}));
  EXPECT_EQ(crdcom().NFATAL, 2);
  EXPECT_EQ(sysw().IERFLG, 1);
  const auto log = errlog();
  ASSERT_GE(log.size(), 4u);
  const std::string group = "DATA GROUP NAME- MATERIAL" + std::string(16, ' ');
  EXPECT_EQ(log[0], "0*** USER FATAL MESSAGE    2602,  CARD NUMBER      5,  " + group);
  EXPECT_EQ(log[1], "          DCK      DATA  0.00000E+00 IS NOT POSITIVE.");
  EXPECT_EQ(log[2], "0*** USER FATAL MESSAGE    2602,  CARD NUMBER     12,  " + group);
  EXPECT_EQ(log[3], "          DCPA     DATA -1.00000E+02 IS NOT POSITIVE.");
  const auto got = entries();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0][12], 0);
  EXPECT_EQ(got[0][19], 0);
  EXPECT_EQ(got[1][12], rw(500.0f));
  EXPECT_EQ(got[1][19], rw(100.0f));
}

// A "HDASH" table of n pairs (j, 1000 + j).
std::vector<std::string> table_deck(int n) {
  std::vector<std::string> deck = {"MATERIAL", fixed({"1", "1"}), fixed({"", "HDASH", "F5", std::to_string(n)})};
  std::vector<std::string> values;
  for (int j = 1; j <= n; ++j) {
    values.push_back(std::to_string(j) + ".");
    values.push_back(std::to_string(1000 + j) + ".");
    if (values.size() == 8 || j == n) {
      std::vector<std::string_view> f = {""};
      f.insert(f.end(), values.begin(), values.end());
      deck.push_back(fixed(f));
      values.clear();
    }
  }
  return deck;
}

TEST_F(MaterialTest, HardeningTableHoldsAtMost147Pairs) {
  run(table_deck(147));
  const auto got = entries();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].size(), 29u + 2 * 147);
  EXPECT_EQ(got[0][4], 147);
  EXPECT_EQ(got[0][18], rw(1.0f));
  EXPECT_EQ(got[0][310], rw(147.0f));
  EXPECT_EQ(got[0][311], rw(1147.0f));
  for (std::size_t k = 312; k < got[0].size(); ++k) EXPECT_EQ(got[0][k], 0) << "word " << k + 1;
  EXPECT_TRUE(messages().empty());

  fresh();
  EXPECT_EXIT(run(table_deck(148)), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(errlog(), "MATD TABLE TOO LARGE TO HOLD IN MEMORY, CORSIZE=     300"));
}

}  // namespace
}  // namespace zephsol::test
