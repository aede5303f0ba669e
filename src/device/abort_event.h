#pragma once
// An auto-reset event that ends a wait on a HID interface from another
// thread. It stays set until one wait consumes it. Backed by a non-blocking
// pipe so that a wait can watch it together with a file descriptor.
#include <chrono>
#include <cstdint>

namespace keyloom::device {

class AbortEvent {
 public:
  AbortEvent();
  ~AbortEvent();
  AbortEvent(const AbortEvent&) = delete;
  AbortEvent& operator=(const AbortEvent&) = delete;

  void Signal();
  // Clears the event; true when it was set.
  bool Consume();
  int ReadFd() const { return fds_[0]; }

 private:
  int fds_[2] = {-1, -1};
};

enum class WaitResult { Ready, TimedOut, Aborted, Failed };

// Time-outs in milliseconds; all bits set waits without limit.
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

using SteadyTime = std::chrono::steady_clock::time_point;
// The deadline of a wait of `timeout_ms` from now; nullopt-like max() for kInfinite.
SteadyTime DeadlineAfter(std::uint32_t timeout_ms);

// Waits until `fd` is readable (or, when `fd` is -1, until the deadline),
// the abort event is set (checked first, and consumed), or the deadline
// passes. A hang-up or error on `fd` gives Failed.
WaitResult WaitReadable(int fd, AbortEvent& abort, SteadyTime deadline);
// The same for writability.
WaitResult WaitWritable(int fd, AbortEvent& abort, SteadyTime deadline);

}  // namespace keyloom::device
