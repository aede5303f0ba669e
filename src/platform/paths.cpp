#include "platform/paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

namespace keyloom::paths {
namespace {

std::filesystem::path HomeDir() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  // No $HOME: ask the password database (reentrant form; threads may run).
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* result = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir)
    return result->pw_dir;
  return "/";
}

// An XDG variable counts only when it holds an absolute path.
std::filesystem::path XdgDir(const char* variable, const char* fallback_under_home) {
  if (const char* v = std::getenv(variable); v && v[0] == '/') return v;
  return HomeDir() / fallback_under_home;
}

bool IsDir(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_directory(p, ec);
}

}  // namespace

std::filesystem::path ExecutablePath() {
  // Read once: the link names "... (deleted)" once the file is replaced by an
  // update while the program runs, and the program's folder stays the same.
  static const std::filesystem::path path = [] {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : p;
  }();
  return path;
}

std::filesystem::path ExecutableDir() { return ExecutablePath().parent_path(); }

std::filesystem::path ResourceDir() {
  if (const char* v = std::getenv("KEYLOOM_RESOURCE_DIR"); v && *v) return v;
  static const std::filesystem::path beside_executable = [] {
    const auto exe_dir = ExecutableDir();
    if (IsDir(exe_dir / "Skins")) return exe_dir;
    return exe_dir.parent_path() / "share" / "keyloom";
  }();
  return beside_executable;
}

std::filesystem::path UserDataBase() { return XdgDir("XDG_DATA_HOME", ".local/share"); }

std::filesystem::path ConfigBase() { return XdgDir("XDG_CONFIG_HOME", ".config"); }

bool IsOwnFolder(const std::filesystem::path& dir, bool private_only) {
  struct stat st {};
  if (dir.empty() || ::lstat(dir.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  return (st.st_mode & (private_only ? 077 : 022)) == 0;
}

namespace {

// Makes `dir` (its parent must exist) as a private folder, or takes the one
// there when it is ours: a folder of ours that others may enter is closed
// to them; a link, a file or another user's folder is never used.
bool MakePrivateFolder(const std::filesystem::path& dir) {
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  // Checked on the opened folder itself, so that nothing can be swapped in
  // between the check and the repair.
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
  if (ok && (st.st_mode & 077) != 0) ok = ::fchmod(fd, 0700) == 0;
  ::close(fd);
  return ok && IsOwnFolder(dir, true);
}

}  // namespace

std::filesystem::path RuntimeDir() {
  if (const char* v = std::getenv("XDG_RUNTIME_DIR"); v && v[0] == '/' && IsOwnFolder(v, false)) return v;
  const std::string own = "keyloom-" + std::to_string(::geteuid());
  std::filesystem::path tmp = "/tmp";
  if (const char* t = std::getenv("TMPDIR"); t && t[0] == '/') tmp = t;
  if (MakePrivateFolder(tmp / own)) return tmp / own;
  std::error_code ec;
  const std::filesystem::path cache = XdgDir("XDG_CACHE_HOME", ".cache") / "keyloom";
  std::filesystem::create_directories(cache, ec);
  const std::filesystem::path run = cache / ("run-" + std::to_string(::geteuid()));
  if (!ec && MakePrivateFolder(run)) return run;
  return {};
}

}  // namespace keyloom::paths
