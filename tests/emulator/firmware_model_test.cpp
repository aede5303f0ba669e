// The firmware model against the protocol's own numbers.
#include "emulator/firmware_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>

#include "emulator/factory_memory.h"

namespace keyloom::emulator {
namespace {

// Sends a whole buffer with a chunked command, the way the host does: one
// request reused, only length, address, payload and checksum rewritten.
std::vector<Report> ChunkedWrite(FirmwareModel& kb, std::uint8_t command, std::uint16_t base,
                                 const std::vector<std::uint8_t>& data) {
  std::vector<Report> replies;
  Report req{};
  req[0] = kCommandReportId;
  req[3] = command;
  for (std::size_t off = 0; off < data.size(); off += kMaxPayload) {
    const std::size_t len = std::min(kMaxPayload, data.size() - off);
    req[4] = static_cast<std::uint8_t>(len);
    req[5] = static_cast<std::uint8_t>((base + off) & 0xFF);
    req[6] = static_cast<std::uint8_t>((base + off) >> 8);
    std::copy_n(data.begin() + off, len, req.begin() + 8);
    const std::uint16_t sum = ReportChecksum(req);
    req[1] = static_cast<std::uint8_t>(sum & 0xFF);
    req[2] = static_cast<std::uint8_t>(sum >> 8);
    replies.push_back(*kb.HandleRequest(req));
  }
  return replies;
}

std::vector<std::uint8_t> ChunkedRead(FirmwareModel& kb, std::uint8_t command, std::uint16_t base,
                                      std::size_t total) {
  std::vector<std::uint8_t> out;
  for (std::size_t off = 0; off < total; off += kMaxPayload) {
    const std::size_t len = std::min(kMaxPayload, total - off);
    auto reply = kb.HandleRequest(MakeRequest(command, static_cast<std::uint8_t>(len),
                                              static_cast<std::uint16_t>(base + off)));
    EXPECT_TRUE(reply.has_value());
    EXPECT_EQ((*reply)[7], kStatusOk) << "chunk at " << off;
    out.insert(out.end(), reply->begin() + 8, reply->begin() + 8 + len);
  }
  return out;
}

FirmwareOptions Options(std::uint16_t vendor, std::uint16_t product,
                        std::uint32_t capacity = kDefaultMacroCapacity) {
  FirmwareOptions o;
  o.vendor = vendor;
  o.product = product;
  o.macroCapacity = capacity;
  return o;
}

std::vector<std::uint8_t> Pattern(std::size_t n, std::uint8_t seed) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + i * 7);
  return v;
}

TEST(FirmwareRequestFraming, ChecksumExamples) {
  // BeginWrite: 0x04 0x00 0x00 0x01 then zeros -> 0x0001.
  auto begin = MakeRequest(kCmdBeginWrite, 0, 0);
  EXPECT_EQ(begin[1], 0x01);
  EXPECT_EQ(begin[2], 0x00);
  // ReadConfig, length 44 -> 0x2F.
  auto read = MakeRequest(kCmdReadConfig, 44, 0);
  EXPECT_EQ(read[1], 0x2F);
  EXPECT_EQ(read[2], 0x00);
  // A full payload of 0xFF wraps past 16 bits? 56 * 255 + ... stays below;
  // the sum is taken over bytes 3..63 only (byte 0 and the checksum excluded).
  std::vector<std::uint8_t> ff(56, 0xFF);
  auto big = MakeRequest(kCmdWriteMacro, 56, 0x1234, ff);
  const std::uint32_t expect = 0x0A + 56 + 0x34 + 0x12 + 56 * 0xFF;
  EXPECT_EQ(big[1] | (big[2] << 8), expect & 0xFFFF);
}

TEST(FirmwareRequestFraming, ReplyEchoesHeaderAndCarriesValidChecksum) {
  FirmwareModel kb;
  auto reply = *kb.HandleRequest(MakeRequest(kCmdReadConfig, 44, 0));
  EXPECT_EQ(reply[0], kCommandReportId);
  EXPECT_EQ(reply[3], kCmdReadConfig);
  EXPECT_EQ(reply[4], 44);
  EXPECT_EQ(reply[7], kStatusOk);
  EXPECT_EQ(reply[1] | (reply[2] << 8), ReportChecksum(reply));
}

TEST(FirmwareRequestFraming, EmptyReportHasNoReply) {
  FirmwareModel kb;
  EXPECT_FALSE(kb.HandleRequest({}).has_value());
}

struct ModelCase {
  std::uint16_t vendor, product;
  std::uint32_t layerBytes, stride, keyCount;
  std::size_t chunks;
  std::size_t lastChunk;
};

class FirmwareModels : public ::testing::TestWithParam<ModelCase> {};

TEST_P(FirmwareModels, FactoryContents) {
  const auto& c = GetParam();
  FirmwareModel kb(Options(c.vendor, c.product));
  EXPECT_EQ(kb.Model().layerBytes, c.layerBytes);
  EXPECT_EQ(kb.Model().layerStride, c.stride);
  EXPECT_EQ(kb.Model().keyCount, c.keyCount);
  const auto m = kb.Snapshot();
  EXPECT_EQ(m.config.size(), 44u);
  EXPECT_EQ(m.config[kConfigActiveSlot], 0);
  EXPECT_EQ(m.config[kConfigCapacity], 64);  // 8 KiB
  EXPECT_EQ(m.macroArea.size(), 8192u);
  EXPECT_EQ(m.macroArea[0] | (m.macroArea[1] << 8), 0) << "no macro magic at the factory";
  const std::vector<std::uint8_t> effects(m.config.begin() + 12, m.config.begin() + 31);
  EXPECT_EQ(effects, FactoryEffects());
  EXPECT_EQ(m.config[31], 0);
  EXPECT_EQ(m.lighting.size(), 126u);
  EXPECT_EQ(m.keyColours.size(), 1536u);
  EXPECT_EQ(m.layers.size(), 3u * c.stride);
  EXPECT_EQ(m.factoryMap.size(), 512u);
  // Each layer starts as the factory map.
  for (std::size_t p = 0; p < 3; ++p) {
    EXPECT_TRUE(std::equal(m.factoryMap.begin(), m.factoryMap.begin() + c.layerBytes,
                           m.layers.begin() + p * c.stride));
  }
  // Triples past the key count are zero.
  for (std::size_t i = 3 * c.keyCount; i < 512; ++i) EXPECT_EQ(m.factoryMap[i], 0) << i;
  // The factory lighting records are sensible: a supported effect, full
  // brightness, no stray report rate.
  for (std::size_t s = 0; s < 3; ++s) {
    const std::uint8_t effect = m.lighting[s * 42];
    EXPECT_TRUE(std::find(effects.begin(), effects.end(), effect) != effects.end());
    EXPECT_LE(m.lighting[s * 42 + 1], 5);
    EXPECT_LE(m.lighting[s * 42 + 15], 3);
  }
}

TEST_P(FirmwareModels, KeyLayersAreAddressedByStrideInChunks) {
  const auto& c = GetParam();
  FirmwareModel kb(Options(c.vendor, c.product));
  std::vector<std::vector<std::uint8_t>> written;
  for (std::uint8_t p = 0; p < 3; ++p) {
    written.push_back(Pattern(c.layerBytes, static_cast<std::uint8_t>(0x11 * (p + 1))));
    auto replies = ChunkedWrite(kb, kCmdWriteKeyLayer, static_cast<std::uint16_t>(p * c.stride), written[p]);
    ASSERT_EQ(replies.size(), c.chunks);
    EXPECT_EQ(replies.back()[4], c.lastChunk);
    for (const auto& r : replies) EXPECT_EQ(r[7], kStatusOk);
  }
  const auto m = kb.Snapshot();
  for (std::size_t p = 0; p < 3; ++p) {
    EXPECT_TRUE(std::equal(written[p].begin(), written[p].end(), m.layers.begin() + p * c.stride)) << p;
    EXPECT_EQ(ChunkedRead(kb, kCmdReadKeyLayer, static_cast<std::uint16_t>(p * c.stride), c.layerBytes),
              written[p]);
  }
  // The factory map is untouched and reads back in the same chunks.
  EXPECT_EQ(ChunkedRead(kb, kCmdReadFactoryMap, 0, c.layerBytes),
            std::vector<std::uint8_t>(m.factoryMap.begin(), m.factoryMap.begin() + c.layerBytes));
}

INSTANTIATE_TEST_SUITE_P(Both, FirmwareModels,
                         ::testing::Values(ModelCase{0x0C45, 0x7672, 378, 378, 126, 7, 42},
                                           ModelCase{0x320F, 0x505B, 512, 512, 128, 10, 8}));

TEST(FirmwareModel, FactoryMapOf7672IsTheBuiltInMap) {
  FirmwareModel kb;
  const auto map = kb.Snapshot().factoryMap;
  struct { std::size_t pos; std::uint8_t t, s, a; } cases[] = {
      {0, 0x05, 0x00, 0x00},  {8, 0x02, 0x02, 0x29},   {12, 0x02, 0x01, 0x02}, {19, 0x02, 0x02, 0x04},
      {53, 0x05, 0x02, 0x02}, {112, 0x03, 0xB6, 0x00}, {120, 0x03, 0xCD, 0x00}, {125, 0x02, 0x02, 0x63},
      {7, 0, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(map[3 * c.pos], c.t) << c.pos;
    EXPECT_EQ(map[3 * c.pos + 1], c.s) << c.pos;
    EXPECT_EQ(map[3 * c.pos + 2], c.a) << c.pos;
  }
}

TEST(FirmwareModel, MacroAreaChunksAndCapacity) {
  FirmwareModel kb(Options(0x0C45, 0x7672, 130 * 128));
  EXPECT_EQ(kb.Snapshot().config[kConfigCapacity], 130);
  // A 130-byte write goes in chunks 56, 56, 18 at 0, 56, 112.
  auto data = Pattern(130, 3);
  auto replies = ChunkedWrite(kb, kCmdWriteMacro, 0, data);
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[0][4], 56);
  EXPECT_EQ(replies[2][4], 18);
  EXPECT_EQ(replies[2][5], 112);
  EXPECT_EQ(ChunkedRead(kb, kCmdReadMacro, 0, 130), data);
  // The last byte of the area is writable, one past it is not.
  const std::uint16_t cap = 130 * 128;
  std::uint8_t one = 0x5A;
  EXPECT_EQ((*kb.HandleRequest(MakeRequest(kCmdWriteMacro, 1, cap - 1, {&one, 1})))[7], kStatusOk);
  EXPECT_EQ((*kb.HandleRequest(MakeRequest(kCmdWriteMacro, 2, cap - 1, std::vector<std::uint8_t>{1, 2})))[7],
            kStatusNotAllowed);
}

TEST(FirmwareModel, CapacityIsClampedToWholeBlocks) {
  struct { std::uint32_t asked, got; } cases[] = {{0, 128}, {200, 128}, {8192, 8192}, {1u << 20, 32640}};
  for (const auto& c : cases) {
    FirmwareModel kb(Options(0x0C45, 0x7672, c.asked));
    EXPECT_EQ(kb.MacroCapacity(), c.got) << c.asked;
    EXPECT_EQ(kb.Snapshot().config[kConfigCapacity] * 128u, c.got);
  }
}

TEST(FirmwareModel, LightingAndKeyColourWrites) {
  FirmwareModel kb;
  // Field write at slot 2: offset 2*42 + 1 (brightness).
  std::uint8_t three = 3;
  EXPECT_EQ((*kb.HandleRequest(MakeRequest(kCmdWriteLighting, 1, 2 * 42 + 1, {&three, 1})))[7], kStatusOk);
  // The host reads 56 bytes at 2*42: 42 real bytes, then zeros.
  auto reply = *kb.HandleRequest(MakeRequest(kCmdReadLighting, 56, 2 * 42));
  EXPECT_EQ(reply[7], kStatusOk);
  EXPECT_EQ(reply[8 + 1], 3);
  for (std::size_t i = 42; i < 56; ++i) EXPECT_EQ(reply[8 + i], 0) << i;
  // Key colours: the last chunk of slot 2 (54 bytes at 1024 + 378).
  auto colours = Pattern(54, 9);
  EXPECT_EQ((*kb.HandleRequest(MakeRequest(kCmdWriteKeyColours, 54, 1024 + 378, colours)))[7], kStatusOk);
  const auto m = kb.Snapshot();
  EXPECT_TRUE(std::equal(colours.begin(), colours.end(), m.keyColours.begin() + 1024 + 378));
  EXPECT_EQ(m.lighting[2 * 42 + 1], 3);
}

TEST(FirmwareModel, ConfigWriteSelectsSlotOnly) {
  FirmwareModel kb;
  auto block = kb.Snapshot().config;
  block[kConfigActiveSlot] = 2;
  block[kConfigCapacity] = 1;  // read-only: ignored
  block[12] = 99;              // read-only: ignored
  EXPECT_EQ((*kb.HandleRequest(MakeRequest(kCmdWriteConfig, 44, 0, block)))[7], kStatusOk);
  EXPECT_EQ(kb.ActiveSlot(), 2);
  auto after = kb.Snapshot().config;
  EXPECT_EQ(after[kConfigCapacity], 64);
  EXPECT_EQ(after[12], 1);
  auto read = *kb.HandleRequest(MakeRequest(kCmdReadConfig, 44, 0));
  EXPECT_TRUE(std::equal(after.begin(), after.end(), read.begin() + 8));
  for (std::size_t i = 8 + 44; i < 64; ++i) EXPECT_EQ(read[i], 0);
}

// Every refusal leaves every memory as it was, and answers with the
// documented status.
TEST(FirmwareModel, RefusalsChangeNothing) {
  auto good = [] { return MakeRequest(kCmdWriteLighting, 4, 0, std::vector<std::uint8_t>{9, 9, 9, 9}); };
  auto fix = [](Report r) {
    const std::uint16_t s = ReportChecksum(r);
    r[1] = static_cast<std::uint8_t>(s);
    r[2] = static_cast<std::uint8_t>(s >> 8);
    return r;
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::uint8_t status;
  };
  std::vector<Case> cases;
  auto add = [&](const char* name, Report r, std::uint8_t st) {
    cases.push_back({name, std::vector<std::uint8_t>(r.begin(), r.end()), st});
  };
  { auto r = good(); r[0] = 0x05; add("report id", r, kStatusNotUnderstood); }
  { auto r = good(); r[1] ^= 1; add("checksum", r, kStatusNotUnderstood); }
  { auto r = good(); r[3] = 0x0B; add("unknown command", fix(r), kStatusNotUnderstood); }
  { auto r = good(); r[3] = 0x00; add("command 0", fix(r), kStatusNotUnderstood); }
  { auto r = good(); r[7] = 1; add("byte 7", fix(r), kStatusNotUnderstood); }
  { auto r = good(); r[4] = 57; add("length 57", fix(r), kStatusNotAllowed); }
  add("lighting past end", MakeRequest(kCmdWriteLighting, 4, 123, std::vector<std::uint8_t>{1, 2, 3, 4}),
      kStatusNotAllowed);
  add("layer past end", MakeRequest(kCmdWriteKeyLayer, 2, 3 * 378 - 1, std::vector<std::uint8_t>{1, 2}),
      kStatusNotAllowed);
  add("colours past end", MakeRequest(kCmdWriteKeyColours, 3, 1534, std::vector<std::uint8_t>{1, 2, 3}),
      kStatusNotAllowed);
  add("macro address wraps high", MakeRequest(kCmdWriteMacro, 8, 0xFFFC, std::vector<std::uint8_t>(8, 1)),
      kStatusNotAllowed);
  {
    std::vector<std::uint8_t> block(44, 0);
    block[kConfigActiveSlot] = 3;
    add("slot 3", MakeRequest(kCmdWriteConfig, 44, 0, block), kStatusNotAllowed);
  }
  add("begin with length", MakeRequest(kCmdBeginWrite, 1, 0), kStatusNotAllowed);
  add("end with address", MakeRequest(kCmdEndWrite, 0, 5), kStatusNotAllowed);
  add("read past start", MakeRequest(kCmdReadLighting, 1, 127), kStatusNotAllowed);
  add("read factory map past end", MakeRequest(kCmdReadFactoryMap, 1, 512), kStatusNotAllowed);
  {
    auto r = good();
    cases.push_back({"short report", std::vector<std::uint8_t>(r.begin(), r.begin() + 63), kStatusNotUnderstood});
    std::vector<std::uint8_t> longer(r.begin(), r.end());
    longer.push_back(0);
    cases.push_back({"long report", longer, kStatusNotUnderstood});
  }

  for (const auto& c : cases) {
    FirmwareModel kb;
    const auto before = kb.Snapshot();
    const auto changes = kb.ChangeCount();
    auto reply = kb.HandleRequest(c.bytes);
    ASSERT_TRUE(reply.has_value()) << c.name;
    EXPECT_EQ((*reply)[7], c.status) << c.name;
    for (std::size_t i = 8; i < 64; ++i) EXPECT_EQ((*reply)[i], 0) << c.name;
    EXPECT_EQ(kb.Snapshot(), before) << c.name;
    EXPECT_EQ(kb.ChangeCount(), changes) << c.name;
    EXPECT_EQ(kb.BeginWriteCount() + kb.EndWriteCount(), 0u) << c.name;
  }
}

TEST(FirmwareModel, StaleBytesAfterShortPayloadAreIgnored) {
  FirmwareModel kb;
  // A final chunk of 2 bytes whose request still holds 54 old bytes.
  std::vector<std::uint8_t> payload(56, 0xEE);
  payload[0] = 1;
  payload[1] = 2;
  auto r = MakeRequest(kCmdWriteLighting, 2, 0, payload);
  EXPECT_EQ((*kb.HandleRequest(r))[7], kStatusOk);
  const auto m = kb.Snapshot();
  EXPECT_EQ(m.lighting[0], 1);
  EXPECT_EQ(m.lighting[1], 2);
  EXPECT_EQ(m.lighting[2], FactoryLightingRecord(0)[2]);
}

TEST(FirmwareModel, RestoreChecksSizes) {
  FirmwareModel kb;
  auto m = kb.Snapshot();
  m.layers[0] = 0x77;
  EXPECT_TRUE(kb.Restore(m));
  EXPECT_EQ(kb.Snapshot().layers[0], 0x77);
  auto bad = m;
  bad.macroArea.resize(100);
  EXPECT_FALSE(kb.Restore(bad));
  bad = m;
  bad.config[kConfigActiveSlot] = 7;
  EXPECT_FALSE(kb.Restore(bad));
  EXPECT_EQ(kb.Snapshot(), m);
}

TEST(FirmwareFaults, EachFaultCountsDown) {
  FirmwareModel kb;
  const auto read = MakeRequest(kCmdReadConfig, 44, 0);
  std::uint8_t slot1[44] = {};
  slot1[kConfigActiveSlot] = 1;
  const auto write = MakeRequest(kCmdWriteConfig, 44, 0, slot1);

  kb.ArmFault(FaultKind::kRefuse, 1);
  auto o = kb.Transact(write);
  EXPECT_TRUE(o.hasReply);
  EXPECT_EQ(o.reply[7], kStatusNotAllowed);
  EXPECT_EQ(kb.ActiveSlot(), 0) << "a refused request is not carried out";
  EXPECT_EQ(kb.Transact(read).reply[7], kStatusOk);

  kb.ArmFault(FaultKind::kDropReplies, 2);
  EXPECT_FALSE(kb.Transact(write).hasReply);
  EXPECT_EQ(kb.ActiveSlot(), 1) << "a dropped reply's request was carried out";
  EXPECT_FALSE(kb.Transact(read).hasReply);
  EXPECT_TRUE(kb.Transact(read).hasReply);

  kb.ArmFault(FaultKind::kDelayReplies, 1, 500);
  EXPECT_EQ(kb.Transact(read).delayMs, 500u);
  EXPECT_EQ(kb.Transact(read).delayMs, 0u);

  kb.ArmFault(FaultKind::kGarbage, 1);
  auto g = kb.Transact(read);
  auto clean = kb.Transact(read);
  EXPECT_NE(g.reply, clean.reply);

  kb.ArmFault(FaultKind::kDisconnectAfter, 2);
  EXPECT_FALSE(kb.Transact(read).unplugAfter);
  auto last = kb.Transact(read);
  EXPECT_TRUE(last.hasReply);
  EXPECT_TRUE(last.unplugAfter);
  EXPECT_FALSE(kb.Plugged());
  EXPECT_FALSE(kb.Transact(read).hasReply) << "an unplugged keyboard answers nothing";
  kb.SetPlugged(true);
  EXPECT_TRUE(kb.Transact(read).hasReply);
}

TEST(FirmwareEvents, SlotSwitchOnKeyboardSendsResetEvent) {
  FirmwareModel kb;
  std::vector<std::vector<std::uint8_t>> reports;
  kb.SetInputListener([&](std::span<const std::uint8_t> r) { reports.emplace_back(r.begin(), r.end()); });
  EXPECT_TRUE(kb.SwitchSlotOnKeyboard(2));
  EXPECT_FALSE(kb.SwitchSlotOnKeyboard(3));
  EXPECT_EQ(kb.ActiveSlot(), 2);
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0], (std::vector<std::uint8_t>{0x01, 0x02, 0x04}));
  EXPECT_EQ(reports[1], (std::vector<std::uint8_t>{0x01, 0x00, 0x00}));
  kb.SetPlugged(false);
  kb.RaiseEvent(kEventLightingChanged);
  EXPECT_EQ(reports.size(), 2u) << "an unplugged keyboard sends no events";
}

TEST(FirmwareModel, FactoryResetRestoresEverything) {
  FirmwareModel kb;
  const auto factory = kb.Snapshot();
  ChunkedWrite(kb, kCmdWriteMacro, 0, Pattern(300, 1));
  kb.SwitchSlotOnKeyboard(1);
  EXPECT_NE(kb.Snapshot(), factory);
  kb.FactoryReset();
  EXPECT_EQ(kb.Snapshot(), factory);
}

}  // namespace
}  // namespace keyloom::emulator

namespace keyloom::emulator {
namespace {

// Several host threads at once (the in-process backend's situation): each
// writes and reads back its own layer while another raises events and takes
// snapshots. Every reply belongs to its own request.
TEST(FirmwareConcurrency, ThreadsSeeTheirOwnReplies) {
  FirmwareModel kb;
  std::atomic<int> events{0};
  kb.SetInputListener([&](std::span<const std::uint8_t>) { events.fetch_add(1); });
  std::vector<std::thread> threads;
  std::atomic<int> mismatches{0};
  for (int p = 0; p < 3; ++p) {
    threads.emplace_back([&, p] {
      for (int round = 0; round < 200; ++round) {
        const std::uint8_t value = static_cast<std::uint8_t>(p * 50 + round % 50);
        std::vector<std::uint8_t> data(56, value);
        const auto address = static_cast<std::uint16_t>(p * 378 + 56);
        kb.Transact(MakeRequest(kCmdWriteKeyLayer, 56, address, data));
        const auto out = kb.Transact(MakeRequest(kCmdReadKeyLayer, 56, address));
        if (!out.hasReply || out.reply[3] != kCmdReadKeyLayer || out.reply[8] != value || out.reply[63] != value) {
          mismatches.fetch_add(1);
        }
      }
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < 100; ++i) {
      kb.RaiseEvent(kEventLightingChanged);
      (void)kb.Snapshot();
    }
  });
  for (auto& t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(events.load(), 200);
}

}  // namespace
}  // namespace keyloom::emulator
