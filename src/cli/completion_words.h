#pragma once
// The words the shell's completion of keyloomctl offers, asked for with the
// option --completion-words (not in the help; the bash completion script
// calls it) so that the script never holds its own copy of them:
//   --completion-words commands         every command's name
//   --completion-words options WORD...  the options of the command WORD...
//   --completion-words keys             key names KEY of keys set takes
//   --completion-words sent-keys        key names key:KEY takes
//   --completion-words media            media function names of media:NAME
// One word per line (a word may hold spaces: "lighting set", "Caps Lock").
#include <string>
#include <vector>

#include "cli/command_table.h"

namespace keyloom::cli {

inline constexpr const char* kCompletionWordsOption = "--completion-words";

// `args` are the words after the option. Status 0, or 2 for an unknown list.
int PrintCompletionWords(const std::vector<std::string>& args, CommandIo& io);

}  // namespace keyloom::cli
