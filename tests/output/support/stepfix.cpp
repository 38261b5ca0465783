#include "support/stepfix.h"

#include <fstream>
#include <regex>

#include "common/block_dump.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/cards.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/outreq.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/model/model_records.h"
#include "zephsol/output/ofp1.h"
#include "zephsol/output/output_records.h"

namespace zephsol::test {

namespace {

word top_buffer() { return sysw().COREND - sysw().NBUFSZ; }

// Reads one block of the case control with its reader.
void read_block(const std::vector<std::string>& statements, word kclass, word ierflg = 0) {
  const word noutfl = input_state().NOUTFL;
  reset_input_state();
  input_state().NOUTFL = noutfl;
  CHRINI();
  {
    std::ofstream deck("deck.dat");
    for (const std::string& s : statements) deck << s << '\n';
    deck << "BEGIN BULK\n";
  }
  unit_open(5, "deck.dat", UnitForm::Formatted, UnitStatus::Old);
  input_state().ctl.KCLASS = kclass;
  if (kclass == CLS_OUTPUT)
    OUTREQ();
  else
    NOUREQ();
  unit_close(5);
  EXPECT_EQ(sysw().IERFLG, ierflg) << "case control messages";
  sysw().IERFLG = 0;
}

}  // namespace

void StepTest::SetUp() {
  reset_iter_state();
  reset_output_state();
  reset_input_state();
  reset_elem_state();
  reset_model_state();
}

void StepTest::print_requests(const std::vector<std::string>& statements) { read_block(statements, CLS_OUTPUT); }

void StepTest::post_requests(const std::vector<std::string>& statements, word ierflg) {
  read_block(statements, CLS_NOUTPUT, ierflg);
  input_state().NOUTFL = -1;
}

void StepTest::write_nodes(const std::vector<NodeDef>& nodes) {
  Words rec1, rec2;
  word eq = 1, largest = 0;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    rec1.insert(rec1.end(), {nodes[i].id, static_cast<word>(i + 1)});
    rec2.insert(rec2.end(), {nodes[i].id, eq * 1024 + nodes[i].dofs});
    eq += nodes[i].dofs;
    largest = std::max(largest, nodes[i].dofs);
  }
  neq_ = eq - 1;
  write_block(EQIX, {rec1, rec2}, {static_cast<word>(nodes.size()), neq_, largest, 0, 0, 0});
}

void StepTest::write_uset(const Words& words) {
  word f = 0;
  for (word w : words) f |= w;
  write_block(USET, {words}, {static_cast<word>(words.size()), 0, 0, 0, 0, f});
}

void StepTest::write_columns(word file, const std::vector<std::vector<double>>& columns) {
  const auto rows = static_cast<word>(columns.front().size());
  MCB m{file, 0, rows, 2, 2, 0, 0};
  DBOPEN(file, top_buffer(), kWrite);
  for (const auto& c : columns) COLPUT(m, 2, c.data(), 1, rows);
  DBCLOS(file, kCloseRewind);
  HDRPUT(file, m.header());
}

void StepTest::write_states(const std::vector<StateDef>& elements) {
  std::array<word, 6> trailer{static_cast<word>(elements.size()), 0, 0, 0, 0, 1};
  std::vector<word> area(20000);
  DBOPEN(EIV0, top_buffer(), kWrite);
  for (const StateDef& e : elements) {
    ESTCOM& c = estcom();
    c.IEXN = e.iexn;
    c.IECOD = e.iecod;
    c.ICLASS = e.iclass;
    c.NPTS = e.npts;
    c.IOUTPT = e.outpt;
    EIVRDA(0, area);
    EIVOPA(EIV0);
    for (word p = 1; p <= e.npts; ++p) {
      EIVGTA(p);
      if (e.fill) e.fill(p, eivwka());
      EIVPTA();
    }
    eivwka().head[5] = e.status;
    trailer[3] = std::max(trailer[3], e.npts);
    EIVWRA(trailer);
  }
  DBCLOS(EIV0, kCloseRewind);
  HDRPUT(EIV0, trailer);
}

void StepTest::output_step(word interval, word step, word cumulative) {
  STPCTR& s = stpctr();
  s.NINTVL = interval;
  s.NSTEP = step;
  s.NSTEPC = cumulative;
  OFP1(CTRL, CTRN, USET, EQIX, UG, EIV0, UGSV, OQGV, DPG, 0);
}

std::vector<std::string> StepTest::post_lines() const {
  unit_flush_all();
  return file_lines((fs_.dir() / "POST").string());
}

PostFile StepTest::post() const { return read_post(post_lines()); }

std::vector<std::string> StepTest::listing() const {
  unit_flush_all();
  return file_lines((fs_.dir() / "listing").string());
}

std::vector<std::pair<int, std::vector<double>>> table_values(const std::vector<std::string>& listing) {
  static const std::regex line(R"( {7}[ \d-]{7}\d {5}([ -]{5}\d\.\d{5}E[+-]\d{2}){1,6})");
  std::vector<std::pair<int, std::vector<double>>> out;
  for (const std::string& l : listing) {
    if (!std::regex_match(l, line)) continue;
    std::vector<double> v;
    for (std::size_t p = 20; p + 16 <= l.size(); p += 16) v.push_back(std::stod(l.substr(p, 16)));
    out.emplace_back(std::stoi(l.substr(7, 8)), v);
  }
  return out;
}

std::string reason_line(word p1, word p2) {
  const std::string a = std::to_string(p1), b = std::to_string(p2);
  return "REASON CODE =" + std::string(10 - a.size(), ' ') + a + "," + std::string(10 - b.size(), ' ') + b;
}

}  // namespace zephsol::test
