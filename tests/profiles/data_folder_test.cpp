// The per-user data folder: made and seeded once, left alone afterwards.
#include "profiles/data_folder.h"

#include <gtest/gtest.h>

#include "profiles/profile_test_support.h"

namespace keyloom::profiles {
namespace {

namespace fs = std::filesystem;

TEST(DataFolder, FirstUseMakesTheFolderAndSeedsTheColourFiles) {
  testing::ProfileEnvironment env;
  ASSERT_FALSE(fs::exists(env.DataDir()));
  const fs::path working = WorkingProfilePath();
  EXPECT_EQ(working, env.DataDir() / "$Profile0");
  EXPECT_FALSE(fs::exists(working)) << "the working file itself comes from the keyboard";
  const auto templateBytes = testing::ReadBytes(app::Paths().ColorTemplatePrefix.string() + "3.userd");
  ASSERT_FALSE(templateBytes.empty());
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(testing::ReadBytes(env.DataDir() / ("UserDengColor_" + std::to_string(n) + ".userd")), templateBytes);
  }
  EXPECT_FALSE(fs::exists(env.DataDir() / "UserDengColor_3.userd"));
}

TEST(DataFolder, AnExistingFolderIsLeftAsItIs) {
  testing::ProfileEnvironment env;
  fs::create_directories(env.DataDir());
  testing::WriteBytes(env.DataDir() / "UserDengColor_1.userd", {'m', 'i', 'n', 'e'});
  EXPECT_TRUE(EnsureDataFolder());
  EXPECT_FALSE(fs::exists(env.DataDir() / "UserDengColor_0.userd"));
  EXPECT_EQ(testing::ReadBytes(env.DataDir() / "UserDengColor_1.userd"), (std::vector<std::uint8_t>{'m', 'i', 'n', 'e'}));
}

TEST(DataFolder, AFileInTheFoldersPlaceIsNoFolder) {
  testing::ProfileEnvironment env;
  testing::WriteBytes(env.DataDir(), {1});
  EXPECT_FALSE(EnsureDataFolder());
}

}  // namespace
}  // namespace keyloom::profiles
