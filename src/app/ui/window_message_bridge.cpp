#include "app/ui/window_message_bridge.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimerEvent>

#include <algorithm>
#include <memory>

namespace keyloom::app {

namespace {

// A sent message's answer, filled in on the UI thread.
struct Pending {
  std::int64_t result = 0;
  bool done = false;
};

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kTimerChangeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class MessageEvent final : public QEvent {
 public:
  MessageEvent(std::uint32_t message, std::uint32_t wparam, std::int64_t lparam,
               std::shared_ptr<Pending> pending)
      : QEvent(kMessageEvent), message(message), wparam(wparam), lparam(lparam),
        pending(std::move(pending)) {}
  std::uint32_t message;
  std::uint32_t wparam;
  std::int64_t lparam;
  std::shared_ptr<Pending> pending;  // null for a posted message
};

class TimerChangeEvent final : public QEvent {
 public:
  TimerChangeEvent(unsigned id, unsigned milliseconds, bool start)
      : QEvent(kTimerChangeEvent), id(id), milliseconds(milliseconds), start(start) {}
  unsigned id;
  unsigned milliseconds;
  bool start;
};

}  // namespace

WindowMessageBridge::WindowMessageBridge(PrivateMessageTarget& target, QObject* parent)
    : QObject(parent), target_(target) {}

WindowMessageBridge::~WindowMessageBridge() { Shutdown(); }

void WindowMessageBridge::Install() {
  installed_ = true;
  host::SetMainWindow(this);
}

void WindowMessageBridge::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    if (!open_) return;
    open_ = false;
  }
  answered_.notify_all();
  if (installed_) host::SetMainWindow(nullptr);
  for (const auto& [id, qt_id] : timers_) killTimer(qt_id);
  timers_.clear();
}

bool WindowMessageBridge::OnUiThread() const { return QThread::currentThread() == thread(); }

bool WindowMessageBridge::Open() const {
  std::lock_guard lock(mutex_);
  return open_;
}

void WindowMessageBridge::PostMessage(std::uint32_t message, std::uint32_t wparam,
                                   std::int64_t lparam) {
  std::lock_guard lock(mutex_);
  if (!open_) return;
  auto event = std::make_unique<MessageEvent>(message, wparam, lparam, nullptr);
  QCoreApplication::postEvent(this, event.release());
}

std::int64_t WindowMessageBridge::SendMessage(std::uint32_t message, std::uint32_t wparam,
                                           std::int64_t lparam) {
  if (OnUiThread()) {
    if (!Open()) return 0;
    return target_.OnPrivateMessage(message, wparam, lparam);
  }
  auto pending = std::make_shared<Pending>();
  std::unique_lock lock(mutex_);
  if (!open_) return 0;
  auto event = std::make_unique<MessageEvent>(message, wparam, lparam, pending);
  QCoreApplication::postEvent(this, event.release());
  answered_.wait(lock, [&] { return pending->done || !open_; });
  return pending->done ? pending->result : 0;
}

void WindowMessageBridge::SetTimer(unsigned id, unsigned milliseconds) {
  if (OnUiThread()) {
    if (Open()) StartTimerNow(id, milliseconds);
    return;
  }
  std::lock_guard lock(mutex_);
  if (!open_) return;
  auto event = std::make_unique<TimerChangeEvent>(id, milliseconds, true);
  QCoreApplication::postEvent(this, event.release());
}

void WindowMessageBridge::KillTimer(unsigned id) {
  if (OnUiThread()) {
    StopTimerNow(id);
    return;
  }
  std::lock_guard lock(mutex_);
  if (!open_) return;
  auto event = std::make_unique<TimerChangeEvent>(id, 0, false);
  QCoreApplication::postEvent(this, event.release());
}

void WindowMessageBridge::StartTimerNow(unsigned id, unsigned milliseconds) {
  // Setting a running timer again restarts it with the new period.
  StopTimerNow(id);
  const int qt_id = startTimer(static_cast<int>(std::min<unsigned>(milliseconds, 0x7FFFFFFF)));
  if (qt_id != 0) timers_[id] = qt_id;
}

void WindowMessageBridge::StopTimerNow(unsigned id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  killTimer(it->second);
  timers_.erase(it);
}

bool WindowMessageBridge::event(QEvent* event) {
  if (event->type() == kMessageEvent) {
    auto* m = static_cast<MessageEvent*>(event);
    std::int64_t result = 0;
    if (Open()) result = target_.OnPrivateMessage(m->message, m->wparam, m->lparam);
    if (m->pending) {
      {
        std::lock_guard lock(mutex_);
        m->pending->result = result;
        m->pending->done = true;
      }
      answered_.notify_all();
    }
    return true;
  }
  if (event->type() == kTimerChangeEvent) {
    auto* t = static_cast<TimerChangeEvent*>(event);
    if (!Open()) return true;
    if (t->start) {
      StartTimerNow(t->id, t->milliseconds);
    } else {
      StopTimerNow(t->id);
    }
    return true;
  }
  return QObject::event(event);
}

void WindowMessageBridge::timerEvent(QTimerEvent* event) {
  for (const auto& [id, qt_id] : timers_) {
    if (qt_id == event->timerId()) {
      target_.OnTimer(id);
      return;
    }
  }
  QObject::timerEvent(event);
}

}  // namespace keyloom::app
