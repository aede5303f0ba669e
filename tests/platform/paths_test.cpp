#include "platform/paths.h"

#include "scoped_env.h"
#include "test_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>

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

// The runtime folder holds our sockets and lock files: it is never one
// another user can write to, or one reached through a link.
TEST(Paths, RuntimeFolderIsPrivateToTheUser) {
  namespace fs = std::filesystem;
  keyloom::testing::TempDir base;  // stands for /tmp
  ScopedEnv env;
  env.Set("TMPDIR", base.path().c_str());
  env.Set("XDG_CACHE_HOME", (base.path() / "cache").c_str());
  const fs::path own = base.path() / ("keyloom-" + std::to_string(::geteuid()));
  const fs::path cached = base.path() / "cache" / "keyloom" / ("run-" + std::to_string(::geteuid()));
  const fs::path session = base.path() / "session";
  const fs::path shared = base.path() / "shared";
  fs::create_directory(session);
  fs::permissions(session, fs::perms::owner_all);
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all);
  auto mode = [](const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
  };
  auto clear = [&] {
    std::error_code ec;
    fs::remove_all(own, ec);
    fs::remove_all(cached, ec);
  };
  struct Case {
    const char* name;
    const char* xdg;  // XDG_RUNTIME_DIR, nullptr: unset
    std::function<void()> prepare;
    fs::path expected;
    bool root_only = false;
  } cases[] = {
      {"the session's folder", session.c_str(), [] {}, session},
      {"unset: made", nullptr, [] {}, own},
      {"relative", "run/user", [] {}, own},
      {"another user may write to it", shared.c_str(), [] {}, own},
      {"ours, opened to others: closed again", nullptr,
       [&] {
         fs::create_directory(own);
         fs::permissions(own, fs::perms::all);
       },
       own},
      {"a link to a folder of ours", nullptr, [&] { fs::create_directory_symlink(session, own); }, cached},
      {"a file", nullptr, [&] { std::ofstream(own) << "x"; }, cached},
      {"another user's folder", nullptr,
       [&] {
         fs::create_directory(own);
         ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
       },
       cached, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.root_only && ::geteuid() != 0) continue;  // only root can give a folder away
    clear();
    c.prepare();
    ScopedEnv xdg("XDG_RUNTIME_DIR", c.xdg);
    const fs::path got = RuntimeDir();
    EXPECT_EQ(got, c.expected);
    if (got != session) {
      EXPECT_EQ(mode(got), 0700);
    }
    EXPECT_TRUE(IsOwnFolder(got, got != session));
  }
  // Nothing private to be had: no folder at all.
  clear();
  ASSERT_EQ(::symlink(session.c_str(), own.c_str()), 0);
  fs::create_directories(cached.parent_path());
  std::ofstream(cached) << "x";
  ScopedEnv xdg("XDG_RUNTIME_DIR", nullptr);
  EXPECT_EQ(RuntimeDir(), fs::path());
  clear();
}

}  // namespace
}  // namespace keyloom::paths
