#pragma once
// UTF-16 text helpers and the one safe formatter for format strings that come
// from language files. A language file is input, not code: the formatter
// takes typed arguments and never reads an argument that was not given.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace keyloom::text {

std::u16string FromUtf8(std::string_view utf8);      // invalid bytes become U+FFFD
std::string ToUtf8(std::u16string_view utf16);       // lone surrogates become U+FFFD
std::u16string FromAscii(std::string_view ascii);

// Case-insensitive comparison of ASCII letters (as the Windows INI and
// command-line matching do for the texts this program uses).
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// One argument of Format: a text (%s), a signed number (%d, %i) or an
// unsigned number (%u, %x, %X).
using FormatArg = std::variant<std::u16string_view, std::int64_t, std::uint64_t>;

// printf-style formatting of %s %d %i %u %x %X %c with flags '-', '0', '+', ' '
// and a width (e.g. %04X), and %%. A specifier whose argument is missing or of
// another kind prints nothing and consumes nothing; any other specifier
// (%n, %p, %f, ...) prints nothing and consumes nothing.
std::u16string Format(std::u16string_view format, std::initializer_list<FormatArg> args);

}  // namespace keyloom::text
