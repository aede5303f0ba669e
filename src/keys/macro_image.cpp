#include "keys/macro_image.h"

#include <algorithm>

#include "keys/byte_order.h"
#include "keys/keymap_image.h"
#include "keys/macro_lookups.h"

namespace keyloom::keys {

namespace {

constexpr std::uint8_t kDataNone = 0;
constexpr std::uint8_t kDataKeyboard = 2;
constexpr std::uint8_t kDataSystem = 4;
constexpr std::uint16_t kPressBit = 0x8000;

}  // namespace

std::uint16_t MacroControlWord(const MacroAction& action, std::uint8_t dataType) {
  const std::uint32_t units = std::min(action.delay / 10, kMaxPauseUnits);
  std::uint16_t word = static_cast<std::uint16_t>(units | ((dataType & 0x7u) << 12));
  if (action.state == kPress) word |= kPressBit;
  return word;
}

void WriteMacroActionWord(const MacroAction& action, std::uint8_t* out) {
  const Usage usage = KeyCodeToUsage(action.code);
  std::uint8_t type = kDataNone;
  std::uint8_t data0 = 0;
  std::uint8_t data1 = 0;
  if (usage.page == kPageKeyboard) {
    type = kDataKeyboard;
    if (const std::uint8_t bit = KeyCodeToModifierBit(action.code); bit != 0) {
      data0 = 1;
      data1 = bit;
    } else {
      data0 = 2;
      data1 = static_cast<std::uint8_t>(usage.usage);
    }
  } else if (usage.page == kPageGenericDesktop) {
    type = kDataSystem;
    data0 = static_cast<std::uint8_t>(usage.usage);
    data1 = static_cast<std::uint8_t>(usage.usage >> 8);
  }
  PutU16(out, MacroControlWord(action, type));
  out[2] = data0;
  out[3] = data1;
}

std::vector<std::uint8_t> BuildMacroImage(std::span<const MacroRecord> macros, bool withNames) {
  const MacroImageSize sizes = MacroImageSizes(macros);
  const std::uint32_t size = withNames ? sizes.full : sizes.compact;
  std::vector<std::uint8_t> image(size, 0);
  PutU16(image.data(), kMacroImageMagic);
  PutU16(image.data() + 2, static_cast<std::uint16_t>(size));
  PutU16(image.data() + 4, static_cast<std::uint16_t>(macros.size()));
  PutU16(image.data() + 6, withNames ? 1 : 0);
  std::size_t at = kMacroImageHeaderBytes + 2 * macros.size();
  for (std::size_t i = 0; i < macros.size(); ++i) {
    const MacroRecord& macro = macros[i];
    PutU16(image.data() + kMacroImageHeaderBytes + 2 * i, static_cast<std::uint16_t>(at));
    PutU16(image.data() + at, static_cast<std::uint16_t>(macro.actions.size()));
    image[at + 2] = macro.cycles;
    image[at + 3] = withNames ? static_cast<std::uint8_t>(macro.name.size()) : 0;
    at += kMacroBlockHeaderBytes;
    for (const MacroAction& action : macro.actions) {
      WriteMacroActionWord(action, image.data() + at);
      at += kMacroActionWordBytes;
    }
    if (withNames) {
      for (char16_t c : macro.name) {
        PutU16(image.data() + at, static_cast<std::uint16_t>(c));
        at += 2;
      }
    }
  }
  return image;
}

bool DecodeMacroImage(std::span<const std::uint8_t> image, std::vector<MacroRecord>& macros) {
  macros.clear();
  if (image.size() < kMacroImageHeaderBytes || GetU16(image.data()) != kMacroImageMagic) return false;
  const std::size_t count = GetU16(image.data() + 4);
  if (count > static_cast<std::size_t>(kMaxMacros) || kMacroImageHeaderBytes + 2 * count > image.size()) return false;
  std::vector<MacroRecord> decoded;
  decoded.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = GetU16(image.data() + kMacroImageHeaderBytes + 2 * i);
    if (at + kMacroBlockHeaderBytes > image.size()) return false;
    const std::size_t actionCount = GetU16(image.data() + at);
    const std::size_t nameLength = image[at + 3];
    const std::size_t actionsAt = at + kMacroBlockHeaderBytes;
    const std::size_t nameAt = actionsAt + kMacroActionWordBytes * actionCount;
    if (actionCount > kMaxMacroActions || nameAt + 2 * nameLength > image.size()) return false;
    MacroRecord macro;
    macro.cycles = image[at + 2];
    macro.isNew = 0;
    macro.id = static_cast<std::uint16_t>(i + 1);
    macro.actions.reserve(actionCount);
    for (std::size_t a = 0; a < actionCount; ++a) {
      const std::uint8_t* word = image.data() + actionsAt + kMacroActionWordBytes * a;
      const std::uint16_t control = GetU16(word);
      MacroAction action;
      action.delay = (control & kMaxPauseUnits) * 10u;
      action.code = TripleToKeyCode(static_cast<std::uint8_t>((control >> 12) & 0x7), word[2], word[3]);
      action.state = (control & kPressBit) ? kPress : kRelease;
      macro.actions.push_back(action);
    }
    if (nameLength != 0) {
      std::u16string name;
      for (std::size_t c = 0; c < nameLength; ++c) name.push_back(static_cast<char16_t>(GetU16(image.data() + nameAt + 2 * c)));
      SetMacroName(macro, name);
    } else {
      macro.name = NewMacroName(static_cast<int>(i + 1));
    }
    decoded.push_back(std::move(macro));
  }
  macros = std::move(decoded);
  return true;
}

}  // namespace keyloom::keys
