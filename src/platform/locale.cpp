#include "platform/locale.h"

#include "platform/text.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace keyloom::platform {
namespace {

struct Region {
  const char* name;  // language_TERRITORY
  std::uint32_t id;
};

// Language and territory -> Windows language id.
constexpr Region kRegions[] = {
    {"zh_CN", 0x0804}, {"zh_TW", 0x0404}, {"zh_HK", 0x0C04}, {"zh_MO", 0x1404}, {"zh_SG", 0x1004},
    {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409},
    {"en_IE", 0x1809}, {"en_ZA", 0x1C09}, {"en_IN", 0x4009}, {"en_SG", 0x4809},
    {"de_DE", 0x0407}, {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"de_LU", 0x1007}, {"de_LI", 0x1407},
    {"fr_FR", 0x040C}, {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C}, {"fr_LU", 0x140C},
    {"es_ES", 0x0C0A}, {"es_MX", 0x080A}, {"es_AR", 0x2C0A}, {"es_CO", 0x240A}, {"es_CL", 0x340A},
    {"es_US", 0x540A},
    {"pt_BR", 0x0416}, {"pt_PT", 0x0816},
    {"it_IT", 0x0410}, {"it_CH", 0x0810},
    {"nl_NL", 0x0413}, {"nl_BE", 0x0813},
    {"sv_SE", 0x041D}, {"sv_FI", 0x081D},
    {"ja_JP", 0x0411}, {"ko_KR", 0x0412}, {"ru_RU", 0x0419}, {"uk_UA", 0x0422}, {"pl_PL", 0x0415},
    {"cs_CZ", 0x0405}, {"sk_SK", 0x041B}, {"hu_HU", 0x040E}, {"ro_RO", 0x0418}, {"bg_BG", 0x0402},
    {"el_GR", 0x0408}, {"tr_TR", 0x041F}, {"he_IL", 0x040D}, {"ar_SA", 0x0401}, {"ar_EG", 0x0C01},
    {"th_TH", 0x041E}, {"vi_VN", 0x042A}, {"id_ID", 0x0421}, {"ms_MY", 0x043E}, {"hi_IN", 0x0439},
    {"da_DK", 0x0406}, {"nb_NO", 0x0414}, {"nn_NO", 0x0814}, {"fi_FI", 0x040B}, {"et_EE", 0x0425},
    {"lv_LV", 0x0426}, {"lt_LT", 0x0427}, {"sl_SI", 0x0424}, {"hr_HR", 0x041A}, {"sr_RS", 0x241A},
    {"ca_ES", 0x0403}, {"eu_ES", 0x042D}, {"gl_ES", 0x0456}, {"fa_IR", 0x0429}, {"is_IS", 0x040F},
};

// A language without (or with an unknown) territory -> its usual id.
constexpr Region kLanguages[] = {
    {"zh", 0x0804}, {"en", 0x0409}, {"de", 0x0407}, {"fr", 0x040C}, {"es", 0x0C0A}, {"pt", 0x0816},
    {"it", 0x0410}, {"nl", 0x0413}, {"sv", 0x041D}, {"ja", 0x0411}, {"ko", 0x0412}, {"ru", 0x0419},
    {"uk", 0x0422}, {"pl", 0x0415}, {"cs", 0x0405}, {"sk", 0x041B}, {"hu", 0x040E}, {"ro", 0x0418},
    {"bg", 0x0402}, {"el", 0x0408}, {"tr", 0x041F}, {"he", 0x040D}, {"ar", 0x0401}, {"th", 0x041E},
    {"vi", 0x042A}, {"id", 0x0421}, {"ms", 0x043E}, {"hi", 0x0439}, {"da", 0x0406}, {"nb", 0x0414},
    {"nn", 0x0814}, {"no", 0x0414}, {"fi", 0x040B}, {"et", 0x0425}, {"lv", 0x0426}, {"lt", 0x0427},
    {"sl", 0x0424}, {"hr", 0x041A}, {"sr", 0x241A}, {"ca", 0x0403}, {"eu", 0x042D}, {"gl", 0x0456},
    {"fa", 0x0429}, {"is", 0x040F},
};

constexpr std::uint32_t kFallback = 0x0409;

}  // namespace

std::uint32_t LanguageIdFromLocale(std::string_view locale) {
  // language[_territory][.codeset][@modifier]
  const auto cut = locale.find_first_of(".@");
  if (cut != std::string_view::npos) locale = locale.substr(0, cut);
  // Some systems write zh-TW.
  std::string name(locale);
  for (char& c : name)
    if (c == '-') c = '_';
  for (const Region& r : kRegions)
    if (text::EqualsIgnoreCase(name, r.name)) return r.id;
  const std::string_view language = std::string_view(name).substr(0, name.find('_'));
  for (const Region& r : kLanguages)
    if (text::EqualsIgnoreCase(language, r.name)) return r.id;
  return kFallback;
}

std::uint32_t SystemDefaultLanguageId() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (const char* v = std::getenv(variable); v && *v) return LanguageIdFromLocale(v);
  }
  return kFallback;
}

}  // namespace keyloom::platform
