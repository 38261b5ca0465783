// TA1APF: wavefront, bandwidth and profile of a node numbering, and the
// character picture of the matrix pattern under DIAG 11.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>

#include "zephsol/dbio/core.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/model_util.h"
#include "zephsol/model/ta1.h"

namespace zephsol {

namespace {

constexpr word kPictureSwitch = 11;
constexpr word kPictureCells = 128;
constexpr word kRowWords = 5;
constexpr word kCellBits = 31;
constexpr word kPictureWords = kPictureCells * kRowWords;

struct Pattern {
  std::int64_t profile = 0;
  word active = 0, largest_active = 0, upper = 0;
};

// Compression factor of the picture: trunc(N^0.75 / 8), at least 1, below
// 65,536 nodes, else ceil(N / 128); ceil(N / 128) too wherever the first
// rule would draw more than 128 rows.
word compression(word n) {
  word f = n < 65536 ? std::max<word>(1, static_cast<word>(std::pow(static_cast<float>(n), 0.75f) * 0.125f))
                     : (n + kPictureCells - 1) / kPictureCells;
  if ((n + f - 1) / f > kPictureCells) f = (n + kPictureCells - 1) / kPictureCells;
  return f;
}

class Picture {
 public:
  explicit Picture(std::span<word> words) : w_(words) { std::fill(w_.begin(), w_.end(), 0); }
  void set(word r, word c) {
    const word at = kRowWords * (r - 1) + (c - 1) / kCellBits;
    w_[static_cast<std::size_t>(at)] |= 1 << ((c - 1) % kCellBits);
  }
  bool get(word r, word c) const {
    const word at = kRowWords * (r - 1) + (c - 1) / kCellBits;
    return (w_[static_cast<std::size_t>(at)] >> ((c - 1) % kCellBits)) & 1;
  }

 private:
  std::span<word> w_;
};

void print_pattern(std::span<const word> ptr, std::span<const word> adj, const WordSpace& c, word newnum, word option,
                   const Pattern& p, std::int64_t profile, word picture, word n) {
  LINCNT(-5);
  unit_write_line(kListing, option == 0 ? "0*** ORIGINAL PATTERN OF TOTAL STIFFNESS MATRIX"
                                 : "0*** PATTERN OF STIFFNESS MATRIX AFTER RENUMBER");
  unit_write_line(kListing, "");
  unit_write_line(kListing, fline("(10X,'MAXIMUM NUMBER OF ACTIVE NODES =',I10)", {p.largest_active}));
  unit_write_line(kListing, fline("(21X,'BAND WIDTH IN NODES =',I10)", {p.upper + 1}));
  unit_write_line(kListing, fline("(28X,'PROFILE SIZE =',I10)", {static_cast<long long>(profile)}));

  const word f = compression(n);
  const word rows = (n + f - 1) / f;
  Picture pic(c.words(picture, kPictureWords));
  const auto number = [&](word i) { return option == 0 ? i : c.w(newnum + i - 1); };
  for (word i = 1; i <= n; ++i) {
    const auto first = ptr[static_cast<std::size_t>(i - 1)], last = ptr[static_cast<std::size_t>(i)];
    if (first == last) continue;
    const word r = (number(i) + f - 1) / f;
    pic.set(r, r);
    for (word at = first; at < last; ++at) {
      const word col = (number(adj[static_cast<std::size_t>(at - 1)]) + f - 1) / f;
      if (col > r) pic.set(r, col);
    }
  }
  for (word r = 1; r <= rows; ++r) {
    std::string line(static_cast<std::size_t>(rows + 1), ' ');
    for (word col = r; col <= rows; ++col) line[static_cast<std::size_t>(col)] = pic.get(r, col) ? '$' : '.';
    LINCNT(1);
    unit_write_line(kListing, line);
  }
}

}  // namespace

void TA1APF(word adjptr, word adjlist, word newnum, word mark, word inverse, word picture, word option,
            std::int64_t& profile) {
  const word n = ta1com().N;
  const WordSpace& c = core();
  const std::span<const word> ptr = c.words(adjptr, n + 1);
  const std::span<const word> adj = c.words(adjlist, ptr[static_cast<std::size_t>(n)] - 1);
  const std::span<word> seen = c.words(mark, n);
  std::fill(seen.begin(), seen.end(), 0);
  std::span<word> inv;
  if (option == 1) {
    inv = c.words(inverse, n);
    std::fill(inv.begin(), inv.end(), 0);
    for (word j = 1; j <= n; ++j) {
      const word k = c.w(newnum + j - 1);
      if (k >= 1 && k <= n) inv[static_cast<std::size_t>(k - 1)] = j;
    }
  }
  const auto column = [&](word node) { return option == 0 ? node : c.w(newnum + node - 1); };

  // Per row k: the columns not seen before widen the front, the row leaves
  // it; the row's first column gives its profile k - min(c) + 1.
  Pattern p;
  for (word k = 1; k <= n; ++k) {
    const word i = option == 0 ? k : inv[static_cast<std::size_t>(k - 1)];
    if (i < 1) model_fatal(-921, k, i);
    const auto first = ptr[static_cast<std::size_t>(i - 1)], last = ptr[static_cast<std::size_t>(i)];
    if (first == last) continue;
    word count = -1, least = 0;
    for (word at = first; at < last; ++at) {
      const word col = column(adj[static_cast<std::size_t>(at - 1)]);
      word& s = seen[static_cast<std::size_t>(col - 1)];
      if (s == 0) {
        ++count;
        s = 1;
      }
      p.upper = std::max(p.upper, col - k);
      least = std::min(least, col - k);
    }
    p.active += count;
    p.largest_active = std::max(p.largest_active, p.active);
    p.profile -= least;
  }
  profile = p.profile + n;
  if (DIAGLV(kPictureSwitch) >= 1) print_pattern(ptr, adj, c, newnum, option, p, profile, picture, n);
}

}  // namespace zephsol
