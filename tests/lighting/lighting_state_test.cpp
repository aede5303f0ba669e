#include "lighting/lighting_state.h"

#include <gtest/gtest.h>

namespace keyloom::lighting {
namespace {

ConfigBlock ConfigWithEffects(std::initializer_list<std::uint8_t> effects) {
  ConfigBlock c{};
  int i = kEffectListOffset;
  for (std::uint8_t e : effects) c[i++] = e;
  return c;
}

TEST(EffectList, EmptyPlacesAreSkippedAndIndicesFollowTheNonZeroBytes) {
  const ConfigBlock c = ConfigWithEffects({1, 0, 3, 20});
  const auto list = BuildEffectList(c);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].effect, 1);
  EXPECT_EQ(list[1].effect, 3);
  EXPECT_EQ(list[2].effect, 20);
  EXPECT_EQ(list[2].index, 2);
  EXPECT_TRUE(SupportsCustomColours(c));
  EXPECT_FALSE(SupportsCustomColours(ConfigWithEffects({1, 2, 3})));

  EXPECT_EQ(EffectListIndexOf(c, 3), 1);
  EXPECT_EQ(EffectListIndexOf(c, 2), -1);
}

TEST(EffectList, TheLastByteOfTheBlockCounts) {
  ConfigBlock c{};
  c[kConfigBytes - 1] = 20;
  EXPECT_TRUE(SupportsCustomColours(c));
  ASSERT_EQ(BuildEffectList(c).size(), 1u);
}

TEST(DecodeLightingRecord, FieldsAndColours) {
  LightingRecord r{};
  r[0] = 9; r[1] = 4; r[2] = 1; r[3] = 255; r[4] = 2;
  r[5] = 0x10; r[6] = 0x20; r[7] = 0x30;
  r[15] = 2; r[17] = 3;
  r[25] = 1; r[26] = 2; r[27] = 3; r[28] = 1;
  r[30] = 4; r[31] = 5; r[32] = 6; r[33] = 0;
  LightingState s;
  DecodeLightingRecord(r, s);
  EXPECT_EQ(s.effect, 9);
  EXPECT_EQ(s.brightness, 4);
  EXPECT_EQ(s.speed, 1);
  EXPECT_EQ(s.direction, 255);
  EXPECT_TRUE(s.colourful);
  EXPECT_EQ(s.main_colour, 0x302010u);
  EXPECT_EQ(s.colour_button1, s.main_colour);
  EXPECT_EQ(s.colour_button2, s.main_colour);
  EXPECT_EQ(s.report_rate, 2);
  EXPECT_EQ(s.effect17_colour, 3);
  EXPECT_EQ(s.second_colour, 0x030201u);
  EXPECT_TRUE(s.second_colourful);
  EXPECT_EQ(s.third_colour, 0x060504u);
  EXPECT_FALSE(s.third_colourful);
}

TEST(DecodeLightingRecord, ReportRateAboveThreeReadsAsThree) {
  LightingRecord r{};
  r[field::kReportRate] = 7;
  LightingState s;
  DecodeLightingRecord(r, s);
  EXPECT_EQ(s.report_rate, 3);
}

TEST(DecodeLightingRecord, KeepPreviousRules) {
  struct Case {
    int effect, option_byte, trigger_byte;
    bool option_before, single_before, grid_before;
    bool option_after, single_after, grid_after;
  } cases[] = {
      {7, 1, 0, false, false, true, true, true, false},    // effect 7 decodes option; trigger 0
      {7, 0, 1, true, true, false, false, false, true},    // option cleared; trigger 1
      {7, 2, 5, true, true, true, true, true, true},       // out-of-range bytes keep both
      {8, 1, 5, false, false, true, false, false, true},   // not effect 7: option kept
  };
  for (const Case& c : cases) {
    LightingRecord r{};
    r[field::kEffect] = std::uint8_t(c.effect);
    r[field::kEffect7Option] = std::uint8_t(c.option_byte);
    r[field::kTrigger] = std::uint8_t(c.trigger_byte);
    LightingState s;
    s.effect7_option = c.option_before;
    s.trigger_single = c.single_before;
    s.trigger_grid = c.grid_before;
    s.panel_open = true;
    DecodeLightingRecord(r, s);
    SCOPED_TRACE(c.effect * 100 + c.option_byte * 10 + c.trigger_byte);
    EXPECT_EQ(s.effect7_option, c.option_after);
    EXPECT_EQ(s.trigger_single, c.single_after);
    EXPECT_EQ(s.trigger_grid, c.grid_after);
    EXPECT_TRUE(s.panel_open);  // the panel flag does not come from the keyboard
  }
}

TEST(DefaultLightingBytes, AreTheDocumentedRecordHead) {
  const auto b = DefaultLightingBytes();
  const std::uint8_t head[] = {1, 5, 2, 0, 255, 255, 255, 255};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(b[i], head[i]) << i;
  for (int i = 8; i < 35; ++i) EXPECT_EQ(b[i], 0) << i;
}

}  // namespace
}  // namespace keyloom::lighting
