// The profile manager's list: its rows, checks and deletions, and the
// stored "PROFILES" list read back from any text.
#include "profiles/profile_list.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "platform/file_size_limit.h"
#include "platform/registry.h"
#include "platform/test_dir.h"

namespace keyloom::profiles {
namespace {

namespace fs = std::filesystem;

TEST(ProfileListKeys, NumbersHaveAtLeastTwoDigits) {
  EXPECT_EQ(ProfileListKey(0), u"PROFILE00");
  EXPECT_EQ(ProfileListKey(7), u"PROFILE07");
  EXPECT_EQ(ProfileListKey(42), u"PROFILE42");
  EXPECT_EQ(ProfileListKey(123), u"PROFILE123");
}

TEST(ProfileListKeys, StoredCountIsPlainDecimalAndBounded) {
  const std::pair<std::u16string, int> cases[] = {
      {u"5", 5},   {u" 12 ", 12}, {u"", 0},     {u"-1", 0},   {u"5x", 0}, {u"0x10", 0},
      {u"256", 256}, {u"257", kMaxStoredProfileRows}, {u"99999999999999999999999", kMaxStoredProfileRows},
      {u"\u0663", 0},  // a digit of another script
  };
  for (const auto& [text, count] : cases) {
    EXPECT_EQ(ParseStoredProfileCount(text), count) << std::string(text.begin(), text.end());
  }
}

std::vector<fs::path> Parse(const std::map<std::u16string, std::u16string>& stored) {
  return ParseStoredProfileList([&](std::u16string_view key) {
    auto it = stored.find(std::u16string(key));
    return it == stored.end() ? std::u16string() : it->second;
  });
}

TEST(StoredProfileList, FileRowsFollowTheThreeSlotRowsAndBadEntriesAreSkipped) {
  std::map<std::u16string, std::u16string> stored = {
      {u"PROFILE00", u"9"},
      {u"PROFILE01", u"/data/$Profile0.kyl"},
      {u"PROFILE02", u"/data/$Profile0.kyl"},
      {u"PROFILE03", u"/data/$Profile0.kyl"},
      {u"PROFILE04", u"/home/u/Gaming.kyl"},
      {u"PROFILE05", u""},                               // empty
      {u"PROFILE06", u"/home/u/a\nb.kyl"},               // control character
      {u"PROFILE07", std::u16string(u"/x/\xD800.kyl")},  // lone surrogate
      {u"PROFILE08", u"/x/" + std::u16string(kMaxStoredProfilePath, u'a')},
      // PROFILE09 missing
      {u"PROFILE10", u"/beyond/the/count.kyl"},
  };
  EXPECT_EQ(Parse(stored), std::vector<fs::path>{"/home/u/Gaming.kyl"});

  stored[u"PROFILE05"] = u"/home/u/\U0001F3AE Work.kyl";  // a surrogate pair is fine
  stored[u"PROFILE00"] = u"10";
  EXPECT_EQ(Parse(stored), (std::vector<fs::path>{"/home/u/Gaming.kyl", "/home/u/\xF0\x9F\x8E\xAE Work.kyl",
                                                  "/beyond/the/count.kyl"}));

  stored[u"PROFILE00"] = u"3";
  EXPECT_TRUE(Parse(stored).empty()) << "three rows are the slots' only";
  stored[u"PROFILE00"] = u"junk";
  EXPECT_TRUE(Parse(stored).empty());
}

TEST(StoredProfileList, AListFromTheOriginalLayoutReadsAndItsRowsShowAsMissing) {
  // Folder with drive and backslashes, name and ".kyl", written as "%d" and "%s%02d".
  const std::map<std::u16string, std::u16string> stored = {
      {u"PROFILE00", u"4"},
      {u"PROFILE01", u"C:\\Users\\u\\AppData\\$Profile0.kyl"},
      {u"PROFILE02", u"C:\\Users\\u\\AppData\\$Profile0.kyl"},
      {u"PROFILE03", u"C:\\Users\\u\\AppData\\$Profile0.kyl"},
      {u"PROFILE04", u"D:\\Profiles\\FPS.kyl"},
  };
  const std::vector<fs::path> files = Parse(stored);
  ASSERT_EQ(files.size(), 1u);
  ProfileList list;
  list.Fill("/data/$Profile0", files, 0);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_TRUE(list.Rows()[3].missing) << "never looked up against the current folder";
  EXPECT_FALSE(list.Check(3));
}

class ProfileListRows : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.kyl", "b.kyl", "c.kyl"}) std::ofstream(dir_.path() / name) << "x";
  }
  fs::path File(const char* name) { return dir_.path() / name; }
  keyloom::testing::TempDir dir_;
};

TEST_F(ProfileListRows, FillShowsSlotsThenFilesWithTheActiveSlotChecked) {
  ProfileList list;
  list.Fill("/data/$Profile0", {File("a.kyl"), File("gone.kyl")}, 1);
  ASSERT_EQ(list.Count(), 5);
  for (int slot = 0; slot < 3; ++slot) {
    EXPECT_EQ(list.Rows()[slot].slot, slot);
    EXPECT_EQ(ProfileRowName(list.Rows()[slot]), u"$Profile0");
    EXPECT_EQ(ProfileRowFolder(list.Rows()[slot]), u"/data/");
  }
  EXPECT_EQ(list.Rows()[3].slot, -1);
  EXPECT_FALSE(list.Rows()[3].missing);
  EXPECT_TRUE(list.Rows()[4].missing);
  EXPECT_EQ(list.Checked(), 1);

  for (int active : {-1, 3, 200}) {
    list.Fill("/data/$Profile0", {}, active);
    EXPECT_EQ(list.Checked(), -1) << active;
  }
}

TEST_F(ProfileListRows, ChecksRefuseMissingFilesAndRowsThatDoNotExist) {
  ProfileList list;
  list.Fill("/data/$Profile0", {File("a.kyl"), File("gone.kyl")}, 0);
  EXPECT_TRUE(list.Check(3));
  EXPECT_EQ(list.Checked(), 3);
  EXPECT_FALSE(list.Check(4));
  EXPECT_FALSE(list.Check(5));
  EXPECT_FALSE(list.Check(-2));
  EXPECT_EQ(list.Checked(), 3);
  EXPECT_TRUE(list.Check(-1));
  EXPECT_EQ(list.Checked(), -1);
}

TEST_F(ProfileListRows, DeletionKeepsSlotsAndMovesTheCheckWithItsRow) {
  struct Case {
    const char* name;
    int checked;
    int row;
    int selected;       // returned
    int count;          // rows after
    int checked_after;
  };
  const Case cases[] = {
      {"last row: the one before", 1, 5, 4, 5, 1},
      {"middle row: the next", 1, 3, 3, 5, 1},
      {"checked row goes with its check", 4, 4, 4, 5, -1},
      {"a check after it moves up", 5, 3, 3, 5, 4},
      {"a slot's row stays", 0, 2, -1, 6, 0},
      {"no row", 0, -1, -1, 6, 0},
      {"past the end", 0, 6, -1, 6, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProfileList list;
    list.Fill("/data/$Profile0", {File("a.kyl"), File("b.kyl"), File("c.kyl")}, 0);
    ASSERT_TRUE(list.Check(c.checked));
    EXPECT_EQ(list.Delete(c.row), c.selected);
    EXPECT_EQ(list.Count(), c.count);
    EXPECT_EQ(list.Checked(), c.checked_after);
  }
}

TEST_F(ProfileListRows, StoredEntriesReadBackAsTheSameFileRows) {
  ProfileList list;
  list.Fill("/data/$Profile0", {File("a.kyl")}, 0);
  list.AppendFile(File("b.kyl"));
  const fs::path other = dir_.path() / "notes.prf";  // kept as chosen, extension and all
  list.AppendFile(other);
  const auto entries = list.StoredEntries();
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries[0], (std::pair<std::u16string, std::u16string>{u"PROFILE00", u"6"}));
  EXPECT_EQ(entries[1], (std::pair<std::u16string, std::u16string>{u"PROFILE01", u"/data/$Profile0.kyl"}));
  std::map<std::u16string, std::u16string> stored(entries.begin(), entries.end());
  EXPECT_EQ(Parse(stored), (std::vector<fs::path>{File("a.kyl"), File("b.kyl"), other}));
}

// Apply stores the list in one change of the settings store: a list that
// cannot be written leaves the one stored before whole, not a mix of both.
TEST_F(ProfileListRows, StoringIsOneChangeOfTheSettingsStore) {
  registry::ScopedStoreFile store(dir_.path() / "registry.reg");
  ProfileList list;
  list.Fill("/data/$Profile0", {File("a.kyl")}, 0);
  ASSERT_TRUE(list.Store());
  EXPECT_EQ(ReadStoredProfileList(), (std::vector<fs::path>{File("a.kyl")}));

  list.Fill("/data/$Profile0", {File("b.kyl"), File("c.kyl")}, 0);
  {
    keyloom::testing::FileSizeLimit limit(fs::file_size(dir_.path() / "registry.reg") + 8);
    EXPECT_FALSE(list.Store());
  }
  EXPECT_EQ(ReadStoredProfileList(), (std::vector<fs::path>{File("a.kyl")}));
  ASSERT_TRUE(list.Store());
  EXPECT_EQ(ReadStoredProfileList(), (std::vector<fs::path>{File("b.kyl"), File("c.kyl")}));
}

}  // namespace
}  // namespace keyloom::profiles
