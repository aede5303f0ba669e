#pragma once
// Changing the active slot from the program, with the pending-changes prompt,
// and showing the active slot's table on the key panel.
namespace keyloom::profiles {

// Makes `slot` active (a slot of 3 or more means 0; -1 changes nothing on
// the keyboard and only refreshes the panel and the menu). Refused with
// "PROFILE_SEELCT_PROMPT2" and result 0 while the composite key-setting
// dialog is open. With unapplied changes in the main window or the profile
// manager it asks "PROFILE_SELECT_PROMPT" (Yes/No, default No) once: Yes
// applies them first, No drops them by reloading the working profile. Then
// the keyboard switches, the key panel shows the slot's table and the
// profile menu is rebuilt; result 1.
int SwitchProfileSlot(int slot);

// Shows the active slot's assignment table on the key panel (table 0 while
// the slot is unknown), under the editing store's lock. Nothing is read from
// a file or the keyboard: the editing store holds every slot's table.
void ShowActiveTable(int slot);

}  // namespace keyloom::profiles
