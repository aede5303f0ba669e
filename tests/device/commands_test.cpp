// The report transaction and the command set against the in-process virtual
// keyboard and its faults.
#include <gtest/gtest.h>

#include <optional>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "device/commands.h"
#include "device/report_trace.h"
#include "device/report_transaction.h"
#include "device_fixture.h"
#include "emulator/factory_memory.h"

namespace keyloom::device {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ConnectedKeyboard;

// Reports written, as the trace shows them.
class TracedKeyboard : public ConnectedKeyboard {
 protected:
  void SetUp() override {
    ConnectedKeyboard::SetUp();
    path = ::testing::TempDir() + "device_trace_" + std::to_string(::getpid()) + ".txt";
    std::remove(path.c_str());
    trace.emplace(path);
  }
  void TearDown() override {
    trace.reset();
    std::remove(path.c_str());
    ConnectedKeyboard::TearDown();
  }
  std::vector<Bytes> Written() {
    std::vector<Bytes> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      if (line.size() < 2 || line[0] != 'W') continue;
      Bytes b;
      for (std::size_t i = 2; i + 1 < line.size(); i += 2) b.push_back(std::stoi(line.substr(i, 2), nullptr, 16));
      out.push_back(b);
    }
    return out;
  }
  std::string path;
  std::optional<ScopedReportTrace> trace;
};

TEST(RequestLayout, ChecksumExamples) {
  std::uint8_t r[kReportBytes];
  BuildRequest(r, kCmdBeginWrite, 0, 0, nullptr);
  EXPECT_EQ(r[0], 0x04);
  EXPECT_EQ(r[1], 0x01);
  EXPECT_EQ(r[2], 0x00);
  BuildRequest(r, kCmdReadConfig, 44, 0, nullptr);
  EXPECT_EQ(r[1], 0x2F);
  EXPECT_EQ(r[2], 0x00);
  // The sum wraps at 65536 and only the low 16 bits of an address are sent.
  Bytes payload(56, 0xFF);
  BuildRequest(r, kCmdWriteMacroArea, 56, 0x12345, payload.data());
  EXPECT_EQ(r[5], 0x45);
  EXPECT_EQ(r[6], 0x23);
  EXPECT_EQ(RequestChecksum(r), (0x0A + 56 + 0x45 + 0x23 + 56 * 0xFF) & 0xFFFF);
  EXPECT_EQ(r[1] | (r[2] << 8), RequestChecksum(r));
}

TEST_F(ConnectedKeyboard, ReadsComeFromTheKeyboardsMemories) {
  std::uint8_t config[kConfigBlockBytes] = {};
  ASSERT_EQ(ReadConfig(link, config), CommandResult::kOk);
  const emulator::Memories m = model->Snapshot();
  EXPECT_TRUE(std::equal(config, config + 44, m.config.begin()));

  // 0x05 copies all 56 returned bytes whatever length was asked for.
  Bytes lighting(56, 0xEE);
  ASSERT_EQ(ReadLightingArea(link, lighting.data(), 42, 42), CommandResult::kOk);
  EXPECT_TRUE(std::equal(lighting.begin(), lighting.begin() + 42, m.lighting.begin() + 42));
  EXPECT_EQ(lighting[50], 0);  // the keyboard's zero data after the length

  Bytes map(link.DeviceTable.LayerBytes.load());
  ASSERT_EQ(ReadDefaultKeyMap(link, map.data()), CommandResult::kOk);
  EXPECT_TRUE(std::equal(map.begin(), map.end(), BuiltInDefaultKeyMap().begin()));
}

TEST_F(ConnectedKeyboard, KeyLayersAreAddressedByStrideForBothModels) {
  for (auto [vendor, product] : {std::pair{0x0C45, 0x7672}, std::pair{0x320F, 0x505B}}) {
    Connect(vendor, product);
    const std::uint32_t bytes = link.DeviceTable.LayerBytes.load();
    Bytes layer(bytes);
    for (std::uint32_t i = 0; i < bytes; ++i) layer[i] = static_cast<std::uint8_t>(i * 7 + 1);
    ASSERT_EQ(WriteKeyLayer(link, layer.data(), 2), CommandResult::kOk);
    const emulator::Memories m = model->Snapshot();
    EXPECT_TRUE(std::equal(layer.begin(), layer.end(), m.layers.begin() + 2 * link.DeviceTable.LayerStride.load()))
        << std::hex << vendor;
    Bytes back(bytes);
    ASSERT_EQ(ReadKeyLayer(link, back.data(), 2), CommandResult::kOk);
    EXPECT_EQ(back, layer);
  }
}

TEST_F(TracedKeyboard, MacroWriteOf130BytesSendsThreeChunksReusingTheRequest) {
  Bytes macro(130);
  for (std::size_t i = 0; i < macro.size(); ++i) macro[i] = static_cast<std::uint8_t>(0x80 + i);
  ASSERT_EQ(WriteMacroArea(link, macro.data(), 130), CommandResult::kOk);
  const std::vector<Bytes> w = Written();
  ASSERT_EQ(w.size(), 3u);
  const int lengths[] = {56, 56, 18};
  const int addresses[] = {0, 56, 112};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(w[i].size(), 64u);
    EXPECT_EQ(w[i][3], 0x0A);
    EXPECT_EQ(w[i][4], lengths[i]);
    EXPECT_EQ(w[i][5] | (w[i][6] << 8), addresses[i]);
    EXPECT_EQ(w[i][1] | (w[i][2] << 8), RequestChecksum(w[i].data()));
  }
  // After the short last payload the previous chunk's bytes are still there.
  EXPECT_EQ(w[2][8 + 18], macro[56 + 18]);
  EXPECT_EQ(w[2][63], macro[56 + 55]);
  const emulator::Memories m = model->Snapshot();
  EXPECT_TRUE(std::equal(macro.begin(), macro.end(), m.macroArea.begin()));
}

TEST_F(TracedKeyboard, KeyColoursAreAddressedByPositionAndLightingSlot) {
  const Bytes rgb = {0x11, 0x22, 0x33};
  ASSERT_EQ(WriteKeyColours(link, rgb.data(), 3, 5, 2), CommandResult::kOk);
  const std::vector<Bytes> w = Written();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0][5] | (w[0][6] << 8), 5 * 3 + 2 * 512);
  const emulator::Memories m = model->Snapshot();
  EXPECT_TRUE(std::equal(rgb.begin(), rgb.end(), m.keyColours.begin() + 1039));
}

TEST_F(TracedKeyboard, NothingIsSentWhenDisconnectedOrForABadLayer) {
  Bytes layer(512);
  EXPECT_EQ(WriteKeyLayer(link, layer.data(), 3), CommandResult::kBadLayer);
  EXPECT_EQ(ReadKeyLayer(link, layer.data(), 3), CommandResult::kBadLayer);
  link.DeviceConnected.store(0);
  EXPECT_EQ(BeginWrite(link), CommandResult::kNotSent);
  EXPECT_EQ(WriteKeyLayer(link, layer.data(), 0), CommandResult::kNotSent);
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(keyboard->WriteCount(), 0u);
}

TEST_F(TracedKeyboard, LongRequestIsCutTo64Bytes) {
  Bytes request(80, 0);
  BuildRequest(request.data(), kCmdReadConfig, 44, 0, nullptr);
  for (std::size_t i = 64; i < request.size(); ++i) request[i] = 0x99;
  std::uint8_t reply[64];
  std::size_t got = 0;
  ASSERT_EQ(SendReport(link, request.data(), request.size(), reply, sizeof reply, &got), CommandResult::kOk);
  EXPECT_EQ(got, 64u);
  const std::vector<Bytes> w = Written();
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0], Bytes(request.begin(), request.begin() + 64));
}

TEST_F(ConnectedKeyboard, LostRepliesAreRetriedFourTimesThenGiveZero) {
  struct Case {
    std::uint32_t dropped;
    CommandResult result;
    std::uint64_t writes;
  } cases[] = {{3, CommandResult::kOk, 4}, {4, CommandResult::kNotSent, 4}};
  for (const Case& c : cases) {
    Connect();
    model->ArmFault(emulator::FaultKind::kDropReplies, c.dropped);
    std::uint8_t config[44] = {};
    EXPECT_EQ(ReadConfig(link, config), c.result) << c.dropped;
    EXPECT_EQ(keyboard->WriteCount(), c.writes);
  }
}

TEST_F(ConnectedKeyboard, LateReplyNeverReachesALaterCommand) {
  // The first answer comes 400 ms late: the first read gives up, the retry
  // gets an answer; the answer still owed must not become the next
  // command's answer.
  model->ArmFault(emulator::FaultKind::kDelayReplies, 1, 400);
  std::uint8_t config[44] = {};
  ASSERT_EQ(ReadConfig(link, config), CommandResult::kOk);
  EXPECT_EQ(config[10], model->Snapshot().config[10]);
  Bytes lighting(56, 0);
  ASSERT_EQ(ReadLightingArea(link, lighting.data(), 42, 0), CommandResult::kOk);
  const emulator::Memories m = model->Snapshot();
  EXPECT_TRUE(std::equal(lighting.begin(), lighting.begin() + 42, m.lighting.begin()));
  // And nothing is owed or queued afterwards.
  Bytes layer(378);
  ASSERT_EQ(ReadKeyLayer(link, layer.data(), 0), CommandResult::kOk);
  EXPECT_TRUE(std::equal(layer.begin(), layer.end(), m.layers.begin()));
  EXPECT_EQ(OwedReplies(link), 0u);
}

TEST_F(ConnectedKeyboard, ReadThatGaveUpNeverWritesIntoTheBufferLater) {
  model->ArmFault(emulator::FaultKind::kDelayReplies, 1, 150);
  std::uint8_t request[64];
  BuildRequest(request, kCmdReadConfig, 44, 0, nullptr);
  ASSERT_TRUE(link.CommandDevice().Write(request, 64, nullptr, 1000));
  Bytes buffer(64, 0xAA);
  std::size_t got = 99;
  EXPECT_FALSE(link.CommandDevice().Read(buffer.data(), buffer.size(), &got, 30));
  EXPECT_EQ(got, 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));  // the answer has arrived by now
  EXPECT_EQ(buffer, Bytes(64, 0xAA));
}

TEST_F(ConnectedKeyboard, RefusalsGiveTheirCodeAndCopyNothing) {
  model->ArmFault(emulator::FaultKind::kRefuse, 1);
  Bytes config(44, 0xCC);
  EXPECT_EQ(ReadConfig(link, config.data()), CommandResult::kRefusedFE);
  EXPECT_EQ(config, Bytes(44, 0xCC));
  // The keyboard answers 0xFF to a request it does not understand (a bad
  // checksum here): the chunked command ends at that chunk.
  std::uint8_t request[64];
  BuildRequest(request, kCmdReadConfig, 44, 0, nullptr);
  request[1] ^= 0xFF;
  std::uint8_t reply[64];
  ASSERT_EQ(SendReport(link, request, 64, reply, 64, nullptr), CommandResult::kOk);
  EXPECT_EQ(reply[7], 0xFF);
  // A write past the macro area's end is refused with 0xFE part-way.
  Bytes big(model->MacroCapacity() + 100, 0x5A);
  EXPECT_EQ(WriteMacroArea(link, big.data(), static_cast<std::uint32_t>(big.size())), CommandResult::kRefusedFE);
  const emulator::Memories m = model->Snapshot();
  EXPECT_EQ(m.macroArea[0], 0x5A);  // the chunks before stay written
}

TEST_F(ConnectedKeyboard, WriteFailureGivesMinusOneWithoutRetry) {
  keyboard->Unplug();  // link.DeviceConnected is still 1: the monitor has not noticed yet
  EXPECT_EQ(BeginWrite(link), CommandResult::kWriteFailed);
  EXPECT_EQ(keyboard->WriteCount(), 0u);
}

TEST_F(ConnectedKeyboard, UnpluggingMidCommandEndsItWithChunksKept) {
  model->ArmFault(emulator::FaultKind::kDisconnectAfter, 3);
  Bytes macro(300, 0x33);
  const CommandResult r = WriteMacroArea(link, macro.data(), 300);
  EXPECT_TRUE(r == CommandResult::kWriteFailed || r == CommandResult::kNotSent) << r;
  EXPECT_EQ(keyboard->WriteCount(), 3u);
  keyboard->Plug();
  const emulator::Memories m = model->Snapshot();
  EXPECT_EQ(m.macroArea[3 * 56 - 1], 0x33);
  EXPECT_EQ(m.macroArea[3 * 56], 0x00);
}

TEST_F(ConnectedKeyboard, EndWritePausesTenMillisecondsFirst) {
  static std::vector<std::uint32_t> pauses;
  pauses.clear();
  ScopedCommandPause recording([](std::uint32_t ms) { pauses.push_back(ms); });
  ASSERT_EQ(BeginWrite(link), CommandResult::kOk);
  EXPECT_TRUE(pauses.empty());
  ASSERT_EQ(EndWrite(link), CommandResult::kOk);
  EXPECT_EQ(pauses, std::vector<std::uint32_t>{10});
  EXPECT_EQ(model->BeginWriteCount(), 1u);
  EXPECT_EQ(model->EndWriteCount(), 1u);
}

TEST(ReportTrace, LineIsDirectionSpaceAndLowercaseHex) {
  const std::uint8_t bytes[] = {0x04, 0xAB, 0x00};
  EXPECT_EQ(TraceLine('W', bytes, 3), "W 04ab00");
}

}  // namespace
}  // namespace keyloom::device
