// The single-instance rule and the switches as a user meets them: real
// program starts against a virtual keyboard of their own, each test with its
// own runtime, configuration, data and resource folders. The main window
// reports each request it handles and each showing on its standard output
// (KEYLOOM_TRACE_WINDOW).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/single_instance.h"
#include "platform/instance.h"
#include "support/process_runner.h"
#include "support/vkbd_process.h"

namespace keyloom::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::ChildProcess;

class InstanceProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = fs::path(KEYLOOM_BUILD_DIR) / "keyloom";
    if (!fs::exists(program_)) GTEST_SKIP() << "the keyloom program is not built";
    std::string pattern = (fs::temp_directory_path() / "keyloom-instance-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    for (const char* sub : {"run", "config", "data", "res"}) fs::create_directories(dir_ / sub);
    fs::permissions(dir_ / "run", fs::perms::owner_all, fs::perm_options::replace);
    // The skin and the language files the program ships with.
    fs::create_directory_symlink(fs::path(KEYLOOM_BUILD_DIR) / "Skins", dir_ / "res" / "Skins");
    for (const char* name : {"Lang0409.ini", "Lang0804.ini", "Lang0404.ini"}) {
      const fs::path shipped = fs::path(KEYLOOM_SOURCE_DIR) / "res" / name;
      if (fs::exists(shipped)) fs::copy_file(shipped, dir_ / "res" / name);
    }
    // A companion program that leaves a trace of each start.
    const fs::path daemon = dir_ / "res" / "KbDaemon";
    std::ofstream(daemon) << "#!/bin/sh\necho started >> '" << (dir_ / "daemon.log").string()
                          << "'\n";
    fs::permissions(daemon, fs::perms::owner_all, fs::perm_options::replace);
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }

  std::vector<std::string> Environment() const {
    std::vector<std::string> env = {
        "QT_QPA_PLATFORM=offscreen",
        "XDG_RUNTIME_DIR=" + (dir_ / "run").string(),
        "XDG_CONFIG_HOME=" + (dir_ / "config").string(),
        "XDG_DATA_HOME=" + (dir_ / "data").string(),
        "HOME=" + dir_.string(),
        "KEYLOOM_RESOURCE_DIR=" + (dir_ / "res").string(),
        "LC_ALL=en_US.UTF-8",
        "KEYLOOM_TRACE_WINDOW=1",
    };
    if (const char* path = std::getenv("PATH")) env.push_back(std::string("PATH=") + path);
    return env;
  }

  std::unique_ptr<ChildProcess> Start(std::vector<std::string> args = {}) {
    if (keyboard_) args.insert(args.begin(), "--virtual-keyboard=" + keyboard_->Socket().string());
    auto child = std::make_unique<ChildProcess>(program_.string(), args, Environment(),
                                                (dir_ / "stderr.log").string());
    EXPECT_TRUE(child->started());
    return child;
  }

  // Starts the first instance and waits until its window is up.
  std::unique_ptr<ChildProcess> StartFirst(const std::vector<std::string>& args = {}) {
    auto first = Start(args);
    EXPECT_TRUE(first->WaitForLine("ready", 20s)) << Dump(*first);
    return first;
  }

  // Starts of the companion program so far (after giving a detached start a
  // moment to leave its trace).
  int CompanionStarts(std::chrono::milliseconds settle = 500ms) const {
    const auto deadline = std::chrono::steady_clock::now() + settle;
    int count = 0;
    do {
      std::ifstream log(dir_ / "daemon.log");
      std::string line;
      count = 0;
      while (std::getline(log, line)) ++count;
      if (count > 0) break;
      std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return count;
  }

  std::string Dump(ChildProcess& child) const {
    std::ostringstream out;
    for (const auto& line : child.Lines()) out << "  | " << line << '\n';
    std::ifstream errors(dir_ / "stderr.log");
    out << "standard error of the programs:\n" << errors.rdbuf();
    return out.str();
  }

  static int Count(ChildProcess& child, const std::string& line) {
    int n = 0;
    for (const auto& l : child.Lines(200ms)) n += (l == line);
    return n;
  }

  // The keyboard the programs find; none when a test unplugs it first.
  std::unique_ptr<cli::testing::VkbdProcess> keyboard_ = std::make_unique<cli::testing::VkbdProcess>();
  fs::path program_;
  fs::path dir_;
};

TEST_F(InstanceProcessTest, SecondStartShowsTheFirstAndEnds) {
  ASSERT_TRUE(keyboard_->Started()) << keyboard_->Error();
  auto first = StartFirst();
  // The keyboard's first connection brings the window up once.
  EXPECT_TRUE(first->WaitForLine("shown", 20s)) << Dump(*first);
  EXPECT_EQ(Count(*first, "shown"), 1);
  EXPECT_EQ(CompanionStarts(5s), 1);

  auto second = Start();
  EXPECT_EQ(second->WaitForExit(20s), 0);
  EXPECT_TRUE(first->WaitForLine("request OPEN", 10s)) << Dump(*first);
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (Count(*first, "shown") < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(20ms);
  EXPECT_EQ(Count(*first, "shown"), 2);
  // The second start made no window and started no companion.
  EXPECT_EQ(Count(*second, "ready"), 0);
  EXPECT_EQ(CompanionStarts(), 1);
  EXPECT_FALSE(first->WaitForExit(0ms).has_value());
}

TEST_F(InstanceProcessTest, KillEndsTheRunningInstance) {
  auto first = StartFirst();
  auto killer = Start({"/kill"});
  EXPECT_EQ(killer->WaitForExit(20s), 0);
  EXPECT_TRUE(first->WaitForLine("request KILL", 10s)) << Dump(*first);
  EXPECT_EQ(first->WaitForExit(20s), 0);
  EXPECT_EQ(Count(*first, "request OPEN"), 0);
  EXPECT_EQ(CompanionStarts(), 1);

  // The lock went with it: the next start runs on its own.
  auto next = StartFirst();
  EXPECT_EQ(CompanionStarts(5s), 2);
  auto killer2 = Start({"/KILL"});
  EXPECT_EQ(killer2->WaitForExit(20s), 0);
  EXPECT_EQ(next->WaitForExit(20s), 0);
}

TEST_F(InstanceProcessTest, QtTakesTheProgramsThreadForItsMainThread) {
  // The window's first pictures are decoded on a thread of their own from
  // before Qt starts; Qt must still make the program's own thread its main
  // thread (it takes the first that makes one of its objects).
  for (int i = 0; i < 3; ++i) {
    auto first = StartFirst();
    auto killer = Start({"/Kill"});
    EXPECT_EQ(killer->WaitForExit(20s), 0);
    EXPECT_EQ(first->WaitForExit(20s), 0);
  }
  std::ifstream errors(dir_ / "stderr.log");
  std::stringstream text;
  text << errors.rdbuf();
  EXPECT_EQ(text.str().find("main() thread"), std::string::npos) << text.str();
}

TEST_F(InstanceProcessTest, KillWithNoneRunningEndsBeforeTheLockAndTheCompanion) {
  auto killer = Start({"/Kill"});
  EXPECT_EQ(killer->WaitForExit(20s), 0);
  EXPECT_TRUE(fs::is_empty(dir_ / "run")) << "the instance lock was touched";
  EXPECT_EQ(CompanionStarts(), 0);
  EXPECT_EQ(Count(*killer, "ready"), 0);
}

TEST_F(InstanceProcessTest, StartThenKill) {
  // Alone, "/Start /Kill" ends at once like "/Kill".
  {
    auto alone = Start({"/Start", "/Kill"});
    EXPECT_EQ(alone->WaitForExit(20s), 0);
    EXPECT_EQ(CompanionStarts(), 0);
  }
  // With an instance running it ends that instance.
  auto first = StartFirst();
  auto both = Start({"/start", "/kill"});
  EXPECT_EQ(both->WaitForExit(20s), 0);
  EXPECT_TRUE(first->WaitForLine("request KILL", 10s)) << Dump(*first);
  EXPECT_EQ(first->WaitForExit(20s), 0);
}

TEST_F(InstanceProcessTest, StartKeepsTheWindowHiddenUntilOpened) {
  auto first = StartFirst({"/Start", "/whatever"});
  EXPECT_TRUE(first->WaitForLine("connected", 20s)) << Dump(*first);
  EXPECT_EQ(Count(*first, "shown"), 0) << Dump(*first);
  auto second = Start({"/Startup"});  // not a switch: a plain second start
  EXPECT_EQ(second->WaitForExit(20s), 0);
  EXPECT_TRUE(first->WaitForLine("request OPEN", 10s)) << Dump(*first);
  EXPECT_TRUE(first->WaitForLine("shown", 5s));
}

TEST_F(InstanceProcessTest, OpenWithoutKeyboardTellsTheUser) {
  keyboard_.reset();
  auto first = StartFirst();
  auto second = Start();
  EXPECT_EQ(second->WaitForExit(20s), 0);
  EXPECT_TRUE(first->WaitForLine("request OPEN", 10s)) << Dump(*first);
  EXPECT_TRUE(first->WaitForLine("no keyboard", 5s)) << Dump(*first);
  EXPECT_EQ(Count(*first, "shown"), 0);
}

TEST_F(InstanceProcessTest, AnnouncesTheLanguageToItself) {
  auto first = StartFirst();
  const auto& lines = first->Lines(200ms);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "language 2"), lines.end()) << Dump(*first);
}

TEST_F(InstanceProcessTest, OnlyRequestsWithTheirOwnTagAreHandled) {
  auto first = StartFirst({"/Start"});
  const instance::Guard other(kInstanceName, dir_ / "run");
  struct Case {
    instance::Request request;
    const char* handled;  // line the window prints, or nullptr
  };
  const Case cases[] = {
      {{kShowMessage, 0x12345678, 0}, nullptr},
      {{kShowMessage, kQuitTag, 0}, nullptr},
      {{kQuitMessage, kShowTag, 0}, nullptr},
      {{kQuitMessage, host::Tag("KILL"), 0}, nullptr},  // the letters the usual way round
      {{0x1234, kShowTag, 0}, nullptr},
      {{kShowMessage, kShowTag, 0}, "request OPEN"},
      {{kQuitMessage, kQuitTag, 0}, "request KILL"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.request.message) + "/" + std::to_string(c.request.wparam));
    EXPECT_EQ(other.Send(c.request), 1);
    if (c.handled) {
      EXPECT_TRUE(first->WaitForLine(c.handled, 10s)) << Dump(*first);
    } else {
      const auto& lines = first->Lines(300ms);
      EXPECT_EQ(std::count(lines.begin(), lines.end(), "request OPEN"), 0);
      EXPECT_EQ(std::count(lines.begin(), lines.end(), "request KILL"), 0);
      EXPECT_EQ(std::count(lines.begin(), lines.end(), "shown"), 0);
    }
  }
  EXPECT_EQ(first->WaitForExit(20s), 0);
}

}  // namespace
}  // namespace keyloom::app
