#include "i18n/text_keys.h"

#include <array>

#include "platform/text.h"

namespace keyloom::i18n {
namespace {

constexpr std::size_t kLookupMax = 259;  // lookups return at most this many units
constexpr std::size_t kTrayTipMax = 127;  // the notification area keeps this many

constexpr TextKey Text(std::string_view key, TextUse use = TextUse::kShown) {
  return {TextSection::kText, key, use, {}, kLookupMax, false};
}
constexpr TextKey Format(std::string_view key, std::string_view args) {
  return {TextSection::kText, key, TextUse::kFormat, args, kLookupMax, false};
}
constexpr TextKey TrayTip(std::string_view key) {
  return {TextSection::kText, key, TextUse::kShown, {}, kTrayTipMax, false};
}
constexpr TextKey Light(std::string_view key) {
  return {TextSection::kLight, key, TextUse::kShown, {}, kLookupMax, false};
}
constexpr TextKey Mode(std::string_view key) {
  return {TextSection::kMode, key, TextUse::kShown, {}, kLookupMax, false};
}

// No key is meant to be empty today: every text of the shipped files is
// shown somewhere. A key whose emptiness the program handles on purpose
// would carry may_be_empty = true.
constexpr auto kTextKeys = std::to_array<TextKey>({
    // Main window
    Text("MAIN_CAPTION"),
    Text("MAIN_HELP_PROMPT"),
    Text("MAIN_MINIMIZE_PROMPT"),
    Text("MAIN_CLOSE_PROMPT"),
    Text("MAIN_MENU_PROMPT"),
    Text("MAIN_APPLY_PROMPT"),
    Text("MAIN_SWITCH_COLOR_TEXT"),
    Text("PROFILE_1"),
    Text("PROFILE_2"),
    Text("PROFILE_3"),
    Text("PROFILE_DEFAULT"),
    Text("PROFILE_MACRO"),
    Text("PROFILE_OK"),
    Text("PROFILE_CANCLE"),
    Text("PROFILE_APPLY"),
    Text("MAIN_NO_DEVICE_PROMPT"),
    Text("MAIN_PROMPT_DEFAULT"),
    Text("MAIN_DEFAULT_MATRIX_PROMPT"),
    Text("MAIN_PROMPT_INPORT"),
    Text("MENU_1"),
    Text("MENU_2"),
    Text("MENU_3"),
    Text("MENU_4"),
    // Notification area
    TrayTip("KEYBOARD_TRAY_DESC"),
    TrayTip("IDS_TrayTip_Keyboard"),
    Text("MENU_11"),
    Text("MENU_22"),
    Text("MENU_33"),
    // About dialog
    Text("LANG_ABOUT_TITLE"),
    Text("GUANYU_JIESHAO"),
    Text("GUANYU_BANQUAN"),
    Text("LANG_ABOUT_OK"),
    // Profiles
    Text("DEFAULT_PROFILE_NAME"),
    Text("PROFILE_TIP"),
    Text("PROFILE_NEW", TextUse::kPathSuffix),
    Text("PROFILE_LOAD_PROMPT"),
    Format("PROFILE_FORMAT_ERROR", "s"),
    Text("PROFILE_SELECT_PROMPT"),
    Text("PROFILE_SEELCT_PROMPT2"),
    Text("PROFILE_MANAGER_TITLE"),
    Text("PROFILE_LIST_ACTIVE"),
    Text("PROFILE_LIST_NAME"),
    Text("PROFILE_LIST_PATH"),
    Text("PROFILE_LIST_ADD"),
    Text("PROFILE_LIST_LOAD"),
    Text("PROFILE_LIST_DELETE"),
    Text("PROFILE_FILE_MISSING"),
    // Key settings dialog
    Text("KEY_SETTING_TISHI"),
    Text("MACRO_EDIT_TISHI"),
    Text("MACRO_OK"),
    Text("MACRO_CANCLE"),
    Text("SINGLE_KEY"),
    Text("MACRO_SETTING"),
    Text("MULTI_MEDIA"),
    Text("FUNCTION_KEY"),
    Text("COMPOSITE_PROMPT_CLEAR"),
    Text("COMPOSITE_PROMPT_OSK"),
    Text("OSK_NOT_FOUND"),
    Text("SINGLE_STATIC"),
    Text("IDS_MACRO_KB_KEY"),
    Text("IDS_MACRO_MOU_KEY"),
    Text("MEDIA_EDIT_TISHI"),
    Text("FUNCTION_TISHI"),
    Text("KEY_PROMPT_SET"),
    Text("KEY_PROMPT_SINGLE", TextUse::kOpensParenthesis),
    Text("KEY_PROMPT_MACRO", TextUse::kOpensParenthesis),
    Text("KEY_PROMPT_MEDIA", TextUse::kOpensParenthesis),
    Text("KEY_PROMPT_FUNCTION", TextUse::kOpensParenthesis),
    Format("UNKNOWN_KEY", "u"),
    // Macros
    Text("MACRO_NAME_SETTING"),
    Text("MACRO_NEW_PREFIX"),
    Text("MACRO_DEFAULT_NAME"),
    Text("MACRO_CYCLES"),
    Text("RECORD_DELAY"),
    Text("A_RECORD"),
    Text("MACRO_ACTION_RECORD"),
    Text("MACRO_ACTION_STOP_RECORD"),
    Text("A_DELETE"),
    Text("A_CLEAR"),
    Text("A_TOP"),
    Text("A_UP"),
    Text("A_DOWN"),
    Text("A_BOTTOM"),
    Text("MACRO_ACTION_RECORD_DELAY", TextUse::kSettingName),
    Text("MACRO_ACTION_CLEAR_CONFIRM"),
    Format("MACRO_ACTION_ERR_DELAY_MAX", "d"),
    Format("MACRO_ACTION_ERR_DELAY_MIN", "d"),
    Text("MACRO_ACTION_ERR_MODIFY"),
    Format("MACRO_ERR_MAX", "d"),
    Text("MACRO_DELETE_CONFIRM_OF_KEYS"),
    // Writing to the keyboard
    Text("EXTRA_MACRO_TOO_LONG"),
    Text("EXTRA_PROFILE_SPACE_TIGHT"),
    // Key names
    Text("IDS_KEYBOARD_ESC"), Text("IDS_KEYBOARD_1"), Text("IDS_KEYBOARD_2"),
    Text("IDS_KEYBOARD_3"), Text("IDS_KEYBOARD_4"), Text("IDS_KEYBOARD_5"),
    Text("IDS_KEYBOARD_6"), Text("IDS_KEYBOARD_7"), Text("IDS_KEYBOARD_8"),
    Text("IDS_KEYBOARD_9"), Text("IDS_KEYBOARD_0"), Text("IDS_KEYBOARD_MINUS"),
    Text("IDS_KEYBOARD_EQU"), Text("IDS_KEYBOARD_BS"), Text("IDS_KEYBOARD_TAB"),
    Text("IDS_KEYBOARD_Q"), Text("IDS_KEYBOARD_W"), Text("IDS_KEYBOARD_E"),
    Text("IDS_KEYBOARD_R"), Text("IDS_KEYBOARD_T"), Text("IDS_KEYBOARD_Y"),
    Text("IDS_KEYBOARD_U"), Text("IDS_KEYBOARD_I"), Text("IDS_KEYBOARD_O"),
    Text("IDS_KEYBOARD_P"), Text("IDS_KEYBOARD_SB1"), Text("IDS_KEYBOARD_SB2"),
    Text("IDS_KEYBOARD_ENTER"), Text("IDS_KEYBOARD_LCTRL"), Text("IDS_KEYBOARD_A"),
    Text("IDS_KEYBOARD_S"), Text("IDS_KEYBOARD_D"), Text("IDS_KEYBOARD_F"),
    Text("IDS_KEYBOARD_G"), Text("IDS_KEYBOARD_H"), Text("IDS_KEYBOARD_J"),
    Text("IDS_KEYBOARD_K"), Text("IDS_KEYBOARD_L"), Text("IDS_KEYBOARD_SEM"),
    Text("IDS_KEYBOARD_QUOT"), Text("IDS_KEYBOARD_AID1"), Text("IDS_KEYBOARD_LSHIFT"),
    Text("IDS_KEYBOARD_AV"), Text("IDS_KEYBOARD_Z"), Text("IDS_KEYBOARD_X"),
    Text("IDS_KEYBOARD_C"), Text("IDS_KEYBOARD_V"), Text("IDS_KEYBOARD_B"),
    Text("IDS_KEYBOARD_N"), Text("IDS_KEYBOARD_M"), Text("IDS_KEYBOARD_COMMA"),
    Text("IDS_KEYBOARD_PER"), Text("IDS_KEYBOARD_VIR"), Text("IDS_KEYBOARD_RSHIFT"),
    Text("IDS_KEYBOARD_LALT"), Text("IDS_KEYBOARD_SPACE"), Text("IDS_KEYBOARD_CAPS"),
    Text("IDS_KEYBOARD_F1"), Text("IDS_KEYBOARD_F2"), Text("IDS_KEYBOARD_F3"),
    Text("IDS_KEYBOARD_F4"), Text("IDS_KEYBOARD_F5"), Text("IDS_KEYBOARD_F6"),
    Text("IDS_KEYBOARD_F7"), Text("IDS_KEYBOARD_F8"), Text("IDS_KEYBOARD_F9"),
    Text("IDS_KEYBOARD_F10"), Text("IDS_KEYBOARD_F11"), Text("IDS_KEYBOARD_F12"),
    Text("IDS_KEYBOARD_PAUSE"), Text("IDS_KEYBOARD_BREAK"), Text("IDS_KEYBOARD_SCROLL"),
    Text("IDS_KEYBOARD_PRINT"), Text("IDS_KEYBOARD_SYSREQ"), Text("IDS_KEYBOARD_INSERT"),
    Text("IDS_KEYBOARD_DELETE"), Text("IDS_KEYBOARD_HOME"), Text("IDS_KEYBOARD_END"),
    Text("IDS_KEYBOARD_PAGE_UP"), Text("IDS_KEYBOARD_PAGE_DOWN"), Text("IDS_KEYBOARD_UP"),
    Text("IDS_KEYBOARD_DOWN"), Text("IDS_KEYBOARD_LEFT"), Text("IDS_KEYBOARD_RIGHT"),
    Text("IDS_KEYBOARD_NUM"), Text("IDS_KEYBOARD_S_0"), Text("IDS_KEYBOARD_S_1"),
    Text("IDS_KEYBOARD_S_2"), Text("IDS_KEYBOARD_S_3"), Text("IDS_KEYBOARD_S_4"),
    Text("IDS_KEYBOARD_S_5"), Text("IDS_KEYBOARD_S_6"), Text("IDS_KEYBOARD_S_7"),
    Text("IDS_KEYBOARD_S_8"), Text("IDS_KEYBOARD_S_9"), Text("IDS_KEYBOARD_S_DEL"),
    Text("IDS_KEYBOARD_S_ENTER"), Text("IDS_KEYBOARD_S_PLUS"), Text("IDS_KEYBOARD_S_MINUS"),
    Text("IDS_KEYBOARD_S_AST"), Text("IDS_KEYBOARD_S_VIR"), Text("IDS_KEYBOARD_RCTRL"),
    Text("IDS_KEYBOARD_RALT"), Text("IDS_KEYBOARD_LWIN"), Text("IDS_KEYBOARD_RWIN"),
    Text("IDS_KEYBOARD_APP"), Text("IDS_KEYBOARD_K45"), Text("IDS_KEYBOARD_K14"),
    Text("IDS_KEYBOARD_K56"), Text("IDS_KEYBOARD_K107"), Text("IDS_KEYBOARD_ROMA"),
    Text("IDS_KEYBOARD_CHG"), Text("IDS_KEYBOARD_N_CHG"), Text("IDS_KEYBOARD_KR"),
    Text("IDS_KEYBOARD_KL"), Text("IDS_KEYBOARD_POWER"), Text("IDS_KEYBOARD_SLEEP"),
    Text("IDS_KEYBOARD_WAKE"), Text("IDS_KEYBOARD_FUNC_ZOOMOUT"), Text("IDS_KEYBOARD_FUNC_ZOOMIN"),
    Text("IDS_KEYBOARD_FUNC_COPY"), Text("IDS_KEYBOARD_FUNC_CUT"), Text("IDS_KEYBOARD_FUNC_PASTE"),
    Text("IDS_KEYBOARD_FUNC_MINI"), Text("IDS_KEYBOARD_FUNC_MAXI"), Text("IDS_KEYBOARD_FUNC_WORD"),
    Text("IDS_KEYBOARD_FUNC_EXCEL"), Text("IDS_KEYBOARD_FUNC_POWERPOINT"), Text("IDS_KEYBOARD_FUNC_CALENDAR"),
    // Multimedia keys
    Text("MEDIA_PALYER_1"), Text("MEDIA_PALY_PAUSE_2"), Text("MEDIA_STOP_PALY_3"),
    Text("MEDIA_PREV_TRACK_4"), Text("MEDIA_Next_TRACK_5"), Text("MEDIA_V_LOW_6"),
    Text("MEDIA_V_ADD_7"), Text("MEDIA_MUTE_8"), Text("MEDIA_WWW_HOME_9"),
    Text("MEDIA_WWW_REFRESH_10"), Text("MEDIA_WWW_STOP_11"), Text("MEDIA_WWW_BACK_12"),
    Text("MEDIA_WWW_FORWARD_13"), Text("MEDIA_WWW_FAVORITE_14"), Text("MEDIA_WWW_SEARCH_15"),
    Text("MEDIA_MY_PC_16"), Text("MEDIA_CALC_17"), Text("MEDIA_MAIL_18"),
    // Keyboard functions
    Text("FUNC_KEY_DESC1"), Text("FUNC_KEY_DESC2"), Text("FUNC_KEY_DESC3"),
    Text("FUNC_KEY_DESC4"), Text("FUNC_KEY_DESC5"), Text("FUNC_KEY_DESC6"),
    Text("FUNC_KEY_DESC7"), Text("FUNC_KEY_DESC8"), Text("FUNC_KEY_DESC9"),
    Text("FUNC_KEY_DESC10"), Text("FUNC_KEY_DESC11"),
    // Lighting panel labels
    Light("Deng"), Light("Light"), Light("Speed"), Light("FX"), Light("Color"),
    Light("DC"), Light("JColor"), Light("Tool"), Light("Usb"),
    // Lighting effect names, by effect number
    Mode("1"), Mode("2"), Mode("3"), Mode("4"), Mode("5"), Mode("6"), Mode("7"),
    Mode("8"), Mode("9"), Mode("10"), Mode("11"), Mode("12"), Mode("13"), Mode("14"),
    Mode("15"), Mode("16"), Mode("17"), Mode("18"), Mode("19"), Mode("20"),
});

constexpr int kFunctionCount = 11;

}  // namespace

std::string_view SectionName(TextSection section) {
  switch (section) {
    case TextSection::kText: return "TEXT";
    case TextSection::kLight: return "LIGHT";
    case TextSection::kMode: return "MODE";
  }
  return {};
}

std::span<const TextKey> AllTextKeys() { return kTextKeys; }

std::optional<TextKey> FindTextKey(TextSection section, std::string_view key) {
  for (const TextKey& entry : kTextKeys) {
    if (entry.section == section && text::EqualsIgnoreCase(entry.key, key)) return entry;
  }
  return std::nullopt;
}

std::string FunctionKeyTextKey(int function_index) {
  if (function_index < 0 || function_index >= kFunctionCount) return {};
  return "FUNC_KEY_DESC" + std::to_string(function_index + 1);
}

std::string FormatSignature(std::u16string_view format) {
  // Reads specifiers exactly as the safe formatter does: flags, width,
  // precision and size prefixes, then the conversion letter.
  std::string kinds;
  const std::size_t n = format.size();
  std::size_t i = 0;
  auto at = [&](char16_t c) { return i < n && format[i] == c; };
  auto skip_digits = [&] {
    while (i < n && format[i] >= u'0' && format[i] <= u'9') ++i;
  };
  while (i < n) {
    if (format[i++] != u'%') continue;
    if (i >= n) break;  // a lone '%' at the end prints nothing
    if (at(u'%')) {
      ++i;
      continue;
    }
    while (at(u'-') || at(u'0') || at(u'+') || at(u' ') || at(u'#')) ++i;
    bool star = false;
    if (at(u'*')) star = true, ++i;
    skip_digits();
    if (at(u'.')) {
      ++i;
      if (at(u'*')) star = true, ++i;
      skip_digits();
    }
    while (at(u'h') || at(u'w') || at(u'L') || at(u'l') || at(u'j') || at(u'z') || at(u't') ||
           at(u'q') || at(u'I')) {
      const bool size_i = at(u'I');
      ++i;
      if (size_i && (format.substr(i, 2) == u"64" || format.substr(i, 2) == u"32")) i += 2;
    }
    if (i >= n) break;
    const char16_t conv = format[i++];
    if (star) {
      kinds.push_back('?');
      continue;
    }
    switch (conv) {
      case u's': case u'S': kinds.push_back('s'); break;
      case u'd': case u'i': kinds.push_back('d'); break;
      case u'u': case u'x': case u'X': kinds.push_back('u'); break;
      case u'c': case u'C': kinds.push_back('c'); break;
      default: kinds.push_back('?'); break;
    }
  }
  return kinds;
}

}  // namespace keyloom::i18n
