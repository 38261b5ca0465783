// Work tools of the model decoders.
#include "zephsol/input/decwork.h"

#include <algorithm>
#include <cstddef>

#include "zephsol/dbio/core.h"
#include "zephsol/exec/util.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/lststo.h"

namespace zephsol {

IntField int_field(word k, word dflt) {
  IntField f{dflt, kFieldBlank};
  INTFLD(k, f.value, dflt, f.status);
  return f;
}

float real_field(word k, float dflt) {
  float v = dflt;
  word status = 0;
  RELFLD(k, v, dflt, status);
  return v;
}

std::array<word, 2> name_field(word k) {
  std::array<word, 2> name{};
  ALFFLD(k, name);
  return name;
}

void open_lists(std::span<const ListSpec> lists, word first, word end) {
  LSTCOM& s = input_state().lst;
  s.count = static_cast<word>(lists.size());
  for (std::size_t k = 0; k < lists.size() && k < s.end.size(); ++k) {
    s.end[k] = lists[k].initial;
    s.grow[k] = lists[k].grow;
  }
  LSTINI(first, end - first);
}

namespace {

// Raises the growth of list k to its length while the work area still has
// that much room above the last list.
void widen_growth(word k) {
  LSTCOM& s = input_state().lst;
  const auto i = static_cast<std::size_t>(k - 1);
  const word room = s.limit - s.start[static_cast<std::size_t>(s.count)];
  s.grow[i] = std::max(s.grow[i], std::min(lst_length(k), room));
}

}  // namespace

bool list_fits(word k, std::int64_t n) {
  const LSTCOM& s = input_state().lst;
  const auto i = static_cast<std::size_t>(k - 1);
  if (n <= std::int64_t{s.start[i + 1]} - s.end[i]) return true;
  // The list grows by max(n, its growth), widened as list_append widens it.
  const std::int64_t above = std::int64_t{s.limit} - s.start[static_cast<std::size_t>(s.count)];
  const std::int64_t grow = std::max<std::int64_t>(s.grow[i], std::min<std::int64_t>(lst_length(k), above));
  return std::max(n, grow) <= above;
}

void list_append(word k, std::span<const word> data) {
  widen_growth(k);
  LSTAPP(k, data, static_cast<word>(data.size()));
}

void list_fill(word k, word value, word n) {
  widen_growth(k);
  const word one[1] = {value};
  LSTAPP(k, one, -n);
}

word IdChains::buckets_for(word cards) noexcept {
  word n = kMinBuckets;
  while (n < cards && n < (word{1} << 24)) n *= 2;
  return n;
}

void IdChains::init() const { list_fill(buckets_, 0, mask_ + 1); }

word IdChains::bucket(word id) const noexcept { return BITAND(BITXOR(BITSHR(id, 9), id), mask_); }

word IdChains::find(word id) const {
  const WordSpace& c = core();
  word pos = lst_words(buckets_)[static_cast<std::size_t>(bucket(id))];
  while (pos != 0 && c.w(pos) != id) pos = c.w(pos + link_ - 1);
  return pos;
}

void IdChains::add(std::span<const word> entry) const {
  const WordSpace& c = core();
  const word pos = input_state().lst.end[static_cast<std::size_t>(entries_ - 1)];
  list_append(entries_, entry);
  c.w(pos + link_ - 1) = 0;
  word& head = lst_words(buckets_)[static_cast<std::size_t>(bucket(entry[0]))];
  if (head == 0) {
    head = pos;
    return;
  }
  word last = head;
  while (c.w(last + link_ - 1) != 0) last = c.w(last + link_ - 1);
  c.w(last + link_ - 1) = pos;
}

}  // namespace zephsol
