#include "device/device_monitors.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "device/commands.h"
#include "device/device_table.h"
#include "device/report_transaction.h"
#include "platform/host.h"
#include "platform/startup_flags.h"

namespace keyloom::device {
namespace {

std::mutex g_hooks_mutex;
ConnectionHandler g_handler;
TrayIconSetter g_tray;
MonitorSleep g_sleep;

std::mutex g_stop_mutex;
std::condition_variable g_stop_cv;
std::atomic<bool> g_stop{false};

std::atomic<bool> g_tray_flag{false};
std::atomic<int> g_tray_workers{0};

void Wait(std::uint32_t ms) {
  if (g_stop.load()) return;
  MonitorSleep sleep;
  {
    std::lock_guard lock(g_hooks_mutex);
    sleep = g_sleep;
  }
  if (sleep) {
    sleep(ms);
    return;
  }
  std::unique_lock lock(g_stop_mutex);
  g_stop_cv.wait_for(lock, std::chrono::milliseconds(ms), [] { return g_stop.load(); });
}

void CallConnectionHandler(int connected) {
  ConnectionHandler handler;
  {
    std::lock_guard lock(g_hooks_mutex);
    handler = g_handler;
  }
  if (handler) handler(connected);
}

void TrayWorker(int kind, int id) {
  // One worker at a time changes the icon.
  while (g_tray_flag.exchange(true)) Wait(1);
  SetTrayIconState(kind, id);
  Wait(1);
  g_tray_flag.store(false);
  g_tray_workers.fetch_sub(1);
}

void StartTrayWorker(int kind, int id) {
  g_tray_workers.fetch_add(1);
  std::thread(TrayWorker, kind, id).detach();
}

// Opens the path as the wanted interface; false (and closed) when it is not.
bool OpenAs(HidDevice& device, const std::string& path, bool write, std::uint16_t page, std::uint16_t usage) {
  if (!device.Open(path, true, write, true, false)) return false;
  if (IsWantedInterface(device, page, usage)) return true;
  device.Close();
  return false;
}

std::uint16_t FirstUsage(const HidDevice& device) {
  const auto& data = device.InputData();
  if (data.empty()) return 0;
  const HidData& d = data.front();
  if (d.is_button_data) return d.button.usages.empty() ? 0 : d.button.usages.front();
  return d.value.usage;
}

}  // namespace

void SetConnectionHandler(ConnectionHandler handler) {
  std::lock_guard lock(g_hooks_mutex);
  g_handler = std::move(handler);
}

void SetTrayIconSetter(TrayIconSetter setter) {
  std::lock_guard lock(g_hooks_mutex);
  g_tray = std::move(setter);
}

void SetTrayIconState(int kind, int id) {
  TrayIconSetter tray;
  {
    std::lock_guard lock(g_hooks_mutex);
    tray = g_tray;
  }
  if (tray) tray(kind, id);
}

void SetMonitorSleep(MonitorSleep sleep) {
  std::lock_guard lock(g_hooks_mutex);
  g_sleep = std::move(sleep);
}

void RequestMonitorStop() {
  {
    std::lock_guard lock(g_stop_mutex);
    g_stop.store(true);
  }
  g_stop_cv.notify_all();
  EventDevice().Abort();
}

void ResetMonitorStop() {
  {
    std::lock_guard lock(g_stop_mutex);
    g_stop.store(false);
  }
  EventDevice().ClearAbort();
}

bool MonitorStopRequested() { return g_stop.load(); }

int RunningTrayWorkers() { return g_tray_workers.load(); }

void HandleKeyboardEvent(std::uint16_t usage) {
  switch (usage) {
    case 0x0401: host::SetMainTimer(kTimerReloadLighting, 0); break;
    case 0x0402: host::SetMainTimer(kTimerReseedColours, 0); break;
    case 0x1811: StartTrayWorker(1, 0); break;
    case 0x1810: StartTrayWorker(0, 0); break;
    default: break;  // 0x1801 and everything else: nothing
  }
}

void EventMonitor() {
  HidDevice& device = EventDevice();
  while (!g_stop.load()) {
    if (!device.BeginEnumeration()) return;
    while (auto path = device.NextPath()) {
      const HidInterfaceInfo* info = device.CurrentInterface();
      if (!info || !IsCandidate(*info, kEventUsagePage, kEventUsage)) continue;
      if (!OpenAs(device, *path, false, kEventUsagePage, kEventUsage)) continue;
      // Listening until the keyboard goes away.
      std::vector<std::uint8_t>& buffer = device.InputReportBuffer();
      const std::size_t length = device.Capabilities().input_report_byte_length;
      while (!g_stop.load() && device.Read(buffer.data(), length, nullptr, kInfinite)) {
        device.UnpackReport(ReportType::Input, buffer.data(), length);
        HandleKeyboardEvent(FirstUsage(device));
      }
      device.Close();
      break;
    }
    device.EndEnumeration();
    Wait(1000);
  }
}

void ConnectionMonitor() {
  HidDevice& device = CommandDevice();
  if (platform::StartupShowHandled.load()) Wait(10);

  // First pass: one read of the configuration block wakes the keyboard's
  // command interface; the connection itself is made in the loop.
  if (!device.BeginEnumeration()) return;
  while (auto path = device.NextPath()) {
    const HidInterfaceInfo* info = device.CurrentInterface();
    if (!info || !IsCandidate(*info, kCommandUsagePage, kCommandUsage)) continue;
    if (!device.Open(*path, true, true, true, false)) continue;
    const bool wanted = IsWantedInterface(device, kCommandUsagePage, kCommandUsage);
    if (wanted) {
      DeviceConnected.store(1);
      std::uint8_t config[kConfigBlockBytes];
      ReadConfig(config);
    }
    device.Close();
    if (wanted) break;
  }
  device.EndEnumeration();
  DeviceConnected.store(0);

  bool first_cycle = true;
  while (!g_stop.load()) {
    if (DeviceConnected.load() == 1) {
      // A handle that failed is gone too, even when the path answers again.
      if (device.HandleFailed() || !device.ProbePath()) {
        DeviceConnected.store(0);
        CallConnectionHandler(0);
      }
    } else {
      if (!device.BeginEnumeration()) return;
      while (auto path = device.NextPath()) {
        const HidInterfaceInfo* info = device.CurrentInterface();
        if (!info || !IsCandidate(*info, kCommandUsagePage, kCommandUsage)) continue;
        if (!OpenAs(device, *path, true, kCommandUsagePage, kCommandUsage)) continue;
        // The sizes are in place before anyone sees the connection.
        SetModelSizes(device.Attributes().vendor_id, device.Attributes().product_id);
        DeviceConnected.store(1);
        CallConnectionHandler(1);
        break;
      }
      if (first_cycle) {
        first_cycle = false;
        CallConnectionHandler(DeviceConnected.load());
        if (DeviceConnected.load() == 0) platform::StartupShowHandled.store(1);
      }
      device.EndEnumeration();
    }
    Wait(DeviceConnected.load() == 1 ? 100 : 1000);
  }
}

}  // namespace keyloom::device
