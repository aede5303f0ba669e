#pragma once
// What the main window does when the keyboard reports something: events
// that set one of its timers or change the tray icon, and the tray icon of
// the connection state. The core only reports what happened; these rules
// belong to the application.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/host.h"

namespace keyloom::app {

// Timer ids set on the main window for keyboard events.
inline constexpr unsigned kTimerReloadLighting = 1051;
inline constexpr unsigned kTimerReseedColours = 1053;
// Tray icons: connected, disconnected, and the alternate icon (kind 1).
inline constexpr int kTrayConnected = 141;
inline constexpr int kTrayDisconnected = 128;
inline constexpr int kTrayIconAlternate = 142;

// The reaction to one keyboard event: a timer to set at once, or a tray
// icon change (SetTrayIconState(kind, 0)); neither for other usages.
struct KeyboardEventReaction {
  unsigned timer = 0;  // 0: none
  int tray_kind = -1;  // -1: none
  friend bool operator==(const KeyboardEventReaction&, const KeyboardEventReaction&) = default;
};
KeyboardEventReaction ReactionToKeyboardEvent(std::uint16_t usage);

// The main window's SetTrayIconState(kind, id): kind 0 with an id shows and
// remembers that icon, kind 0 with id 0 the remembered one, kind 1 the
// alternate icon.
using TrayIconSetter = std::function<void(int kind, int id)>;

// The two tray values the main window keeps and the rule of
// SetTrayIconState over them: the icon shown (128 at first) and the
// connection icon to return to after the alternate one (128 at first).
// Called from the connection monitor and the tray workers at once, so it
// holds its own lock; the icon itself is changed on the UI thread, which
// shows Current() when it gets there, so that the last state wins whatever
// order the notices arrive in.
class TrayIconState {
 public:
  // kind 0, id one of the three icons: show it and remember it as the
  // connection icon; kind 0, id 0: show the connection icon; kind 1: show
  // the alternate icon. Anything else changes nothing. Returns the icon
  // shown after the change.
  int Set(int kind, int id);
  int Current() const;
  int ConnectionIcon() const;

 private:
  mutable std::mutex mutex_;
  int current_ = kTrayDisconnected;
  int connection_ = kTrayDisconnected;
};

// Tray icon changes, each on a worker thread of its own, one worker at a
// time changing the icon (a millisecond's pause after each change).
class TrayWorkers {
 public:
  explicit TrayWorkers(TrayIconSetter setter);
  // Waits for the workers still running.
  ~TrayWorkers();
  TrayWorkers(const TrayWorkers&) = delete;
  TrayWorkers& operator=(const TrayWorkers&) = delete;

  void Start(int kind, int id);
  // Workers started and not yet finished.
  int Running() const { return running_.load(); }

 private:
  void Work(int kind, int id);

  TrayIconSetter setter_;
  std::atomic<bool> busy_{false};
  std::atomic<int> running_{0};
  std::mutex threads_mutex_;
  std::vector<std::thread> threads_;
};

// The reactions applied: timers on `window`, tray changes through the workers.
class KeyboardReactions {
 public:
  KeyboardReactions(host::MainWindow& window, TrayIconSetter tray);

  void OnKeyboardEvent(std::uint16_t usage);
  // Kind 0 with 141 (connected) or 128.
  void OnConnectionChanged(bool connected);

  TrayWorkers& Workers() { return workers_; }

 private:
  host::MainWindow& window_;
  TrayIconSetter tray_;
  TrayWorkers workers_;
};

}  // namespace keyloom::app
