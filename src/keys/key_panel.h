#pragma once
// The on-screen keyboard as the main window shows it: every key button with
// its control id, key code, colour position and skin layout key, what a
// click on one does, and which of F1..F4 and D1..D6 the Flip setting
// enables. The window only draws the buttons and routes the clicks.
#include <string>
#include <vector>

#include "keys/key_catalogue.h"

namespace keyloom::keys {

enum class PanelButtonKind { Ordinary, GKey, Fn, DKey };

struct PanelButton {
  int controlId = 0;
  PanelButtonKind kind = PanelButtonKind::Ordinary;
  KeyCode code = 0;          // ordinary keys only
  int gNumber = 0;           // 1..9 for G keys
  int dNumber = 0;           // 1..6 for D keys
  int colourPosition = -1;   // -1: the button has no colour position (D keys)
  std::string layoutKey;     // "KEY_%03X", "FUNC_G%d", "KEY_FN"; empty for D keys
  bool startsEnabled = true; // G6..G9 and D1..D6 start disabled
};

inline constexpr int kFnControlId = 1174;
inline constexpr int kFnColourPosition = 110;
inline constexpr int kFirstDKeyControlId = 1016;  // D1..D6: 1016..1021
inline constexpr int kDKeyCount = 6;
inline constexpr int kEffectPerKeyColours = 20;

// The 105 ordinary keys in panel order, then G1..G9, Fn and D1..D6.
const std::vector<PanelButton>& PanelButtons();
// The button of a control id, or null.
const PanelButton* FindPanelButton(int controlId);

// What a click on a key button does.
enum class KeyClickAction { Nothing, OpenKeyDialog, PaintKey };
// G keys always open the key-setting dialog. With the lighting panel closed,
// ordinary keys and D keys open it and Fn does nothing. With the panel open,
// ordinary keys and Fn paint while the per-key colour effect is shown and do
// nothing otherwise; D keys never paint (they have no colour position, and a
// paint must not land on another key) and do nothing. Unknown ids: nothing.
KeyClickAction ActionOfKeyClick(int controlId, bool lightingPanelOpen, int shownEffect);

// The Flip setting (0 or 1): 0 enables F1..F4 and disables D1..D6, 1 the
// other way round. Whether the Flip setting decides the button at all, and
// if so whether it is enabled.
struct FlipState {
  bool decides = false;
  bool enabled = true;
};
FlipState FlipStateOf(int controlId, int flip);

}  // namespace keyloom::keys
