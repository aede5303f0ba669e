#pragma once
// Changing the active slot from the program, with the pending-changes prompt,
// and showing the active slot's table on the key panel.
#include "profiles/keyboard_session.h"

namespace keyloom::profiles {

// Makes `slot` active (a slot of 3 or more means 0; -1 changes nothing on
// the keyboard and only refreshes the panel and the menu). Refused with
// "PROFILE_SEELCT_PROMPT2" and result 0 while the composite key-setting
// dialog is open (as the windows set it in the session). With unapplied
// changes in the main window or the profile manager it asks
// "PROFILE_SELECT_PROMPT" (Yes/No, default No) once: Yes runs the main
// window's Apply first, No drops them by reloading the working profile.
// Without changes, an open profile manager's unapplied flag is cleared (it
// checks the slot's row when the menu is rebuilt). Then the keyboard switches, the key panel
// shows the slot's table and the profile menu is rebuilt; result 1.
int SwitchProfileSlot(KeyboardSession& session, int slot);

// Shows the active slot's assignment table on the key panel (table 0 while
// the slot is unknown): KeyMapsChanged. Nothing is read from a file or the
// keyboard: the editing store holds every slot's table.
void ShowActiveTable(KeyboardSession& session, int slot);

// What keyloomctl's Apply does, and a main window's without edits of its
// own: with unapplied changes, under the editing lock, saves the working
// profile and writes the current slot's keys and the macros; both
// succeeding clears the main window's unapplied flag.
void ApplyPendingEdits(KeyboardSession& session);

}  // namespace keyloom::profiles
