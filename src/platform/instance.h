#pragma once
// Single running instance: a lock file plus a local (Unix) socket in the
// runtime folder, named from a mutex-style name and the user id. The first
// instance holds the lock and serves the socket; another start connects and
// delivers a request (message, wParam, lParam), which the running instance
// hands to its handler and acknowledges.
//
// Files: <dir>/<name>-<uid>.lock, held with flock() while the instance runs
// (the kernel drops it when the process dies), and <dir>/<name>-<uid>.sock,
// a Unix stream socket. A request is 16 bytes: message (u32), wParam (u32),
// lParam (i64); the answer is the handler's result as an i64; all
// little-endian. Only processes of the same user are served or sent to.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace keyloom::instance {

struct Request {
  std::uint32_t message = 0;
  std::uint32_t wparam = 0;
  std::int64_t lparam = 0;
};

class Guard {
 public:
  // Handler runs on the instance's listener thread; it may post into the
  // UI thread. Its return value goes back to the sender.
  using Handler = std::function<std::int64_t(const Request&)>;

  // name: e.g. "QX40T17B"; dir: where lock and socket live (RuntimeDir()).
  Guard(std::string name, std::filesystem::path dir);
  ~Guard();
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

  // Is another instance running (its lock held)? Does not take the lock.
  bool OtherRunning() const;
  // Takes the lock and starts serving requests. False when another instance
  // holds it or the lock cannot be made.
  bool Acquire(Handler handler);
  // Delivers a request to the running instance and waits for its answer
  // (up to timeout_ms). Empty when none answered.
  std::optional<std::int64_t> Send(const Request& request, int timeout_ms = 5000) const;
  // Stops serving (waiting for a running handler to return), removes the
  // socket and drops the lock. Not to be called from the handler itself.
  void Release();

  std::filesystem::path LockPath() const;
  std::filesystem::path SocketPath() const;

 private:
  struct State;
  std::string name_;
  std::filesystem::path dir_;
  std::unique_ptr<State> state_;
};

}  // namespace keyloom::instance
