#pragma once
// A program started for a test, with its own environment and its standard
// output read line by line.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace keyloom::testing_support {

class ChildProcess {
 public:
  // Standard error goes to `error_file` (inherited when empty).
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env, const std::string& error_file = {}) {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    if (!error_file.empty()) {
      posix_spawn_file_actions_addopen(&actions, 2, error_file.c_str(),
                                       O_WRONLY | O_CREAT | O_APPEND, 0600);
    }
    std::vector<std::string> argv_s{program};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_s) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_s = env;
    std::vector<char*> envp;
    for (auto& e : env_s) envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out_ = fds[0];
  }
  ~ChildProcess() {
    if (pid_ > 0 && !exit_code_) {
      kill(pid_, SIGKILL);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    if (out_ >= 0) close(out_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }

  // Waits for a line that equals `line`; lines read on the way are kept.
  bool WaitForLine(const std::string& line, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      for (std::size_t i = checked_; i < lines_.size(); ++i) {
        if (lines_[i] == line) {
          checked_ = i + 1;
          return true;
        }
      }
      if (!ReadSome(deadline)) return false;
    }
  }

  // Everything the program wrote so far (reads what is ready, waiting up to
  // `settle` for more).
  const std::vector<std::string>& Lines(std::chrono::milliseconds settle = {}) {
    const auto deadline = std::chrono::steady_clock::now() + settle;
    while (ReadSome(deadline)) {
    }
    return lines_;
  }

  // The exit code once the program has ended normally, empty on time-out or
  // when it was ended by a signal.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout) {
    if (exit_code_) return exit_code_;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      int status = 0;
      const pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - WTERMSIG(status);
        Lines();
        return exit_code_;
      }
      if (r < 0 || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      usleep(10000);
    }
  }

 private:
  // Reads what arrives before the deadline; false when nothing more came.
  bool ReadSome(std::chrono::steady_clock::time_point deadline) {
    if (out_ < 0) return false;
    const auto now = std::chrono::steady_clock::now();
    const int wait_ms =
        now >= deadline ? 0
                        : int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now)
                                  .count());
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, wait_ms) <= 0) return false;
    char buffer[4096];
    const ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) {
      close(out_);
      out_ = -1;
      return false;
    }
    partial_.append(buffer, std::size_t(n));
    std::size_t newline;
    while ((newline = partial_.find('\n')) != std::string::npos) {
      lines_.push_back(partial_.substr(0, newline));
      partial_.erase(0, newline + 1);
    }
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  std::string partial_;
  std::vector<std::string> lines_;
  std::size_t checked_ = 0;
  std::optional<int> exit_code_;
};

}  // namespace keyloom::testing_support
