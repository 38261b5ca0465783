// The material-change report and the element material vector.
//
// Every element of EST gets its current material through the material
// selection (the change lists of the interval); vector 81000 lists it for
// every element, and the elements that carry a material other than their
// own are gathered per new material and printed once per run for each new
// material (the run-long list MCILST of reported materials).
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/ofprqp.h"
#include "zephsol/matl/mattab.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/output/elemout.h"
#include "zephsol/output/output_records.h"
#include "zephsol/output/postfile.h"

namespace zephsol {

namespace {

constexpr word kMaterialVector = 81000;
constexpr word kNoMaterial = -99;
constexpr std::size_t kMostSlots = 100;
constexpr word kReportFlag = 3;  // material selection without printing
constexpr std::size_t kPerLine = 10;

// The elements of one new material, in the order they were met.
struct Slot {
  word material;
  std::vector<word> elements;
};

std::array<word, 6> header(word file) {
  std::array<word, 6> h{};
  HDRGET(file, h);
  return h;
}

void vector_head() {
  post_vector_head(VectorHead{kMaterialVector, "Element Material IDs", 25, "0,0,0,0,0,0,0,0,0,0,", 0, kElementEntity,
                              "0,0,1,", false},
                   Extremes{0.0f, 0.0f, 0, 0});
}

// The slot of material m, a new one when it has none; null when all slots
// are taken (the element is then left out of the report).
Slot* slot_of(std::vector<Slot>& slots, word m) {
  auto it = std::ranges::find(slots, m, &Slot::material);
  if (it != slots.end()) return &*it;
  if (slots.size() == kMostSlots) return nullptr;
  slots.push_back(Slot{m, {}});
  return &slots.back();
}

// The report page: a title line, then per material the column titles and
// its elements, ten to a line. The lines are not counted in the page length.
void print_report(const std::vector<Slot>& slots) {
  PAGHDR();
  const STPCTR& s = stpctr();
  const std::string title = fline("(32X,A,22X,'INTERVAL',I4,'  STEP',I4)",
                                  {"M A T E R I A L   C H A N G E   I N F O            ", s.NINTVL, s.NSTEP});
  unit_write_line(kListing, title);
  for (const Slot& slot : slots) {
    unit_write_line(kListing, "");
    unit_write_line(kListing, "     MAT.ID        ELM.ID");
    unit_write_line(kListing, "");
    for (std::size_t k = 0; k < slot.elements.size(); k += kPerLine) {
      std::string line = k == 0 ? fline("(I8)", {slot.material}) + std::string(5, ' ') : std::string(13, ' ');
      const std::size_t end = std::min(slot.elements.size(), k + kPerLine);
      for (std::size_t j = k; j < end; ++j) line += fline("(I8)", {slot.elements[j]});
      unit_write_line(kListing, line);
    }
  }
}

}  // namespace

void OFPMCI(word est, word matd, word entd, word w) {
  const SYSWRD& sys = sysw();
  const word b1 = sys.COREND - sys.NBUFSZ;
  const bool temperatures = entd != 0 && header(entd)[0] != 0;
  const std::int64_t top = std::int64_t{b1} - (temperatures ? 3 : 2) * std::int64_t{sys.NBUFSZ} - 1;
  // The material table goes to the top of the words from w up (the loader
  // takes six of them for the header): below w lie the caller's lists, which
  // it must not meet.
  constexpr word kHeaderWords = 6;
  check_core_plan(std::int64_t{w} + kHeaderWords, static_cast<word>(std::max<std::int64_t>(top + 1, 0)));
  word free = static_cast<word>(top - w + 1);
  const word elements = header(est)[0];
  if (elements > 0) MATLOD(matd, w, free, b1);

  const bool post = ofpreq()(kPostDisp) > 0;
  if (post) vector_head();
  if (elements > 0) DBOPEN(est, b1, kRead);
  const std::vector<word>& reported = output_state().mcilst;
  std::vector<Slot> slots;
  word last_id = kNoMaterial, last_group = kNoMaterial, selected = 0;
  for (word i = 0; i < elements; ++i) {
    ESTRD(est);
    const ESTCOM& e = estcom();
    if (e.MATID > 0 && (e.MATID != last_id || e.MGROUP != last_group)) {
      MATSEL(e.MATID, e.MGROUP, kReportFlag);
      selected = matcom().MATID;
      last_id = e.MATID;
      last_group = e.MGROUP;
    }
    if (post) post_int_value(e.IEXN, selected);
    if (e.MATID != selected && std::ranges::find(reported, selected) == reported.end())
      if (Slot* slot = slot_of(slots, selected)) slot->elements.push_back(e.IEXN);
  }
  if (post) post_vector_end();
  for (const Slot& slot : slots) output_state().mcilst.push_back(slot.material);
  if (elements > 0) DBCLOS(est, kCloseRewind);
  if (!slots.empty()) print_report(slots);
}

}  // namespace zephsol
