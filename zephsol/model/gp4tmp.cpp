// GP4TMP: the element temperatures of one step of an interval. The
// temperature sets the interval refers to, each with its factor already
// divided by the steps, are summed element by element into ENTD: per
// element [L, n x 16 + k, n values], [0] for an element without any.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/model/gp4.h"
#include "zephsol/model/gp4_work.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace {

void report(const gp4::Refs& refs) {
  gp4::report_unused(refs, [&refs](std::size_t i, bool twice) {
    return twice ? fline("('0*** USER FATAL MESSAGE 2375, INTERVAL DATA REFERES TEMPERATURE SET',I6,' MORE THAN ONCE')",
                         {refs.id(i)})
                 : fline("('0*** USER FATAL MESSAGE 2375, INTERVAL DATA REFERES UNDEFINED TEMPERATURE SET',I6)",
                         {refs.id(i)});
  });
}

// The value count n and kind k of a temperature record [element, n x 16 +
// k, n values].
word count_of(std::span<const word> rec) { return rec[1] / 16; }
word kind_of(std::span<const word> rec) { return rec[1] % 16; }

// A record must hold its n values: else fatal -4008 (n, words read).
void check_shape(std::span<word> rec) {
  if (std::int64_t{count_of(rec)} + 2 != static_cast<std::int64_t>(rec.size()))
    model_fatal(-4008, count_of(rec), static_cast<word>(rec.size()));
}

// An element in both streams: with the same kind S's values are added to
// T's (the counts must agree, else fatal -711 "TMPD"); with another kind
// T's record stays and `clash` is set.
gp4::SetMerge::Combine add_values(bool& clash) {
  return [&clash](gp4::ElementStream& t, gp4::ElementStream& s) {
    const auto tr = t.record(), sr = s.record();
    if (kind_of(tr) != kind_of(sr)) {
      clash = true;
      return tr;
    }
    if (count_of(tr) != count_of(sr)) model_fatal(-711, name_word("TMPD"), tr[0]);
    for (std::size_t j = 2; j < tr.size(); ++j)
      tr[j] = real_word(static_cast<float>(double{word_real(tr[j])} + word_real(sr[j])));
    return tr;
  };
}

}  // namespace

void GP4TMP(word nt, word pairs) {
  const GP4CTL& g = gp4ctl();
  if (nt <= 0) return HDRPUT(g.ENTD, Header{});
  gp4::Refs refs(nt, pairs);
  const Header h = gp4::block_defined(g.TMPD) ? header_of(g.TMPD) : Header{};
  if (h[0] < 1) return report(refs);

  // Work area: T (with several references) and R, a longest record each.
  const std::int64_t room = std::max(h[5], 0) + 2, at = g.IFREE;
  const std::int64_t t_size = nt > 1 ? room : 0, end = at + t_size + room;
  const word limit = nt > 1 ? g.B3 : g.B2;
  if (end > limit) short_of_core(end - at, limit - at);

  bool clash = false;
  {
    gp4::SetMerge merge(g.ENTD, core().words(at, t_size), check_shape, static_cast<word>(end), nt > 1 ? 3 : 0);
    DBOPEN(g.TMPD, g.B1, kRead);
    for (word k = 1; k <= h[0] && !refs.all_used(); ++k) {
      std::array<word, 3> head{};
      DBREAD(g.TMPD, head.data(), 3, 1);
      if (head[0] != name_word("TEMP") && head[0] != name_word("PRES")) model_fatal(-711, name_word("TMPD"), k - 1);
      const std::size_t i = refs.take(head[1]);
      if (i == refs.size()) {
        DBSKPF(g.TMPD, 1);
        continue;
      }
      const float f = refs.factor(i);
      gp4::ElementStream s(g.TMPD, core().words(at + t_size, room), [f](std::span<word> rec) {
        check_shape(rec);
        for (std::size_t j = 2; j < rec.size(); ++j) rec[j] = real_word(static_cast<float>(double{f} * word_real(rec[j])));
      });
      merge.merge(s, refs.all_used(), add_values(clash));
    }
    if (!refs.all_used()) {
      merge.release();
      DBCLOS(g.TMPD, kCloseRewind);
      report(refs);
    } else {
      DBCLOS(g.TMPD, kCloseRewind);
      const auto [records, longest] = merge.finish(h[2], false);
      HDRPUT(g.ENTD, Header{records, longest, 1, 1, 0, 0});
    }
  }
  if (!clash) return;
  sysw().IERFLG = 1;
  const std::string line = "0*** USER FATAL MESSAGE 2435, NODAL AND INTERNAL POINT TEMPERATURE MAY NOT BE COMBINED";
  LINCNT(2);
  unit_write_line(kListing, line);
  unit_write_line(kErrorLog, line);
}

}  // namespace zephsol
