// Test fixtures of the input phase: a fresh state, a scratch working
// directory, the listing and error log on files, decks written to files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol::test {

// Expected item lists, built item by item.
class Items {
 public:
  Items& name(std::string_view s);
  Items& delim(char c);
  Items& integer(word v);
  Items& real(float v);
  Items& dreal(double v);
  Items& text(std::string_view s);  // quoted text of ceil(n/4) words
  Items& eos();
  Items& cont();
  const std::vector<word>& words() const { return w_; }

 private:
  std::vector<word> w_;
};

// The 20-word card image of a text.
std::vector<word> card_of(std::string_view text);

// Runs the free-field reader on a card with room for size words; returns
// the words up to and including the end or continuation mark (or just the
// first word when the card was rejected).
std::vector<word> parse_card(std::string_view text, word size = 150);

// The records of a closed data block up to its first mark, read through the
// file system; `mark` receives the code of that mark (FILCTL word 3).
std::vector<std::vector<word>> block_records(word number, word& mark);

// Every test runs in its own scratch directory with fresh records, an open
// core of one megabyte and the file system set up, the console on
// "console.txt", the listing on "listing.txt" and the error log on
// "errlog.txt".
class InputTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Fresh records, file system and units, in the same scratch directory.
  void fresh_records();

  // Writes lines to a file in the scratch directory.
  void write_file(const std::string& name, const std::vector<std::string>& lines);
  // Writes the deck and opens it as the input unit.
  void open_deck(const std::vector<std::string>& lines);
  // The lines written so far to a unit's file.
  std::vector<std::string> lines_of(int unit);
  // The lines of a file of the scratch directory (units flushed first).
  std::vector<std::string> file_lines(const std::string& name);
  std::vector<std::string> listing() { return lines_of(6); }
  std::vector<std::string> console() { return lines_of(0); }
  std::vector<std::string> errlog() { return lines_of(999); }
  static std::vector<std::string> read_lines(const std::filesystem::path& p);

  std::filesystem::path dir_;
  std::filesystem::path old_cwd_;
};

// Whether some line of lines contains text.
bool contains(const std::vector<std::string>& lines, std::string_view text);
// How many lines contain text.
int count_containing(const std::vector<std::string>& lines, std::string_view text);

}  // namespace zephsol::test
