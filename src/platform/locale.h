#pragma once
#include <cstdint>
#include <string_view>

namespace keyloom::platform {

// The system's default language id from the locale (LC_ALL, LC_MESSAGES,
// LANG, first one set): zh_CN -> 0x0804, zh_TW -> 0x0404, zh_HK -> 0x0C04,
// zh_MO -> 0x1404, zh_SG -> 0x1004, en_US -> 0x0409, de_DE -> 0x0407, ...;
// "C", "POSIX" or unset -> 0x0409.
std::uint32_t SystemDefaultLanguageId();

// The language id of one locale name (language[_territory][.codeset][@modifier],
// e.g. "zh_TW.UTF-8"). A known language with an unknown territory gives the
// language's usual id (zh_XX -> 0x0804, de_XX -> 0x0407); an unknown language,
// "C" or "POSIX" gives 0x0409.
std::uint32_t LanguageIdFromLocale(std::string_view locale);

}  // namespace keyloom::platform
