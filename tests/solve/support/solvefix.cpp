#include "solvefix.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <gtest/gtest.h>

#include "common/block_dump.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/strings.h"
#include "zephsol/solve/fwbsub.h"
#include "zephsol/solve/solve_records.h"

namespace zephsol::test {

Dense zeros(int n) { return Dense(static_cast<std::size_t>(n), std::vector<double>(static_cast<std::size_t>(n), 0.0)); }

void write_symmetric(word file, const Dense& a, word form, word buffer) {
  const auto n = static_cast<word>(a.size());
  MCB m{file, 0, n, form, 2, 0, 0};
  DBOPEN(file, buffer, kWrite);
  std::vector<double> col(a.size());
  for (std::size_t j = 0; j < a.size(); ++j) {
    for (std::size_t i = 0; i < a.size(); ++i) col[i] = (form == 4 && i < j) ? 0.0 : a[i][j];
    COLPUT(m, 2, col.data(), 1, n);
  }
  DBCLOS(file, kCloseRewind);
  m.density = density_of(m.density, n, n);
  HDRPUT(file, m.header());
}

void write_columns(word file, const std::vector<std::vector<double>>& cols, word buffer) {
  const auto n = static_cast<word>(cols.front().size());
  MCB m{file, 0, n, 2, 2, 0, 0};
  DBOPEN(file, buffer, kWrite);
  for (const auto& c : cols) COLPUT(m, 2, c.data(), 1, n);
  DBCLOS(file, kCloseRewind);
  m.density = density_of(m.density, n, m.cols);
  HDRPUT(file, m.header());
}

std::vector<std::vector<double>> read_columns(word file, word buffer) {
  MCB m{file};
  HDRGET(file, m.header());
  std::vector<std::vector<double>> out;
  DBOPEN(file, buffer, kRead);
  for (word j = 0; j < m.cols; ++j) {
    std::vector<double> v(static_cast<std::size_t>(m.rows), 0.0);
    word first = 1, last = m.rows, empty = 0;
    COLGET(m, 2, v.data(), first, last, empty);
    out.push_back(std::move(v));
  }
  DBCLOS(file, kCloseRewind);
  return out;
}

std::vector<std::vector<double>> substitute(word lll, const std::vector<std::vector<double>>& b, word rhs, word sol,
                                            word sign) {
  write_columns(rhs, b);
  const auto control_block = [](word file) {
    MCB m{file};
    HDRGET(file, m.header());
    return m;
  };
  SOLBLK& s = solblk();
  s.factor = control_block(lll);
  s.rhs = control_block(rhs);
  s.solution = MCB{sol};
  s.sign = sign;
  FWBSUB(1, CORLFT(1));
  HDRPUT(sol, s.solution.header());
  return read_columns(sol);
}

std::vector<FactorColumn> read_factor(word file, word buffer) {
  MCB m{file};
  HDRGET(file, m.header());
  std::vector<FactorColumn> out;
  DBOPEN(file, buffer, kRead);
  SCB s{};
  s.file = file;
  s.type = 2;
  for (word j = 0; j < m.cols; ++j) {
    FactorColumn c;
    s.flag = 1;
    for (NXTSTR(s); s.flag == 0; NXTSTR(s)) {
      FactorString str{s.row, {}};
      for (word k = 0; k < s.room; ++k) str.terms.push_back(string_term(2, s.slot, k));
      c.push_back(std::move(str));
    }
    out.push_back(std::move(c));
  }
  DBCLOS(file, kCloseRewind);
  return out;
}

std::vector<std::pair<word, double>> terms_of(const FactorColumn& c) {
  std::vector<std::pair<word, double>> t;
  for (const auto& s : c)
    for (std::size_t k = 0; k < s.terms.size(); ++k) t.emplace_back(s.row + static_cast<word>(k), s.terms[k]);
  return t;
}

void expect_factors_agree(const std::vector<FactorColumn>& got, const std::vector<FactorColumn>& want, double tol) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t j = 0; j < want.size(); ++j) {
    const auto g = terms_of(got[j]);
    const auto w = terms_of(want[j]);
    ASSERT_EQ(g.size(), w.size()) << "column " << j + 1;
    double scale = 0.0;
    for (const auto& [row, v] : w) scale = std::max(scale, std::abs(v));
    for (std::size_t k = 0; k < w.size(); ++k) {
      EXPECT_EQ(g[k].first, w[k].first) << "column " << j + 1;
      if (tol == 0.0)
        EXPECT_EQ(g[k].second, w[k].second) << "column " << j + 1 << " row " << w[k].first;
      else
        EXPECT_NEAR(g[k].second, w[k].second, tol * scale) << "column " << j + 1 << " row " << w[k].first;
    }
  }
}

void write_uset(word file, const std::vector<word>& w) {
  std::array<word, 6> h{static_cast<word>(w.size()), 0, 0, 0, 0, 0};
  for (word x : w) {
    if ((x & 3) != 0) ++h[3];
    h[5] |= x;
  }
  write_block(file, {w}, h);
}

void write_eqix(word file, const std::vector<EqixNode>& nodes) {
  std::vector<word> r1, r2;
  std::array<word, 6> h{static_cast<word>(nodes.size()), 0, 0, 0, 0, 0};
  for (std::size_t p = 0; p < nodes.size(); ++p) {
    r1.insert(r1.end(), {nodes[p].id, static_cast<word>(p + 1)});
    r2.insert(r2.end(), {nodes[p].id, nodes[p].first * 1024 + nodes[p].count});
    h[1] = std::max(h[1], nodes[p].first + nodes[p].count - 1);
    h[2] = std::max(h[2], nodes[p].count);
  }
  write_block(file, {r1, r2}, h);
}

Ldlt dense_ldlt(const Dense& a0) {
  Dense a = a0;
  const std::size_t n = a.size();
  Ldlt f{std::vector<double>(n), zeros(static_cast<int>(n))};
  for (std::size_t k = 0; k < n; ++k) {
    const double d = a[k][k];
    f.d[k] = d;
    f.l[k][k] = 1.0;
    for (std::size_t i = k + 1; i < n; ++i) f.l[i][k] = a[i][k] / d;
    for (std::size_t j = k + 1; j < n; ++j)
      for (std::size_t i = j; i < n; ++i) a[i][j] -= f.l[i][k] * a[j][k];
  }
  return f;
}

std::vector<double> dense_solve(Dense a, std::vector<double> b) {
  const std::size_t n = b.size();
  for (std::size_t k = 0; k < n; ++k) {
    std::size_t p = k;
    for (std::size_t i = k + 1; i < n; ++i)
      if (std::abs(a[i][k]) > std::abs(a[p][k])) p = i;
    std::swap(a[k], a[p]);
    std::swap(b[k], b[p]);
    for (std::size_t i = k + 1; i < n; ++i) {
      const double f = a[i][k] / a[k][k];
      for (std::size_t j = k; j < n; ++j) a[i][j] -= f * a[k][j];
      b[i] -= f * b[k];
    }
  }
  std::vector<double> x(n);
  for (std::size_t k = n; k-- > 0;) {
    double s = b[k];
    for (std::size_t j = k + 1; j < n; ++j) s -= a[k][j] * x[j];
    x[k] = s / a[k][k];
  }
  return x;
}

Dense ragged_spd(std::mt19937& rng, int n, int width, double zero_fraction) {
  Dense a = zeros(n);
  std::uniform_real_distribution<double> value(-1.0, 1.0), coin(0.0, 1.0);
  for (int j = 0; j < n; ++j) {
    const int reach = static_cast<int>(rng() % static_cast<unsigned>(width + 1));
    const int last = std::min(n - 1, j + reach);
    for (int i = j + 1; i <= last; ++i) {
      if (i < last && coin(rng) < zero_fraction) continue;
      const double v = value(rng);
      a[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = v;
      a[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)] = v;
    }
  }
  for (int i = 0; i < n; ++i) {
    double s = 1.0;
    for (int j = 0; j < n; ++j) s += std::abs(a[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
    a[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)] = s;
  }
  return a;
}

void plant_zero_pivot(Dense& a, int q) {
  const int n = static_cast<int>(a.size());
  for (int k = 0; k < q; ++k) a[q][k] = a[k][q] = a[q + 1][k] = a[k][q + 1] = 0.0;
  a[q][q] = a[q][q + 1] = a[q + 1][q] = a[q + 1][q + 1] = 2.0;
  for (int d = 5; d <= 9 && q + 1 + d < n; ++d) a[q + 1 + d][q + 1] = a[q + 1][q + 1 + d] = 0.5;
}

void empty_row(Dense& a, int z) {
  for (std::size_t k = 0; k < a.size(); ++k) a[z][k] = a[k][z] = 0.0;
}

word core_words() { return CORLFT(1); }

}  // namespace zephsol::test
