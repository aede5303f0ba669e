#include "skin/skin_manifest.h"

#include <cstdio>

namespace keyloom::skin {

namespace {

std::u16string U16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

void AddLayout(std::vector<SkinKey>& keys, SkinFile file, std::u16string_view section,
               std::initializer_list<std::string_view> names) {
  for (auto name : names) keys.push_back({file, std::u16string(section), U16(name), true});
}

std::vector<SkinKey> BuildKeys() {
  std::vector<SkinKey> keys;
  using enum SkinFile;
  // Main window.
  keys.push_back({Main, u"SCREEN", u"Main", false});
  keys.push_back({Main, u"SCREEN", u"Mask", false});
  keys.push_back({Main, u"SCREEN", u"Link", false});
  AddLayout(keys, Main, u"BUTTONINFO",
            {"CONTROL_OK", "CONTROL_CANCEL", "FUNC_PROFILES", "CONTROL2_APPLY", "FUNC_MACRO", "QUORVE_LINK",
             "CONTROL_HELP", "CONTROL_MINIMIZE", "CONTROL_CLOSE", "LOCK_CAPS", "LOCK_NUM", "LOCK_SCROLL",
             "LOCK_AB", "FLIP_0", "FLIP_1", "FLIP_2", "LEFT_ARROW", "RIGHT_ARROW", "QUORVE_VER",
             "FUNC_PROFILE1", "FUNC_PROFILE2", "FUNC_PROFILE3", "FUNC_DEFAULT", "CONTROL_MENU", "FUNC_SWITCH",
             "FUNC_REPORT1", "FUNC_REPORT2", "FUNC_REPORT3", "FUNC_REPORT4", "CONTROL_Network",
             "CONTROL_Facebook", "CONTROL_twitter",
             // The busy picture (control 1177), which no other key places.
             "CONTROL_BUSY"});
  AddLayout(keys, Main, u"BUTTONINFO2", {"LEFT_ARROW", "RIGHT_ARROW"});
  // On-screen keyboard.
  for (int g = 1; g <= 9; ++g) {
    keys.push_back({Main, u"BUTTONINFO", u"FUNC_G" + U16(std::to_string(g)), true});
  }
  keys.push_back({Main, u"BUTTONINFO", u"KEY_FN", true});
  for (std::uint16_t code : PanelKeyCodes()) keys.push_back({Main, u"BUTTONINFO", PanelKeyLayoutKey(code), true});
  // Lighting panel, the shown controls and those laid out but never shown.
  AddLayout(keys, Main, u"BUTTONINFO",
            {"CONTROL_DengStatic", "CONTROL_DengStaPic", "CONTROL_XGcombox", "CONTROL_LightStatic",
             "CONTROL_LightSlider", "CONTROL_SpeedStatic", "CONTROL_SpeedSlider", "CONTROL_BLFXStatic",
             "CONTROL_BLFXLStaPic", "CONTROL_BLFXRStaPic", "CONTROL_BLFXStatic2", "CONTROL_BLFXLStaPic2",
             "CONTROL_BLFXRStaPic2", "CONTROL_BLFXStatic3", "CONTROL_BLFXLStaPic3", "CONTROL_BLFXRStaPic3",
             "CONTROL_HXysStatic", "CONTROL_HXysButton", "CONTROL_HXsjsStaPic", "CONTROL_HXsjsStatic",
             "CONTROL_FYYSStatic", "CONTROL_FYYSButton", "CONTROL_FYSJSStaPic", "CONTROL_FYSJSStatic",
             "CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC", "CONTROL_LANPIC", "CONTROL_USERysStatic",
             "CONTROL_USERysButton", "CONTROL_USERjsStatic", "CONTROL_USERjsButton", "CONTROL_USERgjStatic",
             "CONTROL_USERgjStaPic1", "CONTROL_USERgjStaPic2", "CONTROL_umCombo", "COLOR_R", "COLOR_G",
             "COLOR_B", "CONTROL_JTysStatic", "CONTROL_JTysButton", "CONTROL_FYggcfStaPic",
             "CONTROL_FYdjcfStatic", "CONTROL_FYCFStatic", "CONTROL_FYdjcfStaPic", "CONTROL_FYggcfStatc",
             "CONTROL_TSysStatic", "CONTROL_TSsjsStatic", "CONTROL_TSysButton", "CONTROL_TSsjsStaPic",
             "CONTROL_CDysStatic", "CONTROL_CDsjsStatic", "CONTROL_CDysButton", "CONTROL_CDsjsStaPic",
             "CONTROL_Color1", "CONTROL_Color2", "CONTROL_Color3", "CONTROL_Color4", "CONTROL_Color5",
             "CONTROL_Color6", "CONTROL_Color7", "CONTROL_Color8"});
  // Profile manager.
  keys.push_back({Profile, u"SCREEN", u"Main", false});
  keys.push_back({Profile, u"SCREEN", u"Mask", false});
  AddLayout(keys, Profile, u"BUTTONINFO",
            {"PROGRAM_LIST", "FUNC_ADD", "FUNC_LOAD", "FUNC_DELETE", "CONTROL_OK", "CONTROL_CANCEL",
             "CONTROL2_APPLY"});
  // Composite key-setting dialog.
  keys.push_back({Composite, u"SCREEN", u"Main", false});
  keys.push_back({Composite, u"SCREEN", u"Mask", false});
  AddLayout(keys, Composite, u"BUTTONINFO",
            {"CONTROL_OK", "CONTROL_CANCEL", "CONTROL_TITLE", "CONTROL_KEY", "CONTROL_MACRO", "CONTROL_MEDIA",
             "CONTROL_FUNCTION", "CONTROL_CLEAR", "CONTROL_OSK", "CONTROL_MASK", "FUNC_KEY_INPUT",
             "FUNC_KEY_RADIO_KB", "FUNC_KEY_RADIO_KB_STATIC", "FUNC_MEDIA_SELECT", "FUNC_FUNCTION_SELECT",
             "FUNC_MACRO_LIST", "FUNC_MACRO_LIST2", "FUNC_MACRO_ADD", "FUNC_MACRO_DELETE", "FUNC_MACRO_DELETE2",
             "FUNC_MACRO_CLEAR", "FUNC_MACRO_CYCLES", "FUNC_MACRO_CYCLES_PROMPT", "FUNC_MACRO_UP",
             "FUNC_MACRO_UP_TOP", "FUNC_MACRO_DOWN", "FUNC_MACRO_DOWN_BOTTOM", "FUNC_MACRO_RECORD",
             "FUNC_MACRO_RECORD_DELAY", "FUNC_MACRO_RECORD_DELAY2", "KEY_SETTING", "MARCO_NAME_SETTING",
             "MEDIA_SETTING_TISHI", "FUNCTION_KEY_SETTING_TISHI", "TISHI_SINGLE_STATIC",
             // The Apply button (control 1015), which no other key places.
             "CONTROL2_APPLY"});
  return keys;
}

}  // namespace

std::u16string_view SkinIniName(SkinFile file) {
  switch (file) {
    case SkinFile::Main: return u"Main.ini";
    case SkinFile::Profile: return u"Profile.ini";
    case SkinFile::Composite: return u"Composite.ini";
  }
  return u"";
}

const std::vector<SkinKey>& RequiredSkinKeys() {
  static const std::vector<SkinKey> keys = BuildKeys();
  return keys;
}

std::vector<std::u16string> LayoutKeys(SkinFile file, std::u16string_view section) {
  std::vector<std::u16string> out;
  for (const auto& k : RequiredSkinKeys()) {
    if (k.file == file && k.layout && k.section == section) out.push_back(k.key);
  }
  return out;
}

const std::array<std::u16string_view, 7>& MainStatePictures() {
  static const std::array<std::u16string_view, 7> names = {u"main_normal.jpg", u"main_over.jpg",   u"main_down.jpg",
                                                           u"main_disable.jpg", u"Arrow.jpg",      u"main_color0.jpg",
                                                           u"main_color1.jpg"};
  return names;
}

const std::array<std::u16string_view, 3>& ProfileStatePictures() {
  static const std::array<std::u16string_view, 3> names = {u"Profile_normal.jpg", u"Profile_over.jpg",
                                                           u"Profile_down.jpg"};
  return names;
}

const std::array<PictureSet, 5>& CompositePictureSets() {
  static const std::array<PictureSet, 5> sets = {PictureSet{u"key", false}, PictureSet{u"macro", true},
                                                 PictureSet{u"macro2", true}, PictureSet{u"media", false},
                                                 PictureSet{u"function", false}};
  return sets;
}

const std::vector<std::u16string>& LightingBitmaps() {
  static const std::vector<std::u16string> names = [] {
    std::vector<std::u16string> n;
    for (auto s : {"dengup", "dengdown", "rightup", "rightdown", "leftup", "leftdown", "leftup1", "leftdown1",
                   "rightup1", "rightdown1", "upup", "updown", "downdown", "downup", "julong", "julongdown",
                   "kuosan", "kuosandown", "hong", "hongok", "huang", "huangok", "lv", "lvok", "lan", "lanok",
                   "sjsup", "sjsdown", "user1up", "user1down", "user2up", "user2down"}) {
      n.push_back(U16(s));
    }
    for (int i = 1; i <= 10; ++i) n.push_back(u"jdt" + U16(std::to_string(i)));
    for (int i = 0; i <= 25; ++i) n.push_back(U16(std::to_string(i)));
    for (int i = 1; i <= 8; ++i) n.push_back(u"Color" + U16(std::to_string(i)));
    return n;
  }();
  return names;
}

const std::vector<std::u16string>& RequiredSkinPictures() {
  static const std::vector<std::u16string> names = [] {
    std::vector<std::u16string> n;
    for (auto p : MainStatePictures()) n.emplace_back(p);
    for (auto p : ProfileStatePictures()) n.emplace_back(p);
    for (const auto& set : CompositePictureSets()) {
      for (auto state : {u"_normal.jpg", u"_over.jpg", u"_down.jpg"}) n.push_back(std::u16string(set.prefix) + state);
      if (set.has_disable) n.push_back(std::u16string(set.prefix) + u"_disable.jpg");
    }
    for (const auto& b : LightingBitmaps()) n.push_back(b + u".bmp");
    return n;
  }();
  return names;
}

const std::array<std::uint16_t, 105>& PanelKeyCodes() {
  static const std::array<std::uint16_t, 105> codes = {
      0x03B, 0x03C, 0x03D, 0x03E, 0x03F, 0x040,                                            // 1010..1015
      0x001, 0x041, 0x042, 0x043, 0x044, 0x057, 0x058,                                     // 1022..1028
      0x029, 0x002, 0x003, 0x004, 0x005, 0x006, 0x007, 0x008, 0x009, 0x00A, 0x00B, 0x00C,  // 1029..1040
      0x00D, 0x02B, 0x00E, 0x010, 0x011, 0x012, 0x013, 0x014, 0x015, 0x016, 0x017, 0x018,  // 1041..1052
      0x019, 0x01A, 0x01B, 0x00F,                                                          // 1053..1056
      0x01E, 0x01F, 0x020, 0x021, 0x022, 0x023, 0x024, 0x025, 0x026, 0x027, 0x028, 0x03A,  // 1058..1069
      0x01C, 0x02C, 0x02D, 0x02E, 0x02F, 0x030, 0x031, 0x032, 0x033, 0x034, 0x035, 0x036,  // 1070..1081
      0x02A, 0x01D, 0x15B, 0x038, 0x138, 0x15C, 0x15D, 0x11D, 0x039, 0x137, 0x046, 0x045,  // 1082..1093
      0x152, 0x147, 0x149, 0x153, 0x14F, 0x151, 0x14B, 0x150, 0x14D, 0x148, 0x145, 0x135,  // 1094..1105
      0x037, 0x04A, 0x047, 0x048, 0x049, 0x04E, 0x04B, 0x04C, 0x04D, 0x04F, 0x050, 0x051,  // 1106..1117
      0x11C, 0x053, 0x052,                                                                 // 1118..1120
      0x056,                                                                               // 1222
  };
  return codes;
}

std::u16string PanelKeyLayoutKey(std::uint16_t code) {
  unsigned folded = code;
  if (code >= 0x200) {
    folded = code - 0x100;
  } else if (code >= 0x100) {
    folded = code - 0x80;
  }
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "KEY_%03X", folded);
  return U16(buffer);
}

}  // namespace keyloom::skin
