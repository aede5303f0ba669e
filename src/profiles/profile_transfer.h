#pragma once
// Backing the editing store up into a ".kyl" file and restoring one, with the
// file chosen by the caller (the GUI's file dialogs, keyloomctl's argument).
#include <filesystem>

#include "keys/keyboard_writer.h"
#include "profiles/keyboard_session.h"

namespace keyloom::profiles {

// The file dialogs' default extension and filter.
inline constexpr char16_t kProfileExtension[] = u"kyl";
inline constexpr char16_t kProfileFilter[] = u"(*.kyl)|*.kyl|(*.*)|*.*||";

// Restores `path` into the session's editing store and keyboard: the file is
// validated (on failure "MAIN_PROMPT_INPORT" follows the validator's own
// message and nothing changes); under the lock it is loaded, the report-rate
// setting is applied as its button does, the working profile saved, all
// slots and the macros written to the keyboard; then the main window's
// unapplied-changes flag is cleared, or set when the keyboard did not take
// all of it, and, the lock released, the windows hear ReportRateChanged and
// KeyMapsChanged. 1 when the file was restored, 0 when it was refused.
// `keyboardResult`, when given, gets the keyboard writer's result (0 also
// when the file was refused), and `outcome` its steps.
int ImportProfile(KeyboardSession& session, const std::filesystem::path& path, int* keyboardResult = nullptr,
                  keys::WriteOutcome* outcome = nullptr);

// Writes the editing store and the report-rate setting to `path` under the
// lock; 1 or 0, no message either way.
int ExportProfile(KeyboardSession& session, const std::filesystem::path& path);

// The report-rate button `index` (0..3): the setting becomes the index, byte
// 15 of the edited slot's lighting record is written and the windows hear
// ReportRateChanged. Other indexes do nothing.
void ApplyReportRate(KeyboardSession& session, int index);

}  // namespace keyloom::profiles
