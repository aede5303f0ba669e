#include "app/settings_paths.h"

#include <system_error>

#include "platform/paths.h"

namespace keyloom::app {
namespace {
SettingsPaths g_paths;
}  // namespace

SettingsPaths MakeProgramEntries(const std::filesystem::path& resource_dir,
                                 const std::filesystem::path& executable) {
  SettingsPaths p;
  p.AppDir = resource_dir;
  p.AppFileName = executable.filename();
  p.HelpDir = resource_dir / "Help";
  const std::filesystem::path skins = resource_dir / "Skins";
  p.MainIniPath = skins / "Main.ini";
  p.MainSkinDir = skins;
  p.ColorTemplatePrefix = skins / "UserDengColor_";
  p.ProfileIniPath = skins / "Profile.ini";
  p.ProfileSkinDir = skins;
  p.CompositeIniPath = skins / "Composite.ini";
  p.CompositeSkinDir = skins;
  p.DaemonPath = resource_dir / "KbDaemon";
  return p;
}

void AddUserEntries(SettingsPaths& paths, const std::filesystem::path& user_data_base) {
  paths.UserDataDir = user_data_base / kUserFolderName;
  paths.LightingIniPath = paths.UserDataDir / "wskb.ini";
  paths.UserColorPrefix = paths.UserDataDir / "UserDengColor_";
}

const SettingsPaths& Paths() { return g_paths; }

void InitProgramPaths(const std::filesystem::path& resource_dir,
                      const std::filesystem::path& executable) {
  SettingsPaths fresh = MakeProgramEntries(resource_dir, executable);
  // Keep per-user entries that may already be there.
  fresh.UserDataDir = g_paths.UserDataDir;
  fresh.LightingIniPath = g_paths.LightingIniPath;
  fresh.UserColorPrefix = g_paths.UserColorPrefix;
  g_paths = std::move(fresh);
}

void InitProgramPaths() { InitProgramPaths(paths::ResourceDir(), paths::ExecutablePath()); }

bool InitUserPaths(const std::filesystem::path& user_data_base) {
  std::error_code ec;
  std::filesystem::create_directories(user_data_base, ec);
  const bool ok = std::filesystem::is_directory(user_data_base, ec);
  AddUserEntries(g_paths, user_data_base);
  return ok;
}

bool InitUserPaths() { return InitUserPaths(paths::UserDataBase()); }

}  // namespace keyloom::app
