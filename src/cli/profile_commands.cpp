#include "cli/profile_commands.h"

#include "platform/atomic_file.h"

#include <filesystem>

#include "cli/command_options.h"
#include "cli/editing_session.h"
#include "cli/json_text.h"
#include "cli/keyboard_session.h"
#include "cli/lighting_commands.h"
#include "cli/progress_line.h"
#include "keys/key_macro_store.h"
#include "lighting/lighting_state.h"
#include "platform/shared_folder.h"
#include "profiles/active_slot.h"
#include "profiles/connection_handler.h"
#include "profiles/editing_lock.h"
#include "profiles/keyboard_profile.h"
#include "profiles/profile_editor.h"
#include "profiles/profile_file.h"
#include "profiles/profile_transfer.h"

namespace keyloom::cli {

namespace {

namespace fs = std::filesystem;

// Parses "[--json] FILE"; false after writing the usage error.
bool ParseFileArgument(std::string_view name, const std::vector<std::string>& args, CommandIo& io,
                       fs::path& file, bool& json, int& status) {
  ParsedOptions options;
  std::string reason;
  if (!ParseCommandOptions(args, {"--json"}, {}, options, reason)) {
    status = UsageError(io, name, reason);
    return false;
  }
  if (options.positional.size() != 1) {
    status = UsageError(io, name,
                        options.positional.empty() ? "give the profile file"
                                                   : "unknown argument '" + options.positional[1] + "'");
    return false;
  }
  file = options.positional.front();
  json = options.Has("--json");
  return true;
}

using profiles::ProfileSummary;

void PrintSummary(std::ostream& out, const ProfileSummary& s) {
  out << "Macros:          " << s.macros << "\n"
      << "Texts:           " << s.text_bytes << " bytes\n"
      << "Assigned keys:   slot 0: " << s.assigned[0] << ", slot 1: " << s.assigned[1]
      << ", slot 2: " << s.assigned[2] << "\n"
      << "Report rate:     ";
  if (s.report_rate)
    out << *s.report_rate;
  else
    out << "not stored";
  if (s.rate_out_of_range) out << " (out of range 0..3, not applied)";
  if (s.kept_rate) out << "; the keyboard keeps " << *s.kept_rate;
  out << "\n";
}

std::string SummaryJson(const fs::path& file, const ProfileSummary& s, bool valid) {
  return "{\"file\": " + JsonString(file.string()) + ", \"macros\": " + std::to_string(s.macros) +
         ", \"text_bytes\": " + std::to_string(s.text_bytes) + ", \"assigned\": [" + std::to_string(s.assigned[0]) +
         ", " + std::to_string(s.assigned[1]) + ", " + std::to_string(s.assigned[2]) +
         "], \"report_rate\": " + (s.report_rate ? std::to_string(*s.report_rate) : "null") +
         (s.report_rate ? std::string(", \"report_rate_in_range\": ") + (s.rate_out_of_range ? "false" : "true")
                        : "") +
         (s.kept_rate ? ", \"report_rate_kept\": " + std::to_string(*s.kept_rate) : "") +
         (valid ? ", \"valid\": true}" : "}");
}

// What a command did: the headline and the summary, or one JSON object
// (with "valid": true for a checked file).
int Report(CommandIo& io, bool json, const fs::path& file, const ProfileSummary& s, const std::string& headline,
           bool valid = false) {
  if (json) {
    io.out << SummaryJson(file, s, valid) << "\n";
    return kExitSuccess;
  }
  io.out << headline << "\n";
  PrintSummary(io.out, s);
  return kExitSuccess;
}


// Opens the editing session and reads the active slot's lighting, whose
// report-rate index is the one a backup stores and a restore changes.
bool OpenWithLighting(EditingSession& session, CommandIo& io, int& status) {
  std::string reason;
  if (!session.Open(reason) || !ReadActiveLighting(session.Keyboard(), reason)) {
    status = Failure(io, reason);
    return false;
  }
  return true;
}

int RunExport(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "profile export";
  fs::path file;
  bool json = false;
  int status = kExitSuccess;
  if (!ParseFileArgument(kName, args, io, file, json, status)) return status;
  EditingSession session(io);
  if (!OpenWithLighting(session, io, status)) return status;
  const profiles::ProfileExport exported = profiles::ProfileEditor(session.Keyboard()).Export(file);
  if (!exported.written && platform::IsForeignLinkInSharedFolder(file))
    return Failure(io, "did not write " + file.string() +
                           ": it is a link another user made in a shared folder, and writing through it could "
                           "overwrite any file of yours");
  if (!exported.written) return Failure(io, WriteFailure("", file));
  return Report(io, json, file, exported.summary,
                "Saved the keys of slots 0, 1 and 2, the macros and the report rate to " + file.string());
}

// Why a file cannot be restored.
std::string CheckReason(const profiles::ProfileCheck& check, const fs::path& file) {
  using Outcome = profiles::ProfileCheck::Outcome;
  switch (check.outcome) {
    case Outcome::kValid:
      break;
    case Outcome::kMissing:
      return file.string() + " does not exist";
    case Outcome::kNotAFile:
      return file.string() + " is not a file";
    case Outcome::kCannotOpen:
      return "cannot open " + file.string();
    case Outcome::kTooShort:
      return file.string() + " is too short for a profile (" + std::to_string(check.size) + " bytes)";
    case Outcome::kBadFormat:
      return file.string() + " is not a valid profile file";
    case Outcome::kUnreadable:
      return file.string() + " could not be read whole";
  }
  return {};
}

// A file that cannot be restored: the reason, also as JSON when asked.
int InvalidFile(CommandIo& io, bool json, const fs::path& file, const std::string& reason) {
  if (json)
    io.out << "{\"file\": " << JsonString(file.string()) << ", \"valid\": false, \"reason\": " << JsonString(reason)
           << "}\n";
  return Failure(io, reason);
}

int RunImport(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "profile import";
  fs::path file;
  bool json = false;
  int status = kExitSuccess;
  if (!ParseFileArgument(kName, args, io, file, json, status)) return status;
  profiles::LoadedProfile checked;
  const profiles::ProfileCheck check = profiles::ProfileEditor(Session(io)).Check(file, checked, true);
  if (!check.Ok()) return InvalidFile(io, json, file, CheckReason(check, file));
  EditingSession session(io);
  if (!OpenWithLighting(session, io, status)) return status;
  profiles::ProfileRestore restored;
  {
    ProgressLine progress(io.err, io.err_is_terminal, "Writing to the keyboard");
    restored = profiles::ProfileEditor(session.Keyboard()).Restore(file, checked);
    if (restored.outcome == profiles::ProfileRestore::Outcome::kNotLoaded)
      return Failure(io, file.string() + " was not restored");
  }
  // The file is in the editing store and the working profile; the keyboard
  // is what matters to the user.
  if (!restored.Ok() && restored.write.sent)
    return Failure(io, "the keyboard did not take " + PartsNotWritten(restored.write) + " from " + file.string());
  if (!restored.Ok()) return Failure(io, "the keyboard did not take the keys and macros of " + file.string());
  return Report(io, json, file, restored.summary,
                "Restored " + file.string() + " to the keyboard (all three slots and the macros).");
}

int RunValidate(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "profile validate";
  fs::path file;
  bool json = false;
  int status = kExitSuccess;
  if (!ParseFileArgument(kName, args, io, file, json, status)) return status;
  profiles::LoadedProfile loaded;
  const profiles::ProfileCheck check = profiles::ProfileEditor(Session(io)).Check(file, loaded);
  if (!check.Ok()) return InvalidFile(io, json, file, CheckReason(check, file));
  return Report(io, json, file, profiles::SummariseProfile(loaded), file.string() + " is a valid profile.", true);
}

int RunRead(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "profile read";
  fs::path file;
  bool json = false;
  int status = kExitSuccess;
  if (!ParseFileArgument(kName, args, io, file, json, status)) return status;
  // The connection handler takes the keyboard's own key map as the
  // reference the key maps are read against.
  profiles::KeyboardSession& keyboard = Session(io);
  profiles::ForgetActiveSlot(keyboard);
  KeyboardConnection connection(keyboard.link);
  std::string reason;
  if (!ConnectAndReadKeyboard(keyboard, connection, reason)) return Failure(io, reason);
  using Read = profiles::ProfileRead::Outcome;
  profiles::ProfileRead read;
  {
    ProgressLine progress(io.err, io.err_is_terminal, "Reading the keyboard");
    read = profiles::ProfileEditor(keyboard).ReadKeyboard(file);
    if (read.outcome != Read::kRead && read.outcome != Read::kNoReadBack) progress.Fail();
  }
  switch (read.outcome) {
    case Read::kRead:
      break;
    case Read::kNoActiveSlot:
      return Failure(io, "could not read the keyboard's active slot");
    case Read::kReadFailed:
      return Failure(io, "could not read the keyboard's key maps and macros into " + file.string());
    case Read::kWriteFailed:
      return Failure(io, "could not write " + file.string() + ": " + platform::FileErrorText(read.error));
    case Read::kNoReadBack:
      return Failure(io, file.string() + " was written but does not read back");
  }
  return Report(io, json, file, read.summary,
                "Wrote the keyboard's key maps of slots 0, 1 and 2 and its macros to " + file.string());
}

}  // namespace

std::vector<Command> ProfileCommands() {
  std::vector<Command> list;
  {
    Command c;
    c.name = "profile export";
    c.summary = "Back the keys, macros and report rate up into a .kyl file";
    c.usage = "keyloomctl profile export FILE [--json]";
    c.help =
        "Reads the keys and macros from the keyboard (as every start does) and writes\n"
        "them, with the active slot's report rate, to FILE. An existing FILE is\n"
        "replaced as a whole.\n"
        "\nOptions:\n"
        "  --json   what was saved, as one JSON object\n";
    c.run = RunExport;
    list.push_back(std::move(c));
  }
  {
    Command c;
    c.name = "profile import";
    c.summary = "Restore a .kyl file to the keyboard";
    c.usage = "keyloomctl profile import FILE [--json]";
    c.help =
        "Checks FILE, loads it as the working profile, sets the report rate it stores\n"
        "and writes the key maps of all three slots and the macros to the keyboard.\n"
        "A file that fails the check changes nothing.\n"
        "\nOptions:\n"
        "  --json   what was restored, as one JSON object\n";
    c.run = RunImport;
    list.push_back(std::move(c));
  }
  {
    Command c;
    c.name = "profile validate";
    c.summary = "Check that a file is a profile that can be restored";
    c.usage = "keyloomctl profile validate FILE [--json]";
    c.help =
        "Checks FILE's header as a restore does, then reads it whole, and shows what it\n"
        "holds. Needs no keyboard. Exit status 0 when it is valid, 1 when not.\n"
        "\nOptions:\n"
        "  --json   the result as one JSON object (\"valid\": true or false)\n";
    c.run = RunValidate;
    list.push_back(std::move(c));
  }
  {
    Command c;
    c.name = "profile read";
    c.summary = "Read the keyboard's key maps and macros into a profile file";
    c.usage = "keyloomctl profile read FILE [--json]";
    c.help =
        "Reads the key maps of the three slots and the macros from the keyboard and\n"
        "writes them to FILE as a profile. Texts and the report rate are not kept on\n"
        "the keyboard, so the file has neither. FILE is only replaced after every\n"
        "read succeeded.\n"
        "\nOptions:\n"
        "  --json   what was read, as one JSON object\n";
    c.run = RunRead;
    list.push_back(std::move(c));
  }
  return list;
}

}  // namespace keyloom::cli
