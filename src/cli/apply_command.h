#pragma once
// keyloomctl apply: saves the working profile and writes the keys and macros
// to the keyboard, as the main window's Apply does.
#include "cli/command_table.h"

namespace keyloom::cli {

Command ApplyCommand();

}  // namespace keyloom::cli
