#include "keys/macro_list.h"

#include <thread>

#include "keys/macro_lookups.h"
#include "keys/text_source.h"
#include "platform/host.h"
#include "platform/text.h"

namespace keyloom::keys {
namespace {

constexpr std::size_t kTypedCapacity = 260;
constexpr std::chrono::milliseconds kNameRetryWait{16};

}  // namespace

MacroListModel::MacroListModel(KeyStores& stores, host::Prompter& prompter)
    : stores_(stores), store_(stores.EditingStore), prompter_(prompter), wait_([](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }) {
  auto lock = store_.Lock();
  macros_ = store_.macros;
  for (MacroRecord& macro : macros_) macro.isNew = 0;
  selected_ = macros_.empty() ? -1 : 0;
}

MacroRecord* MacroListModel::SelectedMacro() {
  return selected_ >= 0 && selected_ < static_cast<int>(macros_.size()) ? &macros_[selected_] : nullptr;
}

void MacroListModel::Select(int position) {
  if (position >= 0 && position < static_cast<int>(macros_.size())) selected_ = position;
}

// Case-insensitive prefix match, as the list control finds an entry.
bool MacroListModel::BeginsAnEntry(std::u16string_view text, int except) const {
  for (int i = 0; i < static_cast<int>(macros_.size()); ++i) {
    if (i == except) continue;
    const std::u16string& name = macros_[i].name;
    if (name.size() >= text.size() && text::EqualsIgnoreCase(std::u16string_view(name).substr(0, text.size()), text)) {
      return true;
    }
  }
  return false;
}

// The next counter name that no entry begins with.
std::u16string MacroListModel::NextFreeName() {
  for (;;) {
    std::u16string name = NewMacroName(++counter_);
    if (!BeginsAnEntry(name, -1)) return name;
    wait_(kNameRetryWait);
  }
}

void MacroListModel::AppendNew(std::u16string name) {
  MacroRecord macro;
  SetMacroName(macro, name);
  macro.cycles = 1;
  macro.isNew = 1;
  macro.id = NewMacroId(macros_);
  macros_.push_back(std::move(macro));
  selected_ = static_cast<int>(macros_.size()) - 1;
  changed_ = true;
}

MacroListModel::AddResult MacroListModel::Add() {
  if (macros_.size() > static_cast<std::size_t>(kMaxMacros - 1)) {
    host::MessageBoxRequest request;
    request.text = text::Format(LookUpText("MACRO_ERR_MAX"), {std::int64_t{kMaxMacros}});
    prompter_.Ask(request);
    return AddResult::TooMany;
  }
  if (macros_.empty()) counter_ = 0;
  AppendNew(NextFreeName());
  return AddResult::Added;
}

void MacroListModel::Rename(std::u16string_view typed) {
  typed = typed.substr(0, kTypedCapacity);
  if (macros_.empty()) {
    if (typed.empty()) {
      counter_ = 0;
      AppendNew(NextFreeName());
    } else {
      AppendNew(std::u16string(typed));
    }
    return;
  }
  if (selected_ < 0) return;
  std::u16string name(typed);
  // A name that another entry begins with, or no name, gives way to the next
  // free counter name; the macro itself keeps its place and its actions.
  if (name.empty() || BeginsAnEntry(name, selected_)) {
    name = NewMacroName(++counter_);
    while (BeginsAnEntry(name, selected_)) {
      wait_(kNameRetryWait);
      name = NewMacroName(++counter_);
    }
  }
  SetMacroName(macros_[selected_], name);
  changed_ = true;
}

bool MacroListModel::Delete() {
  if (SelectedMacro() == nullptr) return false;
  if (!IsMacroInUse(stores_, macros_[selected_], prompter_).mayDelete) return false;
  // Keys of other slots that play a later macro would otherwise keep its old
  // place on the keyboard: a missing macro, or after the next full write the
  // first one.
  if (DeletionMovesMacrosInUse(store_, macros_, static_cast<std::size_t>(selected_)))
    stores_.RewriteAllProfiles = true;
  macros_.erase(macros_.begin() + selected_);
  if (macros_.empty()) {
    selected_ = -1;
  } else {
    selected_ = selected_ > 0 ? selected_ - 1 : 0;
  }
  changed_ = true;
  return true;
}

std::vector<RecordRef> MacroListModel::Apply() {
  auto lock = store_.Lock();
  std::vector<RecordRef> reset = ReconcileWithMacroList(store_, macros_);
  for (MacroRecord& macro : macros_) macro.isNew = 0;
  store_.macros = macros_;
  changed_ = false;
  return reset;
}

}  // namespace keyloom::keys
