#pragma once
// The macro image the keyboard's macro memory receives: a 16-byte header, an
// offset table and one block per macro (action words of a control word and
// two data bytes, then optionally the name), all little-endian.
#include <cstdint>
#include <span>
#include <vector>

#include "keys/macro_record.h"

namespace keyloom::keys {

inline constexpr std::uint16_t kMacroImageMagic = 0x55AA;
inline constexpr std::size_t kMacroImageHeaderBytes = 16;
inline constexpr std::size_t kMacroBlockHeaderBytes = 4;
inline constexpr std::size_t kMacroActionWordBytes = 4;
// Largest pause an action word holds, in 10 ms units (12 bits).
inline constexpr std::uint32_t kMaxPauseUnits = 0x0FFF;

// Control word of one action: the pause in 10 ms units (longer pauses held
// at 4095 units rather than wrapping), the data type and the press bit.
std::uint16_t MacroControlWord(const MacroAction& action, std::uint8_t dataType);

// Writes the 4-byte action word of `action` into `out`.
void WriteMacroActionWord(const MacroAction& action, std::uint8_t* out);

// The image of `macros` in list order, with or without their names. Its
// size equals MacroImageSizes(macros).full or .compact.
std::vector<std::uint8_t> BuildMacroImage(std::span<const MacroRecord> macros, bool withNames);

// Rebuilds macro records from an image read from the keyboard. Macros whose
// block has no name get NewMacroName(position + 1). Bounded on any bytes:
// false (and `macros` empty) when the magic is wrong or a block lies outside
// the image.
bool DecodeMacroImage(std::span<const std::uint8_t> image, std::vector<MacroRecord>& macros);

}  // namespace keyloom::keys
