#pragma once
// A macro: a named list of key presses and releases, each followed by a
// pause, played a number of times per key press. The record's byte layout
// (32512 bytes, little-endian) is the one profile files hold; it is read and
// written field by field.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "keys/key_catalogue.h"

namespace keyloom::keys {

inline constexpr int kMaxMacros = 100;
inline constexpr std::size_t kMaxMacroActions = 4000;
inline constexpr std::size_t kMacroNameField = 250;                      // UTF-16 units, terminator included
inline constexpr std::size_t kMaxMacroNameLength = kMacroNameField - 1;  // 249
inline constexpr std::size_t kMacroActionBytes = 8;
inline constexpr std::size_t kMacroRecordBytes = 512 + kMaxMacroActions * kMacroActionBytes;  // 32512
inline constexpr std::uint8_t kMinCycles = 1;
inline constexpr std::uint8_t kMaxCycles = 255;

inline constexpr std::uint16_t kPress = 0;
inline constexpr std::uint16_t kRelease = 1;

struct MacroAction {
  std::uint32_t delay = 0;  // ms after this action, before the next one
  KeyCode code = 0;
  std::uint16_t state = kPress;  // 0 press, 1 release
  friend bool operator==(const MacroAction&, const MacroAction&) = default;
};

struct MacroRecord {
  std::u16string name;            // at most 249 units
  std::uint8_t cycles = 1;
  std::uint16_t isNew = 0;        // 1 while created in the dialog and not yet applied
  std::uint16_t id = 0;           // 1..100
  std::vector<MacroAction> actions;  // at most 4000; actionCount is its size
  // Reserved fields, carried as read.
  std::uint8_t reserved501 = 0;
  std::uint16_t reserved504 = 0;
  std::uint16_t reserved510 = 0;
  friend bool operator==(const MacroRecord&, const MacroRecord&) = default;
};

// A typed cycle count brought into 1..255.
constexpr std::uint8_t ClampMacroCycles(long long value) {
  return value < kMinCycles ? kMinCycles : value > kMaxCycles ? kMaxCycles : static_cast<std::uint8_t>(value);
}

// Sets the name, cut to 249 units.
void SetMacroName(MacroRecord& macro, std::u16string_view name);

// Appends an action unless the macro already holds 4000 (then false). A
// state other than 0 or 1 is stored as 0.
bool AppendMacroAction(MacroRecord& macro, MacroAction action);

// Display text of an action state: "↓" for a press, "  ↑" for a release.
std::u16string MacroStateText(std::uint16_t state);

// Byte layout. Writing fills all 32512 bytes (unused name and action space
// zero). Reading needs 32512 bytes (false otherwise, the record unchanged);
// it stops the name at its terminator or after 249 units, takes at most 4000
// actions and stores a state other than 0 or 1 as 0.
void WriteMacroRecord(const MacroRecord& macro, std::span<std::uint8_t, kMacroRecordBytes> out);
std::vector<std::uint8_t> MacroRecordBytes(const MacroRecord& macro);
bool ReadMacroRecord(std::span<const std::uint8_t> bytes, MacroRecord& macro);

}  // namespace keyloom::keys
