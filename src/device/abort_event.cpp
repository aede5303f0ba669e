#include "device/abort_event.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace keyloom::device {

AbortEvent::AbortEvent() {
  if (::pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0) {
    fds_[0] = fds_[1] = -1;
  }
}

AbortEvent::~AbortEvent() {
  if (fds_[0] >= 0) ::close(fds_[0]);
  if (fds_[1] >= 0) ::close(fds_[1]);
}

void AbortEvent::Signal() {
  if (fds_[1] < 0) return;
  const char one = 1;
  // A full pipe already means "set".
  [[maybe_unused]] ssize_t n = ::write(fds_[1], &one, 1);
}

bool AbortEvent::Consume() {
  if (fds_[0] < 0) return false;
  bool was_set = false;
  char buf[64];
  for (;;) {
    const ssize_t n = ::read(fds_[0], buf, sizeof buf);
    if (n > 0) {
      was_set = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  return was_set;
}

SteadyTime DeadlineAfter(std::uint32_t timeout_ms) {
  if (timeout_ms == kInfinite) return SteadyTime::max();
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
}

namespace {

WaitResult Wait(int fd, short events, AbortEvent& abort, SteadyTime deadline) {
  for (;;) {
    pollfd p[2] = {{abort.ReadFd(), POLLIN, 0}, {fd, events, 0}};
    const nfds_t count = fd >= 0 ? 2 : 1;
    timespec ts{};
    timespec* tsp = nullptr;
    if (deadline != SteadyTime::max()) {
      auto left = deadline - std::chrono::steady_clock::now();
      if (left < std::chrono::nanoseconds(0)) left = std::chrono::nanoseconds(0);
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      ts.tv_sec = static_cast<time_t>(ns / 1000000000);
      ts.tv_nsec = static_cast<long>(ns % 1000000000);
      tsp = &ts;
    }
    const int r = ::ppoll(p, count, tsp, nullptr);
    if (r < 0) {
      if (errno == EINTR) continue;
      return WaitResult::Failed;
    }
    // The abort event is looked at first.
    if (p[0].revents & POLLIN) {
      if (abort.Consume()) return WaitResult::Aborted;
    }
    if (count == 2 && p[1].revents) {
      if (p[1].revents & events) return WaitResult::Ready;
      return WaitResult::Failed;  // hang-up, error, invalid
    }
    if (r == 0) return WaitResult::TimedOut;
  }
}

}  // namespace

WaitResult WaitReadable(int fd, AbortEvent& abort, SteadyTime deadline) {
  return Wait(fd, POLLIN, abort, deadline);
}

WaitResult WaitWritable(int fd, AbortEvent& abort, SteadyTime deadline) {
  return Wait(fd, POLLOUT, abort, deadline);
}

}  // namespace keyloom::device
