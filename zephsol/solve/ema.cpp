// Stiffness assembly EMA with the element rotation EMAROT and the column
// extraction EMACOL.
#include "zephsol/solve/ema.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/packed.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/util.h"
#include "zephsol/model/gp1.h"
#include "zephsol/solve/sdcmsg.h"
#include "zephsol/solve/solve_records.h"

namespace zephsol {

namespace {

constexpr word kEndOfRotations = 16777215;  // no pending rotation record
constexpr word kEctArea = 46;               // words of the ECT record area
constexpr word kEntry = 6;                  // words of a group-table entry

// Words of a group-table entry.
enum : std::size_t { kFirst, kDofs, kConnected, kTotal, kLists, kBlock };

// An ECT record: element number, sequence number, NN, element DOF count,
// lowest and highest first equation, then the NN equation words.
enum : word { kEctNodes = 2, kEctDofs = 3, kEctLowest = 4, kEctHighest = 5, kEctWords = 6 };

struct Assembly {
  word esk = 0, ect = 0, adic = 0, rotb = 0;
  word nodes = 0, neq = 0, ne = 0, nd = 0;
  bool rotated = false;
  word la = 0, lr = 0;                // record areas of ADIC (from word 1) and ROTB
  std::array<word, 3> buffer{};       // ADIC/ESK/KGG, ECT, ROTB
  std::int64_t kmat = 0;              // odd word of the element matrix
  std::int64_t kcol = 0;              // odd word of the element column
  std::int64_t table = 0;             // first word of the group table
  std::int64_t top = 0;               // last word (even) of the downward area
  std::int64_t postab = 0;            // element positions: ECT and ESK, two words each
  std::int64_t marks = 0;             // one bit per element: wanted in this pass

  word pass = 1;
  word count = 0;                     // nodes in the group
  std::int64_t low = 0;               // lowest word of the lists and blocks placed
  word emin = 0, emax = 0;            // marked element range

  word next_equation = 1;             // first equation of the next dictionary node with DOFs

  word pending = kEndOfRotations;     // element of the ROTB record in its area
  word rot_length = 0;

  MCB kgg{};
  std::int64_t terms = 0;

  // The current element's nodes: first equation, DOF count, first element
  // DOF (1-based) and offset of its rows in a group node's column.
  std::array<word, kEctArea> ectrec{};
  std::vector<word> nfirst, ndofs, nstart;
  std::vector<std::int64_t> noffset;
};

[[noreturn]] void short_of_words(std::int64_t shortfall) {
  const word available = CORLFT(1);
  solve_fatal(3, message_word(std::int64_t{available} + shortfall), available);
}

// ---- Set-up ----

void lay_out(Assembly& a) {
  const std::int64_t ending = CORLFT(1);  // words 1 .. ending
  const word b = sysw().NBUFSZ;
  a.buffer[0] = message_word(ending + 1 - b);
  a.buffer[1] = message_word(std::int64_t{a.buffer[0]} - b);
  a.buffer[2] = message_word(std::int64_t{a.buffer[1]} - b);
  const std::int64_t lowest = a.buffer[a.rotated ? 2 : 1];
  a.postab = lowest - (4 * std::int64_t{a.ne} + (std::int64_t{a.ne} + 31) / 32);
  a.marks = a.postab + 4 * std::int64_t{a.ne};
  a.top = a.postab - 1;
  if (a.top % 2 != 0) --a.top;
  a.kmat = 2 * ((std::int64_t{a.la} + a.lr + 3) / 2) - 1;
  a.kcol = a.kmat + std::int64_t{a.nd} * (a.nd + 1);
  a.table = a.kcol + 2 * std::int64_t{a.nd};
  if (a.top + 1 < a.table) short_of_words(a.table - (a.top + 1));
  std::ranges::fill(core().words(a.marks, (std::int64_t{a.ne} + 31) / 32), 0);
}

// ---- Marks of wanted elements ----

bool marked(const Assembly& a, word e) {
  const word w = core().w(a.marks + (e - 1) / 32);
  return ((static_cast<std::uint32_t>(w) >> ((e - 1) % 32)) & 1u) != 0;
}

void set_mark(Assembly& a, word e, bool on) {
  word& w = core().w(a.marks + (e - 1) / 32);
  const auto bit = std::uint32_t{1} << ((e - 1) % 32);
  w = static_cast<word>(on ? (static_cast<std::uint32_t>(w) | bit) : (static_cast<std::uint32_t>(w) & ~bit));
}

// ---- Gathering a group ----

// Checks a dictionary record against the model before anything is placed
// by it: a node with DOFs starts at the equation after the previous one;
// its connections name ascending equations of the model, and their DOF
// counts add up to its total; its elements are in the element table.
void check_dictionary_record(Assembly& a, std::span<const word> rec) {
  const word ndof = rec[0] & 255, m = rec[1], total = rec[2], k = rec[3];
  for (word el : rec.subspan(4, static_cast<std::size_t>(k)))
    if (el < 1 || el > a.ne) record_contradiction(711, name_word("ADIC"), 1);
  if (ndof == 0) return;
  if ((rec[0] >> 10) != a.next_equation) record_contradiction(711, name_word("ADIC"), 2);
  a.next_equation += ndof;
  std::int64_t sum = 0, previous = 0;
  for (word w : rec.subspan(4 + static_cast<std::size_t>(k), static_cast<std::size_t>(m))) {
    const word first = w >> 10, count = w & 255;
    if (first <= previous || count == 0 || std::int64_t{first} + count - 1 > a.neq)
      record_contradiction(711, name_word("ADIC"), 3);
    previous = first;
    sum += count;
  }
  if (sum != total) record_contradiction(801, message_word(sum), total);
}

// Reads the next ADIC record into the record area; returns its length.
word read_dictionary(Assembly& a) {
  word got = 0, status = 0;
  DBRDST(a.adic, core().words(1, a.la).data(), a.la, 1, got, status);
  if (status == 0) record_contradiction(3825, name_word("ADIC"), a.la);
  if (status == 2) record_contradiction(2, name_word("ADIC"), 0);
  const auto rec = core().words(1, got);
  if (got < 4 || rec[1] < 0 || rec[3] < 0 || std::int64_t{got} != 4 + std::int64_t{rec[1]} + rec[3])
    record_contradiction(3826, got, name_word("ADIC"));
  check_dictionary_record(a, rec);
  return got;
}

// Places the node of the record in the area into the group: its table
// entry, its two lists and its cleared column block. False when it does not
// fit (the group then ends before it); a node without DOF is only counted.
bool join_group(Assembly& a, word length) {
  const auto rec = core().words(1, length);
  const word ndof = rec[0] & 255;
  if (ndof == 0) return true;
  const word m = rec[1], total = rec[2], k = rec[3];
  const auto connected = rec.subspan(4 + static_cast<std::size_t>(k), static_cast<std::size_t>(m));

  const std::int64_t values = std::int64_t{ndof} * total;
  const std::int64_t lists = a.low - 2 * values - 2 * std::int64_t{m};
  const std::int64_t entry = a.table + std::int64_t{kEntry} * a.count;
  if (entry + kEntry > lists) {
    if (a.count == 0) short_of_words(entry + kEntry - lists);
    return false;
  }
  const auto firsts = core().words(lists, m);
  const auto offsets = core().words(lists + m, m);
  word offset = 0;
  for (std::size_t j = 0; j < connected.size(); ++j) {
    firsts[j] = connected[j] >> 10;
    offsets[j] = offset;
    offset += connected[j] & 255;
  }
  const std::int64_t block = lists + 2 * std::int64_t{m};
  std::ranges::fill(core().doubles(block, values), 0.0);
  const auto e = core().words(entry, kEntry);
  e[kFirst] = rec[0] >> 10;
  e[kDofs] = ndof;
  e[kConnected] = m;
  e[kTotal] = total;
  e[kLists] = static_cast<word>(lists);
  e[kBlock] = static_cast<word>(block);
  a.low = lists;
  ++a.count;

  if (a.pass > 1) {
    for (word el : rec.subspan(4, static_cast<std::size_t>(k))) {
      set_mark(a, el, true);
      a.emin = std::min(a.emin, el);
      a.emax = std::max(a.emax, el);
    }
  }
  return true;
}

// ---- Rotations ----

void next_rotation(Assembly& a) {
  word got = 0, status = 0;
  DBRDST(a.rotb, core().words(a.la + 1, a.lr).data(), a.lr, 1, got, status);
  if (status == 0) record_contradiction(3825, name_word("ROTB"), a.lr);
  if (status == 2) record_contradiction(2, name_word("ROTB"), 0);
  a.rot_length = got;
  a.pending = core().w(a.la + 1);
}

void open_rotations(Assembly& a) {
  a.pending = kEndOfRotations;
  if (!a.rotated) return;
  DBOPEN(a.rotb, a.buffer[2], kRead);
  DBSKPF(a.rotb, 1);
  next_rotation(a);
}

// Turns the element matrix by the ROTB record in its area (element e).
void rotate_element(Assembly& a, std::span<double> K, word n, word nn) {
  const word length = a.rot_length;
  const auto rec = core().words(a.la + 1, length);
  const std::int64_t k = length >= 5 ? rec[4] : -1, size = length >= 5 ? rec[3] : -1;
  if (k < 0 || size < 0 || length != 5 + k + k * size) record_contradiction(3826, length, name_word("ROTB"));
  if (rec[1] != n) record_contradiction(711, name_word("ROTB"), 1);
  if (rec[2] > nn) record_contradiction(711, name_word("ROTB"), 2);
  const auto head = static_cast<std::size_t>(5 + k);
  EMAROT(rec.first(head), rec.subspan(head), K, std::span<const word>(a.ndofs).first(static_cast<std::size_t>(nn)));
}

// ---- Adding the elements of a group ----

// Reads the ECT record of the next element into its area; returns NN.
word read_connections(Assembly& a) {
  word got = 0, status = 0;
  DBRDST(a.ect, a.ectrec.data(), kEctArea, 1, got, status);
  if (status == 0) record_contradiction(3825, name_word("ECT "), kEctArea);
  if (status == 2) record_contradiction(2, name_word("ECT "), 0);
  const word nn = got > kEctNodes ? a.ectrec[kEctNodes] : -1;
  if (got != nn + kEctWords) record_contradiction(3826, got, name_word("ECT "));
  return nn;
}

// The element's node table from its ECT record; the DOF counts must add up
// to the element's.
void element_nodes(Assembly& a, word nn, word n) {
  word start = 1;
  for (word i = 0; i < nn; ++i) {
    const word w = a.ectrec[static_cast<std::size_t>(kEctWords + i)];
    a.nfirst[static_cast<std::size_t>(i)] = w >> 10;
    a.ndofs[static_cast<std::size_t>(i)] = w & 255;
    a.nstart[static_cast<std::size_t>(i)] = start;
    start += w & 255;
  }
  if (start - 1 != n) record_contradiction(711, name_word("ECT "), 1);
}

// Adds the element matrix K (n DOFs, nn nodes) of element e into the
// column blocks of its nodes that belong to the group.
void scatter(Assembly& a, std::span<const double> K, word n, word nn, word e) {
  const WordSpace& c = core();
  const auto table = c.words(a.table, std::int64_t{kEntry} * a.count);
  const auto col = c.doubles(a.kcol, a.nd);
  for (word i = 0; i < nn; ++i) {
    const word di = a.ndofs[static_cast<std::size_t>(i)];
    if (di == 0) continue;
    const word at = BSRCH1(a.nfirst[static_cast<std::size_t>(i)], table, kEntry, a.count);
    if (at == 0) continue;
    const auto entry = table.subspan(static_cast<std::size_t>(at - 1), kEntry);
    if (entry[kDofs] < di) record_contradiction(802, e, i + 1);
    const word m = entry[kConnected], total = entry[kTotal], lists = entry[kLists];
    NODLST(lists, m);
    for (word j = 0; j < nn; ++j) {
      const word dj = a.ndofs[static_cast<std::size_t>(j)];
      if (dj == 0) continue;
      const word p = NODNUM(a.nfirst[static_cast<std::size_t>(j)]);
      if (p == 0) record_contradiction(800, e, j + 1);
      const word offset = c.w(lists + m + p - 1);
      const word rows = (p < m ? c.w(lists + m + p) : total) - offset;
      if (dj > rows) record_contradiction(802, e, j + 1);
      a.noffset[static_cast<std::size_t>(j)] = offset;
    }
    double* block = c.doubles(entry[kBlock], std::int64_t{entry[kDofs]} * total).data();
    const word si = a.nstart[static_cast<std::size_t>(i)];
    for (word k = 0; k < di; ++k, block += total) {
      EMACOL(K, n, si + k, col);
      for (word j = 0; j < nn; ++j) {
        const auto jj = static_cast<std::size_t>(j);
        const double* from = col.data() + (a.nstart[jj] - 1);
        double* to = block + a.noffset[jj];
        for (word t = 0; t < a.ndofs[jj]; ++t) to[t] += from[t];
      }
    }
  }
}

// Reads element e's records (its positions already reached) and adds it.
void add_element(Assembly& a, word e, word first, word last, EmaPass& counts) {
  const word nn = read_connections(a);
  ++counts.ect_reads;
  if (a.ectrec[kEctHighest] < first || a.ectrec[kEctLowest] > last) {
    if (a.pass > 1) record_contradiction(803, e, a.pass);
    DBREAD(a.esk, nullptr, 0, 1);
    return;
  }
  ++counts.esk_reads;
  word m = 0;
  DBREAD(a.esk, &m, 1, 0);
  if (m == 0) {
    DBREAD(a.esk, nullptr, 0, 1);
    return;
  }
  const word n = a.ectrec[kEctDofs];
  if (n < 1 || n > a.nd || std::int64_t{m} != std::int64_t{n} * (n + 1) / 2) record_contradiction(3826, m, name_word("ESK "));
  const auto K = core().doubles(a.kmat, m);
  DBRDDP(a.esk, K.data(), m, 1);
  element_nodes(a, nn, n);
  while (a.pending < e) next_rotation(a);
  if (a.pending == e) rotate_element(a, K, n, nn);
  scatter(a, K, n, nn, e);
}

void add_elements(Assembly& a) {
  DBCLOS(a.adic, kCloseNoRewind);
  DBOPEN(a.esk, a.buffer[0], kRead);
  DBOPEN(a.ect, a.buffer[1], kRead);
  open_rotations(a);
  const auto table = core().words(a.table, std::int64_t{kEntry} * a.count);
  EmaPass counts{table[kFirst], table[table.size() - kEntry + kFirst], 0, 0};
  const word from = a.pass == 1 ? 1 : a.emin, to = a.pass == 1 ? a.ne : a.emax;
  for (word e = from; e <= to; ++e) {
    const auto pos = core().words(a.postab + 4 * std::int64_t{e - 1}, 4);
    if (a.pass == 1) {
      dbpos p = 0;
      DBCPOS(a.ect, p);
      put_position(pos.first<2>(), p);
      DBCPOS(a.esk, p);
      put_position(pos.last<2>(), p);
    } else {
      if (!marked(a, e)) continue;
      set_mark(a, e, false);
      DBGOTO(a.ect, get_position(pos.first<2>()));
      DBGOTO(a.esk, get_position(pos.last<2>()));
    }
    add_element(a, e, counts.first, counts.last, counts);
  }
  DBCLOS(a.esk, kCloseRewind);
  DBCLOS(a.ect, kCloseRewind);
  if (a.rotated) DBCLOS(a.rotb, kCloseRewind);
  solve_state().ema_passes.push_back(counts);
}

// ---- Writing a group ----

void write_group(Assembly& a) {
  const WordSpace& c = core();
  DBOPEN(a.kgg.file, a.buffer[0], a.pass == 1 ? kWrite : kWriteNoRewind);
  const word prec = sysw().IPREC;
  SCB scb{};
  const auto table = c.words(a.table, std::int64_t{kEntry} * a.count);
  for (word g = 0; g < a.count; ++g) {
    const auto entry = table.subspan(static_cast<std::size_t>(kEntry * g), kEntry);
    const word m = entry[kConnected], total = entry[kTotal];
    const auto firsts = c.words(entry[kLists], m);
    const auto offsets = c.words(std::int64_t{entry[kLists]} + m, m);
    const double* block = c.doubles(entry[kBlock], std::int64_t{entry[kDofs]} * total).data();
    for (word k = 0; k < entry[kDofs]; ++k, block += total) {
      COLBEG(a.kgg, prec, scb);
      for (word j = 0; j < m; ++j) {
        const auto jj = static_cast<std::size_t>(j);
        const word end = j + 1 < m ? offsets[jj + 1] : total;
        for (word r = offsets[jj]; r < end; ++r)
          if (block[r] != 0.0) COLTRM(block[r], firsts[jj] + r - offsets[jj], scb);
      }
      COLEND(a.kgg, scb);
    }
  }
  DBCLOS(a.kgg.file, kCloseNoRewind);
  // The control block counts one group's terms; the whole count is kept here.
  a.terms += a.kgg.density;
  a.kgg.density = 0;
}

// ---- The rotation of a packed element matrix ----

[[noreturn]] void wrong_rotation(std::span<const word> rotrec) {
  const auto w = [&](std::size_t i) { return i < rotrec.size() ? rotrec[i] : 0; };
  unit_write_line(kListing, fline("('0*** SYSTEM FATAL MESSAGE  935, WRONG ROTATION PARAMETER')"));
  unit_write_line(kListing, fline("(10X,'IELM =',I6,'   NEDOF =',I6,'   NENOD =',I6,'   N4OR9 =',I6)",
                           {w(0), w(1), w(2), w(3)}));
  solve_fatal(935, 0, 0);
}

// K := R K R^T on the b DOFs a .. a + b - 1 of the packed matrix K (order n).
void rotate_block(std::span<double> K, word n, word a, word b, const std::array<double, 9>& R) {
  std::array<double, 3> x{};
  for (word i = 1; i <= n; ++i) {
    if (i >= a && i < a + b) continue;
    for (word t = 0; t < b; ++t) x[static_cast<std::size_t>(t)] = K[packed_index(i, a + t, n)];
    for (word s = 0; s < b; ++s) {
      double y = 0.0;
      for (word t = 0; t < b; ++t) y += R[static_cast<std::size_t>(3 * s + t)] * x[static_cast<std::size_t>(t)];
      K[packed_index(i, a + s, n)] = y;
    }
  }
  std::array<double, 9> kb{}, rk{};
  for (word s = 0; s < b; ++s)
    for (word t = 0; t < b; ++t) kb[static_cast<std::size_t>(3 * s + t)] = K[packed_index(a + s, a + t, n)];
  for (word s = 0; s < b; ++s)
    for (word t = 0; t < b; ++t) {
      double y = 0.0;
      for (word q = 0; q < b; ++q) y += R[static_cast<std::size_t>(3 * s + q)] * kb[static_cast<std::size_t>(3 * q + t)];
      rk[static_cast<std::size_t>(3 * s + t)] = y;
    }
  for (word s = 0; s < b; ++s)
    for (word t = s; t < b; ++t) {
      double y = 0.0;
      for (word q = 0; q < b; ++q) y += rk[static_cast<std::size_t>(3 * s + q)] * R[static_cast<std::size_t>(3 * t + q)];
      K[packed_index(a + s, a + t, n)] = y;
    }
}

}  // namespace

void EMACOL(std::span<const double> K, word n, word j, std::span<double> col) {
  std::size_t pos = static_cast<std::size_t>(j - 1);  // term (1, j)
  for (word i = 1; i < j; ++i) {
    col[static_cast<std::size_t>(i - 1)] = K[pos];
    pos += static_cast<std::size_t>(n - i);
  }
  std::copy_n(K.begin() + static_cast<std::ptrdiff_t>(pos), n - j + 1, col.begin() + (j - 1));
}

void EMAROT(std::span<const word> rotrec, std::span<const word> rotdata, std::span<double> K,
            std::span<const word> node_dofs) {
  const word n = rotrec[1], size = rotrec[3], k = rotrec[4];
  const word b = size == 9 ? 3 : size == 4 ? 2 : 0;
  for (word q = 0; q < k; ++q) {
    const word p = rotrec[static_cast<std::size_t>(5 + q)];
    if (b == 0 || p < 1 || p > static_cast<word>(node_dofs.size())) wrong_rotation(rotrec);
    const word d = node_dofs[static_cast<std::size_t>(p - 1)];
    if (d / b == 0) wrong_rotation(rotrec);
    word a = 1;
    for (word i = 0; i < p - 1; ++i) a += node_dofs[static_cast<std::size_t>(i)];
    std::array<double, 9> R{};
    const auto r = rotdata.subspan(static_cast<std::size_t>(q * size), static_cast<std::size_t>(size));
    for (word s = 0; s < b; ++s)
      for (word t = 0; t < b; ++t) R[static_cast<std::size_t>(3 * s + t)] = word_real(r[static_cast<std::size_t>(b * s + t)]);
    for (word blk = 0; blk < d / b; ++blk) rotate_block(K, n, a + blk * b, b, R);
  }
}

void EMA(word ESK, word ECT, word ADIC, word ROTB, word KGG) {
  MODBGN("EMA     ");
  solve_state().ema_passes.clear();
  Assembly a;
  a.esk = ESK;
  a.ect = ECT;
  a.adic = ADIC;
  a.rotb = ROTB;
  std::array<word, 6> h{};
  HDRGET(ADIC, h);
  a.nodes = h[0];
  a.neq = h[1];
  a.la = h[5] + 1;
  HDRGET(ECT, h);
  a.ne = std::max(h[0], 0);
  a.nd = std::max(h[3], 0);
  if (ROTB != 0) {
    HDRGET(ROTB, h);
    a.rotated = h[0] != 0;
    a.lr = a.rotated ? h[5] + 1 : 0;
  }
  if (a.nodes < 1 || a.neq < 1) {
    HDRCLR(KGG);
    return;
  }
  lay_out(a);
  a.nfirst.resize(kEctArea);
  a.ndofs.resize(kEctArea);
  a.nstart.resize(kEctArea);
  a.noffset.resize(kEctArea);
  a.kgg = MCB{KGG, 0, a.neq, kSymmetric, sysw().IPREC, 0, 0};

  DBOPEN(ADIC, a.buffer[0], kRead);
  word read = 0, held = 0;  // held: length of a record that did not fit
  for (;;) {
    a.count = 0;
    a.low = a.top + 1;
    a.emin = a.ne + 1;
    a.emax = 0;
    if (held > 0) {
      join_group(a, held);
      held = 0;
    }
    while (read < a.nodes) {
      const word length = read_dictionary(a);
      ++read;
      if (!join_group(a, length)) {
        held = length;
        break;
      }
    }
    if (read == a.nodes && a.next_equation - 1 != a.neq) record_contradiction(711, name_word("ADIC"), 4);
    if (a.count == 0) {
      DBCLOS(ADIC, kCloseNoRewind);
      break;
    }
    add_elements(a);
    write_group(a);
    if (held == 0) break;
    ++a.pass;
    DBOPEN(ADIC, a.buffer[0], kReadNoRewind);
  }

  const double rows = a.neq;
  a.kgg.density = static_cast<word>(std::trunc(static_cast<double>(a.terms) / (rows * rows) * 10000.0));
  HDRPUT(KGG, a.kgg.header());
}

}  // namespace zephsol
