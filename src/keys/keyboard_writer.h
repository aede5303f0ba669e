#pragma once
// Sends the editing store's key assignments and macros to the keyboard: a
// snapshot into the device store, the macro image (with names when they fit,
// else compact), one key map per selected profile, between the begin and end
// configuration commands.
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "keys/key_macro_store.h"

namespace keyloom::keys {

// What the write needs to know of the connected keyboard and the profiles.
// Set by the connection handler (capacity: configuration byte 11 x 128) and
// by profile switching.
struct KeyboardWriteState {
  std::atomic<std::uint32_t> macroCapacity{0};  // bytes; 0 until read at connection
  std::atomic<int> currentProfile{0};           // 0..2
};
KeyboardWriteState& WriteState();

// Copies the editing store into the device store under both locks (editing
// first): block, macros, and the strings of kind 3 and 6 records packed into
// one blob at even offsets, each offset written into the editing store's
// record value. Returns false when the blob cannot be allocated.
bool SnapshotIntoDeviceStore(KeyMacroStore& editing, KeyMacroStore& device);

// The packed string blob of the last snapshot (device store's lock).
const std::vector<std::uint8_t>& DeviceStringBlob();

// What one write did, step by step: each step's command result (1 success,
// 0 or a negative device code on failure). A step that was not sent keeps 0
// with its `sent` flag clear.
struct WriteOutcome {
  bool sent = false;  // false: refused before anything was sent
  int begin = 0;
  int macroArea = 0;
  std::array<bool, 3> keyMapSent{};  // per profile: selected and sent
  std::array<int, 3> keyMaps{};
  int end = 0;
  // Every step of the sequence reached the keyboard.
  bool Complete() const;
};

// Snapshot, build and send. All three profiles when allProfiles or the
// store-wide rewrite flag is set, else the current one. Every step is sent
// even after one failed. Returns 1 when every step succeeded, 0 otherwise
// (also when nothing was sent); `outcome`, when given, says which did not.
int WriteKeysAndMacros(bool allProfiles, WriteOutcome* outcome = nullptr);

}  // namespace keyloom::keys
