// keyloomctl lighting preview without lighting options: the lighting of the
// connected keyboard's active slot, read from the in-process virtual keyboard.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/command_table.h"
#include "cli/keyboard_session.h"
#include "device/commands.h"
#include "device/device_table.h"
#include "device/hid_backend.h"
#include "emulator/firmware_model.h"
#include "profiles/keyboard_session.h"
#include "support/inprocess_keyboard.h"

namespace keyloom::cli {
namespace {

class KeyboardLighting : public ::testing::Test {
 protected:
  void SetUp() override {
    keyboard_ = device::InProcessKeyboard::Create(model_);
    session_.link.UseBackend(keyboard_);
  }
  void TearDown() override { session_.link.UseBackend(nullptr); }

  // Effect, direction, colourful and main colour of `slot`'s record; the
  // keyboard's active slot.
  void SetLighting(int active, int slot, std::uint8_t effect, std::uint8_t direction,
                   std::uint8_t colourful, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    emulator::Memories mem = model_.Snapshot();
    mem.config[10] = std::uint8_t(active);
    std::uint8_t* record = mem.lighting.data() + slot * 42;
    record[0] = effect;
    record[3] = direction;
    record[4] = colourful;
    record[5] = r;
    record[6] = g;
    record[7] = b;
    ASSERT_TRUE(model_.Restore(mem));
  }

  int Run(const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::ostringstream o, e;
    CommandIo io{o, e};
    io.session = &session_;
    io.wait_until = [](std::chrono::steady_clock::time_point) {};
    const int status = RunCli(args, io);
    out = o.str();
    err = e.str();
    return status;
  }

  device::ScopedCommandPause no_pause_{[](std::uint32_t) {}};
  emulator::FirmwareModel model_;
  std::shared_ptr<device::InProcessKeyboard> keyboard_;
  profiles::KeyboardSession session_;
};

TEST_F(KeyboardLighting, PreviewsTheActiveSlotsLighting) {
  SetLighting(1, 0, 4, 255, 1, 0, 0, 0);    // slot 0: not the active one
  SetLighting(1, 1, 6, 0, 0, 200, 100, 50);  // slot 1: effect 6 in one colour
  std::string out, err;
  ASSERT_EQ(Run({"lighting", "preview", "--frames", "2", "--json"}, out, err), 0) << err;
  EXPECT_NE(out.find("\"1010\": \"c86432\""), std::string::npos) << out;
  EXPECT_NE(out.find("\"frame\": 2"), std::string::npos);
  EXPECT_EQ(session_.link.DeviceConnected.load(), 0);  // the connection has ended

  // A second run connects again and sees a changed record.
  SetLighting(2, 2, 4, 0, 1, 0, 0, 0);
  ASSERT_EQ(Run({"lighting", "preview", "--frames", "1", "--json"}, out, err), 0) << err;
  EXPECT_NE(out.find("\"1010\": \"ff2600\""), std::string::npos) << out;  // effect 4 backwards
}

TEST_F(KeyboardLighting, NoKeyboardIsAFailureWithItsReason) {
  keyboard_->Unplug();
  std::string out, err;
  EXPECT_EQ(Run({"lighting", "preview", "--frames", "1", "--json"}, out, err), 1);
  EXPECT_EQ(out, "");
  EXPECT_NE(err.find("no keyboard is connected"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}

TEST_F(KeyboardLighting, ReadsFailWithTheirResult) {
  KeyboardConnection session(session_.link);
  std::string reason;
  ASSERT_TRUE(session.Connect(std::chrono::seconds(3), reason)) << reason;
  lighting::LightingState state;
  int slot = -1;
  ASSERT_TRUE(ReadActiveSlotLighting(session_.link, state, slot, reason)) << reason;
  EXPECT_EQ(slot, model_.ActiveSlot());
  model_.ArmFault(emulator::FaultKind::kRefuse, 1);
  EXPECT_FALSE(ReadActiveSlotLighting(session_.link, state, slot, reason));
  EXPECT_NE(reason.find("configuration"), std::string::npos) << reason;
  session.Close();
}

}  // namespace
}  // namespace keyloom::cli
