#pragma once
// keyloomctl keys, keys set and keys reset: the key assignments of one slot,
// edited in the editing store and written at once as the main window's
// Apply writes them.
#include <vector>

#include "cli/command_table.h"

namespace keyloom::cli {

std::vector<Command> KeysCommands();

}  // namespace keyloom::cli
