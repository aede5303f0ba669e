#include "platform/ini.h"

#include "platform/atomic_file.h"
#include "platform/text.h"
#include "file_size_limit.h"
#include "test_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace keyloom::ini {
namespace {

using keyloom::testing::TempDir;

enum class Enc { Utf16LeBom, Utf16BeBom, Utf8Bom, Utf8 };

std::string Encode(std::u16string_view s, Enc e) {
  std::string out;
  switch (e) {
    case Enc::Utf16LeBom:
      out = "\xFF\xFE";
      for (char16_t c : s) out += {char(c & 0xFF), char(c >> 8)};
      return out;
    case Enc::Utf16BeBom:
      out = "\xFE\xFF";
      for (char16_t c : s) out += {char(c >> 8), char(c & 0xFF)};
      return out;
    case Enc::Utf8Bom:
      return "\xEF\xBB\xBF" + text::ToUtf8(s);
    case Enc::Utf8:
      return text::ToUtf8(s);
  }
  return out;
}

const char* Name(Enc e) {
  switch (e) {
    case Enc::Utf16LeBom: return "UTF-16LE";
    case Enc::Utf16BeBom: return "UTF-16BE";
    case Enc::Utf8Bom: return "UTF-8 BOM";
    case Enc::Utf8: return "UTF-8";
  }
  return "";
}

constexpr Enc kEncodings[] = {Enc::Utf16LeBom, Enc::Utf16BeBom, Enc::Utf8Bom, Enc::Utf8};

void WriteBytes(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::u16string kLookupFile =
    u"; leading comment\r\n"
    u"Orphan=before any section\r\n"
    u"[Text]\r\n"
    u"Plain=Hello\r\n"
    u"  Spaced   =   value with spaces   \r\n"
    u"Tabbed\t=\tt\t\r\n"
    u"Quoted=\"  kept spaces  \"\r\n"
    u"Single='single'\r\n"
    u"Unmatched=\"open\r\n"
    u"Mixed=\"mixed'\r\n"
    u"Empty=\r\n"
    u"EmptyQuotes=\"\"\r\n"
    u"Dup=first\r\n"
    u"DUP=second\r\n"
    u"Semicolon=a;b\r\n"
    u"Equals=a=b\r\n"
    u"NoEquals\r\n"
    u";Commented=yes\r\n"
    u"\u952E=\u503C\r\n"
    u"[ Other ]\n"                          // LF only, spaces inside the brackets
    u"Key=other\r"                          // a lone CR ends a line too
    u"[Unclosed \t\r\n"                     // no ']': the name runs to the end of the line
    u"AfterUnclosed=in Unclosed\r\n"
    u"[First]Second]\r\n"                   // the name ends at the first ']'
    u"Cut=in First\r\n"
    u"[]\r\n"                                 // the empty name
    u"Nameless=in []\r\n"
    u"[TEXT]\r\n"
    u"Plain=from the duplicate section\r\n"
    u"Late=only in the duplicate section\r\n"
    u"[Last]\r\n"
    u"NoBreakAtEnd=end";

struct LookupCase {
  const char16_t* section;
  const char16_t* key;
  const char16_t* expected;  // nullptr: missing, the default comes back
  const char16_t* def = u"#Error";
};

TEST(IniRead, LookupRulesInEveryEncoding) {
  const LookupCase cases[] = {
      {u"Text", u"Plain", u"Hello"},
      {u"tExT", u"PLAIN", u"Hello"},
      {u"Text", u"Spaced", u"value with spaces"},
      {u"Text", u"Tabbed", u"t"},
      {u"Text", u"Quoted", u"  kept spaces  "},
      {u"Text", u"Single", u"single"},
      {u"Text", u"Unmatched", u"\"open"},
      {u"Text", u"Mixed", u"\"mixed'"},
      {u"Text", u"Empty", u""},
      {u"Text", u"EmptyQuotes", u""},
      {u"Text", u"dup", u"first"},
      {u"Text", u"Semicolon", u"a;b"},
      {u"Text", u"Equals", u"a=b"},
      {u"Text", u"NoEquals", nullptr},
      {u"Text", u"Commented", nullptr},
      {u"Text", u";Commented", nullptr},
      {u"Text", u"\u952E", u"\u503C"},
      {u"Text", u"Late", nullptr},
      {u"Text", u"Orphan", nullptr},
      {u"", u"Orphan", nullptr},
      {u"Other", u"Key", u"other"},
      {u"  Other\t", u" Key ", u"other"},
      {u"Other", u"AfterUnclosed", nullptr},
      {u"Unclosed", u"AfterUnclosed", u"in Unclosed"},
      {u"First", u"Cut", u"in First"},
      {u"First]Second", u"Cut", nullptr},
      {u"", u"Nameless", u"in []"},
      {u"  ", u"Nameless", u"in []"},
      {u"Missing", u"Plain", u"kept  inner", u"kept  inner \t "},
      {u"Missing", u"Plain", u"", u"   "},
      {u"Missing", u"Plain", u"  lead", u"  lead"},
      {u"Last", u"NoBreakAtEnd", u"end"},
      {u"Missing", u"Plain", nullptr},
  };
  TempDir dir;
  for (Enc e : kEncodings) {
    const auto file = dir.path() / "lookup.ini";
    WriteBytes(file, Encode(kLookupFile, e));
    for (const auto& c : cases) {
      std::u16string out;
      const std::size_t n = GetString(file, c.section, c.key, c.def, out, 260);
      const std::u16string expected = c.expected ? c.expected : c.def;
      EXPECT_EQ(out, expected) << Name(e) << " [" << text::ToUtf8(c.section) << "] "
                               << text::ToUtf8(c.key);
      EXPECT_EQ(n, expected.size());
    }
    EXPECT_EQ(SectionNames(file),
              (std::vector<std::u16string>{u"Text", u"Other", u"Unclosed", u"First", u"", u"Last"}))
        << Name(e);
    EXPECT_EQ(KeyNames(file, u"TEXT"),
              (std::vector<std::u16string>{u"Plain", u"Spaced", u"Tabbed", u"Quoted", u"Single",
                                           u"Unmatched", u"Mixed", u"Empty", u"EmptyQuotes", u"Dup",
                                           u"Semicolon", u"Equals", u"\u952E"}))
        << Name(e);
  }
}

TEST(IniRead, MissingFileGivesDefaultAndNoNames) {
  TempDir dir;
  const auto file = dir.path() / "absent.ini";
  EXPECT_EQ(GetString(file, u"TEXT", u"A", u"#Error"), u"#Error");
  EXPECT_EQ(GetInt(file, u"TEXT", u"A", -3), -3);
  EXPECT_TRUE(SectionNames(file).empty());
  EXPECT_TRUE(KeyNames(file, u"TEXT").empty());
  EXPECT_EQ(GetString(dir.path(), u"TEXT", u"A", u"dir"), u"dir");  // a folder is no file
}

TEST(IniRead, AtMostCapacityMinusOneUnitsComeBack) {
  TempDir dir;
  const auto file = dir.path() / "cap.ini";
  WriteBytes(file, Encode(std::u16string(u"[S]\r\nK=Hello\r\nNul=ab\0cd\r\n", 25), Enc::Utf16LeBom));
  struct Case {
    const char16_t* key;
    const char16_t* def;
    std::size_t capacity;
    std::u16string expected;
  } cases[] = {
      {u"K", u"", 0, u""},         {u"K", u"", 1, u""},          {u"K", u"", 3, u"He"},
      {u"K", u"", 5, u"Hell"},     {u"K", u"", 6, u"Hello"},     {u"K", u"", 260, u"Hello"},
      {u"X", u"#Error", 3, u"#E"}, {u"X", u"#Error", 0, u""},    {u"X", u"#Error", 260, u"#Error"},
      {u"Nul", u"", 260, u"ab"},   // a NUL ends the value, as for a C string
  };
  for (const auto& c : cases) {
    std::u16string out = u"junk";
    EXPECT_EQ(GetString(file, u"S", c.key, c.def, out, c.capacity), c.expected.size())
        << text::ToUtf8(c.key) << " " << c.capacity;
    EXPECT_EQ(out, c.expected) << text::ToUtf8(c.key) << " " << c.capacity;
  }
  // 259 of a longer value.
  WriteBytes(file, Encode(u"[S]\r\nLong=" + std::u16string(400, u'x') + u"\r\n", Enc::Utf16LeBom));
  EXPECT_EQ(GetString(file, u"S", u"Long").size(), 259u);
}

TEST(IniRead, GetIntReadsLeadingDecimalDigits) {
  TempDir dir;
  const auto file = dir.path() / "int.ini";
  WriteBytes(file, Encode(u"[N]\nA=42\nB=-7\nC=+5\nD=12abc\nE=abc\nF=\nG=4294967295\nH=0x10\nI=  8  \n",
                          Enc::Utf8));
  const std::pair<const char16_t*, int> cases[] = {
      {u"A", 42}, {u"B", -7}, {u"C", 5},  {u"D", 12}, {u"E", 0},
      {u"F", 99}, {u"G", -1}, {u"H", 0},  {u"I", 8},  {u"Missing", 99},
  };
  for (const auto& [key, expected] : cases) EXPECT_EQ(GetInt(file, u"N", key, 99), expected) << text::ToUtf8(key);
}

TEST(IniRead, HostileBytesAreSafe) {
  TempDir dir;
  const auto file = dir.path() / "odd.ini";
  // Odd-length UTF-16: the last byte is dropped, the rest still reads.
  WriteBytes(file, Encode(u"[S]\r\nK=v", Enc::Utf16LeBom) + "\x41");
  EXPECT_EQ(GetString(file, u"S", u"K"), u"v");
  // Invalid UTF-8 becomes U+FFFD; lines around it still parse.
  WriteBytes(file, "[S]\nBad=\xFF\xFE\xC0\nK=ok\n");
  EXPECT_EQ(GetString(file, u"S", u"K"), u"ok");
  EXPECT_EQ(GetString(file, u"S", u"Bad"), u"\uFFFD\uFFFD\uFFFD");
  // A NUL ends a line's text.
  WriteBytes(file, std::string("[S]\nA\0B=1\nC=2\0junk\n[T\0]\nD=3\n", 28));
  EXPECT_EQ(GetString(file, u"S", u"A", u"d"), u"d");
  EXPECT_EQ(GetString(file, u"S", std::u16string(u"A\0B", 3), u"d"), u"d");
  EXPECT_EQ(GetString(file, u"S", u"C"), u"2");
  EXPECT_EQ(GetString(file, u"S", u"D", u"d"), u"d");  // "[T" is a header
  EXPECT_EQ(GetString(file, u"T", u"D"), u"3");
  // A huge line.
  WriteBytes(file, "[S]\nK=" + std::string(1 << 20, 'x') + "\nL=after\n");
  EXPECT_EQ(GetString(file, u"S", u"K").size(), 259u);
  EXPECT_EQ(GetString(file, u"S", u"L"), u"after");
  // Only a BOM, or nothing at all.
  for (const std::string bytes : {"\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF", "", "\xFF"}) {
    WriteBytes(file, bytes);
    EXPECT_EQ(GetString(file, u"S", u"K", u"d"), u"d");
  }
}

// Each case edits a file and must produce exactly the expected text in the
// file's own encoding: the text of every other line and comment kept, every
// line ended by CR LF.
struct WriteCase {
  const char* name;
  std::u16string before;
  const char16_t* section;
  const char16_t* key;
  const char16_t* value;  // nullptr: DeleteKey
  std::u16string after;
};

TEST(IniWrite, EditsKeepEveryOtherLineAndTheEncoding) {
  const std::u16string base =
      u"; colours\r\n[Main]\r\nA = 1 ; not a comment\r\n; note\r\nB=2\r\n\r\n[Other]\r\nC=3\r\n";
  const WriteCase cases[] = {
      {"replace keeps the key's spelling", base, u"main", u"a", u"9",
       u"; colours\r\n[Main]\r\nA=9\r\n; note\r\nB=2\r\n\r\n[Other]\r\nC=3\r\n"},
      {"new key after the section's last key", base, u"Main", u"New", u"x",
       u"; colours\r\n[Main]\r\nA = 1 ; not a comment\r\n; note\r\nB=2\r\nNew=x\r\n\r\n[Other]\r\nC=3\r\n"},
      {"new section at the end, no blank line before it", base, u"Third", u"K", u"\u952E",
       base + u"[Third]\r\nK=\u952E\r\n"},
      {"blanks around the section argument", base, u"  Other\t", u" C ", u"4",
       u"; colours\r\n[Main]\r\nA = 1 ; not a comment\r\n; note\r\nB=2\r\n\r\n[Other]\r\nC=4\r\n"},
      {"empty section name", u"[S]\r\nK=1\r\n", u"", u"K", u"v", u"[S]\r\nK=1\r\n[]\r\nK=v\r\n"},
      {"key into the empty-named section", u"[]\r\nK=1\r\n[S]\r\n", u"", u"L", u"2",
       u"[]\r\nK=1\r\nL=2\r\n[S]\r\n"},
      {"key into an empty section", u"[E]\r\n[F]\r\nX=1\r\n", u"E", u"K", u"v",
       u"[E]\r\nK=v\r\n[F]\r\nX=1\r\n"},
      {"only the first duplicate changes", u"[S]\r\nK=1\r\nk=2\r\n[S]\r\nK=3\r\n", u"S", u"K", u"0",
       u"[S]\r\nK=0\r\nk=2\r\n[S]\r\nK=3\r\n"},
      {"LF and lone CR lines end with CR LF", u"[S]\nK=1\r; c\n\n[T]\nM=3", u"S", u"L", u"2",
       u"[S]\r\nK=1\r\nL=2\r\n; c\r\n\r\n[T]\r\nM=3\r\n"},
      {"no line break at the end", u"[S]\r\nK=1", u"S", u"L", u"2", u"[S]\r\nK=1\r\nL=2\r\n"},
      {"replace in a last line without break", u"[S]\r\nK=1", u"S", u"K", u"2", u"[S]\r\nK=2\r\n"},
      {"new key elsewhere, last line without break", u"[S]\r\n[T]\r\nK=1", u"S", u"L", u"2",
       u"[S]\r\nL=2\r\n[T]\r\nK=1\r\n"},
      {"new section after a last line without break", u"[S]\r\nK=1", u"T", u"L", u"2",
       u"[S]\r\nK=1\r\n[T]\r\nL=2\r\n"},
      {"empty file", u"", u"S", u"K", u"v", u"[S]\r\nK=v\r\n"},
      {"outer spaces are quoted to survive", u"[S]\r\n", u"S", u"K", u" v ", u"[S]\r\nK=\" v \"\r\n"},
      {"outer quotes are quoted to survive", u"[S]\r\n", u"S", u"K", u"'q'", u"[S]\r\nK=\"'q'\"\r\n"},
      {"inner quotes as they are", u"[S]\r\n", u"S", u"K", u"a \"b\" c", u"[S]\r\nK=a \"b\" c\r\n"},
      {"delete key, all its copies", u"[S]\r\nK=1\r\nL=2\r\nk=3\r\n", u"S", u"K", nullptr,
       u"[S]\r\nL=2\r\n"},
      {"delete section with its comments", u"[S]\r\nK=1\r\n; c\r\n[T]\r\nL=2\r\n[s]\r\nM=3\r\n",
       u"S", u"", nullptr, u"[T]\r\nL=2\r\n"},
      {"delete missing key leaves the file", base, u"Main", u"Zzz", nullptr, base},
      {"delete from a file without a final break", u"[S]\nK=1\nL=2", u"S", u"K", nullptr, u"[S]\r\nL=2\r\n"},
  };
  TempDir dir;
  for (Enc e : kEncodings) {
    for (const auto& c : cases) {
      const auto file = dir.path() / "edit.ini";
      WriteBytes(file, Encode(c.before, e));
      const bool ok = c.value ? WriteString(file, c.section, c.key, c.value) : DeleteKey(file, c.section, c.key);
      EXPECT_TRUE(ok) << Name(e) << ": " << c.name;
      EXPECT_EQ(ReadBytes(file), Encode(c.after, e)) << Name(e) << ": " << c.name;
      if (c.value) {
        EXPECT_EQ(GetString(file, c.section, c.key, u"#Error"), c.value) << Name(e) << ": " << c.name;
      } else if (*c.key) {
        EXPECT_EQ(GetString(file, c.section, c.key, u"gone"), u"gone") << Name(e) << ": " << c.name;
      }
    }
  }
}

TEST(IniWrite, SeveralKeysInOneReplacement) {
  TempDir dir;
  const auto file = dir.path() / "batch.ini";
  const std::string before = Encode(u"[MODE0]\r\ntool=1\r\n[MODE1]\r\ntool=2\r\n", Enc::Utf16LeBom);
  WriteBytes(file, before);
  ASSERT_TRUE(WriteStrings(file, u"MODE0", {{u"0", u"255,0,0,1"}, {u"TOOL", u"3"}, {u"1", u"0,0,255,0"}}));
  EXPECT_EQ(ReadBytes(file),
            Encode(u"[MODE0]\r\ntool=3\r\n0=255,0,0,1\r\n1=0,0,255,0\r\n[MODE1]\r\ntool=2\r\n", Enc::Utf16LeBom));
  // One value that cannot be written: nothing is written.
  const std::string good = ReadBytes(file);
  EXPECT_FALSE(WriteStrings(file, u"MODE1", {{u"tool", u"9"}, {u"bad=key", u"1"}}));
  EXPECT_EQ(ReadBytes(file), good);
  EXPECT_TRUE(WriteStrings(dir.path() / "fresh.ini", u"S", {{u"a", u"1"}}));
  EXPECT_EQ(ReadBytes(dir.path() / "fresh.ini"), Encode(u"[S]\r\na=1\r\n", Enc::Utf16LeBom));
}

TEST(IniWrite, MissingFileIsCreatedAsUtf16LeWithBom) {
  TempDir dir;
  const auto file = dir.path() / "new.ini";
  ASSERT_TRUE(WriteString(file, u"LIGHT", u"Open", u"1"));
  ASSERT_TRUE(WriteString(file, u"LIGHT", u"Mode", u"\u7EA2"));
  EXPECT_EQ(ReadBytes(file), Encode(u"[LIGHT]\r\nOpen=1\r\nMode=\u7EA2\r\n", Enc::Utf16LeBom));
  EXPECT_TRUE(DeleteKey(dir.path() / "never.ini", u"S", u"K"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "never.ini"));
}

TEST(IniWrite, RefusesWhatWouldChangeTheFileStructure) {
  TempDir dir;
  const auto file = dir.path() / "r.ini";
  const std::string before = Encode(u"[S]\r\nK=1\r\n", Enc::Utf8);
  WriteBytes(file, before);
  const struct {
    const char16_t* section;
    const char16_t* key;
    const char16_t* value;
  } cases[] = {
      {u"S", u"K", u"1\r\n[Injected]\r\nX=1"}, {u"S", u"K", u"a\nb"},  {u"S", u"K=J", u"1"},
      {u"S", u"", u"1"},                       {u"S", u"  ", u"1"},    {u"S]T", u"K", u"1"},
      {u"S]\r\n[T", u"K", u"1"},               {u"S", u"[K]", u"1"},   {u"S", u";K", u"1"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(WriteString(file, c.section, c.key, c.value)) << text::ToUtf8(c.value);
    EXPECT_EQ(ReadBytes(file), before);
  }
}

TEST(IniWrite, ReplacesTheFileAtomically) {
  TempDir dir;
  const auto file = dir.path() / "a.ini";
  const std::string before = Encode(u"[S]\r\nK=old\r\n", Enc::Utf16LeBom);
  WriteBytes(file, before);
  std::filesystem::permissions(file, std::filesystem::perms(0640));
  // A stray temporary file from an earlier crash is cleared by the write.
  WriteBytes(dir.path() / ".a.ini.Xy12Zq.saving", "half written");
  ASSERT_TRUE(WriteString(file, u"S", u"K", u"new"));
  EXPECT_EQ(GetString(file, u"S", u"K"), u"new");
  EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0640));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1u);  // the file: the old stray is gone, no new temporary

  // A write that fails half way (here: the file size limit, which holds even
  // for root) leaves the old file whole and no temporary file behind.
  const std::string good = ReadBytes(file);
  bool written;
  {
    keyloom::testing::FileSizeLimit limit(64);
    written = WriteString(file, u"S", u"K", std::u16string(200, u'z'));
  }
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadBytes(file), good);
  entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1u);

  EXPECT_FALSE(WriteString(dir.path() / "no" / "such" / "dir.ini", u"S", u"K", u"v"));
}

TEST(IniWrite, UnreadableFileIsNotReplaced) {
  TempDir dir;
  const auto file = dir.path() / "big.ini";
  // Larger than any INI file this reader accepts: refused, not clobbered.
  const std::string huge(17u << 20, ';');
  WriteBytes(file, huge);
  EXPECT_FALSE(WriteString(file, u"S", u"K", u"v"));
  EXPECT_EQ(std::filesystem::file_size(file), huge.size());
}

TEST(IniCache, SeesEveryKindOfChange) {
  TempDir dir;
  const auto file = dir.path() / "c.ini";
  WriteBytes(file, "[S]\nK=one\n");
  EXPECT_EQ(GetString(file, u"S", u"K"), u"one");
  WriteBytes(file, "[S]\nK=two\n");  // same size, in place, at once
  EXPECT_EQ(GetString(file, u"S", u"K"), u"two");
  WriteBytes(file, "[S]\nK=three\n");  // other size
  EXPECT_EQ(GetString(file, u"S", u"K"), u"three");
  const auto other = dir.path() / "other.ini";
  WriteBytes(other, "[S]\nK=four!\n");
  std::filesystem::rename(other, file);  // replaced by rename
  EXPECT_EQ(GetString(file, u"S", u"K"), u"four!");
  std::filesystem::remove(file);
  EXPECT_EQ(GetString(file, u"S", u"K", u"gone"), u"gone");

  // Same size, in place, and the old mtime put back: the recent change time
  // still makes the cache check the bytes.
  WriteBytes(file, "[S]\nK=aaa\n");
  const auto old_time = std::filesystem::last_write_time(file) - std::chrono::hours(1);
  std::filesystem::last_write_time(file, old_time);
  EXPECT_EQ(GetString(file, u"S", u"K"), u"aaa");
  WriteBytes(file, "[S]\nK=bbb\n");
  std::filesystem::last_write_time(file, old_time);
  EXPECT_EQ(GetString(file, u"S", u"K"), u"bbb");
}

// When a cache may trust a file's stamp: a change stamped with a fraction
// of a second comes from a clock of one tick, a whole second may be a file
// system that keeps seconds; either time still being within its window
// makes the stamp untrustworthy.
TEST(IniCache, StampIsTrustedOnceItsChangeIsOlderThanItsWindow) {
  constexpr long long kSecond = 1'000'000'000LL;
  const long long fine = 1'700'000'000LL * kSecond + 123'456'789;
  const long long whole = 1'700'000'000LL * kSecond;
  const long long fine_window = platform::SameStampWindowNs(fine);
  EXPECT_EQ(platform::SameStampWindowNs(whole), 2 * kSecond);
  EXPECT_GE(fine_window, 20'000'000LL);
  EXPECT_LE(fine_window, 2 * kSecond);
  auto stamp = [](long long mtime, long long ctime) {
    platform::FileStamp s;
    s.mtime_ns = mtime;
    s.ctime_ns = ctime;
    return s;
  };
  struct Case {
    const char* name;
    platform::FileStamp stamp;
    long long read_at;
    bool may_repeat;
  };
  const Case cases[] = {
      {"read at the change", stamp(fine, fine), fine, true},
      {"just inside the window", stamp(fine, fine), fine + fine_window - 1, true},
      {"once the window is over", stamp(fine, fine), fine + fine_window, false},
      {"whole-second time, a second later", stamp(whole, whole), whole + kSecond, true},
      {"whole-second time, two seconds later", stamp(whole, whole), whole + 2 * kSecond, false},
      {"old mtime put back, recent change time", stamp(whole - 3600 * kSecond, fine), fine + 1, true},
      {"old mtime put back, change time over", stamp(whole - 3600 * kSecond, fine), fine + fine_window, false},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::StampMayRepeat(c.stamp, c.read_at), c.may_repeat) << c.name;
}

TEST(IniCache, ConcurrentLookupsAndWritesSeeWholeValues) {
  TempDir dir;
  const auto file = dir.path() / "t.ini";
  ASSERT_TRUE(WriteString(file, u"S", u"K", u"value-0"));
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&] {
      while (!stop) {
        const std::u16string v = GetString(file, u"S", u"K");
        if (v.rfind(u"value-", 0) != 0) ++bad;
      }
    });
  }
  for (int i = 1; i <= 200; ++i) ASSERT_TRUE(WriteString(file, u"S", u"K", text::FromAscii("value-" + std::to_string(i))));
  stop = true;
  for (auto& r : readers) r.join();
  EXPECT_EQ(bad.load(), 0);
  EXPECT_EQ(GetString(file, u"S", u"K"), u"value-200");
}

}  // namespace
}  // namespace keyloom::ini
