// Blocks of a work file as the file system wrote them, for tests that check
// the word layout of data blocks.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "common/testing.h"
#include "zephsol/exec/words.h"

namespace zephsol::testing {

// Block n of work file name (blocks of nbufsz - 1 words); zeros when the
// file is shorter.
inline std::vector<word> block_on_file(const FreshFileSystem& fs, const char* name, word n, word nbufsz) {
  const std::string all = fs.read(name);
  const std::size_t bytes = static_cast<std::size_t>(nbufsz - 1) * 4;
  std::vector<word> w(static_cast<std::size_t>(nbufsz - 1));
  if (all.size() >= static_cast<std::size_t>(n) * bytes)
    std::memcpy(w.data(), all.data() + static_cast<std::size_t>(n - 1) * bytes, bytes);
  return w;
}

// Header words: code and boundary count; previous length and data count.
constexpr word header_word1(word code, word boundaries) {
  return static_cast<word>((static_cast<unsigned>(code) << 24) | static_cast<unsigned>(boundaries));
}
constexpr word header_word2(word prevlen, word count) { return prevlen << 16 | count; }

}  // namespace zephsol::testing
