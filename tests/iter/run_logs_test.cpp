// Whole runs through the program, for what a run leaves beside its results:
// the error log and the convergence log start empty in every run (an
// earlier run's lines do not stay in them), the convergence log prints a
// ratio over a zero reference force as 0, and no page of the listing holds
// more lines than the page length.
//
// The decks are bars (ROD2, von Mises, E 1.0E+5, yield stress 100, no
// hardening) along x, each from a held node to one common node whose
// movement along x is prescribed: bar k (length k - 1/2) yields in step k
// when the node moves 1.0E-3 a step. Every freedom is held or prescribed,
// so the unbalanced force at free freedoms is 0 from the first solution on.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "common/deck.h"

namespace zephsol::test {
namespace {

std::string real(double v) {
  char s[16];
  std::snprintf(s, sizeof s, "%.4f", v);
  return s;
}

// `bars` bars and as many steps; control cards before "FIELD 3".
std::string bars_deck(int bars, const std::string& control) {
  std::string b = "ELEMENT\n" + card({"1", "ROD2"}) + "\nMATERIAL\n" + card({"1", "1", "3"}) + "\n" + card({"", "E", "1.0E+5"}) +
                  "\n" + card({"", "NU", "0.3"}) + "\n" + card({"", "SIGY", "100.0"}) + "\n" + card({"", "HDASH", "0.0"}) +
                  "\nPROPERTY\n" + card({"1", "1", "1.0"}) + "\nNODE\n";
  for (int k = 1; k <= bars; ++k) b += card({std::to_string(k), "", real(0.5 - k), "0.0", "0.0"}) + "\n";
  b += card({"100", "", "0.0", "0.0", "0.0"}) + "\nCONNECTI\n";
  for (int k = 1; k <= bars; ++k) b += card({std::to_string(k), "1", "1", "1", std::to_string(k), "100"}) + "\n";
  b += "CONST\n" + card({"", "1", std::to_string(bars), "1", "", "1", "3"}) + "\n" + card({"", "100", "", "", "", "2", "3"}) +
       "\nDISP\n" + card({"1"}) + "\n" + card({"", "100", "100", "1", "", "1", "1", real(1.0e-3 * bars)}) + "\n";
  b += "HISTORY\n" + card({"INTERVAL", std::to_string(bars)}) + "\n" + card({"", "DISP", "1", "1.0"}) + "\n";
  std::string deck = bulk_deck(b);
  deck.insert(deck.find("FIELD 3"), control);
  return deck;
}

void write(const DeckRun& run, const char* name, const std::string& text) {
  std::ofstream(run.dir() / name, std::ios::binary) << text;
}

// An earlier run's logs in the directory: a clean run that does not iterate
// leaves both empty.
TEST(RunLogs, EveryRunStartsItsErrorAndConvergenceLogsAfresh) {
  DeckRun run(bars_deck(1, ""));
  write(run, kErrorFile, "0*** USER FATAL MESSAGE 2601, STALE LINE FROM AN EARLIER RUN\n");
  write(run, kConvergenceFile, "STALE LINE FROM AN EARLIER RUN\n");
  ASSERT_EQ(run.run_program(), 0);
  EXPECT_EQ(run.text(kErrorFile), "");
  EXPECT_EQ(run.text(kConvergenceFile), "");
}

// Both criteria reported: the unbalanced force is 0 in every iteration, and
// so is its ratio to the first one.
TEST(RunLogs, AForceRatioOverAZeroFirstForceIsZero) {
  DeckRun run(bars_deck(2, "DIAG 55=1\nPARAM 5,BOTH,1.0E-3\n"));
  ASSERT_EQ(run.run_program(), 0) << run.text(kErrorFile);
  const std::vector<std::string> log = run.lines(kConvergenceFile);
  int ratios = 0;
  for (const std::string& l : log) {
    EXPECT_EQ(l.find("NaN"), std::string::npos) << l;
    if (l.find("(F(i)-F(i-1))/F(1)=") == std::string::npos) continue;
    ++ratios;
    EXPECT_TRUE(l.ends_with("=  0.00000E+00")) << l;
  }
  EXPECT_GT(ratios, 0);
}

// Records from one page start (a line with "1" in its first column) to the
// next, the largest count.
std::size_t longest_page(const std::vector<std::string>& listing) {
  std::size_t longest = 0, page = 0;
  for (const std::string& l : listing) {
    if (!l.empty() && l[0] == '1') page = 0;
    longest = std::max(longest, ++page);
  }
  return longest;
}

// Forty steps that each write a convergence report of both criteria (eight
// lines), and forty that each write the strength-reduction factor of the
// material (two lines): every page holds at most 56 lines.
TEST(RunLogs, NoPageIsLongerThanThePageLength) {
  std::string ssr = "ELEMENT\n" + card({"1", "QPLAN4"}) + "\nMATERIAL\n" + card({"1", "1", "4"}) + "\n";
  for (const auto& [key, value] : {std::pair{"E", "1.0E+5"}, {"NU", "0.3"}, {"GAMM", "20.0"}, {"C", "10.0"},
                                   {"PHAI", "20.0"}, {"SSRSTA", "1.2"}, {"SSRINC", "0.02"}})
    ssr += card({"", key, value}) + "\n";
  ssr += "NODE\n" + card({"1", "", "0.0", "0.0", "0.0"}) + "\n" + card({"2", "", "1.0", "0.0", "0.0"}) + "\n" +
         card({"3", "", "1.0", "1.0", "0.0"}) + "\n" + card({"4", "", "0.0", "1.0", "0.0"}) + "\nCONNECTI\n" +
         card({"1", "1", "", "1", "1", "2", "3", "4"}) + "\nCONST\n" + card({"", "1", "2", "1", "", "1", "2"}) + "\n" +
         card({"", "3", "4", "1", "", "1", "1"}) + "\nBODY\n" + card({"1"}) + "\n" + card({"", "1", "1", "1", "0.0", "-1.0", "0.0"}) +
         "\nHISTORY\n" + card({"INTERVAL", "40"}) + "\n" + card({"", "BODY", "1", "1.0"}) + "\n";
  for (const std::string& deck : {bars_deck(40, "DIAG 55=1\nPARAM 5,BOTH,1.0E-3\n"), bulk_deck(ssr)}) {
    DeckRun run(deck);
    ASSERT_EQ(run.run_program(), 0) << run.text(kErrorFile);
    const std::vector<std::string> listing = run.listing();
    EXPECT_GT(listing.size(), 140u);
    EXPECT_LE(longest_page(listing), 56u);
  }
}

}  // namespace
}  // namespace zephsol::test
