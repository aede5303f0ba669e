#include "cli/command_table.h"

#include "platform/atomic_file.h"
#include "platform/registry.h"

#include <algorithm>
#include <optional>
#include <thread>

#include "app/version.h"
#include "cli/apply_command.h"
#include "cli/completion_words.h"
#include "cli/keys_commands.h"
#include "cli/lighting_commands.h"
#include "cli/lighting_preview_command.h"
#include "cli/macro_commands.h"
#include "cli/profile_commands.h"
#include "cli/slot_command.h"
#include "cli/status_command.h"
#include "cli/terminal_prompter.h"
#include "profiles/keyboard_session.h"

namespace keyloom::cli {

namespace {

constexpr std::string_view kProgram = "keyloomctl";

std::vector<std::string> Words(const std::string& name) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = name.find(' ', start);
    words.push_back(name.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return words;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

void PrintCommandList(std::ostream& os, const std::string& prefix) {
  os << "Usage: " << kProgram << " <command> [options]\n\n"
     << "Configure the Tarn-60 Gaming Keyboard from the command line.\n\nCommands:\n";
  std::size_t width = 0;
  for (const Command& c : Commands())
    if (c.name.rfind(prefix, 0) == 0) width = std::max(width, c.name.size());
  for (const Command& c : Commands()) {
    if (c.name.rfind(prefix, 0) != 0) continue;
    os << "  " << c.name << std::string(width - c.name.size() + 2, ' ') << c.summary << "\n";
  }
  os << "\nOptions for every command:\n"
     << "  --virtual-keyboard[=SOCKET]  talk to the virtual keyboard of keyloom-vkbd\n"
     << "                               (as KEYLOOM_HID=virtual[:SOCKET] does)\n"
     << "  --yes, --no                  answer every question with yes or no (without\n"
     << "                               them a question is asked on the terminal, where\n"
     << "                               no is the default, and answered no when there is\n"
     << "                               no terminal)\n"
     << "\nRun '" << kProgram << " <command> --help' for a command's options, '" << kProgram
     << " --version' for the version.\n";
}

void PrintCommandHelp(std::ostream& os, const Command& c) {
  os << "Usage: " << c.usage << "\n\n" << c.summary << "\n";
  if (!c.help.empty()) os << "\n" << c.help;
  if (!c.help.empty() && c.help.back() != '\n') os << "\n";
}

}  // namespace

void CommandIo::WaitUntil(std::chrono::steady_clock::time_point t) const {
  if (wait_until)
    wait_until(t);
  else
    std::this_thread::sleep_until(t);
}

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = [] {
    std::vector<Command> list;
    list.push_back(StatusCommand());
    for (Command& c : LightingCommands()) list.push_back(std::move(c));
    list.push_back(LightingPreviewCommand());
    for (Command& c : KeysCommands()) list.push_back(std::move(c));
    for (Command& c : MacroCommands()) list.push_back(std::move(c));
    list.push_back(ApplyCommand());
    list.push_back(SlotCommand());
    for (Command& c : ProfileCommands()) list.push_back(std::move(c));
    return list;
  }();
  return commands;
}

int UsageError(CommandIo& io, std::string_view command, std::string_view reason) {
  io.err << kProgram << ": " << reason << "\n";
  io.err << "Try '" << kProgram << (command.empty() ? "" : " ") << command << " --help'.\n";
  return kExitUsage;
}

profiles::KeyboardSession& Session(CommandIo& io) { return *io.session; }

int Failure(CommandIo& io, std::string_view reason) {
  io.err << kProgram << ": " << reason << "\n";
  return kExitFailure;
}

std::string WriteFailure(std::string_view what, const std::filesystem::path& file) {
  std::error_code error;
  (void)platform::CanReplaceFile(file, error);
  return "could not write " + std::string(what) + file.string() + ": " + platform::FileErrorText(error);
}

int RunCli(const std::vector<std::string>& all_args, CommandIo& io) {
  // The shell's completion asks for its words; no keyboard is involved.
  if (!all_args.empty() && all_args[0] == kCompletionWordsOption)
    return PrintCompletionWords(std::vector<std::string>(all_args.begin() + 1, all_args.end()), io);
  // --yes and --no may stand anywhere.
  std::vector<std::string> args;
  PromptAnswers answers = PromptAnswers::FromTerminal;
  for (const std::string& a : all_args) {
    const PromptAnswers given = a == "--yes" ? PromptAnswers::Yes
                                : a == "--no" ? PromptAnswers::No
                                              : PromptAnswers::FromTerminal;
    if (given == PromptAnswers::FromTerminal) {
      args.push_back(a);
      continue;
    }
    if (answers != PromptAnswers::FromTerminal && answers != given)
      return UsageError(io, "", "--yes and --no cannot both be given");
    answers = given;
  }
  TerminalPrompter prompter(io.err, io.in, io.in_is_terminal, answers);
  std::optional<profiles::KeyboardSession> own;
  profiles::KeyboardSession* const given = io.session;
  if (!given) io.session = &own.emplace();
  profiles::KeyboardSession& session = *io.session;
  host::Prompter* const previousPrompter = &session.Prompter();
  session.SetPrompter(&prompter);
  struct Restore {
    CommandIo& io;
    profiles::KeyboardSession* given;
    host::Prompter* prompter;
    ~Restore() {
      io.session->SetPrompter(prompter);
      io.session = given;
    }
  } restore{io, given, previousPrompter};

  if (args.empty()) {
    PrintCommandList(io.err, "");
    return kExitUsage;
  }
  if (IsHelp(args[0]) || args[0] == "help") {
    PrintCommandList(io.out, "");
    return kExitSuccess;
  }
  if (args[0] == "--version") {
    io.out << app::VersionLine(kProgram) << "\n";
    return kExitSuccess;
  }

  // The command whose name matches the most leading words.
  const Command* best = nullptr;
  std::size_t best_words = 0;
  for (const Command& c : Commands()) {
    const std::vector<std::string> words = Words(c.name);
    if (words.size() > args.size()) continue;
    if (std::equal(words.begin(), words.end(), args.begin()) && words.size() > best_words) {
      best = &c;
      best_words = words.size();
    }
  }
  if (!best) {
    // A group word ("lighting") lists its commands.
    std::string group;
    for (const std::string& a : args) {
      if (a.rfind("-", 0) == 0) break;
      const std::string candidate = group.empty() ? a : group + " " + a;
      const bool known = std::any_of(Commands().begin(), Commands().end(), [&](const Command& c) {
        return c.name.rfind(candidate + " ", 0) == 0;
      });
      if (!known) break;
      group = candidate;
    }
    if (!group.empty()) {
      const std::size_t used = std::count(group.begin(), group.end(), ' ') + 1;
      const bool help = used < args.size() && IsHelp(args[used]);
      if (used < args.size() && !help && args[used].rfind("-", 0) != 0)
        io.err << kProgram << ": unknown command '" << group << " " << args[used] << "'\n\n";
      PrintCommandList(help ? io.out : io.err, group + " ");
      return help ? kExitSuccess : kExitUsage;
    }
    return UsageError(io, "", "unknown command '" + args[0] + "'");
  }

  const std::vector<std::string> rest(args.begin() + std::ptrdiff_t(best_words), args.end());
  if (std::any_of(rest.begin(), rest.end(), IsHelp)) {
    PrintCommandHelp(io.out, *best);
    return kExitSuccess;
  }
  (void)registry::TakeNotices();  // from an earlier command run in this process
  const int status = best->run(rest, io);
  // What the stores did to damaged files on the way is told once.
  for (const std::string& notice : registry::TakeNotices()) io.err << kProgram << ": " << notice << "\n";
  return status;
}

}  // namespace keyloom::cli
