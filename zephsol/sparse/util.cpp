// Library utilities: timers, vector operations, debug dumps.
#include "zephsol/sparse/util.h"

#include <sys/resource.h>

#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"

namespace zephsol::sparse {
namespace {

// Offset (0-based) of element i of n with stride s.
constexpr i64 at(i64 i, i64 n, i64 s) { return s >= 0 ? (i - 1) * s : (n - i) * -s; }

void title_block(std::string_view title, int unit) {
  const std::string t(title.substr(0, 75));
  unit_write_line(unit, "");
  unit_write_line(unit, "     " + t);
  unit_write_line(unit, "     " + std::string(t.size(), '-'));
  unit_write_line(unit, "");
}

// Writes values in lines of `per` under the format of one full line; the
// double dumps show the exponent letter of the Fortran D edit.
template <class T>
void dump_lines(std::string_view format, int per, i64 n, const T* v, int unit) {
  std::vector<FmtArg> args;
  for (i64 i = 0; i < n; i += per) {
    args.clear();
    for (i64 k = i; k < std::min<i64>(n, i + per); ++k) args.emplace_back(v[k]);
    std::string line = fortran_records(format, args).front();
    if constexpr (std::is_floating_point_v<T>)
      for (std::size_t p = 1; p + 1 < line.size(); ++p)
        if (line[p] == 'E' && (line[p + 1] == '+' || line[p + 1] == '-') && line[p - 1] >= '0' &&
            line[p - 1] <= '9')
          line[p] = 'D';
    unit_write_line(unit, line);
  }
}

}  // namespace

void xdsltb(double& cpu, double& wall) {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  const double t = static_cast<double>(ru.ru_utime.tv_sec) + 1e-6 * static_cast<double>(ru.ru_utime.tv_usec);
  cpu = static_cast<double>(static_cast<float>(t));
  wall = 0.0;
}

void xdslte(double cpu0, double /*wall0*/, double& cpu, double& wall) {
  double now = 0.0, w = 0.0;
  xdsltb(now, w);
  cpu = now - cpu0;
  wall = 0.0;
}

void xislsq(i64 n, iword* v, i64 stride) {
  for (i64 i = 1; i <= n; ++i) v[at(i, n, stride)] = static_cast<i32>(i);
}

void xislzr(i64 n, iword* v, i64 stride) {
  for (i64 i = 1; i <= n; ++i) v[at(i, n, stride)] = 0;
}

void xdslzr(i64 n, double* v, i64 stride) {
  if (stride == 1 && n > 0) {
    std::fill(v, v + n, 0.0);
    return;
  }
  for (i64 i = 1; i <= n; ++i) v[at(i, n, stride)] = 0.0;
}

void xislcp(i64 n, const iword* x, i64 incx, iword* y, i64 incy) {
  for (i64 i = 1; i <= n; ++i) y[at(i, n, incy)] = x[at(i, n, incx)];
}

void xislmv(i64 n, iword* a, i64 from, i64 to) {
  if (n > 0 && from != to) std::memmove(a + (to - 1), a + (from - 1), static_cast<std::size_t>(n) * 4);
}

void xdslmv(i64 n, double* a, i64 from, i64 to) {
  if (n > 0 && from != to) std::memmove(a + (to - 1), a + (from - 1), static_cast<std::size_t>(n) * 8);
}

void xdslsc(i64 n, const double* x, const iword* idx, double* y) {
  for (i64 i = 0; i < n; ++i) y[idx[i] - 1] = x[i];
}

void xdslga(i64 n, const double* y, double* x, const iword* idx) {
  for (i64 i = 0; i < n; ++i) x[i] = y[idx[i] - 1];
}

void xislpr(std::string_view title, i64 n, const iword* v, int unit) {
  title_block(title, unit);
  dump_lines("(5X,10(1X,I7))", 10, n, v, unit);
}

void xislpw(std::string_view title, i64 n, const iword* v, int unit) {
  title_block(title, unit);
  dump_lines("(10X,5I14)", 5, n, v, unit);
}

void xdslpr(std::string_view title, i64 n, const double* v, int unit) {
  title_block(title, unit);
  dump_lines("(5X,1P,5E15.4)", 5, n, v, unit);
}

void xdslps(std::string_view title, i64 n, const double* v, int unit) {
  title_block(title, unit);
  dump_lines("(5X,1P,3E25.14)", 3, n, v, unit);
}

void xislpa(std::string_view title, i64 n, const iword* ptr, const iword* list, int unit) {
  title_block(title, unit);
  std::vector<FmtArg> args;
  for (i64 i = 1; i <= n; ++i) {
    const i64 b = ptr[i - 1], e = ptr[i];
    i64 k = b;
    bool first = true;
    do {
      args.clear();
      if (first) args.emplace_back(i);
      for (i64 q = k; q < std::min(e, k + 10); ++q) args.emplace_back(list[q - 1]);
      unit_write_line(unit, fortran_records(first ? "(5X,I7,' : ',10I7)" : "(15X,10I7)", args).front());
      k += 10;
      first = false;
    } while (k < e);
  }
}

}  // namespace zephsol::sparse
