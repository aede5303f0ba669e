#include "keys/keymap_image.h"

#include <algorithm>
#include <cstring>

namespace keyloom::keys {

namespace {

constexpr std::uint8_t kTypeModifierOrKey = 2;
constexpr std::uint8_t kSubModifier = 1;
constexpr std::uint8_t kSubKey = 2;
constexpr std::uint8_t kTypeConsumer = 3;
constexpr std::uint8_t kTypeSystem = 4;
constexpr std::uint8_t kTypeFirmware = 5;
constexpr std::uint8_t kSubPlayMacro = 1;
constexpr std::uint8_t kSubStopMacro = 2;
constexpr std::uint8_t kSubFunction = 5;
constexpr std::uint8_t kTypeGKey = 6;
constexpr std::uint8_t kSubGKey = 0xA2;

void Put(std::uint8_t* out, std::uint8_t t, std::uint8_t s, std::uint8_t a) {
  out[0] = t;
  out[1] = s;
  out[2] = a;
}

}  // namespace

bool AreTwinPositions(std::span<const std::uint8_t> factoryMap) {
  if (factoryMap.size() < kTripleBytes * (kSharedTargetPosition + 1)) return false;
  const std::uint8_t* source = factoryMap.data() + kTripleBytes * kSharedSourcePosition;
  return std::equal(source, source + kTripleBytes, factoryMap.data() + kTripleBytes * kSharedTargetPosition);
}

KeyCode TripleToKeyCode(std::uint8_t type, std::uint8_t sub, std::uint8_t arg) {
  switch (type) {
    case kTypeModifierOrKey:
      return sub == kSubKey ? UsageToKeyCode(kPageKeyboard, arg) : ModifierBitsToKeyCode(arg);
    case kTypeConsumer:
      return UsageToKeyCode(kPageConsumer, static_cast<std::uint16_t>(sub + 256 * arg));
    case kTypeSystem:
      return UsageToKeyCode(kPageGenericDesktop, static_cast<std::uint16_t>(sub + 256 * arg));
    case kTypeGKey:
      return sub == kSubGKey ? static_cast<KeyCode>(0x1FF + arg) : KeyCode{0};
    default:
      return 0;
  }
}

void AssignmentTriple(const KeyAssignment& record, const std::uint8_t* factory,
                      const MacroPositionOfId& macroPosition, std::uint8_t* out) {
  switch (static_cast<KeyKind>(record.kind)) {
    case KeyKind::Disabled:
    case KeyKind::TextBlock:
      Put(out, 0, 0, 0);
      return;
    case KeyKind::SingleKey: {
      const auto code = static_cast<KeyCode>(record.value);
      if (const std::uint8_t bit = KeyCodeToModifierBit(code); bit != 0) {
        Put(out, kTypeModifierOrKey, kSubModifier, bit);
        return;
      }
      const Usage usage = KeyCodeToUsage(code);
      const std::uint8_t u = usage.page == kPageKeyboard ? static_cast<std::uint8_t>(usage.usage) : 0;
      Put(out, kTypeModifierOrKey, kSubKey, u);
      return;
    }
    case KeyKind::Macro: {
      const int position = macroPosition ? macroPosition(static_cast<std::uint16_t>(record.value)) : 0;
      Put(out, kTypeFirmware, kSubPlayMacro, static_cast<std::uint8_t>(position));
      return;
    }
    case KeyKind::StopMacro:
      Put(out, kTypeFirmware, kSubStopMacro, 0);
      return;
    case KeyKind::Media: {
      const auto media = MediaKeys();
      if (record.value < media.size()) {
        const std::uint16_t usage = media[record.value].consumerUsage;
        Put(out, kTypeConsumer, static_cast<std::uint8_t>(usage), static_cast<std::uint8_t>(usage >> 8));
        return;
      }
      // A media index outside the list keeps the factory action.
      break;
    }
    case KeyKind::Function:
      Put(out, kTypeFirmware, kSubFunction, static_cast<std::uint8_t>(record.value));
      return;
    default:  // default, launch program, and unknown kinds
      break;
  }
  std::memcpy(out, factory, kTripleBytes);
}

std::vector<std::uint8_t> BuildKeyMap(const AssignmentTable& table, std::span<const std::uint8_t> factoryMap,
                                      std::uint32_t layerBytes, std::uint32_t keyCount,
                                      const MacroPositionOfId& macroPosition) {
  std::vector<std::uint8_t> map(layerBytes, 0);
  std::copy_n(factoryMap.begin(), std::min<std::size_t>(factoryMap.size(), layerBytes), map.begin());
  const std::uint32_t positions = std::min<std::uint32_t>(keyCount, layerBytes / kTripleBytes);
  for (std::uint32_t d = 0; d < positions; ++d) {
    std::uint8_t* triple = map.data() + kTripleBytes * d;
    const KeyCode code = TripleToKeyCode(triple[0], triple[1], triple[2]);
    if (code == 0) continue;
    const std::uint16_t slot = KeyCodeToSlot(code);
    if (slot >= table.size()) continue;
    const std::uint8_t factory[kTripleBytes] = {triple[0], triple[1], triple[2]};
    AssignmentTriple(table[slot], factory, macroPosition, triple);
  }
  if (layerBytes >= kTripleBytes * (kSharedTargetPosition + 1) && AreTwinPositions(factoryMap)) {
    std::memcpy(map.data() + kTripleBytes * kSharedTargetPosition, map.data() + kTripleBytes * kSharedSourcePosition,
                kTripleBytes);
  }
  return map;
}

void DecodeKeyMap(std::span<const std::uint8_t> map, std::span<const std::uint8_t> factoryMap,
                  std::uint32_t keyCount, AssignmentTable& table) {
  ResetKeyTable(table);
  const std::size_t positions =
      std::min<std::size_t>({keyCount, map.size() / kTripleBytes, factoryMap.size() / kTripleBytes});
  for (std::size_t d = 0; d < positions; ++d) {
    const std::uint8_t* f = factoryMap.data() + kTripleBytes * d;
    const std::uint8_t* r = map.data() + kTripleBytes * d;
    if (std::equal(f, f + kTripleBytes, r)) continue;
    const std::uint16_t slot = KeyCodeToSlot(TripleToKeyCode(f[0], f[1], f[2]));
    if (slot == 0 || slot >= table.size()) continue;
    KeyAssignment& record = table[slot];
    record.kind = static_cast<std::uint16_t>(KeyKind::Disabled);
    record.value = 0;
    if (r[0] == kTypeFirmware && r[1] == kSubPlayMacro) {
      record.kind = static_cast<std::uint16_t>(KeyKind::Macro);
      record.value = r[2] + 1u;
    } else if (r[0] == kTypeFirmware && r[1] == kSubStopMacro) {
      record.kind = static_cast<std::uint16_t>(KeyKind::StopMacro);
    } else if (r[0] == kTypeFirmware && r[1] == kSubFunction) {
      record.kind = static_cast<std::uint16_t>(KeyKind::Function);
      record.value = r[2];
    } else if (r[0] == kTypeConsumer) {
      const int index = MediaIndexOfConsumerUsage(static_cast<std::uint16_t>(r[1] | (r[2] << 8)));
      if (index >= 0) {
        record.kind = static_cast<std::uint16_t>(KeyKind::Media);
        record.value = static_cast<std::uint32_t>(index);
      }
    } else if (r[0] == kTypeModifierOrKey && r[1] == kSubKey) {
      if (const KeyCode code = UsageToKeyCode(kPageKeyboard, r[2]); code != 0) {
        record.kind = static_cast<std::uint16_t>(KeyKind::SingleKey);
        record.value = code;
      }
    } else if (r[0] == kTypeModifierOrKey && r[1] == kSubModifier) {
      record.kind = static_cast<std::uint16_t>(KeyKind::SingleKey);
      record.value = ModifierBitsToKeyCode(r[2]);
    }
  }
}

}  // namespace keyloom::keys
