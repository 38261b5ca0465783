// xdslom: the ordering phase. Nested dissection of the compressed graph,
// expanded to the equations; elimination tree, column counts, supernodes,
// amalgamation, stack order and final numbering; statistics and the work
// space of the later phases.
//
// Kept for the symbolic phase, back to back from word (61) + xisl2d(2z):
// new-to-old permutation (word 62), old-to-new (63), supernode partition
// (64), number of assemblies (65), supernodal index pointers (66).
#include <algorithm>
#include <cstring>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/sparse/entry.h"
#include "zephsol/sparse/etree.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/hherr.h"
#include "zephsol/sparse/metis4.h"
#include "zephsol/sparse/sorts.h"
#include "zephsol/sparse/sparse.h"
#include "zephsol/sparse/state.h"
#include "zephsol/sparse/stats.h"
#include "zephsol/sparse/util.h"

namespace zephsol::sparse {

// The graph of the compressed nodes: xadj(k) the structure pointer of
// node k's representative, adjncy the structure list in node numbers (in
// place), vertex weights the group sizes.
void xdslcg(i64 n, i64 c, const Groups& g, IVec sptr, IVec slist, IVec xadj, IVec vwgt) {
  for (i64 k = 1; k <= c; ++k) {
    xadj(k) = sptr(g.members(g.ptr(k)));
    vwgt(k) = g.ptr(k + 1) - g.ptr(k);
  }
  xadj(c + 1) = sptr(n + 1);
  for (i64 q = 1; q < sptr(n + 1); ++q) slist(q) = g.cmpmap(slist(q));
}

// Nested dissection of the compressed graph: perm new-to-old, iperm
// old-to-new. A failure of the partitioning library stops the run.
void xdslnd(i64 c, IVec xadj, IVec adjncy, IVec vwgt, IVec perm, IVec iperm) {
  if (OrderHook hook = library_state().order_hook) {
    hook(static_cast<i32>(c), xadj.data(), adjncy.data(), perm.data(), iperm.data());
    return;
  }
  const i32 options[1] = {0};
  const OrderStatus st = metis4_node_wnd(static_cast<i32>(c), xadj.data(), adjncy.data(), vwgt.data(), 1, options,
                                         perm.data(), iperm.data());
  if (st == OrderStatus::Memory) sparse_stop({"xdslnd: not enough memory for the nested-dissection ordering"});
  if (st != OrderStatus::Ok) sparse_stop({"xdslnd: the nested-dissection ordering failed"});
}

// Expands the ordering of the compressed nodes: node perm(k) hands its
// members, in increasing order, the next positions.
void xdslxo(i64 c, const Groups& g, IVec perm, IVec out) {
  i32 next = 1;
  for (i64 k = 1; k <= c; ++k) {
    const i32 node = perm(k);
    for (i64 q = g.ptr(node); q < g.ptr(node + 1); ++q) out(g.members(q)) = next++;
  }
}

void xdslom(double* work, i32 lwork, i32& need, i32& ier) {
  double cpu0 = 0, wall0 = 0;
  xdsltb(cpu0, wall0);
  ier = 0;
  Call c(work, lwork, "xdslom");
  const Work& w = c.w;
  const i64 st = c.stage();
  if (st != stage::compressed && st != stage::ordered) {
    ier = err::order_stage;
    fatal(c, ier, 3, 0, stage_text("xdslom", st, "should be 10 or 20."));
    return;
  }
  banner(c, {"===============================", "= multifrontal ordering phase =", "==============================="});
  const i64 n = w.ictl(cw::neqns), ncomp = w.ictl(cw::ncomp), nzcomp = w.ictl(cw::nzcomp);
  const i64 N = xisl2d(n), N1 = xisl2d(n + 1), C1 = xisl2d(ncomp + 1), A = xisl2d(2 * nzcomp);
  const i64 lunit1 = w.ictl(cw::lunit1);
  const i64 P4 = w.ictl(cw::xadj), P5 = w.ictl(cw::adjncy);
  auto fail = [&](i32 code, i32 mode, i64 extra, const std::vector<std::string>& text) {
    ier = code;
    fatal(c, ier, mode, extra, text);
  };
  auto need_fail = [&](i64 words) { fail(err::order_space, 2, words, need_text("xdslom", words, lwork)); };
  auto io_fail = [&] { fail(err::order_io, 3, 0, io_text("xdslom", lunit1)); };
  WordLayout q(P5 + A);
  const i64 Q1 = q.take(N), Q2 = q.take(N), Q3 = q.take(N), Q4 = q.take(C1), Q5 = q.take(N), Q6 = q.take(N1),
            Q7 = q.take(N), Q8 = q.take(N), Q9 = q.take(N), Q10 = q.take(N);
  const i64 E0 = q.end();
  const bool in_core = lunit1 <= 0 || N1 + E0 + A < lwork;
  i64 hw = in_core ? E0 + N1 + A : E0;
  if (hw > lwork) return need_fail(hw);
  const Groups g{w.ints(w.ictl(cw::cptr), ncomp + 1), w.ints(w.ictl(cw::members), n), w.ints(w.ictl(cw::cmpmap), n),
                 w.ints(P4, n + 1), w.ints(P5, 2 * nzcomp)};
  if (c.msglvl >= 4) {
    xislpa("compressed row list", ncomp, g.ptr.data(), g.members.data(), c.msgunit);
    xislpr("cmpmap", n, g.cmpmap.data(), c.msgunit);
    xislpa("compressed adjacency structure", n, g.xadj.data(), g.adjncy.data(), c.msgunit);
  }
  i32 e = 0;
  if (lunit1 > 0) {
    xdslos(static_cast<i32>(lunit1), e);
    if (e != 0) return io_fail();
  }
  // The partitioning library may renumber its graph: it gets a copy of the
  // structure (in work, or the structure itself with a copy on lunit1).
  IVec sptr = g.xadj, slist = g.adjncy;
  const i32 u1 = static_cast<i32>(lunit1);
  auto save = [&] {
    xdslrw(u1, e);
    if (e == 0) xislwr(u1, n + 1, g.xadj.data(), e);
    if (e == 0 && nzcomp >= 1) xislwr(u1, 2 * nzcomp, g.adjncy.data(), e);
    return e == 0;
  };
  auto restore = [&] {
    xdslrw(u1, e);
    if (e == 0) xislrd(u1, n + 1, g.xadj.data(), e);
    if (e == 0 && nzcomp >= 1) xislrd(u1, 2 * nzcomp, g.adjncy.data(), e);
    w.set(cw::moved1, w.ctl(cw::moved1) + static_cast<double>(N1 + A));
    return e == 0;
  };
  if (in_core) {
    sptr = w.ints(E0 + 1, n + 1);
    slist = w.ints(E0 + 1 + N1, 2 * nzcomp);
    std::memcpy(sptr.data(), g.xadj.data(), static_cast<std::size_t>(n + 1) * 4);
    std::memcpy(slist.data(), g.adjncy.data(), static_cast<std::size_t>(2 * nzcomp) * 4);
  } else {
    if (!save()) return io_fail();
    w.set(cw::extent1, static_cast<double>(N1 + A));
    w.set(cw::moved1, static_cast<double>(N1 + A));
  }
  const IVec xadj = w.ints(Q6, ncomp + 1), vwgt = w.ints(Q7, ncomp), mperm = w.ints(Q8, ncomp),
             miperm = w.ints(Q9, ncomp), xo = w.ints(Q10, n);
  xdslcg(n, ncomp, g, sptr, slist, xadj, vwgt);
  if (c.msglvl >= 4) {
    xislpr("compressed xadj", ncomp + 1, xadj.data(), c.msgunit);
    xislpr("compressed adjncy", 2 * nzcomp, slist.data(), c.msgunit);
    xislpr("vertex weights", ncomp, vwgt.data(), c.msgunit);
  }
  xdslnd(ncomp, xadj, slist, vwgt, mperm, miperm);
  if (c.msglvl >= 4) {
    xislpr("metis new-to-old permutation array", ncomp, mperm.data(), c.msgunit);
    xislpr("metis old-to-new permutation array", ncomp, miperm.data(), c.msgunit);
  }
  xdslxo(ncomp, g, mperm, xo);
  if (c.msglvl >= 4) xislpr("expanded old-to-new permutation array", n, xo.data(), c.msgunit);
  if (!in_core && !restore()) return io_fail();
  // Elimination tree, column counts, fundamental supernodes.
  const IVec perm = w.ints(Q1, n), cnt = w.ints(Q3, n);
  i64 ns = 0;
  const i32 r = xdslet(n, xo, g, w.ints(Q5, n), perm, ns, w.ints(Q4, ncomp + 1), cnt, w.ints(Q2, n), w.ints(Q6, n),
                       w.ints(Q7, n), w.ints(Q8, n), w.ints(Q9, n));
  if (r != 0) {
    const std::string first = " *** subroutine xdslom encountered bad user supplied ordering.";
    if (r == -1) return fail(err::order_range, 3, 0, {first, "an entry is out of range or not unique."});
    return fail(err::order_repeated, 3, 0, {first, "entries are not unique."});
  }
  const IVec part = w.ints(Q4, ns + 1), sparent = w.ints(Q2, ns);
  if (c.msglvl >= 2) {
    unit_write_line(c.msgunit, "");
    count_line(c, "number of super nodes                   = ", ns);
  }
  if (c.msglvl >= 4) {
    xislpr("old-to-new permutation array", n, w.ints(Q5, n).data(), c.msgunit);
    xislpr("new-to-old permutation array", n, perm.data(), c.msgunit);
    xislpr("supernodal pointer array", ns + 1, part.data(), c.msgunit);
    xislpr("supernode parent array", ns, sparent.data(), c.msgunit);
    xislpr("factor column nonzero counts", n, cnt.data(), c.msgunit);
  }
  if (!in_core && !restore()) return io_fail();
  // A step runs only when its arrays end within lwork.
  auto fits = [&](i64 end) {
    hw = std::max(hw, end);
    return end <= lwork;
  };
  // Supernode tree.
  const i64 S = xisl2d(ns);
  WordLayout t(Q4 + xisl2d(ns + 1));
  const i64 Tfson = t.take(S), Tbro = t.take(S), Tnpar = t.take(N), Tnlist = t.take(N), Tsize = t.take(S),
            Tupd = t.take(S), Tfront = t.take(S), Tsons = t.take(S);
  if (!fits(t.end())) return need_fail(t.end());
  const IVec fson = w.ints(Tfson, ns), bro = w.ints(Tbro, ns), nparent = w.ints(Tnpar, n), nlist = w.ints(Tnlist, n),
             size = w.ints(Tsize, ns), upd = w.ints(Tupd, ns), front = w.ints(Tfront, ns), coal = w.ints(Tsons, ns);
  i64 maxsons = 0;
  xdslst(ns, n, sparent, part, cnt, fson, bro, nparent, nlist, size, upd, front, maxsons, coal);
  if (c.msglvl >= 2) count_line(c, "maximum number of sons                  = ", maxsons);
  if (c.msglvl >= 4) {
    xislpr("first son vector", ns, fson.data(), c.msgunit);
    xislpr("brother vector", ns, bro.data(), c.msgunit);
    xislpr("nodal tree parent vector", n, nparent.data(), c.msgunit);
    xislpr("supernode node list vector", n, nlist.data(), c.msgunit);
    xislpr("supernode sizes", ns, size.data(), c.msgunit);
    xislpr("update matrix sizes", ns, upd.data(), c.msgunit);
    xislpr("frontal matrix sizes", ns, front.data(), c.msgunit);
  }
  // Amalgamation.
  const i64 Tzer = t.take(S), Ttail = t.take(S), Tlast = t.take(S);
  if (!fits(t.end())) return need_fail(t.end());
  const i64 maxzer = std::max<i64>(0, w.ictl(cw::maxzer));
  i64 count = ns;
  xdslam(count, sparent, fson, bro, ns, size, upd, front, maxzer, w.ints(Tzer, ns), coal, w.ints(Ttail, ns),
         w.ints(Tlast, ns));
  if (c.msglvl >= 2) {
    count_line(c, "new number of supernodes                = ", count);
    count_line(c, "root of supernodal elimination tree     = ", ns);
  }
  if (c.msglvl >= 4) {
    xislpr("supernode size vector", ns, size.data(), c.msgunit);
    xislpr("size of update matrices", ns, upd.data(), c.msgunit);
    xislpr("size of frontal matrices", ns, front.data(), c.msgunit);
    xislpr("number of zeroes in the front matrices", ns, w.ints(Tzer, ns).data(), c.msgunit);
    xislpr("coalescing linked lists", ns, coal.data(), c.msgunit);
  }
  // New partition and its tree.
  const i64 D0 = xisl2d(count), D1 = xisl2d(count + 1);
  WordLayout np(Tzer);
  const i64 Npart = np.take(D1), Nlist = np.take(N), Nsnode = np.take(N);
  if (!fits(np.end())) return need_fail(np.end());
  const IVec newpart = w.ints(Npart, count + 1), newlist = w.ints(Nlist, n);
  xdslnp(ns, sparent, fson, bro, ns, size, coal, count, part, nlist, newpart, newlist);
  const IVec nparent_s = w.ints(Q2, count), nfson = w.ints(Tfson, count), nbro = w.ints(Tbro, count);
  const Forest forest = xdsltr(n, nparent, count, newpart, newlist, w.ints(Nsnode, n), nparent_s, nfson, nbro);
  if (c.msglvl >= 2) {
    count_line(c, "number of trees in the forest           = ", forest.trees);
    count_line(c, "depth of supernode elimination forest   = ", forest.depth);
    count_line(c, "maximum number of sons                  = ", forest.maxsons);
    count_line(c, "root of supernode elimination forest    = ", forest.root);
  }
  if (c.msglvl >= 4) {
    xislpr("new supernode parent vector", count, nparent_s.data(), c.msgunit);
    xislpr("new first son vector", count, nfson.data(), c.msgunit);
    xislpr("new brother vector", count, nbro.data(), c.msgunit);
  }
  // Statistics of the new partition: sizes by supernode, K from the
  // count of each supernode's last position.
  const IVec ksize = w.ints(Nsnode, count), nsons = w.ints(Nsnode + D0, count);
  if (!fits(Nsnode + 2 * D0 - 1)) return need_fail(Nsnode + 2 * D0 - 1);
  for (i64 s = 1; s <= count; ++s) {
    ksize(s) = cnt(newlist(newpart(s + 1) - 1));
    i32 k = 0;
    for (i32 u = nfson(s); u != 0; u = nbro(u)) ++k;
    nsons(s) = k;
  }
  OrderStats os;
  os.nnz = w.ictl(cw::nnz);
  IVec usize = w.ints(Tupd, count), fsize = w.ints(Tfront, count);
  xdslcs(n, count, newpart, ksize, fsize, usize, os);
  if (c.msglvl >= 4) {
    xislpr("size of frontal matrices", count, fsize.data(), c.msgunit);
    xislpr("size of update matrices", count, usize.data(), c.msgunit);
    xislpr("integer storage sizes", count, ksize.data(), c.msgunit);
  }
  // Packing behind the new parents: first son, brother, update sizes,
  // front sizes, partition, node list, integer sizes.
  WordLayout pk(Q2 + D0);
  const i64 Kfson = pk.take(D0), Kbro = pk.take(D0), Kusize = pk.take(D0), Kfsize = pk.take(D0),
            Kpart = pk.take(D1), Klist = pk.take(N), Kk = pk.take(D0);
  move_ints(w, Tfson, Kfson, count);
  move_ints(w, Tbro, Kbro, count);
  move_ints(w, Tupd, Kusize, count);
  move_ints(w, Tfront, Kfsize, count);
  move_ints(w, Npart, Kpart, count + 1);
  move_ints(w, Nlist, Klist, n);
  move_ints(w, Nsnode, Kk, count);
  const IVec pfson = w.ints(Kfson, count), pbro = w.ints(Kbro, count), ppart = w.ints(Kpart, count + 1),
             plist = w.ints(Klist, n), pk_k = w.ints(Kk, count);
  // Stack order.
  const i64 M = xisl2d(forest.maxsons);
  WordLayout so(Kk + D0);
  const i64 Skeys = so.take(M), Ssons = so.take(M), Sreal = so.take(count), Sint = so.take(D0);
  if (!fits(so.end())) return need_fail(so.end());
  const StackPeaks peaks = xdslso(count, nparent_s, pfson, pbro, forest.root, ppart, pk_k, w.ints(Skeys, forest.maxsons),
                                  w.ints(Ssons, forest.maxsons), w.dbl(Sreal, count), w.ints(Sint, count));
  if (c.msglvl >= 2) {
    count_line(c, "real stack storage                      = ", peaks.real);
    count_line(c, "integer stack storage                   = ", peaks.integer);
  }
  // Final numbering.
  WordLayout fn(Kk + D0);
  const i64 Fassem = fn.take(D0), Fptr = fn.take(D1), Fs1 = fn.take(N), Fs2 = fn.take(N);
  if (!fits(fn.end())) return need_fail(fn.end());
  const FinalCounts fc = xdslfp(n, count, ppart, plist, perm, nparent_s, pfson, pbro, forest.root,
                                w.ints(Fassem, count), pk_k, w.ints(Fptr, count + 1), w.ints(Fs1, n), w.ints(Fs2, n), g);
  const i64 mstack = fc.mstack + forest.trees - 1;
  if (c.msglvl >= 2) {
    count_line(c, "maximum number of entries in the stack  = ", mstack);
    count_line(c, "maximum number of merges                = ", fc.merges);
  }
  if (c.msglvl >= 3) {
    xislpr("number of assemblies", count, w.ints(Fassem, count).data(), c.msgunit);
    xislpr("new permutation vector", n, perm.data(), c.msgunit);
    xislpr("symbolic factorization pointers", count + 1, w.ints(Fptr, count + 1).data(), c.msgunit);
    xislpr("new supernode partition", count + 1, ppart.data(), c.msgunit);
  }
  const i64 built_end = Fptr + D1 - 1;
  // The kept arrays behind the new-to-old permutation: old-to-new,
  // partition, number of assemblies, index pointers.
  const i64 Kp3 = Q2 + N, Kp4 = Kp3 + D1, Kp5 = Kp4 + D0;
  move_ints(w, Kpart, Kp3, count + 1);
  move_ints(w, Fassem, Kp4, count);
  move_ints(w, Fptr, Kp5, count + 1);
  xislin(n, perm.data(), w.ints(Q2, n).data());
  if (c.msglvl >= 3) xislpr("new inverse permutation vector", n, w.ints(Q2, n).data(), c.msgunit);
  // Statistics, figures, control words.
  os.nsuper = count;
  os.snmson = forest.maxsons;
  os.mstack = mstack;
  os.stkstr = peaks.real;
  os.maxzer = maxzer;
  os.pvttol = w.ctl(cw::pvttol);
  os.ncomp = ncomp;
  os.nzcomp = nzcomp;
  os.fpnlsz = std::min(count_option(w, cw::panel, 128), os.maxsize);
  os.fupdsz = count_option(w, cw::updblk, 32);
  print_order_stats(c, os);
  w.set(cw::ops_factor, os.ops[0] + os.ops[2]);
  w.set(cw::ops_solve, os.ops[4] + os.ops[6]);
  w.set(cw::panel, static_cast<double>(os.fpnlsz));
  const Figures fig = xdslws(c, w.ctl(cw::mtype) == 2.0, n, lunit1, w.ictl(cw::lunit2), os);
  w.set(cw::maxzer_used, static_cast<double>(maxzer));
  w.set(cw::symneed, static_cast<double>(fig.symbolic));
  w.set(cw::nzlf, os.nzlf);
  w.set(cw::nsuper, static_cast<double>(count));
  w.set(cw::nsnind, static_cast<double>(os.nsnind));
  w.set(cw::mxnind, static_cast<double>(os.mxnind));
  w.set(cw::snmson, static_cast<double>(os.snmson));
  w.set(cw::mstack, static_cast<double>(os.mstack));
  w.set(cw::stkstr, static_cast<double>(os.stkstr));
  w.set(cw::mxtri, static_cast<double>(os.mxtri));
  w.set(cw::mfront, static_cast<double>(os.mfront));
  w.set(cw::mxtotf, static_cast<double>(os.mxtotf));
  w.set(cw::incore_need, static_cast<double>(fig.incore));
  w.set(cw::outcore_need, static_cast<double>(fig.outcore));
  w.set(cw::perm, static_cast<double>(Q1));
  w.set(cw::invp, static_cast<double>(Q2));
  w.set(cw::part, static_cast<double>(Kp3));
  w.set(cw::nassem, static_cast<double>(Kp4));
  w.set(cw::snptr, static_cast<double>(Kp5));
  w.set(cw::last, static_cast<double>(built_end));
  w.set(cw::need, static_cast<double>(fig.symbolic));
  w.set(cw::peak, std::max(w.ctl(cw::peak), static_cast<double>(hw)));
  w.set(cw::stage, stage::ordered);
  need = static_cast<i32>(std::min<i64>(fig.symbolic, INT32_MAX));
  double cpu = 0, wall = 0;
  xdslte(cpu0, wall0, cpu, wall);
  w.set(cw::cpu_order, cpu);
  w.set(cw::wall_order, wall);
  if (c.msglvl >= 1) {
    unit_write_line(c.msgunit, "");
    time_line(c, "cpu  time for reordering                = ", cpu);
    time_line(c, "wall time for reordering                = ", wall);
    count_line(c, "max. amount of storage used             = ", hw);
  }
}

}  // namespace zephsol::sparse
