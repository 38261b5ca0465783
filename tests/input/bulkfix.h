// Fixture of the bulk data tests: a fresh input phase positioned after
// "BEGIN BULK", decks of fixed-field cards, grouping, and INP1 opened for
// the card access routines as IFP1 opens it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/infix.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/bulkgrp.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/inrec.h"

namespace zephsol::test {

// A fixed-field card: each text left-justified in its field of 8 columns.
inline std::string fixed(const std::vector<std::string_view>& fields) {
  std::string card;
  for (std::string_view f : fields) card += padded(f, 8);
  return card;
}

class BulkTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    reset_bulk_state();
    input_state().ctl.KCLASS = CLS_BULK;
  }
  // The cards after "BEGIN BULK", grouped into INP1.
  void group(const std::vector<std::string>& cards) {
    open_deck(cards);
    XMERGE();
  }
  // INP1 open for reading with its buffer at the top of the open core.
  void open_inp1() {
    DBOPEN(INP1, sysw().COREND - sysw().NBUFSZ, kRead);
    crdcom().INPFIL = INP1;
  }
};

}  // namespace zephsol::test
