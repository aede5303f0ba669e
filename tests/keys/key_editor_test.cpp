// The key editor: the record each choice stores, a set refused as a whole,
// descriptions, resets, and which keys the connected keyboard lacks.
#include "keys/key_editor.h"

#include <gtest/gtest.h>

#include "device/device_fixture.h"
#include "test_texts.h"

namespace keyloom::keys {
namespace {

constexpr KeyCode kA = 0x1E, kB = 0x30;
constexpr int kRecordA = 0x1E;
constexpr int kTable = 1;
const int kRecordG3 = GKeyRecordIndex(2, 0);

MacroRecord Macro(std::u16string name, std::uint16_t id, std::uint8_t cycles) {
  MacroRecord m;
  m.name = std::move(name);
  m.id = id;
  m.cycles = cycles;
  return m;
}

class KeyEditorTest : public device::testing::ConnectedKeyboard {
 protected:
  void SetUp() override {
    ConnectedKeyboard::SetUp();
    // As at connection: the keyboard's own default map tells which keys it has.
    device::KeyMap factory{};
    ASSERT_EQ(device::ReadDefaultKeyMap(link, factory.data()), device::CommandResult::kOk);
    link.SetDefaultKeyMap(factory);
    stores.EditingStore.macros = {Macro(u"Copy", 4, 3), Macro(u"copy", 7, 1), Macro(u"Paste", 2, 9)};
  }
  KeyAssignment Record(int record) const { return ReadAssignment(stores.EditingStore, kTable, record); }

  testing::TestTexts texts;
  KeyStores stores;
  KeyEditor editor{stores, link};
};

TEST_F(KeyEditorTest, EachChoiceStoresTheRecordTheDialogWould) {
  using Outcome = KeyChange::Outcome;
  struct Case {
    const char* name;
    int record;
    KeyChoice choice;
    Outcome outcome;
    KeyAssignment stored;  // kind, param, value
  };
  const KeyKind program = KeyKind::LaunchProgram;
  const Case cases[] = {
      {"disabled", kRecordA, KeyChoice::Disabled(), Outcome::kStored, {1, 0, 0}},
      {"stop macro", kRecordA, KeyChoice::StopMacro(), Outcome::kStored, {5, 0, 0}},
      {"another key", kRecordA, KeyChoice::SingleKey(kB), Outcome::kStored, {2, 0, kB}},
      {"the key itself", kRecordA, KeyChoice::SingleKey(kA), Outcome::kStored, {0, 0, 0}},
      {"no key captured", kRecordA, KeyChoice::SingleKey(0), Outcome::kStored, {0, 0, 0}},
      {"no such key code", kRecordA, {KeyKind::SingleKey, 0x10000, {}, {}}, Outcome::kBadEntry, {}},
      {"last media entry", kRecordA, KeyChoice::Media(17), Outcome::kStored, {7, 0, 17}},
      {"past the media list", kRecordA, KeyChoice::Media(18), Outcome::kBadEntry, {}},
      {"last function", kRecordA, KeyChoice::Function(10), Outcome::kStored, {8, 0, 10}},
      {"past the functions", kRecordA, KeyChoice::Function(11), Outcome::kBadEntry, {}},
      {"macro with its cycles", kRecordA, KeyChoice::Macro(2), Outcome::kStored, {4, 9, 2}},
      {"typed cycles clamped", kRecordA, KeyChoice::Macro(2, 300), Outcome::kStored, {4, 255, 2}},
      {"typed cycles 0", kRecordA, KeyChoice::Macro(2, 0), Outcome::kStored, {4, 1, 2}},
      {"no such macro", kRecordA, KeyChoice::Macro(99), Outcome::kNoSuchMacro, {}},
      {"no macro selected", kRecordA, KeyChoice::Macro(0), Outcome::kNoSuchMacro, {}},
      {"exact name first", kRecordA, KeyChoice::MacroNamed(u"copy"), Outcome::kStored, {4, 1, 7}},
      {"the only name ignoring case", kRecordA, KeyChoice::MacroNamed(u"PASTE"), Outcome::kStored, {4, 9, 2}},
      {"two names ignoring case", kRecordA, KeyChoice::MacroNamed(u"COPY"), Outcome::kAmbiguousMacro, {}},
      {"unknown name", kRecordA, KeyChoice::MacroNamed(u"Cut"), Outcome::kNoSuchMacro, {}},
      {"program", kRecordA, {program, 0, {}, {}}, Outcome::kNotEditable, {}},
      {"G key disabled keeps its identifier", kRecordG3, KeyChoice::Disabled(), Outcome::kStored, {1, 0x0303, 0}},
      {"G key default keeps its identifier", kRecordG3, KeyChoice::Default(), Outcome::kStored, {0, 0x0303, 0}},
      {"G key macro keeps the cycles", kRecordG3, KeyChoice::Macro(4), Outcome::kStored, {4, 3, 4}},
      {"second G bank", GKeyRecordIndex(0, 1), KeyChoice::Disabled(), Outcome::kStored, {1, 0x1301, 0}},
      {"a record no button has", kLastGRecord + 1, KeyChoice::Disabled(), Outcome::kNoSuchKey, {}},
      {"a slot without a key", 0, KeyChoice::Disabled(), Outcome::kNoSuchKey, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(StoreAssignment(stores.EditingStore, kTable, kRecordA, MakeAssignment(kRecordA, KeyKind::Disabled, 0)), 1);
    const KeyAssignment before = Record(c.record);
    const KeyChange change = editor.Assign(kTable, c.record, c.choice);
    EXPECT_EQ(change.outcome, c.outcome);
    if (c.outcome != Outcome::kStored) {
      EXPECT_EQ(Record(c.record), before) << "a refused choice stores nothing";
      continue;
    }
    EXPECT_EQ(change.stored, c.stored);
    EXPECT_EQ(Record(c.record), c.stored);
  }
  EXPECT_EQ(editor.Assign(kTable, kRecordA, KeyChoice::MacroNamed(u"COPY")).macro_matches, 2);
}

TEST_F(KeyEditorTest, AnEmptyMacroListOnTheMacroTabStoresTheDefault) {
  ASSERT_TRUE(editor.Assign(kTable, kRecordA, KeyChoice::Disabled()).Ok());
  stores.EditingStore.macros.clear();
  const KeyChange change = editor.Assign(kTable, kRecordA, KeyChoice::Macro(0));
  ASSERT_TRUE(change.Ok());
  EXPECT_EQ(Record(kRecordA).kind, 0);
}

TEST_F(KeyEditorTest, OneRefusedRequestStoresNoneOfTheSet) {
  const KeyRequest requests[] = {
      {kRecordA, KeyChoice::Disabled()},
      {kRecordG3, KeyChoice::MacroNamed(u"Cut")},
      {KeyCodeToSlot(kB), KeyChoice::Media(3)},
  };
  const KeyEdit edit = editor.Assign(kTable, requests);
  EXPECT_EQ(edit.refused, 1);
  ASSERT_EQ(edit.changes.size(), 3u);
  EXPECT_TRUE(edit.changes[0].Ok());
  EXPECT_TRUE(edit.changes[2].Ok());
  EXPECT_EQ(Record(kRecordA), KeyAssignment{});
  EXPECT_EQ(Record(KeyCodeToSlot(kB)), KeyAssignment{});
  EXPECT_FALSE(editor.Assign(kProfileTableCount, kRecordA, KeyChoice::Disabled()).Ok()) << "no such table";
}

TEST_F(KeyEditorTest, KeysTheKeyboardLacksAreStoredAndSaidSo) {
  // The virtual keyboard's factory map has no G keys.
  const KeyRequest requests[] = {
      {kRecordA, KeyChoice::SingleKey(kB)},
      {kRecordG3, KeyChoice::Disabled()},
      {GKeyRecordIndex(0, 0), KeyChoice::Default()},
  };
  const KeyEdit edit = editor.Assign(kTable, requests);
  ASSERT_TRUE(edit.Ok());
  EXPECT_TRUE(edit.changes[0].keyboard_has_key);
  EXPECT_FALSE(edit.changes[1].keyboard_has_key);
  EXPECT_EQ(edit.changes[1].code, kFirstGKeyCode + 2);
  EXPECT_EQ(Record(kRecordG3).kind, 1) << "kept in the profile";
  EXPECT_TRUE(edit.changes[2].keyboard_has_key) << "a default asks nothing of the keyboard";
  EXPECT_TRUE(KeyboardHasKey(link, kA));
  EXPECT_FALSE(KeyboardHasKey(link, kFirstGKeyCode));
}

TEST_F(KeyEditorTest, DescriptionsNameWhatEachKeyDoes) {
  const KeyRequest requests[] = {
      {kRecordA, KeyChoice::Disabled()},
      {KeyCodeToSlot(kB), KeyChoice::StopMacro()},
      {kRecordG3, KeyChoice::MacroNamed(u"Paste")},
  };
  ASSERT_TRUE(editor.Assign(kTable, requests).Ok());
  const std::vector<KeyDescription> keys = editor.Describe(kTable);
  ASSERT_EQ(keys.size(), std::size_t(kPanelButtonCount));
  EXPECT_EQ(keys[2].name, u"G3");
  EXPECT_EQ(keys[2].g_number, 3);
  EXPECT_EQ(keys[2].description, u"G3 - Macro (Paste)");
  int assigned = 0;
  for (const KeyDescription& k : keys) assigned += k.assigned;
  EXPECT_EQ(assigned, 3);

  const std::optional<KeyDescription> a = editor.DescribeKey(kTable, kRecordA);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->code, kA);
  EXPECT_EQ(a->description, GetKeyName(kA) + u" - Disabled");
  EXPECT_EQ(editor.DescribeKey(kTable, KeyCodeToSlot(kB))->description, GetKeyName(kB) + u" - Stop macro");
  EXPECT_FALSE(editor.DescribeKey(kTable, kLastGRecord + 1));
  EXPECT_TRUE(editor.Describe(kProfileTableCount).empty());
}

TEST_F(KeyEditorTest, ResetReturnsTheButtonsOfOneBankAndKeepsTheOtherBank) {
  const KeyRequest requests[] = {
      {kRecordA, KeyChoice::Disabled()},
      {GKeyRecordIndex(0, 0), KeyChoice::Disabled()},
      {GKeyRecordIndex(0, 1), KeyChoice::Disabled()},
  };
  ASSERT_TRUE(editor.Assign(kTable, requests).Ok());
  ASSERT_TRUE(editor.Reset(kTable, 1));
  EXPECT_EQ(Record(kRecordA).kind, 0);
  EXPECT_EQ(Record(GKeyRecordIndex(0, 1)).kind, 0);
  EXPECT_EQ(Record(GKeyRecordIndex(0, 0)).kind, 1);
  EXPECT_FALSE(editor.Reset(kProfileTableCount));
}

}  // namespace
}  // namespace keyloom::keys
