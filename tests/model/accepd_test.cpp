// ACCEPD and MODEPX: element loads of a step added into the running total,
// loads of removed elements emptied, on blocks written through the file
// system.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "common/block_dump.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "common/testing.h"
#include "zephsol/model/accepd.h"

namespace zephsol::test {
namespace {

using Record = std::vector<word>;
using Records = std::vector<Record>;

// An entry [ELDTYP, n, code, n - 1 values].
Record entry(word type, word code, std::initializer_list<float> values) {
  Record e{type, static_cast<word>(values.size()) + 1, code};
  for (float v : values) e.push_back(word_of(v));
  return e;
}

// An element load record [L, entries, entries], or [0].
Record loads(std::initializer_list<Record> entries) {
  Record r{0, static_cast<word>(entries.size())};
  for (const Record& e : entries) r.insert(r.end(), e.begin(), e.end());
  if (entries.size() == 0) return {0};
  r[0] = static_cast<word>(r.size()) - 1;
  return r;
}

// Writes element load records with the header the writer gives them.
void write_loads(word block, const Records& records) {
  word longest = 0;
  for (const Record& r : records) longest = std::max(longest, static_cast<word>(r.size()));
  write_block(block, records, {static_cast<word>(records.size()), longest, 0, 1, 0, 0});
}

struct Case {
  const char* what;
  Records epx, epd;  // empty: the block is absent
  Records epy;
};

TEST(Accepd, StepLoadsAddIntoTheTotal) {
  const std::vector<Case> cases{
      {"no total yet: EPY is EPD", {}, {loads({entry(2, 1, {5, 6, 0, 0})}), loads({})},
       {loads({entry(2, 1, {5, 6, 0, 0})}), loads({})}},
      {"the same load twice: one entry holding the sum",
       {loads({entry(2, 1, {10, 1, 0, 0})})}, {loads({entry(2, 1, {5, 2, 0, 0})})},
       {loads({entry(2, 1, {15, 3, 0, 0})})}},
      {"another face: a second entry",
       {loads({entry(2, 1, {10, 1, 0, 0})})}, {loads({entry(2, 3, {5, 2, 0, 0})})},
       {loads({entry(2, 1, {10, 1, 0, 0}), entry(2, 3, {5, 2, 0, 0})})}},
      {"nothing so far, two loads now",
       {loads({}), loads({entry(7, 0, {0, 0, -9.8f})})}, {loads({entry(2, 1, {1, 0, 0, 0}), entry(7, 0, {0, 0, -1})}), loads({})},
       {loads({entry(2, 1, {1, 0, 0, 0}), entry(7, 0, {0, 0, -1})}), loads({entry(7, 0, {0, 0, -9.8f})})}},
      {"a body force without words on a joint: kept once, beside a new face load",
       {loads({Record{7, 0}})}, {loads({Record{7, 0}, entry(2, 1, {1, 0})})},
       {loads({Record{7, 0}, entry(2, 1, {1, 0})})}},
      {"no step loads: the total stays",
       {loads({entry(7, 0, {0, 0, -9.8f})}), loads({})}, {},
       {loads({entry(7, 0, {0, 0, -9.8f})}), loads({})}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::FreshFileSystem fs(1, 101);
    if (!c.epx.empty()) write_loads(EPX, c.epx);
    if (!c.epd.empty()) write_loads(EPD, c.epd);
    ACCEPD(EPX, EPD, EPY);
    EXPECT_EQ(block_records(EPY), c.epy);
    word longest = 0;
    for (const Record& r : c.epy) longest = std::max(longest, static_cast<word>(r.size()));
    EXPECT_EQ(block_header(EPY), (std::array<word, 6>{static_cast<word>(c.epy.size()), longest, 0, 1, 0, 0}));
  }
}

TEST(Accepd, WithNeitherInputTheOldResultIsEmptied) {
  testing::FreshFileSystem fs(1, 101);
  write_loads(EPY, {loads({entry(2, 1, {1, 0, 0, 0})})});
  ACCEPD(EPX, EPD, EPY);
  EXPECT_EQ(block_header(EPY), (std::array<word, 6>{}));
}

TEST(Accepd, DistributedLoadOverFourStepsAccumulatesItsQuarters) {
  // 100 on one face applied in four steps of 25; EPY and EPX change roles
  // after each step, as the main program exchanges them.
  testing::FreshFileSystem fs(1, 101);
  write_loads(EPD, {loads({}), loads({entry(2, 4, {25, 0, 0, 0})})});
  word total = EPX, result = EPY;
  for (int k = 1; k <= 4; ++k) {
    ACCEPD(total, EPD, result);
    EXPECT_EQ(block_records(result), (Records{loads({}), loads({entry(2, 4, {25.0f * k, 0, 0, 0})})})) << "step " << k;
    std::swap(total, result);
  }
}

TEST(Modepx, RemovedElementsLoseTheirLoads) {
  testing::FreshFileSystem fs(1, 101);
  const Records epx{loads({entry(2, 1, {1, 0, 0, 0}), entry(2, 3, {2, 0, 0, 0})}), loads({entry(7, 0, {0, 0, -9.8f})}),
                    loads({})};
  write_loads(EPX, epx);
  // Without removed elements the records stay; the header is rewritten.
  MODEPX(EPX, XCLD, EPY);
  EXPECT_EQ(block_records(EPY), epx);
  EXPECT_EQ(block_header(EPY), (std::array<word, 6>{3, 16, 0, 1, 0, 0}));

  write_block(XCLD, {{1, 3}}, {2, 0, 0, 0, 0, 0});
  MODEPX(EPX, XCLD, EPY);
  EXPECT_EQ(block_records(EPY), (Records{{0}, epx[1], {0}}));
  EXPECT_EQ(block_header(EPY), (std::array<word, 6>{3, 8, 0, 1, 0, 0}));

  // Without a total there is nothing to empty.
  HDRPUT(EPX, std::array<word, 6>{});
  MODEPX(EPX, XCLD, EPY);
  EXPECT_EQ(block_header(EPY), (std::array<word, 6>{}));
}

}  // namespace
}  // namespace zephsol::test
