#include "keys/key_panel.h"

namespace keyloom::keys {
namespace {

constexpr int kF1ControlId = 1010;  // F1..F4: 1010..1013
constexpr int kFlipKeyCount = 4;

std::vector<PanelButton> BuildButtons() {
  std::vector<PanelButton> buttons;
  buttons.reserve(kPanelKeyButtonCount + kGKeyCount + 1 + kDKeyCount);
  for (const PanelOrderKey& key : PanelOrderKeys()) {
    PanelButton button;
    button.controlId = key.controlId;
    button.kind = PanelButtonKind::Ordinary;
    button.code = key.code;
    button.colourPosition = key.colourPosition;
    button.layoutKey = PanelKeySkinName(key.code);
    buttons.push_back(std::move(button));
  }
  const auto g_ids = GKeyControlIds();
  for (int i = 0; i < kGKeyCount; ++i) {
    PanelButton button;
    button.controlId = g_ids[i];
    button.kind = PanelButtonKind::GKey;
    button.gNumber = i + 1;
    button.colourPosition = kGKeyColourPosition;
    button.layoutKey = GKeySkinName(i + 1);
    button.startsEnabled = i < 5;
    buttons.push_back(std::move(button));
  }
  PanelButton fn;
  fn.controlId = kFnControlId;
  fn.kind = PanelButtonKind::Fn;
  fn.colourPosition = kFnColourPosition;
  fn.layoutKey = "KEY_FN";
  buttons.push_back(std::move(fn));
  for (int i = 0; i < kDKeyCount; ++i) {
    PanelButton button;
    button.controlId = kFirstDKeyControlId + i;
    button.kind = PanelButtonKind::DKey;
    button.dNumber = i + 1;
    button.startsEnabled = false;
    buttons.push_back(std::move(button));
  }
  return buttons;
}

}  // namespace

const std::vector<PanelButton>& PanelButtons() {
  static const std::vector<PanelButton> buttons = BuildButtons();
  return buttons;
}

const PanelButton* FindPanelButton(int controlId) {
  for (const PanelButton& button : PanelButtons()) {
    if (button.controlId == controlId) return &button;
  }
  return nullptr;
}

KeyClickAction ActionOfKeyClick(int controlId, bool lightingPanelOpen, int shownEffect) {
  const PanelButton* button = FindPanelButton(controlId);
  if (!button) return KeyClickAction::Nothing;
  const bool painting = lightingPanelOpen && shownEffect == kEffectPerKeyColours;
  switch (button->kind) {
    case PanelButtonKind::GKey:
      return KeyClickAction::OpenKeyDialog;
    case PanelButtonKind::Fn:
      return painting ? KeyClickAction::PaintKey : KeyClickAction::Nothing;
    case PanelButtonKind::DKey:
      return lightingPanelOpen ? KeyClickAction::Nothing : KeyClickAction::OpenKeyDialog;
    case PanelButtonKind::Ordinary:
      if (!lightingPanelOpen) return KeyClickAction::OpenKeyDialog;
      return painting ? KeyClickAction::PaintKey : KeyClickAction::Nothing;
  }
  return KeyClickAction::Nothing;
}

FlipState FlipStateOf(int controlId, int flip) {
  if (controlId >= kF1ControlId && controlId < kF1ControlId + kFlipKeyCount) return {true, flip == 0};
  if (controlId >= kFirstDKeyControlId && controlId < kFirstDKeyControlId + kDKeyCount) return {true, flip == 1};
  return {};
}

}  // namespace keyloom::keys
