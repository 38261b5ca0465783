// Fixture of the problem-tape tests: data blocks written and read back item
// by item through the file system, sample contents that tell every block and
// checkpoint apart, a tape split into its sets, the checkpoint calls of the
// main program, and a second run that restarts from the first run's tape.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "bulkfix.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/drive/loops.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/bulkgrp.h"
#include "zephsol/input/chksav.h"
#include "zephsol/input/inblocks.h"
#include "zephsol/input/probtape.h"
#include "zephsol/input/rstore.h"

namespace zephsol::test {

inline constexpr word kEofMark = 0x10;
inline constexpr word kEosMark = 0x30;

// One item of a data block: a record (mark 0) or an end-of-file or
// end-of-set mark.
struct Rec {
  word mark = 0;
  std::vector<word> words;
  bool operator==(const Rec&) const = default;
};
using Contents = std::vector<Rec>;
using Header = std::array<word, 6>;

inline Rec eof() { return {kEofMark, {}}; }
inline Rec record(std::initializer_list<word> w) { return {0, w}; }

// Everything a closed data block holds up to the end of its data, records
// of any length and marks alike.
inline Contents read_contents(word number) {
  const word buffer = sysw().COREND - sysw().NBUFSZ;
  Contents out;
  std::vector<word> area(4096);
  DBOPEN(number, buffer, kRead);
  Rec r;
  for (;;) {
    word got = 0, status = 0;
    DBRDST(number, area.data(), static_cast<word>(area.size()), 0, got, status);
    if (status == 0) {
      r.words.insert(r.words.end(), area.begin(), area.end());
      continue;
    }
    if (status == 1) {
      r.words.insert(r.words.end(), area.begin(), area.begin() + got);
      out.push_back(std::move(r));
      r = {};
      continue;
    }
    if (filctl().lstmrk == 0xFF) break;
    out.push_back({filctl().lstmrk, {}});
  }
  DBCLOS(number, kCloseRewind);
  return out;
}

// Writes a data block from its items and stores its header.
inline void write_contents(word number, const Contents& c, const Header& header) {
  const word buffer = sysw().COREND - sysw().NBUFSZ;
  DBOPEN(number, buffer, kWrite);
  for (const Rec& r : c) {
    if (r.mark == kEofMark)
      DBEOF(number);
    else
      DBWRIT(number, r.words.data(), static_cast<word>(r.words.size()), 1);
  }
  DBCLOS(number, kCloseRewind);
  HDRPUT(number, header);
}

inline Header header_of(word number) {
  Header h{};
  HDRGET(number, h);
  return h;
}

// The sets of a tape: its items cut at every end-of-set mark.
inline std::vector<Contents> tape_sets(word tape) {
  std::vector<Contents> sets(1);
  for (Rec& r : read_contents(tape)) {
    if (r.mark == kEosMark)
      sets.emplace_back();
    else
      sets.back().push_back(std::move(r));
  }
  if (sets.back().empty()) sets.pop_back();
  return sets;
}

// A word that depends on every argument.
inline word mix(word a, word b, word c, word d) {
  std::uint32_t x = static_cast<std::uint32_t>(a) * 2654435761u ^ static_cast<std::uint32_t>(b) * 2246822519u ^
                    static_cast<std::uint32_t>(c) * 3266489917u ^ static_cast<std::uint32_t>(d) * 668265263u;
  x ^= x >> 15;
  x *= 2246822519u;
  x ^= x >> 13;
  return static_cast<word>(x);
}

// Sample contents of data block `block` as checkpoint `version` saves it:
// a few records of odd lengths, one longer than a file-system block, and an
// end-of-file mark inside; `big` makes every record long.
inline Contents sample(word block, word version, bool big = false) {
  Contents c;
  const word records = 2 + (block + version) % 3;
  for (word k = 0; k < records; ++k) {
    const word length = big ? 3000 : (k == 1 ? 1500 + block % 7 : 1 + (block * 7 + version * 3 + k) % 40);
    Rec r;
    for (word i = 0; i < length; ++i) r.words.push_back(mix(block, version, k, i));
    c.push_back(std::move(r));
    if (k == 0) c.push_back(eof());
  }
  c.push_back(eof());  // the mark a close after writing leaves
  return c;
}
inline Header sample_header(word block, word version) { return {block, version + 1, 2, 1, 0, 77}; }

// The data blocks of the main program's checkpoints.
inline const std::vector<std::vector<word>>& model_checkpoints() {
  static const std::vector<std::vector<word>> calls = {
      {CSTM, NODC, CONE}, {IELS}, {EQIX, ADIC, EST, ECT}, {BCDT}, {LDDT, TMPD}, {PGM, EIV0}};
  return calls;
}
inline const std::vector<word>& loop_blocks() {
  static const std::vector<word> blocks = {UG, QG, PGM, EPX, EIV0, XQGV, UGSV, EGED};
  return blocks;
}
// The loop checkpoint's blocks that get contents (XQGV keeps a zero header).
inline bool written_in_loop(word b) { return b != XQGV; }

inline void call_chksav(const std::vector<word>& blocks, word loop) {
  std::array<word, 10> d{};
  std::copy(blocks.begin(), blocks.end(), d.begin());
  CHKSAV(d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7], d[8], d[9], loop);
}

// The counters of the state after interval k (0: the model set-up).
inline void set_counters(word k) {
  ExecState& e = exec_state();
  e.stp.NINTVL = k;
  e.stp.NSTEP = 2 + k;
  e.stp.NITER = k % 2;
  e.stp.NSTEPC = 10 * k;
  e.intctl = {k, k % 2 ? -1 : 0, 0.5f / static_cast<float>(k + 1), 0.25f * static_cast<float>(k), 0};
  e.sys.ISINTV = k + 100;
  e.sys.IAMPC = k % 2;
  RELSWD& r = relswd();
  r = {k, k, 1.0f - 0.1f * static_cast<float>(k), k + 1, 0.75f, 0.1f, 0.2f, 0.3f, 0.125f * static_cast<float>(k)};
}

// The words a checkpoint keeps of the counters, to compare two states.
inline std::vector<word> counter_words() {
  const CheckpointCounters c = current_counters();
  std::vector<word> w(c.stpctr.begin(), c.stpctr.end());
  w.insert(w.end(), c.intctl.begin(), c.intctl.end());
  w.insert(w.end(), c.settings.begin(), c.settings.end());
  w.insert(w.end(), c.release.begin(), c.release.end());
  return w;
}

class TapeTest : public BulkTest {
 protected:
  IDREC idrec() const {
    const auto a = name_words8("DEMO"), b = name_words8("RUN1"), v = name_words8("10.002");
    return {a[0], a[1], b[0], b[1], 2024 * 65536 + 3 * 256 + 7, 1, v[0], v[1]};
  }
  // The new tape as the control deck and the grouping begin it: the
  // identification set and the "BULK" set of a small deck.
  void start_tape(const std::vector<std::string>& deck) {
    write_new_tape_id(idrec(), sysw().COREND - sysw().NBUFSZ);
    input_state().ctl.KCLASS = CLS_BULK;
    group(deck);
  }
  static std::vector<std::string> small_deck() {
    return {"NODE", fixed({"1", "", "0.0"}), "HISTORY", fixed({"INTERVAL", "1"}), "ENDDATA"};
  }
  // The model phase's checkpoints, each after its blocks were written.
  void checkpoint_model() {
    set_counters(0);
    for (const auto& call : model_checkpoints()) {
      for (word b : call) write_contents(b, sample(b, 0), sample_header(b, 0));
      call_chksav(call, 0);
    }
  }
  // The checkpoint after the last step of interval k.
  void checkpoint_interval(word k, bool big = false) {
    set_counters(k);
    for (word b : loop_blocks())
      if (written_in_loop(b)) write_contents(b, sample(b, k, big), sample_header(b, k));
    call_chksav(loop_blocks(), 1);
  }
  // A checkpointing run: the model phase and intervals first to last.
  void checkpointed_run(word mode, word first, word last) {
    sysw().ICHKPT = mode;
    start_tape(small_deck());
    checkpoint_model();
    for (word k = first; k <= last; ++k) checkpoint_interval(k);
  }
  // A new run in the same directory, whose old tape is the last run's new
  // one (when the last run wrote one).
  void next_run() {
    unit_flush_all();
    fresh_records();
    reset_relswd();
    if (std::filesystem::exists(dir_ / "NPTP")) std::filesystem::rename(dir_ / "NPTP", dir_ / "OPTP");
  }
  // The input side of a restart after next_run(): the new tape's
  // identification, the grouping with its merge, and the restore.
  void restore_run(word interval, word mode, const std::vector<std::string>& deck) {
    sysw().IRSTRT = interval;
    sysw().ICHKPT = mode;
    if (mode != 0) write_new_tape_id(idrec(), sysw().COREND - sysw().NBUFSZ);
    input_state().ctl.KCLASS = CLS_BULK;
    group(deck);
    // The decoded history's header as the restore reads it: its intervals.
    const auto intervals = std::count_if(deck.begin(), deck.end(), [](const std::string& c) {
      return c.starts_with("INTERVAL");
    });
    HDRPUT(INCD, std::array<word, 6>{static_cast<word>(intervals), 0, 0, 0, 0, 0});
    RSTORE();
  }
  void restart(word interval, word mode, const std::vector<std::string>& deck) {
    next_run();
    restore_run(interval, mode, deck);
  }
  // A history of seven intervals, one more than the tapes checkpoint.
  static std::vector<std::string> history_deck() {
    std::vector<std::string> deck = {"HISTORY"};
    deck.insert(deck.end(), 7, fixed({"INTERVAL", "1"}));
    deck.push_back("ENDDATA");
    return deck;
  }
};

}  // namespace zephsol::test
