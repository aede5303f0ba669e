#include "keys/macro_use.h"

#include "keys/text_source.h"
#include "platform/host.h"

namespace keyloom::keys {
namespace {
constexpr std::uint16_t kMacroKind = static_cast<std::uint16_t>(KeyKind::Macro);
}

MacroUse IsMacroInUse(KeyStores& stores, const MacroRecord& macro, host::Prompter& prompter) {
  KeyMacroStore& store = stores.EditingStore;
  if (macro.isNew == 1) return {};
  bool found = false;
  {
    auto lock = store.Lock();
    for (const AssignmentTable& table : store.block.tables) {
      for (const KeyAssignment& record : table) {
        if (record.kind == kMacroKind && record.value == macro.id) found = true;
      }
    }
  }
  if (!found) return {};
  stores.RewriteAllProfiles = true;
  host::MessageBoxRequest request;
  request.text = LookUpText("MACRO_DELETE_CONFIRM_OF_KEYS");
  request.buttons = host::Buttons::YesNo;
  request.default_button = host::Answer::Yes;
  const bool yes = prompter.Ask(request) == host::Answer::Yes;
  return MacroUse{true, yes};
}

bool DeletionMovesMacrosInUse(KeyMacroStore& store, std::span<const MacroRecord> macros, std::size_t position) {
  auto lock = store.Lock();
  for (std::size_t later = position + 1; later < macros.size(); ++later) {
    if (macros[later].isNew == 1) continue;
    for (const AssignmentTable& table : store.block.tables) {
      for (const KeyAssignment& record : table) {
        if (record.kind == kMacroKind && record.value == macros[later].id) return true;
      }
    }
  }
  return false;
}

std::vector<RecordRef> ReconcileWithMacroList(KeyMacroStore& store, std::span<const MacroRecord> macros) {
  std::vector<RecordRef> reset;
  auto lock = store.Lock();
  for (int p = 0; p < kProfileTableCount; ++p) {
    for (int i = 0; i < kRecordsPerTable; ++i) {
      KeyAssignment& record = store.block.tables[p][i];
      if (record.kind != kMacroKind) continue;
      if (record.value != 0) {
        const MacroRecord* found = nullptr;
        for (const MacroRecord& macro : macros) {
          if (macro.id == record.value) {
            found = &macro;
            break;
          }
        }
        if (found == nullptr || found->isNew != 0) {
          record.kind = 0;
          reset.push_back({p, i});
        }
      } else if (!macros.empty()) {
        record.value = macros.front().id;
      }
    }
  }
  return reset;
}

}  // namespace keyloom::keys
