// Writing a named file in a folder every user can write to (sticky and
// world-writable, like /tmp): a link another user planted there is never
// followed, and the name is taken before the write so none can be planted.
#include "platform/shared_folder.h"

#include "test_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace keyloom::platform {
namespace {

namespace fs = std::filesystem;
using keyloom::testing::TempDir;

std::string Content(const fs::path& p) {
  std::ifstream f(p);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class SharedFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    shared = dir.path() / "tmp";
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    plain = dir.path() / "plain";
    fs::create_directory(plain);
    victim = dir.path() / "victim.txt";
    std::ofstream(victim) << "precious";
  }
  // A link to the victim file, owned by `uid` (root only can give it away).
  void PlantLink(const fs::path& at, uid_t uid) {
    fs::create_symlink(victim, at);
    if (uid != ::geteuid()) {
      ASSERT_EQ(::lchown(at.c_str(), uid, uid), 0);
    }
  }
  TempDir dir;
  fs::path shared, plain, victim;
};

TEST_F(SharedFolder, LinksAreFollowedOnlyWhenTheyCannotBeAnotherUsersTrap) {
  struct Case {
    const char* name;
    fs::path folder;
    bool others;  // the link belongs to another user
    bool foreign;
  } cases[] = {
      {"our link in the shared folder", shared, false, false},
      {"another user's link in the shared folder", shared, true, true},
      {"another user's link in a folder only we write to", plain, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.others && ::geteuid() != 0) continue;  // only root can give a link away
    const fs::path link = c.folder / "out.kyl";
    PlantLink(link, c.others ? 65534 : ::geteuid());
    EXPECT_EQ(IsForeignLinkInSharedFolder(link), c.foreign);
    bool claimed = true;
    EXPECT_EQ(ClaimForReplace(link, claimed), !c.foreign);
    EXPECT_FALSE(claimed);
    EXPECT_EQ(Content(victim), "precious");
    fs::remove(link);
  }
}

TEST_F(SharedFolder, ANewNameIsTakenBeforeTheWrite) {
  const fs::path file = shared / "new.kyl";
  bool claimed = false;
  ASSERT_TRUE(ClaimForReplace(file, claimed));
  EXPECT_TRUE(claimed);
  struct stat st {};
  ASSERT_EQ(::lstat(file.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_uid, ::geteuid());
  ReleaseClaim(file);  // the write failed
  EXPECT_FALSE(fs::exists(file));

  // A file of ours already there, or a folder only we write to: nothing to take.
  std::ofstream(file) << "old";
  EXPECT_TRUE(ClaimForReplace(file, claimed));
  EXPECT_FALSE(claimed);
  ReleaseClaim(file);  // never removes what it did not make
  EXPECT_EQ(Content(file), "old");
  EXPECT_TRUE(ClaimForReplace(plain / "new.kyl", claimed));
  EXPECT_FALSE(claimed);
  EXPECT_FALSE(fs::exists(plain / "new.kyl"));
}

}  // namespace
}  // namespace keyloom::platform
