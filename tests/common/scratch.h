// Test support: scratch directories and whole files.
//
// make_scratch_dir() creates a new empty directory under the system's
// temporary directory. It is removed at the latest when the process that
// made it ends through exit(), so that a death-test child that ends the run
// leaves nothing behind either; a directory made before a fork belongs to
// the parent and stays for it to read. With ZEPH_KEEP_RUNS set in the
// environment no scratch directory is removed (to look at a run's files).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zephsol::testing {

// A new directory named prefix followed by six random characters.
std::filesystem::path make_scratch_dir(std::string_view prefix);
// Removes a scratch directory and what it holds now.
void remove_scratch_dir(const std::filesystem::path& dir);

// The whole content of a file, bytes as they are ("" when it cannot be read).
std::string read_file(const std::filesystem::path& name);

}  // namespace zephsol::testing
