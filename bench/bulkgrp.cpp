// Throughput of the bulk data grouping: XMERGE reads, echoes and groups a
// generated deck of n cards (fixed-field node and element cards, free-field
// constraint cards, comments), then a deck of 2n cards. Prints cards per
// second for each and the ratio of the two times, which stays near 2 when
// the time grows linearly with the deck.
//
// Usage: bench_bulkgrp [cards]   (default 1000000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "common/scratch.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/pools.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/bulkgrp.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/cards.h"
#include "zephsol/input/inrec.h"

namespace {

namespace fs = std::filesystem;
using namespace zephsol;

std::string field(long v) {
  std::string s = std::to_string(v);
  return std::string(s.size() < 8 ? 8 - s.size() : 0, ' ') + s;
}

// A deck of n bulk data cards after "BEGIN BULK", ended by "ENDDATA".
void write_deck(const fs::path& path, long n) {
  std::ofstream f(path, std::ios::binary);
  const long nodes = n * 6 / 10, elements = n * 3 / 10;
  long written = 0;
  const auto card = [&](const std::string& c) {
    f << c << '\n';
    ++written;
  };
  card("NODE");
  for (long i = 1; i < nodes && written < n - 1; ++i) {
    if (i % 1000 == 0) f << "$ nodes " << i << '\n';
    card(field(i) + "       0" + "     1.0     2.0     3.0");
  }
  card("CONNECTI");
  for (long i = 1; i < elements && written < n - 1; ++i)
    card(field(i) + "       1       1       1" + field(i) + field(i + 1) + field(i + 2) + field(i + 3));
  card("CONST");
  while (written < n - 1) card(",1,3,1,,1,2");
  card("ENDDATA");
}

// A fresh input phase positioned after "BEGIN BULK", reading the deck.
void fresh_run(const fs::path& deck) {
  unit_reset_all();
  reset_exec_state();
  reset_input_state();
  reset_dbio_state();
  reset_bulk_state();
  core_release();
  sysw().MEMO = 1;
  if (!core_allocate(1)) std::exit(2);
  CORINI();
  BUFINI();
  CHRINI();
  unit_open(0, "console.txt", UnitForm::Formatted, UnitStatus::Unknown);
  unit_open(6, "listing.txt", UnitForm::Formatted, UnitStatus::Unknown);
  unit_open(999, "errlog.txt", UnitForm::Formatted, UnitStatus::Unknown);
  unit_open(5, deck.string(), UnitForm::Formatted, UnitStatus::Old);
  input_state().ctl.KCLASS = CLS_BULK;
}

// Seconds XMERGE takes on a deck of n cards.
double time_grouping(const fs::path& dir, long n) {
  const fs::path deck = dir / "deck.dat";
  write_deck(deck, n);
  fresh_run(deck);
  const auto t0 = std::chrono::steady_clock::now();
  XMERGE();
  unit_flush_all();
  const auto t1 = std::chrono::steady_clock::now();
  if (sysw().IERFLG != 0) {
    std::fprintf(stderr, "grouping reported an error\n");
    std::exit(1);
  }
  unit_reset_all();
  for (const auto& e : fs::directory_iterator(dir)) fs::remove(e.path());
  return std::chrono::duration<double>(t1 - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
  if (n < 10) return 2;
  const fs::path dir = zephsol::testing::make_scratch_dir("zephbulk");
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  const double t1 = time_grouping(dir, n);
  const double t2 = time_grouping(dir, 2 * n);
  fs::current_path(old);
  zephsol::testing::remove_scratch_dir(dir);
  std::printf("%10ld cards: %8.3f s, %12.0f cards/s\n", n, t1, static_cast<double>(n) / t1);
  std::printf("%10ld cards: %8.3f s, %12.0f cards/s\n", 2 * n, t2, static_cast<double>(2 * n) / t2);
  std::printf("time ratio %.3f (linear: 2)\n", t2 / t1);
  return 0;
}
