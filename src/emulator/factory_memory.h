#pragma once
// The keyboard's factory contents, per model.
//   - Factory key map (command 0x0F, and the three layers after a reset):
//     0x0C45/0x7672: 126 triples, the built-in map the host also carries;
//     0x320F/0x505B: the same 126 triples plus position 126 = 02 02 64 and
//     position 127 = 02 02 87; zero bytes up to 512 in both.
//   - Lighting: slot 0 effect 1, slot 1 effect 4, slot 2 effect 20; each
//     brightness 5, speed 2, direction 0, colourful, main colour white,
//     report rate 0, effect-17 colour 0, second and third colour white.
//   - Key colours: slot 0 red, slot 1 green, slot 2 blue on every key
//     position below the key count, zero after.
//   - Macro area: all zero (no 0x55AA magic: no macros).
//   - Configuration block: see firmware_model.h; active slot 0.
#include <array>
#include <cstdint>
#include <vector>

#include "emulator/firmware_model.h"

namespace keyloom::emulator {

// 512 bytes: the factory key map of the model.
std::vector<std::uint8_t> FactoryKeyMap(const ModelInfo& model);
// The factory lighting record of a slot (42 bytes).
std::array<std::uint8_t, kLightingRecordBytes> FactoryLightingRecord(int slot);
// The effects the keyboard supports out of the factory: 1..18 and 20.
std::vector<std::uint8_t> FactoryEffects();
// All memories as they leave the factory.
Memories FactoryMemories(const ModelInfo& model, std::uint32_t capacity,
                         const std::vector<std::uint8_t>& effects);

}  // namespace keyloom::emulator
