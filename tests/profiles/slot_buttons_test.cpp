// The main window's slot buttons, Default's key part, the keyboard reset and
// the release at the end, as rules on the keyboard session.
#include "profiles/slot_buttons.h"

#include <gtest/gtest.h>

#include "keyboard_fixture.h"

namespace keyloom::profiles {
namespace {

using testing::KeyboardProfiles;
using testing::kA;
using testing::kZ;

class SlotButtons : public KeyboardProfiles {
 protected:
  void SetUp() override {
    KeyboardProfiles::SetUp();
    PutAssignmentsOnKeyboard();  // A in slot 0, Z in slot 2
    ASSERT_EQ(ReloadFromKeyboard(), 1);
  }
  const keys::KeyAssignment& Record(int table, keys::KeyCode code) {
    return EditingStore().block.tables[table][keys::KeyCodeToSlot(code)];
  }
};

TEST_F(SlotButtons, ButtonOfAnotherSlotSwitchesTheActiveOneOnlyReads) {
  struct Case {
    const char* name;
    int active;
    int pressed;
    bool compositeOpen;
    bool switched;
    int keyboardSlotAfter;
  };
  const Case cases[] = {
      {"another slot", 0, 2, false, true, 2},
      {"the active slot", 1, 1, false, false, 1},
      {"refused while the key dialog is open", 0, 1, true, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetKeyboardSlot(static_cast<std::uint8_t>(c.active));
    ForgetActiveSlot();
    session.windows.CompositeDialogOpen.store(c.compositeOpen);
    session.lighting.LightingSlot = c.active;
    const auto config = model->Snapshot().config;
    const SlotButtonOutcome outcome = PressSlotButton(session, c.pressed);
    EXPECT_EQ(outcome.switched, c.switched);
    EXPECT_EQ(outcome.lightingRead, 1);
    EXPECT_EQ(model->ActiveSlot(), c.keyboardSlotAfter);
    EXPECT_EQ(session.lighting.LightingSlot, c.pressed) << "the lighting panel edits the pressed slot";
    if (!c.switched) {
      EXPECT_EQ(model->Snapshot().config, config) << "the configuration was written";
    }
  }
  session.windows.CompositeDialogOpen.store(false);
  EXPECT_EQ(PressSlotButton(session, 3).switched, false);
  EXPECT_EQ(PressSlotButton(session, -1).switched, false);
}

TEST_F(SlotButtons, SyncFollowsTheKeyboardAndLeavesAnUnknownSlotAlone) {
  SetKeyboardSlot(2);
  ForgetActiveSlot();
  session.lighting.LightingSlot = 0;
  EXPECT_EQ(SyncSlotButtons(session), 2);
  EXPECT_EQ(session.lighting.LightingSlot, 2);

  SetKeyboardSlot(7);  // a keyboard that reports no slot
  ForgetActiveSlot();
  EXPECT_EQ(SyncSlotButtons(session), -1);
  EXPECT_EQ(session.lighting.LightingSlot, 2);
}

TEST_F(SlotButtons, DefaultClearsTheActiveSlotsKeysOnly) {
  SetKeyboardSlot(0);
  ForgetActiveSlot();
  ASSERT_EQ(GetActiveSlot(), 0);
  ASSERT_NE(Record(0, kA).kind, 0);
  ASSERT_NE(Record(2, kZ).kind, 0);
  const std::vector<keys::ButtonPrompt> prompts = ResetActiveSlotKeys(session);
  EXPECT_EQ(prompts.size(), 114u);
  for (const keys::ButtonPrompt& p : prompts) EXPECT_FALSE(p.assigned) << p.controlId;
  EXPECT_EQ(Record(0, kA).kind, 0);
  EXPECT_NE(Record(2, kZ).kind, 0) << "another slot lost its key";
  EXPECT_TRUE(session.windows.MainWindowHasUnappliedChanges.load());

  // Unknown slot: nothing changes.
  session.windows.MainWindowHasUnappliedChanges.store(false);
  ForgetActiveSlot();
  EXPECT_TRUE(ResetActiveSlotKeys(session).empty());
  EXPECT_NE(Record(2, kZ).kind, 0);
  EXPECT_FALSE(session.windows.MainWindowHasUnappliedChanges.load());
}

TEST_F(SlotButtons, ReleaseEmptiesBothStores) {
  ASSERT_EQ(WriteKeysAndMacros(false), 1);
  session.windows.MainWindowHasUnappliedChanges.store(true);
  ASSERT_FALSE(EditingStore().macros.empty());
  ReleaseStores(session);
  EXPECT_FALSE(session.windows.MainWindowHasUnappliedChanges.load());
  EXPECT_TRUE(EditingStore().macros.empty());
  EXPECT_TRUE(DeviceStore().macros.empty());
  EXPECT_EQ(Record(0, kA).kind, 0);
}

}  // namespace
}  // namespace keyloom::profiles
