#pragma once
// The lighting side of a keyboard session: the slot being edited, the
// keyboard's configuration block and lighting records as last read, the
// decoded values of the edited slot, the per-key colour table, the custom
// colour layouts' working values and where the user's lighting files are.
// Used on the user-interface thread only.
#include <array>
#include <vector>

#include "lighting/lighting_state.h"
#include "lighting/user_colour_files.h"

namespace keyloom::lighting {

class LightingPanelObserver;

struct LightingSession {
  int LightingSlot = 0;                  // 0..2
  ConfigBlock ConfigBlockCopy{};         // the last configuration block read
  std::array<LightingRecord, kSlotCount> LightingRecords{};
  LightingState CurrentLighting{};       // LightingState of LightingSlot
  KeyColourTable KeyColours{};
  CustomColourState CustomColours{};
  LightingPaths paths;
  // The lighting panel while it exists (not owning; null: none).
  LightingPanelObserver* panel = nullptr;

  // The effect list of the configuration block copy.
  std::vector<EffectEntry> EffectList() const { return BuildEffectList(ConfigBlockCopy); }
};

}  // namespace keyloom::lighting
