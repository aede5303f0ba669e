#include "profiles/data_folder.h"

#include <string>
#include <system_error>

#include "app/settings_paths.h"

namespace keyloom::profiles {

namespace {

// Prefix, number and ".userd", as the colour file names are formed.
std::filesystem::path ColourFileName(const std::filesystem::path& prefix, int number) {
  std::filesystem::path name = prefix;
  name += std::to_string(number) + ".userd";
  return name;
}

constexpr int kTemplateNumber = 3;
constexpr int kSeededSlots = 3;

}  // namespace

bool EnsureDataFolder() {
  const app::SettingsPaths& paths = app::Paths();
  if (paths.UserDataDir.empty()) return false;
  std::error_code ec;
  if (std::filesystem::is_directory(paths.UserDataDir, ec)) return true;
  std::filesystem::create_directories(paths.UserDataDir, ec);
  if (!std::filesystem::is_directory(paths.UserDataDir, ec)) return false;
  const std::filesystem::path source = ColourFileName(paths.ColorTemplatePrefix, kTemplateNumber);
  for (int n = 0; n < kSeededSlots; ++n) {
    std::filesystem::copy_file(source, ColourFileName(paths.UserColorPrefix, n),
                               std::filesystem::copy_options::overwrite_existing, ec);
  }
  return true;
}

std::filesystem::path WorkingProfilePath() {
  EnsureDataFolder();
  const app::SettingsPaths& paths = app::Paths();
  if (paths.UserDataDir.empty()) return {};
  return paths.UserDataDir / kWorkingProfileName;
}

}  // namespace keyloom::profiles
