#pragma once
// The key colour editor: the rules of effect 20's per-key colours without
// the panel. Each slot has ten named layouts in its user colour file; the
// selected one is on the keyboard. Painting a key writes it to the keyboard
// at once and then to the selected layout. Tool 0 paints with the painting
// colour and gives the key its own colour; tool 1 paints with the base
// colour and marks the key as following it, so that a new base colour
// re-colours every marked key. keyloomctl's lighting key, layout and
// default commands and the lighting panel are views over it.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_table.h"
#include "device/report_transaction.h"
#include "lighting/lighting_session.h"
#include "lighting/user_colour_files.h"

namespace keyloom::lighting {

// The longest layout name kept.
inline constexpr std::size_t kLayoutNameLimit = 260;

// The key positions that carry a colour: the on-screen keyboard's keys in
// panel order, then the Fn key (110) and the macro keys' position (125).
std::vector<int> ColouredKeyPositions();

struct KeyColourChange {
  enum class Outcome {
    kDone,            // written to the keyboard and the file
    kUnchanged,       // the value was already set: nothing written
    kIgnored,         // not for this effect, tool or position: nothing written
    kKeyboardFailed,  // the keyboard did not take it (`result`); the file is untouched
    kFileFailed,      // the keyboard has it, the user colour file could not be written
  };
  Outcome outcome = Outcome::kDone;
  device::CommandResult result = device::CommandResult::kOk;  // the device result of the keyboard write
  bool Ok() const { return outcome == Outcome::kDone || outcome == Outcome::kUnchanged; }
};

class KeyColourEditor {
 public:
  KeyColourEditor(device::DeviceLink& link, LightingSession& lighting) : link_(link), lighting_(lighting) {}

  const CustomColourState& Values() const { return lighting_.CustomColours; }
  int Slot() const { return lighting_.LightingSlot; }
  Colour KeyColour(int position) const { return KeyColourAt(lighting_.KeyColours, Slot(), position); }
  // Whether the key at `position` follows the base colour in `slot`.
  bool FollowsBaseColour(int slot, int position) const;
  // Takes a mark that a layout load outside the editor found in the file
  // (LoadLayout reports it to the panel); no one is told.
  void RememberMark(int slot, int position, bool follows);

  // Makes the slot's user colour file ready (PrepareUserColourFile): from
  // the template when it is missing or damaged (the damaged one kept
  // beside it). With `for_writing` it also checks that the file can be
  // saved, before anything goes to the keyboard.
  ColourFileCheck PrepareColourFile(bool for_writing);

  // The selected layout of the slot into the key colours and the marks
  // (and onto the keyboard with `send`).
  KeyColourChange LoadSelectedLayout(bool send);
  // Selects layout n (0..9): the file remembers it and its colours go to
  // the keyboard as a whole.
  KeyColourChange SelectLayout(int n);
  // Renames the selected layout (the first 260 characters of `name`).
  bool RenameLayout(std::u16string_view name);
  std::u16string LayoutName(int n) const;
  int SelectedLayout() const;

  // Paints the key at `position` with the chosen tool. Ignored unless the
  // slot shows effect 20.
  KeyColourChange PaintKey(int position);
  // Gives the key its own colour (what tool 0 does with its colour).
  // Ignored unless the slot shows effect 20.
  KeyColourChange SetKeyColour(int position, Colour colour);
  // A new base colour: every marked key of the slot takes it, in the file
  // and then on the keyboard with one full send. The current one writes nothing.
  KeyColourChange ChooseBaseColour(Colour colour);
  // The painting colour and the tool (0 or 1) are kept in the layout; nothing is sent.
  bool ChoosePaintingColour(Colour colour);
  bool ChooseTool(int tool);

  // Marks of every slot recomputed from the colours: a key follows the
  // base colour where its colour equals the base colour.
  void UpdateBaseMarks();
  // The slot's layouts start again from the template; the selected one is sent.
  KeyColourChange ResetLayouts();

 private:
  static constexpr int kPositions = kKeyColourSlotBytes / 3;
  void SetMark(int slot, int position, bool follows);
  KeyColourChange WriteKey(int position, Colour colour, bool follows);

  device::DeviceLink& link_;
  LightingSession& lighting_;
  std::array<std::array<bool, kSlotCount>, kPositions> marks_{};
};

}  // namespace keyloom::lighting
