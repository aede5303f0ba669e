// The event and connection monitors on their own threads against the
// in-process virtual keyboard: start-up, plugging and unplugging, model
// sizes, and the keyboard's events reported with their usage.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "device/device_monitors.h"
#include "device/device_table.h"
#include "device/report_transaction.h"
#include "device_fixture.h"
#include "support/inprocess_keyboard.h"

namespace keyloom::device {
namespace {

using namespace std::chrono_literals;

struct HandlerCall {
  int connected;
  std::uint32_t layer_bytes, layer_stride, key_count;
};

// What the monitors reported.
struct Recorder {
  std::mutex mutex;
  std::vector<HandlerCall> calls;
  std::vector<int> first_cycles;
  std::vector<std::uint16_t> usages;

  std::vector<int> States() {
    std::lock_guard lock(mutex);
    std::vector<int> s;
    for (const HandlerCall& c : calls) s.push_back(c.connected);
    return s;
  }
  std::vector<int> FirstCycles() {
    std::lock_guard lock(mutex);
    return first_cycles;
  }
  std::vector<std::uint16_t> Usages() {
    std::lock_guard lock(mutex);
    return usages;
  }
};

// Lists one more device, of an unsupported pair, and counts opens per path.
class CountingBackend : public HidBackend {
 public:
  explicit CountingBackend(std::shared_ptr<HidBackend> inner) : inner_(std::move(inner)) {}
  bool Enumerate(std::vector<HidInterfaceInfo>& out) override {
    if (!inner_->Enumerate(out)) return false;
    out.insert(out.begin(), {"other:0", 0x046D, 0xC52B, 0xFF1C, 0x0092});
    return true;
  }
  std::unique_ptr<HidChannel> Open(const std::string& path, bool r, bool w, bool e) override {
    {
      std::lock_guard lock(mutex_);
      ++opens_[path];
    }
    return inner_->Open(path, r, w, e);
  }
  bool Probe(const std::string& path) override { return inner_->Probe(path); }
  int Opens(const std::string& path) {
    std::lock_guard lock(mutex_);
    return opens_[path];
  }

 private:
  std::shared_ptr<HidBackend> inner_;
  std::mutex mutex_;
  std::map<std::string, int> opens_;
};

template <typename Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds limit = 5000ms) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(2ms);
  }
  return pred();
}

class Monitors : public ::testing::Test {
 protected:
  void SetUp() override {
    reports.changed = [this](int connected) {
      std::lock_guard lock(rec.mutex);
      rec.calls.push_back({connected, link.DeviceTable.LayerBytes.load(), link.DeviceTable.LayerStride.load(),
                           link.DeviceTable.KeyCount.load()});
    };
    reports.first_cycle_done = [this](int connected) {
      std::lock_guard lock(rec.mutex);
      rec.first_cycles.push_back(connected);
    };
    UseKeyboard(0x0C45, 0x7672);
  }

  void UseKeyboard(std::uint16_t vendor, std::uint16_t product) {
    models.push_back(std::make_unique<emulator::FirmwareModel>(testing::ModelOptions(vendor, product)));
    keyboard = InProcessKeyboard::Create(*models.back());
    backend = std::make_shared<CountingBackend>(keyboard);
    link.UseBackend(backend);
  }

  void Start() {
    event_thread = std::thread([this] {
      EventMonitor(link, [this](std::uint16_t usage) {
        std::lock_guard lock(rec.mutex);
        rec.usages.push_back(usage);
      });
    });
    connection_thread = std::thread([this] { ConnectionMonitor(link, reports); });
  }

  void TearDown() override {
    RequestMonitorStop(link);
    if (event_thread.joinable()) event_thread.join();
    if (connection_thread.joinable()) connection_thread.join();
    link.CommandDevice().Close();
    link.EventDevice().Close();
    // The backend refers to the models below.
    link.UseBackend(nullptr);
  }

  bool EventMonitorListening() { return link.EventDevice().ReadPending(); }

  ScopedCommandPause no_pause{[](std::uint32_t) {}};
  // Waits run ten times faster than real time.
  ScopedMonitorSleep faster{[](std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::microseconds(ms * 100)); }};
  DeviceLink link;
  ConnectionReports reports;
  Recorder rec;
  std::vector<std::unique_ptr<emulator::FirmwareModel>> models;
  std::shared_ptr<InProcessKeyboard> keyboard;
  std::shared_ptr<CountingBackend> backend;
  std::thread event_thread, connection_thread;
};

TEST_F(Monitors, KeyboardPresentAtStartConnectsAndTheFirstCycleRepeatsTheState) {
  Start();
  ASSERT_TRUE(WaitFor([&] { return rec.States().size() >= 2; }));
  EXPECT_EQ(rec.States(), (std::vector<int>{1, 1}));
  EXPECT_EQ(link.DeviceConnected.load(), 1);
  ASSERT_TRUE(WaitFor([&] { return !rec.FirstCycles().empty(); }));
  EXPECT_EQ(rec.FirstCycles(), std::vector<int>{1}) << "the first cycle found the keyboard";
  // The first pass read the configuration block once.
  EXPECT_GE(keyboard->WriteCount(), 1u);
  // The command interface was opened by the first pass and by the
  // connection; the event interface once, by the event monitor; a device of
  // another pair never.
  ASSERT_TRUE(WaitFor([&] { return EventMonitorListening(); }));
  EXPECT_EQ(backend->Opens("inproc:1"), 2);
  EXPECT_EQ(backend->Opens("inproc:0"), 1);
  EXPECT_EQ(backend->Opens("other:0"), 0);
}

TEST_F(Monitors, NoKeyboardAtStartIsReportedAsTheFirstCycleThenConnectsLater) {
  keyboard->Unplug();
  Start();
  ASSERT_TRUE(WaitFor([&] { return !rec.FirstCycles().empty(); }));
  EXPECT_EQ(rec.FirstCycles(), std::vector<int>{0});
  EXPECT_EQ(rec.States(), (std::vector<int>{0}));
  keyboard->Plug();
  ASSERT_TRUE(WaitFor([&] { return rec.States().size() >= 2; }));
  EXPECT_EQ(rec.States(), (std::vector<int>{0, 1}));
  EXPECT_EQ(link.DeviceConnected.load(), 1);
}

TEST_F(Monitors, UnplugAndPlugCyclesAreSeenByBothMonitors) {
  Start();
  ASSERT_TRUE(WaitFor([&] { return rec.States().size() >= 2 && EventMonitorListening(); }));
  for (int cycle = 0; cycle < 2; ++cycle) {
    const std::size_t before = rec.States().size();
    keyboard->Unplug();
    ASSERT_TRUE(WaitFor([&] { return rec.States().size() == before + 1; }));
    EXPECT_EQ(rec.States().back(), 0);
    EXPECT_EQ(link.DeviceConnected.load(), 0);
    ASSERT_TRUE(WaitFor([&] { return !EventMonitorListening(); }));
    keyboard->Plug();
    ASSERT_TRUE(WaitFor([&] { return rec.States().size() == before + 2 && EventMonitorListening(); }));
    EXPECT_EQ(rec.States().back(), 1);
    // Commands work on the new handle, and events arrive again.
    std::uint8_t config[44];
    EXPECT_EQ(ReadConfig(link, config), CommandResult::kOk);
    models.back()->RaiseEvent(0x0401);
    ASSERT_TRUE(WaitFor([&] { return rec.Usages().size() == static_cast<std::size_t>(cycle + 1); }));
  }
}

TEST_F(Monitors, QuickUnplugAndPlugBetweenProbesStillReconnects) {
  Start();
  ASSERT_TRUE(WaitFor([&] { return rec.States().size() >= 2; }));
  keyboard->Unplug();
  keyboard->Plug();  // the probe may never see the keyboard missing
  std::uint8_t config[44];
  (void)ReadConfig(link, config);  // fails on the old handle, unless already reconnected
  ASSERT_TRUE(WaitFor([&] { return rec.States().size() >= 4; }));
  EXPECT_EQ(rec.States(), (std::vector<int>{1, 1, 0, 1}));
  EXPECT_EQ(ReadConfig(link, config), CommandResult::kOk);
}

TEST_F(Monitors, ModelSizesAreSetBeforeTheHandlerRuns) {
  Start();
  ASSERT_TRUE(WaitFor([&] { return rec.States().size() >= 2; }));
  keyboard->Unplug();
  ASSERT_TRUE(WaitFor([&] { return rec.States().size() == 3; }));
  UseKeyboard(0x320F, 0x505B);  // the other model is plugged in
  ASSERT_TRUE(WaitFor([&] { return rec.States().size() == 4; }));
  std::lock_guard lock(rec.mutex);
  const HandlerCall first = rec.calls[0], last = rec.calls[3];
  EXPECT_EQ(first.connected, 1);
  EXPECT_EQ(first.layer_bytes, 378u);
  EXPECT_EQ(first.key_count, 126u);
  EXPECT_EQ(last.connected, 1);
  EXPECT_EQ(last.layer_bytes, 512u);
  EXPECT_EQ(last.layer_stride, 512u);
  EXPECT_EQ(last.key_count, 128u);
}

TEST_F(Monitors, KeyboardEventsAreReportedWithTheirUsageInOrder) {
  Start();
  ASSERT_TRUE(WaitFor([&] { return EventMonitorListening(); }));
  const std::vector<std::uint16_t> events = {0x0401, 0x1801, 0x0402, 0x1811, 0x1810, 0x0000, 0x7FFF};
  for (std::uint16_t e : events) keyboard->Model().RaiseEvent(e);
  // Every event but the one without a usage; the releases that follow each
  // event carry none either.
  const std::vector<std::uint16_t> reported = {0x0401, 0x1801, 0x0402, 0x1811, 0x1810, 0x7FFF};
  ASSERT_TRUE(WaitFor([&] { return rec.Usages().size() >= reported.size(); }));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(rec.Usages(), reported);
}

TEST_F(Monitors, EachLinkStopsOnItsOwn) {
  // A second link's stop request leaves this link's monitors running.
  Start();
  ASSERT_TRUE(WaitFor([&] { return rec.States().size() >= 2 && EventMonitorListening(); }));
  DeviceLink other;
  RequestMonitorStop(other);
  EXPECT_TRUE(MonitorStopRequested(other));
  EXPECT_FALSE(MonitorStopRequested(link));
  keyboard->Model().RaiseEvent(0x0401);
  ASSERT_TRUE(WaitFor([&] { return rec.Usages().size() == 1; }));
}

}  // namespace
}  // namespace keyloom::device
