#pragma once
// What the key-setting dialog edits, without its widgets: the kind of
// assignment and its tab, the captured key, the media and function entries,
// the macro list with the actions of the selected macro, and the record
// Apply stores. The dialog's widgets only show this model and pass the
// user's input to it. Nothing reaches the editing store before Apply, so
// closing without applying leaves the store and its macros as they were.
//
// A key that already sends another key opens showing that key in keyboard
// mode, so OK without changes keeps it. A key whose record holds something
// the dialog cannot make (disabled, stop macro, program, text) keeps it
// unless the user picks something else.
#include <cstdint>
#include <string>
#include <vector>

#include "device/device_table.h"
#include "keys/key_assignment.h"
#include "keys/key_catalogue.h"
#include "keys/key_editor.h"
#include "keys/key_macro_store.h"
#include "keys/macro_list.h"
#include "keys/macro_record.h"
#include "platform/host.h"

namespace keyloom::keys {

enum class KeyDialogTab { kSingleKey, kMacro, kMedia, kFunction };

// The control of the last G button: its dialog only edits macros.
inline constexpr int kMacroOnlyControlId = 1143;
// Print Screen reports only its release on some systems; it is taken on any event.
inline constexpr KeyCode kPrintScreenCode = 0x137;

// A typed pause as the action list keeps it: brought into 0..40000, then
// down to a multiple of 10. `message` names the text shown for a value out
// of range (empty when none) and `message_value` the limit it names.
struct PauseEdit {
  std::uint32_t kept = 0;
  std::string message;
  std::uint32_t message_value = 0;
};
PauseEdit KeepPause(long long typed);

class KeyDialogModel {
 public:
  // Opens on `record` of `table` of the editing store. Questions and
  // messages go to `prompter`.
  KeyDialogModel(KeyStores& stores, host::Prompter& prompter, int table, int record, bool macro_only);

  int Table() const { return table_; }
  int Record() const { return record_; }
  bool MacroOnly() const { return macro_only_; }
  KeyKind Kind() const { return kind_; }
  KeyDialogTab Tab() const;
  KeyCode CapturedKey() const { return captured_; }
  int MediaEntry() const { return media_; }
  int FunctionEntry() const { return function_; }
  // Set by every edit; Apply clears it.
  bool Changed() const { return changed_ || macros_.Changed(); }
  const KeyAssignment& Opened() const { return opened_; }

  // A tab button. False when the tab is already shown or not offered
  // (the macro-only dialog offers the macro tab alone).
  bool ChooseTab(KeyDialogTab tab);

  // A key event while the single-key tab holds the keyboard. True when the
  // event is swallowed (everything but media keys and unknown keys); the key
  // is captured on a press that is not a repeat (Print Screen on any event).
  bool KeyEvent(KeyCode code, bool press, bool repeat);
  // Back to the key's factory function: the single-key tab with no key.
  void Clear();
  bool SelectMedia(int entry);
  bool SelectFunction(int entry);

  // The macro list.
  const std::vector<MacroRecord>& Macros() const { return macros_.Macros(); }
  int SelectedMacro() const { return macros_.Selected(); }
  const MacroRecord* Macro() const;
  MacroListModel::AddResult AddMacro();
  bool DeleteMacro();                       // asks when keys play it
  void RenameMacro(std::u16string_view typed);
  void SelectMacro(int position);
  // The cycle edit: a typed count brought into 1..255 (returned, for the edit).
  std::uint8_t SetCycles(long long typed);
  std::uint8_t Cycles() const;

  // The actions of the selected macro (none without one).
  const std::vector<MacroAction>& Actions() const;
  // The selected macro's actions for the recorder to insert into; null
  // without a selected macro. Call ActionsEdited after changing them.
  std::vector<MacroAction>* EditableActions();
  void ActionsEdited() { changed_ = true; }
  bool DeleteAction(int row);
  // Asks first (No by default); true when the rows were removed.
  bool ClearActions();
  // Moves a row to `target` (clamped to the list); returns its new row, -1
  // for a row that does not exist.
  int MoveAction(int row, long long target);
  // In-place edits of a row's cells.
  bool EditActionKey(int row, int list_position);  // 0..105 of the pick list
  bool EditActionState(int row, std::uint16_t state);
  // The kept pause; a value out of range is told to the user first.
  std::uint32_t EditActionPause(int row, long long typed);

  // The record Apply stores, as the dialog stands.
  KeyChoice Choice() const;
  // Puts the macro list into the editing store, then the key's record.
  KeyChange Apply(const device::DeviceLink& link);

 private:
  MacroAction* Action(int row);

  KeyStores& stores_;
  host::Prompter& prompter_;
  int table_;
  int record_;
  bool macro_only_;
  KeyAssignment opened_;
  KeyKind kind_ = KeyKind::Default;
  // Set once the user chose a kind or value; until then a record the dialog
  // cannot make is kept as it is.
  bool key_touched_ = false;
  KeyCode captured_ = 0;
  int media_ = 0;
  int function_ = 0;
  bool changed_ = false;
  MacroListModel macros_;
};

}  // namespace keyloom::keys

namespace keyloom::keys {

// Where the dialog opens beside the clicked key: below-right, above-right,
// below-left, above-left of the key's rectangle, the first that fits on the
// screen; else below-right moved back onto the screen. Screen coordinates
// from (0, 0).
struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
struct ScreenPoint {
  int x = 0, y = 0;
  friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};
ScreenPoint PlaceBesideKey(const ScreenRect& key, int width, int height, int screen_width, int screen_height);

// The record of the key a button of the on-screen keyboard edits: the
// slot of its code, or the G key's record of `g_bank`; -1 for another id.
int RecordOfKeyButton(int control_id, int g_bank = 0);

}  // namespace keyloom::keys
