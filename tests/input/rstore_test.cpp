// Restore of a restart from the first run's tape: the checkpoints restored
// for a restart interval, every data block, counter and release word back
// word for word, the list of restored files, the checkpoint of the restored
// state on the new tape (restored again by a third run), and the messages
// 561 to 565 on tapes that cannot serve.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tapefix.h"

namespace zephsol::test {
namespace {

namespace fs = std::filesystem;

class RstoreTest : public TapeTest {
 protected:
  // The counters a checkpoint after interval k carries.
  static std::vector<word> counters_after(word k) {
    set_counters(k);
    return counter_words();
  }
  static bool in_loop(word b) {
    const auto& l = loop_blocks();
    return std::find(l.begin(), l.end(), b) != l.end();
  }
  // Every data block as the checkpoints up to interval k left it: the model
  // blocks of the set-up, the loop blocks of interval k (XQGV never written).
  void expect_blocks_after(word k) {
    for (const auto& call : model_checkpoints()) {
      for (word b : call) {
        const word v = k >= 1 && in_loop(b) ? k : 0;
        EXPECT_EQ(read_contents(b), sample(b, v)) << b;
        EXPECT_EQ(header_of(b), sample_header(b, v)) << b;
      }
    }
    if (k < 1) return;
    for (word b : loop_blocks()) {
      if (!written_in_loop(b)) {
        EXPECT_EQ(header_of(b), Header{}) << b;
        continue;
      }
      EXPECT_EQ(read_contents(b), sample(b, k)) << b;
      EXPECT_EQ(header_of(b), sample_header(b, k)) << b;
    }
  }
  // The names listed after the heading of the restored files.
  std::vector<std::string> listed_files() {
    const auto lst = listing();
    const auto at = std::find(lst.begin(), lst.end(),
                              "0THE FOLLOWING FILES WERE USED FROM OLD PROBLEM TAPE TO INITIATE RESTART");
    if (at == lst.end() || at + 1 == lst.end() || !at[1].empty()) return {};
    return {at + 2, lst.end()};
  }
  // Sets written on the new tape after its bulk data set; the last one is
  // left without its end-of-set mark when `cut`.
  static void write_sets(const std::vector<Contents>& sets, bool cut) {
    DBOPEN(NPTP, sysw().COREND - sysw().NBUFSZ, kWriteNoRewind);
    for (std::size_t i = 0; i < sets.size(); ++i) {
      for (const Rec& r : sets[i]) {
        if (r.mark == kEofMark)
          DBEOF(NPTP);
        else
          DBWRIT(NPTP, r.words.data(), static_cast<word>(r.words.size()), 1);
      }
      if (!cut || i + 1 < sets.size()) DBEOS(NPTP);
    }
    DBCLOS(NPTP, kCloseNoRewind);
  }
  static Rec xvps(word interval, word loop, word sets) {
    return record({kSetMark, name_word("XVPS"), interval, loop, sets, 0, 0, 0});
  }
  static Contents counter_records() { return {record({1, 0, 0, 5}), record({1, 0, 0, 0}), record({0, 0})}; }
};

// The data blocks a restart through interval 1 or later restores, in the
// order first met on the tape.
const std::vector<word> kRestored = {CSTM, NODC, CONE, IELS, EQIX, ADIC, EST, ECT, BCDT, LDDT,
                                     TMPD, PGM,  EIV0, UG,   QG,   EPX,  XQGV, UGSV, EGED};

std::vector<std::string> listed_names(const std::vector<word>& blocks) {
  std::vector<std::string> out;
  for (word b : blocks) {
    word name = 0;
    DBNAME(b, name);
    out.push_back("     " + word_name(name));
  }
  return out;
}

TEST_F(RstoreTest, RestartFourRestoresTheSetUpAndIntervalsOneToThreeWordForWord) {
  const std::vector<word> after3 = counters_after(3);
  checkpointed_run(3, 1, 6);
  restart(4, 3, history_deck());
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(stpctr().NINTVL, 3);
  EXPECT_EQ(counter_words(), after3);  // counters, settings and the release words
  expect_blocks_after(3);
  EXPECT_EQ(listed_files(), listed_names(kRestored));
  const auto err = errlog();
  EXPECT_TRUE(contains(err, "0THE FOLLOWING FILES WERE USED FROM OLD PROBLEM TAPE TO INITIATE RESTART"));
  EXPECT_FALSE(contains(err, "     CSTM"));

  // The new tape: identification, bulk data, and one model checkpoint of
  // the restored state with every restored block.
  const std::vector<Contents> tape = tape_sets(NPTP);
  ASSERT_EQ(tape.size(), 3u + kRestored.size());
  EXPECT_EQ(tape[2].front(), xvps(0, 0, static_cast<word>(kRestored.size())));

  // A third run restarting from that checkpoint takes up the same state.
  std::vector<Contents> blocks;
  std::vector<Header> headers;
  for (word b : kRestored) {
    headers.push_back(header_of(b));
    blocks.push_back(headers.back() == Header{} ? Contents{} : read_contents(b));
  }
  const std::vector<word> counters = counter_words();
  restart(-1, 0, history_deck());
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(counter_words(), counters);
  EXPECT_EQ(listed_files(), listed_names(kRestored));
  for (std::size_t i = 0; i < kRestored.size(); ++i) {
    EXPECT_EQ(header_of(kRestored[i]), headers[i]) << kRestored[i];
    if (headers[i] != Header{}) {
      EXPECT_EQ(read_contents(kRestored[i]), blocks[i]) << kRestored[i];
    }
  }
}

TEST_F(RstoreTest, RestartIntervalChoosesTheCheckpoints) {
  struct Case {
    word restart;
    word interval;  // the last interval restored
  };
  const Case cases[] = {{4, 3}, {-1, 6}, {1, 0}, {7, 6}, {2, 1}};
  checkpointed_run(3, 1, 6);
  next_run();
  for (const Case& c : cases) {
    const std::vector<word> expected = counters_after(c.interval);
    fresh_records();
    reset_relswd();
    restore_run(c.restart, 0, history_deck());
    EXPECT_EQ(sysw().IERFLG, 0) << c.restart;
    EXPECT_EQ(counter_words(), expected) << c.restart;
    expect_blocks_after(c.interval);
  }
}

TEST_F(RstoreTest, RestartPastTheLastCheckpointGives565) {
  checkpointed_run(3, 1, 3);
  next_run();
  EXPECT_EXIT(restore_run(6, 3, history_deck()), ::testing::ExitedWithCode(1), "");
  const std::string line = "0*** SYSTEM FATAL MESSAGE  565, INTERVAL NUMBER      6 FROM WHICH TO RESTART NOT FOUND.";
  EXPECT_TRUE(contains(listing(), line));
  EXPECT_TRUE(contains(errlog(), line));
  EXPECT_TRUE(listed_files().empty());
}

TEST_F(RstoreTest, TapesThatCannotServeEndTheRun) {
  const Rec cstm_header = record({kSetMark, name_word("CSTM"), 0, 0, 0, 0, 0, 0});
  const Rec cstm_data = record({kSetMark, name_word("CSTM"), 1, 1, 1, 1, 1, 1});
  struct Case {
    std::string what;
    std::function<void()> tape;
    word restart;
    word message;
  };
  const Case cases[] = {
      {"no checkpoint", [] {}, -1, 562},
      {"a loop checkpoint first", [&] { write_sets({{xvps(5, 1, 1)}, {cstm_header}}, false); }, 2, 564},
      {"fewer block sets than announced",
       [&] {
         Contents x{xvps(0, 0, 3)};
         for (const Rec& r : counter_records()) x.push_back(r);
         write_sets({x, {cstm_header}}, false);
       },
       -1, 563},
      {"a block cut inside its records",
       [&] {
         Contents x{xvps(0, 0, 0)};
         for (const Rec& r : counter_records()) x.push_back(r);
         write_sets({x, {cstm_data, record({1, 2, 3})}}, true);
       },
       -1, 563},
      {"a set without header",
       [&] {
         Contents x{xvps(0, 0, 0)};
         for (const Rec& r : counter_records()) x.push_back(r);
         write_sets({x, {record({5, 6})}}, false);
       },
       -1, 563},
      {"counters missing", [&] { write_sets({{xvps(0, 0, 0), record({1, 0, 0, 5})}}, false); }, -1, 563},
  };
  const std::vector<std::string> texts = {
      "0*** SYSTEM FATAL MESSAGE  562, CANNOT FIND XVPS ON OLD RESTART TAPE.",
      "0*** SYSTEM FATAL MESSAGE  563, CHKPNT FILE IS INCOMPLETE ON OLD RESTART TAPE.",
      "0*** SYSTEM FATAL MESSAGE  564, NOTHING HAVE BEEN RESTORED FROM OLD RESTART TAPE."};
  for (const Case& c : cases) {
    fresh_records();
    fs::remove(dir_ / "NPTP");
    sysw().ICHKPT = 3;
    start_tape(small_deck());
    c.tape();
    next_run();
    EXPECT_EXIT(restore_run(c.restart, 3, history_deck()), ::testing::ExitedWithCode(1), "") << c.what;
    const std::string& text = texts[static_cast<std::size_t>(c.message - 562)];
    EXPECT_TRUE(contains(listing(), text)) << c.what;
    EXPECT_TRUE(contains(errlog(), text)) << c.what;
  }
}

TEST_F(RstoreTest, TapeWithoutReleaseWordsRestoresTheRest) {
  // A checkpoint of three counter records only, as an older writer left it,
  // over the blocks of the model set-up (zero headers).
  sysw().ICHKPT = 3;
  start_tape(small_deck());
  const char* set_up[] = {"CSTM", "NODC", "CONE", "IELS", "EQIX", "ADIC", "EST ",
                          "ECT ", "BCDT", "LDDT", "TMPD", "PGM ", "EIV0"};
  Contents x{xvps(0, 0, static_cast<word>(std::size(set_up)))};
  for (const Rec& r : counter_records()) x.push_back(r);
  std::vector<Contents> sets{x};
  std::vector<std::string> listed;
  for (const char* b : set_up) {
    sets.push_back({record({kSetMark, name_word(b), 0, 0, 0, 0, 0, 0})});
    listed.push_back("     " + std::string(b));
  }
  write_sets(sets, false);
  next_run();
  relswd().R1 = 9;
  restore_run(-1, 0, history_deck());
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(stpctr().NINTVL, 1);
  EXPECT_EQ(stpctr().NSTEPC, 5);
  const RELSWD fresh{};
  EXPECT_TRUE(std::equal(relswd().words().begin(), relswd().words().end(), fresh.words().begin()));
  EXPECT_EQ(listed_files(), listed);
}

TEST_F(RstoreTest, ModelGroupsGivenAgainAreReportedAndTheRestoreGoesOn) {
  checkpointed_run(3, 1, 2);
  restart(-1, 3,
          {"NODE", fixed({"1", "", "0.0"}), "COORDINA", fixed({"1", "1"}), "HISTORY", fixed({"INTERVAL", "1"}),
           "ENDDATA"});
  EXPECT_EQ(sysw().IERFLG, 1);
  for (const char* name : {"NODE", "COORDINATE SYSTEM"}) {
    const std::string line =
        std::string("0*** USER FATAL MESSAGE  561, BULK DATA ") + name + " MAY NOT BE ALTERED NOR INPUT IN THE RESTART RUN.";
    EXPECT_TRUE(contains(listing(), line)) << name;
    EXPECT_TRUE(contains(errlog(), line)) << name;
  }
  EXPECT_EQ(count_containing(listing(), "561"), 2);
  EXPECT_EQ(stpctr().NINTVL, 2);
  EXPECT_EQ(listed_files(), listed_names(kRestored));
  // No checkpoint of a state whose model groups were altered.
  const std::vector<Contents> tape = tape_sets(NPTP);
  EXPECT_EQ(tape.size(), 2u);
}

}  // namespace
}  // namespace zephsol::test
