// Whole analyses of the continuum, axisymmetric, joint and contact elements
// against closed forms. Every deck goes through the input phase, the model
// tables, the load tables, element matrix generation, the solution and the
// stress recovery of the program; the nodal displacements UG and the state
// of each element's output point are read back at full precision, and the
// listing's element stress table to its printed figures:
//   - a laterally confined column under its own weight, then excavated;
//   - solid, plane and axisymmetric blocks under pressures on every face
//     code, and heated;
//   - every joint type between two blocks of its solid, closing, sticking,
//     sliding, opening and carrying the upper block's weight;
//   - a contact element as six springs and past its first shear limit.
//
// Meshes are built on a lattice of half cells, so that the mid-side nodes of
// the quadratic elements are lattice points too; each element is given in
// the node order of its shape functions and written in the order the
// "CONNECTI" cards take.
//
// Material: E 1.0E+4, NU 0.25, GAMM 18 (all exact in single precision), so
// that the constrained modulus M = E (1 - nu) / ((1 + nu)(1 - 2 nu)) = 1.2 E.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/deck.h"
#include "support/gridmesh.h"
#include "support/nodal.h"
#include "support/results.h"
#include "zephsol/exec/records.h"

namespace zephsol::test {
namespace {

constexpr double kE = 1.0e4, kNu = 0.25, kGamma = 18.0;
constexpr double kPressure = 10.0;  // the largest pressure of the loaded decks
constexpr double kM = kE * (1 - kNu) / ((1 + kNu) * (1 - 2 * kNu));

using Lattice = std::array<int, 3>;  // (i, j, k) in half cells
using Xyz = std::array<double, 3>;

// An element type as the mesh builder makes it: the elements of one cell
// of the lattice (origin at lattice point o) in shape-function node order,
// and where each of those nodes goes on the "CONNECTI" cards.
struct ElementType {
  std::string name;
  std::vector<int> input_position;  // shape-function node k -> its place on the cards (1-based)
  std::function<std::vector<std::vector<Lattice>>(const Lattice& o)> cell;
};

Lattice at(const Lattice& o, int i, int j, int k) { return {o[0] + i, o[1] + j, o[2] + k}; }
Lattice mid(const Lattice& a, const Lattice& b) { return {(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2}; }

std::vector<int> identity(int n) {
  std::vector<int> p(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) p[static_cast<std::size_t>(k)] = k + 1;
  return p;
}

// ---- Element types ----------------------------------------------------------

// Hexahedra: xi, eta, zeta along x, y, z.
std::vector<std::vector<Lattice>> hex8_cell(const Lattice& o) {
  std::vector<Lattice> e;
  for (int k : {0, 2})
    for (int j : {0, 2})
      for (int i : {0, 2}) e.push_back(at(o, i, j, k));
  return {e};
}

std::vector<std::vector<Lattice>> hex20_cell(const Lattice& o) {
  const std::array<std::array<int, 2>, 8> face{{{0, 0}, {1, 0}, {2, 0}, {0, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}}};
  std::vector<Lattice> e;
  for (const auto& [i, j] : face) e.push_back(at(o, i, j, 0));
  for (int j : {0, 2})
    for (int i : {0, 2}) e.push_back(at(o, i, j, 1));
  for (const auto& [i, j] : face) e.push_back(at(o, i, j, 2));
  return {e};
}

// The two triangles of a cell's plan, corners counter-clockwise.
std::array<std::array<Lattice, 3>, 2> plan_triangles(const Lattice& o, int k) {
  return {{{at(o, 0, 0, k), at(o, 2, 0, k), at(o, 2, 2, k)}, {at(o, 0, 0, k), at(o, 2, 2, k), at(o, 0, 2, k)}}};
}

std::vector<std::vector<Lattice>> pent6_cell(const Lattice& o) {
  std::vector<std::vector<Lattice>> out;
  for (int t = 0; t < 2; ++t) {
    std::vector<Lattice> e;
    for (int k : {0, 2}) {
      const auto layer = plan_triangles(o, k);
      for (const auto& c : layer[static_cast<std::size_t>(t)]) e.push_back(c);
    }
    out.push_back(e);
  }
  return out;
}

// Corner 1, mid 1-2, corner 2, mid 1-3, mid 2-3, corner 3.
std::vector<Lattice> six_node_triangle(const std::array<Lattice, 3>& c) {
  return {c[0], mid(c[0], c[1]), c[1], mid(c[0], c[2]), mid(c[1], c[2]), c[2]};
}

std::vector<std::vector<Lattice>> pent15_cell(const Lattice& o) {
  std::vector<std::vector<Lattice>> out;
  const auto bottom = plan_triangles(o, 0), middle = plan_triangles(o, 1), top = plan_triangles(o, 2);
  for (std::size_t t = 0; t < 2; ++t) {
    std::vector<Lattice> e = six_node_triangle(bottom[t]);
    for (const auto& c : middle[t]) e.push_back(c);
    for (const auto& c : six_node_triangle(top[t])) e.push_back(c);
    out.push_back(e);
  }
  return out;
}

// Six tetrahedra around the cell's diagonal, each with a positive volume
// (X2 - X1) . ((X3 - X1) x (X4 - X1)) > 0. Their corners are numbered in
// three ways (even permutations), so that all four faces of the type come
// to lie on the cell's sides.
std::vector<std::vector<Lattice>> tet10_cell(const Lattice& o) {
  constexpr std::array<std::array<std::size_t, 4>, 3> kNumbering{{{0, 1, 2, 3}, {0, 3, 1, 2}, {2, 1, 3, 0}}};
  std::vector<std::vector<Lattice>> out;
  std::array<int, 3> axes{0, 1, 2};
  do {
    std::array<Lattice, 4> c{o, o, o, at(o, 2, 2, 2)};
    c[1][static_cast<std::size_t>(axes[0])] += 2;
    c[2] = c[1];
    c[2][static_cast<std::size_t>(axes[1])] += 2;
    const auto d = [&](int a, int s) { return c[static_cast<std::size_t>(a + 1)][static_cast<std::size_t>(s)] - c[0][static_cast<std::size_t>(s)]; };
    const int volume = d(0, 0) * (d(1, 1) * d(2, 2) - d(1, 2) * d(2, 1)) - d(0, 1) * (d(1, 0) * d(2, 2) - d(1, 2) * d(2, 0)) +
                       d(0, 2) * (d(1, 0) * d(2, 1) - d(1, 1) * d(2, 0));
    if (volume < 0) std::swap(c[1], c[2]);
    const auto& n = kNumbering[out.size() % 3];
    const auto corner = [&](int k) { return c[n[static_cast<std::size_t>(k)]]; };
    out.push_back({corner(0), mid(corner(0), corner(1)), corner(1), mid(corner(0), corner(2)), mid(corner(1), corner(2)),
                   corner(2), mid(corner(0), corner(3)), mid(corner(1), corner(3)), mid(corner(2), corner(3)), corner(3)});
  } while (std::next_permutation(axes.begin(), axes.end()));
  return out;
}

// Plane and axisymmetric elements in the (i, j) plane.
std::vector<std::vector<Lattice>> quad_cell(const Lattice& o) {
  return {{at(o, 0, 0, 0), at(o, 2, 0, 0), at(o, 0, 2, 0), at(o, 2, 2, 0)}};
}

std::vector<std::vector<Lattice>> triangle_cell(const Lattice& o) {
  const auto t = plan_triangles(o, 0);
  return {{t[0].begin(), t[0].end()}, {t[1].begin(), t[1].end()}};
}

const std::vector<int> kHex8Order{1, 2, 4, 3, 5, 6, 8, 7};
const std::vector<int> kQuadOrder{1, 2, 4, 3};

ElementType solid(const std::string& name) {
  if (name == "HEX8" || name == "HEX8R") return {name, kHex8Order, hex8_cell};
  if (name == "HEX20")
    return {name, {1, 2, 3, 8, 4, 7, 6, 5, 9, 10, 12, 11, 13, 14, 15, 20, 16, 19, 18, 17}, hex20_cell};
  if (name == "PENT6") return {name, identity(6), pent6_cell};
  if (name == "PENT15") return {name, {1, 2, 3, 6, 4, 5, 7, 8, 9, 10, 11, 12, 15, 13, 14}, pent15_cell};
  return {name, {1, 2, 3, 6, 4, 5, 7, 8, 9, 10}, tet10_cell};
}

ElementType planar(const std::string& name) {
  if (name == "TPLAN3" || name == "TAX3") return {name, identity(3), triangle_cell};
  return {name, kQuadOrder, quad_cell};
}

bool axisymmetric(const std::string& name) { return name == "QAX4" || name == "QAX4R" || name == "TAX3"; }

// ---- Mesh and deck ----------------------------------------------------------

// A mesh of cells (ci, cj, ck) of one element type; node positions from the
// lattice by the coordinates of each lattice line. Nodes are numbered from
// the first number given with k slowest, then j, then i; elements in cell
// order.
struct Mesh {
  ElementType type;
  std::array<std::vector<double>, 3> lines;  // coordinate of lattice line i, j, k
  int first_element;
  std::vector<std::vector<Lattice>> elements;
  std::map<Lattice, int> ids;
  std::map<Lattice, Xyz> moved;  // nodes placed off their lattice lines

  Mesh(ElementType t, std::array<std::vector<double>, 3> l, int first_node = 1, int first_element = 1)
      : type(std::move(t)), lines(std::move(l)), first_element(first_element) {
    const auto cells = [&](int axis) { return std::max<int>(1, static_cast<int>(lines[static_cast<std::size_t>(axis)].size()) / 2); };
    for (int ck = 0; ck < cells(2); ++ck)
      for (int cj = 0; cj < cells(1); ++cj)
        for (int ci = 0; ci < cells(0); ++ci)
          for (auto& e : type.cell({2 * ci, 2 * cj, 2 * ck})) elements.push_back(e);
    std::set<Lattice> used;
    for (const auto& e : elements)
      for (const auto& p : e) used.insert({p[2], p[1], p[0]});
    int n = first_node;
    for (const auto& p : used) ids[{p[2], p[1], p[0]}] = n++;
  }

  Xyz xyz(const Lattice& p) const {
    if (const auto m = moved.find(p); m != moved.end()) return m->second;
    Xyz x{};
    for (std::size_t a = 0; a < 3; ++a) x[a] = lines[a].empty() ? 0.0 : lines[a][static_cast<std::size_t>(p[a])];
    return x;
  }
  int element_count() const { return static_cast<int>(elements.size()); }

  // The nodes whose position satisfies a test.
  std::vector<int> nodes_where(const std::function<bool(const Xyz&)>& test) const {
    std::vector<int> out;
    for (const auto& [p, id] : ids)
      if (test(xyz(p))) out.push_back(id);
    std::sort(out.begin(), out.end());
    return out;
  }

  // "ELEMENT", "MATERIAL", "NODE" and "CONNECTI" cards.
  // Further parameter cards of the material may be given.
  std::string cards(const std::string& parameters = "") const {
    return "ELEMENT\n" + card({"1", type.name}) + "\n" + material_cards() + parameters + "NODE\n" + node_cards() +
           "CONNECTI\n" + connection_cards();
  }

  // The soil: material 1.
  static std::string material_cards() {
    return "MATERIAL\n" + card({"1", "0"}) + "\n" + card({"", "E", "1.0E+4"}) + "\n" + card({"", "NU", "0.25"}) + "\n" +
           card({"", "GAMM", "18.0"}) + "\n";
  }

  std::string node_cards() const {
    std::string b;
    for (const auto& [p, id] : ids) {
      const Xyz x = xyz(p);
      b += card({std::to_string(id), "", field8(x[0]), field8(x[1]), field8(x[2])}) + "\n";
    }
    return b;
  }

  // Elements of user type 1 and material 1.
  std::string connection_cards() const {
    std::string b;
    for (int e = 0; e < element_count(); ++e) b += connection(first_element + e, 1, 0, 1, input_nodes(e));
    return b;
  }

  // The element's node numbers in the order of the cards.
  std::vector<int> input_nodes(int e) const {
    const auto& el = elements[static_cast<std::size_t>(e)];
    std::vector<int> out(el.size());
    for (std::size_t k = 0; k < el.size(); ++k)
      out[static_cast<std::size_t>(type.input_position[k] - 1)] = ids.at(el[k]);
    return out;
  }

  // Mean position of an element's nodes: its centre (the centroid for the
  // triangles and tetrahedra).
  Xyz centre(int e) const {
    Xyz c{};
    const auto& el = elements[static_cast<std::size_t>(e)];
    for (const auto& p : el)
      for (std::size_t a = 0; a < 3; ++a) c[a] += xyz(p)[a] / static_cast<double>(el.size());
    return c;
  }

  // "CONNECTI" cards of one element: six nodes on the first card, nine on
  // each continuation card.
  static std::string connection(int id, int type, int property, int material, const std::vector<int>& nodes) {
    std::vector<std::string> f{std::to_string(id), std::to_string(type), property > 0 ? std::to_string(property) : "",
                               std::to_string(material)};
    std::string out;
    std::size_t n = 0;
    for (; n < nodes.size() && n < 6; ++n) f.push_back(std::to_string(nodes[n]));
    out += fields_card(f);
    while (n < nodes.size()) {
      std::vector<std::string> g{""};
      for (std::size_t k = 0; k < 9 && n < nodes.size(); ++k, ++n) g.push_back(std::to_string(nodes[n]));
      out += fields_card(g);
    }
    return out;
  }

  static std::string fields_card(const std::vector<std::string>& f) {
    std::string out;
    for (const auto& s : f) {
      std::string field = s.substr(0, 8);
      field.resize(8, ' ');
      out += field;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out + "\n";
  }
};

// "CONST" member cards holding components c..d of the nodes given, one card
// per run of consecutive numbers; with a value, "DISP" member cards that
// prescribe it.
std::string hold(const std::vector<int>& nodes, int c, int d, const std::string& value = "") {
  std::string out;
  for (std::size_t a = 0; a < nodes.size();) {
    std::size_t b = a;
    while (b + 1 < nodes.size() && nodes[b + 1] == nodes[b] + 1) ++b;
    out += card({"", std::to_string(nodes[a]), std::to_string(nodes[b]), "1", "", std::to_string(c), std::to_string(d), value}) +
           "\n";
    a = b + 1;
  }
  return out;
}

// A "DLOAD" member: element e, load code, the values of components 1..n
// (three on the first card, nine on each continuation card).
std::string dload(int e, int code, const std::vector<double>& values) {
  std::vector<std::string> f{"", std::to_string(e), "", "", std::to_string(code), "1", std::to_string(values.size())};
  std::string out;
  std::size_t n = 0;
  for (; n < values.size() && n < 3; ++n) f.push_back(field8(values[n]));
  out += Mesh::fields_card(f);
  while (n < values.size()) {
    std::vector<std::string> g{""};
    for (std::size_t k = 0; k < 9 && n < values.size(); ++k, ++n) g.push_back(field8(values[n]));
    out += Mesh::fields_card(g);
  }
  return out;
}

// Runs a deck whole; false (with a failure) when the run counted errors.
bool run_whole(DeckRun& run) {
  run.analysis();
  EXPECT_EQ(sysw().IERFLG, 0);
  return sysw().IERFLG == 0;
}

// The element stress table of the listing: per element, the numbers of its
// "STRESS" line (the components, then the von Mises stress and what
// follows) and of the "STRAIN" line of its total strains under it.
struct ListedPoint {
  std::vector<double> stress, strain;
};

std::vector<double> numbers_from(std::istringstream& in) {
  std::vector<double> out;
  for (std::string t; in >> t;) {
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (*end == '\0') out.push_back(v);
  }
  return out;
}

std::map<int, ListedPoint> listed_stresses(const std::vector<std::string>& listing) {
  std::map<int, ListedPoint> out;
  for (std::size_t i = 0; i + 1 < listing.size(); ++i) {
    std::istringstream in(listing[i]);
    std::string id, dash, point, word;
    if (!(in >> id >> dash >> point >> word) || dash != "-" || word != "STRESS") continue;
    ListedPoint& e = out[std::stoi(id)];
    e.stress = numbers_from(in);
    // The total strains: the "STRAIN" line, after the elastic and thermal
    // ones when those are printed.
    for (std::size_t k = i + 1; k < std::min(i + 4, listing.size()); ++k) {
      std::istringstream next(listing[k]);
      if (next >> word && word == "STRAIN") {
        e.strain = numbers_from(next);
        break;
      }
    }
  }
  return out;
}

// ---- Laterally confined column under its own weight -----------------------

// A column of height H on a fixed base, every node held sideways, under
// gravity: u = -g/M (H z - z^2/2) along the column axis and the stress
// s_axis = -g (H - z), s_lateral = nu/(1 - nu) s_axis. Quadratic elements
// hold both exactly everywhere; the linear elements whose shape functions
// are products along and across the axis give the displacements exactly at
// the nodes with consistent loads, and their constant stress is the closed
// form at the element's mid-height. (The linear triangles on a mesh of
// uneven width are not exact in this problem; they meet the uniform stress
// states below.)
constexpr double kHeight = 3.0;

double column_u(double z) { return -kGamma / kM * (kHeight * z - z * z / 2.0); }
double column_stress(double z) { return -kGamma * (kHeight - z); }

struct ColumnCase {
  std::string type;
  bool planar;
};

// Runs the column, in one interval under its own weight, or (excavated)
// with a second interval that removes its top cell layer (element group 2)
// and releases its forces in one step. Checks the displacements of the
// nodes below the removed layer (at or below height `below`), and the
// stresses of the elements left, against the closed form: u(z) plus g h z / M
// for a removed layer of thickness h, stress of the column of height H - h.
void expect_column(const ColumnCase& c, bool excavated) {
  // Three cells over the height, one across (two across for the planar
  // types, with an uneven width).
  const std::vector<double> height{0.0, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0};
  const std::size_t axis = c.planar ? 1 : 2;
  std::array<std::vector<double>, 3> lines;
  if (c.planar) {
    lines = {std::vector<double>{1.0, 1.25, 1.5, 2.25, 3.0}, height, {}};
  } else {
    lines = {std::vector<double>{0.0, 0.5, 1.0}, std::vector<double>{0.0, 0.5, 1.0}, height};
  }
  const Mesh mesh(c.planar ? planar(c.type) : solid(c.type), lines);
  const auto all = mesh.nodes_where([](const Xyz&) { return true; });
  const auto base = mesh.nodes_where([&](const Xyz& x) { return x[axis] == 0.0; });
  std::string b = mesh.cards() + "CONST\n" + hold(all, 1, c.planar ? 1 : 2) + hold(base, c.planar ? 2 : 3, c.planar ? 2 : 3);
  const std::string count = std::to_string(mesh.element_count());
  const std::string gravity = c.planar ? card({"", "1", count, "1", "0.0", "-1.0", "0.0"})
                                       : card({"", "1", count, "1", "0.0", "0.0", "-1.0"});
  b += "BODY\n" + card({"1"}) + "\n" + gravity + "\n";
  // The top layer: the last third of the elements (cells are numbered
  // layer by layer from the base).
  const int kept = 2 * mesh.element_count() / 3;
  const double layer = 1.0, below = excavated ? kHeight - layer : kHeight;
  if (excavated)
    b += "EGROUP\n" + card({"2"}) + "\n" + card({"", "F2", std::to_string(kept + 1), count}) + "\n";
  b += "HISTORY\n" + card({"INTERVAL", "1"}) + "\n" + card({"", "BODY", "1", "1.0"}) + "\n";
  if (excavated)
    b += card({"INTERVAL", "1"}) + "\n" + card({"", "INAC", "2"}) + "\n" + card({"", "RELS", "2", "1.0"}) + "\n";
  DeckRun run(bulk_deck(b, "OUTPUT\nSTRE = ALL\n"));
  ASSERT_TRUE(run_whole(run));

  const auto u = displacements();
  // The released forces come from the stresses the state keeps in single
  // precision.
  const double scale = std::abs(column_u(kHeight)) * (excavated ? 1e-7 : 1e-10);
  const double lift = excavated ? kGamma * layer / kM : 0.0;
  for (const auto& [p, id] : mesh.ids) {
    const Xyz x = mesh.xyz(p);
    if (x[axis] > below) continue;
    EXPECT_NEAR(u.at({id, static_cast<int>(axis)}), column_u(x[axis]) + lift * x[axis], scale) << "node " << id;
  }
  // The stresses in the state and, to five figures, in the listing's
  // stress table of the last step.
  const auto points = output_points(mesh.element_count());
  const auto listed = listed_stresses(run.listing());
  for (int e = 0; e < (excavated ? kept : mesh.element_count()); ++e) {
    const auto& s = points[static_cast<std::size_t>(e)].vec[0];
    const double sa = column_stress(mesh.centre(e)[axis] + kHeight - below), sl = kNu / (1 - kNu) * sa;
    // Normal components: axis, then the two lateral ones, in the order of
    // the element class.
    const std::array<double, 3> want = c.planar ? std::array<double, 3>{sl, sa, sl} : std::array<double, 3>{sl, sl, sa};
    const auto row = listed.find(e + 1);
    ASSERT_NE(row, listed.end()) << "element " << e + 1;
    for (std::size_t k = 0; k < 3; ++k) {
      EXPECT_NEAR(s[k], want[k], 1e-9 * kGamma * kHeight) << "element " << e + 1 << " component " << k;
      EXPECT_NEAR(row->second.stress.at(k), want[k], 1e-4 * kGamma * kHeight) << "element " << e + 1 << " component " << k;
    }
    EXPECT_NEAR(s[3], 0.0, 1e-9 * kGamma * kHeight) << "element " << e + 1;
  }
}

class ConfinedColumn : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(ConfinedColumn, SettlesAndStressesAsTheClosedForm) { expect_column(GetParam(), false); }

// Removing the top layer unloads the rest by the layer's weight: the
// forces released at the new surface (mid-side nodes included) are the
// consistent loads of the pressure g h, which lifts every point by g h z / M.
TEST_P(ConfinedColumn, ExcavatingTheTopLayerLiftsTheRestByItsWeight) { expect_column(GetParam(), true); }

INSTANTIATE_TEST_SUITE_P(Types, ConfinedColumn,
                         ::testing::Values(ColumnCase{"HEX8", false}, ColumnCase{"HEX8R", false},
                                           ColumnCase{"PENT6", false}, ColumnCase{"HEX20", false},
                                           ColumnCase{"PENT15", false}, ColumnCase{"TET10", false},
                                           ColumnCase{"QPLAN4R", true}, ColumnCase{"QAX4", true}, ColumnCase{"QAX4R", true}),
                         [](const auto& info) { return info.param.type; });

// ---- Uniform stress states under pressure on faces and edges --------------

// The displacements of a uniform stress state s (sx, sy, sz) in an
// isotropic body: u_a = e_a (x_a - origin_a).
Xyz uniform_strain(const Xyz& s) {
  Xyz e{};
  for (std::size_t a = 0; a < 3; ++a) e[a] = (s[a] - kNu * (s[(a + 1) % 3] + s[(a + 2) % 3])) / kE;
  return e;
}

// Checks a run against a uniform state: every node's displacements (strains
// e about the origin o), every output point's stresses s in the order of
// the element class (shears zero), and the listing's stress table: s, the
// von Mises stress of s and the strains given in the order of the class.
void expect_uniform(const DeckRun& run, const Mesh& mesh, int dims, const Xyz& e, const Xyz& o, const std::vector<double>& s,
                    const std::vector<double>& strains) {
  const auto u = displacements();
  for (const auto& [p, id] : mesh.ids) {
    const Xyz x = mesh.xyz(p);
    for (int a = 0; a < dims; ++a) {
      const auto k = static_cast<std::size_t>(a);
      EXPECT_NEAR(u.at({id, a}), e[k] * (x[k] - o[k]), 1e-12) << "node " << id << " component " << a;
    }
  }
  // The state keeps the stresses in single precision.
  const auto points = output_points(mesh.element_count());
  for (int el = 0; el < mesh.element_count(); ++el)
    for (std::size_t k = 0; k < s.size(); ++k)
      EXPECT_NEAR(points[static_cast<std::size_t>(el)].vec[0][k], s[k], 1e-6 * kPressure)
          << "element " << el + 1 << " component " << k;
  // Printed to five figures.
  const double mises = std::sqrt((std::pow(s[0] - s[1], 2) + std::pow(s[1] - s[2], 2) + std::pow(s[2] - s[0], 2)) / 2);
  const auto listed = listed_stresses(run.listing());
  ASSERT_EQ(static_cast<int>(listed.size()), mesh.element_count());
  for (const auto& [id, l] : listed) {
    ASSERT_GT(l.stress.size(), s.size()) << "element " << id;
    ASSERT_EQ(l.strain.size(), strains.size()) << "element " << id;
    for (std::size_t k = 0; k < s.size(); ++k) EXPECT_NEAR(l.stress[k], s[k], 1e-4 * kPressure) << "element " << id << " stress " << k;
    EXPECT_NEAR(l.stress[s.size()], mises, 1e-4 * kPressure) << "element " << id;
    for (std::size_t k = 0; k < strains.size(); ++k)
      EXPECT_NEAR(l.strain[k], strains[k], 1e-4 * kPressure / kE) << "element " << id << " strain " << k;
  }
}

// The faces of each type by their corners (numbered as the type's corners,
// 1-based) and their load codes: the hexahedra's faces zeta = -1, +1, eta =
// -1, xi = +1, eta = +1, xi = -1; the pentahedra's two triangles, then the
// sides 1-2, 2-3, 3-1; the tetrahedron's faces opposite corners 4, 3, 1, 2;
// the edges of the quadrilaterals 1-2, 2-4, 4-3, 3-1 and of the triangles
// 1-2, 2-3, 3-1.
std::vector<std::vector<int>> faces_of(const std::string& type) {
  if (type == "HEX8" || type == "HEX8R" || type == "HEX20")
    return {{1, 2, 3, 4}, {5, 6, 7, 8}, {1, 2, 5, 6}, {2, 4, 6, 8}, {3, 4, 7, 8}, {1, 3, 5, 7}};
  if (type == "PENT6" || type == "PENT15") return {{1, 2, 3}, {4, 5, 6}, {1, 2, 4, 5}, {2, 3, 5, 6}, {1, 3, 4, 6}};
  if (type == "TET10") return {{1, 2, 3}, {1, 2, 4}, {2, 3, 4}, {1, 3, 4}};
  if (type == "TPLAN3" || type == "TAX3") return {{1, 2}, {2, 3}, {3, 1}};
  return {{1, 2}, {2, 4}, {4, 3}, {3, 1}};
}

// Where the type's corners are among its nodes (1-based).
std::vector<int> corner_nodes(const std::string& type) {
  if (type == "HEX20") return {1, 3, 6, 8, 13, 15, 18, 20};
  if (type == "PENT15") return {1, 3, 6, 10, 12, 15};
  if (type == "TET10") return {1, 3, 6, 10};
  return identity(8);
}

// The number of values of a face load: one per node of the face.
std::size_t face_values(const std::string& type, std::size_t corners) {
  if (type == "HEX20") return 8;
  if (type == "PENT15") return corners == 3 ? 6 : 8;
  if (type == "TET10") return 6;
  return corners;
}

// "DLOAD" members of value v on every element face (or edge) lying in the
// plane where coordinate `axis` equals `at`: a pressure, or with direction
// d a load along global axis d (faces of the hexahedra: code 10 face + d;
// edges: code 10 d + edge, direction 3 along x on the edge's length).
// The face codes loaded are added to `codes` when given.
std::string face_loads(const Mesh& mesh, std::size_t axis, double at, double v, int direction = 0,
                       std::set<int>* codes = nullptr) {
  const std::string& type = mesh.type.name;
  const auto faces = faces_of(type);
  const auto corners = corner_nodes(type);
  const bool edge = faces.front().size() == 2;
  std::string out;
  for (int e = 0; e < mesh.element_count(); ++e) {
    const auto& el = mesh.elements[static_cast<std::size_t>(e)];
    for (std::size_t f = 0; f < faces.size(); ++f) {
      const auto& face = faces[f];
      if (!std::all_of(face.begin(), face.end(), [&](int c) {
            return mesh.xyz(el[static_cast<std::size_t>(corners[static_cast<std::size_t>(c - 1)] - 1)])[axis] == at;
          }))
        continue;
      const int code = static_cast<int>(f) + 1;
      out += dload(mesh.first_element + e, direction == 0 ? code : edge ? 10 * direction + code : 10 * code + direction,
                   std::vector<double>(face_values(type, face.size()), v));
      if (codes != nullptr) codes->insert(code);
    }
  }
  return out;
}

// A solid block, 2 x 2 x 1.5, under pressures px, py, pz on its two faces
// across x, y and z (the face-load entries of every element face there),
// held against rigid motion only (origin fixed, (2, 0, 0) in y and z,
// (0, 2, 0) in z): the stress is uniform, s = (-px, -py, -pz), and
// u_a = e_a x_a at every node, exactly, for every element type. Every face
// code of every type takes a load.
constexpr Xyz kPressures{10.0, 6.0, 3.0};

// The block, 2 x 2 x 1.5, and its supports against rigid motion.
// The inner corner node is moved off its lines, so that the elements
// around it are no longer boxes; not for HEX8, whose shear strains, sampled
// on the element's central axes, take a uniform stress state exactly only
// in elements whose faces are parallel in pairs (its moved block comes out
// some 0.3 % off).
Mesh block_mesh(const std::string& type) {
  Mesh mesh(solid(type), {std::vector<double>{0.0, 0.375, 0.75, 1.375, 2.0}, std::vector<double>{0.0, 0.5, 1.0, 1.5, 2.0},
                          std::vector<double>{0.0, 0.5, 1.0, 1.25, 1.5}});
  if (type != "HEX8") mesh.moved[{2, 2, 2}] = {0.875, 1.125, 1.0625};
  return mesh;
}

std::string block_supports(const Mesh& mesh) {
  const auto node_at = [&](const Xyz& p) { return mesh.nodes_where([&](const Xyz& x) { return x == p; }); };
  return "CONST\n" + hold(node_at({0, 0, 0}), 1, 3) + hold(node_at({2, 0, 0}), 2, 3) + hold(node_at({0, 2, 0}), 3, 3);
}

class PressedBlock : public ::testing::TestWithParam<std::string> {};

TEST_P(PressedBlock, CarriesTheUniformStressExactly) {
  const Mesh mesh = block_mesh(GetParam());
  const Xyz far{2.0, 2.0, 1.5};
  std::string b = mesh.cards() + block_supports(mesh) + "DLOAD\n" + card({"1"}) + "\n";
  std::set<int> codes;
  for (std::size_t a = 0; a < 3; ++a)
    for (const double at : {0.0, far[a]}) {
      const std::string loads = face_loads(mesh, a, at, kPressures[a], 0, &codes);
      EXPECT_FALSE(loads.empty()) << "axis " << a << " at " << at;
      b += loads;
    }
  EXPECT_EQ(codes.size(), faces_of(GetParam()).size());
  b += "HISTORY\n" + card({"INTERVAL", "1"}) + "\n" + card({"", "DLOAD", "1", "1.0"}) + "\n";
  DeckRun run(bulk_deck(b, "OUTPUT\nSTRE = ALL\n"));
  ASSERT_TRUE(run_whole(run));
  const Xyz s{-kPressures[0], -kPressures[1], -kPressures[2]};
  const Xyz e = uniform_strain(s);
  expect_uniform(run, mesh, 3, e, {0, 0, 0}, {s[0], s[1], s[2], 0, 0, 0}, {e[0], e[1], e[2], 0, 0, 0});
}

INSTANTIATE_TEST_SUITE_P(Types, PressedBlock, ::testing::Values("HEX8", "HEX8R", "PENT6", "HEX20", "PENT15", "TET10"),
                         [](const auto& info) { return info.param; });

// A plane or axisymmetric block, r (or x) from 1 to 3 and z (or y) from 0
// to 1.5, under a pressure p on its sides and q on its top and bottom edges,
// held against rigid motion only (the plane block at (1, 0) and in y at
// (3, 0); the ring, a thick cylinder, in z at (1, 0)). The stress is
// uniform: plane strain sx = -p, sy = -q, sz = nu (sx + sy), u_x =
// e_x (x - 1); the ring sr = s_hoop = -p, sz = -q, u_r = e_r r. On the top
// and bottom edges the element loads are weighted by the radius; any other
// weighting leaves the ring's nodes off the closed form. One inner node is
// moved off its lines. The ring of mean-dilatation elements (QAX4R) holds
// the state only when its dilatation is the mean over the ring, weighted by
// the radius: taken at the element centre it leaves the nodes up to three
// times off.
constexpr double kTopPressure = 4.0;

// The plane or axisymmetric block, r (or x) from 1 to 3, z (or y) from 0 to
// 1.5, one inner node off its lines, and its supports against rigid motion.
Mesh ring_mesh(const std::string& type) {
  Mesh mesh(planar(type), {std::vector<double>{1.0, 1.25, 1.5, 2.25, 3.0}, std::vector<double>{0.0, 0.5, 1.0, 1.25, 1.5}, {}});
  mesh.moved[{2, 2, 0}] = {1.625, 1.125, 0.0};
  return mesh;
}

std::string ring_supports(const Mesh& mesh) {
  const bool ring = axisymmetric(mesh.type.name);
  const auto node_at = [&](const Xyz& p) { return mesh.nodes_where([&](const Xyz& x) { return x == p; }); };
  return "CONST\n" + hold(node_at({1, 0, 0}), ring ? 2 : 1, 2) + (ring ? "" : hold(node_at({3, 0, 0}), 2, 2));
}

class PressedRing : public ::testing::TestWithParam<std::string> {};

TEST_P(PressedRing, CarriesTheUniformStressExactly) {
  const bool ring = axisymmetric(GetParam());
  const Mesh mesh = ring_mesh(GetParam());
  std::string b = mesh.cards() + ring_supports(mesh) + "DLOAD\n" + card({"1"}) + "\n";
  for (const double at : {1.0, 3.0}) b += face_loads(mesh, 0, at, kPressure);
  for (const double at : {0.0, 1.5}) b += face_loads(mesh, 1, at, kTopPressure);
  b += "HISTORY\n" + card({"INTERVAL", "1"}) + "\n" + card({"", "DLOAD", "1", "1.0"}) + "\n";
  DeckRun run(bulk_deck(b, "OUTPUT\nSTRE = ALL\n"));
  ASSERT_TRUE(run_whole(run));
  if (ring) {
    // Strains along r, z and the hoop; stresses in the order r, z, hoop.
    const Xyz e = uniform_strain({-kPressure, -kTopPressure, -kPressure});
    expect_uniform(run, mesh, 2, e, {0, 0, 0}, {-kPressure, -kTopPressure, -kPressure, 0}, {e[0], e[1], e[2], 0});
  } else {
    const double sz = kNu * (-kPressure - kTopPressure);
    const Xyz e = uniform_strain({-kPressure, -kTopPressure, sz});
    expect_uniform(run, mesh, 2, e, {1, 0, 0}, {-kPressure, -kTopPressure, sz, 0}, {e[0], e[1], 0, 0});
  }
}

INSTANTIATE_TEST_SUITE_P(Types, PressedRing, ::testing::Values("QPLAN4", "QPLAN4R", "TPLAN3", "QAX4", "QAX4R", "TAX3"),
                         [](const auto& info) { return info.param; });

// A thick cylinder, bore a = 1, outside b = 2, in plane strain (every node
// held axially), under a pressure p on its bore through the edge loads of
// the ring's elements (16 rings of equal width): Lame's radial displacement
// u(r) = (1 + nu)/E ((1 - 2 nu) A r + B / r), A = p a^2 / (b^2 - a^2),
// B = p a^2 b^2 / (b^2 - a^2), which the plain linear rings meet to the
// square of their width (within 0.2 % here) at the bore and outside. The
// mean-dilatation ring meets it exactly at its nodes: the mean dilatation of
// a ring element depends on its end values only (r u at both ends), so the
// nodal values of Lame's field give its constant dilatation exactly.
TEST(ThickCylinder, BoreAndOutsideMoveAsLame) {
  constexpr int rings = 16;
  std::vector<double> r;
  for (int i = 0; i <= 2 * rings; ++i) r.push_back(1.0 + i / (2.0 * rings));
  for (const std::string type : {"QAX4", "QAX4R", "TAX3"}) {
    SCOPED_TRACE(type);
    const Mesh mesh(planar(type), {r, std::vector<double>{0.0, 0.03125, 0.0625}, {}});
    std::string b = mesh.cards() + "CONST\n" + hold(mesh.nodes_where([](const Xyz&) { return true; }), 2, 2) + "DLOAD\n" +
                    card({"1"}) + "\n" + face_loads(mesh, 0, 1.0, kPressure);
    b += "HISTORY\n" + card({"INTERVAL", "1"}) + "\n" + card({"", "DLOAD", "1", "1.0"}) + "\n";
    DeckRun run(bulk_deck(b));
    ASSERT_TRUE(run_whole(run));
    const double d = 4.0 - 1.0, big_a = kPressure / d, big_b = kPressure * 4.0 / d;
    const auto lame = [&](double x) { return (1 + kNu) / kE * ((1 - 2 * kNu) * big_a * x + big_b / x); };
    const auto u = displacements();
    for (const double at : {1.0, 2.0})
      for (const int id : mesh.nodes_where([&](const Xyz& x) { return x[0] == at; }))
        EXPECT_NEAR(u.at({id, 0}), lame(at), (type == "QAX4R" ? 1e-9 : 2e-3) * lame(at)) << "node " << id << " at r = " << at;
  }
}

// The same blocks heated uniformly by T (element temperatures of a
// "TEMPERAT" set), free to expand: every strain is alpha T and nothing is
// stressed; in plane strain the held out-of-plane expansion adds nu alpha T
// to the in-plane strains and leaves sz = -E alpha T.
constexpr double kHeat = 100.0;

class HeatedBlock : public ::testing::TestWithParam<std::string> {};

TEST_P(HeatedBlock, ExpandsFreely) {
  const bool solid_type = GetParam().find("HEX") == 0 || GetParam().find("PENT") == 0 || GetParam() == "TET10";
  const Mesh mesh = solid_type ? block_mesh(GetParam()) : ring_mesh(GetParam());
  std::string b = mesh.cards(card({"", "ALPHA", "1.0E-5"}) + "\n") + (solid_type ? block_supports(mesh) : ring_supports(mesh));
  b += "TEMPERAT\n" + card({"1"}) + "\n" + card({"", "1", std::to_string(mesh.element_count()), "1", field8(kHeat)}) + "\n";
  b += "HISTORY\n" + card({"INTERVAL", "1"}) + "\n" + card({"", "TEMP", "1", "1.0"}) + "\n";
  DeckRun run(bulk_deck(b, "OUTPUT\nSTRE = ALL\n"));
  ASSERT_TRUE(run_whole(run));
  const double free = static_cast<double>(static_cast<float>(1.0e-5)) * kHeat;
  if (solid_type) {
    expect_uniform(run, mesh, 3, {free, free, free}, {0, 0, 0}, {0, 0, 0, 0, 0, 0}, {free, free, free, 0, 0, 0});
  } else if (axisymmetric(GetParam())) {
    expect_uniform(run, mesh, 2, {free, free, free}, {0, 0, 0}, {0, 0, 0, 0}, {free, free, free, 0});
  } else {
    const double in_plane = (1 + kNu) * free;
    expect_uniform(run, mesh, 2, {in_plane, in_plane, 0}, {1, 0, 0}, {0, 0, -kE * free, 0}, {in_plane, in_plane, 0, 0});
  }
}

INSTANTIATE_TEST_SUITE_P(Types, HeatedBlock,
                         ::testing::Values("HEX8", "HEX8R", "PENT6", "HEX20", "PENT15", "TET10", "QPLAN4", "QPLAN4R", "TPLAN3",
                                           "QAX4", "QAX4R", "TAX3"),
                         [](const auto& info) { return info.param; });

// ---- Joints between two blocks -----------------------------------------------

// Two blocks stacked along the vertical axis (y in the plane, z in space),
// the lower one from 0 to 1 on a fixed base, the upper one from 1 to 2,
// joined at 1 by joint elements between coinciding nodes: JOINT4 between
// QPLAN4 blocks, JOINT6 between PENT6, JOINT8 between HEX8, JOINT12 between
// PENT15 and JOINT16 between HEX20 blocks.
//   - A pressure p on the upper block's top, every node held sideways: the
//     blocks compress as confined columns, u = -p z / M, and the joint
//     closes by p / kn, so that the upper block moves down by
//     p / M + p / kn + p (z - 1) / M.
//   - Shear, every node held vertically (and in y): a traction t along x on
//     the top (the types with loads along an axis on their faces) or a body
//     force b along x in the upper block (the others) shears the joint by
//     the traction s = t + b below its strength c, so that it slips
//     elastically by s / ks; the lower block shears uniformly, u = s z / G,
//     the upper one by its shear stress t + b (2 - z).
// The joints' output points hold the normal and shear tractions and the
// relative displacements of their faces (kept in single precision).
constexpr double kKn = 1.0e3, kKs = 5.0e2, kJointC = 100.0, kTraction = 5.0, kSideways = 0.25, kShift = 0.5, kLift = 0.01;
constexpr double kTensionLimit = 1.0;
constexpr double kG = kE / (2 * (1 + kNu));

struct JointCase {
  std::string block, joint;
};

// A joint type's faces on one cell of the blocks' lattice (nodes in the
// order of the face's shape functions, at k = 0) and where each of its
// nodes goes on the cards, first face then second.
struct JointFaces {
  std::vector<std::vector<Lattice>> faces;
  std::vector<int> input_position;
};

JointFaces joint_faces(const std::string& joint, const Lattice& o) {
  const auto triangles = plan_triangles(o, 0);
  if (joint == "JOINT6" || joint == "JOINT12") {
    std::vector<std::vector<Lattice>> faces;
    for (const auto& t : triangles) faces.push_back(joint == "JOINT6" ? std::vector<Lattice>(t.begin(), t.end()) : six_node_triangle(t));
    return {faces, joint == "JOINT6" ? identity(6) : std::vector<int>{1, 2, 3, 6, 4, 5, 7, 8, 9, 12, 10, 11}};
  }
  if (joint == "JOINT16")
    return {{{at(o, 0, 0, 0), at(o, 1, 0, 0), at(o, 2, 0, 0), at(o, 0, 1, 0), at(o, 2, 1, 0), at(o, 0, 2, 0), at(o, 1, 2, 0),
              at(o, 2, 2, 0)}},
            {1, 2, 3, 8, 4, 7, 6, 5, 9, 10, 11, 16, 12, 15, 14, 13}};
  return {{{at(o, 0, 0, 0), at(o, 2, 0, 0), at(o, 0, 2, 0), at(o, 2, 2, 0)}}, kHex8Order};
}

struct JointedColumn {
  JointCase c;
  bool plane;
  std::size_t up;  // vertical axis
  Mesh lower, upper;
  std::vector<std::vector<int>> joints;  // nodes in card order

  explicit JointedColumn(JointCase jc)
      : c(std::move(jc)),
        plane(c.block == "QPLAN4"),
        up(plane ? 1 : 2),
        lower(plane ? planar(c.block) : solid(c.block), lines(plane, {0.0, 0.5, 1.0}), 1, 1),
        upper(plane ? planar(c.block) : solid(c.block), lines(plane, {1.0, 1.5, 2.0}), 101, 101) {
    for (int ci = 0; ci < 2; ++ci) {
      if (plane) {
        // Around the element: nodes 1, 2 below, 3 over 2, 4 over 1.
        const Lattice a{2 * ci, 2, 0}, b{2 * ci + 2, 2, 0};
        joints.push_back({lower.ids.at(a), lower.ids.at(b), upper.ids.at({b[0], 0, 0}), upper.ids.at({a[0], 0, 0})});
        continue;
      }
      const JointFaces jf = joint_faces(c.joint, {2 * ci, 0, 0});
      for (const auto& face : jf.faces) {
        std::vector<int> internal;
        for (const Lattice& p : face) internal.push_back(lower.ids.at({p[0], p[1], 2}));
        for (const Lattice& p : face) internal.push_back(upper.ids.at({p[0], p[1], 0}));
        std::vector<int> nodes(internal.size());
        for (std::size_t k = 0; k < internal.size(); ++k) nodes[static_cast<std::size_t>(jf.input_position[k] - 1)] = internal[k];
        joints.push_back(nodes);
      }
    }
  }

  static std::array<std::vector<double>, 3> lines(bool plane, std::vector<double> vertical) {
    if (plane) return {std::vector<double>{0.0, 0.5, 1.0, 1.5, 2.0}, vertical, {}};
    return {std::vector<double>{0.0, 0.5, 1.0, 1.5, 2.0}, std::vector<double>{0.0, 0.5, 1.0}, vertical};
  }

  // Shear by a traction on the top (else by a body force).
  bool top_traction() const { return c.block == "QPLAN4" || c.block == "HEX8"; }

  std::vector<int> nodes_where(const std::function<bool(const Xyz&)>& test) const {
    auto out = lower.nodes_where(test);
    for (int n : upper.nodes_where(test)) out.push_back(n);
    return out;
  }

  // The loads: a pressure on the top, a shear (traction or body force), a
  // shift of the top by a prescribed displacement along x, a lift of the
  // top by a prescribed displacement upwards, or the weight of every
  // element, the joints included (which take no body force).
  enum class Load { pressure, shear, shift, lift, weight };

  // The load is applied in the steps given, in one interval.
  std::string deck(Load load, int steps = 1) const {
    const bool shear = load == Load::shear || load == Load::shift;
    std::string b = "ELEMENT\n" + card({"1", lower.type.name}) + "\n" + card({"2", c.joint}) + "\n" + Mesh::material_cards() +
                    card({"2", "0"}) + "\n" + card({"", "E", "1.0E+4"}) + "\n" + card({"", "NU", "0.25"}) + "\n" +
                    card({"", "C", "100.0"}) + "\n" + card({"", "PHAI", "30.0"}) + "\n";
    // kn, closure limit, tension limit, ks, -, residual c and phi, ratio.
    b += "PROPERTY\n" + card({"1", "8", field8(kKn), "1.0", field8(kTensionLimit), field8(kKs), "0.0", "0.0", "0.0", "0.0"}) + "\n";
    b += "NODE\n" + lower.node_cards() + upper.node_cards() + "CONNECTI\n" + lower.connection_cards() +
         upper.connection_cards();
    for (std::size_t k = 0; k < joints.size(); ++k) b += Mesh::connection(201 + static_cast<int>(k), 2, 1, 2, joints[k]);
    const auto all = nodes_where([](const Xyz&) { return true; });
    const auto base = nodes_where([&](const Xyz& x) { return x[up] == 0.0; });
    const int vertical = static_cast<int>(up) + 1;
    b += "CONST\n";
    if (shear) {
      b += hold(all, 2, vertical) + hold(base, 1, 1);
    } else {
      b += hold(all, 1, vertical - 1) + hold(base, vertical, vertical);
    }
    const double top = 2.0;
    std::string history = "        DLOAD          1     1.0\n";
    if (load == Load::weight) {
      const std::string down = plane ? "-1.0" : "0.0", down3 = plane ? "0.0" : "-1.0";
      b += "BODY\n" + card({"1"}) + "\n";
      for (const int first : {lower.first_element, upper.first_element, 201}) {
        const int count = first == 201 ? static_cast<int>(joints.size()) : lower.element_count();
        b += card({"", std::to_string(first), std::to_string(first + count - 1), "1", "0.0", down, down3}) + "\n";
      }
      history = "        BODY           1     1.0\n";
    } else if (load == Load::shift || load == Load::lift) {
      const int c = load == Load::shift ? 1 : vertical;
      b += "DISP\n" + card({"1"}) + "\n" +
           hold(upper.nodes_where([&](const Xyz& x) { return x[up] == top; }), c, c, field8(load == Load::shift ? kShift : kLift));
      history = "        DISP           1     1.0\n";
    } else if (shear && !top_traction()) {
      b += "BODY\n" + card({"1"}) + "\n" +
           card({"", std::to_string(upper.first_element), std::to_string(upper.first_element + upper.element_count() - 1), "1",
                 field8(kSideways), "0.0", "0.0"}) +
           "\n";
      history = "        BODY           1     1.0\n";
    } else {
      b += "DLOAD\n" + card({"1"}) + "\n" +
           face_loads(upper, up, top, shear ? kTraction : kPressure, shear ? (plane ? 3 : 1) : 0);
    }
    b += "HISTORY\n" + card({"INTERVAL", std::to_string(steps)}) + "\n" + history;
    return bulk_deck(b);
  }
};

// The output points of the joints, which follow the blocks' elements.
std::vector<EIVWK> joint_points(const JointedColumn& column) {
  const int blocks = column.lower.element_count() + column.upper.element_count();
  const auto points = output_points(blocks + static_cast<int>(column.joints.size()));
  return {points.begin() + blocks, points.end()};
}

// Runs the column under pressure or shear and checks the displacement
// component `moving` of every node against the closed form, the joints'
// traction s and relative displacement s / k_joint normal to them or along
// them, nothing in the other direction, and every joint point closed and
// sticking.
void expect_jointed(const JointCase& c, bool shear) {
  const JointedColumn column(c);
  DeckRun run(column.deck(shear ? JointedColumn::Load::shear : JointedColumn::Load::pressure));
  ASSERT_TRUE(run_whole(run));
  // Shear stress of the upper block: t + b (2 - z); the joint carries s.
  const double t = shear ? (column.top_traction() ? kTraction : 0.0) : -kPressure;
  const double body = shear && !column.top_traction() ? kGamma * kSideways : 0.0;
  const double s = t + body, block = shear ? kG : kM, joint = shear ? kKs : kKn;
  const int moving = shear ? 0 : static_cast<int>(column.up);
  const std::size_t across = shear ? 1 : 0;  // normal 0, shear 1
  const auto u = displacements();
  for (const Mesh* m : {&column.lower, &column.upper})
    for (const auto& [p, id] : m->ids) {
      const double z = m->xyz(p)[column.up];
      const double want = m == &column.lower
                              ? s * z / block
                              : s / block + s / joint + (t * (z - 1.0) + body * (2.0 * (z - 1.0) - (z * z - 1.0) / 2.0)) / block;
      EXPECT_NEAR(u.at({id, moving}), want, 1e-12) << "node " << id;
    }
  const auto joints = joint_points(column);
  for (std::size_t k = 0; k < joints.size(); ++k) {
    const EIVWK& j = joints[k];
    // Normal component, and the resultant of the shear components (their
    // axes follow the joint's first edge).
    const std::array<double, 2> traction{j.vec[0][0], std::hypot(j.vec[0][1], j.vec[0][2])};
    const std::array<double, 2> opening{j.vec[2][0], std::hypot(j.vec[2][1], j.vec[2][2])};
    EXPECT_NEAR(traction[across], std::abs(s) * (shear ? 1 : -1), 1e-6 * kPressure) << "joint " << k;
    EXPECT_NEAR(opening[across], std::abs(s) / joint * (shear ? 1 : -1), 1e-7 * std::abs(s) / joint) << "joint " << k;
    EXPECT_NEAR(traction[1 - across], 0.0, 1e-6 * kPressure) << "joint " << k;
    EXPECT_EQ(j.blk.b11.iv[0], 2) << "joint " << k;  // closed, sticking
  }
}

class JointedBlocks : public ::testing::TestWithParam<JointCase> {};

TEST_P(JointedBlocks, CloseUnderPressureByItsRatioToTheNormalStiffness) { expect_jointed(GetParam(), false); }

TEST_P(JointedBlocks, SlipUnderShearBelowTheStrengthByItsRatioToTheShearStiffness) {
  ASSERT_LT(std::max(kTraction, kGamma * kSideways), kJointC);
  expect_jointed(GetParam(), true);
}

// The top shifted by d = 0.5 along x, every node held vertically: elastic
// joints would carry d / (2 / G + 1 / ks) = 200, twice their strength c
// (no normal stress, no softening). They slide, and the iterations settle
// at their strength: both blocks carry the shear stress c, the lower one
// moves by c z / G, the upper one by d - c (2 - z) / G, and the joints slide
// by d - 2 c / G.
TEST_P(JointedBlocks, SlideAtTheirStrengthUnderAShiftOfTheTop) {
  const JointedColumn column(GetParam());
  ASSERT_GT(kShift / (2 / kG + 1 / kKs), kJointC);
  // In one step, and in four: the joints stick through the first step,
  // reach their strength at the end of the second and slide in the last two.
  for (const int steps : {1, 4}) {
    SCOPED_TRACE(std::to_string(steps) + " steps");
    DeckRun run(column.deck(JointedColumn::Load::shift, steps));
    ASSERT_TRUE(run_whole(run));
    const auto u = displacements();
    for (const Mesh* m : {&column.lower, &column.upper})
      for (const auto& [p, id] : m->ids) {
        const double z = m->xyz(p)[column.up];
        const double want = m == &column.lower ? kJointC * z / kG : kShift - kJointC * (2.0 - z) / kG;
        EXPECT_NEAR(u.at({id, 0}), want, 1e-5 * kShift) << "node " << id;
      }
    const auto joints = joint_points(column);
    for (std::size_t k = 0; k < joints.size(); ++k) {
      const EIVWK& j = joints[k];
      EXPECT_NEAR(std::hypot(j.vec[0][1], j.vec[0][2]), kJointC, 1e-5 * kJointC) << "joint " << k;
      EXPECT_NEAR(j.vec[0][0], 0.0, 1e-5 * kJointC) << "joint " << k;
      EXPECT_NEAR(std::hypot(j.vec[2][1], j.vec[2][2]), kShift - 2 * kJointC / kG, 1e-5 * kShift) << "joint " << k;
      EXPECT_EQ(j.blk.b11.iv[0], 3) << "joint " << k;  // closed, sliding
    }
  }
}

// The top lifted by d = 0.01: elastic joints would carry a tension of
// d / (2 / M + 1 / kn), far above their tension limit. They open, the
// iterations release the blocks, and the upper block rises whole by d while
// the lower one stays where it was; the joints open by d and carry nothing.
TEST_P(JointedBlocks, OpenUnderALiftOfTheTop) {
  const JointedColumn column(GetParam());
  ASSERT_GT(kLift / (2 / kM + 1 / kKn), kTensionLimit);
  DeckRun run(column.deck(JointedColumn::Load::lift));
  ASSERT_TRUE(run_whole(run));
  const auto u = displacements();
  for (const Mesh* m : {&column.lower, &column.upper})
    for (const auto& [p, id] : m->ids)
      EXPECT_NEAR(u.at({id, static_cast<int>(column.up)}), m == &column.lower ? 0.0 : kLift, 1e-5 * kLift) << "node " << id;
  const auto joints = joint_points(column);
  for (std::size_t k = 0; k < joints.size(); ++k) {
    const EIVWK& j = joints[k];
    EXPECT_NEAR(j.vec[0][0], 0.0, 1e-5 * kTensionLimit) << "joint " << k;
    EXPECT_NEAR(std::hypot(j.vec[0][1], j.vec[0][2]), 0.0, 1e-5 * kTensionLimit) << "joint " << k;
    EXPECT_NEAR(j.vec[2][0], kLift, 1e-5 * kLift) << "joint " << k;
    EXPECT_EQ(j.blk.b11.iv[0], 1) << "joint " << k;  // open
  }
}

// The jointed column under its own weight, every node held sideways (the
// body force set names the joints too, which take none): the joints carry
// the weight g of the upper block and close by g / kn, so that the upper
// block settles by that much more than a column without the joint,
// u = -g/M (2 z - z^2/2).
TEST_P(JointedBlocks, CarryTheWeightOfTheUpperBlock) {
  const JointedColumn column(GetParam());
  DeckRun run(column.deck(JointedColumn::Load::weight));
  ASSERT_TRUE(run_whole(run));
  const auto u = displacements();
  for (const Mesh* m : {&column.lower, &column.upper})
    for (const auto& [p, id] : m->ids) {
      const double z = m->xyz(p)[column.up];
      const double want = -kGamma / kM * (2 * z - z * z / 2) - (m == &column.upper ? kGamma / kKn : 0.0);
      EXPECT_NEAR(u.at({id, static_cast<int>(column.up)}), want, 1e-7 * kGamma / kKn) << "node " << id;
    }
  for (const EIVWK& j : joint_points(column)) {
    EXPECT_NEAR(j.vec[0][0], -kGamma, 1e-5 * kGamma);
    EXPECT_NEAR(j.vec[2][0], -kGamma / kKn, 1e-7 * kGamma / kKn);
    EXPECT_EQ(j.blk.b11.iv[0], 2);
  }
}

INSTANTIATE_TEST_SUITE_P(Types, JointedBlocks,
                         ::testing::Values(JointCase{"QPLAN4", "JOINT4"}, JointCase{"PENT6", "JOINT6"},
                                           JointCase{"HEX8", "JOINT8"}, JointCase{"PENT15", "JOINT12"},
                                           JointCase{"HEX20", "JOINT16"}),
                         [](const auto& info) { return info.param.joint; });

// ---- Contact element ----------------------------------------------------------

// A CNT2 element from a fixed node 1 at the origin to node 2 at (3, 4, 0),
// whose six DOFs carry a force F and a moment M. Below the first limits of
// its laws the element is six springs in its own axes (e1 from node 1 to
// node 2, e2 = z x e1, e3 = z): node 2 moves by (F . e1) / kn along e1 and
// by the rest of F over ks, and turns by M / kr; the element's forces are F
// and M in those axes, compression negative. Its law takes the two shear
// components as one resultant, so the stiffness gives the second shear the
// constant of the first whatever word 3 holds (the deck gives it half of
// ks): the displacement and the element's force across e3 then agree with
// the load.
// The deck of the element under local forces f (normal, e2, e3) and a
// moment m (global components).
constexpr double kContactKn = 1000.0, kContactKs = 500.0, kContactKr = 200.0;
const Xyz kE1{0.6, 0.8, 0.0}, kE2{-0.8, 0.6, 0.0}, kE3{0.0, 0.0, 1.0};

std::string contact_deck(const Xyz& local_f, const Xyz& moment) {
  Xyz f{};
  for (std::size_t a = 0; a < 3; ++a) f[a] = local_f[0] * kE1[a] + local_f[1] * kE2[a] + local_f[2] * kE3[a];
  // Words 1-20: kn, ks1, a word not used, three rotational constants,
  // two angles, closure limit, tension limit, locked and open normal
  // constants, c1 and mu1 of the first shear limit, ks2, c2, mu2, ks3, the
  // moment limit and the constant beyond it.
  std::string b = "ELEMENT\n" + card({"1", "CNT2"}) + "\n" + Mesh::material_cards() + "PROPERTY\n" +
                  card({"1", "20", "1000.0", "500.0", "250.0", "200.0", "200.0", "200.0", "0.0", "0.0"}) + "\n" +
                  card({"", "1.0", "1.0", "1.0E+6", "1.0", "100.0", "0.5", "100.0", "200.0", "0.5"}) + "\n" +
                  card({"", "10.0", "1000.0", "10.0"}) + "\n";
  b += "NODE\n" + card({"1", "", "0.0", "0.0", "0.0"}) + "\n" + card({"2", "", "3.0", "4.0", "0.0"}) + "\n";
  b += "CONNECTI\n" + Mesh::connection(1, 1, 1, 1, {1, 2});
  b += "CONST\n" + hold({1}, 1, 6);
  b += "NLOAD\n" + card({"1"}) + "\n" +
       card({"", "2", "", "", "", "1", "6", field8(f[0]), field8(f[1]), field8(f[2])}) + "\n" +
       card({"", field8(moment[0]), field8(moment[1]), field8(moment[2])}) + "\n";
  b += "HISTORY\n" + card({"INTERVAL", "1"}) + "\n" + card({"", "NLOA", "1", "1.0"}) + "\n";
  return bulk_deck(b);
}

double dot3(const Xyz& x, const Xyz& y) { return x[0] * y[0] + x[1] * y[1] + x[2] * y[2]; }

// Checks node 2's displacements against a relative displacement d (local
// normal, e2, e3) and a rotation m / kr, and the element's state against
// the local forces f and the moment m, within tol of each.
void expect_contact(const Xyz& d, const Xyz& f, const Xyz& m, double tol) {
  const auto u = displacements();
  for (std::size_t a = 0; a < 3; ++a) {
    EXPECT_NEAR(u.at({2, static_cast<int>(a)}), d[0] * kE1[a] + d[1] * kE2[a] + d[2] * kE3[a], tol * std::abs(d[1]))
        << "component " << a;
    EXPECT_NEAR(u.at({2, static_cast<int>(a) + 3}), m[a] / kContactKr, 1e-7) << "rotation " << a;
  }
  const EIVWK point = output_points(1).at(0);
  const std::array<double, 6> forces{f[0], f[1], f[2], dot3(m, kE1), dot3(m, kE2), dot3(m, kE3)};
  const std::array<double, 6> moved{d[0], d[1], d[2], forces[3] / kContactKr, forces[4] / kContactKr, forces[5] / kContactKr};
  for (std::size_t c = 0; c < 6; ++c) {
    EXPECT_NEAR(point.vec[0][c], forces[c], std::max(1e-5, tol * std::abs(forces[c]))) << "component " << c + 1;
    EXPECT_NEAR(point.vec[2][c], moved[c], std::max(1e-8, tol * std::abs(moved[c]))) << "component " << c + 1;
  }
  EXPECT_EQ(point.blk.b11.iv[0], 2);  // in contact
}

TEST(ContactElement, CarriesForcesAndMomentsAsSixSprings) {
  const Xyz f{-20.0, 10.0, 5.0}, m{3.0, -2.0, 1.0};
  DeckRun run(contact_deck(f, m));
  ASSERT_TRUE(run_whole(run));
  expect_contact({f[0] / kContactKn, f[1] / kContactKs, f[2] / kContactKs}, f, m, 1e-7);
}

// Past its first limit f1 = |mu1 t1| + c1 = 110 (at d1 = f1 / ks = 0.22)
// the shear resultant follows the second branch of slope ks2 = 100 up to
// f2 = |mu2 t1| + c2 = 210: a resultant of 150 moves the node by
// d1 + (150 - f1) / ks2 = 0.62 across the axis, in the direction of the
// shear force, once the iterations have found the branch.
TEST(ContactElement, ShearBeyondItsFirstLimitFollowsTheSecondBranch) {
  const Xyz f{-20.0, 90.0, 120.0}, m{3.0, -2.0, 1.0};
  DeckRun run(contact_deck(f, m));
  ASSERT_TRUE(run_whole(run));
  const double v = 110.0 / kContactKs + (150.0 - 110.0) / 100.0;
  expect_contact({f[0] / kContactKn, v * 0.6, v * 0.8}, f, m, 1e-4);
  EXPECT_NEAR(output_points(1).at(0).blk.b12[0], 20.2, 1e-5);  // shear on its second branch
}

}  // namespace
}  // namespace zephsol::test
