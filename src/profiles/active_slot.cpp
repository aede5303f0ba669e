#include "profiles/active_slot.h"

#include <array>
#include <atomic>

#include "device/commands.h"
#include "keys/keyboard_writer.h"

namespace keyloom::profiles {

namespace {

std::atomic<int> g_cache{kUnknownSlot};

void Remember(int slot) {
  g_cache.store(slot);
  if (slot >= 0) keys::WriteState().currentProfile.store(slot);
}

}  // namespace

int GetActiveSlot() {
  const int cached = g_cache.load();
  if (cached != kUnknownSlot) return cached;
  std::array<std::uint8_t, device::kConfigBlockBytes> config{};
  if (device::ReadConfig(config.data()) != 1) return kUnknownSlot;
  const int slot = config[kActiveSlotByte];
  if (slot >= kProfileSlotCount) return kUnknownSlot;
  Remember(slot);
  return slot;
}

int CachedActiveSlot() { return g_cache.load(); }

void SelectSlotOnKeyboard(int slot) {
  if (slot < 0 || slot >= kProfileSlotCount) return;
  std::array<std::uint8_t, device::kConfigBlockBytes> config{};
  if (device::ReadConfig(config.data()) != 1) return;
  config[kActiveSlotByte] = static_cast<std::uint8_t>(slot);
  if (device::WriteConfig(config.data()) == 1) {
    Remember(slot);
  } else {
    g_cache.store(kUnknownSlot);
  }
}

void ForgetActiveSlot() { g_cache.store(kUnknownSlot); }

int PanelTable() {
  const int slot = g_cache.load();
  return slot >= 0 && slot < kProfileSlotCount ? slot : 0;
}

}  // namespace keyloom::profiles
