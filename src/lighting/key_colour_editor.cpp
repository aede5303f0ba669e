#include "lighting/key_colour_editor.h"

#include <algorithm>
#include <filesystem>

#include "device/keyboard_lock.h"
#include "device/commands.h"
#include "keys/key_catalogue.h"
#include "lighting/lighting_operations.h"

namespace keyloom::lighting {

namespace {

constexpr int kCustomColourEffect = 20;

using Outcome = KeyColourChange::Outcome;

KeyColourChange Sent(device::CommandResult result) {
  return result == device::CommandResult::kOk ? KeyColourChange{} : KeyColourChange{Outcome::kKeyboardFailed, result};
}

// A position a click can paint: a key of the on-screen keyboard or Fn.
bool PaintablePosition(int position) {
  if (position == kFnKeyPosition) return true;
  const auto keys = keys::PanelOrderKeys();
  return std::any_of(keys.begin(), keys.end(), [&](const keys::PanelOrderKey& k) { return k.colourPosition == position; });
}

}  // namespace

std::vector<int> ColouredKeyPositions() {
  std::vector<int> positions;
  for (const keys::PanelOrderKey& k : keys::PanelOrderKeys()) positions.push_back(k.colourPosition);
  positions.push_back(kFnKeyPosition);
  positions.push_back(kMacroKeyPosition);
  return positions;
}

bool KeyColourEditor::FollowsBaseColour(int slot, int position) const {
  if (slot < 0 || slot >= kSlotCount || position < 0 || position >= kPositions) return false;
  return marks_[std::size_t(position)][std::size_t(slot)];
}

void KeyColourEditor::RememberMark(int slot, int position, bool follows) {
  if (slot < 0 || slot >= kSlotCount || position < 0 || position >= kPositions) return;
  marks_[std::size_t(position)][std::size_t(slot)] = follows;
}

void KeyColourEditor::SetMark(int slot, int position, bool follows) {
  if (slot < 0 || slot >= kSlotCount || position < 0 || position >= kPositions) return;
  RememberMark(slot, position, follows);
  if (lighting_.panel) lighting_.panel->SetBaseColourMark(slot, position, follows ? 1 : 0);
}

ColourFileCheck KeyColourEditor::PrepareColourFile(bool for_writing) {
  return PrepareUserColourFile(lighting_.paths, Slot(), for_writing);
}

int KeyColourEditor::SelectedLayout() const { return ReadSelectedLayout(lighting_.paths, Slot()); }

std::u16string KeyColourEditor::LayoutName(int n) const { return ReadLayoutName(lighting_.paths, Slot(), n); }

KeyColourChange KeyColourEditor::LoadSelectedLayout(bool send) {
  LoadLayout(lighting_);
  const int slot = Slot();
  const int layout = lighting_.CustomColours.selected_layout;
  for (int position : ColouredKeyPositions())
    SetMark(slot, position, ReadLayoutKey(lighting_.paths, slot, layout, position).base_flag != 0);
  return send ? Sent(SendKeyColours(link_, lighting_)) : KeyColourChange{};
}

KeyColourChange KeyColourEditor::SelectLayout(int n) {
  if (n < 0 || n >= kLayoutCount) return {Outcome::kIgnored, device::CommandResult::kOk};
  if (!WriteSelectedLayout(lighting_.paths, Slot(), n)) return {Outcome::kFileFailed, device::CommandResult::kOk};
  return LoadSelectedLayout(true);
}

bool KeyColourEditor::RenameLayout(std::u16string_view name) {
  return WriteLayoutName(lighting_.paths, Slot(), SelectedLayout(), name.substr(0, kLayoutNameLimit));
}

KeyColourChange KeyColourEditor::WriteKey(int position, Colour colour, bool follows) {
  // One frame: no other program's transaction comes between its reports.
  device::KeyboardHold hold(link_);
  const int slot = Slot();
  const std::uint8_t rgb[3] = {Red(colour), Green(colour), Blue(colour)};
  device::CommandResult result = BeginLightingWrite(link_);
  if (result == device::CommandResult::kOk)
    result = device::WriteKeyColours(link_, rgb, 3, std::uint32_t(position), slot);
  const device::CommandResult end = EndLightingWrite(link_);
  if (result == device::CommandResult::kOk) result = end;
  if (result != device::CommandResult::kOk) return {Outcome::kKeyboardFailed, result};
  SetKeyColourAt(lighting_.KeyColours, slot, position, colour);
  SetMark(slot, position, follows);
  if (!WriteLayoutKey(lighting_.paths, slot, SelectedLayout(), position, colour, follows ? 1 : 0))
    return {Outcome::kFileFailed, device::CommandResult::kOk};
  return {};
}

KeyColourChange KeyColourEditor::PaintKey(int position) {
  if (lighting_.CurrentLighting.effect != kCustomColourEffect || !PaintablePosition(position))
    return {Outcome::kIgnored, device::CommandResult::kOk};
  const CustomColourState& c = lighting_.CustomColours;
  if (c.tool == 0) return WriteKey(position, c.painting_colour, false);
  if (c.tool == 1) return WriteKey(position, c.base_colour, true);
  return {Outcome::kIgnored, device::CommandResult::kOk};
}

KeyColourChange KeyColourEditor::SetKeyColour(int position, Colour colour) {
  if (lighting_.CurrentLighting.effect != kCustomColourEffect || !PaintablePosition(position))
    return {Outcome::kIgnored, device::CommandResult::kOk};
  return WriteKey(position, colour, false);
}

KeyColourChange KeyColourEditor::ChooseBaseColour(Colour colour) {
  CustomColourState& c = lighting_.CustomColours;
  if (colour == c.base_colour) return {Outcome::kUnchanged, device::CommandResult::kOk};
  c.base_colour = colour;
  const int slot = Slot();
  const int layout = SelectedLayout();
  bool saved = WriteLayoutTools(lighting_, slot, layout);
  for (int position : ColouredKeyPositions()) {
    if (!FollowsBaseColour(slot, position)) continue;
    SetKeyColourAt(lighting_.KeyColours, slot, position, colour);
    saved = WriteLayoutKey(lighting_.paths, slot, layout, position, colour, 1) && saved;
  }
  const KeyColourChange sent = Sent(SendKeyColours(link_, lighting_));
  if (sent.outcome == Outcome::kDone && !saved) return {Outcome::kFileFailed, device::CommandResult::kOk};
  return sent;
}

bool KeyColourEditor::ChoosePaintingColour(Colour colour) {
  lighting_.CustomColours.painting_colour = colour;
  return WriteLayoutTools(lighting_, Slot(), SelectedLayout());
}

bool KeyColourEditor::ChooseTool(int tool) {
  if (tool != 0 && tool != 1) return false;
  lighting_.CustomColours.tool = lighting_.CustomColours.tool_copy = tool;
  return WriteLayoutTools(lighting_, Slot(), SelectedLayout());
}

void KeyColourEditor::UpdateBaseMarks() {
  const Colour base = lighting_.CustomColours.base_colour_copy;
  for (int slot = 0; slot < kSlotCount; ++slot)
    for (int position : ColouredKeyPositions())
      SetMark(slot, position, KeyColourAt(lighting_.KeyColours, slot, position) == base);
}

KeyColourChange KeyColourEditor::ResetLayouts() {
  if (!CopyColourTemplate(lighting_.paths, Slot())) return {Outcome::kFileFailed, device::CommandResult::kOk};
  return LoadSelectedLayout(true);
}

}  // namespace keyloom::lighting
