#pragma once
// Sets (or, with nullptr, unsets) environment variables for one test and
// puts the old values back afterwards.
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace keyloom::testing {

class ScopedEnv {
 public:
  ScopedEnv() = default;
  ScopedEnv(const char* name, const char* value) { Set(name, value); }
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) ::setenv(it->first.c_str(), it->second->c_str(), 1);
      else ::unsetenv(it->first.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  void Set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace keyloom::testing
