// Choosing the real or the virtual keyboard.
#include <gtest/gtest.h>

#include "device/backend_choice.h"

namespace keyloom::device {
namespace {

TEST(BackendChoice, HidSettingValues) {
  struct Case {
    const char* value;
    bool valid, virtual_keyboard;
    const char* socket;
  } cases[] = {
      {"virtual", true, true, ""},
      {"virtual:/run/user/1000/kb.sock", true, true, "/run/user/1000/kb.sock"},
      {"hidapi", true, false, ""},
      {"Virtual", false, false, ""},
      {"usb", false, false, ""},
  };
  for (const Case& c : cases) {
    const auto choice = ParseHidSetting(c.value);
    ASSERT_EQ(choice.has_value(), c.valid) << c.value;
    if (!choice) continue;
    EXPECT_EQ(choice->virtual_keyboard, c.virtual_keyboard) << c.value;
    EXPECT_EQ(choice->socket, c.socket) << c.value;
  }
}

TEST(BackendChoice, OptionIsTakenOutOfTheArguments) {
  struct Case {
    std::vector<std::string> args, left;
    bool found;
    const char* socket;
  } cases[] = {
      {{"keyloomctl", "--virtual-keyboard", "status"}, {"keyloomctl", "status"}, true, ""},
      {{"keyloomctl", "status", "--virtual-keyboard=/tmp/s"}, {"keyloomctl", "status"}, true, "/tmp/s"},
      {{"keyloomctl", "status"}, {"keyloomctl", "status"}, false, ""},
      {{"keyloomctl", "--", "--virtual-keyboard"}, {"keyloomctl", "--", "--virtual-keyboard"}, false, ""},
      {{"--virtual-keyboard"}, {"--virtual-keyboard"}, false, ""},  // the program name is not an option
  };
  for (Case& c : cases) {
    BackendChoice choice;
    EXPECT_EQ(TakeVirtualKeyboardOption(c.args, choice), c.found);
    EXPECT_EQ(c.args, c.left);
    EXPECT_EQ(choice.virtual_keyboard, c.found);
    EXPECT_EQ(choice.socket, c.socket);
  }
}

}  // namespace
}  // namespace keyloom::device
