// Backing up and restoring ".kyl" files through the editing store and the
// keyboard.
#include "profiles/profile_transfer.h"

#include <gtest/gtest.h>

#include "device/commands.h"
#include "device/request_hook.h"
#include "keyboard_fixture.h"
#include "keys/keymap_image.h"
#include "profiles/data_folder.h"
#include "profiles/keyboard_profile.h"

namespace keyloom::profiles {
namespace {

namespace fs = std::filesystem;
using testing::KeyboardProfiles;
using testing::kA;
using testing::kB;
using testing::ReadBytes;
using testing::WriteBytes;

constexpr std::uint16_t kText = static_cast<std::uint16_t>(keys::KeyKind::TextBlock);

class ProfileTransfer : public KeyboardProfiles {
 protected:
  void SetUp() override {
    KeyboardProfiles::SetUp();
    StartFromTheKeyboardsAssignments();
  }
  std::uint8_t KeyboardReportRate(int slot) { return model->Snapshot().lighting[slot * 42 + 15]; }
};

TEST_F(ProfileTransfer, ExportThenImportRestoresStoreKeyboardAndReportRate) {
  keys::KeyMacroStore& store = EditingStore();
  store.block.tables[1][0x10] = {kText, 0, 0, 0, 0};
  store.SetString(keys::StringSlotIndex(1, 0x10), u"typed text");
  session.lighting.CurrentLighting.report_rate = 2;
  ASSERT_EQ(ExportProfile(File("backup.kyl")), 1);
  const std::vector<std::uint8_t> exported = ReadBytes(File("backup.kyl"));

  // Change everything the backup holds.
  store.Clear();
  store.block = EmptyProfileBlock(0);
  session.lighting.CurrentLighting.report_rate = 0;
  ASSERT_EQ(WriteKeysAndMacros(true), 1);
  session.windows.MainWindowHasUnappliedChanges = true;
  sink.panels.clear();

  EXPECT_EQ(ImportProfile(File("backup.kyl")), 1);
  EXPECT_TRUE(prompter.requests.empty());
  EXPECT_EQ(session.lighting.CurrentLighting.report_rate, 2);
  EXPECT_EQ(sink.rates, std::vector<int>{2});
  EXPECT_EQ(sink.panels, std::vector<int>{0}) << "the key panel shows the active slot's table";
  EXPECT_EQ(KeyboardReportRate(1), 2) << "written into the edited slot's lighting record";
  EXPECT_EQ(store.strings[keys::StringSlotIndex(1, 0x10)].text, u"typed text");
  EXPECT_EQ(store.macros.size(), 1u);
  EXPECT_FALSE(session.windows.MainWindowHasUnappliedChanges.load());
  // The working file is the backup without its trailer.
  const std::vector<std::uint8_t> working = ReadBytes(WorkingProfilePath());
  EXPECT_EQ(working, std::vector<std::uint8_t>(exported.begin(), exported.end() - 4));
  // The keyboard holds the restored key maps again.
  ASSERT_EQ(ReloadFromKeyboard(), 1);
  EXPECT_EQ(store.block.tables[0][keys::KeyCodeToSlot(kA)].value, kB);
  EXPECT_EQ(store.macros.size(), 1u);
  // A second export of the restored store is the same file.
  session.lighting.CurrentLighting.report_rate = 2;
  ASSERT_EQ(ImportProfile(File("backup.kyl")), 1);
  ASSERT_EQ(ExportProfile(File("again.kyl")), 1);
  EXPECT_EQ(ReadBytes(File("again.kyl")), exported);
}

TEST_F(ProfileTransfer, ImportingTheWorkingFileKeepsTheReportRate) {
  session.lighting.CurrentLighting.report_rate = 3;
  const fs::path copy = File("working-copy");
  fs::copy_file(WorkingProfilePath(), copy);
  EXPECT_EQ(ImportProfile(copy), 1);
  EXPECT_EQ(session.lighting.CurrentLighting.report_rate, 3);
  EXPECT_EQ(KeyboardReportRate(1), 3) << "the setting is applied as its button does";
}

TEST_F(ProfileTransfer, AnImportTheKeyboardDidNotTakeStaysToBeApplied) {
  ASSERT_EQ(ExportProfile(File("backup.kyl")), 1);
  // The keyboard refuses the first chunk of slot 0's key map.
  link.CommandDevice().Close();
  auto hooked = std::make_shared<device::testing::RequestHookBackend>(keyboard);
  link.UseBackend(hooked);
  ASSERT_TRUE(link.CommandDevice().Open("inproc:1", true, true, true, false));
  bool armed = false;
  hooked->SetHook([&](const std::uint8_t* r, std::size_t) {
    if (armed || r[3] != device::kCmdWriteKeyLayer || (r[5] | r[6]) != 0) return;
    armed = true;
    model->ArmFault(emulator::FaultKind::kRefuse, 1);
  });
  session.windows.MainWindowHasUnappliedChanges.store(false);
  int written = -1;
  keys::WriteOutcome outcome;
  EXPECT_EQ(ImportProfile(File("backup.kyl"), &written, &outcome), 1) << "the file itself was restored";
  EXPECT_EQ(written, 0);
  EXPECT_NE(outcome.keyMaps[0], device::CommandResult::kOk);
  EXPECT_EQ(outcome.keyMaps[1], device::CommandResult::kOk);
  EXPECT_EQ(outcome.keyMaps[2], device::CommandResult::kOk);
  EXPECT_TRUE(session.windows.MainWindowHasUnappliedChanges.load()) << "Apply stays enabled to send it again";

  hooked->SetHook(nullptr);
  EXPECT_EQ(ImportProfile(File("backup.kyl"), &written, &outcome), 1);
  EXPECT_EQ(written, 1);
  EXPECT_TRUE(outcome.Complete());
  EXPECT_FALSE(session.windows.MainWindowHasUnappliedChanges.load());
}

TEST_F(ProfileTransfer, RefusedImportsChangeNothing) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
    std::vector<std::u16string> messages;
  };
  const std::u16string failed = u"Import failed";
  const std::vector<Case> cases = {
      {"missing file", [](const fs::path&) {}, {failed}},
      {"too short", [](const fs::path& p) { WriteBytes(p, std::vector<std::uint8_t>(100, 0)); }, {failed}},
      {"wrong checksum",
       [](const fs::path& p) {
         std::vector<std::uint8_t> b = EmptyProfileBlock(0).ToBytes();
         b[31] ^= 0x40;
         WriteBytes(p, b);
       },
       {u"Not a profile: %", failed}},
      {"shorter than its content",
       [](const fs::path& p) {
         keys::KeyTableBlock block = EmptyProfileBlock(0);
         BuildProfileHeader(block, 1, 0, 0);
         WriteBytes(p, block.ToBytes());
       },
       {u"Not a profile: %", failed}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path path = File(c.name);
    c.make(path);
    const std::vector<std::uint8_t> before = BuildProfileImage(EditingStore(), std::nullopt);
    const std::vector<std::uint8_t> working = ReadBytes(WorkingProfilePath());
    const std::uint64_t reports = keyboard->WriteCount();
    session.windows.MainWindowHasUnappliedChanges = true;
    keys::testing::FakePrompter answers(host::Answer::Ok);
    const auto asking = Prompting(answers);
    EXPECT_EQ(ImportProfile(path), 0);
    ASSERT_EQ(answers.requests.size(), c.messages.size());
    for (std::size_t i = 0; i < c.messages.size(); ++i) {
      if (c.messages[i].ends_with(u"%")) {
        EXPECT_TRUE(answers.requests[i].text.starts_with(u"Not a profile: "));
      } else {
        EXPECT_EQ(answers.requests[i].text, c.messages[i]);
      }
    }
    EXPECT_EQ(BuildProfileImage(EditingStore(), std::nullopt), before);
    EXPECT_EQ(ReadBytes(WorkingProfilePath()), working);
    EXPECT_EQ(keyboard->WriteCount(), reports);
    EXPECT_TRUE(session.windows.MainWindowHasUnappliedChanges.load());
  }
}

TEST_F(ProfileTransfer, ReportRateButtonIgnoresIndexesOutsideItsFour) {
  for (int index : {-1, 4, 500}) {
    const std::uint64_t reports = keyboard->WriteCount();
    ApplyReportRate(index);
    EXPECT_EQ(keyboard->WriteCount(), reports) << index;
  }
  EXPECT_TRUE(sink.rates.empty());
  ApplyReportRate(3);
  EXPECT_EQ(sink.rates, std::vector<int>{3});
  EXPECT_EQ(KeyboardReportRate(1), 3);
  EXPECT_EQ(session.lighting.CurrentLighting.report_rate, 3);
}

TEST_F(ProfileTransfer, AStoredReportRateOutOfRangeIsNotTakenNorExportedAgain) {
  ASSERT_EQ(ExportProfile(File("backup.kyl")), 1);
  std::vector<std::uint8_t> bytes = ReadBytes(File("backup.kyl"));
  ASSERT_GE(bytes.size(), 4u);
  bytes[bytes.size() - 4] = 0x5E;  // 36446 in the trailer's low half
  bytes[bytes.size() - 3] = 0x8E;
  WriteBytes(File("odd-rate.kyl"), bytes);
  session.lighting.CurrentLighting.report_rate = 1;
  ASSERT_EQ(ImportProfile(File("odd-rate.kyl")), 1);
  EXPECT_EQ(session.lighting.CurrentLighting.report_rate, 1);
  ASSERT_EQ(ExportProfile(File("again.kyl")), 1);
  const std::vector<std::uint8_t> again = ReadBytes(File("again.kyl"));
  EXPECT_EQ(again[again.size() - 4], 1);
  EXPECT_EQ(again[again.size() - 3], 0);
}

}  // namespace
}  // namespace keyloom::profiles
