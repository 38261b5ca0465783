// Checkpoints on the new problem tape: every set as the tape layout gives it
// (checked against the blocks and counters of the run), the checkpoint
// modes, the overwrite of mode "LAST" that ends the tape, and the fatal ends.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tapefix.h"

namespace zephsol::test {
namespace {

namespace fs = std::filesystem;

class ChksavTest : public TapeTest {
 protected:
  // The sets one checkpoint must add to the tape, from the run's counters
  // and the blocks as they stand: the "XVPS" set, then per block its header
  // record and its records (without the mark that ends its data).
  static std::vector<Contents> checkpoint_sets(word interval, word loop, const std::vector<word>& blocks) {
    ExecState& e = exec_state();
    const auto stp = e.stp.words();
    const auto ic = e.intctl.words();
    const auto rel = relswd().words();
    std::vector<Contents> sets;
    sets.push_back({record({kSetMark, name_word("XVPS"), interval, loop, static_cast<word>(blocks.size()), 0, 0, 0}),
                    Rec{0, {stp.begin(), stp.begin() + 4}}, Rec{0, {ic.begin(), ic.begin() + 4}},
                    record({e.sys.ISINTV, e.sys.IAMPC}), Rec{0, {rel.begin(), rel.end()}}});
    for (word b : blocks) {
      word name = 0;
      DBNAME(b, name);
      const Header h = header_of(b);
      Contents set{record({kSetMark, name, h[0], h[1], h[2], h[3], h[4], h[5]})};
      if (h != Header{}) {
        Contents c = read_contents(b);
        if (!c.empty() && c.back().mark == kEofMark) c.pop_back();
        set.insert(set.end(), c.begin(), c.end());
      }
      sets.push_back(std::move(set));
    }
    return sets;
  }
  // The identification and bulk data sets of the small deck.
  std::vector<Contents> tape_start() const {
    const IDREC id = idrec();
    Contents bulk{record({kSetMark, name_word("BULK"), 0, 0, 0, 0, 0, 0})};
    for (const std::string& c : {std::string("NODE"), fixed({"1", "", "0.0"}), std::string("HISTORY"),
                                 fixed({"INTERVAL", "1"}), std::string("ENDDATA")})
      bulk.push_back({0, card_of(c)});
    return {Contents{Rec{0, {id.begin(), id.end()}}}, bulk};
  }
  // The interval and loop flag of every checkpoint on the tape.
  static std::vector<std::pair<word, word>> checkpoints_on(word tape) {
    std::vector<std::pair<word, word>> out;
    for (const Contents& s : tape_sets(tape)) {
      const auto& w = s.front().words;
      if (w.size() == 8 && w[0] == kSetMark && w[1] == name_word("XVPS")) out.emplace_back(w[2], w[3]);
    }
    return out;
  }
  std::uintmax_t tape_size() {
    unit_flush_all();
    return fs::file_size(dir_ / "NPTP");
  }
};

TEST_F(ChksavTest, EveryCheckpointInModeThreeWordForWord) {
  sysw().ICHKPT = 3;
  start_tape(small_deck());
  std::vector<Contents> expected = tape_start();
  const auto add = [&](std::vector<Contents> sets) { expected.insert(expected.end(), sets.begin(), sets.end()); };

  set_counters(0);
  for (const auto& call : model_checkpoints()) {
    for (word b : call) write_contents(b, sample(b, 0), sample_header(b, 0));
    call_chksav(call, 0);
    add(checkpoint_sets(0, 0, call));
  }
  for (word k = 1; k <= 3; ++k) {
    checkpoint_interval(k);
    add(checkpoint_sets(k, 1, loop_blocks()));
  }
  const std::vector<Contents> tape = tape_sets(NPTP);
  ASSERT_EQ(tape.size(), expected.size());
  for (std::size_t i = 0; i < tape.size(); ++i) EXPECT_EQ(tape[i], expected[i]) << "set " << i;

  // XQGV was never written: its set is its header record alone.
  const Contents xqgv{record({kSetMark, name_word("XQGV"), 0, 0, 0, 0, 0, 0})};
  EXPECT_EQ(std::count(tape.begin(), tape.end(), xqgv), 3);
}

TEST_F(ChksavTest, ModesChooseTheCheckpointsWritten) {
  struct Case {
    word mode;
    std::vector<word> list;
    std::vector<std::pair<word, word>> checkpoints;
  };
  const std::vector<std::pair<word, word>> model(6, {0, 0});
  const auto with = [&](std::vector<std::pair<word, word>> loop) {
    std::vector<std::pair<word, word>> all = model;
    all.insert(all.end(), loop.begin(), loop.end());
    return all;
  };
  const Case cases[] = {
      {3, {}, with({{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}})},
      {2, {3, 5}, with({{3, 1}, {5, 1}})},
      {2, {7}, model},
      {1, {}, with({{6, 1}})},
  };
  for (const Case& c : cases) {
    fresh_records();
    fs::remove(dir_ / "NPTP");
    CHKLST& l = input_state().chklst;
    l.count = static_cast<word>(c.list.size());
    std::copy(c.list.begin(), c.list.end(), l.list.begin());
    checkpointed_run(c.mode, 1, 6);
    EXPECT_EQ(checkpoints_on(NPTP), c.checkpoints) << "mode " << c.mode;
  }

  // Without checkpointing nothing reaches the tape.
  fresh_records();
  fs::remove(dir_ / "NPTP");
  checkpoint_model();
  checkpoint_interval(1);
  EXPECT_FALSE(fs::exists(dir_ / "NPTP"));
}

TEST_F(ChksavTest, LastModeOverwritesAndEndsTheTape) {
  sysw().ICHKPT = 1;
  start_tape(small_deck());
  checkpoint_model();
  checkpoint_interval(1, true);
  const auto big = tape_size();
  checkpoint_interval(2);
  EXPECT_LT(tape_size(), big);  // the smaller checkpoint ended the file
  checkpoint_interval(3);
  const auto last_size = tape_size();
  const std::vector<Contents> last = tape_sets(NPTP);

  // The same tape as a run that checkpointed only the model and interval 3.
  fresh_records();
  fs::remove(dir_ / "NPTP");
  sysw().ICHKPT = 3;
  start_tape(small_deck());
  checkpoint_model();
  checkpoint_interval(3);
  EXPECT_EQ(tape_size(), last_size);
  EXPECT_EQ(tape_sets(NPTP), last);
}

TEST_F(ChksavTest, FatalEnds) {
  sysw().ICHKPT = 3;
  start_tape(small_deck());
  // Exactly 300 words below the two buffers are enough (the long record
  // goes through them in pieces); one fewer is not.
  write_contents(CSTM, sample(CSTM, 0), sample_header(CSTM, 0));
  const word nbufsz = sysw().NBUFSZ;
  const word corend = sysw().COREND;
  sysw().COREND = 1 + 2 * nbufsz + 300;
  call_chksav({CSTM}, 0);
  const std::vector<Contents> sets = checkpoint_sets(0, 0, {CSTM});
  sysw().COREND -= 1;
  EXPECT_EXIT(call_chksav({CSTM}, 0), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(errlog(), "INSUFFICIENT MEMORY.  REQUIRED =    2350, CURRENT =    2349 WORDS"));
  sysw().COREND = corend;
  const std::vector<Contents> tape = tape_sets(NPTP);
  ASSERT_EQ(tape.size(), 4u);
  EXPECT_EQ(tape[3], sets[1]);

  fresh_records();
  sysw().ICHKPT = 3;
  DBOPEN(NPTP, sysw().COREND - sysw().NBUFSZ, kWriteNoRewind);
  EXPECT_EXIT(call_chksav({CSTM}, 0), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(errlog(), "PROGRAM LOGIC ERROR"));
  EXPECT_TRUE(contains(errlog(), " 201"));
}

}  // namespace
}  // namespace zephsol::test
