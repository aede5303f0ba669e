#include "lighting/lighting_editor.h"

#include <cctype>

#include "device/keyboard_lock.h"
#include "lighting/lighting_operations.h"

namespace keyloom::lighting {

namespace {

constexpr std::uint8_t Byte(bool value) { return value ? 1 : 0; }

}  // namespace

EffectRow EffectParameters(int e) {
  EffectRow row;
  row.known = (e >= 1 && e <= 18) || e == 20;
  if (!row.known) return row;
  row.speed = (e >= 1 && e <= 5) || (e >= 7 && e <= 15);
  row.direction = e == 1 || e == 2 || e == 3 || e == 12 || e == 18;
  if (e == 1 || e == 2 || e == 3 || e == 5 || e == 7 || e == 8 || e == 9 || e == 10 || e == 13 || e == 14 || e == 15)
    row.colour_group = ColourGroup::kGeneral;
  else if (e == 6 || e == 16)
    row.colour_group = ColourGroup::kReactive;
  row.effect17_colours = e == 17;
  row.custom_layouts = e == 20;
  // Effect 10 shows the general colours but its selection writes the effect only.
  row.writes_colourful = row.colour_group == ColourGroup::kGeneral && e != 10;
  if (e >= 1 && e <= 3)
    row.direction_layout = DirectionLayout::kSideways;
  else if (e == 12)
    row.direction_layout = DirectionLayout::kUpDown;
  return row;
}

PanelVisibility VisibleControls(int effect, bool panel_open) {
  PanelVisibility v;
  const EffectRow row = EffectParameters(effect);
  if (!panel_open || !row.known) return v;
  v.effect_selector = v.brightness = true;
  v.speed = row.speed;
  v.direction = row.direction;
  v.general_colour = row.colour_group == ColourGroup::kGeneral;
  v.reactive_colour = row.colour_group == ColourGroup::kReactive;
  v.effect17_colours = row.effect17_colours;
  v.custom_layouts = row.custom_layouts;
  return v;
}

std::array<std::string_view, 3> DirectionLayoutKeys(int effect) {
  switch (EffectParameters(effect).direction_layout) {
    case DirectionLayout::kSideways:
      return {"CONTROL_BLFXStatic2", "CONTROL_BLFXLStaPic2", "CONTROL_BLFXRStaPic2"};
    case DirectionLayout::kUpDown:
      return {"CONTROL_BLFXStatic3", "CONTROL_BLFXLStaPic3", "CONTROL_BLFXRStaPic3"};
    case DirectionLayout::kStandard:
      break;
  }
  return {"CONTROL_BLFXStatic", "CONTROL_BLFXLStaPic", "CONTROL_BLFXRStaPic"};
}

std::array<std::string_view, 2> DirectionPictures(int effect, int direction) {
  const bool first = direction == 255;
  switch (effect) {
    case 18:
      return first ? std::array<std::string_view, 2>{"kuosandown", "julong"}
                   : std::array<std::string_view, 2>{"kuosan", "julongdown"};
    case 12:
      return first ? std::array<std::string_view, 2>{"updown", "downup"}
                   : std::array<std::string_view, 2>{"upup", "downdown"};
    case 3:
      return first ? std::array<std::string_view, 2>{"rightdown", "leftup"}
                   : std::array<std::string_view, 2>{"rightup", "leftdown"};
    default:
      return first ? std::array<std::string_view, 2>{"leftdown1", "rightup1"}
                   : std::array<std::string_view, 2>{"leftup1", "rightdown1"};
  }
}

int ShownEffect17Colour(int value) { return value >= 0 && value <= 3 ? value : 0; }

std::string RgbBoxText(std::string_view typed) {
  std::size_t i = 0;
  while (i < typed.size() && (typed[i] == ' ' || typed[i] == '\t')) ++i;
  if (i < typed.size() && typed[i] == '+') ++i;
  long value = 0;
  for (; i < typed.size() && std::isdigit(static_cast<unsigned char>(typed[i])); ++i) {
    value = value * 10 + (typed[i] - '0');
    if (value > 255) return "255";
  }
  return std::string(typed);
}

device::CommandResult WriteLightingFields(device::DeviceLink& link, const LightingSession& lighting,
                                          const std::vector<FieldWrite>& writes) {
  // One frame: no other program's transaction comes between its reports.
  device::KeyboardHold hold(link);
  device::CommandResult result = BeginLightingWrite(link);
  for (const FieldWrite& w : writes) {
    if (result != device::CommandResult::kOk) break;
    result = WriteLightingBytes(link, lighting, w.offset, w.bytes.data(), int(w.bytes.size()));
  }
  const device::CommandResult end = EndLightingWrite(link);
  return result == device::CommandResult::kOk ? end : result;
}

LightingChange LightingEditor::Write(std::vector<FieldWrite> writes) {
  LightingChange change;
  change.result = WriteLightingFields(link_, lighting_, writes);
  change.writes = std::move(writes);
  return change;
}

LightingChange LightingEditor::SelectEffect(int effect) {
  if (effect < 0 || effect > 255) return {{}, device::CommandResult::kNotSent};
  LightingState& state = lighting_.CurrentLighting;
  const EffectRow row = EffectParameters(effect);
  if (!row.known) {
    state.effect = effect;
    return {};
  }
  std::vector<FieldWrite> writes{{field::kEffect, {std::uint8_t(effect)}}};
  if (row.writes_colourful) writes.push_back({field::kColourful, {Byte(state.colourful)}});
  LightingChange change = Write(std::move(writes));
  if (change.Ok()) state.effect = effect;
  return change;
}

LightingChange LightingEditor::SetBrightness(int brightness) {
  if (brightness < 0 || brightness > 5) return {{}, device::CommandResult::kNotSent};
  return SetByteField(field::kBrightness, lighting_.CurrentLighting.brightness, brightness);
}

LightingChange LightingEditor::SetSpeed(int speed) {
  if (speed < 0 || speed > 4) return {{}, device::CommandResult::kNotSent};
  return SetByteField(field::kSpeed, lighting_.CurrentLighting.speed, speed);
}

LightingChange LightingEditor::SetByteField(int offset, int& current, int value) {
  if (value == current) return {};
  LightingChange change = Write({{offset, {std::uint8_t(value)}}});
  if (change.Ok()) current = value;
  return change;
}

LightingChange LightingEditor::SetDirection(int direction) {
  if (direction != 0 && direction != 255) return {{}, device::CommandResult::kNotSent};
  LightingChange change = Write({{field::kDirection, {std::uint8_t(direction)}}});
  if (change.Ok()) lighting_.CurrentLighting.direction = direction;
  return change;
}

LightingChange LightingEditor::ChooseColour(Colour colour, ColourGroup from) {
  LightingChange change =
      Write({{field::kColourful, {0}}, {field::kMainColour, {Red(colour), Green(colour), Blue(colour)}}});
  if (!change.Ok()) return change;
  LightingState& state = lighting_.CurrentLighting;
  state.colourful = false;
  if (from == ColourGroup::kReactive) state.effect7_option = false;
  state.main_colour = state.colour_button1 = state.colour_button2 = colour;
  return change;
}

LightingChange LightingEditor::ToggleColourful(ColourGroup from) {
  LightingState& state = lighting_.CurrentLighting;
  LightingChange change = Write({{field::kColourful, {Byte(!state.colourful)}}});
  if (!change.Ok()) return change;
  state.colourful = !state.colourful;
  if (from == ColourGroup::kReactive) state.effect7_option = !state.effect7_option;
  return change;
}

LightingChange LightingEditor::SetColourful(bool on) {
  LightingChange change = Write({{field::kColourful, {Byte(on)}}});
  if (change.Ok()) lighting_.CurrentLighting.colourful = on;
  return change;
}

LightingChange LightingEditor::SetEffect17Colour(int colour) {
  if (colour < 0 || colour > 3) return {{}, device::CommandResult::kNotSent};
  LightingChange change = Write({{field::kEffect17Colour, {std::uint8_t(colour)}}});
  if (change.Ok()) lighting_.CurrentLighting.effect17_colour = colour;
  return change;
}

LightingChange LightingEditor::SetReportRate(int rate) {
  if (rate < 0 || rate > 3) return {{}, device::CommandResult::kNotSent};
  LightingChange change = Write({{field::kReportRate, {std::uint8_t(rate)}}});
  if (change.Ok()) lighting_.CurrentLighting.report_rate = rate;
  return change;
}

LightingChange LightingEditor::WriteDefault() {
  const auto bytes = DefaultLightingBytes();
  LightingChange change = Write({{0, std::vector<std::uint8_t>(bytes.begin(), bytes.end())}});
  if (!change.Ok()) return change;
  LightingRecord record{};
  std::copy(bytes.begin(), bytes.end(), record.begin());
  DecodeLightingRecord(record, lighting_.CurrentLighting);
  return change;
}

}  // namespace keyloom::lighting
