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

namespace keyloom::profiles {
namespace {

namespace fs = std::filesystem;
using keys::KeyKind;
using testing::ReadBytes;
using testing::WriteBytes;

constexpr keys::KeyCode kA = 0x1E, kB = 0x30, kZ = 0x2C;

// The virtual keyboard refuses to store a slot number of 3 or more, so a
// keyboard that reports one is the virtual keyboard behind a backend that
// rewrites byte 10 of every configuration block it answers with.
class SlotByteBackend : public device::HidBackend {
 public:
  SlotByteBackend(std::shared_ptr<device::HidBackend> inner, std::uint8_t slot) : inner_(std::move(inner)), slot_(slot) {}
  bool Enumerate(std::vector<device::HidInterfaceInfo>& out) override { return inner_->Enumerate(out); }
  bool Probe(const std::string& path) override { return inner_->Probe(path); }
  std::unique_ptr<device::HidChannel> Open(const std::string& path, bool read, bool write, bool exclusive) override {
    auto channel = inner_->Open(path, read, write, exclusive);
    return channel ? std::make_unique<Channel>(std::move(channel), slot_) : nullptr;
  }

 private:
  struct Channel : device::HidChannel {
    Channel(std::unique_ptr<device::HidChannel> inner, std::uint8_t slot) : inner(std::move(inner)), slot(slot) {}
    device::HidAttributes Attributes() const override { return inner->Attributes(); }
    std::vector<std::uint8_t> ReportDescriptor() const override { return inner->ReportDescriptor(); }
    device::IoResult Read(std::uint8_t* buffer, std::size_t length, std::size_t& transferred, device::SteadyTime deadline,
                          device::AbortEvent& abort) override {
      const device::IoResult result = inner->Read(buffer, length, transferred, deadline, abort);
      if (result == device::IoResult::Ok && transferred >= 64 && buffer[3] == device::kCmdReadConfig) {
        buffer[device::kPayloadOffset + 10] = slot;
        device::StoreChecksum(buffer);
      }
      return result;
    }
    device::IoResult Write(const std::uint8_t* buffer, std::size_t length, std::size_t& transferred,
                           device::SteadyTime deadline, device::AbortEvent& abort) override {
      return inner->Write(buffer, length, transferred, deadline, abort);
    }
    std::unique_ptr<device::HidChannel> inner;
    std::uint8_t slot;
  };
  std::shared_ptr<device::HidBackend> inner_;
  std::uint8_t slot_;
};

struct RecordingObserver : ProfileObserver {
  std::vector<int> panels;
  std::vector<bool> unapplied;
  int hides = 0;
  void RefreshKeyPanel(int table) override { panels.push_back(table); }
  void SetMainWindowUnappliedChanges(bool value) override { unapplied.push_back(value); }
  void HideMainWindow() override { ++hides; }
};

struct Message {
  bool sent;
  std::uint32_t message, wparam;
  bool operator==(const Message&) const = default;
};

struct RecordingWindow : host::MainWindow {
  std::vector<Message> messages;
  std::function<void(std::uint32_t)> onSend;
  void PostMessage(std::uint32_t m, std::uint32_t w, std::int64_t) override { messages.push_back({false, m, w}); }
  std::int64_t SendMessage(std::uint32_t m, std::uint32_t w, std::int64_t) override {
    messages.push_back({true, m, w});
    if (onSend) onSend(m);
    return 0;
  }
  void SetTimer(unsigned, unsigned) override {}
  void KillTimer(unsigned) override {}
};

class KeyboardProfiles : public device::testing::ConnectedKeyboard {
 public:
  using ConnectedKeyboard::Disconnect;
  using ConnectedKeyboard::model;

 protected:
  void SetUp() override {
    ConnectedKeyboard::SetUp();
    env_ = std::make_unique<testing::ProfileEnvironment>();
    ForgetActiveSlot();
    ResetConnectionHandler();
    keys::WriteState().currentProfile.store(0);
    keys::WriteState().macroCapacity.store(model->MacroCapacity());
    device::SetDefaultKeyMap(device::BuiltInDefaultKeyMap());
    SetProfileObserver(&observer);
    host::SetMainWindow(&window);
    device::SetTrayIconSetter([this](int kind, int id) { tray.push_back({kind, id}); });
    platform::StartupShowHandled.store(0);
  }
  void TearDown() override {
    device::SetTrayIconSetter(nullptr);
    host::SetMainWindow(nullptr);
    SetProfileObserver(nullptr);
    ForgetActiveSlot();
    ResetConnectionHandler();
    platform::StartupShowHandled.store(0);
    device::SetDefaultKeyMap(device::BuiltInDefaultKeyMap());
    keys::DeviceStore().Clear();
    env_.reset();
    ConnectedKeyboard::TearDown();
  }

public:
  void SetKeyboardSlot(std::uint8_t slot) {
    device::CommandDevice().Close();
    if (slot < 3) {
      ASSERT_TRUE(model->SwitchSlotOnKeyboard(slot));
      device::SetHidBackend(keyboard);
    } else {
      device::SetHidBackend(std::make_shared<SlotByteBackend>(keyboard, slot));
    }
    ASSERT_TRUE(device::CommandDevice().Open("inproc:1", true, true, true, false));
  }

protected:
  // Key maps in slots 0 and 2 and one macro, written by the keyboard writer.
  void PutAssignmentsOnKeyboard() {
    keys::KeyMacroStore& store = keys::EditingStore();
    store.Clear();
    store.block = EmptyProfileBlock(0);
    ASSERT_EQ(keys::StoreAssignment(store, 0, keys::KeyCodeToSlot(kA),
                                    keys::MakeAssignment(keys::KeyCodeToSlot(kA), KeyKind::SingleKey, kB)),
              1);
    ASSERT_EQ(keys::StoreAssignment(store, 2, keys::KeyCodeToSlot(kZ),
                                    keys::MakeAssignment(keys::KeyCodeToSlot(kZ), KeyKind::Macro, 1, 2)),
              1);
    keys::MacroRecord macro;
    macro.id = 1;
    keys::SetMacroName(macro, u"Hello");
    keys::AppendMacroAction(macro, {30, kA, keys::kPress});
    keys::AppendMacroAction(macro, {0, kA, keys::kRelease});
    store.macros.push_back(macro);
    ASSERT_EQ(keys::WriteKeysAndMacros(true), 1);
    store.Clear();
  }

  std::unique_ptr<testing::ProfileEnvironment> env_;
  keys::testing::FakePrompter prompter{host::Answer::Ok};
  RecordingObserver observer;
  RecordingWindow window;
  std::vector<std::pair<int, int>> tray;
};

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
