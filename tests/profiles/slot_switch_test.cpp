// Switching the active slot from the program, the active table on the key
// panel, and the profile menu model.
#include "profiles/slot_switch.h"

#include <gtest/gtest.h>

#include "keyboard_fixture.h"
#include "profiles/data_folder.h"
#include "profiles/keyboard_profile.h"

namespace keyloom::profiles {
namespace {

namespace fs = std::filesystem;
using testing::KeyboardProfiles;
using testing::kA;
using testing::kB;

class SlotSwitch : public KeyboardProfiles {
 protected:
  void SetUp() override {
    KeyboardProfiles::SetUp();
    PutAssignmentsOnKeyboard();
    ASSERT_EQ(ReloadFromKeyboard(), 1);  // the working file holds the keyboard's profile
    sink.panels.clear();
  }
  // An edit of slot 0's table that has not been applied.
  void Edit() { EditingStore().block.tables[0][keys::KeyCodeToSlot(kA)].value = 0x2D; }
  bool Edited() { return EditingStore().block.tables[0][keys::KeyCodeToSlot(kA)].value == 0x2D; }
};

TEST_F(SlotSwitch, PromptsApplyAndDropDependOnPendingChanges) {
  struct Case {
    const char* name;
    int startSlot;
    int requested;
    bool composite, mainUnapplied, managerUnapplied, managerOpen;
    host::Answer answer;
    int result;
    int keyboardSlot;
    std::vector<std::u16string> prompts;
    int applies;
    bool editKept;
    bool managerUnappliedAfter;  // the manager's flag once the switch is done
  };
  const std::u16string ask = u"Apply changes first?", refuse = u"Close the key dialog first";
  const std::vector<Case> cases = {
      {"no changes", 0, 1, false, false, false, false, host::Answer::Ok, 1, 1, {}, 0, true, false},
      {"slot 5 acts on slot 0", 2, 5, false, false, false, false, host::Answer::Ok, 1, 0, {}, 0, true, false},
      {"slot -1 leaves the keyboard", 2, -1, false, false, false, false, host::Answer::Ok, 1, 2, {}, 0, true, false},
      {"manager open", 0, 2, false, false, false, true, host::Answer::Ok, 1, 2, {}, 0, true, false},
      {"composite dialog open", 0, 1, true, true, false, false, host::Answer::Yes, 0, 0, {refuse}, 0, true, false},
      {"main window changes, Yes applies", 0, 1, false, true, false, false, host::Answer::Yes, 1, 1, {ask}, 1, true, false},
      {"main window changes, No drops", 0, 1, false, true, false, false, host::Answer::No, 1, 1, {ask}, 0, false, false},
      {"manager changes, No drops", 0, 2, false, false, true, true, host::Answer::No, 1, 2, {ask}, 0, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetKeyboardSlot(static_cast<std::uint8_t>(c.startSlot));
    ForgetActiveSlot();
    ASSERT_EQ(GetActiveSlot(), c.startSlot);
    Edit();
    session.windows.CompositeDialogOpen = c.composite;
    session.windows.MainWindowHasUnappliedChanges = c.mainUnapplied;
    session.windows.ProfileManagerHasUnappliedChanges = c.managerUnapplied;
    session.windows.ProfileManagerOpen = c.managerOpen;
    applies = 0;
    sink.panels.clear();
    sink.slots.clear();
    keys::testing::FakePrompter answers(c.answer);
    const auto asking = Prompting(answers);
    EXPECT_EQ(SwitchProfileSlot(c.requested), c.result);
    EXPECT_EQ(model->ActiveSlot(), c.keyboardSlot);
    std::vector<std::u16string> prompts;
    for (const auto& r : answers.requests) prompts.push_back(r.text);
    EXPECT_EQ(prompts, c.prompts);
    if (!answers.requests.empty() && c.prompts[0] == ask) {
      EXPECT_EQ(answers.requests[0].buttons, host::Buttons::YesNo);
      EXPECT_EQ(answers.requests[0].default_button, host::Answer::No);
    }
    EXPECT_EQ(applies, c.applies);
    EXPECT_EQ(Edited(), c.editKept);
    EXPECT_EQ(session.windows.ProfileManagerHasUnappliedChanges.load(), c.managerUnappliedAfter);
    if (c.answer == host::Answer::No) {
      EXPECT_FALSE(session.windows.MainWindowHasUnappliedChanges.load());
    }
    if (c.result == 1) {
      EXPECT_EQ(sink.panels, std::vector<int>{c.keyboardSlot});
      EXPECT_EQ(sink.slots, std::vector<int>{c.keyboardSlot}) << "the menu and the manager's row";
      EXPECT_EQ(CurrentProfileMenu().checkedPosition, c.keyboardSlot + 2);
      EXPECT_EQ(WriteState().currentProfile.load(), c.keyboardSlot);
    } else {
      EXPECT_TRUE(sink.panels.empty());
      EXPECT_TRUE(sink.slots.empty());
    }
  }
}

TEST_F(SlotSwitch, SecondSwitchWhileThePromptIsOpenDoesNotAskAgain) {
  session.windows.MainWindowHasUnappliedChanges = true;
  keys::testing::FakePrompter answers(host::Answer::No);
  const auto asking = Prompting(answers);
  int nested = -1;
  answers.onAsk = [&] { nested = SwitchProfileSlot(2); };
  EXPECT_EQ(SwitchProfileSlot(1), 1);
  EXPECT_EQ(answers.requests.size(), 1u);
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(model->ActiveSlot(), 1) << "the outer switch ends last";
}

TEST_F(SlotSwitch, ActiveTableComesFromMemoryAlone) {
  SetKeyboardSlot(2);
  ForgetActiveSlot();
  ASSERT_EQ(GetActiveSlot(), 2);
  const std::uint64_t reports = keyboard->WriteCount();
  fs::remove(WorkingProfilePath());
  ShowActiveTable(2);
  EXPECT_EQ(keyboard->WriteCount(), reports);
  EXPECT_EQ(sink.panels, std::vector<int>{2});
  ForgetActiveSlot();
  ShowActiveTable(1);
  EXPECT_EQ(sink.panels, (std::vector<int>{2, 0})) << "table 0 while the slot is unknown";
}

TEST_F(SlotSwitch, MenuModelForKnownAndUnknownSlots) {
  SetKeyboardSlot(1);
  ForgetActiveSlot();
  ASSERT_EQ(RebuildProfileMenu(true), 1);
  ProfileMenuModel menu = CurrentProfileMenu();
  ASSERT_EQ(menu.items.size(), 5u);
  EXPECT_EQ(menu.items[0].commandId, kDefaultProfileCommand);
  EXPECT_EQ(menu.items[0].label, u"Default");
  EXPECT_TRUE(menu.items[1].separator);
  for (int n = 0; n < 3; ++n) {
    EXPECT_EQ(menu.items[2 + n].commandId, 9001 + n);
    EXPECT_EQ(menu.items[2 + n].label, u"$Profile0");
    EXPECT_EQ(menu.items[2 + n].checked, n == 1);
  }
  EXPECT_EQ(menu.caption, u"$Profile0");
  EXPECT_EQ(menu.tooltip, u"Profile: $Profile0");

  ForgetActiveSlot();
  Disconnect();
  ASSERT_EQ(RebuildProfileMenu(false), 1);
  menu = CurrentProfileMenu();
  EXPECT_EQ(menu.items.size(), 5u);
  EXPECT_EQ(menu.checkedPosition, 0);
  EXPECT_TRUE(menu.items[0].checked);
  EXPECT_FALSE(menu.items[3].checked);
  EXPECT_EQ(menu.caption, u"Default");
  EXPECT_EQ(menu.tooltip, u"Profile: Default");
  EXPECT_EQ(sink.slots, (std::vector<int>{1, -1}));
}

TEST(ProfileMenuCommands, CommandIdsMapToSlots) {
  struct Case {
    int id;
    bool mapped;
    int slot;
  };
  for (const Case& c : {Case{9000, true, -1}, Case{9001, true, 0}, Case{9003, true, 2}, Case{9200, true, 199},
                        Case{8999, false, 0}, Case{9201, false, 0}}) {
    int slot = 0;
    EXPECT_EQ(SlotOfProfileCommand(c.id, slot), c.mapped) << c.id;
    if (c.mapped) {
      EXPECT_EQ(slot, c.slot) << c.id;
    }
  }
}

}  // namespace
}  // namespace keyloom::profiles
