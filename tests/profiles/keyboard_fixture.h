#pragma once
// The profile tests' keyboard fixture: the in-process virtual keyboard, a
// per-test data folder, and recording stand-ins for the windows, the main
// window's messages, the tray and the message boxes.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/device_fixture.h"
#include "device/device_monitors.h"
#include "device/report_transaction.h"
#include "keys/keyboard_writer.h"
#include "platform/startup_flags.h"
#include "profiles/active_slot.h"
#include "profiles/connection_handler.h"
#include "profiles/profile_file.h"
#include "profiles/profile_menu.h"
#include "profiles/profile_observer.h"
#include "profiles/profile_test_support.h"

namespace keyloom::profiles::testing {

using keys::KeyKind;
inline constexpr keys::KeyCode kA = 0x1E, kB = 0x30, kZ = 0x2C;

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
  std::vector<ProfileMenuModel> menus;
  std::vector<int> rates;
  std::vector<int> managerSlots;
  int hides = 0;
  int applies = 0;
  bool compositeOpen = false;
  bool managerOpen = false;
  bool managerUnapplied = false;
  bool mainUnapplied = false;
  std::function<void()> onApply;
  void RefreshKeyPanel(int table) override { panels.push_back(table); }
  bool MainWindowHasUnappliedChanges() override { return mainUnapplied; }
  void SetMainWindowUnappliedChanges(bool value) override {
    mainUnapplied = value;
    unapplied.push_back(value);
  }
  void RunApply() override {
    ++applies;
    if (onApply) onApply();
  }
  void HideMainWindow() override { ++hides; }
  void ShowProfileMenu(const ProfileMenuModel& menu) override { menus.push_back(menu); }
  void ShowReportRate(int index) override { rates.push_back(index); }
  bool CompositeDialogOpen() override { return compositeOpen; }
  bool ProfileManagerOpen() override { return managerOpen; }
  bool ProfileManagerHasUnappliedChanges() override { return managerUnapplied; }
  void ProfileManagerSelectSlot(int slot) override {
    managerSlots.push_back(slot);
    managerUnapplied = false;
  }
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

}  // namespace keyloom::profiles::testing
