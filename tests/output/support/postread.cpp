#include "support/postread.h"

#include <fstream>
#include <regex>

namespace zephsol::test {

namespace {

class Reader {
 public:
  explicit Reader(const std::vector<std::string>& lines) : l_(lines) {}

  PostFile read() {
    PostFile f;
    f.has_header = expect({"   -1", "100", "Database from FEMAP              ", "4.5", "   -1"});
    while (ok_ && i_ < l_.size()) {
      PostStep s;
      if (!output_set(s)) break;
      vectors(s);
      if (ok_ && i_ + 1 < l_.size() && l_[i_] == "   -1" && l_[i_ + 1] == "  408") group(s);
      f.steps.push_back(std::move(s));
    }
    f.errors = errors_;
    return f;
  }

 private:
  const std::vector<std::string>& l_;
  std::size_t i_ = 0;
  bool ok_ = true;
  std::vector<std::string> errors_;

  void fail(const std::string& what) {
    errors_.push_back("line " + std::to_string(i_ + 1) + ": " + what + (i_ < l_.size() ? " [" + l_[i_] + "]" : " [end]"));
    ok_ = false;
  }
  bool at_end() { return i_ >= l_.size(); }
  bool expect(std::initializer_list<const char*> fixed) {
    for (const char* t : fixed) {
      if (at_end() || l_[i_] != t) {
        fail(std::string("expected \"") + t + "\"");
        return false;
      }
      ++i_;
    }
    return true;
  }
  // The next line, matched against a pattern; its groups.
  std::optional<std::smatch> match(const std::regex& re, const char* what) {
    static std::smatch m;
    if (at_end() || !std::regex_match(l_[i_], m, re)) {
      fail(what);
      return std::nullopt;
    }
    ++i_;
    return m;
  }
  static std::vector<int> ints(const std::string& line) {
    std::vector<int> v;
    std::size_t p = 0;
    while (p < line.size()) {
      const auto c = line.find(',', p);
      v.push_back(std::stoi(line.substr(p, c - p)));
      p = c + 1;
    }
    return v;
  }

  bool output_set(PostStep& s) {
    if (!expect({"   -1", "  450"})) return false;
    static const std::regex set(R"(( {0,5}-?\d{1,6}|-?\d{7,}),)");
    static const std::regex title(R"(Interval[ \d]{5}, Step[ \d]{5})");
    const auto a = match(set, "set identifier (I6,',')");
    if (!a) return false;
    s.set = std::stoi(l_[i_ - 1]);
    if (l_[i_ - 1].size() < 7) fail("set identifier width");
    if (!match(title, "output set title")) return false;
    s.title = l_[i_ - 1];
    return expect({"4,1,", "0.,", "1,", "<NULL>", "   -1", "   -1", "  451"});
  }

  void vectors(PostStep& s) {
    static const std::regex ids(R"((( {0,5}-?\d{1,6}|-?\d{7,}),){1,4})");
    static const std::regex reals(R"(( [ -]\d\.\d{6}E[+-]\d{2},){3})");
    // Component line 1: ten integers, the first two written (I4) by some vectors.
    static const std::regex comps(R"((( {0,3}\d{1,4}|\d{5,}),){2}(\d+,){8})");
    static const std::regex flags(R"((\d,\d,\d,)|((( {0,5}\d{1,6}|\d{7,}),){3}))");
    static const std::regex real_value(R"(([ \d-]{8}|-?\d{9,}), [ -]\d\.\d{6}E[+-]\d{2},)");
    static const std::regex int_value(R"(([ \d-]{8}|-?\d{9,}),([ \d-]{14}|-?\d{15,}),)");
    while (ok_ && !at_end() && l_[i_] != "   -1") {
      PostVector v;
      const std::size_t first = i_;
      if (!match(ids, "vector identifier line")) return;
      const auto h = ints(l_[i_ - 1]);
      if (h.size() != 3 || h[2] != 1 || l_[i_ - 1].size() < 21) fail("vector identifier line: set, id, 1");
      v.set = h[0];
      v.id = h[1];
      if (at_end()) return fail("title");
      v.title = l_[i_++];
      if (!match(reals, "extremes line")) return;
      {
        const std::string& t = l_[i_ - 1];
        v.min = std::stod(t.substr(0, 14));
        v.max = std::stod(t.substr(15, 14));
        v.absmax = std::stod(t.substr(30, 14));
      }
      if (!match(comps, "component line 1")) return;
      v.components = l_[i_ - 1];
      if (!expect({"0,0,0,0,0,0,0,0,0,0,"})) return;
      if (!match(ids, "extreme entities line")) return;
      const auto e = ints(l_[i_ - 1]);
      if (e.size() != 4 || l_[i_ - 1].size() < 28) return fail("extreme entities line: four I6");
      v.min_id = e[0];
      v.max_id = e[1];
      v.out_type = e[2];
      v.entity = e[3];
      if (!match(flags, "flags line")) return;
      v.flags = l_[i_ - 1];
      while (!at_end() && l_[i_] != "-1,0.,") {
        if (std::regex_match(l_[i_], real_value) || std::regex_match(l_[i_], int_value)) {
          const std::size_t comma = l_[i_].find(',');
          v.values.emplace_back(std::stoi(l_[i_].substr(0, comma)), std::stod(l_[i_].substr(comma + 1)));
          ++i_;
        } else {
          return fail("value line");
        }
      }
      if (!expect({"-1,0.,"})) return;
      v.lines.assign(l_.begin() + static_cast<std::ptrdiff_t>(first), l_.begin() + static_cast<std::ptrdiff_t>(i_));
      s.vectors.push_back(std::move(v));
    }
    expect({"   -1"});
  }

  void group(PostStep& s) {
    static const std::regex ids(R"((( {0,5}-?\d{1,6}|-?\d{7,}),){4})");
    expect({"   -1", "  408"});
    static const std::regex head(R"(( {0,5}\d{1,6}|\d{7,}),     1,)");
    if (!match(head, "group identifier line")) return;
    s.has_group = true;
    s.group = std::stoi(l_[i_ - 1]);
    static const std::regex title(R"(EGroup([ \d]{5}|\d{6,}))");
    if (!match(title, "group title")) return;
    if (std::stoi(l_[i_ - 1].substr(6)) != s.group) fail("group title number");
    expect({"0,0,0,", "0,0,0,0,0.,0.,", "0,0,"});
    for (int k = 0; k < 6; ++k) expect({"0,0,", "0.,0.,0.,", "0.,0.,0.,"});
    expect({"38,", "17,"});
    const auto list = [&](std::vector<int>& out) {
      while (ok_ && !at_end() && l_[i_] != "-1,-1,-1,-1,") {
        if (!match(ids, "group entry line")) return;
        const auto v = ints(l_[i_ - 1]);
        if (v[1] != 0 || v[2] != 1 || v[3] != 1) fail("group entry: id, 0, 1, 1");
        out.push_back(v[0]);
      }
      expect({"-1,-1,-1,-1,"});
    };
    list(s.nodes);
    expect({"21,"});
    list(s.elements);
    expect({"-1,", "15,", "-1,", "   -1"});
  }
};

}  // namespace

const PostVector* PostStep::vector(int id) const {
  for (const PostVector& v : vectors)
    if (v.id == id) return &v;
  return nullptr;
}

std::vector<int> PostStep::vector_ids() const {
  std::vector<int> ids;
  for (const PostVector& v : vectors) ids.push_back(v.id);
  return ids;
}

PostFile read_post(const std::vector<std::string>& lines) { return Reader(lines).read(); }

std::vector<std::string> file_lines(const std::string& path) {
  std::vector<std::string> out;
  std::ifstream in(path, std::ios::binary);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

}  // namespace zephsol::test
