#pragma once
// Key maps: one three-byte action (type, sub, arg) per key position, built
// from an assignment table over the factory map, and decoded back into one.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "keys/key_assignment.h"
#include "keys/key_catalogue.h"

namespace keyloom::keys {

inline constexpr std::size_t kTripleBytes = 3;
// Two positions that may be one key's twins: where the keyboard's factory map
// gives them the same triple, the second always sends the first's action.
// Elsewhere each carries its own key's assignment.
inline constexpr std::uint32_t kSharedSourcePosition = 99;
inline constexpr std::uint32_t kSharedTargetPosition = 106;
bool AreTwinPositions(std::span<const std::uint8_t> factoryMap);

// The key a factory triple stands for; 0 when the position has no editable key.
KeyCode TripleToKeyCode(std::uint8_t type, std::uint8_t sub, std::uint8_t arg);

// List position of the macro with an identifier (0 when none has it).
using MacroPositionOfId = std::function<int(std::uint16_t)>;

// Writes the triple that `record` sends at a position whose factory triple is
// `factory` (3 bytes) into `out` (3 bytes).
void AssignmentTriple(const KeyAssignment& record, const std::uint8_t* factory,
                      const MacroPositionOfId& macroPosition, std::uint8_t* out);

// One profile's key map of `layerBytes` bytes: the factory map, with every
// position below `keyCount` that has an editable key replaced by its
// assignment's triple, and position 106 carrying position 99's triple where
// the factory map makes them twins.
std::vector<std::uint8_t> BuildKeyMap(const AssignmentTable& table, std::span<const std::uint8_t> factoryMap,
                                      std::uint32_t layerBytes, std::uint32_t keyCount,
                                      const MacroPositionOfId& macroPosition);

// Rebuilds `table` from a key map read from the keyboard. Positions beyond
// either map are ignored.
void DecodeKeyMap(std::span<const std::uint8_t> map, std::span<const std::uint8_t> factoryMap,
                  std::uint32_t keyCount, AssignmentTable& table);

}  // namespace keyloom::keys
