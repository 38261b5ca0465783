// GP1 and TA1 on a block of n x n x n HEX8 elements ((n + 1)^3 nodes; n =
// 100, 1,000,000 elements and 1,030,301 nodes, unless the first argument
// gives another n), the geometry written as STRC through the file system
// into work files of a temporary directory.
//
// Printed: the seconds of GP1, of the first half of TA1 (adjacency and
// renumbering) and of the renumbering alone (TA1ASQ again on the adjacency
// the first half left), per million elements; and the seconds of the whole
// of TA1 on the largest block whose equations an equation word can still
// number (87^3 elements). Each is also given as a ratio to the I/O floor
// measured in the same run: the same words read and written through the
// record layer in large pieces, without any table work. A 1,000,000-node
// block has more equations (3,090,903) than an equation word numbers
// (2,097,151), so TA1 would end there with its fatal message; its first
// half is timed on its own with TA1COM set as TA1 sets it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/model/gp1.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/ta1.h"
#include "zephsol/model/ta2.h"

namespace {

using namespace zephsol;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

word buffer() { return sysw().COREND - sysw().NBUFSZ; }

// STRC of the block: the "ELEMENT " record, then the "NODE    " record.
// Returns the words written.
long write_block_geometry(int n) {
  const int m = n + 1;
  const auto id = [m](int i, int j, int k) { return 1 + i + m * j + m * m * k; };
  const long ne = long{n} * n * n, nn = long{m} * m * m;
  DBOPEN(STRC, buffer(), kWrite);
  const auto elem = name_words8("ELEMENT ");
  std::vector<word> w{elem[0], elem[1], static_cast<word>(16 * ne)};
  DBWRIT(STRC, w.data(), 3, 0);
  long e = 0;
  for (int k = 0; k < n; ++k)
    for (int j = 0; j < n; ++j) {
      w.clear();
      for (int i = 0; i < n; ++i)
        w.insert(w.end(), {static_cast<word>(++e), 1, 0, 1, 0, 0, 0, 8, id(i, j, k), id(i + 1, j, k),
                           id(i, j + 1, k), id(i + 1, j + 1, k), id(i, j, k + 1), id(i + 1, j, k + 1),
                           id(i, j + 1, k + 1), id(i + 1, j + 1, k + 1)});
      DBWRIT(STRC, w.data(), static_cast<word>(w.size()), e == ne ? 1 : 0);
    }
  const auto node = name_words8("NODE    ");
  w = {node[0], node[1], 3};
  DBWRIT(STRC, w.data(), 3, 0);
  for (int k = 0; k < m; ++k)
    for (int j = 0; j < m; ++j) {
      w.clear();
      for (int i = 0; i < m; ++i)
        w.insert(w.end(), {id(i, j, k), 0, 0, 0, 3, real_word(static_cast<float>(i)), real_word(static_cast<float>(j)),
                           real_word(static_cast<float>(k))});
      DBWRIT(STRC, w.data(), static_cast<word>(w.size()), k == m - 1 && j == m - 1 ? 1 : 0);
    }
  DBCLOS(STRC, kCloseRewind);
  HDRPUT(STRC, std::array<word, 6>{0, static_cast<word>(nn), 0, static_cast<word>(ne), 0, 0});
  return 16 * ne + 8 * nn + 6;
}

// The I/O floor: `words` words written and read back through the record
// layer in pieces of 65,536 words.
double io_floor(long words) {
  std::vector<word> piece(65536, 7);
  const auto t0 = Clock::now();
  DBOPEN(KGG, buffer(), kWrite);
  for (long left = words; left > 0; left -= 65536) {
    const auto k = static_cast<word>(std::min<long>(left, 65536));
    DBWRIT(KGG, piece.data(), k, left <= 65536 ? 1 : 0);
  }
  DBCLOS(KGG, kCloseRewind);
  DBOPEN(KGG, buffer(), kRead);
  for (long left = words; left > 0; left -= 65536) {
    const auto k = static_cast<word>(std::min<long>(left, 65536));
    DBREAD(KGG, piece.data(), k, left <= 65536 ? 1 : 0);
  }
  DBCLOS(KGG, kCloseUnload);
  return seconds_since(t0);
}

struct Timing {
  double floor, gp1, ta1;
};

// Fresh file system, the block's geometry and the type table; GP1 and TA2.
Timing geometry_and_gp1(int n, testing::FreshFileSystem&) {
  reset_elem_state();
  reset_model_state();
  elem_state().tables.etyp.count = 1;
  elem_state().tables.etyp.entry[0] = {1, 1};
  const long words = write_block_geometry(n);
  Timing t{};
  t.floor = io_floor(words);
  const auto t0 = Clock::now();
  GP1(STRC, CSTM, NODC, CONE);
  t.gp1 = seconds_since(t0);
  TA2(ELST, CONE, IELS);
  return t;
}

void print(const char* what, double s, double per, double floor) {
  std::printf("  %-44s %8.3f s  %8.3f s per million elements  %6.1f x the I/O floor\n", what, s, s / per, s / floor);
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 100;
  const int small = 87;
  testing::FreshFileSystem fs(512);
  unit_open(6, "listing", UnitForm::Formatted, UnitStatus::Unknown);

  const double million = 1e-6 * n * n * n;
  Timing big = geometry_and_gp1(n, fs);
  std::printf("HEX8 block %d^3: %ld nodes, %ld elements (I/O floor %.3f s)\n", n, long{n + 1} * (n + 1) * (n + 1),
              long{n} * n * n, big.floor);
  print("GP1", big.gp1, million, big.floor);
  {
    TA1COM& t = ta1com();
    t = TA1COM{CONE, EGED, NODC, IELS, EQIX, ADIC, EST, ECT};
    t.IFREE = 1;
    t.NCORE = CORLFT(1);
    t.IBUF = t.NCORE - sysw().NBUFSZ + 1;
    t.NAVAIL = t.IBUF - 1;
    const std::array<word, 6> nodc = [] { std::array<word, 6> h{}; HDRGET(NODC, h); return h; }();
    t.N = nodc[0];
    t.M = nodc[3];
    t.NE = n * n * n;
    const auto t0 = Clock::now();
    TA1A();
    print("TA1 first half (adjacency, renumbering)", seconds_since(t0), million, big.floor);
    std::printf("  renumbering %s\n", t.IRNFLG == 0 ? "used" : "refused: input order kept");
    // The renumbering again on the adjacency TA1A left in core (its layout:
    // new numbers, degrees, status, work area, adjacency pointers and lists).
    const word nodes = t.N;
    const word deg = 1 + nodes, status = deg + nodes, work = status + nodes;
    const word adjptr = work + std::max<word>({nodes, sysw().NBUFSZ, 640}), adjlist = adjptr + nodes + 1;
    for (word i = 0; i < nodes; ++i) core().w(deg + i) = core().w(adjptr + i + 1) - core().w(adjptr + i);
    const auto t1 = Clock::now();
    TA1ASQ(adjptr, adjlist, 1, deg, status, work);
    print("renumbering alone (1,030,301 nodes)", seconds_since(t1), million, big.floor);
  }

  testing::FreshFileSystem fs2(512);
  unit_open(6, "listing", UnitForm::Formatted, UnitStatus::Unknown);
  const double million2 = 1e-6 * small * small * small;
  Timing part = geometry_and_gp1(small, fs2);
  std::printf("HEX8 block %d^3: %ld nodes, %ld elements (I/O floor %.3f s)\n", small,
              long{small + 1} * (small + 1) * (small + 1), long{small} * small * small, part.floor);
  print("GP1", part.gp1, million2, part.floor);
  const auto t0 = Clock::now();
  TA1(CONE, EGED, NODC, IELS, EQIX, ADIC, EST, ECT);
  print("TA1", seconds_since(t0), million2, part.floor);
  return 0;
}
