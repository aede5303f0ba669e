#include "platform/paths.h"

#include <pwd.h>
#include <unistd.h>

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
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : p;
}

std::filesystem::path ExecutableDir() { return ExecutablePath().parent_path(); }

std::filesystem::path ResourceDir() {
  if (const char* v = std::getenv("KEYLOOM_RESOURCE_DIR"); v && *v) return v;
  const auto exe_dir = ExecutableDir();
  if (IsDir(exe_dir / "Skins")) return exe_dir;
  return exe_dir.parent_path() / "share" / "keyloom";
}

std::filesystem::path UserDataBase() { return XdgDir("XDG_DATA_HOME", ".local/share"); }

std::filesystem::path ConfigBase() { return XdgDir("XDG_CONFIG_HOME", ".config"); }

std::filesystem::path RuntimeDir() {
  if (const char* v = std::getenv("XDG_RUNTIME_DIR"); v && v[0] == '/') return v;
  return "/tmp";
}

}  // namespace keyloom::paths
