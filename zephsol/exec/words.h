// Four-character names held in 32-bit words, and REAL words.
//
// The system stores names such as "LIST" or "KGG " in one INTEGER word and
// REAL values in single-precision words. These helpers pack and unpack them
// without pointer casts. Characters are laid out in memory order, so a word
// written to a file shows its four characters in order.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

namespace zephsol {

using word = std::int32_t;

// Pack up to four characters (blank padded) into one word.
constexpr word name_word(std::string_view s) noexcept {
  std::uint32_t w = 0;
  for (int i = 0; i < 4; ++i) {
    const auto c = static_cast<unsigned char>(i < static_cast<int>(s.size()) ? s[i] : ' ');
    if constexpr (std::endian::native == std::endian::little)
      w |= static_cast<std::uint32_t>(c) << (8 * i);
    else
      w |= static_cast<std::uint32_t>(c) << (8 * (3 - i));
  }
  return static_cast<word>(w);
}

// The four characters of a word.
inline std::string word_name(word w) {
  const auto u = static_cast<std::uint32_t>(w);
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) {
    if constexpr (std::endian::native == std::endian::little)
      s[i] = static_cast<char>((u >> (8 * i)) & 0xFFu);
    else
      s[i] = static_cast<char>((u >> (8 * (3 - i))) & 0xFFu);
  }
  return s;
}

// An eight-character name as two words.
constexpr std::array<word, 2> name_words8(std::string_view s) noexcept {
  return {name_word(s.substr(0, s.size() < 4 ? s.size() : 4)),
          name_word(s.size() > 4 ? s.substr(4) : std::string_view{})};
}

inline std::string words8_name(word a, word b) { return word_name(a) + word_name(b); }

// A REAL (single precision) value carried in an INTEGER word, and back.
inline word real_word(float v) noexcept { return std::bit_cast<word>(v); }
inline float word_real(word w) noexcept { return std::bit_cast<float>(w); }

}  // namespace zephsol
