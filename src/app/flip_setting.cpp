#include "app/flip_setting.h"

#include "app/app_settings_store.h"

namespace keyloom::app {
namespace {

constexpr std::u16string_view kSection = u"PROFILES";
constexpr std::u16string_view kEntry = u"Flip";

}  // namespace

int ReadFlipSetting() { return GetSettingString(kSection, kEntry, u"0") == u"1" ? 1 : 0; }

int ToggleFlipSetting() {
  const int flipped = ReadFlipSetting() == 0 ? 1 : 0;
  WriteSettingString(kSection, kEntry, flipped ? u"1" : u"0");
  return flipped;
}

}  // namespace keyloom::app
