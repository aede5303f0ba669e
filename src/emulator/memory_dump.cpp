#include "emulator/memory_dump.h"

#include "emulator/state_file.h"

namespace keyloom::emulator {
namespace {

std::string Hex(const std::vector<std::uint8_t>& v, std::size_t from = 0, std::size_t n = std::string::npos) {
  if (from > v.size()) from = v.size();
  if (n > v.size() - from) n = v.size() - from;
  return "\"" + ToHex(v.data() + from, n) + "\"";
}

std::string EffectList(const Memories& m) {
  std::string s = "[";
  bool first = true;
  for (std::size_t i = kConfigEffects; i < m.config.size(); ++i) {
    if (m.config[i] == 0) continue;
    if (!first) s += ", ";
    s += std::to_string(m.config[i]);
    first = false;
  }
  return s + "]";
}

}  // namespace

std::string DumpJson(const ModelInfo& model, std::uint32_t capacity, bool plugged, const Memories& m) {
  std::string s = "{\"model\": \"" + ModelName(model) + "\"";
  s += ", \"capacity\": " + std::to_string(capacity);
  s += std::string(", \"plugged\": ") + (plugged ? "true" : "false");
  s += ", \"active_slot\": " + std::to_string(m.config.size() > kConfigActiveSlot ? m.config[kConfigActiveSlot] : 0);
  s += ", \"effects\": " + EffectList(m);
  s += ", \"config\": " + Hex(m.config);
  s += ", \"lighting\": " + Hex(m.lighting);
  s += ", \"key_colours\": " + Hex(m.keyColours);
  s += ", \"layers\": [";
  for (std::size_t p = 0; p < kSlotCount; ++p) {
    if (p) s += ", ";
    s += Hex(m.layers, p * model.layerStride, model.layerBytes);
  }
  s += "]";
  s += ", \"macro_area\": " + Hex(m.macroArea);
  s += ", \"factory_map\": " + Hex(m.factoryMap);
  s += "}\n";
  return s;
}

std::string DumpText(const ModelInfo& model, std::uint32_t capacity, bool plugged, const Memories& m) {
  std::string s = "model        " + ModelName(model) + (plugged ? " (plugged)\n" : " (unplugged)\n");
  s += "active slot  " + std::to_string(m.config[kConfigActiveSlot]) + "\n";
  s += "macro area   " + std::to_string(capacity) + " bytes, ";
  const bool macros = m.macroArea.size() >= 6 && m.macroArea[0] == 0xAA && m.macroArea[1] == 0x55;
  s += macros ? std::to_string(m.macroArea[4] | (m.macroArea[5] << 8)) + " macros\n" : "empty\n";
  s += "effects      " + EffectList(m) + "\n";
  for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
    const std::size_t r = slot * kLightingRecordBytes;
    s += "lighting " + std::to_string(slot) + "   effect " + std::to_string(m.lighting[r]) + ", brightness " +
         std::to_string(m.lighting[r + 1]) + ", speed " + std::to_string(m.lighting[r + 2]) + "\n";
  }
  return s;
}

}  // namespace keyloom::emulator
