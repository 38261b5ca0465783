// Constraint reduction MCE.
#include "zephsol/solve/mce.h"

#include <array>
#include <cstdint>
#include <span>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/mtxadd.h"
#include "zephsol/dbio/mtxmpy.h"
#include "zephsol/dbio/partn.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/solve/sdcmsg.h"

namespace zephsol {

namespace {

constexpr word kS301 = 301, kS302 = 302, kS303 = 303, kS304 = 304;
constexpr word kDependent = 1, kPrescribed = 2, kInactiveFree = 8;

struct Reduction {
  word uset = 0, kgg = 0, gst = 0, kll = 0, kss = 0, gkfs = 0;
  word ng = 0, no = 0, nn = 0;
  // Both only with an n set: without one, every part but K_oo is empty.
  bool dependent = false;  // some DOF depends on others through GST
  bool inactive = false;   // some free DOF lies on no active element
  word form = 0;           // KGG's form, kept by KLL
  word work = 0;           // first word of the matrix operations' area
  word buffer = 0;         // the USET buffer
};

MCB control_block(word file) {
  MCB m{};
  m.file = file;
  HDRGET(file, m.header());
  return m;
}

word work_size(const Reduction& r) { return CORLFT(r.work); }

// The USET record into words 1 .. nG.
std::span<word> read_sets(const Reduction& r) {
  const auto words = core().words(1, r.ng);
  DBOPEN(r.uset, r.buffer, kRead);
  DBREAD(r.uset, words.data(), r.ng, 1);
  DBCLOS(r.uset, kCloseRewind);
  return words;
}

// First partition vector, in place over the USET words: o-set DOFs -1, -2,
// ..., the others 1, 2, ...
std::span<const word> first_partition(const Reduction& r) {
  const auto pv = read_sets(r);
  word o = 0, n = 0;
  for (word& w : pv) w = (w & (kDependent | kPrescribed)) != 0 ? -++o : ++n;
  if (o != r.no) solve_fatal(811, -o, r.no);
  return pv;
}

// Second partition vector over the n set only, in place: bit-8 DOFs -1, -2,
// ..., the others 1, 2, ...; returns the bit-8 count.
word second_partition(const Reduction& r, std::span<const word>& pv) {
  const auto words = read_sets(r);
  word met = 0, dropped = 0, kept = 0;
  for (word i = 0; i < r.ng; ++i) {
    const word w = words[static_cast<std::size_t>(i)];
    if ((w & (kDependent | kPrescribed)) != 0) continue;
    words[static_cast<std::size_t>(met++)] = (w & kInactiveFree) != 0 ? -++dropped : ++kept;
  }
  if (met != r.nn) solve_fatal(812, met, r.nn);
  pv = words.first(static_cast<std::size_t>(r.nn));
  return dropped;
}

// The parts of the first split: K_oo, K_no, K_on and K_nn.
struct Parts {
  MCB oo, no, on, nn;
};

Parts split_constrained(const Reduction& r) {
  const auto pv = first_partition(r);
  PRTCTL& pc = prtctl();
  pc = PRTCTL{};
  pc.A = control_block(r.kgg);
  pc.A11.file = r.kss;
  pc.A21.file = r.dependent ? kS303 : r.gkfs;
  pc.A12.file = r.dependent ? kS302 : 0;
  pc.A22.file = r.dependent ? kS304 : r.inactive ? kS301 : r.kll;
  MTXPT4(pv, r.no, r.nn, r.work, work_size(r));
  HDRPUT(pc.A11.file, pc.A11.header());
  HDRPUT(pc.A21.file, pc.A21.header());
  HDRPUT(pc.A22.file, pc.A22.header());
  return {pc.A11, pc.A21, pc.A12, pc.A22};
}

// D = A B + C (MTXMP2) or D = A B^T + C (MTXMPS) into data block d, of the
// system precision; c.file 0 for no C.
MCB multiply_add(const Reduction& r, const MCB& a, const MCB& b, const MCB& c, word d, bool transposed_b) {
  MPYCTL& m = mpyctl();
  m = MPYCTL{};
  m.A = a;
  m.B = b;
  m.C = c;
  m.D.file = d;
  m.D.type = sysw().IPREC;
  m.sign_ab = 1;
  m.sign_c = 1;
  m.scratch = kS301;
  if (transposed_b)
    MTXMPS(r.work, work_size(r));
  else
    MTXMP2(r.work, work_size(r));
  return m.D;
}

// With dependent DOFs: GKFS = G K_oo + K_no and the reduced n x n matrix
// K_nn + G K_on + GKFS G^T into data block t.
MCB eliminate_dependent(const Reduction& r, const Parts& p, word t) {
  const MCB g = control_block(r.gst);
  MCB gkfs = multiply_add(r, g, p.oo, p.no, r.gkfs, false);
  HDRPUT(r.gkfs, gkfs.header());
  const MCB gkon = multiply_add(r, g, p.on, MCB{}, kS303, false);
  const MCB product = multiply_add(r, gkfs, g, gkon, kS302, true);

  ADDCTL& ac = addctl();
  ac = ADDCTL{};
  ac.A = p.nn;
  ac.B = product;
  ac.S.file = t;
  ac.alpha_type = ac.beta_type = 1;
  set_addctl_scalar(1, ac.alpha, 1.0);
  set_addctl_scalar(1, ac.beta, 1.0);
  MTXADD(r.work, work_size(r));
  ac.S.form = r.form;
  HDRPUT(t, ac.S.header());
  return ac.S;
}

// KLL from the n x n matrix without the rows and columns of the bit-8 DOFs.
void drop_inactive(const Reduction& r, const MCB& knn) {
  std::span<const word> pv;
  const word dropped = second_partition(r, pv);
  PRTCTL& pc = prtctl();
  pc = PRTCTL{};
  pc.A = knn;
  pc.A22.file = r.kll;
  MTXPT4(pv, dropped, r.nn - dropped, r.work, work_size(r));
  HDRPUT(r.kll, pc.A22.header());
}

void release(word file) { DBUNLD(dbst_index(file)); }

}  // namespace

void MCE(word USET, word KGG, word GST, word KLL, word KSS, word GKFS) {
  MODBGN("MCE     ");
  Reduction r{USET, KGG, GST, KLL, KSS, GKFS};
  std::array<word, 6> h{};
  HDRGET(USET, h);
  r.ng = h[0];
  r.no = h[3];
  r.nn = r.ng - r.no;
  r.dependent = (h[5] & kDependent) != 0 && r.no > 0 && r.nn > 0;
  r.inactive = (h[5] & kInactiveFree) != 0 && r.nn > 0;
  HDRGET(KGG, h);
  r.form = h[2];
  if (r.ng < 1) return;

  // The partition vector below the matrix work area; the USET buffer on top.
  const std::int64_t work = std::int64_t{r.ng} + 1 + (sysw().IPREC == 2 && r.ng % 2 != 0 ? 1 : 0);
  const word available = CORLFT(1);
  const std::int64_t buffer = std::int64_t{available} + 1 - sysw().NBUFSZ;
  if (buffer < work) solve_fatal(3, message_word(available + (work - buffer)), available);
  r.work = static_cast<word>(work);
  r.buffer = static_cast<word>(buffer);

  const Parts p = split_constrained(r);
  const MCB knn = r.dependent ? eliminate_dependent(r, p, r.inactive ? kS301 : r.kll) : p.nn;
  if (r.inactive) drop_inactive(r, knn);
  if (r.dependent)
    for (word s : {kS301, kS302, kS303, kS304}) release(s);
  else if (r.inactive)
    release(kS301);
}

}  // namespace zephsol
