// The command set on arbitrary replies: the fuzz input is the stream of
// answers the keyboard gives (64 bytes each; a short last piece is a short
// report), read back by every reading command into buffers of exactly their
// documented sizes. With bit 1 of the first byte set, each whole reply is
// framed as the answer to the request just written (report id, echoed
// command, length and address, checksum), so the data paths are reached.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "device/commands.h"
#include "device/device_table.h"
#include "device/hid_backend.h"
#include "device/report_transaction.h"
#include "emulator/descriptors.h"

using namespace keyloom::device;

namespace {

struct Stream {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t at = 0;
  bool frame = false;
  std::uint8_t request[64] = {};
};
Stream g_stream;

class ReplyChannel : public HidChannel {
 public:
  HidAttributes Attributes() const override { return {0x0C45, 0x7672, 0}; }
  std::vector<std::uint8_t> ReportDescriptor() const override {
    return {std::begin(keyloom::emulator::kCommandDescriptor), std::end(keyloom::emulator::kCommandDescriptor)};
  }
  IoResult Read(std::uint8_t* buffer, std::size_t length, std::size_t& transferred, SteadyTime,
                AbortEvent&) override {
    transferred = 0;
    if (g_stream.at >= g_stream.size) return IoResult::TimedOut;
    const std::size_t n = std::min<std::size_t>({std::size_t{64}, length, g_stream.size - g_stream.at});
    std::memcpy(buffer, g_stream.data + g_stream.at, n);
    g_stream.at += n;
    if (g_stream.frame && n == 64) {
      buffer[0] = 0x04;
      std::memcpy(buffer + 3, g_stream.request + 3, 4);
      StoreChecksum(buffer);
    }
    transferred = n;
    return IoResult::Ok;
  }
  IoResult Write(const std::uint8_t* request, std::size_t length, std::size_t& transferred, SteadyTime,
                 AbortEvent&) override {
    std::memcpy(g_stream.request, request, std::min<std::size_t>(length, 64));
    transferred = length;
    return IoResult::Ok;
  }
};

class ReplyBackend : public HidBackend {
 public:
  bool Enumerate(std::vector<HidInterfaceInfo>& out) override {
    out = {{"fuzz:1", 0x0C45, 0x7672, 0xFF1C, 0x0092}};
    return true;
  }
  std::unique_ptr<HidChannel> Open(const std::string&, bool, bool, bool) override {
    return std::make_unique<ReplyChannel>();
  }
  bool Probe(const std::string&) override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ScopedCommandPause no_pause([](std::uint32_t) {});
  static DeviceLink link(std::make_shared<ReplyBackend>());
  static const bool ready = [] {
    link.CommandDevice().Open("fuzz:1", true, true, true, false);
    link.DeviceConnected.store(1);
    return true;
  }();
  (void)ready;
  g_stream = {data, size, 0, size > 0 && (data[0] & 2) != 0, {}};
  // The model decides the layer sizes: odd first byte, the larger model.
  if (size > 0 && (data[0] & 1)) {
    link.SetModelSizes(0x320F, 0x505B);
  } else {
    link.SetModelSizes(0x0C45, 0x7672);
  }
  std::vector<std::uint8_t> config(kConfigBlockBytes);
  (void)ReadConfig(link, config.data());
  std::vector<std::uint8_t> lighting(56);
  (void)ReadLightingArea(link, lighting.data(), 42, 84);
  std::vector<std::uint8_t> layer(link.DeviceTable.LayerBytes.load());
  (void)ReadKeyLayer(link, layer.data(), 1);
  (void)ReadDefaultKeyMap(link, layer.data());
  std::vector<std::uint8_t> macro(200);
  (void)ReadMacroArea(link, macro.data(), 200);
  return 0;
}
