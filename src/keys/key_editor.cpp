#include "keys/key_editor.h"

#include <algorithm>

#include "keys/key_prompts.h"
#include "keys/keymap_image.h"
#include "keys/macro_record.h"
#include "platform/text.h"

namespace keyloom::keys {

namespace {

using Outcome = KeyChange::Outcome;

bool TableInRange(int table) { return table >= 0 && table < kProfileTableCount; }

// A G key's number (1..9) of a G record, either bank; 0 elsewhere.
int GNumberOfRecord(int record) {
  if (record < kFirstGRecord || record > kLastGRecord) return 0;
  return (record - kFirstGRecord) % kGRecordsPerBank + 1;
}

std::u16string GName(int g) { return u"G" + std::u16string(1, char16_t(u'0' + g)); }

KeyDescription DescriptionOf(const KeyMacroStore& store, int record, const KeyAssignment& assignment) {
  KeyDescription d;
  d.record = record;
  d.code = KeyCodeOfRecord(record);
  d.g_number = GNumberOfRecord(record);
  d.name = d.g_number ? GName(d.g_number) : GetKeyName(d.code);
  d.assignment = assignment;
  d.assigned = assignment.kind != 0;
  d.description = KeyPromptText(store, d.name, assignment);
  // The button's prompt names no action for these kinds; say what they do.
  if (assignment.kind == std::uint16_t(KeyKind::Disabled))
    d.description += u"Disabled";
  else if (assignment.kind == std::uint16_t(KeyKind::StopMacro))
    d.description += u"Stop macro";
  return d;
}

}  // namespace

MacroByName FindMacroByName(std::span<const MacroRecord> macros, std::u16string_view name) {
  MacroByName found;
  int folded = -1;
  for (std::size_t i = 0; i < macros.size(); ++i) {
    if (macros[i].name == name) return {int(i), 0};
    if (text::EqualsIgnoreCase(macros[i].name, name)) {
      if (folded < 0) folded = int(i);
      ++found.folded_matches;
    }
  }
  if (found.folded_matches == 1) found.position = folded;
  return found;
}

KeyCode KeyCodeOfRecord(int record) {
  if (const int g = GNumberOfRecord(record)) return KeyCode(kFirstGKeyCode + g - 1);
  if (record < 0 || record >= kFirstGRecord) return 0;
  const KeyCode code = SlotToKeyCode(std::uint16_t(record));
  return PanelIndexOfKeyCode(code) >= 0 && KeyCodeToSlot(code) == record ? code : 0;
}

bool KeyboardHasKey(const device::DeviceLink& link, KeyCode code) {
  const device::KeyMap factory = link.DefaultKeyMap();
  const std::uint32_t count =
      std::min<std::uint32_t>(link.DeviceTable.KeyCount.load(), std::uint32_t(factory.size() / kTripleBytes));
  for (std::uint32_t d = 0; d < count; ++d) {
    const std::uint8_t* t = factory.data() + d * kTripleBytes;
    if (TripleToKeyCode(t[0], t[1], t[2]) == code) return true;
  }
  return false;
}

KeyChange ResolveKeyChoice(const KeyMacroStore& store, int record, const KeyChoice& choice) {
  KeyChange change;
  change.record = record;
  change.code = KeyCodeOfRecord(record);
  if (change.code == 0) {
    change.outcome = Outcome::kNoSuchKey;
    return change;
  }
  auto refuse = [&](Outcome outcome) {
    change.outcome = outcome;
    return change;
  };
  switch (choice.kind) {
    case KeyKind::Default:
    case KeyKind::Disabled:
    case KeyKind::StopMacro:
      change.stored = MakeAssignment(record, choice.kind, 0);
      return change;
    case KeyKind::SingleKey: {
      if (choice.value > 0xFFFF || (choice.value != 0 && KeyCodeToSlot(KeyCode(choice.value)) >= kSlotCount))
        return refuse(Outcome::kBadEntry);
      // No key captured, or the key itself: the key does what it does by default.
      const bool itself = record < kFirstGRecord && choice.value != 0 &&
                          KeyCodeToSlot(KeyCode(choice.value)) == record;
      change.stored = choice.value == 0 || itself ? MakeAssignment(record, KeyKind::Default, 0)
                                                  : MakeAssignment(record, KeyKind::SingleKey, choice.value);
      return change;
    }
    case KeyKind::Media:
    case KeyKind::Function: {
      const std::uint32_t entries = choice.kind == KeyKind::Media ? std::uint32_t(kMediaKeyCount)
                                                                  : std::uint32_t(kFunctionKeyCount);
      if (choice.value >= entries) return refuse(Outcome::kBadEntry);
      change.stored = MakeAssignment(record, choice.kind, choice.value);
      return change;
    }
    case KeyKind::Macro: {
      auto lock = store.Lock();
      int position = -1;
      if (!choice.macro_name.empty()) {
        const MacroByName found = FindMacroByName(store.macros, choice.macro_name);
        if (found.position < 0) {
          change.macro_matches = found.folded_matches;
          return refuse(found.folded_matches > 1 ? Outcome::kAmbiguousMacro : Outcome::kNoSuchMacro);
        }
        position = found.position;
      } else if (choice.value == 0) {
        // Nothing selected in an empty list: the key keeps its default.
        if (!store.macros.empty()) return refuse(Outcome::kNoSuchMacro);
        change.stored = MakeAssignment(record, KeyKind::Default, 0);
        return change;
      } else {
        const auto it = std::find_if(store.macros.begin(), store.macros.end(),
                                     [&](const MacroRecord& m) { return m.id == choice.value; });
        if (it == store.macros.end()) return refuse(Outcome::kNoSuchMacro);
        position = int(it - store.macros.begin());
      }
      const MacroRecord& macro = store.macros[std::size_t(position)];
      const std::uint8_t cycles = choice.cycles ? ClampMacroCycles(*choice.cycles) : macro.cycles;
      change.stored = MakeAssignment(record, KeyKind::Macro, macro.id, cycles);
      return change;
    }
    case KeyKind::LaunchProgram:
    case KeyKind::TextBlock:
      break;
  }
  return refuse(Outcome::kNotEditable);
}

KeyEdit KeyEditor::Assign(int table, std::span<const KeyRequest> requests) {
  KeyEdit edit;
  KeyMacroStore& store = stores_.EditingStore;
  // Every request is checked before anything is stored.
  for (const KeyRequest& request : requests) {
    KeyChange change = ResolveKeyChoice(store, request.record, request.choice);
    if (!TableInRange(table)) change.outcome = Outcome::kNoSuchKey;
    if (!change.Ok() && edit.refused < 0) edit.refused = int(edit.changes.size());
    edit.changes.push_back(std::move(change));
  }
  if (!edit.Ok()) return edit;
  for (KeyChange& change : edit.changes) {
    // In range, so the store takes it.
    StoreAssignment(store, table, change.record, change.stored);
    change.stored = ReadAssignment(store, table, change.record);
    change.keyboard_has_key = change.stored.kind == 0 || KeyboardHasKey(link_, change.code);
  }
  return edit;
}

KeyChange KeyEditor::Assign(int table, int record, const KeyChoice& choice) {
  const KeyRequest request{record, choice};
  return Assign(table, std::span<const KeyRequest>(&request, 1)).changes.front();
}

bool KeyEditor::Reset(int table, int g_bank) {
  return TableInRange(table) && !ResetPanelAssignments(stores_.EditingStore, table, g_bank).empty();
}

std::vector<KeyDescription> KeyEditor::Describe(int table, int g_bank) const {
  std::vector<KeyDescription> keys;
  const KeyMacroStore& store = stores_.EditingStore;
  for (const ButtonPrompt& prompt : RefreshKeyPrompts(store, table, g_bank))
    keys.push_back(DescriptionOf(store, prompt.record, ReadAssignment(store, table, prompt.record)));
  return keys;
}

std::optional<KeyDescription> KeyEditor::DescribeKey(int table, int record) const {
  if (!TableInRange(table) || KeyCodeOfRecord(record) == 0) return std::nullopt;
  const KeyMacroStore& store = stores_.EditingStore;
  return DescriptionOf(store, record, ReadAssignment(store, table, record));
}

}  // namespace keyloom::keys
