// Result-file requests (OFPRQN) and the integration-point mask (OFPIPM).
#include "zephsol/output/ofprqn.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "zephsol/dbio/core.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/ofprqp.h"

namespace zephsol {

namespace {

// The result-file requests of CTRN (OFPREQ words 8-13): all but "PRSTRES2".
constexpr std::size_t kPostRequests = 6;

constexpr word kQfla4 = 7;
constexpr word kSbeam2 = 26;
constexpr std::array<word, 3> kQfla4Points{5, 25, 45};
constexpr std::array<word, 5> kSbeam2Points{53, 61, 63, 65, 73};

// Marks points first, first + step, ... up to last (cut to n); points below 1 are passed over.
void mark(std::span<word> mask, word n, std::int64_t first, std::int64_t last, std::int64_t step) {
  last = std::min<std::int64_t>(last, n);
  if (first < 1) first += (1 - first + step - 1) / step * step;
  for (std::int64_t p = first; p <= last; p += step) mask[static_cast<std::size_t>(p - 1)] = 1;
}

}  // namespace

void OFPRQN(word ctrn, word& next) {
  resolve_requests(ctrn, std::span(kRequestNames).first(kPostRequests),
                   std::span<word>(ofpreq().w).subspan(kPostDisp - 1, kPostRequests), next);
}

void OFPIPM(word ipse, std::span<word> mask, word& count) {
  const EIVWK& e = eivwka();
  const word n = std::min<word>(e.head[3], static_cast<word>(mask.size()));
  if (ipse <= 0) {
    std::span<const word> points;
    if (e.head[1] == kQfla4)
      points = kQfla4Points;
    else if (e.head[1] == kSbeam2)
      points = kSbeam2Points;
    else
      points = std::span<const word>(&e.head[4], 1);
    for (word p : points) mark(mask, n, p, p, 1);
  } else if (ipse == kAllItems) {
    mark(mask, n, 1, n, 1);
  } else {
    const WordSpace& c = core();
    const std::span<const word> items =
        c.words(static_cast<std::int64_t>(ipse) + 3, std::max<word>(c.w(static_cast<std::int64_t>(ipse) + 2), 0));
    if (!items.empty() && items[0] == kAllItems) {
      mark(mask, n, 1, n, 1);
    } else {
      walk_set_items(items, [&](std::int64_t first, std::int64_t last, std::int64_t step) {
        mark(mask, n, first, last, step);
        return false;
      });
    }
  }
  count = static_cast<word>(std::count_if(mask.begin(), mask.begin() + std::max<word>(n, 0), [](word m) { return m != 0; }));
}

}  // namespace zephsol
