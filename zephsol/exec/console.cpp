#include "zephsol/exec/console.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstring>

namespace zephsol {

namespace {

bool locale_codeset_is_utf8() {
  const locale_t loc = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (loc == static_cast<locale_t>(nullptr)) return false;
  const char* codeset = ::nl_langinfo_l(CODESET, loc);
  const bool utf8 = codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
  ::freelocale(loc);
  return utf8;
}

// One converter for the life of the run; (iconv_t)-1 when the C library has
// no CP932 tables.
iconv_t converter() {
  static const iconv_t cd = ::iconv_open("UTF-8", "CP932");
  return cd;
}

bool plain_ascii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

bool console_is_utf8() {
  static const bool utf8 = locale_codeset_is_utf8();
  return utf8;
}

std::string console_text(std::string_view sjis) {
  if (plain_ascii(sjis) || !console_is_utf8() || converter() == reinterpret_cast<iconv_t>(-1))
    return std::string(sjis);
  std::string out;
  out.reserve(sjis.size() * 3 / 2 + 8);
  char* in = const_cast<char*>(sjis.data());
  std::size_t in_left = sjis.size();
  char buf[512];
  while (in_left > 0) {
    char* o = buf;
    std::size_t o_left = sizeof buf;
    const std::size_t r = ::iconv(converter(), &in, &in_left, &o, &o_left);
    out.append(buf, static_cast<std::size_t>(o - buf));
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // A byte that is no Shift-JIS (or a lead byte cut off at the end):
      // pass it on unchanged and go on after it.
      out.push_back(*in++);
      --in_left;
      ::iconv(converter(), nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
}

}  // namespace zephsol
