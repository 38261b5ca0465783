// Records of the bulk data and their load values.
#include "zephsol/input/bulkrec.h"

#include <algorithm>

namespace zephsol {

namespace {

std::array<char, 24> text24(std::string_view s) {
  std::array<char, 24> t;
  t.fill(' ');
  std::copy_n(s.begin(), std::min<std::size_t>(s.size(), t.size()), t.begin());
  return t;
}

BulkState& state() noexcept {
  static BulkState s;
  return s;
}

}  // namespace

word group_number(std::string_view columns8) noexcept {
  for (std::size_t i = 0; i < kGroupNames.size(); ++i)
    if (columns8 == kGroupNames[i]) return static_cast<word>(i + 1);
  return 0;
}

std::string card_columns(const std::array<word, kCardWords>& card) {
  std::string cols;
  cols.reserve(kCardColumns);
  for (word w : card) cols += word_name(w);
  return cols;
}

GRPTAB::GRPTAB() {
  for (std::size_t i = 0; i < kGroupNames.size(); ++i) {
    const auto w = name_words8(kGroupNames[i]);
    NAME[i] = {w[0], w[1]};
  }
}

CRDCOM::CRDCOM()
    : GRPNAM(text24("CONTROL")),
      FATHDR(text24("*** USER FATAL MESSAGE  ")),
      WRNHDR(text24("*** USER WARNING MESSAGE")) {}

BulkState& bulk_state() noexcept { return state(); }

void reset_bulk_state() { state() = BulkState{}; }

}  // namespace zephsol
