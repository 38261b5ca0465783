// Control card reader: the next card of the executive control deck or the
// case control, echoed, classified and split into items.
#include <string>
#include <string_view>

#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/cards.h"
#include "zephsol/input/inrec.h"

namespace zephsol {

namespace {

constexpr std::size_t kCardColumns = 80;
constexpr word kTypeName = 2;
constexpr word kTitleType = 28;  // quoted-text item of 18 words
constexpr std::size_t kTitleFirstColumn = 11;
constexpr std::size_t kTitleColumns = 70;

struct SectionRow {
  std::string_view text;
  word cls;
};

// Section cards by columns 1-8.
constexpr SectionRow kSectionColumns[] = {
    {"OUTPUT  ", CLS_OUTPUT}, {"BEGIN BU", CLS_BULK}, {"ENDDATA ", CLS_ENDDATA},
    {"NOUTPUT ", CLS_NOUTPUT}, {"END DATA", CLS_ENDDATA},
};

// Section cards by their first item.
constexpr SectionRow kSectionItems[] = {
    {"OUTPUT", CLS_OUTPUT}, {"BEGIN", CLS_BULK}, {"ENDDATA", CLS_ENDDATA}, {"NOUTPUT", CLS_NOUTPUT},
};

constexpr std::string_view kTitleCards[] = {"TITLE   ", "SUBTITLE"};

std::string card_text(std::span<const word, kCardWords> card) {
  std::string s;
  for (word w : card) s += word_name(w);
  return s;
}

word section_by_columns(std::string_view cols) {
  for (const SectionRow& r : kSectionColumns)
    if (cols.substr(0, 8) == r.text) return r.cls;
  return CLS_CARD;
}

bool name_item(std::span<const word> items, std::size_t at) { return items[at] == kTypeName; }

word section_by_items(std::span<const word> items) {
  if (!name_item(items, 0)) return CLS_CARD;
  for (const SectionRow& r : kSectionItems) {
    const auto w = name_words8(r.text);
    if (items[1] == w[0] && items[2] == w[1]) return r.cls;
  }
  if (items[1] == name_word("END") && name_item(items, 3) && items[4] == name_word("DATA")) return CLS_ENDDATA;
  return CLS_CARD;
}

// The item list of a title card: its name, the text of columns 11-80 as one
// 18-word text item, the end mark.
void title_items(std::string_view cols, std::span<word> items) {
  const auto name = name_words8(cols.substr(0, 8));
  const std::string text = padded(cols.substr(kTitleFirstColumn - 1, kTitleColumns), 72);
  std::size_t n = 0;
  items[n++] = kTypeName;
  items[n++] = name[0];
  items[n++] = name[1];
  items[n++] = kTitleType;
  for (std::size_t i = 0; i < 72; i += 4) items[n++] = name_word(std::string_view(text).substr(i, 4));
  items[n] = kEOS;
}

}  // namespace

void card_from_line(std::string_view line, std::span<word, 20> card) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  const std::string cols = padded(line, kCardColumns);
  for (std::size_t i = 0; i < card.size(); ++i) card[i] = name_word(std::string_view(cols).substr(4 * i, 4));
}

void CTLCRD() {
  CTLCOM& ctl = input_state().ctl;
  if (ctl.KCLASS < 0) return;
  ctl.KCLASS = CLS_CARD;
  for (;;) {
    const auto line = unit_read_line(sysw().INUNIT, kCardColumns);
    if (!line) {
      ctl.KCLASS = CLS_EOF;
      return;
    }
    card_from_line(*line, ctl.CARD);
    const std::string cols = card_text(ctl.CARD);
    LINCT3(1);
    unit_write_line(kListing, fline("(20X,A80)", {cols}));
    if (cols[0] == '$') continue;
    if (const word cls = section_by_columns(cols); cls != CLS_CARD) {
      ctl.KCLASS = cls;
      return;
    }
    for (std::string_view t : kTitleCards) {
      if (cols.substr(0, 8) == t) {
        title_items(cols, ctl.PARSE);
        return;
      }
    }
    FRCARD(ctl.CARD, ctl.PARSE, kParseWords);
    if (ctl.PARSE[0] == 0) continue;
    ctl.KCLASS = section_by_items(ctl.PARSE);
    return;
  }
}

}  // namespace zephsol
