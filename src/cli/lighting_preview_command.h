#pragma once
// keyloomctl lighting preview: the on-screen effect preview in the terminal
// (an animated drawing of the keyboard in 24-bit colour) or as JSON lines.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_table.h"
#include "lighting/preview_engine.h"
#include "lighting/preview_overlays.h"

namespace keyloom::cli {

struct PreviewOptions {
  std::optional<int> effect;
  std::optional<int> direction;
  std::optional<bool> colourful;
  std::optional<lighting::Colour> colour;
  std::optional<int> effect17_colour;  // 0 red, 1 yellow, 2 green, 3 blue
  std::optional<int> layout;           // custom colour layout of effect 20
  int frames = 0;  // 0: until stopped
  bool json = false;

  bool AnyLightingValue() const { return effect || direction || colourful || colour; }
};

// Parses the command's arguments; on a bad argument returns false with the
// reason.
bool ParsePreviewOptions(const std::vector<std::string>& args, PreviewOptions& options,
                         std::string& reason);

// The lighting values a preview shows: the given options over the default
// lighting (effect 1, direction 0, colourful, white).
lighting::preview::PreviewInput PreviewInputFromOptions(const PreviewOptions& options);

// {"frame": n, "keys": {"<control id>": "rrggbb" or null, ...}} (no newline).
std::string PreviewJsonLine(int frame, const lighting::preview::KeyOverlayTable& keys);

// The keyboard's rows drawn with 24-bit colour escape sequences, one cell
// per key; a first line describes what is shown. Ends with a newline.
// Without `colour` no escape sequence is written: a lit key shows a letter
// for its hue (R, Y, G, C, B, M, W; small when dim), a dark one a dot.
std::string PreviewTerminalFrame(const lighting::preview::KeyOverlayTable& keys,
                                 const lighting::preview::PreviewInput& input, int frame, bool colour = true);

// The steady colours of the effects the animation leaves alone: effect 17
// lights every key in its colour (`effect17_colour`), effect 20 each key in
// its colour of the custom layout (`key_colour` of a key position). Other
// effects are left as they are.
void ShowSteadyColours(int effect, int effect17_colour,
                       const std::function<lighting::Colour(int position)>& key_colour,
                       lighting::preview::KeyOverlayTable& keys);
constexpr int kPreviewTerminalLines = 7;

// Runs the preview with the given clock and random generator.
int RunLightingPreview(const PreviewOptions& options, CommandIo& io,
                       lighting::preview::PreviewClock& clock,
                       lighting::preview::PreviewRandom& random);

Command LightingPreviewCommand();

}  // namespace keyloom::cli
