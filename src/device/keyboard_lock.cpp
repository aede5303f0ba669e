#include "device/keyboard_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <thread>

#include "device/device_table.h"
#include "device/report_transaction.h"
#include "platform/paths.h"

namespace keyloom::device {
namespace {

using Clock = std::chrono::steady_clock;

constexpr off_t kTurnstileByte = 0;
constexpr off_t kLockByte = 1;
constexpr off_t kOwedOffset = 8;
// More than any program can owe (four attempts of one request, and what it
// inherited): anything larger in the file is not believed.
constexpr std::uint32_t kMostOwed = 4 * kAttempts;

std::atomic<long long> g_wait_ms{10000};

bool LockByte(int fd, off_t at, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = at;
  fl.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// Takes the byte lock at `at`, trying again with growing pauses until the
// deadline.
bool WaitForByte(int fd, off_t at, Clock::time_point deadline) {
  auto pause = std::chrono::microseconds(50);
  for (;;) {
    if (LockByte(fd, at, F_WRLCK)) return true;
    if (errno != EAGAIN && errno != EACCES && errno != EINTR) return false;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(pause);
    pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(1));
  }
}

std::uint64_t Fnv1a(const std::string& text) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

}  // namespace

std::filesystem::path KeyboardLockPath(const std::string& name) {
  const std::filesystem::path dir = paths::RuntimeDir();
  if (dir.empty()) return {};
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Fnv1a(name)));
  return dir / ("keyloom-keyboard-" + std::string(hex) + ".lock");
}

KeyboardFileLock::~KeyboardFileLock() { Close(); }

void KeyboardFileLock::Close() {
  if (fd_ >= 0) ::close(fd_);  // drops the byte locks too
  fd_ = -1;
  held_ = false;
}

bool KeyboardFileLock::Take(const std::string& name, std::uint32_t& owed_left) {
  owed_left = 0;
  if (held_ && name == name_) return true;
  if (name != name_) {
    Close();
    name_ = name;
  }
  if (fd_ < 0) {
    const std::filesystem::path path = KeyboardLockPath(name);
    if (path.empty()) return true;  // nowhere private to keep it
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0) return true;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
      ::close(fd);
      return true;
    }
    fd_ = fd;
  }
  const auto deadline = Clock::now() + KeyboardWaitLimit();
  // In the turnstile first: a program that has just let go waits behind
  // one already waiting for the lock.
  if (!WaitForByte(fd_, kTurnstileByte, deadline)) return false;
  const bool locked = WaitForByte(fd_, kLockByte, deadline);
  LockByte(fd_, kTurnstileByte, F_UNLCK);
  if (!locked) return false;
  held_ = true;
  std::uint8_t b[4] = {};
  if (::pread(fd_, b, sizeof b, kOwedOffset) == static_cast<ssize_t>(sizeof b)) {
    const std::uint32_t owed = b[0] | (b[1] << 8) | (b[2] << 16) | (std::uint32_t(b[3]) << 24);
    owed_left = std::min(owed, kMostOwed);
  }
  return true;
}

void KeyboardFileLock::LetGo(std::uint32_t owed) {
  if (!held_) return;
  owed = std::min(owed, kMostOwed);
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(owed), static_cast<std::uint8_t>(owed >> 8),
                             static_cast<std::uint8_t>(owed >> 16), static_cast<std::uint8_t>(owed >> 24)};
  [[maybe_unused]] const ssize_t n = ::pwrite(fd_, b, sizeof b, kOwedOffset);
  LockByte(fd_, kLockByte, F_UNLCK);
  held_ = false;
}

KeyboardHold::KeyboardHold(DeviceLink& link) : link_(link) {
  TransactionState& s = link.transactions;
  std::lock_guard lock(s.lock);
  if (s.holds == 0) {
    const std::string name = link.CommandDevice().KeyboardLockName();
    if (!name.empty()) {
      std::uint32_t left = 0;
      if (!s.file.Take(name, left)) {
        s.busy.store(true);
        return;
      }
      s.inherited = left;
    }
    s.busy.store(false);
  }
  ++s.holds;
  held_ = true;
}

KeyboardHold::~KeyboardHold() {
  if (!held_) return;
  TransactionState& s = link_.transactions;
  std::lock_guard lock(s.lock);
  if (--s.holds == 0 && s.file.Held()) {
    // What is still owed is now the next holder's to collect.
    s.file.LetGo(s.owed + s.inherited);
    s.owed = 0;
    s.inherited = 0;
  }
}

bool KeyboardBusy(const DeviceLink& link) { return link.transactions.busy.load(); }

std::chrono::milliseconds KeyboardWaitLimit() { return std::chrono::milliseconds(g_wait_ms.load()); }

ScopedKeyboardWaitLimit::ScopedKeyboardWaitLimit(std::chrono::milliseconds limit)
    : previous_(std::chrono::milliseconds(g_wait_ms.exchange(limit.count()))) {}

ScopedKeyboardWaitLimit::~ScopedKeyboardWaitLimit() { g_wait_ms.store(previous_.count()); }

}  // namespace keyloom::device
