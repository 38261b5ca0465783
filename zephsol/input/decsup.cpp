// Shared pieces of the set decoders.
#include "zephsol/input/decsup.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/decwork.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/lststo.h"

namespace zephsol {

namespace {

// Texts of the decoder messages this family adds, in the catalogue's style:
// the format body after the ten leading blanks and how many integer
// parameters it takes.
LSTCOM& lst() noexcept { return input_state().lst; }

}  // namespace

bool group_has_data(word i) { return grptab().at(i).NCARD >= 2; }

GroupCards::GroupCards(word i) {
  GRPOPN(i);
  header_card_ = crdcom().CARDNO;
  next();
}

bool GroupCards::set_card() const { return BLKTST(1) == 0; }

void GroupCards::next() { NXTCRD(status_); }

bool read_set_id(word ids, word& id) {
  word status = 0;
  INTFLD(1, id, 0, status);
  if (status == kFieldError) return false;
  if (id < 1) {
    IFPMSG(2082);
    return false;
  }
  const auto seen = lst_words(ids);
  if (std::find(seen.begin(), seen.end(), id) != seen.end()) {
    IFPMSG(2081, id);
    return false;
  }
  LSTAPP(ids, std::span<const word>(&id, 1), 1);
  return true;
}

bool read_range(word k, word id_message, StepRange& r) {
  word sf = 0, sl = 0, ss = 0;
  INTFLD(k, r.first, 0, sf);
  INTFLD(k + 1, r.last, r.first, sl);
  INTFLD(k + 2, r.step, 1, ss);
  if (sf == kFieldError || sl == kFieldError) return false;
  if (r.first < 1 || r.last < 1) {
    IFPMSG(id_message);
    return false;
  }
  return ss != kFieldError && range_step_ok(r.first, r.last, r.step);
}

bool range_step_ok(word first, word last, word step) {
  const bool rising = std::int64_t{last} - first >= 0;
  if (step != 0 && (step > 0) == rising) return true;
  IFPMSG(2024, step);
  return false;
}

word open_output_block(std::string_view name) {
  word found = 0;
  const word w = name_word(name);
  DBFIND(w, found);
  if (found >= 0) MSGPUT(-201, w, 0);
  const word number = -found;
  DBOPEN(number, crdcom().BUFOUT, kWrite);
  return number;
}

void init_work_lists(std::initializer_list<word> sizes, word grow) {
  std::vector<ListSpec> lists;
  for (const word size : sizes) lists.push_back({size, grow});
  const CRDCOM& c = crdcom();
  open_lists(lists, c.IFREE, c.BUFOUT);
}

void clear_work_list(word k) {
  LSTCOM& s = lst();
  const auto i = static_cast<std::size_t>(k - 1);
  s.end[i] = s.start[i];
}

void append_words(word k, std::initializer_list<word> words) {
  LSTAPP(k, std::span<const word>(words.begin(), words.size()), static_cast<word>(words.size()));
}

word work_entries(word k, word width) { return lst_length(k) / width; }

void write_words(word file, std::span<const word> words) {
  if (!words.empty()) DBWRIT(file, words.data(), static_cast<word>(words.size()), 0);
}

void write_words(word file, std::initializer_list<word> words) {
  write_words(file, std::span<const word>(words.begin(), words.size()));
}

void end_record(word file) { DBWRIT(file, static_cast<const word*>(nullptr), 0, 1); }

void write_head(word file, std::string_view name8, word third) {
  const auto name = name_words8(name8);
  write_words(file, {name[0], name[1], third});
}

}  // namespace zephsol
