// IFP1 driver: open-core layout, the decoders in order, the totals.
#include "zephsol/input/ifp1.h"

#include <cstdint>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/dbboun.h"
#include "zephsol/input/dbincd.h"
#include "zephsol/input/dbload.h"
#include "zephsol/input/decoders.h"
#include "zephsol/input/idrange.h"

namespace zephsol {

namespace {

constexpr word kFirstCoreWord = 1;

void run(DecoderFn decoder) {
  if (decoder != nullptr) decoder();
}

// Work area from word 1, three buffers at the top of the open core.
void lay_out_core() {
  CRDCOM& c = crdcom();
  const word nbuf = sysw().NBUFSZ;
  c.CORLEF = CORLFT(kFirstCoreWord);
  c.IFREE = kFirstCoreWord;
  c.BUFINP = c.CORLEF - nbuf + 1;
  c.BUFOUT = c.BUFINP - nbuf;
  c.BUFSCR = c.BUFOUT - nbuf;
  if (c.BUFSCR - 1 < 0) {
    const std::int64_t required = 3 * std::int64_t{nbuf};
    MSGPUT(-3, static_cast<word>(required), c.CORLEF);
  }
}

void run_decoders() {
  const IfpDecoders& d = bulk_state().decoders;
  run(d.DBETYP);
  run(d.DBMATD);
  if (d.DBSTRC != nullptr) d.DBSTRC(S301);
  crdcom().IFREE = kFirstCoreWord;
  run(d.DBEGED);
  run(d.DBBOUN);
  run(d.DBLOAD);
  run(d.DBELST);
  run(d.DBINCD);
}

// One total line on both units; past the print limit the listing also gets
// the overprint line that completes it.
void print_total(word count, const char* format) {
  const CRDCOM& c = crdcom();
  write_listing_and_log({fline(format, {count})});
  if (count > c.MSGLIM)
    unit_write_line(kListing, fline("('+',38X,',  OF WHICH FIRST',I6,' ARE PRINTED')", {c.MSGLIM}));
}

void print_totals() {
  const CRDCOM& c = crdcom();
  if (c.NFATAL <= 0 && c.NWARN <= 0) return;
  LINCNT(5);
  write_listing_and_log({"0*** SYSTEM INFORMATION MESSAGE ---"});
  if (c.NFATAL > 0) print_total(c.NFATAL, "(10X,'TOTAL',I6,'   FATAL MESSAGES ')");
  if (c.NWARN > 0) {
    print_total(c.NWARN, "(10X,'TOTAL',I6,' WARNING MESSAGES ')");
    sysw().IWRNFL = 1;
  }
}

}  // namespace

IfpDecoders default_decoders() noexcept {
  return {DBETYP, DBMATD, DBSTRC, DBEGED, DBBOUN, DBLOAD, DBELST, DBINCD};
}

void IFP1() {
  MODBGN("IFP1    ");
  word found = 0;
  DBFIND(name_word("INP1"), found);
  if (found >= 0) MSGPUT(-201, name_word("INP1"), 0);
  crdcom().INPFIL = -found;
  lay_out_core();
  DBOPEN(INP1, crdcom().BUFINP, kRead);
  forget_ranges();
  run_decoders();
  DBCLOS(INP1, kCloseUnload);
  print_totals();
}

}  // namespace zephsol
