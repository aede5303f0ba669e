#include "platform/locale.h"

#include "scoped_env.h"

#include <gtest/gtest.h>

namespace keyloom::platform {
namespace {

TEST(Locale, LanguageIdOfLocaleNames) {
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"zh_CN.UTF-8", 0x0804}, {"zh_TW.UTF-8", 0x0404}, {"zh_HK.UTF-8", 0x0C04},
      {"zh_MO", 0x1404},       {"zh_SG.GB2312", 0x1004}, {"zh", 0x0804},
      {"zh_XX", 0x0804},       {"zh-TW", 0x0404},        {"ZH_tw.utf8", 0x0404},
      {"en_US.UTF-8", 0x0409}, {"en_GB.UTF-8", 0x0809}, {"en", 0x0409},
      {"de_DE.UTF-8", 0x0407}, {"de_AT@euro", 0x0C07},  {"fr_FR", 0x040C},
      {"ja_JP.eucJP", 0x0411}, {"ko_KR", 0x0412},        {"ru_RU", 0x0419},
      {"es_ES", 0x0C0A},       {"it_IT", 0x0410},        {"pt_BR", 0x0416},
      {"sr_RS@latin", 0x241A}, {"C", 0x0409},            {"POSIX", 0x0409},
      {"C.UTF-8", 0x0409},     {"xx_YY", 0x0409},        {"", 0x0409},
      {"_", 0x0409},           {".@", 0x0409},
  };
  for (const auto& [name, id] : cases) EXPECT_EQ(LanguageIdFromLocale(name), id) << name;
}

TEST(Locale, FirstSetVariableDecides) {
  struct Case {
    const char* lc_all;
    const char* lc_messages;
    const char* lang;
    std::uint32_t expected;
  } cases[] = {
      {"de_DE.UTF-8", "zh_CN.UTF-8", "ja_JP", 0x0407},
      {nullptr, "zh_HK.UTF-8", "ja_JP", 0x0C04},
      {"", "", "zh_TW.UTF-8", 0x0404},  // empty counts as unset
      {nullptr, nullptr, "fr_FR", 0x040C},
      {nullptr, nullptr, nullptr, 0x0409},
  };
  for (const auto& c : cases) {
    keyloom::testing::ScopedEnv env;
    env.Set("LC_ALL", c.lc_all);
    env.Set("LC_MESSAGES", c.lc_messages);
    env.Set("LANG", c.lang);
    EXPECT_EQ(SystemDefaultLanguageId(), c.expected)
        << (c.lc_all ? c.lc_all : "-") << " " << (c.lc_messages ? c.lc_messages : "-") << " "
        << (c.lang ? c.lang : "-");
  }
}

}  // namespace
}  // namespace keyloom::platform
