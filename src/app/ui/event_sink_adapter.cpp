#include "app/ui/event_sink_adapter.h"

#include <QMetaObject>

namespace keyloom::app {

EventSinkAdapter::EventSinkAdapter(QObject* parent) : QObject(parent) {}

template <typename Emit>
void EventSinkAdapter::Queue(Emit emit_signal) {
  // Queued even on the adapter's own thread, so that the core has finished
  // what it was doing before any window reacts.
  QMetaObject::invokeMethod(this, std::move(emit_signal), Qt::QueuedConnection);
}

void EventSinkAdapter::ConnectionChanged(bool connected, std::uint16_t vendor_id, std::uint16_t product_id) {
  Queue([this, connected, vendor_id, product_id] { emit connectionChanged(connected, vendor_id, product_id); });
}

void EventSinkAdapter::KeyboardEvent(std::uint16_t usage) {
  Queue([this, usage] { emit keyboardEvent(usage); });
}

void EventSinkAdapter::KeyMapsChanged(int table) {
  Queue([this, table] { emit keyMapsChanged(table); });
}

void EventSinkAdapter::ActiveSlotChanged(int slot) {
  Queue([this, slot] { emit activeSlotChanged(slot); });
}

void EventSinkAdapter::ReportRateChanged(int index) {
  Queue([this, index] { emit reportRateChanged(index); });
}

void EventSinkAdapter::CloseEditors() {
  Queue([this] { emit closeEditors(); });
}

void EventSinkAdapter::ShowWindow() {
  Queue([this] { emit showWindow(); });
}

}  // namespace keyloom::app
