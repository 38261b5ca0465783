#include "asmfix.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "common/block_dump.h"
#include "common/deck.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/emg.h"
#include "zephsol/exec/packed.h"
#include "zephsol/exec/records.h"

namespace zephsol::test {

namespace {

constexpr word kLowestStart = 16777215;

word equation_word(const AsmModel& m, word node) {
  return m.first_equation(node) * 1024 + m.node_dofs[static_cast<std::size_t>(node - 1)];
}

word element_dofs(const AsmElement& e) {
  word n = 0;
  for (word d : e.dofs) n += d;
  return n;
}

std::vector<word> ect_record(const AsmModel& m, const AsmElement& e, word number) {
  const auto nn = static_cast<word>(e.nodes.size());
  std::vector<word> r{100 + number, 1, nn, element_dofs(e), kLowestStart, 0};
  for (std::size_t p = 0; p < e.nodes.size(); ++p) {
    const word first = m.first_equation(e.nodes[p]);
    r[4] = std::min(r[4], first);
    r[5] = std::max(r[5], first);
    r.push_back(first * 1024 + e.dofs[p]);
  }
  return r;
}

// The nodes of an element at which it has DOFs.
std::vector<word> connected_nodes(const AsmElement& e) {
  std::vector<word> out;
  for (std::size_t p = 0; p < e.nodes.size(); ++p)
    if (e.dofs[p] > 0) out.push_back(e.nodes[p]);
  return out;
}

std::vector<word> adic_record(const AsmModel& m, word node) {
  std::vector<word> elements;
  std::set<word> connected;
  for (std::size_t e = 0; e < m.elements.size(); ++e) {
    const auto c = connected_nodes(m.elements[e]);
    if (std::find(c.begin(), c.end(), node) == c.end()) continue;
    elements.push_back(static_cast<word>(e + 1));
    connected.insert(c.begin(), c.end());
  }
  std::vector<word> r{equation_word(m, node), static_cast<word>(connected.size()), 0, static_cast<word>(elements.size())};
  r.insert(r.end(), elements.begin(), elements.end());
  for (word c : connected) {
    r.push_back(equation_word(m, c));
    r[2] += m.node_dofs[static_cast<std::size_t>(c - 1)];
  }
  return r;
}

// The global equation of each element DOF.
std::vector<std::size_t> element_equations(const AsmModel& m, const AsmElement& e) {
  std::vector<std::size_t> eq;
  for (std::size_t p = 0; p < e.nodes.size(); ++p)
    for (word t = 0; t < e.dofs[p]; ++t) eq.push_back(static_cast<std::size_t>(m.first_equation(e.nodes[p]) + t - 1));
  return eq;
}

}  // namespace

word AsmModel::first_equation(word node) const {
  word first = 1;
  for (word i = 1; i < node; ++i) first += node_dofs[static_cast<std::size_t>(i - 1)];
  return first;
}

word AsmModel::equations() const { return first_equation(static_cast<word>(node_dofs.size()) + 1) - 1; }

void write_assembly_tables(const AsmModel& m) {
  const auto ne = static_cast<word>(m.elements.size());
  std::vector<std::vector<word>> ect;
  std::array<word, 6> ect_header{ne, 1, 0, 0, 0, 0};
  for (word e = 1; e <= ne; ++e) {
    const AsmElement& el = m.elements[static_cast<std::size_t>(e - 1)];
    ect.push_back(ect_record(m, el, e));
    ect_header[2] = std::max(ect_header[2], static_cast<word>(el.nodes.size()));
    ect_header[3] = std::max(ect_header[3], element_dofs(el));
  }
  write_block(ECT, ect, ect_header);

  std::vector<std::vector<word>> adic;
  std::array<word, 6> adic_header{static_cast<word>(m.node_dofs.size()), m.equations(), 0, 0, 0, 0};
  for (word node = 1; node <= static_cast<word>(m.node_dofs.size()); ++node) {
    adic.push_back(adic_record(m, node));
    adic_header[5] = std::max(adic_header[5], static_cast<word>(adic.back().size()));
  }
  write_block(ADIC, adic, adic_header);

  DBOPEN(ESK, 2, kWrite);
  word largest = 0;
  for (const AsmElement& el : m.elements) {
    const auto terms = static_cast<word>(el.k.size());
    largest = std::max(largest, terms);
    DBWRIT(ESK, &terms, 1, terms == 0 ? 1 : 0);
    if (terms > 0) DBWRDP(ESK, el.k.data(), terms, 1);
  }
  DBCLOS(ESK, kCloseRewind);
  HDRPUT(ESK, std::array<word, 6>{ne, largest, 0, 0, 0, 0});
}

void write_rotations(const AsmModel& m, const Rotations& rotations) {
  std::vector<word> nodes;
  for (const auto& [node, r] : rotations) {
    nodes.push_back(equation_word(m, node));
    for (double v : r) nodes.push_back(real_word(static_cast<float>(v)));
  }
  std::vector<std::vector<word>> records{nodes, {}};
  word longest = 0;
  for (std::size_t e = 0; e < m.elements.size(); ++e) {
    const AsmElement& el = m.elements[e];
    std::vector<word> positions;
    std::vector<word> blocks;
    for (std::size_t p = 0; p < el.nodes.size(); ++p) {
      const auto at = rotations.find(el.nodes[p]);
      if (el.dofs[p] == 0 || at == rotations.end()) continue;
      positions.push_back(static_cast<word>(p + 1));
      const auto& r = at->second;
      const std::vector<double> b = el.block == 4 ? std::vector<double>{r[0], r[1], r[3], r[4]}
                                                   : std::vector<double>(r.begin(), r.begin() + std::min(el.block, 9));
      for (double v : b) blocks.push_back(real_word(static_cast<float>(v)));
    }
    if (positions.empty()) continue;
    std::vector<word> rec{static_cast<word>(e + 1), element_dofs(el), static_cast<word>(el.nodes.size()), el.block,
                          static_cast<word>(positions.size())};
    rec.insert(rec.end(), positions.begin(), positions.end());
    rec.insert(rec.end(), blocks.begin(), blocks.end());
    longest = std::max(longest, static_cast<word>(rec.size()));
    records.push_back(rec);
  }
  const auto count = static_cast<word>(records.size() - 2);
  records.push_back({kLowestStart, real_word(0.0f), real_word(0.0f), 0, 0});
  write_block(ROTB, records, {count, static_cast<word>(rotations.size()), 0, 0, 0, longest});
}

Dense dense_stiffness(const AsmModel& m) {
  Dense k = zeros(m.equations());
  for (const AsmElement& el : m.elements) {
    if (el.k.empty()) continue;
    const auto eq = element_equations(m, el);
    const auto n = static_cast<int>(eq.size());
    for (int a = 1; a <= n; ++a)
      for (int b = 1; b <= n; ++b) k[eq[static_cast<std::size_t>(a - 1)]][eq[static_cast<std::size_t>(b - 1)]] += el.k[packed_index(a, b, n)];
  }
  return k;
}

Dense rotated(const AsmModel& m, const Rotations& rotations, const Dense& k) {
  const std::size_t n = k.size();
  Dense t = zeros(static_cast<int>(n));
  for (std::size_t i = 0; i < n; ++i) t[i][i] = 1.0;
  for (const auto& [node, r] : rotations) {
    for (const AsmElement& el : m.elements) {
      const auto at = std::find(el.nodes.begin(), el.nodes.end(), node);
      if (at == el.nodes.end()) continue;
      const word d = el.dofs[static_cast<std::size_t>(at - el.nodes.begin())];
      const word b = el.block == 4 ? 2 : 3;
      const auto first = static_cast<std::size_t>(m.first_equation(node) - 1);
      for (word blk = 0; blk < d / b; ++blk)
        for (word s = 0; s < b; ++s)
          for (word u = 0; u < b; ++u)
            t[first + static_cast<std::size_t>(blk * b + s)][first + static_cast<std::size_t>(blk * b + u)] =
                static_cast<float>(r[static_cast<std::size_t>(3 * s + u)]);
      break;
    }
  }
  Dense tk = zeros(static_cast<int>(n)), out = zeros(static_cast<int>(n));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j)
      for (std::size_t q = 0; q < n; ++q) tk[i][j] += t[i][q] * k[q][j];
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j)
      for (std::size_t q = 0; q < n; ++q) out[i][j] += tk[i][q] * t[j][q];
  return out;
}

std::string hex_block_deck(const HexGrid& g) {
  std::string b = "ELEMENT\n" + card({"1", "HEX8"}) + "\nMATERIAL\n" + card({"1", "0"}) + "\n" +
                  card({"", "E", "1.0E+4"}) + "\n" + card({"", "NU", "0.3"}) + "\nNODE\n";
  const auto field = [](double v) { return std::to_string(v).substr(0, 8); };
  for (int k = 0; k <= g.nz; ++k)
    for (int j = 0; j <= g.ny; ++j)
      for (int i = 0; i <= g.nx; ++i) {
        const auto p = g.position(i, j, k);
        b += card({std::to_string(g.node(i, j, k)), "", field(p[0]), field(p[1]), field(p[2])}) + "\n";
      }
  b += "CONNECTI\n";
  int e = 0;
  const auto id = [&](int i, int j, int k) { return std::to_string(g.node(i, j, k)); };
  for (int k = 0; k < g.nz; ++k)
    for (int j = 0; j < g.ny; ++j)
      for (int i = 0; i < g.nx; ++i)
        b += card({std::to_string(++e), "1", "", "1", id(i, j, k), id(i + 1, j, k), id(i + 1, j + 1, k), id(i, j + 1, k),
                   id(i, j, k + 1), id(i + 1, j, k + 1)}) +
             "\n" + card({"", id(i + 1, j + 1, k + 1), id(i, j + 1, k + 1)}) + "\n";
  return bulk_deck(b);
}

void first_pass_stiffness() {
  STPCTR& s = stpctr();
  s.NINTVL = s.NSTEP = 1;
  s.NITER = 0;
  EMG(EST, MATD, 0, 0, 0, 0, 0, ESK, 0, 0, 0);
}

std::vector<std::vector<std::pair<word, double>>> stored_terms(word file) {
  std::vector<std::vector<std::pair<word, double>>> out;
  for (const FactorColumn& c : read_factor(file)) {
    out.emplace_back();
    for (const FactorString& s : c)
      for (std::size_t k = 0; k < s.terms.size(); ++k) out.back().emplace_back(s.row + static_cast<word>(k), s.terms[k]);
  }
  return out;
}

Dense read_dense(word file) {
  const auto cols = read_columns(file);
  Dense a = zeros(static_cast<int>(cols.size()));
  for (std::size_t j = 0; j < cols.size(); ++j)
    for (std::size_t i = 0; i < cols[j].size() && i < a.size(); ++i) a[i][j] = cols[j][i];
  return a;
}

double relative_difference(const Dense& a, const Dense& b) {
  double scale = 0.0, diff = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t j = 0; j < a[i].size(); ++j) {
      scale = std::max(scale, std::abs(a[i][j]));
      diff = std::max(diff, std::abs(a[i][j] - b.at(i).at(j)));
    }
  return scale > 0.0 ? diff / scale : diff;
}

}  // namespace zephsol::test
