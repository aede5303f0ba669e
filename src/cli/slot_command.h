#pragma once
// keyloomctl slot: shows the keyboard's active slot, or makes another slot
// active the way the main window's slot buttons do.
#include "cli/command_table.h"

namespace keyloom::cli {

Command SlotCommand();

}  // namespace keyloom::cli
