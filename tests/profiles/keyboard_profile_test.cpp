// The active slot, reading the keyboard into the working profile, and the
// connection handler, against the in-process virtual keyboard.
#include <gtest/gtest.h>

#include <thread>

#include "device/device_fixture.h"
#include "device/device_monitors.h"
#include "device/report_transaction.h"
#include "keys/keyboard_writer.h"
#include "keys/macro_image.h"
#include "platform/startup_flags.h"
#include "profiles/active_slot.h"
#include "profiles/connection_handler.h"
#include "profiles/data_folder.h"
#include "profiles/keyboard_profile.h"
#include "profiles/profile_file.h"
#include "profiles/profile_observer.h"
#include "profiles/profile_test_support.h"
#include "keyboard_fixture.h"

namespace keyloom::profiles {
namespace {

using testing::KeyboardProfiles;
using testing::Message;
using testing::kA;
using testing::kB;
using testing::kZ;

namespace fs = std::filesystem;
using keys::KeyKind;
using testing::ReadBytes;
using testing::WriteBytes;

TEST_F(KeyboardProfiles, ActiveSlotIsReadOnceAndKeptInStepWithTheWriter) {
  struct Case {
    std::uint8_t keyboardByte;
    int expected;
  };
  for (const Case& c : {Case{0, 0}, Case{2, 2}, Case{1, 1}, Case{3, -1}, Case{7, -1}, Case{255, -1}}) {
    SCOPED_TRACE(c.keyboardByte);
    ForgetActiveSlot();
    keys::WriteState().currentProfile.store(0);
    SetKeyboardSlot(c.keyboardByte);
    EXPECT_EQ(GetActiveSlot(), c.expected);
    EXPECT_EQ(CachedActiveSlot(), c.expected);
    EXPECT_EQ(keys::WriteState().currentProfile.load(), c.expected < 0 ? 0 : c.expected);
    EXPECT_EQ(PanelTable(), c.expected < 0 ? 0 : c.expected);
  }
  // Once known, the cache answers without asking the keyboard.
  SetKeyboardSlot(1);
  ASSERT_EQ(GetActiveSlot(), 1);
  model->SwitchSlotOnKeyboard(2);
  EXPECT_EQ(GetActiveSlot(), 1);
  ForgetActiveSlot();
  EXPECT_EQ(GetActiveSlot(), 2);
  ForgetActiveSlot();
  Disconnect();
  EXPECT_EQ(GetActiveSlot(), -1);
}

TEST_F(KeyboardProfiles, SelectingASlotOnTheKeyboard) {
  ASSERT_EQ(GetActiveSlot(), 0);
  SelectSlotOnKeyboard(2);
  EXPECT_EQ(model->ActiveSlot(), 2);
  EXPECT_EQ(CachedActiveSlot(), 2);
  EXPECT_EQ(keys::WriteState().currentProfile.load(), 2);
  const auto configBefore = model->Snapshot().config;
  for (int notASlot : {-1, 3, 200}) {
    SelectSlotOnKeyboard(notASlot);
    EXPECT_EQ(model->Snapshot().config, configBefore) << notASlot;
    EXPECT_EQ(CachedActiveSlot(), 2) << notASlot;
  }
  // A refused read changes nothing; a failed write forgets the slot.
  model->ArmFault(emulator::FaultKind::kRefuse, 1);
  SelectSlotOnKeyboard(1);
  EXPECT_EQ(model->ActiveSlot(), 2);
  EXPECT_EQ(CachedActiveSlot(), 2);
  model->ArmFault(emulator::FaultKind::kDisconnectAfter, 1);
  SelectSlotOnKeyboard(1);
  EXPECT_EQ(CachedActiveSlot(), -1);
}

TEST_F(KeyboardProfiles, ReloadBringsKeyMapsAndMacrosIntoTheEditingStore) {
  PutAssignmentsOnKeyboard();
  SetKeyboardSlot(2);
  ASSERT_EQ(ReloadFromKeyboard(), 1);
  EXPECT_TRUE(LastReloadReadKeyboard());
  keys::KeyMacroStore& store = keys::EditingStore();
  const keys::KeyAssignment a = store.block.tables[0][keys::KeyCodeToSlot(kA)];
  EXPECT_EQ(a.kind, static_cast<std::uint16_t>(KeyKind::SingleKey));
  EXPECT_EQ(a.value, kB);
  const keys::KeyAssignment z = store.block.tables[2][keys::KeyCodeToSlot(kZ)];
  EXPECT_EQ(z.kind, static_cast<std::uint16_t>(KeyKind::Macro));
  EXPECT_EQ(z.value, 1u);
  ASSERT_EQ(store.macros.size(), 1u);
  EXPECT_EQ(store.macros[0].name, u"Hello");
  EXPECT_EQ(store.macros[0].actions.size(), 2u);
  EXPECT_EQ(store.block.tables[1][keys::KeyCodeToSlot(kA)].kind, 0);
  EXPECT_EQ(store.block.tables[0][256].param, 0x0301) << "G-key identifiers from the table reset";
  // The working file is the keyboard's profile: no pool, no trailer.
  const std::vector<std::uint8_t> file = ReadBytes(WorkingProfilePath());
  EXPECT_EQ(file.size(), 0x8040u + 0x7F00u);
  EXPECT_EQ(ValidateProfileFile(WorkingProfilePath()), 1);
  EXPECT_EQ(observer.panels, std::vector<int>{2});
  EXPECT_EQ(observer.unapplied, std::vector<bool>{false});
  EXPECT_TRUE(fs::exists(env_->DataDir() / "UserDengColor_0.userd"));
  EXPECT_TRUE(fs::exists(env_->DataDir() / "UserDengColor_2.userd"));
}

TEST_F(KeyboardProfiles, ReloadEmptiesTheStoreWhenTheKeyboardCannotBeRead) {
  struct Case {
    const char* name;
    std::function<void(KeyboardProfiles&)> arrange;
  };
  const std::vector<Case> cases = {
      {"no keyboard", [](KeyboardProfiles& t) { t.Disconnect(); }},
      {"slot number 3 reported", [](KeyboardProfiles& t) { t.SetKeyboardSlot(3); }},
      {"a key map read refused",
       [](KeyboardProfiles& t) {
         ASSERT_EQ(GetActiveSlot(), 0);
         t.model->ArmFault(emulator::FaultKind::kRefuse, 1);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Connect();
    ForgetActiveSlot();
    keys::KeyMacroStore& store = keys::EditingStore();
    store.block.tables[1][5].kind = 2;
    store.macros.resize(2);
    store.SetString(7, u"text");
    EnsureDataFolder();
    const std::vector<std::uint8_t> previous = {1, 2, 3};
    WriteBytes(WorkingProfilePath(), previous);
    c.arrange(*this);
    observer.panels.clear();
    ASSERT_EQ(ReloadFromKeyboard(), 1);
    EXPECT_FALSE(LastReloadReadKeyboard());
    EXPECT_EQ(store.block.ToBytes(), EmptyProfileBlock(0).ToBytes());
    EXPECT_TRUE(store.macros.empty());
    EXPECT_EQ(store.totalStringSize, 0u);
    EXPECT_EQ(store.strings[7].size, 0u);
    EXPECT_EQ(ReadBytes(WorkingProfilePath()), previous) << "a failed read keeps the old working file";
    EXPECT_EQ(observer.panels, std::vector<int>{0});
  }
}

TEST_F(KeyboardProfiles, ReadProfileFromKeyboardKeepsOnlyWhatDecodes) {
  // A macro area that claims macros but does not decode gives a profile
  // without macros, and keeps the key maps.
  PutAssignmentsOnKeyboard();
  emulator::Memories m = model->Snapshot();
  m.macroArea[4] = 0xFF;  // macro count 255
  ASSERT_TRUE(model->Restore(m));
  const fs::path path = env_->Base() / "read.kyl";
  ASSERT_EQ(ReadProfileFromKeyboard(path), 1);
  const std::vector<std::uint8_t> file = ReadBytes(path);
  ASSERT_EQ(file.size(), 0x8040u);
  keys::KeyTableBlock block;
  ASSERT_TRUE(block.ReadFrom(file));
  EXPECT_EQ(block.tables[0][keys::KeyCodeToSlot(kA)].value, kB);
  for (const keys::KeyAssignment& r : block.tables[3]) ASSERT_EQ(r, keys::KeyAssignment{});
}

// What the main window receives and the tray shows across a run of
// connection reports, the first of which opens the window once.
TEST_F(KeyboardProfiles, ConnectionHandlerSequence) {
  const std::uint32_t prof = host::Tag("PROF"), open = host::Tag("OPEN");
  window.onSend = [](std::uint32_t m) {
    if (m == kReloadProfileMessage) ReloadFromKeyboard();
  };
  PutAssignmentsOnKeyboard();
  device::SetDefaultKeyMap(std::vector<std::uint8_t>(512, 0));
  keys::WriteState().macroCapacity.store(0);
  SetKeyboardSlot(2);

  struct Step {
    int state;
    std::vector<Message> messages;
    std::vector<std::pair<int, int>> tray;
  };
  const std::vector<Step> steps = {
      {0, {}, {}},  // the start state repeated
      {1, {{true, kReloadProfileMessage, prof}, {false, kOpenMessage, open}}, {{0, 141}}},
      {1, {}, {}},
      {0, {{true, kCloseEditorsMessage, 0}}, {{0, 128}}},
      {0, {}, {}},
      {1, {{true, kReloadProfileMessage, prof}}, {{0, 141}}},  // no second 'OPEN'
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(i);
    window.messages.clear();
    tray.clear();
    const int hides = observer.hides;
    HandleConnectionChange(steps[i].state);
    EXPECT_EQ(window.messages, steps[i].messages);
    EXPECT_EQ(tray, steps[i].tray);
    EXPECT_EQ(observer.hides - hides, steps[i].messages.size() == 1 && steps[i].state == 0 ? 1 : 0);
    EXPECT_EQ(LastConnectionState(), steps[i].state);
    EXPECT_FALSE(ConnectionHandlerBusy());
    if (steps[i].state == 1 && !steps[i].messages.empty()) {
      EXPECT_EQ(device::DefaultKeyMap(), device::BuiltInDefaultKeyMap()) << "the keyboard's factory map";
      EXPECT_EQ(keys::WriteState().macroCapacity.load(), model->MacroCapacity());
      EXPECT_EQ(CachedActiveSlot(), 2);
      EXPECT_EQ(keys::EditingStore().macros.size(), 1u) << "'PROF' reloaded the profile";
    }
    if (steps[i].state == 0 && !steps[i].messages.empty()) EXPECT_EQ(CachedActiveSlot(), -1);
  }
  EXPECT_EQ(platform::StartupShowHandled.load(), 1);
  EXPECT_TRUE(prompter.requests.empty());
}

TEST_F(KeyboardProfiles, ConnectionHandlerFirstShowRuleAndFailedReads) {
  // The start-up decision already taken: no 'OPEN'.
  platform::StartupShowHandled.store(1);
  HandleConnectionChange(1);
  EXPECT_EQ(window.messages, (std::vector<Message>{{true, kReloadProfileMessage, host::Tag("PROF")}}));

  // A refused default-map read keeps the old map and says so; the capacity
  // is still read.
  HandleConnectionChange(0);
  platform::StartupShowHandled.store(0);
  const std::vector<std::uint8_t> marker(512, 0x5A);
  device::SetDefaultKeyMap(marker);
  keys::WriteState().macroCapacity.store(0);
  model->ArmFault(emulator::FaultKind::kRefuse, 1);
  window.messages.clear();
  HandleConnectionChange(1);
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].text, u"No default key map");
  const device::KeyMap now = device::DefaultKeyMap();
  EXPECT_TRUE(std::equal(now.begin(), now.end(), marker.begin()));
  EXPECT_EQ(keys::WriteState().macroCapacity.load(), model->MacroCapacity());
  EXPECT_EQ(window.messages.size(), 2u);
}

TEST_F(KeyboardProfiles, ConnectionHandlerReadsTheWiderModelsWholeMap) {
  Connect(0x320F, 0x505B);
  device::SetDefaultKeyMap(std::vector<std::uint8_t>(512, 0));
  HandleConnectionChange(1);
  const device::KeyMap map = device::DefaultKeyMap();
  const emulator::Memories m = model->Snapshot();
  EXPECT_TRUE(std::equal(map.begin(), map.end(), m.factoryMap.begin()));
}

TEST_F(KeyboardProfiles, ConnectionHandlerRunsFromTheMonitorThread) {
  InstallConnectionHandler();
  std::atomic<bool> sawBusy{false};
  window.onSend = [&](std::uint32_t) { sawBusy = ConnectionHandlerBusy(); };
  std::thread monitor([] { HandleConnectionChange(1); });
  monitor.join();
  EXPECT_TRUE(sawBusy.load());
  EXPECT_FALSE(ConnectionHandlerBusy());
  device::SetConnectionHandler(nullptr);
}

}  // namespace
}  // namespace keyloom::profiles
