// The profile editor: which files it takes for a restore, what its
// summaries count, and what export, restore and a read of the keyboard
// report, on the in-process keyboard.
#include "profiles/profile_editor.h"

#include <gtest/gtest.h>

#include "keyboard_fixture.h"
#include "profiles/profile_transfer.h"

namespace keyloom::profiles {
namespace {

namespace fs = std::filesystem;
using testing::KeyboardProfiles;
using testing::WriteBytes;
using Check = ProfileCheck::Outcome;

class ProfileEditorTest : public KeyboardProfiles {
 protected:
  void SetUp() override {
    KeyboardProfiles::SetUp();
    StartFromTheKeyboardsAssignments();
  }
  // The editing store as an exported file whose trailer holds `rate`.
  fs::path FileWithRate(const char* name, std::uint32_t rate) {
    const fs::path path = File(name);
    EXPECT_TRUE(ReplaceFile(path, BuildProfileImage(EditingStore(), rate)));
    return path;
  }
  ProfileEditor editor{session};
};

TEST_F(ProfileEditorTest, ChecksSayWhyAFileCannotBeRestored) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
    bool regular_only;
    Check outcome;
    std::uintmax_t size;
    std::size_t messages;  // what the prompter was told
  };
  const std::vector<Case> cases = {
      {"missing", [](const fs::path&) {}, false, Check::kMissing, 0, 0},
      {"missing, restore", [](const fs::path&) {}, true, Check::kNotAFile, 0, 0},
      {"folder", [](const fs::path& p) { fs::create_directory(p); }, false, Check::kCannotOpen, 0, 0},
      {"folder, restore", [](const fs::path& p) { fs::create_directory(p); }, true, Check::kNotAFile, 0, 0},
      {"too short", [](const fs::path& p) { WriteBytes(p, std::vector<std::uint8_t>(100, 0)); }, false,
       Check::kTooShort, 100, 0},
      {"wrong checksum",
       [](const fs::path& p) {
         std::vector<std::uint8_t> b = EmptyProfileBlock(0).ToBytes();
         b[31] ^= 0x40;
         WriteBytes(p, b);
       },
       false, Check::kBadFormat, keys::kKeyTableBlockBytes, 1},
      {"valid", [](const fs::path& p) { WriteBytes(p, EmptyProfileBlock(0).ToBytes()); }, true, Check::kValid, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    prompter.requests.clear();
    const fs::path path = File(c.name);
    c.make(path);
    LoadedProfile loaded;
    const ProfileCheck check = editor.Check(path, loaded, c.regular_only);
    EXPECT_EQ(check.outcome, c.outcome);
    if (c.outcome == Check::kTooShort || c.outcome == Check::kBadFormat) {
      EXPECT_EQ(check.size, c.size);
    }
    EXPECT_EQ(prompter.requests.size(), c.messages);
  }
}

TEST_F(ProfileEditorTest, SummariesCountKeysPerSlotAndSayWhetherTheStoredRateIsApplied) {
  struct Case {
    std::optional<std::uint32_t> trailer;
    std::optional<std::uint32_t> rate;
    bool out_of_range;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt, false},
      {2, 2, false},
      {3, 3, false},
      {4, 4, true},
      {0x00070001, 1, false},  // only the low 16 bits are the rate
  };
  for (const Case& c : cases) {
    LoadedProfile loaded;
    ASSERT_TRUE(ParseProfileImage(BuildProfileImage(EditingStore(), c.trailer), loaded));
    const ProfileSummary s = SummariseProfile(loaded);
    EXPECT_EQ(s.report_rate, c.rate);
    EXPECT_EQ(s.rate_out_of_range, c.out_of_range);
    EXPECT_EQ(s.macros, 1);
    EXPECT_EQ(s.assigned[0], 1);
    EXPECT_EQ(s.assigned[1], 0);
    EXPECT_EQ(s.assigned[2], 1);
    EXPECT_FALSE(s.kept_rate);
  }
}

TEST_F(ProfileEditorTest, ExportStoresTheRateSetAndSummarisesTheStore) {
  session.lighting.CurrentLighting.report_rate = 2;
  const ProfileExport exported = editor.Export(File("backup.kyl"));
  ASSERT_TRUE(exported.written);
  EXPECT_EQ(exported.summary.report_rate, 2u);
  EXPECT_EQ(exported.summary.macros, 1);
  LoadedProfile loaded;
  ASSERT_TRUE(editor.Check(File("backup.kyl"), loaded, true).Ok());
  EXPECT_EQ(SummariseProfile(loaded).report_rate, 2u);
  EXPECT_FALSE(editor.Export(File("no such folder") / "backup.kyl").written);
}

TEST_F(ProfileEditorTest, RestoreSaysWhichRateTheKeyboardKeeps) {
  struct Case {
    const char* name;
    std::optional<std::uint32_t> trailer;
    std::optional<std::uint32_t> rate;
    std::optional<std::uint32_t> kept;
  };
  const Case cases[] = {
      {"in range", 2, 2, std::nullopt},
      {"out of range", 9, 9, 1},
      {"none stored", std::nullopt, std::nullopt, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    session.lighting.CurrentLighting.report_rate = 1;
    const fs::path path = File(c.name);
    ASSERT_TRUE(ReplaceFile(path, BuildProfileImage(EditingStore(), c.trailer)));
    LoadedProfile checked;
    ASSERT_TRUE(editor.Check(path, checked, true).Ok());
    const ProfileRestore restored = editor.Restore(path, checked);
    ASSERT_TRUE(restored.Ok());
    EXPECT_TRUE(restored.not_taken.empty());
    EXPECT_EQ(restored.summary.report_rate, c.rate);
    EXPECT_EQ(restored.summary.kept_rate, c.kept);
    EXPECT_EQ(restored.summary.assigned[0], 1);
  }
}

TEST_F(ProfileEditorTest, ARestoreTheKeyboardRefusesNamesThePartsNotTaken) {
  const fs::path path = FileWithRate("backup.kyl", 0);
  LoadedProfile checked;
  ASSERT_TRUE(editor.Check(path, checked, true).Ok());
  model->ArmFault(emulator::FaultKind::kRefuse, 1000);
  const ProfileRestore restored = editor.Restore(path, checked);
  model->ClearFaults();
  EXPECT_EQ(restored.outcome, ProfileRestore::Outcome::kKeyboardRefused);
  ASSERT_TRUE(restored.write.sent);
  ASSERT_FALSE(restored.not_taken.empty());
  EXPECT_EQ(restored.not_taken.front(), WritePart{WritePart::Kind::kBegin});
  EXPECT_EQ(restored.not_taken.back(), WritePart{WritePart::Kind::kEnd});
  EXPECT_EQ(restored.summary.assigned[0], 1) << "the editing store holds the file all the same";
}

TEST(ProfileWriteParts, PartsNotTakenFollowTheOrderSent) {
  keys::WriteOutcome all_taken;
  all_taken.sent = true;
  using device::CommandResult;
  all_taken.begin = all_taken.macroArea = all_taken.end = CommandResult::kOk;
  all_taken.keyMapSent = {true, false, true};
  // slot 1 was not sent: not a part refused
  all_taken.keyMaps = {CommandResult::kOk, CommandResult::kNotSent, CommandResult::kOk};
  EXPECT_TRUE(PartsNotTaken(all_taken).empty());

  keys::WriteOutcome refused = all_taken;
  refused.macroArea = CommandResult::kRefusedFE;
  refused.keyMaps = {CommandResult::kOk, CommandResult::kNotSent, CommandResult::kNotSent};
  refused.end = CommandResult::kNotSent;
  const std::vector<WritePart> expected = {
      {WritePart::Kind::kMacros}, {WritePart::Kind::kKeyMap, 2}, {WritePart::Kind::kEnd}};
  EXPECT_EQ(PartsNotTaken(refused), expected);
  refused.begin = CommandResult::kNotSent;
  EXPECT_EQ(PartsNotTaken(refused).front(), WritePart{WritePart::Kind::kBegin});
}

TEST_F(ProfileEditorTest, AReadOfTheKeyboardSummarisesTheFileWritten) {
  const ProfileRead read = editor.ReadKeyboard(File("read.kyl"));
  ASSERT_TRUE(read.Ok());
  EXPECT_EQ(read.summary.assigned[0], 1);
  EXPECT_EQ(read.summary.assigned[2], 1);
  EXPECT_EQ(read.summary.macros, 1);
  EXPECT_FALSE(read.summary.report_rate) << "the keyboard keeps no rate in the file";

  // A keyboard that stops answering leaves the file as it was.
  Disconnect();
  const ProfileRead failed = editor.ReadKeyboard(File("read.kyl"));
  EXPECT_FALSE(failed.Ok());
  LoadedProfile loaded;
  EXPECT_TRUE(ReadProfileFile(File("read.kyl"), loaded));
}

}  // namespace
}  // namespace keyloom::profiles
