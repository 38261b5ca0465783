// The automatic step of GP2: every end node of a beam or rod that hangs free
// in a continuum mesh becomes the slave of one constraint equation whose
// masters are the nodes of the element containing it, weighted by that
// element's shape functions at the node.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/typerow.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/util.h"
#include "zephsol/model/gp2.h"
#include "zephsol/model/gp2_work.h"
#include "zephsol/model/locate.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace {

constexpr word kBeam2 = 5, kRod2 = 6;
constexpr word kTypeMask = 16777215;
constexpr word kSummarySwitch = 21;

// The point locator of a type of the model's kind (solids in a three-
// dimensional model, plane and axisymmetric types otherwise); null for any
// other type.
Locator routine_of(word type, bool solid_model) {
  const ElementType* row = element_type(type);
  if (row == nullptr || row->locate == nullptr) return nullptr;
  constexpr word kSolidDimension = 9;
  return (row->attr.idim == kSolidDimension) == solid_model ? row->locate : nullptr;
}

bool is_solid(word type) { return routine_of(type, true) != nullptr; }

// One entry of the element table: [identifier, type, n, n node positions].
struct Element {
  word id, type;
  std::span<const word> nodes;
};

// The table's entries; `end` receives the word after the last one.
std::vector<Element> element_table(word elements, word ne, word& end) {
  std::vector<Element> out;
  out.reserve(static_cast<std::size_t>(ne));
  end = elements;
  for (word e = 0; e < ne; ++e) {
    const word n = core().w(end + 2);
    out.push_back({core().w(end), core().w(end + 1), core().words(end + 3, n)});
    end += 3 + n;
  }
  return out;
}

// A continuum element that may hold stray nodes, with the sphere by which
// its routine first rejects a point.
struct Candidate {
  std::size_t element;  // place in the element table
  Locator routine;
  Sphere sphere;
};

// Puts the element's coordinates into the current-element record.
void load_element(const Element& e, const Candidate& c, word coords) {
  ESTCOM& est = estcom();
  est.IEXN = e.id;
  est.IECOD = e.type;
  est.NN = static_cast<word>(e.nodes.size());
  const int dim = locator_dimension(c.routine);
  for (std::size_t j = 0; j < e.nodes.size(); ++j)
    for (int b = 0; b < dim; ++b)
      est.XYZ[j * static_cast<std::size_t>(dim) + static_cast<std::size_t>(b)] =
          core().r(coords + 3 * (e.nodes[j] - 1) + b);
}

// Candidates indexed by a uniform grid of cells over their spheres' boxes:
// a point's cell lists every candidate whose sphere can hold the point, in
// element order, so that trying them gives the first containing element of
// the search over all elements.
class SphereGrid {
 public:
  SphereGrid(const std::vector<Candidate>& c, int dim) : c_(c), dim_(dim) {
    if (c.empty()) return;
    double diameters = 0.0;
    for (int b = 0; b < 3; ++b) lo_[b] = 1e300, hi_[b] = -1e300;
    for (const Candidate& k : c) {
      const double r = radius(k);
      diameters += 2.0 * r;
      for (int b = 0; b < dim_; ++b) {
        lo_[b] = std::min(lo_[b], k.sphere.centre[static_cast<std::size_t>(b)] - r);
        hi_[b] = std::max(hi_[b], k.sphere.centre[static_cast<std::size_t>(b)] + r);
      }
    }
    h_ = std::max(diameters / static_cast<double>(c.size()), 1e-30);
    for (int b = 0; b < dim_; ++b) h_ = std::max(h_, (hi_[b] - lo_[b]) / kMaxCells);
    for (std::size_t i = 0; i < c.size(); ++i) insert(i);
    std::ranges::sort(cells_);  // by cell, then by candidate
  }

  // Candidates whose sphere box holds p, ascending.
  std::vector<std::size_t> near(const Point& p) const {
    std::vector<std::size_t> out = wide_;
    std::array<std::int64_t, 3> cell{};
    for (int b = 0; b < dim_; ++b) {
      if (!(p[static_cast<std::size_t>(b)] >= lo_[b] && p[static_cast<std::size_t>(b)] <= hi_[b])) return out;
      cell[static_cast<std::size_t>(b)] = index(p[static_cast<std::size_t>(b)], b);
    }
    const std::uint64_t k = key(cell);
    auto it = std::ranges::lower_bound(cells_, std::pair<std::uint64_t, std::size_t>{k, 0});
    for (; it != cells_.end() && it->first == k; ++it) out.push_back(it->second);
    std::ranges::sort(out);
    return out;
  }

 private:
  static constexpr double kMaxCells = 1 << 20;    // cells along an axis at most
  static constexpr std::int64_t kWideCells = 512; // an element over more cells is always tried

  static double radius(const Candidate& k) { return std::sqrt(k.sphere.r2) * (1.0 + 1e-9) + 1e-30; }
  std::int64_t index(double v, int b) const { return static_cast<std::int64_t>(std::floor((v - lo_[b]) / h_)); }
  static std::uint64_t key(const std::array<std::int64_t, 3>& c) {
    return static_cast<std::uint64_t>(c[0]) | static_cast<std::uint64_t>(c[1]) << 21 | static_cast<std::uint64_t>(c[2]) << 42;
  }

  void insert(std::size_t i) {
    const double r = radius(c_[i]);
    std::array<std::int64_t, 3> from{}, to{};
    std::int64_t count = 1;
    for (int b = 0; b < dim_; ++b) {
      from[static_cast<std::size_t>(b)] = index(c_[i].sphere.centre[static_cast<std::size_t>(b)] - r, b);
      to[static_cast<std::size_t>(b)] = index(c_[i].sphere.centre[static_cast<std::size_t>(b)] + r, b);
      count *= to[static_cast<std::size_t>(b)] - from[static_cast<std::size_t>(b)] + 1;
    }
    if (count > kWideCells) {
      wide_.push_back(i);
      return;
    }
    for (std::int64_t z = from[2]; z <= to[2]; ++z)
      for (std::int64_t y = from[1]; y <= to[1]; ++y)
        for (std::int64_t x = from[0]; x <= to[0]; ++x) cells_.emplace_back(key({x, y, z}), i);
  }

  const std::vector<Candidate>& c_;
  int dim_;
  double lo_[3]{}, hi_[3]{};
  double h_ = 1.0;
  std::vector<std::pair<std::uint64_t, std::size_t>> cells_;  // (cell, candidate)
  std::vector<std::size_t> wide_;
};

// ------------------------------------------------------------- listing

void summary_heading() {
  unit_write_line(kListing, fline("(40X,'AUTOMATIC MPC DATA GENARATION SUMMARY')"));
  unit_write_line(kListing, "");
  unit_write_line(kListing, "    SLAVE INCLUDING");
  unit_write_line(kListing, "     NODE  ELEMENT   ---------------    MASTER NODES AND COEFFICIENTS     "
                     "----------------------------------------------");
}

// The masters [first, last) after `lead` (a format list) and their
// coefficients as two lines.
void summary_masters(const std::string& lead, std::vector<FmtArg> args, const std::vector<word>& ids,
                     const std::vector<float>& coef, std::size_t first, std::size_t last) {
  const std::string n = std::to_string(last - first);
  for (std::size_t j = first; j < last; ++j) args.emplace_back(ids[j]);
  unit_write_line(kListing, fortran_records("(" + lead + "," + n + "(' (',I7,')'))", args).front());
  std::vector<FmtArg> values(coef.begin() + static_cast<std::ptrdiff_t>(first), coef.begin() + static_cast<std::ptrdiff_t>(last));
  unit_write_line(kListing, fortran_records("(20X," + n + "F10.5)", values).front());
}

void summary_equation(word slave, word element, const std::vector<word>& ids, const std::vector<float>& coef) {
  word newpg = 0;
  LINCNT(ids.size() > 10 ? 4 : 3, newpg);
  if (newpg != 0) {
    sysw().NLINE += 4;
    summary_heading();
  }
  summary_masters("'0',I8,I9,2X", {slave, element}, ids, coef, 0, std::min<std::size_t>(ids.size(), 10));
  if (ids.size() > 10) summary_masters("20X", {}, ids, coef, 10, ids.size());
}

void unlocated_warning(const std::vector<word>& ids) {
  LINCNT(static_cast<word>((ids.size() + 9) / 10 + 3));
  unit_write_line(kListing, "0*** USER WARNING MESSAGE 2361, AUTO-MPC DATA FOR THE FOLLOWING NODES COULD NOT BE GENERATED");
  unit_write_line(kListing, "");
  for (std::size_t k = 0; k < ids.size(); k += 10) {
    std::string line(10, ' ');
    for (std::size_t j = k; j < ids.size() && j < k + 10; ++j) line += fline("(I8)", {ids[j]});
    unit_write_line(kListing, line);
  }
  sysw().IWRNFL = 1;
}

// ------------------------------------------------------------- nodes

// Stray nodes in ascending node position: the first two nodes of a BEAM2 or
// ROD2 that one or two elements reference in all and no element of the
// families tried references (such a node is a node of the mesh already).
std::vector<word> stray_nodes(const std::vector<Element>& table, std::span<word> count, bool solid_model) {
  std::ranges::fill(count, 0);
  std::vector<char> in_mesh(count.size(), 0);
  for (const Element& e : table) {
    const bool tried = routine_of(e.type, solid_model) != nullptr;
    for (const word k : e.nodes) {
      if (k < 1) continue;
      ++count[static_cast<std::size_t>(k - 1)];
      if (tried) in_mesh[static_cast<std::size_t>(k - 1)] = 1;
    }
  }
  std::vector<char> stray(count.size(), 0);
  for (const Element& e : table) {
    if (e.type != kBeam2 && e.type != kRod2) continue;
    for (std::size_t j = 0; j < 2 && j < e.nodes.size(); ++j) {
      const word k = e.nodes[j];
      if (k < 1) continue;
      const word c = count[static_cast<std::size_t>(k - 1)];
      if ((c == 1 || c == 2) && in_mesh[static_cast<std::size_t>(k - 1)] == 0) stray[static_cast<std::size_t>(k - 1)] = 1;
    }
  }
  std::vector<word> out;
  for (std::size_t k = 0; k < stray.size(); ++k)
    if (stray[k] != 0) out.push_back(static_cast<word>(k + 1));
  return out;
}

struct Located {
  std::size_t element;
  std::vector<double> N;
};

// The first candidate in element order whose routine finds the point inside.
bool locate(const Point& p, const std::vector<Element>& table, const std::vector<Candidate>& candidates,
            const SphereGrid& grid, word coords, Located& out) {
  for (const std::size_t i : grid.near(p)) {
    const Candidate& c = candidates[i];
    double d = 0.0;
    for (int b = 0; b < locator_dimension(c.routine); ++b)
      d += (c.sphere.centre[static_cast<std::size_t>(b)] - p[static_cast<std::size_t>(b)]) *
           (c.sphere.centre[static_cast<std::size_t>(b)] - p[static_cast<std::size_t>(b)]);
    if (d > c.sphere.r2) continue;
    const Element& e = table[c.element];
    load_element(e, c, coords);
    word flag = 0;
    c.routine(p, flag);
    if ((flag & 1) == 0) continue;
    const auto& n = point_location().N;
    out = {c.element, std::vector<double>(n.begin(), n.begin() + static_cast<std::ptrdiff_t>(e.nodes.size()))};
    return true;
  }
  return false;
}

std::vector<Candidate> candidates_of(const std::vector<Element>& table, bool solid_model, word coords) {
  std::vector<Candidate> out;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const Locator r = routine_of(table[i].type, solid_model);
    if (r == nullptr || static_cast<int>(table[i].nodes.size()) != locator_nodes(r)) continue;
    if (std::ranges::any_of(table[i].nodes, [](word k) { return k < 1; })) continue;
    Candidate c{i, r, {}};
    load_element(table[i], c, coords);
    c.sphere = locator_sphere(r);
    out.push_back(c);
  }
  return out;
}

}  // namespace

void GP2AMP(word work, word coords, word elements) {
  BNDCOM& b = bndcom();
  const gp2::NodePairs pairs;
  word table_end = 0;
  const std::vector<Element> table = element_table(elements, b.NE, table_end);
  const bool solid_model = std::ranges::any_of(table, [](const Element& e) { return is_solid(e.type); });
  const std::vector<word> strays = stray_nodes(table, core().words(work, b.NN), solid_model);
  AMPCTB& amp = ampctb();
  amp.count = static_cast<word>(strays.size());
  if (strays.empty()) {
    const std::string line = "0*** USER INFORMATION MESSAGE 2361, AUTO-MPC WAS SELECTED BUT NO STRAY NODES FOUND. ";
    LINCNT(2);
    unit_write_line(kListing, line);
    unit_write_line(kErrorLog, line);
    sysw().IAMPC = 0;
    return;
  }
  const bool summary = DIAGLV(kSummarySwitch) != 0;
  if (summary) {
    LINCNT(-4);
    summary_heading();
  }
  const std::vector<Candidate> candidates = candidates_of(table, solid_model, coords);
  const SphereGrid grid(candidates, solid_model ? 3 : 2);
  word q = 0;
  std::vector<word> unlocated;
  for (std::size_t i = 0; i < strays.size(); ++i) {
    const word k = strays[i];
    const Point p{core().r(coords + 3 * (k - 1)), core().r(coords + 3 * (k - 1) + 1), core().r(coords + 3 * (k - 1) + 2)};
    Located at{};
    if (!locate(p, table, candidates, grid, coords, at)) {
      unlocated.push_back(pairs.id(k));
      continue;
    }
    const Element& e = table[at.element];
    const auto n = static_cast<word>(e.nodes.size());
    std::vector<word> eq{n, pairs.eqword(k), 255};
    std::vector<word> ids;
    std::vector<float> coef;
    for (word j = 0; j < n; ++j) {
      const word m = e.nodes[static_cast<std::size_t>(j)];
      eq[2] = std::min(eq[2], pairs.dofs(m));
      coef.push_back(static_cast<float>(at.N[static_cast<std::size_t>(j)]));
      ids.push_back(pairs.id(m));
      eq.push_back(pairs.first(m));
      eq.push_back(real_word(coef.back()));
    }
    DBWRIT(S301, eq.data(), static_cast<word>(eq.size()), 0);
    ++q;
    if (!summary) continue;
    summary_equation(pairs.id(k), e.id, ids, coef);
    if (strays.size() > static_cast<std::size_t>(AMPCTB::kRows)) continue;
    const int row = static_cast<int>(i) + 1;
    amp.node(row, 1) = pairs.id(k);
    for (std::size_t j = 0; j < ids.size() && j + 2 <= static_cast<std::size_t>(AMPCTB::kColumns); ++j)
      amp.node(row, static_cast<int>(j) + 2) = ids[j];
  }
  if (q == 0) {
    sysw().IAMPC = 0;
  } else {
    DBWRIT(S301, nullptr, 0, 1);
    DBEOF(S301);
    DBREWD(S301);
    const std::array<word, 5> head{name_word("AMPC"), 0, q, 0, 0};
    DBWRIT(b.BCDT, head.data(), 5, 1);
    gp2::copy_record(S301, b.BCDT, table_end);
    DBEOF(b.BCDT);
  }
  if (!unlocated.empty()) unlocated_warning(unlocated);
}

namespace gp2 {

void automatic_step(word base, word b1, word b2) {
  BNDCOM& b = bndcom();
  b.NE = std::max(header_of(b.CONE)[0], 0);
  const Header nh = header_of(b.NODC);
  const word m = std::max(nh[3], 0);
  const word coords = base + b.NN, elements = base + 4 * b.NN;
  if (elements > b2) short_of_core(std::int64_t{elements} + CORLFT(1) - b2, CORLFT(1));

  DBOPEN(b.NODC, b1, kRead);
  std::vector<word> entry(static_cast<std::size_t>(5 + m));
  for (word k = 0; k < b.NN; ++k) {
    DBREAD(b.NODC, entry.data(), 5 + m, 0);
    for (word c = 0; c < 3 && c < m; ++c) core().w(coords + 3 * k + c) = entry[static_cast<std::size_t>(5 + c)];
  }
  DBCLOS(b.NODC, kCloseRewind);

  DBOPEN(b.CONE, b1, kRead);
  std::array<word, 100> rec{};
  word at = elements;
  for (word e = 0; e < b.NE; ++e) {
    read_cone_record(b.CONE, rec);
    const word type = BITAND(rec[1], kTypeMask);
    const word n = type == kBeam2 ? 2 : std::clamp<word>(rec[4], 0, 95);
    if (at + 3 + n >= b2) model_fatal(-4, name_word("CONE"), CORLFT(1));
    core().w(at) = rec[0];
    core().w(at + 1) = type;
    core().w(at + 2) = n;
    for (word j = 0; j < n; ++j) core().w(at + 3 + j) = rec[static_cast<std::size_t>(5 + j)];
    at += 3 + n;
  }
  DBCLOS(b.CONE, kCloseRewind);

  b.NFREE = b2 - at;
  DBOPEN(S301, b1, kWrite);
  GP2AMP(base, coords, elements);
  DBCLOS(S301, kCloseUnload);
}

}  // namespace gp2

}  // namespace zephsol
