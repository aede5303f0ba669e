// keyloomctl status against the in-process virtual keyboard.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/command_table.h"
#include "device/commands.h"
#include "device/hid_backend.h"
#include "emulator/firmware_model.h"
#include "profiles/keyboard_session.h"
#include "support/inprocess_keyboard.h"

namespace keyloom::cli {
namespace {

class StatusCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    keyboard_ = device::InProcessKeyboard::Create(model_);
  }
  int Run(const std::vector<std::string>& args) {
    std::ostringstream o, e;
    CommandIo io{o, e};
    // One session per run, as each keyloomctl process has.
    profiles::KeyboardSession session(keyboard_);
    io.session = &session;
    const int status = RunCli(args, io);
    out_ = o.str();
    err_ = e.str();
    return status;
  }

  emulator::FirmwareOptions Options() {
    emulator::FirmwareOptions options;
    options.effects = {4, 0, 20, 7};  // an empty place between
    return options;
  }
  device::ScopedCommandPause no_pause_{[](std::uint32_t) {}};
  emulator::FirmwareModel model_{Options()};
  std::shared_ptr<device::InProcessKeyboard> keyboard_;
  std::string out_, err_;
};

TEST_F(StatusCommandTest, ReportsTheActiveSlotsKeyboardValues) {
  emulator::Memories mem = model_.Snapshot();
  mem.config[10] = 2;
  mem.lighting[2 * 42 + 0] = 7;   // effect
  mem.lighting[2 * 42 + 15] = 2;  // report rate
  mem.lighting[0 * 42 + 15] = 3;  // another slot's
  ASSERT_TRUE(model_.Restore(mem));
  const int capacity = mem.config[11] * 128;  // 128-byte blocks

  ASSERT_EQ(Run({"status", "--json"}), 0) << err_;
  EXPECT_NE(out_.find("\"active_slot\": 2, \"macro_capacity\": " + std::to_string(capacity)),
            std::string::npos)
      << out_;
  EXPECT_NE(out_.find("\"effects\": [{\"effect\": 4, "), std::string::npos) << out_;
  EXPECT_NE(out_.find("}, {\"effect\": 20, "), std::string::npos) << out_;
  EXPECT_NE(out_.find("}, {\"effect\": 7, "), std::string::npos) << out_;
  EXPECT_EQ(out_.find("\"effect\": 0,"), std::string::npos) << out_;
  EXPECT_NE(out_.find("\"lighting\": {\"slot\": 2, \"effect\": 7,"), std::string::npos) << out_;
  EXPECT_NE(out_.find("\"report_rate\": 2}"), std::string::npos) << out_;
  EXPECT_NE(out_.find("\"model\": \""), std::string::npos) << out_;
  EXPECT_EQ(out_.find("\"model\": \"0000:0000\""), std::string::npos) << out_;

  ASSERT_EQ(Run({"status"}), 0) << err_;
  EXPECT_NE(out_.find("Active slot:     2\n"), std::string::npos) << out_;
}

TEST_F(StatusCommandTest, MacroMemoryUseComesFromTheAreaHeader) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> head;
    const char* json;
  } const cases[] = {
      {"empty area", {}, "\"macro_bytes_used\": 0, \"macros\": 0,"},
      {"two macros in 300 bytes", {0xAA, 0x55, 0x2C, 0x01, 0x02, 0x00}, "\"macro_bytes_used\": 300, \"macros\": 2,"},
      {"no magic", {0x55, 0xAA, 0x2C, 0x01, 0x02, 0x00}, "\"macro_bytes_used\": 0, \"macros\": 0,"},
      // After a write without macros: a header alone, as macro list counts it.
      {"a header alone", {0xAA, 0x55, 0x10, 0x00, 0x00, 0x00}, "\"macro_bytes_used\": 0, \"macros\": 0,"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    emulator::Memories mem = model_.Snapshot();
    std::fill(mem.macroArea.begin(), mem.macroArea.end(), 0);
    std::copy(c.head.begin(), c.head.end(), mem.macroArea.begin());
    ASSERT_TRUE(model_.Restore(mem));
    ASSERT_EQ(Run({"status", "--json"}), 0) << err_;
    EXPECT_NE(out_.find(c.json), std::string::npos) << out_;
  }
  ASSERT_EQ(Run({"status"}), 0) << err_;
  EXPECT_NE(out_.find("Macro memory:    0 of "), std::string::npos) << out_;
}

TEST_F(StatusCommandTest, ErrorsAreFailuresOrBadUsage) {
  EXPECT_EQ(Run({"status", "now"}), 2);
  keyboard_->Unplug();
  EXPECT_EQ(Run({"status"}), 1);
  EXPECT_EQ(out_, "");
  EXPECT_NE(err_.find("no keyboard is connected"), std::string::npos) << err_;
}

}  // namespace
}  // namespace keyloom::cli
