// The table of formatter reference cases, read by the generator of the
// Fortran reference program and by the formatter test, so the two cannot
// drift apart.
//
// Lines of the table (blank lines and lines starting with '#' are skipped):
//   case FORMAT | ITEM | ITEM ...   one WRITE of the items under the format
//   formats FORMAT FORMAT ...       formats (without blanks) for the values below
//   values ITEM | ITEM ...          each item alone under each of the formats
// An ITEM is a kind letter and a value:
//   I 42       integer (INTEGER, or INTEGER*8 when it needs 64 bits)
//   D 0.125    double precision      R 0.1    REAL (single precision)
//   S 'text'   text, '' for a quote  W 'LIST' four characters held in an INTEGER word
//   L T        logical (T or F)
// D and R also take inf, -inf, nan and -0.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fortfmt_cases {

struct Value {
  char kind = 'I';
  std::string text;  // the value as written in the table (quotes removed for S and W)
};

struct Case {
  std::string format;
  std::vector<Value> items;
};

inline std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// Fields separated by '|' outside quotes.
inline std::vector<std::string> split_fields(const std::string& s) {
  std::vector<std::string> out(1);
  char quote = 0;
  for (char c : s) {
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '|') {
      out.emplace_back();
      continue;
    }
    out.back().push_back(c);
  }
  for (auto& f : out) f = trim(f);
  return out;
}

inline std::string unquote(const std::string& q) {
  if (q.size() < 2 || q.front() != '\'' || q.back() != '\'') throw std::runtime_error("quoted text expected: " + q);
  std::string out;
  for (std::size_t i = 1; i + 1 < q.size(); ++i) {
    out.push_back(q[i]);
    if (q[i] == '\'' && q[i + 1] == '\'') ++i;
  }
  return out;
}

inline Value parse_value(const std::string& field) {
  if (field.size() < 3 || field[1] != ' ') throw std::runtime_error("bad item: " + field);
  Value v{field[0], trim(field.substr(2))};
  if (v.kind == 'S' || v.kind == 'W') v.text = unquote(v.text);
  if (std::string("IDRSWL").find(v.kind) == std::string::npos) throw std::runtime_error("bad item kind: " + field);
  return v;
}

inline std::vector<Case> read_cases(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<Case> cases;
  std::vector<std::string> formats;
  std::string line;
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    const auto sp = line.find(' ');
    const std::string key = line.substr(0, sp);
    const std::string rest = sp == std::string::npos ? "" : trim(line.substr(sp + 1));
    if (key == "case") {
      auto fields = split_fields(rest);
      Case c{fields[0], {}};
      for (std::size_t i = 1; i < fields.size(); ++i) c.items.push_back(parse_value(fields[i]));
      cases.push_back(c);
    } else if (key == "formats") {
      formats.clear();
      std::istringstream words(rest);
      for (std::string f; words >> f;) formats.push_back(f);
    } else if (key == "values") {
      for (const auto& field : split_fields(rest))
        for (const auto& f : formats) cases.push_back({f, {parse_value(field)}});
    } else {
      throw std::runtime_error("bad line: " + line);
    }
  }
  return cases;
}

}  // namespace fortfmt_cases
