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

namespace {

// A failure of the ordering phase: the code, and the words needed for a
// shortage of work.
struct Failure {
  i32 ier = 0;
  i64 words = 0;
};

void report(const Call& c, const Failure& f, i64 lwork, i64 lunit1) {
  const std::string first = " *** subroutine xdslom encountered bad user supplied ordering.";
  switch (f.ier) {
    case err::order_space:
      fatal(c, f.ier, 2, f.words, need_text("xdslom", f.words, lwork));
      break;
    case err::order_range:
      fatal(c, f.ier, 3, 0, {first, "an entry is out of range or not unique."});
      break;
    case err::order_repeated:
      fatal(c, f.ier, 3, 0, {first, "entries are not unique."});
      break;
    default:
      fatal(c, f.ier, 3, 0, io_text("xdslom", lunit1));
      break;
  }
}

// What the steps of one ordering share: the sizes, the layout of work
// (Q: the first arrays behind the compressed structure; T: the supernode
// tree; N: the new partition; K: the packed tree; F: the final numbering)
// and the results on the way.
struct Ordering {
  Ordering(const Call& call, i64 lw) : c(call), w(call.w), lwork(lw) {}
  const Call& c;
  const Work& w;
  i64 lwork;
  i64 n = 0, ncomp = 0, nzcomp = 0, N = 0, N1 = 0, A = 0, lunit1 = 0;
  i64 Q1 = 0, Q2 = 0, Q3 = 0, Q4 = 0, Q5 = 0, Q6 = 0, Q7 = 0, Q8 = 0, Q9 = 0, Q10 = 0, E0 = 0;
  bool in_core = true;
  i64 hw = 0;  // largest word used
  Groups g;
  IVec sptr, slist;  // the structure the partitioning library may renumber
  // Elimination tree and fundamental supernodes.
  i64 ns = 0;
  IVec perm, cnt, part, sparent;
  // Supernode tree and amalgamation.
  i64 Tfson = 0, Tbro = 0, Tupd = 0, Tfront = 0, Tzer = 0, maxsons = 0, maxzer = 0, count = 0;
  IVec fson, bro, nparent, nlist, size, upd, front, coal;
  // New partition and its tree.
  i64 D0 = 0, D1 = 0, Npart = 0, Nlist = 0, Nsnode = 0;
  IVec newpart, newlist, nparent_s, nfson, nbro;
  Forest forest;
  OrderStats os;
  // Packed tree, stack order, final numbering.
  i64 Kpart = 0, Kk = 0, Fassem = 0, Fptr = 0, mstack = 0, built_end = 0;
  IVec pfson, pbro, ppart, plist, pk_k;
  StackPeaks peaks;
  // The kept arrays: partition, number of assemblies, index pointers.
  i64 Kp3 = 0, Kp4 = 0, Kp5 = 0;

  // A step runs only when its arrays end within lwork.
  bool fits(i64 end) {
    hw = std::max(hw, end);
    return end <= lwork;
  }
  // The structure read back from lunit1 (its words counted as moved).
  bool restore() {
    const i32 u1 = static_cast<i32>(lunit1);
    i32 e = 0;
    xdslrw(u1, e);
    if (e == 0) xislrd(u1, n + 1, g.xadj.data(), e);
    if (e == 0 && nzcomp >= 1) xislrd(u1, 2 * nzcomp, g.adjncy.data(), e);
    w.set(cw::moved1, w.ctl(cw::moved1) + static_cast<double>(N1 + A));
    return e == 0;
  }
};

// The sizes, the first arrays and the compressed structure.
Failure lay_out(Ordering& o) {
  const Work& w = o.w;
  const i64 n = w.ictl(cw::neqns), ncomp = w.ictl(cw::ncomp), nzcomp = w.ictl(cw::nzcomp);
  o.n = n;
  o.ncomp = ncomp;
  o.nzcomp = nzcomp;
  o.N = xisl2d(n);
  o.N1 = xisl2d(n + 1);
  o.A = xisl2d(2 * nzcomp);
  o.lunit1 = w.ictl(cw::lunit1);
  const i64 P4 = w.ictl(cw::xadj), P5 = w.ictl(cw::adjncy), N = o.N, C1 = xisl2d(ncomp + 1);
  WordLayout q(P5 + o.A);
  o.Q1 = q.take(N);
  o.Q2 = q.take(N);
  o.Q3 = q.take(N);
  o.Q4 = q.take(C1);
  o.Q5 = q.take(N);
  o.Q6 = q.take(o.N1);
  o.Q7 = q.take(N);
  o.Q8 = q.take(N);
  o.Q9 = q.take(N);
  o.Q10 = q.take(N);
  o.E0 = q.end();
  o.in_core = o.lunit1 <= 0 || o.N1 + o.E0 + o.A < o.lwork;
  o.hw = o.in_core ? o.E0 + o.N1 + o.A : o.E0;
  if (o.hw > o.lwork) return {err::order_space, o.hw};
  o.g = Groups{w.ints(w.ictl(cw::cptr), ncomp + 1), w.ints(w.ictl(cw::members), n), w.ints(w.ictl(cw::cmpmap), n),
               w.ints(P4, n + 1), w.ints(P5, 2 * nzcomp)};
  const Call& c = o.c;
  if (c.msglvl >= 4) {
    xislpa("compressed row list", ncomp, o.g.ptr.data(), o.g.members.data(), c.msgunit);
    xislpr("cmpmap", n, o.g.cmpmap.data(), c.msgunit);
    xislpa("compressed adjacency structure", n, o.g.xadj.data(), o.g.adjncy.data(), c.msgunit);
  }
  return {};
}

// The partitioning library may renumber its graph: it gets a copy of the
// structure (in work, or the structure itself with a copy on lunit1).
Failure copy_structure(Ordering& o) {
  const Work& w = o.w;
  const i64 n = o.n, nzcomp = o.nzcomp;
  i32 e = 0;
  if (o.lunit1 > 0) {
    xdslos(static_cast<i32>(o.lunit1), e);
    if (e != 0) return {err::order_io};
  }
  o.sptr = o.g.xadj;
  o.slist = o.g.adjncy;
  if (o.in_core) {
    o.sptr = w.ints(o.E0 + 1, n + 1);
    o.slist = w.ints(o.E0 + 1 + o.N1, 2 * nzcomp);
    std::memcpy(o.sptr.data(), o.g.xadj.data(), static_cast<std::size_t>(n + 1) * 4);
    std::memcpy(o.slist.data(), o.g.adjncy.data(), static_cast<std::size_t>(2 * nzcomp) * 4);
    return {};
  }
  const i32 u1 = static_cast<i32>(o.lunit1);
  xdslrw(u1, e);
  if (e == 0) xislwr(u1, n + 1, o.g.xadj.data(), e);
  if (e == 0 && nzcomp >= 1) xislwr(u1, 2 * nzcomp, o.g.adjncy.data(), e);
  if (e != 0) return {err::order_io};
  w.set(cw::extent1, static_cast<double>(o.N1 + o.A));
  w.set(cw::moved1, static_cast<double>(o.N1 + o.A));
  return {};
}

// Nested dissection of the compressed graph, expanded to the equations.
Failure nested_dissection(Ordering& o) {
  const Work& w = o.w;
  const Call& c = o.c;
  const i64 n = o.n, ncomp = o.ncomp, nzcomp = o.nzcomp;
  const IVec xadj = w.ints(o.Q6, ncomp + 1), vwgt = w.ints(o.Q7, ncomp), mperm = w.ints(o.Q8, ncomp),
             miperm = w.ints(o.Q9, ncomp), xo = w.ints(o.Q10, n);
  xdslcg(n, ncomp, o.g, o.sptr, o.slist, xadj, vwgt);
  if (c.msglvl >= 4) {
    xislpr("compressed xadj", ncomp + 1, xadj.data(), c.msgunit);
    xislpr("compressed adjncy", 2 * nzcomp, o.slist.data(), c.msgunit);
    xislpr("vertex weights", ncomp, vwgt.data(), c.msgunit);
  }
  xdslnd(ncomp, xadj, o.slist, vwgt, mperm, miperm);
  if (c.msglvl >= 4) {
    xislpr("metis new-to-old permutation array", ncomp, mperm.data(), c.msgunit);
    xislpr("metis old-to-new permutation array", ncomp, miperm.data(), c.msgunit);
  }
  xdslxo(ncomp, o.g, mperm, xo);
  if (c.msglvl >= 4) xislpr("expanded old-to-new permutation array", n, xo.data(), c.msgunit);
  if (!o.in_core && !o.restore()) return {err::order_io};
  return {};
}

// Elimination tree, column counts, fundamental supernodes.
Failure elimination_tree(Ordering& o) {
  const Work& w = o.w;
  const Call& c = o.c;
  const i64 n = o.n;
  o.perm = w.ints(o.Q1, n);
  o.cnt = w.ints(o.Q3, n);
  const i32 r = xdslet(n, w.ints(o.Q10, n), o.g, w.ints(o.Q5, n), o.perm, o.ns, w.ints(o.Q4, o.ncomp + 1), o.cnt,
                       w.ints(o.Q2, n), w.ints(o.Q6, n), w.ints(o.Q7, n), w.ints(o.Q8, n), w.ints(o.Q9, n));
  if (r != 0) return {r == -1 ? err::order_range : err::order_repeated};
  const i64 ns = o.ns;
  o.part = w.ints(o.Q4, ns + 1);
  o.sparent = w.ints(o.Q2, ns);
  if (c.msglvl >= 2) {
    unit_write_line(c.msgunit, "");
    count_line(c, "number of super nodes                   = ", ns);
  }
  if (c.msglvl >= 4) {
    xislpr("old-to-new permutation array", n, w.ints(o.Q5, n).data(), c.msgunit);
    xislpr("new-to-old permutation array", n, o.perm.data(), c.msgunit);
    xislpr("supernodal pointer array", ns + 1, o.part.data(), c.msgunit);
    xislpr("supernode parent array", ns, o.sparent.data(), c.msgunit);
    xislpr("factor column nonzero counts", n, o.cnt.data(), c.msgunit);
  }
  if (!o.in_core && !o.restore()) return {err::order_io};
  return {};
}

// The supernode tree, then the amalgamation of its supernodes.
Failure supernode_tree(Ordering& o) {
  const Work& w = o.w;
  const Call& c = o.c;
  const i64 n = o.n, ns = o.ns, S = xisl2d(ns), N = o.N;
  WordLayout t(o.Q4 + xisl2d(ns + 1));
  o.Tfson = t.take(S);
  o.Tbro = t.take(S);
  const i64 Tnpar = t.take(N), Tnlist = t.take(N), Tsize = t.take(S);
  o.Tupd = t.take(S);
  o.Tfront = t.take(S);
  const i64 Tsons = t.take(S);
  if (!o.fits(t.end())) return {err::order_space, t.end()};
  o.fson = w.ints(o.Tfson, ns);
  o.bro = w.ints(o.Tbro, ns);
  o.nparent = w.ints(Tnpar, n);
  o.nlist = w.ints(Tnlist, n);
  o.size = w.ints(Tsize, ns);
  o.upd = w.ints(o.Tupd, ns);
  o.front = w.ints(o.Tfront, ns);
  o.coal = w.ints(Tsons, ns);
  xdslst(ns, n, o.sparent, o.part, o.cnt, o.fson, o.bro, o.nparent, o.nlist, o.size, o.upd, o.front, o.maxsons, o.coal);
  if (c.msglvl >= 2) count_line(c, "maximum number of sons                  = ", o.maxsons);
  if (c.msglvl >= 4) {
    xislpr("first son vector", ns, o.fson.data(), c.msgunit);
    xislpr("brother vector", ns, o.bro.data(), c.msgunit);
    xislpr("nodal tree parent vector", n, o.nparent.data(), c.msgunit);
    xislpr("supernode node list vector", n, o.nlist.data(), c.msgunit);
    xislpr("supernode sizes", ns, o.size.data(), c.msgunit);
    xislpr("update matrix sizes", ns, o.upd.data(), c.msgunit);
    xislpr("frontal matrix sizes", ns, o.front.data(), c.msgunit);
  }
  // Amalgamation.
  o.Tzer = t.take(S);
  const i64 Ttail = t.take(S), Tlast = t.take(S);
  if (!o.fits(t.end())) return {err::order_space, t.end()};
  o.maxzer = std::max<i64>(0, w.ictl(cw::maxzer));
  o.count = ns;
  xdslam(o.count, o.sparent, o.fson, o.bro, ns, o.size, o.upd, o.front, o.maxzer, w.ints(o.Tzer, ns), o.coal,
         w.ints(Ttail, ns), w.ints(Tlast, ns));
  if (c.msglvl >= 2) {
    count_line(c, "new number of supernodes                = ", o.count);
    count_line(c, "root of supernodal elimination tree     = ", ns);
  }
  if (c.msglvl >= 4) {
    xislpr("supernode size vector", ns, o.size.data(), c.msgunit);
    xislpr("size of update matrices", ns, o.upd.data(), c.msgunit);
    xislpr("size of frontal matrices", ns, o.front.data(), c.msgunit);
    xislpr("number of zeroes in the front matrices", ns, w.ints(o.Tzer, ns).data(), c.msgunit);
    xislpr("coalescing linked lists", ns, o.coal.data(), c.msgunit);
  }
  return {};
}

// The new partition and its tree.
Failure new_partition(Ordering& o) {
  const Work& w = o.w;
  const Call& c = o.c;
  const i64 n = o.n, ns = o.ns, count = o.count;
  o.D0 = xisl2d(count);
  o.D1 = xisl2d(count + 1);
  WordLayout np(o.Tzer);
  o.Npart = np.take(o.D1);
  o.Nlist = np.take(o.N);
  o.Nsnode = np.take(o.N);
  if (!o.fits(np.end())) return {err::order_space, np.end()};
  o.newpart = w.ints(o.Npart, count + 1);
  o.newlist = w.ints(o.Nlist, n);
  xdslnp(ns, o.sparent, o.fson, o.bro, ns, o.size, o.coal, count, o.part, o.nlist, o.newpart, o.newlist);
  o.nparent_s = w.ints(o.Q2, count);
  o.nfson = w.ints(o.Tfson, count);
  o.nbro = w.ints(o.Tbro, count);
  o.forest = xdsltr(n, o.nparent, count, o.newpart, o.newlist, w.ints(o.Nsnode, n), o.nparent_s, o.nfson, o.nbro);
  if (c.msglvl >= 2) {
    count_line(c, "number of trees in the forest           = ", o.forest.trees);
    count_line(c, "depth of supernode elimination forest   = ", o.forest.depth);
    count_line(c, "maximum number of sons                  = ", o.forest.maxsons);
    count_line(c, "root of supernode elimination forest    = ", o.forest.root);
  }
  if (c.msglvl >= 4) {
    xislpr("new supernode parent vector", count, o.nparent_s.data(), c.msgunit);
    xislpr("new first son vector", count, o.nfson.data(), c.msgunit);
    xislpr("new brother vector", count, o.nbro.data(), c.msgunit);
  }
  return {};
}

// Statistics of the new partition: sizes by supernode, K from the count
// of each supernode's last position.
Failure partition_statistics(Ordering& o) {
  const Work& w = o.w;
  const Call& c = o.c;
  const i64 count = o.count, D0 = o.D0;
  const IVec ksize = w.ints(o.Nsnode, count), nsons = w.ints(o.Nsnode + D0, count);
  if (!o.fits(o.Nsnode + 2 * D0 - 1)) return {err::order_space, o.Nsnode + 2 * D0 - 1};
  for (i64 s = 1; s <= count; ++s) {
    ksize(s) = o.cnt(o.newlist(o.newpart(s + 1) - 1));
    i32 k = 0;
    for (i32 u = o.nfson(s); u != 0; u = o.nbro(u)) ++k;
    nsons(s) = k;
  }
  o.os.nnz = w.ictl(cw::nnz);
  IVec usize = w.ints(o.Tupd, count), fsize = w.ints(o.Tfront, count);
  xdslcs(o.n, count, o.newpart, ksize, fsize, usize, o.os);
  if (c.msglvl >= 4) {
    xislpr("size of frontal matrices", count, fsize.data(), c.msgunit);
    xislpr("size of update matrices", count, usize.data(), c.msgunit);
    xislpr("integer storage sizes", count, ksize.data(), c.msgunit);
  }
  return {};
}

// Packing behind the new parents: first son, brother, update sizes, front
// sizes, partition, node list, integer sizes.
void pack_tree(Ordering& o) {
  const Work& w = o.w;
  const i64 n = o.n, count = o.count, D0 = o.D0;
  WordLayout pk(o.Q2 + D0);
  const i64 Kfson = pk.take(D0), Kbro = pk.take(D0), Kusize = pk.take(D0), Kfsize = pk.take(D0);
  o.Kpart = pk.take(o.D1);
  const i64 Klist = pk.take(o.N);
  o.Kk = pk.take(D0);
  move_ints(w, o.Tfson, Kfson, count);
  move_ints(w, o.Tbro, Kbro, count);
  move_ints(w, o.Tupd, Kusize, count);
  move_ints(w, o.Tfront, Kfsize, count);
  move_ints(w, o.Npart, o.Kpart, count + 1);
  move_ints(w, o.Nlist, Klist, n);
  move_ints(w, o.Nsnode, o.Kk, count);
  o.pfson = w.ints(Kfson, count);
  o.pbro = w.ints(Kbro, count);
  o.ppart = w.ints(o.Kpart, count + 1);
  o.plist = w.ints(Klist, n);
  o.pk_k = w.ints(o.Kk, count);
}

// The order of the children for the update stack.
Failure stack_order(Ordering& o) {
  const Work& w = o.w;
  const Call& c = o.c;
  const i64 count = o.count, maxsons = o.forest.maxsons;
  const i64 M = xisl2d(maxsons);
  WordLayout so(o.Kk + o.D0);
  const i64 Skeys = so.take(M), Ssons = so.take(M), Sreal = so.take(count), Sint = so.take(o.D0);
  if (!o.fits(so.end())) return {err::order_space, so.end()};
  o.peaks = xdslso(count, o.nparent_s, o.pfson, o.pbro, o.forest.root, o.ppart, o.pk_k, w.ints(Skeys, maxsons),
                   w.ints(Ssons, maxsons), w.dbl(Sreal, count), w.ints(Sint, count));
  if (c.msglvl >= 2) {
    count_line(c, "real stack storage                      = ", o.peaks.real);
    count_line(c, "integer stack storage                   = ", o.peaks.integer);
  }
  return {};
}

// The final numbering: partition, permutation, number of assemblies and
// index pointers.
Failure final_numbering(Ordering& o) {
  const Work& w = o.w;
  const Call& c = o.c;
  const i64 n = o.n, count = o.count;
  WordLayout fn(o.Kk + o.D0);
  o.Fassem = fn.take(o.D0);
  o.Fptr = fn.take(o.D1);
  const i64 Fs1 = fn.take(o.N), Fs2 = fn.take(o.N);
  if (!o.fits(fn.end())) return {err::order_space, fn.end()};
  const FinalCounts fc =
      xdslfp(n, count, o.ppart, o.plist, o.perm, o.nparent_s, o.pfson, o.pbro, o.forest.root, w.ints(o.Fassem, count),
             o.pk_k, w.ints(o.Fptr, count + 1), w.ints(Fs1, n), w.ints(Fs2, n), o.g);
  o.mstack = fc.mstack + o.forest.trees - 1;
  if (c.msglvl >= 2) {
    count_line(c, "maximum number of entries in the stack  = ", o.mstack);
    count_line(c, "maximum number of merges                = ", fc.merges);
  }
  if (c.msglvl >= 3) {
    xislpr("number of assemblies", count, w.ints(o.Fassem, count).data(), c.msgunit);
    xislpr("new permutation vector", n, o.perm.data(), c.msgunit);
    xislpr("symbolic factorization pointers", count + 1, w.ints(o.Fptr, count + 1).data(), c.msgunit);
    xislpr("new supernode partition", count + 1, o.ppart.data(), c.msgunit);
  }
  o.built_end = o.Fptr + o.D1 - 1;
  return {};
}

// The kept arrays behind the new-to-old permutation: old-to-new,
// partition, number of assemblies, index pointers.
void keep_arrays(Ordering& o) {
  const Work& w = o.w;
  const i64 n = o.n, count = o.count;
  o.Kp3 = o.Q2 + o.N;
  o.Kp4 = o.Kp3 + o.D1;
  o.Kp5 = o.Kp4 + o.D0;
  move_ints(w, o.Kpart, o.Kp3, count + 1);
  move_ints(w, o.Fassem, o.Kp4, count);
  move_ints(w, o.Fptr, o.Kp5, count + 1);
  xislin(n, o.perm.data(), w.ints(o.Q2, n).data());
  if (o.c.msglvl >= 3) xislpr("new inverse permutation vector", n, w.ints(o.Q2, n).data(), o.c.msgunit);
}

// Statistics, the work-space figures of the later phases and the control
// words; returns the need of the symbolic phase.
i64 store_results(Ordering& o) {
  const Work& w = o.w;
  OrderStats& os = o.os;
  os.nsuper = o.count;
  os.snmson = o.forest.maxsons;
  os.mstack = o.mstack;
  os.stkstr = o.peaks.real;
  os.maxzer = o.maxzer;
  os.pvttol = w.ctl(cw::pvttol);
  os.ncomp = o.ncomp;
  os.nzcomp = o.nzcomp;
  os.fpnlsz = std::min(count_option(w, cw::panel, 128), os.maxsize);
  os.fupdsz = count_option(w, cw::updblk, 32);
  print_order_stats(o.c, os);
  w.set(cw::ops_factor, os.ops[0] + os.ops[2]);
  w.set(cw::ops_solve, os.ops[4] + os.ops[6]);
  w.set(cw::panel, static_cast<double>(os.fpnlsz));
  const Figures fig = xdslws(o.c, w.ctl(cw::mtype) == 2.0, o.n, o.lunit1, w.ictl(cw::lunit2), os);
  w.set(cw::maxzer_used, static_cast<double>(o.maxzer));
  w.set(cw::symneed, static_cast<double>(fig.symbolic));
  w.set(cw::nzlf, os.nzlf);
  w.set(cw::nsuper, static_cast<double>(o.count));
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
  w.set(cw::perm, static_cast<double>(o.Q1));
  w.set(cw::invp, static_cast<double>(o.Q2));
  w.set(cw::part, static_cast<double>(o.Kp3));
  w.set(cw::nassem, static_cast<double>(o.Kp4));
  w.set(cw::snptr, static_cast<double>(o.Kp5));
  w.set(cw::last, static_cast<double>(o.built_end));
  w.set(cw::need, static_cast<double>(fig.symbolic));
  w.set(cw::peak, std::max(w.ctl(cw::peak), static_cast<double>(o.hw)));
  w.set(cw::stage, stage::ordered);
  return fig.symbolic;
}

}  // namespace

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
  Ordering o(c, lwork);
  using Step = Failure (*)(Ordering&);
  for (Step step : {lay_out, copy_structure, nested_dissection, elimination_tree, supernode_tree, new_partition,
                    partition_statistics}) {
    if (const Failure f = step(o); f.ier != 0) {
      ier = f.ier;
      return report(c, f, lwork, o.lunit1);
    }
  }
  pack_tree(o);
  for (Step step : {stack_order, final_numbering}) {
    if (const Failure f = step(o); f.ier != 0) {
      ier = f.ier;
      return report(c, f, lwork, o.lunit1);
    }
  }
  keep_arrays(o);
  const i64 symbolic = store_results(o);
  need = static_cast<i32>(std::min<i64>(symbolic, INT32_MAX));
  double cpu = 0, wall = 0;
  xdslte(cpu0, wall0, cpu, wall);
  w.set(cw::cpu_order, cpu);
  w.set(cw::wall_order, wall);
  if (c.msglvl >= 1) {
    unit_write_line(c.msgunit, "");
    time_line(c, "cpu  time for reordering                = ", cpu);
    time_line(c, "wall time for reordering                = ", wall);
    count_line(c, "max. amount of storage used             = ", o.hw);
  }
}

}  // namespace zephsol::sparse
