#pragma once
// A small text table for the keys tests, installed in place of the language
// files so that the tests do not depend on the shipped wording. A key that
// the table lacks reads "#Error", as a missing language-file key does.
#include <map>
#include <string>
#include <string_view>

#include "keys/text_source.h"

namespace keyloom::keys::testing {

inline const std::map<std::string, std::u16string, std::less<>>& DefaultTestTexts() {
  static const std::map<std::string, std::u16string, std::less<>> texts = {
      {"UNKNOWN_KEY", u"Key %04X"},
      {"IDS_KEYBOARD_A", u"A"},
      {"IDS_KEYBOARD_B", u"B"},
      {"IDS_KEYBOARD_ESC", u"Esc"},
      {"IDS_KEYBOARD_RSHIFT", u"Right Shift"},
      {"IDS_KEYBOARD_PAUSE", u"Pause"},
      {"IDS_KEYBOARD_S_7", u"Num 7"},
      {"IDS_KEYBOARD_SYSREQ", u""},
      {"MEDIA_V_ADD_7", u"Volume Up"},
      {"MEDIA_PALYER_1", u"Media Player"},
      {"KEY_PROMPT_SET", u" - "},
      {"KEY_PROMPT_SINGLE", u"Key ("},
      {"KEY_PROMPT_MACRO", u"Macro ("},
      {"KEY_PROMPT_MEDIA", u"Media ("},
      {"KEY_PROMPT_FUNCTION", u"Function ("},
      {"FUNC_KEY_DESC1", u"Fn one"},
      {"FUNC_KEY_DESC11", u"Fn eleven"},
      {"MACRO_DEFAULT_NAME", u"(none)"},
      {"MACRO_NEW_PREFIX", u"Macro"},
      {"MACRO_ERR_MAX", u"At most %d macros"},
      {"MACRO_ACTION_ERR_DELAY_MAX", u"At most %d ms"},
      {"MACRO_ACTION_ERR_DELAY_MIN", u"At least %d ms"},
      {"MACRO_ACTION_CLEAR_CONFIRM", u"Remove all actions?"},
      {"MACRO_DELETE_CONFIRM_OF_KEYS", u"Keys use this macro. Delete it?"},
  };
  return texts;
}

// Installs DefaultTestTexts (or a given table) for the lifetime of the object.
class TestTexts {
 public:
  TestTexts() : TestTexts(DefaultTestTexts()) {}
  explicit TestTexts(std::map<std::string, std::u16string, std::less<>> texts)
      : texts_(std::move(texts)), scope_([this](std::string_view key) {
          auto it = texts_.find(key);
          return it == texts_.end() ? std::u16string(u"#Error") : it->second;
        }) {}

 private:
  std::map<std::string, std::u16string, std::less<>> texts_;
  ScopedTextLookup scope_;
};

}  // namespace keyloom::keys::testing
