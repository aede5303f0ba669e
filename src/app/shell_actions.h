#pragma once
// The program's own uses of the shell: the companion program started at every
// start, and the help page.
#include <filesystem>
#include <functional>

#include "platform/shell.h"

namespace keyloom::app {

using ShellOpener = std::function<bool(const shell::OpenRequest&)>;

// Starts the companion program hidden, with no parameters and no working
// directory. A missing program is passed over; a failed start is ignored.
// The program never stops or signals the companion. Returns whether a start
// was asked of the shell.
bool StartCompanion(const std::filesystem::path& daemon_path, const ShellOpener& open);

// The help page request: "index.html" in `help_dir`, with the literal
// parameter text "NULL", working directory `help_dir`, shown normally.
shell::OpenRequest HelpRequest(const std::filesystem::path& help_dir);

// Opens the help page of Paths().HelpDir through the shell; the result is
// ignored.
void OpenHelp();

}  // namespace keyloom::app
