#pragma once
// A virtual keyboard in the process, the backend of a device link, with the
// command device open on it and DeviceConnected set, as after a connection.
// The link is the fixture's own, or one the derived fixture passes in (a
// keyboard session's).
#include <gtest/gtest.h>

#include <memory>

#include "device/commands.h"
#include "device/device_table.h"
#include "emulator/firmware_model.h"
#include "support/inprocess_keyboard.h"

namespace keyloom::device::testing {

inline emulator::FirmwareOptions ModelOptions(std::uint16_t vendor, std::uint16_t product) {
  emulator::FirmwareOptions o;
  o.vendor = vendor;
  o.product = product;
  return o;
}

class ConnectedKeyboard : public ::testing::Test {
 protected:
  ConnectedKeyboard() : link(own_link_) {}
  explicit ConnectedKeyboard(DeviceLink& session_link) : link(session_link) {}

  void Connect(std::uint16_t vendor = 0x0C45, std::uint16_t product = 0x7672) {
    Disconnect();
    model = std::make_unique<emulator::FirmwareModel>(ModelOptions(vendor, product));
    keyboard = InProcessKeyboard::Create(*model);
    link.UseBackend(keyboard);
    ASSERT_TRUE(link.CommandDevice().Open("inproc:1", true, true, true, false));
    link.SetModelSizes(vendor, product);
    link.DeviceConnected.store(1);
  }
  void Disconnect() {
    link.DeviceConnected.store(0);
    link.CommandDevice().Close();
    link.UseBackend(nullptr);
    keyboard.reset();
    model.reset();
  }
  void SetUp() override { Connect(); }
  void TearDown() override { Disconnect(); }

 private:
  DeviceLink own_link_;
  ScopedCommandPause no_pause_{[](std::uint32_t) {}};

 protected:
  DeviceLink& link;
  std::unique_ptr<emulator::FirmwareModel> model;
  std::shared_ptr<InProcessKeyboard> keyboard;
};

}  // namespace keyloom::device::testing
