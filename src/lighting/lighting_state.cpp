#include "lighting/lighting_state.h"

namespace keyloom::lighting {

namespace {
Colour ColourAt(const LightingRecord& r, int offset) {
  return MakeColour(r[offset], r[offset + 1], r[offset + 2]);
}
}  // namespace

void DecodeLightingRecord(const LightingRecord& r, LightingState& s) {
  s.effect = r[field::kEffect];
  s.brightness = r[field::kBrightness];
  s.speed = r[field::kSpeed];
  s.direction = r[field::kDirection];
  s.effect17_colour = r[field::kEffect17Colour];
  s.report_rate = r[field::kReportRate] > 3 ? 3 : r[field::kReportRate];
  s.colourful = r[field::kColourful] != 0;
  if (s.effect == 7 && r[field::kEffect7Option] <= 1) s.effect7_option = r[field::kEffect7Option] == 1;
  if (r[field::kTrigger] == 0) {
    s.trigger_single = true;
    s.trigger_grid = false;
  } else if (r[field::kTrigger] == 1) {
    s.trigger_single = false;
    s.trigger_grid = true;
  }
  s.main_colour = s.colour_button1 = s.colour_button2 = ColourAt(r, field::kMainColour);
  s.second_colour = ColourAt(r, field::kSecondColour);
  s.second_colourful = r[field::kSecondColourful] != 0;
  s.third_colour = ColourAt(r, field::kThirdColour);
  s.third_colourful = r[field::kThirdColourful] != 0;
}

std::array<std::uint8_t, 35> DefaultLightingBytes() {
  std::array<std::uint8_t, 35> b{};
  b[field::kEffect] = 1;
  b[field::kBrightness] = 5;
  b[field::kSpeed] = 2;
  b[field::kDirection] = 0;
  b[4] = b[5] = b[6] = b[7] = 255;
  return b;
}

std::vector<EffectEntry> BuildEffectList(const ConfigBlock& config) {
  std::vector<EffectEntry> list;
  for (int i = 0; i < kEffectListBytes; ++i) {
    const int e = config[kEffectListOffset + i];
    if (e != 0) list.push_back({int(list.size()), e});
  }
  return list;
}

bool SupportsCustomColours(const ConfigBlock& config) {
  for (int i = 0; i < kEffectListBytes; ++i)
    if (config[kEffectListOffset + i] == 20) return true;
  return false;
}

int EffectListIndexOf(const ConfigBlock& config, int effect) {
  for (const EffectEntry& e : BuildEffectList(config))
    if (e.effect == effect) return e.index;
  return -1;
}

}  // namespace keyloom::lighting
