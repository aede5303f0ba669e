// The start-up sequence as a user meets it: switches, the single-instance
// rule and the companion program, with a scripted instance channel and a
// recording shell.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <optional>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/app_registry_key.h"
#include "app/command_line.h"
#include "app/settings_paths.h"
#include "platform/registry.h"

namespace keyloom::app {
namespace {

namespace fs = std::filesystem;

fs::path MakeTempDir() {
  std::string pattern = (fs::temp_directory_path() / "keyloom-startup-XXXXXX").string();
  const char* made = mkdtemp(pattern.data());
  return made ? fs::path(made) : fs::path();
}

TEST(MatchSwitch, WholeArgumentIgnoringCase) {
  struct Case {
    const char* argument;
    Switch expected;
  };
  const Case cases[] = {
      {"/Kill", Switch::Kill},    {"/kill", Switch::Kill},    {"/KILL", Switch::Kill},
      {"/kIlL", Switch::Kill},    {"/Start", Switch::Start},  {"/start", Switch::Start},
      {"/START", Switch::Start},  {"/Killer", Switch::None},  {"/Kil", Switch::None},
      {"/Start2", Switch::None},  {"/Start ", Switch::None},  {" /Start", Switch::None},
      {"Kill", Switch::None},     {"-kill", Switch::None},    {"--start", Switch::None},
      {"", Switch::None},         {"/", Switch::None},        {"/Kill\n", Switch::None},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchSwitch(c.argument), c.expected) << '"' << c.argument << '"';
  }
}

// What the fake channel was asked, in order.
struct ChannelScript {
  std::deque<bool> other_running;  // answers to OtherRunning, last repeats
  bool acquire_ok = true;
  bool listener = false;            // whether a Send finds someone
  std::vector<std::string> calls;
  instance::Guard::Handler handler;
  bool released = false;
};

class ScriptedChannel : public InstanceChannel {
 public:
  explicit ScriptedChannel(std::shared_ptr<ChannelScript> script) : s_(std::move(script)) {}
  bool OtherRunning() override {
    s_->calls.push_back("OtherRunning");
    bool answer = s_->other_running.empty() ? false : s_->other_running.front();
    if (s_->other_running.size() > 1) s_->other_running.pop_front();
    return answer;
  }
  bool Acquire(instance::Guard::Handler handler) override {
    s_->calls.push_back("Acquire");
    if (!s_->acquire_ok) return false;
    s_->handler = std::move(handler);
    return true;
  }
  std::optional<std::int64_t> Send(const instance::Request& r) override {
    if (r.message == kShowMessage && r.wparam == kShowTag && r.lparam == 0) {
      s_->calls.push_back("Send OPEN");
    } else if (r.message == kQuitMessage && r.wparam == kQuitTag && r.lparam == 0) {
      s_->calls.push_back("Send KILL");
    } else {
      s_->calls.push_back("Send other");
    }
    if (!s_->listener) return std::nullopt;
    return 1;
  }
  void Release() override {
    s_->calls.push_back("Release");
    s_->released = true;
  }

 private:
  std::shared_ptr<ChannelScript> s_;
};

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeTempDir();
    ASSERT_FALSE(dir_.empty());
    resources_ = dir_ / "share";
    fs::create_directories(resources_);
    store_.emplace(dir_ / "config" / "registry.reg");
  }
  void TearDown() override {
    ReleaseInstanceLock();
    CloseAppRegistryKey();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  void PutCompanion() { std::ofstream(resources_ / "KbDaemon") << "#!/bin/sh\n"; }

  StartupEnvironment Env(std::vector<std::string> args, std::shared_ptr<ChannelScript> script) {
    StartupEnvironment env;
    env.arguments = std::move(args);
    env.resource_dir = resources_;
    env.executable = dir_ / "bin" / "keyloom";
    env.instance = std::make_unique<ScriptedChannel>(script);
    env.open = [this](const shell::OpenRequest& r) {
      opened_.push_back(r);
      return true;
    };
    return env;
  }

  fs::path dir_;
  fs::path resources_;
  std::optional<registry::ScopedStoreFile> store_;
  std::vector<shell::OpenRequest> opened_;
};

TEST_F(StartupTest, SwitchesAndInstanceRule) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::deque<bool> other_running;
    bool acquire_ok;
    bool listener;
    std::vector<std::string> calls;
    StartupAction action;
    bool holds_lock;
    int show_handled;
    bool companion;
  };
  const Case cases[] = {
      {"first start", {}, {false}, true, false,
       {"OtherRunning", "Acquire"}, StartupAction::Run, true, 0, true},
      {"unknown arguments are ignored", {"/Killer", "--start", "x"}, {false}, true, false,
       {"OtherRunning", "Acquire"}, StartupAction::Run, true, 0, true},
      {"second start shows the first", {}, {true}, true, true,
       {"OtherRunning", "Send OPEN"}, StartupAction::Exit, false, 0, false},
      {"second start while the first has no window yet", {}, {true}, true, false,
       {"OtherRunning", "Send OPEN"}, StartupAction::Exit, false, 0, false},
      {"lost the race for the lock", {}, {false, true}, false, true,
       {"OtherRunning", "Acquire", "OtherRunning", "Send OPEN"}, StartupAction::Exit, false, 0,
       false},
      {"lock cannot be made: run without it", {}, {false}, false, false,
       {"OtherRunning", "Acquire", "OtherRunning"}, StartupAction::Run, false, 0, true},
      {"/Kill with an instance running", {"/Kill"}, {true}, true, true,
       {"Send KILL"}, StartupAction::Exit, false, 0, false},
      {"/Kill with none running touches no lock", {"/kill"}, {false}, true, false,
       {"Send KILL"}, StartupAction::Exit, false, 0, false},
      {"/Start then /Kill", {"/Start", "/Kill"}, {true}, true, true,
       {"Send KILL"}, StartupAction::Exit, false, 1, false},
      {"/Kill ends before /Start is looked at", {"/KILL", "/START"}, {false}, true, false,
       {"Send KILL"}, StartupAction::Exit, false, 0, false},
      {"/Start alone", {"/START"}, {false}, true, false,
       {"OtherRunning", "Acquire"}, StartupAction::Run, true, 1, true},
      {"/Start on a second start", {"/Start"}, {true}, true, true,
       {"OtherRunning", "Send OPEN"}, StartupAction::Exit, false, 1, false},
  };
  PutCompanion();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    opened_.clear();
    auto script = std::make_shared<ChannelScript>();
    script->other_running = c.other_running;
    script->acquire_ok = c.acquire_ok;
    script->listener = c.listener;

    StartupEnvironment env = Env(c.args, script);
    const StartupResult result = StartUp(env);

    EXPECT_EQ(script->calls, c.calls);
    EXPECT_EQ(result.action, c.action);
    if (c.action == StartupAction::Exit) {
      EXPECT_EQ(result.exit_code, 0);
    }
    EXPECT_EQ(result.holds_lock, c.holds_lock);
    EXPECT_EQ(result.show_handled, c.show_handled);
    EXPECT_EQ(result.companion_started, c.companion);
    EXPECT_EQ(opened_.size(), c.companion ? 1u : 0u);

    // The held lock is kept until the main window lets it go.
    EXPECT_FALSE(script->released);
    ReleaseInstanceLock();
    EXPECT_EQ(script->released, c.holds_lock);
  }
}

TEST_F(StartupTest, CompanionStartsHiddenWithoutParametersOrFolder) {
  PutCompanion();
  auto script = std::make_shared<ChannelScript>();
  StartupEnvironment env = Env({}, script);
  ASSERT_EQ(StartUp(env).action, StartupAction::Run);
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0].file, resources_ / "KbDaemon");
  EXPECT_EQ(opened_[0].parameters, u"");
  EXPECT_TRUE(opened_[0].directory.empty());
  EXPECT_EQ(opened_[0].show, shell::Show::Hidden);
}

TEST_F(StartupTest, MissingOrFailingCompanionIsIgnored) {
  {
    auto script = std::make_shared<ChannelScript>();
    StartupEnvironment env = Env({}, script);
    const StartupResult result = StartUp(env);
    EXPECT_EQ(result.action, StartupAction::Run);
    EXPECT_FALSE(result.companion_started);
    EXPECT_TRUE(opened_.empty());
  }
  ReleaseInstanceLock();
  PutCompanion();
  {
    auto script = std::make_shared<ChannelScript>();
    StartupEnvironment env = Env({}, script);
    env.open = [](const shell::OpenRequest&) { return false; };
    EXPECT_EQ(StartUp(env).action, StartupAction::Run);
  }
}

TEST_F(StartupTest, RunningInstanceServesRequestsWithTheGivenHandler) {
  auto script = std::make_shared<ChannelScript>();
  StartupEnvironment env = Env({}, script);
  std::vector<instance::Request> seen;
  env.on_request = [&](const instance::Request& r) {
    seen.push_back(r);
    return std::int64_t{7};
  };
  ASSERT_TRUE(StartUp(env).holds_lock);
  ASSERT_TRUE(script->handler);
  EXPECT_EQ(script->handler(kShowRequest), 7);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].message, 0x5350u);
  EXPECT_EQ(seen[0].wparam, 0x4F50454Eu);
}

TEST_F(StartupTest, BuildsPathsAndOpensTheRegistryKey) {
  auto script = std::make_shared<ChannelScript>();
  StartupEnvironment env = Env({}, script);
  StartUp(env);
  EXPECT_EQ(Paths().AppDir, resources_);
  EXPECT_EQ(Paths().AppFileName, fs::path("keyloom"));
  EXPECT_EQ(Paths().DaemonPath, resources_ / "KbDaemon");
  ASSERT_NE(AppRegistryKey(), nullptr);
  EXPECT_TRUE(registry::Key::Open(u"Software\\Tarn-60 Gaming Keyboard").has_value());
}

TEST_F(StartupTest, GoesOnWithoutTheRegistry) {
  // The store file's folder is a plain file: nothing can be opened or made.
  std::ofstream(dir_ / "blocker") << "x";
  registry::SetStoreFile(dir_ / "blocker" / "registry.reg");
  auto script = std::make_shared<ChannelScript>();
  StartupEnvironment env = Env({}, script);
  EXPECT_EQ(StartUp(env).action, StartupAction::Run);
  EXPECT_EQ(AppRegistryKey(), nullptr);
}

}  // namespace
}  // namespace keyloom::app
