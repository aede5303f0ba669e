// The active slot, reading the keyboard into the working profile, and the
// connection handler, against the in-process virtual keyboard.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <string>
#include <thread>

#include "device/device_fixture.h"
#include "device/device_monitors.h"
#include "device/report_transaction.h"
#include "keys/keyboard_writer.h"
#include "keys/macro_image.h"
#include "profiles/active_slot.h"
#include "profiles/connection_handler.h"
#include "profiles/data_folder.h"
#include "profiles/keyboard_profile.h"
#include "profiles/profile_file.h"
#include "profiles/profile_test_support.h"
#include "keyboard_fixture.h"

namespace keyloom::profiles {
namespace {

using testing::KeyboardProfiles;
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
    WriteState().currentProfile.store(0);
    SetKeyboardSlot(c.keyboardByte);
    EXPECT_EQ(GetActiveSlot(), c.expected);
    EXPECT_EQ(CachedActiveSlot(), c.expected);
    EXPECT_EQ(WriteState().currentProfile.load(), c.expected < 0 ? 0 : c.expected);
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
  EXPECT_EQ(WriteState().currentProfile.load(), 2);
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
  session.windows.MainWindowHasUnappliedChanges = true;
  ASSERT_EQ(ReloadFromKeyboard(), 1);
  EXPECT_TRUE(LastReloadReadKeyboard());
  keys::KeyMacroStore& store = EditingStore();
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
  EXPECT_EQ(sink.panels, std::vector<int>{2});
  EXPECT_FALSE(session.windows.MainWindowHasUnappliedChanges.load());
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
         ASSERT_EQ(t.GetActiveSlot(), 0);
         t.model->ArmFault(emulator::FaultKind::kRefuse, 1);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Connect();
    ForgetActiveSlot();
    keys::KeyMacroStore& store = EditingStore();
    store.block.tables[1][5].kind = 2;
    store.macros.resize(2);
    store.SetString(7, u"text");
    EnsureDataFolder();
    const std::vector<std::uint8_t> previous = {1, 2, 3};
    WriteBytes(WorkingProfilePath(), previous);
    c.arrange(*this);
    sink.panels.clear();
    ASSERT_EQ(ReloadFromKeyboard(), 1);
    EXPECT_FALSE(LastReloadReadKeyboard());
    EXPECT_EQ(store.block.ToBytes(), EmptyProfileBlock(0).ToBytes());
    EXPECT_TRUE(store.macros.empty());
    EXPECT_EQ(store.totalStringSize, 0u);
    EXPECT_EQ(store.strings[7].size, 0u);
    EXPECT_EQ(ReadBytes(WorkingProfilePath()), previous) << "a failed read keeps the old working file";
    EXPECT_EQ(sink.panels, std::vector<int>{0});
  }
}

TEST_F(KeyboardProfiles, ReadProfileFromKeyboardKeepsOnlyWhatDecodes) {
  // The keyboard holds one macro, played by Z in slot 2. What its memories
  // become decides what is read: a macro area that claims macros but does
  // not decode gives a profile without macros and keeps the key maps; a key
  // naming a macro the area does not hold reads as disabled (the keyboard
  // plays nothing for it), so that no later write hands it the first macro.
  struct Case {
    const char* name;
    std::function<void(emulator::Memories&)> change;
    std::size_t fileBytes;
    std::uint16_t zKind;
    std::uint32_t zValue;
  };
  const auto playsFourthMacro = [](emulator::Memories& m) {
    const std::uint8_t playFirst[] = {0x05, 0x01, 0x00};
    auto at = std::search(m.layers.begin(), m.layers.end(), std::begin(playFirst), std::end(playFirst));
    ASSERT_NE(at, m.layers.end());
    at[2] = 3;
  };
  const std::vector<Case> cases = {
      {"as written", [](emulator::Memories&) {}, 0x8040u + 0x7F00u, std::uint16_t(KeyKind::Macro), 1},
      {"macro area claims 255 macros", [](emulator::Memories& m) { m.macroArea[4] = 0xFF; }, 0x8040u,
       std::uint16_t(KeyKind::Disabled), 0},
      {"Z names the fourth macro", playsFourthMacro, 0x8040u + 0x7F00u, std::uint16_t(KeyKind::Disabled), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PutAssignmentsOnKeyboard();
    emulator::Memories m = model->Snapshot();
    c.change(m);
    ASSERT_TRUE(model->Restore(m));
    const fs::path path = env_->Base() / "read.kyl";
    ASSERT_EQ(ReadProfileFromKeyboard(path), 1);
    const std::vector<std::uint8_t> file = ReadBytes(path);
    ASSERT_EQ(file.size(), c.fileBytes);
    keys::KeyTableBlock block;
    ASSERT_TRUE(block.ReadFrom(file));
    EXPECT_EQ(block.tables[0][keys::KeyCodeToSlot(kA)].value, kB);
    const keys::KeyAssignment z = block.tables[2][keys::KeyCodeToSlot(kZ)];
    EXPECT_EQ(z.kind, c.zKind);
    EXPECT_EQ(z.value, c.zValue);
    for (const keys::KeyAssignment& r : block.tables[3]) ASSERT_EQ(r, keys::KeyAssignment{});
  }
}

// What the windows hear across a run of connection reports, the first of
// which brings the window up once; as the main window does, a connection
// reloads the profile from the keyboard.
TEST_F(KeyboardProfiles, ConnectionHandlerSequence) {
  sink.onConnectionChanged = [this](bool connected) {
    if (connected) ReloadFromKeyboard();
  };
  PutAssignmentsOnKeyboard();
  link.SetDefaultKeyMap(std::vector<std::uint8_t>(512, 0));
  WriteState().macroCapacity.store(0);
  SetKeyboardSlot(2);

  struct Step {
    int state;
    std::vector<std::string> events;
  };
  const std::string connected = "connected 0c45:7672";
  const std::vector<Step> steps = {
      {0, {}},  // the start state repeated
      {1, {connected, "show"}},
      {1, {}},
      {0, {"close editors", "disconnected"}},
      {0, {}},
      {1, {connected}},  // no second show
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(i);
    sink.events.clear();
    HandleConnectionChange(steps[i].state);
    EXPECT_EQ(sink.events, steps[i].events);
    EXPECT_EQ(LastConnectionState(), steps[i].state);
    EXPECT_FALSE(ConnectionHandlerBusy());
    if (steps[i].state == 1 && !steps[i].events.empty()) {
      EXPECT_EQ(link.DefaultKeyMap(), device::BuiltInDefaultKeyMap()) << "the keyboard's factory map";
      EXPECT_EQ(WriteState().macroCapacity.load(), model->MacroCapacity());
      EXPECT_EQ(CachedActiveSlot(), 2);
      EXPECT_EQ(EditingStore().macros.size(), 1u) << "the connection reloaded the profile";
    }
    if (steps[i].state == 0 && !steps[i].events.empty()) {
      EXPECT_EQ(CachedActiveSlot(), -1);
    }
  }
  EXPECT_EQ(session.windows.StartupShowHandled.load(), 1);
  EXPECT_TRUE(prompter.requests.empty());
}

TEST_F(KeyboardProfiles, ConnectionHandlerFirstShowRuleAndFailedReads) {
  // The start-up decision already taken: no show.
  session.windows.StartupShowHandled.store(1);
  HandleConnectionChange(1);
  EXPECT_EQ(sink.events, std::vector<std::string>{"connected 0c45:7672"});

  // A refused default-map read keeps the old map and says so; the capacity
  // is still read.
  HandleConnectionChange(0);
  session.windows.StartupShowHandled.store(0);
  const std::vector<std::uint8_t> marker(512, 0x5A);
  link.SetDefaultKeyMap(marker);
  WriteState().macroCapacity.store(0);
  model->ArmFault(emulator::FaultKind::kRefuse, 1);
  sink.events.clear();
  HandleConnectionChange(1);
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].text, u"No default key map");
  const device::KeyMap now = link.DefaultKeyMap();
  EXPECT_TRUE(std::equal(now.begin(), now.end(), marker.begin()));
  EXPECT_EQ(WriteState().macroCapacity.load(), model->MacroCapacity());
  EXPECT_EQ(sink.events.size(), 2u);
}

TEST_F(KeyboardProfiles, ConnectionHandlerReadsTheWiderModelsWholeMap) {
  Connect(0x320F, 0x505B);
  link.SetDefaultKeyMap(std::vector<std::uint8_t>(512, 0));
  HandleConnectionChange(1);
  const device::KeyMap map = link.DefaultKeyMap();
  const emulator::Memories m = model->Snapshot();
  EXPECT_TRUE(std::equal(map.begin(), map.end(), m.factoryMap.begin()));
  EXPECT_EQ(sink.events.front(), "connected 320f:505b");
}

TEST_F(KeyboardProfiles, ConnectionHandlerRunsFromTheMonitorThread) {
  const device::ConnectionReports reports = ConnectionReportsFor(session);
  std::atomic<bool> sawBusy{false};
  sink.onConnectionChanged = [&](bool) { sawBusy = ConnectionHandlerBusy(); };
  std::thread monitor([&] { reports.changed(1); });
  monitor.join();
  EXPECT_TRUE(sawBusy.load());
  EXPECT_FALSE(ConnectionHandlerBusy());
  EXPECT_EQ(LastConnectionState(), 1);
}

// The connection monitor's first cycle takes the start-up decision when it
// finds no keyboard, and a monitor started after the decision waits first.
TEST_F(KeyboardProfiles, FirstCycleWithoutAKeyboardTakesTheStartUpDecision) {
  struct Case {
    int startHandled;
    int firstCycle;
    int handledAfter;
  };
  for (const Case& c : {Case{0, 0, 1}, Case{0, 1, 0}, Case{1, 0, 1}, Case{1, 1, 1}}) {
    SCOPED_TRACE(::testing::PrintToString(std::vector<int>{c.startHandled, c.firstCycle}));
    session.windows.StartupShowHandled.store(c.startHandled);
    const device::ConnectionReports reports = ConnectionReportsFor(session);
    EXPECT_EQ(reports.delayed_start, c.startHandled == 1);
    reports.first_cycle_done(c.firstCycle);
    EXPECT_EQ(session.windows.StartupShowHandled.load(), c.handledAfter);
  }
}

// Every notification comes once the stores' locks are free again: a sink
// that tries both store locks from another thread at each notification
// finds them free, across the operations that notify.
TEST_F(KeyboardProfiles, NoNotificationWhileAStoreLockIsHeld) {
  struct LockCheckingSink : testing::RecordingSink {
    keys::KeyStores* stores = nullptr;
    std::vector<std::string> heldAt;
    void Check(const std::string& what) {
      auto free = [](std::recursive_mutex& m) {
        return std::async(std::launch::async, [&m] {
                 const bool got = m.try_lock();
                 if (got) m.unlock();
                 return got;
               }).get();
      };
      if (!free(stores->EditingStore.Mutex()) || !free(stores->DeviceStore.Mutex())) heldAt.push_back(what);
    }
    void ConnectionChanged(bool c, std::uint16_t v, std::uint16_t p) override {
      Check("connection");
      testing::RecordingSink::ConnectionChanged(c, v, p);
    }
    void KeyMapsChanged(int t) override {
      Check("key maps");
      testing::RecordingSink::KeyMapsChanged(t);
    }
    void ActiveSlotChanged(int s) override {
      Check("active slot");
      testing::RecordingSink::ActiveSlotChanged(s);
    }
    void ReportRateChanged(int i) override {
      Check("report rate");
      testing::RecordingSink::ReportRateChanged(i);
    }
    void CloseEditors() override {
      Check("close editors");
      testing::RecordingSink::CloseEditors();
    }
    void ShowWindow() override {
      Check("show");
      testing::RecordingSink::ShowWindow();
    }
  } checking;
  checking.stores = &session.stores;
  session.SetSink(&checking);

  PutAssignmentsOnKeyboard();
  HandleConnectionChange(1);
  ASSERT_EQ(ReloadFromKeyboard(), 1);
  ASSERT_EQ(ExportProfile(env_->Base() / "b.kyl"), 1);
  ASSERT_EQ(ImportProfile(env_->Base() / "b.kyl"), 1);
  ApplyReportRate(2);
  session.windows.MainWindowHasUnappliedChanges = true;
  ASSERT_EQ(SwitchProfileSlot(1), 1);
  ShowActiveTable(1);
  HandleConnectionChange(0);
  session.SetSink(&sink);

  EXPECT_EQ(checking.events, (std::vector<std::string>{"connected 0c45:7672", "show", "close editors", "disconnected"}));
  EXPECT_FALSE(checking.panels.empty());
  EXPECT_FALSE(checking.slots.empty());
  EXPECT_EQ(checking.rates, (std::vector<int>{0, 2}));
  EXPECT_TRUE(checking.heldAt.empty()) << checking.heldAt.front();
}

// A session nobody listens to and nobody answers: questions take their
// default button, notifications go nowhere.
TEST(KeyboardSessionWithoutWindows, PromptsAnswerTheirDefaultAndNotificationsAreDropped) {
  KeyboardSession session;
  host::MessageBoxRequest request;
  request.buttons = host::Buttons::YesNo;
  request.default_button = host::Answer::No;
  EXPECT_EQ(session.Prompter().Ask(request), host::Answer::No);
  request.default_button = host::Answer::Yes;
  EXPECT_EQ(session.Prompter().Ask(request), host::Answer::Yes);
  session.Sink().ShowWindow();  // nothing installed: no crash
  keys::testing::FakePrompter answers(host::Answer::Cancel);
  session.SetPrompter(&answers);
  EXPECT_EQ(session.Prompter().Ask(request), host::Answer::Cancel);
  session.SetPrompter(nullptr);
  EXPECT_EQ(session.Prompter().Ask(request), host::Answer::Yes);
}

}  // namespace
}  // namespace keyloom::profiles
