#pragma once
// The one way the core tells the windows what happened. Each notification
// carries its data; none asks anything back. The core sends them only after
// it has released every lock it held, from whatever thread it runs on (the
// monitors' threads included), so an implementation must not block; the
// GUI's adapter moves them onto the user-interface thread. Questions to the
// user go through the prompter instead.
#include <cstdint>

namespace keyloom::profiles {

class EventSink {
 public:
  virtual ~EventSink() = default;

  // The keyboard came (with its vendor and product) or went.
  virtual void ConnectionChanged(bool connected, std::uint16_t vendor_id, std::uint16_t product_id) {}
  // The keyboard sent an event (the first usage of its report).
  virtual void KeyboardEvent(std::uint16_t usage) {}
  // The editing store's assignments changed; the key panel shows `table` (0..2).
  virtual void KeyMapsChanged(int table) {}
  // The keyboard's active slot, as the profile menu now shows it (-1 unknown).
  virtual void ActiveSlotChanged(int slot) {}
  // The report-rate setting is now `index` (0..3).
  virtual void ReportRateChanged(int index) {}
  // The editor dialogs must close (the keyboard went away).
  virtual void CloseEditors() {}
  // The main window is to come up (the first connection at start-up).
  virtual void ShowWindow() {}
};

}  // namespace keyloom::profiles
