#include "app/keyboard_reactions.h"

#include <chrono>

namespace keyloom::app {

KeyboardEventReaction ReactionToKeyboardEvent(std::uint16_t usage) {
  switch (usage) {
    case 0x0401: return {kTimerReloadLighting, -1};
    case 0x0402: return {kTimerReseedColours, -1};
    case 0x1811: return {0, 1};
    case 0x1810: return {0, 0};
    default: return {};  // 0x1801 and everything else: nothing
  }
}

int TrayIconState::Set(int kind, int id) {
  std::lock_guard lock(mutex_);
  if (kind == 1) {
    current_ = kTrayIconAlternate;
  } else if (kind == 0 && id == 0) {
    current_ = connection_;
  } else if (kind == 0 && (id == kTrayConnected || id == kTrayDisconnected || id == kTrayIconAlternate)) {
    current_ = id;
    connection_ = id;
  }
  return current_;
}

int TrayIconState::Current() const {
  std::lock_guard lock(mutex_);
  return current_;
}

int TrayIconState::ConnectionIcon() const {
  std::lock_guard lock(mutex_);
  return connection_;
}

TrayWorkers::TrayWorkers(TrayIconSetter setter) : setter_(std::move(setter)) {}

TrayWorkers::~TrayWorkers() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(threads_mutex_);
    threads.swap(threads_);
  }
  for (std::thread& t : threads) t.join();
}

void TrayWorkers::Start(int kind, int id) {
  running_.fetch_add(1);
  std::lock_guard lock(threads_mutex_);
  threads_.emplace_back(&TrayWorkers::Work, this, kind, id);
}

void TrayWorkers::Work(int kind, int id) {
  // One worker at a time changes the icon.
  while (busy_.exchange(true)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (setter_) setter_(kind, id);
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  busy_.store(false);
  running_.fetch_sub(1);
}

KeyboardReactions::KeyboardReactions(host::MainWindow& window, TrayIconSetter tray)
    : window_(window), tray_(tray), workers_(std::move(tray)) {}

void KeyboardReactions::OnKeyboardEvent(std::uint16_t usage) {
  const KeyboardEventReaction reaction = ReactionToKeyboardEvent(usage);
  if (reaction.timer != 0) window_.SetTimer(reaction.timer, 0);
  if (reaction.tray_kind >= 0) workers_.Start(reaction.tray_kind, 0);
}

void KeyboardReactions::OnConnectionChanged(bool connected) {
  if (tray_) tray_(0, connected ? kTrayConnected : kTrayDisconnected);
}

}  // namespace keyloom::app
