#include "app/settings_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <atomic>

namespace keyloom::app {
namespace {

namespace fs = std::filesystem;

TEST(SettingsPaths, ProgramEntriesLieInTheResourceFolder) {
  const fs::path res = "/opt/keyloom/share/keyloom";
  const SettingsPaths p = MakeProgramEntries(res, "/opt/keyloom/bin/keyloom");
  struct Row {
    const char* name;
    fs::path actual;
    fs::path expected;
  };
  const Row rows[] = {
      {"AppDir", p.AppDir, res},
      {"AppFileName", p.AppFileName, "keyloom"},
      {"HelpDir", p.HelpDir, res / "Help"},
      {"MainIniPath", p.MainIniPath, res / "Skins/Main.ini"},
      {"MainSkinDir", p.MainSkinDir, res / "Skins"},
      {"ColorTemplatePrefix", p.ColorTemplatePrefix, res / "Skins/UserDengColor_"},
      {"ProfileIniPath", p.ProfileIniPath, res / "Skins/Profile.ini"},
      {"ProfileSkinDir", p.ProfileSkinDir, res / "Skins"},
      {"CompositeIniPath", p.CompositeIniPath, res / "Skins/Composite.ini"},
      {"CompositeSkinDir", p.CompositeSkinDir, res / "Skins"},
      {"DaemonPath", p.DaemonPath, res / "KbDaemon"},
  };
  for (const Row& r : rows) EXPECT_EQ(r.actual, r.expected) << r.name;
  // Each skinned dialog's image folder is its layout file's own folder.
  EXPECT_EQ(p.MainIniPath.parent_path(), p.MainSkinDir);
  EXPECT_EQ(p.ProfileIniPath.parent_path(), p.ProfileSkinDir);
  EXPECT_EQ(p.CompositeIniPath.parent_path(), p.CompositeSkinDir);
  // Per-user entries wait for the main window.
  EXPECT_TRUE(p.UserDataDir.empty());
  EXPECT_TRUE(p.LightingIniPath.empty());
  EXPECT_TRUE(p.UserColorPrefix.empty());
}

TEST(SettingsPaths, PrefixesTakeTheSlotFileNameByConcatenation) {
  SettingsPaths p = MakeProgramEntries("/r", "/r/keyloom");
  AddUserEntries(p, "/home/u/.local/share");
  fs::path user_file = p.UserColorPrefix;
  user_file += "2.userd";
  EXPECT_EQ(user_file, fs::path("/home/u/.local/share/Tarn-60 Gaming Keyboard/UserDengColor_2.userd"));
  fs::path template_file = p.ColorTemplatePrefix;
  template_file += "1.userd";
  EXPECT_EQ(template_file, fs::path("/r/Skins/UserDengColor_1.userd"));
  EXPECT_EQ(p.LightingIniPath, fs::path("/home/u/.local/share/Tarn-60 Gaming Keyboard/wskb.ini"));
}

TEST(SettingsPaths, LongPathsAreKeptWhole) {
  // A folder deeper than 260 characters must not be cut into another path.
  const fs::path res = "/" + std::string(300, 'a') + "/share";
  const SettingsPaths p = MakeProgramEntries(res, res / "keyloom");
  EXPECT_EQ(p.MainIniPath, res / "Skins/Main.ini");
  EXPECT_GT(p.MainIniPath.native().size(), 300u);
}

TEST(SettingsPaths, UserEntriesCreateTheMissingBaseFolderOnly) {
  std::string pattern = (fs::temp_directory_path() / "keyloom-paths-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  const fs::path base = dir / "data" / "deeper";

  ScopedSettingsPaths keep;
  InitProgramPaths(dir / "res", dir / "res" / "keyloom");
  EXPECT_TRUE(InitUserPaths(base));
  EXPECT_TRUE(fs::is_directory(base));
  // The per-user folder itself is made by the profile files on first use.
  EXPECT_FALSE(fs::exists(base / kUserFolderName));
  EXPECT_EQ(Paths().UserDataDir, base / "Tarn-60 Gaming Keyboard");
  EXPECT_EQ(Paths().AppDir, dir / "res");

  // A base that cannot be made is reported; the entries are set all the same.
  std::ofstream(dir / "file") << "x";
  EXPECT_FALSE(InitUserPaths(dir / "file" / "data"));
  EXPECT_EQ(Paths().UserDataDir, dir / "file" / "data" / "Tarn-60 Gaming Keyboard");

  std::error_code ec;
  fs::remove_all(dir, ec);
}

TEST(SettingsPaths, AddingUserEntriesLeavesTablesBeingReadWhole) {
  std::string pattern = (fs::temp_directory_path() / "keyloom-paths-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  ScopedSettingsPaths keep;
  InitProgramPaths(dir / "res", dir / "res" / "keyloom");
  const SettingsPaths& before = Paths();
  const fs::path user_before = before.UserDataDir;

  // A device thread reads the table while the main window adds the per-user
  // entries.
  std::atomic<bool> started{false};
  std::atomic<bool> stop{false};
  std::atomic<long> torn{0};
  std::thread reader([&] {
    while (!stop) {
      const SettingsPaths& p = Paths();
      const std::string user = p.UserDataDir.string();
      const std::string ini = p.MainIniPath.string();
      if (ini.empty() || (!user.empty() && user.find("Tarn-60") == std::string::npos)) ++torn;
      started = true;
    }
  });
  while (!started) std::this_thread::yield();
  for (int i = 0; i < 200; ++i) InitUserPaths(dir / ("data" + std::to_string(i % 3)));
  stop = true;
  reader.join();
  EXPECT_EQ(torn.load(), 0);

  EXPECT_EQ(before.UserDataDir, user_before);
  EXPECT_EQ(before.MainIniPath, dir / "res" / "Skins" / "Main.ini");
  EXPECT_EQ(Paths().UserDataDir, dir / "data1" / "Tarn-60 Gaming Keyboard");
  EXPECT_EQ(Paths().MainIniPath, dir / "res" / "Skins" / "Main.ini");
  std::error_code ec;
  fs::remove_all(dir, ec);
}

}  // namespace
}  // namespace keyloom::app
