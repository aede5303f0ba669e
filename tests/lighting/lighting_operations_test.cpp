// Lighting operations against the in-process virtual keyboard: what lands in
// the keyboard's lighting and key colour areas, and what is read back.
#include "lighting/lighting_operations.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "device/device_fixture.h"
#include "lighting/user_colour_files.h"
#include "platform/ini.h"

namespace keyloom::lighting {
namespace {

namespace fs = std::filesystem;

struct RecordingObserver : LightingPanelObserver {
  std::vector<std::vector<std::u16string>> refills;
  int marks = 0, closes = 0, switches = 0, switch_answer = 1;
  void RefillLayoutSelector(const std::vector<std::u16string>& names) override { refills.push_back(names); }
  void SetBaseColourMark(int, int, int) override { ++marks; }
  void CloseLightingPanel() override { ++closes; }
  void ColourFileProblem(const std::string& message) override { problems.push_back(message); }
  std::vector<std::string> problems;
  int SwitchProfileSlot(int) override {
    ++switches;
    return switch_answer;
  }
};

class LightingOperations : public device::testing::ConnectedKeyboard {
 protected:
  void SetUp() override {
    ConnectedKeyboard::SetUp();
    dir_ = fs::temp_directory_path() / ("keyloom-lops-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
    lighting.paths = LightingPaths({dir_ / "wskb.ini", (dir_ / "UserDengColor_").string(),
                      (fs::path(KEYLOOM_SOURCE_DIR) / "res" / "Skins" / "UserDengColor_").string()});
    lighting.panel = &observer_;
  }
  void TearDown() override {
    fs::remove_all(dir_);
    ConnectedKeyboard::TearDown();
  }
  emulator::Memories Mem() { return model->Snapshot(); }
  // A keyboard reporting its own effect list.
  void ConnectWithEffects(std::vector<std::uint8_t> effects) {
    Disconnect();
    emulator::FirmwareOptions o = device::testing::ModelOptions(0x0C45, 0x7672);
    o.effects = std::move(effects);
    model = std::make_unique<emulator::FirmwareModel>(o);
    keyboard = device::InProcessKeyboard::Create(*model);
    link.UseBackend(keyboard);
    ASSERT_TRUE(link.CommandDevice().Open("inproc:1", true, true, true, false));
    link.SetModelSizes(0x0C45, 0x7672);
    link.DeviceConnected.store(1);
  }

  fs::path dir_;
  ini::ScopedEmptyCache ini_cache_;
  RecordingObserver observer_;
  LightingSession lighting;
};

TEST_F(LightingOperations, FieldWritesLandAtSlotTimes42PlusOffset) {
  const emulator::Memories before = Mem();
  lighting.LightingSlot = 2;
  const std::uint64_t writes_before = keyboard->WriteCount();
  EXPECT_EQ(WriteLightingField(link, lighting, field::kBrightness, {3}), device::CommandResult::kOk);
  EXPECT_EQ(keyboard->WriteCount() - writes_before, 3u);  // 0x01, 0x06, 0x02
  EXPECT_EQ(WriteLightingField(link, lighting, field::kMainColour, {0x11, 0x22, 0x33}), device::CommandResult::kOk);
  const emulator::Memories after = Mem();
  EXPECT_EQ(after.lighting[2 * 42 + 1], 3);
  EXPECT_EQ(after.lighting[2 * 42 + 5], 0x11);
  EXPECT_EQ(after.lighting[2 * 42 + 7], 0x33);
  for (std::size_t i = 0; i < 2 * 42; ++i) EXPECT_EQ(after.lighting[i], before.lighting[i]) << i;
}

TEST_F(LightingOperations, DefaultLightingWritesTheFirst35Bytes) {
  lighting.LightingSlot = 1;
  EXPECT_EQ(WriteDefaultLighting(link, lighting), device::CommandResult::kOk);
  const emulator::Memories m = Mem();
  const auto bytes = DefaultLightingBytes();
  for (int i = 0; i < 35; ++i) EXPECT_EQ(m.lighting[42 + i], bytes[i]) << i;
}

TEST_F(LightingOperations, KeyColoursGoToTheSlotAndAllChunksReachTheKeyboard) {
  lighting.LightingSlot = 1;
  EXPECT_EQ(WriteKeyColour(link, lighting, 64, MakeColour(1, 2, 3)), device::CommandResult::kOk);
  EXPECT_EQ(Mem().keyColours[512 + 64 * 3 + 2], 3);
  EXPECT_EQ(KeyColourAt(lighting.KeyColours, 1, 64), MakeColour(1, 2, 3));

  for (int k = 0; k < 144; ++k) SetKeyColourAt(lighting.KeyColours, 1, k, MakeColour(std::uint8_t(k), 9, 200));
  const std::uint64_t writes_before = keyboard->WriteCount();
  EXPECT_EQ(SendKeyColours(link, lighting), device::CommandResult::kOk);
  // Begin, 8 chunks of 54 bytes (126 keys), end.
  EXPECT_EQ(keyboard->WriteCount() - writes_before, 10u);
  const emulator::Memories m = Mem();
  for (int k = 0; k < 144; ++k) EXPECT_EQ(m.keyColours[512 + k * 3], k) << k;  // last chunk at 378
  EXPECT_NE(m.keyColours[0], 1);  // slot 0 untouched unless it happened to match
}

TEST_F(LightingOperations, ReadDecodesTheEditedSlotAndClearsStaleEffects) {
  ConnectWithEffects({1, 0, 3, 20});
  emulator::Memories m = Mem();
  m.lighting[42 + 0] = 9;
  m.lighting[42 + 15] = 7;
  m.lighting[42 + 19] = 5;
  ASSERT_TRUE(model->Restore(m));
  lighting.ConfigBlockCopy[40] = 17;  // stale entry from an earlier keyboard
  lighting.LightingSlot = 1;
  lighting.CurrentLighting.trigger_single = true;

  ASSERT_EQ(ReadLightingFromKeyboard(link, lighting, false), 1);
  const auto list = lighting.EffectList();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[2].effect, 20);
  EXPECT_EQ(lighting.CurrentLighting.effect, 9);
  EXPECT_EQ(lighting.CurrentLighting.report_rate, 3);
  EXPECT_TRUE(lighting.CurrentLighting.trigger_single);  // trigger byte 5 keeps it
  EXPECT_EQ(lighting.LightingRecords[1][0], 9);
  EXPECT_TRUE(observer_.refills.empty());

  // With layouts and effect 20 supported: the selector is refilled and the
  // selected layout is loaded and sent.
  ASSERT_EQ(ReadLightingFromKeyboard(link, lighting, true), 1);
  ASSERT_EQ(observer_.refills.size(), 1u);
  EXPECT_EQ(observer_.refills[0][3], u"0");  // no user file yet: default names
  EXPECT_EQ(observer_.marks, 106);
  EXPECT_EQ(Mem().keyColours[512 + 64 * 3], 255);  // default red keys sent
}

TEST_F(LightingOperations, ReadingLayoutsRestoresADamagedFileAndSendsNothingFromOneOutOfReach) {
  ConnectWithEffects({1, 20});
  lighting.LightingSlot = 0;
  const fs::path file = UserColourFile(lighting.paths, 0);
  { std::ofstream(file, std::ios::binary) << std::string(300, '\0'); }
  ASSERT_EQ(ReadLightingFromKeyboard(link, lighting, true), 1);
  ASSERT_EQ(observer_.problems.size(), 1u);
  EXPECT_NE(observer_.problems[0].find(file.string() + ".damaged"), std::string::npos) << observer_.problems[0];
  ASSERT_EQ(observer_.refills.size(), 1u);
  EXPECT_EQ(observer_.refills[0][3], u"Ocean");  // the template's names, not "0"

  // A colour file the program cannot read: the keyboard keeps its colours.
  fs::remove(file);
  fs::create_directories(file);
  emulator::Memories m = Mem();
  m.keyColours[64 * 3] = 7;
  ASSERT_TRUE(model->Restore(m));
  ASSERT_EQ(ReadLightingFromKeyboard(link, lighting, true), 1);
  ASSERT_EQ(observer_.problems.size(), 2u);
  EXPECT_EQ(observer_.problems[1], "cannot read the colour file " + file.string() + ": it is a folder");
  EXPECT_EQ(observer_.refills.size(), 1u);
  EXPECT_EQ(Mem().keyColours[64 * 3], 7);
}

TEST_F(LightingOperations, AFailedConfigurationReadChangesNothing) {
  lighting.LightingSlot = 0;
  lighting.CurrentLighting.effect = 42;
  lighting.ConfigBlockCopy[12] = 5;
  keyboard->Unplug();
  EXPECT_EQ(ReadLightingFromKeyboard(link, lighting, true), -1);
  EXPECT_EQ(lighting.CurrentLighting.effect, 42);
  EXPECT_EQ(lighting.LightingRecords[0][0], 0);
  EXPECT_TRUE(observer_.refills.empty());
}

TEST_F(LightingOperations, PanelFlagFollowsTheFileWithLayoutsAndOnlyOpensWithout) {
  std::ofstream(dir_ / "wskb.ini") << "[KEYCOLOR]\nDengCheck=0\n";
  lighting.CurrentLighting.panel_open = true;
  ASSERT_EQ(ReadLightingFromKeyboard(link, lighting, false), 1);
  EXPECT_TRUE(lighting.CurrentLighting.panel_open);
  ASSERT_EQ(ReadLightingFromKeyboard(link, lighting, true), 1);
  EXPECT_FALSE(lighting.CurrentLighting.panel_open);
}

TEST_F(LightingOperations, ResetCopiesTheTemplateForEverySlotAndLoadsItsLayout) {
  ConnectWithEffects({20});
  emulator::Memories m = Mem();
  m.config[10] = 2;
  ASSERT_TRUE(model->Restore(m));
  lighting.CurrentLighting.panel_open = true;
  ResetUserColourFiles(link, lighting);
  EXPECT_EQ(observer_.closes, 1);
  EXPECT_EQ(observer_.switches, 1);
  EXPECT_EQ(lighting.LightingSlot, 2);
  ASSERT_EQ(observer_.refills.size(), 3u);
  EXPECT_EQ(observer_.refills[1][0], u"Rainbow");
  for (int s = 0; s < 3; ++s) EXPECT_TRUE(fs::exists(UserColourFile(lighting.paths, s))) << s;
  // Layout 0 of the template is a rainbow: Esc (position 0) is red, not sent.
  EXPECT_EQ(KeyColourAt(lighting.KeyColours, 0, 0), MakeColour(255, 0, 0));

  // A declined slot switch stops before any file is touched.
  fs::remove_all(dir_);
  fs::create_directories(dir_);
  observer_.switch_answer = 0;
  ResetUserColourFiles(link, lighting);
  EXPECT_FALSE(fs::exists(UserColourFile(lighting.paths, 0)));
}

}  // namespace
}  // namespace keyloom::lighting
