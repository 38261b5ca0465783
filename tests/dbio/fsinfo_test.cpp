// Information messages of the file system on the listing.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/fsinfo.h"
#include "common/testing.h"

namespace zephsol {
namespace {

TEST(Fsinfo, LinesOfEachKindOfMessage) {
  struct Case {
    word code, file;
    std::array<word, 4> p;
    const char* lines;
  };
  const Case cases[] = {
      {3047, UG, {0, 0, 0, 0},
       "0*** SYSTEM INFORMATION MESSAGE  3047,\n"
       "          DATA BLOCK UG       OPENED,  REFERENCE NUMBER IS  232\n"},
      {3048, 400, {0, 0, 0, 0},
       "0*** SYSTEM INFORMATION MESSAGE  3048,\n"
       "          DATA BLOCK ****     CLOSED,  REFERENCE NUMBER IS  400\n"},
      {3011, UG, {0, 0, 0, 0}, "0*** SYSTEM INFORMATION MESSAGE  3011,\n"},
      {3, KGG, {53, 0, 0, 0},
       "0*** SYSTEM INFORMATION MESSAGE 3043, DATA BLOCK NAME = KGG     , PRIMAL UNIT NUMBER =  53\n"},
      {1, KGG, {53, name_word("DISK"), name_word("SPCE"), 120},
       "0*** SYSTEM INFORMATION MESSAGE 3041, DATA BLOCK NAME = KGG     , PRIMAL UNIT NUMBER =  53\n"
       "          DASD SPACE FOR DISKSPCE WAS EXTENDED,  NEW LIMIT =     120 BLOCKS.\n"},
      {4, KGG, {53, name_word("DDNA"), name_word("ME01"), 54},
       "0*** SYSTEM INFORMATION MESSAGE 3044, DATA BLOCK NAME = KGG     , PRIMAL UNIT NUMBER =  53\n"
       "          UNIT  54 (DDNAME = DDNAME01) WAS CHAINNED FROM PREVIOUS UNIT.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    testing::FreshFileSystem fs;
    FSINFO(c.code, c.file, c.p);
    const std::string listing = fs.read("listing");
    // After the page header of the first lines of the run.
    ASSERT_GE(listing.size(), std::string(c.lines).size());
    EXPECT_EQ(listing.substr(listing.size() - std::string(c.lines).size()), c.lines) << listing;
  }
}

}  // namespace
}  // namespace zephsol
