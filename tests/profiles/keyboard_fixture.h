#pragma once
// The profile tests' keyboard fixture: a keyboard session on the in-process
// virtual keyboard, a per-test data folder, and recording stand-ins for the
// windows (the event sink, the state they set) and the message boxes.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/device_fixture.h"
#include "device/device_monitors.h"
#include "device/report_transaction.h"
#include "keys/keyboard_writer.h"
#include "profiles/active_slot.h"
#include "profiles/connection_handler.h"
#include "profiles/event_sink.h"
#include "profiles/profile_file.h"
#include "profiles/profile_menu.h"
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

// What the windows hear, in order, as short lines ("connected 0c45:7672",
// "disconnected", "close editors", "show"), and the data of the other
// notifications.
struct RecordingSink : EventSink {
  std::vector<std::string> events;
  std::vector<int> panels;
  std::vector<int> slots;
  std::vector<int> rates;
  std::function<void(bool)> onConnectionChanged;
  void ConnectionChanged(bool connected, std::uint16_t vendor, std::uint16_t product) override {
    char model[16];
    std::snprintf(model, sizeof model, "%04x:%04x", vendor, product);
    events.push_back(connected ? "connected " + std::string(model) : "disconnected");
    if (onConnectionChanged) onConnectionChanged(connected);
  }
  void KeyMapsChanged(int table) override { panels.push_back(table); }
  void ActiveSlotChanged(int slot) override { slots.push_back(slot); }
  void ReportRateChanged(int index) override { rates.push_back(index); }
  void CloseEditors() override { events.push_back("close editors"); }
  void ShowWindow() override { events.push_back("show"); }
};

// Holds the session, so that it exists before the keyboard fixture opens
// the session's link.
struct SessionHolder : SessionUnderTest {};

class KeyboardProfiles : public SessionHolder, public device::testing::ConnectedKeyboard {
 public:
  using ConnectedKeyboard::Disconnect;
  using ConnectedKeyboard::model;
  using SessionUnderTest::WriteKeysAndMacros;

 protected:
  KeyboardProfiles() : ConnectedKeyboard(session.link) {}

  void SetUp() override {
    ConnectedKeyboard::SetUp();
    env_ = std::make_unique<testing::ProfileEnvironment>();
    WriteState().macroCapacity.store(model->MacroCapacity());
    session.SetSink(&sink);
    session.windows.RunApply = [this] {
      ++applies;
      if (onApply) onApply();
    };
  }
  void TearDown() override {
    session.SetSink(nullptr);
    env_.reset();
    ConnectedKeyboard::TearDown();
  }

public:
  void SetKeyboardSlot(std::uint8_t slot) {
    link.CommandDevice().Close();
    if (slot < 3) {
      ASSERT_TRUE(model->SwitchSlotOnKeyboard(slot));
      link.UseBackend(keyboard);
    } else {
      link.UseBackend(std::make_shared<SlotByteBackend>(keyboard, slot));
    }
    ASSERT_TRUE(link.CommandDevice().Open("inproc:1", true, true, true, false));
  }

protected:
  // Key maps in slots 0 and 2 and one macro, written by the keyboard writer.
  void PutAssignmentsOnKeyboard() {
    keys::KeyMacroStore& store = EditingStore();
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
    ASSERT_EQ(WriteKeysAndMacros(true), 1);
    store.Clear();
  }
  // The assignments on the keyboard, read back into the editing store, with
  // slot 1's lighting edited; a file name in the test's folder.
  void StartFromTheKeyboardsAssignments() {
    PutAssignmentsOnKeyboard();
    ASSERT_EQ(ReloadFromKeyboard(), 1);
    session.lighting.LightingSlot = 1;
  }
  std::filesystem::path File(const char* name) { return env_->Base() / name; }

  std::unique_ptr<testing::ProfileEnvironment> env_;
  RecordingSink sink;
  int applies = 0;
  std::function<void()> onApply;
};

}  // namespace keyloom::profiles::testing
