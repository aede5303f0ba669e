#include "lighting/user_colour_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

#include <unistd.h>

#include "lighting/lighting_session.h"
#include "platform/ini.h"
#include "support/kill_during_saves.h"

namespace keyloom::lighting {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class UserColourFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("keyloom-ucf-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_ / "Skins");
    lighting.paths = LightingPaths({dir_ / "wskb.ini", (dir_ / "UserDengColor_").string(),
                      (dir_ / "Skins" / "UserDengColor_").string()});
    lighting.CustomColours = {};
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
  ini::ScopedEmptyCache ini_cache_;
  LightingSession lighting;
};

TEST_F(UserColourFiles, MissingFileOrSectionReadsAsTheDefaults) {
  WriteAll(UserColourFile(lighting.paths, 1),
           "[MODENAME]\r\n0=Fire\r\n[PRESENTMODE]\r\nmode=4\r\n[Mode2]\r\ntool=1\r\n5=1,2,3,0\r\n");
  EXPECT_EQ(ReadLayoutName(lighting.paths, 1, 0), u"Fire");
  EXPECT_EQ(ReadLayoutName(lighting.paths, 1, 3), u"0");
  EXPECT_EQ(ReadSelectedLayout(lighting.paths, 1), 4);
  EXPECT_EQ(ReadSelectedLayout(lighting.paths, 2), 0);  // no file at all

  // Layout 3 has no section: red keys following the base colour, tool 0, black colours.
  lighting.CustomColours.tool = 1;
  lighting.CustomColours.base_colour = 0x123456;
  ReadLayoutTools(lighting, 1, 3);
  EXPECT_EQ(lighting.CustomColours.tool, 0);
  EXPECT_EQ(lighting.CustomColours.base_colour, 0u);
  EXPECT_EQ(lighting.CustomColours.painting_colour, 0u);
  for (int k : {0, 57, 110}) {
    const LayoutKey key = ReadLayoutKey(lighting.paths, 1, 3, k);
    EXPECT_EQ(key.colour, MakeColour(255, 0, 0));
    EXPECT_EQ(key.base_flag, 1);
  }
  const LayoutKey set = ReadLayoutKey(lighting.paths, 1, 2, 5);
  EXPECT_EQ(set.colour, MakeColour(1, 2, 3));
  EXPECT_EQ(set.base_flag, 0);
}

TEST_F(UserColourFiles, WritesKeepEveryOtherSectionAndKey) {
  WriteAll(UserColourFile(lighting.paths, 0), "; layouts\r\n[MODENAME]\r\n0=Ocean\r\n1=Fire\r\n[Mode0]\r\n7=9,9,9,0\r\n");
  ASSERT_TRUE(WriteLayoutKey(lighting.paths, 0, 0, 8, MakeColour(10, 20, 30), 1));
  lighting.CustomColours.tool = 1;
  lighting.CustomColours.base_colour = MakeColour(1, 2, 3);
  lighting.CustomColours.painting_colour = MakeColour(4, 5, 6);
  ASSERT_TRUE(WriteLayoutTools(lighting, 0, 0));
  ASSERT_TRUE(WriteLayoutName(lighting.paths, 0, 1, u"Lava"));
  ASSERT_TRUE(WriteSelectedLayout(lighting.paths, 0, 1));

  EXPECT_EQ(ReadLayoutName(lighting.paths, 0, 0), u"Ocean");
  EXPECT_EQ(ReadLayoutName(lighting.paths, 0, 1), u"Lava");
  EXPECT_EQ(ReadSelectedLayout(lighting.paths, 0), 1);
  EXPECT_EQ(ReadLayoutKey(lighting.paths, 0, 0, 7).colour, MakeColour(9, 9, 9));
  EXPECT_EQ(ReadLayoutKey(lighting.paths, 0, 0, 8).colour, MakeColour(10, 20, 30));
  lighting.CustomColours = {};
  ReadLayoutTools(lighting, 0, 0);
  EXPECT_EQ(lighting.CustomColours.tool, 1);
  EXPECT_EQ(lighting.CustomColours.tool_copy, 1);
  EXPECT_EQ(lighting.CustomColours.base_colour_copy, MakeColour(1, 2, 3));
  EXPECT_EQ(lighting.CustomColours.painting_colour, MakeColour(4, 5, 6));
  EXPECT_NE(ReadAll(UserColourFile(lighting.paths, 0)).find("; layouts"), std::string::npos);
}

TEST_F(UserColourFiles, TemplateCopyIsByteForByteAndAMissingTemplateKeepsTheUserFile) {
  std::string bytes = "\xFF\xFE";
  for (char c : std::string("[MODENAME]\r\n0=x\r\n")) bytes += std::string{c, '\0'};
  bytes += std::string("\x00\x01\xFE", 3);  // odd trailing bytes copy as they are
  WriteAll(ColourTemplateFile(lighting.paths), bytes);
  ASSERT_TRUE(CopyColourTemplate(lighting.paths, 2));
  EXPECT_EQ(ReadAll(UserColourFile(lighting.paths, 2)), bytes);

  fs::remove(ColourTemplateFile(lighting.paths));
  WriteAll(UserColourFile(lighting.paths, 1), "[MODENAME]\r\n0=Mine\r\n");
  EXPECT_FALSE(CopyColourTemplate(lighting.paths, 1));
  EXPECT_EQ(ReadAll(UserColourFile(lighting.paths, 1)), "[MODENAME]\r\n0=Mine\r\n");
}

std::string Utf16Le(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

TEST(UserColourFileDamage, TellsTextFromWhatCannotBeAColourFile) {
  struct Case {
    const char* what;
    std::string bytes;
    const char* damage;  // empty: whole
  } cases[] = {
      {"UTF-8 file", "[MODENAME]\r\n0=Mine\r\n; note\r\n\r\n[Mode0]\r\n3=1,2,3,1\r\n", ""},
      {"UTF-16LE file", Utf16Le("[MODENAME]\r\n0=Mine\r\n"), ""},
      {"UTF-8 with BOM and a name in UTF-8", "\xEF\xBB\xBF[MODENAME]\n0=Bl\xC3\xA4u\n", ""},
      {"empty", "", "it is empty"},
      {"zeros, as a power loss leaves", std::string(4096, '\0'), "line 1 is not text"},
      {"bad UTF-8", "[MODENAME]\n0=\xFF\xFE\n", "line 2 is not text"},
      {"overlong UTF-8", "[MODENAME]\n0=\xC0\xAF\n", "line 2 is not text"},
      {"lone UTF-16 surrogate", Utf16Le("[A]\n") + std::string("\x00\xD8", 2), "line 2 is not text"},
      {"words before any section", "hello=1\n[MODENAME]\n", "line 1 is neither a section nor a value"},
      {"a line without '='", "[MODENAME]\n0=a\nrandom words\n", "line 3 is neither a section nor a value"},
      {"no section at all", "; only a comment\n", "it holds no section"},
      {"over-long", "[A]\n" + std::string(kMaxUserColourFileBytes, 'x'), "it is larger than 1 MiB"},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> damage = UserColourFileDamage(c.bytes);
    EXPECT_EQ(damage.value_or(""), c.damage) << c.what;
  }
}

TEST_F(UserColourFiles, ADamagedFileIsKeptAsideAndRestoredFromTheTemplate) {
  const std::string templ = Utf16Le("[MODENAME]\r\n3=Ocean\r\n[PRESENTMODE]\r\nmode=0\r\n");
  WriteAll(ColourTemplateFile(lighting.paths), templ);
  const fs::path file = UserColourFile(lighting.paths, 0);
  using State = ColourFileCheck::State;

  // Missing: created from the template, nothing to tell.
  ColourFileCheck check = PrepareUserColourFile(lighting.paths, 0, true);
  EXPECT_EQ(check.state, State::kCreated);
  EXPECT_EQ(check.Message(), "");
  EXPECT_EQ(ReadLayoutName(lighting.paths, 0, 3), u"Ocean");

  // Garbage, then an empty file: each kept beside it under its own name,
  // the layouts read the template's names, never "0".
  const std::string garbage("\x13\x37\x00\xFF garbage", 12);
  WriteAll(file, garbage);
  check = PrepareUserColourFile(lighting.paths, 0, false);
  EXPECT_EQ(check.state, State::kRestored);
  EXPECT_EQ(check.kept, fs::path(file.string() + ".damaged"));
  EXPECT_EQ(ReadAll(check.kept), garbage);
  EXPECT_EQ(ReadAll(file), templ);
  EXPECT_NE(check.Message().find(file.string()), std::string::npos) << check.Message();
  EXPECT_NE(check.Message().find(check.kept.string()), std::string::npos) << check.Message();
  EXPECT_EQ(ReadLayoutName(lighting.paths, 0, 3), u"Ocean");

  WriteAll(file, "");
  check = PrepareUserColourFile(lighting.paths, 0, false);
  EXPECT_EQ(check.state, State::kRestored);
  EXPECT_EQ(check.kept, fs::path(file.string() + ".damaged.1"));
  EXPECT_EQ(ReadAll(file.string() + ".damaged"), garbage);

  // A whole file is used as it is.
  WriteAll(file, "[MODENAME]\r\n3=Mine\r\n");
  check = PrepareUserColourFile(lighting.paths, 0, true);
  EXPECT_EQ(check.state, State::kReady);
  EXPECT_EQ(ReadAll(file), "[MODENAME]\r\n3=Mine\r\n");
}

TEST_F(UserColourFiles, AFileThatCannotBeUsedIsLeftAsItIsAndNamed) {
  WriteAll(ColourTemplateFile(lighting.paths), "[MODENAME]\r\n0=T\r\n");
  using State = ColourFileCheck::State;
  // A folder under the file's name cannot be read, and nothing replaces it.
  const fs::path file = UserColourFile(lighting.paths, 1);
  fs::create_directories(file);
  ColourFileCheck check = PrepareUserColourFile(lighting.paths, 1, false);
  EXPECT_EQ(check.state, State::kUnreadable);
  EXPECT_FALSE(check.Usable());
  EXPECT_EQ(check.Message(), "cannot read the colour file " + file.string() + ": it is a folder");
  EXPECT_TRUE(fs::is_directory(file));

  // A folder that takes no new files: checked before anything is written.
  if (::geteuid() != 0) {
    const fs::path locked = dir_ / "locked";
    fs::create_directories(locked);
    WriteAll(locked / "UserDengColor_0.userd", "[MODENAME]\r\n0=Mine\r\n");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    LightingPaths paths = lighting.paths;
    paths.user_colour_prefix = (locked / "UserDengColor_").string();
    check = PrepareUserColourFile(paths, 0, true);
    EXPECT_EQ(check.state, State::kNotWritable);
    EXPECT_NE(check.Message().find("Permission denied"), std::string::npos) << check.Message();
    EXPECT_EQ(PrepareUserColourFile(paths, 0, false).state, State::kReady);
    fs::permissions(locked, fs::perms::owner_all);
  }
}

TEST_F(UserColourFiles, KilledSavesLeaveTheOldOrTheNewFile) {
  if (testing_support::KillDuringSaves::kSkipped) GTEST_SKIP() << testing_support::KillDuringSaves::kSkipReason;
  // The shipped template: ten layouts, about 36 KB, every save rewrites it.
  const fs::path shipped = fs::path(KEYLOOM_SOURCE_DIR) / "res" / "Skins" / "UserDengColor_3.userd";
  WriteAll(ColourTemplateFile(lighting.paths), ReadAll(shipped));
  ASSERT_TRUE(CopyColourTemplate(lighting.paths, 0));
  testing_support::KillDuringSaves run;
  run.file = UserColourFile(lighting.paths, 0);
  run.save = [&](int v) {
    return WriteLayoutKey(lighting.paths, 0, 4, 30, v ? MakeColour(1, 2, 3) : MakeColour(200, 100, 50), v);
  };
  const testing_support::KillDuringSaves::Figures f = run.Run(200);
  EXPECT_EQ(f.kills, 200);
  EXPECT_EQ(f.mixed, 0);
  EXPECT_LE(f.most_temporaries, 1);
  EXPECT_EQ(f.temporaries_left, 0);
}

TEST_F(UserColourFiles, PanelOpenFlagIsExactlyOne) {
  struct Case { const char* value; bool open; } cases[] = {
      {"1", true}, {"0", false}, {"2", false}, {"", false}, {"01", true}, {"x", false}};
  for (const Case& c : cases) {
    WriteAll(dir_ / "wskb.ini", std::string("[KEYCOLOR]\nDengCheck=") + c.value + "\n");
    EXPECT_EQ(ReadLightingPanelOpenFlag(lighting.paths), c.open) << c.value;
  }
  fs::remove(dir_ / "wskb.ini");
  EXPECT_FALSE(ReadLightingPanelOpenFlag(lighting.paths));
  ASSERT_TRUE(SetLightingPanelOpen(lighting, true));
  EXPECT_TRUE(ReadLightingPanelOpenFlag(lighting.paths));
  EXPECT_TRUE(lighting.CurrentLighting.panel_open);
  ASSERT_TRUE(SetLightingPanelOpen(lighting, false));
  EXPECT_FALSE(ReadLightingPanelOpenFlag(lighting.paths));
}

TEST(ParseIntList, ReadsLikeTheFileFormats) {
  struct Case { std::u16string text; int parsed; int v0, v1, v2, v3; } cases[] = {
      {u"255,0,0,1", 4, 255, 0, 0, 1},
      {u" 1 , 2,3", 3, 1, 2, 3, -7},
      {u"12,abc,4", 1, 12, -7, -7, -7},
      {u"", 0, -7, -7, -7, -7},
      {u"-5,+6", 2, -5, 6, -7, -7},
      {u"99999999999999999999", 1, INT32_MAX, -7, -7, -7},
  };
  for (const Case& c : cases) {
    int v[4] = {-7, -7, -7, -7};
    EXPECT_EQ(ParseIntList(c.text, v, 4), c.parsed);
    EXPECT_EQ(v[0], c.v0);
    EXPECT_EQ(v[1], c.v1);
    EXPECT_EQ(v[2], c.v2);
    EXPECT_EQ(v[3], c.v3);
  }
}

TEST(KeyColourTable, PositionsAddressThreeBytesPerKeyPerSlot) {
  LightingSession lighting;
  EXPECT_EQ(KeyColourAt(lighting.KeyColours, 2, 125), 0u) << "a new session's table is all zero";
  SetKeyColourAt(lighting.KeyColours, 2, 125, MakeColour(7, 8, 9));
  EXPECT_EQ(lighting.KeyColours[2 * 512 + 375], 7);
  EXPECT_EQ(lighting.KeyColours[2 * 512 + 377], 9);
  EXPECT_EQ(KeyColourAt(lighting.KeyColours, 2, 125), MakeColour(7, 8, 9));
  SetKeyColourAt(lighting.KeyColours, 3, 0, 1);    // out of range: ignored
  SetKeyColourAt(lighting.KeyColours, 0, 171, 1);  // would cross into the next slot: ignored
  EXPECT_EQ(KeyColourAt(lighting.KeyColours, 1, 0), 0u);
}

}  // namespace
}  // namespace keyloom::lighting

namespace keyloom::lighting {
namespace {

// The shipped template: ten named layouts, each with the tools, both colours
// and an entry for every key of the on-screen keyboard (105 keys and Fn).
TEST(ShippedColourTemplate, HoldsTenCompleteLayouts) {
  const std::filesystem::path skins = std::filesystem::path(KEYLOOM_SOURCE_DIR) / "res" / "Skins";
  const LightingPaths paths{"", "", (skins / "UserDengColor_").string()};
  const std::filesystem::path file = ColourTemplateFile(paths);
  ASSERT_TRUE(std::filesystem::exists(file));
  for (int n = 0; n < kLayoutCount; ++n) {
    const std::u16string section = u"Mode" + std::u16string(1, char16_t(u'0' + n));
    EXPECT_NE(ini::GetString(file, u"MODENAME", std::u16string(1, char16_t(u'0' + n)), u"0"), u"0") << n;
    const auto keys = ini::KeyNames(file, section);
    EXPECT_EQ(keys.size(), 3u + 106u) << n;
    for (const char16_t* k : {u"tool", u"jcolor", u"color", u"110"})
      EXPECT_NE(ini::GetString(file, section, k, u"missing"), u"missing") << n;
  }
}

}  // namespace
}  // namespace keyloom::lighting
