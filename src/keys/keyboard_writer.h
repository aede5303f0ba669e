#pragma once
// Sends the editing store's key assignments and macros to the keyboard: a
// snapshot into the device store, the macro image (with names when they fit,
// else compact), one key map per selected profile, between the begin and end
// configuration commands.
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "device/device_table.h"
#include "device/report_transaction.h"
#include "keys/key_macro_store.h"
#include "platform/host.h"

namespace keyloom::keys {

// Copies the editing store into the device store under both locks (editing
// first): block, macros, and the strings of kind 3 and 6 records packed into
// one blob at even offsets, each offset written into the editing store's
// record value; the blob goes to `blob`. Returns false when the blob cannot
// be allocated.
bool SnapshotIntoDeviceStore(KeyMacroStore& editing, KeyMacroStore& device, std::vector<std::uint8_t>& blob);

// What one write did, step by step: each step's command result. A step that
// was not sent keeps kNotSent with its `sent` flag clear.
struct WriteOutcome {
  bool sent = false;  // false: refused before anything was sent
  device::CommandResult begin = device::CommandResult::kNotSent;
  device::CommandResult macroArea = device::CommandResult::kNotSent;
  std::array<bool, 3> keyMapSent{};  // per profile: selected and sent
  std::array<device::CommandResult, 3> keyMaps{};  // kNotSent
  device::CommandResult end = device::CommandResult::kNotSent;
  // Every step of the sequence reached the keyboard.
  bool Complete() const;
};

// Snapshot, build and send on `link`. All three profiles when allProfiles or
// the store-wide rewrite flag is set, else the current one. Every step is
// sent even after one failed. Returns 1 when every step succeeded, 0
// otherwise (also when nothing was sent); `outcome`, when given, says which
// did not. Macros too long for the keyboard, or stored without their names,
// are said through `prompter`.
int WriteKeysAndMacros(device::DeviceLink& link, KeyStores& stores, host::Prompter& prompter, bool allProfiles,
                       WriteOutcome* outcome = nullptr);

}  // namespace keyloom::keys
