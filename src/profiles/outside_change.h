#pragma once
// The keyboard changed by another program while this one runs. keyloomctl,
// after a run that changed the keyboard, tells the running desktop utility
// through its instance socket (app::kKeyboardChangedMessage with the
// sender's process id); the instance posts it to the main window like every
// request it serves. What the window shows and edits is then stale: before
// anything is written back, it reads the keyboard again with
// ReloadAfterOutsideChange, so the tray program never writes an old copy
// over the other program's change.
#include "profiles/keyboard_session.h"

namespace keyloom::profiles {

// Reads the keyboard again, as after a connection, holding it against other
// programs for the whole read: the active slot (the other program may have
// switched it; the windows hear ActiveSlotChanged), the active slot's
// lighting and report rate (ReportRateChanged), and the keys and macros
// through the working profile (ReloadFromKeyboard: unapplied edits are
// dropped, the windows hear KeyMapsChanged). 1 when the keys and macros were
// read; 0 when they could not be (the editing store is then empty and must
// not be written back, as after any failed reload). Talks to the keyboard:
// not for the user-interface thread.
int ReloadAfterOutsideChange(KeyboardSession& session);

}  // namespace keyloom::profiles
