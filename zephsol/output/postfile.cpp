// The result file: header, output set, vector records and group blocks.
#include "zephsol/output/postfile.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "zephsol/dbio/punits.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

constexpr std::string_view kBlockEdge = "   -1";

int unit() { return sysw().IPOSTU; }
void put(std::string_view line) { unit_write_line(unit(), line); }
void put_format(std::string_view format, std::initializer_list<FmtArg> args) { put(fline(format, args)); }

constexpr std::string_view kIdLine = "(4(I6,','))";

}  // namespace

void post_open() {
  UNTOPN(unit(), name_word("POST"), 0, 4);
  put(kBlockEdge);
  put("100");
  put("Database from FEMAP              ");
  put("4.5");
  put(kBlockEdge);
}

void post_output_set() {
  const STPCTR& s = stpctr();
  put(kBlockEdge);
  put("  450");
  put_format("(I6,',')", {s.NSTEPC});
  put_format("('Interval',I5,', Step',I5)", {s.NINTVL, s.NSTEP});
  put("4,1,");
  put("0.,");
  put("1,");
  put("<NULL>");
  put(kBlockEdge);
  put(kBlockEdge);
  put("  451");
}

void post_end_vectors() { put(kBlockEdge); }

void post_group(std::span<const word> nodes, std::span<const word> elements) {
  const word g = stpctr().NSTEPC + 10000;
  put(kBlockEdge);
  put("  408");
  put_format(kIdLine, {g, 1});
  put_format("('EGroup',I5)", {g});
  put("0,0,0,");
  put("0,0,0,0,0.,0.,");
  put("0,0,");
  for (int i = 0; i < 6; ++i) {
    put("0,0,");
    put("0.,0.,0.,");
    put("0.,0.,0.,");
  }
  put("38,");
  put("17,");
  for (word n : nodes) put_format(kIdLine, {n, 0, 1, 1});
  put("-1,-1,-1,-1,");
  put("21,");
  for (word e : elements) put_format(kIdLine, {e, 0, 1, 1});
  put("-1,-1,-1,-1,");
  put("-1,");
  put("15,");
  put("-1,");
  put(kBlockEdge);
}

void post_flush() { unit_flush(unit()); }

void post_vector_head(const VectorHead& head, const Extremes& ext) {
  std::string title(head.title);
  title.resize(static_cast<std::size_t>(head.title_width), ' ');
  const float absmax = head.total ? ext.max : std::max(std::fabs(ext.min), std::fabs(ext.max));
  put_format(kIdLine, {stpctr().NSTEPC, head.id, 1});
  put(title);
  put_format("(3(1P,E14.6,','))", {ext.min, ext.max, absmax});
  put(head.components);
  put("0,0,0,0,0,0,0,0,0,0,");
  put_format(kIdLine, {ext.min_id, ext.max_id, head.out_type, head.entity});
  put(head.flags);
}

void post_value(word id, float value) { put_format("(I8,',',1P,E14.6,',')", {id, value}); }

void post_int_value(word id, word value) { put_format("(I8,',',I14,',')", {id, value}); }

void post_vector_end() { put("-1,0.,"); }

}  // namespace zephsol
