// Replies that do not answer their request: the transaction takes them for
// lost answers (the request is written again, four attempts in all) and no
// byte of them ever reaches the caller as data.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/commands.h"
#include "device/device_table.h"
#include "device/hid_backend.h"
#include "device/report_transaction.h"
#include "device_fixture.h"
#include "emulator/descriptors.h"
#include "emulator/firmware_model.h"

namespace keyloom::device {
namespace {

using testing::ConnectedKeyboard;
using Bytes = std::vector<std::uint8_t>;
using Mutation = std::function<void(Bytes& reply)>;

void FixChecksum(Bytes& reply) {
  if (reply.size() < kReportBytes) return;
  StoreChecksum(reply.data());
}

// The firmware model's answers, each passed through the next scripted
// mutation (if any) on its way back.
struct Script {
  std::mutex mutex;
  emulator::FirmwareModel* model = nullptr;
  std::deque<Mutation> mutations;
  std::deque<Bytes> pending;
  int writes = 0;
};

class ScriptedChannel : public HidChannel {
 public:
  explicit ScriptedChannel(std::shared_ptr<Script> script) : script_(std::move(script)) {}
  HidAttributes Attributes() const override { return {0x0C45, 0x7672, 0}; }
  std::vector<std::uint8_t> ReportDescriptor() const override {
    return {std::begin(emulator::kCommandDescriptor), std::end(emulator::kCommandDescriptor)};
  }
  IoResult Read(std::uint8_t* buffer, std::size_t length, std::size_t& transferred, SteadyTime,
                AbortEvent&) override {
    std::lock_guard lock(script_->mutex);
    transferred = 0;
    if (script_->pending.empty()) return IoResult::TimedOut;
    const Bytes reply = script_->pending.front();
    script_->pending.pop_front();
    transferred = std::min(length, reply.size());
    std::copy_n(reply.begin(), transferred, buffer);
    return IoResult::Ok;
  }
  IoResult Write(const std::uint8_t* buffer, std::size_t length, std::size_t& transferred, SteadyTime,
                 AbortEvent&) override {
    std::lock_guard lock(script_->mutex);
    ++script_->writes;
    transferred = length;
    const auto answer = script_->model->HandleRequest({buffer, length});
    Bytes reply(answer->begin(), answer->end());
    if (!script_->mutations.empty()) {
      script_->mutations.front()(reply);
      script_->mutations.pop_front();
    }
    script_->pending.push_back(std::move(reply));
    return IoResult::Ok;
  }

 private:
  std::shared_ptr<Script> script_;
};

class ScriptedBackend : public HidBackend {
 public:
  explicit ScriptedBackend(std::shared_ptr<Script> script) : script_(std::move(script)) {}
  bool Enumerate(std::vector<HidInterfaceInfo>& out) override {
    out = {{"scripted:1", 0x0C45, 0x7672, 0xFF1C, 0x0092}};
    return true;
  }
  std::unique_ptr<HidChannel> Open(const std::string&, bool, bool, bool) override {
    return std::make_unique<ScriptedChannel>(script_);
  }
  bool Probe(const std::string&) override { return true; }

 private:
  std::shared_ptr<Script> script_;
};

class ScriptedKeyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    script->model = &model;
    link.UseBackend(std::make_shared<ScriptedBackend>(script));
    ASSERT_TRUE(link.CommandDevice().Open("scripted:1", true, true, true, false));
    link.SetModelSizes(0x0C45, 0x7672);
    link.DeviceConnected.store(1);
  }
  void TearDown() override {
    link.DeviceConnected.store(0);
    link.CommandDevice().Close();
    link.UseBackend(nullptr);
  }
  void Garble(const Mutation& m, int times) {
    for (int i = 0; i < times; ++i) script->mutations.push_back(m);
  }

  emulator::FirmwareModel model;
  std::shared_ptr<Script> script = std::make_shared<Script>();
  ScopedCommandPause no_pause{[](std::uint32_t) {}};
  DeviceLink link;
};

struct BadReply {
  const char* name;
  Mutation mutate;
};

// Each way a reply can fail to answer a configuration read (command 0x03,
// length 44, address 0).
const std::vector<BadReply>& BadReplies() {
  static const std::vector<BadReply> cases = {
      {"wrong report id", [](Bytes& r) { r[0] = 0x05; }},
      {"bad checksum", [](Bytes& r) { r[1] ^= 0x01; }},
      {"wrong command", [](Bytes& r) { r[3] = kCmdReadLightingArea; FixChecksum(r); }},
      {"wrong length", [](Bytes& r) { r[4] = 43; FixChecksum(r); }},
      {"wrong address low byte", [](Bytes& r) { r[5] = 0x2A; FixChecksum(r); }},
      {"wrong address high byte", [](Bytes& r) { r[6] = 0x01; FixChecksum(r); }},
      {"short report", [](Bytes& r) { r.resize(63); }},
      {"empty report", [](Bytes& r) { r.clear(); }},
      {"random bytes",
       [](Bytes& r) {
         std::uint32_t x = 0x2545F491u;
         for (auto& b : r) {
           x ^= x << 13;
           x ^= x >> 17;
           x ^= x << 5;
           b = static_cast<std::uint8_t>(x >> 24);
         }
       }},
      {"all zero", [](Bytes& r) { r.assign(r.size(), 0); }},
      {"another request's answer",
       [](Bytes& r) {
         emulator::FirmwareModel other;
         const auto a = other.HandleRequest(emulator::MakeRequest(emulator::kCmdReadLighting, 42, 42));
         r.assign(a->begin(), a->end());
       }},
  };
  return cases;
}

TEST_F(ScriptedKeyboard, ReplyThatDoesNotAnswerIsRetriedAndNeverCopied) {
  const Bytes truth(model.Snapshot().config);
  for (const BadReply& c : BadReplies()) {
    SCOPED_TRACE(c.name);
    // Four bad replies: the read fails with its own code, nothing copied.
    script->writes = 0;
    Garble(c.mutate, kAttempts);
    Bytes config(kConfigBlockBytes, 0xCC);
    EXPECT_EQ(ReadConfig(link, config.data()), CommandResult::kBadReply);
    EXPECT_EQ(script->writes, kAttempts);
    EXPECT_EQ(config, Bytes(kConfigBlockBytes, 0xCC));

    // One bad reply: the request is written again and the answer is used.
    script->writes = 0;
    Garble(c.mutate, 1);
    EXPECT_EQ(ReadConfig(link, config.data()), CommandResult::kOk);
    EXPECT_EQ(script->writes, 2);
    EXPECT_EQ(config, truth);
  }
}

TEST_F(ScriptedKeyboard, TheKeyboardsOwnAnswersAreTaken) {
  // Every command's well-formed answer passes, refusals included.
  Bytes map(link.DeviceTable.LayerBytes.load());
  EXPECT_EQ(ReadDefaultKeyMap(link, map.data()), CommandResult::kOk);
  Bytes macro(130, 0x11);
  EXPECT_EQ(WriteMacroArea(link, macro.data(), 130), CommandResult::kOk);
  Bytes lighting(56);
  EXPECT_EQ(ReadLightingArea(link, lighting.data(), 56, 2 * 42), CommandResult::kOk);  // runs past the area's end
  EXPECT_EQ(BeginWrite(link), CommandResult::kOk);
  EXPECT_EQ(EndWrite(link), CommandResult::kOk);
  Bytes big(model.MacroCapacity() + 1, 0);
  EXPECT_EQ(WriteMacroArea(link, big.data(), static_cast<std::uint32_t>(big.size())), CommandResult::kRefusedFE);
  std::uint8_t request[kReportBytes];
  BuildRequest(request, 0x33, 0, 0, nullptr);  // a command the keyboard does not know
  std::uint8_t reply[kReportBytes];
  EXPECT_EQ(SendReport(link, request, sizeof request, reply, sizeof reply, nullptr), CommandResult::kOk);
  EXPECT_EQ(reply[kStatusOffset], 0xFF);
}

TEST_F(ScriptedKeyboard, ChunkedReadStopsAtAChunkWithoutAnAnswer) {
  // The third chunk of the factory map only ever comes back garbled.
  Garble([](Bytes&) {}, 2);
  Garble([](Bytes& r) { r[9] ^= 0x40; }, kAttempts);
  Bytes map(link.DeviceTable.LayerBytes.load(), 0xCC);
  EXPECT_EQ(ReadDefaultKeyMap(link, map.data()), CommandResult::kBadReply);
  const Bytes factory = model.Snapshot().factoryMap;
  EXPECT_TRUE(std::equal(map.begin(), map.begin() + 112, factory.begin()));
  EXPECT_EQ(map[112], 0xCC);
}

// The firmware model's own garbage fault, through the in-process keyboard.
TEST_F(ConnectedKeyboard, GarbageFromTheKeyboardIsNeverData) {
  struct Case {
    std::uint32_t garbage;
    CommandResult result;
  } cases[] = {{1, CommandResult::kOk},
               {3, CommandResult::kOk},
               {4, CommandResult::kBadReply},
               {8, CommandResult::kBadReply}};
  for (const Case& c : cases) {
    Connect();
    model->ArmFault(emulator::FaultKind::kGarbage, c.garbage);
    Bytes map(link.DeviceTable.LayerBytes.load(), 0xCC);
    EXPECT_EQ(ReadDefaultKeyMap(link, map.data()), c.result) << c.garbage;
    if (c.result == CommandResult::kOk) {
      EXPECT_TRUE(std::equal(map.begin(), map.end(), model->Snapshot().factoryMap.begin())) << c.garbage;
    } else {
      EXPECT_EQ(map, Bytes(map.size(), 0xCC)) << c.garbage;
    }
  }
}

}  // namespace
}  // namespace keyloom::device
