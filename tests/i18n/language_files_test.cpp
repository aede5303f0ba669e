// The shipped language files against the program's list of text keys: every
// key is there in every language with a usable text, formats ask for the
// arguments the program gives them, and the files are stored the way the
// INI reader and the Windows tools they came from expect.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "i18n/text_keys.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace keyloom::i18n {
namespace {

namespace fs = std::filesystem;

struct Language {
  const char* name;
  const char* file;
};

void PrintTo(const Language& language, std::ostream* os) { *os << language.file; }

const Language kLanguages[] = {
    {"English", "Lang0409.ini"},
    {"SimplifiedChinese", "Lang0804.ini"},
    {"TraditionalChinese", "Lang0404.ini"},
};

fs::path ShippedFile(const char* file) { return fs::path(KEYLOOM_SOURCE_DIR) / "res" / file; }

std::u16string Wide(std::string_view ascii) { return text::FromAscii(ascii); }

// The text as the program would see it, read with room to spare so that an
// over-long text shows up as such instead of being cut.
struct Lookup {
  bool found;
  std::u16string value;
};
Lookup Read(const fs::path& file, const TextKey& key) {
  constexpr std::u16string_view kMissing = u"\u0001missing\u0001";
  std::u16string out;
  ini::GetString(file, Wide(SectionName(key.section)), Wide(key.key), kMissing, out, 4096);
  if (out == kMissing) return {false, {}};
  return {true, out};
}

std::string Describe(const TextKey& key) {
  return std::string(SectionName(key.section)) + "/" + std::string(key.key);
}

TEST(TextKeyList, NamesEachKeyOnceAndFindsItIgnoringCase) {
  std::set<std::pair<int, std::string>> seen;
  for (const TextKey& key : AllTextKeys()) {
    std::string upper(key.key);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    EXPECT_TRUE(seen.insert({static_cast<int>(key.section), upper}).second) << Describe(key) << " twice";
    EXPECT_EQ(key.use == TextUse::kFormat, !key.format_args.empty()) << Describe(key);

    std::string lower(key.key);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    const auto found = FindTextKey(key.section, lower);
    ASSERT_TRUE(found.has_value()) << Describe(key);
    EXPECT_EQ(found->key, key.key);
  }
  // A key of one section is not found in another.
  EXPECT_FALSE(FindTextKey(TextSection::kText, "Deng").has_value());
  EXPECT_FALSE(FindTextKey(TextSection::kMode, "MAIN_CAPTION").has_value());
  EXPECT_FALSE(FindTextKey(TextSection::kText, "").has_value());
}

TEST(TextKeyList, FunctionKeysAreNumberedFromOne) {
  const struct {
    int index;
    const char* key;
  } cases[] = {{0, "FUNC_KEY_DESC1"}, {9, "FUNC_KEY_DESC10"}, {10, "FUNC_KEY_DESC11"}, {11, ""}, {-1, ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(FunctionKeyTextKey(c.index), c.key) << c.index;
    if (*c.key) {
      EXPECT_TRUE(FindTextKey(TextSection::kText, c.key).has_value()) << c.key;
    }
  }
}

TEST(FormatSignature, ReadsSpecifiersAsTheSafeFormatterDoes) {
  const struct {
    std::u16string_view format;
    const char* kinds;
  } cases[] = {
      {u"plain text", ""},
      {u"", ""},
      {u"The file \"%s\" is not valid.", "s"},
      {u"Key 0x%04X", "u"},
      {u"%x %u %X", "uuu"},
      {u"at most %d macros, %i left", "dd"},
      {u"%-8s|%+5d|% d|%#x", "sddu"},
      {u"%.3s %5.2d", "sd"},
      {u"%ls %hd %I64u %lld %zu", "sdudu"},
      {u"100%% sure, %%d is literal", ""},
      {u"ends with %", ""},
      {u"%c", "c"},
      {u"%s%s%s%n%p", "sss??"},
      {u"%f %o %*d %.*s", "????"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatSignature(c.format), c.kinds) << text::ToUtf8(c.format);
  }
}

class LanguageFile : public ::testing::TestWithParam<Language> {
 protected:
  fs::path file_ = ShippedFile(GetParam().file);
};

TEST_P(LanguageFile, IsUtf16LittleEndianWithBomAndCrlfLines) {
  std::ifstream in(file_, std::ios::binary);
  ASSERT_TRUE(in) << file_;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xFE);
  ASSERT_EQ(bytes.size() % 2, 0u) << "odd number of bytes";

  std::u16string units;
  for (std::size_t i = 2; i < bytes.size(); i += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  std::size_t line = 1;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    if (c == u'\n') {
      EXPECT_TRUE(i > 0 && units[i - 1] == u'\r') << "bare LF ending line " << line;
      ++line;
    } else if (c == u'\r') {
      EXPECT_TRUE(i + 1 < units.size() && units[i + 1] == u'\n') << "bare CR on line " << line;
    } else if (c >= 0xD800 && c <= 0xDBFF) {
      EXPECT_TRUE(i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
          << "unpaired surrogate on line " << line;
      ++i;
    } else {
      EXPECT_FALSE(c >= 0xDC00 && c <= 0xDFFF) << "unpaired surrogate on line " << line;
      EXPECT_FALSE(c == 0 || c == 0xFEFF || c == 0xFFFD) << "stray U+" << std::hex << int(c) << " on line "
                                                         << std::dec << line;
    }
  }
  EXPECT_TRUE(units.size() >= 2 && units.substr(units.size() - 2) == u"\r\n") << "last line unterminated";
}

TEST_P(LanguageFile, HasEveryKeyWithAUsableText) {
  for (const TextKey& key : AllTextKeys()) {
    const Lookup text = Read(file_, key);
    if (!text.found) {
      ADD_FAILURE() << Describe(key) << " missing from " << file_;
      continue;
    }
    if (!key.may_be_empty) {
      EXPECT_FALSE(text.value.empty()) << Describe(key) << " is empty";
    }
    EXPECT_LE(text.value.size(), key.max_length) << Describe(key) << " would be cut short";
    EXPECT_NE(text.value, u"#Error") << Describe(key);
  }
}

TEST_P(LanguageFile, HoldsNoKeyTheProgramNeverAsksFor) {
  for (const TextSection section : {TextSection::kText, TextSection::kLight, TextSection::kMode}) {
    for (const std::u16string& name : ini::KeyNames(file_, Wide(SectionName(section)))) {
      EXPECT_TRUE(FindTextKey(section, text::ToUtf8(name)).has_value())
          << SectionName(section) << "/" << text::ToUtf8(name) << " is not a key of the program";
    }
  }
  const std::vector<std::u16string> sections = ini::SectionNames(file_);
  EXPECT_EQ(sections, (std::vector<std::u16string>{u"TEXT", u"LIGHT", u"MODE"}));
}

// Each format asks for exactly the arguments its caller gives, so that the
// safe formatter fills every specifier and leaves nothing out.
TEST_P(LanguageFile, FormatsAskForTheArgumentsTheProgramGives) {
  for (const TextKey& key : AllTextKeys()) {
    if (key.use != TextUse::kFormat) continue;
    const Lookup format = Read(file_, key);
    ASSERT_TRUE(format.found) << Describe(key);
    EXPECT_EQ(FormatSignature(format.value), key.format_args) << Describe(key);

    // Through the real formatter: every argument shows up in the message.
    const std::u16string path = u"/home/user/backup.kyl";
    std::vector<text::FormatArg> args;
    for (const char kind : key.format_args) {
      if (kind == 's') args.emplace_back(std::u16string_view(path));
      if (kind == 'd') args.emplace_back(std::int64_t{40000});
      if (kind == 'u') args.emplace_back(std::uint64_t{0x1AB});
    }
    ASSERT_LE(args.size(), 1u) << "extend the argument list below for " << Describe(key);
    const std::u16string shown =
        args.empty() ? text::Format(format.value, {}) : text::Format(format.value, {args[0]});
    for (const char kind : key.format_args) {
      const bool has = kind == 's'   ? shown.find(path) != std::u16string::npos
                       : kind == 'd' ? shown.find(u"40000") != std::u16string::npos
                                     : shown.find(u"1AB") != std::u16string::npos ||
                                           shown.find(u"1ab") != std::u16string::npos ||
                                           shown.find(u"427") != std::u16string::npos;
      EXPECT_TRUE(has) << Describe(key) << " shows " << text::ToUtf8(shown);
    }
  }
}

TEST_P(LanguageFile, TextsFitHowTheProgramUsesThem) {
  const fs::path english = ShippedFile("Lang0409.ini");
  for (const TextKey& key : AllTextKeys()) {
    const Lookup text = Read(file_, key);
    if (!text.found) continue;  // reported by HasEveryKeyWithAUsableText
    const std::u16string& v = text.value;
    switch (key.use) {
      case TextUse::kOpensParenthesis:
        // The program closes it with ")" after the name it appends.
        EXPECT_GT(std::count(v.begin(), v.end(), u'('), std::count(v.begin(), v.end(), u')'))
            << Describe(key) << " opens no parenthesis";
        break;
      case TextUse::kPathSuffix:
        // Appended to the data folder, which has no trailing separator.
        EXPECT_TRUE(v.size() > 1 && v[0] == u'/' && v.find(u'/', 1) == std::u16string::npos)
            << Describe(key) << " is not one file name after a separator";
        break;
      case TextUse::kSettingName:
        EXPECT_EQ(v, Read(english, key).value) << Describe(key) << " differs from English";
        EXPECT_TRUE(std::all_of(v.begin(), v.end(), [](char16_t c) {
          return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_';
        })) << Describe(key) << " is not a plain setting name";
        break;
      case TextUse::kShown:
      case TextUse::kFormat:
        break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ShippedLanguages, LanguageFile, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<Language>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace keyloom::i18n
