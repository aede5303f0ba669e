// Saves killed at random moments: every file kind the platform layer writes
// (any replaced file, the registry store, INI settings) holds one whole
// version after each kill, and the temporaries of killed saves are cleared
// by the next save instead of piling up.
#include "platform/atomic_file.h"
#include "platform/ini.h"
#include "platform/registry.h"
#include "support/kill_during_saves.h"
#include "test_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace keyloom::platform {
namespace {

using keyloom::testing::TempDir;
using testing_support::KillDuringSaves;

constexpr int kKills = 200;

void ExpectNoMixAndNoPileUp(const KillDuringSaves::Figures& f) {
  EXPECT_EQ(f.kills, kKills);
  EXPECT_EQ(f.mixed, 0) << "first mixed file starts: " << f.first_mixed;
  // At most the one a kill interrupted: the next save clears it.
  EXPECT_LE(f.most_temporaries, 1);
  EXPECT_EQ(f.temporaries_left, 0);
}

TEST(CrashSafety, AReplacedFileIsOldOrNewAfterEveryKill) {
  if (testing_support::KillDuringSaves::kSkipped) GTEST_SKIP() << testing_support::KillDuringSaves::kSkipReason;
  TempDir dir;
  KillDuringSaves run;
  run.file = dir.path() / "big.kyl";
  // Versions of different sizes and bytes, large enough for a kill to land
  // inside the write.
  const std::string versions[2] = {std::string(256 << 10, 'a'), std::string(128 << 10, 'b') + "end"};
  run.save = [&](int v) { return WriteFileAtomically(run.file, versions[v]); };
  ExpectNoMixAndNoPileUp(run.Run(kKills));
}

TEST(CrashSafety, TheRegistryStoreIsOldOrNewAfterEveryKill) {
  if (testing_support::KillDuringSaves::kSkipped) GTEST_SKIP() << testing_support::KillDuringSaves::kSkipReason;
  TempDir dir;
  KillDuringSaves run;
  run.file = dir.path() / "registry.reg";
  registry::ScopedStoreFile store(run.file);
  run.save = [&](int v) {
    auto key = registry::Key::Create(u"Software\\Tarn-60 Gaming Keyboard");
    // One change per save: each is one whole version of the file.
    return key && key->SetString(u"Pad", std::u16string(v ? 20000 : 50000, v ? u'y' : u'x'));
  };
  ExpectNoMixAndNoPileUp(run.Run(kKills));
}

TEST(CrashSafety, AnIniFileIsOldOrNewAfterEveryKill) {
  if (testing_support::KillDuringSaves::kSkipped) GTEST_SKIP() << testing_support::KillDuringSaves::kSkipReason;
  TempDir dir;
  ini::ScopedEmptyCache cache;
  KillDuringSaves run;
  run.file = dir.path() / "wskb.ini";
  {
    // Other sections that every save keeps.
    std::string other;
    for (int i = 0; i < 4000; ++i) other += "[S" + std::to_string(i) + "]\r\nk=v\r\n";
    std::ofstream(run.file, std::ios::binary) << other;
  }
  run.save = [&](int v) {
    return ini::WriteStrings(run.file, u"KEYCOLOR",
                             {{u"DengCheck", v ? u"1" : u"0"}, {u"Pad", std::u16string(v ? 3000 : 9000, u'p')}});
  };
  ExpectNoMixAndNoPileUp(run.Run(kKills));
}

TEST(CrashSafety, OnlyStaleTemporariesOfTheSameFileAreCleared) {
  TempDir dir;
  const std::filesystem::path file = dir.path() / "$Profile0";
  auto make = [](const std::filesystem::path& p) { std::ofstream(p, std::ios::binary) << "x"; };
  const std::filesystem::path stale = dir.path() / ".$Profile0.Ab12Cd.saving";
  const std::filesystem::path held = dir.path() / ".$Profile0.HeLd00.saving";
  const std::filesystem::path other_file = dir.path() / ".other.kyl.Ab12Cd.saving";
  const std::filesystem::path users_own = dir.path() / ".$Profile0.backup";  // a name of the user's
  const std::filesystem::path wrong_shape = dir.path() / ".$Profile0.toolong7.saving";
  const std::filesystem::path folder = dir.path() / ".$Profile0.Folder.saving";
  for (const auto& p : {stale, held, other_file, users_own, wrong_shape}) make(p);
  std::filesystem::create_directory(folder);
  // A writer that is alive holds its temporary's lock.
  const int fd = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);

  ASSERT_TRUE(WriteFileAtomically(file, "new"));
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(held));
  EXPECT_TRUE(std::filesystem::exists(other_file));
  EXPECT_TRUE(std::filesystem::exists(users_own));
  EXPECT_TRUE(std::filesystem::exists(wrong_shape));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  ::close(fd);
  EXPECT_EQ(RemoveStaleTemporaries(file), 1u);  // released: stale now
  EXPECT_FALSE(std::filesystem::exists(held));
}

TEST(CrashSafety, WriteFailuresSayWhy) {
  TempDir dir;
  std::error_code error;
  std::filesystem::create_directory(dir.path() / "folder");
  EXPECT_FALSE(WriteFileAtomically(dir.path() / "folder", "x", &error));
  EXPECT_EQ(error, std::make_error_code(std::errc::is_a_directory));
  EXPECT_FALSE(WriteFileAtomically(dir.path() / "missing" / "file", "x", &error));
  EXPECT_EQ(error, std::make_error_code(std::errc::no_such_file_or_directory));
  EXPECT_EQ(FileErrorText(error), "No such file or directory");
  EXPECT_FALSE(CanReplaceFile(dir.path() / "folder", error));
  EXPECT_TRUE(CanReplaceFile(dir.path() / "new", error));
  EXPECT_FALSE(CanReplaceFile(dir.path() / "missing" / "file", error));
}

}  // namespace
}  // namespace keyloom::platform
