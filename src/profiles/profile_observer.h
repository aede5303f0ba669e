#pragma once
// What the profile operations need of the windows: the key panel, the main
// window's unapplied-changes flag and Apply command, the profile manager and
// composite key-setting dialogs, the profile caption and the report-rate
// buttons. The GUI implements it with its windows, keyloomctl its own way,
// tests with recording fakes. Every member has a default for "no window".
#include <string>

namespace keyloom::profiles {

struct ProfileMenuModel;

class ProfileObserver {
 public:
  virtual ~ProfileObserver() = default;

  // Key panel: show the prompts of assignment table `table` (0..2) of the
  // editing store. Called with the editing store's lock held.
  virtual void RefreshKeyPanel(int table) {}

  // Main window.
  virtual bool MainWindowHasUnappliedChanges() { return false; }
  virtual void SetMainWindowUnappliedChanges(bool unapplied) {}
  // Runs the main window's Apply command (control 1006) and returns when it
  // has finished.
  virtual void RunApply() {}
  // Hides the main window. Called on the connection monitor's thread.
  virtual void HideMainWindow() {}
  // The profile button's caption and tooltip and the menu's checked item.
  virtual void ShowProfileMenu(const ProfileMenuModel& menu) {}
  // The report-rate buttons show index 0..3 as chosen.
  virtual void ShowReportRate(int index) {}

  // Dialogs.
  virtual bool CompositeDialogOpen() { return false; }
  virtual bool ProfileManagerOpen() { return false; }
  virtual bool ProfileManagerHasUnappliedChanges() { return false; }
  // Checks the slot's row in the profile manager's list and clears its
  // unapplied-changes flag.
  virtual void ProfileManagerSelectSlot(int slot) {}
};

// Installs the observer process-wide (not owning; nullptr removes it).
void SetProfileObserver(ProfileObserver* observer);
// The installed observer, or one that does nothing.
ProfileObserver& Observer();

}  // namespace keyloom::profiles
