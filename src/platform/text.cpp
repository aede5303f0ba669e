#include "platform/text.h"

#include <algorithm>

namespace keyloom::text {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

char16_t FoldAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }
char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

}  // namespace

std::u16string FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3, cp = b & 0x07, min = 0x10000;
    } else {
      out.push_back(kReplacement);  // stray continuation byte or invalid lead
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    int got = 0;
    while (got < extra && j < n && (s[j] & 0xC0) == 0x80) {
      cp = (cp << 6) | (s[j] & 0x3F);
      ++j;
      ++got;
    }
    if (got < extra || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      // A truncated or ill-formed sequence becomes one replacement character;
      // decoding resumes at the first byte that did not belong to it.
      out.push_back(kReplacement);
      i = j;
      continue;
    }
    AppendCodePoint(out, cp);
    i = j;
  }
  return out;
}

std::string ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
        ++i;
      } else {
        c = kReplacement;
      }
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string FromAscii(std::string_view ascii) {
  std::u16string out;
  out.reserve(ascii.size());
  for (unsigned char c : ascii) out.push_back(c < 0x80 ? char16_t(c) : kReplacement);
  return out;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

std::u16string ToUpperAscii(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out) c = FoldAscii(c);
  return out;
}

// ---------------------------------------------------------------------------
// The formatter.

namespace {

// Widths and precisions beyond this are cut, so a language text cannot make
// one specifier produce megabytes.
constexpr std::size_t kMaxWidth = 1024;

struct Spec {
  bool left = false;
  bool zero = false;
  bool plus = false;
  bool space = false;
  bool alt = false;
  std::size_t width = 0;
  bool has_precision = false;
  std::size_t precision = 0;
  bool wide = false;  // 64-bit size (ll, I64, j, z, t, q)
};

void Pad(std::u16string& out, std::size_t n, char16_t c) { out.append(n, c); }

// Places `body` (with its `prefix`: sign or 0x) into the field.
void EmitField(std::u16string& out, const Spec& spec, std::u16string_view prefix,
               std::u16string_view body, bool zero_allowed) {
  const std::size_t len = prefix.size() + body.size();
  const std::size_t fill = spec.width > len ? spec.width - len : 0;
  if (spec.left) {
    out.append(prefix);
    out.append(body);
    Pad(out, fill, u' ');
  } else if (spec.zero && zero_allowed) {
    out.append(prefix);
    Pad(out, fill, u'0');
    out.append(body);
  } else {
    Pad(out, fill, u' ');
    out.append(prefix);
    out.append(body);
  }
}

std::u16string Digits(std::uint64_t v, unsigned base, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char16_t buf[32];
  std::size_t n = 0;
  do {
    buf[n++] = char16_t(digits[v % base]);
    v /= base;
  } while (v != 0);
  std::u16string out;
  while (n > 0) out.push_back(buf[--n]);
  return out;
}

void EmitNumber(std::u16string& out, const Spec& spec, char16_t conv, std::uint64_t bits) {
  std::u16string prefix;
  std::u16string body;
  if (conv == u'd' || conv == u'i') {
    std::int64_t v = static_cast<std::int64_t>(bits);
    if (!spec.wide) v = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
    const bool negative = v < 0;
    const std::uint64_t mag = negative ? (~static_cast<std::uint64_t>(v) + 1) : std::uint64_t(v);
    if (negative)
      prefix = u"-";
    else if (spec.plus)
      prefix = u"+";
    else if (spec.space)
      prefix = u" ";
    body = Digits(mag, 10, false);
  } else {
    std::uint64_t v = spec.wide ? bits : (bits & 0xFFFFFFFFu);
    const bool hex = conv == u'x' || conv == u'X';
    body = Digits(v, hex ? 16 : 10, conv == u'X');
    if (hex && spec.alt && v != 0) prefix = conv == u'X' ? u"0X" : u"0x";
  }
  if (spec.has_precision) {
    if (spec.precision == 0 && body == u"0") body.clear();
    if (body.size() < spec.precision) body.insert(0, spec.precision - body.size(), u'0');
  }
  EmitField(out, spec, prefix, body, !spec.has_precision);
}

}  // namespace

std::u16string Format(std::u16string_view format, std::initializer_list<FormatArg> args) {
  std::u16string out;
  out.reserve(format.size() + 16);
  const FormatArg* next = args.begin();
  const FormatArg* end = args.end();
  const std::size_t n = format.size();
  std::size_t i = 0;
  while (i < n) {
    const char16_t c = format[i];
    if (c != u'%') {
      out.push_back(c);
      ++i;
      continue;
    }
    ++i;
    if (i >= n) break;  // a lone '%' at the end prints nothing
    if (format[i] == u'%') {
      out.push_back(u'%');
      ++i;
      continue;
    }
    Spec spec;
    bool malformed = false;
    for (; i < n; ++i) {
      const char16_t f = format[i];
      if (f == u'-') spec.left = true;
      else if (f == u'0') spec.zero = true;
      else if (f == u'+') spec.plus = true;
      else if (f == u' ') spec.space = true;
      else if (f == u'#') spec.alt = true;
      else break;
    }
    auto read_number = [&](std::size_t& value) {
      while (i < n && format[i] >= u'0' && format[i] <= u'9') {
        value = std::min(kMaxWidth, value * 10 + std::size_t(format[i] - u'0'));
        ++i;
      }
    };
    // A '*' width or precision would read an argument the text does not
    // name by kind; such a specifier is treated as unknown.
    if (i < n && format[i] == u'*') malformed = true, ++i;
    read_number(spec.width);
    if (i < n && format[i] == u'.') {
      ++i;
      spec.has_precision = true;
      if (i < n && format[i] == u'*') malformed = true, ++i;
      read_number(spec.precision);
    }
    // Size prefixes: the numbers are 32 bits wide unless one of these asks
    // for 64 (as printf reads an int unless told otherwise).
    while (i < n) {
      const char16_t f = format[i];
      if (f == u'h' || f == u'w' || f == u'L') {
        ++i;
      } else if (f == u'l') {
        ++i;
        if (i < n && format[i] == u'l') spec.wide = true, ++i;
      } else if (f == u'j' || f == u'z' || f == u't' || f == u'q') {
        spec.wide = true;
        ++i;
      } else if (f == u'I') {
        ++i;
        if (format.substr(i, 2) == u"64") spec.wide = true, i += 2;
        else if (format.substr(i, 2) == u"32") i += 2;
        else spec.wide = true;  // I alone: pointer-sized
      } else {
        break;
      }
    }
    if (i >= n) break;
    const char16_t conv = format[i++];
    if (malformed) continue;

    const FormatArg* arg = next != end ? next : nullptr;
    switch (conv) {
      case u's':
      case u'S': {
        const auto* s = arg ? std::get_if<std::u16string_view>(arg) : nullptr;
        if (!s) break;
        ++next;
        std::u16string_view body = *s;
        if (spec.has_precision && body.size() > spec.precision) body = body.substr(0, spec.precision);
        EmitField(out, spec, u"", body, false);
        break;
      }
      case u'd':
      case u'i':
      case u'u':
      case u'x':
      case u'X': {
        if (!arg) break;
        if (const auto* v = std::get_if<std::int64_t>(arg)) {
          ++next;
          EmitNumber(out, spec, conv, static_cast<std::uint64_t>(*v));
        } else if (const auto* u = std::get_if<std::uint64_t>(arg)) {
          ++next;
          EmitNumber(out, spec, conv, *u);
        }
        break;
      }
      case u'c':
      case u'C': {
        if (!arg) break;
        std::uint64_t code;
        if (const auto* v = std::get_if<std::int64_t>(arg))
          code = static_cast<std::uint64_t>(*v);
        else if (const auto* u = std::get_if<std::uint64_t>(arg))
          code = *u;
        else
          break;
        ++next;
        std::u16string body;
        AppendCodePoint(body, code > 0x10FFFF ? char32_t(kReplacement) : char32_t(code));
        EmitField(out, spec, u"", body, false);
        break;
      }
      default:
        // %n, %p, %f, %o and anything else: nothing printed, nothing read.
        break;
    }
  }
  return out;
}

}  // namespace keyloom::text
