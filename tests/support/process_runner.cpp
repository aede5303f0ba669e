#include "support/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace keyloom::testing_support {
namespace {

int ExitCode(int wstatus) { return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus); }

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// A file holding `bytes`, read from its start (never a terminal).
int InputFile(const std::string& bytes) {
  const int fd = ::memfd_create("stdin", MFD_CLOEXEC);
  if (fd < 0) return -1;
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      ::close(fd);
      return -1;
    }
    done += static_cast<std::size_t>(n);
  }
  ::lseek(fd, 0, SEEK_SET);
  return fd;
}

int AppendTo(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600); }

}  // namespace

std::vector<std::string> CurrentEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
  return env;
}

ChildProcess::ChildProcess(const ProcessStart& start) {
  // Everything the child needs is made before fork: after it, the child only
  // moves descriptors and executes.
  std::vector<std::string> argv_text{start.program};
  argv_text.insert(argv_text.end(), start.args.begin(), start.args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text = start.env;
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);

  int in = -1, out_write = -1, err_write = -1, terminal_side = -1;
  bool ok = true;
  if (start.terminal) {
    ok = ::openpty(&terminal_, &terminal_side, nullptr, nullptr, nullptr) == 0;
    if (ok) {
      ::fcntl(terminal_, F_SETFD, FD_CLOEXEC);
      ::fcntl(terminal_side, F_SETFD, FD_CLOEXEC);
      in = terminal_side;
    }
  } else {
    in = InputFile(start.input);
    ok = in >= 0;
  }
  auto output = [&ok](const std::string& file, Stream& stream, int& write_end) {
    if (!ok) return;
    if (!file.empty()) {
      write_end = AppendTo(file);
      ok = write_end >= 0;
      return;
    }
    int fds[2];
    ok = ::pipe2(fds, O_CLOEXEC) == 0;
    if (ok) {
      stream.fd = fds[0];
      write_end = fds[1];
    }
  };
  output(start.output_file, out_, out_write);
  output(start.error_file, err_, err_write);

  if (ok) {
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in, 0);
      ::dup2(out_write, 1);
      ::dup2(err_write, 2);
      ::execve(start.program.c_str(), argv.data(), envp.data());
      ::_exit(127);
    }
  }
  CloseFd(in);
  CloseFd(out_write);
  CloseFd(err_write);
  if (pid_ < 0) {
    pid_ = -1;
    CloseFd(out_.fd);
    CloseFd(err_.fd);
    CloseFd(terminal_);
    return;
  }
  if (terminal_ >= 0 && !start.input.empty()) {
    [[maybe_unused]] const ssize_t typed = ::write(terminal_, start.input.data(), start.input.size());
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !exit_code_) {
    ::kill(pid_, SIGKILL);
    int wstatus = 0;
    ::waitpid(pid_, &wstatus, 0);
  }
  CloseFd(out_.fd);
  CloseFd(err_.fd);
  CloseFd(terminal_);
}

bool ChildProcess::WaitForLine(const std::string& line, std::chrono::milliseconds timeout) {
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

const std::vector<std::string>& ChildProcess::Lines(std::chrono::milliseconds settle) {
  const auto deadline = std::chrono::steady_clock::now() + settle;
  while (ReadSome(deadline)) {
  }
  return lines_;
}

bool ChildProcess::ReadSome(std::chrono::steady_clock::time_point deadline) {
  pollfd fds[2];
  Stream* streams[2];
  nfds_t count = 0;
  for (Stream* s : {&out_, &err_}) {
    if (s->fd < 0) continue;
    fds[count] = {s->fd, POLLIN, 0};
    streams[count++] = s;
  }
  if (count == 0) return false;
  const auto now = std::chrono::steady_clock::now();
  const int wait_ms =
      now >= deadline ? 0 : int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count());
  if (::poll(fds, count, wait_ms) <= 0) return false;
  for (nfds_t i = 0; i < count; ++i) {
    if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    Stream& s = *streams[i];
    char buffer[4096];
    const ssize_t n = ::read(s.fd, buffer, sizeof buffer);
    if (n <= 0) {
      CloseFd(s.fd);
      continue;
    }
    s.text.append(buffer, std::size_t(n));
    if (&s != &out_) continue;
    std::size_t newline;
    while ((newline = s.text.find('\n', s.line_start)) != std::string::npos) {
      lines_.push_back(s.text.substr(s.line_start, newline - s.line_start));
      s.line_start = newline + 1;
    }
  }
  return true;
}

void ChildProcess::Reap(int wstatus) {
  exit_code_ = ExitCode(wstatus);
  // Whatever the program wrote before it ended.
  while (ReadSome(std::chrono::steady_clock::now())) {
  }
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
  if (exit_code_ || pid_ <= 0) return exit_code_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int wstatus = 0;
    const pid_t r = ::waitpid(pid_, &wstatus, WNOHANG);
    if (r == pid_) {
      Reap(wstatus);
      return exit_code_;
    }
    if (r < 0 || std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    // Reading meanwhile keeps a program that writes much from blocking.
    if (!ReadSome(std::chrono::steady_clock::now() + std::chrono::milliseconds(2))) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
}

int ChildProcess::Stop(std::chrono::milliseconds grace) {
  if (pid_ <= 0) return -1;
  if (!exit_code_) {
    ::kill(pid_, SIGTERM);
    if (!WaitForExit(grace)) {
      ::kill(pid_, SIGKILL);
      int wstatus = 0;
      ::waitpid(pid_, &wstatus, 0);
      Reap(wstatus);
    }
  }
  return *exit_code_;
}

RunResult RunProgram(const ProcessStart& start, std::chrono::milliseconds limit) {
  RunResult result;
  ChildProcess child(start);
  if (!child.started()) return result;
  std::optional<int> status = child.WaitForExit(limit);
  if (!status) status = child.Stop(std::chrono::milliseconds(0));
  result.status = *status;
  result.out = child.Output();
  result.err = child.Errors();
  return result;
}

}  // namespace keyloom::testing_support
