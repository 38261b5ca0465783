#include "zephsol/input/inrec.h"

#include <string_view>

namespace zephsol {

namespace {

// The 61 characters of the character table, each one character and three
// blanks at load: 24 special characters (the point twice), A-Z, 0-9, and a
// word of four blanks.
constexpr std::string_view kTableChars =
    " !\"#$%&'()*+,-./:;<=>?@.ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
static_assert(kTableChars.size() == 60);

struct RequestRow {
  std::string_view name;
  word kind;
  bool in_noutput;
};

constexpr RequestRow kRequests[7] = {
    {"DISP", kNodeRequest, true},        {"REAC", kNodeRequest, true},
    {"STRE", kElementRequest, true},     {"ELFO", kElementRequest, true},
    {"PRSTRESS", kElementRequest, true}, {"PRSTRAIN", kElementRequest, true},
    {"PRSTRES2", kElementRequest, false},
};

void add_request(ReqTab& t, const RequestRow& r) {
  t.row[static_cast<std::size_t>(t.n++)] = {name_words8(r.name), 0, r.kind};
}

InputState g_input;

}  // namespace

CHRCOM::CHRCOM() {
  for (std::size_t i = 0; i < kTableChars.size(); ++i) ICHAR[i] = name_word(kTableChars.substr(i, 1));
  ICHAR[60] = name_word("    ");
}

InputState::InputState() {
  for (const auto& r : kRequests) {
    add_request(outtab, r);
    if (r.in_noutput) add_request(noutab, r);
  }
}

InputState& input_state() noexcept { return g_input; }
void reset_input_state() { g_input = InputState{}; }

}  // namespace zephsol
