#pragma once
// The lighting panel of the main window: the lamp switch that opens and
// closes it, the effect selector, brightness and speed sliders, direction
// buttons, colour buttons and colourful switches, the colours of effect 17,
// the RGB boxes and, for effect 20, the custom colour layouts (layout
// selector, painting and base colour, tools). It is a view over the
// lighting editor and the key colour editor: every change is written to the
// keyboard at once by them, and the controls then show the session's
// lighting values. While the panel is open the on-screen keyboard paints
// key colours on a click and shows the animated preview of the effect.
//
// The controls are children of the main window, placed by its skin's
// layout keys; the panel itself is owned by the window.
#include <QColor>
#include <QObject>
#include <QPixmap>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lighting/key_colour_editor.h"
#include "lighting/lighting_editor.h"
#include "lighting/lighting_operations.h"
#include "lighting/preview_engine.h"
#include "lighting/preview_host.h"
#include "profiles/keyboard_session.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace keyloom::skin {
class CBaseDialog;
class CBitmapSlider;
class CSkinColorBtn;
}  // namespace keyloom::skin

namespace keyloom::mainwnd {
class KeyPanelView;
}

namespace keyloom::lighting::ui {

class PictureSwitch;

// Control ids of the panel in the main window.
namespace control {
constexpr int kLampLabel = 1171, kLamp = 1167, kEffectSelector = 1146, kBrightnessLabel = 1172, kBrightness = 1178,
              kSpeedLabel = 1166, kSpeed = 1179, kDirectionLabel = 1148, kDirectionFirst = 1149,
              kDirectionSecond = 1150, kGeneralLabel = 1154, kGeneralColour = 1155, kGeneralColourful = 1156,
              kGeneralColourfulLabel = 1173, kReactiveLabel = 1151, kReactiveColour = 1152,
              kReactiveColourful = 1175, kReactiveColourfulLabel = 1176, kEffect17Red = 1194,
              kPaintingLabel = 1159, kPaintingColour = 1160, kBaseLabel = 1161, kBaseColour = 1162,
              kToolLabel = 1163, kTool0 = 1164, kTool1 = 1165, kLayoutSelector = 1198, kRgbLabel = 1207,
              kRgbRed = 1208, kRgbGreen = 1209, kRgbBlue = 1210;
}  // namespace control

class LightingPanel final : public QObject, public LightingPanelObserver {
  Q_OBJECT
 public:
  // What the panel asks of its window.
  struct Hooks {
    // The keys show their assignments again (the panel closed).
    std::function<void()> refresh_captions;
    // The panel opened or closed: the window starts or stops the preview timer.
    std::function<void()> open_changed;
  };

  // Creates and places the controls (hidden until the first refresh) and
  // loads the panel's pictures. The panel becomes the session's lighting
  // observer for its lifetime.
  LightingPanel(skin::CBaseDialog& window, profiles::KeyboardSession& session, mainwnd::KeyPanelView& keys,
                Hooks hooks);
  ~LightingPanel() override;

  // Shows the session's lighting values (after every read of the keyboard).
  void Refresh();
  // The lamp switch: opens a closed panel, closes an open one.
  void ToggleLamp();
  // Open asks about pending key edits first (the slot switch) and stays
  // closed when that is refused. Both store the flag in the settings file.
  void Open();
  void Close();
  bool IsOpen() const { return session_.lighting.CurrentLighting.panel_open; }
  // The lighting part of the window's Default: effect 1 and the default
  // record, the slot's colour layouts from the template.
  void ApplyDefault();
  // Labels in the current language.
  void SetLabels();
  // Shows exactly the controls of `effect` (nothing but the lamp switch
  // when closed).
  void ApplyEffectVisibility(int effect, bool open);
  // One preview step (the window's 50 ms timer). Nothing while closed.
  void PreviewTick();
  // While the window's keyboard work runs (it reads and writes the same
  // lighting values) the controls take no input.
  void SetEnabled(bool on);

  // What the controls do; the tests drive them through the controls.
  void SelectEffectIndex(int index);
  void MoveBrightness(int position);
  void MoveSpeed(int position);
  void ChooseDirection(int direction);
  void ChooseColour(const QColor& colour, ColourGroup group);
  void ToggleColourful(ColourGroup group);
  void ChooseEffect17Colour(int colour);
  void EditRgbBox(int id);
  // A click on a key while the panel is open and effect 20 is shown.
  void PaintKey(int controlId);
  void ChooseBaseColour(const QColor& colour);
  void ChoosePaintingColour(const QColor& colour);
  void ChooseTool(int tool);
  void SelectLayout(int index);
  void RenameLayout(const QString& text);
  void ShowLayoutValues();
  void ShowKeyColours();
  void UpdateBaseMarks();

  // The control of `id`, or null.
  QWidget* Control(int id) const;
  QComboBox* EffectSelector() const { return effect_selector_; }
  QComboBox* LayoutSelector() const { return layout_selector_; }
  skin::CBitmapSlider* BrightnessSlider() const { return brightness_; }
  skin::CBitmapSlider* SpeedSlider() const { return speed_; }
  // The fields of the last lighting change, in the order sent.
  const LightingChange& LastChange() const { return last_change_; }
  const KeyColourEditor& KeyColours() const { return key_colours_; }
  preview::PreviewEngine& Preview() { return *preview_; }
  // The effect the selector shows (0: none).
  int ShownEffect() const;

  // LightingPanelObserver
  void RefillLayoutSelector(const std::vector<std::u16string>& names) override;
  void SetBaseColourMark(int slot, int position, int flag) override;
  void CloseLightingPanel() override { Close(); }
  int SwitchProfileSlot(int slot) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class KeySink;
  QLabel* AddLabel(int id, std::u16string_view layout_key);
  PictureSwitch* AddPicture(int id, std::u16string_view layout_key);
  skin::CSkinColorBtn* AddColourButton(int id, std::u16string_view layout_key);
  void Place(QWidget& control, std::u16string_view layout_key);
  void FitLabel(int id);
  const QPixmap& Picture(const QString& name);
  void ShowPicture(int id, const QString& name);
  void PlaceDirectionControls(int effect);
  void ShowDirectionPictures(int effect);
  void ShowColourfulSwitches(bool general, bool reactive);
  void ShowEffect17Colour(int colour);
  void ShowToolPictures(int tool);
  void ShowSliders();
  void ShowColourButtons();
  void FillEffectSelector();
  void FillLayoutSelector(const std::vector<std::u16string>& names);
  void SetVisible(std::initializer_list<int> ids, bool on);
  void Took(LightingChange change);
  bool SupportsLayouts() const;

  skin::CBaseDialog& window_;
  profiles::KeyboardSession& session_;
  mainwnd::KeyPanelView& keys_;
  Hooks hooks_;
  LightingEditor editor_;
  KeyColourEditor key_colours_;
  std::unique_ptr<KeySink> sink_;
  preview::SystemPreviewClock clock_;
  preview::LcgPreviewRandom random_;
  std::unique_ptr<preview::PreviewEngine> preview_;
  std::map<int, QWidget*> controls_;
  std::map<int, std::u16string> label_keys_;  // each label's layout key
  std::map<QString, QPixmap> pictures_;
  QComboBox* effect_selector_ = nullptr;
  QComboBox* layout_selector_ = nullptr;
  skin::CBitmapSlider* brightness_ = nullptr;
  skin::CBitmapSlider* speed_ = nullptr;
  LightingChange last_change_;
  bool filling_ = false;
};

}  // namespace keyloom::lighting::ui
