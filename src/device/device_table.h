#pragma once
// The supported keyboards, the two interfaces the program uses, and the
// device side of a keyboard session (DeviceLink): the event and command
// devices, whether the keyboard is connected, the model-dependent sizes and
// default key map, and the command transactions' state.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

#include "device/hid_device.h"
#include "device/keyboard_lock.h"

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

// Sizes are written only by the connection monitor and read anywhere.
struct DeviceTableValues {
  std::atomic<std::uint32_t> LayerBytes{378};
  std::atomic<std::uint32_t> LayerStride{378};
  std::atomic<std::uint32_t> KeyCount{126};
};

// The command transactions of one command device: the transaction lock,
// held across each write and the read of its answer, the answers still
// owed by the keyboard, and the keyboard's lock file shared with other
// programs (device/keyboard_lock.h); all but the atomics guarded by the lock.
struct TransactionState {
  std::recursive_mutex lock;
  std::uint64_t generation = 0;
  std::uint32_t owed = 0;
  // Answers another program left owed when it let go of the keyboard.
  std::uint32_t inherited = 0;
  KeyboardFileLock file;
  int holds = 0;      // KeyboardHolds alive on the link
  std::atomic<bool> busy{false};  // the last wait for the keyboard gave up
  // Requests sent that change the keyboard's memory, answered or not.
  std::atomic<std::uint64_t> changes_sent{0};
};

// How the monitor threads of one link are told to end.
struct MonitorStop {
  MonitorStop();
  ~MonitorStop();
  MonitorStop(const MonitorStop&) = delete;
  MonitorStop& operator=(const MonitorStop&) = delete;

  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<bool> requested{false};
  // Readable while a stop is requested (an eventfd; -1 if none could be
  // made), for the waits that poll descriptors.
  int wake_fd = -1;
};

// One keyboard as the program reaches it: both devices on one backend, the
// connection state and the connected model's values. Lives for a keyboard
// session; the monitors, the commands and everything above them take it.
class DeviceLink {
 public:
  // Without a backend the devices use the process-wide one.
  explicit DeviceLink(std::shared_ptr<HidBackend> backend = nullptr);
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // Both devices use `backend` from their next listing or open.
  void UseBackend(std::shared_ptr<HidBackend> backend);

  // The two long-lived devices.
  HidDevice& CommandDevice() { return command_device_; }
  HidDevice& EventDevice() { return event_device_; }

  // Sets LayerBytes, LayerStride and KeyCount for a connected pair: the
  // 0x0C45/0x7672 row for that pair, the 0x320F/0x505B row for any other.
  void SetModelSizes(std::uint16_t vendor_id, std::uint16_t product_id);

  // The default key map is replaced by the connection handler and read by
  // the writers, so it is read and written through these two.
  KeyMap DefaultKeyMap() const;
  void SetDefaultKeyMap(std::span<const std::uint8_t> map);  // up to 512 bytes, the rest zero

  DeviceTableValues DeviceTable;
  // 1 while the command interface is open and answering its probe.
  std::atomic<int> DeviceConnected{0};
  TransactionState transactions;
  MonitorStop monitor_stop;

 private:
  HidDevice command_device_;
  HidDevice event_device_;
  mutable std::mutex key_map_mutex_;
  KeyMap default_key_map_;
};

// Whether a listing entry may be the wanted interface: a supported pair,
// and the wanted usage page and usage when the listing knows them (0/0 =
// unknown; the open interface's own test then decides).
bool IsCandidate(const HidInterfaceInfo& info, std::uint16_t usage_page, std::uint16_t usage);
// Whether an open device is the wanted interface of a supported keyboard.
bool IsWantedInterface(const HidDevice& device, std::uint16_t usage_page, std::uint16_t usage);

}  // namespace keyloom::device
