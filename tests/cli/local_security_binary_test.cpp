// keyloomctl and keyloom-vkbd on a machine shared with other users: their
// sockets live in a private folder of the user's, and an export into a
// shared folder never writes through a link another user planted there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "support/vkbd_process.h"

namespace keyloom::cli {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::RunResult;
using testing::VkbdProcess;

std::string Content(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class LocalSecurityBinary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(kb_.Started()) << kb_.Error(); }
  VkbdProcess kb_;
};

TEST_F(LocalSecurityBinary, ExportNeverWritesThroughAnotherUsersLinkInASharedFolder) {
  const fs::path shared = kb_.Dir() / "tmp";
  fs::create_directory(shared);
  ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
  const fs::path victim = kb_.Dir() / "home" / ".profile";
  std::ofstream(victim) << "precious";

  // Our own link is followed: the export lands in its target.
  const fs::path target = kb_.Dir() / "target.kyl";
  std::ofstream(target) << "";
  fs::create_symlink(target, shared / "mine.kyl");
  EXPECT_EQ(kb_.Keyloomctl({"profile", "export", (shared / "mine.kyl").string()}).status, 0);
  EXPECT_GT(fs::file_size(target), 0u);
  EXPECT_TRUE(fs::is_symlink(shared / "mine.kyl"));

  if (::geteuid() != 0) GTEST_SKIP() << "only root can make a link that belongs to another user";
  const fs::path trap = shared / "backup.kyl";
  fs::create_symlink(victim, trap);
  ASSERT_EQ(::lchown(trap.c_str(), 65534, 65534), 0);
  const RunResult r = kb_.Keyloomctl({"profile", "export", trap.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("link another user made"), std::string::npos) << r.err;
  EXPECT_EQ(Content(victim), "precious");
  EXPECT_TRUE(fs::is_symlink(trap));
}

// Without XDG_RUNTIME_DIR the virtual keyboard's default socket is in a
// folder made for this user alone (0700), not in the shared /tmp; a
// keyloomctl run finds it there.
TEST_F(LocalSecurityBinary, DefaultSocketLivesInAPrivateFolder) {
  const fs::path tmp = kb_.Dir() / "tmp";
  fs::create_directory(tmp);
  ASSERT_EQ(::chmod(tmp.c_str(), 01777), 0);
  std::vector<std::string> env;
  for (const std::string& e : testing_support::CurrentEnvironment()) {
    if (e.rfind("XDG_RUNTIME_DIR=", 0) != 0 && e.rfind("TMPDIR=", 0) != 0 && e.rfind("KEYLOOM_", 0) != 0)
      env.push_back(e);
  }
  env.push_back("TMPDIR=" + tmp.string());
  env.push_back("HOME=" + (kb_.Dir() / "home").string());
  testing_support::ProcessStart start;
  start.program = std::string(KEYLOOM_BUILD_DIR) + "/keyloom-vkbd";
  start.args = {"serve"};
  start.env = env;
  start.output_file = start.error_file = (kb_.Dir() / "default-server.log").string();
  testing_support::ChildProcess server(start);
  const fs::path folder = tmp / ("keyloom-" + std::to_string(::geteuid()));
  const fs::path socket = folder / "keyloom-vkbd.sock";
  for (int i = 0; i < 500 && !fs::exists(socket); ++i) std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(fs::exists(socket)) << Content(kb_.Dir() / "default-server.log");
  struct stat st {};
  ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, ::geteuid());

  testing_support::ProcessStart status;
  status.program = std::string(KEYLOOM_BUILD_DIR) + "/keyloomctl";
  status.args = {"--virtual-keyboard", "status"};
  status.env = env;
  status.env.push_back("XDG_DATA_HOME=" + (kb_.Dir() / "home" / "data").string());
  status.env.push_back("XDG_CONFIG_HOME=" + (kb_.Dir() / "home" / "config").string());
  const RunResult r = testing_support::RunProgram(status);
  EXPECT_EQ(r.status, 0) << r.err;
  server.Stop(2s);
}

}  // namespace
}  // namespace keyloom::cli
