// One version for every program: the library's and what each program's
// --version prints.
#include "app/version.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "support/process_runner.h"

namespace keyloom::app {
namespace {

namespace fs = std::filesystem;
using testing_support::ProcessStart;
using testing_support::RunProgram;

TEST(Version, IsTheProjectsThreeNumbers) {
  // A header CMake did not fill in would leave its placeholder here.
  EXPECT_TRUE(std::regex_match(std::string(Version()), std::regex(R"(\d+\.\d+\.\d+)"))) << Version();
  EXPECT_EQ(VersionLine("keyloomctl"), "keyloomctl " + std::string(Version()));
}

TEST(Version, EveryProgramPrintsItWithoutKeyboardOrDisplay) {
  // No display and a window system that does not exist: the GUI must answer
  // before it would need one; no keyboard socket either.
  std::vector<std::string> env;
  for (const std::string& v : testing_support::CurrentEnvironment()) {
    if (v.rfind("DISPLAY=", 0) == 0 || v.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
        v.rfind("QT_QPA_PLATFORM=", 0) == 0 || v.rfind("KEYLOOM_HID=", 0) == 0)
      continue;
    env.push_back(v);
  }
  env.push_back("QT_QPA_PLATFORM=no-such-platform");
  env.push_back("KEYLOOM_HID=virtual:/nonexistent/keyloom-vkbd.sock");

  struct Case {
    const char* program;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {"keyloom", {"--version"}},
      {"keyloom", {"/Start", "--version"}},  // wherever it stands
      {"keyloomctl", {"--version"}},
      {"keyloomctl", {"--yes", "--version"}},
      {"keyloom-vkbd", {"--version"}},
  };
  for (const Case& c : cases) {
    const fs::path program = fs::path(KEYLOOM_BUILD_DIR) / c.program;
    if (!fs::exists(program)) {
      // Builds of the core alone have no GUI.
      EXPECT_STREQ(c.program, "keyloom");
      continue;
    }
    ProcessStart start;
    start.program = program.string();
    start.args = c.args;
    start.env = env;
    const auto result = RunProgram(start);
    EXPECT_EQ(result.status, 0) << c.program << ": " << result.err;
    EXPECT_EQ(result.out, VersionLine(c.program) + "\n") << c.program;
    EXPECT_EQ(result.err, "") << c.program;
  }
}

}  // namespace
}  // namespace keyloom::app
