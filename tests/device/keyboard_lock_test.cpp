// Two programs on one keyboard. keyloom-vkbd gives every client a copy of
// every reply, as a hidraw node does; the keyboard's lock file keeps the
// programs' transactions apart, so each takes only its own answers, and a
// hold keeps a write and its read-back together.
#include "device/keyboard_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/commands.h"
#include "device/device_table.h"
#include "device/hid_device.h"
#include "device/report_transaction.h"
#include "device/virtual_backend.h"
#include "platform/scoped_env.h"
#include "support/process_runner.h"
#include "vkbdsocket/vkbd_client.h"

namespace keyloom::device {
namespace {

using namespace std::chrono_literals;

// A private folder for the test's runtime files and the server's socket.
class PrivateDir {
 public:
  PrivateDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "keyloom-lock-XXXXXX").string();
    if (::mkdtemp(tmpl.data())) path_ = tmpl;
  }
  ~PrivateDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// keyloom-vkbd serve as a process of its own, on a socket in `dir`.
class ServedKeyboard {
 public:
  explicit ServedKeyboard(const std::filesystem::path& dir) : socket_((dir / "kb.sock").string()) {
    testing_support::ProcessStart start;
    start.program = std::string(KEYLOOM_BUILD_DIR) + "/keyloom-vkbd";
    start.args = {"serve", "--socket", socket_, "--latency-ms", "0"};
    start.env = testing_support::CurrentEnvironment();
    start.output_file = start.error_file = (dir / "server.log").string();
    server_ = std::make_unique<testing_support::ChildProcess>(start);
    // The socket's file is there before the server listens: wait for an answer.
    for (int i = 0; i < 500 && !Answers(); ++i) std::this_thread::sleep_for(10ms);
  }
  ~ServedKeyboard() { server_->Stop(2s); }
  bool Serving() const { return Answers(); }
  const std::string& Socket() const { return socket_; }

 private:
  bool Answers() const {
    vkbdsocket::VkbdClient client;
    bool plugged = false;
    std::vector<vkbdsocket::InterfaceInfo> interfaces;
    return client.Connect(socket_) && client.List(plugged, interfaces, 1000);
  }

  std::string socket_;
  std::unique_ptr<testing_support::ChildProcess> server_;
};

// Opens the command interface of the served keyboard on `link`, as the
// connection monitor does.
bool ConnectCommandDevice(DeviceLink& link, const std::string& socket) {
  link.UseBackend(MakeVirtualBackend(socket));
  HidDevice& device = link.CommandDevice();
  if (!device.BeginEnumeration()) return false;
  bool opened = false;
  while (auto path = device.NextPath()) {
    const HidInterfaceInfo* info = device.CurrentInterface();
    if (!info || !IsCandidate(*info, kCommandUsagePage, kCommandUsage)) continue;
    if (device.Open(*path, true, true, true, false) && IsWantedInterface(device, kCommandUsagePage, kCommandUsage)) {
      opened = true;
      break;
    }
  }
  device.EndEnumeration();
  if (!opened) return false;
  link.SetModelSizes(device.Attributes().vendor_id, device.Attributes().product_id);
  link.DeviceConnected.store(1);
  return true;
}

// Runs `body` in a child process; its text (empty = success) comes back
// through a pipe.
class Child {
 public:
  template <typename Body>
  explicit Child(Body body) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      const std::string text = body();
      [[maybe_unused]] ssize_t n = ::write(fds[1], text.data(), text.size());
      ::_exit(text.empty() ? 0 : 1);
    }
    ::close(fds[1]);
    read_fd_ = fds[0];
  }
  // "" when the child succeeded, else what went wrong.
  std::string Result() {
    if (pid_ <= 0) return "could not start";
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(read_fd_, buffer, sizeof buffer)) > 0;) text.append(buffer, std::size_t(n));
    ::close(read_fd_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    if (!WIFEXITED(status)) return "ended by signal " + std::to_string(WTERMSIG(status));
    if (WEXITSTATUS(status) != 0 && text.empty()) return "exit " + std::to_string(WEXITSTATUS(status));
    return text;
  }

 private:
  pid_t pid_ = -1;
  int read_fd_ = -1;
};

class TwoPrograms : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.Set("XDG_RUNTIME_DIR", dir_.path().c_str());
    server_ = std::make_unique<ServedKeyboard>(dir_.path());
    ASSERT_TRUE(server_->Serving());
  }
  void TearDown() override { server_.reset(); }

  PrivateDir dir_;
  keyloom::testing::ScopedEnv env_;
  std::unique_ptr<ServedKeyboard> server_;
};

// Each program writes its own pattern to the lighting area and reads it
// back, 500 times (1000 transactions). With `hold`, both use one address
// and hold the keyboard across each write and read: a read must return
// what that program just wrote, so a copy of the other program's answer
// (same command, length and address) taken for its own shows as foreign
// data. Without it, each program has an address of its own and only the
// transactions themselves keep the programs apart: a reply to the other
// program is thrown away and counted. Either way every transaction must be
// answered, with no reply thrown away.
TEST_F(TwoPrograms, EachTakesOnlyItsOwnAnswers) {
  struct Case {
    const char* name;
    bool hold;
  } cases[] = {{"hold across write and read", true}, {"single transactions", false}};
  constexpr int kRounds = 500;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto program = [&](std::uint8_t id) {
      return [&, id]() -> std::string {
        ScopedCommandPause no_pause([](std::uint32_t) {});
        DeviceLink link;
        if (!ConnectCommandDevice(link, server_->Socket())) return "no keyboard";
        const std::uint32_t address = c.hold ? 0 : (id - 1) * 64u;
        const std::uint64_t thrown_before = UnansweringReplyCount();
        for (int round = 0; round < kRounds; ++round) {
          std::array<std::uint8_t, 8> pattern = {id, std::uint8_t(round), std::uint8_t(round >> 8), 0xA5, id, id, 0x5A, 1};
          std::array<std::uint8_t, kPayloadBytes> back{};
          std::optional<KeyboardHold> hold;
          if (c.hold) hold.emplace(link);
          const CommandResult w = WriteLightingArea(link, pattern.data(), 8, address);
          const CommandResult r = ReadLightingArea(link, back.data(), 8, address);
          if (w != CommandResult::kOk || r != CommandResult::kOk)
            return "round " + std::to_string(round) + ": write " + std::to_string(int(w)) + ", read " +
                   std::to_string(int(r));
          if (!std::equal(pattern.begin(), pattern.end(), back.begin()))
            return "round " + std::to_string(round) + ": read back program " + std::to_string(back[0]) +
                   "'s round " + std::to_string(back[1] | back[2] << 8);
        }
        const std::uint64_t thrown = UnansweringReplyCount() - thrown_before;
        if (thrown != 0) return std::to_string(thrown) + " replies were not this program's";
        return "";
      };
    };
    Child first(program(1));
    Child second(program(2));
    EXPECT_EQ(first.Result(), "");
    EXPECT_EQ(second.Result(), "");
  }
}

// A hold keeps the keyboard from another program until it ends; the other
// gives up after the wait limit and says why.
TEST_F(TwoPrograms, AHeldKeyboardWaitsForItsHolder) {
  ScopedCommandPause no_pause([](std::uint32_t) {});
  DeviceLink link;
  ASSERT_TRUE(ConnectCommandDevice(link, server_->Socket()));
  std::uint8_t config[kConfigBlockBytes];
  auto other = [&](std::chrono::milliseconds limit) {
    return [&, limit]() -> std::string {
      ScopedKeyboardWaitLimit wait(limit);
      DeviceLink mine;
      if (!ConnectCommandDevice(mine, server_->Socket())) return "no keyboard";
      const CommandResult r = ReadConfig(mine, config);
      return "result " + std::to_string(int(r)) + (KeyboardBusy(mine) ? " busy" : "");
    };
  };
  auto hold = std::make_unique<KeyboardHold>(link);
  ASSERT_TRUE(hold->Held());
  EXPECT_EQ(Child(other(100ms)).Result(), "result 0 busy");
  Child waiting(other(10s));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(ReadConfig(link, config), CommandResult::kOk);  // still this program's
  hold.reset();
  EXPECT_EQ(waiting.Result(), "result 1");
}

// The answers a program still owed when it let go pass to the next holder,
// which waits for them before its first request; a garbled count is not
// believed.
TEST(KeyboardFileLock, OwedAnswersPassToTheNextHolder) {
  PrivateDir dir;
  keyloom::testing::ScopedEnv env("XDG_RUNTIME_DIR", dir.path().c_str());
  ScopedKeyboardWaitLimit wait(50ms);
  KeyboardFileLock first, second;
  std::uint32_t left = 99;
  ASSERT_TRUE(first.Take("vkbd:/some/socket", left));
  EXPECT_EQ(left, 0u);
  EXPECT_FALSE(second.Take("vkbd:/some/socket", left));  // held: gives up after the limit
  first.LetGo(3);
  ASSERT_TRUE(second.Take("vkbd:/some/socket", left));
  EXPECT_EQ(left, 3u);
  // Another keyboard's lock is another file.
  KeyboardFileLock other;
  EXPECT_TRUE(other.Take("vkbd:/another/socket", left));
  EXPECT_NE(KeyboardLockPath("vkbd:/some/socket"), KeyboardLockPath("vkbd:/another/socket"));
  second.LetGo(0xFFFFFFFF);
  ASSERT_TRUE(first.Take("vkbd:/some/socket", left));
  EXPECT_LE(left, 4u * kAttempts);
  // The file is private to this user.
  const auto perms = std::filesystem::status(KeyboardLockPath("vkbd:/some/socket")).permissions();
  EXPECT_EQ(perms & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
            std::filesystem::perms::none);
}

}  // namespace
}  // namespace keyloom::device
