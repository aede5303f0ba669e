#pragma once
// The profile manager: the skinned dialog of Profile.ini over the profile
// list (profile_list.h). It shows the keyboard's three slots and the
// remembered profile files, lets the user check one row, add an empty
// profile file, load an existing one into the list and delete file rows.
// Apply stores the list and acts on the checked row: a slot becomes
// active, a file is loaded into the active slot. The keyboard work runs
// through the main window's busy work, off this thread.
//
// The main window owns one instance and opens it modally; the dialog
// follows the active slot while it is open (SyncActiveSlot).
#include <QPixmap>
#include <QString>

#include <functional>
#include <map>

#include "profiles/keyboard_session.h"
#include "profiles/profile_list.h"
#include "skin/base_dialog.h"

namespace keyloom::skin {
class CPngButton;
class CReportCtrl;
}  // namespace keyloom::skin

namespace keyloom::profiles::ui {

namespace control {
constexpr int kOk = 1, kCancel = 2, kList = 1007, kLoad = 1008, kAdd = 1010, kDelete = 1011, kApply = 1012;
}  // namespace control

inline constexpr int kProfileDialogTemplate = 131;

class CKeyloom_DlgProfile final : public skin::CBaseDialog {
  Q_OBJECT
 public:
  // What the dialog asks of its owner.
  struct Hooks {
    // Runs `work` off the user-interface thread and `finished` on it
    // afterwards; false when other work runs (nothing is started).
    std::function<bool(std::function<int()> work, std::function<void(int)> finished)> run_busy;
    // A file chosen by the user: `save` for a save dialog, `initial` the
    // proposed name, `filter` the filter. Empty when cancelled.
    std::function<QString(bool save, const QString& initial)> choose_file;
    // After Apply's keyboard work (result of ApplyProfileRow).
    std::function<void(int)> applied;
  };

  CKeyloom_DlgProfile(KeyboardSession& session, Hooks hooks, QWidget* parent = nullptr);
  ~CKeyloom_DlgProfile() override;

  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

  void OnAdd();
  void OnLoad();
  void OnDelete();
  // Stores the list and runs the checked row's work; `then` follows when
  // it has finished (at once when the work could not start).
  void OnApply(std::function<void()> then = {});
  void OnHelp();
  void SetModified(bool on);
  // Closes the dialog as Cancel does when it is open. Returns 1.
  int CloseIfOpen();
  // The active slot changed while the dialog is open: its row is checked
  // and the dialog has nothing left to apply.
  void SyncActiveSlot(int slot);

  bool IsOpen() const { return open_count_ > 0; }
  bool Modified() const { return modified_ != 0; }
  bool Applying() const { return applying_; }
  const ProfileList& List() const { return list_; }
  skin::CReportCtrl& ListControl() { return *list_ctrl_; }
  skin::CPngButton* Button(int id) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FillList();
  void ShowRow(int row);
  void ShowCheck();
  void CheckChanged(int row);
  void AppendChosen(const QString& path, bool create);
  void Close(bool ok);
  void SetButtonsEnabled(bool on);

  KeyboardSession& session_;
  Hooks hooks_;
  ProfileList list_;
  skin::CReportCtrl* list_ctrl_ = nullptr;
  std::map<int, skin::CPngButton*> buttons_;
  int modified_ = 0;
  int open_count_ = 0;
  bool applying_ = false;
  bool showing_check_ = false;
  bool controls_made_ = false;
};

}  // namespace keyloom::profiles::ui
