#include "support/infix.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "common/scratch.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/pools.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/cards.h"
#include "zephsol/input/inrec.h"

namespace zephsol::test {

namespace fs = std::filesystem;

Items& Items::name(std::string_view s) {
  const auto w = name_words8(s);
  w_.insert(w_.end(), {2, w[0], w[1]});
  return *this;
}
Items& Items::delim(char c) {
  w_.insert(w_.end(), {1, name_word(std::string_view(&c, 1))});
  return *this;
}
Items& Items::integer(word v) {
  w_.insert(w_.end(), {-1, v});
  return *this;
}
Items& Items::real(float v) {
  w_.insert(w_.end(), {-2, real_word(v)});
  return *this;
}
Items& Items::dreal(double v) {
  word two[2];
  std::memcpy(two, &v, sizeof v);
  w_.insert(w_.end(), {-4, two[0], two[1]});
  return *this;
}
Items& Items::text(std::string_view s) {
  const word k = static_cast<word>((s.size() + 3) / 4);
  w_.push_back(10 + k);
  for (std::size_t i = 0; i < s.size(); i += 4) w_.push_back(name_word(s.substr(i, 4)));
  return *this;
}
Items& Items::eos() {
  w_.push_back(kEOS);
  return *this;
}
Items& Items::cont() {
  w_.push_back(0);
  return *this;
}

std::vector<word> card_of(std::string_view text) {
  std::array<word, 20> card;
  card_from_line(text, card);
  return {card.begin(), card.end()};
}

// Item sizes by type word, to find the end of a list.
static std::size_t item_words(word type) {
  switch (type) {
    case 2: return 3;
    case 1: case -1: case -2: return 2;
    case -4: return 3;
    default: return static_cast<std::size_t>(type - 10 + 1);
  }
}

std::vector<word> parse_card(std::string_view text, word size) {
  const auto card = card_of(text);
  std::vector<word> items(static_cast<std::size_t>(size) + 8, 0x5A5A5A5A);
  FRCARD(card, items, size);
  std::vector<word> out;
  std::size_t i = 0;
  if (items[0] == 0) {
    if (items[1] != 2) return {0};
    out.push_back(0);  // a card whose first item is "$": 0, an empty name, the end mark
    i = 1;
  }
  while (i < items.size()) {
    const word t = items[i];
    if (t == kEOS || t == 0) {
      out.push_back(t);
      return out;
    }
    const std::size_t n = item_words(t);
    out.insert(out.end(), items.begin() + static_cast<long>(i), items.begin() + static_cast<long>(i + n));
    i += n;
  }
  return out;
}

std::vector<std::vector<word>> block_records(word number, word& mark) {
  const word buffer = sysw().COREND - sysw().NBUFSZ;
  std::vector<std::vector<word>> out;
  std::vector<word> area(4096);
  DBOPEN(number, buffer, kRead);
  for (;;) {
    word got = 0, status = 0;
    DBRDST(number, area.data(), static_cast<word>(area.size()), 1, got, status);
    if (status == 2) break;
    out.emplace_back(area.begin(), area.begin() + (status == 1 ? got : static_cast<word>(area.size())));
  }
  mark = filctl().lstmrk;
  DBCLOS(number, kCloseRewind);
  return out;
}

void InputTest::SetUp() {
  old_cwd_ = fs::current_path();
  dir_ = zephsol::testing::make_scratch_dir("zephin");
  fs::current_path(dir_);
  fresh_records();
}

void InputTest::fresh_records() {
  unit_reset_all();
  for (const char* f : {"console.txt", "listing.txt", "errlog.txt"}) fs::remove(f);
  reset_exec_state();
  reset_input_state();
  reset_bulk_state();
  reset_dbio_state();
  core_release();
  sysw().MEMO = 1;
  if (!core_allocate(1)) ADD_FAILURE() << "no open core";
  CORINI();
  BUFINI();
  CHRINI();
  unit_open(0, "console.txt", UnitForm::Formatted, UnitStatus::Unknown);
  unit_open(6, "listing.txt", UnitForm::Formatted, UnitStatus::Unknown);
  unit_open(999, "errlog.txt", UnitForm::Formatted, UnitStatus::Unknown);
}

void InputTest::TearDown() {
  unit_reset_all();
  core_release();
  reset_dbio_state();
  fs::current_path(old_cwd_);
  zephsol::testing::remove_scratch_dir(dir_);
}

void InputTest::write_file(const std::string& name, const std::vector<std::string>& lines) {
  std::ofstream f(dir_ / name, std::ios::binary);
  for (const auto& l : lines) f << l << '\n';
}

void InputTest::open_deck(const std::vector<std::string>& lines) {
  write_file("deck.dat", lines);
  unit_open(5, "deck.dat", UnitForm::Formatted, UnitStatus::Old);
}

std::vector<std::string> InputTest::read_lines(const fs::path& p) {
  std::vector<std::string> out;
  std::ifstream f(p, std::ios::binary);
  for (std::string l; std::getline(f, l);) out.push_back(l);
  return out;
}

std::vector<std::string> InputTest::lines_of(int unit) {
  unit_flush(unit);
  return read_lines(dir_ / unit_file_name(unit));
}

std::vector<std::string> InputTest::file_lines(const std::string& name) {
  unit_flush_all();
  return read_lines(dir_ / name);
}

bool contains(const std::vector<std::string>& lines, std::string_view text) {
  return count_containing(lines, text) > 0;
}

int count_containing(const std::vector<std::string>& lines, std::string_view text) {
  int n = 0;
  for (const auto& l : lines) n += l.find(text) != std::string::npos;
  return n;
}

}  // namespace zephsol::test
