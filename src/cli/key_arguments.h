#pragma once
// The KEY and ACTION words of `keyloomctl keys set`, and the words that
// describe an assignment again in keys' output.
//   KEY     a key code (0x01E), a skin-style name (KEY_01E), G1..G9, or the
//           key's name (English, or the language in use), any case
//   ACTION  default | disabled | key:KEY | macro:NAME | stop-macro |
//           media:NAME|INDEX | function:N
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "keys/key_assignment.h"
#include "keys/key_catalogue.h"
#include "keys/key_editor.h"
#include "keys/key_macro_store.h"

namespace keyloom::cli {

// A key of the on-screen keyboard or one of the nine G keys (first bank).
struct KeyTarget {
  int record = 0;          // record index in an assignment table
  keys::KeyCode code = 0;  // 0x200.. for G keys
  int g_number = 0;        // 1..9 for G keys, else 0
};

// The key code of `text` among the named keys of the catalogue; with
// `panel_only`, among the 105 keys of the on-screen keyboard only.
std::optional<keys::KeyCode> FindKeyCode(std::string_view text, bool panel_only);

// The English names of the keys FindKeyCode finds by name, each once and
// each finding its own key, in the on-screen keyboard's order first (for the
// shell's completion).
std::vector<std::string> KeyNames(bool panel_only);
// The English names of the media functions of media:NAME, in index order.
std::vector<std::string> MediaNames();

// KEY of keys set. False with the reason when no such key can be assigned.
bool ParseKeyTarget(std::string_view text, KeyTarget& target, std::string& reason);

// An ACTION before its macro name is looked up.
struct ActionSpec {
  keys::KeyKind kind = keys::KeyKind::Default;
  std::uint32_t value = 0;
  std::string macro_name;  // kind Macro
};
bool ParseAction(std::string_view text, ActionSpec& action, std::string& reason);

// What the user chose, for the key editor.
keys::KeyChoice ChoiceOf(const ActionSpec& action);
// Why the key editor refused `change` of `action`; empty when it stored it.
std::string RefusalReason(const keys::KeyChange& change, const ActionSpec& action);

// The record the key editor stores for `target`: a macro's name becomes its
// identifier (exact name first, else the only name that matches ignoring
// case) and the macro's cycle count. False with the reason when no macro has
// the name.
bool ResolveAction(const ActionSpec& action, const keys::KeyMacroStore& store, const KeyTarget& target,
                   keys::KeyAssignment& record, std::string& reason);

// The list position of the macro named `name` (the key editor's lookup);
// -1 with the reason otherwise.
int FindMacroByName(std::span<const keys::MacroRecord> macros, std::string_view name, std::string& reason);

// "0x01E" for a key code, "G1".."G9" for G keys.
std::string KeyWord(keys::KeyCode code);
// The ACTION word that gives `record` again (kinds 3 and 6, which come only
// with profile files, read "program" and "text").
std::string ActionWord(const keys::KeyMacroStore& store, const keys::KeyAssignment& record);

}  // namespace keyloom::cli
