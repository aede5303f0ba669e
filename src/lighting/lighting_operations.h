#pragma once
// Lighting on the keyboard: framed field writes of the slot being edited,
// per-key colours, and reading the records and layouts back. Each works on
// a device link and a session's lighting values. Runs on the user-interface
// thread; results as the device commands give them.
#include <cstdint>
#include <string>
#include <vector>

#include "device/device_table.h"
#include "device/report_transaction.h"
#include "lighting/lighting_session.h"
#include "lighting/lighting_state.h"

namespace keyloom::lighting {

// What the lighting panel and main window do for these operations; the GUI
// implements it, the command line and tests their own way. Every member has
// a do-nothing default. The panel puts itself into the session's lighting
// values (LightingSession::panel) while it exists.
class LightingPanelObserver {
 public:
  virtual ~LightingPanelObserver() = default;
  // The layout selector gets these ten names, in order.
  virtual void RefillLayoutSelector(const std::vector<std::u16string>& names) {}
  // The key button at `position` follows the base colour in `slot` (flag 1) or not.
  virtual void SetBaseColourMark(int slot, int position, int flag) {}
  // The panel-off step of the lighting panel.
  virtual void CloseLightingPanel() {}
  // Switches the editing to `slot` with its pending-changes prompt; 0 stops
  // the reset.
  virtual int SwitchProfileSlot(int slot) { return 1; }
  // Slot buttons follow the keyboard's active slot.
  virtual void SyncSlotButtons(int active_slot) {}
  // A user colour file was damaged and restored, or cannot be used: one
  // line naming the file, for the user.
  virtual void ColourFileProblem(const std::string& message) {}
};

device::CommandResult BeginLightingWrite(device::DeviceLink& link);
device::CommandResult EndLightingWrite(device::DeviceLink& link);
// Command 0x06 at LightingSlot * 42 + offset.
device::CommandResult WriteLightingBytes(device::DeviceLink& link, const LightingSession& lighting, int offset,
                                         const std::uint8_t* bytes, int count);
// Begin, one field write, end: the unit of every lighting change. Each of
// the framed writes below returns the first failing device result, else the
// end's result; the end is sent even after a failure.
device::CommandResult WriteLightingField(device::DeviceLink& link, const LightingSession& lighting, int offset,
                                         std::initializer_list<std::uint8_t> bytes);
// Begin, the key's three bytes, end; then the table keeps the colour
// (whatever the result: the next full send repeats it).
device::CommandResult WriteKeyColour(device::DeviceLink& link, LightingSession& lighting, int position, Colour colour);
// Begin, KeyCount / 18 + 1 chunks of 54 table bytes, end.
device::CommandResult SendKeyColours(device::DeviceLink& link, const LightingSession& lighting);
// The default record's 35 bytes with one framed write.
device::CommandResult WriteDefaultLighting(device::DeviceLink& link, const LightingSession& lighting);

// Reads the configuration block and the three records and decodes the one
// of LightingSlot. -1 when the configuration read fails (nothing changed).
int ReadLightingFromKeyboard(device::DeviceLink& link, LightingSession& lighting, bool with_layouts);
// The selected layout of LightingSlot into the key colour table (SendKeyColours
// then puts it onto the keyboard).
void LoadLayout(LightingSession& lighting);
// After the keyboard reports a reset: every user colour file from the template.
void ResetUserColourFiles(device::DeviceLink& link, LightingSession& lighting);

}  // namespace keyloom::lighting
