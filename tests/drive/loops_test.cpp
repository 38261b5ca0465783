// The interval and step loops against recording fakes of the modules.
//
// The fakes form a small linear model whose vectors pass through real data
// blocks: three degrees of freedom and a few "elements", each with a
// stiffness k (times the identity) and a body load g. An element's state is
// its strain vector; the stress recovery adds the displacement increment to
// the strains of the active elements and returns QG = PGM - sum k eps; the
// solution divides its load by the active stiffness. Removing elements
// (excavation) takes their loads out of PGM, and the loops spread the release
// forces over the steps. Because the model is linear, every accepted step
// ends in equilibrium (QG = 0 after the release bookkeeping) and the final
// displacements are known in closed form: g / k of the elements that remain.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/drive/loops.h"
#include "zephsol/drive/modules.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;

constexpr word kRows = 3;
using Vec = std::array<double, kRows>;

Vec operator+(const Vec& a, const Vec& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Vec operator-(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec operator*(double s, const Vec& a) { return {s * a[0], s * a[1], s * a[2]}; }

std::string show(const Vec& v) {
  std::ostringstream s;
  s << "(" << v[0] << ", " << v[1] << ", " << v[2] << ")";
  return s.str();
}

::testing::AssertionResult near(const Vec& actual, const Vec& expected, double tol = 1e-9) {
  for (int i = 0; i < kRows; ++i)
    if (std::abs(actual[i] - expected[i]) > tol)
      return ::testing::AssertionFailure() << show(actual) << " is not " << show(expected);
  return ::testing::AssertionSuccess();
}

// ------------------------------------------------------ vectors and records

word buffer() { return sysw().COREND - sysw().NBUFSZ; }

std::array<word, 6> header_of(word block) {
  std::array<word, 6> h{};
  HDRGET(block, h);
  return h;
}

bool absent(word block) {
  const auto h = header_of(block);
  return std::all_of(h.begin(), h.end(), [](word w) { return w == 0; });
}

// A load or displacement vector: one packed column of doubles.
void write_vector(word block, const Vec& v) {
  MCB mcb{block, 0, kRows, kRectangular, kRealDouble, 0, 0};
  DBOPEN(block, buffer(), kWrite);
  COLPUT(mcb, 2, v.data(), 1, kRows);
  DBCLOS(block, kCloseRewind);
  HDRPUT(block, mcb.header());
}

// The first column of a vector data block; zeros when it is absent or empty.
Vec read_vector(word block) {
  Vec v{};
  const auto h = header_of(block);
  if (h[0] == 0) return v;
  MCB mcb{block, h[0], h[1], h[2], h[3], h[4], h[5]};
  word first = 1, last = kRows, empty = 0;
  DBOPEN(block, buffer(), kRead);
  COLGET(mcb, 2, v.data(), first, last, empty);
  DBCLOS(block, kCloseRewind);
  return v;
}

// One record of kRows doubles per element (states and element loads).
void write_records(word block, const std::vector<Vec>& rows) {
  DBOPEN(block, buffer(), kWrite);
  for (const Vec& r : rows) DBWRDP(block, r.data(), kRows, 1);
  DBCLOS(block, kCloseRewind);
  HDRPUT(block, std::array<word, 6>{static_cast<word>(rows.size()), 2 * kRows, 0, 0, 0, 0});
}

std::vector<Vec> read_records(word block, std::size_t elements) {
  std::vector<Vec> rows(elements, Vec{});
  if (header_of(block)[0] == 0) return rows;
  DBOPEN(block, buffer(), kRead);
  for (Vec& r : rows) DBRDDP(block, r.data(), kRows, 1);
  DBCLOS(block, kCloseRewind);
  return rows;
}

std::string name_of(word block) {
  if (block == 0) return "0";
  word n = 0;
  DBNAME(block, n);
  std::string s = word_name(n);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// ------------------------------------------------------------------ script

struct Interval {
  word nsteps = 1;
  word excavf = 0;            // EXCAVF from GP4 (-1 when elements are removed)
  float relfac = 0.0f;        // release fraction
  word region = 0;            // EXREGN from GP4
  std::vector<int> removed;   // elements inactivated by the interval
  bool loads = false;         // the elements' body loads are applied over the interval
};

// What the loops saw at an output: the counters, vectors and release words.
struct Output {
  word interval, step;
  Vec UG, QG, DPG, XQGV, EGED, EGEE;
  RELSWD rel;
  INTCTL ic;
};

// What a checkpoint after an interval hands over.
struct Checkpoint {
  STPCTR stp;
  INTCTL ic;
  RELSWD rel;
  std::map<word, Vec> vectors;
  std::map<word, std::vector<Vec>> records;
};

struct Harness {
  // The model.
  std::vector<double> k{2.0, 2.0, 4.0, 1.0};
  std::vector<Vec> g{Vec{2, 4, -2}, Vec{6, 0, 2}, Vec{4, 8, 4}, Vec{1, 1, 1}};
  std::vector<Interval> intervals;
  std::set<int> excluded;
  // Scripted results.
  std::deque<word> sdrflg;     // statuses of successive SDR calls (then 0)
  std::deque<word> converged;  // flags of successive CNVTST calls after iterations (then -1)
  std::string fail_in;         // module that sets IERFLG
  word knoten = 0;
  std::vector<word> sintval;
  word checkpoint_at = 0;      // interval whose checkpoint is kept
  // Records of the run.
  std::vector<std::string> calls;
  std::vector<Vec> solve_loads;  // the load of every SOLVE call
  std::vector<Vec> sdr_qg;       // QG as each SDR call left it
  std::vector<Output> outputs;
  std::vector<std::string> stat_at_gp4;  // first progress-file line when each GP4 starts
  Checkpoint saved;

  std::size_t elements() const { return k.size(); }
  bool active(std::size_t e) const { return !excluded.count(static_cast<int>(e)); }
  double active_stiffness() const {
    double s = 0;
    for (std::size_t e = 0; e < elements(); ++e)
      if (active(e)) s += k[e];
    return s;
  }
  // sum of k eps over the active elements
  Vec internal_force(const std::vector<Vec>& eps) const {
    Vec f{};
    for (std::size_t e = 0; e < elements(); ++e)
      if (active(e)) f = f + k[e] * eps[e];
    return f;
  }
};
Harness H;

void record(std::string call) { H.calls.push_back(std::move(call)); }

void record_blocks(const std::string& module, std::initializer_list<word> blocks) {
  std::string line = module;
  for (word b : blocks) line += " " + name_of(b);
  record(line);
}

void fail_if(const std::string& module) {
  if (H.fail_in == module) sysw().IERFLG = 1;
}

std::string first_line(const std::string& file) {
  unit_flush_all();
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// ------------------------------------------------------------------- fakes

void fake_gp4(word, word, word, word, word, word, word, word, word, word, word, word, word DPG0_, word EPD_,
              word, word, word, INTCTL& ic, word& LASTIV, word& EXCAVF, word& NSTEPS, float& RELFAC, word& LSTGRP,
              word& EXREGN) {
  const word n = ic.NIVSET + 1;
  ic.NIVSET = n;
  record("GP4 " + std::to_string(n));
  H.stat_at_gp4.push_back(first_line("STAT"));
  const Interval& iv = H.intervals.at(static_cast<std::size_t>(n - 1));
  H.excluded.clear();
  for (word j = 0; j < n; ++j)
    for (int e : H.intervals[static_cast<std::size_t>(j)].removed) H.excluded.insert(e);
  LASTIV = n == static_cast<word>(H.intervals.size()) ? -1 : 0;
  EXCAVF = iv.excavf;
  NSTEPS = iv.nsteps;
  RELFAC = iv.relfac;
  LSTGRP = 0;
  EXREGN = iv.region;
  std::vector<Vec> epd(H.elements(), Vec{});
  if (iv.loads)
    for (std::size_t e = 0; e < H.elements(); ++e) epd[e] = (1.0 / iv.nsteps) * H.g[e];
  write_records(EPD_, epd);
  write_vector(DPG0_, Vec{});
  fail_if("GP4");
}

// Mode 1: the step's loads DPG = DPGM = DPG0 + the active elements' loads.
// Mode -1: the accumulated loads of the removed elements leave the load vector.
void fake_emg(word, word, word state, word load, word, word eloads, word, word, word dpg, word dpgm, word mode) {
  record("EMG " + name_of(state) + " " + std::to_string(mode));
  if (mode == 1) {
    const auto epd = read_records(eloads, H.elements());
    Vec step = read_vector(load);
    for (std::size_t e = 0; e < H.elements(); ++e)
      if (H.active(e)) step = step + epd[e];
    write_vector(dpg, step);
    write_vector(dpgm, step);
  } else if (mode == -1) {
    const auto epx = read_records(eloads, H.elements());
    Vec p = read_vector(load);
    for (std::size_t e = 0; e < H.elements(); ++e)
      if (!H.active(e)) p = p - epx[e];
    write_vector(dpgm, p);
  }
  fail_if("EMG");
}

void fake_accepd(word epx, word epd, word epy) {
  record_blocks("ACCEPD", {epx, epd, epy});
  auto total = read_records(epx, H.elements());
  const auto step = read_records(epd, H.elements());
  for (std::size_t e = 0; e < H.elements(); ++e) total[e] = total[e] + step[e];
  write_records(epy, total);
}

void fake_modepx(word epx, word xcld, word epy) {
  record_blocks("MODEPX", {epx, xcld, epy});
  auto loads = read_records(epx, H.elements());
  for (std::size_t e = 0; e < H.elements(); ++e)
    if (!H.active(e)) loads[e] = Vec{};
  write_records(epy, loads);
}

void fake_pgmdfy(word uset, word in, word out) { record_blocks("PGMDFY", {uset, in, out}); }
void fake_ema(word, word, word, word, word) { record("EMA"); }
void fake_mce(word, word, word, word, word, word) { record("MCE"); }

void fake_tria(word kll, word, word, word lll) {
  record_blocks("TRIA", {kll, lll});
  fail_if("TRIA");
}

void fake_solve(word, word K, word P, word ys, word, word, word, word, word dug, word oqgv, word method,
                const SolverWork& w) {
  record("SOLVE " + name_of(K) + " " + name_of(P) + " " + name_of(ys) + " " + std::to_string(method) + " " +
         std::to_string(w.words));
  const Vec load = read_vector(P);
  H.solve_loads.push_back(load);
  write_vector(dug, (1.0 / H.active_stiffness()) * load);
  write_vector(oqgv, Vec{});
  fail_if("SOLVE");
}

void fake_sdr(word, word, word state, word dug, word entd, word pgm, word, word eiv1, word qg, word& flag) {
  record("SDR " + name_of(state) + " " + name_of(entd));
  auto eps = read_records(state, H.elements());
  const Vec du = read_vector(dug);
  for (std::size_t e = 0; e < H.elements(); ++e) eps[e] = H.active(e) ? eps[e] + du : Vec{};
  write_records(eiv1, eps);
  const Vec q = read_vector(pgm) - H.internal_force(eps);
  write_vector(qg, q);
  H.sdr_qg.push_back(q);
  flag = 0;
  if (!H.sdrflg.empty()) {
    flag = H.sdrflg.front();
    H.sdrflg.pop_front();
  }
  fail_if("SDR");
}

void fake_ubforc(word, word eiv0, word pgm, word, word dpgm) {
  record_blocks("UBFORC", {eiv0, pgm, dpgm});
  write_vector(dpgm, read_vector(pgm) - H.internal_force(read_records(eiv0, H.elements())));
}

void fake_modeiv(word eiv0, word eiv1, word eiv2) {
  record_blocks("MODEIV", {eiv0, eiv1, eiv2});
  write_records(eiv2, read_records(eiv0, H.elements()));
}

void fake_cnvtst(word, word, word, word first, float&, float&, float&, float&, word& conv) {
  record("CNVTST " + std::to_string(first));
  conv = first == 1 ? 0 : -1;
  if (first == 0 && !H.converged.empty()) {
    conv = H.converged.front();
    H.converged.pop_front();
  }
}

void fake_ofp1(word, word, word, word, word ug, word, word, word, word dpg, word excavf) {
  record("OFP1 " + std::to_string(excavf));
  const STPCTR& s = stpctr();
  H.outputs.push_back({s.NINTVL, s.NSTEP, read_vector(ug), read_vector(QG), read_vector(dpg), read_vector(XQGV),
                       read_vector(EGED), read_vector(EGEE), relswd(), exec_state().intctl});
}

void fake_ofp1m(word ctrl, word ctrn, word eiv0, word excavf) {
  record_blocks("OFP1M", {ctrl, ctrn, eiv0});
  record("OFP1M EXCAVF " + std::to_string(excavf));
}

void fake_chksav(word b1, word b2, word b3, word b4, word b5, word b6, word b7, word b8, word b9, word b10,
                 word loop) {
  const std::array<word, 10> blocks{b1, b2, b3, b4, b5, b6, b7, b8, b9, b10};
  std::string line = "CHKSAV";
  for (word b : blocks) line += " " + name_of(b);
  record(line + " " + std::to_string(loop));
  if (stpctr().NINTVL != H.checkpoint_at) return;
  Checkpoint& c = H.saved;
  c.stp = stpctr();
  c.ic = exec_state().intctl;
  c.rel = relswd();
  for (word b : blocks) {
    if (b == 0 || absent(b)) continue;
    if (b == EPX || b == EIV0)
      c.records[b] = read_records(b, H.elements());
    else
      c.vectors[b] = read_vector(b);
  }
}

std::span<const word> sintval_list() { return H.sintval; }

Modules fakes() {
  Modules m;
  m.CHKSAV = fake_chksav;
  m.GP4 = fake_gp4;
  m.ACCEPD = fake_accepd;
  m.MODEPX = fake_modepx;
  m.EMG = fake_emg;
  m.EMA = fake_ema;
  m.MCE = fake_mce;
  m.PGMDFY = fake_pgmdfy;
  m.TRIA = fake_tria;
  m.SOLVE = fake_solve;
  m.SDR = fake_sdr;
  m.UBFORC = fake_ubforc;
  m.MODEIV = fake_modeiv;
  m.CNVTST = fake_cnvtst;
  m.OFP1 = fake_ofp1;
  m.OFP1M = fake_ofp1m;
  m.SINTVAL = sintval_list;
  m.KNOTEN = &H.knoten;
  return m;
}

// ------------------------------------------------------------------ fixture

// A fresh file system in a temporary directory (listing "listing", error
// log "errors", console "console"), the model's initial loads and states as
// the model phase leaves them (zero), and a fresh harness.
class Loops : public ::testing::Test {
 protected:
  void SetUp() override { start(); }

  void start() {
    fs_.reset();
    fs_ = std::make_unique<FreshFileSystem>();
    unit_open(0, "console", UnitForm::Formatted, UnitStatus::Unknown);
    reset_relswd();
    H = Harness{};
    write_vector(PGM, Vec{});
    write_records(EIV0, std::vector<Vec>(H.elements(), Vec{}));
  }

  void TearDown() override { fs_.reset(); }

  void run(const SolverWork& w = {}) { interval_loop(fakes(), w); }

  std::vector<std::string> lines(const std::string& file) const {
    std::vector<std::string> out;
    std::istringstream in(fs_->read(file));
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
  }

  std::unique_ptr<FreshFileSystem> fs_;
};

// The calls of one ordinary step with the profile decomposition.
std::vector<std::string> plain_step(word excavf = 0) {
  return {"ACCEPD EPX EPD EPY", "EMG EIV0 1", "EMA", "MCE", "TRIA KLL LLL", "SOLVE LLL DPG YS 0 0",
          "SDR EIV0 ENTD", "OFP1 " + std::to_string(excavf)};
}

const std::string kIntervalCheckpoint = "CHKSAV UG QG PGM EPX EIV0 XQGV UGSV EGED 0 0 1";

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Interval plain(word nsteps = 1) {
  Interval iv;
  iv.nsteps = nsteps;
  return iv;
}

// The elements' body loads, applied over the interval's steps.
Interval loading(word nsteps = 1) {
  Interval iv;
  iv.nsteps = nsteps;
  iv.loads = true;
  return iv;
}

Interval excavation(std::vector<int> removed, float relfac, word nsteps, word region) {
  Interval iv;
  iv.nsteps = nsteps;
  iv.excavf = -1;
  iv.relfac = relfac;
  iv.region = region;
  iv.removed = std::move(removed);
  return iv;
}

// ------------------------------------------------------------ plain history

TEST_F(Loops, TwoPlainIntervalsOfTwoSteps) {
  H.k.resize(2);
  H.g.resize(2);
  H.intervals = {loading(2), plain(2)};
  run();
  const auto step = plain_step();
  EXPECT_EQ(H.calls, concat({{"GP4 1"}, step, step, {kIntervalCheckpoint}, {"GP4 2"}, step, step,
                             {kIntervalCheckpoint}}));
  // Half of the loads per step of interval 1; linear, so UG = sum g / sum k.
  ASSERT_EQ(H.outputs.size(), 4u);
  EXPECT_TRUE(near(H.solve_loads[0], 0.5 * (H.g[0] + H.g[1])));
  EXPECT_TRUE(near(H.outputs[1].UG, 0.25 * (H.g[0] + H.g[1])));
  EXPECT_TRUE(near(H.outputs[3].UG, 0.25 * (H.g[0] + H.g[1])));
  EXPECT_TRUE(near(read_vector(PGM), H.g[0] + H.g[1]));
  for (const Output& o : H.outputs) EXPECT_TRUE(near(o.QG, Vec{}));
  // EPX keeps the running total of the element loads (EPY is the scratch).
  const auto epx = read_records(EPX, 2);
  EXPECT_TRUE(near(epx[0], H.g[0]));
  EXPECT_TRUE(near(epx[1], H.g[1]));
  // Counters, banners on the log unit and the progress file.
  const STPCTR& s = stpctr();
  EXPECT_EQ(s.NINTVL, 2);
  EXPECT_EQ(s.NSTEP, 3);
  EXPECT_EQ(s.NSTEPC, 4);
  const auto console = lines("console");
  for (const char* banner : {" ============  INTERVAL    1, STEP    1  ========",
                             " ============  INTERVAL    2, STEP    2  ========"})
    EXPECT_NE(std::find(console.begin(), console.end(), banner), console.end()) << banner;
  EXPECT_EQ(first_line("STAT"), "       4,       0");
  // No excavation: the release blocks are untouched.
  EXPECT_EQ(exec_state().intctl.EXCACT, 0);
  for (word b : {XQGV, EGED, EGEE}) EXPECT_TRUE(absent(b)) << name_of(b);
  EXPECT_EQ(sysw().IERFLG, 0);
}

// -------------------------------------------------------------- excavation

// Element 1 removed after the loads, released over four steps: the release
// vector X = QG - DPGM goes into DPG as -d X per step and back into QG as
// F1 X while F1 > 0.001; the region is freed after the last step.
TEST_F(Loops, OneExcavationReleasedOverFourSteps) {
  H.k.resize(2);
  H.g.resize(2);
  H.intervals = {loading(1), excavation({1}, 1.0f, 4, 2)};
  run();
  // Hand numbers: before the excavation u0 = (g0 + g1) / (k0 + k1) = (2, 1, 0);
  // X = QG - (PGM - k0 u0) with QG = 0 and PGM = g0: X = k0 u0 - g0 = (2, -2, 2).
  const Vec X{2, -2, 2};
  const auto step = plain_step();
  std::vector<std::string> first_step = {"GP4 2", "EMG EIV0 -1", "PGMDFY USET PGM PGM", "MODEPX EPX XCLD EPY",
                                         "UBFORC EIV0 PGM DPGM"};
  const auto s1 = plain_step(-1);
  first_step.insert(first_step.end(), s1.begin(), s1.end());
  EXPECT_EQ(H.calls, concat({{"GP4 1"}, step, {kIntervalCheckpoint}, first_step, step, step, step,
                             {kIntervalCheckpoint}}));
  ASSERT_EQ(H.outputs.size(), 5u);
  EXPECT_TRUE(near(H.outputs[1].XQGV, X));
  EXPECT_TRUE(near(H.outputs[1].EGED, X));
  EXPECT_FLOAT_EQ(H.outputs[1].rel.a, 0.75f);
  const float remaining[] = {0.75f, 0.5f, 0.25f, 0.0f};
  for (int j = 0; j < 4; ++j) {
    SCOPED_TRACE(j + 1);
    const Output& o = H.outputs[static_cast<std::size_t>(j + 1)];
    EXPECT_EQ(o.rel.R1, 2);
    EXPECT_EQ(o.rel.R2, 0);
    EXPECT_FLOAT_EQ(o.rel.F1, remaining[j]);
    EXPECT_EQ(o.ic.EXCACT, -1);
    // The step load: the previous QG (zero) less d X.
    EXPECT_TRUE(near(H.solve_loads[static_cast<std::size_t>(j + 1)], -0.25 * X));
    // QG gets F1 X after the stress recovery, nothing at the last step.
    EXPECT_TRUE(near(o.QG - H.sdr_qg[static_cast<std::size_t>(j + 1)], static_cast<double>(remaining[j]) * X));
    EXPECT_TRUE(near(o.QG, Vec{}));
  }
  // Released: UG = g0 / k0, the removed element's loads are out of PGM and EPX.
  EXPECT_TRUE(near(H.outputs[4].UG, Vec{1, 2, -1}));
  EXPECT_TRUE(near(read_vector(PGM), H.g[0]));
  EXPECT_TRUE(near(read_records(EPX, 2)[1], Vec{}));
  // The region is freed: slots, the excavation flag and the work headers.
  const RELSWD& r = relswd();
  EXPECT_EQ(r.R1, 0);
  EXPECT_EQ(r.EXREGN, 0);
  EXPECT_FLOAT_EQ(r.F1, 1.0f);
  EXPECT_EQ(exec_state().intctl.EXCACT, 0);
  EXPECT_TRUE(absent(XQGV));
  EXPECT_TRUE(absent(EGEE));
  EXPECT_TRUE(near(read_vector(EGED), X)) << "EGED is not cleared";
}

// The two-region history of the restart test: region 2 (element 1) releases
// half in interval 2; region 3 (element 2) opens in interval 3 and releases
// fully over two steps (case Q, with the first region's vector EGED);
// interval 4 releases the rest of region 2 while region 3 holds slot 2
// (case P). Both regions are released in single-step intervals, so every
// step ends in equilibrium and the result is the closed form g0 / k0. The
// first step of interval 3 and the step of interval 4 are iterated once,
// which repeats the release terms on the new unbalanced force.
void two_region_history() {
  H.k.resize(3);
  H.g.resize(3);
  Interval rest = plain(1);
  rest.relfac = 0.5f;
  rest.region = 2;
  H.intervals = {loading(1), excavation({1}, 0.5f, 1, 2), excavation({2}, 1.0f, 2, 3), rest};
  H.sdrflg = {0, 0, 1, 0, 0, 1};
}

TEST_F(Loops, SecondRegionOpensWhileTheFirstIsReleasing) {
  two_region_history();
  run();
  EXPECT_EQ(std::count(H.calls.begin(), H.calls.end(), "CNVTST 0"), 2);
  ASSERT_EQ(H.outputs.size(), 5u);
  const Output& opened = H.outputs[1];  // interval 2
  const Output& q1 = H.outputs[2];      // interval 3, step 1
  const Output& q2 = H.outputs[3];      // interval 3, step 2
  const Output& p = H.outputs[4];       // interval 4
  // Region 2 in slot 1 with a = 1 - d = 0.5; its vector stays in EGED while
  // region 3's is formed in XQGV.
  EXPECT_EQ(opened.rel.R1, 2);
  EXPECT_FLOAT_EQ(opened.rel.a, 0.5f);
  EXPECT_TRUE(near(opened.EGED, opened.XQGV));
  const Vec XA = opened.XQGV;
  for (const Output* o : {&q1, &q2, &p}) {
    EXPECT_EQ(o->rel.R1, 2);
    EXPECT_EQ(o->rel.R2, 3);
    EXPECT_TRUE(near(o->EGED, XA));
  }
  EXPECT_FALSE(near(q1.XQGV, XA));
  // Case Q: DPG = QG - d XQGV + c EGED with c = a d at the first step; later
  // c = (1 - q + d) F1 - (a - F1) f, here (1 - 0.5 + 0.5) 0.5 - 0 = 0.5.
  EXPECT_FLOAT_EQ(q1.rel.c, 0.25f);
  EXPECT_FLOAT_EQ(q2.rel.c, 0.5f);
  EXPECT_FLOAT_EQ(q2.rel.F2, 0.0f);
  EXPECT_FLOAT_EQ(q2.rel.F1, 0.5f);
  EXPECT_TRUE(near(H.solve_loads[2], -0.5 * q1.XQGV + 0.25 * XA));
  // Case P: DPG = QG - d EGED, and EGEE = XQGV - a EGED.
  EXPECT_TRUE(near(H.solve_loads[5], -0.5 * XA));
  EXPECT_TRUE(near(p.EGEE, p.XQGV - 0.5 * XA));
  // Equilibrium after every step, and the closed form at the end.
  for (const Output& o : H.outputs) EXPECT_TRUE(near(o.QG, Vec{})) << o.interval << "/" << o.step;
  EXPECT_TRUE(near(p.UG, (1.0 / H.k[0]) * H.g[0]));
  // Both regions released: freed after interval 4.
  EXPECT_EQ(relswd().R1, 0);
  EXPECT_EQ(relswd().R2, 0);
  EXPECT_TRUE(absent(XQGV));
  EXPECT_TRUE(absent(EGEE));
}

// The first region released over two steps (a = 0.75, F1 = 0.5), then a
// second region over two steps (d = 0.5): c = a d = 0.375 at its first step
// (EXCAVF still negative), then (1 - q + d) F1 - (a - F1) f = 0.5 with
// q = 0.5 and f = 0.
TEST_F(Loops, FirstRegionCoefficientWhileTheSecondReleases) {
  H.k.resize(3);
  H.g.resize(3);
  H.intervals = {loading(1), excavation({1}, 0.5f, 2, 2), excavation({2}, 1.0f, 2, 3)};
  run();
  ASSERT_EQ(H.outputs.size(), 5u);
  const Output& first = H.outputs[3];
  const Output& second = H.outputs[4];
  EXPECT_FLOAT_EQ(first.rel.a, 0.75f);
  EXPECT_FLOAT_EQ(first.rel.F1, 0.5f);
  EXPECT_FLOAT_EQ(first.rel.c, 0.375f);
  EXPECT_TRUE(near(H.solve_loads[3], H.outputs[2].QG - 0.5 * first.XQGV + 0.375 * first.EGED));
  EXPECT_TRUE(near(first.QG - H.sdr_qg[3], 0.5 * first.XQGV + 0.375 * first.EGED));
  EXPECT_FLOAT_EQ(second.rel.q, 0.5f);
  EXPECT_FLOAT_EQ(second.rel.c, 0.5f);
  EXPECT_TRUE(near(second.QG - H.sdr_qg[4], 0.5 * second.EGED));
}

std::vector<Interval> three_regions() {
  return {loading(1), excavation({1}, 0.5f, 1, 2), excavation({2}, 0.5f, 1, 3), excavation({3}, 1.0f, 1, 4)};
}

const std::string k2882 = "0*** USER FATAL MESSAGE 2882, CANNOT EXCAVATE MORE THAN THREE REGIONS AT SAME TIME";

TEST_F(Loops, ThirdRegionWhileTwoAreReleasingIsFatal) {
  H.intervals = three_regions();
  run();
  EXPECT_EQ(sysw().IERFLG, 1);
  EXPECT_EQ(H.calls.back(), "GP4 4");
  EXPECT_EQ(H.outputs.size(), 3u);
  for (const char* file : {"listing", "errors"}) {
    const auto l = lines(file);
    EXPECT_NE(std::find(l.begin(), l.end(), k2882), l.end()) << file;
  }
}

// Through the main program: the loops end in the end block with an error end.
TEST_F(Loops, ThirdRegionEndsTheRunWithAnErrorEnd) {
  GTEST_FLAG_SET(death_test_style, "fast");
  H.intervals = three_regions();
  Modules m = fakes();
  m.XINPT = [] {};
  EXPECT_EXIT(ZEPH(m), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(first_line("STAT"), "      -8,       0");
  const auto l = lines("listing");
  EXPECT_NE(std::find(l.begin(), l.end(), k2882), l.end());
}

// ---------------------------------------------------- iteration and re-execution

TEST_F(Loops, IterationUntilConvergenceOrTheLimit) {
  struct Case {
    const char* name;
    word sdrflg, icnvkd, maxitr, icont, knoten;
    bool loads;                    // false: the first solution gives DUG = 0
    std::vector<word> converged;   // flags after the iterations
    word iterations;               // iterations expected
    const char* fatal;             // the fatal line, or nullptr (the step is accepted)
  };
  const char* k5021 = "0*** USER FATAL MESSAGE 5021, ITERATION LIMIT EXCEEDED AT INTERVAL     1 STEP     1";
  const char* k5022 =
      "0*** USER FATAL MESSAGE 5022, NO-TENSION ITERATION LIMIT EXCEEDED AT INTERVAL     1 STEP     1";
  const Case cases[] = {
      {"converges at the second iteration", 1, 1, 5, 0, 0, true, {0, -1}, 2, nullptr},
      {"limit", 1, 1, 2, 0, 0, true, {0, 0}, 2, k5021},
      {"limit after a tension cut-off", 1, 1, 2, 0, -1, true, {0, 0}, 2, k5022},
      {"limit with CONT", 1, 1, 2, 1, 0, true, {0, 0}, 2, nullptr},
      {"linear step", 0, 1, 5, 0, 0, true, {}, 0, nullptr},
      {"no convergence test", 1, 0, 5, 0, 0, true, {}, 0, nullptr},
      {"no iterations allowed", 1, 1, 0, 0, 0, true, {}, 0, nullptr},
      {"no displacement increment", 1, 1, 5, 0, 0, false, {}, 0, nullptr},
  };
  const std::vector<std::string> iteration = {"EMG EIV0 0", "EMA", "MCE", "TRIA KLL LLL", "SOLVE LLL QG 0 0 0",
                                              "SDR EIV0 0", "CNVTST 0"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    start();
    H.intervals = {c.loads ? loading(1) : plain(1), plain(1)};
    H.sdrflg = {c.sdrflg};
    H.converged.assign(c.converged.begin(), c.converged.end());
    H.knoten = c.knoten;
    SYSWRD& s = sysw();
    s.ICNVKD = c.icnvkd;
    s.MAXITR = c.maxitr;
    s.ICONT = c.icont;
    run();
    auto first = plain_step();
    first.pop_back();  // OFP1
    std::vector<std::string> expect = concat({{"GP4 1"}, first});
    if (c.iterations > 0) expect.push_back("CNVTST 1");
    for (word i = 0; i < c.iterations; ++i) expect.insert(expect.end(), iteration.begin(), iteration.end());
    if (c.fatal != nullptr) {
      EXPECT_EQ(H.calls, expect);
      EXPECT_EQ(s.IERFLG, 1);
      for (const char* file : {"listing", "errors"}) {
        const auto l = lines(file);
        EXPECT_NE(std::find(l.begin(), l.end(), c.fatal), l.end()) << file;
      }
      continue;
    }
    expect.push_back("OFP1 0");
    ASSERT_GE(H.calls.size(), expect.size());
    EXPECT_EQ(std::vector<std::string>(H.calls.begin(), H.calls.begin() + static_cast<long>(expect.size())), expect);
    EXPECT_EQ(H.calls.back(), kIntervalCheckpoint) << "the run goes on to its end";
    EXPECT_EQ(stpctr().NITER, 0);
    EXPECT_EQ(s.IERFLG, 0);
  }
}

TEST_F(Loops, ReexecutionWhenStressRecoveryAsksForIt) {
  struct Case {
    const char* name;
    word irerun, diag57;
    bool reexecuted, notice;
  };
  const Case cases[] = {
      {"re-execution", 0, 0, true, false},
      {"re-execution with its notice", 0, 1, true, true},
      {"re-execution switched off", -1, 1, false, false},
  };
  const std::string notice =
      "0*** SYSTEM INFORMATION MESSAGE 5023,  PLAST/ELAST STATUS  MAY CHANGE AT INTERVAL    1,  STEP    1";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    start();
    H.k.resize(2);
    H.g.resize(2);
    H.intervals = {loading(1)};
    H.sdrflg = {-1, -1};  // the re-execution's status is not tested again
    sysw().IRERUN = c.irerun;
    sysw().MAXITR = 0;
    DIAGST(57, c.diag57);
    run();
    auto expect = concat({{"GP4 1"}, plain_step()});
    if (c.reexecuted)
      expect.insert(expect.end() - 1, {"MODEIV EIV0 EIV1 EIV2", "EMG EIV2 0", "EMA", "MCE", "TRIA KLL LLL",
                                       "SOLVE LLL DPG YS 0 0", "SDR EIV2 ENTD"});
    expect.push_back(kIntervalCheckpoint);
    EXPECT_EQ(H.calls, expect);
    // The increment is accumulated once, and the re-execution starts from
    // the states before the step.
    EXPECT_TRUE(near(read_vector(UG), 0.25 * (H.g[0] + H.g[1])));
    const auto l = lines("listing");
    const auto at = std::find(l.begin(), l.end(), notice);
    EXPECT_EQ(at != l.end(), c.notice);
    if (at != l.end()) {
      ASSERT_NE(at + 1, l.end());
      EXPECT_EQ(*(at + 1), "          RE-EXECUTE THIS STEP.");
    }
  }
}

// ------------------------------------------------------ intervals and output

// An interval of the decoder's interval list runs one pass, is reported by
// the material-change output and goes straight on; when it is the last
// interval it runs as any other.
TEST_F(Loops, ListedIntervalRunsOnePassWithMaterialChangeOutput) {
  H.k.resize(2);
  H.g.resize(2);
  Interval activation = plain(2);
  activation.excavf = 1;
  H.intervals = {loading(1), excavation({1}, 1.0f, 1, 2), activation, plain(2)};
  IFPFLG& f = ifpflg();
  f.IFPNIV = 2 * IFPFLG::kMaxIntervals;  // a count past the list's room reads only the list
  f.IFPIVL[0] = 3;
  f.IFPIVL[1] = 4;
  run();
  const auto step = plain_step();
  auto one_pass = step;
  one_pass.pop_back();
  const auto calls = H.calls;
  const auto from = std::find(calls.begin(), calls.end(), "GP4 3");
  ASSERT_NE(from, calls.end());
  EXPECT_EQ(std::vector<std::string>(from, calls.end()),
            concat({{"GP4 3"}, one_pass, {"OFP1M CTRL CTRN EIV0", "OFP1M EXCAVF 1", "GP4 4"}, step, step,
                    {kIntervalCheckpoint}}));
  // No progress update during the listed interval, and one step counted.
  ASSERT_EQ(H.stat_at_gp4.size(), 4u);
  EXPECT_EQ(H.stat_at_gp4[2], "       2,       0");
  EXPECT_EQ(H.stat_at_gp4[3], H.stat_at_gp4[2]);
  EXPECT_EQ(stpctr().NSTEPC, 5);
}

TEST_F(Loops, RelativeDisplacementBaseAtTheIntervalBeforeAListedOne) {
  struct Case {
    const char* name;
    word isintv;
    std::vector<word> list;
    int copied_after;  // interval whose last step is copied, 0: none
  };
  const Case cases[] = {
      {"listed interval 3", 3, {3}, 2},
      {"switched off", 0, {3}, 0},
      {"entry 1 never matches", 2, {1, 2}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    start();
    H.intervals = {loading(1), plain(2), loading(1)};
    H.sintval = c.list;
    sysw().ISINTV = c.isintv;
    run();
    if (c.copied_after == 0) {
      EXPECT_TRUE(absent(UGSV));
      continue;
    }
    const auto at = std::find_if(H.outputs.begin(), H.outputs.end(),
                                 [&](const Output& o) { return o.interval == c.copied_after + 1; });
    ASSERT_NE(at, H.outputs.begin());
    EXPECT_TRUE(near(read_vector(UGSV), (at - 1)->UG));
    EXPECT_FALSE(near(read_vector(UGSV), read_vector(UG)));
  }
}

TEST_F(Loops, SolutionMethods) {
  struct Case {
    word isolvr;
    const char* solve;  // stiffness and method of the first solution
    bool tria, heading;
  };
  const Case cases[] = {
      {0, "SOLVE LLL DPG YS 0 4096", true, false},
      {1, "SOLVE KLL DPG YS 1 4096", false, false},
      {2, "SOLVE KLL DPG YS 2 4096", false, true},
      {3, "SOLVE LLL DPG YS 0 4096", true, false},
  };
  const std::string stars = "      " + std::string(54, '*');
  const std::string title = "                      MULTI FRONTAL METHOD                  ";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.isolvr);
    start();
    // Two steps; the first is re-executed and iterated once.
    H.intervals = {loading(2)};
    H.sdrflg = {-1, 1};
    sysw().ISOLVR = c.isolvr;
    run(SolverWork{1, 4096});
    const auto solves = std::count_if(H.calls.begin(), H.calls.end(),
                                      [](const std::string& s) { return s.rfind("SOLVE", 0) == 0; });
    EXPECT_EQ(solves, 4);
    EXPECT_EQ(std::count(H.calls.begin(), H.calls.end(), "TRIA KLL LLL"), c.tria ? 4 : 0);
    EXPECT_EQ(std::count(H.calls.begin(), H.calls.end(), c.solve), 3);
    const auto l = lines("listing");
    EXPECT_EQ(std::count(l.begin(), l.end(), title), c.heading ? 2 : 0);
    if (c.heading) {
      const auto at = std::find(l.begin(), l.end(), title);
      ASSERT_TRUE(at - l.begin() >= 2 && l.end() - at >= 2);
      EXPECT_EQ(std::vector<std::string>(at - 2, at + 2), (std::vector<std::string>{"", stars, title, stars}));
    }
  }
}

// ------------------------------------------------------------------ errors

TEST_F(Loops, ErrorFlagAfterAModuleEndsTheLoops) {
  const std::pair<const char*, const char*> cases[] = {
      {"GP4", "GP4 1"},
      {"EMG", "EMG EIV0 1"},
      {"TRIA", "TRIA KLL LLL"},
      {"SOLVE", "SOLVE LLL DPG YS 0 0"},
      {"SDR", "SDR EIV0 ENTD"},
  };
  for (const auto& [module, last] : cases) {
    SCOPED_TRACE(module);
    start();
    H.intervals = {loading(1), plain(1)};
    H.fail_in = module;
    run();
    EXPECT_EQ(H.calls.back(), last);
    EXPECT_TRUE(H.outputs.empty());
  }
}

TEST_F(Loops, AnIncompleteModuleTableRunsNothing) {
  H.intervals = {loading(1)};
  Modules m = fakes();
  m.OFP1M = nullptr;
  interval_loop(m, {});
  EXPECT_TRUE(H.calls.empty());
  EXPECT_EQ(stpctr().NINTVL, 0);
}

// ------------------------------------------------------------------ restart

// A restart from the checkpoint after interval 2, while region 2 is still
// releasing: the checkpoint hands over its data blocks (EGED among them) and
// the release words; put back, the run goes on exactly as the uninterrupted
// one. Without the release words and EGED it does not.
TEST_F(Loops, RestartInsideAnOpenExcavationContinuesTheSameRelease) {
  auto setup = [] {
    two_region_history();
    H.checkpoint_at = 2;
  };
  setup();
  run();
  const Harness whole = H;
  ASSERT_TRUE(whole.saved.vectors.count(EGED));
  EXPECT_EQ(whole.saved.rel.R1, 2);
  EXPECT_FLOAT_EQ(whole.saved.rel.F1, 0.5f);

  auto restart = [&](bool with_release_words) {
    start();
    setup();
    H.sdrflg.erase(H.sdrflg.begin(), H.sdrflg.begin() + 2);  // intervals 1 and 2 are not run again
    Checkpoint c = whole.saved;
    std::copy_n(c.stp.words().begin(), 4, stpctr().words().begin());
    std::copy_n(c.ic.words().begin(), 4, exec_state().intctl.words().begin());
    for (const auto& [block, v] : c.vectors)
      if (with_release_words || block != EGED) write_vector(block, v);
    for (const auto& [block, r] : c.records) write_records(block, r);
    if (with_release_words) relswd() = c.rel;
    sysw().IRSTRT = 3;
    run();
  };
  restart(true);
  EXPECT_EQ(H.calls.front(), "GP4 3");
  const std::size_t skipped = whole.outputs.size() - H.outputs.size();
  ASSERT_EQ(skipped, 2u);
  for (std::size_t i = 0; i < H.outputs.size(); ++i) {
    const Output& a = whole.outputs[skipped + i];
    const Output& b = H.outputs[i];
    SCOPED_TRACE(std::to_string(b.interval) + "/" + std::to_string(b.step));
    EXPECT_EQ(b.interval, a.interval);
    for (auto [x, y] : {std::pair{b.UG, a.UG}, {b.QG, a.QG}, {b.DPG, a.DPG}, {b.XQGV, a.XQGV},
                        {b.EGED, a.EGED}, {b.EGEE, a.EGEE}})
      EXPECT_TRUE(near(x, y, 0.0));
    EXPECT_TRUE(std::equal(b.rel.words().begin(), b.rel.words().end(), a.rel.words().begin()));
  }

  // Linear elasticity ends in the same state either way, but the release
  // applied step by step differs without the handed-over words.
  restart(false);
  ASSERT_EQ(H.outputs.size(), whole.outputs.size() - skipped);
  bool same_loads = true;
  for (std::size_t i = 0; i < H.outputs.size(); ++i)
    same_loads = same_loads && near(H.outputs[i].DPG, whole.outputs[skipped + i].DPG);
  EXPECT_FALSE(same_loads);
}

}  // namespace
}  // namespace zephsol
