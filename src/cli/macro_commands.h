#pragma once
// keyloomctl macro list|show|add|delete|rename: the macro list edited through
// the same model as the key-setting dialog's, applied to the editing store and
// written to the keyboard at once.
#include <vector>

#include "cli/command_table.h"

namespace keyloom::cli {

std::vector<Command> MacroCommands();

}  // namespace keyloom::cli
