// GP3: temperature sets into TMPD, force sets into LDDT.
#include "zephsol/model/gp3.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/util.h"
#include "zephsol/input/leftout.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace {

constexpr word kSystemWords = 15;
constexpr word kNodeEntry = 9;         // NLOAD entry words
constexpr word kElementEntry = 11;     // DLOAD and BODY entry words
constexpr word kStressEntry = 17;      // INIT STR entry words
constexpr word kPrintLimit = 100;
constexpr word kMaxSequence = 8388607;  // 256 x sequence number + ISEQ stays within a word
constexpr float kTiny = 1.0e-20f;
constexpr const char* kTemperature = " TEMPERATURE";

// Shared record of GP3 and its routines: the data blocks, the flags for the
// LDDT header, the model sizes, the open-core places and the longest
// records.
struct LODCOM {
  word LOAD = 0, EQIX = 0, CSTM = 0, NODC = 0, CONE = 0, LDDT = 0, TMPD = 0;
  word node_flag = 0;     // 1 once a nodal load set was processed
  word element_flag = 0;  // 1 once an element load set was processed
  word NN = 0;            // nodes
  word NCS = 0;           // coordinate systems
  word NE = 0;            // elements
  word M = 0;             // words per node after the first five (x, y, z first)
  word free = 0;          // words of the work area
  word longest = 0;       // longest record written
  word node_loads = 0;    // LOAD header word 4 AND 1
  word element_loads = 0; // LOAD header word 4 AND 2
  word longest_element = 0;
  // Open-core places: EQIX pairs, element table, node coordinates, CSTM
  // records, work area.
  word pairs = 0, elements = 0, coords = 0, systems = 0, work = 0;
};

// ---- Messages ---------------------------------------------------------------

void count_error() {
  SYSWRD& s = sysw();
  if (s.IERFLG < 0) s.IERFLG = 0;
  ++s.IERFLG;
}

void print_lines(const std::vector<std::string>& lines) {
  for (const auto& l : lines) {
    unit_write_line(kListing, l);
    unit_write_line(kErrorLog, l);
  }
}

// A two-line user error, printed under the limit after LINCNT of 3 lines.
void two_line_error(std::string_view format, std::initializer_list<FmtArg> args) {
  count_error();
  if (sysw().IERFLG > kPrintLimit) return;
  LINCNT(3);
  print_lines(fortran_records(format, args));
}

// 2440: counted and printed every time, without line accounting.
void null_set(const char* label, word set) {
  count_error();
  print_lines({fline("('0*** USER FATAL MESSAGE 2440,',A8,I6,' DEFINES NULL DATA.')", {label, set})});
}

// ---- Tables -----------------------------------------------------------------

std::span<word> element_table(const LODCOM& L) { return core().words(L.elements, 2 * std::int64_t{L.NE}); }
std::span<word> node_pairs(const LODCOM& L) { return core().words(L.pairs, 2 * std::int64_t{L.NN}); }

// The value word of an identifier in a table of sorted pairs; 0 when absent.
word pair_value(std::span<const word> table, word n, word key) {
  const word at = BSRCH1(key, table, 2, n);
  return at == 0 ? 0 : table[static_cast<std::size_t>(at)];
}

// Element table from CONE: per element (identifier, 256 x sequence number +
// ISEQ), sorted by identifier.
void build_element_table(const LODCOM& L, word buffer) {
  if (L.NE > kMaxSequence) model_fatal(-3821, L.NE, kMaxSequence);
  const std::span<word> table = element_table(L);
  std::array<word, 100> rec{};
  DBOPEN(L.CONE, buffer, kRead);
  for (word e = 1; e <= L.NE; ++e) {
    read_cone_record(L.CONE, rec);
    const auto iseq = static_cast<word>(static_cast<std::uint32_t>(rec[1]) >> 24);
    table[static_cast<std::size_t>(2 * (e - 1))] = rec[0];
    table[static_cast<std::size_t>(2 * e - 1)] = e * 256 + iseq;
  }
  DBCLOS(L.CONE, kCloseRewind);
  sort_rows<2>(table, static_cast<std::size_t>(L.NE), 1);
}

// Node coordinates and CSTM records (only when the model has coordinate
// systems), then the EQIX pairs (identifier, equation word) of record 2.
void read_node_tables(LODCOM& L, word buffer) {
  if (L.NCS > 0) {
    const std::int64_t coords = std::int64_t{L.NN} * L.M, need = coords + std::int64_t{kSystemWords} * L.NCS;
    if (need > L.free) short_of_core(need, L.free);
    L.coords = L.work;
    L.systems = static_cast<word>(L.coords + coords);
    std::array<word, 5> head{};
    DBOPEN(L.NODC, buffer, kRead);
    for (word n = 0; n < L.NN; ++n) {
      DBREAD(L.NODC, head.data(), 5, 0);
      DBREAD(L.NODC, &core().w(std::int64_t{L.coords} + std::int64_t{n} * L.M), L.M, 0);
    }
    DBREAD(L.NODC, nullptr, 0, 1);
    DBCLOS(L.NODC, kCloseRewind);
    DBOPEN(L.CSTM, buffer, kRead);
    for (word k = 0; k < L.NCS; ++k) DBREAD(L.CSTM, &core().w(L.systems + kSystemWords * k), kSystemWords, 1);
    DBCLOS(L.CSTM, kCloseRewind);
    L.work = static_cast<word>(L.work + need);
    L.free = static_cast<word>(L.free - need);
  }
  DBOPEN(L.EQIX, buffer, kRead);
  DBREAD(L.EQIX, nullptr, 0, 1);
  DBREAD(L.EQIX, node_pairs(L).data(), 2 * L.NN, 1);
  DBCLOS(L.EQIX, kCloseRewind);
}

// The CSTM record of a system; the last one found is remembered. Empty when
// the model does not define it.
class SystemLookup {
 public:
  explicit SystemLookup(const LODCOM& L) : L_(L) {}
  std::span<const word> find(word id) {
    if (id == last_id_ && !last_.empty()) return last_;
    for (word k = 0; k < L_.NCS; ++k) {
      const std::span<const word> s = core().words(L_.systems + kSystemWords * k, kSystemWords);
      if (s[0] != id) continue;
      last_id_ = id;
      last_ = s;
      return s;
    }
    return {};
  }

 private:
  const LODCOM& L_;
  word last_id_ = 0;
  std::span<const word> last_;
};

// Reads the three-word head of the next LOAD record; its first word must be name.
void record_head(const LODCOM& L, const char* name) {
  std::array<word, 3> head{};
  DBREAD(L.LOAD, head.data(), 3, 0);
  word load = 0;
  DBNAME(L.LOAD, load);
  if (head[0] != name_word(name)) model_fatal(-2621, name_word(name), load);
}

// Indexes of the keys in ascending key order, equal keys in input order.
std::vector<std::size_t> key_order(const std::vector<word>& keys) {
  std::vector<std::size_t> order(keys.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  return order;
}

// ---- Temperatures -------------------------------------------------------------

// One file of TMPD per temperature set of the "TEMP" record.
void GP3TMP(LODCOM& L, word nsets) {
  if (L.element_loads == 0) model_fatal(-900, 2, 0);
  const std::span<const word> table = element_table(L);
  for (word k = 0; k < nsets; ++k) {
    std::array<word, 2> head{};
    DBREAD(L.LOAD, head.data(), 2, 0);
    const word set = head[0], n = std::max(head[1], 0);
    if (2 * std::int64_t{n} > L.free) short_of_core(2 * std::int64_t{n}, L.free);
    const std::span<word> pairs = core().words(L.work, 2 * std::int64_t{n});
    DBREAD(L.LOAD, pairs.data(), 2 * n, 0);

    auto undefined = [set](word e) {
      user_error(fline("('0*** USER FATAL MESSAGE 2428,',A12,I6,' REFERS UNDEFINED ELEMENT',I6)", {kTemperature, set, e}));
    };
    LeftOutWalk left(left_out(L.LOAD, kTemperatureSets, k));
    std::vector<word> keys(static_cast<std::size_t>(n)), ids(static_cast<std::size_t>(n));
    for (word i = 0; i < n; ++i) {
      left.before(i, undefined);
      const auto u = static_cast<std::size_t>(i);
      ids[u] = pairs[2 * u];
      keys[u] = pair_value(table, L.NE, ids[u]);
      if (keys[u] == 0) undefined(ids[u]);
    }
    user_errors_unprinted(left.rest(undefined));

    const auto found = static_cast<word>(std::count_if(keys.begin(), keys.end(), [](word key) { return key > 0; }));
    const std::array<word, 3> file_head{name_word("TEMP"), set, found};
    DBWRIT(L.TMPD, file_head.data(), 3, 1);
    word previous = -1;
    std::vector<word> rec;
    for (const std::size_t i : key_order(keys)) {
      if (keys[i] <= 0) continue;
      const word iseq = keys[i] % 256;
      if (iseq != previous) ETYPDS(iseq, 1);
      previous = iseq;
      const ETYCOM& t = etycom();
      if (t.TMPFLG[0] < 1)
        two_line_error("('0*** USER FATAL MESSAGE 2425, IN',A12,I6/10X,'THERMAL LOAD ON ELEMENT ',2A4,I8,"
                       "' MAY NOT BE APPLIED.')",
                       {kTemperature, set, t.NAME[0], t.NAME[1], ids[i]});
      rec.assign(static_cast<std::size_t>(t.NN + 2), pairs[2 * i + 1]);
      rec[0] = keys[i] / 256;
      rec[1] = t.NN * 16;
      DBWRIT(L.TMPD, rec.data(), static_cast<word>(rec.size()), 1);
      L.longest = std::max(L.longest, static_cast<word>(rec.size()));
    }
    DBEOF(L.TMPD);
  }
  DBREAD(L.LOAD, nullptr, 0, 1);
}

// ---- Force sets -------------------------------------------------------------------

struct Kind {
  word code;
  const char* label;  // 8 characters, as printed
  const char* name;   // 4 characters, for the table-size message
};

constexpr Kind kKinds[] = {
    {1, "   NLOAD", "NLOA"},
    {2, "   DLOAD", "DLOA"},
    {7, "    BODY", "BODY"},
    {8, "INIT STR", "INIT"},
};

const Kind& kind_of(word code) {
  for (const Kind& k : kKinds)
    if (k.code == code) return k;
  model_fatal(-8015, name_word("IFTP"), code);
}

// Types that take a body force without load words: gap, joints, spring and
// contact element.
bool body_without_words(word iecod) {
  return iecod == 13 || iecod == 14 || (iecod >= 18 && iecod <= 23);
}

// A nodal load set: entries [node, component word, system, six values].
void node_set(LODCOM& L, const Kind& kind, word set, std::span<const word> data, const LeftOutSet& left_set) {
  if (L.node_loads == 0) model_fatal(-900, 1, 0);
  if (data.size() % kNodeEntry != 0) model_fatal(-905, kNodeEntry, static_cast<word>(data.size()));
  L.node_flag = 1;
  const std::span<const word> pairs = node_pairs(L);
  SystemLookup systems(L);
  auto undefined = [&](word node) {
    user_error(fline("('0*** USER FATAL MESSAGE 2421,',A8,I6,' REFERS UNDEFINED NODE',I6)", {kind.label, set, node}));
  };
  LeftOutWalk left(left_set);
  word used = 0;  // output words from the work area's first word
  const std::size_t n = data.size() / kNodeEntry;
  for (std::size_t i = 0; i < n; ++i) {
    left.before(static_cast<std::int64_t>(i), undefined);
    std::array<word, kNodeEntry> e{};
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(i * kNodeEntry), kNodeEntry, e.begin());
    const word node = e[0], system = e[2];
    const word at = BSRCH1(node, pairs, 2, L.NN);
    if (at == 0) {
      undefined(node);
      continue;
    }
    const word eqw = pairs[static_cast<std::size_t>(at)];
    const word d = std::min<word>(eqw % 1024, 6), first = e[1] & 255;
    if (d < first)
      user_error(fline("('0*** USER FATAL MESSAGE 2357, D.O.F NUMBER ',I4,' OF NODE',I6,' IN',A8,I6,' IS OUT OF RANGE')",
                       {first, node, kind.label, set}));
    std::array<float, 6> values{};
    for (std::size_t j = 0; j < 6; ++j) values[j] = word_real(e[3 + j]);
    if (system != 0) {
      const std::span<const word> s = systems.find(system);
      if (s.empty()) {
        user_error(fline("('0*** USER FATAL MESSAGE 2356, COORDINATE SYSTEM ID ',I6,' REFERED BY NODE ',I6,"
                         "' IN FORCE ',I6,' IS UNDEFINED')",
                         {system, node, set}));
      } else {
        const std::span<const float> x = core().floats(std::int64_t{L.coords} + std::int64_t{(at - 1) / 2} * L.M, 3);
        GP3DIR(values, d, s, x.first<3>(), {set, node});
      }
    }
    core().w(L.work + used++) = eqw;
    for (word j = 0; j < d; ++j) core().w(L.work + used++) = real_word(values[static_cast<std::size_t>(j)]);
  }
  user_errors_unprinted(left.rest(undefined));
  if (used == 0) {
    null_set(kind.label, set);
    return;
  }
  const std::array<word, 3> head{name_word("FORC"), set * 10 + kind.code, 1};
  DBWRIT(L.LDDT, head.data(), 3, 1);
  DBWRIT(L.LDDT, &core().w(L.work), used, 1);
  L.longest = std::max(L.longest, used);
  DBEOF(L.LDDT);
}

// An element load set: entries [element, a word not used, load words].
// Each entry's first two words become [sequence number or -1, c].
void element_set(LODCOM& L, const Kind& kind, word set, std::span<word> data, const LeftOutSet& left_set) {
  if (L.element_loads == 0) model_fatal(-900, 2, 0);
  const word s = kind.code == 8 ? kStressEntry : kElementEntry;
  if (data.size() % static_cast<std::size_t>(s) != 0) model_fatal(-904, s, static_cast<word>(data.size()));
  L.element_flag = 1;
  const std::span<const word> table = element_table(L);
  auto undefined = [&](word e) {
    user_error(fline("('0*** USER FATAL MESSAGE 2423,',A8,I6,' REFERS UNDEFINED ELEMENT',I6)", {kind.label, set, e}));
  };
  LeftOutWalk left(left_set);
  const std::size_t n = data.size() / static_cast<std::size_t>(s);
  std::vector<word> keys(n, -1);
  std::vector<bool> stressed(kind.code == 8 ? static_cast<std::size_t>(L.NE) + 1 : 0);
  word previous = -1, c = 0, iecod = 0;
  for (std::size_t i = 0; i < n; ++i) {
    left.before(static_cast<std::int64_t>(i), undefined);
    const std::span<word> entry = data.subspan(i * static_cast<std::size_t>(s), static_cast<std::size_t>(s));
    const word element = entry[0];
    const word value = pair_value(table, L.NE, element);
    if (value == 0) {
      undefined(element);
      continue;
    }
    const word seq = value / 256, iseq = value % 256;
    if (iseq != previous) {
      ETYPDS(iseq, 1);
      c = kind.code <= 8 ? std::max<word>(etycom().LDWORD[static_cast<std::size_t>(kind.code - 1)], 0) : 0;
      if (c > s - 2) model_fatal(-904, s, c);
      iecod = etycom().IECOD;
    }
    previous = iseq;
    if (c < 1 && !(kind.code == 7 && body_without_words(iecod))) {
      user_error(fline("('0*** USER FATAL MESSAGE 2188, ELEMENT LOAD TYPE ',A8,' FOR ELEMENT ',I6,' IN',I6,"
                       "' IS NOT AVAILABLE')",
                       {kind.label, element, set}));
      continue;
    }
    if (kind.code == 8) {
      // One initial stress per element: a second one from overlapping ranges is refused.
      if (stressed[static_cast<std::size_t>(seq)]) {
        user_error(fline("('0*** USER FATAL MESSAGE 2424,',A8,I6,' GIVES ELEMENT',I6,' A SECOND INITIAL STRESS')",
                         {kind.label, set, element}));
        continue;
      }
      stressed[static_cast<std::size_t>(seq)] = true;
    }
    keys[i] = seq;
    entry[0] = kind.code;
    entry[1] = c;
  }
  user_errors_unprinted(left.rest(undefined));

  const std::vector<std::size_t> order = key_order(keys);
  const auto first = std::find_if(order.begin(), order.end(), [&keys](std::size_t i) { return keys[i] > 0; });
  if (first == order.end()) {
    null_set(kind.label, set);
    return;
  }
  const std::array<word, 3> head{name_word("FORC"), set * 10 + kind.code, 2};
  DBWRIT(L.LDDT, head.data(), 3, 1);
  auto item = [&](std::size_t i) { return data.subspan(i * static_cast<std::size_t>(s), static_cast<std::size_t>(2 + data[i * static_cast<std::size_t>(s) + 1])); };
  for (auto run = first; run != order.end();) {
    const word seq = keys[*run];
    const auto end = std::find_if(run, order.end(), [&](std::size_t i) { return keys[i] != seq; });
    const std::array<word, 2> rec_head{seq, static_cast<word>(end - run)};
    word length = 2;
    DBWRIT(L.LDDT, rec_head.data(), 2, 0);
    for (auto it = run; it != end; ++it) {
      const std::span<const word> words = item(*it);
      length += static_cast<word>(words.size());
      DBWRIT(L.LDDT, words.data(), static_cast<word>(words.size()), it + 1 == end ? 1 : 0);
    }
    L.longest_element = std::max(L.longest_element, length);
    L.longest = std::max(L.longest, length);
    run = end;
  }
  DBEOF(L.LDDT);
}

// The sets of the current "FORCE" record.
void GP3FRC(LODCOM& L, word nsets) {
  for (word k = 0; k < nsets; ++k) {
    std::array<word, 4> head{};
    DBREAD(L.LOAD, head.data(), 4, 0);
    const word set = head[0], w = head[2];
    const Kind& kind = kind_of(head[3]);
    if (w < 1 || w - 1 > L.free) model_fatal(-4, name_word(kind.name), L.free);
    const std::span<word> data = core().words(std::int64_t{L.work} + L.free - (w - 1), w - 1);
    DBREAD(L.LOAD, data.data(), w - 1, 0);
    const LeftOutSet& left = left_out(L.LOAD, kind.code, k);
    if (kind.code == 1) node_set(L, kind, set, data, left);
    else element_set(L, kind, set, data, left);
  }
  DBREAD(L.LOAD, nullptr, 0, 1);
}

}  // namespace

void GP3DIR(std::span<float> values, word d, std::span<const word> system, std::span<const float, 3> x,
            std::array<word, 2> ids) {
  using V = std::array<float, 3>;
  auto get = [&system](int at) { return V{word_real(system[at]), word_real(system[at + 1]), word_real(system[at + 2])}; };
  auto cross = [](const V& a, const V& b) {
    return V{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  };
  auto length = [](const V& a) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); };
  auto scaled = [](const V& a, float f) { return V{a[0] * f, a[1] * f, a[2] * f}; };
  const word type = system[1];
  const V a = get(3), e1 = get(6), e2 = get(9), e3 = get(12);
  std::array<V, 3> axis{e1, e2, e3};
  if (type != 1) {
    const V r{x[0] - a[0], x[1] - a[1], x[2] - a[2]};
    const float lr = length(r);
    bool indefinite = lr <= kTiny;
    if (!indefinite) {
      const V u = scaled(r, 1.0f / lr);
      auto dot = [](const V& p, const V& q) { return p[0] * q[0] + p[1] * q[1] + p[2] * q[2]; };
      const float c1 = dot(u, e1), c2 = dot(u, e2);
      const V w = type == 2 ? cross(e3, u)
                            : V{c1 * e2[0] - c2 * e1[0], c1 * e2[1] - c2 * e1[1], c1 * e2[2] - c2 * e1[2]};
      const float lw = length(w);
      indefinite = lw <= kTiny;
      if (!indefinite) {
        const V a2 = scaled(w, 1.0f / lw);
        axis = type == 2 ? std::array<V, 3>{cross(a2, e3), a2, e3} : std::array<V, 3>{u, a2, cross(u, a2)};
      }
    }
    if (indefinite) {
      two_line_error("('0*** USER FATAL MESSAGE 2451, INDEFINITE DIRECTION DETECTED AT NODE ',I6/10X,"
                     "'WHILE COMPUTING NLOAD ',I6,' USING COORDINATE SYSTEM ',I6)",
                     {ids[1], ids[0], system[0]});
      return;
    }
  }
  if (d == 2 || d == 4) {
    for (std::size_t p = 0; p < static_cast<std::size_t>(d) / 2 && 2 * p + 1 < values.size(); ++p) {
      const float f = values[2 * p], g = values[2 * p + 1];
      values[2 * p] = f * axis[0][0] + g * axis[1][0];
      values[2 * p + 1] = f * axis[0][1] + g * axis[1][1];
    }
    return;
  }
  const std::size_t triples = static_cast<std::size_t>(std::max<word>(d + 2, 0) / 3);
  for (std::size_t t = 0; t < triples && 3 * t + 2 < values.size(); ++t) {
    const float f = values[3 * t], g = values[3 * t + 1], h = values[3 * t + 2];
    for (std::size_t k = 0; k < 3; ++k) values[3 * t + k] = f * axis[0][k] + g * axis[1][k] + h * axis[2][k];
  }
}

void GP3(word LOAD, word EQIX, word CSTM, word NODC, word CONE, word LDDT, word TMPD) {
  MODBGN("GP3     ");
  LODCOM L{LOAD, EQIX, CSTM, NODC, CONE, LDDT, TMPD};
  word name = 0;
  DBNAME(LOAD, name);
  if (name == name_word("****")) return;
  const Header h = header_of(LOAD);
  const bool initial = (h[3] & 8) != 0;
  const word nload = std::max(h[0], 0), dload = std::max(h[1], 0), body = std::max(h[2], 0), ntemp = std::max(h[4], 0);
  if (nload + dload + body + ntemp == 0 && !initial) return;
  L.node_loads = h[3] & 1;
  L.element_loads = h[3] & 2;

  const word nbuf = sysw().NBUFSZ;
  const word b1 = sysw().COREND - nbuf, b2 = b1 - nbuf;
  L.NE = std::max(header_of(CONE)[0], 0);
  const Header eqix = header_of(EQIX);
  L.NN = std::max(eqix[0], 0);
  const Header nodc = header_of(NODC);
  L.NCS = std::max(nodc[2], 0);
  L.M = std::max(nodc[3], 0);
  L.pairs = 1;
  L.elements = L.pairs + (L.node_loads != 0 ? 2 * L.NN : 0);
  L.work = L.elements + (L.element_loads != 0 ? 2 * L.NE : 0);
  L.free = b2 - L.work;
  if (L.free < 0) short_of_core(std::int64_t{L.work} - 1 + 2 * std::int64_t{nbuf}, CORLFT(1));
  if (L.element_loads != 0) build_element_table(L, b1);

  DBOPEN(LOAD, b1, kRead);
  if (ntemp > 0) {
    DBOPEN(TMPD, b2, kWrite);
    record_head(L, "TEMP");
    GP3TMP(L, ntemp);
    DBCLOS(TMPD, kCloseRewind);
    HDRPUT(TMPD, Header{ntemp, 0, L.NE, 0, 0, L.longest});
    L.longest = 0;
  }
  if (nload + dload + body > 0 || initial) {
    if (L.node_loads != 0) read_node_tables(L, b2);
    DBOPEN(LDDT, b2, kWrite);
    for (const word sets : {nload, dload, body, initial ? 1 : 0}) {
      if (sets < 1) continue;
      record_head(L, "FORC");
      GP3FRC(L, sets);
    }
    if (!initial && nload + dload + body < 1) {
      DBCLOS(LDDT, kCloseUnload);
    } else {
      DBCLOS(LDDT, kCloseRewind);
      HDRPUT(LDDT, Header{nload + dload + body, L.longest_element, L.node_flag + 2 * L.element_flag + (initial ? 8 : 0),
                          L.NE, eqix[1], L.longest});
    }
  }
  DBCLOS(LOAD, kCloseRewind);
  error_total();
}

}  // namespace zephsol
