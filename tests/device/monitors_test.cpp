// The event and connection monitors on their own threads against the
// in-process virtual keyboard: start-up, plugging and unplugging, model
// sizes, and keyboard events turned into timers and tray changes.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "device/device_monitors.h"
#include "device/device_table.h"
#include "device/inprocess_backend.h"
#include "device/report_transaction.h"
#include <map>
#include "device_fixture.h"
#include "platform/host.h"
#include "platform/startup_flags.h"

namespace keyloom::device {
namespace {

using namespace std::chrono_literals;

struct HandlerCall {
  int connected;
  std::uint32_t layer_bytes, layer_stride, key_count;
};

struct Recorder : host::MainWindow {
  std::mutex mutex;
  std::vector<HandlerCall> calls;
  std::vector<unsigned> timers;
  std::vector<std::pair<int, int>> tray;

  void PostMessage(std::uint32_t, std::uint32_t, std::int64_t) override {}
  std::int64_t SendMessage(std::uint32_t, std::uint32_t, std::int64_t) override { return 0; }
  void SetTimer(unsigned id, unsigned ms) override {
    std::lock_guard lock(mutex);
    if (ms == 0) timers.push_back(id);
  }
  void KillTimer(unsigned) override {}
  std::vector<int> States() {
    std::lock_guard lock(mutex);
    std::vector<int> s;
    for (const HandlerCall& c : calls) s.push_back(c.connected);
    return s;
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
    ResetMonitorStop();
    platform::StartupShowHandled.store(0);
    DeviceConnected.store(0);
    SetModelSizes(0x0C45, 0x7672);
    SetCommandPause([](std::uint32_t) {});
    // Waits run ten times faster than real time.
    SetMonitorSleep([](std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::microseconds(ms * 100)); });
    SetConnectionHandler([this](int connected) {
      std::lock_guard lock(rec.mutex);
      rec.calls.push_back({connected, DeviceTable.LayerBytes.load(), DeviceTable.LayerStride.load(),
                           DeviceTable.KeyCount.load()});
    });
    SetTrayIconSetter([this](int kind, int id) {
      std::lock_guard lock(rec.mutex);
      rec.tray.emplace_back(kind, id);
    });
    host::SetMainWindow(&rec);
    UseKeyboard(0x0C45, 0x7672);
  }

  void UseKeyboard(std::uint16_t vendor, std::uint16_t product) {
    models.push_back(std::make_unique<emulator::FirmwareModel>(testing::ModelOptions(vendor, product)));
    keyboard = InProcessKeyboard::Create(*models.back());
    backend = std::make_shared<CountingBackend>(keyboard);
    SetHidBackend(backend);
  }

  void Start() {
    event_thread = std::thread(EventMonitor);
    connection_thread = std::thread(ConnectionMonitor);
  }

  void TearDown() override {
    RequestMonitorStop();
    if (event_thread.joinable()) event_thread.join();
    if (connection_thread.joinable()) connection_thread.join();
    WaitFor([] { return RunningTrayWorkers() == 0; });
    host::SetMainWindow(nullptr);
    SetConnectionHandler(nullptr);
    SetTrayIconSetter(nullptr);
    SetMonitorSleep(nullptr);
    SetCommandPause(nullptr);
    CommandDevice().Close();
    EventDevice().Close();
    DeviceConnected.store(0);
    SetModelSizes(0x0C45, 0x7672);
    SetHidBackend(nullptr);
    ResetMonitorStop();
    platform::StartupShowHandled.store(0);
  }

  bool EventMonitorListening() { return EventDevice().ReadPending(); }

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
  EXPECT_EQ(DeviceConnected.load(), 1);
  EXPECT_EQ(platform::StartupShowHandled.load(), 0);
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

TEST_F(Monitors, NoKeyboardAtStartSetsStartupShowHandledThenConnectsLater) {
  keyboard->Unplug();
  Start();
  ASSERT_TRUE(WaitFor([&] { return platform::StartupShowHandled.load() == 1; }));
  EXPECT_EQ(rec.States(), (std::vector<int>{0}));
  keyboard->Plug();
  ASSERT_TRUE(WaitFor([&] { return rec.States().size() >= 2; }));
  EXPECT_EQ(rec.States(), (std::vector<int>{0, 1}));
  EXPECT_EQ(DeviceConnected.load(), 1);
}

TEST_F(Monitors, UnplugAndPlugCyclesAreSeenByBothMonitors) {
  Start();
  ASSERT_TRUE(WaitFor([&] { return rec.States().size() >= 2 && EventMonitorListening(); }));
  for (int cycle = 0; cycle < 2; ++cycle) {
    const std::size_t before = rec.States().size();
    keyboard->Unplug();
    ASSERT_TRUE(WaitFor([&] { return rec.States().size() == before + 1; }));
    EXPECT_EQ(rec.States().back(), 0);
    EXPECT_EQ(DeviceConnected.load(), 0);
    ASSERT_TRUE(WaitFor([&] { return !EventMonitorListening(); }));
    keyboard->Plug();
    ASSERT_TRUE(WaitFor([&] { return rec.States().size() == before + 2 && EventMonitorListening(); }));
    EXPECT_EQ(rec.States().back(), 1);
    // Commands work on the new handle, and events arrive again.
    std::uint8_t config[44];
    EXPECT_EQ(ReadConfig(config), kResultOk);
    models.back()->RaiseEvent(0x0401);
    ASSERT_TRUE(WaitFor([&] {
      std::lock_guard lock(rec.mutex);
      return rec.timers.size() == static_cast<std::size_t>(cycle + 1);
    }));
  }
}

TEST_F(Monitors, QuickUnplugAndPlugBetweenProbesStillReconnects) {
  Start();
  ASSERT_TRUE(WaitFor([&] { return rec.States().size() >= 2; }));
  keyboard->Unplug();
  keyboard->Plug();  // the probe may never see the keyboard missing
  std::uint8_t config[44];
  ReadConfig(config);  // fails on the old handle, unless already reconnected
  ASSERT_TRUE(WaitFor([&] { return rec.States().size() >= 4; }));
  EXPECT_EQ(rec.States(), (std::vector<int>{1, 1, 0, 1}));
  EXPECT_EQ(ReadConfig(config), kResultOk);
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

TEST_F(Monitors, KeyboardEventsBecomeTimersAndTrayChanges) {
  Start();
  ASSERT_TRUE(WaitFor([&] { return EventMonitorListening(); }));
  // One event at a time, so that the tray workers' order is the events'.
  const std::uint16_t events[] = {0x0401, 0x1801, 0x0402, 0x1811, 0x1810, 0x0000, 0x7FFF};
  for (std::uint16_t e : events) {
    keyboard->Model().RaiseEvent(e);
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(WaitFor([] { return RunningTrayWorkers() == 0; }));
  }
  std::lock_guard lock(rec.mutex);
  EXPECT_EQ(rec.timers, (std::vector<unsigned>{kTimerReloadLighting, kTimerReseedColours}));
  EXPECT_EQ(rec.tray, (std::vector<std::pair<int, int>>{{1, 0}, {0, 0}}));
}

TEST(TrayWorkers, RunOneAtATime) {
  static std::atomic<int> inside{0};
  static std::atomic<int> most{0};
  static std::atomic<int> calls{0};
  inside = 0;
  most = 0;
  calls = 0;
  SetTrayIconSetter([](int, int) {
    const int now = ++inside;
    int seen = most.load();
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
    std::this_thread::sleep_for(1ms);
    --inside;
    ++calls;
  });
  for (int i = 0; i < 20; ++i) HandleKeyboardEvent(i % 2 ? 0x1810 : 0x1811);
  ASSERT_TRUE(WaitFor([] { return RunningTrayWorkers() == 0; }));
  SetTrayIconSetter(nullptr);
  EXPECT_EQ(calls.load(), 20);
  EXPECT_EQ(most.load(), 1);
}

}  // namespace
}  // namespace keyloom::device
