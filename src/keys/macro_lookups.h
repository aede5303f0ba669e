#pragma once
// Lookups over a store's macro list, and the identifier, naming and size
// rules of macros.
#include <cstdint>
#include <span>
#include <string>

#include "keys/key_macro_store.h"

namespace keyloom::keys {

// List position of the first macro with that identifier; 0 when none has it.
int MacroIdToIndex(const KeyMacroStore& store, std::uint16_t id);

// Identifier of the macro at a list position; 0 outside the list.
std::uint16_t MacroIndexToId(const KeyMacroStore& store, int position);

// The name of the first macro with that identifier when id is not 0 and
// lookUp is set and such a macro exists; otherwise the localised
// MACRO_DEFAULT_NAME.
std::u16string MacroNameOfId(const KeyMacroStore& store, std::uint16_t id, bool lookUp);

// The smallest identifier 1..100 that no macro of the list uses; 0 when all are.
std::uint16_t NewMacroId(std::span<const MacroRecord> macros);

// The localised MACRO_NEW_PREFIX followed by the decimal counter.
std::u16string NewMacroName(int counter);

// Byte sizes of the macro image the keyboard receives: compact (without
// names) = 16 + 2n + sum(4 + 4 * actions); full = compact + sum(2 * name length).
struct MacroImageSize {
  std::uint32_t full = 0;
  std::uint32_t compact = 0;
  friend bool operator==(const MacroImageSize&, const MacroImageSize&) = default;
};
MacroImageSize MacroImageSizes(std::span<const MacroRecord> macros);
MacroImageSize MacroImageSizes(const KeyMacroStore& store);

}  // namespace keyloom::keys
