#pragma once
// A program started for a test: its arguments, its whole environment and
// what it reads on stdin are given; its output is read while it runs, line by
// line or whole; waits end at a time-out; a program still running when its
// ChildProcess goes away is killed.
//
//   ProcessStart start;
//   start.program = path;
//   start.args = {"serve"};
//   start.env = CurrentEnvironment();
//   ChildProcess server(start);
//   ASSERT_TRUE(server.WaitForLine("ready", 5s));
//   const RunResult r = RunProgram(start);  // runs a second one to its end
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace keyloom::testing_support {

struct ProcessStart {
  std::string program;
  std::vector<std::string> args;
  // The whole environment, NAME=VALUE.
  std::vector<std::string> env;
  // What the program reads on stdin, then end of file. With `terminal`,
  // stdin is a pseudo-terminal on which `input` is typed.
  std::string input;
  bool terminal = false;
  // Where stdout and stderr go (appended); empty: read by the ChildProcess.
  std::string output_file;
  std::string error_file;
};

// The environment of this process, NAME=VALUE.
std::vector<std::string> CurrentEnvironment();

class ChildProcess {
 public:
  explicit ChildProcess(const ProcessStart& start);
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env, const std::string& error_file = {})
      : ChildProcess(ProcessStart{program, args, env, {}, false, {}, error_file}) {}
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  // The program's process id (0 when it did not start).
  int pid() const { return pid_ > 0 ? static_cast<int>(pid_) : 0; }

  // Waits for a stdout line that equals `line`; lines read on the way are kept.
  bool WaitForLine(const std::string& line, std::chrono::milliseconds timeout);
  // The stdout lines so far (reads what is ready, waiting up to `settle` for more).
  const std::vector<std::string>& Lines(std::chrono::milliseconds settle = {});
  // Everything read so far from stdout and from stderr.
  const std::string& Output() const { return out_.text; }
  const std::string& Errors() const { return err_.text; }

  // The exit code once the program has ended: its status when it exited,
  // 128 + the signal when a signal ended it; empty on time-out.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
  // Ends the program: SIGTERM, then SIGKILL after `grace`. Its exit code.
  int Stop(std::chrono::milliseconds grace);

 private:
  struct Stream {
    int fd = -1;
    std::string text;
    std::size_t line_start = 0;  // of the part of `text` not yet split into lines
  };
  // Reads what arrives before the deadline; false when nothing more came.
  bool ReadSome(std::chrono::steady_clock::time_point deadline);
  void Reap(int wstatus);

  pid_t pid_ = -1;
  int terminal_ = -1;  // the pseudo-terminal's master side
  Stream out_;
  Stream err_;
  std::vector<std::string> lines_;
  std::size_t checked_ = 0;
  std::optional<int> exit_code_;
};

struct RunResult {
  int status = -1;  // exit status; 128 + signal when killed; -1 when it did not start
  std::string out;
  std::string err;
};

// Runs a program to its end, killed after `limit`.
RunResult RunProgram(const ProcessStart& start, std::chrono::milliseconds limit = std::chrono::seconds(30));

}  // namespace keyloom::testing_support
