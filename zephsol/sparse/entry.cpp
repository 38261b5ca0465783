// Shared parts of the entries: call context, fatal-error reports, texts.
#include "zephsol/sparse/entry.h"

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/sparse/hherr.h"

namespace zephsol::sparse {

Call::Call(double* work, i64 lwork, const char* entry)
    : w(work, lwork),
      name(entry),
      msglvl(static_cast<i32>(w.ictl(cw::msglvl))),
      msgunit(static_cast<i32>(w.ictl(cw::msgunit))) {}

void fatal(i32 msglvl, i32 msgunit, std::string_view name, i32 ier, i32 mode, i64 extra,
           const std::vector<std::string>& text) {
  HHERR(mode, name, ier, extra);
  if (msglvl < 1) return;
  unit_write_line(msgunit, "");
  unit_write_line(msgunit, fline("(5X,'*** fatal error no. ',I5,A)", {ier, text.empty() ? "" : text[0]}));
  for (std::size_t k = 1; k < text.size(); ++k) unit_write_line(msgunit, "     " + text[k]);
}

std::vector<std::string> stage_text(std::string_view name, i64 stage, std::string_view should) {
  std::string second = fline("('incorrect sequence.  current stage = ',I10)", {stage});
  if (!should.empty()) second += "     " + std::string(should);
  return {" *** subroutine " + std::string(name) + " executed in an", second};
}

std::vector<std::string> need_text(std::string_view name, i64 need, i64 lwork) {
  return {fline("(' *** subroutine ',A,' requires ',I15)", {name, need}),
          fline("('words of workspace and has only ',I15,' available.')", {lwork})};
}

std::vector<std::string> io_text(std::string_view name, i64 unit) {
  return {" *** subroutine " + std::string(name) + " encountered i/o error",
          fline("('on i/o file no. ',I15)", {unit})};
}

void banner(const Call& c, std::initializer_list<std::string_view> lines) {
  if (c.msglvl < 2) return;
  unit_write_line(c.msgunit, "");
  for (auto l : lines) unit_write_line(c.msgunit, " " + std::string(l));
}

void count_line(const Call& c, std::string_view label, i64 v) {
  unit_write_line(c.msgunit, fline("(5X,A,I15)", {label, v}));
}

void time_line(const Call& c, std::string_view label, double seconds) {
  unit_write_line(c.msgunit, fline("(5X,A,F15.6)", {label, seconds}));
}

void input_times(const Call& c, const std::array<std::string_view, 4>& labels, double in_cpu, double in_wall,
                 double cpu, double wall) {
  if (c.msglvl < 1) return;
  unit_write_line(c.msgunit, "");
  time_line(c, labels[0], in_cpu);
  time_line(c, labels[1], in_wall);
  time_line(c, labels[2], cpu - in_cpu);
  time_line(c, labels[3], wall);
}

}  // namespace zephsol::sparse
