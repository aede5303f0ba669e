#pragma once
// Private window messages between Qt widgets: one event type carrying
// (message, wParam, lParam), delivered through the receiver's event queue so
// that it arrives after what is already queued, as a posted message does.
// Safe to post from any thread.
#include <QEvent>
#include <QObject>
#include <cstdint>

namespace keyloom::skin {

class PostedMessageEvent : public QEvent {
 public:
  PostedMessageEvent(std::uint32_t message, std::uint32_t wparam, std::int64_t lparam);
  // The registered event type of every posted message.
  static QEvent::Type EventType();

  std::uint32_t message() const { return message_; }
  std::uint32_t wparam() const { return wparam_; }
  std::int64_t lparam() const { return lparam_; }

 private:
  std::uint32_t message_;
  std::uint32_t wparam_;
  std::int64_t lparam_;
};

// Queues the message for `receiver` (nothing happens for nullptr).
void PostMessageTo(QObject* receiver, std::uint32_t message, std::uint32_t wparam, std::int64_t lparam);

}  // namespace keyloom::skin
