#pragma once
// The keyboard held against other programs. Every open handle of the
// keyboard's command interface receives every reply (a hidraw node gives each
// reader a copy of each input report), so when two programs talk to one
// keyboard, their transactions must not interleave: a lock file per keyboard
// in the user's private runtime folder is held across each transaction, and
// across whole transfers and read-modify-write edits with a KeyboardHold.
// The process holding it drains what others' transactions left in its
// queue before each request, so a reply meant for another program is
// never taken for its own.
//
// The answers the keyboard still owes when a program lets go (requests that
// timed out) are left in the lock file; the next program to take the lock
// waits for them before its first request, as a program does for its own
// (device/report_transaction.h), so a late answer to one program never lands
// in another's buffer.
//
// The lock is fair between programs: a program that lets go and wants the
// keyboard again queues behind one already waiting (two byte locks, a
// turnstile and the lock proper). File: <runtime>/keyloom-keyboard-<hash of
// the backend's KeyboardLockName>.lock, mode 0600; bytes 8..11 hold the
// answers owed (u32 LE). Open-file-description locks: the kernel drops them
// when the process dies.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace keyloom::device {

class DeviceLink;

// One keyboard's lock file, as one link holds it. Its members are guarded
// by the link's transaction lock.
class KeyboardFileLock {
 public:
  KeyboardFileLock() = default;
  ~KeyboardFileLock();
  KeyboardFileLock(const KeyboardFileLock&) = delete;
  KeyboardFileLock& operator=(const KeyboardFileLock&) = delete;

  // Takes the lock named `name`, waiting at most KeyboardWaitLimit() for
  // another program to let go; `owed_left` gets the answers that program
  // left owed. True also when there is no lock file to take (no private
  // runtime folder): the keyboard is then used without one.
  bool Take(const std::string& name, std::uint32_t& owed_left);
  // Leaves `owed` in the file and lets go. Nothing when not held.
  void LetGo(std::uint32_t owed);
  bool Held() const { return held_; }

 private:
  void Close();

  int fd_ = -1;
  std::string name_;
  bool held_ = false;
};

// Holds the link's keyboard for its lifetime: the first hold of a link takes
// the lock file, the last one lets it go; the threads of one process share
// a link's holds. A transaction (SendReport) holds it for its own length;
// transfers and edits hold it across all of theirs.
class KeyboardHold {
 public:
  explicit KeyboardHold(DeviceLink& link);
  ~KeyboardHold();
  KeyboardHold(const KeyboardHold&) = delete;
  KeyboardHold& operator=(const KeyboardHold&) = delete;

  // False when another program kept the keyboard for longer than
  // KeyboardWaitLimit(): nothing is held then.
  bool Held() const { return held_; }

 private:
  DeviceLink& link_;
  bool held_ = false;
};

// Whether the link's last wait for the keyboard gave up because another
// program kept it (for messages).
bool KeyboardBusy(const DeviceLink& link);

// The lock file of the keyboard named `name`; empty without a private
// runtime folder.
std::filesystem::path KeyboardLockPath(const std::string& name);

// How long a program waits for another to let go of the keyboard, process
// wide (default 10 s).
std::chrono::milliseconds KeyboardWaitLimit();
class ScopedKeyboardWaitLimit {
 public:
  explicit ScopedKeyboardWaitLimit(std::chrono::milliseconds limit);
  ~ScopedKeyboardWaitLimit();
  ScopedKeyboardWaitLimit(const ScopedKeyboardWaitLimit&) = delete;
  ScopedKeyboardWaitLimit& operator=(const ScopedKeyboardWaitLimit&) = delete;

 private:
  std::chrono::milliseconds previous_;
};

}  // namespace keyloom::device
