#include "cli/lighting_preview_command.h"

#include <charconv>
#include <cstdio>

#include "cli/command_options.h"
#include "cli/option_values.h"
#include "cli/keyboard_session.h"
#include "profiles/keyboard_session.h"
#include "lighting/preview_tables.h"

namespace keyloom::cli {

namespace {

namespace preview = lighting::preview;
using lighting::Colour;

constexpr std::string_view kName = "lighting preview";

constexpr auto kConnectTimeout = std::chrono::seconds(3);

// The lighting of the connected keyboard's active slot.
bool ReadConnectedLighting(device::DeviceLink& link, preview::PreviewInput& input, std::string& reason) {
  KeyboardConnection session(link);
  if (!session.Connect(kConnectTimeout, reason)) {
    reason = "cannot read the keyboard's lighting: " + reason +
             " (or choose what to preview with --effect, --direction, --colourful or --colour)";
    return false;
  }
  lighting::LightingState state;
  int slot = 0;
  if (!ReadActiveSlotLighting(link, state, slot, reason)) return false;
  input = preview::PreviewInputFrom(state);
  return true;
}

}  // namespace

bool ParsePreviewOptions(const std::vector<std::string>& args, PreviewOptions& options,
                         std::string& reason) {
  ParsedOptions parsed;
  if (!ParseCommandOptions(args, {"--json"}, {"--effect", "--direction", "--colourful", "--colour", "--frames"},
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
      if (!ParseInt(value, n) || n < 0 || n > 255) {
        reason = "--effect takes an effect number 0..255, not '" + value + "'";
        return false;
      }
      options.effect = n;
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

std::string PreviewTerminalFrame(const preview::KeyOverlayTable& keys,
                                 const preview::PreviewInput& input, int frame) {
  std::string s = "Effect " + std::to_string(input.effect) + ", direction " +
                  std::to_string(input.direction) + ", " +
                  (input.colourful ? std::string("colourful") : "colour " + Hex(input.main_colour)) +
                  ", frame " + std::to_string(frame) + "  (Ctrl-C stops)\x1b[K\n";
  char buf[48];
  for (int row = 0; row < preview::kGridRows; ++row) {
    for (int c = 0; c < preview::kGridColumns; ++c) {
      const int id = preview::GridKey(row, c);
      const preview::KeyOverlay* o = id == preview::kNoKey ? nullptr : keys.Find(id);
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
    s += "\x1b[0m\x1b[K\n";
  }
  return s;
}

int RunLightingPreview(const PreviewOptions& options, CommandIo& io, preview::PreviewClock& clock,
                       preview::PreviewRandom& random) {
  preview::PreviewInput input = PreviewInputFromOptions(options);
  if (!options.AnyLightingValue()) {
    std::string reason;
    if (!ReadConnectedLighting(Session(io).link, input, reason)) return Failure(io, reason);
  }

  preview::PreviewEngine engine(clock, random);
  preview::KeyOverlayTable keys;
  engine.RequestRestart();
  const bool draw = !options.json;
  if (draw) io.out << "\x1b[?25l";  // hide the cursor while drawing

  const auto period = std::chrono::milliseconds(preview::kTickMilliseconds);
  auto next = std::chrono::steady_clock::now();
  for (int frame = 1; options.frames == 0 || frame <= options.frames; ++frame) {
    if (io.StopRequested()) break;
    engine.Tick(input, true, keys);
    if (draw) {
      if (frame > 1) io.out << "\x1b[" << kPreviewTerminalLines << "A\r";
      io.out << PreviewTerminalFrame(keys, input, frame);
    } else {
      io.out << PreviewJsonLine(frame, keys) << "\n";
    }
    io.out.flush();
    if (!io.out) break;
    if (options.frames != 0 && frame == options.frames) break;
    next += period;
    io.WaitUntil(next);
  }
  if (draw) io.out << "\x1b[0m\x1b[?25h" << std::flush;
  if (!io.out) return Failure(io, "could not write the preview");
  return kExitSuccess;
}

Command LightingPreviewCommand() {
  Command c;
  c.name = std::string(kName);
  c.summary = "Preview a lighting effect on a drawing of the keyboard";
  c.usage =
      "keyloomctl lighting preview [--effect N] [--direction 0|255] [--colourful on|off] "
      "[--colour RRGGBB] [--frames N] [--json]";
  c.help =
      "Animates the keyboard's keys in the terminal at 20 frames a second (24-bit colour),\n"
      "as the on-screen keyboard does while the lighting panel is open, until Ctrl-C or\n"
      "N frames. With no lighting option it previews the connected keyboard's lighting.\n"
      "\n"
      "Options:\n"
      "  --effect N           effect number (1..18, 20; others show no colours)\n"
      "  --direction 0|255    0 moves backwards, 255 forwards (default 0)\n"
      "  --colourful on|off   rainbow colours or the main colour (default on)\n"
      "  --colour RRGGBB      main colour, six hexadecimal digits (default ffffff)\n"
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
