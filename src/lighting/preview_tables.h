#pragma once
// Fixed tables of the on-screen effect preview: the colour wheel, the three
// brightness curves, the key grid and the key orders the effects walk.
#include <array>
#include <cstdint>

#include "lighting/lighting_state.h"

namespace keyloom::lighting::preview {

constexpr int kWheelSize = 192;        // six segments of 32
constexpr int kWheelStoredSize = 256;  // the last 64 entries repeat the first 64
constexpr int kCurveALength = 96;
constexpr int kCurveBLength = 128;
constexpr int kCurveCLength = 128;

constexpr int kGridRows = 6;
constexpr int kGridColumns = 23;
constexpr int kNoKey = 255;  // an empty cell or place in the tables below

// Colour-wheel entry `index` (taken modulo 256; entries 192..255 repeat 0..63).
Colour WheelEntry(int index);
// The colour an animation phase shows: wheel entry (phase + 12) mod 192.
Colour WheelAtPhase(int phase);

// Brightness curves; the index is taken modulo the curve's length.
std::uint8_t CurveA(int index);
std::uint8_t CurveB(int index);
std::uint8_t CurveC(int index);

// Each channel of `colour` times `brightness` / 255 (integer division).
Colour ScaleColour(Colour colour, int brightness);

// The key grid: control id of the key at (row, column), or kNoKey.
int GridKey(int row, int column);

// The Fn key button and its key position.
constexpr int kFnKeyId = 1174;
constexpr int kFnKeyPosition = 110;

// Key position of a key button: the ordinary keys' colour positions, 125
// for the macro keys, 110 for Fn; -1 for any other control id.
int KeyPosition(int id);

// Key orders and groups, as control ids (kNoKey = no key).
const std::array<int, 105>& TwinkleSequence();
const std::array<std::array<int, 6>, 20>& SweepTable();
const std::array<std::array<int, 2>, 16>& PairTable();
const std::array<int, 105>& SnakeOrder();
const std::array<std::array<int, 12>, 12>& Rings();

}  // namespace keyloom::lighting::preview
