#pragma once
// The main window's slot, default and reset commands as rules on the
// keyboard session: what the three slot buttons do, which of them shows
// pressed, what Default does to the keys, what follows a keyboard reset, and
// what the window releases when the program ends.
#include <vector>

#include "keys/key_prompts.h"
#include "profiles/keyboard_session.h"

namespace keyloom::profiles {

struct SlotButtonOutcome {
  // ReadLightingFromKeyboard's result for the slot (-1: the keyboard could
  // not be read; the lighting values stay as they were).
  int lightingRead = 0;
  // The keyboard switched to the slot (SwitchProfileSlot succeeded); false
  // when it was the active slot already or the switch was refused.
  bool switched = false;
};
// Slot button `slot` (0..2): the lighting panel edits that slot from now
// on and re-reads its lighting from the keyboard; with per-key colours its
// selected layout is loaded and sent. Then, unless the slot is active
// already, the keyboard switches to it (with the pending-changes question).
SlotButtonOutcome PressSlotButton(KeyboardSession& session, int slot);

// The slot whose button shows pressed: the keyboard's active slot, which
// the lighting panel then edits; -1 (nothing changes) while it is unknown.
int SyncSlotButtons(KeyboardSession& session);

// Default's key part: the active slot's 105 keys and nine G keys lose
// their assignments and the main window has unapplied changes. The buttons'
// new prompts; empty (nothing changed) while the active slot is unknown.
std::vector<keys::ButtonPrompt> ResetActiveSlotKeys(KeyboardSession& session);

// The keyboard reported a reset of its lighting: the user colour files are
// seeded again and the lighting re-read. The slot button 0 follows (the
// caller presses it, so the window shows it).
void AfterKeyboardReset(KeyboardSession& session);

// The end of the program: no unapplied changes, and both stores emptied
// under their locks.
void ReleaseStores(KeyboardSession& session);

}  // namespace keyloom::profiles
