// Nodal rotations of an interval: GP4ROT turns each node with a local
// system into the rows of its local axes; the element pass lists, per
// element, the rotations of its nodes.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/util.h"
#include "zephsol/model/gp4.h"
#include "zephsol/model/gp4_work.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace {

using V3 = std::array<float, 3>;
constexpr float kTiny = 1.0E-20f;
constexpr word kSystemWords = 15;

V3 cross(const V3& a, const V3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float dot(const V3& a, const V3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
// v / |v|, or zero (and false) when |v| is not above 1.0E-20.
bool unit(V3& v) {
  const float n = std::sqrt(dot(v, v));
  if (!(n > kTiny)) {
    v = {};
    return false;
  }
  for (float& x : v) x /= n;
  return true;
}

V3 vec(word at) { return {core().r(at), core().r(at + 1), core().r(at + 2)}; }

void print_both(word lines, const std::string& text) {
  LINCNT(lines);
  unit_write_line(kListing, text);
  unit_write_line(kErrorLog, text);
}

void indefinite(word node, word set, word system) {
  SYSWRD& s = sysw();
  ++s.IERFLG;
  if (s.IERFLG <= 100)
    print_both(3, fline("('0*** USER FATAL MESSAGE 2451, INDEFINITE DIRECTION DETECTED AT NODE ',I6/10X,"
                        "'WHILE COMPUTING ROTATION OF BOUNDARY ',I6,' USING COORDINATE SYSTEM ',I6)",
                        {node, set, system}));
}

}  // namespace

namespace gp4 {

word read_ect_record(word ECT, std::span<word, 100> rec, word c) {
  word nread = 0, status = 0;
  DBRDST(ECT, rec.data(), 100, 1, nread, status);
  if (status == 2) model_fatal(-2, name_word("ECT "), 0);
  if (status != 1) model_fatal(-3825, name_word("ECT "), 100);
  if (nread < 6 || nread != rec[2] + 6) model_fatal(-4008, c, 0);
  return rec[2];
}

void NodeEntries::add_set(std::span<const word> rows, word set) {
  for (std::size_t k = 0; k + 3 < rows.size(); k += 4) rows_.push_back({rows[k], rows[k + 1], rows[k + 2], rows[k + 3], set});
  ++sets_;
}

void NodeEntries::combine() {
  if (rows_.size() <= 1 || sets_ <= 1) return;
  std::vector<word> w;
  for (const auto& r : rows_) w.insert(w.end(), r.begin(), r.end());
  SORTIR(5, 1, w, static_cast<word>(rows_.size()));
  std::vector<std::array<word, 5>> kept;
  bool told = false;
  for (std::size_t k = 0; k < w.size(); k += 5) {
    const std::array<word, 5> r{w[k], w[k + 1], w[k + 2], w[k + 3], w[k + 4]};
    if (!kept.empty() && kept.back()[0] == r[0]) {
      if (kept.back()[2] != r[2] && !told) {
        print_both(2, "0*** USER FATAL MESSAGE 1758, CONFLICT(S) IN COORDINATE SYSTEM REFERECNE DETECTED IN BOUNDARY "
                      "COMBINATION.");
        sysw().IERFLG = 1;
        told = true;
      }
      continue;
    }
    kept.push_back(r);
  }
  rows_ = kept;
}

}  // namespace gp4

void GP4ROT(word entries, word n, word coords, word systems) {
  const GP4CTL& g = gp4ctl();
  const Header ch = header_of(g.CSTM), nh = header_of(g.NODC);
  const word nsys = std::max(ch[0], 0);
  if (ch[2] != 0) {
    const word m = std::max(nh[3], 0);
    std::vector<word> node(static_cast<std::size_t>(5 + m));
    DBOPEN(g.NODC, g.B3, kRead);
    for (word k = 0; k < nh[0]; ++k) {
      DBREAD(g.NODC, node.data(), 5 + m, 0);
      for (word c = 0; c < 3; ++c) core().w(coords + 3 * k + c) = node[static_cast<std::size_t>(5 + c)];
    }
    DBCLOS(g.NODC, kCloseRewind);
  }
  if (nsys > 0) {
    DBOPEN(g.CSTM, g.B3, kRead);
    for (word s = 0; s < nsys; ++s) DBREAD(g.CSTM, &core().w(systems + kSystemWords * s), kSystemWords, 1);
    DBCLOS(g.CSTM, kCloseRewind);
  }
  DBOPEN(g.ROTB, g.B3, kWrite);
  for (word i = 0; i < n; ++i) {
    const word e = entries + 5 * i;
    const word position = core().w(e + 2);
    if (position < 1 || position > nsys) model_fatal(-901, position, nsys);
    const word sys = systems + kSystemWords * (position - 1);
    const word type = core().w(sys + 1);
    const V3 a = vec(sys + 3), e1 = vec(sys + 6), e2 = vec(sys + 9), e3 = vec(sys + 12);
    std::array<V3, 3> r{e1, e2, e3};
    if (type != 1) {
      if (ch[2] == 0) model_fatal(-901, type, 0);
      const V3 p = vec(coords + 3 * (core().w(e + 1) - 1));
      V3 v{p[0] - a[0], p[1] - a[1], p[2] - a[2]};
      bool defined = unit(v);
      if (type == 2) {
        V3 t = cross(e3, v);
        defined = unit(t) && defined;
        r = {cross(t, e3), t, e3};
      } else {
        const float ca = dot(v, e1), cb = dot(v, e2);
        V3 w{ca * e2[0] - cb * e1[0], ca * e2[1] - cb * e1[1], ca * e2[2] - cb * e1[2]};
        defined = unit(w) && defined;
        r = {v, w, cross(v, w)};
      }
      if (!defined) indefinite(core().w(e + 3), core().w(e + 4), core().w(sys));
    }
    std::array<word, 10> out{core().w(e)};
    for (int row = 0; row < 3; ++row)
      for (int col = 0; col < 3; ++col) out[static_cast<std::size_t>(1 + 3 * row + col)] = real_word(r[row][col]);
    DBWRIT(g.ROTB, out.data(), 10, 0);
  }
  DBWRIT(g.ROTB, nullptr, 0, 1);
  DBCLOS(g.ROTB, kCloseRewind);
}

namespace gp4 {

namespace {

// The element records of ROTB file 2 (ROTB open to write after file 1):
// per element with rotated nodes [c, element DOFs, NN, s, k, k positions]
// and k rotations of s words. Returns the record count.
word element_records(const std::vector<std::array<word, 10>>& rot, word boundary, word& longest) {
  const GP4CTL& g = gp4ctl();
  std::vector<word> firsts;
  for (const auto& r : rot) firsts.push_back(BITSHR(r[0], 10));
  const word ne = header_of(g.ECT)[0];
  DBOPEN(g.ECT, g.B2, kRead);
  std::array<word, 100> rec{};
  word iseq = -1, records = 0, warnings = 0;
  for (word c = 1; c <= ne; ++c) {
    read_ect_record(g.ECT, rec, c);
    if (rec[1] != iseq) {
      iseq = rec[1];
      ETYPDS(iseq, 1);
    }
    const ETYCOM& t = etycom();
    std::vector<std::pair<word, std::size_t>> hits;
    for (word k = 1; k <= t.NN && k <= rec[2]; ++k) {
      if (t.DOFMSK[static_cast<std::size_t>(k - 1)] == 0) continue;
      const word f = BITSHR(rec[static_cast<std::size_t>(5 + k)], 10);
      const auto it = std::ranges::lower_bound(firsts, f);
      if (it != firsts.end() && *it == f) hits.emplace_back(k, static_cast<std::size_t>(it - firsts.begin()));
    }
    if (hits.empty()) continue;
    const word s = t.IDIM == 4 ? 4 : 9;
    std::vector<word> out{c, t.NDOF, t.NN, s, static_cast<word>(hits.size())};
    for (const auto& h : hits) out.push_back(h.first);
    for (const auto& [k, i] : hits) {
      const auto& r = rot[i];
      if (s == 9) {
        out.insert(out.end(), r.begin() + 1, r.end());
        continue;
      }
      out.insert(out.end(), {r[1], r[2], r[4], r[5]});
      if (std::abs(std::abs(word_real(r[9])) - 1.0f) > 1.0E-5f && ++warnings <= 100)
        print_both(3, fline("('0*** USER WRANING MESSAGE 2347, BOUNDARY DIRECTION OF',I3,'-TH NODE OF ELEMENT',I8/"
                            "10X,'IS OUT OF X-Y (OR R-Z) PLANE.   BOUNDARY ID =',I6)",
                            {k, rec[0], boundary}));
    }
    DBWRIT(g.ROTB, out.data(), static_cast<word>(out.size()), 1);
    longest = std::max(longest, static_cast<word>(out.size()));
    ++records;
  }
  DBCLOS(g.ECT, kCloseRewind);
  return records;
}

}  // namespace

void rotations(NodeEntries& entries, word boundary) {
  const GP4CTL& g = gp4ctl();
  if (entries.empty()) {
    HDRPUT(g.ROTB, Header{});
    return;
  }
  entries.combine();
  const auto n = static_cast<word>(entries.size());
  const Header ch = header_of(g.CSTM), nh = header_of(g.NODC);
  const word at = g.IFREE, coords = at + 5 * n, systems = coords + (ch[2] != 0 ? 3 * std::max(nh[0], 0) : 0);
  const word end = systems + kSystemWords * std::max(ch[0], 0);
  if (end > g.B3) short_of_core(std::int64_t{end} + CORLFT(1) - g.B3, CORLFT(1));
  for (word i = 0; i < n; ++i)
    for (word k = 0; k < 5; ++k) core().w(at + 5 * i + k) = entries[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)];
  GP4ROT(at, n, coords, systems);

  // File 1 read back (10 words a node below the lowest buffer); file 2
  // written after it.
  if (std::int64_t{at} + 10 * std::int64_t{n} > g.B3) model_fatal(-4, name_word("ROTB"), CORLFT(1));
  std::vector<std::array<word, 10>> rot(static_cast<std::size_t>(n));
  DBOPEN(g.ROTB, g.B3, kRead);
  for (auto& r : rot) DBREAD(g.ROTB, r.data(), 10, 0);
  DBREAD(g.ROTB, nullptr, 0, 1);
  DBSKPF(g.ROTB, 1);
  DBCLOS(g.ROTB, kCloseNoRewind);
  DBOPEN(g.ROTB, g.B3, kWriteNoRewind);
  word longest = 0;
  const word records = element_records(rot, boundary, longest);
  if (records == 0) {
    DBCLOS(g.ROTB, kCloseUnload);
    return;
  }
  const std::array<word, 5> last{16777215, real_word(0.0f), real_word(0.0f), 0, 0};
  DBWRIT(g.ROTB, last.data(), 5, 1);
  DBCLOS(g.ROTB, kCloseRewind);
  HDRPUT(g.ROTB, Header{records, n, 0, 0, 0, longest});
}

}  // namespace gp4

}  // namespace zephsol
