#include "keys/macro_list.h"

#include <gtest/gtest.h>

#include "keys/fake_prompter.h"
#include "keys/macro_lookups.h"
#include "keys/test_texts.h"

namespace keyloom::keys {
namespace {

constexpr std::uint16_t kMacro = static_cast<std::uint16_t>(KeyKind::Macro);

MacroRecord Macro(std::u16string name, std::uint16_t id, std::size_t actions = 0) {
  MacroRecord macro;
  macro.name = std::move(name);
  macro.id = id;
  macro.actions.assign(actions, MacroAction{10, 0x01E, 0});
  return macro;
}

class MacroList : public ::testing::Test {
 protected:
  MacroListModel Model() {
    MacroListModel model(stores_, prompter_);
    model.SetWait([this](std::chrono::milliseconds ms) { waits_.push_back(ms); });
    return model;
  }
  std::vector<std::u16string> Names(const MacroListModel& model) {
    std::vector<std::u16string> names;
    for (const MacroRecord& macro : model.Macros()) names.push_back(macro.name);
    return names;
  }
  testing::TestTexts texts_;
  KeyStores stores_;
  KeyMacroStore& store_ = stores_.EditingStore;
  testing::FakePrompter prompter_;
  std::vector<std::chrono::milliseconds> waits_;
};

TEST_F(MacroList, NewIdentifierIsTheSmallestFree) {
  const std::vector<MacroRecord> macros = {Macro(u"a", 1), Macro(u"b", 2), Macro(u"c", 4)};
  EXPECT_EQ(NewMacroId(macros), 3);
  EXPECT_EQ(NewMacroId({}), 1);
  std::vector<MacroRecord> full;
  for (std::uint16_t id = 1; id <= 100; ++id) full.push_back(Macro(u"m", id));
  EXPECT_EQ(NewMacroId(full), 0);
}

TEST_F(MacroList, AddNamesByCounterAndSkipsPrefixesOfExistingNames) {
  store_.macros = {Macro(u"MACRO12", 1), Macro(u"Macro2x", 2)};
  MacroListModel model = Model();
  EXPECT_EQ(model.Add(), MacroListModel::AddResult::Added);
  // "Macro1" begins "MACRO12" (case-insensitive) and "Macro2" begins
  // "Macro2x": both are skipped.
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"MACRO12", u"Macro2x", u"Macro3"}));
  EXPECT_EQ(waits_, (std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(16), std::chrono::milliseconds(16)}));
  const MacroRecord& added = model.Macros().back();
  EXPECT_EQ(added.id, 3);
  EXPECT_EQ(added.isNew, 1);
  EXPECT_EQ(added.cycles, 1);
  EXPECT_TRUE(added.actions.empty());
  EXPECT_EQ(model.Selected(), 2);
  EXPECT_TRUE(model.Changed());
}

TEST_F(MacroList, CounterRestartsWhenTheListIsEmpty) {
  MacroListModel model = Model();
  model.Add();
  model.Add();
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"Macro1", u"Macro2"}));
  model.Select(0);
  EXPECT_TRUE(model.Delete());
  EXPECT_TRUE(model.Delete());
  EXPECT_EQ(model.Selected(), -1);
  model.Add();
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"Macro1"}));
}

TEST_F(MacroList, TheHundredFirstMacroIsRefused) {
  for (std::uint16_t id = 1; id <= 100; ++id) store_.macros.push_back(Macro(u"m" + std::u16string(id, u'x'), id));
  MacroListModel model = Model();
  EXPECT_EQ(model.Add(), MacroListModel::AddResult::TooMany);
  EXPECT_EQ(model.Macros().size(), 100u);
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].text, u"At most 100 macros");
  EXPECT_FALSE(model.Changed());
}

TEST_F(MacroList, Rename) {
  store_.macros = {Macro(u"Alpha", 1, 2), Macro(u"Beta", 2)};
  MacroListModel model = Model();
  model.Select(1);
  model.Rename(u"Gamma");
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"Alpha", u"Gamma"}));
  model.Rename(u"al");  // another entry begins with it: the next counter name
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"Alpha", u"Macro1"}));
  model.Rename(u"Macro");  // begins only the macro's own name: accepted
  EXPECT_EQ(model.Macros()[1].name, u"Macro");
  model.Rename(u"");  // empty: the next counter name
  EXPECT_EQ(model.Macros()[1].name, u"Macro2");
  model.Rename(std::u16string(300, u'z'));
  EXPECT_EQ(model.Macros()[1].name.size(), 249u);
  EXPECT_EQ(model.Macros()[1].id, 2);
}

TEST_F(MacroList, RenamingToAnEmptyNameThatIsTakenKeepsTheMacro) {
  // The next counter name "Macro1" begins an existing entry: the macro keeps
  // its place and actions and takes the following free name.
  store_.macros = {Macro(u"Macro1 old", 1), Macro(u"Mine", 2, 5)};
  MacroListModel model = Model();
  model.Select(1);
  model.Rename(u"");
  ASSERT_EQ(model.Macros().size(), 2u);
  EXPECT_EQ(model.Macros()[1].name, u"Macro2");
  EXPECT_EQ(model.Macros()[1].actions.size(), 5u);
  EXPECT_EQ(model.Macros()[1].id, 2);
}

TEST_F(MacroList, TypingIntoAnEmptyListCreatesAMacro) {
  MacroListModel model = Model();
  model.Rename(u"Fresh");
  ASSERT_EQ(model.Macros().size(), 1u);
  EXPECT_EQ(model.Macros()[0].name, u"Fresh");
  EXPECT_EQ(model.Macros()[0].isNew, 1);
  EXPECT_EQ(model.Macros()[0].id, 1);
}

TEST_F(MacroList, DeletingAUsedMacroAsksAndReusedIdentifiersDoNotInheritKeys) {
  store_.macros = {Macro(u"One", 1), Macro(u"Two", 2), Macro(u"Four", 4)};
  store_.block.tables[0][256] = {kMacro, 0x0301, 1, 0, 0};  // G1 plays macro 1
  store_.block.tables[1][0x1E] = {kMacro, 1, 2, 0, 0};
  MacroListModel model = Model();

  {
    prompter_.answer = host::Answer::No;
    model.Select(0);
    EXPECT_FALSE(model.Delete());
    EXPECT_EQ(prompter_.requests.size(), 1u);
    EXPECT_EQ(model.Macros().size(), 3u);
  }
  prompter_.answer = host::Answer::Yes;
  prompter_.requests.clear();
  EXPECT_TRUE(model.Delete());
  EXPECT_EQ(model.Selected(), 0);
  EXPECT_EQ(Names(model), (std::vector<std::u16string>{u"Two", u"Four"}));

  model.Add();  // takes identifier 1 again, flagged new
  EXPECT_EQ(model.Macros().back().id, 1);
  EXPECT_EQ(model.Macros().back().isNew, 1);

  const std::vector<RecordRef> reset = model.Apply();
  EXPECT_EQ(reset, (std::vector<RecordRef>{{0, 256}}));
  EXPECT_EQ(store_.block.tables[0][256].kind, 0);
  EXPECT_EQ(store_.block.tables[1][0x1E].kind, kMacro);
  ASSERT_EQ(store_.macros.size(), 3u);
  for (const MacroRecord& macro : store_.macros) EXPECT_EQ(macro.isNew, 0);
  for (const MacroRecord& macro : model.Macros()) EXPECT_EQ(macro.isNew, 0);
  EXPECT_FALSE(model.Changed());

  // Now applied, the reused macro is a real one: assigning and deleting it asks.
  store_.block.tables[2][0x20] = {kMacro, 1, 1, 0, 0};
  model.Select(2);
  EXPECT_TRUE(model.Delete());
  EXPECT_EQ(prompter_.requests.size(), 2u);
}

TEST_F(MacroList, ApplyingAnEmptyListEmptiesTheStore) {
  store_.macros = {Macro(u"One", 1)};
  MacroListModel model = Model();
  model.Delete();
  model.Apply();
  EXPECT_EQ(store_.MacroCount(), 0);
}

TEST_F(MacroList, Lookups) {
  store_.macros = {Macro(u"Five", 5), Macro(u"Two", 2), Macro(u"Dup", 2)};
  EXPECT_EQ(MacroIdToIndex(store_, 2), 1);
  EXPECT_EQ(MacroIdToIndex(store_, 5), 0);
  EXPECT_EQ(MacroIdToIndex(store_, 77), 0);  // unknown: the first macro's position
  EXPECT_EQ(MacroIndexToId(store_, 0), 5);
  EXPECT_EQ(MacroIndexToId(store_, 2), 2);
  EXPECT_EQ(MacroIndexToId(store_, 3), 0);
  EXPECT_EQ(MacroIndexToId(store_, -1), 0);
  EXPECT_EQ(MacroNameOfId(store_, 2, true), u"Two");
  EXPECT_EQ(MacroNameOfId(store_, 2, false), u"(none)");
  EXPECT_EQ(MacroNameOfId(store_, 0, true), u"(none)");
  EXPECT_EQ(MacroNameOfId(store_, 9, true), u"(none)");
  EXPECT_EQ(NewMacroName(12), u"Macro12");
}

TEST_F(MacroList, NewMacroNameDoesNotTreatThePrefixAsAFormat) {
  testing::TestTexts texts({{"MACRO_NEW_PREFIX", u"%s%d%n"}});
  EXPECT_EQ(NewMacroName(7), u"%s%d%n7");
}

TEST_F(MacroList, ImageSizes) {
  struct Case {
    std::vector<MacroRecord> macros;
    MacroImageSize size;
  };
  const Case cases[] = {
      {{}, {16, 16}},
      {{Macro(u"abc", 1, 2)}, {16 + 2 + 4 + 8 + 6, 16 + 2 + 4 + 8}},
      {{Macro(u"", 1, 0), Macro(u"xy", 2, 4000)}, {16 + 4 + 4 + 4 + 16000 + 4, 16 + 4 + 4 + 4 + 16000}},
  };
  for (const Case& c : cases) EXPECT_EQ(MacroImageSizes(c.macros), c.size) << c.macros.size();
  store_.macros = {Macro(u"abc", 1, 2)};
  EXPECT_EQ(MacroImageSizes(store_), (MacroImageSize{36, 30}));
}

}  // namespace
}  // namespace keyloom::keys
