// Another program changed the keyboard while this one ran: the reload reads
// it all again (slot, lighting, keys and macros), dropping the stale copy
// and any unapplied edits made on it.
#include "profiles/outside_change.h"

#include <gtest/gtest.h>

#include "emulator/firmware_model.h"
#include "keyboard_fixture.h"
#include "profiles/active_slot.h"

namespace keyloom::profiles {
namespace {

using keys::KeyKind;
using testing::KeyboardProfiles;
using testing::kA;
using testing::kZ;

constexpr keys::KeyCode kC = 0x2E;
constexpr std::uint16_t kPositionOfA = 19;
constexpr std::uint16_t kLightingRecordBytes = 42;
constexpr std::uint16_t kReportRateByte = 15;

TEST_F(KeyboardProfiles, ReloadAfterAnOutsideChangeReadsTheKeyboardAgain) {
  StartFromTheKeyboardsAssignments();
  ASSERT_EQ(GetActiveSlot(), 0);
  // An edit here, not yet applied, on what the keyboard held before.
  keys::KeyMacroStore& store = EditingStore();
  store.block.tables[0][keys::KeyCodeToSlot(kA)] =
      keys::MakeAssignment(keys::KeyCodeToSlot(kA), KeyKind::SingleKey, kZ);
  session.windows.MainWindowHasUnappliedChanges.store(true);

  // The other program: A sends C in slot 0, slot 2's report rate is 3 and
  // slot 2 is active.
  const std::uint8_t c_key[3] = {0x02, 0x02, 0x06};
  ASSERT_TRUE(model->HandleRequest(emulator::MakeRequest(emulator::kCmdWriteKeyLayer, 3, 3 * kPositionOfA, c_key)));
  const std::uint8_t rate = 3;
  ASSERT_TRUE(model->HandleRequest(emulator::MakeRequest(
      emulator::kCmdWriteLighting, 1, 2 * kLightingRecordBytes + kReportRateByte, {&rate, 1})));
  ASSERT_TRUE(model->SwitchSlotOnKeyboard(2));
  sink = {};

  EXPECT_EQ(ReloadAfterOutsideChange(session), 1);
  EXPECT_EQ(CachedActiveSlot(), 2);
  EXPECT_EQ(sink.slots, std::vector<int>{2});
  EXPECT_EQ(sink.rates, std::vector<int>{3});
  EXPECT_EQ(sink.panels, std::vector<int>{2});
  const keys::KeyAssignment a = store.block.tables[0][keys::KeyCodeToSlot(kA)];
  EXPECT_EQ(a.kind, static_cast<std::uint16_t>(KeyKind::SingleKey));
  EXPECT_EQ(a.value, kC);
  EXPECT_EQ(store.block.tables[2][keys::KeyCodeToSlot(kZ)].kind, static_cast<std::uint16_t>(KeyKind::Macro));
  EXPECT_FALSE(session.windows.MainWindowHasUnappliedChanges.load());
  EXPECT_EQ(session.stores.WriteState.currentProfile.load(), 2);
}

TEST_F(KeyboardProfiles, ReloadAfterAnOutsideChangeThatCannotReadLeavesNothingToWriteBack) {
  StartFromTheKeyboardsAssignments();
  keyboard->Unplug();
  EXPECT_EQ(ReloadAfterOutsideChange(session), 0);
  EXPECT_FALSE(LastReloadReadKeyboard());
  EXPECT_TRUE(EditingStore().macros.empty());
}

}  // namespace
}  // namespace keyloom::profiles
