#include "cli/lighting_preview_command.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstdio>

#include "cli/command_options.h"
#include "cli/option_values.h"
#include "cli/keyboard_session.h"
#include "cli/lighting_commands.h"
#include "lighting/user_colour_files.h"
#include "profiles/keyboard_session.h"
#include "lighting/preview_tables.h"

namespace keyloom::cli {

namespace {

namespace preview = lighting::preview;
using lighting::Colour;

constexpr std::string_view kName = "lighting preview";

constexpr auto kConnectTimeout = std::chrono::seconds(3);

const char* const kEffect17Colours[] = {"red", "yellow", "green", "blue"};

// The effects with a name (the effect selector's list of every model).
std::vector<int> KnownEffects() {
  std::vector<int> effects;
  for (int e = 1; e <= 18; ++e) effects.push_back(e);
  effects.push_back(20);
  return effects;
}

// The lighting of the connected keyboard's active slot.
bool ReadConnectedLighting(device::DeviceLink& link, preview::PreviewInput& input, int& effect17_colour, int& slot,
                           std::string& reason) {
  KeyboardConnection session(link);
  if (!session.Connect(kConnectTimeout, reason)) {
    reason = "cannot read the keyboard's lighting: " + reason +
             " (or choose what to preview with --effect, --direction, --colourful or --colour)";
    return false;
  }
  lighting::LightingState state;
  if (!ReadActiveSlotLighting(link, state, slot, reason)) return false;
  input = preview::PreviewInputFrom(state);
  effect17_colour = state.effect17_colour;
  return true;
}

// The keyboard's active slot for the custom layouts; 0 when no keyboard
// answers.
int ActiveSlotOrFirst(device::DeviceLink& link) {
  KeyboardConnection session(link);
  std::string reason;
  if (!session.Connect(kConnectTimeout, reason)) return 0;
  lighting::LightingState state;
  int slot = 0;
  return ReadActiveSlotLighting(link, state, slot, reason) ? slot : 0;
}

// A letter for a colour where no colour can be drawn: its hue, in capitals
// when bright; a dot for black.
char ColourLetter(Colour c) {
  const int red = lighting::Red(c), green = lighting::Green(c), blue = lighting::Blue(c);
  const int top = std::max({red, green, blue});
  if (top == 0) return '.';
  const bool r = red * 2 > top, g = green * 2 > top, b = blue * 2 > top;
  const char letter = r && g && b ? 'W' : r && g ? 'Y' : g && b ? 'C' : r && b ? 'M' : r ? 'R' : g ? 'G' : 'B';
  return top >= 128 ? letter : char(letter - 'A' + 'a');
}

}  // namespace

bool ParsePreviewOptions(const std::vector<std::string>& args, PreviewOptions& options,
                         std::string& reason) {
  ParsedOptions parsed;
  if (!ParseCommandOptions(args, {"--json"},
                           {"--effect", "--direction", "--colourful", "--colour", "--effect17-colour", "--layout",
                            "--frames"},
                           parsed, reason))
    return false;
  if (!parsed.positional.empty()) {
    reason = "unknown argument '" + parsed.positional.front() + "'";
    return false;
  }
  options.json = parsed.Has("--json");
  for (const auto& [name, value] : parsed.ordered) {
    int n = 0;
    if (name == "--effect") {
      if (ParseInt(value, n)) {
        if (n < 0 || n > 255) {
          reason = "--effect takes an effect number 0..255 or name, not '" + value + "'";
          return false;
        }
      } else if ((n = EffectNamed(value, KnownEffects())) < 0) {
        reason = "--effect takes an effect number 0..255 or name, not '" + value + "'";
        return false;
      }
      options.effect = n;
    } else if (name == "--effect17-colour") {
      const auto it = std::find(std::begin(kEffect17Colours), std::end(kEffect17Colours), value);
      if (it == std::end(kEffect17Colours)) {
        reason = "--effect17-colour takes red, yellow, green or blue, not '" + value + "'";
        return false;
      }
      options.effect17_colour = int(it - std::begin(kEffect17Colours));
    } else if (name == "--layout") {
      if (!ParseInt(value, n) || n < 0 || n >= lighting::kLayoutCount) {
        reason = "--layout takes a layout 0..9, not '" + value + "'";
        return false;
      }
      options.layout = n;
    } else if (name == "--direction") {
      if (!ParseInt(value, n) || (n != 0 && n != 255)) {
        reason = "--direction takes 0 or 255, not '" + value + "'";
        return false;
      }
      options.direction = n;
    } else if (name == "--colourful") {
      if (value != "on" && value != "off") {
        reason = "--colourful takes on or off, not '" + value + "'";
        return false;
      }
      options.colourful = value == "on";
    } else if (name == "--colour") {
      Colour c = 0;
      if (!ParseColour(value, c)) {
        reason = "--colour takes six hexadecimal digits RRGGBB, not '" + value + "'";
        return false;
      }
      options.colour = c;
    } else {  // --frames
      if (!ParseInt(value, n) || n < 1) {
        reason = "--frames takes a number of frames from 1, not '" + value + "'";
        return false;
      }
      options.frames = n;
    }
  }
  // A colour alone means that colour, as lighting set makes it.
  if (options.colour && !options.colourful) options.colourful = false;
  return true;
}

preview::PreviewInput PreviewInputFromOptions(const PreviewOptions& options) {
  preview::PreviewInput in;
  in.effect = options.effect.value_or(1);
  in.direction = options.direction.value_or(0);
  in.colourful = options.colourful.value_or(true);
  in.main_colour = options.colour.value_or(lighting::MakeColour(255, 255, 255));
  return in;
}

std::string PreviewJsonLine(int frame, const preview::KeyOverlayTable& keys) {
  std::string line = "{\"frame\": " + std::to_string(frame) + ", \"keys\": {";
  bool first = true;
  for (const preview::KeyOverlay& o : keys.Overlays()) {
    if (!first) line += ", ";
    first = false;
    line += "\"" + std::to_string(o.id) + "\": ";
    line += o.on ? "\"" + Hex(o.colour) + "\"" : "null";
  }
  line += "}}";
  return line;
}

void ShowSteadyColours(int effect, int effect17_colour, const std::function<Colour(int position)>& key_colour,
                       preview::KeyOverlayTable& keys) {
  static const Colour kEffect17Rgb[] = {lighting::MakeColour(255, 0, 0), lighting::MakeColour(255, 255, 0),
                                        lighting::MakeColour(0, 255, 0), lighting::MakeColour(0, 0, 255)};
  if (effect != 17 && effect != 20) return;
  const Colour e17 = kEffect17Rgb[effect17_colour >= 0 && effect17_colour <= 3 ? effect17_colour : 0];
  const std::vector<preview::KeyOverlay> overlays = keys.Overlays();
  for (const preview::KeyOverlay& o : overlays) {
    if (effect == 17) {
      keys.ShowKeyColour(o.id, e17);
    } else {
      const int position = preview::KeyPosition(o.id);
      if (position >= 0) keys.ShowKeyColour(o.id, key_colour(position));
    }
  }
}

std::string PreviewTerminalFrame(const preview::KeyOverlayTable& keys,
                                 const preview::PreviewInput& input, int frame, bool colour) {
  const std::string erase = colour ? "\x1b[K" : "";
  std::string s = "Effect " + std::to_string(input.effect) + ", direction " +
                  std::to_string(input.direction) + ", " +
                  (input.colourful ? std::string("colourful") : "colour " + Hex(input.main_colour)) +
                  ", frame " + std::to_string(frame) + "  (Ctrl-C stops)" + erase + "\n";
  char buf[48];
  for (int row = 0; row < preview::kGridRows; ++row) {
    for (int c = 0; c < preview::kGridColumns; ++c) {
      const int id = preview::GridKey(row, c);
      const preview::KeyOverlay* o = id == preview::kNoKey ? nullptr : keys.Find(id);
      if (!colour) {
        const bool joined = o && c > 0 && preview::GridKey(row, c - 1) == id;
        const char mark = !o ? ' ' : o->on ? ColourLetter(o->colour) : '.';
        s += joined ? std::string(3, mark) : std::string(" ") + mark + mark;
        continue;
      }
      if (!o) {
        s += "\x1b[0m   ";
        continue;
      }
      // A key spanning two cells is one wider cell.
      const bool joined = c > 0 && preview::GridKey(row, c - 1) == id;
      if (o->on)
        std::snprintf(buf, sizeof buf, "\x1b[48;2;%d;%d;%dm", lighting::Red(o->colour),
                      lighting::Green(o->colour), lighting::Blue(o->colour));
      else
        std::snprintf(buf, sizeof buf, "\x1b[48;2;40;40;40m");
      s += joined ? std::string(buf) + "   " : "\x1b[0m " + std::string(buf) + "  ";
    }
    s += colour ? "\x1b[0m\x1b[K\n" : "\n";
  }
  return s;
}

int RunLightingPreview(const PreviewOptions& options, CommandIo& io, preview::PreviewClock& clock,
                       preview::PreviewRandom& random) {
  preview::PreviewInput input = PreviewInputFromOptions(options);
  int effect17_colour = options.effect17_colour.value_or(0);
  int slot = -1;
  if (!options.AnyLightingValue()) {
    std::string reason;
    if (!ReadConnectedLighting(Session(io).link, input, effect17_colour, slot, reason)) return Failure(io, reason);
    if (options.effect17_colour) effect17_colour = *options.effect17_colour;
  }
  // Effect 20: the key colours of the slot's selected layout, or of the
  // layout given, as the user colour file holds them.
  int layout = 0;
  if (input.effect == 20) {
    profiles::KeyboardSession& keyboard = Session(io);
    if (slot < 0) slot = ActiveSlotOrFirst(keyboard.link);
    PrepareLightingFiles(keyboard);
    layout = options.layout.value_or(lighting::ReadSelectedLayout(keyboard.lighting.paths, slot));
  }
  const lighting::LightingPaths& paths = Session(io).lighting.paths;
  const auto key_colour = [&](int position) { return lighting::ReadLayoutKey(paths, slot, layout, position).colour; };

  preview::PreviewEngine engine(clock, random);
  preview::KeyOverlayTable keys;
  engine.RequestRestart();
  const bool draw = !options.json;
  // Colour only on a terminal, and never with NO_COLOR set.
  const char* no_colour = std::getenv("NO_COLOR");
  const bool colour = io.out_is_terminal && !(no_colour && *no_colour);
  if (draw && colour) io.out << "\x1b[?25l";  // hide the cursor while drawing

  const auto period = std::chrono::milliseconds(preview::kTickMilliseconds);
  auto next = std::chrono::steady_clock::now();
  for (int frame = 1; options.frames == 0 || frame <= options.frames; ++frame) {
    if (io.StopRequested()) break;
    engine.Tick(input, true, keys);
    ShowSteadyColours(input.effect, effect17_colour, key_colour, keys);
    if (draw) {
      if (frame > 1 && colour) io.out << "\x1b[" << kPreviewTerminalLines << "A\r";
      io.out << PreviewTerminalFrame(keys, input, frame, colour);
    } else {
      io.out << PreviewJsonLine(frame, keys) << "\n";
    }
    io.out.flush();
    if (!io.out) break;
    if (options.frames != 0 && frame == options.frames) break;
    next += period;
    io.WaitUntil(next);
  }
  if (draw && colour) io.out << "\x1b[0m\x1b[?25h" << std::flush;
  if (!io.out) return Failure(io, "could not write the preview");
  return kExitSuccess;
}

Command LightingPreviewCommand() {
  Command c;
  c.name = std::string(kName);
  c.summary = "Preview a lighting effect on a drawing of the keyboard";
  c.usage =
      "keyloomctl lighting preview [--effect N|NAME] [--direction 0|255] [--colourful on|off] "
      "[--colour RRGGBB] [--effect17-colour red|yellow|green|blue] [--layout N] [--frames N] [--json]";
  c.help =
      "Animates the keyboard's keys in the terminal at 20 frames a second (24-bit colour),\n"
      "as the on-screen keyboard does while the lighting panel is open, until Ctrl-C or\n"
      "N frames. With no lighting option it previews the connected keyboard's lighting.\n"
      "Without a terminal (or with NO_COLOR set) each key is a letter for its colour\n"
      "instead (R, Y, G, C, B, M, W; small when dim; . for dark).\n"
      "\n"
      "Options:\n"
      "  --effect N|NAME      effect number (1..18, 20; others show no colours) or\n"
      "                       name, in any case\n"
      "  --direction 0|255    0 moves backwards, 255 forwards (default 0)\n"
      "  --colourful on|off   rainbow colours or the main colour (default on, off\n"
      "                       when --colour is given)\n"
      "  --colour RRGGBB      main colour, six hexadecimal digits (default ffffff)\n"
      "  --effect17-colour C  the colour of effect 17 (default red)\n"
      "  --layout N           the custom colour layout 0..9 effect 20 shows (default:\n"
      "                       the active slot's selected layout)\n"
      "  --frames N           stop after N frames\n"
      "  --json               one line per frame instead of the drawing:\n"
      "                       {\"frame\": n, \"keys\": {\"<control id>\": \"rrggbb\" or null, ...}}\n"
      "                       (null: the key shows no colour)\n"
      "  --help               this help\n";
  c.run = [](const std::vector<std::string>& args, CommandIo& io) {
    PreviewOptions options;
    std::string reason;
    if (!ParsePreviewOptions(args, options, reason)) return UsageError(io, kName, reason);
    preview::SystemPreviewClock clock;
    preview::LcgPreviewRandom random;
    return RunLightingPreview(options, io, clock, random);
  };
  return c;
}

}  // namespace keyloom::cli
