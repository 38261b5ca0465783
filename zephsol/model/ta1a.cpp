// TA1 entry and its first half: element node lists, node element lists,
// node adjacency (through ADIC as scratch) and the renumbering.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/model_util.h"
#include "zephsol/model/ta1.h"
#include "zephsol/model/ta1_lists.h"

namespace zephsol {

namespace {

constexpr word kMinWork = 640;

// Words of core that a plan reaching word `end` needs with the buffer on top.
std::int64_t needed_to(std::int64_t end) { return end + sysw().NBUFSZ; }

// Reads the adjacency records of ADIC into pointer and list arrays; the
// degree of node i is its list length.
void read_adjacency(word buffer, word adjptr, word adjlist, word deg) {
  const TA1COM& t = ta1com();
  const WordSpace& c = core();
  DBOPEN(t.ADIC, buffer, kRead);
  word next = 1;
  for (word i = 1; i <= t.N; ++i) {
    word d = 0;
    DBREAD(t.ADIC, &d, 1, 0);
    if (d > 0) DBREAD(t.ADIC, &c.w(adjlist + next - 1), d, 1);
    else DBREAD(t.ADIC, nullptr, 0, 1);
    c.w(deg + i - 1) = d;
    c.w(adjptr + i - 1) = next;
    next += d;
  }
  c.w(adjptr + t.N) = next;
  DBCLOS(t.ADIC, kCloseRewind);
}

}  // namespace

void TA1(word CONE, word EGED, word NODC, word IELS, word EQIX, word ADIC, word EST, word ECT) {
  MODBGN("TA1     ");
  TA1COM& t = ta1com();
  t = TA1COM{CONE, EGED, NODC, IELS, EQIX, ADIC, EST, ECT};
  t.IFREE = 1;
  t.NCORE = CORLFT(t.IFREE);
  t.IBUF = t.NCORE - sysw().NBUFSZ + 1;
  t.NAVAIL = t.IBUF - t.IFREE;
  if (t.NAVAIL < 1) short_of_core(std::int64_t{t.NCORE} - t.NAVAIL, t.NCORE);
  const Header nodc = header_of(NODC);
  t.N = nodc[0];
  t.M = nodc[3];
  t.NE = header_of(CONE)[0];
  t.IRNFLG = 0;
  TA1A();
  TA1B();
  error_total();
}

void TA1A() {
  TA1COM& t = ta1com();
  const std::int64_t b = t.IFREE, n = t.N, ne = t.NE;
  const std::int64_t elemptr = b + n, elemnodes = elemptr + ne + 1;
  if (elemnodes > t.IBUF) short_of_core(needed_to(elemnodes), t.NCORE);
  word used = static_cast<word>(t.IBUF - elemnodes);
  TA1ACN(static_cast<word>(elemptr), static_cast<word>(elemnodes), used);

  const std::int64_t nodeptr = elemnodes + used, nodeelems = nodeptr + n + 1;
  if (nodeelems > t.IBUF) short_of_core(needed_to(nodeelems), t.NCORE);
  word total = static_cast<word>(t.IBUF - nodeelems);
  TA1ATR(static_cast<word>(elemptr), static_cast<word>(elemnodes), static_cast<word>(nodeptr),
         static_cast<word>(nodeelems), static_cast<word>(b), total);

  const std::int64_t gather = nodeelems + total;
  word adjacency = static_cast<word>(std::max<std::int64_t>(t.IBUF - gather, 0));
  TA1AAD(static_cast<word>(elemptr), static_cast<word>(elemnodes), static_cast<word>(nodeptr),
         static_cast<word>(nodeelems), static_cast<word>(gather), adjacency);

  // New layout: new numbers, degrees, status, work area, adjacency.
  const std::int64_t work_words = std::max<std::int64_t>({n, sysw().NBUFSZ, kMinWork});
  const std::int64_t deg = b + n, status = deg + n, work = status + n;
  const std::int64_t adjptr = work + work_words, adjlist = adjptr + n + 1;
  if (adjlist + adjacency - 1 > t.NCORE) short_of_core(adjlist + adjacency - 1, t.NCORE);
  read_adjacency(static_cast<word>(work), static_cast<word>(adjptr), static_cast<word>(adjlist),
                 static_cast<word>(deg));
  TA1ASQ(static_cast<word>(adjptr), static_cast<word>(adjlist), static_cast<word>(b), static_cast<word>(deg),
         static_cast<word>(status), static_cast<word>(work));
}

void TA1ACN(word elemptr, word elemnodes, word& avail) { element_node_lists(0, elemptr, elemnodes, avail); }

void TA1ATR(word elemptr, word elemnodes, word nodeptr, word nodeelems, word work, word& avail) {
  const TA1COM& t = ta1com();
  const WordSpace& c = core();
  const std::span<word> eptr = c.words(elemptr, t.NE + 1);
  const std::span<word> nptr = c.words(nodeptr, t.N + 1);
  const std::span<word> count = c.words(work, t.N);
  const word entries = eptr[static_cast<std::size_t>(t.NE)] - 1;
  const std::span<word> nodes = c.words(elemnodes, entries);
  std::fill(count.begin(), count.end(), 0);
  for (const word i : nodes) ++count[static_cast<std::size_t>(i - 1)];
  word next = 1;
  for (word i = 0; i < t.N; ++i) {
    nptr[static_cast<std::size_t>(i)] = next;
    next += count[static_cast<std::size_t>(i)];
  }
  nptr[static_cast<std::size_t>(t.N)] = next;
  const word total = next - 1;
  if (total + 1 > avail) short_of_core(std::int64_t{total} + 1, avail);
  const std::span<word> elems = c.words(nodeelems, total);
  std::copy(nptr.begin(), nptr.end() - 1, count.begin());
  for (word e = 1; e <= t.NE; ++e)
    for (word at = eptr[static_cast<std::size_t>(e - 1)]; at < eptr[static_cast<std::size_t>(e)]; ++at) {
      word& fill = count[static_cast<std::size_t>(nodes[static_cast<std::size_t>(at - 1)] - 1)];
      elems[static_cast<std::size_t>(fill - 1)] = e;
      ++fill;
    }
  avail = total;
}

void TA1AAD(word elemptr, word elemnodes, word nodeptr, word nodeelems, word work, word& avail) {
  const TA1COM& t = ta1com();
  const WordSpace& c = core();
  const std::span<const word> eptr = c.words(elemptr, t.NE + 1);
  const std::span<const word> enodes = c.words(elemnodes, eptr[static_cast<std::size_t>(t.NE)] - 1);
  const std::span<const word> nptr = c.words(nodeptr, t.N + 1);
  const std::span<const word> nelems = c.words(nodeelems, nptr[static_cast<std::size_t>(t.N)] - 1);
  // Word 1 of the area takes the count, the neighbours follow it.
  if (avail < 1) short_of_core(needed_to(work), t.NCORE);
  const std::span<word> area = c.words(work, avail);
  std::int64_t sum = 0;
  DBOPEN(t.ADIC, t.IBUF, kWrite);
  for (word i = 1; i <= t.N; ++i) {
    const word m = gather_neighbours(i, eptr, enodes, nptr, nelems, area.subspan(1), "ADJL", t.NCORE);
    const auto self = std::lower_bound(area.begin() + 1, area.begin() + 1 + m, i);
    word d = m;
    if (self != area.begin() + 1 + m && *self == i) {
      std::copy(self + 1, area.begin() + 1 + m, self);
      --d;
    }
    area[0] = d;
    DBWRIT(t.ADIC, area.data(), d + 1, 1);
    sum += d;
  }
  DBCLOS(t.ADIC, kCloseRewind);
  if (sum > std::numeric_limits<word>::max()) short_of_core(sum, t.NCORE);
  avail = static_cast<word>(sum);
}

}  // namespace zephsol
