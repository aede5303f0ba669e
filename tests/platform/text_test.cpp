#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace keyloom::text {
namespace {

struct Utf8Case {
  const char* name;
  std::string utf8;
  std::u16string utf16;
};

TEST(TextUtf8, DecodesValidAndReplacesInvalidSequences) {
  const Utf8Case cases[] = {
      {"ascii", "Tarn-60", u"Tarn-60"},
      {"two byte", "\xC3\xA9", u"\u00E9"},
      {"three byte", "\xE9\x94\xAE\xE7\x9B\x98", u"\u952E\u76D8"},
      {"four byte to surrogate pair", "\xF0\x9F\x8E\xAE", u"\U0001F3AE"},
      {"stray continuation", "a\x80z", u"a\uFFFDz"},
      {"truncated at end", "a\xE9\x94", u"a\uFFFD"},
      {"truncated before ascii", "\xE9\x94z", u"\uFFFDz"},
      {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three byte", "\xE0\x80\xAF", u"\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD"},
      {"invalid lead F8", "\xF8x", u"\uFFFDx"},
      {"embedded NUL kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const auto& c : cases) EXPECT_EQ(FromUtf8(c.utf8), c.utf16) << c.name;
}

TEST(TextUtf8, EncodesAndReplacesLoneSurrogates) {
  const Utf8Case cases[] = {
      {"ascii", "abc", u"abc"},
      {"bmp", "\xE9\x94\xAE", u"\u952E"},
      {"pair", "\xF0\x9F\x8E\xAE", u"\U0001F3AE"},
      {"lone high at end", "a\xEF\xBF\xBD", std::u16string(u"a") + char16_t(0xD83C)},
      {"lone low", "\xEF\xBF\xBDz", std::u16string(1, char16_t(0xDF2E)) + u"z"},
      {"high then ascii", "\xEF\xBF\xBDz", std::u16string(1, char16_t(0xD83C)) + u"z"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToUtf8(c.utf16), c.utf8) << c.name;
}

TEST(TextUtf8, RoundTripsEveryPlane) {
  std::u16string all;
  for (char32_t cp : {0x24u, 0x7FFu, 0x800u, 0xFFFDu, 0x10000u, 0x10FFFFu}) {
    if (cp < 0x10000) {
      all.push_back(char16_t(cp));
    } else {
      all.push_back(char16_t(0xD800 + ((cp - 0x10000) >> 10)));
      all.push_back(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
  }
  EXPECT_EQ(FromUtf8(ToUtf8(all)), all);
}

TEST(Text, AsciiAndCaseHelpers) {
  EXPECT_EQ(FromAscii("Lang0409.ini"), u"Lang0409.ini");
  EXPECT_EQ(FromAscii("\xA9"), u"\uFFFD");
  EXPECT_TRUE(EqualsIgnoreCase(u"/Start", u"/START"));
  EXPECT_TRUE(EqualsIgnoreCase("/kill", "/KILL"));
  EXPECT_FALSE(EqualsIgnoreCase(u"/Start", u"/Star"));
  EXPECT_FALSE(EqualsIgnoreCase(u"[", u"{"));  // only letters fold, not 0x5B/0x7B
  EXPECT_FALSE(EqualsIgnoreCase(u"\u00E9", u"\u00C9"));
  EXPECT_EQ(ToUpperAscii(u"dwLanguageId_\u00E9"), u"DWLANGUAGEID_\u00E9");
}

struct FormatCase {
  const char16_t* format;
  std::initializer_list<FormatArg> args;
  std::u16string expected;
};

TEST(TextFormat, Conversions) {
  const FormatCase cases[] = {
      {u"plain", {}, u"plain"},
      {u"%s", {u"abc"}, u"abc"},
      {u"[%5s|%-5s]", {u"ab", u"cd"}, u"[   ab|cd   ]"},
      {u"%.2s", {u"abcdef"}, u"ab"},
      {u"%d %i", {std::int64_t{-42}, 7}, u"-42 7"},
      {u"%+d % d", {5, 5}, u"+5  5"},
      {u"%05d|%-5d|%5d", {-42, 42, 42}, u"-0042|42   |   42"},
      {u"%.3d", {7}, u"007"},
      {u"%u", {4000000000u}, u"4000000000"},
      {u"%04X", {0x0C45}, u"0C45"},
      {u"%04x", {0xAB}, u"00ab"},
      {u"%#x %#X", {255, 255}, u"0xff 0XFF"},
      {u"%x", {-1}, u"ffffffff"},                       // int-sized like printf
      {u"%llx", {std::int64_t{-1}}, u"ffffffffffffffff"},
      {u"%I64u", {std::uint64_t{1} << 40}, u"1099511627776"},
      {u"%d", {std::uint64_t{4294967295u}}, u"-1"},
      {u"%ld %hd", {12, 13}, u"12 13"},
      {u"%c%c", {u'O', char16_t(0x952E)}, u"O\u952E"},
      {u"%c", {0x1F3AE}, u"\U0001F3AE"},
      {u"100%%", {}, u"100%"},
      {u"%s%%%d", {u"a", 1}, u"a%1"},
      {u"Lang%04X.ini", {0x409}, u"Lang0409.ini"},
      {u"\u952E%s\u76D8", {u"-"}, u"\u952E-\u76D8"},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.format, c.args), c.expected) << ToUtf8(c.format);
}

// Language texts are input: whatever they ask for, the formatter reads only
// arguments it was given, of the kind each specifier needs.
TEST(TextFormat, HostileOrMismatchedSpecifiersPrintNothingAndConsumeNothing) {
  const FormatCase cases[] = {
      {u"%s%s%s%n%p", {}, u""},
      {u"a%s%s%s%n%pb", {u"x"}, u"axb"},
      {u"%n%p%f%e%g%o%a%s", {u"kept"}, u"kept"},   // unknowns consume nothing
      {u"%d", {u"text"}, u""},                      // text where a number goes
      {u"%d%s", {u"text"}, u"text"},                // ...is left for the next %s
      {u"%s%d", {5}, u"5"},                         // number where a text goes
      {u"%s", {}, u""},
      {u"%d %d %d", {1}, u"1  "},
      {u"%*d|%.*s", {5, u"x"}, u"|"},               // '*' would read an argument
      {u"%", {1}, u""},
      {u"end%5", {1}, u"end"},
      {u"%lll", {}, u""},
      {u"%I6", {}, u""},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.format, c.args), c.expected) << ToUtf8(c.format);
}

TEST(TextFormat, HugeWidthIsCapped) {
  const std::u16string out = Format(u"%999999999999d|%.99999999s", {1, u"ab"});
  EXPECT_EQ(out.size(), 1024u + 1 + 2);
  EXPECT_EQ(out.substr(1022), u" 1|ab");
}

}  // namespace
}  // namespace keyloom::text
