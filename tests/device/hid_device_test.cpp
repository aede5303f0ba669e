// HidDevice: listing, opening, time-outs and aborts, and the command status
// rules on a scripted command interface.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <thread>

#include "device/commands.h"
#include "device/device_table.h"
#include "device/hid_device.h"
#include "emulator/descriptors.h"
#include "support/inprocess_keyboard.h"

namespace keyloom::device {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// A command interface that answers every write with the next scripted reply,
// framed as the answer to that write (report id, the request's command,
// length and address, checksum).
class ScriptedChannel : public HidChannel {
 public:
  explicit ScriptedChannel(std::deque<Bytes>* replies) : replies_(replies) {}
  HidAttributes Attributes() const override { return {0x0C45, 0x7672, 0}; }
  Bytes ReportDescriptor() const override {
    return {std::begin(emulator::kCommandDescriptor), std::end(emulator::kCommandDescriptor)};
  }
  IoResult Read(std::uint8_t* buffer, std::size_t length, std::size_t& transferred, SteadyTime,
                AbortEvent&) override {
    transferred = 0;
    if (pending_.empty()) return IoResult::TimedOut;
    const Bytes r = pending_.front();
    pending_.pop_front();
    std::copy_n(r.begin(), std::min(length, r.size()), buffer);
    transferred = std::min(length, r.size());
    return IoResult::Ok;
  }
  IoResult Write(const std::uint8_t* request, std::size_t length, std::size_t& transferred, SteadyTime,
                 AbortEvent&) override {
    if (replies_->empty()) return IoResult::Failed;
    Bytes reply = replies_->front();
    replies_->pop_front();
    if (reply.size() == kReportBytes && length >= kReportBytes) {
      reply[0] = kCommandReportId;
      std::copy(request + 3, request + 7, reply.begin() + 3);
      StoreChecksum(reply.data());
    }
    pending_.push_back(std::move(reply));
    transferred = length;
    return IoResult::Ok;
  }

 private:
  std::deque<Bytes>* replies_;
  std::deque<Bytes> pending_;
};

class FakeBackend : public HidBackend {
 public:
  std::vector<HidInterfaceInfo> listed;
  bool listing_fails = false;
  std::deque<Bytes> replies;
  bool Enumerate(std::vector<HidInterfaceInfo>& out) override {
    if (listing_fails) return false;
    out = listed;
    return true;
  }
  std::unique_ptr<HidChannel> Open(const std::string& path, bool, bool, bool) override {
    if (path != "scripted") return nullptr;
    return std::make_unique<ScriptedChannel>(&replies);
  }
  bool Probe(const std::string& path) override { return path == "scripted"; }
};

// An interface whose channel tells when it goes away: the read end of a
// pipe stands for the device node (closing the write end unplugs it); every
// write fails on the handle.
class HangUpChannel : public HidChannel {
 public:
  explicit HangUpChannel(int fd) : fd_(fd) {}
  ~HangUpChannel() override { ::close(fd_); }
  HidAttributes Attributes() const override { return {0x0C45, 0x7672, 0}; }
  Bytes ReportDescriptor() const override {
    return {std::begin(emulator::kCommandDescriptor), std::end(emulator::kCommandDescriptor)};
  }
  IoResult Read(std::uint8_t*, std::size_t, std::size_t& transferred, SteadyTime, AbortEvent&) override {
    transferred = 0;
    return IoResult::TimedOut;
  }
  IoResult Write(const std::uint8_t*, std::size_t, std::size_t& transferred, SteadyTime, AbortEvent&) override {
    transferred = 0;
    return IoResult::Failed;
  }
  int HangUpFd() const override { return fd_; }

 private:
  int fd_;
};

class HangUpBackend : public HidBackend {
 public:
  int node_write_end = -1;
  bool Enumerate(std::vector<HidInterfaceInfo>&) override { return true; }
  std::unique_ptr<HidChannel> Open(const std::string& path, bool, bool, bool) override {
    if (path == "scripted") return std::make_unique<ScriptedChannel>(&replies_);
    int fds[2];
    if (path != "node" || ::pipe2(fds, O_CLOEXEC) != 0) return nullptr;
    node_write_end = fds[1];
    return std::make_unique<HangUpChannel>(fds[0]);
  }
  bool Probe(const std::string&) override { return true; }

 private:
  std::deque<Bytes> replies_;
};

// The connected wait on an open interface ends with whatever happens to it,
// and lasts its whole time when nothing does.
TEST(HidDeviceWatch, EndsWithWhatHappensToTheInterface) {
  enum class Event { Nothing, Stop, FailedTransfer, Unplug };
  struct Case {
    const char* what;
    Event event;
    HidDevice::Watch expected;
  };
  const Case cases[] = {
      {"nothing happens", Event::Nothing, HidDevice::Watch::Stayed},
      {"a stop is requested", Event::Stop, HidDevice::Watch::Woken},
      {"a transfer fails on the handle", Event::FailedTransfer, HidDevice::Watch::Failed},
      {"the keyboard is unplugged", Event::Unplug, HidDevice::Watch::HungUp},
  };
  for (const Case& c : cases) {
    auto backend = std::make_shared<HangUpBackend>();
    HidDevice device(backend);
    ASSERT_TRUE(device.Open("node", true, true, true, false)) << c.what;
    MonitorStop stop;
    ASSERT_GE(stop.wake_fd, 0);
    std::thread event([&] {
      std::this_thread::sleep_for(20ms);
      std::uint8_t report[kReportBytes] = {kCommandReportId};
      const std::uint64_t one = 1;
      switch (c.event) {
        case Event::Nothing: break;
        case Event::Stop: (void)!::write(stop.wake_fd, &one, sizeof one); break;
        case Event::FailedTransfer: (void)device.Write(report, sizeof report, nullptr, 100); break;
        case Event::Unplug: ::close(backend->node_write_end); break;
      }
    });
    // Anything but nothing ends a wait this long at once.
    const std::uint32_t wait_ms = c.event == Event::Nothing ? 50 : 60000;
    EXPECT_EQ(device.WatchOpenInterface(stop.wake_fd, wait_ms), c.expected) << c.what;
    event.join();
    if (c.event != Event::Unplug) ::close(backend->node_write_end);
  }
  // A channel that cannot tell is not watched.
  auto backend = std::make_shared<HangUpBackend>();
  HidDevice device(backend);
  ASSERT_TRUE(device.Open("scripted", true, true, true, false));
  EXPECT_EQ(device.WatchOpenInterface(-1, 60000), HidDevice::Watch::Unwatched);
}

TEST(HidDeviceListing, EmptyNineAndFailingListings) {
  auto backend = std::make_shared<FakeBackend>();
  HidDevice device(backend);
  ASSERT_TRUE(device.BeginEnumeration());
  EXPECT_FALSE(device.NextPath().has_value());

  for (int i = 0; i < 9; ++i) backend->listed.push_back({"path" + std::to_string(i), 1, 2, 3, 4});
  ASSERT_TRUE(device.BeginEnumeration());
  for (int i = 0; i < 9; ++i) {
    auto p = device.NextPath();
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(*p, "path" + std::to_string(i));
  }
  EXPECT_FALSE(device.NextPath().has_value());

  backend->listing_fails = true;
  EXPECT_FALSE(device.BeginEnumeration());
  EXPECT_EQ(device.PathCount(), 0u);
  EXPECT_FALSE(device.NextPath().has_value());
}

TEST(HidDevicePath, InterfaceAndCollectionTags) {
  struct Case {
    const char* path;
    std::uint32_t mi, col;
  } cases[] = {
      {R"(\\?\hid#vid_0c45&pid_7672&mi_01&col02#8&1a2b#{4d1e55b2})", 1, 2},
      {"/dev/hidraw3&col0A", 0, 10},
      {"/dev/hidraw3", 0, 0},
      {"X&MI_0F", 15, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PathTagNumber(c.path, "&mi_"), c.mi) << c.path;
    EXPECT_EQ(PathTagNumber(c.path, "&col"), c.col) << c.path;
  }
}

class InProcessDevice : public ::testing::Test {
 protected:
  emulator::FirmwareModel model;
  std::shared_ptr<InProcessKeyboard> keyboard = InProcessKeyboard::Create(model);
  HidDevice device{keyboard};
};

TEST_F(InProcessDevice, OpenLoadsIdentityAndLayoutAndFailsOnUnknownPaths) {
  ASSERT_TRUE(device.Open("inproc:0", true, false, true, false));
  EXPECT_EQ(device.Attributes().vendor_id, 0x0C45);
  EXPECT_EQ(device.Capabilities().usage_page, 0x000C);
  EXPECT_EQ(device.InputReportBuffer().size(), 3u);
  const auto generation = device.OpenGeneration();
  EXPECT_FALSE(device.Open("inproc:7", true, false, true, false));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_TRUE(device.InputData().empty());
  ASSERT_TRUE(device.Open("inproc:1", true, true, true, false));
  EXPECT_GT(device.OpenGeneration(), generation);
  EXPECT_EQ(device.Capabilities().usage_page, 0xFF1C);
}

TEST_F(InProcessDevice, ReadTimesOutWithNothingTransferred) {
  ASSERT_TRUE(device.Open("inproc:0", true, false, true, false));
  std::size_t got = 7;
  Bytes buffer(3, 0xAA);
  EXPECT_FALSE(device.Read(buffer.data(), buffer.size(), &got, 20));
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(buffer, Bytes(3, 0xAA));
  model.RaiseEvent(0x0401);
  ASSERT_TRUE(device.Read(buffer.data(), buffer.size(), &got, 1000));
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(buffer, (Bytes{0x01, 0x01, 0x04}));
}

TEST_F(InProcessDevice, AnInfiniteReadEndsOnAbortOrCloseFromAnotherThread) {
  for (bool by_close : {false, true}) {
    ASSERT_TRUE(device.Open("inproc:0", true, false, true, false));
    std::atomic<int> result{-1};
    std::thread reader([&] {
      Bytes buffer(3);
      result = device.Read(buffer.data(), buffer.size(), nullptr, kInfinite) ? 1 : 0;
    });
    while (!device.ReadPending()) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(10ms);
    if (by_close) {
      device.Close();
    } else {
      device.Abort();
    }
    reader.join();
    EXPECT_EQ(result.load(), 0) << by_close;
  }
}

TEST_F(InProcessDevice, UnpluggingFailsAPendingReadAndTheProbe) {
  ASSERT_TRUE(device.Open("inproc:0", true, false, true, false));
  EXPECT_TRUE(device.ProbePath());
  std::atomic<int> result{-1};
  std::thread reader([&] {
    Bytes buffer(3);
    result = device.Read(buffer.data(), buffer.size(), nullptr, kInfinite) ? 1 : 0;
  });
  while (!device.ReadPending()) std::this_thread::sleep_for(1ms);
  keyboard->Unplug();
  reader.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_FALSE(device.ProbePath());
  EXPECT_FALSE(device.Open("inproc:0", true, false, true, false));
  keyboard->Plug();
  EXPECT_TRUE(device.Open("inproc:0", true, false, true, false));
}

TEST(CommandStatus, StatusByteDecidesTheResultAndWhatIsCopied) {
  auto backend = std::make_shared<FakeBackend>();
  DeviceLink link(backend);
  ASSERT_TRUE(link.CommandDevice().Open("scripted", true, true, true, false));
  link.DeviceConnected.store(1);
  struct Case {
    std::uint8_t status;
    int result;
    bool copied;
  } cases[] = {{0x00, 1, true}, {0x01, 1, true}, {0xFD, 1, true}, {0xFE, -103, false}, {0xFF, -102, false}};
  for (const Case& c : cases) {
    Bytes reply(64, 0x5C);
    reply[7] = c.status;
    backend->replies = {reply};
    Bytes config(44, 0x00);
    EXPECT_EQ(static_cast<int>(ReadConfig(link, config.data())), c.result) << int(c.status);
    EXPECT_EQ(config[0] == 0x5C, c.copied) << int(c.status);
  }
  // A chunked read stops at the first refused chunk, keeping the chunks before.
  Bytes ok(64, 0x11), refused(64, 0x22);
  ok[7] = 0;
  refused[7] = 0xFF;
  backend->replies = {ok, refused, ok};
  Bytes macro(150, 0);
  EXPECT_EQ(static_cast<int>(ReadMacroArea(link, macro.data(), 150)), -102);
  EXPECT_EQ(macro[55], 0x11);
  EXPECT_EQ(macro[56], 0x00);
  EXPECT_EQ(backend->replies.size(), 1u);  // the third chunk was never sent
}

}  // namespace
}  // namespace keyloom::device
