// What the console shows of the program's text.
//
// The program writes its Japanese texts in Shift-JIS (CP932), and every file
// keeps those bytes. A terminal whose locale is UTF-8 cannot show them, so
// the lines that go to standard output are converted to UTF-8 there; under
// any other locale, or when the conversion is not to be had, they go out as
// they are.
#pragma once

#include <string>
#include <string_view>

namespace zephsol {

// Whether the locale of the environment (LC_ALL, LC_CTYPE, LANG) has UTF-8
// as its character set. Read once.
bool console_is_utf8();

// The text as the console should show it: Shift-JIS converted to UTF-8 when
// the console is UTF-8, unchanged otherwise. A byte that is not Shift-JIS
// stays as it is.
std::string console_text(std::string_view sjis);

}  // namespace zephsol
