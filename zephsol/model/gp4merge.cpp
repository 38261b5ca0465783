// The merge of the element record sets of an interval (loads into EPD,
// temperatures into ENTD) and the report of references to sets the tables
// do not hold.
#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/pools.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/model/gp4_work.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/model_util.h"

namespace zephsol::gp4 {

namespace {

constexpr word kRecordEnded = 1, kMark = 2;

// The scratch data block k (0: 301, 1: 302).
word scratch(int k) { return k == 0 ? gp4ctl().S301 : gp4ctl().S302; }

void write_zero(word file) {
  const word zero = 0;
  DBWRIT(file, &zero, 1, 1);
}

}  // namespace

bool block_defined(word file) {
  word name = 0;
  if (file > 0) DBNAME(file, name);
  return file > 0 && name != name_word("****");
}

void report_unused(const Refs& refs, const std::function<std::string(std::size_t, bool)>& line) {
  bool any = false;
  for (std::size_t i = 0; i < refs.size(); ++i) {
    if (refs.used[i] != 0) continue;
    const std::string text = line(i, refs.named_twice(i));
    LINCNT(2);
    unit_write_line(kListing, text);
    unit_write_line(kErrorLog, text);
    any = true;
  }
  if (any) sysw().IERFLG = 1;
}

bool ElementStream::next() {
  const auto room = static_cast<word>(area_.size());
  word got = 0, status = 0;
  DBRDST(file_, area_.data(), room, 1, got, status);
  if (status == kMark) return false;
  if (status != kRecordEnded) model_fatal(-3520, room, room);
  if (got < 2) model_fatal(-3520, got, 2);
  length_ = got;
  if (checked_) checked_(record());
  return true;
}

SetMerge::SetMerge(word table, std::span<word> t_area, ElementStream::Check t_check, word lend_from, word lend_count)
    : table_(table), t_area_(t_area), t_check_(std::move(t_check)) {
  const GP4CTL& g = gp4ctl();
  if (lend_count > 0 && g.B3 > lend_from) {
    BUFLND(lend_from, g.B3 - lend_from, &g.S301, lend_count);
    lent_ = true;
  }
}

SetMerge::~SetMerge() {
  if (lent_) BUFLND(0, 0, nullptr, 0);
}

void SetMerge::merge(ElementStream& s, bool last, const Combine& combine) { run(&s, last, combine); }

void SetMerge::sum_to_table() {
  if (has_sum()) run(nullptr, true, {});
}

// The streams merged by element number: the lower goes first; an element in
// both is combined. T's block is emptied once read; the output becomes T.
void SetMerge::run(ElementStream* s, bool last, const Combine& combine) {
  const GP4CTL& g = gp4ctl();
  const int out_k = held_ == 0 ? 1 : 0;
  const word out = last ? table_ : scratch(out_k);
  DBOPEN(out, g.B2, kWrite);
  if (last) table_open_ = true;
  std::optional<ElementStream> t;
  if (has_sum()) {
    DBOPEN(scratch(held_), g.B3, kRead);
    t.emplace(scratch(held_), t_area_, t_check_);
  }
  bool hs = s != nullptr && s->next(), ht = t && t->next();
  const bool empty = !hs && !ht;
  while (hs || ht) {
    if (ht && (!hs || t->element() < s->element())) {
      put(out, last, t->record());
      ht = t->next();
    } else if (!ht || s->element() < t->element()) {
      put(out, last, s->record());
      hs = s->next();
    } else {
      put(out, last, combine(*t, *s));
      hs = s->next();
      ht = t->next();
    }
  }
  if (t) DBCLOS(scratch(held_), kCloseUnload);
  held_ = -1;
  if (!last) {
    DBCLOS(out, empty ? kCloseUnload : kCloseRewind);  // an empty sum holds nothing
    held_ = out_k;
  }
}

// One record to the output; in the table, after [0] for the elements it
// passes over, and with L in its first word. Element numbers ascend.
void SetMerge::put(word out, bool last, std::span<word> rec) {
  const auto length = static_cast<word>(rec.size());
  if (last) {
    const word element = rec[0];
    if (element < next_) bad_block_value(-908, element, next_);
    for (; next_ < element; ++next_, ++records_) write_zero(out);
    ++next_;
    ++records_;
    rec[0] = length - 1;
    longest_ = std::max(longest_, length);
  }
  DBWRIT(out, rec.data(), length, 1);
}

std::array<word, 2> SetMerge::finish(word elements, bool mark) {
  for (; next_ <= elements; ++next_, ++records_) write_zero(table_);
  if (records_ == 0) {  // a table of no element
    DBCLOS(table_, kCloseUnload);
    return {0, 0};
  }
  longest_ = std::max<word>(longest_, 1);
  if (mark) DBEOF(table_);
  DBCLOS(table_, kCloseNoRewind);
  return {records_, longest_};
}

void SetMerge::release() {
  if (!has_sum()) return;
  DBOPEN(scratch(held_), gp4ctl().B3, kRead);
  DBCLOS(scratch(held_), kCloseUnload);
  held_ = -1;
}

}  // namespace zephsol::gp4
