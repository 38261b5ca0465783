// Nodal result output: displacements, reactions and excavation release forces.
#include "zephsol/output/nodal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/util.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/ofphdg.h"
#include "zephsol/iter/ofprqp.h"
#include "zephsol/model/model_records.h"
#include "zephsol/output/postfile.h"

namespace zephsol {

namespace {

constexpr word kBeam2 = 5;
constexpr word kConstrainedBits = 35;  // 1 dependent, 2 fixed, 32 independent term of an MPC

// One node of the node table (i from 0).
struct Node {
  word id;
  word k;  // DOF count
  word e;  // first equation
  bool active() const noexcept { return id >= 0; }
};

Node node_at(word table, word i) {
  const WordSpace& c = core();
  const word eqw = c.w(static_cast<std::int64_t>(table) + 2 * static_cast<std::int64_t>(i) + 1);
  return {c.w(static_cast<std::int64_t>(table) + 2 * static_cast<std::int64_t>(i)), BITAND(eqw, 255),
          BITSHR(eqw, 10)};
}

std::span<float> row_at(word rows, word width, word i) {
  return core().floats(static_cast<std::int64_t>(rows) + static_cast<std::int64_t>(i) * width, width);
}

// Copies the node's first n values of the vector into the row.
void copy_values(std::span<float> row, word vector, const Node& n, word count) {
  const WordSpace& c = core();
  for (word j = 0; j < count; ++j) row[static_cast<std::size_t>(j)] = c.r(static_cast<std::int64_t>(vector) + n.e - 1 + j);
}

// |u| of the node's translations: three values when it has three DOF or more, else two.
float magnitude(std::span<const float> row, word k) {
  const double u1 = row[0], u2 = k > 1 ? row[1] : 0.0, u3 = k >= 3 ? row[2] : 0.0;
  return static_cast<float>(std::sqrt(u1 * u1 + u2 * u2 + u3 * u3));
}

// Component line 1: the leading identifiers, then zeros, ten entries.
std::string component_line(std::initializer_list<word> lead) {
  std::string s;
  int n = 0;
  for (word v : lead) {
    s += std::to_string(v) + ",";
    ++n;
  }
  for (; n < 10; ++n) s += "0,";
  return s;
}

constexpr std::string_view kTotalFlags = "1,1,1,";
constexpr std::string_view kComponentFlags = "0,1,1,";

// The component vectors of displacements and reactions: identifiers and titles.
struct Component {
  word disp_id;
  std::string_view disp_title;
  word reac_id;
  std::string_view reac_title;
};
constexpr std::array<Component, 6> kComponents{{
    {2, "X Translation", 52, "X Nodal Reaction"},
    {3, "Y Translation", 53, "Y Nodal Reaction"},
    {4, "Z Translation", 54, "Z Nodal Reaction"},
    {6, "X Rotation", 56, "RX Nodal Reactio"},
    {7, "Y Rotation", 57, "RY Nodal Reactio"},
    {8, "Z Rotation", 58, "RZ Nodal Reactio"},
}};

// The component line of component c (1-6) of a vector triple: its own
// identifier at the place of its direction.
std::string triple_line(int c, word id) {
  switch ((c - 1) % 3) {
    case 0:
      return component_line({id});
    case 1:
      return component_line({0, id});
    default:
      return component_line({0, 0, id});
  }
}

bool post_on() { return ofpreq()(kPostDisp) > 0; }

// A printed table of nodal values: a new page with its heading.
void begin_table(word kind) {
  PAGHDR();
  OFPHDG(kind, 3);
  sysw().NLINE += 3;
}

// One line of a nodal table, the heading again on a new page.
void print_line(word kind, word id, std::span<const float> values) {
  word newpg = 0;
  LINCNT(1, newpg);
  if (newpg != 0) {
    OFPHDG(kind, 3);
    sysw().NLINE += 3;
  }
  std::vector<FmtArg> args{id};
  for (float v : values) args.emplace_back(v);
  fwrite_unit(kListing, "(7X,I8,5X,1P,6E16.5)", args);
}

// Whether a print request word selects node id (a word below 0: no table).
bool selected(word request, word id) { return request > 0 && request_selects(request, 1, id); }

// The identifiers of the nodes tied by automatic MPC equations.
std::unordered_set<word> tied_nodes() {
  const AMPCTB& t = ampctb();
  std::unordered_set<word> ids;
  const int rows = std::clamp<word>(t.count, 0, AMPCTB::kRows);
  for (int j = 1; j <= AMPCTB::kColumns; ++j)
    for (int i = 1; i <= rows; ++i)
      if (t.node(i, j) != 0) ids.insert(t.node(i, j));
  return ids;
}

}  // namespace

void OFP1U(word table, word vector, word rows, word nn, word ld) {
  const word h = std::min<word>(ld - 1, static_cast<word>(kComponents.size()));
  for (word i = 0; i < nn; ++i) {
    const std::span<float> r = row_at(rows, ld, i);
    std::fill(r.begin(), r.end(), 0.0f);
    const Node n = node_at(table, i);
    if (!n.active() || n.k == 0) continue;
    copy_values(r, vector, n, std::min(n.k, ld - 1));
    r[static_cast<std::size_t>(ld - 1)] = magnitude(r, n.k);
  }

  if (post_on()) {
    const auto id = [&](word i) { return node_at(table, i).id; };
    const auto active = [&](word i) { return node_at(table, i).active(); };
    const auto with_dof = [&](word i) { return active(i) && node_at(table, i).k > 0; };
    const std::string lead = h <= 2 ? component_line({2, 3}) : component_line({2, 3, 4});
    post_vector({1, "Total Translation", 17, lead, 1, kNodeEntity, kTotalFlags, true}, nn, id,
                [&](word i) { return row_at(rows, ld, i)[static_cast<std::size_t>(ld - 1)]; }, with_dof, active);
    for (word c = 1; c <= h; ++c) {
      const Component& comp = kComponents[static_cast<std::size_t>(c - 1)];
      const std::string line = triple_line(c, comp.disp_id);
      post_vector({comp.disp_id, comp.disp_title, 16, line, 1, kNodeEntity, kComponentFlags, false}, nn, id,
                  [&](word i) { return row_at(rows, ld, i)[static_cast<std::size_t>(c - 1)]; }, active, active);
    }
  }

  const word request = ofpreq()(kPrintDisp);
  if (request < 0) return;
  begin_table(1);
  for (word i = 0; i < nn; ++i) {
    const Node n = node_at(table, i);
    if (!n.active() || n.k == 0 || !selected(request, n.id)) continue;
    print_line(1, n.id, row_at(rows, ld, i).first(static_cast<std::size_t>(std::min(n.k, ld - 1))));
  }
}

void OFP1D(word table, word vector, word uset, word nn, word rows, word ids) {
  const WordSpace& c = core();
  const word request = ofpreq()(kPrintReac);
  const bool printing = request >= 0;
  if (printing) begin_table(5);
  word stored = 0;
  for (word i = 0; i < nn; ++i) {
    const Node n = node_at(table, i);
    if (!n.active() || n.k == 0) continue;
    const word k = std::min<word>(n.k, 6);
    std::array<float, 6> r{};
    bool constrained = false;
    for (word j = 0; j < k; ++j) {
      if (BITAND(c.w(static_cast<std::int64_t>(uset) + n.e - 1 + j), kConstrainedBits) == 0) continue;
      r[static_cast<std::size_t>(j)] = c.r(static_cast<std::int64_t>(vector) + n.e - 1 + j);
      constrained = true;
    }
    if (!constrained || (printing && !selected(request, n.id))) continue;
    if (printing) print_line(5, n.id, std::span<const float>(r).first(static_cast<std::size_t>(k)));
    std::copy(r.begin(), r.end(), row_at(rows, 6, stored).begin());
    c.w(static_cast<std::int64_t>(ids) + stored) = n.id;
    ++stored;
  }

  if (!post_on()) return;
  // A node tied by an automatic MPC counts for the extremes but has no value line.
  const std::unordered_set<word> tied = tied_nodes();
  const auto id = [&](word s) { return c.w(static_cast<std::int64_t>(ids) + s); };
  for (word comp = 1; comp <= 6; ++comp) {
    const Component& v = kComponents[static_cast<std::size_t>(comp - 1)];
    post_vector({v.reac_id, v.reac_title, 16, component_line({}), 1, kNodeEntity, kComponentFlags, false}, stored, id,
                [&](word s) { return row_at(rows, 6, s)[static_cast<std::size_t>(comp - 1)]; },
                [](word) { return true; }, [&](word s) { return !tied.contains(id(s)); });
  }
}

void OFP1X(word table, word vector, word rows, word xcld, word release, word nn, word ld, word nx) {
  if (!post_on()) return;  // nothing of it is printed
  const WordSpace& c = core();
  const std::span<word> marks = c.words(release, nn);
  std::fill(marks.begin(), marks.end(), 0);

  // Release nodes: the nodes of the inactive elements (a BEAM2 without its
  // last node, which carries no DOF of the element).
  std::array<word, 6> h{};
  HDRGET(CONE, h);
  const std::span<const word> excluded = c.words(xcld, nx);
  std::vector<word> nodes(static_cast<std::size_t>(std::max<word>(h[2], 0)));
  DBOPEN(CONE, sysw().COREND - sysw().NBUFSZ, kRead);
  std::size_t j = 0;
  for (word e = 1; e <= h[0]; ++e) {
    std::array<word, 5> head{};
    DBREAD(CONE, head.data(), 5, 0);
    while (j < excluded.size() && excluded[j] < e) ++j;
    if (j == excluded.size() || excluded[j] != e) {
      DBREAD(CONE, nullptr, 0, 1);
      continue;
    }
    const word m = std::max<word>(head[4], 0);
    if (nodes.size() < static_cast<std::size_t>(m)) nodes.resize(static_cast<std::size_t>(m));
    DBREAD(CONE, nodes.data(), m, 1);
    const word used = BITAND(head[1], 0xFFFFFF) == kBeam2 ? m - 1 : m;
    for (word q = 0; q < used; ++q) {
      const word node = nodes[static_cast<std::size_t>(q)];
      if (node >= 1 && node <= nn) marks[static_cast<std::size_t>(node - 1)] = 1;
    }
  }
  DBCLOS(CONE, kCloseRewind);

  const auto id = [&](word i) { return node_at(table, i).id; };
  const auto active = [&](word i) { return node_at(table, i).active(); };
  const auto listed = [&](word i) { return active(i) && marks[static_cast<std::size_t>(i)] != 0; };
  for (word i = 0; i < nn; ++i) {
    const std::span<float> r = row_at(rows, ld, i);
    std::fill(r.begin(), r.end(), 0.0f);
    const Node n = node_at(table, i);
    if (!listed(i) || n.k == 0) continue;
    copy_values(r, vector, n, std::min(n.k, ld - 1));
    r[static_cast<std::size_t>(ld - 1)] = magnitude(r, n.k);
  }

  const word h3 = std::min<word>(ld - 1, 3);
  const std::string lead = h3 <= 2 ? component_line({42, 43}) : component_line({42, 43, 44});
  post_vector({41, "T Excavation ReleaseForce", 25, lead, 3, kNodeEntity, kTotalFlags, true}, nn, id,
              [&](word i) { return row_at(rows, ld, i)[static_cast<std::size_t>(ld - 1)]; },
              [&](word i) { return listed(i) && node_at(table, i).k > 0; }, listed);
  static constexpr std::array<std::string_view, 3> kTitles{"X Excavation ReleaseForce", "Y Excavation ReleaseForce",
                                                           "Z Excavation ReleaseForce"};
  for (word comp = 1; comp <= h3; ++comp) {
    const std::string line = triple_line(comp, 41 + comp);
    post_vector({41 + comp, kTitles[static_cast<std::size_t>(comp - 1)], 25, line, 3, kNodeEntity, kComponentFlags,
                 false},
                nn, id, [&](word i) { return row_at(rows, ld, i)[static_cast<std::size_t>(comp - 1)]; }, active,
                listed);
  }
}

}  // namespace zephsol
