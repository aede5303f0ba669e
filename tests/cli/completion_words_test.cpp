// The words keyloomctl gives the shell's completion: each must be accepted
// where the completion offers it.
#include "cli/completion_words.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

#include "cli/command_table.h"
#include "cli/key_arguments.h"
#include "i18n/texts.h"

namespace keyloom::cli {
namespace {

class CompletionWords : public ::testing::Test {
 protected:
  // Runs keyloomctl --completion-words ARGS; the lines it printed.
  std::vector<std::string> Words(std::vector<std::string> args, int expected_status = kExitSuccess) {
    std::ostringstream out, err;
    CommandIo io(out, err);
    args.insert(args.begin(), kCompletionWordsOption);
    EXPECT_EQ(RunCli(args, io), expected_status) << err.str();
    std::vector<std::string> lines;
    std::istringstream text(out.str());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  }
  static bool Has(const std::vector<std::string>& words, const std::string& w) {
    return std::find(words.begin(), words.end(), w) != words.end();
  }

  i18n::ScopedLanguageFileDir language_dir_{std::filesystem::path(KEYLOOM_SOURCE_DIR) / "res"};
};

TEST_F(CompletionWords, EveryKeyNameFindsItsOwnKeyOnce) {
  const std::vector<std::string> keys = Words({"keys"});
  ASSERT_GE(keys.size(), 100u);  // the on-screen keyboard's named keys
  std::set<keys::KeyCode> found;
  for (const std::string& name : keys) {
    KeyTarget target;
    std::string reason;
    ASSERT_TRUE(ParseKeyTarget(name, target, reason)) << name << ": " << reason;
    EXPECT_TRUE(found.insert(target.code).second) << name << " names a key named before";
  }
  for (const char* name : {"A", "Esc", "Caps Lock", "Left Ctrl", "F12"}) EXPECT_TRUE(Has(keys, name)) << name;

  // key:KEY takes more keys than the on-screen keyboard has.
  const std::vector<std::string> sent = Words({"sent-keys"});
  EXPECT_GT(sent.size(), keys.size());
  for (const std::string& name : sent) {
    ActionSpec action;
    std::string reason;
    ASSERT_TRUE(ParseAction("key:" + name, action, reason)) << name << ": " << reason;
    EXPECT_EQ(action.kind, keys::KeyKind::SingleKey) << name;
  }
  for (const std::string& name : keys) EXPECT_TRUE(Has(sent, name)) << name;
}

TEST_F(CompletionWords, MediaNamesAreTheFunctionsInIndexOrder) {
  const std::vector<std::string> media = Words({"media"});
  ASSERT_EQ(media.size(), keys::kMediaKeyCount);
  for (std::size_t i = 0; i < media.size(); ++i) {
    ActionSpec action;
    std::string reason;
    ASSERT_TRUE(ParseAction("media:" + media[i], action, reason)) << media[i] << ": " << reason;
    EXPECT_EQ(action.value, i) << media[i];
  }
  EXPECT_TRUE(Has(media, "Mute"));
}

TEST_F(CompletionWords, CommandsAndTheirOptions) {
  std::vector<std::string> names;
  for (const Command& c : Commands()) names.push_back(c.name);
  EXPECT_EQ(Words({"commands"}), names);

  struct Case {
    std::vector<std::string> command;
    std::vector<std::string> options;  // exactly these, in this order
  };
  const Case cases[] = {
      {{"status"}, {"--json"}},
      {{"slot"}, {"--json"}},
      {{"keys", "set"}, {"--slot", "--json"}},
      {{"lighting", "set"},
       {"--effect", "--brightness", "--speed", "--direction", "--colour", "--colourful", "--effect17-colour",
        "--json"}},
      {{"apply"}, {"--all"}},
      {{"no", "such", "command"}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"options"};
    args.insert(args.end(), c.command.begin(), c.command.end());
    EXPECT_EQ(Words(args), c.options) << c.command.front();
  }
  EXPECT_TRUE(Words({"no-such-list"}, kExitUsage).empty());
  EXPECT_TRUE(Words({}, kExitUsage).empty());
}

}  // namespace
}  // namespace keyloom::cli
