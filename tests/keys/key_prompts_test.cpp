#include "keys/key_prompts.h"

#include <gtest/gtest.h>

#include "keys/key_catalogue.h"
#include "keys/test_texts.h"

namespace keyloom::keys {
namespace {

class KeyPrompts : public ::testing::Test {
 protected:
  KeyPrompts() {
    MacroRecord macro;
    macro.name = u"Rush";
    macro.id = 3;
    store_.macros.push_back(macro);
  }
  testing::TestTexts texts_;
  KeyMacroStore store_;
};

TEST_F(KeyPrompts, TextByKind) {
  struct Case {
    KeyAssignment record;
    std::u16string text;
  };
  const Case cases[] = {
      {{0, 0, 0, 0, 0}, u"A"},
      {{1, 0, 0, 0, 0}, u"A - "},
      {{2, 0, 0x030, 0, 0}, u"A - Key (B)"},
      {{2, 0, 0, 0, 0}, u"A - Key (Key 0000)"},
      {{3, 0, 0, 0, 0}, u"A - "},
      {{4, 5, 3, 0, 0}, u"A - Macro (Rush)"},
      {{4, 5, 9, 0, 0}, u"A - Macro ()"},        // no macro has that identifier
      {{5, 0, 0, 0, 0}, u"A - "},
      {{6, 0, 0, 0, 0}, u"A - "},
      {{7, 0, 0, 0, 0}, u"A - Media (Media Player)"},
      {{7, 0, 6, 0, 0}, u"A - Media (Volume Up)"},
      {{7, 0, 18, 0, 0}, u"A - Media ()"},       // beyond the media list
      {{8, 0, 0, 0, 0}, u"A - Function (Fn one)"},
      {{8, 0, 10, 0, 0}, u"A - Function (Fn eleven)"},
      {{8, 0, 11, 0, 0}, u"A - Function ()"},
      {{9, 0, 0, 0, 0}, u"A - "},                // unknown kind: nothing more
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyPromptText(store_, u"A", c.record), c.text) << c.record.kind << "/" << c.record.value;
  }
}

TEST_F(KeyPrompts, TextIsCutTo259Units) {
  store_.macros[0].name = std::u16string(249, u'm');
  const std::u16string text = KeyPromptText(store_, std::u16string(100, u'k'), {4, 1, 3, 0, 0});
  EXPECT_EQ(text.size(), 259u);
}

TEST_F(KeyPrompts, AllButtonsOfTheCurrentProfile) {
  store_.block.tables[1][0x1E] = {2, 0, 0x030, 0, 0};
  store_.block.tables[1][GKeyRecordIndex(2, 1)] = {4, 1, 3, 0, 0};   // G3, second bank
  store_.block.tables[1][GKeyRecordIndex(2, 0)] = {1, 0, 0, 0, 0};   // G3, first bank
  const std::vector<ButtonPrompt> prompts = RefreshKeyPrompts(store_, 1, 1);
  ASSERT_EQ(prompts.size(), 114u);
  EXPECT_EQ(prompts[0].controlId, 1000);
  EXPECT_EQ(prompts[0].text, u"G1");
  EXPECT_FALSE(prompts[0].assigned);
  EXPECT_EQ(prompts[2].record, 267);
  EXPECT_EQ(prompts[2].text, u"G3 - Macro (Rush)");
  EXPECT_TRUE(prompts[2].assigned);
  EXPECT_EQ(prompts[9].controlId, 1058);  // A, first in panel order
  EXPECT_EQ(prompts[9].text, u"A - Key (B)");
  EXPECT_TRUE(prompts[9].assigned);
  EXPECT_EQ(prompts[10].text, u"B");

  EXPECT_EQ(RefreshKeyPrompts(store_, 0, 0)[9].text, u"A");
  EXPECT_TRUE(RefreshKeyPrompts(store_, 0, 0)[2].assigned == false);
  EXPECT_TRUE(RefreshKeyPrompts(store_, 1, 0)[2].assigned);
  EXPECT_TRUE(RefreshKeyPrompts(store_, -1, 0).empty());
}

TEST_F(KeyPrompts, ResetPanelAssignmentsLeavesRecordsWithoutAButton) {
  AssignmentTable& table = store_.block.tables[2];
  for (int i = 0; i < kRecordsPerTable; ++i) table[i] = {1, 0, 0, 0, 0};
  table[0x1E] = {6, 0, 0, 1, 0};  // a text block on A, and panel button 30's mark
  store_.SetString(StringSlotIndex(2, 0x1E), u"text");
  store_.block.tables[0][0x1E] = {1, 0, 0, 0, 0};

  const std::vector<ButtonPrompt> prompts = ResetPanelAssignments(store_, 2, 0);
  ASSERT_EQ(prompts.size(), 114u);
  for (const ButtonPrompt& prompt : prompts) EXPECT_FALSE(prompt.assigned) << prompt.controlId;

  for (const PanelOrderKey& key : PanelOrderKeys()) EXPECT_EQ(table[KeyCodeToSlot(key.code)].kind, 0);
  for (int g = 0; g < 9; ++g) EXPECT_EQ(table[GKeyRecordIndex(g, 0)].kind, 0);
  for (int g = 0; g < 9; ++g) EXPECT_EQ(table[GKeyRecordIndex(g, 1)].kind, 1);  // the other bank
  EXPECT_EQ(table[0x54].kind, 1);   // Sys Req has no button
  EXPECT_EQ(table[0xB6].kind, 1);   // the second Right Shift slot neither
  EXPECT_EQ(table[274].kind, 1);
  EXPECT_EQ(table[0x1E].mark, 1u);
  EXPECT_EQ(store_.totalStringSize, 0u);
  EXPECT_EQ(store_.block.tables[0][0x1E].kind, 1);  // other profiles untouched

  EXPECT_TRUE(ResetPanelAssignments(store_, -1, 0).empty());
}

}  // namespace
}  // namespace keyloom::keys
