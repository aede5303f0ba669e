#include "platform/shell.h"

#include "platform/text.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace keyloom::shell {
namespace {

std::mutex g_mutex;
Recorder g_recorder;

constexpr const char* kKeyboards[] = {"onboard",     "florence",      "matchbox-keyboard", "kvkbd",
                                      "squeekboard", "wvkbd-mobintl", "xvkbd"};

bool IsExecutableFile(const std::filesystem::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

// "scheme:rest" with a scheme of two or more letters (so "C:" is no address).
bool IsAddress(const std::string& s) {
  const auto colon = s.find(':');
  if (colon == std::string::npos || colon < 2) return false;
  if (!std::isalpha(static_cast<unsigned char>(s[0]))) return false;
  for (std::size_t i = 1; i < colon; ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

void WriteErrno(int fd) {
  const int e = errno;
  [[maybe_unused]] ssize_t n = ::write(fd, &e, sizeof e);
}

// Starts args[0] (an absolute or relative path to an executable) detached.
// Double fork: the middle process starts a new session and exits at once,
// so the program is no child of ours and has no terminal. A close-on-exec
// pipe tells whether exec succeeded.
bool Spawn(const std::vector<std::string>& args, const std::filesystem::path& dir, bool hidden) {
  if (args.empty()) return false;
  // The program path must not depend on the working directory set below.
  std::error_code ec;
  const std::string program_path = std::filesystem::absolute(args[0], ec).string();
  if (ec) return false;
  // Everything the children need is made before fork: between fork and exec
  // only async-signal-safe calls are allowed.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program_path.c_str()));
  for (std::size_t i = 1; i < args.size(); ++i) argv.push_back(const_cast<char*>(args[i].c_str()));
  argv.push_back(nullptr);
  const std::string cwd = dir.string();
  const long max_fd = std::max(256L, ::sysconf(_SC_OPEN_MAX));

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  for (int& fd : fds) {
    if (fd < 3) {  // keep the pipe clear of the stdio numbers
      const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
      ::close(fd);
      fd = moved;
    }
  }
  if (fds[0] < 0 || fds[1] < 0) {
    if (fds[0] >= 0) ::close(fds[0]);
    if (fds[1] >= 0) ::close(fds[1]);
    return false;
  }
  const int report = fds[1];

  const pid_t middle = ::fork();
  if (middle < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return false;
  }
  if (middle == 0) {
    ::setsid();
    const pid_t program = ::fork();
    if (program < 0) {
      WriteErrno(report);
      ::_exit(1);
    }
    if (program > 0) ::_exit(0);

    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) {
      WriteErrno(report);
      ::_exit(127);
    }
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      ::dup2(null_fd, 0);
      if (hidden) {
        ::dup2(null_fd, 1);
        ::dup2(null_fd, 2);
      }
      if (null_fd > 2) ::close(null_fd);
    }
    // No descriptor of ours (lock files, sockets, devices) reaches the program.
    if (::close_range(3, report - 1, 0) != 0 || ::close_range(report + 1, ~0U, 0) != 0) {
      for (long fd = 3; fd < max_fd; ++fd)
        if (fd != report) ::close(static_cast<int>(fd));
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &dfl, nullptr);
    ::execv(argv[0], argv.data());
    WriteErrno(report);
    ::_exit(127);
  }

  ::close(fds[1]);
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t n;
  do {
    n = ::read(fds[0], &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  ::close(fds[0]);
  return n == 0;  // end of file: exec closed the pipe
}

}  // namespace

std::filesystem::path FindProgram(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? std::filesystem::path(name) : std::filesystem::path();
  const char* env = std::getenv("PATH");
  const std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= path.size()) {
    auto end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string dir = path.substr(start, end - start);
    const std::filesystem::path candidate = std::filesystem::path(dir.empty() ? "." : dir) / name;
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

std::vector<std::string> SplitParameters(std::u16string_view parameters) {
  std::vector<std::string> words;
  std::u16string word;
  bool in_word = false;
  bool quoted = false;
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const char16_t c = parameters[i];
    if (c == u'\\' && i + 1 < parameters.size() && parameters[i + 1] == u'"') {
      word.push_back(u'"');
      in_word = true;
      ++i;
    } else if (c == u'"') {
      quoted = !quoted;
      in_word = true;
    } else if (!quoted && (c == u' ' || c == u'\t')) {
      if (in_word) words.push_back(text::ToUtf8(word));
      word.clear();
      in_word = false;
    } else {
      word.push_back(c);
      in_word = true;
    }
  }
  if (in_word) words.push_back(text::ToUtf8(word));
  return words;
}

void SetRecorder(Recorder recorder) {
  std::lock_guard lock(g_mutex);
  g_recorder = std::move(recorder);
}

ScopedRecorder::ScopedRecorder(Recorder recorder) {
  std::lock_guard lock(g_mutex);
  previous_ = std::exchange(g_recorder, std::move(recorder));
}

ScopedRecorder::~ScopedRecorder() { SetRecorder(std::move(previous_)); }

bool Open(const OpenRequest& request) {
  Recorder recorder;
  {
    std::lock_guard lock(g_mutex);
    recorder = g_recorder;
  }
  if (recorder) return recorder(request);

  const std::string target = request.file.string();
  if (target.empty()) return false;
  const bool hidden = request.show == Show::Hidden;
  if (IsAddress(target)) {
    const auto opener = FindProgram("xdg-open");
    return !opener.empty() && Spawn({opener.string(), target}, request.directory, hidden);
  }
  std::filesystem::path file = request.file;
  if (file.is_relative() && !request.directory.empty()) file = request.directory / file;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) {
    // A bare program name is looked up on PATH, as the shell would.
    if (target.find('/') != std::string::npos) return false;
    file = FindProgram(target);
    if (file.empty()) return false;
  }
  if (IsExecutableFile(file)) {
    std::vector<std::string> args{file.string()};
    for (std::string& w : SplitParameters(request.parameters)) args.push_back(std::move(w));
    return Spawn(args, request.directory, hidden);
  }
  // A document or folder: the desktop's handler, which takes no parameters.
  const auto opener = FindProgram("xdg-open");
  return !opener.empty() &&
         Spawn({opener.string(), std::filesystem::absolute(file, ec).string()}, request.directory, hidden);
}

bool StartOnScreenKeyboard() {
  for (const char* name : kKeyboards) {
    const auto program = FindProgram(name);
    if (program.empty()) continue;
    OpenRequest request;
    request.file = program;
    return Open(request);
  }
  return false;
}

}  // namespace keyloom::shell
