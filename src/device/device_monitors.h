#pragma once
// The two monitor threads: the event monitor listens to the keyboard's
// consumer-control interface and turns its events into main-window timers and
// tray icon changes; the connection monitor finds and probes the command
// interface, keeps DeviceConnected and the model sizes, and calls the
// connection handler.
#include <cstdint>
#include <functional>

namespace keyloom::device {

// Called on the connection monitor's thread with 1 (connected) or 0.
using ConnectionHandler = std::function<void(int connected)>;
void SetConnectionHandler(ConnectionHandler handler);

// The main window's SetTrayIconState(kind, id): kind 0 with an id shows and
// remembers that icon, kind 0 with id 0 the remembered one, kind 1 the
// alternate icon.
using TrayIconSetter = std::function<void(int kind, int id)>;
void SetTrayIconSetter(TrayIconSetter setter);
void SetTrayIconState(int kind, int id);

// The monitors' waits (10, 100 and 1000 ms, the tray workers' 1 ms). The
// default sleeps; tests install a faster one. A stop request ends waits early.
using MonitorSleep = std::function<void(std::uint32_t milliseconds)>;
void SetMonitorSleep(MonitorSleep sleep);

// Timer ids set on the main window for keyboard events.
inline constexpr unsigned kTimerReloadLighting = 1051;
inline constexpr unsigned kTimerReseedColours = 1053;
// Tray icons.
inline constexpr int kTrayIconAlternate = 142;

// Thread entry points; each runs until listing the HID interfaces fails (or
// a stop is requested).
void EventMonitor();
void ConnectionMonitor();

// Acts on the first usage of one event report.
void HandleKeyboardEvent(std::uint16_t usage);
// Tray workers started and not yet finished.
int RunningTrayWorkers();

// Orderly end of both monitors (the program's exit, tests): waits end,
// the event device's read is aborted. ResetMonitorStop allows new runs.
void RequestMonitorStop();
void ResetMonitorStop();
bool MonitorStopRequested();

}  // namespace keyloom::device
