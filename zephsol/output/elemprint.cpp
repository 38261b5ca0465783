// The stress and strain table of the step output (heading kind 2): per
// selected integration point a stress line with von Mises value, safety
// factor and factor, the elastic, plastic and thermal strain lines when the
// point has them, and the total strains; joints their state and relative
// displacements.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/util.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/ofphdg.h"
#include "zephsol/iter/ofprqp.h"
#include "zephsol/iter/ofpvxs.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/output/elemwalk.h"
#include "zephsol/output/ofprqn.h"
#include "zephsol/output/output_records.h"

namespace zephsol {

namespace {

constexpr word kJointClass = 10, kShellClass = 7, kBeamClass = 6;
constexpr std::size_t kPlasticBlock = 1, kThermalBlock = 2;

bool flag_set(word flag) { return BITAND(flag, 1) != 0; }

// Types whose stress line carries the factor while a factor flag is set.
bool factor_type(word iecod) {
  return (iecod >= 1 && iecod <= 4) || (iecod >= 8 && iecod <= 12) || (iecod >= 15 && iecod <= 17) ||
         (iecod >= 27 && iecod <= 29);
}

// The leading part of a line with n' components, and the blanks k = 2 +
// 12 (6 - n') that put the value after them in the same column for every n'.
std::string components(word n) { return "1P," + std::to_string(n) + "E12.4"; }
std::string blanks(word n) { return std::to_string(2 + 12 * (6 - n)) + "X"; }

void write(std::string_view format, const std::vector<FmtArg>& args) { fwrite_unit(kListing, format, args); }

// A strain line: label, the n' components c, then the value after them when given.
void strain_line(word n, std::string_view label, std::span<const double> c, const double* value) {
  std::vector<FmtArg> args{label};
  for (word i = 0; i < n; ++i) args.emplace_back(c[static_cast<std::size_t>(i)]);
  if (value != nullptr) args.emplace_back(*value);
  write("(14X,A8,1X," + components(n) + "," + blanks(n) + ",E12.4)", args);
}

std::vector<FmtArg> line_head(word point, std::span<const double> c, word n) {
  std::vector<FmtArg> args{eivwka().head[0], point, "  STRESS"};
  for (word i = 0; i < n; ++i) args.emplace_back(c[static_cast<std::size_t>(i)]);
  return args;
}

// The lines of point i of a joint element; returns its state code.
word print_joint_point(word i, word n) {
  const EIVWK& p = eivwka();
  const word state = p.blk.b11.iv[0];
  std::vector<FmtArg> args = line_head(i, p.vec[0], n);
  args.emplace_back(state_text(state));
  write("(/,I7,' -',I3,2X,A8,1X," + components(n) + ",A24)", args);
  strain_line(n, "   DISP.", p.vec[2], nullptr);
  return state;
}

// The lines of point i of any other element.
void print_point(word i, word n) {
  const EIVWK& p = eivwka();
  const word c = p.head[2];
  const bool factor_flags = flag_set(sigcom().KKIND2) || flag_set(ifpflg().IFPDUN);
  std::array<float, 13> vm{};
  OFPVXS(p.vec[0], c, vm, kVonMises);
  std::vector<FmtArg> args = line_head(i, p.vec[0], n);
  args.emplace_back(vm[0]);
  const bool with_factor = factor_flags && factor_type(p.head[1]);
  if (with_factor || (!factor_flags && c != 1 && c != kBeamClass && c != kShellClass))
    args.emplace_back(static_cast<float>(p.blk.b1.v[4]));
  if (with_factor) args.emplace_back(static_cast<float>(p.blk.b1.v[3]));
  write("(/,I7,' -',I3,2X,A8,1X," + components(n) + "," + blanks(n) + ",E12.4,0P,F10.3" +
            (with_factor ? ",2X,F10.3)" : ")"),
        args);
  const bool plastic = p.sw[kPlasticBlock] != 0, thermal = p.sw[kThermalBlock] != 0;
  if (plastic || thermal) strain_line(n, "E.STRAIN", p.vec[1], nullptr);
  if (plastic) strain_line(n, "P.STRAIN", p.blk.b2.v, &p.blk.b2.epeq);
  if (thermal) {
    std::vector<FmtArg> t{"T.STRAIN"};
    for (word k = 0; k < n; ++k) t.emplace_back(p.blk.b3.v[static_cast<std::size_t>(k)]);
    t.emplace_back(p.blk.b3.s);
    write("(14X,A8,1X," + components(n) + "," + blanks(n) + ",34X,0P,F10.3)", t);
  }
  strain_line(n, "  STRAIN", p.vec[2], nullptr);
}

// Lines of the point about to be printed: the stress line with its empty
// line before it and the total strains, and the elastic strains with the
// plastic or thermal line when the point has one, or both.
word point_lines(const EIVWK& p) {
  if (p.head[2] == kJointClass) return 3;
  const int extra = (p.sw[kPlasticBlock] != 0) + (p.sw[kThermalBlock] != 0);
  return extra == 0 ? 3 : extra == 1 ? 5 : 6;
}

// Accounts for the lines of a point with the column headings where due, and
// the heading again on a new page.
void count_lines(StressTable& table, word lines) {
  word newpg = 0;
  if (table.headings_due) {
    LINCNT(lines + 2, newpg);
    OFPHDG(2, newpg != 0 ? 3 : 2);
    table.headings_due = false;
  } else {
    LINCNT(lines, newpg);
    if (newpg != 0) {
      OFPHDG(2, 3);
      sysw().NLINE += 2;
    }
  }
}

// The point mask of the element held in EIVWKA under the table's selections;
// returns the number of selected points.
word select_points(const StressTable& table, std::vector<word>& mask) {
  const EIVWK& p = eivwka();
  mask.assign(static_cast<std::size_t>(std::max<word>(p.head[3], 0)), 0);
  word count = 0;
  if (table.single_all) {
    OFPIPM(table.single_ipse, mask, count);
    return count;
  }
  const WordSpace& c = core();
  const word selections = c.w(table.request);
  for (word s = 0; s < selections; ++s) {
    const std::int64_t at = static_cast<std::int64_t>(table.request) + 1 + 2 * static_cast<std::int64_t>(s);
    const word set = c.w(at);
    if (set < 1 || SETTST(set, p.head[0]) != 0) OFPIPM(c.w(at + 1), mask, count);
  }
  return count;
}

}  // namespace

std::string_view state_text(word state) {
  // Texts of the states 0-4, 24 characters.
  static constexpr std::array<std::string_view, 5> kStates{
      "                        ", "    OPEN                ", "    CLOSE,  FRICTIONAL  ",
      "    CLOSE,  SLIDING     ", "    CLOSE,  SOFTENING   "};
  return state >= 0 && state < 5 ? kStates[static_cast<std::size_t>(state)] : kStates[0];
}

word status_code(word state) { return state == 1 ? 3 : state == 2 ? 1 : state == 3 ? 2 : state; }

void stress_table_begin(StressTable& table) {
  table = StressTable{};
  table.request = ofpreq()(kPrintStre);
  if (table.request < 0) return;
  PAGHDR();
  OFPHDG(2, 1);
  if (selects_every_element(table.request)) {
    table.single_all = true;
    table.single_ipse = core().w(static_cast<std::int64_t>(table.request) + 2);
  }
}

void print_element(StressTable& table, ElementWalk& walk, word j, word record) {
  if (table.request < 0) return;
  EIVWK& p = eivwka();
  const word c = p.head[2];
  if (c == kBeamClass && p.head[1] != kTypeSbeam2) return;
  std::vector<word> mask;
  if (select_points(table, mask) <= 0) return;
  if (c != table.last_class) {
    table.last_class = c;
    table.headings_due = true;
  }
  const word n = print_components();
  const std::span<float> rec = walk.elr(j);
  for (std::size_t k = 0; k < mask.size(); ++k) {
    if (mask[k] == 0) continue;
    const word i = static_cast<word>(k + 1);
    EIVGTA(i);
    if (walk.shells == 1 && i == 5 && record != 1 && c == kShellClass) OFPHDG(2, 1);
    count_lines(table, point_lines(p));
    if (c == kJointClass) {
      rec[kJointStateWord] = static_cast<float>(print_joint_point(i, n));
      walk.joint_printed = true;
    } else {
      print_point(i, n);
    }
    if (p.sw[kThermalBlock] != 0) {
      const std::span<float> thr = walk.thr(j);
      put_slots(thr.subspan(1, 6), p.blk.b3.v);
      rec[kThermalWord] = 1.0f;
    }
    if (c == kShellClass && ofpscr().principal != 0 && (i == 25 || i == 45)) write_principal_record(i);
  }
}

}  // namespace zephsol
