// The result file: header, output set, vector records and group blocks.
#include "zephsol/output/postfile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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

// An integer field of width w, right-justified; a number wider than its
// field is written whole in the width it needs (the lines are
// comma-delimited, so a wider field is read as well as a fitting one).
std::string int_field(std::int64_t v, std::size_t w) {
  std::string s = std::to_string(v);
  if (s.size() < w) s.insert(0, w - s.size(), ' ');
  return s;
}

// An identifier line: up to four integers, each an I6 field and a comma.
void put_ids(std::initializer_list<std::int64_t> values) {
  std::string line;
  for (std::int64_t v : values) line += int_field(v, 6) + ",";
  put(line);
}

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
  put(int_field(s.NSTEPC, 6) + ",");
  put("Interval" + int_field(s.NINTVL, 5) + ", Step" + int_field(s.NSTEP, 5));
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
  put_ids({g, 1});
  put("EGroup" + int_field(g, 5));
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
  for (word n : nodes) put_ids({n, 0, 1, 1});
  put("-1,-1,-1,-1,");
  put("21,");
  for (word e : elements) put_ids({e, 0, 1, 1});
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
  put_ids({stpctr().NSTEPC, head.id, 1});
  put(title);
  put(fline("(3(1P,E14.6,','))", {ext.min, ext.max, absmax}));
  put(head.components);
  put("0,0,0,0,0,0,0,0,0,0,");
  put_ids({ext.min_id, ext.max_id, head.out_type, head.entity});
  put(head.flags);
}

void post_value(word id, float value) { put(int_field(id, 8) + "," + fline("(1P,E14.6,',')", {value})); }

void post_int_value(word id, word value) { put(int_field(id, 8) + "," + int_field(value, 14) + ","); }

void post_vector_end() { put("-1,0.,"); }

}  // namespace zephsol
