// Test support: fatal paths. The code under test runs in a death-test child
// that must end the run as an error (exit status 1); the parent reads the
// files the child left.
//
// fatal_output() and fatal_log(fn) put the child's listing (unit 6), error
// log (unit 999) and progress file in a scratch directory of their own, its
// working directory, removed afterwards.
// fatal_log(fs, fn) keeps the units of a FreshFileSystem and reads the error
// log the child left in its directory.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "common/testing.h"
#include "zephsol/exec/words.h"

namespace zephsol::test {

struct FatalOutput {
  std::string listing;
  std::string errors;
};
FatalOutput fatal_output(const std::function<void()>& fn);
std::string fatal_log(const std::function<void()>& fn);
std::string fatal_log(const testing::FreshFileSystem& fs, const std::function<void()>& fn);

// True when log holds the header of message |code| followed by its
// parameters as the generic text or a catalogue text prints them: the
// header "MESSAGE" then the code, then a comma.
bool has_message(const std::string& log, word code);
// True when the log holds the generic text's reason line with p1 and p2.
bool has_reason(const std::string& log, word p1, word p2);
// A failure of the test for each text the log does not hold.
void expect_log_holds(const std::string& log, std::initializer_list<std::string_view> texts);

}  // namespace zephsol::test

// The statement ends the run as an error, and the error log it left in the
// FreshFileSystem fs holds every text given.
#define EXPECT_RUN_ENDS_WITH(fs, statement, ...)                                                               \
  do {                                                                                                         \
    SCOPED_TRACE("the run's end");                                                                             \
    ::zephsol::test::expect_log_holds(::zephsol::test::fatal_log((fs), [&] { statement; }), {__VA_ARGS__}); \
  } while (0)
