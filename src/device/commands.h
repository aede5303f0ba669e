#pragma once
// The keyboard's command set. Every operation fills in one request (or one
// per 56-byte chunk), runs SendReport (which takes only a reply that answers
// the request) and checks the answer's status byte. Each runs on the link's
// command device. Results: 1 success; 0 not connected or no answer; -1 write
// failed; -2 the replies did not answer the request; -102 / -103 refused
// (status 0xFF / 0xFE); -201 bad layer. Data is copied out only from replies
// that answered with success.
#include <cstddef>
#include <cstdint>

#include "device/report_transaction.h"  // result codes

namespace keyloom::device {

inline constexpr std::uint8_t kCmdBeginWrite = 0x01;
inline constexpr std::uint8_t kCmdEndWrite = 0x02;
inline constexpr std::uint8_t kCmdReadConfig = 0x03;
inline constexpr std::uint8_t kCmdWriteConfig = 0x04;
inline constexpr std::uint8_t kCmdReadLightingArea = 0x05;
inline constexpr std::uint8_t kCmdWriteLightingArea = 0x06;
inline constexpr std::uint8_t kCmdReadKeyLayer = 0x07;
inline constexpr std::uint8_t kCmdWriteKeyLayer = 0x08;
inline constexpr std::uint8_t kCmdReadMacroArea = 0x09;
inline constexpr std::uint8_t kCmdWriteMacroArea = 0x0A;
inline constexpr std::uint8_t kCmdReadDefaultKeyMap = 0x0F;
inline constexpr std::uint8_t kCmdWriteKeyColours = 0x11;

inline constexpr std::size_t kConfigBlockBytes = 44;
inline constexpr std::uint32_t kKeyColourSlotBytes = 512;
inline constexpr int kKeyLayerCount = 3;
inline constexpr std::uint32_t kEndWritePauseMs = 10;

CommandResult BeginWrite(DeviceLink& link);
// Waits 10 ms, then sends 0x02.
CommandResult EndWrite(DeviceLink& link);
CommandResult ReadConfig(DeviceLink& link, std::uint8_t* destination);    // 44 bytes
CommandResult WriteConfig(DeviceLink& link, const std::uint8_t* source);  // 44 bytes
// Copies all 56 returned bytes, whatever the length asked for.
CommandResult ReadLightingArea(DeviceLink& link, std::uint8_t* destination, std::uint8_t length, std::uint32_t address);
CommandResult WriteLightingArea(DeviceLink& link, const std::uint8_t* source, std::uint8_t length, std::uint32_t address);  // length <= 56
// The link's LayerBytes bytes at layer x LayerStride; layer 0..2.
CommandResult ReadKeyLayer(DeviceLink& link, std::uint8_t* destination, int layer);
CommandResult WriteKeyLayer(DeviceLink& link, const std::uint8_t* source, int layer);
CommandResult ReadMacroArea(DeviceLink& link, std::uint8_t* destination, std::uint32_t total_length);
CommandResult WriteMacroArea(DeviceLink& link, const std::uint8_t* source, std::uint32_t total_length);
// LayerBytes bytes of the keyboard's factory key map.
CommandResult ReadDefaultKeyMap(DeviceLink& link, std::uint8_t* destination);
// Address key_position x 3 + lighting_slot x 512; the caller passes the
// lighting panel's LightingSlot.
CommandResult WriteKeyColours(DeviceLink& link, const std::uint8_t* source, std::uint8_t length, std::uint32_t key_position,
                    int lighting_slot);

// Builds a single-shot request (checksum included) into `request` (64 bytes).
void BuildRequest(std::uint8_t* request, std::uint8_t command, std::uint8_t length, std::uint32_t address,
                  const std::uint8_t* payload);

// The pause before 0x02, process-wide; tests shorten it (the default
// sleeps) with ScopedCommandPause.
using PauseFunction = void (*)(std::uint32_t milliseconds);
void SetCommandPause(PauseFunction pause);

// Installs a pause for the lifetime of the object, then restores the one
// installed before.
class ScopedCommandPause {
 public:
  explicit ScopedCommandPause(PauseFunction pause);
  ~ScopedCommandPause();
  ScopedCommandPause(const ScopedCommandPause&) = delete;
  ScopedCommandPause& operator=(const ScopedCommandPause&) = delete;

 private:
  PauseFunction previous_;
};

}  // namespace keyloom::device
