// Test support: a fresh file system in a temporary directory.
//
// FreshFileSystem resets the run-wide records, the units and the file
// system, allocates an open core of the given megabytes, sets NBUFSZ before
// BUFINI (a small value such as 11 gives blocks of 10 words, so that a test
// reaches block boundaries with little data), and makes a new temporary
// directory the working directory, where the work files "WORKnn" and the
// problem tapes are created. Units 6 and 999 are opened on the files
// "listing" and "errors" there. The destructor forgets the units, frees the
// open core, returns to the previous directory and removes the temporary one.
#pragma once

#include <filesystem>
#include <string>

#include "zephsol/exec/words.h"

namespace zephsol::testing {

class FreshFileSystem {
 public:
  explicit FreshFileSystem(word memo = 1, word nbufsz = 1025);
  ~FreshFileSystem();
  FreshFileSystem(const FreshFileSystem&) = delete;
  FreshFileSystem& operator=(const FreshFileSystem&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  // The whole text of a file in the temporary directory ("" when missing);
  // units are flushed first.
  std::string read(const std::string& name) const;

 private:
  std::filesystem::path dir_;
  std::filesystem::path previous_;
};

// Makes number the current data block as the record layer does around a
// block operation: FILCTL words 1 and 2, the name in word 18 and the status
// copy (word 7) from the unit's FIT row.
void make_current(word number);
// Stores the status copy back into the FIT row of the current unit.
void store_current();

}  // namespace zephsol::testing
