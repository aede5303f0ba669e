#include "device/commands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "device/device_table.h"
#include "device/report_transaction.h"

namespace keyloom::device {
namespace {

void SleepPause(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::atomic<PauseFunction> g_pause{&SleepPause};

void StoreAddress(std::uint8_t* request, std::uint32_t address) {
  request[5] = static_cast<std::uint8_t>(address & 0xFF);
  request[6] = static_cast<std::uint8_t>((address >> 8) & 0xFF);
}

int StatusResult(const std::uint8_t* reply) {
  if (reply[kStatusOffset] == 0xFF) return kResultRefusedFF;
  if (reply[kStatusOffset] == 0xFE) return kResultRefusedFE;
  return kResultOk;
}

// One request, one answer. `copy_out` bytes of returned data go to `destination`.
int SingleShot(std::uint8_t command, std::uint8_t length, std::uint32_t address, const std::uint8_t* payload,
               std::uint8_t* destination, std::size_t copy_out) {
  std::uint8_t request[kReportBytes];
  BuildRequest(request, command, length, address, payload);
  if (command == kCmdEndWrite) g_pause.load()(kEndWritePauseMs);
  std::uint8_t reply[kReportBytes] = {};
  const int sent = SendReport(request, sizeof request, reply, sizeof reply, nullptr);
  if (sent != kResultOk) return sent;
  const int status = StatusResult(reply);
  if (status != kResultOk) return status;
  if (destination && copy_out) std::memcpy(destination, reply + kPayloadOffset, copy_out);
  return kResultOk;
}

// Moves `total` bytes from base address `base` in chunks of 56, reusing one
// request: bytes after a short last payload keep the previous chunk's.
int Chunked(std::uint8_t command, std::uint32_t base, std::uint32_t total, const std::uint8_t* source,
            std::uint8_t* destination) {
  std::uint8_t request[kReportBytes] = {};
  request[0] = kCommandReportId;
  request[3] = command;
  request[7] = 0;
  std::uint8_t reply[kReportBytes];
  for (std::uint32_t offset = 0; offset < total; offset += kPayloadBytes) {
    const std::uint32_t length = std::min<std::uint32_t>(kPayloadBytes, total - offset);
    request[4] = static_cast<std::uint8_t>(length);
    StoreAddress(request, base + offset);
    if (source) std::memcpy(request + kPayloadOffset, source + offset, length);
    StoreChecksum(request);
    std::memset(reply, 0, sizeof reply);
    const int sent = SendReport(request, sizeof request, reply, sizeof reply, nullptr);
    if (sent != kResultOk) return sent;
    const int status = StatusResult(reply);
    if (status != kResultOk) return status;
    if (destination) std::memcpy(destination + offset, reply + kPayloadOffset, length);
  }
  return kResultOk;
}

}  // namespace

void SetCommandPause(PauseFunction pause) { g_pause.store(pause ? pause : &SleepPause); }

void BuildRequest(std::uint8_t* request, std::uint8_t command, std::uint8_t length, std::uint32_t address,
                  const std::uint8_t* payload) {
  std::memset(request, 0, kReportBytes);
  request[0] = kCommandReportId;
  request[3] = command;
  request[4] = length;
  StoreAddress(request, address);
  request[7] = 0;
  if (payload) std::memcpy(request + kPayloadOffset, payload, std::min<std::size_t>(length, kPayloadBytes));
  StoreChecksum(request);
}

int BeginWrite() { return SingleShot(kCmdBeginWrite, 0, 0, nullptr, nullptr, 0); }

int EndWrite() { return SingleShot(kCmdEndWrite, 0, 0, nullptr, nullptr, 0); }

int ReadConfig(std::uint8_t* destination) {
  return SingleShot(kCmdReadConfig, kConfigBlockBytes, 0, nullptr, destination, kConfigBlockBytes);
}

int WriteConfig(const std::uint8_t* source) {
  return SingleShot(kCmdWriteConfig, kConfigBlockBytes, 0, source, nullptr, 0);
}

int ReadLightingArea(std::uint8_t* destination, std::uint8_t length, std::uint32_t address) {
  return SingleShot(kCmdReadLightingArea, length, address, nullptr, destination, kPayloadBytes);
}

int WriteLightingArea(const std::uint8_t* source, std::uint8_t length, std::uint32_t address) {
  return SingleShot(kCmdWriteLightingArea, length, address, source, nullptr, 0);
}

int ReadKeyLayer(std::uint8_t* destination, int layer) {
  if (layer < 0 || layer >= kKeyLayerCount) return kResultBadLayer;
  return Chunked(kCmdReadKeyLayer, static_cast<std::uint32_t>(layer) * DeviceTable.LayerStride.load(),
                 DeviceTable.LayerBytes.load(), nullptr, destination);
}

int WriteKeyLayer(const std::uint8_t* source, int layer) {
  if (layer < 0 || layer >= kKeyLayerCount) return kResultBadLayer;
  return Chunked(kCmdWriteKeyLayer, static_cast<std::uint32_t>(layer) * DeviceTable.LayerStride.load(),
                 DeviceTable.LayerBytes.load(), source, nullptr);
}

int ReadMacroArea(std::uint8_t* destination, std::uint32_t total_length) {
  return Chunked(kCmdReadMacroArea, 0, total_length, nullptr, destination);
}

int WriteMacroArea(const std::uint8_t* source, std::uint32_t total_length) {
  return Chunked(kCmdWriteMacroArea, 0, total_length, source, nullptr);
}

int ReadDefaultKeyMap(std::uint8_t* destination) {
  return Chunked(kCmdReadDefaultKeyMap, 0, DeviceTable.LayerBytes.load(), nullptr, destination);
}

int WriteKeyColours(const std::uint8_t* source, std::uint8_t length, std::uint32_t key_position,
                    int lighting_slot) {
  const std::uint32_t address =
      key_position * 3 + static_cast<std::uint32_t>(lighting_slot) * kKeyColourSlotBytes;
  return SingleShot(kCmdWriteKeyColours, length, address, source, nullptr, 0);
}

}  // namespace keyloom::device
