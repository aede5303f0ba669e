#pragma once
// UTF-16 text helpers and the one safe formatter for format strings that come
// from language files. A language file is input, not code: the formatter
// takes typed arguments and never reads an argument that was not given.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace keyloom::text {

std::u16string FromUtf8(std::string_view utf8);      // invalid bytes become U+FFFD
std::string ToUtf8(std::u16string_view utf16);       // lone surrogates become U+FFFD
std::u16string FromAscii(std::string_view ascii);

// Case-insensitive comparison of ASCII letters (as the Windows INI and
// command-line matching do for the texts this program uses).
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// ASCII letters made upper case; everything else unchanged.
std::u16string ToUpperAscii(std::u16string_view s);

// One argument of Format: a text (%s) or a number, signed or unsigned
// (%d, %i, %u, %x, %X, %c). A number fits any number specifier: %d shows it
// as signed, %u %x %X as unsigned, 32 bits wide as printf reads an int
// unless a 64-bit size is named (%lld, %I64d, %jd, %zd).
// Any integer type converts (signed ones to int64_t, unsigned ones, char16_t
// and bool to uint64_t), so Format(u"%u", {count}) works for every width.
struct FormatArg : std::variant<std::u16string_view, std::int64_t, std::uint64_t> {
  using Base = std::variant<std::u16string_view, std::int64_t, std::uint64_t>;
  FormatArg(std::u16string_view s) : Base(s) {}
  FormatArg(const char16_t* s) : Base(std::u16string_view(s ? s : u"")) {}
  FormatArg(const std::u16string& s) : Base(std::u16string_view(s)) {}
  template <typename T>
    requires std::is_integral_v<T>
  FormatArg(T v)
      : Base(std::is_signed_v<T> ? Base(static_cast<std::int64_t>(v))
                                 : Base(static_cast<std::uint64_t>(v))) {}
};

// printf-style formatting of %s %d %i %u %x %X %c with flags '-', '0', '+', ' ',
// '#', a width (e.g. %04X) and a precision (%.3s, %.4d), and %%. A specifier
// whose argument is missing or of another kind (a number for %s, a text for
// %d) prints nothing and consumes nothing; any other specifier (%n, %p, %f,
// a '*' width, ...) prints nothing and consumes nothing. Widths and
// precisions are capped at 1024.
std::u16string Format(std::u16string_view format, std::initializer_list<FormatArg> args);

}  // namespace keyloom::text
