#pragma once
// The key-setting dialog: what a key of the on-screen keyboard, or a G key,
// does in the shown profile, and the macro editor. Four tabs (single key,
// macro, multimedia, function key), a clear button, the desktop's
// on-screen keyboard, OK / Apply / Cancel. The rules live in
// keys::KeyDialogModel; this is its view on the composite skin. One dialog
// is made per main window and reused for every opening.
#include <QElapsedTimer>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "keys/key_dialog_model.h"
#include "keys/macro_recorder.h"
#include "skin/base_dialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace keyloom::profiles {
struct KeyboardSession;
}
namespace keyloom::host {
class Prompter;
}
namespace keyloom::skin {
class CPngButton;
class CReportCtrl;
}  // namespace keyloom::skin

namespace keyloom::keys::ui {

// Control ids of the dialog.
namespace composite {
constexpr int kOk = 1, kCancel = 2, kApply = 1015, kKeyTab = 1028, kMacroTab = 1029, kMediaTab = 1030,
              kFunctionTab = 1031, kClear = 1032, kMask = 1033, kOsk = 1132, kTitle = 1131, kCaptured = 1127,
              kKeyboardBox = 1185, kKeyboardLabel = 1134, kMediaList = 1128, kFunctionList = 1129,
              kMacroList = 1126, kAddMacro = 1017, kDeleteMacro = 1018, kActions = 1019, kRecord = 1020,
              kDeleteAction = 1021, kClearActions = 1022, kTop = 1023, kUp = 1024, kDown = 1025, kBottom = 1026,
              kCycles = 1125, kCyclesLabel = 1130, kRecordDelays = 1027, kRecordDelaysLabel = 1133,
              kHint = 1201, kMacroLabel = 1200, kMediaLabel = 1202, kFunctionLabel = 1203, kKeyLabel = 1204;
}  // namespace composite

class Keyloom_DlgComposite final : public skin::CBaseDialog {
  Q_OBJECT
 public:
  struct Hooks {
    // The table the dialog edits (the shown profile).
    std::function<int()> table;
    // The screen rectangle of a key button, for the placement.
    std::function<std::optional<QRect>(int controlId)> button_rect;
    // After every Apply: redraw the keys, enable the main window's Apply.
    std::function<void()> applied;
    // Shows the clicked button pressed while the dialog is open.
    std::function<void(int controlId, bool pressed)> press_button;
  };

  Keyloom_DlgComposite(profiles::KeyboardSession& session, host::Prompter& prompter, Hooks hooks,
                       QWidget* parent);
  ~Keyloom_DlgComposite() override;

  // Opens the dialog for a key button: modal (returns its result), or
  // shown window-modal and returned at once with 1 (the main window's way:
  // its own event loop keeps running). -1 for a control that is no key
  // button, 0 while the dialog is already open.
  int OpenForButton(int controlId, bool modal = true);

  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  // Puts the macro list and the key's record into the editing store.
  void Apply();
  void ShowTab(KeyDialogTab tab);

  // 1 while open.
  int OpenCount() const { return open_count_; }
  const KeyDialogModel* Model() const { return model_.get(); }
  KeyDialogModel* Model() { return model_.get(); }
  QWidget* Control(int id) const;
  skin::CPngButton* Button(int id) const;
  skin::CReportCtrl& Actions() const { return *actions_; }
  // A click on a control as the user makes it.
  void Click(int id);
  // The key events the single-key tab takes (the keyboard is held while it
  // shows); also what tests send.
  bool TakeKeyEvent(QKeyEvent* event);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void BuildControls();
  skin::CPngButton* AddButton(int id, std::u16string_view layout_key, const QString& caption = {});
  QLabel* AddLabel(int id, std::u16string_view layout_key, const char* text_key);
  void Place(QWidget& widget, std::u16string_view layout_key);
  void LoadTabPictures();
  void ShowModel();
  void ShowCaptured();
  void FillMacroList();
  void FillActions();
  void MarkChanged();
  void HoldKeyboard(bool on);
  void EndEditing();
  void StartOnScreenKeyboard();
  // The record button: starts or stops recording typed keys into the macro.
  void StartStopRecording();
  void StopRecording();
  // What closing does either way: recording stopped, the keyboard let go,
  // the edit dropped and the key's button released.
  void CloseDown();
  bool RecordKeyEvent(KeyCode code, bool release, bool auto_repeat);
  void Message(const std::u16string& text);

  profiles::KeyboardSession& session_;
  host::Prompter& prompter_;
  Hooks hooks_;
  std::unique_ptr<KeyDialogModel> model_;
  MacroRecorder recorder_;
  QElapsedTimer clock_;
  int control_id_ = 0;
  int record_ = -1;
  int open_count_ = 0;
  bool built_ = false;
  bool holding_ = false;
  bool filling_ = false;
  std::map<int, QWidget*> controls_;
  std::map<int, skin::CPngButton*> buttons_;
  QLabel* mask_ = nullptr;
  QLabel* title_ = nullptr;
  QLineEdit* captured_ = nullptr;
  QCheckBox* keyboard_box_ = nullptr;
  QListWidget* media_ = nullptr;
  QListWidget* functions_ = nullptr;
  QComboBox* macro_list_ = nullptr;
  QLineEdit* cycles_ = nullptr;
  QCheckBox* record_delays_ = nullptr;
  skin::CReportCtrl* actions_ = nullptr;
  // The tab's pictures: normal, over, down, disabled.
  std::map<KeyDialogTab, std::array<QPixmap, 4>> pictures_;
  std::array<QPixmap, 4> macro_only_pictures_;
};

}  // namespace keyloom::keys::ui
