#pragma once
// The lighting editor: the rules of the lighting panel without the panel.
// It knows which parameters each effect has (and so which controls a view
// shows), what each change writes to the edited slot's record, and reports
// the outcome of every write. keyloomctl's lighting commands and the main
// window's lighting panel are views over it.
//
// Every change is one framed write (begin, one write per field, end) of the
// listed fields, sent at once. The editor's values are the session's
// CurrentLighting; a change that reaches the keyboard updates them, a
// failed one leaves them as they were and reports the device result.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_table.h"
#include "device/report_transaction.h"
#include "lighting/lighting_session.h"
#include "lighting/lighting_state.h"

namespace keyloom::lighting {

// The colour group an effect shows: the general one (colour button 1155,
// switch 1156) or the reactive one (1152, 1175).
enum class ColourGroup { kNone, kGeneral, kReactive };

// Which of the three layout-key sets the direction controls use.
enum class DirectionLayout { kStandard, kSideways, kUpDown };

// The parameters of one effect number. An effect without a row (0, 19,
// above 20) is not known: it shows nothing and writes nothing when chosen.
struct EffectRow {
  bool known = false;
  bool speed = false;
  bool direction = false;
  ColourGroup colour_group = ColourGroup::kNone;
  bool effect17_colours = false;
  bool custom_layouts = false;
  // Choosing the effect also writes the colourful byte (after the effect).
  bool writes_colourful = false;
  DirectionLayout direction_layout = DirectionLayout::kStandard;
};
EffectRow EffectParameters(int effect);

// What a view of the panel shows for `effect` with the panel open or closed.
// The lamp switch, its label and the RGB boxes are always shown.
struct PanelVisibility {
  bool effect_selector = false;
  bool brightness = false;  // label and slider
  bool speed = false;       // label and slider
  bool direction = false;   // label and both buttons
  bool general_colour = false;
  bool reactive_colour = false;
  bool effect17_colours = false;
  bool custom_layouts = false;
  bool operator==(const PanelVisibility&) const = default;
};
PanelVisibility VisibleControls(int effect, bool panel_open);

// The layout keys of the direction label and its two buttons for `effect`.
std::array<std::string_view, 3> DirectionLayoutKeys(int effect);
// The pictures of the first and second direction button for `effect` and
// `direction` (255: the first button is pressed).
std::array<std::string_view, 2> DirectionPictures(int effect, int direction);

// Colour names of effect 17 by value: red, yellow, green, blue.
inline constexpr std::array<std::string_view, 4> kEffect17ColourNames = {"red", "yellow", "green", "blue"};
// The effect-17 colour a view shows: a value outside 0..3 shows as 0.
int ShownEffect17Colour(int value);

// What an RGB box shows for the typed text: the decimal number it starts
// with, 255 for anything above (digits beyond any count included). Text
// that is not a number stays as typed. Nothing is written to the keyboard.
std::string RgbBoxText(std::string_view typed);

// Speed slider position p (0..4) and the keyboard's speed value (4 - p).
constexpr int SpeedFromSliderPosition(int position) { return 4 - position; }
constexpr int SliderPositionFromSpeed(int speed) { return 4 - speed; }

// One field write: its offset in the record and its bytes.
struct FieldWrite {
  int offset = 0;
  std::vector<std::uint8_t> bytes;
  bool operator==(const FieldWrite&) const = default;
};

// The outcome of one change: the fields sent, in order (empty: nothing was
// written), and the device result of the framed write (kOk also when nothing
// was written; kNotSent for a value out of range).
struct LightingChange {
  std::vector<FieldWrite> writes;
  device::CommandResult result = device::CommandResult::kOk;
  bool Ok() const { return result == device::CommandResult::kOk; }
  bool Wrote() const { return !writes.empty(); }
};

// Begin, the fields in order, end. The first failing result, else the end
// result; the end is sent even after a failure.
device::CommandResult WriteLightingFields(device::DeviceLink& link, const LightingSession& lighting,
                                          const std::vector<FieldWrite>& writes);

class LightingEditor {
 public:
  LightingEditor(device::DeviceLink& link, LightingSession& lighting) : link_(link), lighting_(lighting) {}

  const LightingState& State() const { return lighting_.CurrentLighting; }
  PanelVisibility Visibility() const { return VisibleControls(State().effect, State().panel_open); }

  // The effect selector: a known effect writes byte 0 (and byte 4 with the
  // current colourful value for the effects that say so); another number is
  // only kept.
  LightingChange SelectEffect(int effect);
  // Brightness slider 0..5: byte 1. The current value writes nothing.
  LightingChange SetBrightness(int brightness);
  // Speed slider position 0..4: byte 2 = 4 - position. The current value
  // writes nothing. SetSpeed takes the keyboard's value.
  LightingChange SetSpeedPosition(int position) { return SetSpeed(SpeedFromSliderPosition(position)); }
  LightingChange SetSpeed(int speed);
  // Direction buttons: 255 (first) or 0 (second): byte 3, always written.
  LightingChange SetDirection(int direction);
  // A colour chosen on a group's colour button: byte 4 = 0, then bytes 5..7;
  // colourful goes off and the main colour and both buttons take the
  // colour. The reactive button also clears the effect-7 option.
  LightingChange ChooseColour(Colour colour, ColourGroup from = ColourGroup::kGeneral);
  // A colourful switch: inverts colourful (the reactive one also inverts
  // the effect-7 option) and writes byte 4.
  LightingChange ToggleColourful(ColourGroup from = ColourGroup::kGeneral);
  // Colourful set to `on` and byte 4 written.
  LightingChange SetColourful(bool on);
  // Effect-17 colour 0..3 (red, yellow, green, blue): byte 17.
  LightingChange SetEffect17Colour(int colour);
  // Report rate 0..3: byte 15.
  LightingChange SetReportRate(int rate);
  // The default record: its 35 bytes at offset 0; the values decode from it.
  LightingChange WriteDefault();

 private:
  LightingChange Write(std::vector<FieldWrite> writes);
  // One byte field of the record and the value that mirrors it: nothing is
  // written when it already holds `value`; the mirror follows a taken write.
  LightingChange SetByteField(int offset, int& current, int value);

  device::DeviceLink& link_;
  LightingSession& lighting_;
};

}  // namespace keyloom::lighting
