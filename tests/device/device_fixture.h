#pragma once
// A virtual keyboard in the process, installed as the HID backend, with the
// command device open on it and DeviceConnected set, as after a connection.
#include <gtest/gtest.h>

#include <memory>

#include "device/commands.h"
#include "device/device_table.h"
#include "device/inprocess_backend.h"
#include "emulator/firmware_model.h"

namespace keyloom::device::testing {

inline emulator::FirmwareOptions ModelOptions(std::uint16_t vendor, std::uint16_t product) {
  emulator::FirmwareOptions o;
  o.vendor = vendor;
  o.product = product;
  return o;
}

class ConnectedKeyboard : public ::testing::Test {
 protected:
  void Connect(std::uint16_t vendor = 0x0C45, std::uint16_t product = 0x7672) {
    Disconnect();
    model = std::make_unique<emulator::FirmwareModel>(ModelOptions(vendor, product));
    keyboard = InProcessKeyboard::Create(*model);
    SetHidBackend(keyboard);
    ASSERT_TRUE(CommandDevice().Open("inproc:1", true, true, true, false));
    SetModelSizes(vendor, product);
    DeviceConnected.store(1);
    SetCommandPause([](std::uint32_t) {});
  }
  void Disconnect() {
    DeviceConnected.store(0);
    CommandDevice().Close();
    SetHidBackend(nullptr);
    keyboard.reset();
    model.reset();
  }
  void SetUp() override { Connect(); }
  void TearDown() override {
    Disconnect();
    SetModelSizes(0x0C45, 0x7672);
    SetCommandPause(nullptr);
  }

  std::unique_ptr<emulator::FirmwareModel> model;
  std::shared_ptr<InProcessKeyboard> keyboard;
};

}  // namespace keyloom::device::testing
