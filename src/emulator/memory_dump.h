#pragma once
// The keyboard's memories as one JSON object (ctl dump --json), and a short
// text summary (ctl dump).
//   {"model": "0c45:7672", "capacity": 8192, "plugged": true,
//    "active_slot": 0, "effects": [1, 2, ...],
//    "config": hex, "lighting": hex, "key_colours": hex,
//    "layers": [hex, hex, hex], "macro_area": hex, "factory_map": hex}
// Bytes are lowercase hex strings; each layer holds LayerBytes bytes.
#include <string>

#include "emulator/firmware_model.h"

namespace keyloom::emulator {

std::string DumpJson(const ModelInfo& model, std::uint32_t capacity, bool plugged, const Memories& memories);
std::string DumpText(const ModelInfo& model, std::uint32_t capacity, bool plugged, const Memories& memories);

}  // namespace keyloom::emulator
