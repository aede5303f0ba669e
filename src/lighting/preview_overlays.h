#pragma once
// The colour overlays of every key button of the on-screen keyboard (the
// nine macro keys, the 105 ordinary keys and Fn), as a preview tick leaves
// them. Stands in for the key buttons where nothing is drawn on screen.
#include <vector>

#include "lighting/preview_engine.h"

namespace keyloom::lighting::preview {

struct KeyOverlay {
  int id = 0;
  Colour colour = 0;
  bool on = false;
};

class KeyOverlayTable final : public KeyOverlaySink {
 public:
  KeyOverlayTable();  // every button black, overlay off

  void ShowKeyColour(int id, Colour colour) override;  // unknown ids are ignored
  void ClearKeyColours() override;

  // In ascending control id.
  const std::vector<KeyOverlay>& Overlays() const { return overlays_; }
  // The overlay of button `id`, or nullptr when there is no such button.
  const KeyOverlay* Find(int id) const;

 private:
  std::vector<KeyOverlay> overlays_;
};

}  // namespace keyloom::lighting::preview
