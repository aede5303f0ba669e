#pragma once
// The keyboard's per-slot lighting records, the configuration block copy,
// the supported-effect list and the decoded current lighting values. A
// keyboard session keeps them (lighting/lighting_session.h).
#include <array>
#include <cstdint>
#include <vector>

namespace keyloom::lighting {

constexpr int kSlotCount = 3;
constexpr int kRecordBytes = 42;
constexpr int kConfigBytes = 44;
constexpr int kEffectListOffset = 12;
constexpr int kEffectListBytes = 32;
constexpr int kActiveSlotOffset = 10;
constexpr int kMacroCapacityOffset = 11;

// Field offsets inside one 42-byte lighting record.
namespace field {
constexpr int kEffect = 0;
constexpr int kBrightness = 1;
constexpr int kSpeed = 2;
constexpr int kDirection = 3;
constexpr int kColourful = 4;
constexpr int kMainColour = 5;  // red, green, blue
constexpr int kReportRate = 15;
constexpr int kEffect17Colour = 17;
constexpr int kEffect7Option = 18;
constexpr int kTrigger = 19;
constexpr int kSecondColour = 25;
constexpr int kSecondColourful = 28;
constexpr int kThirdColour = 30;
constexpr int kThirdColourful = 33;
}  // namespace field

// A colour as red | green << 8 | blue << 16.
using Colour = std::uint32_t;
constexpr Colour MakeColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return Colour(r) | (Colour(g) << 8) | (Colour(b) << 16);
}
constexpr std::uint8_t Red(Colour c) { return std::uint8_t(c & 0xFF); }
constexpr std::uint8_t Green(Colour c) { return std::uint8_t((c >> 8) & 0xFF); }
constexpr std::uint8_t Blue(Colour c) { return std::uint8_t((c >> 16) & 0xFF); }

using LightingRecord = std::array<std::uint8_t, kRecordBytes>;
using ConfigBlock = std::array<std::uint8_t, kConfigBytes>;

// The current lighting values of the slot being edited.
struct LightingState {
  int effect = 0;
  int brightness = 0;
  int speed = 0;  // the keyboard's value, not the slider position
  int direction = 0;
  int effect17_colour = 0;
  int report_rate = 0;  // 0..3
  bool colourful = false;
  bool effect7_option = false;
  bool trigger_single = false;
  bool trigger_grid = false;
  Colour main_colour = 0;
  Colour colour_button1 = 0;
  Colour colour_button2 = 0;
  Colour second_colour = 0;
  bool second_colourful = false;
  Colour third_colour = 0;
  bool third_colourful = false;
  bool panel_open = false;
};

// Decodes a record into `state`, keeping the previous values where the
// record does not decide them (effect-7 option, trigger type, panel flag).
void DecodeLightingRecord(const LightingRecord& record, LightingState& state);

// The 35 leading bytes of the default record (effect 1, brightness 5,
// speed 2, direction 0, colourful, white; everything else 0).
std::array<std::uint8_t, 35> DefaultLightingBytes();

// One supported effect: its place in the selector and its number.
struct EffectEntry {
  int index = 0;
  int effect = 0;
};

// The n-th non-zero byte of bytes 12..43 becomes entry n.
std::vector<EffectEntry> BuildEffectList(const ConfigBlock& config);
// Effect 20 anywhere in bytes 12..43.
bool SupportsCustomColours(const ConfigBlock& config);

// List index of the first entry of the configuration block's effect list
// with `effect`, or -1.
int EffectListIndexOf(const ConfigBlock& config, int effect);

}  // namespace keyloom::lighting
