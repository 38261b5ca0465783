#include "common/block_dump.h"

#include <charconv>
#include <cstdlib>
#include <stdexcept>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/recbody.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"

namespace zephsol::test {

namespace {

struct BuiltIn {
  const char* name;
  const char* layout;
};

// Layouts of the data blocks whose records tests read most.
constexpr BuiltIn kLayouts[] = {
    {"CSTM", "I3 R12"},
    {"NODC", "(I5 R3)*"},
    {"CONE", "I5 I*"},
    {"IELS", "I*"},
    {"EQIX", "I*"},
    {"ADIC", "I4 I@4 I@2"},
    {"EST", "I10 R@8 R@9 I@10"},
    {"ECT", "I6 I@3"},
};

// The count of an item: n, "*" (-1: the rest), "@k" (word k of the record).
struct Count {
  long fixed = 1;
  int word_at = 0;
  bool rest = false;
};

Count parse_count(std::string_view& s) {
  Count c;
  if (!s.empty() && s[0] == '*') {
    c.rest = true;
    s.remove_prefix(1);
  } else if (!s.empty() && s[0] == '@') {
    s.remove_prefix(1);
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), c.word_at);
    if (ec != std::errc{}) throw std::invalid_argument("layout: @ without a word number");
    s.remove_prefix(static_cast<std::size_t>(p - s.data()));
  } else if (!s.empty() && s[0] >= '0' && s[0] <= '9') {
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), c.fixed);
    s.remove_prefix(static_cast<std::size_t>(p - s.data()));
  }
  return c;
}

std::string real_text(word w) {
  char buf[32];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, word_real(w));
  return std::string(buf, p);
}

std::string word_text(char type, word w) {
  if (type == 'R') return real_text(w);
  if (type == 'A') return "'" + word_name(w) + "'";
  return std::to_string(w);
}

class Formatter {
 public:
  explicit Formatter(const std::vector<word>& rec) : rec_(rec) {}

  // Applies the items of s (up to a closing parenthesis); false when the
  // record ran out.
  bool items(std::string_view& s, bool top) {
    for (;;) {
      while (!s.empty() && s[0] == ' ') s.remove_prefix(1);
      if (s.empty()) return true;
      if (s[0] == ')') {
        s.remove_prefix(1);
        return true;
      }
      if (top && at_ > 0 && at_ < rec_.size()) out_ += " |";
      if (!item(s)) return false;
    }
  }

  std::string finish() {
    for (; at_ < rec_.size(); ++at_) out_ += " " + std::to_string(rec_[at_]);
    return out_.empty() ? out_ : out_.substr(1);
  }

 private:
  long count_of(const Count& c) const {
    if (c.rest) return -1;
    if (c.word_at > 0) return c.word_at <= static_cast<int>(rec_.size()) ? rec_[static_cast<std::size_t>(c.word_at - 1)] : 0;
    return c.fixed;
  }

  bool item(std::string_view& s) {
    if (s[0] == '(') {
      s.remove_prefix(1);
      const std::string_view body = s;
      std::string_view probe = s;
      skip_group(probe);
      Count c = parse_count(probe);
      s = probe;
      const long n = count_of(c);
      for (long k = 0; n < 0 ? at_ < rec_.size() : k < n; ++k) {
        std::string_view inner = body;
        if (!items(inner, false)) return false;
      }
      return true;
    }
    const char type = s[0];
    if (type != 'I' && type != 'R' && type != 'A') throw std::invalid_argument("layout: unknown item");
    s.remove_prefix(1);
    const long n = count_of(parse_count(s));
    for (long k = 0; n < 0 ? at_ < rec_.size() : k < n; ++k) {
      if (at_ >= rec_.size()) return false;
      out_ += " " + word_text(type, rec_[at_++]);
    }
    return at_ < rec_.size() || n >= 0;
  }

  static void skip_group(std::string_view& s) {
    int depth = 1;
    while (!s.empty() && depth > 0) {
      if (s[0] == '(') ++depth;
      if (s[0] == ')') --depth;
      s.remove_prefix(1);
    }
  }

  const std::vector<word>& rec_;
  std::size_t at_ = 0;
  std::string out_;
};

word top_buffer() { return sysw().COREND - sysw().NBUFSZ; }

// The next record whole; false at a mark or the end of the data.
bool next_record(word number, std::vector<word>& rec) {
  rec.clear();
  std::array<word, 256> chunk{};
  for (;;) {
    word nread = static_cast<word>(chunk.size()), status = 0;
    DBRDST(number, chunk.data(), static_cast<word>(chunk.size()), 0, nread, status);
    if (status == 2) return false;
    rec.insert(rec.end(), chunk.begin(), chunk.begin() + (status == 1 ? nread : static_cast<word>(chunk.size())));
    if (status == 1) return true;
  }
}

}  // namespace

std::string layout_of(word number) {
  word name = 0;
  DBNAME(number, name);
  for (const BuiltIn& b : kLayouts)
    if (name_word(b.name) == name) return b.layout;
  return "I*";
}

std::string format_record(const std::vector<word>& record, std::string_view layout) {
  Formatter f(record);
  std::string_view s = layout;
  f.items(s, true);
  return f.finish();
}

std::vector<std::string> dump_block(word number, std::string_view layout) {
  const auto h = block_header(number);
  std::vector<std::string> out{"header: " + std::to_string(h[0]) + " " + std::to_string(h[1]) + " " +
                               std::to_string(h[2]) + " " + std::to_string(h[3]) + " " + std::to_string(h[4]) +
                               " " + std::to_string(h[5])};
  DBOPEN(number, top_buffer(), kRead);
  std::vector<word> rec;
  int k = 0, marks = 0;  // marks met since the last record
  for (;;) {
    if (next_record(number, rec)) {
      if (marks > 0 && k > 0) out.push_back("EOF");
      marks = 0;
      out.push_back(std::to_string(++k) + ": " + format_record(rec, layout));
      continue;
    }
    if (filctl().lstmrk != recbody::kEofMark || ++marks > 1) break;
  }
  DBCLOS(number, kCloseRewind);
  return out;
}

std::vector<std::string> dump_block(word number) { return dump_block(number, layout_of(number)); }

std::vector<std::vector<word>> block_records(word number) {
  std::vector<std::vector<word>> out;
  DBOPEN(number, top_buffer(), kRead);
  std::vector<word> rec;
  while (next_record(number, rec)) out.push_back(rec);
  DBCLOS(number, kCloseRewind);
  return out;
}

std::array<word, 6> block_header(word number) {
  std::array<word, 6> h{};
  HDRGET(number, h);
  return h;
}

void write_block(word number, const std::vector<std::vector<word>>& records, std::array<word, 6> header) {
  DBOPEN(number, top_buffer(), kWrite);
  for (const auto& r : records) {
    if (r.empty())
      DBEOF(number);
    else
      DBWRIT(number, r.data(), static_cast<word>(r.size()), 1);
  }
  DBCLOS(number, kCloseRewind);
  HDRPUT(number, header);
}

}  // namespace zephsol::test
