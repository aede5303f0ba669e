#include "skin_layout_table.h"

#include <QStringList>

namespace keyloom::skingen {

namespace {

// Key caps: one unit is 36 pixels, caps leave 4 pixels between them.
constexpr double kUnit = 36.0;
constexpr int kGap = 4;
constexpr int kKeyboardLeft = 63;
constexpr int kKeyboardTop = 232;

struct KeyDef {
  int code;  // 0: a gap; -1: Fn
  double width = 1.0;
  QString label = {};
  QString top = {};
  double height = 1.0;
};

QString KeyName(int code) { return code == -1 ? QStringLiteral("KEY_FN") : QString::asprintf("KEY_%03X", code >= 0x200 ? code - 0x100 : code >= 0x100 ? code - 0x80 : code); }

void AddRow(std::vector<Control>& out, double x, double y, const std::vector<KeyDef>& keys) {
  for (const auto& k : keys) {
    if (k.code != 0) {
      const QRect r(kKeyboardLeft + static_cast<int>(x * kUnit), kKeyboardTop + static_cast<int>(y * kUnit),
                    static_cast<int>(k.width * kUnit) - kGap, static_cast<int>(k.height * kUnit) - kGap);
      out.push_back({KeyName(k.code), r, Kind::KeyCap, Icon::None, k.label, k.top, {}});
    }
    x += k.width;
  }
}

std::vector<KeyDef> Chars(const QString& bottoms, const QString& tops, int first_code) {
  std::vector<KeyDef> keys;
  for (int i = 0; i < bottoms.size(); ++i) {
    keys.push_back({first_code + i, 1.0, bottoms.mid(i, 1), tops.isEmpty() ? QString() : tops.mid(i, 1)});
  }
  return keys;
}

std::vector<KeyDef> Join(std::initializer_list<std::vector<KeyDef>> parts) {
  std::vector<KeyDef> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

void AddKeyboard(std::vector<Control>& out) {
  // Macro keys G1..G9: a slim column left of the main block.
  for (int g = 0; g < 9; ++g) {
    out.push_back({QStringLiteral("FUNC_G%1").arg(g + 1), QRect(kKeyboardLeft, kKeyboardTop + g * 25, 45, 21),
                   Kind::KeyCap, Icon::None, QStringLiteral("G%1").arg(g + 1), {}, {}});
  }
  const double main_x = 1.75;
  const double nav_x = main_x + 15.25;
  const double pad_x = nav_x + 3.25;
  // Function row.
  AddRow(out, main_x, 0,
         {{0x001, 1, "Esc"}, {0, 1}, {0x03B, 1, "F1"}, {0x03C, 1, "F2"}, {0x03D, 1, "F3"}, {0x03E, 1, "F4"},
          {0, 0.5}, {0x03F, 1, "F5"}, {0x040, 1, "F6"}, {0x041, 1, "F7"}, {0x042, 1, "F8"}, {0, 0.5},
          {0x043, 1, "F9"}, {0x044, 1, "F10"}, {0x057, 1, "F11"}, {0x058, 1, "F12"}});
  AddRow(out, nav_x, 0, {{0x137, 1, "PrtSc"}, {0x046, 1, "ScrLk"}, {0x045, 1, "Pause"}});
  // Number row.
  AddRow(out, main_x, 1.25,
         Join({{{0x029, 1, "`", "~"}}, Chars("1234567890", "!@#$%^&*()", 0x002),
               {{0x00C, 1, "-", "_"}, {0x00D, 1, "=", "+"}, {0x00E, 2, "Backspace"}}}));
  AddRow(out, nav_x, 1.25, {{0x152, 1, "Ins"}, {0x147, 1, "Home"}, {0x149, 1, "PgUp"}});
  AddRow(out, pad_x, 1.25, {{0x145, 1, "Num"}, {0x135, 1, "/"}, {0x037, 1, "*"}, {0x04A, 1, "-"}});
  // Top letter row.
  AddRow(out, main_x, 2.25,
         Join({{{0x00F, 1.5, "Tab"}}, Chars("QWERTYUIOP", "", 0x010),
               {{0x01A, 1, "[", "{"}, {0x01B, 1, "]", "}"}, {0x02B, 1.5, "\\", "|"}}}));
  AddRow(out, nav_x, 2.25, {{0x153, 1, "Del"}, {0x14F, 1, "End"}, {0x151, 1, "PgDn"}});
  AddRow(out, pad_x, 2.25, {{0x047, 1, "7"}, {0x048, 1, "8"}, {0x049, 1, "9"}, {0x04E, 1, "+", {}, 2}});
  // Home row.
  AddRow(out, main_x, 3.25,
         Join({{{0x03A, 1.75, "Caps"}}, Chars("ASDFGHJKL", "", 0x01E),
               {{0x027, 1, ";", ":"}, {0x028, 1, "'", "\""}, {0x01C, 2.25, "Enter"}}}));
  AddRow(out, pad_x, 3.25, {{0x04B, 1, "4"}, {0x04C, 1, "5"}, {0x04D, 1, "6"}});
  // Bottom letter row.
  AddRow(out, main_x, 4.25,
         Join({{{0x02A, 1.25, "Shift"}, {0x056, 1, "\\", "|"}}, Chars("ZXCVBNM", "", 0x02C),
               {{0x033, 1, ",", "<"}, {0x034, 1, ".", ">"}, {0x035, 1, "/", "?"}, {0x036, 2.75, "Shift"}}}));
  AddRow(out, nav_x, 4.25, {{0, 1}, {0x148, 1, QString::fromUtf8("\u2191")}});
  AddRow(out, pad_x, 4.25, {{0x04F, 1, "1"}, {0x050, 1, "2"}, {0x051, 1, "3"}, {0x11C, 1, "Enter", {}, 2}});
  // Space row.
  AddRow(out, main_x, 5.25,
         {{0x01D, 1.25, "Ctrl"}, {0x15B, 1.25, "Win"}, {0x038, 1.25, "Alt"}, {0x039, 6.25, ""}, {0x138, 1, "Alt"},
          {-1, 1, "Fn"}, {0x15D, 1, "Menu"}, {0x15C, 1, "Win"}, {0x11D, 1, "Ctrl"}});
  AddRow(out, nav_x, 5.25,
         {{0x14B, 1, QString::fromUtf8("\u2190")}, {0x150, 1, QString::fromUtf8("\u2193")},
          {0x14D, 1, QString::fromUtf8("\u2192")}});
  AddRow(out, pad_x, 5.25, {{0x052, 2, "0"}, {0x053, 1, "."}});
}

}  // namespace

QRect KeyboardPlate() {
  return QRect(kKeyboardLeft - 16, kKeyboardTop - 16, static_cast<int>((1.75 + 15.25 + 3.25 + 4) * kUnit) + 28,
               static_cast<int>(6.25 * kUnit) + 28);
}

DialogLayout MainLayout() {
  DialogLayout d{QStringLiteral("Main"), QSize(1000, 556), {}, {}};
  auto& c = d.controls;
  auto add = [&](const char* key, QRect r, Kind kind, Icon icon = Icon::None, QString label = {}) {
    c.push_back({QString::fromLatin1(key), r, kind, icon, std::move(label), {}, {}});
  };
  // Title bar.
  add("QUORVE_LINK", QRect(20, 10, 150, 28), Kind::Button, Icon::Brand);
  add("QUORVE_VER", QRect(176, 15, 124, 18), Kind::Button, Icon::Plate);
  add("CONTROL_MENU", QRect(852, 10, 30, 28), Kind::Button, Icon::Menu);
  add("CONTROL_HELP", QRect(886, 10, 30, 28), Kind::Button, Icon::Help);
  add("CONTROL_MINIMIZE", QRect(920, 10, 30, 28), Kind::Button, Icon::Minimize);
  add("CONTROL_CLOSE", QRect(954, 10, 30, 28), Kind::Button, Icon::Close);
  // Profile row.
  add("FUNC_PROFILES", QRect(20, 56, 170, 32), Kind::Button);
  add("LEFT_ARROW", QRect(204, 64, 16, 16), Kind::Button, Icon::ArrowLeft);
  add("FUNC_PROFILE1", QRect(226, 56, 86, 32), Kind::Button);
  add("FUNC_PROFILE2", QRect(316, 56, 86, 32), Kind::Button);
  add("FUNC_PROFILE3", QRect(406, 56, 86, 32), Kind::Button);
  add("RIGHT_ARROW", QRect(498, 64, 16, 16), Kind::Button, Icon::ArrowRight);
  add("FUNC_DEFAULT", QRect(530, 56, 96, 32), Kind::Button);
  add("FUNC_MACRO", QRect(632, 56, 96, 32), Kind::Button);
  add("FUNC_SWITCH", QRect(734, 56, 1, 1), Kind::Hidden);
  add("FUNC_REPORT1", QRect(748, 56, 56, 32), Kind::Button, Icon::None, QStringLiteral("125Hz"));
  add("FUNC_REPORT2", QRect(806, 56, 56, 32), Kind::Button, Icon::None, QStringLiteral("250Hz"));
  add("FUNC_REPORT3", QRect(864, 56, 56, 32), Kind::Button, Icon::None, QStringLiteral("500Hz"));
  add("FUNC_REPORT4", QRect(922, 56, 62, 32), Kind::Button, Icon::None, QStringLiteral("1000Hz"));
  // Lighting panel, first row.
  add("CONTROL_DengStatic", QRect(24, 108, 64, 22), Kind::Text);
  add("CONTROL_DengStaPic", QRect(90, 107, 44, 24), Kind::Picture);
  add("CONTROL_XGcombox", QRect(150, 106, 190, 26), Kind::Field);
  add("CONTROL_LightStatic", QRect(360, 108, 80, 22), Kind::Text);
  add("CONTROL_LightSlider", QRect(444, 109, 150, 20), Kind::Slider);
  add("CONTROL_SpeedStatic", QRect(620, 108, 70, 22), Kind::Text);
  add("CONTROL_SpeedSlider", QRect(694, 109, 150, 20), Kind::Slider);
  // Second row: the parameter groups share one place; an effect shows one of them.
  add("CONTROL_BLFXStatic", QRect(24, 148, 64, 22), Kind::Text);
  add("CONTROL_BLFXLStaPic", QRect(90, 147, 36, 24), Kind::Picture);
  add("CONTROL_BLFXRStaPic", QRect(130, 147, 36, 24), Kind::Picture);
  add("CONTROL_BLFXStatic2", QRect(24, 148, 64, 22), Kind::Text);
  add("CONTROL_BLFXLStaPic2", QRect(90, 147, 36, 24), Kind::Picture);
  add("CONTROL_BLFXRStaPic2", QRect(130, 147, 36, 24), Kind::Picture);
  add("CONTROL_BLFXStatic3", QRect(24, 148, 64, 22), Kind::Text);
  add("CONTROL_BLFXLStaPic3", QRect(90, 147, 36, 24), Kind::Picture);
  add("CONTROL_BLFXRStaPic3", QRect(130, 147, 36, 24), Kind::Picture);
  for (const char* prefix : {"HX", "FY"}) {
    const bool general = prefix[0] == 'H';
    add(general ? "CONTROL_HXysStatic" : "CONTROL_FYYSStatic", QRect(186, 148, 56, 22), Kind::Text);
    add(general ? "CONTROL_HXysButton" : "CONTROL_FYYSButton", QRect(244, 147, 64, 24), Kind::ColourButton);
    add(general ? "CONTROL_HXsjsStaPic" : "CONTROL_FYSJSStaPic", QRect(322, 147, 44, 24), Kind::Picture);
    add(general ? "CONTROL_HXsjsStatic" : "CONTROL_FYSJSStatic", QRect(370, 148, 110, 22), Kind::Text);
  }
  add("CONTROL_HONGPIC", QRect(186, 147, 28, 24), Kind::Picture);
  add("CONTROL_HUANGPIC", QRect(218, 147, 28, 24), Kind::Picture);
  add("CONTROL_LVPIC", QRect(250, 147, 28, 24), Kind::Picture);
  add("CONTROL_LANPIC", QRect(282, 147, 28, 24), Kind::Picture);
  add("CONTROL_umCombo", QRect(186, 146, 150, 26), Kind::Field);
  add("CONTROL_USERysStatic", QRect(346, 148, 52, 22), Kind::Text);
  add("CONTROL_USERysButton", QRect(400, 147, 64, 24), Kind::ColourButton);
  add("CONTROL_USERjsStatic", QRect(474, 148, 60, 22), Kind::Text);
  add("CONTROL_USERjsButton", QRect(536, 147, 64, 24), Kind::ColourButton);
  add("CONTROL_USERgjStatic", QRect(610, 148, 50, 22), Kind::Text);
  add("CONTROL_USERgjStaPic1", QRect(662, 147, 32, 24), Kind::Picture);
  add("CONTROL_USERgjStaPic2", QRect(698, 147, 32, 24), Kind::Picture);
  add("COLOR_R", QRect(830, 147, 46, 24), Kind::Field);
  add("COLOR_G", QRect(880, 147, 46, 24), Kind::Field);
  add("COLOR_B", QRect(930, 147, 46, 24), Kind::Field);
  // Laid out, never shown.
  for (const char* key : {"CONTROL_JTysStatic", "CONTROL_FYdjcfStatic", "CONTROL_FYCFStatic", "CONTROL_FYggcfStatc",
                          "CONTROL_TSysStatic", "CONTROL_TSsjsStatic", "CONTROL_CDysStatic", "CONTROL_CDsjsStatic"}) {
    add(key, QRect(186, 148, 56, 22), Kind::Hidden);
  }
  for (const char* key : {"CONTROL_JTysButton", "CONTROL_TSysButton", "CONTROL_CDysButton"}) {
    add(key, QRect(244, 147, 64, 24), Kind::Hidden);
  }
  for (const char* key : {"CONTROL_FYggcfStaPic", "CONTROL_FYdjcfStaPic", "CONTROL_TSsjsStaPic", "CONTROL_CDsjsStaPic"}) {
    add(key, QRect(322, 147, 44, 24), Kind::Hidden);
  }
  for (int i = 1; i <= 8; ++i) {
    c.push_back({QStringLiteral("CONTROL_Color%1").arg(i), QRect(600 + i * 24, 178, 20, 20), Kind::Hidden, Icon::None,
                 {}, {}, {}});
  }
  // On-screen keyboard with the lock lamps above the number pad.
  AddKeyboard(c);
  const int pad_left = kKeyboardLeft + static_cast<int>((1.75 + 15.25 + 3.25) * kUnit);
  add("LOCK_CAPS", QRect(pad_left, kKeyboardTop, 32, 32), Kind::Button, Icon::LockCaps);
  add("LOCK_NUM", QRect(pad_left + 36, kKeyboardTop, 32, 32), Kind::Button, Icon::LockNum);
  add("LOCK_SCROLL", QRect(pad_left + 72, kKeyboardTop, 32, 32), Kind::Button, Icon::LockScroll);
  add("LOCK_AB", QRect(pad_left + 108, kKeyboardTop, 32, 32), Kind::Button, Icon::LockAb);
  // Bottom bar.
  add("FLIP_1", QRect(24, 500, 30, 32), Kind::Button, Icon::FlipLeft);
  add("FLIP_0", QRect(58, 500, 84, 32), Kind::Button, Icon::FlipIndicator);
  add("FLIP_2", QRect(146, 500, 30, 32), Kind::Button, Icon::FlipRight);
  add("CONTROL_Network", QRect(200, 504, 26, 26), Kind::Button, Icon::Globe);
  add("CONTROL_Facebook", QRect(232, 504, 26, 26), Kind::Button, Icon::Chat);
  add("CONTROL_twitter", QRect(264, 504, 26, 26), Kind::Button, Icon::Share);
  add("CONTROL_BUSY", QRect(662, 504, 24, 24), Kind::Picture);
  add("CONTROL_OK", QRect(696, 500, 92, 32), Kind::Button);
  add("CONTROL_CANCEL", QRect(792, 500, 92, 32), Kind::Button);
  add("CONTROL2_APPLY", QRect(888, 500, 92, 32), Kind::Button);
  // The arrows' faces come from Arrow.jpg at these offsets.
  d.offsets = {{QStringLiteral("LEFT_ARROW"), QRect(204, 64, 16, 16)}, {QStringLiteral("RIGHT_ARROW"), QRect(498, 64, 16, 16)}};
  return d;
}

DialogLayout ProfileLayout() {
  DialogLayout d{QStringLiteral("Profile"), QSize(520, 340), {}, {}};
  auto add = [&](const char* key, QRect r, Kind kind, Icon icon = Icon::None) {
    d.controls.push_back({QString::fromLatin1(key), r, kind, icon, {}, {}, {}});
  };
  add("PROGRAM_LIST", QRect(20, 52, 480, 218), Kind::Field);
  add("FUNC_ADD", QRect(20, 288, 44, 34), Kind::Button, Icon::DocPlus);
  add("FUNC_LOAD", QRect(68, 288, 44, 34), Kind::Button, Icon::Folder);
  add("FUNC_DELETE", QRect(116, 288, 44, 34), Kind::Button, Icon::Trash);
  add("CONTROL_OK", QRect(300, 288, 64, 34), Kind::Button, Icon::Check);
  add("CONTROL_CANCEL", QRect(368, 288, 64, 34), Kind::Button, Icon::Cross);
  add("CONTROL2_APPLY", QRect(436, 288, 64, 34), Kind::Button, Icon::ApplyTray);
  return d;
}

DialogLayout CompositeLayout() {
  DialogLayout d{QStringLiteral("Composite"), QSize(560, 420), {}, {}};
  auto add = [&](const char* key, QRect r, Kind kind, QString tab = {}, Icon icon = Icon::None) {
    d.controls.push_back({QString::fromLatin1(key), r, kind, icon, {}, {}, std::move(tab)});
  };
  const QString key = QStringLiteral("key"), macro = QStringLiteral("macro"), media = QStringLiteral("media"),
                function = QStringLiteral("function");
  add("CONTROL_TITLE", QRect(20, 12, 420, 24), Kind::Text);
  add("CONTROL_OSK", QRect(500, 10, 40, 28), Kind::Button, {}, Icon::Keyboard);
  add("CONTROL_KEY", QRect(20, 48, 124, 32), Kind::Button);
  add("CONTROL_MACRO", QRect(148, 48, 124, 32), Kind::Button);
  add("CONTROL_MEDIA", QRect(276, 48, 124, 32), Kind::Button);
  add("CONTROL_FUNCTION", QRect(404, 48, 136, 32), Kind::Button);
  add("CONTROL_MASK", QRect(20, 80, 520, 284), Kind::Button);
  // Single key.
  add("TISHI_SINGLE_STATIC", QRect(40, 96, 480, 40), Kind::Text, key);
  add("FUNC_KEY_RADIO_KB", QRect(40, 146, 20, 20), Kind::Field, key);
  add("FUNC_KEY_RADIO_KB_STATIC", QRect(64, 146, 280, 20), Kind::Text, key);
  add("FUNC_KEY_INPUT", QRect(40, 174, 300, 30), Kind::Field, key);
  add("CONTROL_CLEAR", QRect(350, 174, 44, 30), Kind::Button, key, Icon::Erase);
  add("KEY_SETTING", QRect(40, 216, 480, 20), Kind::Text, key);
  // Macro.
  add("MARCO_NAME_SETTING", QRect(40, 92, 200, 20), Kind::Text, macro);
  add("FUNC_MACRO_LIST", QRect(40, 114, 250, 26), Kind::Field, macro);
  add("FUNC_MACRO_ADD", QRect(296, 114, 30, 26), Kind::Button, macro, Icon::Plus);
  add("FUNC_MACRO_DELETE", QRect(330, 114, 30, 26), Kind::Button, macro, Icon::Minus);
  add("FUNC_MACRO_CYCLES_PROMPT", QRect(380, 92, 140, 20), Kind::Text, macro);
  add("FUNC_MACRO_CYCLES", QRect(380, 114, 60, 26), Kind::Field, macro);
  add("FUNC_MACRO_LIST2", QRect(40, 150, 392, 170), Kind::Field, macro);
  add("FUNC_MACRO_RECORD", QRect(444, 150, 80, 30), Kind::Button, macro);
  add("FUNC_MACRO_DELETE2", QRect(444, 188, 38, 28), Kind::Button, macro, Icon::Trash);
  add("FUNC_MACRO_CLEAR", QRect(486, 188, 38, 28), Kind::Button, macro, Icon::Erase);
  add("FUNC_MACRO_UP_TOP", QRect(444, 222, 38, 28), Kind::Button, macro, Icon::ArrowTop);
  add("FUNC_MACRO_UP", QRect(486, 222, 38, 28), Kind::Button, macro, Icon::ArrowUp);
  add("FUNC_MACRO_DOWN", QRect(444, 256, 38, 28), Kind::Button, macro, Icon::ArrowDown);
  add("FUNC_MACRO_DOWN_BOTTOM", QRect(486, 256, 38, 28), Kind::Button, macro, Icon::ArrowBottom);
  add("FUNC_MACRO_RECORD_DELAY", QRect(40, 330, 20, 20), Kind::Field, macro);
  add("FUNC_MACRO_RECORD_DELAY2", QRect(64, 330, 300, 20), Kind::Text, macro);
  // Multimedia and function keys.
  add("MEDIA_SETTING_TISHI", QRect(40, 96, 480, 20), Kind::Text, media);
  add("FUNC_MEDIA_SELECT", QRect(40, 122, 320, 226), Kind::Field, media);
  add("FUNCTION_KEY_SETTING_TISHI", QRect(40, 96, 480, 20), Kind::Text, function);
  add("FUNC_FUNCTION_SELECT", QRect(40, 122, 320, 226), Kind::Field, function);
  // Closing buttons.
  add("CONTROL_OK", QRect(252, 376, 92, 32), Kind::Button);
  add("CONTROL2_APPLY", QRect(348, 376, 92, 32), Kind::Button, {}, Icon::ApplyTray);
  add("CONTROL_CANCEL", QRect(444, 376, 92, 32), Kind::Button);
  return d;
}

}  // namespace keyloom::skingen
