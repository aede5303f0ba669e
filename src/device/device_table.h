#pragma once
// The supported keyboards, the two interfaces the program uses, and the
// process-wide device state: the event and command devices, whether the
// keyboard is connected, and the model-dependent sizes and default key map.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>

#include "device/hid_device.h"

namespace keyloom::device {

struct SupportedModel {
  std::uint16_t vendor_id;
  std::uint16_t product_id;
  std::uint32_t layer_bytes;
  std::uint32_t layer_stride;
  std::uint32_t key_count;
};

inline constexpr SupportedModel SupportedModels[] = {
    {0x0C45, 0x7672, 378, 378, 126},
    {0x320F, 0x505B, 512, 512, 128},
};

// The row of the pair, or nullptr for a pair that is not supported.
const SupportedModel* FindSupportedModel(std::uint16_t vendor_id, std::uint16_t product_id);

// The interfaces by their usage.
inline constexpr std::uint16_t kEventUsagePage = 0x000C;
inline constexpr std::uint16_t kEventUsage = 0x0001;
inline constexpr std::uint16_t kCommandUsagePage = 0xFF1C;
inline constexpr std::uint16_t kCommandUsage = 0x0092;

inline constexpr std::size_t kDefaultKeyMapBytes = 512;
using KeyMap = std::array<std::uint8_t, kDefaultKeyMapBytes>;

// The factory map of the 0x0C45/0x7672 model: 126 three-byte entries, then zeros.
const KeyMap& BuiltInDefaultKeyMap();

// Sizes are written only by the connection monitor and read anywhere;
// the default key map is replaced by the connection handler, so it is read
// and written through the functions below.
struct DeviceTableValues {
  std::atomic<std::uint32_t> LayerBytes{378};
  std::atomic<std::uint32_t> LayerStride{378};
  std::atomic<std::uint32_t> KeyCount{126};
};
extern DeviceTableValues DeviceTable;

KeyMap DefaultKeyMap();
void SetDefaultKeyMap(std::span<const std::uint8_t> map);  // up to 512 bytes, the rest zero

// 1 while the command interface is open and answering its probe.
extern std::atomic<int> DeviceConnected;

// Sets LayerBytes, LayerStride and KeyCount for a connected pair: the
// 0x0C45/0x7672 row for that pair, the 0x320F/0x505B row for any other.
void SetModelSizes(std::uint16_t vendor_id, std::uint16_t product_id);

// The two long-lived devices.
HidDevice& CommandDevice();
HidDevice& EventDevice();

// Whether a listing entry may be the wanted interface: a supported pair,
// and the wanted usage page and usage when the listing knows them (0/0 =
// unknown; the open interface's own test then decides).
bool IsCandidate(const HidInterfaceInfo& info, std::uint16_t usage_page, std::uint16_t usage);
// Whether an open device is the wanted interface of a supported keyboard.
bool IsWantedInterface(const HidDevice& device, std::uint16_t usage_page, std::uint16_t usage);

}  // namespace keyloom::device
