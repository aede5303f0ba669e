#include "profiles/slot_switch.h"

#include "keys/keyboard_writer.h"
#include "keys/text_source.h"
#include "platform/host.h"
#include "profiles/active_slot.h"
#include "profiles/data_folder.h"
#include "profiles/editing_lock.h"
#include "profiles/profile_file.h"
#include "profiles/profile_menu.h"

namespace keyloom::profiles {

namespace {

host::Answer Show(KeyboardSession& session, std::string_view key, host::Buttons buttons, host::Answer defaultButton) {
  host::MessageBoxRequest request;
  request.text = keys::LookUpText(key);
  request.buttons = buttons;
  request.default_button = defaultButton;
  return session.Prompter().Ask(request);
}

}  // namespace

int SwitchProfileSlot(KeyboardSession& session, int slot) {
  if (slot >= kProfileSlotCount) slot = 0;
  WindowState& windows = session.windows;
  if (windows.CompositeDialogOpen.load()) {
    Show(session, "PROFILE_SEELCT_PROMPT2", host::Buttons::Ok, host::Answer::Ok);
    return 0;
  }
  if (windows.ProfileManagerHasUnappliedChanges.load() || windows.MainWindowHasUnappliedChanges.load()) {
    bool& promptGuard = session.profiles.SlotPromptOpen;
    if (!promptGuard) {
      promptGuard = true;
      if (Show(session, "PROFILE_SELECT_PROMPT", host::Buttons::YesNo, host::Answer::No) == host::Answer::Yes) {
        if (windows.RunApply) windows.RunApply();
      } else {
        windows.MainWindowHasUnappliedChanges.store(false);
        if (CachedActiveSlot(session) != kUnknownSlot) {
          EditingLock lock(session);
          LoadProfileFile(session, WorkingProfilePath());
        }
      }
    }
    promptGuard = false;
    SelectSlotOnKeyboard(session, slot);
  } else {
    SelectSlotOnKeyboard(session, slot);
    if (slot >= 0 && windows.ProfileManagerOpen.load()) windows.ProfileManagerHasUnappliedChanges.store(false);
  }
  ShowActiveTable(session, slot);
  RebuildProfileMenu(session, false);
  return 1;
}

void ShowActiveTable(KeyboardSession& session, int slot) { session.Sink().KeyMapsChanged(PanelTable(session)); }

void ApplyPendingEdits(KeyboardSession& session) {
  if (!session.windows.MainWindowHasUnappliedChanges.load()) return;
  EditingLock lock(session);
  if (SaveWorkingProfileLocked(session) == 1 &&
      keys::WriteKeysAndMacros(session.link, session.stores, session.Prompter(), false) == 1)
    session.windows.MainWindowHasUnappliedChanges.store(false);
}

}  // namespace keyloom::profiles
