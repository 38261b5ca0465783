// The element force output of a step, from the element-force records ($302)
// that the element walk wrote: the section forces of beams, the axial
// forces of bars, spring and contact forces, the moment-curvature state of
// the non-linear beams and the shell section forces, printed as the "ELFO"
// request selects and written as force vectors of the result file.
//
// Each record names its element and type code in its first two words; the
// type decides the group an element belongs to (a contact element is a
// contact element in every state, a section beam never enters the
// moment-curvature output) and the layout of its record.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/ofphdg.h"
#include "zephsol/iter/ofprqp.h"
#include "zephsol/output/elemout.h"
#include "zephsol/output/elemwalk.h"
#include "zephsol/output/output_records.h"
#include "zephsol/output/postfile.h"

namespace zephsol {

namespace {

constexpr word kRecordWords = 26, kRowWords = 17;
constexpr word kTypeRod2 = 6, kTypeSpg2 = 22, kTypeCnt2 = 23;
constexpr word kBeamKind = -1, kSpringKind = 0, kShellKind = 999;

enum class Group { beam, bar, spring, contact, shell, none };

struct TypeGroup {
  word type;
  Group group;
};
constexpr std::array<TypeGroup, 6> kTypeGroups{{{kTypeBeam2, Group::beam},
                                                {kTypeSbeam2, Group::beam},
                                                {kTypeRod2, Group::bar},
                                                {kTypeSpg2, Group::spring},
                                                {kTypeCnt2, Group::contact},
                                                {kTypeQfla4, Group::shell}}};

Group group_of(word type) {
  const auto* t = std::find_if(kTypeGroups.begin(), kTypeGroups.end(), [&](const TypeGroup& g) { return g.type == type; });
  return t == kTypeGroups.end() ? Group::none : t->group;
}

// -x, with a zero force kept +0.0 in both directions.
float negated(float x) { return 0.0f - x; }

// The three open-core lists of the call (I: identifiers, negative for bars;
// R: force rows of 17 words; K: -1 beams and bars, 0 springs, the state code
// of a contact element, 999 shells) and the type code of each record.
class ForceLists {
 public:
  ForceLists(word ids, word forces, word kinds, word n)
      : ids_(ids), forces_(forces), kinds_(kinds), types_(static_cast<std::size_t>(std::max<word>(n, 0))) {}

  word size() const { return static_cast<word>(types_.size()); }
  word& id(word i) const { return core().w(static_cast<std::int64_t>(ids_) + i); }
  word& kind(word i) const { return core().w(static_cast<std::int64_t>(kinds_) + i); }
  std::span<float> row(word i) const {
    return core().floats(static_cast<std::int64_t>(forces_) + static_cast<std::int64_t>(kRowWords) * i, kRowWords);
  }
  word type(word i) const { return types_[static_cast<std::size_t>(i)]; }
  Group group(word i) const { return group_of(type(i)); }
  word element(word i) const { return std::abs(id(i)); }
  bool present(Group g) const { return present_[static_cast<std::size_t>(g)]; }
  // A contact element with a state that the tables and vectors report.
  bool contact_reported(word i) const { return group(i) == Group::contact && kind(i) > 0 && kind(i) < kShellKind; }

  // Record i + 1 of the block into the lists.
  void read(word file, word i) {
    std::array<word, kRecordWords> r{};
    DBREAD(file, r.data(), kRecordWords, 1);
    const auto real = [&](std::size_t word_no) { return std::bit_cast<float>(r[word_no - 1]); };
    types_[static_cast<std::size_t>(i)] = r[1];
    const Group g = group(i);
    present_[static_cast<std::size_t>(g)] = true;
    const std::span<float> f = row(i);
    std::fill(f.begin(), f.end(), 0.0f);
    id(i) = g == Group::bar ? -r[0] : r[0];
    kind(i) = g == Group::shell ? kShellKind : g == Group::spring ? kSpringKind : g == Group::contact ? r[14] : kBeamKind;
    if (g == Group::shell) {
      for (std::size_t k = 0; k < 8; ++k) f[k] = real(19 + k);
      return;
    }
    for (std::size_t k = 0; k < 6; ++k) {
      f[k] = negated(real(3 + k));
      f[6 + k] = real(9 + k);
    }
    if (r[1] == kTypeBeam2) {
      f[12] = real(16);
      f[13] = real(17);
      f[14] = static_cast<float>(r[14]);
      f[15] = real(18);
      f[16] = real(19);
    }
  }

 private:
  word ids_, forces_, kinds_;
  std::vector<word> types_;
  std::array<bool, 6> present_{};
};

// ---- The force tables ----

// Selection of the "ELFO" request by the element's positive identifier.
struct Selection {
  word list;
  bool every;
  bool selects(word id) const { return every || request_selects(list, 2, id); }
};

class ForceTables {
 public:
  ForceTables(const ForceLists& l, word request) : l_(l), sel_{request, selects_every_element(request)} {}

  void print() {
    const bool beams = l_.present(Group::beam), bars = l_.present(Group::bar), springs = l_.present(Group::spring),
               contacts = l_.present(Group::contact), shells = l_.present(Group::shell);
    const word first = beams || bars ? 3 : springs ? 8 : contacts ? 9 : shells ? 10 : 0;
    if (first == 0) return;
    PAGHDR();
    heading(first);
    if (beams) {
      rows(Group::beam, [&](word i) { begin_end(i, 6); });
      moment_curvature();
    }
    if (bars) {
      if (beams) heading(3);
      rows(Group::bar, [&](word i) { begin_end(i, 1); });
    }
    if (springs) {
      if (beams || bars) heading(8);
      rows(Group::spring, [&](word i) { begin_end(i, 6); });
    }
    if (contacts) {
      if (beams || bars || springs) heading(9);
      rows(Group::contact, [&](word i) { contact(i); });
    }
    if (shells) {
      if (beams || bars || springs || contacts) heading(10);
      rows(Group::shell, [&](word i) { shell(i); });
    }
  }

 private:
  const ForceLists& l_;
  Selection sel_;
  word kind_ = 0;  // heading of the table being printed

  void heading(word kind) {
    kind_ = kind;
    OFPHDG(kind, 3);
    sysw().NLINE += 2;
  }

  // Accounts for the three lines of a row; the table's heading again on a new page.
  void count_row() {
    word newpg = 0;
    LINCNT(3, newpg);
    if (newpg != 0) {
      OFPHDG(kind_, 3);
      sysw().NLINE += 2;
    }
  }

  bool listed(word i, Group g) const {
    if (l_.group(i) != g || !sel_.selects(l_.element(i))) return false;
    return g != Group::contact || l_.contact_reported(i);
  }

  template <class Row>
  void rows(Group g, Row row) {
    for (word i = 0; i < l_.size(); ++i) {
      if (!listed(i, g)) continue;
      count_row();
      row(i);
    }
  }

  // BEGIN line with the element and its first n end-A values as the record
  // holds them, END line with the first n end-B values; tail: the contact state.
  void begin_end(word i, std::size_t n, std::string_view tail = {}) {
    const std::span<const float> f = l_.row(i);
    std::vector<FmtArg> a{l_.element(i)};
    for (std::size_t k = 0; k < n; ++k) a.emplace_back(negated(f[k]));
    if (!tail.empty()) a.emplace_back(tail);
    fwrite_unit(kListing, tail.empty() ? "(/,4X,I8,'    BEGIN  ',1P,6E14.5)" : "(/,4X,I8,'    BEGIN  ',1P,6E14.5,2X,A25)",
                a);
    std::vector<FmtArg> b;
    for (std::size_t k = 0; k < n; ++k) b.emplace_back(f[6 + k]);
    fwrite_unit(kListing, "(12X,'      END  ',1P,6E14.5)", b);
  }

  void contact(word i) { begin_end(i, 6, state_text(l_.kind(i))); }

  void shell(word i) {
    const std::span<const float> f = l_.row(i);
    std::vector<FmtArg> a{l_.element(i)};
    for (std::size_t k = 0; k < 8; ++k) a.emplace_back(f[k]);
    fwrite_unit(kListing, "(/,1X,I6,'    ',1P,8E14.5)", a);
  }

  // On a page of its own: a row per selected BEAM2 with a yield status; every
  // selected beam counts its three lines.
  void moment_curvature() {
    PAGHDR();
    heading(11);
    rows(Group::beam, [&](word i) {
      const std::span<const float> f = l_.row(i);
      if (l_.type(i) != kTypeBeam2 || f[14] < 0.0f) return;
      fwrite_unit(kListing, "(/,4X,I8,'           ',1P,4E14.5,I9)",
                  {l_.element(i), f[12], f[13], f[15], f[16], static_cast<word>(f[14])});
    });
  }
};

// ---- The force vectors ----

enum class Covers { beams, beam2, bars, springs, contacts, shells };

struct ForceVector {
  word id;
  std::string_view title;
  std::size_t source;  // word of the force row
  Covers covers;
  std::string_view components;
};

constexpr std::string_view kZeros = "0,0,0,0,0,0,0,0,0,0,";
constexpr std::string_view kNoPair = "   0,   0,0,0,0,0,0,0,0,0,";

// Beam vectors: each end-A vector with its end-B partner in component line 1.
constexpr std::array<ForceVector, 15> kBeamVectors{{
    {3022, "Beam EndA Axial Force", 0, Covers::beams, "3022,3023,0,0,0,0,0,0,0,0,"},
    {3018, "Beam EndA Pl1 Shear Force", 1, Covers::beams, "3018,3020,0,0,0,0,0,0,0,0,"},
    {3019, "Beam EndA Pl2 Shear Force", 2, Covers::beams, "3019,3021,0,0,0,0,0,0,0,0,"},
    {3024, "Beam EndA Torque", 3, Covers::beams, "3024,3025,0,0,0,0,0,0,0,0,"},
    {3015, "Beam EndA Plane2 Moment", 4, Covers::beams, "3015,3017,0,0,0,0,0,0,0,0,"},
    {3014, "Beam EndA Plane1 Moment", 5, Covers::beams, "3014,3016,0,0,0,0,0,0,0,0,"},
    {3023, "Beam EndB Axial Force", 6, Covers::beams, "3022,3023,0,0,0,0,0,0,0,0,"},
    {3020, "Beam EndB Pl1 Shear Force", 7, Covers::beams, "3018,3020,0,0,0,0,0,0,0,0,"},
    {3021, "Beam EndB Pl2 Shear Force", 8, Covers::beams, "3019,3021,0,0,0,0,0,0,0,0,"},
    {3025, "Beam EndB Torque", 9, Covers::beams, "3024,3025,0,0,0,0,0,0,0,0,"},
    {3017, "Beam EndB Plane2 Moment", 10, Covers::beams, "3015,3017,0,0,0,0,0,0,0,0,"},
    {3016, "Beam EndB Plane1 Moment", 11, Covers::beams, "3014,3016,0,0,0,0,0,0,0,0,"},
    // "M-phi" with the Greek letter phi in Shift-JIS (0x83 0xD3).
    {5001, "Beam M-\203\323  Moment", 12, Covers::beam2, kNoPair},
    {5002, "Beam M-\203\323  \203\323", 13, Covers::beam2, kNoPair},
    {5003, "Beam Yield Status", 14, Covers::beam2, kNoPair},
}};
constexpr word kYieldStatusVector = 5003;

constexpr std::array<ForceVector, 2> kBarVectors{{
    {3008, "Bar EndA Axial Force", 0, Covers::bars, "3008,3009,0,0,0,0,0,0,0,0,"},
    {3009, "Bar EndB Axial Force", 6, Covers::bars, "3008,3009,0,0,0,0,0,0,0,0,"},
}};

constexpr std::array<ForceVector, 12> kSpringVectors{{
    {5101, "Spring EndA X Force", 0, Covers::springs, kZeros},
    {5102, "Spring EndA Y Force", 1, Covers::springs, kZeros},
    {5103, "Spring EndA Z Force", 2, Covers::springs, kZeros},
    {5104, "Spring EndA RX Force", 3, Covers::springs, kZeros},
    {5105, "Spring EndA RY Force", 4, Covers::springs, kZeros},
    {5106, "Spring EndA RZ Force", 5, Covers::springs, kZeros},
    {5111, "Spring EndB X Force", 6, Covers::springs, kZeros},
    {5112, "Spring EndB Y Force", 7, Covers::springs, kZeros},
    {5113, "Spring EndB Z Force", 8, Covers::springs, kZeros},
    {5114, "Spring EndB RX Force", 9, Covers::springs, kZeros},
    {5115, "Spring EndB RY Force", 10, Covers::springs, kZeros},
    {5116, "Spring EndB RZ Force", 11, Covers::springs, kZeros},
}};

constexpr std::array<ForceVector, 6> kGapVectors{{
    {5201, "Gap EndA X Force", 0, Covers::contacts, kZeros},
    {5202, "Gap EndA Y Force", 1, Covers::contacts, kZeros},
    {5203, "Gap EndA Z Force", 2, Covers::contacts, kZeros},
    {5211, "Gap EndB X Force", 6, Covers::contacts, kZeros},
    {5212, "Gap EndB Y Force", 7, Covers::contacts, kZeros},
    {5213, "Gap EndB Z Force", 8, Covers::contacts, kZeros},
}};

constexpr std::array<ForceVector, 8> kShellVectors{{
    {7006, "X Membrance Force", 0, Covers::shells, kZeros},
    {7007, "Y Membrance Force", 1, Covers::shells, kZeros},
    {7008, "XY Membrance Force", 2, Covers::shells, kZeros},
    {7011, "X Bending Moment", 3, Covers::shells, kZeros},
    {7012, "Y Bending Moment", 4, Covers::shells, kZeros},
    {7013, "XY Bending Moment", 5, Covers::shells, kZeros},
    {7014, "X Trans Shear Force", 6, Covers::shells, kZeros},
    {7015, "Y Trans Shear Force", 7, Covers::shells, kZeros},
}};

constexpr int kTitleWidth = 25;

class ForceVectors {
 public:
  explicit ForceVectors(const ForceLists& l) : l_(l) {}

  void write() {
    if (l_.present(Group::beam)) each(kBeamVectors);
    if (l_.present(Group::bar)) each(kBarVectors);
    if (l_.present(Group::spring)) each(kSpringVectors);
    if (l_.present(Group::contact)) {
      each(kGapVectors);
      gap_status();
    }
    if (l_.present(Group::shell)) each(kShellVectors);
  }

 private:
  const ForceLists& l_;

  bool covered(word i, Covers c) const {
    switch (c) {
      case Covers::beams: return l_.group(i) == Group::beam;
      case Covers::beam2: return l_.type(i) == kTypeBeam2;
      case Covers::bars: return l_.group(i) == Group::bar;
      case Covers::springs: return l_.group(i) == Group::spring;
      case Covers::contacts: return l_.contact_reported(i);
      case Covers::shells: return l_.group(i) == Group::shell;
    }
    return false;
  }

  template <std::size_t N>
  void each(const std::array<ForceVector, N>& vectors) {
    for (const ForceVector& v : vectors) vector(v);
  }

  // Output type 3 (forces of line elements, with their end pair) or 0, and
  // the flags line of the same kind.
  static VectorHead head(const ForceVector& v) {
    const bool paired = v.components != kZeros && v.components != kNoPair;
    const bool line_element = v.covers == Covers::beams || v.covers == Covers::beam2 || v.covers == Covers::bars;
    return {v.id,
            v.title,
            kTitleWidth,
            v.components,
            line_element ? 3 : 0,
            kElementEntity,
            paired ? "     0,     3,     1," : "     0,     0,     1,",
            false};
  }

  void vector(const ForceVector& v) {
    const bool integer = v.id == kYieldStatusVector;
    Extremes ext;
    for (word i = 0; i < l_.size(); ++i)
      if (covered(i, v.covers)) ext.scan(l_.element(i), l_.row(i)[v.source]);
    post_vector_head(head(v), ext);
    for (word i = 0; i < l_.size(); ++i) {
      if (!covered(i, v.covers)) continue;
      const float x = l_.row(i)[v.source];
      if (integer)
        post_int_value(l_.element(i), static_cast<word>(x));
      else
        post_value(l_.element(i), x);
    }
    post_vector_end();
  }

  // 81004: the status code of each reported contact element.
  void gap_status() {
    Extremes zero;
    zero.min = zero.max = 0.0f;
    post_vector_head({81004, "Gap Status", kTitleWidth, kZeros, 0, kElementEntity, "0,0,1,", false}, zero);
    for (word i = 0; i < l_.size(); ++i) {
      if (!l_.contact_reported(i)) continue;
      post_int_value(l_.element(i), status_code(l_.kind(i)));
    }
    post_vector_end();
  }
};

}  // namespace

void OFP1F(word ids, word forces, word kinds) {
  const OFPSCR& scr = ofpscr();
  ForceLists lists(ids, forces, kinds, scr.force_records);
  for (word i = 0; i < lists.size(); ++i) lists.read(scr.forces, i);
  const OFPREQ& req = ofpreq();
  if (req(kPrintElfo) >= 0) ForceTables(lists, req(kPrintElfo)).print();
  if (req(kPostDisp) > 0) ForceVectors(lists).write();
}

}  // namespace zephsol
