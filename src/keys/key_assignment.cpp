#include "keys/key_assignment.h"

#include <algorithm>

#include "keys/byte_order.h"

namespace keyloom::keys {

KeyAssignment ReadKeyAssignment(std::span<const std::uint8_t, kKeyAssignmentBytes> b) {
  KeyAssignment r;
  r.kind = GetU16(b.data() + 0);
  r.param = GetU16(b.data() + 2);
  r.value = GetU32(b.data() + 4);
  r.mark = GetU32(b.data() + 8);
  r.reserved = GetU32(b.data() + 12);
  return r;
}

void WriteKeyAssignment(const KeyAssignment& r, std::span<std::uint8_t, kKeyAssignmentBytes> b) {
  PutU16(b.data() + 0, r.kind);
  PutU16(b.data() + 2, r.param);
  PutU32(b.data() + 4, r.value);
  PutU32(b.data() + 8, r.mark);
  PutU32(b.data() + 12, r.reserved);
}

std::uint16_t GKeyIdentifierOfRecord(int recordIndex) {
  if (recordIndex < kFirstGRecord || recordIndex > kLastGRecord) return 0;
  const int offset = recordIndex - kFirstGRecord;
  const int bank = offset / kGRecordsPerBank;
  const int g = offset % kGRecordsPerBank;
  return static_cast<std::uint16_t>((bank ? 0x1300 : 0x0300) + g + 1);
}

KeyAssignment MakeAssignment(int recordIndex, KeyKind kind, std::uint32_t value, std::uint8_t cycles) {
  KeyAssignment record;
  record.kind = static_cast<std::uint16_t>(kind);
  record.value = value;
  record.param = kind == KeyKind::Macro ? cycles : GKeyIdentifierOfRecord(recordIndex);
  return record;
}

std::vector<std::uint8_t> KeyTableBlock::ToBytes() const {
  std::vector<std::uint8_t> bytes(kKeyTableBlockBytes);
  WriteTo(std::span<std::uint8_t, kKeyTableBlockBytes>(bytes.data(), kKeyTableBlockBytes));
  return bytes;
}

void KeyTableBlock::WriteTo(std::span<std::uint8_t, kKeyTableBlockBytes> out) const {
  std::copy(headers.begin(), headers.end(), out.begin());
  std::size_t offset = kKeyTableHeaderBytes;
  for (const AssignmentTable& table : tables) {
    for (const KeyAssignment& record : table) {
      WriteKeyAssignment(record, out.subspan(offset).first<kKeyAssignmentBytes>());
      offset += kKeyAssignmentBytes;
    }
  }
}

bool KeyTableBlock::ReadFrom(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kKeyTableBlockBytes) return false;
  std::copy_n(bytes.begin(), kKeyTableHeaderBytes, headers.begin());
  std::size_t offset = kKeyTableHeaderBytes;
  for (AssignmentTable& table : tables) {
    for (KeyAssignment& record : table) {
      record = ReadKeyAssignment(bytes.subspan(offset).first<kKeyAssignmentBytes>());
      offset += kKeyAssignmentBytes;
    }
  }
  return true;
}

void ResetKeyTable(AssignmentTable& table) {
  table.fill(KeyAssignment{});
  for (int i = kFirstGRecord; i <= kLastGRecord; ++i) table[i].param = GKeyIdentifierOfRecord(i);
}

void ResetKeyTables(KeyTableBlock& block) {
  for (AssignmentTable& table : block.tables) table.fill(KeyAssignment{});
  ResetKeyTable(block.tables[0]);
}

}  // namespace keyloom::keys
