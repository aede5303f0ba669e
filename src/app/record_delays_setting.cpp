#include "app/record_delays_setting.h"

#include <string>

#include "app/app_settings_store.h"
#include "i18n/texts.h"

namespace keyloom::app {
namespace {

constexpr std::u16string_view kSection = u"PROFILES";

std::u16string EntryName() { return i18n::Text("MACRO_ACTION_RECORD_DELAY"); }

}  // namespace

bool ReadRecordDelaysSetting() {
  const std::u16string name = EntryName();
  const std::u16string value = GetSettingString(kSection, name, u"0");
  if (value == u"1") return true;
  if (value != u"0") WriteSettingString(kSection, name, u"0");
  return false;
}

void WriteRecordDelaysSetting(bool on) { WriteSettingString(kSection, EntryName(), on ? u"1" : u"0"); }

}  // namespace keyloom::app
