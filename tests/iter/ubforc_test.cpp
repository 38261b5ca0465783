// Release forces of an excavation (UBFORC) on a column of two unit HEX8
// cubes from a deck, under a uniform vertical stress sigma_zz = -p: each
// element's internal force is B^T sigma integrated, -p/4 along z at each of
// its top nodes and +p/4 at each bottom node (a quarter of the unit face per
// node). Against these hand values:
//   - no excavation, no equivalent stress force: DPGM = -(sum of both);
//   - the equilibrium force of the column as PGM: DPGM = 0;
//   - the top element removed: DPGM = that element's nodal forces alone.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "common/deck.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/ubforc.h"

namespace zephsol {
namespace {

constexpr double kP = 8.0;

// Nodes 1-4 at z = 0, 5-8 at z = 1, 9-12 at z = 2 (corners of the unit square).
std::string column_deck() {
  using test::card;
  std::string b = "ELEMENT\n" + card({"1", "HEX8"}) + "\nMATERIAL\n" + card({"1", "0"}) + "\n" +
                  card({"", "E", "1.0E+4"}) + "\n" + card({"", "NU", "0.3"}) + "\nNODE\n";
  const std::array<std::array<const char*, 2>, 4> corners{{{"0.", "0."}, {"1.", "0."}, {"1.", "1."}, {"0.", "1."}}};
  for (int level = 0; level < 3; ++level)
    for (int c = 0; c < 4; ++c)
      b += card({std::to_string(4 * level + c + 1), "", corners[c][0], corners[c][1], std::to_string(level) + "."}) + "\n";
  b += "CONNECTI\n";
  for (int e = 0; e < 2; ++e) {
    const auto n = [&](int k) { return std::to_string(4 * e + k); };
    b += card({std::to_string(e + 1), "1", "", "1", n(1), n(2), n(3), n(4), n(5), n(6)}) + "\n" + card({"", n(7), n(8)}) +
         "\n";
  }
  return test::bulk_deck(b);
}

// Every element of EST with a state record whose points all hold sigma_zz = -p.
void write_uniform_states() {
  std::array<word, 6> trailer{0, 0, 0, 0, 0, 1};
  std::vector<word> area(4000);
  const word nbuf = sysw().NBUFSZ;
  const word elements = test::block_header(EST)[0];
  DBOPEN(EST, sysw().COREND - 2 * nbuf, kRead);
  DBOPEN(EIV0, sysw().COREND - 3 * nbuf, kWrite);
  for (word e = 0; e < elements; ++e) {
    ESTRD(EST);
    ETYPDS(estcom().ISEQ, 0);
    EIVRDA(0, area);
    EIVOPA(EIV0);
    for (word p = 1; p <= eivwka().head[3]; ++p) {
      EIVGTA(p);
      eivwka().vec[0] = {0, 0, -kP, 0, 0, 0};
      EIVPTA();
    }
    ++trailer[0];
    trailer[2] |= 1 << estcom().IECOD;
    trailer[3] = std::max(trailer[3], eivwka().head[3]);
    EIVWRA(trailer);
  }
  DBCLOS(EST, kCloseRewind);
  DBCLOS(EIV0, kCloseRewind);
  HDRPUT(EIV0, trailer);
}

// The z equation of each node, from EQIX (identifier, first x 1024 + count).
std::map<word, std::size_t> z_equations() {
  std::map<word, std::size_t> z;
  const auto eqix = test::block_records(EQIX);
  for (std::size_t p = 0; p < eqix[1].size(); p += 2) z[eqix[1][p]] = static_cast<std::size_t>((eqix[1][p + 1] >> 10) + 2);
  return z;
}

// A vector with value(level) on the z equation of each node of that level.
std::vector<double> by_level(std::array<double, 3> value) {
  const auto z = z_equations();
  std::vector<double> v(static_cast<std::size_t>(test::block_header(EQIX)[1]), 0.0);
  for (word node = 1; node <= 12; ++node) v[z.at(node) - 1] = value[static_cast<std::size_t>((node - 1) / 4)];
  return v;
}

void write_column(word file, const std::vector<double>& v) {
  MCB m{file, 0, static_cast<word>(v.size()), 2, 2, 0, 0};
  DBOPEN(file, sysw().COREND - 2 * sysw().NBUFSZ, kWrite);
  COLPUT(m, 2, v.data(), 1, m.rows);
  DBCLOS(file, kCloseRewind);
  HDRPUT(file, m.header());
}

std::vector<double> read_column(word file) {
  MCB m{file};
  HDRGET(file, m.header());
  std::vector<double> v(static_cast<std::size_t>(m.rows), 0.0);
  DBOPEN(file, sysw().COREND - 2 * sysw().NBUFSZ, kRead);
  word first = 1, last = m.rows, empty = 0;
  COLGET(m, 2, v.data(), first, last, empty);
  DBCLOS(file, kCloseRewind);
  return v;
}

void expect_vectors_near(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-10 * kP) << "equation " << i + 1;
}

TEST(Ubforc, ReleasesTheForcesOfTheRemovedElements) {
  test::DeckRun run(column_deck());
  ASSERT_TRUE(run.model_phase());
  write_uniform_states();
  const std::vector<double> zero = by_level({0, 0, 0});

  // No stress force given (an empty column): minus the internal forces.
  MCB empty{PGM, 0, static_cast<word>(zero.size()), 2, 2, 0, 0};
  HDRPUT(PGM, empty.header());
  UBFORC(EST, EIV0, PGM, 0, DPGM);
  expect_vectors_near(read_column(DPGM), by_level({-kP / 4, 0, kP / 4}));
  EXPECT_EQ(test::block_header(DPGM)[1], static_cast<word>(zero.size()));

  // The column's equilibrium force: nothing is released.
  write_column(PGM, by_level({kP / 4, 0, -kP / 4}));
  UBFORC(EST, EIV0, PGM, 0, DPGM);
  expect_vectors_near(read_column(DPGM), zero);

  // The top element removed: its own nodal forces.
  test::write_block(XCLD, {{2}}, {1, 0, 0, 0, 0, 0});
  UBFORC(EST, EIV0, PGM, XCLD, DPGM);
  expect_vectors_near(read_column(DPGM), by_level({0, kP / 4, -kP / 4}));

  // Without states every point starts fresh (no stress): DPGM = PGM.
  UBFORC(EST, 0, PGM, XCLD, DPGM);
  expect_vectors_near(read_column(DPGM), by_level({kP / 4, 0, -kP / 4}));
}

}  // namespace
}  // namespace zephsol
