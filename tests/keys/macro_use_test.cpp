#include "keys/macro_use.h"

#include <gtest/gtest.h>

#include <future>

#include "keys/fake_prompter.h"
#include "keys/test_texts.h"

namespace keyloom::keys {
namespace {

constexpr std::uint16_t kMacro = static_cast<std::uint16_t>(KeyKind::Macro);

MacroRecord Macro(std::uint16_t id, std::uint16_t isNew = 0) {
  MacroRecord macro;
  macro.name = u"M" + std::u16string(1, static_cast<char16_t>(u'0' + id % 10));
  macro.id = id;
  macro.isNew = isNew;
  return macro;
}

class MacroInUse : public ::testing::Test {
 protected:
  testing::TestTexts texts_;
  KeyStores stores_;
  KeyMacroStore& store_ = stores_.EditingStore;
};

TEST_F(MacroInUse, FindsAUseInAnyRecordIncludingG1OfTheFirstBank) {
  // Record 256 of table 0 (G1) was once skipped by the scan, so a macro used
  // only by G1 was deleted without a question.
  const std::pair<int, int> uses[] = {{0, 256}, {0, 0x1E}, {1, 256}, {3, 511}, {2, 273}, {0, 0}};
  for (const auto& [profile, record] : uses) {
    store_.block = KeyTableBlock{};
    store_.block.tables[profile][record] = {kMacro, 1, 7, 0, 0};
    stores_.RewriteAllProfiles = false;
    testing::FakePrompter prompter(host::Answer::No);
    const MacroUse use = IsMacroInUse(stores_, Macro(7), prompter);
    EXPECT_TRUE(use.inUse) << profile << "/" << record;
    EXPECT_FALSE(use.mayDelete);
    ASSERT_EQ(prompter.requests.size(), 1u);
    EXPECT_EQ(prompter.requests[0].text, u"Keys use this macro. Delete it?");
    EXPECT_EQ(prompter.requests[0].buttons, host::Buttons::YesNo);
    EXPECT_TRUE(stores_.RewriteAllProfiles);
  }
}

TEST_F(MacroInUse, AnswersWithoutAskingWhenUnusedOrNew) {
  store_.block.tables[0][0x1E] = {kMacro, 1, 7, 0, 0};
  store_.block.tables[0][0x1F] = {2, 0, 8, 0, 0};  // value 8, but not a macro assignment
  testing::FakePrompter prompter(host::Answer::No);
  for (const MacroRecord& macro : {Macro(8), Macro(7, 1)}) {
    const MacroUse use = IsMacroInUse(stores_, macro, prompter);
    EXPECT_FALSE(use.inUse);
    EXPECT_TRUE(use.mayDelete);
  }
  EXPECT_TRUE(prompter.requests.empty());
  EXPECT_FALSE(stores_.RewriteAllProfiles);
}

TEST_F(MacroInUse, YesLetsTheDeletionProceedAndTheLockIsFreeWhileAsking) {
  store_.block.tables[2][0x30] = {kMacro, 1, 3, 0, 0};
  testing::FakePrompter prompter(host::Answer::Yes);
  bool freeWhileAsking = false;
  prompter.onAsk = [&] {
    auto other = std::async(std::launch::async, [&] {
      const bool locked = store_.Mutex().try_lock();
      if (locked) store_.Mutex().unlock();
      return locked;
    });
    freeWhileAsking = other.get();
  };
  const MacroUse use = IsMacroInUse(stores_, Macro(3), prompter);
  EXPECT_TRUE(use.inUse);
  EXPECT_TRUE(use.mayDelete);
  EXPECT_TRUE(freeWhileAsking);
}

TEST_F(MacroInUse, ReconciliationRules) {
  AssignmentTable& t0 = store_.block.tables[0];
  t0[0x10] = {kMacro, 1, 1, 0, 0};   // macro 1 exists
  t0[0x11] = {kMacro, 1, 2, 0, 0};   // macro 2 was deleted
  t0[0x12] = {kMacro, 1, 4, 0, 0};   // identifier 4 reused by a new macro
  t0[0x13] = {kMacro, 1, 0, 0, 0};   // no macro chosen yet
  t0[256] = {kMacro, 0x0301, 2, 0, 0};
  store_.block.tables[3][0x20] = {kMacro, 1, 2, 9, 0};
  store_.block.tables[1][0x21] = {2, 0, 2, 0, 0};  // not a macro assignment
  const std::vector<MacroRecord> list = {Macro(5), Macro(1), Macro(4, 1)};

  const std::vector<RecordRef> reset = ReconcileWithMacroList(store_, list);

  EXPECT_EQ(t0[0x10].kind, kMacro);
  EXPECT_EQ(t0[0x11].kind, 0);
  EXPECT_EQ(t0[0x12].kind, 0);
  EXPECT_EQ(t0[0x13], (KeyAssignment{kMacro, 1, 5, 0, 0}));  // the first macro of the list
  EXPECT_EQ(t0[256].kind, 0);
  EXPECT_EQ(t0[256].param, 0x0301);
  EXPECT_EQ(store_.block.tables[3][0x20].kind, 0);
  EXPECT_EQ(store_.block.tables[3][0x20].mark, 9u);
  EXPECT_EQ(store_.block.tables[1][0x21].kind, 2);
  const std::vector<RecordRef> expected = {{0, 0x11}, {0, 0x12}, {0, 256}, {3, 0x20}};
  EXPECT_EQ(reset, expected);
}

TEST_F(MacroInUse, ReconciliationWithAnEmptyList) {
  store_.block.tables[0][0x10] = {kMacro, 1, 0, 0, 0};
  store_.block.tables[0][0x11] = {kMacro, 1, 6, 0, 0};
  ReconcileWithMacroList(store_, {});
  EXPECT_EQ(store_.block.tables[0][0x10], (KeyAssignment{kMacro, 1, 0, 0, 0}));  // nothing to point at
  EXPECT_EQ(store_.block.tables[0][0x11].kind, 0);
}

}  // namespace
}  // namespace keyloom::keys
