#include "keys/key_prompts.h"

#include "keys/key_catalogue.h"
#include "keys/text_source.h"

namespace keyloom::keys {
namespace {

bool ProfileIsCurrent(int profile) { return profile >= 0 && profile < kProfileTableCount; }

std::u16string GButtonName(int g) { return u"G" + std::u16string(1, static_cast<char16_t>(u'1' + g)); }

}  // namespace

std::u16string KeyPromptText(const KeyMacroStore& store, std::u16string_view keyName,
                             const KeyAssignment& record) {
  std::u16string text(keyName);
  if (record.kind != 0) {
    text += LookUpText("KEY_PROMPT_SET");
    switch (static_cast<KeyKind>(record.kind)) {
      case KeyKind::SingleKey:
        text += LookUpText("KEY_PROMPT_SINGLE");
        text += GetKeyName(static_cast<KeyCode>(record.value <= 0xFFFF ? record.value : 0));
        text += u")";
        break;
      case KeyKind::Macro: {
        text += LookUpText("KEY_PROMPT_MACRO");
        auto lock = store.Lock();
        for (const MacroRecord& macro : store.macros) {
          if (macro.id == record.value) {
            text += macro.name;
            break;
          }
        }
        text += u")";
        break;
      }
      case KeyKind::Media:
        text += LookUpText("KEY_PROMPT_MEDIA");
        if (record.value < kMediaKeyCount) text += GetKeyName(MediaKeys()[record.value].code);
        text += u")";
        break;
      case KeyKind::Function:
        text += LookUpText("KEY_PROMPT_FUNCTION");
        if (record.value < static_cast<std::uint32_t>(kFunctionKeyCount)) {
          text += FunctionKeyName(static_cast<int>(record.value));
        }
        text += u")";
        break;
      default:
        break;
    }
  }
  if (text.size() > kPromptCapacity - 1) text.resize(kPromptCapacity - 1);
  return text;
}

std::vector<ButtonPrompt> RefreshKeyPrompts(const KeyMacroStore& store, int profile, int gBank) {
  std::vector<ButtonPrompt> prompts;
  if (!ProfileIsCurrent(profile)) return prompts;
  const int bank = gBank == 1 ? 1 : 0;
  prompts.reserve(kPanelButtonCount);
  auto lock = store.Lock();
  const AssignmentTable& table = store.block.tables[profile];
  for (int g = 0; g < kGKeyCount; ++g) {
    const int record = GKeyRecordIndex(g, bank);
    prompts.push_back({GKeyControlIds()[g], record, KeyPromptText(store, GButtonName(g), table[record]),
                       table[record].kind != 0});
  }
  for (const PanelOrderKey& key : PanelOrderKeys()) {
    const int record = KeyCodeToSlot(key.code);
    prompts.push_back({key.controlId, record, KeyPromptText(store, GetKeyName(key.code), table[record]),
                       table[record].kind != 0});
  }
  return prompts;
}

std::vector<ButtonPrompt> ResetPanelAssignments(KeyMacroStore& store, int profile, int gBank) {
  if (!ProfileIsCurrent(profile)) return {};
  const int bank = gBank == 1 ? 1 : 0;
  auto lock = store.Lock();
  AssignmentTable& table = store.block.tables[profile];
  auto reset = [&](int record) {
    store.FreeString(StringSlotIndex(profile, record));
    table[record] = KeyAssignment{0, 0, 0, table[record].mark, 0};
  };
  for (const PanelOrderKey& key : PanelOrderKeys()) reset(KeyCodeToSlot(key.code));
  for (int g = 0; g < kGKeyCount; ++g) reset(GKeyRecordIndex(g, bank));
  return RefreshKeyPrompts(store, profile, bank);
}

}  // namespace keyloom::keys
