// The macro editor: which names, cycle counts and pauses it keeps, and what
// adding, renaming and deleting do to the list and, after Apply, the store.
#include "keys/macro_editor.h"

#include <gtest/gtest.h>

#include <optional>

#include "keys/fake_prompter.h"
#include "keys/test_texts.h"
#include "platform/text.h"

namespace keyloom::keys {
namespace {

constexpr std::uint16_t kMacro = static_cast<std::uint16_t>(KeyKind::Macro);

MacroRecord Macro(std::u16string name, std::uint16_t id) {
  MacroRecord macro;
  macro.name = std::move(name);
  macro.id = id;
  return macro;
}

class MacroEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stores_.EditingStore.macros = {Macro(u"Greeting", 1), Macro(u"Second", 2)};
    editor.emplace(stores_, prompter_);
    editor_ = &*editor;
    editor_->List().SetWait([](std::chrono::milliseconds) {});
  }
  testing::TestTexts texts_;
  KeyStores stores_;
  testing::FakePrompter prompter_;
  std::optional<MacroEditor> editor;  // loads the store's macros
  MacroEditor* editor_ = nullptr;
};

TEST(MacroRules, NamesAndPausesAreKeptWithinTheirLimits) {
  EXPECT_EQ(CheckMacroName(u""), MacroNameCheck::kEmpty);
  EXPECT_EQ(CheckMacroName(std::u16string(kMaxMacroNameLength, u'a')), MacroNameCheck::kOk);
  EXPECT_EQ(CheckMacroName(std::u16string(kMaxMacroNameLength + 1, u'a')), MacroNameCheck::kTooLong);

  const std::pair<long long, std::uint32_t> kept[] = {{0, 0}, {9, 0}, {15, 10}, {39999, 39990}, {40000, 40000}};
  for (const auto& [typed, expected] : kept) {
    std::uint32_t pause = 1;
    ASSERT_TRUE(KeepTypedPause(typed, pause)) << typed;
    EXPECT_EQ(pause, expected) << typed;
  }
  std::uint32_t pause = 0;
  EXPECT_FALSE(KeepTypedPause(40001, pause));
  EXPECT_FALSE(KeepTypedPause(-1, pause));
}

TEST_F(MacroEditorTest, AddKeepsNameCyclesAndActionsAndClampsTheCycles) {
  const std::vector<MacroAction> actions = {{20, 0x023, kPress}, {0, 0x023, kRelease}};
  const MacroEdit added = editor_->Add(u"Hello", 300, actions);
  ASSERT_TRUE(added.Ok());
  EXPECT_EQ(added.position, 2);
  EXPECT_TRUE(stores_.EditingStore.macros.size() == 2u) << "nothing reaches the store before Apply";
  editor_->Apply();
  ASSERT_EQ(stores_.EditingStore.macros.size(), 3u);
  const MacroRecord& m = stores_.EditingStore.macros[2];
  EXPECT_EQ(m.name, u"Hello");
  EXPECT_EQ(m.cycles, 255);
  EXPECT_EQ(m.actions, actions);
  EXPECT_EQ(editor_->Add(u"Zero", 0, {}).Ok(), true);
  EXPECT_EQ(editor_->List().Macros().back().cycles, 1);
}

TEST_F(MacroEditorTest, ANameAnotherMacroBeginsWithIsRefusedAndChangesNothing) {
  struct Case {
    std::u16string_view name;
    MacroEdit::Outcome outcome;
    std::u16string_view taken_by;
  };
  const Case cases[] = {
      {u"sec", MacroEdit::Outcome::kNameTaken, u"Second"},
      {u"GREETING", MacroEdit::Outcome::kNameTaken, u"Greeting"},
      {u"", MacroEdit::Outcome::kBadName, u""},
      {u"Seconds", MacroEdit::Outcome::kDone, u""},
  };
  for (const Case& c : cases) {
    const std::size_t before = editor_->List().Macros().size();
    const MacroEdit edit = editor_->Add(c.name, 1, {});
    EXPECT_EQ(edit.outcome, c.outcome) << text::ToUtf8(std::u16string(c.name));
    EXPECT_EQ(edit.taken_by, c.taken_by);
    EXPECT_EQ(editor_->List().Macros().size(), before + (edit.Ok() ? 1 : 0));
  }
}

TEST_F(MacroEditorTest, RenameKeepsTheKeysPlayingTheMacroAndRefusesATakenName) {
  stores_.EditingStore.block.tables[0][0x1E] = {kMacro, 1, 1, 0, 0};
  const MacroEdit clash = editor_->Rename(0, u"sec");
  EXPECT_EQ(clash.outcome, MacroEdit::Outcome::kNameTaken);
  EXPECT_EQ(clash.taken_by, u"Second");
  EXPECT_EQ(editor_->List().Macros()[0].name, u"Greeting");
  // Its own name, in another case, is no clash.
  ASSERT_TRUE(editor_->Rename(0, u"greet").Ok());
  EXPECT_EQ(editor_->Rename(5, u"x").outcome, MacroEdit::Outcome::kNoSuchMacro);
  editor_->Apply();
  EXPECT_EQ(stores_.EditingStore.macros[0].name, u"greet");
  EXPECT_EQ(stores_.EditingStore.block.tables[0][0x1E].kind, kMacro);
}

TEST_F(MacroEditorTest, DeletingAMacroThatKeysPlayAsksAndItsKeysReturnToDefault) {
  stores_.EditingStore.block.tables[1][0x1E] = {kMacro, 1, 2, 0, 0};  // plays macro 2
  prompter_.answer = host::Answer::No;
  EXPECT_EQ(editor_->Delete(1).outcome, MacroEdit::Outcome::kNotConfirmed);
  EXPECT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(editor_->List().Macros().size(), 2u);

  prompter_.answer = host::Answer::Yes;
  ASSERT_TRUE(editor_->Delete(1).Ok());
  const std::vector<RecordRef> reset = editor_->Apply();
  EXPECT_EQ(reset, (std::vector<RecordRef>{{1, 0x1E}}));
  EXPECT_EQ(stores_.EditingStore.block.tables[1][0x1E].kind, 0);
  ASSERT_EQ(stores_.EditingStore.macros.size(), 1u);
  EXPECT_EQ(editor_->Delete(3).outcome, MacroEdit::Outcome::kNoSuchMacro);
}

}  // namespace
}  // namespace keyloom::keys
