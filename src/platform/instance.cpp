#include "platform/instance.h"

#include "platform/peer_user.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace keyloom::instance {
namespace {

// A request on the wire: message (u32), wParam (u32), lParam (i64), all
// little-endian; the answer: one i64, little-endian.
constexpr std::size_t kRequestBytes = 16;
constexpr std::size_t kAnswerBytes = 8;
// How long the listener waits for a connected client to send its request.
constexpr int kClientReadMs = 2000;

using Clock = std::chrono::steady_clock;

void PutLe(std::uint8_t* p, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint64_t GetLe(const std::uint8_t* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= std::uint64_t(p[i]) << (8 * i);
  return v;
}

std::array<std::uint8_t, kRequestBytes> EncodeRequest(const Request& r) {
  std::array<std::uint8_t, kRequestBytes> b{};
  PutLe(&b[0], r.message, 4);
  PutLe(&b[4], r.wparam, 4);
  PutLe(&b[8], static_cast<std::uint64_t>(r.lparam), 8);
  return b;
}
Request DecodeRequest(const std::uint8_t* b) {
  Request r;
  r.message = static_cast<std::uint32_t>(GetLe(&b[0], 4));
  r.wparam = static_cast<std::uint32_t>(GetLe(&b[4], 4));
  r.lparam = static_cast<std::int64_t>(GetLe(&b[8], 8));
  return r;
}

struct Fd {
  int fd = -1;
  Fd() = default;
  explicit Fd(int f) : fd(f) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  void Reset(int f = -1) {
    if (fd >= 0) ::close(fd);
    fd = f;
  }
  int Release() {
    const int f = fd;
    fd = -1;
    return f;
  }
};

bool MakeAddress(const std::filesystem::path& path, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  const std::string& s = path.native();
  if (s.empty() || s.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, s.c_str(), s.size() + 1);
  return true;
}

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// Reads or writes exactly `size` bytes on a non-blocking socket before the
// deadline; `stop_fd` (if >= 0) becoming readable aborts.
bool Transfer(int fd, std::uint8_t* data, std::size_t size, bool write, Clock::time_point deadline,
              int stop_fd = -1) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = write ? ::send(fd, data + done, size - done, MSG_NOSIGNAL)
                            : ::recv(fd, data + done, size - done, 0);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n == 0) return false;  // peer closed
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
    pollfd p[2] = {{fd, short(write ? POLLOUT : POLLIN), 0}, {stop_fd, POLLIN, 0}};
    const int left = MsLeft(deadline);
    if (left == 0) return false;
    const int r = ::poll(p, stop_fd >= 0 ? 2 : 1, left);
    if (r < 0 && errno != EINTR) return false;
    if (stop_fd >= 0 && (p[1].revents & POLLIN)) return false;
  }
  return true;
}

}  // namespace

struct Guard::State {
  Fd lock;
  Fd listener;
  Fd wake_read;
  Fd wake_write;
  std::thread thread;
  Handler handler;

  void Serve() {
    for (;;) {
      pollfd p[2] = {{listener.fd, POLLIN, 0}, {wake_read.fd, POLLIN, 0}};
      if (::poll(p, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (p[1].revents) return;
      if (!(p[0].revents & POLLIN)) continue;
      Fd client(::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
      if (client.fd < 0) continue;
      if (!peer::SameUser(client.fd)) continue;
      std::array<std::uint8_t, kRequestBytes> in{};
      const auto deadline = Clock::now() + std::chrono::milliseconds(kClientReadMs);
      if (!Transfer(client.fd, in.data(), in.size(), false, deadline, wake_read.fd)) continue;
      std::int64_t answer = 0;
      try {
        if (handler) answer = handler(DecodeRequest(in.data()));
      } catch (...) {
        answer = 0;  // a failing handler answers 0; nothing escapes the thread
      }
      std::array<std::uint8_t, kAnswerBytes> out{};
      PutLe(out.data(), static_cast<std::uint64_t>(answer), 8);
      Transfer(client.fd, out.data(), out.size(), true,
               Clock::now() + std::chrono::milliseconds(kClientReadMs), wake_read.fd);
    }
  }
};

Guard::Guard(std::string name, std::filesystem::path dir) : name_(std::move(name)), dir_(std::move(dir)) {}

Guard::~Guard() { Release(); }

std::filesystem::path Guard::LockPath() const {
  return dir_ / (name_ + "-" + std::to_string(::getuid()) + ".lock");
}

std::filesystem::path Guard::SocketPath() const {
  return dir_ / (name_ + "-" + std::to_string(::getuid()) + ".sock");
}

bool Guard::OtherRunning() const {
  if (state_) return false;  // this guard is the running instance
  Fd fd(::open(LockPath().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (fd.fd < 0) return false;
  // A shared probe: it conflicts only with the holder's exclusive lock.
  if (::flock(fd.fd, LOCK_SH | LOCK_NB) != 0) return errno == EWOULDBLOCK;
  ::flock(fd.fd, LOCK_UN);
  return false;
}

bool Guard::Acquire(Handler handler) {
  if (state_) return true;
  auto state = std::make_unique<State>();
  state->lock.Reset(::open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (state->lock.fd < 0) return false;
  // Another start's OtherRunning() probe holds a shared lock for a moment;
  // only a lock still held after a short while belongs to a running instance.
  bool locked = false;
  for (int attempt = 0; attempt < 10 && !locked; ++attempt) {
    if (::flock(state->lock.fd, LOCK_EX | LOCK_NB) == 0) {
      locked = true;
    } else if (errno == EWOULDBLOCK || errno == EINTR) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } else {
      return false;
    }
  }
  if (!locked) return false;

  // Holding the lock, any socket file left is stale.
  sockaddr_un addr{};
  if (!MakeAddress(SocketPath(), addr)) return false;
  ::unlink(addr.sun_path);
  state->listener.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (state->listener.fd < 0) return false;
  if (::bind(state->listener.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return false;
  ::chmod(addr.sun_path, 0600);
  if (::listen(state->listener.fd, 16) != 0) {
    ::unlink(addr.sun_path);
    return false;
  }
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC) != 0) {
    ::unlink(addr.sun_path);
    return false;
  }
  state->wake_read.Reset(wake[0]);
  state->wake_write.Reset(wake[1]);
  state->handler = std::move(handler);
  State* raw = state.get();
  state->thread = std::thread([raw] { raw->Serve(); });
  state_ = std::move(state);
  return true;
}

std::optional<std::int64_t> Guard::Send(const Request& request, int timeout_ms) const {
  sockaddr_un addr{};
  if (!MakeAddress(SocketPath(), addr)) return std::nullopt;
  Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (fd.fd < 0) return std::nullopt;
  if (::connect(fd.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return std::nullopt;
  // Only an instance of the same user is told anything.
  if (!peer::SameUser(fd.fd)) return std::nullopt;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  auto out = EncodeRequest(request);
  if (!Transfer(fd.fd, out.data(), out.size(), true, deadline)) return std::nullopt;
  std::array<std::uint8_t, kAnswerBytes> in{};
  if (!Transfer(fd.fd, in.data(), in.size(), false, deadline)) return std::nullopt;
  return static_cast<std::int64_t>(GetLe(in.data(), 8));
}

void Guard::Release() {
  if (!state_) return;
  const char stop = 1;
  [[maybe_unused]] ssize_t n = ::write(state_->wake_write.fd, &stop, 1);
  if (state_->thread.joinable()) state_->thread.join();
  state_->listener.Reset();
  ::unlink(SocketPath().c_str());
  ::flock(state_->lock.fd, LOCK_UN);
  state_.reset();
}

}  // namespace keyloom::instance
