// The device link against keyloom-vkbd's server over its Unix socket: the
// listing, commands, events through the event monitor, and unplugging.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "device/backend_choice.h"
#include "device/commands.h"
#include "device/device_monitors.h"
#include "device/device_table.h"
#include "device/hid_device.h"
#include "device/virtual_backend.h"
#include "emulator/vkbd_server.h"
#include "platform/host.h"
#include "platform/scoped_env.h"
#include "vkbdsocket/vkbd_client.h"

namespace keyloom::device {
namespace {

using namespace std::chrono_literals;

template <typename Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds limit = 5000ms) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(2ms);
  }
  return pred();
}

class VirtualSocket : public ::testing::Test {
 protected:
  void SetUp() override {
    socket = ::testing::TempDir() + "keyloom-device-test-" + std::to_string(::getpid()) + ".sock";
    emulator::ServerOptions options;
    options.socketPath = socket;
    options.latencyMs = 0;
    server = std::make_unique<emulator::VkbdServer>(options);
    std::string error;
    ASSERT_TRUE(server->Start(error)) << error;
    thread = std::thread([this] { server->Run(); });
    link.UseBackend(MakeVirtualBackend(socket));
  }
  void TearDown() override {
    link.DeviceConnected.store(0);
    link.CommandDevice().Close();
    link.EventDevice().Close();
    server->Stop();
    thread.join();
    server.reset();
    ::unlink(socket.c_str());
  }
  bool Ctl(const std::vector<std::string>& args) {
    vkbdsocket::VkbdClient client;
    std::uint8_t status = 1;
    std::string text;
    return client.Connect(socket) && client.Ctl(args, status, text) && status == 0;
  }

  std::string socket;
  std::unique_ptr<emulator::VkbdServer> server;
  std::thread thread;
  ScopedCommandPause no_pause{[](std::uint32_t) {}};
  DeviceLink link;
};

TEST_F(VirtualSocket, ListsOpensAndRunsCommands) {
  HidDevice listing(MakeVirtualBackend(socket));
  ASSERT_TRUE(listing.BeginEnumeration());
  std::vector<HidInterfaceInfo> seen;
  while (listing.NextPath()) seen.push_back(*listing.CurrentInterface());
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].usage_page, kEventUsagePage);
  EXPECT_EQ(seen[1].usage_page, kCommandUsagePage);

  HidDevice& device = link.CommandDevice();
  ASSERT_TRUE(device.Open(seen[1].path, true, true, true, false));
  EXPECT_TRUE(IsWantedInterface(device, kCommandUsagePage, kCommandUsage));
  EXPECT_EQ(device.Capabilities().output_report_byte_length, 64);
  link.DeviceConnected.store(1);
  link.SetModelSizes(device.Attributes().vendor_id, device.Attributes().product_id);

  std::vector<std::uint8_t> layer(link.DeviceTable.LayerBytes.load());
  for (std::size_t i = 0; i < layer.size(); ++i) layer[i] = static_cast<std::uint8_t>(i);
  ASSERT_EQ(WriteKeyLayer(link, layer.data(), 1), CommandResult::kOk);
  std::vector<std::uint8_t> back(layer.size());
  ASSERT_EQ(ReadKeyLayer(link, back.data(), 1), CommandResult::kOk);
  EXPECT_EQ(back, layer);

  EXPECT_TRUE(device.ProbePath());
  ASSERT_TRUE(Ctl({"unplug"}));
  EXPECT_FALSE(device.ProbePath());
  std::uint8_t config[44];
  EXPECT_NE(ReadConfig(link, config), CommandResult::kOk);
  ASSERT_TRUE(Ctl({"plug"}));
  // The connection the keyboard dropped stays gone with the keyboard back,
  // before any read on it failed too; opened again, it answers.
  EXPECT_FALSE(device.ProbePath());
  ASSERT_TRUE(Ctl({"unplug"}));
  ASSERT_TRUE(Ctl({"plug"}));
  device.Close();
  ASSERT_TRUE(device.Open(seen[1].path, true, true, true, false));
  EXPECT_TRUE(device.ProbePath());
  ASSERT_TRUE(Ctl({"unplug"}));
  ASSERT_TRUE(Ctl({"plug"}));
  EXPECT_FALSE(device.ProbePath()) << "unplugged and plugged between two probes";
  device.Close();
  EXPECT_TRUE(device.ProbePath()) << "no channel open: the server is asked";
}

// The connection states a monitor reported, from its thread.
class ReportedStates {
 public:
  ConnectionHandler Recorder() {
    return [this](int c) {
      std::lock_guard lock(mutex_);
      states_.push_back(c);
    };
  }
  std::vector<int> Get() {
    std::lock_guard lock(mutex_);
    return states_;
  }

 private:
  std::mutex mutex_;
  std::vector<int> states_;
};

TEST_F(VirtualSocket, MonitorsFollowTheServedKeyboard) {
  std::mutex mutex;
  std::vector<int> states;
  std::vector<std::uint16_t> usages;
  auto States = [&] {
    std::lock_guard lock(mutex);
    return states;
  };
  ConnectionReports reports;
  reports.changed = [&](int c) {
    std::lock_guard lock(mutex);
    states.push_back(c);
  };
  ScopedMonitorSleep faster([](std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::microseconds(ms * 100)); });
  std::thread events([&] {
    EventMonitor(link, [&](std::uint16_t usage) {
      std::lock_guard lock(mutex);
      usages.push_back(usage);
    });
  });
  std::thread connection([&] { ConnectionMonitor(link, reports); });

  EXPECT_TRUE(WaitFor([&] { return States().size() >= 2 && link.EventDevice().ReadPending(); }));
  EXPECT_TRUE(Ctl({"event", "0x0402"}));
  EXPECT_TRUE(WaitFor([&] {
    std::lock_guard lock(mutex);
    return usages == std::vector<std::uint16_t>{0x0402};
  }));
  EXPECT_TRUE(Ctl({"unplug"}));
  EXPECT_TRUE(WaitFor([&] { return States().size() >= 3 && !link.EventDevice().ReadPending(); }));
  EXPECT_TRUE(Ctl({"plug"}));
  EXPECT_TRUE(WaitFor([&] { return States().size() >= 4; }));
  EXPECT_EQ(States(), (std::vector<int>{1, 1, 0, 1}));

  RequestMonitorStop(link);
  events.join();
  connection.join();
}

// With the real waits, the connected monitor waits on the open connection
// itself: an unplug is noticed through it, a plug through the listing, and
// a stop ends the wait.
TEST_F(VirtualSocket, ConnectedMonitorWatchesTheConnection) {
  ReportedStates reported;
  auto States = [&] { return reported.Get(); };
  ConnectionReports reports;
  reports.changed = reported.Recorder();
  std::thread connection([&] { ConnectionMonitor(link, reports); });
  EXPECT_TRUE(WaitFor([&] { return States().size() >= 2; }));
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(Ctl({"unplug"}));
    EXPECT_TRUE(WaitFor([&] { return States().size() >= std::size_t(3 + 2 * round); })) << round;
    EXPECT_TRUE(Ctl({"plug"}));
    EXPECT_TRUE(WaitFor([&] { return States().size() >= std::size_t(4 + 2 * round); })) << round;
  }
  EXPECT_EQ(States(), (std::vector<int>{1, 1, 0, 1, 0, 1}));
  EXPECT_EQ(link.DeviceConnected.load(), 1);
  RequestMonitorStop(link);
  connection.join();
}

// The device layer picks no keyboard by itself: the backend is what the
// program's start-up installs from its command line over KEYLOOM_HID.
TEST_F(VirtualSocket, TheProgramsStartUpPicksTheKeyboard) {
  struct Restore {
    std::shared_ptr<HidBackend> saved = CurrentHidBackend();
    ~Restore() { SetHidBackend(saved); }
  } restore;
  const std::string option = "--virtual-keyboard=" + socket;
  struct Case {
    const char* hid;  // KEYLOOM_HID; nullptr: unset
    std::vector<std::string> args, left;
    bool lists_the_served_keyboard;
  } cases[] = {
      {"virtual:", {"keyloom"}, {"keyloom"}, true},
      {"hidapi", {"keyloomctl", option, "status"}, {"keyloomctl", "status"}, true},
      {nullptr, {"keyloomctl", "status"}, {"keyloomctl", "status"}, false},
  };
  for (Case& c : cases) {
    const std::string hid = c.hid ? c.hid + (std::string(c.hid) == "virtual:" ? socket : "") : "";
    keyloom::testing::ScopedEnv env("KEYLOOM_HID", c.hid ? hid.c_str() : nullptr);
    SetHidBackend(nullptr);
    HidDevice before;
    EXPECT_FALSE(before.BeginEnumeration()) << hid;

    std::vector<char*> argv;
    for (std::string& a : c.args) argv.push_back(a.data());
    EXPECT_EQ(InstallBackendFromCommandLine(static_cast<int>(argv.size()), argv.data()), c.left) << hid;
    HidDevice listing;
    // hidraw may find no class folder here; the virtual keyboard must list.
    const bool listed = listing.BeginEnumeration();
    if (c.lists_the_served_keyboard) {
      ASSERT_TRUE(listed) << hid;
    }
    int served = 0;
    while (auto path = listing.NextPath()) served += path->rfind("vkbd:", 0) == 0;
    EXPECT_EQ(served, c.lists_the_served_keyboard ? 2 : 0) << hid;
  }
}

}  // namespace
}  // namespace keyloom::device
