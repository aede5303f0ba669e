#include "app/app_settings_store.h"

#include <gtest/gtest.h>

#include <optional>

#include <cstdlib>
#include <string>

#include "app/flip_setting.h"
#include "platform/registry.h"

namespace keyloom::app {
namespace {

namespace fs = std::filesystem;

class AppSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "keyloom-settings-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    store_.emplace(dir_ / "registry.reg");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path dir_;
  std::optional<registry::ScopedStoreFile> store_;
  ScopedSettingsKeyName key_name_{kSettingsKeyName};
};

TEST_F(AppSettingsStoreTest, ValuesLiveUnderTheSettingsKeyPerSection) {
  EXPECT_EQ(SettingsSectionKey(u"PROFILES"),
            u"Software\\Keyloom_Orvane\\Tarn-60 Gaming Keyboard\\PROFILES");
  ASSERT_TRUE(WriteSettingString(u"PROFILES", u"Flip", u"1"));
  auto key = registry::Key::Open(u"Software\\Keyloom_Orvane\\Tarn-60 Gaming Keyboard\\PROFILES");
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->TypeOf(u"Flip"), registry::ValueType::String);
  EXPECT_EQ(key->GetString(u"Flip"), std::u16string(u"1"));
}

TEST_F(AppSettingsStoreTest, ReadsWithDefault) {
  struct Case {
    const char* what;
    std::u16string section, entry, def, expected;
  };
  ASSERT_TRUE(WriteSettingString(u"PROFILES", u"PROFILE00", u"2"));
  ASSERT_TRUE(WriteSettingString(u"PROFILES", u"Empty", u""));
  ASSERT_TRUE(WriteSettingString(u"OTHER", u"Flip", u"1"));
  auto key = registry::Key::Create(SettingsSectionKey(u"PROFILES"));
  ASSERT_TRUE(key.has_value());
  ASSERT_TRUE(key->SetDword(u"Number", 5));
  const Case cases[] = {
      {"stored", u"PROFILES", u"PROFILE00", u"0", u"2"},
      {"entry in another letter case", u"profiles", u"profile00", u"0", u"2"},
      {"stored empty", u"PROFILES", u"Empty", u"x", u""},
      {"missing entry", u"PROFILES", u"Flip", u"0", u"0"},
      {"missing section", u"NOPE", u"Flip", u"0", u"0"},
      {"value of another type", u"PROFILES", u"Number", u"d", u"d"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetSettingString(c.section, c.entry, c.def), c.expected) << c.what;
  }
  // Sections do not share values.
  EXPECT_EQ(GetSettingString(u"OTHER", u"PROFILE00", u"-"), u"-");
}

TEST_F(AppSettingsStoreTest, OverwritesAndSurvivesAFreshRead) {
  ASSERT_TRUE(WriteSettingString(u"PROFILES", u"Flip", u"0"));
  ASSERT_TRUE(WriteSettingString(u"PROFILES", u"Flip", u"1"));
  // Re-point at the same file: the value comes from disk.
  registry::SetStoreFile(dir_ / "registry.reg");
  EXPECT_EQ(GetSettingString(u"PROFILES", u"Flip", u"0"), u"1");
}

TEST_F(AppSettingsStoreTest, UnwritableStoreGivesDefaultsAndFailedWrites) {
  // The store's folder is a plain file: nothing can be read or written.
  FILE* f = std::fopen((dir_ / "blocker").c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  registry::SetStoreFile(dir_ / "blocker" / "registry.reg");
  EXPECT_FALSE(WriteSettingString(u"PROFILES", u"Flip", u"1"));
  EXPECT_EQ(GetSettingString(u"PROFILES", u"Flip", u"0"), u"0");
}

}  // namespace
}  // namespace keyloom::app

namespace keyloom::app {
namespace {

// The Flip setting as the main window reads and toggles it.
TEST_F(AppSettingsStoreTest, FlipReadsZeroOrOneAndTogglesToTheOther) {
  struct Case {
    const char16_t* stored;  // nullptr: no value
    int read;
    int toggled;
  };
  const Case cases[] = {{nullptr, 0, 1}, {u"0", 0, 1}, {u"1", 1, 0}, {u"2", 0, 1}, {u"x", 0, 1}, {u"", 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored ? std::string(c.stored, c.stored + std::char_traits<char16_t>::length(c.stored)) : "none");
    auto key = registry::Key::Create(SettingsSectionKey(u"PROFILES"));
    ASSERT_TRUE(key.has_value());
    key->DeleteValue(u"Flip");
    if (c.stored) {
      ASSERT_TRUE(WriteSettingString(u"PROFILES", u"Flip", c.stored));
    }
    EXPECT_EQ(ReadFlipSetting(), c.read);
    EXPECT_EQ(ToggleFlipSetting(), c.toggled);
    EXPECT_EQ(ReadFlipSetting(), c.toggled);
    EXPECT_EQ(GetSettingString(u"PROFILES", u"Flip", u"?"), c.toggled ? u"1" : u"0");
  }
}

}  // namespace
}  // namespace keyloom::app
