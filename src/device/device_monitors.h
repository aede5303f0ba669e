#pragma once
// The two monitor threads of a device link: the event monitor listens to
// the keyboard's consumer-control interface and reports the usage of each
// event; the connection monitor finds and probes the command interface,
// keeps DeviceConnected and the model sizes, and reports each connection
// change. What follows from a report is decided by whoever receives it.
#include <cstdint>
#include <functional>

#include "device/device_table.h"

namespace keyloom::device {

// Called on the connection monitor's thread with 1 (connected) or 0.
using ConnectionHandler = std::function<void(int connected)>;

// What the connection monitor reports to, and how it starts.
struct ConnectionReports {
  // Each change of DeviceConnected, and at the end of the first cycle the
  // state that cycle found once more.
  ConnectionHandler changed;
  // Once, right after the first cycle's repeated report, with its state.
  ConnectionHandler first_cycle_done;
  // A short wait (10 ms) before the first pass.
  bool delayed_start = false;
};

// Called on the event monitor's thread with the first usage of each event
// report (reports without a usage are not passed on).
using KeyboardEventHandler = std::function<void(std::uint16_t usage)>;

// The monitors' waits (10, 100 and 1000 ms), process-wide. The default
// sleeps; tests install a faster one with ScopedMonitorSleep. A stop request
// ends waits early.
using MonitorSleep = std::function<void(std::uint32_t milliseconds)>;
void SetMonitorSleep(MonitorSleep sleep);

// Installs a sleep for the lifetime of the object, then restores the one
// installed before.
class ScopedMonitorSleep {
 public:
  explicit ScopedMonitorSleep(MonitorSleep sleep);
  ~ScopedMonitorSleep();
  ScopedMonitorSleep(const ScopedMonitorSleep&) = delete;
  ScopedMonitorSleep& operator=(const ScopedMonitorSleep&) = delete;

 private:
  MonitorSleep previous_;
};

// Thread entry points; each runs until listing the HID interfaces fails (or
// a stop is requested on the link).
void EventMonitor(DeviceLink& link, const KeyboardEventHandler& on_event);
void ConnectionMonitor(DeviceLink& link, const ConnectionReports& reports);

// Orderly end of both monitors of a link (the program's exit, tests): waits
// end, the event device's read is aborted. ResetMonitorStop allows new runs.
void RequestMonitorStop(DeviceLink& link);
void ResetMonitorStop(DeviceLink& link);
bool MonitorStopRequested(DeviceLink& link);

}  // namespace keyloom::device
