#pragma once
// The store of key assignments, macros and their strings. A keyboard session
// holds two (KeyStores): the editing store, which the dialogs, the on-screen
// keyboard and profile loading change, and the device store, the snapshot
// that each write to the keyboard takes of the editing store.
//
// Every read and write of a store's block, macros and strings happens under
// that store's lock, which lets its owning thread enter again. Where both
// are held, the editing store's is taken first. No lock is held across a
// message box.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "keys/key_assignment.h"
#include "keys/macro_record.h"

namespace keyloom::keys {

// The program path (kind 3) or text block (kind 6) of one record.
struct StringSlot {
  std::u16string text;
  std::uint32_t size = 0;  // bytes with the terminator, (length + 1) * 2; 0 when empty
};

inline constexpr int kStringSlotCount = kProfileTableCount * kRecordsPerTable;  // 2048
constexpr int StringSlotIndex(int profile, int record) { return profile * kRecordsPerTable + record; }

class KeyMacroStore {
 public:
  KeyMacroStore();
  KeyMacroStore(const KeyMacroStore&) = delete;
  KeyMacroStore& operator=(const KeyMacroStore&) = delete;

  std::recursive_mutex& Mutex() const { return mutex_; }
  std::unique_lock<std::recursive_mutex> Lock() const { return std::unique_lock(mutex_); }

  // Guarded by Mutex().
  KeyTableBlock block;
  std::vector<MacroRecord> macros;  // in list order; macroCount is its size
  std::array<StringSlot, kStringSlotCount> strings;
  std::uint32_t totalStringSize = 0;

  std::uint16_t MacroCount() const;

  // Sets or frees (empty text) a string slot and keeps the total in step.
  void SetString(int slotIndex, std::u16string text);
  void FreeString(int slotIndex);
  // Frees the macros and strings and zeroes the block (headers included).
  void Clear();

 private:
  mutable std::recursive_mutex mutex_;
};

// What the write needs to know of the connected keyboard and the profiles.
// Set by the connection handler (capacity: configuration byte 11 x 128) and
// by profile switching.
struct KeyboardWriteState {
  std::atomic<std::uint32_t> macroCapacity{0};  // bytes; 0 until read at connection
  std::atomic<int> currentProfile{0};           // 0..2
};

// The stores of a keyboard session and what writing them needs.
struct KeyStores {
  KeyMacroStore EditingStore;
  KeyMacroStore DeviceStore;
  // Set when a deleted macro was in use; the next write to the keyboard
  // then sends all three profiles, and clears it.
  std::atomic<bool> RewriteAllProfiles{false};
  KeyboardWriteState WriteState;
  // The packed string blob of the last snapshot (device store's lock).
  std::vector<std::uint8_t> DeviceStringBlob;
};

// Under the store's lock: free the string slot of (profile, record) unless
// the new kind keeps a string, then write the record. The record's mark word
// is kept (it belongs to a panel position, not to the assignment), and a
// single-key assignment of a key to itself is stored as kind 0. Returns 0
// when no profile is current (profile outside 0..3) or the record index is
// outside 0..511, else 1.
int StoreAssignment(KeyMacroStore& store, int profile, int record, const KeyAssignment& assignment);

// The record of (profile, record) under the lock; a zero record when out of range.
KeyAssignment ReadAssignment(const KeyMacroStore& store, int profile, int record);

// Key-marking flags: panel button n (0..104) uses the mark word of record n,
// G button g of bank b that of record g + 9b.
constexpr int MarkRecordOfPanelButton(int panelIndex) { return panelIndex; }
constexpr int MarkRecordOfGButton(int g, int bank) { return g + bank * kGRecordsPerBank; }
bool IsMarked(const KeyMacroStore& store, int profile, int markRecord);
// Inverts the flag; returns the new state (false when out of range).
bool ToggleMark(KeyMacroStore& store, int profile, int markRecord);

}  // namespace keyloom::keys
