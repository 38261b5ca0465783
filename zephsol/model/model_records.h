// Shared records of the model modules: the registration of the sorted key
// list that NODNUM searches, the shared record TA1COM of module TA1, the
// structure table of the renumbering, the shared record BNDCOM of module GP2
// and the automatic-MPC summary table.
// They live in one aggregate (model_state()); tests start afresh with
// reset_model_state().
#pragma once

#include <array>

#include "zephsol/exec/words.h"

namespace zephsol {

// The key list registered by NODLST: open-core positions of its first and
// last words and the count of keys. `step1` is set when the keys run
// first, first + 1, ... without a gap, so that a key's position is its
// distance from the first key (the same answer as the bisection).
struct NODREG {
  word first = 0;
  word last = 0;
  word count = 0;
  bool step1 = false;
};

// Shared record of TA1: its eight data blocks, the open-core bounds, the
// model sizes and the renumber flag.
struct TA1COM {
  word CONE = 0, EGED = 0, NODC = 0, IELS = 0, EQIX = 0, ADIC = 0, EST = 0, ECT = 0;
  word IFREE = 1;   // first free open-core word
  word NCORE = 0;   // words of open core (CORLFT of word 1)
  word IBUF = 0;    // position of the input buffer at the top: NCORE - NBUFSZ + 1
  word NAVAIL = 0;  // words below the buffer: IBUF - IFREE
  word N = 0;       // nodes (NODC header word 1)
  word NE = 0;      // elements (CONE header word 1)
  word M = 0;       // words per node after the first five (NODC header word 4)
  word IRNFLG = 0;  // 0 the new numbering is used, -1 the input order is kept
};

// Separate structures of the node graph found by the renumbering: at most
// ten pairs (start node, end node) and their count.
struct STRUCT {
  static constexpr int kMax = 10;
  word NSTRUC = 0;
  std::array<std::array<word, 2>, kMax> entry{};
};

// Shared record of GP2 and its routines: the six data blocks, the model
// sizes, the print limit, the free words of the entry area and the scratch
// block in use (301, or 0 while none is open).
struct BNDCOM {
  word BOUN = 0, EQIX = 0, CSTM = 0, NODC = 0, CONE = 0, BCDT = 0;
  word NN = 0;      // nodes (EQIX header word 1)
  word NE = 0;      // elements (CONE header word 1), set for the automatic step
  word NCSYS = 0;   // coordinate systems read (0 when CSTM was not read)
  word NEQ = 0;     // equations (EQIX header word 2)
  word LIMIT = 100; // error print limit
  word NFREE = 0;   // free words of the entry area
  word SCRTCH = 0;  // scratch block number, 0 while none is open
};

// The automatic-MPC summary table: the stray beam and rod nodes that the
// automatic MPC generation tied to the elements containing them, read by the
// reaction output (a tied node gets no value line in the reaction vectors).
// Word 1 the number of stray nodes; then 1000 rows of 21 node identifiers
// stored column by column: column 1 the tied node, columns 2-21 the master
// nodes of its equation, 0 in the places not used. The rows are filled only
// while DIAG 21 prints the summary and there are at most 1000 stray nodes.
struct AMPCTB {
  static constexpr int kRows = 1000;
  static constexpr int kColumns = 21;
  word count = 0;
  std::array<word, static_cast<std::size_t>(kRows) * kColumns> cols{};
  // Node of row i (1-1000), column j (1-21).
  word& node(int i, int j) noexcept { return cols[static_cast<std::size_t>((j - 1) * kRows + (i - 1))]; }
  word node(int i, int j) const noexcept { return cols[static_cast<std::size_t>((j - 1) * kRows + (i - 1))]; }
};

// Shared record of GP4 and its passes: the seventeen data blocks of its
// argument list, the scratch blocks, a header buffer, the first free word of
// the work area, the three file buffers (B1 the highest) and the number of
// repeated element numbers removed from the excluded list.
struct GP4CTL {
  word INCD = 0, BCDT = 0, LDDT = 0, TMPD = 0, ECT = 0, EQIX = 0, CSTM = 0, NODC = 0, IELS = 0;
  word USET = 0, GST = 0, YS = 0, DPG0 = 0, EPD = 0, ENTD = 0, ROTB = 0, XCLD = 0;
  word S301 = 301, S302 = 302, S303 = 303;
  std::array<word, 6> HDR{};
  word IFREE = 1;
  word B1 = 0, B2 = 0, B3 = 0;
  word NREPT = 0;
};

// What the last point location left: the natural coordinates reached
// (xi, eta, zeta; L1, L2, L3, zeta; L1 to L4; L1 to L3) and the shape values
// there, one per node.
struct PNTLOC {
  std::array<double, 4> s{};
  std::array<double, 20> N{};
};

struct ModelState {
  NODREG nodreg;
  TA1COM ta1com;
  STRUCT structures;
  BNDCOM bndcom;
  AMPCTB ampctb;
  PNTLOC pntloc;
  GP4CTL gp4ctl;
};

ModelState& model_state() noexcept;
void reset_model_state();

inline TA1COM& ta1com() noexcept { return model_state().ta1com; }
inline BNDCOM& bndcom() noexcept { return model_state().bndcom; }
inline AMPCTB& ampctb() noexcept { return model_state().ampctb; }
inline GP4CTL& gp4ctl() noexcept { return model_state().gp4ctl; }

}  // namespace zephsol
