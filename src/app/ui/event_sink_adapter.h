#pragma once
// The core's event sink as the windows receive it: every notification,
// whatever thread raises it (the monitors raise theirs on their own), is
// queued to the adapter's thread, the user-interface thread, and re-emitted
// there as a Qt signal. Raising one never blocks and never waits for the
// windows.
#include <QObject>

#include <cstdint>

#include "profiles/event_sink.h"

namespace keyloom::app {

class EventSinkAdapter final : public QObject, public profiles::EventSink {
  Q_OBJECT
 public:
  // Create on the user-interface thread. Notifications still queued when the
  // adapter is destroyed are dropped.
  explicit EventSinkAdapter(QObject* parent = nullptr);

  void ConnectionChanged(bool connected, std::uint16_t vendor_id, std::uint16_t product_id) override;
  void KeyboardEvent(std::uint16_t usage) override;
  void KeyMapsChanged(int table) override;
  void ActiveSlotChanged(int slot) override;
  void ReportRateChanged(int index) override;
  void CloseEditors() override;
  void ShowWindow() override;

 signals:
  void connectionChanged(bool connected, quint16 vendorId, quint16 productId);
  void keyboardEvent(quint16 usage);
  void keyMapsChanged(int table);
  void activeSlotChanged(int slot);
  void reportRateChanged(int index);
  void closeEditors();
  void showWindow();

 private:
  template <typename Emit>
  void Queue(Emit emit_signal);
};

}  // namespace keyloom::app
