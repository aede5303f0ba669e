#include "i18n/texts.h"

#include <mutex>
#include <utility>
#include <optional>

#include "platform/ini.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace keyloom::i18n {
namespace {

struct Substitution {
  std::uint32_t system_id;
  std::uint32_t becomes;
};
constexpr Substitution kSubstitutions[] = {
    {0x0C04, 0x0804},  // Chinese, Hong Kong
    {0x1404, 0x0404},  // Chinese, Macao
    {0x1004, 0x0409},  // Chinese, Singapore
};

constexpr std::size_t kTextCapacity = 260;
constexpr std::u16string_view kMissingText = u"#Error";

std::mutex g_dir_mutex;
std::filesystem::path g_language_dir;

std::filesystem::path LanguageDir() {
  {
    std::lock_guard lock(g_dir_mutex);
    if (!g_language_dir.empty()) return g_language_dir;
  }
  return paths::ResourceDir();
}

std::optional<registry::Key> LanguageKey() {
  auto key = registry::Key::Open(kLanguageKeyPath);
  if (!key) key = registry::Key::Create(kLanguageKeyPath);
  return key;
}

std::u16string Lookup(std::u16string_view section, std::string_view key, int language_index) {
  std::u16string out;
  ini::GetString(LanguageFilePath(language_index), section, text::FromUtf8(key), kMissingText, out,
                 kTextCapacity);
  return out;
}

}  // namespace

int LanguageIndexOf(std::uint32_t language_id) {
  for (int i = 0; i < 3; ++i) {
    if (kLanguageIds[i] == language_id) return i;
  }
  return kFallbackLanguageIndex;
}

std::uint32_t ChooseFromSystemLanguage(std::uint32_t system_language_id) {
  std::uint32_t id = system_language_id;
  for (const Substitution& s : kSubstitutions) {
    if (s.system_id == id) {
      id = s.becomes;
      break;
    }
  }
  for (std::uint32_t supported : kLanguageIds) {
    if (supported == id) return id;
  }
  return 0x0409;
}

std::uint32_t GetLanguageId() {
  auto key = LanguageKey();
  std::uint32_t id = 0;
  if (key) {
    if (key->TypeOf(kLanguageValueName) == registry::ValueType::Dword) {
      id = key->GetDword(kLanguageValueName).value_or(0);
    } else {
      // Missing, or kept as another type: start over from "nothing chosen".
      key->SetDword(kLanguageValueName, 0);
    }
  }
  if (id != 0) return id;

  id = ChooseFromSystemLanguage(platform::SystemDefaultLanguageId());
  if (key) key->SetDword(kLanguageValueName, id);
  return id;
}

int GetLanguageIndex() { return LanguageIndexOf(GetLanguageId()); }

std::filesystem::path LanguageFilePath(int language_index) {
  if (language_index < 0 || language_index > 2) language_index = kFallbackLanguageIndex;
  const std::u16string name =
      text::Format(u"Lang%04X.ini", {std::uint64_t{kLanguageIds[language_index]}});
  return LanguageDir() / text::ToUtf8(name);
}

void SetLanguageFileDir(const std::filesystem::path& dir) {
  std::lock_guard lock(g_dir_mutex);
  g_language_dir = dir;
}

ScopedLanguageFileDir::ScopedLanguageFileDir(const std::filesystem::path& dir) {
  std::lock_guard lock(g_dir_mutex);
  previous_ = std::exchange(g_language_dir, dir);
}

ScopedLanguageFileDir::~ScopedLanguageFileDir() { SetLanguageFileDir(previous_); }

std::u16string Text(std::string_view key, int language_index) {
  return Lookup(u"TEXT", key, language_index);
}

std::u16string LightText(std::string_view key, int language_index) {
  return Lookup(u"LIGHT", key, language_index);
}

std::u16string ModeText(std::string_view key, int language_index) {
  return Lookup(u"MODE", key, language_index);
}

}  // namespace keyloom::i18n
