#pragma once
// The one list of every key the program looks up in the language files:
// the fixed keys of section "TEXT", the key names, multimedia names and
// keyboard functions whose keys the key catalogue composes at run time,
// the lighting labels of section "LIGHT" and the effect names of section
// "MODE". Each entry also says what its text must carry, so that every
// shipped language file can be checked against the program's needs.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace keyloom::i18n {

enum class TextSection { kText, kLight, kMode };

// The section's name as written in a language file: "TEXT", "LIGHT", "MODE".
std::string_view SectionName(TextSection section);

// What the program does with a text beyond showing it.
enum class TextUse {
  kShown,             // shown as it is
  kFormat,            // used as a format; `format_args` lists its arguments
  kOpensParenthesis,  // the program appends a name and ")" after it
  kPathSuffix,        // appended directly to a folder path: starts with '/'
  kSettingName,       // also the name of a stored setting: the same in every
                      // language, so a change of language keeps the setting
};

struct TextKey {
  TextSection section;
  std::string_view key;
  TextUse use;
  // Arguments the program formats into a kFormat text, in order, one letter
  // each: 's' a text (%s), 'd' a signed number (%d, %i), 'u' an unsigned
  // number (%u, %x, %X). The safe formatter prints nothing for a specifier
  // whose argument is missing or is a text where a number belongs (or the
  // reverse), so every language must ask for exactly these arguments.
  std::string_view format_args;
  // Longest text, in UTF-16 code units, that reaches the user unshortened
  // (lookups return at most 259; the tray tip holds 127).
  std::size_t max_length;
  // An empty text is a valid, intended value for this key.
  bool may_be_empty;
};

// Every key, grouped by section, "TEXT" first.
std::span<const TextKey> AllTextKeys();

// The entry of `key` in `section` (case-insensitive, as lookups are), if any.
std::optional<TextKey> FindTextKey(TextSection section, std::string_view key);

// The text key of keyboard function `function_index` (0..10):
// "FUNC_KEY_DESC1" .. "FUNC_KEY_DESC11"; empty for any other index.
std::string FunctionKeyTextKey(int function_index);

// The argument kinds a format text asks for, in order, read as the safe
// formatter reads them: 's', 'd' and 'u' as above, 'c' for %c, '?' for a
// specifier it leaves empty (%n, %p, %f, a '*' width, ...). "%%" and a lone
// '%' at the end ask for nothing.
std::string FormatSignature(std::u16string_view format);

}  // namespace keyloom::i18n
