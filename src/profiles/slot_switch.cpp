#include "profiles/slot_switch.h"

#include "keys/text_source.h"
#include "platform/host.h"
#include "profiles/active_slot.h"
#include "profiles/data_folder.h"
#include "profiles/editing_lock.h"
#include "profiles/profile_file.h"
#include "profiles/profile_menu.h"
#include "profiles/profile_observer.h"

namespace keyloom::profiles {

namespace {

// Keeps a second switch, started while the question is open, from asking
// again. User-interface thread only.
bool g_promptGuard = false;

host::Answer Show(std::string_view key, host::Buttons buttons, host::Answer defaultButton) {
  host::MessageBoxRequest request;
  request.text = keys::LookUpText(key);
  request.buttons = buttons;
  request.default_button = defaultButton;
  return host::Ask(request);
}

}  // namespace

int SwitchProfileSlot(int slot) {
  if (slot >= kProfileSlotCount) slot = 0;
  ProfileObserver& observer = Observer();
  if (observer.CompositeDialogOpen()) {
    Show("PROFILE_SEELCT_PROMPT2", host::Buttons::Ok, host::Answer::Ok);
    return 0;
  }
  if (observer.ProfileManagerHasUnappliedChanges() || observer.MainWindowHasUnappliedChanges()) {
    if (!g_promptGuard) {
      g_promptGuard = true;
      if (Show("PROFILE_SELECT_PROMPT", host::Buttons::YesNo, host::Answer::No) == host::Answer::Yes) {
        observer.RunApply();
      } else {
        observer.SetMainWindowUnappliedChanges(false);
        if (CachedActiveSlot() != kUnknownSlot) {
          EditingLock lock;
          LoadProfileFile(WorkingProfilePath());
        }
      }
    }
    g_promptGuard = false;
    SelectSlotOnKeyboard(slot);
  } else {
    SelectSlotOnKeyboard(slot);
    if (slot >= 0 && observer.ProfileManagerOpen()) observer.ProfileManagerSelectSlot(slot);
  }
  ShowActiveTable(slot);
  RebuildProfileMenu(false);
  return 1;
}

void ShowActiveTable(int slot) {
  EditingLock lock;
  Observer().RefreshKeyPanel(PanelTable());
}

}  // namespace keyloom::profiles
