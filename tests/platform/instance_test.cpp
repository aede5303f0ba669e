#include "platform/instance.h"

#include "test_dir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <mutex>
#include <vector>

namespace keyloom::instance {
namespace {

using keyloom::testing::TempDir;
constexpr const char* kName = "QX40T17B";

// Every request the handler saw; answers with a value derived from it.
struct Recorder {
  std::mutex mutex;
  std::vector<Request> seen;
  Guard::Handler Handler() {
    return [this](const Request& r) {
      std::lock_guard lock(mutex);
      seen.push_back(r);
      return static_cast<std::int64_t>(r.message) * 2 + r.lparam;
    };
  }
  std::size_t Count() {
    std::lock_guard lock(mutex);
    return seen.size();
  }
};

int BindRawSocket(const std::filesystem::path& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, path.c_str());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

TEST(Instance, FilesAreNamedFromTheNameAndTheUser) {
  Guard g(kName, "/run/user/1000");
  const std::string uid = std::to_string(::getuid());
  EXPECT_EQ(g.LockPath(), "/run/user/1000/QX40T17B-" + uid + ".lock");
  EXPECT_EQ(g.SocketPath(), "/run/user/1000/QX40T17B-" + uid + ".sock");
}

TEST(Instance, SecondGuardSeesTheFirstAndDeliversRequestsFieldByField) {
  TempDir dir;
  Recorder recorder;
  Guard first(kName, dir.path());
  Guard second(kName, dir.path());
  EXPECT_FALSE(second.OtherRunning());
  EXPECT_FALSE(second.Send({1, 2, 3}, 200));  // nobody serves yet
  ASSERT_TRUE(first.Acquire(recorder.Handler()));
  EXPECT_FALSE(first.OtherRunning());  // itself is not "another"
  EXPECT_TRUE(second.OtherRunning());
  EXPECT_FALSE(second.Acquire(nullptr));

  const Request requests[] = {
      {0x5350, 0x4F50454E, 0},                                 // show: 'OPEN'
      {0x4D4B, 0x4B494C4C, 0},                                 // quit: 'KILL'
      {0xFFFFFFFFu, 0x80000001u, -2},                          // every bit of the fields
      {0x01020304, 0x05060708, 0x0A0B0C0D0E0F1011},
  };
  for (const Request& r : requests) {
    const auto answer = second.Send(r);
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, static_cast<std::int64_t>(r.message) * 2 + r.lparam);
  }
  ASSERT_EQ(recorder.Count(), std::size(requests));
  for (std::size_t i = 0; i < std::size(requests); ++i) {
    EXPECT_EQ(recorder.seen[i].message, requests[i].message) << i;
    EXPECT_EQ(recorder.seen[i].wparam, requests[i].wparam) << i;
    EXPECT_EQ(recorder.seen[i].lparam, requests[i].lparam) << i;
  }

  first.Release();
  EXPECT_FALSE(std::filesystem::exists(first.SocketPath()));
  EXPECT_FALSE(second.OtherRunning());
  EXPECT_FALSE(second.Send({1, 2, 3}, 200));
  EXPECT_TRUE(second.Acquire(recorder.Handler()));
  EXPECT_TRUE(first.OtherRunning());
}

TEST(Instance, StaleSocketWithoutLockHolderIsReplaced) {
  TempDir dir;
  Guard guard(kName, dir.path());
  // A socket file left by a crashed instance: bound once, nobody listening.
  const int stale = BindRawSocket(guard.SocketPath());
  ASSERT_GE(stale, 0);
  ::close(stale);
  ASSERT_TRUE(std::filesystem::exists(guard.SocketPath()));
  Guard sender(kName, dir.path());
  EXPECT_FALSE(sender.OtherRunning());
  EXPECT_FALSE(sender.Send({1, 0, 0}, 200));

  Recorder recorder;
  ASSERT_TRUE(guard.Acquire(recorder.Handler()));
  EXPECT_EQ(sender.Send({5, 0, 1}), 11);
}

TEST(Instance, BadClientsDoNotStopTheListener) {
  TempDir dir;
  Recorder recorder;
  Guard guard(kName, dir.path());
  ASSERT_TRUE(guard.Acquire(recorder.Handler()));
  // A client that sends half a request and hangs up.
  {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, guard.SocketPath().c_str());
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::write(fd, "\x01\x02\x03", 3), 3);
    ::close(fd);
  }
  Guard sender(kName, dir.path());
  EXPECT_EQ(sender.Send({7, 0, 0}), 14);
  EXPECT_EQ(recorder.Count(), 1u);
}

TEST(Instance, SendGivesUpAfterItsTimeOut) {
  TempDir dir;
  Guard sender(kName, dir.path());
  // Something listens but never answers.
  const int mute = BindRawSocket(sender.SocketPath());
  ASSERT_GE(mute, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(sender.Send({1, 0, 0}, 150));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  ::close(mute);
}

TEST(Instance, PathTooLongForASocketFailsCleanly) {
  TempDir dir;
  const auto deep = dir.path() / std::string(120, 'd');
  std::filesystem::create_directories(deep);
  Guard guard(kName, deep);
  EXPECT_FALSE(guard.Acquire(nullptr));
  EXPECT_FALSE(guard.Send({1, 0, 0}, 100));
  Guard missing(kName, dir.path() / "no-such-folder");
  EXPECT_FALSE(missing.Acquire(nullptr));
  EXPECT_FALSE(missing.OtherRunning());
}

// The running instance is another process: it answers, and once it dies
// (killed, no clean-up) its lock is free again even though its socket file
// stays behind.
TEST(Instance, InstanceInAnotherProcess) {
  TempDir dir;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    Guard guard(kName, dir.path());
    const bool ok = guard.Acquire([](const Request& r) -> std::int64_t { return 1000 + r.lparam; });
    const char byte = ok ? 'y' : 'n';
    [[maybe_unused]] ssize_t n = ::write(ready[1], &byte, 1);
    if (!ok) ::_exit(2);
    ::sleep(30);  // until killed
    ::_exit(3);
  }
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(byte, 'y');

  Guard here(kName, dir.path());
  EXPECT_TRUE(here.OtherRunning());
  EXPECT_FALSE(here.Acquire(nullptr));
  EXPECT_EQ(here.Send({0x5350, 0x4F50454E, 5}), 1005);
  EXPECT_EQ(here.Send({0x4D4B, 0x4B494C4C, 6}), 1006);
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));

  EXPECT_TRUE(std::filesystem::exists(here.SocketPath()));  // left behind
  EXPECT_FALSE(here.OtherRunning());
  EXPECT_FALSE(here.Send({1, 0, 0}, 200));
  Recorder recorder;
  ASSERT_TRUE(here.Acquire(recorder.Handler()));
  Guard third(kName, dir.path());
  EXPECT_EQ(third.Send({3, 0, 0}), 6);
}

}  // namespace
}  // namespace keyloom::instance
