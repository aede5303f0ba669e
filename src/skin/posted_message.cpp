#include "skin/posted_message.h"

#include <QCoreApplication>

namespace keyloom::skin {

PostedMessageEvent::PostedMessageEvent(std::uint32_t message, std::uint32_t wparam, std::int64_t lparam)
    : QEvent(EventType()), message_(message), wparam_(wparam), lparam_(lparam) {}

QEvent::Type PostedMessageEvent::EventType() {
  static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void PostMessageTo(QObject* receiver, std::uint32_t message, std::uint32_t wparam, std::int64_t lparam) {
  if (receiver == nullptr) return;
  QCoreApplication::postEvent(receiver, new PostedMessageEvent(message, wparam, lparam));
}

}  // namespace keyloom::skin
