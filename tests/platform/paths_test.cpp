#include "platform/paths.h"

#include "scoped_env.h"

#include <gtest/gtest.h>

namespace keyloom::paths {
namespace {

using keyloom::testing::ScopedEnv;

TEST(Paths, ExecutableIsThisTestProgram) {
  EXPECT_EQ(ExecutablePath().filename(), "test_platform");
  EXPECT_TRUE(ExecutablePath().is_absolute());
  EXPECT_EQ(ExecutableDir(), ExecutablePath().parent_path());
}

TEST(Paths, ResourceFolder) {
  {
    ScopedEnv env("KEYLOOM_RESOURCE_DIR", "/opt/keyloom-res");
    EXPECT_EQ(ResourceDir(), "/opt/keyloom-res");
  }
  ScopedEnv env("KEYLOOM_RESOURCE_DIR", nullptr);
  // The test program's folder has no Skins/: the installed layout applies.
  ASSERT_FALSE(std::filesystem::exists(ExecutableDir() / "Skins"));
  EXPECT_EQ(ResourceDir(), ExecutableDir().parent_path() / "share" / "keyloom");
}

TEST(Paths, XdgFoldersWithTheirFallbacks) {
  struct Case {
    const char* variable;
    std::filesystem::path (*get)();
    const char* fallback;
  } cases[] = {
      {"XDG_DATA_HOME", UserDataBase, "/home/tester/.local/share"},
      {"XDG_CONFIG_HOME", ConfigBase, "/home/tester/.config"},
      {"XDG_RUNTIME_DIR", RuntimeDir, "/tmp"},
  };
  ScopedEnv home("HOME", "/home/tester");
  for (const auto& c : cases) {
    {
      ScopedEnv env(c.variable, "/custom/place");
      EXPECT_EQ(c.get(), "/custom/place") << c.variable;
    }
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
      ScopedEnv env(c.variable, ignored);
      EXPECT_EQ(c.get(), c.fallback) << c.variable << " = " << (ignored ? ignored : "(unset)");
    }
  }
  // Without $HOME the password database gives the home folder.
  ScopedEnv no_home("HOME", nullptr);
  ScopedEnv no_data("XDG_DATA_HOME", nullptr);
  EXPECT_TRUE(UserDataBase().is_absolute());
  EXPECT_EQ(UserDataBase().filename(), "share");
}

}  // namespace
}  // namespace keyloom::paths
