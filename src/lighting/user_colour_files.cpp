#include "lighting/user_colour_files.h"

#include <optional>

#include "platform/atomic_file.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace keyloom::lighting {

namespace {

LightingPaths& Paths() {
  static LightingPaths paths;
  return paths;
}

std::u16string Num(long v) { return text::FromAscii(std::to_string(v)); }
std::u16string ModeSection(int n) { return u"Mode" + Num(n); }

std::u16string ColourText(Colour c) {
  return Num(Red(c)) + u"," + Num(Green(c)) + u"," + Num(Blue(c));
}

Colour ClampedColour(const int* v) {
  auto b = [](int x) { return std::uint8_t(x & 0xFF); };
  return MakeColour(b(v[0]), b(v[1]), b(v[2]));
}

Colour ReadColour(int s, int n, const char16_t* key) {
  int v[3] = {0, 0, 0};
  ParseIntList(ini::GetString(UserColourFile(s), ModeSection(n), key, u"0,0,0"), v, 3);
  return ClampedColour(v);
}

}  // namespace

void SetLightingPaths(LightingPaths paths) { Paths() = std::move(paths); }
const LightingPaths& GetLightingPaths() { return Paths(); }

std::filesystem::path UserColourFile(int slot) {
  return std::filesystem::path(Paths().user_colour_prefix + std::to_string(slot) + ".userd");
}

std::filesystem::path ColourTemplateFile() {
  return std::filesystem::path(Paths().template_prefix + "3.userd");
}

KeyColourTable& KeyColours() {
  static KeyColourTable table{};
  return table;
}

Colour KeyColourAt(int slot, int position) {
  const int i = slot * kKeyColourSlotBytes + position * 3;
  if (slot < 0 || slot >= kSlotCount || position < 0 || position * 3 + 2 >= kKeyColourSlotBytes) return 0;
  const KeyColourTable& t = KeyColours();
  return MakeColour(t[i], t[i + 1], t[i + 2]);
}

void SetKeyColourAt(int slot, int position, Colour colour) {
  if (slot < 0 || slot >= kSlotCount || position < 0 || position * 3 + 2 >= kKeyColourSlotBytes) return;
  const int i = slot * kKeyColourSlotBytes + position * 3;
  KeyColourTable& t = KeyColours();
  t[i] = Red(colour);
  t[i + 1] = Green(colour);
  t[i + 2] = Blue(colour);
}

CustomColourState& CustomColours() {
  static CustomColourState state;
  return state;
}

int ParseIntList(std::u16string_view text, int* out, int count) {
  std::size_t i = 0;
  int parsed = 0;
  auto skip_spaces = [&] {
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  };
  for (; parsed < count; ++parsed) {
    if (parsed > 0) {
      skip_spaces();
      if (i >= text.size() || text[i] != u',') break;
      ++i;
    }
    skip_spaces();
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    if (i >= text.size() || text[i] < u'0' || text[i] > u'9') break;
    long long v = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
      if (v < 100000000000LL) v = v * 10 + (text[i] - u'0');
      ++i;
    }
    if (negative) v = -v;
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    out[parsed] = int(v);
  }
  return parsed;
}

std::u16string ReadLayoutName(int s, int n) {
  return ini::GetString(UserColourFile(s), u"MODENAME", Num(n), u"0");
}

bool WriteLayoutName(int s, int n, std::u16string_view name) {
  return ini::WriteString(UserColourFile(s), u"MODENAME", Num(n), name);
}

int ReadSelectedLayout(int s) {
  int v = 0;
  ParseIntList(ini::GetString(UserColourFile(s), u"PRESENTMODE", u"mode", u"0"), &v, 1);
  return v;
}

bool WriteSelectedLayout(int s, int n) {
  return ini::WriteString(UserColourFile(s), u"PRESENTMODE", u"mode", Num(n));
}

void ReadLayoutTools(int s, int n) {
  CustomColourState& c = CustomColours();
  int tool = 0;
  ParseIntList(ini::GetString(UserColourFile(s), ModeSection(n), u"tool", u"0"), &tool, 1);
  c.tool = c.tool_copy = tool;
  c.base_colour = c.base_colour_copy = ReadColour(s, n, u"jcolor");
  c.painting_colour = c.painting_colour_copy = ReadColour(s, n, u"color");
}

bool WriteLayoutTools(int s, int n) {
  const CustomColourState& c = CustomColours();
  const std::filesystem::path file = UserColourFile(s);
  bool ok = ini::WriteString(file, ModeSection(n), u"tool", Num(c.tool));
  ok = ini::WriteString(file, ModeSection(n), u"jcolor", ColourText(c.base_colour)) && ok;
  ok = ini::WriteString(file, ModeSection(n), u"color", ColourText(c.painting_colour)) && ok;
  return ok;
}

LayoutKey ReadLayoutKey(int s, int n, int k) {
  int v[4] = {0, 0, 0, 0};
  ParseIntList(ini::GetString(UserColourFile(s), ModeSection(n), Num(k), u"255,0,0,1"), v, 4);
  return LayoutKey{ClampedColour(v), v[3] != 0 ? 1 : 0};
}

bool WriteLayoutKey(int s, int n, int k, Colour colour, int base_flag) {
  return ini::WriteString(UserColourFile(s), ModeSection(n), Num(k),
                          ColourText(colour) + u"," + Num(base_flag));
}

bool CopyColourTemplate(int slot) {
  const std::optional<std::string> bytes = platform::ReadWholeFile(ColourTemplateFile());
  if (!bytes) return false;
  const bool ok = platform::WriteFileAtomically(UserColourFile(slot), *bytes);
  ini::ClearCache();
  return ok;
}

bool ReadLightingPanelOpenFlag() {
  return ini::GetInt(Paths().lighting_ini, u"KEYCOLOR", u"DengCheck", 0) == 1;
}

bool SetLightingPanelOpen(bool open) {
  CurrentLighting().panel_open = open;
  return ini::WriteString(Paths().lighting_ini, u"KEYCOLOR", u"DengCheck", open ? u"1" : u"0");
}

}  // namespace keyloom::lighting
