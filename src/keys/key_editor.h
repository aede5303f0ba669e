#pragma once
// The key editor: what a key of the on-screen keyboard or a G key does in
// one table of the editing store, as the user chooses it. keyloomctl's keys
// commands and the key-setting dialog share it: each says "the user chose
// this for that key" and the editor decides the record stored. The rules:
// a single key sent by itself, or with no key captured, is the key's
// default; a macro is found by identifier or by name (the exact name
// first, else the only one matching ignoring case) and keeps its cycle
// count unless the user typed one (kept in 1..255); media and function
// choices are entries of their lists; program and text assignments only
// arrive with profile files and are never made here. Nothing is written to
// the keyboard: the caller's Apply does that.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_table.h"
#include "keys/key_assignment.h"
#include "keys/key_catalogue.h"
#include "keys/key_macro_store.h"

namespace keyloom::keys {

// What the user chose for a key.
struct KeyChoice {
  KeyKind kind = KeyKind::Default;
  // SingleKey: the key sent (0: none captured); Media and Function: the
  // list entry; Macro: the macro's identifier (0: none selected, used when
  // `macro_name` is empty).
  std::uint32_t value = 0;
  std::u16string macro_name;          // Macro: looked up when not empty
  std::optional<long long> cycles;    // Macro: typed cycle count; else the macro's own

  static KeyChoice Default() { return {}; }
  static KeyChoice Disabled() { return {KeyKind::Disabled, 0, {}, {}}; }
  static KeyChoice StopMacro() { return {KeyKind::StopMacro, 0, {}, {}}; }
  static KeyChoice SingleKey(KeyCode target) { return {KeyKind::SingleKey, target, {}, {}}; }
  static KeyChoice Media(int entry) { return {KeyKind::Media, std::uint32_t(entry), {}, {}}; }
  static KeyChoice Function(int entry) { return {KeyKind::Function, std::uint32_t(entry), {}, {}}; }
  static KeyChoice Macro(std::uint16_t id, std::optional<long long> cycles = std::nullopt) {
    return {KeyKind::Macro, id, {}, cycles};
  }
  static KeyChoice MacroNamed(std::u16string name) { return {KeyKind::Macro, 0, std::move(name), {}}; }
};

// One key and what the user chose for it. `record` is the key's record in
// the table: the slot of a panel key's code, or GKeyRecordIndex.
struct KeyRequest {
  int record = 0;
  KeyChoice choice;
};

// A macro found by name: its position in the list, or -1 with the number of
// names that match ignoring case (0: none, 2 and more: ambiguous).
struct MacroByName {
  int position = -1;
  int folded_matches = 0;
};
MacroByName FindMacroByName(std::span<const MacroRecord> macros, std::u16string_view name);

struct KeyChange {
  enum class Outcome {
    kStored,
    kNoSuchKey,       // the record belongs to no key button, or the table is not 0..3
    kNoSuchMacro,     // no macro has the identifier or the name
    kAmbiguousMacro,  // several macros have the name ignoring case
    kBadEntry,        // a media or function entry outside its list, or a key code out of range
    kNotEditable,     // program and text assignments are not made by the editor
  };
  Outcome outcome = Outcome::kStored;
  int record = 0;
  KeyCode code = 0;          // the key of the record (0x200.. for G keys)
  KeyAssignment stored;      // what the record holds (after the editor stored it)
  // False when the connected keyboard's factory map has no position for the
  // key: the assignment is kept in the profile but never reaches the
  // keyboard. Always true for a return to the default.
  bool keyboard_has_key = true;
  int macro_matches = 0;     // kAmbiguousMacro: how many names matched
  bool Ok() const { return outcome == Outcome::kStored; }
};

struct KeyEdit {
  std::vector<KeyChange> changes;  // one per request, in order
  // The first refused request; -1 when every request was stored. A refused
  // request stores nothing of the whole set.
  int refused = -1;
  bool Ok() const { return refused < 0; }
};

// What one key does, as its button describes it.
struct KeyDescription {
  int record = 0;
  KeyCode code = 0;     // 0x200 + g - 1 for G keys
  int g_number = 0;     // 1..9 for G keys, else 0
  std::u16string name;  // the key's name, "G1".."G9" for G keys
  // The button's prompt; for kinds whose prompt names no action, followed
  // by "Disabled" or "Stop macro".
  std::u16string description;
  KeyAssignment assignment;
  bool assigned = false;
};

// The key of a record of the key buttons: a panel key's code or a G key's
// (0x200 + g - 1, either bank); 0 for a record no button has.
KeyCode KeyCodeOfRecord(int record);

// Whether a position of the connected keyboard's factory map stands for the key.
bool KeyboardHasKey(const device::DeviceLink& link, KeyCode code);

// The record the editor would store for `choice` on `record` (before it is
// stored), read against the store's macros.
KeyChange ResolveKeyChoice(const KeyMacroStore& store, int record, const KeyChoice& choice);

class KeyEditor {
 public:
  // `link` answers which keys the keyboard has.
  KeyEditor(KeyStores& stores, const device::DeviceLink& link) : stores_(stores), link_(link) {}

  // Stores every request into `table` of the editing store, or, when one is
  // refused, none of them.
  KeyEdit Assign(int table, std::span<const KeyRequest> requests);
  KeyChange Assign(int table, int record, const KeyChoice& choice);

  // Every key button of the table returns to its default: the 105 panel
  // keys and the nine G keys of `g_bank` (marks and other records kept).
  // False when the table is not 0..3.
  bool Reset(int table, int g_bank = 0);

  // The nine G keys of `g_bank`, then the panel keys in panel order.
  // Empty when the table is not 0..3.
  std::vector<KeyDescription> Describe(int table, int g_bank = 0) const;
  // One key's; none for a record no button has or a table not 0..3.
  std::optional<KeyDescription> DescribeKey(int table, int record) const;

 private:
  KeyStores& stores_;
  const device::DeviceLink& link_;
};

}  // namespace keyloom::keys
