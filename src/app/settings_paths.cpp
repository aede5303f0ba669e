#include "app/settings_paths.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <system_error>

#include "platform/paths.h"

namespace keyloom::app {
namespace {

// Each change publishes a new table and keeps the old ones, so a thread that
// is reading a table while the per-user entries are added never sees a path
// half written.
struct Tables {
  std::mutex write_mutex;
  std::deque<SettingsPaths> all{1};
  std::atomic<const SettingsPaths*> current{&all.front()};
};

Tables& TheTables() {
  static Tables tables;
  return tables;
}

template <typename Change>
void Publish(Change change) {
  Tables& t = TheTables();
  std::lock_guard lock(t.write_mutex);
  SettingsPaths next = *t.current.load();
  change(next);
  t.all.push_back(std::move(next));
  t.current.store(&t.all.back());
}

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

const SettingsPaths& Paths() { return *TheTables().current.load(); }

void InitProgramPaths(const std::filesystem::path& resource_dir,
                      const std::filesystem::path& executable) {
  SettingsPaths fresh = MakeProgramEntries(resource_dir, executable);
  Publish([&](SettingsPaths& p) {
    // Per-user entries already there stay.
    fresh.UserDataDir = p.UserDataDir;
    fresh.LightingIniPath = p.LightingIniPath;
    fresh.UserColorPrefix = p.UserColorPrefix;
    p = std::move(fresh);
  });
}

void InitProgramPaths() { InitProgramPaths(paths::ResourceDir(), paths::ExecutablePath()); }

bool InitUserPaths(const std::filesystem::path& user_data_base) {
  std::error_code ec;
  std::filesystem::create_directories(user_data_base, ec);
  const bool ok = std::filesystem::is_directory(user_data_base, ec);
  Publish([&](SettingsPaths& p) { AddUserEntries(p, user_data_base); });
  return ok;
}

bool InitUserPaths() { return InitUserPaths(paths::UserDataBase()); }

ScopedSettingsPaths::ScopedSettingsPaths() : saved_(Paths()) {}

ScopedSettingsPaths::~ScopedSettingsPaths() {
  Publish([this](SettingsPaths& p) { p = saved_; });
}

}  // namespace keyloom::app
