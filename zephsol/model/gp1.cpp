// GP1: coordinate system axes, nodes converted to the basic system, element
// connections sorted by type and mapped to internal node numbers.
#include "zephsol/model/gp1.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace {

constexpr word kSystemWords = 15;
constexpr word kSortWords = 3;
constexpr word kElementHead = 8;
constexpr word kConnHead = 3;  // property, material, NN
constexpr float kDegree = 0.017453292f;
constexpr float kTiny = 1.0e-20f;
constexpr word kBeam2 = 5, kSbeam2 = 26, kOrientationNode = 3;
constexpr std::size_t kNodeBatch = 512;

using Vec3 = std::array<float, 3>;

Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float length(const Vec3& a) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); }

// Open-core plan of GP1: the node identifier list from word 1, the systems
// (later the sort entries) after it, the connection data after 3 words per
// element, everything below the two buffers.
struct Plan {
  word ncs = 0, nnode = 0, nelem = 0, m = 0;
  word ncore = 0, lcore = 0, bufin = 0, bufout = 0;
  word systems = 0;  // first word of the system records
  word sort = 0;     // first word of the sort entries
  word conn = 0;     // first word of the connection data
};

Plan plan_core(word STRC) {
  const Header h = header_of(STRC);
  Plan p;
  p.ncs = h[0];
  p.nnode = h[1];
  p.nelem = h[3];
  if (p.nnode < 1 || p.nelem < 1) model_fatal(-711, name_word("STRC"), 0);
  const word nbuf = sysw().NBUFSZ;
  p.ncore = CORLFT(1);
  p.bufin = sysw().COREND - nbuf;
  p.bufout = p.bufin - nbuf;
  p.lcore = p.ncore - 2 * nbuf;
  const std::int64_t need = std::max<std::int64_t>(std::int64_t{kSystemWords} * std::max(p.ncs, 0),
                                                   std::int64_t{kSortWords} * p.nelem) +
                            p.nnode + 1;
  if (need > p.lcore) short_of_core(need + 2 * std::int64_t{nbuf}, p.ncore);
  p.systems = p.nnode + 1;
  p.sort = p.nnode + 1;
  p.conn = p.sort + kSortWords * p.nelem;
  return p;
}

// Reads the three-word header of the next record; its first word must be name.
std::array<word, 3> record_head(word STRC, const char* name, word code) {
  std::array<word, 3> head{};
  DBREAD(STRC, head.data(), 3, 0);
  if (head[0] != name_word(name)) {
    if (code == -3838) model_fatal(code, name_word("STRC"), 0);
    model_fatal(code, name_word(name), name_word("STRC"));
  }
  return head;
}

// A system's record slot: words 1-3 as read, origin, e1, e2, e3.
struct SystemSlot {
  std::span<word> w;
  Vec3 get(int first) const { return {word_real(w[first]), word_real(w[first + 1]), word_real(w[first + 2])}; }
  void set(int first, const Vec3& v) const {
    for (int i = 0; i < 3; ++i) w[static_cast<std::size_t>(first + i)] = real_word(v[static_cast<std::size_t>(i)]);
  }
};

// Unit axes from the three definition points held in words 7-15; identity
// axes and message 2452 when the points do not define a plane.
void make_axes(const SystemSlot& s) {
  const Vec3 p1 = s.get(6), p2 = s.get(9), p3 = s.get(12);
  Vec3 e1{1, 0, 0}, e2{0, 1, 0}, e3{0, 0, 1};
  bool degenerate = true;
  const Vec3 v{p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
  const float lv = length(v);
  if (lv > kTiny) {
    const Vec3 u{v[0] / lv, v[1] / lv, v[2] / lv};
    const Vec3 w = cross(u, {p3[0] - p1[0], p3[1] - p1[1], p3[2] - p1[2]});
    const float lw = length(w);
    if (lw > kTiny) {
      e1 = u;
      e3 = {w[0] / lw, w[1] / lw, w[2] / lw};
      e2 = cross(e3, e1);
      degenerate = false;
    }
  }
  s.set(3, p1);
  s.set(6, e1);
  s.set(9, e2);
  s.set(12, e3);
  if (degenerate)
    user_error(fline("('0*** USER FATAL MESSAGE 2452,  3 POINTS DEFINING THE COORDINATE SYSTEM',I8,"
                     "' ARE CO-LINEAR')",
                     {s.w[0]}),
               true);
}

// Reads the "COORDINA" record into the system slots, builds the axes and
// writes CSTM.
void build_systems(word STRC, word CSTM, const Plan& p) {
  if (p.ncs < 1) return;
  record_head(STRC, "COOR", -2621);
  word curvilinear = 0;
  for (word k = 0; k < p.ncs; ++k) {
    const SystemSlot s{core().words(p.systems + kSystemWords * k, kSystemWords)};
    DBREAD(STRC, s.w.data(), 3, 0);
    DBREAD(STRC, s.w.data() + 6, 9, 0);
    if (s.w[1] == 2 || s.w[1] == 3) curvilinear = 1;
  }
  DBREAD(STRC, nullptr, 0, 1);
  for (word k = 0; k < p.ncs; ++k) make_axes({core().words(p.systems + kSystemWords * k, kSystemWords)});
  DBOPEN(CSTM, p.bufout, kWrite);
  for (word k = 0; k < p.ncs; ++k) DBWRIT(CSTM, &core().w(p.systems + kSystemWords * k), kSystemWords, 1);
  DBCLOS(CSTM, kCloseRewind);
  HDRPUT(CSTM, Header{p.ncs, 0, curvilinear, 0, 0, kSystemWords});
}

// The system a node refers to; the last one found is remembered.
class SystemLookup {
 public:
  explicit SystemLookup(const Plan& p) : p_(p) {}
  // The slot of system cd, or an empty slot when it is not defined.
  std::span<word> find(word cd) {
    if (cd == last_id_ && !last_.empty()) return last_;
    for (word k = 0; k < p_.ncs; ++k) {
      const std::span<word> s = core().words(p_.systems + kSystemWords * k, kSystemWords);
      if (s[0] != cd) continue;
      last_id_ = cd;
      last_ = s;
      return s;
    }
    return {};
  }

 private:
  const Plan& p_;
  word last_id_ = 0;
  std::span<word> last_;
};

// Converts a node's coordinates (words 6-8 of its entry) from system cd to
// the basic system, in single precision.
void convert_node(std::span<word> entry, SystemLookup& systems) {
  const word cd = entry[2];
  if (cd == 0) return;
  const std::span<word> slot = systems.find(cd);
  if (slot.empty()) {
    user_error(fline("('0*** USER FATAL MESSAGE 2316, COORIDNATE SYSTEM ID',I8,' REFFERED BY NODE',I8,"
                     "' IS UNDEFINED.')",
                     {cd, entry[0]}));
    return;
  }
  const SystemSlot s{slot};
  const float a = word_real(entry[5]), b = word_real(entry[6]), c = word_real(entry[7]);
  float x = a, y = b, z = c;
  if (slot[1] == 2) {
    const float theta = b * kDegree;
    x = a * std::cos(theta);
    y = a * std::sin(theta);
  } else if (slot[1] == 3) {
    const float theta = b * kDegree, phi = c * kDegree;
    x = a * std::cos(phi) * std::cos(theta);
    y = a * std::cos(phi) * std::sin(theta);
    z = a * std::sin(phi);
  }
  const Vec3 o = s.get(3), e1 = s.get(6), e2 = s.get(9), e3 = s.get(12);
  for (std::size_t i = 0; i < 3; ++i) entry[5 + i] = real_word(o[i] + x * e1[i] + y * e2[i] + z * e3[i]);
}

// Converts the nodes of the "NODE    " record and writes NODC, keeping the
// identifiers in words 1..NNODE.
void build_nodes(word STRC, word NODC, const Plan& p) {
  const std::size_t width = static_cast<std::size_t>(5 + p.m);
  std::vector<word> batch(width * kNodeBatch);
  SystemLookup systems(p);
  DBOPEN(NODC, p.bufout, kWrite);
  for (word done = 0; done < p.nnode;) {
    const word k = std::min<word>(p.nnode - done, static_cast<word>(kNodeBatch));
    DBREAD(STRC, batch.data(), k * static_cast<word>(width), 0);
    for (word j = 0; j < k; ++j) {
      const std::span<word> entry(batch.data() + width * static_cast<std::size_t>(j), width);
      convert_node(entry, systems);
      core().w(done + j + 1) = entry[0];
    }
    done += k;
    DBWRIT(NODC, batch.data(), k * static_cast<word>(width), done == p.nnode ? 1 : 0);
  }
  DBREAD(STRC, nullptr, 0, 1);
  DBCLOS(NODC, kCloseRewind);
  HDRPUT(NODC, Header{p.nnode, 1, p.ncs, p.m, 0, 0});
}

// Type key IECOD x 256 + ISEQ of a user element type number; 0 and message
// 2131 when ETYP does not define it.
word type_key(word user_type) {
  const ETYP& t = elem_state().tables.etyp;
  for (word k = 1; k <= t.count && k <= ETYP::kMax; ++k) {
    const auto& e = t.entry[static_cast<std::size_t>(k - 1)];
    if (e[0] == user_type) return e[1] * 256 + k;
  }
  user_error(fline("('0*** USER FATAL MESSAGE 2131, ELEMENT TYPE CODE',I8,' NOT DEFINED IN ''ELEMENT TYPE'' SECTION')",
                   {user_type}));
  return 0;
}

// Replaces the node identifiers of an element by internal node numbers.
void map_nodes(std::span<word> nodes, word element, word key) {
  const word iecod = key / 256;
  const bool beam = iecod == kBeam2 || iecod == kSbeam2;
  for (std::size_t j = 0; j < nodes.size(); ++j) {
    const word id = nodes[j];
    if (beam && id == 0 && j + 1 == kOrientationNode) continue;  // no orientation node
    nodes[j] = NODNUM(id);
    if (nodes[j] == 0)
      user_error(fline("('0*** USER FATAL MESSAGE 2415, NODE ID',I8,' IN ELEMENT',I8,' IS UNDEFINED')", {id, element}));
  }
}

// Reads the elements into sort entries and connection data; returns the
// largest NN.
word read_elements(word STRC, const Plan& p) {
  word next = p.conn, max_nn = 0, previous_type = 0, key = 0;
  for (word e = 0; e < p.nelem; ++e) {
    std::array<word, kElementHead> head{};
    DBREAD(STRC, head.data(), kElementHead, 0);
    const word nn = head[7];
    if (nn < 0) model_fatal(-711, name_word("STRC"), nn);
    if (std::int64_t{next} + kConnHead + nn - 1 > p.lcore) model_fatal(-4, name_word("CONN"), p.ncore);
    if (e == 0 || head[1] != previous_type) key = type_key(head[1]);
    previous_type = head[1];
    const std::span<word> conn = core().words(next, kConnHead + nn);
    conn[0] = head[2];
    conn[1] = head[3];
    conn[2] = nn;
    DBREAD(STRC, conn.data() + kConnHead, nn, 0);
    map_nodes(conn.subspan(kConnHead), head[0], key);
    const std::span<word> entry = core().words(p.sort + kSortWords * e, kSortWords);
    entry[0] = head[0];
    entry[1] = key;
    entry[2] = next;
    next += kConnHead + nn;
    max_nn = std::max(max_nn, nn);
  }
  DBREAD(STRC, nullptr, 0, 1);
  return max_nn;
}

// Sorts the elements by type key and identifier and writes CONE.
void write_connections(word CONE, const Plan& p, word max_nn) {
  const std::span<word> entries = core().words(p.sort, kSortWords * p.nelem);
  sort_rows<kSortWords>(entries, static_cast<std::size_t>(p.nelem), 2, 1);
  DBOPEN(CONE, p.bufout, kWrite);
  for (word e = 0; e < p.nelem; ++e) {
    const std::span<word> entry = entries.subspan(static_cast<std::size_t>(kSortWords * e), kSortWords);
    const std::span<word> conn = core().words(entry[2], kConnHead);
    const word nn = conn[2];
    const word key = entry[1];
    const std::array<word, 5> head{entry[0], (key % 256) * 16777216 + key / 256, conn[0], conn[1], nn};
    DBWRIT(CONE, head.data(), 5, nn > 0 ? 0 : 1);
    if (nn > 0) DBWRIT(CONE, &core().w(entry[2] + kConnHead), nn, 1);
  }
  DBCLOS(CONE, kCloseRewind);
  HDRPUT(CONE, Header{p.nelem, elem_state().tables.etyp.count, max_nn, 0, 0, 0});
}

}  // namespace

void GP1(word STRC, word CSTM, word NODC, word CONE) {
  MODBGN("GP1     ");
  Plan p = plan_core(STRC);
  DBOPEN(STRC, p.bufin, kRead);
  build_systems(STRC, CSTM, p);
  dbpos elements = 0;
  DBCPOS(STRC, elements);
  record_head(STRC, "ELEM", -2621);
  DBREAD(STRC, nullptr, 0, 1);
  p.m = record_head(STRC, "NODE", -2621)[2];
  if (p.m < 3) model_fatal(-711, name_word("STRC"), p.m);
  build_nodes(STRC, NODC, p);
  DBGOTO(STRC, elements);
  record_head(STRC, "ELEM", -3838);
  NODLST(1, p.nnode);
  const word max_nn = read_elements(STRC, p);
  write_connections(CONE, p, max_nn);
  DBCLOS(STRC, kCloseRewind);
  error_total();
}

void NODLST(word list, word n) {
  NODREG& r = model_state().nodreg;
  r = {list, list + n - 1, n, false};
  if (n < 1) return;
  const std::span<const word> keys = core().words(list, n);
  r.step1 = std::int64_t{keys.back()} - keys.front() == n - 1 &&
            std::adjacent_find(keys.begin(), keys.end(), [](word a, word b) { return std::int64_t{b} != std::int64_t{a} + 1; }) == keys.end();
}

word NODNUM(word key) {
  const NODREG& r = model_state().nodreg;
  if (r.count < 1) return 0;
  const WordSpace& c = core();
  const word first = c.w(r.first), last = c.w(r.last);
  if (key < first || key > last) return 0;
  if (key == first) return 1;
  if (key == last) return r.count;
  if (r.step1) return static_cast<word>(std::int64_t{key} - first + 1);
  word lo = 1, hi = r.count;
  while (hi - lo > 1) {
    const word mid = lo + (hi - lo) / 2;
    const word at = c.w(r.first + mid - 1);
    if (at == key) return mid;
    if (key < at) hi = mid;
    else lo = mid;
  }
  return 0;
}

}  // namespace zephsol
