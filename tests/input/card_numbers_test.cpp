// Every decoder message names the card it is about: one deck per message,
// all decoders running, the faulty card never the last of its deck. A card
// message names the faulty card; a message about a whole set, definition or
// interval (2440, 2208, 2879) names the card that opened it; a missing
// continuation (2518) names the card that ended the item.
#include <string>
#include <vector>

#include "modelfix.h"
#include "zephsol/input/dbboun.h"
#include "zephsol/input/dbincd.h"
#include "zephsol/input/dbload.h"

namespace zephsol::test {
namespace {

class CardNumberTest : public ModelDecoderTest {
 protected:
  void run_all(const std::vector<std::string>& cards) {
    decode(cards, [](IfpDecoders& d) { d = default_decoders(); });
  }
  // The card number in the header of the first message `number` (negative:
  // a warning), 0 without one, -1 when there is no such message.
  word card_of(word number) {
    const std::string kind = number < 0 ? "0*** USER WARNING MESSAGE" : "0*** USER FATAL MESSAGE";
    for (const auto& l : listing()) {
      if (l.rfind(kind, 0) != 0 || std::stoi(l.substr(25, 6)) != std::abs(number)) continue;
      const auto at = l.find("CARD NUMBER");
      return at == std::string::npos ? 0 : std::stoi(l.substr(at + 11, 7));
    }
    return -1;
  }
};

struct Case {
  word message;  // negative: a warning
  word card;     // its 1-based place in the deck
  std::vector<std::string> deck;
};

using F = std::vector<std::string_view>;

// Element types, a material and the start of the connectivity group: the
// element cards of a case follow at card 9.
std::vector<std::string> connecting(const std::vector<std::string>& cards) {
  std::vector<std::string> deck = {"ELEMENT",  fixed({"1", "QPLAN4"}), fixed({"2", "BEAM2"}), fixed({"3", "HEX8"}),
                                   "MATERIAL", fixed({"1", "0"}),      fixed({"", "E", "1."}), "CONNECTI"};
  deck.insert(deck.end(), cards.begin(), cards.end());
  return deck;
}

std::vector<std::string> deck(std::initializer_list<F> cards) {
  std::vector<std::string> out;
  for (const F& f : cards) out.push_back(fixed(f));
  return out;
}

// A group header card in a deck of fixed cards.
F head(std::string_view name) { return {name}; }

const std::string quad = fixed({"2", "1", "", "1", "1", "2", "3", "4"});

TEST_F(CardNumberTest, EveryMessageNamesItsCard) {
  const Case cases[] = {
      // Element types.
      {2124, 2, deck({head("ELEMENT"), {"1", "HEXX"}, {"2", "HEX8"}})},
      {2082, 2, deck({head("ELEMENT"), {"0", "HEX8"}, {"2", "HEX8"}})},
      {2327, 3, deck({head("ELEMENT"), {"1", "HEX8"}, {"1", "HEX8"}, {"2", "HEX8"}})},
      // Materials.
      {2082, 2, deck({head("MATERIAL"), {"0", "0"}, {"1", "0"}, {"", "E", "1."}})},
      {2081, 4, deck({head("MATERIAL"), {"1", "0"}, {"", "E", "1."}, {"1", "0"}, {"2", "0"}})},
      {2143, 2, deck({head("MATERIAL"), {"2", "DUP", "99"}, {"1", "0"}})},
      {2104, 3, deck({head("MATERIAL"), {"1", "0"}, {"", "XYZ", "1."}, {"", "E", "1."}})},
      {2000, 2, deck({head("MATERIAL"), {"", "E", "1."}, {"1", "0"}})},
      {2522, 3, deck({head("MATERIAL"), {"1", "1"}, {"", "E", "F5", "3"}, {"", "NU", "0.3"}})},
      {2104, 3, deck({head("MATERIAL"), {"1", "1"}, {"", "HDASH", "F6", "3"}, {"", "NU", "0.3"}})},
      {2524, 3, deck({head("MATERIAL"), {"1", "1"}, {"", "HDASH", "F5", "1"}, {"", "NU", "0.3"}})},
      {2518, 5, deck({head("MATERIAL"), {"1", "1"}, {"", "HDASH", "F5", "5"}, {"", "1.", "2.", "3.", "4."},
                      {"", "NU", "0.3"}, {"", "E", "1."}})},
      {2602, 3, deck({head("MATERIAL"), {"1", "3"}, {"", "DCK", "0."}, {"", "C", "1."}})},
      {2601, 2, deck({head("MATERIAL"), {"1", "2"}, {"2", "0"}})},
      // Connectivity.
      {2020, 1, deck({head("CONNECTI"), {"1", "1", "", "1", "1", "2", "3", "4"}, {"2", "1"}})},
      {2000, 9, connecting({fixed({"", "1", "2"}), quad})},
      {2131, 9, connecting({fixed({"1", "9", "", "1", "1", "2", "3", "4"}), quad})},
      {-2128, 9, connecting({fixed({"1", "1", "5", "1", "1", "2", "3", "4"}), quad})},
      {2127, 9, connecting({fixed({"1", "2", "", "1", "1", "2"}), quad})},
      {2129, 9, connecting({fixed({"1", "1", "", "0", "1", "2", "3", "4"}), quad})},
      {2332, 9, connecting({fixed({"1", "1", "", "9", "1", "2", "3", "4"}), quad})},
      {2137, 9, connecting({fixed({"1", "1", "", "1", "1", "", "3", "4"}), quad})},
      {2137, 9, connecting({fixed({"1", "3", "", "1", "1", "", "3", "4", "5", "6"}), fixed({"", "7", "8"}), quad})},
      {2137, 10, connecting({fixed({"1", "3", "", "1", "1", "2", "3", "4", "5", "6"}), fixed({"", "7"}), quad})},
      {-2132, 9, connecting({fixed({"1", "1", "", "1", "1", "2", "3", "4", "5"}), quad})},
      {2081, 10, connecting({fixed({"1", "1", "", "1", "1", "2", "3", "4"}),
                             fixed({"1", "1", "", "1", "1", "2", "3", "4"}), quad})},
      {2081, 11, connecting({fixed({"1", "3", "", "1", "1", "2", "3", "4", "5", "6"}), fixed({"", "7", "8"}),
                             fixed({"1", "3", "", "1", "1", "2", "3", "4", "5", "6"}), fixed({"", "7", "8"}), quad})},
      {2082, 9, connecting({fixed({"0", "1", "", "1", "1", "2", "3", "4"}), quad})},
      {2518, 10, connecting({fixed({"1", "3", "", "1", "1", "2", "3", "4", "5", "6"}), quad, fixed({"4", "1"})})},
      // Coordinate systems.
      {2082, 2, deck({head("COORDINA"), {"0", "1"}, {""}, {"1", "1"}, {""}})},
      {2081, 4, deck({head("COORDINA"), {"1", "1"}, {""}, {"1", "1"}, {""}, {"2", "1"}, {""}})},
      {2107, 2, deck({head("COORDINA"), {"1", "5"}, {""}, {"2", "1"}, {""}})},
      {2518, 3, deck({head("COORDINA"), {"1", "1"}, {"2", "1"}, {""}})},
      {-2000, 3, deck({head("COORDINA"), {"1", "1"}, {"", "X"}, {"2", "1"}, {""}})},
      {2000, 2, deck({head("COORDINA"), {"", "", "1."}, {"1", "1"}, {""}})},
      // Nodes.
      {2000, 2, deck({head("NODE"), {"", "1."}, {"1"}})},
      {2106, 2, deck({head("NODE"), {"1", "-2"}, {"2"}})},
      {-2080, 3, deck({head("NODE"), {"1"}, {"1"}, {"2"}})},
      // Properties.
      {2082, 2, deck({head("PROPERTY"), {"0", "1", "1."}, {"1", "1", "1."}})},
      {2081, 3, deck({head("PROPERTY"), {"1", "1", "1."}, {"1", "1", "1."}, {"2", "1", "1."}})},
      {2141, 2, deck({head("PROPERTY"), {"1", "0"}, {"2", "1", "1."}})},
      {2518, 3, deck({head("PROPERTY"), {"1", "12"}, {"2", "1"}, {"3", "1"}})},
      {2000, 2, deck({head("PROPERTY"), {"", "1."}, {"1", "1", "1."}})},
      // Boundary sets.
      {2021, 3, deck({head("DISP"), {"1"}, {"", "0", "", "", "", "1"}, {"", "1", "", "", "", "1"}})},
      {2024, 3, deck({head("DISP"), {"1"}, {"", "1", "5", "0", "", "1"}, {"", "1", "", "", "", "1"}})},
      {2106, 3, deck({head("DISP"), {"1"}, {"", "1", "", "", "0", "1"}, {"", "1", "", "", "", "1"}})},
      {2023, 3, deck({head("DISP"), {"1"}, {"", "1", "", "", "", "0"}, {"", "1", "", "", "", "1"}})},
      {2027, 3, deck({head("DISP"), {"1"}, {"", "1", "", "", "", "3", "2"}, {"", "1", "", "", "", "1"}})},
      {-2026, 2, deck({head("CONST"), {"", "1", "", "", "", "7", "9"}, {"", "2", "", "", "", "1"}})},
      {2101, 3, deck({head("DISP"), {"1"}, {"", "1X", "", "", "", "1"}, {"", "1", "", "", "", "1"}})},
      {2102, 3, deck({head("DISP"), {"1"}, {"", "1", "", "", "", "1", "", "1.5.2"}, {"", "1", "", "", "", "1"}})},
      {2082, 2, deck({head("DISP"), {"0"}, {"2"}, {"", "1", "", "", "", "1"}})},
      {2081, 4, deck({head("DISP"), {"1"}, {"", "1", "", "", "", "1"}, {"1"}, {"2"}, {"", "1", "", "", "", "1"}})},
      {2000, 2, deck({head("DISP"), {"", "1", "", "", "", "1"}, {"1"}, {"", "1", "", "", "", "1"}})},
      {2440, 2, deck({head("DISP"), {"2"}, {"", "0", "", "", "", "1"}, {"3"}, {"", "1", "", "", "", "1"}})},
      {2440, 1, deck({head("CONST"), {"", "0", "", "", "", "1"}, {"", "0", "", "", "", "2"}})},
      // MPC sets.
      {2021, 3, deck({head("MPC"), {"1"}, {"", "0", "1"}, {"", "1", "1", "1.", "1"}, {"", "2", "1", "1."}})},
      {2023, 3, deck({head("MPC"), {"1"}, {"", "1", "0"}, {"", "1", "1", "1.", "1"}, {"", "2", "1", "1."}})},
      {-2026, 3, deck({head("MPC"), {"1"}, {"", "1", "7", "1."}, {"", "2", "1", "1."}})},
      {2181, 3, deck({head("MPC"), {"1"}, {"", "1", "1", "1.", "0"}, {"", "1", "1", "1.", "1"}, {"", "2", "1", "1."}})},
      {2106, 3, deck({head("MPC"), {"1"}, {"", "1", "1", "1.", "1", "0"}, {"", "1", "1", "1.", "1"},
                      {"", "2", "1", "1."}})},
      {2021, 4, deck({head("MPC"), {"1"}, {"", "1", "1", "1.", "1"}, {"", "0", "1", "1."}, {"2"},
                      {"", "1", "1", "1.", "1"}, {"", "2", "1", "1."}})},
      {2023, 4, deck({head("MPC"), {"1"}, {"", "1", "1", "1.", "1"}, {"", "2", "0", "1."}, {"2"},
                      {"", "1", "1", "1.", "1"}, {"", "2", "1", "1."}})},
      {2518, 5, deck({head("MPC"), {"1"}, {"", "1", "1", "1.", "4"}, {"", "2", "1", "1.", "3", "1", "1.", "4", "1", "1."},
                      {"2"}, {"", "1", "1", "1.", "1"}, {"", "2", "1", "1."}})},
      {2440, 2, deck({head("MPC"), {"1"}, {"", "0", "1"}, {"2"}, {"", "1", "1", "1.", "1"}, {"", "2", "1", "1."}})},
      // Temperature and prestress sets.
      {2022, 3, deck({head("TEMPERAT"), {"1"}, {"", "0"}, {"", "1", "", "", "5."}})},
      {2024, 3, deck({head("TEMPERAT"), {"1"}, {"", "1", "5", "-1"}, {"", "1", "", "", "5."}})},
      {2440, 2, deck({head("TEMPERAT"), {"1"}, {"", "0"}, {"2"}, {"", "1"}})},
      {2876, 4, deck({head("TEMPERAT"), {"1"}, {"", "1"}, head("PRESTRES"), {"1"}, {"", "1"}})},
      // Force sets.
      {2021, 3, deck({head("NLOAD"), {"1"}, {"", "0", "", "", "", "1", "", "1."}, {"", "1", "", "", "", "1", "", "1."}})},
      {2024, 3, deck({head("NLOAD"), {"1"}, {"", "1", "5", "0", "", "1", "", "1."}, {"", "1", "", "", "", "1", "", "1."}})},
      {2106, 3, deck({head("NLOAD"), {"1"}, {"", "1", "", "", "0", "1", "", "1."}, {"", "1", "", "", "", "1", "", "1."}})},
      {2026, 3, deck({head("NLOAD"), {"1"}, {"", "1", "", "", "", "7"}, {"", "1", "", "", "", "1", "", "1."}})},
      {2027, 3, deck({head("NLOAD"), {"1"}, {"", "1", "", "", "", "3", "2"}, {"", "1", "", "", "", "1", "", "1."}})},
      {2518, 4, deck({head("NLOAD"), {"1"}, {"", "1", "", "", "", "1", "6", "1.", "2.", "3."}, {"2"},
                      {"", "1", "", "", "", "1", "", "1."}})},
      {2440, 2, deck({head("NLOAD"), {"1"}, {"", "0", "", "", "", "1"}, {"2"}, {"", "1", "", "", "", "1", "", "1."}})},
      {2193, 3, deck({head("DLOAD"), {"1"}, {"", "1", "", "", "-1"}, {"", "1", "", "", "1"}})},
      {2871, 3, deck({head("DLOAD"), {"1"}, {"", "1", "", "", "1", "9"}, {"", "1", "", "", "1"}})},
      {2022, 3, deck({head("DLOAD"), {"1"}, {"", "0", "", "", "1"}, {"", "1", "", "", "1"}})},
      {2022, 3, deck({head("BODY"), {"1"}, {"", "0", "", "", "1."}, {"", "1", "", "", "1."}})},
      {2022, 2, deck({head("INIT STR"), {"", "0", "", "", "1."}, {"", "1", "", "", "1.", "2.", "3.", "4.", "5.", "6."},
                      {"", "7.", "8.", "9.", "10.", "11.", "12."}})},
      // Element groups.
      {2022, 3, deck({head("EGROUP"), {"1"}, {"", "F1", "0", "2"}, {"", "F1", "3"}})},
      {2022, 3, deck({head("EGROUP"), {"1"}, {"", "F2", "0", "2"}, {"", "F1", "3"}})},
      {2024, 3, deck({head("EGROUP"), {"1"}, {"", "F2", "1", "5", "-1"}, {"", "F1", "3"}})},
      {2104, 3, deck({head("EGROUP"), {"1"}, {"", "F3", "1"}, {"", "F1", "3"}})},
      {2440, 2, deck({head("EGROUP"), {"1"}, {"", "F1", "0"}, {"2"}, {"", "F1", "1"}})},
      {2081, 4, deck({head("MGROUP"), {"1"}, {"", "F1", "1"}, {"1"}, {"", "F1", "2"}, {"2"}, {"", "F1", "3"}})},
      // Construction history.
      {2104, 2, deck({head("HISTORY"), {"", "XXXX", "1"}, {"INTERVAL"}, {"", "ACTI", "1"}})},
      {2028, 3, deck({head("HISTORY"), {"INTERVAL"}, {"", "DISP", "0"}, {"", "DISP", "1"}})},
      {2201, 2, deck({head("HISTORY"), {"INTERVAL", "0"}, {"", "DISP", "1"}, {"INTERVAL"}})},
      {2104, 4, deck({head("HISTORY"), {"INTERVAL"}, {"", "DISP", "1"}, {"INTERVAX"}, {"INTERVAL"}, {"", "DISP", "1"}})},
      {2873, 4, deck({head("HISTORY"), {"INTERVAL"}, {"", "MATC", "1", "2"}, {"", "MGCH", "1", "2"}, {"", "DISP", "1"}})},
      {2874, 3, deck({head("HISTORY"), {"INTERVAL"}, {"", "RELS", "5", "0.5"}, {"", "DISP", "1"}})},
      {2000, 5, deck({head("HISTORY"), {"INTERVAL"}, {"", "INAC", "4"}, {"INTERVAL"}, {"", "RELS", "1", "1.5"},
                      {"", "DISP", "1"}})},
      {2875, 5, deck({head("HISTORY"), {"INTERVAL"}, {"", "DISP", "1"}, {"INTERVAL"}, {"", "RELS", "1", "0.5"},
                      {"", "DISP", "1"}})},
      {2868, 7, deck({head("HISTORY"), {"INTERVAL"}, {"", "INAC", "4"}, {"INTERVAL"}, {"", "RELS", "1", "0.6"},
                      {"INTERVAL"}, {"", "RELS", "1", "0.5"}, {"INTERVAL"}, {"", "INAC", "5"}})},
      {2208, 2, deck({head("HISTORY"), {"INTERVAL"}, {"", "DISP", "1"}, {"", "INAC", "3"}, {"INTERVAL"}, {"", "DISP", "1"}})},
      {2879, 2, deck({head("HISTORY"), {"INTERVAL"}, {"", "MGCH", "1", "2"}, {"", "PGCH", "3", "4"},
                      {"", "MGCH", "5", "6"}, {"INTERVAL"}, {"", "DISP", "1"}})},
  };
  for (const Case& c : cases) {
    fresh();
    run_all(c.deck);
    EXPECT_LT(static_cast<std::size_t>(c.card), c.deck.size()) << c.message << ": the faulty card is the last";
    EXPECT_EQ(card_of(c.message), c.card) << "message " << c.message << " in\n" << [&] {
      std::string all;
      for (const auto& card : c.deck) all += card + "\n";
      return all;
    }();
  }
}

// The regions and releases that only many cards reach.
TEST_F(CardNumberTest, HistoryLimitsNameTheirCard) {
  std::vector<std::string> many = {"HISTORY"};
  for (int i = 0; i < 9; ++i) {
    many.push_back(fixed({"INTERVAL"}));
    many.push_back(fixed({"", "INAC", std::to_string(i + 1)}));
  }
  many.push_back(fixed({"INTERVAL"}));
  run_all(many);
  EXPECT_EQ(card_of(2872), 19);  // the ninth region

  fresh();
  std::vector<std::string> releases = {"HISTORY", fixed({"INTERVAL"}), fixed({"", "INAC", "4"}), fixed({"INTERVAL"})};
  for (int i = 0; i < 11; ++i) releases.push_back(fixed({"", "RELS", "1", "0.01"}));
  releases.push_back(fixed({"INTERVAL"}));
  run_all(releases);
  EXPECT_EQ(card_of(2877), 15);  // the eleventh release
}

}  // namespace
}  // namespace zephsol::test
