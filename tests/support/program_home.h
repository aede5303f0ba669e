#pragma once
// The program's folders for a benchmark of the windows: a fresh temporary
// home holding $XDG_CONFIG_HOME and $XDG_DATA_HOME, the settings paths and
// the build's language files, all put back as they were afterwards.
#include <filesystem>
#include <string>

#include "app/settings_paths.h"
#include "i18n/texts.h"
#include "platform/scoped_env.h"
#include "platform/test_dir.h"

namespace keyloom::testing {

class ProgramHome {
 public:
  // `build_dir` holds the resources and the program `program`.
  explicit ProgramHome(const std::string& build_dir, const std::string& program = "keyloom")
      : languages_(build_dir) {
    env_.Set("XDG_CONFIG_HOME", (home_.path() / "config").c_str());
    env_.Set("XDG_DATA_HOME", (home_.path() / "data").c_str());
    app::InitProgramPaths(build_dir, build_dir + "/" + program);
    app::InitUserPaths(home_.path() / "data");
  }
  const std::filesystem::path& path() const { return home_.path(); }

 private:
  TempDir home_;
  ScopedEnv env_;
  app::ScopedSettingsPaths paths_;
  i18n::ScopedLanguageFileDir languages_;
};

}  // namespace keyloom::testing
