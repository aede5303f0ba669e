#pragma once
// The Flip setting of the main window ("Flip" in section "PROFILES" of the
// settings store): which of F1..F4 (0) or D1..D6 (1) the on-screen keyboard
// offers.
namespace keyloom::app {

// 0 or 1; a missing, unreadable or other value reads as 0.
int ReadFlipSetting();
// Stores the inverted setting (0 becomes 1, anything else 0) and returns it.
// The setting returned is the one in effect even when the store cannot be
// written.
int ToggleFlipSetting();

}  // namespace keyloom::app
