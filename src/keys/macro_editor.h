#pragma once
// The macro editor: the rules for creating, renaming and deleting macros
// that keyloomctl's macro commands and the key-setting dialog share, over
// the dialog's macro list. A name must be non-empty, at most 249 units, and
// not the beginning of another macro's name (ignoring case): the list would
// give the macro a numbered name instead, so the editor refuses it. Deleting
// a macro that keys play asks first. Nothing reaches the editing store
// until Apply.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "keys/key_macro_store.h"
#include "keys/macro_list.h"
#include "platform/host.h"

namespace keyloom::keys {

// The longest pause a typed action keeps, in milliseconds.
inline constexpr std::uint32_t kMaxTypedPauseMs = 40000;
// A typed pause kept in steps of 10 ms; false outside 0..40000.
bool KeepTypedPause(long long milliseconds, std::uint32_t& kept);

enum class MacroNameCheck { kOk, kEmpty, kTooLong };
MacroNameCheck CheckMacroName(std::u16string_view name);

struct MacroEdit {
  enum class Outcome {
    kDone,
    kBadName,       // empty or longer than 249 units (`name_check`)
    kTooMany,       // the list holds 100 macros already
    kNameTaken,     // `taken_by` begins with the wanted name
    kNoSuchMacro,   // no macro at that position
    kNotConfirmed,  // the user kept a macro that keys play
  };
  Outcome outcome = Outcome::kDone;
  int position = -1;  // the macro's position in the list after the edit
  MacroNameCheck name_check = MacroNameCheck::kOk;
  std::u16string taken_by;
  bool Ok() const { return outcome == Outcome::kDone; }
};

class MacroEditor {
 public:
  MacroEditor(KeyStores& stores, host::Prompter& prompter) : list_(stores, prompter) {}

  const MacroListModel& List() const { return list_; }
  MacroListModel& List() { return list_; }

  // A new macro at the end of the list with `cycles` (brought into 1..255)
  // and the actions (as many as a macro holds). A refused name leaves the
  // list as it was.
  MacroEdit Add(std::u16string_view name, long long cycles, const std::vector<MacroAction>& actions);
  // The macro at `position` takes `name`; keys that play it keep playing it.
  MacroEdit Rename(int position, std::u16string_view name);
  // Removes the macro at `position`; when keys play it the user is asked,
  // and those keys return to their default at Apply.
  MacroEdit Delete(int position);
  // Puts the list into the editing store; the records turned to default.
  std::vector<RecordRef> Apply() { return list_.Apply(); }

 private:
  // The macro whose name begins with `wanted` when the list did not keep it.
  std::u16string TakenBy(std::u16string_view wanted, int position) const;

  MacroListModel list_;
};

}  // namespace keyloom::keys
