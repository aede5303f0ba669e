#include "lighting/preview_overlays.h"

#include <algorithm>

#include "keys/key_catalogue.h"
#include "lighting/preview_tables.h"

namespace keyloom::lighting::preview {

KeyOverlayTable::KeyOverlayTable() {
  for (int id : keys::GKeyControlIds()) overlays_.push_back({id, 0, false});
  for (const keys::PanelOrderKey& key : keys::PanelOrderKeys()) overlays_.push_back({key.controlId, 0, false});
  overlays_.push_back({kFnKeyId, 0, false});
  std::sort(overlays_.begin(), overlays_.end(),
            [](const KeyOverlay& a, const KeyOverlay& b) { return a.id < b.id; });
}

const KeyOverlay* KeyOverlayTable::Find(int id) const {
  auto it = std::lower_bound(overlays_.begin(), overlays_.end(), id,
                             [](const KeyOverlay& o, int v) { return o.id < v; });
  return it != overlays_.end() && it->id == id ? &*it : nullptr;
}

void KeyOverlayTable::ShowKeyColour(int id, Colour colour) {
  if (auto* overlay = const_cast<KeyOverlay*>(Find(id))) {
    overlay->colour = colour;
    overlay->on = true;
  }
}

void KeyOverlayTable::ClearKeyColours() {
  for (KeyOverlay& o : overlays_) {
    o.colour = 0;
    o.on = false;
  }
}

}  // namespace keyloom::lighting::preview
