// The element walk of the step output: element result records, the group
// element list, the shell and plastic condition lists, and the scratch
// records of the principal-value and element-force output.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <span>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/util.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/ofpvxs.h"
#include "zephsol/matl/elamat.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/output/elemout.h"
#include "zephsol/output/elemwalk.h"
#include "zephsol/output/output_records.h"

namespace zephsol {

namespace {

constexpr word kSolidClass = 3, kShellClass = 7, kJointClass = 10;
constexpr word kUpperPoint = 45, kLowerPoint = 5;

// Block switches of the point held in EIVWKA (0-based block index).
constexpr std::size_t kPlasticBlock = 1, kKindSwitch = 5, kForceBlock = 7;

bool flag_set(word flag) { return BITAND(flag, 1) != 0; }

word iclass() { return eivwka().head[2]; }

// Classes whose points carry a safety factor and principal stress angle.
bool without_safety(word c) { return c == 1 || c == 6 || c == kJointClass; }

float derived(std::span<const double> values, word selector) {
  std::array<float, 13> out{};
  OFPVXS(values, iclass(), out, selector);
  return out[0];
}

// Words 0-3, 17-22 of an OFPELR block: von Mises, principal stresses and
// strains of the point held in EIVWKA.
void principal_words(std::span<float> b) {
  const EIVWK& p = eivwka();
  const word c = iclass();
  b[0] = derived(p.vec[0], kVonMises);
  std::array<float, 13> r{};
  if (c == 2 || c == 4 || c == 5 || c == kShellClass) {
    OFPVXS(p.vec[0], c, r, kStressSet);
    const bool membrane = c == 2;
    b[1] = r[0];
    b[2] = membrane ? r[1] : r[2];
    b[3] = membrane ? r[2] : r[3];
    b[kAngleWord] = membrane ? r[3] : r[4];
  } else {
    b[1] = derived(p.vec[0], kLargestPrincipal);
    b[2] = derived(p.vec[0], kSmallestPrincipal);
    b[3] = derived(p.vec[0], kMaxShear);
    if (c == kSolidClass) {
      OFPVXS(p.vec[0], c, r, kStressSet);
      b[kAngleWord] = r[4];
    }
  }
  const float a1 = std::fabs(b[1]), a2 = std::fabs(b[2]);
  b[21] = std::max(a1, a2);
  b[22] = a2 > a1 ? a1 : a2;
  r.fill(0.0f);
  OFPVXS(p.vec[2], c, r, kStrainSet);
  if (c == 1) {
    b[18] = r[0];
  } else if (c == 2) {
    std::copy_n(r.begin(), 3, b.begin() + 18);
  } else {
    b[18] = r[0];
    b[19] = r[2];
    b[20] = r[3];
  }
}

// The plastic block of a point into an OFPPLR block of 7 words.
void plastic_block(std::span<float> b) {
  std::fill(b.begin(), b.end(), 0.0f);
  const EIVWK& p = eivwka();
  if (p.sw[kPlasticBlock] == 0) return;
  b[0] = static_cast<float>(p.blk.b2.epeq);
  put_slots(b.subspan(1, 6), p.blk.b2.v);
}

// Plastic condition code of the output point: -1 for material kinds other
// than 1 and 7; 1 elastic (no plastic block); 2 plastic; 3 no longer plastic.
word plastic_condition() {
  const EIVWK& p = eivwka();
  const word kind = p.sw[kKindSwitch];
  if (kind != 1 && kind != 7) return -1;
  if (p.sw[kPlasticBlock] == 0) return 1;
  return p.blk.b2.iv[0] != 0 ? 2 : 3;
}

// The element-force scratch record ($302) of the output point. Words 1 and
// 2 always hold the element and its type code, which tells the reader the
// layout: the shell layout for QFLA4, the beam layout for every other type.
void write_force_record() {
  const EIVWK& p = eivwka();
  const auto& r = p.blk.b8.v;  // r1 moment, r2-r7 end A, r8-r13 end B
  std::array<word, 26> w{};
  const auto real = [&](std::size_t word_no, double v) { w[word_no - 1] = std::bit_cast<word>(static_cast<float>(v)); };
  w[0] = p.head[0];
  w[1] = p.head[1];
  w[14] = p.blk.b11.iv[0];
  if (iclass() == kShellClass) {
    w[15] = p.head[0];
    w[16] = p.head[1];
    w[17] = -1;
    for (std::size_t k = 0; k < 3; ++k) real(19 + k, r[1 + k]);  // membrane forces X, Y, XY
    for (std::size_t k = 0; k < 3; ++k) real(22 + k, r[7 + k]);  // bending moments X, Y, XY
    for (std::size_t k = 0; k < 2; ++k) real(25 + k, r[10 + k]);  // transverse shears X, Y
  } else {
    for (std::size_t k = 0; k < 6; ++k) {
      real(3 + k, r[1 + k]);
      real(9 + k, r[7 + k]);
    }
    real(16, r[0]);
    real(17, p.vec[2][5]);  // curvature
    real(18, p.blk.b10.v[0]);
    real(19, p.blk.b10.v[1]);
  }
  DBWRIT(ofpscr().forces, w.data(), static_cast<word>(w.size()), 1);
  ofpscr().force_records += 1;
}

// Block 1 of OFPELR record j (and of OFPPLR) from the output point.
void output_point_block(ElementWalk& walk, word j) {
  const EIVWK& p = eivwka();
  const word c = iclass();
  const std::span<float> rec = walk.elr(j);
  const std::span<float> b = rec.first(kElrBlock);
  std::fill(b.begin(), b.end(), 0.0f);
  b[kSafetyWord] = b[kAngleWord] = b[kFactorWord] = -1.0f;
  rec[kJointStateWord] = rec[kThermalWord] = 0.0f;
  put_slots(b.subspan(4, 6), p.vec[0]);
  put_slots(b.subspan(10, 6), c == kJointClass ? p.vec[2] : p.vec[1]);
  const bool relaxation = flag_set(sigcom().KKIND2), deformation = flag_set(ifpflg().IFPDUN);
  if (!without_safety(c)) {
    b[kSafetyWord] = static_cast<float>(p.blk.b1.v[4]);
    walk.safety_present = true;
    if (relaxation || deformation) {
      b[kFactorWord] = static_cast<float>(p.blk.b1.v[3]);
      walk.factor_present = true;
      if (deformation) b[kPoissonWord] = static_cast<float>(p.blk.b7[0]);
    }
  }
  if (c != kJointClass) {
    principal_words(b);
    walk.principal_present = true;
  }
  if (walk.plastic) {
    plastic_block(walk.plr(j).first(kPlrBlock));
    walk.condition(j) = plastic_condition();
  }
}

}  // namespace

word print_components() {
  const EIVWK& p = eivwka();
  if (p.head[1] == kTypeBeam2 || p.head[1] == kTypeSbeam2) return 3;
  return class_components(p.head[2]);
}

void put_slots(std::span<float> slots, std::span<const double> c) {
  const ClassPlacement at = class_placement(iclass(), print_components());
  for (std::size_t i = 0; i < at.n && i < c.size(); ++i) slots[at.pos[i]] = static_cast<float>(c[i]);
}

void write_principal_record(word point) {
  const EIVWK& p = eivwka();
  std::array<word, 15> w{p.head[0], point, p.head[2]};
  // The components of the class; the words after them are written as zeros.
  const auto n = static_cast<std::size_t>(class_components(p.head[2]));
  for (std::size_t k = 0; k < n && k < 6; ++k) {
    w[3 + k] = std::bit_cast<word>(static_cast<float>(p.vec[0][k]));
    w[9 + k] = std::bit_cast<word>(static_cast<float>(p.vec[2][k]));
  }
  DBWRIT(ofpscr().principal, w.data(), static_cast<word>(w.size()), 1);
  ofpscr().principal_records += 1;
}

void OFP1SL(word point, [[maybe_unused]] word iclass_, word results, word j, bool& safety_present,
            bool& principal_present, word plastic_records, word noplas) {
  EIVGTA(point);
  const EIVWK& p = eivwka();
  const word block = point == kUpperPoint ? 1 : 2;
  // Words 0-22 of the surface block: the lower block's last two words are
  // the record's joint and thermal markers.
  const std::span<float> b =
      core().floats(ElementWalk::at(results, kElrWords, j) + static_cast<std::int64_t>(block) * kElrBlock, kElrBlock - 2);
  std::fill(b.begin(), b.end(), 0.0f);
  b[kAngleWord] = -1.0f;
  put_slots(b.subspan(4, 6), p.vec[0]);
  put_slots(b.subspan(10, 6), p.vec[1]);
  b[kSafetyWord] = static_cast<float>(p.blk.b1.v[4]);
  principal_words(b);
  safety_present = principal_present = true;
  if (noplas == 0)
    plastic_block(core().floats(
        ElementWalk::at(plastic_records, kPlrWords, j) + static_cast<std::int64_t>(block) * kPlrBlock, kPlrBlock));
}

void OFP1C(word eiv0, word nel, word group, word shells, word conditions, word results, word plastic, word thermal,
           word work, word words, word noplas, word& ngroup) {
  ElementWalk walk;
  walk.group = group;
  walk.shell_list = shells;
  walk.conditions = conditions;
  walk.results = results;
  walk.plastic_records = plastic;
  walk.thermal = thermal;
  walk.plastic = noplas == 0;
  StressTable table;
  stress_table_begin(table);

  const std::span<word> area = core().words(work, words);
  for (word record = 1; record <= nel; ++record) {
    EIVRDA(eiv0, area);
    EIVWK& p = eivwka();
    const word c = p.head[2];
    if (c == kSolidClass) ++walk.solids;
    if (p.head[5] != 0) continue;
    const word j = ++walk.count;
    word point = p.head[4];
    if (c == kShellClass && p.head[1] == kTypeQfla4 && point > 20) point -= 20;  // 25: the lower surface point 5
    EIVGTA(point);
    walk.id(j) = p.head[0];
    const std::span<float> thr = walk.thr(j);
    std::fill(thr.begin(), thr.end(), 0.0f);
    output_point_block(walk, j);
    if (ofpscr().principal != 0 && !without_safety(c)) write_principal_record(point);
    if (ofpscr().forces != 0 && p.sw[kForceBlock] != 0) write_force_record();
    if (c == kShellClass) {
      walk.shell(++walk.shells) = j;
      OFP1SL(kUpperPoint, c, results, j, walk.safety_present, walk.principal_present, plastic, noplas);
      OFP1SL(kLowerPoint, c, results, j, walk.safety_present, walk.principal_present, plastic, noplas);
    }
    print_element(table, walk, j, record);
  }
  ngroup = walk.count;
  if (ofpreq()(kPostDisp) > 0) write_element_vectors(walk);
}

}  // namespace zephsol
