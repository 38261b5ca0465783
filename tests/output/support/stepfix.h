// Fixtures of the step output tests: a fresh file system in a scratch
// directory (listing "listing", error log "errors", result file "POST"),
// fresh records, the case control run through its real reader into CTRL and
// CTRN, and the model and step data blocks written in their own layouts.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "support/postread.h"
#include "common/fatal.h"
#include "common/testing.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/words.h"

namespace zephsol::test {

using Words = std::vector<word>;

class StepTest : public ::testing::Test {
 protected:
  explicit StepTest(word memo = 2) : fs_(memo) {}
  void SetUp() override;

  // The "OUTPUT" block (print requests) and the "NOUTPUT" block (result-file
  // requests, NOUTFL set), read by the case-control reader.
  void print_requests(const std::vector<std::string>& statements);
  // ierflg: the fatal flag the reader is expected to leave.
  void post_requests(const std::vector<std::string>& statements, word ierflg = 0);

  // EQIX of nodes (identifier, DOF count) in ascending identifier order, the
  // equations numbered in that order.
  struct NodeDef {
    word id;
    word dofs;
  };
  void write_nodes(const std::vector<NodeDef>& nodes);
  // USET: one word per equation; header word 6 the OR of the words.
  void write_uset(const Words& words);
  // A matrix data block of double-precision columns.
  void write_columns(word file, const std::vector<std::vector<double>>& columns);

  // The element state block EIV0: one record per element, written through
  // the state store, each point filled by `fill` (block switches and values
  // of EIVWKA); a status other than 0 marks an element inactive.
  struct StateDef {
    word iexn, iecod, iclass, npts, outpt;
    std::function<void(word point, EIVWK& w)> fill;
    word status = 0;
  };
  void write_states(const std::vector<StateDef>& elements);

  // OFP1 at interval / step / cumulative step.
  void output_step(word interval, word step, word cumulative);

  PostFile post() const;
  std::vector<std::string> post_lines() const;
  std::vector<std::string> listing() const;
  std::string errors() const { return fs_.read("errors"); }

  // Runs fn in a death-test child that must end the run as an error; returns
  // the error log it left.
  std::string fatal_log(const std::function<void()>& fn) { return test::fatal_log(fs_, fn); }

  zephsol::testing::FreshFileSystem fs_;
  word neq_ = 0;
};

// The values printed in the nodal tables of the listing: identifier and
// values of each line of the layout (7X,I8,5X,1P,6E16.5).
std::vector<std::pair<int, std::vector<double>>> table_values(const std::vector<std::string>& listing);

// The reason line of the generic program-logic text with its two parameters.
std::string reason_line(word p1, word p2);

}  // namespace zephsol::test
