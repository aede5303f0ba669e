#pragma once
// Sends the editing store's key assignments and macros to the keyboard: a
// snapshot into the device store, the macro image (with names when they fit,
// else compact), one key map per selected profile, between the begin and end
// configuration commands.
#include <atomic>
#include <cstdint>
#include <vector>

#include "device/device_table.h"
#include "keys/key_macro_store.h"
#include "platform/host.h"

namespace keyloom::keys {

// Copies the editing store into the device store under both locks (editing
// first): block, macros, and the strings of kind 3 and 6 records packed into
// one blob at even offsets, each offset written into the editing store's
// record value; the blob goes to `blob`. Returns false when the blob cannot
// be allocated.
bool SnapshotIntoDeviceStore(KeyMacroStore& editing, KeyMacroStore& device, std::vector<std::uint8_t>& blob);

// Snapshot, build and send on `link`. All three profiles when allProfiles or
// the store-wide rewrite flag is set, else the current one. Returns 1 when
// the last key map write succeeded, 0 otherwise (also when nothing was
// sent). Macros too long for the keyboard, or stored without their names,
// are said through `prompter`.
int WriteKeysAndMacros(device::DeviceLink& link, KeyStores& stores, host::Prompter& prompter, bool allProfiles);

}  // namespace keyloom::keys
