#include "cli/keyboard_session.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <optional>
#include <mutex>

#include "device/commands.h"
#include "device/device_monitors.h"
#include "device/device_table.h"
#include "device/hid_device.h"
#include "vkbdsocket/socket_protocol.h"
#include "cli/command_table.h"

namespace keyloom::cli {

struct KeyboardConnection::Report {
  std::mutex mutex;
  std::condition_variable changed;
  int connected = -1;  // -1 until the monitor's first report
  bool listing_failed = false;
  bool hook_running = false;
};

namespace {

std::mutex g_notifier_mutex;
std::function<void()> g_notifier;

std::optional<std::string>& VirtualSocket() {
  static std::optional<std::string> socket;
  return socket;
}

}  // namespace

void SetKeyboardChangedNotifier(std::function<void()> notifier) {
  std::lock_guard lock(g_notifier_mutex);
  g_notifier = std::move(notifier);
}

void SetVirtualKeyboardSocket(const std::string& socket) {
  VirtualSocket() = socket.empty() ? vkbdsocket::DefaultSocketPath() : socket;
}

void JoinVirtualKeyboardSocket(std::vector<std::string>& args) {
  static const std::string kOption = "--virtual-keyboard";
  bool command_seen = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--") return;
    if (args[i] != kOption) {
      if (args[i].rfind("-", 0) != 0) command_seen = true;
      continue;
    }
    if (i + 1 >= args.size()) return;
    const std::string& next = args[i + 1];
    std::error_code ec;
    const bool socket = std::filesystem::is_socket(next, ec);
    const bool command_word = std::any_of(Commands().begin(), Commands().end(), [&](const Command& c) {
      return c.name == next || c.name.rfind(next + " ", 0) == 0;
    });
    if (socket || (!command_seen && !next.empty() && next[0] != '-' && !command_word)) {
      args[i] = kOption + "=" + next;
      args.erase(args.begin() + std::ptrdiff_t(i) + 1);
    }
  }
}

KeyboardConnection::~KeyboardConnection() { Close(); }

bool KeyboardConnection::Connect(std::chrono::milliseconds timeout, std::string& reason) {
  return Connect(timeout, reason, nullptr);
}

bool KeyboardConnection::Connect(std::chrono::milliseconds timeout, std::string& reason, ConnectionHook hook) {
  Close();
  hold_ = std::make_unique<device::KeyboardHold>(link_);
  if (!hold_->Held()) {
    hold_.reset();
    const long long ms = device::KeyboardWaitLimit().count();
    reason = "another program kept the keyboard busy for " +
             (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms");
    return false;
  }
  changes_at_connect_ = device::ChangeRequestsSent(link_);
  report_ = std::make_shared<Report>();
  std::shared_ptr<Report> report = report_;
  device::ConnectionReports reports;
  reports.changed = [report, hook](int connected) {
    if (hook) {
      {
        std::lock_guard<std::mutex> lock(report->mutex);
        report->hook_running = true;
        report->changed.notify_all();
      }
      hook(connected);
    }
    std::lock_guard<std::mutex> lock(report->mutex);
    report->hook_running = false;
    report->connected = connected;
    report->changed.notify_all();
  };
  device::ResetMonitorStop(link_);
  monitor_ = std::thread([this, report, reports] {
    device::ConnectionMonitor(link_, reports);
    // The monitor ends early when the HID interfaces cannot be listed.
    std::lock_guard<std::mutex> lock(report->mutex);
    if (report->connected == -1) {
      report->listing_failed = true;
      report->changed.notify_all();
    }
  });

  std::unique_lock<std::mutex> lock(report->mutex);
  report->changed.wait_for(lock, timeout, [&] {
    return report->connected != -1 || report->listing_failed || report->hook_running;
  });
  // A hook that has started (reading the keyboard) is waited for to its end.
  report->changed.wait(lock, [&] { return !report->hook_running; });
  if (report->connected == 1) return true;
  std::error_code ec;
  if (report->connected == 0 && VirtualSocket() && !std::filesystem::exists(*VirtualSocket(), ec))
    reason = "no virtual keyboard at " + *VirtualSocket() + " (no such socket; is keyloom-vkbd serve running?)";
  else if (report->connected == 0)
    reason = "no keyboard is connected";
  else if (report->listing_failed)
    reason = "the HID devices could not be listed";
  else
    reason = "the keyboard did not answer in time";
  return false;
}

void KeyboardConnection::Close() {
  if (monitor_.joinable()) {
    device::RequestMonitorStop(link_);
    monitor_.join();
  }
  const bool changed = report_ && device::ChangeRequestsSent(link_) != changes_at_connect_;
  if (report_) {
    link_.CommandDevice().Close();
    link_.DeviceConnected.store(0);
    device::ResetMonitorStop(link_);
    report_.reset();
  }
  hold_.reset();
  // Told once the keyboard is free, so that whoever hears it can read it.
  if (changed) {
    std::function<void()> notifier;
    {
      std::lock_guard lock(g_notifier_mutex);
      notifier = g_notifier;
    }
    if (notifier) notifier();
  }
}

std::string KeyboardResultText(const device::DeviceLink& link, device::CommandResult result) {
  using device::CommandResult;
  switch (result) {
    case CommandResult::kOk:
      return "the keyboard took it";
    case CommandResult::kNotSent:
      if (device::KeyboardBusy(link)) return "another program kept the keyboard busy";
      return link.DeviceConnected.load() == 0 ? "the keyboard is not connected" : "the keyboard did not answer";
    case CommandResult::kWriteFailed:
      return "the request could not be sent to the keyboard";
    case CommandResult::kBadReply:
      return "the keyboard's answers did not match the requests";
    case CommandResult::kRefusedFF:
    case CommandResult::kRefusedFE:
      return "the keyboard refused it";
    case CommandResult::kBadLayer:
      return "there is no such key layer";
    default:
      return "the keyboard did not take it";
  }
}

bool ReadActiveSlotRecord(device::DeviceLink& link, lighting::ConfigBlock& config, lighting::LightingRecord& record,
                          int& slot, std::string& reason) {
  device::CommandResult result = device::ReadConfig(link, config.data());
  if (result != device::CommandResult::kOk) {
    reason = "could not read the keyboard's configuration: " + KeyboardResultText(link, result);
    return false;
  }
  slot = config[lighting::kActiveSlotOffset];
  if (slot >= lighting::kSlotCount) {
    reason = "the keyboard reports slot " + std::to_string(slot) + ", which does not exist";
    return false;
  }
  // The program reads 56 bytes and keeps the record's 42.
  std::uint8_t reply[56] = {};
  (void)device::BeginWrite(link);
  result = device::ReadLightingArea(link, reply, 56, std::uint32_t(slot * lighting::kRecordBytes));
  (void)device::EndWrite(link);
  if (result != device::CommandResult::kOk) {
    reason = "could not read the keyboard's lighting: " + KeyboardResultText(link, result);
    return false;
  }
  std::copy_n(reply, record.size(), record.begin());
  return true;
}

bool ReadActiveSlotLighting(device::DeviceLink& link, lighting::LightingState& state, int& slot, std::string& reason) {
  lighting::ConfigBlock config{};
  lighting::LightingRecord record{};
  if (!ReadActiveSlotRecord(link, config, record, slot, reason)) return false;
  lighting::DecodeLightingRecord(record, state);
  return true;
}

}  // namespace keyloom::cli
