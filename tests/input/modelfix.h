// Fixture of the model decoder tests: a deck grouped by the real grouping
// and decoded by IFP1 with the model decoders bound in their places, and
// readers of what they left.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "setdecfix.h"
#include "zephsol/dbio/core.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/input/decoders.h"

namespace zephsol::test {

class ModelDecoderTest : public SetDecoderTest {
 protected:
  void SetUp() override {
    SetDecoderTest::SetUp();
    reset_elem_state();
  }
  // Fresh records for a further case in the same test.
  void fresh() {
    restart();
    reset_elem_state();
  }
  // Groups the cards and runs the five model decoders through IFP1.
  void run(const std::vector<std::string>& cards) {
    decode(cards, [](IfpDecoders& d) {
      d.DBETYP = DBETYP;
      d.DBMATD = DBMATD;
      d.DBSTRC = DBSTRC;
      d.DBEGED = DBEGED;
      d.DBELST = DBELST;
    });
  }
  static const ETYP& etyp() { return elem_state().tables.etyp; }
  static const PRPTAB& prptab() { return elem_state().tables.prptab; }
  // n open-core words from word `first`.
  static std::vector<word> core_words(word first, word n) {
    const auto w = core().words(first, n);
    return {w.begin(), w.end()};
  }
  // The card number printed in the header of the first message `number`,
  // 0 when the header names no card.
  word message_card(word number) {
    for (const auto& l : listing()) {
      if (l.rfind("0*** USER", 0) != 0 || std::stoi(l.substr(25, 6)) != number) continue;
      const auto at = l.find("CARD NUMBER");
      return at == std::string::npos ? 0 : std::stoi(l.substr(at + 11, 7));
    }
    return -1;
  }
};

}  // namespace zephsol::test
