// Our local sockets serve and talk to processes of their own user only. A
// test cannot run a second user's process without privileges, so the
// expected user is moved instead: for one side, a process of our own user
// then stands for another user's.
#include "platform/peer_user.h"

#include "platform/instance.h"
#include "test_dir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>

namespace keyloom::peer {
namespace {

using keyloom::testing::TempDir;

// Runs `body` in a child process; its exit status (true: 0).
bool InChild(const std::function<bool()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body() ? 0 : 1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(PeerUser, SocketPairPeerIsThisUser) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  EXPECT_TRUE(SameUser(fds[0]));
  {
    ScopedExpectedUser other(::geteuid() + 1);
    EXPECT_FALSE(SameUser(fds[0]));
  }
  EXPECT_TRUE(SameUser(fds[1]));
  ::close(fds[0]);
  ::close(fds[1]);
  EXPECT_FALSE(SameUser(-1));
}

// The single instance: a request from another user's process is dropped
// unanswered, and a request is never sent to another user's instance.
TEST(PeerUser, InstanceServesAndTellsOnlyItsOwnUser) {
  TempDir dir;
  std::atomic<int> served{0};
  instance::Guard running("QX40T17B", dir.path());
  {
    ScopedExpectedUser other(::geteuid() + 1);  // the running instance belongs to "another" user
    ASSERT_TRUE(running.Acquire([&](const instance::Request&) { return ++served; }));
    EXPECT_TRUE(InChild([&] {
      ScopedExpectedUser ours(::geteuid());  // the sender is of its own user
      return !instance::Guard("QX40T17B", dir.path()).Send({1, 2, 3}, 500).has_value();
    }));
    running.Release();
  }
  EXPECT_EQ(served, 0);
  ASSERT_TRUE(running.Acquire([&](const instance::Request&) { return ++served; }));
  // Now the sender stands for another user: it does not tell this instance.
  EXPECT_TRUE(InChild([&] {
    ScopedExpectedUser other(::geteuid() + 1);
    return !instance::Guard("QX40T17B", dir.path()).Send({1, 2, 3}, 500).has_value();
  }));
  EXPECT_EQ(served, 0);
  EXPECT_TRUE(InChild([&] { return instance::Guard("QX40T17B", dir.path()).Send({1, 2, 3}, 500).has_value(); }));
  EXPECT_EQ(served, 1);
}

}  // namespace
}  // namespace keyloom::peer
