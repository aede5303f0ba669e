// Every text key the keys model looks up exists in each shipped language
// file (a missing one would show "#Error" to the user). The wording is not
// checked here.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "i18n/texts.h"
#include "keys/key_catalogue.h"

namespace keyloom::keys {
namespace {

class ShippedTexts : public ::testing::TestWithParam<int> {
 protected:
  i18n::ScopedLanguageFileDir language_dir_{std::filesystem::path(KEYLOOM_SOURCE_DIR) / "res"};
};

TEST_P(ShippedTexts, EveryKeyTheKeysModelAsksForExists) {
  std::set<std::string> keys = {"UNKNOWN_KEY",       "KEY_PROMPT_SET",   "KEY_PROMPT_SINGLE",
                                "KEY_PROMPT_MACRO",  "KEY_PROMPT_MEDIA", "KEY_PROMPT_FUNCTION",
                                "MACRO_DEFAULT_NAME", "MACRO_NEW_PREFIX", "MACRO_ERR_MAX",
                                "MACRO_DELETE_CONFIRM_OF_KEYS"};
  for (std::uint16_t slot = 0; slot < kSlotCount; ++slot) {
    if (!KeyInfoOfSlot(slot).nameKey.empty()) keys.insert(std::string(KeyInfoOfSlot(slot).nameKey));
  }
  for (int i = 0; i < kFunctionKeyCount; ++i) keys.insert(FunctionKeyTextKey(i));
  for (const std::string& key : keys) {
    const std::u16string text = i18n::Text(key, GetParam());
    EXPECT_NE(text, u"#Error") << key;
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedTexts, ::testing::Values(0, 1, 2));

}  // namespace
}  // namespace keyloom::keys
