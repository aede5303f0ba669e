#include "platform/peer_user.h"

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

namespace keyloom::peer {
namespace {

// -1: this process's own user.
std::atomic<long long> g_expected{-1};

}  // namespace

uid_t ExpectedUser() {
  const long long expected = g_expected.load();
  return expected < 0 ? ::geteuid() : static_cast<uid_t>(expected);
}

bool SameUser(int fd) {
  ucred cred{};
  socklen_t len = sizeof cred;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred) return false;
  return cred.uid == ExpectedUser();
}

ScopedExpectedUser::ScopedExpectedUser(uid_t uid) : previous_(g_expected.exchange(static_cast<long long>(uid))) {}

ScopedExpectedUser::~ScopedExpectedUser() { g_expected.store(previous_); }

}  // namespace keyloom::peer
