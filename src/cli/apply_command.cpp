#include "cli/apply_command.h"

#include "cli/command_options.h"
#include "cli/editing_session.h"

namespace keyloom::cli {

namespace {

int RunApply(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "apply";
  ParsedOptions options;
  std::string reason;
  if (!ParseCommandOptions(args, {"--all"}, {}, options, reason)) return UsageError(io, kName, reason);
  if (!options.positional.empty())
    return UsageError(io, kName, "unknown argument '" + options.positional.front() + "'");
  EditingSession session(io);
  if (!session.Open(reason)) return Failure(io, reason);
  const bool all = options.Has("--all");
  if (!session.Apply(all, -1, reason)) return Failure(io, reason);
  if (all)
    io.out << "Wrote the key maps of slots 0, 1 and 2 and the macros to the keyboard.\n";
  else
    io.out << "Wrote the key map of slot " << session.ActiveSlot() << " and the macros to the keyboard.\n";
  return kExitSuccess;
}

}  // namespace

Command ApplyCommand() {
  Command c;
  c.name = "apply";
  c.summary = "Save the working profile and write the keys and macros to the keyboard";
  c.usage = "keyloomctl apply [--all]";
  c.help =
      "Reads the keys and macros from the keyboard (as every start does), saves them as\n"
      "the working profile and writes the macros and the active slot's key map back.\n"
      "keys and macro edits do this by themselves.\n"
      "\nOptions:\n"
      "  --all   write the key maps of all three slots\n";
  c.run = RunApply;
  return c;
}

}  // namespace keyloom::cli
