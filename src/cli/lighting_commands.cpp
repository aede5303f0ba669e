#include "cli/lighting_commands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>
#include <utility>

#include "cli/command_options.h"
#include "cli/json_text.h"
#include "cli/option_values.h"
#include "cli/keyboard_session.h"
#include "device/commands.h"
#include "app/settings_paths.h"
#include "i18n/texts.h"
#include "keys/key_catalogue.h"
#include "lighting/key_colour_editor.h"
#include "lighting/lighting_editor.h"
#include "lighting/lighting_operations.h"
#include "lighting/lighting_state.h"
#include "lighting/user_colour_files.h"
#include "profiles/keyboard_session.h"
#include "platform/text.h"
#include "profiles/data_folder.h"

namespace keyloom::cli {

namespace {

using lighting::Colour;

constexpr auto kConnectTimeout = std::chrono::seconds(3);

using lighting::kEffect17ColourNames;

// False with the reason when the keyboard did not take a lighting change.
bool Taken(const lighting::LightingChange& change, const device::DeviceLink& link, std::string& reason) {
  if (change.Ok()) return true;
  reason = "the keyboard did not take the lighting write: " + KeyboardResultText(link, change.result);
  return false;
}

// False with the reason when a key colour change did not reach the
// keyboard or the slot's user colour file.
bool Taken(const lighting::KeyColourChange& change, const profiles::KeyboardSession& keyboard, std::string& reason,
           std::string_view what, bool file_after_keyboard = true) {
  using Outcome = lighting::KeyColourChange::Outcome;
  if (change.outcome == Outcome::kKeyboardFailed) {
    reason = "the keyboard did not take the " + std::string(what) + ": " + KeyboardResultText(keyboard.link, change.result);
    return false;
  }
  if (change.outcome == Outcome::kFileFailed) {
    const std::string file = lighting::UserColourFile(keyboard.lighting.paths, keyboard.lighting.LightingSlot).string();
    reason = file_after_keyboard ? "the keyboard took the " + std::string(what) +
                                       ", but it could not be saved to the colour file " + file
                                 : "could not write the colour file " + file + "; nothing was sent";
    return false;
  }
  return true;
}

// Whether the slot's colour file can be used; tells what was done to a
// damaged one, and fails with the reason otherwise.
bool ColourFileReady(const lighting::ColourFileCheck& check, CommandIo& io, int& status) {
  if (check.Usable()) {
    if (const std::string told = check.Message(); !told.empty()) io.err << "keyloomctl: " << told << "\n";
    return true;
  }
  status = Failure(io, check.Message());
  return false;
}

// Connects and reads; on failure writes the reason and returns false.
bool Open(KeyboardConnection& session, profiles::KeyboardSession& keyboard, CommandIo& io, int& status) {
  std::string reason;
  if (!session.Connect(kConnectTimeout, reason) || !ReadActiveLighting(keyboard, reason)) {
    status = Failure(io, reason);
    return false;
  }
  return true;
}

// ---- lighting set ----

struct SetRequest {
  std::optional<int> effect;
  std::optional<int> brightness;
  std::optional<int> speed;
  std::optional<int> direction;
  std::optional<Colour> colour;
  std::optional<bool> colourful;
  std::optional<int> effect17_colour;
  bool Empty() const {
    return !effect && !brightness && !speed && !direction && !colour && !colourful && !effect17_colour;
  }
};

bool ParseSetRequest(const ParsedOptions& options, SetRequest& request, std::string& reason) {
  if (!options.positional.empty()) {
    reason = "unknown argument '" + options.positional.front() + "'";
    return false;
  }
  for (const auto& option : options.ordered) {
    // Named references, not a structured binding: the lambdas below use them.
    const auto& name = option.first;
    const auto& value = option.second;
    int n = 0;
    auto range = [&](int lo, int hi, std::optional<int>& out) {
      if (!ParseInt(value, n) || n < lo || n > hi) {
        reason = name + " takes " + std::to_string(lo) + ".." + std::to_string(hi) + ", not '" + value + "'";
        return false;
      }
      out = n;
      return true;
    };
    if (name == "--effect") {
      if (ParseInt(value, n)) {
        if (n < 0 || n > 255) {
          reason = "--effect takes an effect number 0..255 or name, not '" + value + "'";
          return false;
        }
        request.effect = n;
      } else {
        request.effect = -1;  // a name, looked up in the keyboard's list
      }
    } else if (name == "--brightness") {
      if (!range(0, 5, request.brightness)) return false;
    } else if (name == "--speed") {
      if (!range(0, 4, request.speed)) return false;
    } else if (name == "--direction") {
      if (!ParseInt(value, n) || (n != 0 && n != 255)) {
        reason = "--direction takes 0 or 255, not '" + value + "'";
        return false;
      }
      request.direction = n;
    } else if (name == "--colour") {
      Colour c = 0;
      if (!ParseColour(value, c)) {
        reason = "--colour takes six hexadecimal digits RRGGBB, not '" + value + "'";
        return false;
      }
      request.colour = c;
    } else if (name == "--colourful") {
      if (value != "on" && value != "off") {
        reason = "--colourful takes on or off, not '" + value + "'";
        return false;
      }
      request.colourful = value == "on";
    } else {  // --effect17-colour
      const auto it = std::find(kEffect17ColourNames.begin(), kEffect17ColourNames.end(), value);
      if (it == kEffect17ColourNames.end()) {
        reason = "--effect17-colour takes red, yellow, green or blue, not '" + value + "'";
        return false;
      }
      request.effect17_colour = int(it - kEffect17ColourNames.begin());
    }
  }
  if (request.Empty()) {
    reason = "nothing to set";
    return false;
  }
  return true;
}

// The effect number for --effect's value: a number or a name of the list.
bool ResolveEffect(profiles::KeyboardSession& keyboard, const std::string& value, int& effect, std::string& reason) {
  const std::vector<lighting::EffectEntry> list = keyboard.lighting.EffectList();
  int n = 0;
  if (ParseInt(value, n)) {
    if (std::any_of(list.begin(), list.end(), [&](const auto& e) { return e.effect == n; })) {
      effect = n;
      return true;
    }
    reason = "the keyboard does not support effect " + value;
    return false;
  }
  std::vector<int> effects;
  for (const lighting::EffectEntry& e : list) effects.push_back(e.effect);
  if (const int named = EffectNamed(value, effects); named >= 0) {
    effect = named;
    return true;
  }
  reason = "the keyboard has no effect named '" + value + "'";
  return false;
}

int RunSet(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "lighting set";
  ParsedOptions options;
  SetRequest request;
  std::string reason;
  if (!ParseCommandOptions(args, {"--json"},
                           {"--effect", "--brightness", "--speed", "--direction", "--colour", "--colourful",
                            "--effect17-colour"},
                           options, reason) ||
      !ParseSetRequest(options, request, reason))
    return UsageError(io, kName, reason);

  profiles::KeyboardSession& keyboard = Session(io);
  KeyboardConnection session(keyboard.link);
  int status = kExitSuccess;
  if (!Open(session, keyboard, io, status)) return status;
  lighting::LightingEditor editor(keyboard.link, keyboard.lighting);

  if (request.effect) {
    std::string value;
    for (const auto& [name, v] : options.ordered)
      if (name == "--effect") value = v;
    int e = 0;
    if (!ResolveEffect(keyboard, value, e, reason) || !Taken(editor.SelectEffect(e), keyboard.link, reason))
      return Failure(io, reason);
  }
  if ((request.brightness && !Taken(editor.SetBrightness(*request.brightness), keyboard.link, reason)) ||
      (request.speed && !Taken(editor.SetSpeed(*request.speed), keyboard.link, reason)) ||
      (request.direction && !Taken(editor.SetDirection(*request.direction), keyboard.link, reason)) ||
      (request.colour && !Taken(editor.ChooseColour(*request.colour), keyboard.link, reason)) ||
      (request.colourful && !Taken(editor.SetColourful(*request.colourful), keyboard.link, reason)) ||
      (request.effect17_colour && !Taken(editor.SetEffect17Colour(*request.effect17_colour), keyboard.link, reason)))
    return Failure(io, reason);
  io.out << (options.Has("--json") ? LightingJson(keyboard) : LightingText(keyboard));
  return kExitSuccess;
}

// ---- lighting [show] ----

int RunShow(std::string_view name, const std::vector<std::string>& args, CommandIo& io) {
  ParsedOptions options;
  std::string reason;
  if (!ParseCommandOptions(args, {"--json"}, {}, options, reason)) return UsageError(io, name, reason);
  if (!options.positional.empty())
    return UsageError(io, name, "unknown argument '" + options.positional.front() + "'");
  profiles::KeyboardSession& keyboard = Session(io);
  KeyboardConnection session(keyboard.link);
  int status = kExitSuccess;
  if (!Open(session, keyboard, io, status)) return status;
  io.out << (options.Has("--json") ? LightingJson(keyboard) : LightingText(keyboard));
  return kExitSuccess;
}

// ---- report-rate ----

int RunReportRate(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "report-rate";
  ParsedOptions options;
  std::string reason;
  if (!ParseCommandOptions(args, {"--json"}, {}, options, reason)) return UsageError(io, kName, reason);
  int rate = -1;
  if (options.positional.size() > 1)
    return UsageError(io, kName, "unknown argument '" + options.positional[1] + "'");
  if (options.positional.size() == 1 &&
      (!ParseInt(options.positional[0], rate) || rate < 0 || rate > 3))
    return UsageError(io, kName, "the report rate is 0..3, not '" + options.positional[0] + "'");
  profiles::KeyboardSession& keyboard = Session(io);
  KeyboardConnection session(keyboard.link);
  int status = kExitSuccess;
  if (!Open(session, keyboard, io, status)) return status;
  const lighting::LightingState& state = keyboard.lighting.CurrentLighting;
  if (rate >= 0 && !Taken(lighting::LightingEditor(keyboard.link, keyboard.lighting).SetReportRate(rate), keyboard.link, reason))
    return Failure(io, reason);
  if (options.Has("--json"))
    io.out << "{\"slot\": " << keyboard.lighting.LightingSlot << ", \"report_rate\": " << state.report_rate << "}\n";
  else
    io.out << "Report rate of slot " << keyboard.lighting.LightingSlot << ": " << state.report_rate << "\n";
  return kExitSuccess;
}

// ---- lighting layout ----

// The user colour files come from the settings paths unless already set;
// the data folder is prepared as at the program's start (on a fresh machine
// it is made and the colour files are seeded from the template).
void EnsureLightingPaths(profiles::KeyboardSession& keyboard) {
  if (keyboard.lighting.paths.user_colour_prefix.empty()) {
    if (app::Paths().AppDir.empty()) app::InitProgramPaths();
    if (app::Paths().UserDataDir.empty()) app::InitUserPaths();
    const app::SettingsPaths& p = app::Paths();
    keyboard.lighting.paths = {p.LightingIniPath, p.UserColorPrefix.string(), p.ColorTemplatePrefix.string()};
  }
  profiles::EnsureDataFolder();
}

int RunLayout(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "lighting layout";
  ParsedOptions options;
  std::string reason;
  if (!ParseCommandOptions(args, {"--json"}, {"--name"}, options, reason)) return UsageError(io, kName, reason);
  int chosen = -1;
  if (options.positional.size() > 1)
    return UsageError(io, kName, "unknown argument '" + options.positional[1] + "'");
  if (options.positional.size() == 1 &&
      (!ParseInt(options.positional[0], chosen) || chosen < 0 || chosen >= lighting::kLayoutCount))
    return UsageError(io, kName, "the layout is 0..9, not '" + options.positional[0] + "'");
  std::optional<std::u16string> name;
  for (const auto& [option, value] : options.ordered) name = text::FromUtf8(value);
  if (name && name->size() > lighting::kLayoutNameLimit) return UsageError(io, kName, "the name is longer than 260 characters");
  if (name && name->empty()) return UsageError(io, kName, "the name must not be empty");

  profiles::KeyboardSession& keyboard = Session(io);
  EnsureLightingPaths(keyboard);
  KeyboardConnection session(keyboard.link);
  int status = kExitSuccess;
  if (!Open(session, keyboard, io, status)) return status;
  if (!lighting::SupportsCustomColours(keyboard.lighting.ConfigBlockCopy))
    return Failure(io, "the keyboard has no custom colour layouts (effect 20)");
  const int slot = keyboard.lighting.LightingSlot;
  lighting::KeyColourEditor editor(keyboard.link, keyboard.lighting);
  if (!ColourFileReady(editor.PrepareColourFile(chosen >= 0 || name), io, status)) return status;

  if (chosen >= 0 && !Taken(editor.SelectLayout(chosen), keyboard, reason, "layout's key colours", false))
    return Failure(io, reason);
  const int selected = editor.SelectedLayout();
  if (name && !editor.RenameLayout(*name))
    return Failure(io, WriteFailure("the colour file ", lighting::UserColourFile(keyboard.lighting.paths, slot)));

  if (options.Has("--json")) {
    io.out << "{\"slot\": " << slot << ", \"selected\": " << selected << ", \"layouts\": [";
    for (int n = 0; n < lighting::kLayoutCount; ++n)
      io.out << (n ? ", " : "") << JsonString(text::ToUtf8(editor.LayoutName(n)));
    io.out << "]}\n";
  } else {
    for (int n = 0; n < lighting::kLayoutCount; ++n)
      io.out << (n == selected ? "* " : "  ") << n << "  " << text::ToUtf8(editor.LayoutName(n)) << "\n";
  }
  return kExitSuccess;
}

// ---- lighting default ----

int RunDefault(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "lighting default";
  ParsedOptions options;
  std::string reason;
  if (!ParseCommandOptions(args, {"--json"}, {}, options, reason)) return UsageError(io, kName, reason);
  if (!options.positional.empty())
    return UsageError(io, kName, "unknown argument '" + options.positional.front() + "'");
  profiles::KeyboardSession& keyboard = Session(io);
  KeyboardConnection session(keyboard.link);
  int status = kExitSuccess;
  if (!Open(session, keyboard, io, status)) return status;
  // The custom colour layouts of the slot start again from the template and
  // its selected layout goes to the keyboard.
  if (lighting::SupportsCustomColours(keyboard.lighting.ConfigBlockCopy)) {
    EnsureLightingPaths(keyboard);
    const lighting::KeyColourChange reset = lighting::KeyColourEditor(keyboard.link, keyboard.lighting).ResetLayouts();
    if (reset.outcome == lighting::KeyColourChange::Outcome::kFileFailed)
      return Failure(io, "could not copy the colour layout template to " +
                             lighting::UserColourFile(keyboard.lighting.paths, keyboard.lighting.LightingSlot).string());
    if (!Taken(reset, keyboard, reason, "layout's key colours")) return Failure(io, reason);
  }
  if (!Taken(lighting::LightingEditor(keyboard.link, keyboard.lighting).WriteDefault(), keyboard.link, reason))
    return Failure(io, reason);
  io.out << (options.Has("--json") ? LightingJson(keyboard) : LightingText(keyboard));
  return kExitSuccess;
}

// ---- lighting key ----

// The colour position of a key given as a key code ("0x01E"), a skin-style
// name ("KEY_01E"), "Fn", or the key's name; -1 when none matches.
int KeyColourPosition(const std::string& text) {
  auto lower = [](std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  const std::string wanted = lower(text);
  if (wanted == "fn") return lighting::kFnKeyPosition;
  std::string hex;
  if (wanted.rfind("0x", 0) == 0)
    hex = wanted.substr(2);
  else if (wanted.rfind("key_", 0) == 0)
    hex = wanted.substr(4);
  if (!hex.empty() && hex.size() <= 4) {
    unsigned code = 0;
    auto [ptr, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), code, 16);
    if (ec == std::errc() && ptr == hex.data() + hex.size()) {
      const int index = keys::PanelIndexOfKeyCode(keys::KeyCode(code));
      return index < 0 ? -1 : keys::PanelOrderKeys()[std::size_t(index)].colourPosition;
    }
  }
  for (const keys::PanelOrderKey& k : keys::PanelOrderKeys()) {
    const std::string name = lower(text::ToUtf8(keys::GetKeyName(k.code)));
    if (!name.empty() && name == wanted) return k.colourPosition;
  }
  return -1;
}

int RunKey(const std::vector<std::string>& args, CommandIo& io) {
  constexpr std::string_view kName = "lighting key";
  ParsedOptions options;
  std::string reason;
  if (!ParseCommandOptions(args, {"--json"}, {}, options, reason)) return UsageError(io, kName, reason);
  if (options.positional.size() != 2) return UsageError(io, kName, "give a key and a colour RRGGBB");
  const int position = KeyColourPosition(options.positional[0]);
  if (position < 0)
    return UsageError(io, kName, "no key '" + options.positional[0] + "' with a colour (macro keys have none)");
  Colour colour = 0;
  if (!ParseColour(options.positional[1], colour))
    return UsageError(io, kName, "the colour is six hexadecimal digits RRGGBB, not '" + options.positional[1] + "'");

  profiles::KeyboardSession& keyboard = Session(io);
  EnsureLightingPaths(keyboard);
  KeyboardConnection session(keyboard.link);
  int status = kExitSuccess;
  if (!Open(session, keyboard, io, status)) return status;
  const int slot = keyboard.lighting.LightingSlot;
  if (keyboard.lighting.CurrentLighting.effect != 20)
    return Failure(io, "slot " + std::to_string(slot) +
                           " does not show custom colours; select them with 'lighting set --effect 20'");
  lighting::KeyColourEditor editor(keyboard.link, keyboard.lighting);
  // Checked before the keyboard changes: a key colour the file cannot keep
  // would be lost at the next layout load.
  if (!ColourFileReady(editor.PrepareColourFile(true), io, status)) return status;

  // The key is painted with its own colour: it no longer follows the base colour.
  if (!Taken(editor.SetKeyColour(position, colour), keyboard, reason, "key colour")) return Failure(io, reason);
  const int layout = editor.SelectedLayout();
  if (options.Has("--json"))
    io.out << "{\"slot\": " << slot << ", \"layout\": " << layout << ", \"position\": " << position
           << ", \"colour\": \"" << Hex(colour) << "\"}\n";
  else
    io.out << "Key position " << position << " of layout " << layout << " in slot " << slot << ": "
           << Hex(colour) << "\n";
  return kExitSuccess;
}

}  // namespace

void PrepareLightingFiles(profiles::KeyboardSession& keyboard) { EnsureLightingPaths(keyboard); }

bool ReadActiveLighting(profiles::KeyboardSession& keyboard, std::string& reason) {
  lighting::ConfigBlock config{};
  lighting::LightingRecord record{};
  int slot = 0;
  if (!ReadActiveSlotRecord(keyboard.link, config, record, slot, reason)) return false;
  keyboard.lighting.ConfigBlockCopy = config;
  keyboard.lighting.LightingSlot = slot;
  keyboard.lighting.LightingRecords[std::size_t(slot)] = record;
  lighting::DecodeLightingRecord(record, keyboard.lighting.CurrentLighting);
  return true;
}

std::string EffectName(int effect) {
  const std::string name = text::ToUtf8(i18n::ModeText(std::to_string(effect)));
  // A language file without the name answers "#Error".
  return name.empty() || name == "#Error" ? "effect " + std::to_string(effect) : name;
}

int EffectNamed(std::string_view name, const std::vector<int>& effects) {
  for (const int effect : effects)
    if (text::EqualsIgnoreCase(text::FromUtf8(EffectName(effect)), text::FromUtf8(name))) return effect;
  return -1;
}

std::string LightingText(profiles::KeyboardSession& keyboard) {
  const lighting::LightingState& s = keyboard.lighting.CurrentLighting;
  std::string t;
  const int e17 = lighting::ShownEffect17Colour(s.effect17_colour);
  // One column for every value, after the longest label.
  const std::pair<const char*, std::string> rows[] = {
      {"Slot:", std::to_string(keyboard.lighting.LightingSlot)},
      {"Effect:", std::to_string(s.effect) + " (" + EffectName(s.effect) + ")"},
      {"Brightness:", std::to_string(s.brightness)},
      {"Speed:", std::to_string(s.speed)},
      {"Direction:", std::to_string(s.direction)},
      {"Colour:", Hex(s.main_colour)},
      {"Colourful:", s.colourful ? "on" : "off"},
      {"Effect-17 colour:", std::string(kEffect17ColourNames[std::size_t(e17)])},
      {"Report rate:", std::to_string(s.report_rate)},
  };
  constexpr std::size_t kValueColumn = 18;
  for (const auto& [label, value] : rows) {
    const std::size_t width = std::char_traits<char>::length(label);
    t += label + std::string(width < kValueColumn ? kValueColumn - width : 1, ' ') + value + "\n";
  }
  return t;
}

std::string LightingJson(profiles::KeyboardSession& keyboard) {
  const lighting::LightingState& s = keyboard.lighting.CurrentLighting;
  const std::string e17(kEffect17ColourNames[std::size_t(lighting::ShownEffect17Colour(s.effect17_colour))]);
  return "{\"slot\": " + std::to_string(keyboard.lighting.LightingSlot) +
         ", \"effect\": " + std::to_string(s.effect) + ", \"effect_name\": " + JsonString(EffectName(s.effect)) +
         ", \"brightness\": " + std::to_string(s.brightness) + ", \"speed\": " + std::to_string(s.speed) +
         ", \"direction\": " + std::to_string(s.direction) + ", \"colour\": \"" + Hex(s.main_colour) +
         "\", \"colourful\": " + (s.colourful ? "true" : "false") + ", \"effect17_colour\": \"" +
         e17 + "\", \"report_rate\": " + std::to_string(s.report_rate) + "}\n";
}

std::string EffectsText(profiles::KeyboardSession& keyboard) {
  std::string t;
  for (const lighting::EffectEntry& e : keyboard.lighting.EffectList()) {
    const std::string number = std::to_string(e.effect);
    t += std::string(number.size() < 4 ? 4 - number.size() : 1, ' ') + number + "  " + EffectName(e.effect) + "\n";
  }
  return t;
}

std::string EffectsJson(profiles::KeyboardSession& keyboard) {
  std::string t = "[";
  bool first = true;
  for (const lighting::EffectEntry& e : keyboard.lighting.EffectList()) {
    if (!first) t += ", ";
    first = false;
    t += "{\"effect\": " + std::to_string(e.effect) + ", \"name\": " + JsonString(EffectName(e.effect)) + "}";
  }
  return t + "]";
}

std::vector<Command> LightingCommands() {
  std::vector<Command> list;
  for (const char* name : {"lighting show"}) {
    Command c;
    c.name = name;
    c.summary = "Show the lighting of the keyboard's active slot";
    c.usage = std::string("keyloomctl ") + name + " [--json]";
    c.help =
        "Options:\n"
        "  --json   one JSON object instead of the text\n";
    const std::string command_name = name;
    c.run = [command_name](const std::vector<std::string>& args, CommandIo& io) {
      return RunShow(command_name, args, io);
    };
    list.push_back(std::move(c));
  }
  {
    Command c;
    c.name = "lighting set";
    c.summary = "Change the lighting of the keyboard's active slot";
    c.usage =
        "keyloomctl lighting set [--effect N|NAME] [--brightness 0-5] [--speed 0-4] "
        "[--direction 0|255] [--colour RRGGBB] [--colourful on|off] "
        "[--effect17-colour red|yellow|green|blue] [--json]";
    c.help =
        "Each value is written to the keyboard at once, in the order of the options below;\n"
        "then the slot's lighting is shown.\n"
        "\nOptions:\n"
        "  --effect N|NAME      an effect the keyboard supports, by number or name (see status)\n"
        "  --brightness 0-5     brightness\n"
        "  --speed 0-4          the keyboard's speed value (the lighting panel's slider\n"
        "                       shows position 4 - value)\n"
        "  --direction 0|255    direction\n"
        "  --colour RRGGBB      main colour, six hexadecimal digits (turns colourful off)\n"
        "  --colourful on|off   rainbow colours or the main colour\n"
        "  --effect17-colour C  colour of effect 17: red, yellow, green or blue\n"
        "  --json               show the result as one JSON object\n";
    c.run = RunSet;
    list.push_back(std::move(c));
  }
  {
    Command c;
    c.name = "lighting default";
    c.summary = "Write the default lighting to the keyboard's active slot";
    c.usage = "keyloomctl lighting default [--json]";
    c.help =
        "Effect 1, brightness 5, speed 2, direction 0, colourful, white, report rate 0.\n"
        "On a keyboard with custom colour layouts the slot's layouts start again from the\n"
        "template and the selected one is sent.\n"
        "\nOptions:\n"
        "  --json   show the result as one JSON object\n";
    c.run = RunDefault;
    list.push_back(std::move(c));
  }
  {
    Command c;
    c.name = "report-rate";
    c.summary = "Show or set the report rate of the keyboard's active slot";
    c.usage = "keyloomctl report-rate [0-3] [--json]";
    c.help =
        "Without a value shows the report-rate index; with one writes it. The index\n"
        "chooses one of the keyboard's four USB report rates, as the four report-rate\n"
        "buttons of the main window do from left to right: 0 is the first button (the\n"
        "default, also after 'lighting default'), 3 the last. The keyboard keeps the\n"
        "index per slot.\n"
        "\nOptions:\n"
        "  --json   {\"slot\": n, \"report_rate\": n}\n";
    c.run = RunReportRate;
    list.push_back(std::move(c));
  }
  {
    Command c;
    c.name = "lighting layout";
    c.summary = "List, select or rename the custom colour layouts of the active slot";
    c.usage = "keyloomctl lighting layout [N] [--name TEXT] [--json]";
    c.help =
        "Lists the ten custom colour layouts of effect 20 (* marks the selected one).\n"
        "With N (0..9) selects layout N and sends its key colours to the keyboard.\n"
        "\nOptions:\n"
        "  --name TEXT   renames the selected layout (at most 260 characters)\n"
        "  --json        {\"slot\": s, \"selected\": n, \"layouts\": [names]}\n";
    c.run = RunLayout;
    list.push_back(std::move(c));
  }
  {
    Command c;
    c.name = "lighting key";
    c.summary = "Give one key its own colour in the selected custom colour layout";
    c.usage = "keyloomctl lighting key KEY RRGGBB [--json]";
    c.help =
        "Writes the key's colour to the keyboard and to the selected layout of the active\n"
        "slot (the slot must show effect 20). KEY is a key code (0x01E), a skin-style name\n"
        "(KEY_01E), Fn, or the key's name; macro keys G1..G9 have no colour.\n"
        "\nOptions:\n"
        "  --json   {\"slot\": s, \"layout\": n, \"position\": p, \"colour\": \"rrggbb\"}\n";
    c.run = RunKey;
    list.push_back(std::move(c));
  }
  return list;
}

}  // namespace keyloom::cli
