#pragma once
// The single running instance. The first start holds the instance lock and
// serves requests; a later start hands its request to the running one and
// ends. Requests reach the running instance's main window once that window
// has marked itself (installed itself as the host's main window); until then
// they are dropped.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/host.h"
#include "platform/instance.h"

namespace keyloom::app {

// Name the lock and socket are made from.
inline constexpr char kInstanceName[] = "QX40T17B";

// The value the main window stores in its user data to mark itself.
inline constexpr std::uint32_t kMainWindowMarker = 0x4D41494E;  // "MAIN"

// show yourself
inline constexpr std::uint32_t kShowMessage = 0x5350;
inline constexpr std::uint32_t kShowTag = host::Tag("OPEN");  // 0x4F50454E
// quit
inline constexpr std::uint32_t kQuitMessage = 0x4D4B;
// The quit request's tag is the one value whose letters run the other way
// (low byte first); both ends use this exact number.
inline constexpr std::uint32_t kQuitTag = 0x4C4C494B;

// another program (keyloomctl) has changed the keyboard: what this one shows
// and edits is stale and must be read again from the keyboard before
// anything is written back; lParam: that program's process id
inline constexpr std::uint32_t kKeyboardChangedMessage = 0x4B43;
inline constexpr std::uint32_t kKeyboardChangedTag = host::Tag("KBCH");

inline constexpr instance::Request kShowRequest{kShowMessage, kShowTag, 0};
inline constexpr instance::Request kQuitRequest{kQuitMessage, kQuitTag, 0};

// What the start-up needs of the single-instance mechanism.
class InstanceChannel {
 public:
  virtual ~InstanceChannel() = default;
  // Is another instance holding the lock? Must not take the lock.
  virtual bool OtherRunning() = 0;
  // Takes the lock and serves requests with `handler`.
  virtual bool Acquire(instance::Guard::Handler handler) = 0;
  // Delivers a request to the running instance, if one listens.
  virtual std::optional<std::int64_t> Send(const instance::Request& request) = 0;
  // Stops serving and drops the lock.
  virtual void Release() = 0;
};

// The channel over the lock file and local socket in the runtime folder.
class GuardChannel : public InstanceChannel {
 public:
  GuardChannel(std::string name, std::filesystem::path dir);
  bool OtherRunning() override;
  bool Acquire(instance::Guard::Handler handler) override;
  std::optional<std::int64_t> Send(const instance::Request& request) override;
  void Release() override;

 private:
  instance::Guard guard_;
};

// The handler the running instance serves requests with: hands the request
// on to the host's main window as a posted message (dropped while none is
// installed) and answers 1. Posting (never waiting for the UI
// thread) keeps the listener free, so the main window may drop the lock
// while it handles a quit request.
std::int64_t ForwardToMainWindow(const instance::Request& request);

// Whether `request` is the keyboard-changed request (message and tag).
bool IsKeyboardChangedRequest(const instance::Request& request);

// Tells the instance running in `runtime_dir`, if one runs, that this
// process has changed the keyboard (kKeyboardChangedMessage, this process's
// id); it passes the request to its main window like any other. Waits at
// most `timeout_ms` for its answer. True when it took the request.
bool TellRunningInstanceKeyboardChanged(const std::filesystem::path& runtime_dir, int timeout_ms = 1000);

// The process-wide channel whose lock this process holds (set by start-up).
void SetHeldInstance(std::unique_ptr<InstanceChannel> channel);
// Drops the single-instance lock, if held; the main window does this when it
// shuts down. Safe to call more than once.
void ReleaseInstanceLock();

}  // namespace keyloom::app
