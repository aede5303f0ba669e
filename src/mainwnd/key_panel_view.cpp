#include "mainwnd/key_panel_view.h"

#include <QPainter>
#include <algorithm>
#include <QWidget>

#include "skin/png_button.h"
#include "skin/skin_layout.h"

namespace keyloom::mainwnd {

KeyPanelView::KeyPanelView(QWidget& window, const std::filesystem::path& skin_ini)
    : QObject(&window), window_(window) {
  for (const keys::PanelButton& key : keys::PanelButtons()) {
    auto* button = new skin::CPngButton(&window);
    button->setObjectName(QStringLiteral("key%1").arg(key.controlId));
    button->setFocusPolicy(Qt::NoFocus);
    if (key.layoutKey.empty()) {
      // D1..D6 have no place in the skin: a 1 x 1 button, off until Flip
      // enables it.
      button->setGeometry(1, 1, 1, 1);
      button->SetPictureOffset(1, 1);
    } else {
      const std::u16string layout_key(key.layoutKey.begin(), key.layoutKey.end());
      skin::PlaceImageButton(*button, skin_ini, u"BUTTONINFO", layout_key);
    }
    if (!key.startsEnabled) button->setEnabled(false);
    // A key's face is cut from the window's state pictures and covers the
    // whole button: the window behind it need not be painted first (the
    // preview repaints every key twenty times a second).
    button->setAttribute(Qt::WA_OpaquePaintEvent);
    const int id = key.controlId;
    button->SetDrawCallback([this, id](skin::CPngButton& b, QPainter& painter, bool) {
      const Overlay& overlay = overlays_[id];
      if (!overlay.on) return;
      QColor c = overlay.colour;
      c.setAlpha(std::clamp(overlay.strength, 0, 100) * 255 / 100);
      painter.fillRect(b.rect().adjusted(2, 2, -2, -2), c);
    });
    connect(button, &QAbstractButton::clicked, this, [this, id] { Click(id); });
    buttons_[id] = button;
  }
}

void KeyPanelView::SetActions(KeyButtonActions* actions, LightingQuery lighting) {
  actions_ = actions;
  lighting_ = std::move(lighting);
}

skin::CPngButton* KeyPanelView::Button(int controlId) const {
  auto it = buttons_.find(controlId);
  return it == buttons_.end() ? nullptr : it->second;
}

bool KeyPanelView::Assigned(int controlId) const {
  auto it = assigned_.find(controlId);
  return it != assigned_.end() && it->second;
}

void KeyPanelView::SetAssigned(int controlId, bool assigned) {
  skin::CPngButton* button = Button(controlId);
  if (!button) return;
  assigned_[controlId] = assigned;
  // An assigned key keeps the pressed face whatever the mouse does.
  button->SetToggleState(assigned, assigned, true);
}

void KeyPanelView::ShowPrompts(const std::vector<keys::ButtonPrompt>& prompts, int flip) {
  for (const keys::ButtonPrompt& prompt : prompts) {
    SetAssigned(prompt.controlId, prompt.assigned);
    if (skin::CPngButton* button = Button(prompt.controlId))
      button->SetTooltipText(QString::fromStdU16String(prompt.text), true);
  }
  ApplyFlip(flip);
}

void KeyPanelView::ApplyFlip(int flip) {
  for (auto& [id, button] : buttons_) {
    const keys::FlipState state = keys::FlipStateOf(id, flip);
    if (state.decides) button->setEnabled(state.enabled);
  }
}

void KeyPanelView::ClearKeyColours() {
  // The preview clears every tick for the effects it does not draw: keys
  // already clear are left alone, so nothing is repainted then.
  for (auto& [id, button] : buttons_) {
    Overlay& overlay = overlays_[id];
    const bool clear = !overlay.on && overlay.colour == QColor(Qt::black) && overlay.strength == Overlay{}.strength;
    if (clear && !Assigned(id)) continue;
    overlay = Overlay{};
    SetAssigned(id, false);
    Repaint(*button);
  }
}

void KeyPanelView::SetKeyColour(int controlId, QColor colour, int strength, bool on) {
  skin::CPngButton* button = Button(controlId);
  if (!button) return;
  Overlay& overlay = overlays_[controlId];
  if (overlay.on == on && overlay.strength == strength && overlay.colour == colour) return;
  overlay = Overlay{colour, strength, on};
  Repaint(*button);
}

void KeyPanelView::Repaint(skin::CPngButton& button) {
  if (batch_depth_ == 0) {
    button.update();
    return;
  }
  if (button.isVisible()) pending_ |= button.geometry();
}

void KeyPanelView::FlushRepaint() {
  if (pending_.isEmpty()) return;
  window_.update(pending_);
  pending_ = QRect();
}

std::optional<QColor> KeyPanelView::KeyColour(int controlId) const {
  auto it = overlays_.find(controlId);
  if (it == overlays_.end() || !it->second.on) return std::nullopt;
  return it->second.colour;
}

void KeyPanelView::Click(int controlId) {
  if (!actions_) return;
  const LightingView view = lighting_ ? lighting_() : LightingView{};
  switch (keys::ActionOfKeyClick(controlId, view.panelOpen, view.effect)) {
    case keys::KeyClickAction::OpenKeyDialog:
      actions_->EditKey(controlId);
      break;
    case keys::KeyClickAction::PaintKey:
      actions_->PaintKey(controlId);
      break;
    case keys::KeyClickAction::Nothing:
      break;
  }
}

}  // namespace keyloom::mainwnd
