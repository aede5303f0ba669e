#include "lighting/user_colour_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

#include "lighting/lighting_session.h"
#include "platform/ini.h"

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
