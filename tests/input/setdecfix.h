// Fixture of the set decoder tests (boundary, load, history): a bulk data
// deck grouped into INP1 by the real grouping, IFP1 running the decoder
// under test alone, and readers of the block it wrote and of the decoder
// messages it printed.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "bulkfix.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/input/ifp1.h"

namespace zephsol::test {

class SetDecoderTest : public BulkTest {
 protected:
  // Groups the bulk data cards (ENDDATA added) and runs IFP1 with the one
  // decoder bound in its place.
  template <class Bind>
  void decode(std::vector<std::string> cards, Bind bind) {
    cards.push_back("ENDDATA");
    group(cards);
    bulk_state().decoders = IfpDecoders{};
    bind(bulk_state().decoders);
    IFP1();
  }
  // Fresh records for a further case in the same test.
  void restart() {
    fresh_records();
    reset_bulk_state();
    input_state().ctl.KCLASS = CLS_BULK;
  }
  std::vector<std::vector<word>> records(word block) {
    word mark = 0;
    return block_records(block, mark);
  }
  std::array<word, 6> header(word block) {
    std::array<word, 6> h{};
    HDRGET(block, h);
    return h;
  }
  // The decoder messages printed on the listing, in order: the number,
  // negative for a warning.
  std::vector<word> messages() {
    std::vector<word> out;
    for (const auto& l : listing()) {
      if (l.rfind("0*** USER FATAL MESSAGE", 0) == 0) out.push_back(std::stoi(l.substr(25, 6)));
      if (l.rfind("0*** USER WARNING MESSAGE", 0) == 0) out.push_back(-std::stoi(l.substr(25, 6)));
    }
    return out;
  }
  // The text line printed after the header of the first message `number`.
  std::string message_text(word number) {
    const auto log = errlog();
    for (std::size_t i = 0; i + 1 < log.size(); ++i)
      if (log[i].rfind("0*** USER", 0) == 0 && std::stoi(log[i].substr(25, 6)) == number)
        return log[i + 1];
    return {};
  }
};

// Words of an eight-character name.
inline std::vector<word> name8(std::string_view s) {
  const auto w = name_words8(s);
  return {w[0], w[1]};
}

// A REAL as the word it is stored in.
inline word rw(float v) { return real_word(v); }

}  // namespace zephsol::test
