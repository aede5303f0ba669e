#pragma once
// Who is at the other end of a local socket. Our sockets (the single
// instance, the virtual keyboard) serve and talk to processes of their own
// user only: each end asks the kernel for the peer's credentials
// (SO_PEERCRED) on every connection it makes or accepts.
#include <sys/types.h>

namespace keyloom::peer {

// Whether the process at the other end of the connected Unix socket `fd`
// runs as this user (its effective user id when it connected or listened).
// False when the kernel cannot tell.
bool SameUser(int fd);

// The user id a peer must have: this process's effective user id, unless a
// test has installed another with ScopedExpectedUser.
uid_t ExpectedUser();

// Makes SameUser expect `uid` for the lifetime of the object (tests: a peer
// of our own user then stands for another user's), then restores the one
// expected before.
class ScopedExpectedUser {
 public:
  explicit ScopedExpectedUser(uid_t uid);
  ~ScopedExpectedUser();
  ScopedExpectedUser(const ScopedExpectedUser&) = delete;
  ScopedExpectedUser& operator=(const ScopedExpectedUser&) = delete;

 private:
  long long previous_;
};

}  // namespace keyloom::peer
