#include "lighting/user_colour_files.h"

#include "lighting/lighting_session.h"

#include <cerrno>
#include <optional>
#include <system_error>

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

namespace {

// One decoded line at a time of a file in any of the INI encodings; false
// at the first byte sequence that is no text (bad UTF-8, a lone surrogate,
// a control character other than tab).
class TextLines {
 public:
  explicit TextLines(std::string_view bytes) : bytes_(bytes) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes_[i]); };
    if (bytes_.size() >= 2 && b(0) == 0xFF && b(1) == 0xFE) {
      unit_ = 2, little_ = true, at_ = 2;
    } else if (bytes_.size() >= 2 && b(0) == 0xFE && b(1) == 0xFF) {
      unit_ = 2, little_ = false, at_ = 2;
    } else if (bytes_.size() >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) {
      at_ = 3;
    }
  }
  // The next line without its line break; false at the end or on bad text.
  bool Next(std::u32string& line) {
    line.clear();
    if (at_ >= End()) return false;
    for (;;) {
      if (at_ >= End()) return true;
      char32_t c;
      if (!Decode(c)) {
        bad_ = true;
        return false;
      }
      if (c == U'\n') return true;
      if (c == U'\r') continue;
      if (c < 0x20 && c != U'\t') {
        bad_ = true;
        return false;
      }
      line.push_back(c);
    }
  }
  bool Bad() const { return bad_; }

 private:
  std::size_t End() const { return unit_ == 2 ? bytes_.size() & ~std::size_t{1} : bytes_.size(); }
  unsigned Unit16(std::size_t i) const {
    const unsigned a = static_cast<unsigned char>(bytes_[i]), b = static_cast<unsigned char>(bytes_[i + 1]);
    return little_ ? a | (b << 8) : (a << 8) | b;
  }
  bool Decode(char32_t& c) {
    if (unit_ == 2) {
      const unsigned u = Unit16(at_);
      at_ += 2;
      if (u >= 0xDC00 && u <= 0xDFFF) return false;
      if (u >= 0xD800 && u <= 0xDBFF) {
        if (at_ + 2 > End()) return false;
        const unsigned low = Unit16(at_);
        if (low < 0xDC00 || low > 0xDFFF) return false;
        at_ += 2;
        c = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        return true;
      }
      c = u;
      return true;
    }
    const unsigned char lead = static_cast<unsigned char>(bytes_[at_++]);
    if (lead < 0x80) {
      c = lead;
      return true;
    }
    int more;
    char32_t min;
    if ((lead & 0xE0) == 0xC0) more = 1, c = lead & 0x1F, min = 0x80;
    else if ((lead & 0xF0) == 0xE0) more = 2, c = lead & 0x0F, min = 0x800;
    else if ((lead & 0xF8) == 0xF0) more = 3, c = lead & 0x07, min = 0x10000;
    else return false;
    for (int i = 0; i < more; ++i) {
      if (at_ >= bytes_.size()) return false;
      const unsigned char next = static_cast<unsigned char>(bytes_[at_++]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    return c >= min && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
  }

  std::string_view bytes_;
  std::size_t at_ = 0;
  int unit_ = 1;
  bool little_ = true;
  bool bad_ = false;
};

std::u32string_view TrimBlanks(std::u32string_view s) {
  while (!s.empty() && (s.front() == U' ' || s.front() == U'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == U' ' || s.back() == U'\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<std::string> UserColourFileDamage(std::string_view bytes) {
  if (bytes.empty()) return std::string("it is empty");
  if (bytes.size() > kMaxUserColourFileBytes)
    return "it is larger than " + std::to_string(kMaxUserColourFileBytes >> 20) + " MiB";
  TextLines lines(bytes);
  std::u32string line;
  std::size_t number = 0;
  bool section_seen = false;
  while (lines.Next(line)) {
    ++number;
    const std::u32string_view t = TrimBlanks(line);
    if (t.empty() || t.front() == U';') continue;
    if (t.front() == U'[') {
      section_seen = true;
      continue;
    }
    if (!section_seen || t.find(U'=') == std::u32string_view::npos)
      return "line " + std::to_string(number) + " is neither a section nor a value";
  }
  if (lines.Bad()) return "line " + std::to_string(number + 1) + " is not text";
  if (!section_seen) return std::string("it holds no section");
  return std::nullopt;
}

std::string ColourFileCheck::Message() const {
  const std::string name = file.string();
  switch (state) {
    case State::kReady:
    case State::kCreated:
      return {};
    case State::kRestored:
      return "the colour file " + name + " was damaged (" + detail + "); it was kept as " + kept.string() +
             " and its layouts start again from the template";
    case State::kCreateFailed:
      return "could not create the colour file " + name + " from the template: " + detail;
    case State::kUnreadable:
      return "cannot read the colour file " + name + ": " + detail;
    case State::kNotKept:
      return "the colour file " + name + " is damaged (" + detail + ") and could not be moved aside; it was left as it is";
    case State::kNotWritable:
      return "cannot save to the colour file " + name + ": " + detail;
  }
  return {};
}

ColourFileCheck PrepareUserColourFile(const LightingPaths& paths, int slot, bool for_writing, bool seed_missing) {
  ColourFileCheck check;
  check.file = UserColourFile(paths, slot);
  using State = ColourFileCheck::State;
  auto copy_template = [&](State done) {
    if (CopyColourTemplate(paths, slot)) {
      check.state = done;
    } else {
      check.state = State::kCreateFailed;
      check.detail = "the template " + ColourTemplateFile(paths).string() + " cannot be read or the file cannot be written";
    }
    return check;
  };
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(check.file, ec);
  if (status.type() == std::filesystem::file_type::not_found) {
    if (seed_missing) return copy_template(State::kCreated);
    if (for_writing && !platform::CanReplaceFile(check.file, ec)) {
      check.state = State::kNotWritable;
      check.detail = platform::FileErrorText(ec);
    }
    return check;
  }
  if (ec || status.type() != std::filesystem::file_type::regular) {
    check.state = State::kUnreadable;
    check.detail = ec ? platform::FileErrorText(ec)
                      : status.type() == std::filesystem::file_type::directory ? "it is a folder"
                                                                               : "it is no regular file";
    return check;
  }
  platform::RegularFile opened(check.file);
  if (!opened.IsOpen()) {
    check.state = State::kUnreadable;
    check.detail = platform::FileErrorText(std::error_code(errno, std::generic_category()));
    return check;
  }
  std::optional<std::string> damage;
  if (opened.Size() > kMaxUserColourFileBytes) {
    damage = "it is larger than " + std::to_string(kMaxUserColourFileBytes >> 20) + " MiB";
  } else {
    std::string bytes(static_cast<std::size_t>(opened.Size()), '\0');
    const long long got = opened.Read(bytes.data(), bytes.size());
    if (got < 0) {
      check.state = State::kUnreadable;
      check.detail = platform::FileErrorText(std::error_code(errno, std::generic_category()));
      return check;
    }
    bytes.resize(static_cast<std::size_t>(got));
    damage = UserColourFileDamage(bytes);
  }
  if (damage) {
    check.detail = *damage;
    check.kept = platform::KeepDamagedFile(check.file, ec);
    if (check.kept.empty()) {
      check.state = State::kNotKept;
      check.detail += "; " + platform::FileErrorText(ec);
      return check;
    }
    ini::ClearCache();
    const std::string damage_text = check.detail;
    copy_template(State::kRestored);
    if (check.state == State::kCreateFailed) check.detail = damage_text + "; kept as " + check.kept.string() + "; " + check.detail;
    return check;
  }
  if (for_writing && !platform::CanReplaceFile(check.file, ec)) {
    check.state = State::kNotWritable;
    check.detail = platform::FileErrorText(ec);
  }
  return check;
}

bool ReadLightingPanelOpenFlag(const LightingPaths& paths) {
  return ini::GetInt(paths.lighting_ini, u"KEYCOLOR", u"DengCheck", 0) == 1;
}

bool SetLightingPanelOpen(LightingSession& lighting, bool open) {
  lighting.CurrentLighting.panel_open = open;
  return ini::WriteString(lighting.paths.lighting_ini, u"KEYCOLOR", u"DengCheck", open ? u"1" : u"0");
}

}  // namespace keyloom::lighting
