// Second half of TA1: node DOF counts and the equation index, the element
// summary and connection tables, and the assembly dictionary.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/model_util.h"
#include "zephsol/model/ta1.h"
#include "zephsol/model/ta1_lists.h"

namespace zephsol {

namespace {

constexpr std::size_t kNodeBatch = 512;
constexpr word kFirstEquationShift = 1024;
constexpr word kCountBits = 1023;  // the low 10 bits of an equation word
constexpr word kDofMask = 255;

std::int64_t needed_to(std::int64_t end) { return end + sysw().NBUFSZ; }

// Internal number of node i (NODC position).
word internal(word newnum, word i) { return newnum != 0 ? core().w(newnum + i - 1) : i; }

// Ends the run when an equation number would not fit an equation word.
void check_equation_limit(std::int64_t neq, std::int64_t largest_first) {
  if (neq <= kMaxFirstEquation && largest_first <= kMaxFirstEquation) return;
  const std::string line = fline(
      "('0*** SYSTEM FATAL MESSAGE, THE MODEL HAS',I12,' EQUATIONS; AN EQUATION WORD NUMBERS AT MOST',I8)",
      {static_cast<long long>(neq), kMaxFirstEquation});
  unit_write_line(kListing, line);
  unit_write_line(kErrorLog, line);
  model_fatal(-3821, static_cast<word>(std::min<std::int64_t>(neq, INT32_MAX)), kMaxFirstEquation);
}

// Node identifiers into the pair buffer (with a zero mask word) and the m
// coordinate words of every node into coords.
void read_nodes(word coords, word pairs) {
  const TA1COM& t = ta1com();
  const WordSpace& c = core();
  const std::size_t width = static_cast<std::size_t>(5 + t.M);
  std::vector<word> batch(width * kNodeBatch);
  DBOPEN(t.NODC, t.IBUF, kRead);
  for (word done = 0; done < t.N;) {
    const word k = std::min<word>(t.N - done, static_cast<word>(kNodeBatch));
    DBREAD(t.NODC, batch.data(), k * static_cast<word>(width), 0);
    for (word j = 0; j < k; ++j) {
      const word* entry = batch.data() + width * static_cast<std::size_t>(j);
      const word i = done + j;
      c.w(pairs + 2 * i) = entry[0];
      c.w(pairs + 2 * i + 1) = 0;
      std::copy_n(entry + 5, t.M, &c.w(coords + std::int64_t{t.M} * i));
    }
    done += k;
  }
  DBREAD(t.NODC, nullptr, 0, 1);
  DBCLOS(t.NODC, kCloseRewind);
}

// The stored property records of EGED: [identifier, n, n values] each,
// indexed by identifier (the first record of an identifier).
class Properties {
 public:
  void load(word EGED, word buffer, word area, word room) {
    word name = 0;
    DBNAME(EGED, name);
    const Header h = header_of(EGED);
    if (name == name_word("****") || h[0] <= 0) return;
    const WordSpace& c = core();
    const word ncore = ta1com().NCORE;
    DBOPEN(EGED, buffer, kRead);
    word used = 0;
    for (word k = 0; k < h[0]; ++k) {
      word nread = 0, status = 0;
      word* at = room - used > 0 ? &c.w(area + used) : nullptr;
      if (at == nullptr) model_fatal(-4, name_word("EGED"), ncore);
      DBRDST(EGED, at, room - used, 1, nread, status);
      if (status == 2) model_fatal(-2, name_word("EGED"), 0);
      if (status == 0) model_fatal(-4, name_word("EGED"), ncore);
      if (nread < 2 || nread != at[1] + 2) model_fatal(-711, name_word("EGED"), nread < 2 ? nread : at[1]);
      index_.emplace(at[0], area + used);
      used += nread;
    }
    DBCLOS(EGED, kCloseRewind);
  }
  // Open-core position of the record of property id, 0 when none.
  word find(word id) const {
    const auto it = index_.find(id);
    return it == index_.end() ? 0 : it->second;
  }

 private:
  std::unordered_map<word, word> index_;
};

// What TA1BEL keeps of the current element type and the table headers.
struct TypeState {
  word np = 0, nc = 0, ndof = 0, iclass = 0, npts = 0, nout = 0;
  std::array<word, 20> dof{};  // DOF count at each node position
  std::array<word, 20> crd{};  // coordinate mask at each node position
  std::vector<word> props;     // the property values of the last property found
  word last_property = 0;
  bool have_property = false;
};

struct TableMax {
  word types = 0, nn = 0, ndof = 0, npts = 0, est = 0;
};

void load_type(TypeState& ty, TableMax& mx, word iecod) {
  ETYCOM& e = etycom();
  for (std::size_t j = 0; j < e.DOFMSK.size(); ++j) e.DOFMSK[j] = std::popcount(static_cast<std::uint32_t>(e.DOFMSK[j]));
  ty.np = e.NP;
  ty.nc = e.NC;
  ty.ndof = e.NDOF;
  ty.iclass = e.ICLASS;
  ty.npts = e.NPTS;
  ty.nout = e.IOUTPT;
  std::copy_n(e.DOFMSK.begin(), ty.dof.size(), ty.dof.begin());
  std::copy_n(e.CRDMSK.begin(), ty.crd.size(), ty.crd.begin());
  ty.props.assign(static_cast<std::size_t>(std::max(ty.np, 0)), 0);
  ty.have_property = false;
  mx.types |= 1 << (iecod - 1);
  mx.nn = std::max(mx.nn, e.NN);
  mx.ndof = std::max(mx.ndof, e.NDOF);
  mx.npts = std::max(mx.npts, e.NPTS);
  mx.est = std::max(mx.est, e.NP + e.NC + e.NN + 9);
}

// The property values of the element (NP words), looked up when its
// property differs from the previous element's; an undefined property is
// message 2331 and NP 0 for the rest of the type.
void element_properties(TypeState& ty, const Properties& props, word property, word element) {
  if (ty.np <= 0 || (ty.have_property && property == ty.last_property)) return;
  ty.last_property = property;
  ty.have_property = true;
  const word at = props.find(property);
  if (at == 0) {
    user_error(fline("('0*** USER FATAL MESSAGE 2331, PROPERTY DATA ID',I6,' REFERED BY ELEMENT',I6,' IS UNDEFINED')",
                     {property, element}));
    ty.np = 0;
    ty.props.clear();
    return;
  }
  const WordSpace& c = core();
  const word n = c.w(at + 1);
  for (word k = 0; k < ty.np; ++k) ty.props[static_cast<std::size_t>(k)] = k < n ? c.w(at + 2 + k) : real_word(0.0f);
}

}  // namespace

void TA1B() {
  TA1COM& t = ta1com();
  const std::int64_t b = t.IFREE, n = t.N, ne = t.NE;
  const bool renumbered = t.IRNFLG == 0;
  const word newnum = renumbered ? static_cast<word>(b) : 0;
  const std::int64_t coords = b + (renumbered ? n : 0), eqw = coords + std::int64_t{t.M} * n, pairs = eqw + n;
  if (pairs + 2 * n > t.IBUF) short_of_core(needed_to(pairs + 2 * n - 1), t.IBUF);
  TA1BEQ(newnum, static_cast<word>(coords), static_cast<word>(eqw), static_cast<word>(pairs));
  DBOPEN(t.ADIC, t.IBUF, kWrite);
  DBWRIT(t.ADIC, &core().w(eqw), t.N, 1);
  DBCLOS(t.ADIC, kCloseRewind);
  t.IFREE = static_cast<word>(eqw + n);
  TA1BEL(newnum, static_cast<word>(coords), static_cast<word>(eqw));

  // Element node lists in internal numbers after the first N words, which
  // then take the equation words back.
  const std::int64_t elemptr = b + n, elemnodes = elemptr + ne + 1;
  if (elemnodes > t.IBUF) short_of_core(needed_to(elemnodes), t.NCORE);
  word used = static_cast<word>(t.IBUF - elemnodes);
  TA1BCN(newnum, static_cast<word>(elemptr), static_cast<word>(elemnodes), used);
  const std::int64_t nodeptr = elemnodes + used, nodeelems = nodeptr + n + 1;
  if (nodeelems > t.IBUF) short_of_core(needed_to(nodeelems), t.NCORE);
  word total = static_cast<word>(t.IBUF - nodeelems);
  TA1ATR(static_cast<word>(elemptr), static_cast<word>(elemnodes), static_cast<word>(nodeptr),
         static_cast<word>(nodeelems), static_cast<word>(b), total);
  DBOPEN(t.ADIC, t.IBUF, kRead);
  DBREAD(t.ADIC, &core().w(b), t.N, 1);
  DBCLOS(t.ADIC, kCloseRewind);
  const std::int64_t work = nodeelems + total;
  word room = static_cast<word>(std::max<std::int64_t>(t.IBUF - work, 0));
  TA1BAD(static_cast<word>(b), static_cast<word>(elemptr), static_cast<word>(elemnodes), static_cast<word>(nodeptr),
         static_cast<word>(nodeelems), static_cast<word>(work), room);
}

void TA1BEQ(word newnum, word coords, word eqw, word pairs) {
  const TA1COM& t = ta1com();
  const WordSpace& c = core();
  read_nodes(coords, pairs);

  // OR of the DOF masks of the element positions on each node, in the mask
  // word of its pair.
  ConeElements cone(t.CONE, t.IBUF, TypeCheck::TypeCode);
  for (word e = 1; e <= t.NE; ++e) {
    cone.next(e);
    const auto nodes = cone.nodes();
    for (std::size_t j = 0; j < nodes.size(); ++j)
      if (nodes[j] != 0) c.w(pairs + 2 * (nodes[j] - 1) + 1) |= etycom().DOFMSK[j];
  }
  cone.close();

  // DOF count = bit length of the mask, put in internal order; equations
  // numbered in internal order.
  for (word i = 1; i <= t.N; ++i)
    c.w(eqw + internal(newnum, i) - 1) = std::bit_width(static_cast<std::uint32_t>(c.w(pairs + 2 * i - 1)));
  std::int64_t next = 1, largest_first = 0;
  word largest = 0;
  for (word k = 0; k < t.N; ++k) {
    const word count = c.w(eqw + k);
    largest_first = next;
    largest = std::max(largest, count);
    c.w(eqw + k) = static_cast<word>(std::min<std::int64_t>(next, kMaxFirstEquation) * kFirstEquationShift + count);
    next += count;
  }
  const std::int64_t neq = next - 1;
  check_equation_limit(neq, largest_first);

  DBOPEN(t.EQIX, t.IBUF, kWrite);
  for (word i = 1; i <= t.N; ++i) c.w(pairs + 2 * i - 1) = internal(newnum, i);
  DBWRIT(t.EQIX, &c.w(pairs), 2 * t.N, 1);
  for (word i = 1; i <= t.N; ++i) c.w(pairs + 2 * i - 1) = c.w(eqw + c.w(pairs + 2 * i - 1) - 1);
  DBWRIT(t.EQIX, &c.w(pairs), 2 * t.N, 1);
  DBCLOS(t.EQIX, kCloseRewind);
  HDRPUT(t.EQIX, Header{t.N, static_cast<word>(neq), largest, 0, 0, 0});
}

void TA1BEL(word newnum, word coords, word eqw) {
  const TA1COM& t = ta1com();
  const WordSpace& c = core();
  const Header iels = header_of(t.IELS);
  const word negroup = iels[0], nmgroup = iels[1];
  const word nbuf = sysw().NBUFSZ;
  const word bufest = t.IBUF - nbuf, bufect = bufest - nbuf, bufiels = bufect - nbuf;
  const word lowest = nmgroup > 0 ? bufiels : bufect;
  if (lowest - t.IFREE < 1) short_of_core(std::int64_t{t.IFREE} + 1 + (t.NCORE - lowest + 1), t.NCORE);
  Properties props;
  props.load(t.EGED, t.IBUF, t.IFREE, lowest - t.IFREE);

  ConeElements cone(t.CONE, t.IBUF, TypeCheck::TypeCode);
  DBOPEN(t.EST, bufest, kWrite);
  DBOPEN(t.ECT, bufect, kWrite);
  if (nmgroup > 0) {
    DBOPEN(t.IELS, bufiels, kRead);
    for (word k = 0; k < negroup; ++k) DBREAD(t.IELS, nullptr, 0, 1);
  }
  TypeState ty;
  TableMax mx;
  std::vector<word> est, ect;
  for (word e = 1; e <= t.NE; ++e) {
    if (cone.next(e)) load_type(ty, mx, cone.iecod());
    word mgroup = 0;
    if (nmgroup > 0) DBREAD(t.IELS, &mgroup, 1, e == t.NE ? 1 : 0);
    element_properties(ty, props, cone.property(), cone.id());
    const auto nodes = cone.nodes();
    const word nn = cone.nn();
    est.assign({cone.id(), cone.iseq() * 16777216 + cone.iecod(), cone.material(), mgroup, ty.iclass, ty.npts,
                ty.nout, ty.np, ty.nc, nn});
    est.insert(est.end(), ty.props.begin(), ty.props.end());
    // Coordinates by the coordinate mask of each position; no node takes
    // the element's first node.
    for (std::size_t j = 0; j < nodes.size(); ++j) {
      const word node = nodes[j] != 0 ? nodes[j] : nodes[0];
      for (word k = 0; k < 3 && k < t.M; ++k)
        if (ty.crd[j] & (1 << k)) est.push_back(node != 0 ? c.w(coords + std::int64_t{t.M} * (node - 1) + k) : 0);
    }
    ect.assign({cone.id(), cone.iseq(), nn, ty.ndof, 16777215, 0});
    for (std::size_t j = 0; j < nodes.size(); ++j) {
      word w = 0;
      if (nodes[j] != 0) {
        w = (c.w(eqw + internal(newnum, nodes[j]) - 1) & ~kCountBits) + ty.dof[j];
        ect[4] = std::min(ect[4], w / kFirstEquationShift);
        ect[5] = std::max(ect[5], w / kFirstEquationShift);
      }
      est.push_back(w);
      ect.push_back(w);
    }
    DBWRIT(t.ECT, ect.data(), static_cast<word>(ect.size()), 1);
    DBWRIT(t.EST, est.data(), static_cast<word>(est.size()), 1);
  }
  cone.close();
  if (nmgroup > 0) DBCLOS(t.IELS, kCloseRewind);
  DBCLOS(t.EST, kCloseRewind);
  HDRPUT(t.EST, Header{t.NE, mx.types, mx.nn, mx.ndof, mx.npts, mx.est});
  DBCLOS(t.ECT, kCloseRewind);
  HDRPUT(t.ECT, Header{t.NE, mx.types, mx.nn, mx.ndof, 0, 0});
}

void TA1BCN(word newnum, word elemptr, word elemnodes, word& avail) {
  element_node_lists(newnum, elemptr, elemnodes, avail);
}

void TA1BAD(word eqw, word elemptr, word elemnodes, word nodeptr, word nodeelems, word work, word& avail) {
  const TA1COM& t = ta1com();
  const WordSpace& c = core();
  const std::span<const word> eqws = c.words(eqw, t.N);
  const std::span<const word> eptr = c.words(elemptr, t.NE + 1);
  const std::span<const word> enodes = c.words(elemnodes, eptr[static_cast<std::size_t>(t.NE)] - 1);
  const std::span<const word> nptr = c.words(nodeptr, t.N + 1);
  const std::span<const word> nelems = c.words(nodeelems, nptr[static_cast<std::size_t>(t.N)] - 1);
  const std::span<word> area = c.words(work, avail);
  word largest = 0;
  DBOPEN(t.ADIC, t.IBUF, kWrite);
  for (word i = 1; i <= t.N; ++i) {
    const word m = gather_neighbours(i, eptr, enodes, nptr, nelems, area, "AJDL", avail);
    const word first = nptr[static_cast<std::size_t>(i - 1)], k = nptr[static_cast<std::size_t>(i)] - first;
    word dofs = 0;
    for (word j = 0; j < m; ++j) {
      word& w = area[static_cast<std::size_t>(j)];
      w = eqws[static_cast<std::size_t>(w - 1)];
      dofs += w & kDofMask;
    }
    const std::array<word, 4> head{eqws[static_cast<std::size_t>(i - 1)], m, dofs, k};
    DBWRIT(t.ADIC, head.data(), 4, k + m == 0 ? 1 : 0);
    if (k > 0) DBWRIT(t.ADIC, &nelems[static_cast<std::size_t>(first - 1)], k, m == 0 ? 1 : 0);
    if (m > 0) DBWRIT(t.ADIC, area.data(), m, 1);
    largest = std::max(largest, m + k);
  }
  DBCLOS(t.ADIC, kCloseRewind);
  const Header eqix = header_of(t.EQIX);
  HDRPUT(t.ADIC, Header{eqix[0], eqix[1], 0, 0, 0, largest + 4});
}

}  // namespace zephsol
