#pragma once
// Localised texts: the language choice and the lookups in the language file
// beside the executable (sections "TEXT", "LIGHT" and "MODE").
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace keyloom::i18n {

// Supported languages, in index order: 0 Simplified Chinese, 1 Traditional
// Chinese, 2 English (also the fallback for any other id or index).
inline constexpr std::uint32_t kLanguageIds[3] = {0x0804, 0x0404, 0x0409};
inline constexpr int kFallbackLanguageIndex = 2;

// The language announcement the main window sends itself at initialisation:
// message 0x5041, wParam 'LANG', lParam the language index.
inline constexpr std::uint32_t kLanguageMessage = 0x5041;
inline constexpr std::uint32_t kLanguageTag = 0x4C414E47;  // "LANG"

// The registry key and value that keep the language choice.
inline constexpr std::u16string_view kLanguageKeyPath = u"Software\\Tarn-60 Gaming Keyboard";
inline constexpr std::u16string_view kLanguageValueName = u"dwLanguageId";

std::uint32_t GetLanguageId();
int GetLanguageIndex();

// The index of a language id in the table, 2 when it is not there.
int LanguageIndexOf(std::uint32_t language_id);
// A system language id after the first-start substitutions (Hong Kong ->
// 0x0804, Macao -> 0x0404, Singapore -> 0x0409; anything unsupported ->
// 0x0409).
std::uint32_t ChooseFromSystemLanguage(std::uint32_t system_language_id);

// The language file of an index ("Lang%04X.ini" in the resource folder; an
// index outside 0..2 means 2).
std::filesystem::path LanguageFilePath(int language_index);
// Points the language files at another folder (tests); empty restores the
// resource folder.
void SetLanguageFileDir(const std::filesystem::path& dir);

// Points the language files at `dir` for the lifetime of the object, then
// restores the folder in use before.
class ScopedLanguageFileDir {
 public:
  explicit ScopedLanguageFileDir(const std::filesystem::path& dir);
  ~ScopedLanguageFileDir();
  ScopedLanguageFileDir(const ScopedLanguageFileDir&) = delete;
  ScopedLanguageFileDir& operator=(const ScopedLanguageFileDir&) = delete;

 private:
  std::filesystem::path previous_;
};

// A missing file, section or key gives u"#Error"; at most 259 code units.
std::u16string Text(std::string_view key, int language_index);
std::u16string LightText(std::string_view key, int language_index);
std::u16string ModeText(std::string_view key, int language_index);

// Shorthands that pass GetLanguageIndex() at the moment of the lookup.
inline std::u16string Text(std::string_view key) { return Text(key, GetLanguageIndex()); }
inline std::u16string LightText(std::string_view key) { return LightText(key, GetLanguageIndex()); }
inline std::u16string ModeText(std::string_view key) { return ModeText(key, GetLanguageIndex()); }

}  // namespace keyloom::i18n
