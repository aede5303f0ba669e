#pragma once
// keyloomctl's commands: a table of commands with their help texts and a
// dispatcher that finds the command named on the command line.
//
// Exit status of every command: 0 success, 1 failure (one line on stderr
// says why), 2 bad usage.
#include <atomic>
#include <chrono>
#include <functional>
#include <istream>
#include <ostream>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace keyloom::profiles {
class KeyboardSession;
}

namespace keyloom::cli {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// What a command works with; tests replace the streams, the stop flag and
// the waiting.
struct CommandIo {
  CommandIo(std::ostream& out_stream, std::ostream& err_stream) : out(out_stream), err(err_stream) {}

  std::ostream& out;
  std::ostream& err;
  // Set (from a signal handler) when the user asks a running command to stop.
  const std::atomic<bool>* stop = nullptr;
  // Waits until the given time; the default sleeps.
  std::function<void(std::chrono::steady_clock::time_point)> wait_until;
  // Whether standard output is a terminal (drawing commands may check it).
  bool out_is_terminal = false;
  // Where questions are answered (null: nowhere), and whether a person sits
  // there; whether standard error is a terminal (progress lines).
  std::istream* in = nullptr;
  bool in_is_terminal = false;
  bool err_is_terminal = false;
  // The keyboard session the command works on; RunCli builds one (with the
  // terminal as its prompter) when none is given.
  profiles::KeyboardSession* session = nullptr;

  bool StopRequested() const { return stop && stop->load(); }
  void WaitUntil(std::chrono::steady_clock::time_point t) const;
};

using CommandHandler = std::function<int(const std::vector<std::string>& args, CommandIo& io)>;

struct Command {
  std::string name;     // words separated by one space: "lighting preview"
  std::string summary;  // one line for the command list
  std::string usage;    // "keyloomctl lighting preview [--effect N] ..."
  std::string help;     // the options, one per line
  CommandHandler run;
};

// Every command of keyloomctl, in the order of the command list.
const std::vector<Command>& Commands();

// The command's keyboard session (io.session).
profiles::KeyboardSession& Session(CommandIo& io);

// Runs keyloomctl with `args` (without the program name) and returns the
// exit status.
int RunCli(const std::vector<std::string>& args, CommandIo& io);

// Writes "keyloomctl: <reason>" and a hint to the command's help; returns 2.
int UsageError(CommandIo& io, std::string_view command, std::string_view reason);
// Writes "keyloomctl: <reason>"; returns 1.
int Failure(CommandIo& io, std::string_view reason);
// "could not write FILE: why" for a file a command failed to replace, the
// reason found by checking the file and its folder ("unknown error" when
// they look fine, as after a full disk).
std::string WriteFailure(std::string_view what, const std::filesystem::path& file);

}  // namespace keyloom::cli
