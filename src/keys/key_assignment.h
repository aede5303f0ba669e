#pragma once
// What one key does in one profile, the 512-record assignment tables and the
// key table block that holds the four of them. Profile files hold these
// bytes as they are laid out here (little-endian, read and written field by
// field).
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace keyloom::keys {

enum class KeyKind : std::uint16_t {
  Default = 0,        // the key's factory action
  Disabled = 1,
  SingleKey = 2,      // value: target KeyCode (0 = none captured)
  LaunchProgram = 3,  // path in the record's string slot
  Macro = 4,          // value: macro identifier; param: cycle count when assigned
  StopMacro = 5,
  TextBlock = 6,      // text in the record's string slot
  Media = 7,          // value: media list index
  Function = 8,       // value: function list index
};

// Kinds whose record owns a string slot.
constexpr bool KindKeepsString(std::uint16_t kind) {
  return kind == static_cast<std::uint16_t>(KeyKind::LaunchProgram) ||
         kind == static_cast<std::uint16_t>(KeyKind::TextBlock);
}

struct KeyAssignment {
  std::uint16_t kind = 0;
  std::uint16_t param = 0;     // macro cycles, or the G-key identifier of a G record
  std::uint32_t value = 0;
  std::uint32_t mark = 0;      // key-marking flag, stored by panel position
  std::uint32_t reserved = 0;
  friend bool operator==(const KeyAssignment&, const KeyAssignment&) = default;
};

inline constexpr std::size_t kKeyAssignmentBytes = 16;
KeyAssignment ReadKeyAssignment(std::span<const std::uint8_t, kKeyAssignmentBytes> bytes);
void WriteKeyAssignment(const KeyAssignment& record, std::span<std::uint8_t, kKeyAssignmentBytes> bytes);

// One table: records 0..255 by key slot, 256..264 G1..G9 of the first bank,
// 265..273 G1..G9 of the second bank, 274..511 unused.
inline constexpr int kRecordsPerTable = 512;
inline constexpr int kFirstGRecord = 256;
inline constexpr int kGRecordsPerBank = 9;
inline constexpr int kGBankCount = 2;
inline constexpr int kLastGRecord = kFirstGRecord + kGBankCount * kGRecordsPerBank - 1;  // 273
using AssignmentTable = std::array<KeyAssignment, kRecordsPerTable>;

// Record index of G button g (0..8) of bank 0 or 1.
constexpr int GKeyRecordIndex(int g, int bank) { return kFirstGRecord + bank * kGRecordsPerBank + g; }
// G-key identifier of a record: 0x0301..0x0309, 0x1301..0x1309; 0 elsewhere.
std::uint16_t GKeyIdentifierOfRecord(int recordIndex);

// The record the key-setting dialog stores for a key: param is the cycle
// count for a macro assignment, otherwise the G-key identifier on a G record
// (0 elsewhere).
KeyAssignment MakeAssignment(int recordIndex, KeyKind kind, std::uint32_t value, std::uint8_t cycles = 1);

// Key table block: 64 header bytes (the profile file's two headers, carried
// here as bytes) and the assignment tables of profile indexes 0..3.
inline constexpr int kProfileTableCount = 4;
inline constexpr std::size_t kKeyTableHeaderBytes = 64;
inline constexpr std::size_t kAssignmentTableBytes = kRecordsPerTable * kKeyAssignmentBytes;  // 8192
inline constexpr std::size_t kKeyTableBlockBytes =
    kKeyTableHeaderBytes + kProfileTableCount * kAssignmentTableBytes;  // 32832

struct KeyTableBlock {
  std::array<std::uint8_t, kKeyTableHeaderBytes> headers{};
  std::array<AssignmentTable, kProfileTableCount> tables{};

  std::vector<std::uint8_t> ToBytes() const;
  void WriteTo(std::span<std::uint8_t, kKeyTableBlockBytes> out) const;
  // Reads the first 32832 bytes; false (and the block unchanged) when fewer.
  bool ReadFrom(std::span<const std::uint8_t> bytes);
};

// Zero all four tables, then write the G-key identifiers into records
// 256..273 of table 0 only. The headers are left alone.
void ResetKeyTables(KeyTableBlock& block);
// Zero one table and write the G-key identifiers into its records 256..273.
void ResetKeyTable(AssignmentTable& table);

}  // namespace keyloom::keys
