#pragma once
// The prompt (tooltip) text and assigned state of the on-screen keyboard's
// key buttons, produced from the assignment records for the GUI to apply.
#include <string>
#include <vector>

#include "keys/key_macro_store.h"

namespace keyloom::keys {

inline constexpr std::size_t kPromptCapacity = 260;

// The prompt of one button: the key's name, and for an assigned record the
// localised KEY_PROMPT_SET followed by what the key does. Cut to 259 units.
// Reads the store's macros (under its lock) for a macro assignment's name.
std::u16string KeyPromptText(const KeyMacroStore& store, std::u16string_view keyName,
                             const KeyAssignment& record);

struct ButtonPrompt {
  int controlId = 0;
  int record = 0;         // record index in the table
  std::u16string text;
  bool assigned = false;  // kind is not 0
};

// The nine G buttons (of the given bank, 0 or 1) and then the 105 panel keys
// in panel order, each with its prompt from the profile's table. Empty when
// no profile is current (profile outside 0..3).
std::vector<ButtonPrompt> RefreshKeyPrompts(const KeyMacroStore& store, int profile, int gBank);

// Under the lock, zero the records of the 105 panel keys and of the nine G
// keys of the bank in the profile's table (freeing their strings and keeping
// their mark words), then return every button's prompt. Empty (and nothing
// changed) when no profile is current.
std::vector<ButtonPrompt> ResetPanelAssignments(KeyMacroStore& store, int profile, int gBank);

}  // namespace keyloom::keys
