#pragma once
// keyloomctl profile export, import, validate and read: the keyboard's keys,
// macros and report rate backed up into a ".kyl" file and restored from one,
// a file checked before a restore, and a profile read straight from the
// keyboard.
#include <vector>

#include "cli/command_table.h"

namespace keyloom::cli {

std::vector<Command> ProfileCommands();

}  // namespace keyloom::cli
