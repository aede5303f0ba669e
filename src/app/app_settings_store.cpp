#include "app/app_settings_store.h"

#include <mutex>

#include "platform/registry.h"

namespace keyloom::app {
namespace {
std::mutex g_mutex;
std::u16string g_key_name{kSettingsKeyName};

std::u16string KeyName() {
  std::lock_guard lock(g_mutex);
  return g_key_name;
}
}  // namespace

void SetSettingsKeyName(std::u16string_view name) {
  std::lock_guard lock(g_mutex);
  g_key_name.assign(name);
}

ScopedSettingsKeyName::ScopedSettingsKeyName(std::u16string_view name) : previous_(KeyName()) {
  SetSettingsKeyName(name);
}

ScopedSettingsKeyName::~ScopedSettingsKeyName() { SetSettingsKeyName(previous_); }

std::u16string SettingsSectionKey(std::u16string_view section) {
  std::u16string path = u"Software\\";
  path += KeyName();
  path += u'\\';
  path += kApplicationTitle;
  path += u'\\';
  path += section;
  return path;
}

std::u16string GetSettingString(std::u16string_view section, std::u16string_view entry,
                                std::u16string_view def) {
  const auto key = registry::Key::Open(SettingsSectionKey(section));
  if (!key) return std::u16string(def);
  if (auto value = key->GetString(entry)) return *value;
  return std::u16string(def);
}

bool WriteSettingString(std::u16string_view section, std::u16string_view entry,
                        std::u16string_view value) {
  auto key = registry::Key::Create(SettingsSectionKey(section));
  return key && key->SetString(entry, value);
}

bool WriteSettingStrings(std::u16string_view section,
                         const std::vector<std::pair<std::u16string, std::u16string>>& values) {
  auto key = registry::Key::Create(SettingsSectionKey(section));
  return key && key->SetStrings(values);
}

}  // namespace keyloom::app
