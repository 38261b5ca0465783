// The principal stress and principal strain tables of a step, from the
// principal-value records ($301) that the element walk wrote: one line pair
// per selected record with the principal values, the maximum shear and the
// direction angles.
#include <array>
#include <bit>
#include <cstdint>
#include <string_view>
#include <vector>

#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/ofphdg.h"
#include "zephsol/iter/ofprqp.h"
#include "zephsol/iter/ofpvxs.h"
#include "zephsol/output/elemout.h"
#include "zephsol/output/elemwalk.h"
#include "zephsol/output/output_records.h"

namespace zephsol {

namespace {

constexpr word kRecordWords = 15;
constexpr word kMembraneClass = 2;

// Line of a membrane (two principal values, the shear after a gap, four
// angles) and of every other class (three values, the shear, nine angles).
constexpr std::string_view kMembraneLine = "(/,I7,' -',I3,3X,1P,2E12.4,12X,E12.4,7X,2(2X,0P,2F7.1))";
constexpr std::string_view kSpatialLine = "(/,I7,' -',I3,3X,1P,4E12.4,3(2X,0P,3F7.1))";

// One table: its requests (a list, or -1), the component array the values
// are derived from, the selector of the derived values and the heading kind.
struct Pass {
  word request;
  word narrowing;  // a second request whose list, when it has one, decides the selection
  std::size_t array;
  word selector;
  word heading;
};

// Which records a table prints.
struct Selection {
  bool every = true;
  word list = -1;
  bool selects(word id) const { return every || request_selects(list, 2, id); }
};

Selection selection(const Pass& pass) {
  const auto narrow = [](word w) { return w > 0 && !selects_every_element(w); };
  Selection s;
  s.every = !narrow(pass.request) && !narrow(pass.narrowing);
  s.list = pass.narrowing > 0 ? pass.narrowing : pass.request;
  return s;
}

// The next $301 record into the element header and the stress and total
// strain arrays of EIVWKA; the header keeps the element, point and class.
void unpack_record(word file) {
  std::array<word, kRecordWords> r{};
  DBREAD(file, r.data(), kRecordWords, 1);
  EIVWK& w = eivwka();
  w.head = {r[0], 0, r[2], 0, r[1], 0};
  w.point = r[1];
  for (std::size_t k = 0; k < 6; ++k) {
    w.vec[0][k] = std::bit_cast<float>(r[3 + k]);
    w.vec[2][k] = std::bit_cast<float>(r[9 + k]);
  }
}

// Accounts for the record's lines, with the column headings on a change of
// class and the whole heading again on a new page.
void count_lines(word kind, word& last_class) {
  const word c = eivwka().head[2];
  word newpg = 0;
  if (c == last_class) {
    LINCNT(2, newpg);
    if (newpg != 0) {
      OFPHDG(kind, 3);
      sysw().NLINE += 3;
    }
    return;
  }
  last_class = c;
  LINCNT(5, newpg);
  OFPHDG(kind, newpg != 0 ? 3 : 2);
}

void print_record(const Pass& pass) {
  const EIVWK& w = eivwka();
  const word c = w.head[2];
  std::array<float, 13> v{};
  OFPVXS(w.vec[pass.array], c, v, pass.selector);
  const std::size_t n = c == kMembraneClass ? 7 : 13;
  std::vector<FmtArg> args{w.head[0], w.head[4]};
  for (std::size_t k = 0; k < n; ++k) args.emplace_back(v[k]);
  fwrite_unit(kListing, c == kMembraneClass ? kMembraneLine : kSpatialLine, args);
}

void print_table(const Pass& pass) {
  if (pass.request < 0 && pass.narrowing < 0) return;
  const Selection sel = selection(pass);
  PAGHDR();
  OFPHDG(pass.heading, 1);
  const OFPSCR& scr = ofpscr();
  DBREWD(scr.principal);
  word last_class = 0;
  for (word r = 0; r < scr.principal_records; ++r) {
    unpack_record(scr.principal);
    if (!sel.selects(eivwka().head[0])) continue;
    count_lines(pass.heading, last_class);
    print_record(pass);
  }
}

}  // namespace

void OFP1P() {
  const OFPREQ& req = ofpreq();
  const Pass stresses{req(kPrintPrstress), req(kPrintPrstres2), 0, kStressSet, 4};
  const Pass strains{req(kPrintPrstrain), -1, 2, kStrainSet, 6};
  print_table(stresses);
  print_table(strains);
}

}  // namespace zephsol
