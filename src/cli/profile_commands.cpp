#include "cli/profile_commands.h"

#include <filesystem>
#include <system_error>

#include "cli/command_options.h"
#include "cli/editing_session.h"
#include "cli/json_text.h"
#include "cli/keyboard_session.h"
#include "cli/lighting_commands.h"
#include "cli/progress_line.h"
#include "keys/key_macro_store.h"
#include "lighting/lighting_state.h"
#include "profiles/active_slot.h"
#include "profiles/connection_handler.h"
#include "profiles/editing_lock.h"
#include "profiles/keyboard_profile.h"
#include "profiles/profile_file.h"
#include "profiles/profile_transfer.h"

namespace keyloom::cli {

namespace {

namespace fs = std::filesystem;
constexpr auto kConnectTimeout = std::chrono::seconds(3);

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

// What a loaded profile holds, for the summaries.
struct ProfileSummary {
  int macros = 0;
  std::uint32_t textBytes = 0;
  std::optional<std::uint32_t> reportRate;
  // A rate a file stores outside 0..3, which a restore does not apply.
  bool rateOutOfRange = false;
  // For a restore: the file stores no rate, or one out of range, and the
  // keyboard keeps this one.
  std::optional<std::uint32_t> keptRate;
  int assigned[profiles::kProfileSlotCount] = {};
};

constexpr std::uint32_t kHighestReportRate = 3;

// The rate a file's trailer stores (its low 16 bits), if any.
void TakeStoredRate(ProfileSummary& s, const std::optional<std::uint32_t>& trailer) {
  if (!trailer) return;
  s.reportRate = *trailer & 0xFFFF;
  s.rateOutOfRange = *s.reportRate > kHighestReportRate;
}

ProfileSummary Summarise(const keys::KeyTableBlock& block, std::size_t macros, std::uint32_t textBytes) {
  ProfileSummary s;
  s.macros = static_cast<int>(macros);
  s.textBytes = textBytes;
  for (int p = 0; p < profiles::kProfileSlotCount; ++p)
    for (const keys::KeyAssignment& r : block.tables[std::size_t(p)]) s.assigned[p] += r.kind != 0;
  return s;
}

void PrintSummary(std::ostream& out, const ProfileSummary& s) {
  out << "Macros:          " << s.macros << "\n"
      << "Texts:           " << s.textBytes << " bytes\n"
      << "Assigned keys:   slot 0: " << s.assigned[0] << ", slot 1: " << s.assigned[1]
      << ", slot 2: " << s.assigned[2] << "\n"
      << "Report rate:     ";
  if (s.reportRate)
    out << *s.reportRate;
  else
    out << "not stored";
  if (s.rateOutOfRange) out << " (out of range 0..3, not applied)";
  if (s.keptRate) out << "; the keyboard keeps " << *s.keptRate;
  out << "\n";
}

std::string SummaryJson(const fs::path& file, const ProfileSummary& s, bool valid) {
  return "{\"file\": " + JsonString(file.string()) + ", \"macros\": " + std::to_string(s.macros) +
         ", \"text_bytes\": " + std::to_string(s.textBytes) + ", \"assigned\": [" + std::to_string(s.assigned[0]) +
         ", " + std::to_string(s.assigned[1]) + ", " + std::to_string(s.assigned[2]) +
         "], \"report_rate\": " + (s.reportRate ? std::to_string(*s.reportRate) : "null") +
         (s.reportRate ? std::string(", \"report_rate_in_range\": ") + (s.rateOutOfRange ? "false" : "true") : "") +
         (s.keptRate ? ", \"report_rate_kept\": " + std::to_string(*s.keptRate) : "") +
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

ProfileSummary EditingStoreSummary(profiles::KeyboardSession& keyboard) {
  profiles::EditingLock lock(keyboard);
  const keys::KeyMacroStore& store = keyboard.stores.EditingStore;
  return Summarise(store.block, store.macros.size(), store.totalStringSize);
}

int RunExport(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "profile export";
  fs::path file;
  bool json = false;
  int status = kExitSuccess;
  if (!ParseFileArgument(kName, args, io, file, json, status)) return status;
  EditingSession session(io);
  if (!OpenWithLighting(session, io, status)) return status;
  if (profiles::ExportProfile(session.Keyboard(), file) != 1) return Failure(io, "could not write " + file.string());
  ProfileSummary summary = EditingStoreSummary(session.Keyboard());
  summary.reportRate = static_cast<std::uint32_t>(session.Keyboard().lighting.CurrentLighting.report_rate);
  return Report(io, json, file, summary,
                "Saved the keys of slots 0, 1 and 2, the macros and the report rate to " + file.string());
}

// The checks of profile validate: false with the reason a file cannot be
// restored; otherwise `loaded` holds it.
bool CheckProfileFile(host::Prompter& prompter, const fs::path& file, profiles::LoadedProfile& loaded,
                      std::string& reason) {
  std::error_code ec;
  if (!fs::exists(file, ec)) {
    reason = file.string() + " does not exist";
    return false;
  }
  // The check shows its own message for a badly formed header.
  const int result = profiles::ValidateProfileFile(file, prompter);
  if (result == -2) {
    reason = "cannot open " + file.string();
    return false;
  }
  if (result != 1) {
    const std::uintmax_t size = fs::file_size(file, ec);
    if (!ec && size < profiles::kProfileBlockBytes)
      reason = file.string() + " is too short for a profile (" + std::to_string(size) + " bytes)";
    else
      reason = file.string() + " is not a valid profile file";
    return false;
  }
  // The header is right; the rest must load too.
  if (!profiles::ReadProfileFile(file, loaded)) {
    reason = file.string() + " could not be read whole";
    return false;
  }
  return true;
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
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return InvalidFile(io, json, file, file.string() + " is not a file");
  profiles::LoadedProfile checked;
  std::string reason;
  if (!CheckProfileFile(Session(io).Prompter(), file, checked, reason)) return InvalidFile(io, json, file, reason);
  EditingSession session(io);
  if (!OpenWithLighting(session, io, status)) return status;
  // Loading the file sets the rate it stores, in range or not; the keyboard
  // only takes one in range.
  const int rate_before = session.Keyboard().lighting.CurrentLighting.report_rate;
  int written = 0;
  keys::WriteOutcome outcome;
  {
    ProgressLine progress(io.err, io.err_is_terminal, "Writing to the keyboard");
    if (profiles::ImportProfile(session.Keyboard(), file, &written, &outcome) != 1)
      return Failure(io, file.string() + " was not restored");
  }
  // The file is in the editing store and the working profile; the keyboard
  // is what matters to the user.
  if (written != 1 && outcome.sent)
    return Failure(io, "the keyboard did not take " + PartsNotWritten(outcome) + " from " + file.string());
  if (written != 1) return Failure(io, "the keyboard did not take the keys and macros of " + file.string());
  // The rate the file stores; when it stores none or one out of range, the
  // keyboard keeps its own.
  ProfileSummary summary = EditingStoreSummary(session.Keyboard());
  TakeStoredRate(summary, checked.trailer);
  if (!summary.reportRate || summary.rateOutOfRange)
    summary.keptRate = static_cast<std::uint32_t>(rate_before);
  return Report(io, json, file, summary,
                "Restored " + file.string() + " to the keyboard (all three slots and the macros).");
}

int RunValidate(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "profile validate";
  fs::path file;
  bool json = false;
  int status = kExitSuccess;
  if (!ParseFileArgument(kName, args, io, file, json, status)) return status;
  profiles::LoadedProfile loaded;
  std::string reason;
  if (!CheckProfileFile(Session(io).Prompter(), file, loaded, reason)) return InvalidFile(io, json, file, reason);
  ProfileSummary summary = Summarise(loaded.block, loaded.macros.size(), loaded.totalStringSize);
  TakeStoredRate(summary, loaded.trailer);
  return Report(io, json, file, summary, file.string() + " is a valid profile.", true);
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
  if (profiles::GetActiveSlot(keyboard) < 0) return Failure(io, "could not read the keyboard's active slot");
  int result = 0;
  {
    ProgressLine progress(io.err, io.err_is_terminal, "Reading the keyboard");
    result = profiles::ReadProfileFromKeyboard(keyboard, file);
    if (result != 1) progress.Fail();
  }
  if (result != 1) return Failure(io, "could not read the keyboard's key maps and macros into " + file.string());
  profiles::LoadedProfile loaded;
  if (!profiles::ReadProfileFile(file, loaded))
    return Failure(io, file.string() + " was written but does not read back");
  const ProfileSummary summary = Summarise(loaded.block, loaded.macros.size(), loaded.totalStringSize);
  return Report(io, json, file, summary,
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
