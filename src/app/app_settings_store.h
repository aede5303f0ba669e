#pragma once
// The application's settings store: string values by section, kept under the
// current user in Software\<settings key name>\<application title>\<section>
// (Software\Keyloom_Orvane\Tarn-60 Gaming Keyboard\PROFILES, ...). Section
// "PROFILES" holds "Flip", the profile list and the record-delays setting.
// Safe to call from any thread.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace keyloom::app {

inline constexpr std::u16string_view kSettingsKeyName = u"Keyloom_Orvane";
inline constexpr std::u16string_view kApplicationTitle = u"Tarn-60 Gaming Keyboard";

// Sets the settings key name (the middle part of the key). Start-up sets
// kSettingsKeyName; until then that name is used as well.
void SetSettingsKeyName(std::u16string_view name);

// Sets the key name for its lifetime and puts the previous one back.
class ScopedSettingsKeyName {
 public:
  explicit ScopedSettingsKeyName(std::u16string_view name);
  ~ScopedSettingsKeyName();
  ScopedSettingsKeyName(const ScopedSettingsKeyName&) = delete;
  ScopedSettingsKeyName& operator=(const ScopedSettingsKeyName&) = delete;

 private:
  std::u16string previous_;
};

// The registry key path of a section.
std::u16string SettingsSectionKey(std::u16string_view section);

// The value's text; `def` when the value is missing, is not a string, or the
// store cannot be read.
std::u16string GetSettingString(std::u16string_view section, std::u16string_view entry,
                                std::u16string_view def);

// Writes the value as a string, creating the section's key. False when the
// store cannot be written.
bool WriteSettingString(std::u16string_view section, std::u16string_view entry,
                        std::u16string_view value);
// Writes several values of one section in one change of the store: all of
// them, or (false) none.
bool WriteSettingStrings(std::u16string_view section,
                         const std::vector<std::pair<std::u16string, std::u16string>>& values);

}  // namespace keyloom::app
