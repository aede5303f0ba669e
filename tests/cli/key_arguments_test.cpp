// The KEY and ACTION words of keys set and the action lists of macro add.
#include "cli/key_arguments.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "cli/macro_arguments.h"
#include "i18n/texts.h"
#include "keys/key_macro_store.h"
#include "platform/text.h"

namespace keyloom::cli {
namespace {

using keys::KeyKind;

class KeyArguments : public ::testing::Test {
 protected:
  i18n::ScopedLanguageFileDir language_dir_{std::filesystem::path(KEYLOOM_SOURCE_DIR) / "res"};
};

TEST_F(KeyArguments, KeysAreFoundByCodeSkinNameGNumberAndName) {
  struct Case {
    const char* text;
    int record;  // -1: refused
    keys::KeyCode code;
  };
  const Case cases[] = {
      {"0x01E", 0x1E, 0x01E},
      {"0x1e", 0x1E, 0x01E},
      {"KEY_01E", 0x1E, 0x01E},
      {"key_01e", 0x1E, 0x01E},
      {"A", 0x1E, 0x01E},
      {"a", 0x1E, 0x01E},
      {"G1", 256, 0x200},
      {"g9", 264, 0x208},
      // An E0 key: its skin name and record use its slot, not its code.
      {"0x11C", 0x9C, 0x11C},
      {"KEY_09C", 0x9C, 0x11C},
      {"G0", -1, 0},
      {"G10", -1, 0},
      {"0x", -1, 0},
      {"0x12345", -1, 0},
      {"0x000", -1, 0},
      {"KEY_1E", -1, 0},   // not the skin's spelling
      {"0x130", -1, 0},    // V+ has no button on the on-screen keyboard
      {"", -1, 0},
      {"no such key", -1, 0},
  };
  for (const Case& c : cases) {
    KeyTarget target;
    std::string reason;
    const bool ok = ParseKeyTarget(c.text, target, reason);
    EXPECT_EQ(ok, c.record >= 0) << c.text << ": " << reason;
    if (!ok || c.record < 0) continue;
    EXPECT_EQ(target.record, c.record) << c.text;
    EXPECT_EQ(target.code, c.code) << c.text;
  }
}

TEST_F(KeyArguments, ActionsGiveTheRecordTheDialogWouldStore) {
  struct Case {
    const char* text;
    bool ok;
    KeyKind kind;
    std::uint32_t value;
  };
  const Case cases[] = {
      {"default", true, KeyKind::Default, 0},
      {"DISABLED", true, KeyKind::Disabled, 0},
      {"stop-macro", true, KeyKind::StopMacro, 0},
      {"key:B", true, KeyKind::SingleKey, 0x030},
      {"key:0x130", true, KeyKind::SingleKey, 0x130},  // any key of the catalogue may be sent
      {"media:0", true, KeyKind::Media, 0},
      {"media:17", true, KeyKind::Media, 17},
      {"function:0", true, KeyKind::Function, 0},
      {"function:10", true, KeyKind::Function, 10},
      {"media:18", false, KeyKind::Default, 0},
      {"media:-1", false, KeyKind::Default, 0},
      {"function:11", false, KeyKind::Default, 0},
      {"function:", false, KeyKind::Default, 0},
      {"key:", false, KeyKind::Default, 0},
      {"macro:", false, KeyKind::Default, 0},
      {"default:1", false, KeyKind::Default, 0},
      {"program", false, KeyKind::Default, 0},
      {"", false, KeyKind::Default, 0},
  };
  for (const Case& c : cases) {
    ActionSpec action;
    std::string reason;
    EXPECT_EQ(ParseAction(c.text, action, reason), c.ok) << c.text << ": " << reason;
    if (!c.ok) continue;
    EXPECT_EQ(action.kind, c.kind) << c.text;
    EXPECT_EQ(action.value, c.value) << c.text;
  }

  // A media function by its name is the entry of that name.
  const auto media = keys::MediaKeys();
  for (std::size_t i = 0; i < media.size(); ++i) {
    const std::string name = text::ToUtf8(i18n::Text(keys::KeyInfoOfSlot(keys::KeyCodeToSlot(media[i].code)).nameKey,
                                                     i18n::kFallbackLanguageIndex));
    ActionSpec action;
    std::string reason;
    ASSERT_TRUE(ParseAction("media:" + name, action, reason)) << name << ": " << reason;
    // Entries may share a name; the first of them is taken.
    EXPECT_LE(action.value, i) << name;
  }
}

TEST_F(KeyArguments, MacroNamesResolveToIdentifierAndCycles) {
  keys::KeyMacroStore store;
  auto macro = [](const char16_t* name, std::uint16_t id, std::uint8_t cycles) {
    keys::MacroRecord m;
    m.name = name;
    m.id = id;
    m.cycles = cycles;
    return m;
  };
  store.macros = {macro(u"Copy", 4, 3), macro(u"copy", 7, 1), macro(u"Paste", 2, 9)};
  struct Case {
    const char* name;
    int id;  // 0: refused
    int cycles;
  };
  const Case cases[] = {
      {"Copy", 4, 3},   // exact names first
      {"copy", 7, 1},
      {"COPY", 0, 0},   // two macros match ignoring case
      {"paste", 2, 9},  // the only one ignoring case
      {"Cut", 0, 0},
  };
  const KeyTarget g3{keys::GKeyRecordIndex(2, 0), 0x202, 3};
  for (const Case& c : cases) {
    ActionSpec action;
    std::string reason;
    ASSERT_TRUE(ParseAction(std::string("macro:") + c.name, action, reason));
    keys::KeyAssignment record;
    EXPECT_EQ(ResolveAction(action, store, g3, record, reason), c.id != 0) << c.name << ": " << reason;
    if (c.id == 0) continue;
    EXPECT_EQ(record.kind, std::uint16_t(KeyKind::Macro));
    EXPECT_EQ(record.value, std::uint32_t(c.id));
    EXPECT_EQ(record.param, c.cycles) << "a macro record keeps the cycle count, not the G-key identifier";
  }
  // Other kinds on a G key carry its identifier.
  ActionSpec disabled;
  std::string reason;
  ASSERT_TRUE(ParseAction("disabled", disabled, reason));
  keys::KeyAssignment record;
  ASSERT_TRUE(ResolveAction(disabled, store, g3, record, reason));
  EXPECT_EQ(record.param, 0x0303);
}

TEST_F(KeyArguments, WordsOfARecordParseBackToIt) {
  keys::KeyMacroStore store;
  keys::MacroRecord m;
  m.name = u"Hello";
  m.id = 5;
  store.macros = {m};
  const keys::KeyAssignment records[] = {
      {0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {2, 0, 0x030, 0, 0}, {2, 0, 0x11C, 0, 0},
      {4, 1, 5, 0, 0}, {5, 0, 0, 0, 0}, {7, 0, 6, 0, 0},     {8, 0, 10, 0, 0},
  };
  const KeyTarget target{0x1E, 0x01E, 0};
  for (const keys::KeyAssignment& r : records) {
    const std::string word = ActionWord(store, r);
    ActionSpec action;
    std::string reason;
    ASSERT_TRUE(ParseAction(word, action, reason)) << word << ": " << reason;
    keys::KeyAssignment back;
    ASSERT_TRUE(ResolveAction(action, store, target, back, reason)) << word;
    EXPECT_EQ(back.kind, r.kind) << word;
    EXPECT_EQ(back.value, r.value) << word;
  }
  EXPECT_EQ(ActionWord(store, {3, 0, 0, 0, 0}), "program");
  EXPECT_EQ(ActionWord(store, {6, 0, 0, 0, 0}), "text");
  EXPECT_EQ(ActionWord(store, {4, 1, 99, 0, 0}), "macro:") << "an identifier no macro has";
}

TEST_F(KeyArguments, MacroActionLists) {
  struct Case {
    const char* text;
    bool ok;
    std::vector<keys::MacroAction> actions;
  };
  const Case cases[] = {
      {"", true, {}},
      {"A down 50, A up 0", true, {{50, 0x01E, keys::kPress}, {0, 0x01E, keys::kRelease}}},
      {"a press 15,a release", true, {{10, 0x01E, keys::kPress}, {0, 0x01E, keys::kRelease}}},
      {"0x02A down 40000", true, {{40000, 0x02A, keys::kPress}}},
      {"KEY_09C up 9", true, {{0, 0x11C, keys::kRelease}}},
      {"A down 40001", false, {}},
      {"A down -10", false, {}},
      {"A sideways 10", false, {}},
      {"A 10", false, {}},
      {"down 10", false, {}},
      {"A down 10,", false, {}},
      {"nokey down 10", false, {}},
  };
  for (const Case& c : cases) {
    std::vector<keys::MacroAction> actions;
    std::string reason;
    EXPECT_EQ(ParseMacroActions(c.text, actions, reason), c.ok) << c.text << ": " << reason;
    if (c.ok) {
      EXPECT_EQ(actions, c.actions) << c.text;
    }
  }

  // A key name with a space, and the text of macro show parsing back.
  std::vector<keys::MacroAction> actions;
  std::string reason;
  const std::string left_shift =
      text::ToUtf8(i18n::Text(keys::KeyInfoOfSlot(0x2A).nameKey, i18n::kFallbackLanguageIndex));
  ASSERT_TRUE(ParseMacroActions(left_shift + " down 20, B down 10, B up 0, " + left_shift + " up 0", actions, reason))
      << reason;
  ASSERT_EQ(actions.size(), 4u);
  EXPECT_EQ(actions[0].code, 0x02A);
  std::vector<keys::MacroAction> again;
  ASSERT_TRUE(ParseMacroActions(MacroActionsText(actions), again, reason)) << reason;
  EXPECT_EQ(again, actions);
}

TEST_F(KeyArguments, ActionListsStopAtTheMacroLimit) {
  std::string text;
  for (std::size_t i = 0; i < keys::kMaxMacroActions; ++i) text += i ? ", A down 0" : "A down 0";
  std::vector<keys::MacroAction> actions;
  std::string reason;
  ASSERT_TRUE(ParseMacroActions(text, actions, reason)) << reason;
  EXPECT_EQ(actions.size(), keys::kMaxMacroActions);
  EXPECT_FALSE(ParseMacroActions(text + ", A up 0", actions, reason));
  EXPECT_NE(reason.find("4000"), std::string::npos) << reason;
}

}  // namespace
}  // namespace keyloom::cli
