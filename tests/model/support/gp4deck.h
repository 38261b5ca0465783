// The interval set-up in the tests: a small history model of two
// quadrilaterals, its interval cards, GP4 called for the next interval and
// the tables it wrote as maps by node and component.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/bcdt.h"
#include "support/modeldeck.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/model/gp2.h"
#include "zephsol/model/gp4.h"

namespace zephsol::test {

// Two unit quadrilaterals 1-2-5-4 (element 1) and 2-3-6-5 (element 2, group
// 1). "CONST" fixes nodes 1 and 4; "DISP" 7 moves node 3 by 0.5 in x; "MPC"
// 9 ties node 6's y to node 3's y plus twice node 3's x.
inline std::string history_model(const std::string& history, const std::string& extra = "") {
  std::string b = "ELEMENT\n" + card({"1", "QPLAN4"}) + "\n" + material_cards() + "NODE\n";
  const char* xy[6][2] = {{"0.0", "0.0"}, {"1.0", "0.0"}, {"2.0", "0.0"}, {"0.0", "1.0"}, {"1.0", "1.0"}, {"2.0", "1.0"}};
  for (int k = 0; k < 6; ++k) b += node_card(k + 1, xy[k][0], xy[k][1], "0.0");
  b += "CONNECTI\n" + element_card(1, 1, 0, {1, 2, 5, 4}) + element_card(2, 1, 0, {2, 3, 6, 5}) + "EGROUP\n" +
       card({"1"}) + "\n" + card({"", "F1", "2"}) + "\n" + "CONST\n" + card({"", "1", "", "", "", "1", "2"}) + "\n" +
       card({"", "4", "", "", "", "1", "2"}) + "\nDISP\n" + card({"7"}) + "\n" +
       card({"", "3", "", "", "", "1", "", "0.5"}) + "\n" + extra + "MPC\n" + card({"9"}) + "\n" +
       card({"", "6", "2", "0.0", "2"}) + "\n" + card({"", "3", "2", "1.0", "3", "1", "2.0"}) + "\n" + "HISTORY\n" +
       history;
  return bulk_deck(b);
}

inline std::string interval(int steps) { return card({"INTERVAL", std::to_string(steps)}) + "\n"; }
inline std::string event(const std::string& key, const std::string& id, const std::string& value = "") {
  return card({"", key, id, value}) + "\n";
}

struct Outputs {
  word LASTIV = 0, EXCAVF = 0, NSTEPS = 0, LSTGRP = 0, EXREGN = 0;
  float RELFAC = 0.0f;
};

inline Outputs next_interval() {
  Outputs o;
  GP4(INCD, BCDT, LDDT, TMPD, ECT, EQIX, CSTM, NODC, IELS, USET, GST, YS, DPG0, EPD, ENTD, ROTB, XCLD, exec_state().intctl,
      o.LASTIV, o.EXCAVF, o.NSTEPS, o.RELFAC, o.LSTGRP, o.EXREGN);
  return o;
}

// Equation of (node, component).
inline std::map<std::pair<word, word>, word> equations() {
  std::map<std::pair<word, word>, word> out;
  const auto pairs = block_records(EQIX).at(1);
  for (std::size_t k = 0; k < pairs.size(); k += 2)
    for (word c = 1; c <= (pairs[k + 1] & 255); ++c) out[{pairs[k], c}] = (pairs[k + 1] >> 10) + c - 1;
  return out;
}

// The USET word of each (node, component).
inline std::map<std::pair<word, word>, word> uset_words() {
  std::map<std::pair<word, word>, word> out;
  const auto u = block_records(USET).at(0);
  for (const auto& [nc, eq] : equations()) out[nc] = u[static_cast<std::size_t>(eq - 1)];
  return out;
}

inline std::vector<std::vector<double>> dense_columns(word file) {
  MCB m{file};
  HDRGET(file, m.header());
  std::vector<std::vector<double>> out(static_cast<std::size_t>(m.cols), std::vector<double>(static_cast<std::size_t>(m.rows)));
  DBOPEN(file, 2, kRead);
  for (auto& v : out) {
    word first = 1, last = m.rows, empty = 0;
    COLGET(m, 2, v.data(), first, last, empty);
  }
  DBCLOS(file, kCloseRewind);
  return out;
}

class Gp4Run : public ::testing::Test {
 protected:
  // The deck through the model tables and GP2; `automatic` asks GP2 for
  // the automatic MPC equations of stray nodes.
  void start(const std::string& deck, bool automatic = false) {
    run_.reset();  // the previous run's directory goes first
    run_ = std::make_unique<DeckRun>(deck);
    ASSERT_TRUE(run_->model_phase());
    if (automatic) sysw().IAMPC = 1;
    GP2(BOUN, EQIX, CSTM, NODC, CONE, BCDT);
    ASSERT_EQ(sysw().IERFLG, 0);
  }
  std::unique_ptr<DeckRun> run_;
};

}  // namespace zephsol::test
