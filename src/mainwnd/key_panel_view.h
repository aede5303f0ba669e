#pragma once
// The on-screen keyboard of the main window: one image button per key of
// the panel model, placed by its skin layout key, pressed while its key has
// an assignment in the shown slot, with the key's prompt as tooltip and an
// optional colour overlay (the lighting preview and per-key colours draw
// with it). A click goes to the key actions: the key-setting dialog edits
// the key, the per-key colours paint it; which of the two (or nothing)
// follows from the panel model.
#include <QColor>
#include <QObject>
#include <QPixmap>
#include <QRect>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "keys/key_panel.h"
#include "keys/key_prompts.h"

class QWidget;

namespace keyloom::skin {
class CPngButton;
}

namespace keyloom::mainwnd {

// What the window offers for a key click. The key-setting dialog handles
// EditKey, the per-key colours PaintKey.
class KeyButtonActions {
 public:
  virtual ~KeyButtonActions() = default;
  virtual void EditKey(int controlId) = 0;
  virtual void PaintKey(int controlId) = 0;
};

class KeyPanelView final : public QObject {
  Q_OBJECT
 public:
  // The buttons become children of `window`, placed; the window gives them
  // their faces (CPngButton::SetFace), the pressed face as the toggle-on
  // face that an assigned key shows.
  KeyPanelView(QWidget& window, const std::filesystem::path& skin_ini);

  // Where clicks go (not owning; null: nothing happens). `state` tells the
  // panel whether the lighting panel is open and which effect it shows.
  struct LightingView {
    bool panelOpen = false;
    int effect = 0;
  };
  using LightingQuery = std::function<LightingView()>;
  void SetActions(KeyButtonActions* actions, LightingQuery lighting);

  // Pressed look and tooltip of each button from the prompts (G keys and
  // the 105 keys), then the Flip setting on F1..F4 and D1..D6.
  void ShowPrompts(const std::vector<keys::ButtonPrompt>& prompts, int flip);
  void ApplyFlip(int flip);
  // Every key released, its overlay black, strength 50, off.
  void ClearKeyColours();
  // The overlay of one button (the lighting preview, per-key colours).
  void SetKeyColour(int controlId, QColor colour, int strength, bool on);
  // While one is alive, overlay changes are repainted together when the last
  // one ends: one repaint of the keys' area for a whole preview frame
  // instead of one per key (each costs the window's bookkeeping over all
  // its children).
  class RepaintBatch {
   public:
    explicit RepaintBatch(KeyPanelView& view) : view_(view) { ++view_.batch_depth_; }
    ~RepaintBatch() {
      if (--view_.batch_depth_ == 0) view_.FlushRepaint();
    }
    RepaintBatch(const RepaintBatch&) = delete;
    RepaintBatch& operator=(const RepaintBatch&) = delete;

   private:
    KeyPanelView& view_;
  };
  // The overlay colour a key shows, or nothing while its overlay is off.
  std::optional<QColor> KeyColour(int controlId) const;

  skin::CPngButton* Button(int controlId) const;
  const std::map<int, skin::CPngButton*>& Buttons() const { return buttons_; }
  bool Assigned(int controlId) const;

  // A click on the key's button, as the button's own click does.
  void Click(int controlId);

 private:
  struct Overlay {
    QColor colour = Qt::black;
    int strength = 50;
    bool on = false;
  };
  void SetAssigned(int controlId, bool assigned);
  // Repaints a button now, or when the open batch ends.
  void Repaint(skin::CPngButton& button);
  void FlushRepaint();

  QWidget& window_;
  int batch_depth_ = 0;
  QRect pending_;  // what the open batch repaints, in the window's coordinates
  std::map<int, skin::CPngButton*> buttons_;
  std::map<int, bool> assigned_;
  std::map<int, Overlay> overlays_;
  KeyButtonActions* actions_ = nullptr;
  LightingQuery lighting_;
};

}  // namespace keyloom::mainwnd
