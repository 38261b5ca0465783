// Test helper: the CP932 (Shift-JIS) bytes of a UTF-8 text through the C
// library's iconv, to check the system's Shift-JIS constants against.
#pragma once

#include <iconv.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zephsol::test {

inline std::string to_cp932(std::string_view utf8) {
  const iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open CP932 failed");
  std::string in(utf8), out(4 * utf8.size() + 8, '\0');
  char* src = in.data();
  char* dst = out.data();
  std::size_t src_left = in.size(), dst_left = out.size();
  const std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) throw std::runtime_error("iconv failed, errno " + std::to_string(errno));
  out.resize(out.size() - dst_left);
  return out;
}

}  // namespace zephsol::test
