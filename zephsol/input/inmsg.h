// Printing helpers of the input phase's own messages.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace zephsol {

inline constexpr int kListing = 6;
inline constexpr int kErrorLog = 999;
inline constexpr int kConsole = 0;

// Writes the lines on the listing and then the same lines on the error log.
void write_listing_and_log(std::initializer_list<std::string_view> lines);

// A blank-padded text of n characters.
std::string padded(std::string_view s, std::size_t n);

}  // namespace zephsol
