// The language choice and the text lookups, with a private registry file,
// private language files and the system language set through the locale.
#include "i18n/texts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "platform/ini.h"
#include "platform/scoped_env.h"
#include "platform/registry.h"

namespace keyloom::i18n {
namespace {

namespace fs = std::filesystem;

void WriteUtf16File(const fs::path& file, std::u16string_view content) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.put(char(0xFF));
  out.put(char(0xFE));
  for (char16_t c : content) {
    out.put(char(c & 0xFF));
    out.put(char(c >> 8));
  }
}

class TextsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "keyloom-texts-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    store_.emplace(dir_ / "config" / "registry.reg");
    language_dir_.emplace(dir_);
    SetSystemLocale("en_US.UTF-8");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // The locale for this test; the environment is put back when it ends.
  void SetSystemLocale(const char* locale) {
    locale_env_.Set("LC_ALL", locale);
    locale_env_.Set("LC_MESSAGES", locale);
    locale_env_.Set("LANG", locale);
  }

  static std::optional<registry::Key> LanguageKey() {
    return registry::Key::Create(u"Software\\Tarn-60 Gaming Keyboard");
  }

  void WriteLanguageFiles() {
    WriteUtf16File(dir_ / "Lang0804.ini",
                   u"[TEXT]\r\nMAIN_CAPTION=\u952E\u76D8\u8BBE\u7F6E\r\n[LIGHT]\r\nUsb=USB\u56DE\u62A5\u7387\r\n"
                   u"[MODE]\r\n1=\u5E38\u4EAE\r\n");
    WriteUtf16File(dir_ / "Lang0404.ini",
                   u"[TEXT]\r\nMAIN_CAPTION=\u9375\u76E4\u8A2D\u5B9A\r\n[LIGHT]\r\nUsb=USB\u56DE\u5831\u7387\r\n"
                   u"[MODE]\r\n1=\u6052\u4EAE\r\n");
    std::u16string english =
        u"[TEXT]\r\n"
        u"MAIN_CAPTION=Keyboard settings\r\n"
        u"EMPTY_ONE=\r\n"
        u"QUOTED=\"  spaced  \"\r\n"
        u"UNKNOWN_KEY=Key %d\r\n"
        u"LONG=" + std::u16string(300, u'x') + u"\r\n"
        u"EXACT=" + std::u16string(259, u'y') + u"\r\n"
        u"[LIGHT]\r\nUsb=Report rate\r\nDC=\r\n"
        u"[MODE]\r\n1=Static\r\n20=Custom\r\n";
    WriteUtf16File(dir_ / "Lang0409.ini", english);
  }

  fs::path dir_;
  ini::ScopedEmptyCache ini_cache_;
  keyloom::testing::ScopedEnv locale_env_;
  std::optional<registry::ScopedStoreFile> store_;
  std::optional<ScopedLanguageFileDir> language_dir_;
};

TEST_F(TextsTest, LanguageFileNamesUseFourUpperCaseHexDigits) {
  struct Case {
    int index;
    const char* name;
  };
  const Case cases[] = {{0, "Lang0804.ini"}, {1, "Lang0404.ini"}, {2, "Lang0409.ini"},
                        {-1, "Lang0409.ini"}, {3, "Lang0409.ini"}, {1000, "Lang0409.ini"}};
  for (const Case& c : cases) EXPECT_EQ(LanguageFilePath(c.index), dir_ / c.name) << c.index;
}

TEST_F(TextsTest, FirstStartTakesTheSystemLanguageWithSubstitutions) {
  struct Case {
    const char* locale;
    std::uint32_t stored;
    int index;
  };
  const Case cases[] = {
      {"zh_CN.UTF-8", 0x0804, 0}, {"zh_TW.UTF-8", 0x0404, 1}, {"en_US.UTF-8", 0x0409, 2},
      {"zh_HK.UTF-8", 0x0804, 0},  // Hong Kong reads Simplified Chinese
      {"zh_MO.UTF-8", 0x0404, 1},  // Macao reads Traditional Chinese
      {"zh_SG.UTF-8", 0x0409, 2},  // Singapore reads English
      {"de_DE.UTF-8", 0x0409, 2},  // unsupported: English
      {"C", 0x0409, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    auto key = LanguageKey();
    ASSERT_TRUE(key.has_value());
    ASSERT_TRUE(key->DeleteValue(u"dwLanguageId"));
    SetSystemLocale(c.locale);
    EXPECT_EQ(GetLanguageId(), c.stored);
    EXPECT_EQ(key->TypeOf(u"dwLanguageId"), registry::ValueType::Dword);
    EXPECT_EQ(key->GetDword(u"dwLanguageId"), c.stored);
    EXPECT_EQ(GetLanguageIndex(), c.index);
  }
}

TEST_F(TextsTest, SubstitutionTable) {
  struct Case {
    std::uint32_t system, chosen;
  };
  const Case cases[] = {{0x0C04, 0x0804}, {0x1404, 0x0404}, {0x1004, 0x0409}, {0x0804, 0x0804},
                        {0x0404, 0x0404}, {0x0409, 0x0409}, {0x0407, 0x0409}, {0x0809, 0x0409},
                        {0x0000, 0x0409}, {0xFFFFFFFF, 0x0409}};
  for (const Case& c : cases) EXPECT_EQ(ChooseFromSystemLanguage(c.system), c.chosen) << c.system;
}

TEST_F(TextsTest, TheChoiceIsKeptOnceMade) {
  SetSystemLocale("zh_HK.UTF-8");
  EXPECT_EQ(GetLanguageId(), 0x0804u);
  // The system language changes later: the stored choice stays.
  SetSystemLocale("zh_TW.UTF-8");
  EXPECT_EQ(GetLanguageId(), 0x0804u);
  EXPECT_EQ(GetLanguageIndex(), 0);
}

TEST_F(TextsTest, StoredValuesFromOutside) {
  WriteLanguageFiles();
  SetSystemLocale("zh_HK.UTF-8");
  auto key = LanguageKey();
  ASSERT_TRUE(key.has_value());

  // A hand-stored unsupported id stays and reads English.
  ASSERT_TRUE(key->SetDword(u"dwLanguageId", 0x0407));
  EXPECT_EQ(GetLanguageId(), 0x0407u);
  EXPECT_EQ(GetLanguageIndex(), 2);
  EXPECT_EQ(key->GetDword(u"dwLanguageId"), 0x0407u);
  EXPECT_EQ(Text("MAIN_CAPTION"), u"Keyboard settings");

  // A hand-stored supported id wins over the system language.
  ASSERT_TRUE(key->SetDword(u"dwLanguageId", 0x0404));
  EXPECT_EQ(Text("MAIN_CAPTION"), u"\u9375\u76E4\u8A2D\u5B9A");

  // Kept as text: overwritten, then the system language decides (and is kept
  // as a number).
  ASSERT_TRUE(key->SetString(u"dwLanguageId", u"1033"));
  EXPECT_EQ(GetLanguageId(), 0x0804u);
  EXPECT_EQ(key->TypeOf(u"dwLanguageId"), registry::ValueType::Dword);
  EXPECT_EQ(key->GetDword(u"dwLanguageId"), 0x0804u);
  EXPECT_EQ(Text("MAIN_CAPTION"), u"\u952E\u76D8\u8BBE\u7F6E");

  // Zero means "not chosen yet".
  ASSERT_TRUE(key->SetDword(u"dwLanguageId", 0));
  SetSystemLocale("zh_MO.UTF-8");
  EXPECT_EQ(GetLanguageId(), 0x0404u);
  EXPECT_EQ(key->GetDword(u"dwLanguageId"), 0x0404u);
}

TEST_F(TextsTest, WithoutARegistryTheSystemLanguageDecidesEachTime) {
  WriteLanguageFiles();
  std::ofstream(dir_ / "blocker") << "x";
  registry::SetStoreFile(dir_ / "blocker" / "registry.reg");
  SetSystemLocale("zh_SG.UTF-8");
  EXPECT_EQ(GetLanguageId(), 0x0409u);
  SetSystemLocale("zh_HK.UTF-8");
  EXPECT_EQ(GetLanguageId(), 0x0804u);
  EXPECT_EQ(Text("MAIN_CAPTION"), u"\u952E\u76D8\u8BBE\u7F6E");
}

TEST_F(TextsTest, Lookups) {
  WriteLanguageFiles();
  using Lookup = std::u16string (*)(std::string_view, int);
  struct Case {
    const char* what;
    Lookup lookup;
    const char* key;
    int index;
    std::u16string expected;
  };
  const Lookup text = &Text;
  const Lookup light = &LightText;
  const Lookup mode = &ModeText;
  const Case cases[] = {
      {"text, English", text, "MAIN_CAPTION", 2, u"Keyboard settings"},
      {"text, Simplified Chinese", text, "MAIN_CAPTION", 0, u"\u952E\u76D8\u8BBE\u7F6E"},
      {"text, Traditional Chinese", text, "MAIN_CAPTION", 1, u"\u9375\u76E4\u8A2D\u5B9A"},
      {"key in other letter case", text, "main_caption", 2, u"Keyboard settings"},
      {"index below range", text, "MAIN_CAPTION", -1, u"Keyboard settings"},
      {"index above range", text, "MAIN_CAPTION", 3, u"Keyboard settings"},
      {"empty value is empty, not an error", text, "EMPTY_ONE", 2, u""},
      {"empty light value", light, "DC", 2, u""},
      {"quotes stripped, inner spaces kept", text, "QUOTED", 2, u"  spaced  "},
      {"format text comes back unformatted", text, "UNKNOWN_KEY", 2, u"Key %d"},
      {"missing key", text, "NO_SUCH_KEY", 2, u"#Error"},
      {"missing key in another language", text, "EMPTY_ONE", 0, u"#Error"},
      {"light", light, "Usb", 2, u"Report rate"},
      {"light, Chinese", light, "Usb", 0, u"USB\u56DE\u62A5\u7387"},
      {"mode", mode, "1", 2, u"Static"},
      {"mode 20", mode, "20", 2, u"Custom"},
      {"mode, Traditional Chinese", mode, "1", 1, u"\u6052\u4EAE"},
      {"missing mode", mode, "21", 2, u"#Error"},
      {"sections are separate: light key as text", text, "Usb", 2, u"#Error"},
      {"sections are separate: text key as mode", mode, "MAIN_CAPTION", 2, u"#Error"},
      {"over-long value cut to 259 units", text, "LONG", 2, std::u16string(259, u'x')},
      {"259 units pass whole", text, "EXACT", 2, std::u16string(259, u'y')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.lookup(c.key, c.index), c.expected) << c.what;
  }
}

TEST_F(TextsTest, MissingLanguageFileReadsErrorEverywhere) {
  WriteLanguageFiles();
  fs::remove(dir_ / "Lang0404.ini");
  EXPECT_EQ(Text("MAIN_CAPTION", 1), u"#Error");
  EXPECT_EQ(LightText("Usb", 1), u"#Error");
  EXPECT_EQ(ModeText("1", 1), u"#Error");
  EXPECT_EQ(Text("MAIN_CAPTION", 2), u"Keyboard settings");
}

TEST_F(TextsTest, EveryLookupFollowsTheStoredChoiceAtThatMoment) {
  WriteLanguageFiles();
  auto key = LanguageKey();
  ASSERT_TRUE(key.has_value());
  ASSERT_TRUE(key->SetDword(u"dwLanguageId", 0x0409));
  EXPECT_EQ(Text("MAIN_CAPTION"), u"Keyboard settings");
  EXPECT_EQ(LightText("Usb"), u"Report rate");
  ASSERT_TRUE(key->SetDword(u"dwLanguageId", 0x0804));
  EXPECT_EQ(Text("MAIN_CAPTION"), u"\u952E\u76D8\u8BBE\u7F6E");
  EXPECT_EQ(ModeText("1"), u"\u5E38\u4EAE");
}

}  // namespace
}  // namespace keyloom::i18n
