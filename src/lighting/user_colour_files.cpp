#include "lighting/user_colour_files.h"

#include "lighting/lighting_session.h"

#include <optional>

#include "platform/atomic_file.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace keyloom::lighting {

namespace {

std::u16string Num(long v) { return text::FromAscii(std::to_string(v)); }
std::u16string ModeSection(int n) { return u"Mode" + Num(n); }

std::u16string ColourText(Colour c) {
  return Num(Red(c)) + u"," + Num(Green(c)) + u"," + Num(Blue(c));
}

Colour ClampedColour(const int* v) {
  auto b = [](int x) { return std::uint8_t(x & 0xFF); };
  return MakeColour(b(v[0]), b(v[1]), b(v[2]));
}

Colour ReadColour(const LightingPaths& paths, int s, int n, const char16_t* key) {
  int v[3] = {0, 0, 0};
  ParseIntList(ini::GetString(UserColourFile(paths, s), ModeSection(n), key, u"0,0,0"), v, 3);
  return ClampedColour(v);
}

}  // namespace

std::filesystem::path UserColourFile(const LightingPaths& paths, int slot) {
  return std::filesystem::path(paths.user_colour_prefix + std::to_string(slot) + ".userd");
}

std::filesystem::path ColourTemplateFile(const LightingPaths& paths) {
  return std::filesystem::path(paths.template_prefix + "3.userd");
}

Colour KeyColourAt(const KeyColourTable& t, int slot, int position) {
  const int i = slot * kKeyColourSlotBytes + position * 3;
  if (slot < 0 || slot >= kSlotCount || position < 0 || position * 3 + 2 >= kKeyColourSlotBytes) return 0;
  return MakeColour(t[i], t[i + 1], t[i + 2]);
}

void SetKeyColourAt(KeyColourTable& t, int slot, int position, Colour colour) {
  if (slot < 0 || slot >= kSlotCount || position < 0 || position * 3 + 2 >= kKeyColourSlotBytes) return;
  const int i = slot * kKeyColourSlotBytes + position * 3;
  t[i] = Red(colour);
  t[i + 1] = Green(colour);
  t[i + 2] = Blue(colour);
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

std::u16string ReadLayoutName(const LightingPaths& paths, int s, int n) {
  return ini::GetString(UserColourFile(paths, s), u"MODENAME", Num(n), u"0");
}

bool WriteLayoutName(const LightingPaths& paths, int s, int n, std::u16string_view name) {
  return ini::WriteString(UserColourFile(paths, s), u"MODENAME", Num(n), name);
}

int ReadSelectedLayout(const LightingPaths& paths, int s) {
  int v = 0;
  ParseIntList(ini::GetString(UserColourFile(paths, s), u"PRESENTMODE", u"mode", u"0"), &v, 1);
  return v;
}

bool WriteSelectedLayout(const LightingPaths& paths, int s, int n) {
  return ini::WriteString(UserColourFile(paths, s), u"PRESENTMODE", u"mode", Num(n));
}

void ReadLayoutTools(LightingSession& lighting, int s, int n) {
  CustomColourState& c = lighting.CustomColours;
  const LightingPaths& paths = lighting.paths;
  int tool = 0;
  ParseIntList(ini::GetString(UserColourFile(paths, s), ModeSection(n), u"tool", u"0"), &tool, 1);
  c.tool = c.tool_copy = tool;
  c.base_colour = c.base_colour_copy = ReadColour(paths, s, n, u"jcolor");
  c.painting_colour = c.painting_colour_copy = ReadColour(paths, s, n, u"color");
}

bool WriteLayoutTools(LightingSession& lighting, int s, int n) {
  const CustomColourState& c = lighting.CustomColours;
  const std::filesystem::path file = UserColourFile(lighting.paths, s);
  bool ok = ini::WriteString(file, ModeSection(n), u"tool", Num(c.tool));
  ok = ini::WriteString(file, ModeSection(n), u"jcolor", ColourText(c.base_colour)) && ok;
  ok = ini::WriteString(file, ModeSection(n), u"color", ColourText(c.painting_colour)) && ok;
  return ok;
}

LayoutKey ReadLayoutKey(const LightingPaths& paths, int s, int n, int k) {
  int v[4] = {0, 0, 0, 0};
  ParseIntList(ini::GetString(UserColourFile(paths, s), ModeSection(n), Num(k), u"255,0,0,1"), v, 4);
  return LayoutKey{ClampedColour(v), v[3] != 0 ? 1 : 0};
}

bool WriteLayoutKey(const LightingPaths& paths, int s, int n, int k, Colour colour, int base_flag) {
  return ini::WriteString(UserColourFile(paths, s), ModeSection(n), Num(k),
                          ColourText(colour) + u"," + Num(base_flag));
}

bool CopyColourTemplate(const LightingPaths& paths, int slot) {
  const std::optional<std::string> bytes = platform::ReadWholeFile(ColourTemplateFile(paths));
  if (!bytes) return false;
  const bool ok = platform::WriteFileAtomically(UserColourFile(paths, slot), *bytes);
  ini::ClearCache();
  return ok;
}

bool ReadLightingPanelOpenFlag(const LightingPaths& paths) {
  return ini::GetInt(paths.lighting_ini, u"KEYCOLOR", u"DengCheck", 0) == 1;
}

bool SetLightingPanelOpen(LightingSession& lighting, bool open) {
  lighting.CurrentLighting.panel_open = open;
  return ini::WriteString(lighting.paths.lighting_ini, u"KEYCOLOR", u"DengCheck", open ? u"1" : u"0");
}

}  // namespace keyloom::lighting
