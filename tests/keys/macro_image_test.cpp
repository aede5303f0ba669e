#include "keys/macro_image.h"

#include <gtest/gtest.h>

#include <vector>

#include "keys/macro_lookups.h"
#include "test_texts.h"

namespace keyloom::keys {
namespace {

constexpr KeyCode kA = 0x1E;
constexpr KeyCode kCtrl = 0x1D;
constexpr KeyCode kVolumeUp = 0x130;

MacroRecord Macro(std::u16string name, std::uint8_t cycles, std::uint16_t id, std::vector<MacroAction> actions) {
  MacroRecord m;
  m.name = std::move(name);
  m.cycles = cycles;
  m.id = id;
  m.actions = std::move(actions);
  return m;
}

TEST(MacroImage, LaysOutHeaderOffsetsBlocksAndNames) {
  const std::vector<MacroRecord> macros = {
      Macro(u"ab", 3, 5, {{120, kCtrl, kPress}, {7, kA, kRelease}}),
      Macro(u"", 1, 9, {{0, 0x15E, kPress}}),  // a system key
  };
  const auto image = BuildMacroImage(macros, true);
  const std::vector<std::uint8_t> expected = {
      0xAA, 0x55, 44, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // header
      20, 0, 36, 0,                                            // offsets
      2, 0, 3, 2,                                              // block 0: 2 actions, 3 cycles, name of 2
      12, 0xA0, 1, 0x01,                                       // 12 units, keyboard, press, Ctrl bit
      0, 0x20, 2, 0x04,                                        // 0 units, keyboard, release, usage of A
      'a', 0, 'b', 0,                                          //
      1, 0, 1, 0,                                              // block 1
  };
  ASSERT_GE(image.size(), expected.size());
  EXPECT_EQ(std::vector<std::uint8_t>(image.begin(), image.begin() + expected.size()), expected);
  ASSERT_EQ(image.size(), 44u);
  EXPECT_EQ(image[41] & 0xF0, 0xC0) << "system control, press";
  EXPECT_EQ(MacroImageSizes(macros).full, image.size());
  EXPECT_EQ(BuildMacroImage(macros, false).size(), MacroImageSizes(macros).compact);
}

TEST(MacroImage, NoMacrosIsTheBareHeader) {
  const auto image = BuildMacroImage({}, true);
  EXPECT_EQ(image, (std::vector<std::uint8_t>{0xAA, 0x55, 16, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(MacroImage, LongPausesAreHeldAtTheLargestUnitInsteadOfWrapping) {
  struct Case {
    std::uint32_t delay;
    std::uint16_t units;
  } const cases[] = {{0, 0}, {9, 0}, {19, 1}, {40000, 4000}, {40949, 4094}, {40950, 4095}, {41000, 4095},
                     {409600, 4095}, {0xFFFFFFFF, 4095}};
  for (const Case& c : cases) {
    const MacroAction action{c.delay, kA, kRelease};
    EXPECT_EQ(MacroControlWord(action, 2), 0x2000 | c.units) << c.delay;
  }
  MacroRecord recorded = Macro(u"long", 1, 1, {{41000, kA, kPress}, {5, kA, kRelease}});
  const std::vector<MacroRecord> macros = {recorded};
  const auto image = BuildMacroImage(macros, false);
  EXPECT_EQ(recorded.actions[0].delay, 41000u);  // the stored macro keeps its measured pause
  std::vector<MacroRecord> decoded;
  ASSERT_TRUE(DecodeMacroImage(image, decoded));
  EXPECT_EQ(decoded[0].actions[0].delay, 40950u);
}

TEST(MacroImage, DecodingGivesBackTheMacros) {
  testing::TestTexts texts;
  const std::vector<MacroRecord> macros = {
      Macro(u"Combo", 3, 17, {{100, kCtrl, kPress}, {50, kA, kPress}, {0, kA, kRelease}, {2000, kCtrl, kRelease}}),
      Macro(u"Volume", 255, 4, {{10, kVolumeUp, kPress}, {10, kVolumeUp, kRelease}}),
      Macro(u"Empty", 1, 2, {}),
  };
  for (bool withNames : {true, false}) {
    std::vector<MacroRecord> decoded;
    ASSERT_TRUE(DecodeMacroImage(BuildMacroImage(macros, withNames), decoded));
    ASSERT_EQ(decoded.size(), macros.size());
    for (std::size_t i = 0; i < macros.size(); ++i) {
      EXPECT_EQ(decoded[i].actions, macros[i].actions) << i;
      EXPECT_EQ(decoded[i].cycles, macros[i].cycles);
      EXPECT_EQ(decoded[i].id, i + 1);
      EXPECT_EQ(decoded[i].isNew, 0);
      EXPECT_EQ(decoded[i].name, withNames ? macros[i].name : NewMacroName(static_cast<int>(i + 1)));
    }
  }
}

TEST(MacroImage, DecodingIsBoundedOnDamagedImages) {
  const std::vector<MacroRecord> macros = {Macro(u"xy", 2, 1, {{10, kA, kPress}, {10, kA, kRelease}}),
                                           Macro(u"z", 1, 2, {{10, kA, kPress}})};
  const auto image = BuildMacroImage(macros, true);
  std::vector<MacroRecord> decoded;
  for (std::size_t n = 0; n < image.size(); ++n) {
    decoded.assign(1, MacroRecord{});
    EXPECT_FALSE(DecodeMacroImage(std::span(image).first(n), decoded)) << n;
    EXPECT_TRUE(decoded.empty());
  }
  auto bad = image;
  bad[0] = 0;
  EXPECT_FALSE(DecodeMacroImage(bad, decoded));
  bad = image;
  bad[16] = 0xFF;  // first block's offset past the end
  EXPECT_FALSE(DecodeMacroImage(bad, decoded));
  bad = image;
  bad[4] = 101;  // more macros than the keyboard holds
  EXPECT_FALSE(DecodeMacroImage(bad, decoded));
}

}  // namespace
}  // namespace keyloom::keys
