#include "device/device_monitors.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "device/commands.h"
#include "device/device_table.h"
#include "device/report_transaction.h"

namespace keyloom::device {
namespace {

std::mutex g_sleep_mutex;
MonitorSleep g_sleep;

void Wait(DeviceLink& link, std::uint32_t ms) {
  MonitorStop& stop = link.monitor_stop;
  if (stop.requested.load()) return;
  MonitorSleep sleep;
  {
    std::lock_guard lock(g_sleep_mutex);
    sleep = g_sleep;
  }
  if (sleep) {
    sleep(ms);
    return;
  }
  std::unique_lock lock(stop.mutex);
  stop.changed.wait_for(lock, std::chrono::milliseconds(ms), [&stop] { return stop.requested.load(); });
}

bool SleepHookInstalled() {
  std::lock_guard lock(g_sleep_mutex);
  return static_cast<bool>(g_sleep);
}

// The connected wait. On a channel that tells when its interface goes away
// one wait on it, its transfers' failures and the stop replaces the probes:
// a change ends it at once, so it lasts up to a second (`watched_ms`) where
// the probes come every `ms`. True when the interface was watched and
// stayed for the whole time, so it needs no probe; false when it must be
// probed (after the usual sleep where it could not be watched).
bool WaitWhileConnected(DeviceLink& link, HidDevice& device, std::uint32_t ms, std::uint32_t watched_ms,
                        bool& hang_up_unconfirmed) {
  MonitorStop& stop = link.monitor_stop;
  // Tests' sleeps stand in for time; a hang-up the probe did not confirm
  // last time would be reported again at once.
  if (!SleepHookInstalled() && !hang_up_unconfirmed && !stop.requested.load()) {
    switch (device.WatchOpenInterface(stop.wake_fd, watched_ms)) {
      case HidDevice::Watch::Stayed:
        return true;
      case HidDevice::Watch::HungUp:
        hang_up_unconfirmed = true;
        return false;
      case HidDevice::Watch::Failed:
      case HidDevice::Watch::Woken:
        return false;
      case HidDevice::Watch::Unwatched:
        break;
    }
  }
  hang_up_unconfirmed = false;
  Wait(link, ms);
  return false;
}

void CallConnectionHandler(const ConnectionReports& reports, int connected) {
  if (reports.changed) reports.changed(connected);
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

void SetMonitorSleep(MonitorSleep sleep) {
  std::lock_guard lock(g_sleep_mutex);
  g_sleep = std::move(sleep);
}

ScopedMonitorSleep::ScopedMonitorSleep(MonitorSleep sleep) {
  std::lock_guard lock(g_sleep_mutex);
  previous_ = std::exchange(g_sleep, std::move(sleep));
}

ScopedMonitorSleep::~ScopedMonitorSleep() { SetMonitorSleep(std::move(previous_)); }

void RequestMonitorStop(DeviceLink& link) {
  {
    std::lock_guard lock(link.monitor_stop.mutex);
    link.monitor_stop.requested.store(true);
  }
  link.monitor_stop.changed.notify_all();
  if (link.monitor_stop.wake_fd >= 0) {
    const std::uint64_t one = 1;
    (void)!::write(link.monitor_stop.wake_fd, &one, sizeof one);
  }
  link.EventDevice().Abort();
}

void ResetMonitorStop(DeviceLink& link) {
  {
    std::lock_guard lock(link.monitor_stop.mutex);
    link.monitor_stop.requested.store(false);
  }
  if (link.monitor_stop.wake_fd >= 0) {
    std::uint64_t count = 0;
    (void)!::read(link.monitor_stop.wake_fd, &count, sizeof count);
  }
  link.EventDevice().ClearAbort();
}

bool MonitorStopRequested(DeviceLink& link) { return link.monitor_stop.requested.load(); }

void EventMonitor(DeviceLink& link, const KeyboardEventHandler& on_event) {
  HidDevice& device = link.EventDevice();
  while (!MonitorStopRequested(link)) {
    if (!device.BeginEnumeration()) return;
    while (auto path = device.NextPath()) {
      const HidInterfaceInfo* info = device.CurrentInterface();
      if (!info || !IsCandidate(*info, kEventUsagePage, kEventUsage)) continue;
      if (!OpenAs(device, *path, false, kEventUsagePage, kEventUsage)) continue;
      // Listening until the keyboard goes away.
      std::vector<std::uint8_t>& buffer = device.InputReportBuffer();
      const std::size_t length = device.Capabilities().input_report_byte_length;
      while (!MonitorStopRequested(link) && device.Read(buffer.data(), length, nullptr, kInfinite)) {
        device.UnpackReport(ReportType::Input, buffer.data(), length);
        // A report without a usage (the release after each event) says nothing.
        const std::uint16_t usage = FirstUsage(device);
        if (usage != 0 && on_event) on_event(usage);
      }
      device.Close();
      break;
    }
    device.EndEnumeration();
    Wait(link, 1000);
  }
}

void ConnectionMonitor(DeviceLink& link, const ConnectionReports& reports) {
  HidDevice& device = link.CommandDevice();
  std::atomic<int>& DeviceConnected = link.DeviceConnected;
  if (reports.delayed_start) Wait(link, 10);

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
      (void)ReadConfig(link, config);
    }
    device.Close();
    if (wanted) break;
  }
  device.EndEnumeration();
  DeviceConnected.store(0);

  bool first_cycle = true;
  bool watched = false;  // the last wait watched the open interface stay
  bool hang_up_unconfirmed = false;
  while (!MonitorStopRequested(link)) {
    if (DeviceConnected.load() == 1) {
      // A handle that failed is gone too, even when the path answers again.
      if (device.HandleFailed() || (!watched && !device.ProbePath())) {
        DeviceConnected.store(0);
        CallConnectionHandler(reports, 0);
      }
    } else {
      if (!device.BeginEnumeration()) return;
      while (auto path = device.NextPath()) {
        const HidInterfaceInfo* info = device.CurrentInterface();
        if (!info || !IsCandidate(*info, kCommandUsagePage, kCommandUsage)) continue;
        if (!OpenAs(device, *path, true, kCommandUsagePage, kCommandUsage)) continue;
        // The sizes are in place before anyone sees the connection.
        link.SetModelSizes(device.Attributes().vendor_id, device.Attributes().product_id);
        DeviceConnected.store(1);
        CallConnectionHandler(reports, 1);
        break;
      }
      if (first_cycle) {
        first_cycle = false;
        CallConnectionHandler(reports, DeviceConnected.load());
        if (reports.first_cycle_done) reports.first_cycle_done(DeviceConnected.load());
      }
      device.EndEnumeration();
    }
    if (DeviceConnected.load() == 1) {
      watched = WaitWhileConnected(link, device, 100, 1000, hang_up_unconfirmed);
    } else {
      watched = false;
      Wait(link, 1000);
    }
  }
}

}  // namespace keyloom::device
