#pragma once
// Filling the editing store from what the keyboard holds: the key maps of the
// three slots and the macro area become a profile file (the working file),
// which is then loaded.
#include <filesystem>
#include <system_error>

#include "profiles/keyboard_session.h"

namespace keyloom::profiles {

// The step of reading the keyboard into the working file that failed.
enum class ReloadStep {
  kNone = 0,
  kKeyboard = 1,   // the active slot is unknown or a keyboard read failed
  kNoFile = 2,     // there is no per-user data folder to hold the file
  kFileWrite = 3,  // the keyboard was read, the file could not be written
  kFileRead = 4,   // the file was written but did not load back
};
struct ReloadFailure {
  ReloadStep step = ReloadStep::kNone;
  std::error_code error;  // the system's reason of a file step
};

// Reads the three slots' key maps and the macro area of the session's
// keyboard and writes them as a profile (no pool, no trailer) to `path`. The file is replaced only after
// every read succeeded. 0 when the active slot is unknown, a read fails or
// the file cannot be written (which of them in `failure`); 1 otherwise. A
// macro area that does not decode gives a profile without macros.
int ReadProfileFromKeyboard(KeyboardSession& session, const std::filesystem::path& path,
                            ReloadFailure* failure = nullptr);

// Refills the editing store from the keyboard through the working file, or
// empties it (empty block, no macros, no strings) when the keyboard cannot
// be read; clears the main window's unapplied-changes flag, then tells the
// windows (KeyMapsChanged with the panel's table). Always 1.
int ReloadFromKeyboard(KeyboardSession& session);
// Whether the last reload filled the editing store from the keyboard (false
// when it had to empty it). Writing an emptied store back would wipe the
// keyboard's keys and macros.
bool LastReloadReadKeyboard(const KeyboardSession& session);
// Why the last reload did not fill the store (kNone when it did).
ReloadFailure LastReloadFailure(const KeyboardSession& session);

}  // namespace keyloom::profiles
