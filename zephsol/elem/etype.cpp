// Element type codes, their attribute table, the type descriptor loader and
// the decoder of element summary records.
#include "zephsol/elem/etype.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/util.h"

namespace zephsol {
namespace {

bool known_code(word iecod) { return element_type(iecod) != nullptr; }

// Attributes of a code the caller has checked.
const TypeAttr& type_row(word iecod) { return element_type(iecod)->attr; }

// Attributes of a code that must lie in 1-29 (-5000 otherwise).
const TypeAttr& checked_row(word iecod) {
  if (!known_code(iecod)) record_fatal(-5000, iecod, 0);
  return type_row(iecod);
}

// Stores the option part: load word counts and the first NN entries of the
// per-node masks.
void store_option_part(const TypeAttr& t, ETYCOM& e) {
  e.LDWORD = t.ldword;
  for (word i = 0; i < t.nn; ++i) {
    const bool orient = t.orient_node && i == t.nn - 1;
    e.DOFMSK[i] = orient ? 0 : t.dofmsk;
    e.CRDMSK[i] = t.crdmsk;
    e.TMPFLG[i] = orient ? 0 : t.tmpflg;
  }
}

// Key, new ID and order of the first entry of list whose key is key; (-1, -1) when none.
std::pair<word, word> find_change(const ChangeList& list, word key) {
  for (word i = 0; i < list.count && i < ChangeList::kMax; ++i)
    if (list.entry[i][0] == key) return {list.entry[i][1], list.entry[i][2]};
  return {-1, -1};
}

// Replaces the property words of the current element that a property change
// names: the later change (larger order) wins, the material-ID list on a tie.
void apply_property_change(ESTCOM& e, const TypeAttr& t, const ModelTables& tables) {
  if (t.prop_change == 0) return;
  const auto [pg, og] = e.MGROUP > 0 ? find_change(tables.PRCGRP, e.MGROUP) : std::pair<word, word>{-1, -1};
  const auto [pm, om] = find_change(tables.PRCMID, e.MATID);
  if (tables.PRCGRP.count <= 0 && tables.PRCMID.count <= 0) return;
  const word chosen = om < og ? pg : pm;
  if (chosen < 1) return;
  const PRPTAB& p = tables.prptab;
  for (word k = 0; k < p.count && k < PRPTAB::kMax; ++k) {
    if (p.id[k] != chosen) continue;
    for (int v = 0; v < 4; ++v)
      if (t.prop_change & (1 << v)) e.PROP[v] = p.value[v][k];
    return;
  }
  // A property the table does not hold: the element keeps its record's values.
}

// Count of a record that must lie in 0..limit (-8063 otherwise).
word checked_count(word count, word limit) {
  if (count < 0 || count > limit) record_fatal(-8063, count, limit);
  return count;
}

// An element whose equation words give another DOF count than its type: a
// record that would add into equations of other elements. The message needs
// the element and both counts, more than a queued message carries, so it is
// printed whole, after what is queued, and the run ends.
[[noreturn]] void dof_count_differs(word iexn, word count, word type_count) {
  damaged_data();
  MSGHOK();
  MSGOUT();
  LINCNT(3);
  for (int unit : {kListing, kErrorLog}) {
    fwrite_unit(unit, "('0*** SYSTEM FATAL MESSAGE',I5,',')", {8067});
    fwrite_unit(unit, "(10X,'DOF COUNT OF ELEMENT',I8,' IS',I8,', THAT OF ITS TYPE',I8)", {iexn, count, type_count});
  }
  sysw().IERFLG = 1;
  RUNEND();
}

}  // namespace

void ETYPCD(const std::array<word, 2>& name, word& iecod) {
  iecod = 0;
  for (word code = 1; code <= kMaxTypeCode; ++code)
    if (name_words8(element_type(code)->name) == name) {
      iecod = code;
      return;
    }
}

bool ETYPHD(word iecod) { return known_code(iecod) && type_row(iecod).descriptor; }

void ETYPNM(word iecod, std::array<word, 2>& name) {
  name = name_words8(known_code(iecod) ? element_type(iecod)->name : "????");
}

void ETYPDS(word iseq, word option) {
  const ETYP& etyp = elem_state().tables.etyp;
  if (iseq < 1 || iseq > etyp.count || iseq > ETYP::kMax) bad_argument("ISEQ", iseq);
  ETYCOM& e = etycom();
  const auto& def = etyp.entry[static_cast<std::size_t>(iseq - 1)];
  e.IUTYPE = def[0];
  e.IECOD = def[1];
  ETYPNM(e.IECOD, e.NAME);
  if (!known_code(e.IECOD) || !type_row(e.IECOD).descriptor) record_fatal(-5000, e.IECOD, 0);
  const TypeAttr& t = type_row(e.IECOD);
  // Words 4-26, the reserved ones zero.
  e.ICLASS = t.iclass;
  e.rsv5 = {};
  e.NN = t.nn;
  e.rsv8 = {};
  e.NPTS = t.npts;
  e.IOUTPT = t.ioutpt;
  e.NDOF = t.ndof;
  e.NC = t.nc;
  e.NP = t.np;
  e.IDIM = t.idim;
  e.NLDTYP = t.nldtyp;
  for (int w = 0; w < 9; ++w) e.rsv18[w] = 0;  // words 18-26
  if (option != 0) store_option_part(t, e);
}

void estrd_words(std::span<const word> record) {
  constexpr word kHead = 10;
  const auto size = static_cast<word>(record.size());
  if (size < kHead) record_fatal(-1, name_word("EST"), size);
  ESTCOM& e = estcom();
  e.IEXN = record[0];
  e.IECOD = BITAND(record[1], 16777215);
  e.ISEQ = BITSHR(record[1], 24);
  e.MATID = record[2];
  e.MGROUP = record[3];
  e.ICLASS = record[4];
  e.NPTS = record[5];
  e.IOUTPT = record[6];
  e.NP = record[7];
  e.NC = record[8];
  e.NN = record[9];
  if (e.ICLASS < 1 || e.ICLASS > NSCOMP.count) record_fatal(-3523, e.ICLASS, 0);
  const TypeAttr& t = checked_row(e.IECOD);
  e.NS = t.ns != 0 ? t.ns : NSCOMP.ns[static_cast<std::size_t>(e.ICLASS - 1)];
  e.rsv12 = {};

  const word np = checked_count(e.NP, ESTCOM::kMaxProp);
  const word nc = checked_count(e.NC, ESTCOM::kMaxCoord);
  const word nn = checked_count(e.NN, ESTCOM::kMaxNode);
  if (size < kHead + np + nc + nn) record_fatal(-1, name_word("EST"), size);
  auto next = record.begin() + kHead;
  // What the record does not fill is cleared, so nothing of the previous element stays.
  for (word i = 0; i < np; ++i) e.PROP[i] = word_real(*next++);
  std::fill(e.PROP.begin() + np, e.PROP.end(), 0.0f);
  for (word i = 0; i < nc; ++i) e.XYZ[i] = word_real(*next++);
  std::fill(e.XYZ.begin() + nc, e.XYZ.end(), 0.0f);
  for (word i = 0; i < nn; ++i) e.EQIX[i] = *next++;
  std::fill(e.EQIX.begin() + nn, e.EQIX.end(), 0);

  apply_property_change(e, t, elem_state().tables);

  // DOF index list: node j contributes first, first + 1, ..., first + count - 1
  // with first = EQIX >> 10 and count = EQIX AND 255.
  word ndof = 0;
  for (word j = 0; j < nn; ++j) ndof += BITAND(e.EQIX[j], 255);
  checked_count(ndof, ESTCOM::kMaxDof);
  if (t.descriptor && ndof != t.ndof) dof_count_differs(e.IEXN, ndof, t.ndof);
  word k = 0;
  for (word j = 0; j < nn; ++j) {
    const word first = BITSHR(e.EQIX[j], 10);
    for (word c = 0; c < BITAND(e.EQIX[j], 255); ++c) e.IDOF[k++] = first + c;
  }
  std::fill(e.IDOF.begin() + k, e.IDOF.end(), 0);
}

}  // namespace zephsol
