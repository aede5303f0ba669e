#include "keys/key_macro_store.h"

namespace keyloom::keys {
namespace {

bool InRange(int profile, int record) {
  return profile >= 0 && profile < kProfileTableCount && record >= 0 && record < kRecordsPerTable;
}

}  // namespace

KeyMacroStore::KeyMacroStore() = default;

std::uint16_t KeyMacroStore::MacroCount() const {
  auto lock = Lock();
  return static_cast<std::uint16_t>(macros.size());
}

void KeyMacroStore::SetString(int slotIndex, std::u16string text) {
  if (slotIndex < 0 || slotIndex >= kStringSlotCount) return;
  auto lock = Lock();
  StringSlot& slot = strings[slotIndex];
  totalStringSize -= slot.size;
  if (text.empty()) {
    slot = StringSlot{};
    return;
  }
  slot.size = static_cast<std::uint32_t>((text.size() + 1) * 2);
  slot.text = std::move(text);
  totalStringSize += slot.size;
}

void KeyMacroStore::FreeString(int slotIndex) { SetString(slotIndex, {}); }

void KeyMacroStore::Clear() {
  auto lock = Lock();
  block = KeyTableBlock{};
  macros.clear();
  strings.fill(StringSlot{});
  totalStringSize = 0;
}

int StoreAssignment(KeyMacroStore& store, int profile, int record, const KeyAssignment& assignment) {
  if (!InRange(profile, record)) return 0;
  KeyAssignment stored = assignment;
  if (stored.kind == static_cast<std::uint16_t>(KeyKind::SingleKey) && stored.value != 0 &&
      record < 256 && stored.value <= 0xFFFF &&
      KeyCodeToSlot(static_cast<KeyCode>(stored.value)) == record) {
    stored.kind = static_cast<std::uint16_t>(KeyKind::Default);
    stored.value = 0;
  }
  auto lock = store.Lock();
  if (!KindKeepsString(stored.kind)) store.FreeString(StringSlotIndex(profile, record));
  KeyAssignment& target = store.block.tables[profile][record];
  stored.mark = target.mark;
  target = stored;
  return 1;
}

KeyAssignment ReadAssignment(const KeyMacroStore& store, int profile, int record) {
  if (!InRange(profile, record)) return {};
  auto lock = store.Lock();
  return store.block.tables[profile][record];
}

bool IsMarked(const KeyMacroStore& store, int profile, int markRecord) {
  return ReadAssignment(store, profile, markRecord).mark != 0;
}

bool ToggleMark(KeyMacroStore& store, int profile, int markRecord) {
  if (!InRange(profile, markRecord)) return false;
  auto lock = store.Lock();
  std::uint32_t& mark = store.block.tables[profile][markRecord].mark;
  mark = mark ? 0 : 1;
  return mark != 0;
}

}  // namespace keyloom::keys
