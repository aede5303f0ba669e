#pragma once
// What the host receives when a key of the keyboard is pressed: the action
// triple of the active slot's layer, played as the firmware plays it.
//   02 01 bits   modifier keys (page 7, usage 0xE0 + bit number)
//   02 02 u      one device code: 0x04..0xA4, 0xE0..0xE7 keyboard usages
//                (page 7); 0x81..0x83 system controls (page 1); 0xC0..0xD5
//                consumer usages from the consumer table (page 12); 0 and
//                codes without a usage send nothing. 02 with another sub is
//                read as modifier bits.
//   03 lo hi     consumer usage (page 12);  04 lo hi  system usage (page 1)
//   05 01 n      plays macro n of the macro image
//   05 02 x      stops the playing macro (its held keys are released)
//   05 05 n      firmware function n
//   other 05, 01 and 06 triples: a firmware function too, reported with the
//                raw triple; 00 00 00 and unknown types: nothing.
// A plain key goes down at its press and up `hold` ms later. A macro plays
// from its press to its end whatever the key does: actionCount action words
// per cycle, `cycles` times (0 is played once), each action followed by its
// pause (low 12 bits x 10 ms). Type 2 words carry 01 bits or 02 device code as
// above, type 3 a consumer usage, type 4 a system usage, type 0 nothing. A
// macro that is stopped, or replaced by another macro key, ends at that
// moment; keys a macro leaves down are released when it ends. A macro whose
// image is missing (no 0x55AA magic), whose index is past the image's count,
// or whose block does not lie inside the image and the area plays nothing.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/firmware_model.h"

namespace keyloom::emulator {

struct HostEvent {
  enum class Kind { kUsage, kFunction } kind = Kind::kUsage;
  std::uint32_t t = 0;         // ms after the first press
  std::uint16_t page = 0;      // kUsage: 7, 12 or 1
  std::uint16_t usage = 0;
  bool down = false;
  std::uint8_t function = 0;   // kFunction
  bool rawFunction = false;    // kFunction not of the 05 05 n form
  std::array<std::uint8_t, 3> triple{};
  bool operator==(const HostEvent&) const = default;
};

struct KeyStroke {
  std::uint32_t position = 0;
  std::uint32_t at = 0;    // ms
  std::uint32_t hold = 10; // ms the key stays down
};

// Plays the strokes (any order; taken in time order) on the active slot.
// Positions at or above the key count are ignored.
std::vector<HostEvent> PlayKeys(const Memories& memories, const ModelInfo& model,
                                std::span<const KeyStroke> strokes);

// The host side of one device code (02 02 u): nullopt when it sends nothing.
std::optional<std::pair<std::uint16_t, std::uint16_t>> DeviceCodeToHost(std::uint8_t code);

// The position whose factory triple is the keyboard usage `code` (02 02 code,
// or 02 01 bit for 0xE0..0xE7); -1 when none.
int FindFactoryPosition(const Memories& memories, const ModelInfo& model, std::uint16_t code);

// {"t": 0, "page": 7, "usage": 4, "down": true} or {"t": 0, "function": 3}
// (raw functions add "triple": "050000").
std::string HostEventJson(const HostEvent& event);
// A short human-readable line.
std::string HostEventText(const HostEvent& event);

}  // namespace keyloom::emulator
