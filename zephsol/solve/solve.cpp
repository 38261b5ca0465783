// Solve module SOLVE with the load split LDSPLT and the merge GVMERG.
#include "zephsol/solve/solve.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/mtxmpy.h"
#include "zephsol/dbio/partn.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/strings.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/solve/eqnode.h"
#include "zephsol/solve/fwbsub.h"
#include "zephsol/solve/sdcmsg.h"
#include "zephsol/solve/solve_records.h"
#include "zephsol/solve/spsolv.h"

namespace zephsol {

namespace {

constexpr word kDependent = 1, kPrescribed = 2, kInactiveFree = 8, kNSet = 64, kLSet = 256, kNoElement = 512;
constexpr word kPrescribedValues = 1 << 29, kOwnSystems = 1 << 30;
constexpr word kRotationWords = 10;

bool in_o_set(word w) { return (w & (kDependent | kPrescribed)) != 0; }

MCB control_block(word file) {
  MCB m{};
  if (file <= 0) return m;
  m.file = file;
  HDRGET(file, m.header());
  if (m.cols == 0 && m.rows == 0) m.file = 0;
  return m;
}

void release(word file) {
  if (file > 0) DBUNLD(dbst_index(file));
}

// The scratch data blocks 301 to 304, handed out as results need them.
class Scratch {
 public:
  word take() {
    for (std::size_t i = 0; i < used_.size(); ++i)
      if (!used_[i]) {
        used_[i] = true;
        return static_cast<word>(301 + i);
      }
    solve_fatal(5000, 301, 304);
  }
  // Gives a scratch part back (other data blocks are left alone).
  void drop(MCB& m) {
    if (m.file >= 301 && m.file <= 304 && used_[static_cast<std::size_t>(m.file - 301)]) {
      used_[static_cast<std::size_t>(m.file - 301)] = false;
      release(m.file);
    }
    m = MCB{};
  }
  // A scratch block its writer has already released.
  void forget(word file) {
    if (file >= 301 && file <= 304) used_[static_cast<std::size_t>(file - 301)] = false;
  }
  void release_all() {
    for (std::size_t i = 0; i < used_.size(); ++i) release(static_cast<word>(301 + i));
    used_.fill(false);
  }

 private:
  std::array<bool, 4> used_{};
};

// v' = R v (forward) or v = R^T v' over the DOFs of every rotated node: the
// upper-left 2 x 2 of R on each pair of a node of 2 or 4 DOFs, R on each
// whole triple of the node's DOFs otherwise.
void rotate(std::span<double> v, std::span<const word> rotations, bool forward) {
  for (std::size_t e = 0; e + kRotationWords <= rotations.size(); e += kRotationWords) {
    const word node = rotations[e];
    const auto first = static_cast<std::size_t>(static_cast<std::uint32_t>(node) >> 10);
    const word d = node & 0xFF;
    if (d <= 1 || first < 1) continue;
    std::array<double, 9> r{};
    for (std::size_t k = 0; k < 9; ++k) r[k] = word_real(rotations[e + 1 + k]);
    const auto at = [&](std::size_t i, std::size_t j) { return forward ? r[3 * i + j] : r[3 * j + i]; };
    const std::size_t size = (d == 2 || d == 4) ? 2 : 3;
    const std::size_t blocks = size == 2 ? static_cast<std::size_t>(d + 1) / 2 : static_cast<std::size_t>(d) / 3;
    for (std::size_t b = 0; b < blocks; ++b) {
      const std::size_t i0 = first - 1 + b * size;
      if (i0 + size > v.size()) break;
      std::array<double, 3> x{}, y{};
      for (std::size_t i = 0; i < size; ++i) x[i] = v[i0 + i];
      for (std::size_t i = 0; i < size; ++i)
        for (std::size_t j = 0; j < size; ++j) y[i] += at(i, j) * x[j];
      for (std::size_t i = 0; i < size; ++i) v[i0 + i] = y[i];
    }
  }
}

// Writes the terms of v whose DOF is (or is not) in the o set as the next
// column of part, rows counted within the set.
void put_part(MCB& part, std::span<const double> v, std::span<const word> sets, bool o_set) {
  SCB& s = shared_scb(1);
  COLBEG(part, sysw().IPREC, s);
  word row = 0;
  for (std::size_t g = 0; g < v.size(); ++g) {
    if (in_o_set(sets[g]) != o_set) continue;
    ++row;
    if (v[g] != 0.0) COLTRM(v[g], row, s);
  }
  COLEND(part, s);
}

void put_empty(MCB& part) {
  SCB& s = shared_scb(1);
  COLBEG(part, sysw().IPREC, s);
  COLEND(part, s);
}

// Closes a part written by the split or merge and completes its header;
// a part without terms is released and its number set to 0.
void finish_part(MCB& m, bool keep_empty) {
  const std::int64_t terms = m.density;
  DBCLOS(m.file, kCloseRewind);
  if (terms == 0 && !keep_empty) {
    release(m.file);
    m = MCB{};
    return;
  }
  m.density = static_cast<word>(std::trunc(double(terms) / (double(m.rows) * double(std::max<word>(m.cols, 1))) * 10000.0));
  HDRPUT(m.file, m.header());
}

void start_part(MCB& m, word rows) {
  m.cols = 0;
  m.rows = rows;
  m.form = kRectangular;
  m.type = sysw().IPREC;
  m.maxcol = 0;
  m.density = 0;
}

// Adds the terms of the next column of an open part to v at the positions
// its map gives (0: not placed).
void scatter_column(const MCB& part, std::span<const word> map, std::span<double> v) {
  SCB& s = shared_scb(2);
  s.file = part.file;
  s.type = part.type;
  s.flag = 1;
  for (NXTSTR(s); s.flag == 0; NXTSTR(s))
    for (word i = 0; i < s.room; ++i) {
      const auto r = static_cast<std::size_t>(s.row - 1 + i);
      if (r >= map.size()) solve_fatal(701, s.row + i, static_cast<word>(map.size()));
      const word g = map[r];
      if (g > 0) v[static_cast<std::size_t>(g - 1)] = string_term(part.type, s.slot, i);
    }
}

// ---- The module's layout and its steps ----

struct Layout {
  word ng = 0, no = 0, nn = 0;
  word flags = 0;
  word vec = 0;      // first word of the vector area (odd)
  word rot = 0;      // first word of the rotation list
  word nrot = 0;     // rotated nodes
  std::array<word, 3> buffer{};
  word work() const { return vec; }
  word work_size() const { return buffer[2] - vec; }
  std::span<double> vector() const { return core().doubles(vec, ng); }
  std::span<word> rotations() const { return core().words(rot, std::int64_t{nrot} * kRotationWords); }
};

Layout lay_out(word USET, word ROTB) {
  Layout L;
  std::array<word, 6> h{};
  HDRGET(USET, h);
  L.ng = h[0];
  L.no = h[3];
  L.nn = L.ng - L.no;
  L.flags = h[5];
  if ((L.flags & kOwnSystems) != 0 && ROTB > 0) {
    std::array<word, 6> r{};
    HDRGET(ROTB, r);
    L.nrot = std::max<word>(r[1], 0);
  }
  const std::int64_t available = CORLFT(1);
  const std::int64_t nbuf = sysw().NBUFSZ;
  const std::int64_t vec = L.ng % 2 == 0 ? std::int64_t{L.ng} + 1 : std::int64_t{L.ng} + 2;
  const std::int64_t rot = vec + 2 * std::int64_t{L.ng};
  const std::int64_t end = rot + kRotationWords * std::int64_t{L.nrot};
  const std::int64_t lowest = available + 1 - 3 * nbuf;
  if (end > lowest) solve_fatal(3, message_word(end - 1 + 3 * nbuf), message_word(available));
  L.vec = static_cast<word>(vec);
  L.rot = static_cast<word>(rot);
  for (std::size_t b = 0; b < 3; ++b) L.buffer[b] = static_cast<word>(available + 1 - nbuf * std::int64_t(b + 1));
  return L;
}

std::vector<word> read_sets(word USET, const Layout& L) {
  std::vector<word> sets(static_cast<std::size_t>(L.ng));
  DBOPEN(USET, L.buffer[0], kRead);
  DBREAD(USET, sets.data(), L.ng, 1);
  DBCLOS(USET, kCloseRewind);
  return sets;
}

void read_rotations(word ROTB, const Layout& L) {
  if (L.nrot == 0) return;
  DBOPEN(ROTB, L.buffer[0], kRead);
  DBREAD(ROTB, L.rotations().data(), L.nrot * kRotationWords, 1);
  DBCLOS(ROTB, kCloseRewind);
}

// D = sab op(A) B + sc C into a free scratch block; op(A) = A^T when
// transposed. A or B absent: D = sc C; nothing at all: absent.
MCB product(const Layout& L, Scratch& scratch, const MCB& a, const MCB& b, const MCB& c, word sab, word sc,
            bool transposed = false) {
  const bool with_product = a.file != 0 && b.file != 0;
  if (!with_product && c.file == 0) return MCB{};
  MPYCTL& m = mpyctl();
  m = MPYCTL{};
  m.A = with_product ? a : MCB{};
  m.B = with_product ? b : MCB{};
  m.C = c;
  m.D.file = scratch.take();
  m.D.type = sysw().IPREC;
  m.transpose = transposed ? 1 : 0;
  m.sign_ab = sab;
  m.sign_c = sc;
  MTXMPY(L.work(), L.work_size());
  HDRPUT(m.D.file, m.D.header());
  return m.D;
}

// The rows of the n set that the L set keeps: an L DOF gets its running L
// number, a bit-8 DOF 0.
std::vector<word> l_rows(const std::vector<word>& sets, word& nl) {
  std::vector<word> pv;
  nl = 0;
  for (word w : sets)
    if (!in_o_set(w)) pv.push_back((w & kInactiveFree) != 0 ? 0 : ++nl);
  return pv;
}

// P_L: the L rows of P_n (P_n itself without bit-8 DOFs); absent without terms.
MCB l_part(const Layout& L, Scratch& scratch, const std::vector<word>& sets, MCB& pn, word& nl) {
  if ((L.flags & kInactiveFree) == 0) {
    nl = L.nn;
    return pn;
  }
  const std::vector<word> pv = l_rows(sets, nl);
  PRTCTL& pc = prtctl();
  pc = PRTCTL{};
  pc.A = pn;
  pc.A11.file = scratch.take();
  MTXPT2(pv, L.nn, nl, 0, L.work(), L.work_size());
  MCB pl = pc.A11;
  scratch.drop(pn);
  if (pl.maxcol == 0) {
    scratch.drop(pl);
    return MCB{};
  }
  HDRPUT(pl.file, pl.header());
  return pl;
}

// K u_L = P_L by the chosen method.
MCB solve_l(const Layout& L, Scratch& scratch, word K, const MCB& pl, word method, const SolverWork& solwrk) {
  SOLBLK& sb = solblk();
  sb = SOLBLK{};
  sb.factor = control_block(K);
  sb.factor.file = K;
  sb.rhs = pl;
  sb.solution.file = scratch.take();
  sb.solution.type = sysw().IPREC;
  sb.sign = 1;
  if (method == kProfileMethod) {
    FWBSUB(L.vec, CORLFT(L.vec));
  } else {
    const word mb = method == kPcgMethod ? sysw().PMEM : sysw().MMEM;
    if (mb < 1 || solwrk.words < 1)
      SPSOLV(L.vec, CORLFT(L.vec), method);
    else
      SPSOLV(solwrk.first, solwrk.words, method);
  }
  HDRPUT(sb.solution.file, sb.solution.header());
  return sb.solution;
}

// u_n from u_L: zero rows for the bit-8 DOFs.
MCB expand_l(const Layout& L, Scratch& scratch, const std::vector<word>& sets, MCB& ul, word nl) {
  if ((L.flags & kInactiveFree) == 0) return ul;
  std::vector<word> map;
  word met = 0;
  for (word w : sets) {
    if (in_o_set(w)) continue;
    ++met;
    if ((w & kInactiveFree) == 0) map.push_back(met);
  }
  if (static_cast<word>(map.size()) != nl) solve_fatal(903, static_cast<word>(map.size()), nl);
  if (met != L.nn) solve_fatal(904, met, L.nn);
  PRTCTL& pc = prtctl();
  pc = PRTCTL{};
  pc.A.file = scratch.take();
  pc.A11 = ul;
  MTXMRG(map, {}, L.nn, nl, 0, L.work(), L.work_size());
  MCB un = pc.A;
  HDRPUT(un.file, un.header());
  scratch.drop(ul);
  return un;
}

// The merge maps: G positions of the o-set DOFs, then of the n-set DOFs; a
// DOF on no active element gets 0.
void merge_maps(const Layout& L, const std::vector<word>& sets, std::vector<word>& omap, std::vector<word>& nmap) {
  omap.clear();
  nmap.clear();
  for (std::size_t g = 0; g < sets.size(); ++g) {
    const word at = (sets[g] & kNoElement) != 0 ? 0 : static_cast<word>(g + 1);
    (in_o_set(sets[g]) ? omap : nmap).push_back(at);
  }
  const auto o = static_cast<word>(omap.size()), n = static_cast<word>(nmap.size());
  if (o != L.no) solve_fatal(821, o, L.no);
  if (o + n != L.ng) solve_fatal(822, o, n);
}

}  // namespace

void LDSPLT(MCB& p, MCB& po, MCB& pn, std::span<const word> sets, std::span<double> v,
            std::span<const word> rotations, std::span<const word, 3> buffers) {
  const auto ng = static_cast<word>(sets.size());
  if (p.rows != ng) solve_fatal(701, p.rows, ng);
  const auto no = static_cast<word>(std::count_if(sets.begin(), sets.end(), in_o_set));
  start_part(po, no);
  start_part(pn, ng - no);
  DBOPEN(p.file, buffers[0], kRead);
  DBOPEN(po.file, buffers[1], kWrite);
  DBOPEN(pn.file, buffers[2], kWrite);
  for (word c = 1; c <= p.cols; ++c) {
    std::fill(v.begin(), v.end(), 0.0);
    word first = 1, last = ng, empty = 0;
    COLGET(p, 2, v.data(), first, last, empty);
    if (empty != 0) {
      put_empty(po);
      put_empty(pn);
      continue;
    }
    rotate(v, rotations, true);
    put_part(po, v, sets, true);
    put_part(pn, v, sets, false);
  }
  DBCLOS(p.file, kCloseRewind);
  finish_part(po, false);
  finish_part(pn, false);
}

void GVMERG(MCB& o, MCB& n, MCB& out, std::span<const word> omap, std::span<const word> nmap, std::span<double> v,
            std::span<const word> rotations, word columns, std::span<const word, 3> buffers) {
  const auto ng = static_cast<word>(v.size());
  if (n.file != 0) {
    if (n.type != sysw().IPREC) solve_fatal(3053, name_word("UF  "), n.type);
    columns = n.cols;
  }
  start_part(out, ng);
  DBOPEN(out.file, buffers[0], kWrite);
  if (o.file != 0) DBOPEN(o.file, buffers[1], kRead);
  if (n.file != 0) DBOPEN(n.file, buffers[2], kRead);
  for (word c = 1; c <= columns; ++c) {
    std::fill(v.begin(), v.end(), 0.0);
    if (o.file != 0 && c <= o.cols) scatter_column(o, omap, v);
    if (n.file != 0) scatter_column(n, nmap, v);
    COLPUT(out, sysw().IPREC, v.data(), 1, ng);
    if (rotations.empty()) continue;
    rotate(v, rotations, false);
    COLPUT(out, sysw().IPREC, v.data(), 1, ng);
  }
  if (o.file != 0) DBCLOS(o.file, kCloseRewind);
  if (n.file != 0) DBCLOS(n.file, kCloseRewind);
  finish_part(out, true);
}

void SOLVE(word USET, word K, word P, word YS, word GST, word KSS, word GKFS, word ROTB, word DUG, word OQGV,
           word method, const SolverWork& solwrk) {
  MODBGN("SOLVE   ");
  const Layout L = lay_out(USET, ROTB);
  if (L.ng < 1) return;
  const std::vector<word> sets = read_sets(USET, L);
  read_rotations(ROTB, L);
  Scratch scratch;

  const bool dependent = (L.flags & kDependent) != 0;
  const MCB ys = (L.flags & kPrescribedValues) != 0 ? control_block(YS) : MCB{};
  const MCB gst = dependent ? control_block(GST) : MCB{};
  const MCB gkfs = control_block(GKFS);

  // Loads split into the o and n sets.
  MCB p = control_block(P);
  p.file = P;
  const word so = scratch.take(), sn = scratch.take();
  MCB po{so}, pn{sn};
  LDSPLT(p, po, pn, sets, L.vector(), L.rotations(), L.buffer);
  if (po.file == 0) scratch.forget(so);
  if (pn.file == 0) scratch.forget(sn);

  // Free set: P_n - GKFS y_s + G P_o, solved on the L set.
  MCB un{};
  if ((L.flags & kNSet) != 0) {
    if (ys.file != 0) {
      MCB next = product(L, scratch, gkfs, ys, pn, -1, 1);
      scratch.drop(pn);
      pn = next;
    }
    if (dependent && po.file != 0) {
      MCB next = product(L, scratch, gst, po, pn, 1, 1);
      scratch.drop(pn);
      pn = next;
    }
    if ((L.flags & kLSet) != 0 && pn.file != 0) {
      word nl = 0;
      MCB pl = l_part(L, scratch, sets, pn, nl);
      if (pl.file != 0) {
        MCB ul = solve_l(L, scratch, K, pl, method, solwrk);
        scratch.drop(pl);
        un = expand_l(L, scratch, sets, ul, nl);
      }
    }
    scratch.drop(pn);
  }

  // Constrained set: u_o = G^T u_n + y_s.
  MCB uo = ys;
  if (dependent && un.file != 0) uo = product(L, scratch, gst, un, ys, 1, 1, true);

  // Forces of constraint: q_o = GKFS^T u_n - P_o + KSS y_s, q_n = -G q_o.
  MCB qo{}, qn{};
  if (OQGV > 0) {
    if (po.file != 0 || un.file != 0) {
      const MCB a = (L.flags & kNSet) != 0 && un.file != 0 ? gkfs : MCB{};
      qo = product(L, scratch, a, un, po, 1, -1, true);
    }
    scratch.drop(po);
    if (ys.file != 0) {
      MCB next = product(L, scratch, control_block(KSS), ys, qo, 1, 1);
      scratch.drop(qo);
      qo = next;
    }
    if (dependent && qo.file != 0) qn = product(L, scratch, gst, qo, MCB{}, -1, 1);
  }

  std::vector<word> omap, nmap;
  merge_maps(L, sets, omap, nmap);
  read_rotations(ROTB, L);
  MCB dug{DUG};
  GVMERG(uo, un, dug, omap, nmap, L.vector(), L.rotations(), p.cols, L.buffer);
  // Displacements and forces of constraint are stored as REAL words: a value
  // beyond them ends the step, as a NaN does.
  const word bad_u = dug.cols < 1 ? 0 : first_unstorable(L.vector());
  word bad_q = 0;
  if (OQGV > 0) {
    MCB oqgv{OQGV};
    GVMERG(qo, qn, oqgv, omap, nmap, L.vector(), {}, p.cols, L.buffer);
    bad_q = oqgv.cols < 1 ? 0 : first_unstorable(L.vector());
  }
  scratch.release_all();
  if (bad_u != 0)
    report_unstorable(5025, "DISPLACEMENT", bad_u, EQIX);
  else if (bad_q != 0)
    report_unstorable(5027, "FORCE", bad_q, EQIX);
}

}  // namespace zephsol
