// Message queue and text writers.
#include "zephsol/exec/msg.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msgtext.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

using msgtext::Header;
using msgtext::Text;

constexpr word kDeferredFatal = -8001;

MSGQUE& queue() noexcept { return exec_state().msgque; }

// Writes a message's lines to the listing and then to the error log. A
// warning sets IWRNFL between its header and its text, so both headers are
// written first; the content of each file is the same either way.
void emit(const std::string& header, const std::string& text, bool warning) {
  if (warning) {
    unit_write_line(kListing, header);
    unit_write_line(kErrorLog, header);
    sysw().IWRNFL = 1;
    unit_write_line(kListing, text);
    unit_write_line(kErrorLog, text);
    return;
  }
  for (int unit : {kListing, kErrorLog}) {
    unit_write_line(unit, header);
    unit_write_line(unit, text);
  }
}

// The text line of t. p1 and p2 print as integers (whole, widening a field
// too narrow for them), as the four characters of the word ('A') or as the
// REAL in the word ('E').
std::string text_line(const Text& t, word p1, word p2) {
  if (!t.sjis.empty()) return fline(t.format, {t.sjis});
  const word p[2] = {p1, p2};
  std::array<std::string, 2> names;  // the characters must outlive the arguments
  std::vector<FmtArg> args;
  for (std::size_t i = 0; i < t.params.size() && i < 2; ++i) {
    switch (t.params[i]) {
      case 'A':
        names[i] = word_name(p[i]);
        args.emplace_back(names[i]);
        break;
      case 'E': args.emplace_back(word_real(p[i])); break;
      default: args.push_back(FmtArg::whole(p[i])); break;
    }
  }
  std::string line;
  for (const auto& rec : fortran_records(t.format, args)) line += rec;
  return line;
}

std::string header_line(Header h, word code) { return fline(msgtext::header_format(h), {code}); }

bool is_warning(Header h) { return h == Header::SystemWarning || h == Header::UserWarning; }

// Prints the catalogued text of code, or hands the code to MSGGEN.
void write_catalogued(std::span<const Text> texts, word code, word p1, word p2) {
  const Text* t = msgtext::find_text(texts, code);
  if (!t) {
    MSGGEN(code, p1, p2);
    return;
  }
  emit(header_line(t->header, code), text_line(*t, p1, p2), is_warning(t->header));
}

using Writer = void (*)(word, word, word);

// Writers by |code| / 1000; 9 and above go to MSGSYS.
constexpr std::array<Writer, 9> kWriters = {MSGSYS, MSGGN1, MSGGN2, MSGFIL, MSGGN4,
                                             MSGGN5, MSGSPS, MSGGN7, MSGELM};

Writer writer_for(word abs_code) {
  const word family = abs_code / 1000;
  return family < static_cast<word>(kWriters.size()) ? kWriters[family] : MSGSYS;
}

word magnitude(word code) {
  const std::int64_t a = code < 0 ? -static_cast<std::int64_t>(code) : code;
  return static_cast<word>(std::min<std::int64_t>(a, INT32_MAX));
}

void enqueue(word code, word p1, word p2) {
  MSGQUE& q = queue();
  ++q.count;
  if (q.count <= std::clamp<word>(q.capacity, 0, static_cast<word>(q.entry.size())))
    q.entry[q.count - 1] = {code, p1, p2};
}

}  // namespace

void MSGHOK() {}

void nonfinite_result(word code, std::string_view quantity, std::string_view where) {
  const STPCTR& s = stpctr();
  const std::string head = fline("('0*** USER FATAL MESSAGE ',I4,', NON-FINITE ',A,' AT INTERVAL',I5,',  STEP',I5)",
                                 {code, std::string(quantity), s.NINTVL, s.NSTEP});
  const std::string text = "          " + std::string(where);
  LINCNT(3);
  for (int unit : {kListing, kErrorLog}) {
    unit_write_line(unit, head);
    unit_write_line(unit, text);
  }
  sysw().IERFLG = 1;
}

void MSGPUT(word code, word p1, word p2) {
  if (code == kDeferredFatal) {
    sysw().IERFLG = 1;
    enqueue(code, p1, p2);
    return;
  }
  if (code >= 0) {
    enqueue(code, p1, p2);
    return;
  }
  RunFrame& frame = exec_state().frame;
  if (frame.stopping) {
    // The units are being closed for the exit: the exit reports the error.
    sysw().IERFLG = 1;
    frame.close_failed = true;
    return;
  }
  if (frame.fatal_printing || frame.ending) {
    // A fatal message raised while the fatal path or the run end is already
    // under way (for instance a failed write of the listing): printing again
    // could fail again, so the run ends without it.
    sysw().IERFLG = 1;
    queue().count = 0;
    RUNEND();
  }
  frame.fatal_printing = true;
  MSGHOK();
  MSGOUT();
  MSGQUE& q = queue();
  q.count = 1;
  q.entry[0] = {code, p1, p2};
  MSGOUT();
  sysw().IERFLG = 1;
  RUNEND();
}

void MSGOUT() {
  MSGQUE& q = queue();
  if (q.count <= 0) return;
  const word capacity = std::clamp<word>(q.capacity, 0, static_cast<word>(q.entry.size()));
  const word shown = std::min(q.count, capacity);
  for (word i = 0; i < shown; ++i) {
    const auto [code, p1, p2] = q.entry[i];
    const word c = magnitude(code);
    LINCNT(3);
    writer_for(c)(c, p1, p2);
  }
  if (q.count > capacity) {
    LINCNT(3);
    const std::string line =
        fline("('0*** TOTAL',I6,' MESSAGES, OF WHICH FIRST',I4,' MESSAGES ARE PRINTED.')", {q.count, capacity});
    unit_write_line(kListing, line);
    unit_write_line(kErrorLog, line);
  }
  q.count = 0;
}

void MSGSYS(word code, word p1, word p2) { write_catalogued(msgtext::system_texts(), code, p1, p2); }
void MSGFIL(word code, word p1, word p2) { write_catalogued(msgtext::file_texts(), code, p1, p2); }
void MSGELM(word code, word p1, word p2) { write_catalogued(msgtext::element_texts(), code, p1, p2); }

// A sparse-solver code without a text prints its header alone.
void MSGSPS(word code, word p1, word p2) {
  const Text* t = msgtext::find_text(msgtext::sparse_texts(), code);
  const std::string header = header_line(Header::SparseSolver, code);
  if (!t) {
    unit_write_line(kListing, header);
    unit_write_line(kErrorLog, header);
    return;
  }
  emit(header, text_line(*t, p1, p2), false);
}

// The generic text of every code without a text of its own.
void MSGGEN(word code, word p1, word p2) {
  emit(fline("('0*** SYSTEM FATAL MESSAGE ',I6,', PROGRAM LOGIC ERROR')", {code}),
       fline("(10X,'REASON CODE =',I10,',',I10)", {FmtArg::whole(p1), FmtArg::whole(p2)}), false);
}
void MSGGN1(word code, word p1, word p2) { MSGGEN(code, p1, p2); }
void MSGGN2(word code, word p1, word p2) { MSGGEN(code, p1, p2); }
void MSGGN4(word code, word p1, word p2) { MSGGEN(code, p1, p2); }
void MSGGN5(word code, word p1, word p2) { MSGGEN(code, p1, p2); }
void MSGGN7(word code, word p1, word p2) { MSGGEN(code, p1, p2); }

}  // namespace zephsol
