// The key-setting dialog's rules without its widgets: what it opens with,
// what each edit keeps, the record Apply stores, and that closing without
// applying leaves the editing store as it was.
#include "keys/key_dialog_model.h"
#include "keys/key_panel.h"

#include <gtest/gtest.h>

#include "device/device_fixture.h"
#include "fake_prompter.h"
#include "test_texts.h"

namespace keyloom::keys {
namespace {

constexpr KeyCode kA = 0x1E, kB = 0x30;
constexpr int kRecordA = 0x1E;
constexpr int kTable = 0;
const int kRecordG9 = GKeyRecordIndex(8, 0);

MacroRecord Macro(std::u16string name, std::uint16_t id, std::uint8_t cycles, std::vector<MacroAction> actions = {}) {
  MacroRecord m;
  m.name = std::move(name);
  m.id = id;
  m.cycles = cycles;
  m.actions = std::move(actions);
  return m;
}

class KeyDialogModelTest : public device::testing::ConnectedKeyboard {
 protected:
  void SetUp() override {
    ConnectedKeyboard::SetUp();
    device::KeyMap factory{};
    ASSERT_EQ(device::ReadDefaultKeyMap(link, factory.data()), device::CommandResult::kOk);
    link.SetDefaultKeyMap(factory);
    stores.EditingStore.macros = {
        Macro(u"Copy", 4, 3, {{100, kA, kPress}, {20, kA, kRelease}, {0, kB, kPress}}),
        Macro(u"Paste", 2, 9)};
  }
  void Put(int record, KeyAssignment a) { ASSERT_EQ(StoreAssignment(stores.EditingStore, kTable, record, a), 1); }
  KeyAssignment Record(int record) const { return ReadAssignment(stores.EditingStore, kTable, record); }
  KeyDialogModel Open(int record, bool macro_only = false) {
    return KeyDialogModel(stores, prompter, kTable, record, macro_only);
  }

  testing::TestTexts texts;
  testing::FakePrompter prompter{host::Answer::Yes};
  KeyStores stores;
};

TEST_F(KeyDialogModelTest, OpensOnTheTabOfTheKeysRecord) {
  struct Case {
    const char* name;
    KeyAssignment record;
    bool macro_only;
    KeyDialogTab tab;
    KeyCode captured;
    int media, function, macro;
  };
  const Case cases[] = {
      {"default", {0, 0, 0}, false, KeyDialogTab::kSingleKey, 0, 0, 0, 0},
      {"another key: shown in keyboard mode", {2, 0, kB}, false, KeyDialogTab::kSingleKey, kB, 0, 0, 0},
      {"single key without a target", {2, 0, 0}, false, KeyDialogTab::kSingleKey, 0, 0, 0, 0},
      {"macro by identifier", {4, 5, 2}, false, KeyDialogTab::kMacro, 0, 0, 0, 1},
      {"macro gone: the first", {4, 5, 77}, false, KeyDialogTab::kMacro, 0, 0, 0, 0},
      {"media entry", {7, 0, 5}, false, KeyDialogTab::kMedia, 0, 5, 0, 0},
      {"media entry out of the list", {7, 0, 50}, false, KeyDialogTab::kMedia, 0, 0, 0, 0},
      {"function entry", {8, 0, 10}, false, KeyDialogTab::kFunction, 0, 0, 10, 0},
      {"macro only", {2, 0, kB}, true, KeyDialogTab::kMacro, kB, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put(kRecordA, c.record);
    KeyDialogModel model = Open(kRecordA, c.macro_only);
    EXPECT_EQ(model.Tab(), c.tab);
    EXPECT_EQ(model.CapturedKey(), c.captured);
    EXPECT_EQ(model.MediaEntry(), c.media);
    EXPECT_EQ(model.FunctionEntry(), c.function);
    EXPECT_EQ(model.SelectedMacro(), c.macro);
    EXPECT_FALSE(model.Changed());
  }
}

TEST_F(KeyDialogModelTest, ApplyStoresTheRecordOfTheChoice) {
  struct Case {
    const char* name;
    KeyAssignment before;
    std::function<void(KeyDialogModel&)> edit;
    KeyAssignment stored;
  };
  const Case cases[] = {
      {"captured B", {}, [](KeyDialogModel& m) { m.KeyEvent(kB, true, false); }, {2, 0, kB}},
      {"the key itself", {}, [](KeyDialogModel& m) { m.KeyEvent(kA, true, false); }, {0, 0, 0}},
      {"OK without changes keeps a remap", {2, 0, kB}, [](KeyDialogModel&) {}, {2, 0, kB}},
      {"clear", {2, 0, kB}, [](KeyDialogModel& m) { m.Clear(); }, {0, 0, 0}},
      {"media", {}, [](KeyDialogModel& m) { m.ChooseTab(KeyDialogTab::kMedia); m.SelectMedia(17); }, {7, 0, 17}},
      {"function", {}, [](KeyDialogModel& m) { m.ChooseTab(KeyDialogTab::kFunction); m.SelectFunction(3); }, {8, 0, 3}},
      {"macro with typed cycles", {}, [](KeyDialogModel& m) {
         m.ChooseTab(KeyDialogTab::kMacro); m.SelectMacro(1); m.SetCycles(300); }, {4, 255, 2}},
      {"disabled kept when untouched", {1, 0, 0}, [](KeyDialogModel&) {}, {1, 0, 0}},
      {"disabled replaced by a capture", {1, 0, 0}, [](KeyDialogModel& m) { m.KeyEvent(kB, true, false); }, {2, 0, kB}},
      {"back to the key tab without a key", {7, 0, 3}, [](KeyDialogModel& m) { m.ChooseTab(KeyDialogTab::kSingleKey); }, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put(kRecordA, c.before);
    KeyDialogModel model = Open(kRecordA);
    c.edit(model);
    EXPECT_TRUE(model.Apply(link).Ok());
    const KeyAssignment got = Record(kRecordA);
    EXPECT_EQ(got.kind, c.stored.kind);
    EXPECT_EQ(got.param, c.stored.param);
    EXPECT_EQ(got.value, c.stored.value);
    EXPECT_FALSE(model.Changed());
  }
}

TEST_F(KeyDialogModelTest, CaptureTakesPressesOnlyAndPassesMediaKeys) {
  struct Case {
    const char* name;
    KeyCode code;
    bool press, repeat;
    bool swallowed;
    KeyCode captured;
  };
  const Case cases[] = {
      {"press", kB, true, false, true, kB},
      {"release", kB, false, false, true, 0},
      {"repeat", kB, true, true, true, 0},
      {"print screen on release", kPrintScreenCode, false, false, true, kPrintScreenCode},
      {"left Super", 0x15B, true, false, true, 0x15B},
      {"menu", 0x15D, true, false, true, 0x15D},
      {"media key passes", MediaKeys()[0].code, true, false, false, 0},
      {"unknown key passes", 0, true, false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KeyDialogModel model = Open(kRecordA);
    EXPECT_EQ(model.KeyEvent(c.code, c.press, c.repeat), c.swallowed);
    EXPECT_EQ(model.CapturedKey(), c.captured);
  }
  KeyDialogModel model = Open(kRecordA);
  model.ChooseTab(KeyDialogTab::kMacro);
  EXPECT_TRUE(model.KeyEvent(kB, true, false));
  EXPECT_EQ(model.CapturedKey(), 0) << "only the single-key tab captures";
}

TEST_F(KeyDialogModelTest, MacroOnlyOffersTheMacroTabAlone) {
  KeyDialogModel model = Open(kRecordG9, true);
  EXPECT_EQ(model.Tab(), KeyDialogTab::kMacro);
  EXPECT_FALSE(model.ChooseTab(KeyDialogTab::kSingleKey));
  EXPECT_FALSE(model.ChooseTab(KeyDialogTab::kMedia));
  model.Clear();
  EXPECT_EQ(model.Tab(), KeyDialogTab::kMacro);
  EXPECT_TRUE(model.Apply(link).Ok());
  EXPECT_EQ(Record(kRecordG9).kind, 4);
  EXPECT_EQ(Record(kRecordG9).value, 4u);
  EXPECT_EQ(Record(kRecordG9).param, 3);
}

TEST_F(KeyDialogModelTest, PauseAndCycleLimits) {
  struct Pause {
    long long typed;
    std::uint32_t kept;
    const char* message;
  };
  const Pause pauses[] = {
      {12345, 12340, ""}, {40000, 40000, ""}, {40009, 40000, "MACRO_ACTION_ERR_DELAY_MAX"},
      {50000, 40000, "MACRO_ACTION_ERR_DELAY_MAX"}, {-1, 0, "MACRO_ACTION_ERR_DELAY_MIN"}, {9, 0, ""},
  };
  for (const Pause& p : pauses) {
    SCOPED_TRACE(p.typed);
    KeyDialogModel model = Open(kRecordA);
    prompter.requests.clear();
    EXPECT_EQ(model.EditActionPause(1, p.typed), p.kept);
    EXPECT_EQ(model.Actions()[1].delay, p.kept);
    EXPECT_EQ(prompter.requests.size(), std::string(p.message).empty() ? 0u : 1u);
    if (!prompter.requests.empty()) {
      EXPECT_NE(prompter.requests[0].text.find(p.typed < 0 ? u"0" : u"40000"), std::u16string::npos);
    }
  }
  const std::pair<long long, int> cycles[] = {{300, 255}, {0, 1}, {-5, 1}, {255, 255}, {256, 255}, {7, 7}};
  for (auto [typed, kept] : cycles) {
    KeyDialogModel model = Open(kRecordA);
    EXPECT_EQ(model.SetCycles(typed), kept) << typed;
    EXPECT_EQ(model.Cycles(), kept) << typed;
  }
}

TEST_F(KeyDialogModelTest, ActionEditsKeepTheirPauses) {
  KeyDialogModel model = Open(kRecordA);  // Copy: A↓ 100, A↑ 20, B↓ 0
  EXPECT_EQ(model.MoveAction(2, -1), 0);
  EXPECT_EQ(model.Actions()[0], (MacroAction{0, kB, kPress}));
  EXPECT_EQ(model.MoveAction(0, 1 << 30), 2);
  EXPECT_EQ(model.MoveAction(2, 1), 1);
  EXPECT_EQ(model.Actions()[1], (MacroAction{0, kB, kPress}));
  EXPECT_EQ(model.MoveAction(5, 0), -1);
  EXPECT_TRUE(model.EditActionState(1, kRelease));
  EXPECT_FALSE(model.EditActionState(1, 2));
  EXPECT_TRUE(model.EditActionKey(1, KeyCodeToListPos(kA)));
  EXPECT_EQ(model.Actions()[1], (MacroAction{0, kA, kRelease}));
  EXPECT_FALSE(model.EditActionKey(1, 106));
  EXPECT_TRUE(model.DeleteAction(0));
  EXPECT_EQ(model.Actions().size(), 2u);
  EXPECT_EQ(model.Actions()[0], (MacroAction{0, kA, kRelease}));
  EXPECT_FALSE(model.DeleteAction(2));

  prompter.answer = host::Answer::No;
  EXPECT_FALSE(model.ClearActions());
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].default_button, host::Answer::No);
  EXPECT_EQ(model.Actions().size(), 2u);
  prompter.answer = host::Answer::Yes;
  EXPECT_TRUE(model.ClearActions());
  EXPECT_TRUE(model.Actions().empty());
}

TEST_F(KeyDialogModelTest, ClosingWithoutApplyLeavesTheStoreAsItWas) {
  Put(kRecordA, MakeAssignment(kRecordA, KeyKind::Macro, 4, 3));
  const auto macros_before = stores.EditingStore.macros;
  const KeyAssignment record_before = Record(kRecordA);
  {
    KeyDialogModel model = Open(kRecordA);
    model.SetCycles(200);
    model.EditActionPause(0, 5000);
    model.MoveAction(2, 0);
    model.AddMacro();
    model.RenameMacro(u"Other");
    model.SelectMacro(0);
    EXPECT_TRUE(model.DeleteMacro());  // in use: the prompter says yes
    model.ChooseTab(KeyDialogTab::kMedia);
    EXPECT_TRUE(model.Changed());
  }
  EXPECT_EQ(stores.EditingStore.macros, macros_before);
  EXPECT_EQ(Record(kRecordA), record_before);
}

TEST_F(KeyDialogModelTest, DeletingAMacroInUseAsksAndApplyResetsItsKeys) {
  Put(kRecordA, MakeAssignment(kRecordA, KeyKind::Macro, 2, 1));
  Put(0x30, MakeAssignment(0x30, KeyKind::Macro, 4, 1));
  KeyDialogModel model = Open(kRecordA);
  model.SelectMacro(0);
  prompter.answer = host::Answer::No;
  EXPECT_FALSE(model.DeleteMacro());
  EXPECT_EQ(model.Macros().size(), 2u);
  prompter.answer = host::Answer::Yes;
  EXPECT_TRUE(model.DeleteMacro());
  EXPECT_EQ(model.Macros().size(), 1u);
  EXPECT_TRUE(model.Apply(link).Ok());
  EXPECT_EQ(stores.EditingStore.macros.size(), 1u);
  EXPECT_EQ(Record(0x30).kind, 0) << "the key that played the deleted macro";
  EXPECT_EQ(Record(kRecordA).kind, 4);
  EXPECT_EQ(Record(kRecordA).value, 2u);
}

TEST_F(KeyDialogModelTest, PlacementBesideTheKeyAndRecordsOfButtons) {
  struct Case {
    const char* name;
    ScreenRect key;
    ScreenPoint at;
  };
  // A 560 x 420 dialog on a 1280 x 800 screen.
  const Case cases[] = {
      {"below right", {100, 100, 140, 140}, {140, 140}},
      {"above right", {100, 600, 140, 640}, {140, 180}},
      {"below left", {1000, 100, 1040, 140}, {440, 140}},
      {"above left", {1000, 600, 1040, 640}, {440, 180}},
      {"nowhere: below right, kept on the screen", {400, 300, 880, 500}, {720, 380}},
      {"nowhere on a small screen: top left", {0, 0, 40, 40}, {0, 0}},
  };
  for (const Case& c : cases) {
    const bool small = std::string(c.name).find("small") != std::string::npos;
    EXPECT_EQ(PlaceBesideKey(c.key, 560, 420, small ? 500 : 1280, small ? 400 : 800), c.at) << c.name;
  }
  EXPECT_EQ(RecordOfKeyButton(1058), KeyCodeToSlot(kA));
  EXPECT_EQ(RecordOfKeyButton(kMacroOnlyControlId), kRecordG9);
  EXPECT_EQ(RecordOfKeyButton(GKeyControlIds()[0], 1), GKeyRecordIndex(0, 1));
  EXPECT_EQ(RecordOfKeyButton(1), -1);
  EXPECT_EQ(RecordOfKeyButton(kFirstDKeyControlId), -1) << "D keys have no key code, so no record";
}

}  // namespace
}  // namespace keyloom::keys
