#include "keys/key_macro_store.h"

#include <gtest/gtest.h>

#include <future>

#include "keys/key_prompts.h"
#include "keys/test_texts.h"

namespace keyloom::keys {
namespace {

constexpr std::uint16_t kSingle = static_cast<std::uint16_t>(KeyKind::SingleKey);
constexpr std::uint16_t kLaunch = static_cast<std::uint16_t>(KeyKind::LaunchProgram);
constexpr std::uint16_t kText = static_cast<std::uint16_t>(KeyKind::TextBlock);

TEST(StringSlots, SizesAndTotalFollowEveryChange) {
  KeyMacroStore store;
  store.SetString(StringSlotIndex(0, 0x1E), u"/usr/bin/app");
  store.SetString(StringSlotIndex(3, 511), u"hi");
  EXPECT_EQ(store.strings[StringSlotIndex(0, 0x1E)].size, 26u);
  EXPECT_EQ(store.totalStringSize, 26u + 6u);
  store.SetString(StringSlotIndex(0, 0x1E), u"x");  // replacing subtracts the old size
  EXPECT_EQ(store.totalStringSize, 4u + 6u);
  store.FreeString(StringSlotIndex(3, 511));
  store.FreeString(StringSlotIndex(3, 511));        // freeing twice changes nothing
  EXPECT_EQ(store.totalStringSize, 4u);
  store.SetString(-1, u"ignored");
  store.SetString(kStringSlotCount, u"ignored");
  EXPECT_EQ(store.totalStringSize, 4u);
}

TEST(StoreAssignment, FreesTheStringUnlessTheNewKindKeepsOne) {
  KeyMacroStore store;
  const int slot = StringSlotIndex(1, 0x10);
  store.SetString(slot, u"text block");
  ASSERT_EQ(StoreAssignment(store, 1, 0x10, {kText, 0, 0, 0, 0}), 1);
  EXPECT_EQ(store.strings[slot].text, u"text block");
  ASSERT_EQ(StoreAssignment(store, 1, 0x10, {kLaunch, 0, 0, 0, 0}), 1);
  EXPECT_EQ(store.strings[slot].text, u"text block");
  ASSERT_EQ(StoreAssignment(store, 1, 0x10, {kSingle, 0, 0x1E, 0, 0}), 1);
  EXPECT_TRUE(store.strings[slot].text.empty());
  EXPECT_EQ(store.totalStringSize, 0u);
  EXPECT_EQ(store.block.tables[1][0x10], (KeyAssignment{kSingle, 0, 0x1E, 0, 0}));
}

TEST(StoreAssignment, AKeyAssignedToItselfIsStoredAsDefault) {
  KeyMacroStore store;
  struct Case {
    int record;
    std::uint32_t target;
    std::uint16_t storedKind;
  };
  const Case cases[] = {
      {0x1E, 0x01E, 0},       // A to A
      {0xC5, 0x145, 0},       // Num Lock: slot 0xC5
      {0xB6, 0x136, 0},       // the second Right Shift slot
      {0x36, 0x136, kSingle}, // Right Shift to its other code
      {0x1E, 0x030, kSingle}, // A to B
      {0x1E, 0, kSingle},     // nothing captured yet
      {256, 0x200, kSingle},  // G records are not slots
  };
  for (const Case& c : cases) {
    ASSERT_EQ(StoreAssignment(store, 0, c.record, {kSingle, 0, c.target, 0, 0}), 1);
    EXPECT_EQ(store.block.tables[0][c.record].kind, c.storedKind) << std::hex << c.target;
  }
}

TEST(StoreAssignment, RefusesWithoutACurrentProfileAndKeepsMarks) {
  KeyMacroStore store;
  EXPECT_EQ(StoreAssignment(store, -1, 0x1E, {kSingle, 0, 0x30, 0, 0}), 0);
  EXPECT_EQ(StoreAssignment(store, 4, 0x1E, {kSingle, 0, 0x30, 0, 0}), 0);
  EXPECT_EQ(StoreAssignment(store, 0, 512, {kSingle, 0, 0x30, 0, 0}), 0);
  EXPECT_EQ(StoreAssignment(store, 0, -1, {kSingle, 0, 0x30, 0, 0}), 0);

  // Record 0x1E's mark word belongs to panel button 30, not to key A.
  EXPECT_TRUE(ToggleMark(store, 2, MarkRecordOfPanelButton(30)));
  ASSERT_EQ(StoreAssignment(store, 2, 0x1E, {kSingle, 0, 0x30, 0, 0}), 1);
  EXPECT_TRUE(IsMarked(store, 2, 30));
  EXPECT_FALSE(ToggleMark(store, 2, 30));
  EXPECT_FALSE(IsMarked(store, 2, 30));
  EXPECT_EQ(MarkRecordOfGButton(0, 1), 9);
  EXPECT_FALSE(ToggleMark(store, -1, 0));
}

TEST(KeyMacroStore, LockLetsTheOwningThreadEnterAgainAndKeepsOthersOut) {
  KeyMacroStore store;
  auto outer = store.Lock();
  EXPECT_EQ(StoreAssignment(store, 0, 0x1E, {kSingle, 0, 0x30, 0, 0}), 1);  // re-enters
  auto other = std::async(std::launch::async, [&store] { return store.Mutex().try_lock(); });
  EXPECT_FALSE(other.get());
}

TEST(KeyMacroStore, ClearDropsEverything) {
  KeyMacroStore store;
  store.block.headers[0] = 1;
  store.block.tables[0][1].kind = 1;
  store.macros.push_back(MacroRecord{});
  store.SetString(3, u"abc");
  store.Clear();
  EXPECT_EQ(store.block.headers[0], 0);
  EXPECT_EQ(store.block.tables[0][1].kind, 0);
  EXPECT_EQ(store.MacroCount(), 0);
  EXPECT_EQ(store.totalStringSize, 0u);
  EXPECT_TRUE(store.strings[3].text.empty());
}

TEST(KeyMacroStore, EachSessionsStoresAreItsOwn) {
  KeyStores one, two;
  EXPECT_NE(&one.EditingStore, &one.DeviceStore);
  EXPECT_NE(&one.EditingStore, &two.EditingStore);
  one.RewriteAllProfiles = true;
  one.WriteState.macroCapacity = 512;
  EXPECT_FALSE(two.RewriteAllProfiles);
  EXPECT_EQ(two.WriteState.macroCapacity.load(), 0u);
  EXPECT_EQ(two.WriteState.currentProfile.load(), 0);
}

}  // namespace
}  // namespace keyloom::keys
