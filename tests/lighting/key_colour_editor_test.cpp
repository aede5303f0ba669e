// The key colour editor: painting with the two tools, the base colour that
// marked keys follow, layouts, and what reaches the keyboard and the file.
#include "lighting/key_colour_editor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "device/device_fixture.h"
#include "platform/ini.h"

namespace keyloom::lighting {
namespace {

namespace fs = std::filesystem;

constexpr int kKeyA = 64;  // both are keys of the on-screen keyboard
constexpr int kKeyB = 65;

class KeyColourEditorTest : public device::testing::ConnectedKeyboard {
 protected:
  void SetUp() override {
    ConnectedKeyboard::SetUp();
    dir_ = fs::temp_directory_path() / ("keyloom-kce-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
    lighting.paths = LightingPaths({dir_ / "wskb.ini", (dir_ / "UserDengColor_").string(),
                                    (fs::path(KEYLOOM_SOURCE_DIR) / "res" / "Skins" / "UserDengColor_").string()});
    lighting.LightingSlot = 1;
    lighting.CurrentLighting.effect = 20;
    ASSERT_TRUE(editor.PrepareColourFile(false).Usable());
    ASSERT_TRUE(editor.LoadSelectedLayout(false).Ok());
  }
  void TearDown() override {
    fs::remove_all(dir_);
    ConnectedKeyboard::TearDown();
  }
  Colour OnKeyboard(int position) const {
    const auto m = model->Snapshot();
    const std::size_t at = 512 + std::size_t(position) * 3;
    return MakeColour(m.keyColours[at], m.keyColours[at + 1], m.keyColours[at + 2]);
  }
  LayoutKey InFile(int position) const {
    return ReadLayoutKey(lighting.paths, 1, editor.SelectedLayout(), position);
  }

  fs::path dir_;
  ini::ScopedEmptyCache ini_cache_;
  LightingSession lighting;
  KeyColourEditor editor{link, lighting};
};

TEST_F(KeyColourEditorTest, ANewBaseColourRecoloursKeysPaintedWithTool1Only) {
  const Colour red = MakeColour(200, 0, 0), blue = MakeColour(0, 0, 200), green = MakeColour(0, 150, 0);
  ASSERT_TRUE(editor.ChooseTool(1));
  lighting.CustomColours.base_colour = red;
  ASSERT_TRUE(editor.PaintKey(kKeyA).Ok());
  ASSERT_TRUE(editor.ChooseTool(0));
  ASSERT_TRUE(editor.ChoosePaintingColour(blue));
  ASSERT_TRUE(editor.PaintKey(kKeyB).Ok());
  EXPECT_TRUE(editor.FollowsBaseColour(1, kKeyA));
  EXPECT_FALSE(editor.FollowsBaseColour(1, kKeyB));
  EXPECT_EQ(OnKeyboard(kKeyA), red);
  EXPECT_EQ(OnKeyboard(kKeyB), blue);

  ASSERT_EQ(editor.ChooseBaseColour(green).outcome, KeyColourChange::Outcome::kDone);
  EXPECT_EQ(editor.KeyColour(kKeyA), green);
  EXPECT_EQ(OnKeyboard(kKeyA), green);
  EXPECT_EQ(InFile(kKeyA).colour, green);
  EXPECT_EQ(InFile(kKeyA).base_flag, 1);
  EXPECT_EQ(OnKeyboard(kKeyB), blue);
  EXPECT_EQ(InFile(kKeyB).colour, blue);
  EXPECT_EQ(InFile(kKeyB).base_flag, 0);
}

TEST_F(KeyColourEditorTest, TheBaseColourAlreadySetWritesAndSendsNothing) {
  const std::uint64_t before = keyboard->WriteCount();
  const KeyColourChange change = editor.ChooseBaseColour(lighting.CustomColours.base_colour);
  EXPECT_EQ(change.outcome, KeyColourChange::Outcome::kUnchanged);
  EXPECT_EQ(keyboard->WriteCount(), before);
}

TEST_F(KeyColourEditorTest, PaintingIsIgnoredForOtherEffectsAndTheMacroKeys) {
  const std::uint64_t before = keyboard->WriteCount();
  EXPECT_EQ(editor.PaintKey(kMacroKeyPosition).outcome, KeyColourChange::Outcome::kIgnored);
  lighting.CurrentLighting.effect = 5;
  EXPECT_EQ(editor.PaintKey(kKeyA).outcome, KeyColourChange::Outcome::kIgnored);
  EXPECT_EQ(editor.SetKeyColour(kKeyA, MakeColour(1, 2, 3)).outcome, KeyColourChange::Outcome::kIgnored);
  EXPECT_EQ(keyboard->WriteCount(), before);
  // The Fn key paints.
  lighting.CurrentLighting.effect = 20;
  EXPECT_TRUE(editor.SetKeyColour(kFnKeyPosition, MakeColour(1, 2, 3)).Ok());
  EXPECT_EQ(OnKeyboard(kFnKeyPosition), MakeColour(1, 2, 3));
}

TEST_F(KeyColourEditorTest, ARefusedKeyColourIsReportedAndLeavesTheFileAlone) {
  const LayoutKey before = InFile(kKeyA);
  model->ArmFault(emulator::FaultKind::kRefuse, 1);
  const KeyColourChange change = editor.SetKeyColour(kKeyA, MakeColour(9, 9, 9));
  EXPECT_EQ(change.outcome, KeyColourChange::Outcome::kKeyboardFailed);
  EXPECT_NE(change.result, device::CommandResult::kOk);
  EXPECT_EQ(InFile(kKeyA).colour, before.colour);
  EXPECT_EQ(InFile(kKeyA).base_flag, before.base_flag);
}

TEST_F(KeyColourEditorTest, SelectingALayoutSendsItsColoursAndRenamingKeeps260Characters) {
  ASSERT_TRUE(editor.SetKeyColour(kKeyA, MakeColour(7, 7, 7)).Ok());  // in layout 0
  ASSERT_TRUE(editor.SelectLayout(3).Ok());
  EXPECT_EQ(editor.SelectedLayout(), 3);
  EXPECT_EQ(OnKeyboard(kKeyA), InFile(kKeyA).colour);
  EXPECT_EQ(editor.FollowsBaseColour(1, kKeyA), InFile(kKeyA).base_flag != 0);

  // The file keeps 260 characters (reading a name back gives fewer).
  ASSERT_TRUE(editor.RenameLayout(std::u16string(300, u'x')));
  std::ifstream file(UserColourFile(lighting.paths, 1), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::erase(bytes, '\0');  // whatever the file's text encoding
  std::size_t longest = 0, run = 0;
  for (char c : bytes) longest = std::max(longest, run = c == 'x' ? run + 1 : 0);
  EXPECT_EQ(longest, 260u);
  EXPECT_EQ(editor.SelectLayout(10).outcome, KeyColourChange::Outcome::kIgnored);
}

TEST_F(KeyColourEditorTest, MarksFollowFromTheColoursInEverySlot) {
  lighting.CustomColours.base_colour_copy = MakeColour(1, 1, 1);
  SetKeyColourAt(lighting.KeyColours, 0, kKeyA, MakeColour(1, 1, 1));
  SetKeyColourAt(lighting.KeyColours, 2, kKeyA, MakeColour(2, 2, 2));
  editor.UpdateBaseMarks();
  EXPECT_TRUE(editor.FollowsBaseColour(0, kKeyA));
  EXPECT_FALSE(editor.FollowsBaseColour(2, kKeyA));
}

}  // namespace
}  // namespace keyloom::lighting
