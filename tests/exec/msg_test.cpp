// Numbered messages: catalogue texts on the listing and the error log, the
// queue and its overflow line, the deferred and the immediate fatal paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "frame_support.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"

namespace zephsol {
namespace {

using Lines = std::vector<std::string>;

const word EGED = name_word("EGED");

struct Case {
  word code;
  word p1;
  word p2;
  std::string header;
  std::string text;  // empty: the header alone
  bool warning;
};

std::string ten(const std::string& s) { return "          " + s; }

// Expected lines typed from the catalogue, one case per writer path.
std::vector<Case> cases() {
  return {
      {0, 5, -7, "0*** SYSTEM FATAL MESSAGE      0, PROGRAM LOGIC ERROR",
       ten("REASON CODE =         5,        -7"), false},
      {1, EGED, 123, "0*** SYSTEM FATAL MESSAGE    1,",
       ten("UNEXPECTED EOR ON FILE EGED,  THE NUMBER OF WORDS TRANSFERED WAS      123"), false},
      {3, 1000, 200, "0*** SYSTEM FATAL MESSAGE    3,",
       ten("INSUFFICIENT MEMORY.  REQUIRED =    1000, CURRENT =     200 WORDS"), false},
      {10, 208, EGED, "0*** SYSTEM FATAL MESSAGE   10,",
       ten("FILE NUMBER      208 NOT FOUND IN DBST, FILE NAME= EGED"), false},
      {701, 3, 4, "0*** SYSTEM FATAL MESSAGE  701,",
       ten("NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=       3,       4"), false},
      {962, 18, 31, "0*** SYSTEM FATAL MESSAGE  962,",
       ten("BAD UNIT ASSIGNMENT, PARMANENT UNIT       18 EQUAL OR GREATER THAN 1ST PRIMARY UNIT       31"),
       false},
      {833, 0, 0, "0*** SYSTEM FATAL MESSAGE    833, PROGRAM LOGIC ERROR",
       ten("REASON CODE =         0,         0"), false},
      {9999, 1, 2, "0*** SYSTEM FATAL MESSAGE   9999, PROGRAM LOGIC ERROR",
       ten("REASON CODE =         1,         2"), false},
      {2621, 12, 0, "0*** SYSTEM FATAL MESSAGE   2621, PROGRAM LOGIC ERROR",
       ten("REASON CODE =        12,         0"), false},
      {5000, 0, 9, "0*** SYSTEM FATAL MESSAGE   5000, PROGRAM LOGIC ERROR",
       ten("REASON CODE =         0,         9"), false},
      {3001, EGED, 5, "0*** SYSTEM FATAL MESSAGE 3001,",
       ten("I/O SEQUENCE ERROR.  FILE=EGED, LAST OPERATION=       5"), false},
      {3017, EGED, name_word("XY"), "0*** SYSTEM FATAL MESSAGE 3017,",
       ten("INVALID OPEN OPTION. FILE=EGED, OPTION=XY  "), false},
      {3023, EGED, 38, "0*** SYSTEM WARNING MESSAGE 3023,",
       ten("CLOSE AT THE MID-OF-RECORD.  FILE=EGED, UNIT=      38"), true},
      {3056, 33, 0, "0*** SYSTEM FATAL MESSAGE 3056,", ten("POSSIBLE PUTSTR LOGIC ERROR ON UNIT       33"), false},
      // A figure wider than its field is printed whole, not as '*'.
      {6, 123456789, 26214400, "0*** SYSTEM FATAL MESSAGE    6,",
       ten("INSUFFICIENT MEMORY IN LHS MATRIX FOR SPARSE SOLVER. REQUIRED =123456789, CURRENT =26214400 WORDS"),
       false},
      {3061, INT32_MIN, 2, "0*** SYSTEM FATAL MESSAGE   3061, PROGRAM LOGIC ERROR",
       ten("REASON CODE =-2147483648,         2"), false},
      {3826, 77, EGED, "0*** SYSTEM FATAL MESSAGE 3826,",
       ten("RECORD SIZE       77 IS NOT COMPATIBLE ON FILE EGED."), false},
      {3993, 6, 28, "0*** SYSTEM FATAL MESSAGE 3993,",
       ten("ALL OF DISK SACE EXHAUSTED -- INCREASE THE SPACE PARAMETER"), false},
      {3061, 1, 2, "0*** SYSTEM FATAL MESSAGE   3061, PROGRAM LOGIC ERROR",
       ten("REASON CODE =         1,         2"), false},
      {6004, 0, 0, "0*** USER FATAL MESSAGE (SPARSE SOLVER) 6004,",
       ten("MMD\x82\xcc\x82\xbd\x82\xdf\x82\xcc" "SYM\x82\xcc\x83\x54\x83\x43\x83\x59\x82\xaa\x91\xab\x82\xe8"
           "\x82\xdc\x82\xb9\x82\xf1\x81\x42"),
       false},
      {6011, 0, 0, "0*** USER FATAL MESSAGE (SPARSE SOLVER) 6011,",
       ten("\x83\x56\x83\x93\x83\x7b\x83\x8a\x83\x62\x83\x4e\x95\xaa\x89\xf0\x82\xcc\x82\xbd\x82\xdf\x82\xcc"
           "SYM\x82\xcc\x83\x54\x83\x43\x83\x59\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x81\x42"),
       false},
      {6020, 0, 0, "0*** USER FATAL MESSAGE (SPARSE SOLVER) 6020,",
       ten("rsUnit > 0 \x82\xc6\x82\xc8\x82\xc1\x82\xc4\x82\xa2\x82\xe9\x82\xaa\x81\x41luUnit == 0"), false},
      {6099, 1, 2, "0*** USER FATAL MESSAGE (SPARSE SOLVER) 6099,", "", false},
      {8001, 4711, 0, "0*** USER FATAL MESSAGE 8001,", ten("JACOBIAN DETERMINANT LESS THAN 0.  ELEMENT ID=    4711"),
       false},
      {8003, 12, real_word(1.5f), "0*** USER FATAL MESSAGE 8003,",
       ten("GEOMETRICAL DATA INAPPROPRIATE FOR THIS ELEMENT, ELEMENT ID=      12, VALUE=  0.15000E+01"), false},
      {8007, 3, 9, "0*** SYSTEM FATAL MESSAGE 8007,",
       ten("ILLEGAL NUMBER OF LOAD DATA SET,  ELEMENT=       3, NUM.=        9"), false},
      {8031, name_word("QPLA"), name_word("N4R"), "0*** USER FATAL MESSAGE 8031,",
       ten("WRONG KEYOPT DATA,  ELEMENT NAME QPLAN4R "), false},
      {8032, real_word(-0.25f), 7, "0*** USER FATAL MESSAGE 8032,",
       ten("ILLEGAL RADIUS LOCATION  -0.25000E+00 OF AXISYMMETRIC ELEMENT        7"), false},
      {8065, name_word("SBEA"), name_word("M2"), "0*** USER FATAL MESSAGE 8065,",
       ten("SBEAM2   ELEMENT NOT AVAILABLE UPDATED LAGRANGIAN FORMULATION"), false},
      {8075, 15, name_word("PHI"), "0*** USER FATAL MESSAGE 8075,",
       ten("ELEMENT NUMBER=      15 FATAL MATERIAL DATA(PHI ) INPUTTED"), false},
      {8313, 273, 0, "0*** USER WARNING MESSAGE 8313,",
       ten("MATERIAL LIBRARY CAN BE USED ONLY AS TEMPERATURE UNIT OF CENTIGRADE, HEAT SOLVE DATA - KOFST=     273"),
       true},
      {8077, 0, 3, "0*** SYSTEM FATAL MESSAGE   8077, PROGRAM LOGIC ERROR", ten("REASON CODE =         0,         3"),
       false},
  };
}

Lines expected_lines(const Case& c) {
  Lines l{c.header};
  if (!c.text.empty()) l.push_back(c.text);
  return l;
}

using Messages = FrameTest;

// Every case alone through the queue: the same lines on both units, the
// warning flag set by warnings only, the run going on.
TEST_F(Messages, CatalogueLinesOnListingAndErrorLog) {
  sysw().NLINE = 0;  // no page header in the way
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.code);
    const std::size_t list_before = lines("list").size();
    const std::size_t erro_before = lines("erro").size();
    sysw().IWRNFL = 0;
    sysw().NLINE = 0;
    MSGPUT(c.code, c.p1, c.p2);
    EXPECT_EQ(exec_state().msgque.count, 1);
    MSGOUT();
    EXPECT_EQ(exec_state().msgque.count, 0);
    const Lines list = lines("list");
    const Lines erro = lines("erro");
    EXPECT_EQ(Lines(list.begin() + static_cast<long>(list_before), list.end()), expected_lines(c));
    EXPECT_EQ(Lines(erro.begin() + static_cast<long>(erro_before), erro.end()), expected_lines(c));
    EXPECT_EQ(sysw().IWRNFL, c.warning ? 1 : 0);
    EXPECT_EQ(sysw().IERFLG, 0);
  }
}

TEST_F(Messages, DeferredFatalSetsFlagAndPrintsLikeItsPositiveCode) {
  MSGPUT(-8001, 99, 0);
  EXPECT_EQ(sysw().IERFLG, 1);
  ASSERT_EQ(exec_state().msgque.count, 1);
  EXPECT_EQ(exec_state().msgque.entry[0][0], -8001);
  MSGPUT(8001, 99, 0);
  sysw().NLINE = 0;
  MSGOUT();
  const Lines erro = lines("erro");
  ASSERT_EQ(erro.size(), 4u);
  EXPECT_EQ(erro[0], "0*** USER FATAL MESSAGE 8001,");
  EXPECT_EQ(erro[1], ten("JACOBIAN DETERMINANT LESS THAN 0.  ELEMENT ID=      99"));
  EXPECT_EQ(Lines(erro.begin(), erro.begin() + 2), Lines(erro.begin() + 2, erro.end()));
}

// Each message asks for three lines: the first one of a run starts page 1.
TEST_F(Messages, PageHeaderBeforeFirstMessage) {
  MSGPUT(3, 1, 2);
  MSGOUT();
  const Lines list = lines("list");
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(list[0].substr(0, 5), "1    ");
  EXPECT_EQ(list[3], "0*** SYSTEM FATAL MESSAGE    3,");
  EXPECT_EQ(sysw().NLINE, 6);
  EXPECT_EQ(sysw().NPAGE, 1);
}

// 21 warnings and the run end: 20 printed, the count line, progress -2.
TEST_F(Messages, QueueOverflowAtRunEnd) {
  EXPECT_EXIT(
      {
        for (int i = 1; i <= 21; ++i) MSGPUT(3023, EGED, i);
        EXPECT_EQ(exec_state().msgque.count, 21);
        RUNEND();
      },
      ::testing::ExitedWithCode(0), "");
  const Lines erro = lines("erro");
  ASSERT_EQ(erro.size(), 41u);
  for (int i = 1; i <= 20; ++i) {
    EXPECT_EQ(erro[2 * i - 2], "0*** SYSTEM WARNING MESSAGE 3023,");
    EXPECT_EQ(erro[2 * i - 1], ten("CLOSE AT THE MID-OF-RECORD.  FILE=EGED, UNIT=") + fline("(I8)", {i}));
  }
  EXPECT_EQ(erro[40], "0*** TOTAL    21 MESSAGES, OF WHICH FIRST  20 MESSAGES ARE PRINTED.");
  const Lines list = lines("list");
  EXPECT_EQ(list.back(), erro[40]);
  // 21 blocks of three lines on 56-line pages: two page headers.
  EXPECT_EQ(std::count_if(list.begin(), list.end(), [](const std::string& l) { return l.starts_with("1"); }), 2);
  EXPECT_EQ(content("stat"), "      -2,       0\n");
}

// A fatal code prints the queue, then itself last; the run ends in error.
TEST_F(Messages, FatalPrintsQueueThenItselfAndEndsInError) {
  EXPECT_EXIT(
      {
        sysw().NLINE = 0;
        MSGPUT(3, 1000, 200);
        MSGPUT(0, 1, 2);
        MSGPUT(-3001, EGED, 5);
      },
      ::testing::ExitedWithCode(1), "");
  const Lines erro = lines("erro");
  const Lines want = {"0*** SYSTEM FATAL MESSAGE    3,",
                      ten("INSUFFICIENT MEMORY.  REQUIRED =    1000, CURRENT =     200 WORDS"),
                      "0*** SYSTEM FATAL MESSAGE      0, PROGRAM LOGIC ERROR",
                      ten("REASON CODE =         1,         2"),
                      "0*** SYSTEM FATAL MESSAGE 3001,",
                      ten("I/O SEQUENCE ERROR.  FILE=EGED, LAST OPERATION=       5")};
  EXPECT_EQ(erro, want);
  EXPECT_EQ(lines("list"), want);
  EXPECT_EQ(content("stat"),
            "      -8,       0\n"
            "\x83\x47\x83\x89\x81\x5b\x8f\x49\x97\xb9\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42"
            "\x8f\xda\x82\xb5\x82\xad\x82\xcd\x83\x8a\x83\x58\x83\x67\x82\xf0\x82\xb2\x97\x97"
            "\x89\xba\x82\xb3\x82\xa2\x81\x42\n");
}

// A listing that cannot be written: the fatal message it raises while the
// run is ending does not recurse, and the run ends in error.
TEST_F(Messages, FailingListingEndsRunInError) {
  EXPECT_EXIT(
      {
        unit_open(6, "/dev/full", UnitForm::Formatted, UnitStatus::Unknown);
        MSGPUT(3023, EGED, 1);
        RUNEND();
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(content("stat").starts_with("      -8,       0\n"));
}

}  // namespace
}  // namespace zephsol
