#pragma once
// The macro list as the key-setting dialog edits it: copies of the editing
// store's macros that are created, renamed and deleted here and put back
// into the store when the dialog applies. The dialog's widgets drive this
// model; the actions of the selected macro are edited in its record.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "keys/key_macro_store.h"
#include "keys/macro_use.h"

namespace keyloom::keys {

class MacroListModel {
 public:
  using Wait = std::function<void(std::chrono::milliseconds)>;

  // Loads copies of the editing store's macros, in order, with the new flag
  // cleared. Questions go to `prompter`.
  MacroListModel(KeyStores& stores, host::Prompter& prompter);

  const std::vector<MacroRecord>& Macros() const { return macros_; }
  int Selected() const { return selected_; }  // -1 when the list is empty
  MacroRecord* SelectedMacro();
  void Select(int position);
  bool Changed() const { return changed_; }
  void ClearChanged() { changed_ = false; }
  int NameCounter() const { return counter_; }

  // The pause between two tries of a name (16 ms); tests replace it.
  void SetWait(Wait wait) { wait_ = std::move(wait); }

  enum class AddResult { Added, TooMany };
  // Creates a macro named by the counter, skipping names that an existing
  // entry begins with, and selects it. With 100 macros shows MACRO_ERR_MAX
  // (formatted with 100) and adds nothing.
  AddResult Add();

  // Renames the selected macro to the typed text (at most 260 units; the
  // record keeps 249). A text that another entry begins with, or an empty
  // text, is replaced by the next free counter name. With an empty list the
  // text creates a macro instead.
  void Rename(std::u16string_view typed);

  // Asks IsMacroInUse; on refusal keeps the list and returns false.
  // Otherwise removes the selected macro, selects the entry before it (or
  // the first) and returns true.
  bool Delete();

  // Reconciles the store's assignments with this list, then replaces the
  // store's macros by the list (new flags cleared, here too). Returns the
  // records that were turned to kind 0.
  std::vector<RecordRef> Apply();

 private:
  bool BeginsAnEntry(std::u16string_view text, int except) const;
  std::u16string NextFreeName();
  void AppendNew(std::u16string name);

  KeyStores& stores_;
  KeyMacroStore& store_;
  host::Prompter& prompter_;
  std::vector<MacroRecord> macros_;
  int selected_ = -1;
  int counter_ = 0;
  bool changed_ = false;
  Wait wait_;
};

}  // namespace keyloom::keys
