#pragma once
// Keeping key assignments consistent with the macro list: the question
// before a used macro is deleted, and the reconciliation when the macro list
// is applied.
#include <span>
#include <vector>

#include "keys/key_macro_store.h"
#include "platform/host.h"

namespace keyloom::keys {

struct MacroUse {
  bool inUse = false;        // a key of any profile plays the macro
  bool mayDelete = true;     // not in use, or the user confirmed the deletion
};

// Scans every record of all four tables of the editing store for a macro
// assignment to the macro's identifier (a macro still flagged new cannot be
// in use). When one is found, sets RewriteAllProfiles, releases the lock and
// asks MACRO_DELETE_CONFIRM_OF_KEYS in a yes/no box; only Yes lets the
// deletion proceed.
MacroUse IsMacroInUse(KeyStores& stores, const MacroRecord& macro, host::Prompter& prompter);

// Whether deleting macros[position] moves a macro that a key plays: the
// keyboard refers to macros by their place in its list, so every later macro
// moves down a place, and the key maps of every slot that play one of them
// must be written again (not only the active slot's). Under the lock.
bool DeletionMovesMacrosInUse(KeyMacroStore& store, std::span<const MacroRecord> macros, std::size_t position);

struct RecordRef {
  int profile = 0;
  int record = 0;
  friend bool operator==(const RecordRef&, const RecordRef&) = default;
};

// Under the lock, for every macro assignment of all four tables: one whose
// identifier no macro of the list has, or whose macro is flagged new (a
// reused identifier), becomes kind 0; one with identifier 0 is pointed at the
// first macro of the list, if any. Returns the records turned to kind 0, so
// that the caller can refresh their buttons.
std::vector<RecordRef> ReconcileWithMacroList(KeyMacroStore& store, std::span<const MacroRecord> macros);

}  // namespace keyloom::keys
