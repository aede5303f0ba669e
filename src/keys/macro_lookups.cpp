#include "keys/macro_lookups.h"

#include <algorithm>
#include <bitset>

#include "keys/text_source.h"
#include "platform/text.h"

namespace keyloom::keys {

int MacroIdToIndex(const KeyMacroStore& store, std::uint16_t id) {
  auto lock = store.Lock();
  for (std::size_t i = 0; i < store.macros.size(); ++i) {
    if (store.macros[i].id == id) return static_cast<int>(i);
  }
  return 0;
}

std::uint16_t MacroIndexToId(const KeyMacroStore& store, int position) {
  auto lock = store.Lock();
  if (position < 0 || static_cast<std::size_t>(position) >= store.macros.size()) return 0;
  return store.macros[position].id;
}

std::u16string MacroNameOfId(const KeyMacroStore& store, std::uint16_t id, bool lookUp) {
  if (id != 0 && lookUp) {
    auto lock = store.Lock();
    for (const MacroRecord& macro : store.macros) {
      if (macro.id == id) return macro.name;
    }
  }
  return LookUpText("MACRO_DEFAULT_NAME");
}

std::uint16_t NewMacroId(std::span<const MacroRecord> macros) {
  std::bitset<kMaxMacros + 1> used;
  for (const MacroRecord& macro : macros) {
    if (macro.id >= 1 && macro.id <= kMaxMacros) used.set(macro.id);
  }
  for (std::uint16_t id = 1; id <= kMaxMacros; ++id) {
    if (!used.test(id)) return id;
  }
  return 0;
}

std::u16string NewMacroName(int counter) {
  return text::Format(u"%s%d", {std::u16string_view(LookUpText("MACRO_NEW_PREFIX")), std::int64_t{counter}});
}

MacroImageSize MacroImageSizes(std::span<const MacroRecord> macros) {
  MacroImageSize size;
  size.compact = 16 + 2 * static_cast<std::uint32_t>(macros.size());
  std::uint32_t names = 0;
  for (const MacroRecord& macro : macros) {
    const auto actions = static_cast<std::uint32_t>(std::min(macro.actions.size(), kMaxMacroActions));
    size.compact += 4 + 4 * actions;
    names += 2 * static_cast<std::uint32_t>(std::min(macro.name.size(), kMaxMacroNameLength));
  }
  size.full = size.compact + names;
  return size;
}

MacroImageSize MacroImageSizes(const KeyMacroStore& store) {
  auto lock = store.Lock();
  return MacroImageSizes(store.macros);
}

}  // namespace keyloom::keys
