// Fatal paths of the element library under test: the statement runs in a
// death-test child whose listing, error log and progress file go to a fresh
// temporary directory; the parent reads the error log the child left.
#pragma once

#include <functional>
#include <string>

#include "zephsol/exec/words.h"

namespace zephsol::test {

// Runs fn in a child that must end the run with an error end (exit status 1);
// returns the text the child wrote to the error log (unit 999).
std::string fatal_log(const std::function<void()>& fn);

// True when log holds the header of message |code| followed by its
// parameters as the generic text or a catalogue text prints them: the
// header "MESSAGE" then the code, then a comma.
bool has_message(const std::string& log, word code);

// True when the log holds the generic text's reason line with p1 and p2.
bool has_reason(const std::string& log, word p1, word p2);

}  // namespace zephsol::test
