#pragma once
// The table of file and folder paths every part of the program uses. The
// entries that lie beside the program (skins, language files, help page,
// companion program) are built once at start-up from the resource folder; the
// per-user entries are added once during main-window initialisation, while
// the device threads may already read the table, so each change publishes a
// whole new table and the old one stays as it was.
#include <filesystem>

namespace keyloom::app {

// The per-user folder's name under the local application-data folder.
inline constexpr char kUserFolderName[] = "Tarn-60 Gaming Keyboard";

struct SettingsPaths {
  // The folder the program's installed data lies in (Skins/, Lang*.ini,
  // Help/, KbDaemon): the executable's folder in a build tree, the shared
  // data folder when installed.
  std::filesystem::path AppDir;
  // File name of the running executable, no folder.
  std::filesystem::path AppFileName;
  std::filesystem::path HelpDir;              // AppDir/Help
  std::filesystem::path MainIniPath;          // AppDir/Skins/Main.ini
  std::filesystem::path MainSkinDir;          // AppDir/Skins
  std::filesystem::path ColorTemplatePrefix;  // AppDir/Skins/UserDengColor_ (+ "<slot>.userd")
  std::filesystem::path ProfileIniPath;       // AppDir/Skins/Profile.ini
  std::filesystem::path ProfileSkinDir;       // AppDir/Skins
  std::filesystem::path CompositeIniPath;     // AppDir/Skins/Composite.ini
  std::filesystem::path CompositeSkinDir;     // AppDir/Skins
  std::filesystem::path DaemonPath;           // AppDir/KbDaemon

  // Per-user entries; empty until AddUserEntries.
  std::filesystem::path UserDataDir;      // <data base>/Tarn-60 Gaming Keyboard
  std::filesystem::path LightingIniPath;  // UserDataDir/wskb.ini
  std::filesystem::path UserColorPrefix;  // UserDataDir/UserDengColor_ (+ "<slot>.userd")
};

// The program-relative entries from the resource folder and the executable's
// path. Paths are kept whole, however long.
SettingsPaths MakeProgramEntries(const std::filesystem::path& resource_dir,
                                 const std::filesystem::path& executable);

// Adds the per-user entries below `user_data_base` (the local
// application-data folder).
void AddUserEntries(SettingsPaths& paths, const std::filesystem::path& user_data_base);

// The process-wide table. The reference stays valid and unchanged for the
// whole run; a later change (the per-user entries) shows in later calls.
const SettingsPaths& Paths();

// Start-up: builds the program entries from paths::ResourceDir() and
// paths::ExecutablePath().
void InitProgramPaths();
// Start-up, explicit sources (tests and tools).
void InitProgramPaths(const std::filesystem::path& resource_dir,
                      const std::filesystem::path& executable);
// Main-window initialisation: builds the per-user entries from
// paths::UserDataBase(), creating that base folder when it is missing.
// Returns false when the base folder could not be made (the entries are set
// all the same).
bool InitUserPaths();
bool InitUserPaths(const std::filesystem::path& user_data_base);

// Keeps the table as it is when made and puts it back when it ends, so that
// a test may set the paths it needs without leaving them to the next.
class ScopedSettingsPaths {
 public:
  ScopedSettingsPaths();
  ~ScopedSettingsPaths();
  ScopedSettingsPaths(const ScopedSettingsPaths&) = delete;
  ScopedSettingsPaths& operator=(const ScopedSettingsPaths&) = delete;

 private:
  SettingsPaths saved_;
};

}  // namespace keyloom::app
