#include "keys/macro_record.h"

#include <algorithm>

#include "keys/byte_order.h"

namespace keyloom::keys {

void SetMacroName(MacroRecord& macro, std::u16string_view name) {
  macro.name.assign(name.substr(0, kMaxMacroNameLength));
}

bool AppendMacroAction(MacroRecord& macro, MacroAction action) {
  if (macro.actions.size() >= kMaxMacroActions) return false;
  if (action.state > kRelease) action.state = kPress;
  macro.actions.push_back(action);
  return true;
}

std::u16string MacroStateText(std::uint16_t state) {
  return state == kRelease ? std::u16string(u"  \u2191") : std::u16string(u"\u2193");
}

void WriteMacroRecord(const MacroRecord& macro, std::span<std::uint8_t, kMacroRecordBytes> out) {
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  const std::size_t nameLength = std::min(macro.name.size(), kMaxMacroNameLength);
  for (std::size_t i = 0; i < nameLength; ++i) PutU16(out.data() + 2 * i, macro.name[i]);
  out[500] = macro.cycles;
  out[501] = macro.reserved501;
  PutU16(out.data() + 502, macro.isNew);
  PutU16(out.data() + 504, macro.reserved504);
  PutU16(out.data() + 506, macro.id);
  const std::size_t count = std::min(macro.actions.size(), kMaxMacroActions);
  PutU16(out.data() + 508, static_cast<std::uint16_t>(count));
  PutU16(out.data() + 510, macro.reserved510);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint8_t* p = out.data() + 512 + i * kMacroActionBytes;
    const MacroAction& action = macro.actions[i];
    PutU32(p, action.delay);
    PutU16(p + 4, action.code);
    PutU16(p + 6, action.state > kRelease ? kPress : action.state);
  }
}

std::vector<std::uint8_t> MacroRecordBytes(const MacroRecord& macro) {
  std::vector<std::uint8_t> bytes(kMacroRecordBytes);
  WriteMacroRecord(macro, std::span<std::uint8_t, kMacroRecordBytes>(bytes.data(), kMacroRecordBytes));
  return bytes;
}

bool ReadMacroRecord(std::span<const std::uint8_t> bytes, MacroRecord& macro) {
  if (bytes.size() < kMacroRecordBytes) return false;
  const std::uint8_t* b = bytes.data();
  MacroRecord read;
  for (std::size_t i = 0; i < kMaxMacroNameLength; ++i) {
    const char16_t unit = GetU16(b + 2 * i);
    if (unit == 0) break;
    read.name.push_back(unit);
  }
  read.cycles = b[500];
  read.reserved501 = b[501];
  read.isNew = GetU16(b + 502);
  read.reserved504 = GetU16(b + 504);
  read.id = GetU16(b + 506);
  const std::size_t count = std::min<std::size_t>(GetU16(b + 508), kMaxMacroActions);
  read.reserved510 = GetU16(b + 510);
  read.actions.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = b + 512 + i * kMacroActionBytes;
    MacroAction action;
    action.delay = GetU32(p);
    action.code = GetU16(p + 4);
    action.state = GetU16(p + 6);
    if (action.state > kRelease) action.state = kPress;
    read.actions.push_back(action);
  }
  macro = std::move(read);
  return true;
}

}  // namespace keyloom::keys
