#pragma once
// Filling the editing store from what the keyboard holds: the key maps of the
// three slots and the macro area become a profile file (the working file),
// which is then loaded.
#include <filesystem>

#include "profiles/keyboard_session.h"

namespace keyloom::profiles {

// Reads the three slots' key maps and the macro area of the session's
// keyboard and writes them as a profile (no pool, no trailer) to `path`. The file is replaced only after
// every read succeeded. 0 when the active slot is unknown, a read fails or
// the file cannot be written; 1 otherwise. A macro area that does not decode
// gives a profile without macros.
int ReadProfileFromKeyboard(KeyboardSession& session, const std::filesystem::path& path);

// Refills the editing store from the keyboard through the working file, or
// empties it (empty block, no macros, no strings) when the keyboard cannot
// be read; clears the main window's unapplied-changes flag, then tells the
// windows (KeyMapsChanged with the panel's table). Always 1.
int ReloadFromKeyboard(KeyboardSession& session);
// Whether the last reload filled the editing store from the keyboard (false
// when it had to empty it). Writing an emptied store back would wipe the
// keyboard's keys and macros.
bool LastReloadReadKeyboard(const KeyboardSession& session);

}  // namespace keyloom::profiles
