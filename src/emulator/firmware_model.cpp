#include "emulator/firmware_model.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "emulator/factory_memory.h"

namespace keyloom::emulator {
namespace {

constexpr ModelInfo kModels[] = {
    {0x0C45, 0x7672, 378, 378, 126},
    {0x320F, 0x505B, 512, 512, 128},
};

std::uint32_t NormaliseCapacity(std::uint32_t bytes) {
  bytes = std::clamp<std::uint32_t>(bytes, 128, 255 * 128);
  return bytes / 128 * 128;
}

void SetChecksum(Report& r) {
  std::uint16_t sum = ReportChecksum(r);
  r[1] = static_cast<std::uint8_t>(sum & 0xFF);
  r[2] = static_cast<std::uint8_t>(sum >> 8);
}

}  // namespace

const ModelInfo* FindModel(std::uint16_t vendor, std::uint16_t product) {
  for (const auto& m : kModels) {
    if (m.vendor == vendor && m.product == product) return &m;
  }
  return nullptr;
}

const ModelInfo* ParseModelName(const std::string& text) {
  for (const auto& m : kModels) {
    if (text == ModelName(m)) return &m;
  }
  // Accept upper-case hex as well.
  std::string lower = text;
  for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == text) return nullptr;
  return ParseModelName(lower);
}

std::string ModelName(const ModelInfo& model) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04x:%04x", model.vendor, model.product);
  return buf;
}

std::uint16_t ReportChecksum(std::span<const std::uint8_t, kReportSize> report) {
  std::uint32_t sum = 0;
  for (std::size_t i = 3; i < kReportSize; ++i) sum += report[i];
  return static_cast<std::uint16_t>(sum & 0xFFFF);
}

Report MakeRequest(std::uint8_t command, std::uint8_t length, std::uint16_t address,
                   std::span<const std::uint8_t> payload) {
  Report r{};
  r[0] = kCommandReportId;
  r[3] = command;
  r[4] = length;
  r[5] = static_cast<std::uint8_t>(address & 0xFF);
  r[6] = static_cast<std::uint8_t>(address >> 8);
  r[7] = 0;
  std::copy_n(payload.begin(), std::min(payload.size(), kMaxPayload), r.begin() + 8);
  SetChecksum(r);
  return r;
}

std::array<std::uint8_t, 3> ConsumerReport(std::uint16_t usage) {
  return {0x01, static_cast<std::uint8_t>(usage & 0xFF), static_cast<std::uint8_t>(usage >> 8)};
}

FirmwareModel::FirmwareModel(const FirmwareOptions& options) {
  const ModelInfo* m = FindModel(options.vendor, options.product);
  model_ = m ? *m : kModels[0];
  capacity_ = NormaliseCapacity(options.macroCapacity);
  effects_ = options.effects.empty() ? FactoryEffects() : options.effects;
  if (effects_.size() > 32) effects_.resize(32);
  LoadFactory();
}

void FirmwareModel::LoadFactory() {
  mem_ = FactoryMemories(model_, capacity_, effects_);
}

std::optional<Report> FirmwareModel::HandleRequest(std::span<const std::uint8_t> request) {
  if (request.empty()) return std::nullopt;
  std::lock_guard lock(mutex_);
  return Execute(request.data(), request.size());
}

Report FirmwareModel::Execute(const std::uint8_t* req, std::size_t size) {
  Report reply{};
  reply[0] = kCommandReportId;
  // Echo what can be echoed of the request header.
  for (std::size_t i = 3; i < 7 && i < size; ++i) reply[i] = req[i];
  auto finish = [&](std::uint8_t status) {
    reply[7] = status;
    if (status != kStatusOk) std::fill(reply.begin() + 8, reply.end(), 0);
    SetChecksum(reply);
    return reply;
  };

  if (size != kReportSize || req[0] != kCommandReportId || req[7] != 0) {
    return finish(kStatusNotUnderstood);
  }
  std::span<const std::uint8_t, kReportSize> whole(req, kReportSize);
  const std::uint16_t checksum = static_cast<std::uint16_t>(req[1] | (req[2] << 8));
  if (checksum != ReportChecksum(whole)) return finish(kStatusNotUnderstood);

  const std::uint8_t command = req[3];
  const std::size_t length = req[4];
  const std::size_t address = static_cast<std::size_t>(req[5] | (req[6] << 8));
  const std::uint8_t* payload = req + 8;

  std::vector<std::uint8_t>* area = nullptr;
  bool write = false;
  switch (command) {
    case kCmdBeginWrite:
    case kCmdEndWrite:
      break;
    case kCmdReadConfig: area = &mem_.config; break;
    case kCmdWriteConfig: area = &mem_.config; write = true; break;
    case kCmdReadLighting: area = &mem_.lighting; break;
    case kCmdWriteLighting: area = &mem_.lighting; write = true; break;
    case kCmdReadKeyLayer: area = &mem_.layers; break;
    case kCmdWriteKeyLayer: area = &mem_.layers; write = true; break;
    case kCmdReadMacro: area = &mem_.macroArea; break;
    case kCmdWriteMacro: area = &mem_.macroArea; write = true; break;
    case kCmdReadFactoryMap: area = &mem_.factoryMap; break;
    case kCmdWriteKeyColours: area = &mem_.keyColours; write = true; break;
    default:
      return finish(kStatusNotUnderstood);
  }
  if (length > kMaxPayload) return finish(kStatusNotAllowed);

  if (area == nullptr) {
    if (length != 0 || address != 0) return finish(kStatusNotAllowed);
    if (command == kCmdBeginWrite) ++beginWrites_;
    else ++endWrites_;
    return finish(kStatusOk);
  }

  const std::size_t areaSize = area->size();
  if (write) {
    if (address + length > areaSize) return finish(kStatusNotAllowed);
    if (command == kCmdWriteConfig) {
      // Only the active slot is writable.
      if (address <= kConfigActiveSlot && kConfigActiveSlot < address + length) {
        const std::uint8_t slot = payload[kConfigActiveSlot - address];
        if (slot >= kSlotCount) return finish(kStatusNotAllowed);
        if (mem_.config[kConfigActiveSlot] != slot) {
          mem_.config[kConfigActiveSlot] = slot;
          ++changes_;
        }
      }
      return finish(kStatusOk);
    }
    if (length > 0 && !std::equal(payload, payload + length, area->begin() + address)) {
      std::copy_n(payload, length, area->begin() + address);
      ++changes_;
    }
    return finish(kStatusOk);
  }

  // Read: the start must lie inside the area; bytes past its end read as 0.
  if (address > areaSize || (address == areaSize && length > 0)) return finish(kStatusNotAllowed);
  const std::size_t available = std::min(length, areaSize - address);
  std::copy_n(area->begin() + address, available, reply.begin() + 8);
  return finish(kStatusOk);
}

RequestOutcome FirmwareModel::Transact(std::span<const std::uint8_t> request) {
  RequestOutcome out;
  if (request.empty()) return out;
  std::lock_guard lock(mutex_);
  if (!plugged_) return out;
  Report reply;
  if (refuseCount_ > 0) {
    --refuseCount_;
    reply = Report{};
    reply[0] = kCommandReportId;
    for (std::size_t i = 3; i < 7 && i < request.size(); ++i) reply[i] = request[i];
    reply[7] = kStatusNotAllowed;
    SetChecksum(reply);
  } else {
    reply = Execute(request.data(), request.size());
  }
  out.hasReply = true;
  if (garbageCount_ > 0) {
    --garbageCount_;
    for (auto& b : reply) {
      garbageSeed_ ^= garbageSeed_ << 13;
      garbageSeed_ ^= garbageSeed_ >> 17;
      garbageSeed_ ^= garbageSeed_ << 5;
      b = static_cast<std::uint8_t>(garbageSeed_ >> 24);
    }
  }
  if (dropCount_ > 0) {
    --dropCount_;
    out.hasReply = false;
  }
  if (delayCount_ > 0) {
    --delayCount_;
    out.delayMs = delayMs_;
  }
  out.reply = reply;
  if (disconnectArmed_) {
    if (disconnectCountdown_ > 0) --disconnectCountdown_;
    if (disconnectCountdown_ == 0) {
      disconnectArmed_ = false;
      out.unplugAfter = true;
      plugged_ = false;
    }
  }
  return out;
}

Memories FirmwareModel::Snapshot() const {
  std::lock_guard lock(mutex_);
  return mem_;
}

bool FirmwareModel::Restore(const Memories& m) {
  std::lock_guard lock(mutex_);
  if (m.config.size() != kConfigBytes || m.lighting.size() != kLightingBytes ||
      m.keyColours.size() != kKeyColourBytes || m.layers.size() != 3 * model_.layerStride ||
      m.macroArea.size() != capacity_ || m.factoryMap.size() != kFactoryMapBytes ||
      m.config[kConfigActiveSlot] >= kSlotCount) {
    return false;
  }
  const std::vector<std::uint8_t> keep(mem_.config.begin(), mem_.config.end());
  mem_ = m;
  // The read-only part of the configuration block is the keyboard's own.
  for (std::size_t i = 0; i < kConfigBytes; ++i) {
    if (i != kConfigActiveSlot) mem_.config[i] = keep[i];
  }
  ++changes_;
  return true;
}

void FirmwareModel::FactoryReset() {
  {
    std::lock_guard lock(mutex_);
    LoadFactory();
    ++changes_;
  }
  Notify(kEventReset);
}

std::uint64_t FirmwareModel::ChangeCount() const {
  std::lock_guard lock(mutex_);
  return changes_;
}

int FirmwareModel::ActiveSlot() const {
  std::lock_guard lock(mutex_);
  return mem_.config[kConfigActiveSlot];
}

bool FirmwareModel::SwitchSlotOnKeyboard(int slot) {
  if (slot < 0 || slot >= static_cast<int>(kSlotCount)) return false;
  {
    std::lock_guard lock(mutex_);
    if (mem_.config[kConfigActiveSlot] != slot) {
      mem_.config[kConfigActiveSlot] = static_cast<std::uint8_t>(slot);
      ++changes_;
    }
  }
  Notify(kEventReset);
  return true;
}

void FirmwareModel::SetInputListener(InputListener listener) {
  std::lock_guard lock(listenerMutex_);
  listener_ = std::move(listener);
}

void FirmwareModel::RaiseEvent(std::uint16_t usage) { Notify(usage); }

void FirmwareModel::Notify(std::uint16_t usage) {
  std::lock_guard lock(listenerMutex_);
  if (!listener_) return;
  {
    std::lock_guard state(mutex_);
    if (!plugged_) return;
  }
  const auto press = ConsumerReport(usage);
  const auto release = ConsumerReport(0);
  listener_(press);
  listener_(release);
}

bool FirmwareModel::Plugged() const {
  std::lock_guard lock(mutex_);
  return plugged_;
}

void FirmwareModel::SetPlugged(bool plugged) {
  std::lock_guard lock(mutex_);
  plugged_ = plugged;
}

void FirmwareModel::ArmFault(FaultKind kind, std::uint32_t count, std::uint32_t delayMs) {
  std::lock_guard lock(mutex_);
  switch (kind) {
    case FaultKind::kDropReplies: dropCount_ = count; break;
    case FaultKind::kDelayReplies: delayCount_ = count; delayMs_ = delayMs; break;
    case FaultKind::kRefuse: refuseCount_ = count; break;
    case FaultKind::kGarbage: garbageCount_ = count; break;
    case FaultKind::kDisconnectAfter:
      disconnectArmed_ = true;
      disconnectCountdown_ = count;
      break;
  }
}

void FirmwareModel::ClearFaults() {
  std::lock_guard lock(mutex_);
  dropCount_ = delayCount_ = delayMs_ = refuseCount_ = garbageCount_ = 0;
  disconnectArmed_ = false;
  disconnectCountdown_ = 0;
}

std::uint32_t FirmwareModel::BeginWriteCount() const {
  std::lock_guard lock(mutex_);
  return beginWrites_;
}

std::uint32_t FirmwareModel::EndWriteCount() const {
  std::lock_guard lock(mutex_);
  return endWrites_;
}

}  // namespace keyloom::emulator
