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

CommandResult StatusResult(const std::uint8_t* reply) {
  if (reply[kStatusOffset] == 0xFF) return CommandResult::kRefusedFF;
  if (reply[kStatusOffset] == 0xFE) return CommandResult::kRefusedFE;
  return CommandResult::kOk;
}

// One request, one answer. `copy_out` bytes of returned data go to `destination`.
CommandResult SingleShot(DeviceLink& link, std::uint8_t command, std::uint8_t length, std::uint32_t address, const std::uint8_t* payload,
               std::uint8_t* destination, std::size_t copy_out) {
  std::uint8_t request[kReportBytes];
  BuildRequest(request, command, length, address, payload);
  if (command == kCmdEndWrite) g_pause.load()(kEndWritePauseMs);
  std::uint8_t reply[kReportBytes] = {};
  const CommandResult sent = SendReport(link, request, sizeof request, reply, sizeof reply, nullptr);
  if (sent != CommandResult::kOk) return sent;
  const CommandResult status = StatusResult(reply);
  if (status != CommandResult::kOk) return status;
  if (destination && copy_out) std::memcpy(destination, reply + kPayloadOffset, copy_out);
  return CommandResult::kOk;
}

// Moves `total` bytes from base address `base` in chunks of 56, reusing one
// request: bytes after a short last payload keep the previous chunk's.
CommandResult Chunked(DeviceLink& link, std::uint8_t command, std::uint32_t base, std::uint32_t total, const std::uint8_t* source,
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
    const CommandResult sent = SendReport(link, request, sizeof request, reply, sizeof reply, nullptr);
    if (sent != CommandResult::kOk) return sent;
    const CommandResult status = StatusResult(reply);
    if (status != CommandResult::kOk) return status;
    if (destination) std::memcpy(destination + offset, reply + kPayloadOffset, length);
  }
  return CommandResult::kOk;
}

}  // namespace

void SetCommandPause(PauseFunction pause) { g_pause.store(pause ? pause : &SleepPause); }

ScopedCommandPause::ScopedCommandPause(PauseFunction pause) : previous_(g_pause.exchange(pause ? pause : &SleepPause)) {}

ScopedCommandPause::~ScopedCommandPause() { g_pause.store(previous_); }

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

CommandResult BeginWrite(DeviceLink& link) { return SingleShot(link, kCmdBeginWrite, 0, 0, nullptr, nullptr, 0); }

CommandResult EndWrite(DeviceLink& link) { return SingleShot(link, kCmdEndWrite, 0, 0, nullptr, nullptr, 0); }

CommandResult ReadConfig(DeviceLink& link, std::uint8_t* destination) {
  return SingleShot(link, kCmdReadConfig, kConfigBlockBytes, 0, nullptr, destination, kConfigBlockBytes);
}

CommandResult WriteConfig(DeviceLink& link, const std::uint8_t* source) {
  return SingleShot(link, kCmdWriteConfig, kConfigBlockBytes, 0, source, nullptr, 0);
}

CommandResult ReadLightingArea(DeviceLink& link, std::uint8_t* destination, std::uint8_t length, std::uint32_t address) {
  return SingleShot(link, kCmdReadLightingArea, length, address, nullptr, destination, kPayloadBytes);
}

CommandResult WriteLightingArea(DeviceLink& link, const std::uint8_t* source, std::uint8_t length, std::uint32_t address) {
  return SingleShot(link, kCmdWriteLightingArea, length, address, source, nullptr, 0);
}

CommandResult ReadKeyLayer(DeviceLink& link, std::uint8_t* destination, int layer) {
  if (layer < 0 || layer >= kKeyLayerCount) return CommandResult::kBadLayer;
  return Chunked(link, kCmdReadKeyLayer, static_cast<std::uint32_t>(layer) * link.DeviceTable.LayerStride.load(),
                 link.DeviceTable.LayerBytes.load(), nullptr, destination);
}

CommandResult WriteKeyLayer(DeviceLink& link, const std::uint8_t* source, int layer) {
  if (layer < 0 || layer >= kKeyLayerCount) return CommandResult::kBadLayer;
  return Chunked(link, kCmdWriteKeyLayer, static_cast<std::uint32_t>(layer) * link.DeviceTable.LayerStride.load(),
                 link.DeviceTable.LayerBytes.load(), source, nullptr);
}

CommandResult ReadMacroArea(DeviceLink& link, std::uint8_t* destination, std::uint32_t total_length) {
  return Chunked(link, kCmdReadMacroArea, 0, total_length, nullptr, destination);
}

CommandResult WriteMacroArea(DeviceLink& link, const std::uint8_t* source, std::uint32_t total_length) {
  return Chunked(link, kCmdWriteMacroArea, 0, total_length, source, nullptr);
}

CommandResult ReadDefaultKeyMap(DeviceLink& link, std::uint8_t* destination) {
  return Chunked(link, kCmdReadDefaultKeyMap, 0, link.DeviceTable.LayerBytes.load(), nullptr, destination);
}

CommandResult WriteKeyColours(DeviceLink& link, const std::uint8_t* source, std::uint8_t length, std::uint32_t key_position,
                    int lighting_slot) {
  const std::uint32_t address =
      key_position * 3 + static_cast<std::uint32_t>(lighting_slot) * kKeyColourSlotBytes;
  return SingleShot(link, kCmdWriteKeyColours, length, address, source, nullptr, 0);
}

}  // namespace keyloom::device
