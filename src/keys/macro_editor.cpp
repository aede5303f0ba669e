#include "keys/macro_editor.h"

#include "platform/text.h"

namespace keyloom::keys {

bool KeepTypedPause(long long milliseconds, std::uint32_t& kept) {
  if (milliseconds < 0 || milliseconds > kMaxTypedPauseMs) return false;
  kept = std::uint32_t(milliseconds) / 10 * 10;
  return true;
}

MacroNameCheck CheckMacroName(std::u16string_view name) {
  if (name.empty()) return MacroNameCheck::kEmpty;
  if (name.size() > kMaxMacroNameLength) return MacroNameCheck::kTooLong;
  return MacroNameCheck::kOk;
}

std::u16string MacroEditor::TakenBy(std::u16string_view wanted, int position) const {
  const std::vector<MacroRecord>& macros = list_.Macros();
  for (std::size_t i = 0; i < macros.size(); ++i) {
    const std::u16string& other = macros[i].name;
    if (int(i) != position && other.size() >= wanted.size() &&
        text::EqualsIgnoreCase(std::u16string_view(other).substr(0, wanted.size()), wanted))
      return other;
  }
  return {};
}

MacroEdit MacroEditor::Add(std::u16string_view name, long long cycles, const std::vector<MacroAction>& actions) {
  MacroEdit edit;
  edit.name_check = CheckMacroName(name);
  if (edit.name_check != MacroNameCheck::kOk) {
    edit.outcome = MacroEdit::Outcome::kBadName;
    return edit;
  }
  // A full list is the list's to refuse (it tells the user so).
  edit.taken_by = list_.Macros().size() < std::size_t(kMaxMacros) ? TakenBy(name, -1) : std::u16string();
  if (!edit.taken_by.empty()) {
    edit.outcome = MacroEdit::Outcome::kNameTaken;
    return edit;
  }
  if (list_.Add() == MacroListModel::AddResult::TooMany) {
    edit.outcome = MacroEdit::Outcome::kTooMany;
    return edit;
  }
  list_.Rename(name);
  MacroRecord& macro = *list_.SelectedMacro();
  macro.cycles = ClampMacroCycles(cycles);
  for (const MacroAction& a : actions)
    if (!AppendMacroAction(macro, a)) break;
  edit.position = list_.Selected();
  return edit;
}

MacroEdit MacroEditor::Rename(int position, std::u16string_view name) {
  MacroEdit edit;
  if (position < 0 || std::size_t(position) >= list_.Macros().size()) {
    edit.outcome = MacroEdit::Outcome::kNoSuchMacro;
    return edit;
  }
  edit.name_check = CheckMacroName(name);
  if (edit.name_check != MacroNameCheck::kOk) {
    edit.outcome = MacroEdit::Outcome::kBadName;
    return edit;
  }
  edit.position = position;
  if (list_.Macros()[std::size_t(position)].name == name) return edit;
  edit.taken_by = TakenBy(name, position);
  if (!edit.taken_by.empty()) {
    edit.outcome = MacroEdit::Outcome::kNameTaken;
    return edit;
  }
  list_.Select(position);
  list_.Rename(name);
  return edit;
}

MacroEdit MacroEditor::Delete(int position) {
  MacroEdit edit;
  if (position < 0 || std::size_t(position) >= list_.Macros().size()) {
    edit.outcome = MacroEdit::Outcome::kNoSuchMacro;
    return edit;
  }
  list_.Select(position);
  if (!list_.Delete()) {
    edit.outcome = MacroEdit::Outcome::kNotConfirmed;
    edit.position = position;
    return edit;
  }
  edit.position = list_.Selected();
  return edit;
}

}  // namespace keyloom::keys
