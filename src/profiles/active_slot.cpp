#include "profiles/active_slot.h"

#include <array>

#include "device/commands.h"
#include "keys/keyboard_writer.h"

namespace keyloom::profiles {

namespace {

void Remember(KeyboardSession& session, int slot) {
  session.profiles.ActiveSlot.store(slot);
  if (slot >= 0) session.stores.WriteState.currentProfile.store(slot);
}

}  // namespace

int GetActiveSlot(KeyboardSession& session) {
  const int cached = session.profiles.ActiveSlot.load();
  if (cached != kUnknownSlot) return cached;
  std::array<std::uint8_t, device::kConfigBlockBytes> config{};
  if (device::ReadConfig(session.link, config.data()) != device::CommandResult::kOk) return kUnknownSlot;
  const int slot = config[kActiveSlotByte];
  if (slot >= kProfileSlotCount) return kUnknownSlot;
  Remember(session, slot);
  return slot;
}

int CachedActiveSlot(const KeyboardSession& session) { return session.profiles.ActiveSlot.load(); }

void SelectSlotOnKeyboard(KeyboardSession& session, int slot) {
  if (slot < 0 || slot >= kProfileSlotCount) return;
  std::array<std::uint8_t, device::kConfigBlockBytes> config{};
  if (device::ReadConfig(session.link, config.data()) != device::CommandResult::kOk) return;
  config[kActiveSlotByte] = static_cast<std::uint8_t>(slot);
  if (device::WriteConfig(session.link, config.data()) == device::CommandResult::kOk) {
    Remember(session, slot);
  } else {
    session.profiles.ActiveSlot.store(kUnknownSlot);
  }
}

void ForgetActiveSlot(KeyboardSession& session) { session.profiles.ActiveSlot.store(kUnknownSlot); }

int PanelTable(const KeyboardSession& session) {
  const int slot = session.profiles.ActiveSlot.load();
  return slot >= 0 && slot < kProfileSlotCount ? slot : 0;
}

}  // namespace keyloom::profiles
