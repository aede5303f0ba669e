// The lighting editor: which controls each effect shows, what each change
// writes to the in-process keyboard, and how a refused write is reported.
#include "lighting/lighting_editor.h"

#include <gtest/gtest.h>

#include <set>

#include "device/device_fixture.h"

namespace keyloom::lighting {
namespace {

// ---- the effect table ----

struct VisibilityCase {
  int effect;
  // brightness/selector, speed, direction, general, reactive, effect 17, layouts
  PanelVisibility open;
};

PanelVisibility Shown(bool known, bool speed, bool direction, bool general, bool reactive, bool e17, bool layouts) {
  return {known, known, speed, direction, general, reactive, e17, layouts};
}

TEST(LightingEffectTable, EachEffectShowsItsOwnControlsAndAClosedPanelShowsNone) {
  //                           known  speed  dir    gen    react  e17    layouts
  const VisibilityCase cases[] = {
      {0, Shown(false, false, false, false, false, false, false)},
      {1, Shown(true, true, true, true, false, false, false)},
      {2, Shown(true, true, true, true, false, false, false)},
      {3, Shown(true, true, true, true, false, false, false)},
      {4, Shown(true, true, false, false, false, false, false)},
      {5, Shown(true, true, false, true, false, false, false)},
      {6, Shown(true, false, false, false, true, false, false)},
      {7, Shown(true, true, false, true, false, false, false)},
      {8, Shown(true, true, false, true, false, false, false)},
      {9, Shown(true, true, false, true, false, false, false)},
      {10, Shown(true, true, false, true, false, false, false)},
      {11, Shown(true, true, false, false, false, false, false)},
      {12, Shown(true, true, true, false, false, false, false)},
      {13, Shown(true, true, false, true, false, false, false)},
      {14, Shown(true, true, false, true, false, false, false)},
      {15, Shown(true, true, false, true, false, false, false)},
      {16, Shown(true, false, false, false, true, false, false)},
      {17, Shown(true, false, false, false, false, true, false)},
      {18, Shown(true, false, true, false, false, false, false)},
      {19, Shown(false, false, false, false, false, false, false)},
      {20, Shown(true, false, false, false, false, false, true)},
      {21, Shown(false, false, false, false, false, false, false)},
      {255, Shown(false, false, false, false, false, false, false)},
  };
  for (const VisibilityCase& c : cases) {
    EXPECT_EQ(VisibleControls(c.effect, true), c.open) << "effect " << c.effect;
    EXPECT_TRUE(VisibleControls(c.effect, false) == PanelVisibility{}) << "effect " << c.effect << " closed";
  }
}

TEST(LightingEffectTable, DirectionControlsTakeTheLayoutKeysAndPicturesOfTheEffect) {
  struct Case {
    int effect;
    int direction;
    std::string_view label_key, first, second;
  };
  const Case cases[] = {
      {1, 255, "CONTROL_BLFXStatic2", "leftdown1", "rightup1"},
      {2, 0, "CONTROL_BLFXStatic2", "leftup1", "rightdown1"},
      {3, 255, "CONTROL_BLFXStatic2", "rightdown", "leftup"},
      {3, 0, "CONTROL_BLFXStatic2", "rightup", "leftdown"},
      {12, 255, "CONTROL_BLFXStatic3", "updown", "downup"},
      {12, 0, "CONTROL_BLFXStatic3", "upup", "downdown"},
      {18, 255, "CONTROL_BLFXStatic", "kuosandown", "julong"},
      {18, 0, "CONTROL_BLFXStatic", "kuosan", "julongdown"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DirectionLayoutKeys(c.effect)[0], c.label_key) << c.effect;
    const auto pictures = DirectionPictures(c.effect, c.direction);
    EXPECT_EQ(pictures[0], c.first) << c.effect << "/" << c.direction;
    EXPECT_EQ(pictures[1], c.second) << c.effect << "/" << c.direction;
  }
  EXPECT_EQ(DirectionLayoutKeys(12)[2], "CONTROL_BLFXRStaPic3");
}

TEST(LightingEffectTable, RgbBoxesShowAtMost255) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"300", "255"}, {"256", "255"}, {"255", "255"}, {"12", "12"}, {"0", "0"},
      {"", ""},       {"abc", "abc"}, {"99999999999999999999", "255"},
  };
  for (const auto& [typed, shown] : cases) EXPECT_EQ(RgbBoxText(typed), shown) << typed;
}

TEST(LightingEffectTable, Effect17ColoursOutsideTheirRangeShowAsRed) {
  EXPECT_EQ(ShownEffect17Colour(3), 3);
  EXPECT_EQ(ShownEffect17Colour(4), 0);
  EXPECT_EQ(ShownEffect17Colour(-1), 0);
}

// ---- changes against the keyboard ----

class LightingEditorTest : public device::testing::ConnectedKeyboard {
 protected:
  void SetUp() override {
    ConnectedKeyboard::SetUp();
    lighting.LightingSlot = 1;
  }
  std::uint8_t Byte(int offset) const { return model->Snapshot().lighting[std::size_t(42 + offset)]; }
  std::uint64_t Writes() const { return keyboard->WriteCount(); }

  LightingSession lighting;
  LightingEditor editor{link, lighting};
};

std::vector<int> Offsets(const LightingChange& change) {
  std::vector<int> offsets;
  for (const FieldWrite& w : change.writes) offsets.push_back(w.offset);
  return offsets;
}

TEST_F(LightingEditorTest, SelectingAnEffectWritesItsNumberAndForSomeTheColourfulByte) {
  const std::set<int> with_colourful = {1, 2, 3, 5, 7, 8, 9, 13, 14, 15};
  lighting.CurrentLighting.colourful = true;
  for (int e = 1; e <= 20; ++e) {
    if (e == 19) continue;
    const LightingChange change = editor.SelectEffect(e);
    ASSERT_TRUE(change.Ok()) << e;
    const std::vector<int> expected =
        with_colourful.count(e) ? std::vector<int>{field::kEffect, field::kColourful} : std::vector<int>{field::kEffect};
    EXPECT_EQ(Offsets(change), expected) << "effect " << e;
    EXPECT_EQ(Byte(0), e);
    EXPECT_EQ(editor.State().effect, e);
  }
  EXPECT_EQ(Byte(field::kColourful), 1);
}

TEST_F(LightingEditorTest, AnEffectWithoutARowIsKeptButWritesNothing) {
  ASSERT_TRUE(editor.SelectEffect(4).Ok());
  for (int e : {0, 19, 21, 200}) {
    const std::uint64_t before = Writes();
    const LightingChange change = editor.SelectEffect(e);
    EXPECT_TRUE(change.Ok());
    EXPECT_FALSE(change.Wrote());
    EXPECT_EQ(Writes(), before) << e;
    EXPECT_EQ(editor.State().effect, e);
    EXPECT_TRUE(editor.Visibility() == PanelVisibility{});
  }
  EXPECT_EQ(Byte(0), 4);
}

TEST_F(LightingEditorTest, SlidersWriteOnlyANewValueAndSpeedIsFourMinusThePosition) {
  lighting.CurrentLighting.speed = 4;  // slider position 0
  LightingChange change = editor.SetSpeedPosition(4);
  ASSERT_TRUE(change.Ok());
  EXPECT_EQ(change.writes, (std::vector<FieldWrite>{{field::kSpeed, {0}}}));
  EXPECT_EQ(Byte(field::kSpeed), 0);
  EXPECT_EQ(editor.State().speed, 0);

  ASSERT_TRUE(editor.SetBrightness(3).Ok());
  EXPECT_EQ(Byte(field::kBrightness), 3);
  const std::uint64_t before = Writes();
  EXPECT_FALSE(editor.SetBrightness(3).Wrote());
  EXPECT_FALSE(editor.SetSpeedPosition(4).Wrote());
  EXPECT_EQ(Writes(), before);
}

TEST_F(LightingEditorTest, AGeneralColourClearsColourfulBeforeTheColourBytes) {
  lighting.CurrentLighting.colourful = true;
  lighting.CurrentLighting.effect7_option = true;
  ASSERT_TRUE(editor.SetColourful(true).Ok());
  const Colour c = MakeColour(0x12, 0x34, 0x56);
  const LightingChange change = editor.ChooseColour(c, ColourGroup::kGeneral);
  ASSERT_TRUE(change.Ok());
  EXPECT_EQ(change.writes, (std::vector<FieldWrite>{{field::kColourful, {0}}, {field::kMainColour, {0x12, 0x34, 0x56}}}));
  EXPECT_EQ(Byte(field::kColourful), 0);
  EXPECT_EQ(Byte(5), 0x12);
  EXPECT_EQ(Byte(7), 0x56);
  const LightingState& s = editor.State();
  EXPECT_FALSE(s.colourful);  // both switches show it
  EXPECT_TRUE(s.effect7_option);
  EXPECT_EQ(s.main_colour, c);
  EXPECT_EQ(s.colour_button1, c);
  EXPECT_EQ(s.colour_button2, c);

  ASSERT_TRUE(editor.ChooseColour(c, ColourGroup::kReactive).Ok());
  EXPECT_FALSE(editor.State().effect7_option);
}

TEST_F(LightingEditorTest, ColourfulSwitchesInvertAndTheReactiveOneAlsoTheEffect7Option) {
  ASSERT_TRUE(editor.ToggleColourful(ColourGroup::kGeneral).Ok());
  EXPECT_TRUE(editor.State().colourful);
  EXPECT_FALSE(editor.State().effect7_option);
  EXPECT_EQ(Byte(field::kColourful), 1);
  ASSERT_TRUE(editor.ToggleColourful(ColourGroup::kReactive).Ok());
  EXPECT_FALSE(editor.State().colourful);
  EXPECT_TRUE(editor.State().effect7_option);
  EXPECT_EQ(Byte(field::kColourful), 0);
}

TEST_F(LightingEditorTest, DirectionEffect17AndReportRateWriteTheirByte) {
  ASSERT_TRUE(editor.SetDirection(255).Ok());
  ASSERT_TRUE(editor.SetEffect17Colour(2).Ok());
  ASSERT_TRUE(editor.SetReportRate(3).Ok());
  EXPECT_EQ(Byte(field::kDirection), 255);
  EXPECT_EQ(Byte(field::kEffect17Colour), 2);
  EXPECT_EQ(Byte(field::kReportRate), 3);
  EXPECT_EQ(model->Snapshot().lighting[field::kDirection], 0) << "slot 0 is not the edited slot";
  // The direction is written again even when it is already set.
  EXPECT_TRUE(editor.SetDirection(255).Wrote());
}

TEST_F(LightingEditorTest, ValuesOutsideTheirRangeAreRefusedWithoutAWrite) {
  const std::uint64_t before = Writes();
  EXPECT_FALSE(editor.SetBrightness(6).Ok());
  EXPECT_FALSE(editor.SetSpeedPosition(5).Ok());
  EXPECT_FALSE(editor.SetDirection(1).Ok());
  EXPECT_FALSE(editor.SetEffect17Colour(4).Ok());
  EXPECT_FALSE(editor.SetReportRate(4).Ok());
  EXPECT_FALSE(editor.SelectEffect(256).Ok());
  EXPECT_EQ(Writes(), before);
}

TEST_F(LightingEditorTest, ARefusedWriteIsReportedAndKeepsTheValueSoARetryWrites) {
  model->ArmFault(emulator::FaultKind::kRefuse, 1);
  const LightingChange refused = editor.SetBrightness(2);
  EXPECT_FALSE(refused.Ok());
  EXPECT_NE(refused.result, device::CommandResult::kOk);
  EXPECT_EQ(editor.State().brightness, 0);
  const LightingChange retry = editor.SetBrightness(2);
  EXPECT_TRUE(retry.Ok());
  EXPECT_TRUE(retry.Wrote());
  EXPECT_EQ(Byte(field::kBrightness), 2);

  link.DeviceConnected.store(0);
  link.CommandDevice().Close();
  EXPECT_FALSE(editor.SetColourful(true).Ok());
  EXPECT_FALSE(editor.State().colourful);
}

TEST_F(LightingEditorTest, TheDefaultRecordIsWrittenAndBecomesTheValues) {
  lighting.CurrentLighting.effect = 9;
  ASSERT_TRUE(editor.WriteDefault().Ok());
  const auto bytes = DefaultLightingBytes();
  for (int i = 0; i < 35; ++i) EXPECT_EQ(Byte(i), bytes[std::size_t(i)]) << i;
  EXPECT_EQ(editor.State().effect, 1);
  EXPECT_EQ(editor.State().brightness, 5);
  EXPECT_TRUE(editor.State().colourful);
}

}  // namespace
}  // namespace keyloom::lighting
