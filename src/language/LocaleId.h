#pragma once

#include <string_view>

namespace provix {

// The Windows locale number (the low 16 bits of an LCID, e.g. 1033 for en_US, 2052 for zh_CN) of a
// POSIX locale name such as "zh_CN.UTF-8" or "de_DE@euro". The mapping file of the languages is
// keyed by these numbers, so files written for the Windows tool keep working. "C", "POSIX", an
// empty or unknown name give 1033; a known language with an unknown region gives the language's
// main locale.
unsigned LocaleIdFromPosix(std::string_view locale_name);

// The locale number of this process's message locale: LC_ALL, else LC_MESSAGES, else LANG.
unsigned SystemLocaleId();

}  // namespace provix
