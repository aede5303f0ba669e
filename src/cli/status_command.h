#pragma once
// keyloomctl status: the connected keyboard, its active slot, macro capacity,
// supported effects, the active slot's lighting and report rate.
#include "cli/command_table.h"

namespace keyloom::cli {

Command StatusCommand();

}  // namespace keyloom::cli
