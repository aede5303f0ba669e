#pragma once
// The action list of `keyloomctl macro add --actions`, and the same form in
// macro show's output:
//   "KEY down 50, KEY up 0, ..."
// KEY as in keys set (a key code, KEY_xxx or a key name, which may hold
// spaces); down/up (or press/release); the pause after the action in
// milliseconds, 0..40000, kept in steps of 10 ms as the key-setting dialog
// keeps typed pauses (0 when left out).
#include <string>
#include <string_view>
#include <vector>

#include "keys/macro_editor.h"
#include "keys/macro_record.h"

namespace keyloom::cli {

inline constexpr std::uint32_t kMaxTypedPauseMs = keys::kMaxTypedPauseMs;

bool ParseMacroActions(std::string_view text, std::vector<keys::MacroAction>& actions, std::string& reason);

// The actions in the form above, key codes written as 0x01E.
std::string MacroActionsText(const std::vector<keys::MacroAction>& actions);

}  // namespace keyloom::cli
