#pragma once
// Localised texts: the language choice and the lookups in the language file
// beside the executable (sections "TEXT", "LIGHT" and "MODE").
#include <cstdint>
#include <string>
#include <string_view>

namespace keyloom::i18n {

std::uint32_t GetLanguageId();
int GetLanguageIndex();

// A missing file, section or key gives u"#Error"; at most 259 code units.
std::u16string Text(std::string_view key, int language_index);
std::u16string LightText(std::string_view key, int language_index);
std::u16string ModeText(std::string_view key, int language_index);

// Shorthands that pass GetLanguageIndex() at the moment of the lookup.
inline std::u16string Text(std::string_view key) { return Text(key, GetLanguageIndex()); }
inline std::u16string LightText(std::string_view key) { return LightText(key, GetLanguageIndex()); }
inline std::u16string ModeText(std::string_view key) { return ModeText(key, GetLanguageIndex()); }

}  // namespace keyloom::i18n
