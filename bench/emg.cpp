// Element matrix generation on a block of n x n x n unit HEX8 elements
// (n = 100, 1,000,000 elements, unless the first argument gives another n)
// written through the file system into work files of a temporary directory.
//
// Two runs of EMG are timed: a step of the first pass (MODE 1: stiffness,
// the weight of every element as element loads, both load vectors, fresh
// integration-point states) and a stiffness pass reading the states of every
// element from a state data block (MODE 0). Each is split into
//   - element arithmetic: the same per-element work (decoding the element
//     record, fresh or copied states, stiffness, loads) on records held in
//     memory, without data blocks;
//   - data-block I/O: reading the element, load and state records and
//     writing the stiffness records and vectors through the file system,
//     timed on its own with the same records and volumes;
// the two sections are timed apart, on no common work, and their sum is
// shown beside EMG's total with the remainder (EMG's own bookkeeping).
//
// The element record keeps a node's first equation in 21 bits (at most
// 2,097,151), so a block whose nodes need more equations (n = 100 needs
// 3,090,903) has its node numbers folded onto the first 699,050 nodes: the
// element work and the record volumes are those of the full block; only the
// load vectors are shorter.
#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/emg.h"
#include "zephsol/elem/etype.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/elem/pelem.h"
#include "zephsol/exec/records.h"
#include "zephsol/matl/mattab.h"
#include "zephsol/matl/matrec.h"

namespace {

using namespace zephsol;
using Clock = std::chrono::steady_clock;
using Record = std::vector<word>;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

constexpr word kMaxFirstEquation = 2097151;
constexpr int kTerms = 300;     // packed stiffness of 24 DOFs
constexpr int kStateWords = 6 + 9 * 21;

struct Block {
  long n;        // elements per edge
  long nodes;    // nodes numbered (after folding)

  long elements() const { return n * n * n; }
  word rows() const { return static_cast<word>(3 * nodes); }
  // Equation of the first DOF of node (a, b, c).
  word first_equation(long a, long b, long c) const {
    const long id = a + (n + 1) * (b + (n + 1) * c);
    return static_cast<word>(3 * (id % nodes) + 1);
  }
};

word real(float v) { return std::bit_cast<word>(v); }

// Element e (0-based) of the block: the unit cube at its grid position.
void est_record(const Block& g, long e, Record& r) {
  const long i = e % g.n, j = (e / g.n) % g.n, k = e / (g.n * g.n);
  r.assign({static_cast<word>(e + 1), (1 << 24) + 1, 10, 1, 3, 9, 9, 0, 24, 8});
  for (int q = 0; q < 8; ++q) {
    r.push_back(real(static_cast<float>(i + (q & 1))));
    r.push_back(real(static_cast<float>(j + ((q >> 1) & 1))));
    r.push_back(real(static_cast<float>(k + ((q >> 2) & 1))));
  }
  for (int q = 0; q < 8; ++q)
    r.push_back(g.first_equation(i + (q & 1), j + ((q >> 1) & 1), k + ((q >> 2) & 1)) * 1024 + 3);
}

const Record kWeight{2, 1, 7, 4, 0, real(0.0f), real(0.0f), real(-1.0f)};  // [L, entries, entry]

Record material_record() {
  Record m(30, 0);
  m[0] = 29;
  m[1] = 10;
  m[3] = 1;
  m[mw::E] = real(1000.0f);
  m[mw::NU] = real(0.3f);
  m[mw::GAMM] = real(2.0f);
  return m;
}

Record fresh_state(long e) {
  Record r{static_cast<word>(e + 1), 1, 3, 9, 9, 0};
  for (word p = 1; p <= 9; ++p) {
    r.push_back(p);
    r.insert(r.end(), 20, 0);
  }
  return r;
}

word buffer(word k) { return sysw().COREND - k * sysw().NBUFSZ; }

// Writes the model's data blocks: EST, MATD, EPD (the weight of every
// element), DPG0 (an empty column), EIV0 (fresh states).
void write_model(const Block& g) {
  Record r;
  DBOPEN(EST, buffer(1), kWrite);
  for (long e = 0; e < g.elements(); ++e) {
    est_record(g, e, r);
    DBWRIT(EST, r.data(), static_cast<word>(r.size()), 1);
  }
  DBCLOS(EST, kCloseRewind);
  HDRPUT(EST, std::array<word, 6>{static_cast<word>(g.elements()), 1, 1, 0, 9, 0});

  const Record m = material_record();
  DBOPEN(MATD, buffer(1), kWrite);
  DBWRIT(MATD, m.data(), static_cast<word>(m.size()), 1);
  DBCLOS(MATD, kCloseRewind);
  HDRPUT(MATD, std::array<word, 6>{1, static_cast<word>(m.size()), 0, 0, 0, 0});

  DBOPEN(EPD, buffer(1), kWrite);
  for (long e = 0; e < g.elements(); ++e) DBWRIT(EPD, kWeight.data(), static_cast<word>(kWeight.size()), 1);
  DBCLOS(EPD, kCloseRewind);
  HDRPUT(EPD, std::array<word, 6>{static_cast<word>(g.elements()), static_cast<word>(kWeight.size()), 0, 1, 0, 0});

  const std::vector<double> zero(1, 0.0);
  MCB mc{DPG0, 0, g.rows(), kRectangular, kRealSingle, 0, 0};
  DBOPEN(DPG0, buffer(1), kWrite);
  COLPUT(mc, 2, zero.data(), 1, 0);
  DBCLOS(DPG0, kCloseRewind);
  HDRPUT(DPG0, mc.header());

  DBOPEN(EIV0, buffer(1), kWrite);
  for (long e = 0; e < g.elements(); ++e) {
    const Record s = fresh_state(e);
    DBWRIT(EIV0, s.data(), static_cast<word>(s.size()), 1);
  }
  DBCLOS(EIV0, kCloseRewind);
  HDRPUT(EIV0, std::array<word, 6>{static_cast<word>(g.elements()), 9 * 21 + 9 + 7, 1, 9, 0, 1});
}

// The per-element work of EMG on records held in memory: decode, type and
// material on change, states (fresh, or a record laid in the state area as
// the file system leaves it), stiffness and, with loads, the element load
// vector. The records are made a batch at a time outside the timed sections,
// so that the time is that of the element work alone, disjoint from the
// data-block I/O timed below.
double element_arithmetic(const Block& g, bool loads, bool states, double& check) {
  constexpr long kBatch = 1024;
  constexpr std::size_t kArea = 256;  // one element's state area: directory and 9 points
  std::vector<Record> est(kBatch), heads(kBatch);
  std::vector<word> areas(kBatch * kArea);
  std::vector<double> ke(kTerms), v1(static_cast<std::size_t>(g.rows())), v2(v1.size());
  EivIo saved = elem_state().eivio;
  // Channel A finds the state record already in its area: the header is
  // handed over, the rest lies where the read would have put it.
  static const Record* head = nullptr;
  elem_state().eivio.read_head = [](word, std::span<word, 6> h) -> word {
    std::copy_n(head->begin(), 6, h.begin());
    return 0;
  };
  elem_state().eivio.read_rest = [](word, std::span<word>, word& n) {
    n = kStateWords - 6;
    return true;
  };
  word iseq = -99;
  check = 0.0;
  double seconds = 0.0;
  for (long e0 = 0; e0 < g.elements(); e0 += kBatch) {
    const long m = std::min(kBatch, g.elements() - e0);
    for (long b = 0; b < m; ++b) {
      est_record(g, e0 + b, est[static_cast<std::size_t>(b)]);
      if (!states) continue;
      Record& r = heads[static_cast<std::size_t>(b)];
      r = fresh_state(e0 + b);
      std::copy(r.begin() + 6, r.end(), areas.begin() + b * static_cast<long>(kArea) + 10);
    }
    const auto t0 = Clock::now();
    for (long b = 0; b < m; ++b) {
      estrd_words(est[static_cast<std::size_t>(b)]);
      if (estcom().ISEQ != iseq) ETYPDS(iseq = estcom().ISEQ, 0);
      if (e0 + b == 0) MATSEL(10, 1, 1);
      head = &heads[static_cast<std::size_t>(b)];
      EIVRDA(states ? EIV0 : 0, std::span<word>(areas).subspan(static_cast<std::size_t>(b) * kArea, kArea));
      if (loads) PELEM(kWeight, v1, v2, 1);
      KELEM(ke, std::span<const word>(), v1, loads ? 1 : 0);
      check += ke[0];
    }
    seconds += seconds_since(t0);
  }
  elem_state().eivio = saved;
  return seconds;
}

// The data-block traffic of EMG alone: element records (and load or state
// records) read, stiffness records of the same size written, the vectors.
double data_block_io(const Block& g, bool loads, bool states) {
  std::vector<word> est(42), lrec(kWeight.size() + 1), srec(kStateWords + 1);
  std::vector<double> ke(kTerms, 1.0), v(static_cast<std::size_t>(g.rows()), 1.0);
  const word m = kTerms;
  const auto t0 = Clock::now();
  DBOPEN(ESK, buffer(1), kWrite);
  DBOPEN(EST, buffer(2), kRead);
  if (states) DBOPEN(EIV0, buffer(3), kRead);
  if (loads) DBOPEN(EPD, buffer(4), kRead);
  for (long e = 0; e < g.elements(); ++e) {
    DBREAD(EST, est.data(), 10, 0);
    DBREAD(EST, est.data() + 10, 32, 1);
    word nread = 0, status = 0;
    if (states) DBRDST(EIV0, srec.data(), static_cast<word>(srec.size()), 0, nread, status);
    if (loads) DBRDST(EPD, lrec.data(), static_cast<word>(lrec.size()), 0, nread, status);
    DBWRIT(ESK, &m, 1, 0);
    DBWRDP(ESK, ke.data(), m, 1);
  }
  DBCLOS(ESK, kCloseRewind);
  DBCLOS(EST, kCloseRewind);
  if (states) DBCLOS(EIV0, kCloseRewind);
  if (loads) {
    DBCLOS(EPD, kCloseRewind);
    for (word out : {DPGM, DPG}) {
      MCB mc{out, 0, g.rows(), kRectangular, 2, 0, 0};
      DBOPEN(out, buffer(1), kWrite);
      COLPUT(mc, 2, v.data(), 1, g.rows());
      DBCLOS(out, kCloseRewind);
    }
  }
  return seconds_since(t0);
}

void report(const char* what, double emg, double arith, double io, long elements) {
  std::printf("%s\n", what);
  std::printf("  EMG                   %8.2f s   %8.0f elements/s\n", emg, elements / emg);
  std::printf("  element arithmetic    %8.2f s   (%4.1f %%)\n", arith, 100.0 * arith / emg);
  std::printf("  data-block I/O        %8.2f s   (%4.1f %%)\n", io, 100.0 * io / emg);
  std::printf("  sum of the two        %8.2f s   beside EMG %.2f s: remainder %.2f s\n", arith + io, emg,
              emg - arith - io);
}

}  // namespace

int main(int argc, char** argv) {
  const long n = argc > 1 ? std::max(1L, std::atol(argv[1])) : 100;
  const long all_nodes = (n + 1) * (n + 1) * (n + 1);
  const Block g{n, std::min(all_nodes, long{kMaxFirstEquation / 3})};
  // Open core: the two vectors, the buffers and a margin.
  const auto memo = static_cast<word>(16 + 4L * g.rows() / kWordsPerMegabyte);
  zephsol::testing::FreshFileSystem fs(memo, 1025);
  reset_elem_state();
  reset_matl_state();
  elem_state().tables.etyp.count = 1;
  elem_state().tables.etyp.entry[0] = {100, 1};
  std::printf("HEX8 block %ld x %ld x %ld: %ld elements, %ld nodes%s, %d load-vector rows, open core %d MB\n", n, n,
              n, g.elements(), all_nodes, g.nodes < all_nodes ? " (folded)" : "", g.rows(), memo);

  auto t0 = Clock::now();
  write_model(g);
  std::printf("writing EST, EPD, EIV0   %8.2f s\n", seconds_since(t0));

  double check = 0.0;
  stpctr() = STPCTR{1, 1, 0, 1, 0, 0};
  t0 = Clock::now();
  EMG(EST, MATD, 0, DPG0, 0, EPD, 0, ESK, DPG, DPGM, 1);
  const double emg1 = seconds_since(t0);
  const double arith1 = element_arithmetic(g, true, false, check);
  const double io1 = data_block_io(g, true, false);
  report("step of the first pass (MODE 1, fresh states, element loads):", emg1, arith1, io1, g.elements());

  stpctr() = STPCTR{1, 1, 1, 1, 0, 0};
  t0 = Clock::now();
  EMG(EST, MATD, EIV0, 0, 0, 0, 0, ESK, 0, 0, 0);
  const double emg0 = seconds_since(t0);
  const double arith0 = element_arithmetic(g, false, true, check);
  const double io0 = data_block_io(g, false, true);
  report("stiffness pass (MODE 0, states read from EIV0):", emg0, arith0, io0, g.elements());
  std::array<word, 6> h{};
  HDRGET(ESK, h);
  std::printf("check %.6e, ESK header words 1-2: %d %d\n", check, h[0], h[1]);
  return 0;
}
