// Every keyloomctl command run once as a new user on a fresh machine meets
// it: an empty home folder, no data folder yet, a served keyloom-vkbd.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/vkbd_process.h"

namespace keyloom::cli {
namespace {

using testing::RunResult;
using testing::VkbdProcess;

TEST(FreshHomeBinary, EveryCommandWorksFromAnEmptyHome) {
  VkbdProcess kb;
  ASSERT_TRUE(kb.Started()) << kb.Error();
  const std::string file = (kb.Dir() / "backup.kyl").string();
  const std::string read = (kb.Dir() / "read.kyl").string();
  const std::filesystem::path colours = kb.DataFolder() / "UserDengColor_0.userd";

  struct Case {
    std::vector<std::string> args;
    bool makes_colour_file;  // the command works on the active slot's colour file
  };
  // In this order: the keyboard keeps what earlier rows wrote (a macro to
  // show, effect 20 for the key colour, a file to import), the home does not.
  const Case cases[] = {
      {{"status"}, false},
      {{"lighting", "show"}, false},
      {{"lighting", "default"}, true},
      {{"lighting", "set", "--effect", "20"}, false},
      {{"lighting", "layout"}, true},
      {{"lighting", "layout", "1", "--name", "Mine"}, true},
      {{"lighting", "key", "0x01E", "ff0000"}, true},
      {{"lighting", "preview", "--effect", "4", "--frames", "1", "--json"}, false},
      {{"report-rate", "1"}, false},
      {{"keys"}, false},
      {{"keys", "set", "0x01E", "key:B"}, false},
      {{"keys", "reset"}, false},
      {{"macro", "add", "First", "--actions", "H down 10, H up 0"}, false},
      {{"macro", "list"}, false},
      {{"macro", "show", "First"}, false},
      {{"macro", "rename", "First", "Second"}, false},
      {{"macro", "delete", "Second"}, false},
      {{"apply"}, false},
      {{"slot"}, false},
      {{"slot", "1"}, false},
      {{"profile", "export", file}, false},
      {{"profile", "validate", file}, false},
      {{"profile", "import", file}, false},
      {{"profile", "read", read}, false},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& a : c.args) line += a + " ";
    std::error_code ec;
    std::filesystem::remove_all(kb.Dir() / "home", ec);
    std::filesystem::create_directories(kb.Dir() / "home");
    const RunResult r = kb.Keyloomctl(c.args);
    EXPECT_EQ(r.status, 0) << line << "\nstdout: " << r.out << "\nstderr: " << r.err;
    EXPECT_EQ(r.err, "") << line;
    if (c.makes_colour_file) {
      EXPECT_TRUE(std::filesystem::is_regular_file(colours)) << line;
    }
  }
}

// How the virtual keyboard's socket is spelt, and what a wrong one says.
TEST(FreshHomeBinary, TheSocketMayFollowTheOptionAndAMissingOneIsNamed) {
  VkbdProcess kb;
  ASSERT_TRUE(kb.Started()) << kb.Error();
  const std::string socket = kb.Socket().string();
  const std::string missing = (kb.Dir() / "no-such.sock").string();
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;  // part of standard error
  };
  const Case cases[] = {
      {{"--virtual-keyboard", socket, "slot"}, 0, ""},
      {{"slot", "--virtual-keyboard", socket}, 0, ""},
      {{"--virtual-keyboard=" + missing, "slot"}, 1, "no virtual keyboard at " + missing + " (no such socket"},
      {{"--virtual-keyboard", missing, "slot"}, 1, "no virtual keyboard at " + missing + " (no such socket"},
  };
  for (const Case& c : cases) {
    // The fixture names its own socket first; a later option wins.
    const RunResult r = kb.Keyloomctl(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[1] << "\n" << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    if (c.status == 0) {
      EXPECT_NE(r.out.find("Active slot"), std::string::npos) << r.out;
    }
  }
}

}  // namespace
}  // namespace keyloom::cli
