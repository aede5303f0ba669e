#include "keys/key_dialog_model.h"

#include <algorithm>

#include "keys/macro_editor.h"
#include "keys/text_source.h"
#include "platform/text.h"

namespace keyloom::keys {

namespace {
bool TabKind(KeyKind kind) {
  return kind == KeyKind::Macro || kind == KeyKind::Media || kind == KeyKind::Function;
}
const std::vector<MacroAction> kNoActions;
}  // namespace

PauseEdit KeepPause(long long typed) {
  PauseEdit edit;
  long long value = typed;
  if (value > static_cast<long long>(kMaxTypedPauseMs)) {
    edit.message = "MACRO_ACTION_ERR_DELAY_MAX";
    edit.message_value = kMaxTypedPauseMs;
    value = kMaxTypedPauseMs;
  } else if (value < 0) {
    edit.message = "MACRO_ACTION_ERR_DELAY_MIN";
    edit.message_value = 0;
    value = 0;
  }
  edit.kept = static_cast<std::uint32_t>(value / 10 * 10);
  return edit;
}

KeyDialogModel::KeyDialogModel(KeyStores& stores, host::Prompter& prompter, int table, int record, bool macro_only)
    : stores_(stores), prompter_(prompter), table_(table), record_(record), macro_only_(macro_only),
      macros_(stores, prompter) {
  opened_ = ReadAssignment(stores.EditingStore, table, record);
  kind_ = static_cast<KeyKind>(opened_.kind);
  switch (kind_) {
    case KeyKind::SingleKey:
      // Keyboard mode, showing the key it sends.
      captured_ = static_cast<KeyCode>(opened_.value);
      if (captured_ == 0) kind_ = KeyKind::Default;
      break;
    case KeyKind::Media:
      if (opened_.value < kMediaKeyCount) media_ = static_cast<int>(opened_.value);
      break;
    case KeyKind::Function:
      if (opened_.value < std::uint32_t(kFunctionKeyCount)) function_ = static_cast<int>(opened_.value);
      break;
    case KeyKind::Macro: {
      const auto& list = macros_.Macros();
      const auto it = std::find_if(list.begin(), list.end(), [&](const MacroRecord& m) { return m.id == opened_.value; });
      if (it != list.end()) macros_.Select(static_cast<int>(it - list.begin()));
      break;
    }
    default:
      break;
  }
  if (macro_only_) kind_ = KeyKind::Macro;
}

KeyDialogTab KeyDialogModel::Tab() const {
  switch (kind_) {
    case KeyKind::Macro:
      return KeyDialogTab::kMacro;
    case KeyKind::Media:
      return KeyDialogTab::kMedia;
    case KeyKind::Function:
      return KeyDialogTab::kFunction;
    default:
      return KeyDialogTab::kSingleKey;
  }
}

bool KeyDialogModel::ChooseTab(KeyDialogTab tab) {
  if (tab == Tab() || (macro_only_ && tab != KeyDialogTab::kMacro)) return false;
  switch (tab) {
    case KeyDialogTab::kSingleKey:
      kind_ = captured_ != 0 ? KeyKind::SingleKey : KeyKind::Default;
      break;
    case KeyDialogTab::kMacro:
      kind_ = KeyKind::Macro;
      break;
    case KeyDialogTab::kMedia:
      kind_ = KeyKind::Media;
      break;
    case KeyDialogTab::kFunction:
      kind_ = KeyKind::Function;
      break;
  }
  key_touched_ = true;
  changed_ = true;
  return true;
}

bool KeyDialogModel::KeyEvent(KeyCode code, bool press, bool repeat) {
  if (code == 0 || IsMediaKeyCode(code)) return false;
  if (Tab() != KeyDialogTab::kSingleKey || macro_only_) return true;
  if ((press && !repeat) || code == kPrintScreenCode) {
    captured_ = code;
    kind_ = KeyKind::SingleKey;
    key_touched_ = true;
    changed_ = true;
  }
  return true;
}

void KeyDialogModel::Clear() {
  if (macro_only_) return;
  captured_ = 0;
  kind_ = KeyKind::Default;
  key_touched_ = true;
  changed_ = true;
}

bool KeyDialogModel::SelectMedia(int entry) {
  if (entry < 0 || entry >= static_cast<int>(kMediaKeyCount)) return false;
  media_ = entry;
  key_touched_ = true;
  changed_ = true;
  return true;
}

bool KeyDialogModel::SelectFunction(int entry) {
  if (entry < 0 || entry >= kFunctionKeyCount) return false;
  function_ = entry;
  key_touched_ = true;
  changed_ = true;
  return true;
}

const MacroRecord* KeyDialogModel::Macro() const {
  const int at = macros_.Selected();
  return at >= 0 && at < static_cast<int>(macros_.Macros().size()) ? &macros_.Macros()[std::size_t(at)] : nullptr;
}

MacroListModel::AddResult KeyDialogModel::AddMacro() {
  const auto result = macros_.Add();
  if (result == MacroListModel::AddResult::Added) key_touched_ = changed_ = true;
  return result;
}

bool KeyDialogModel::DeleteMacro() {
  if (!macros_.Delete()) return false;
  changed_ = true;
  return true;
}

void KeyDialogModel::RenameMacro(std::u16string_view typed) {
  macros_.Rename(typed);
  changed_ = true;
}

void KeyDialogModel::SelectMacro(int position) {
  if (position == macros_.Selected()) return;
  macros_.Select(position);
  key_touched_ = changed_ = true;
}

std::uint8_t KeyDialogModel::SetCycles(long long typed) {
  const std::uint8_t cycles = ClampMacroCycles(typed);
  if (MacroRecord* macro = macros_.SelectedMacro()) {
    macro->cycles = cycles;
    key_touched_ = changed_ = true;
  }
  return cycles;
}

std::uint8_t KeyDialogModel::Cycles() const {
  const MacroRecord* macro = Macro();
  return macro ? macro->cycles : kMinCycles;
}

const std::vector<MacroAction>& KeyDialogModel::Actions() const {
  const MacroRecord* macro = Macro();
  return macro ? macro->actions : kNoActions;
}

std::vector<MacroAction>* KeyDialogModel::EditableActions() {
  MacroRecord* macro = macros_.SelectedMacro();
  return macro ? &macro->actions : nullptr;
}

MacroAction* KeyDialogModel::Action(int row) {
  std::vector<MacroAction>* actions = EditableActions();
  if (!actions || row < 0 || row >= static_cast<int>(actions->size())) return nullptr;
  return &(*actions)[std::size_t(row)];
}

bool KeyDialogModel::DeleteAction(int row) {
  if (!Action(row)) return false;
  std::vector<MacroAction>& actions = *EditableActions();
  actions.erase(actions.begin() + row);
  changed_ = true;
  return true;
}

bool KeyDialogModel::ClearActions() {
  std::vector<MacroAction>* actions = EditableActions();
  if (!actions || actions->empty()) return false;
  host::MessageBoxRequest request;
  request.text = LookUpText("MACRO_ACTION_CLEAR_CONFIRM");
  request.buttons = host::Buttons::YesNo;
  request.default_button = host::Answer::No;
  if (prompter_.Ask(request) != host::Answer::Yes) return false;
  actions->clear();
  changed_ = true;
  return true;
}

int KeyDialogModel::MoveAction(int row, long long target) {
  if (!Action(row)) return -1;
  std::vector<MacroAction>& actions = *EditableActions();
  const int last = static_cast<int>(actions.size()) - 1;
  const int to = target < 0 ? 0 : target > last ? last : static_cast<int>(target);
  if (to == row) return row;
  const MacroAction moved = actions[std::size_t(row)];
  actions.erase(actions.begin() + row);
  actions.insert(actions.begin() + to, moved);
  changed_ = true;
  return to;
}

bool KeyDialogModel::EditActionKey(int row, int list_position) {
  MacroAction* action = Action(row);
  if (!action || list_position < 0 || list_position >= 106) return false;
  const KeyCode code = ListPosToKeyCode(static_cast<std::uint16_t>(list_position));
  if (code == 0) return false;
  if (action->code != code) changed_ = true;
  action->code = code;
  return true;
}

bool KeyDialogModel::EditActionState(int row, std::uint16_t state) {
  MacroAction* action = Action(row);
  if (!action || (state != kPress && state != kRelease)) return false;
  if (action->state != state) changed_ = true;
  action->state = state;
  return true;
}

std::uint32_t KeyDialogModel::EditActionPause(int row, long long typed) {
  MacroAction* action = Action(row);
  const PauseEdit edit = KeepPause(typed);
  if (!edit.message.empty()) {
    host::MessageBoxRequest request;
    request.text = text::Format(LookUpText(edit.message), {std::int64_t{edit.message_value}});
    prompter_.Ask(request);
  }
  if (action) {
    if (action->delay != edit.kept) changed_ = true;
    action->delay = edit.kept;
  }
  return edit.kept;
}

KeyChoice KeyDialogModel::Choice() const {
  switch (kind_) {
    case KeyKind::SingleKey:
      return KeyChoice::SingleKey(captured_);
    case KeyKind::Macro: {
      const MacroRecord* macro = Macro();
      if (!macro) return KeyChoice::Default();
      return KeyChoice::Macro(macro->id, macro->cycles);
    }
    case KeyKind::Media:
      return KeyChoice::Media(media_);
    case KeyKind::Function:
      return KeyChoice::Function(function_);
    default:
      return KeyChoice::Default();
  }
}

KeyChange KeyDialogModel::Apply(const device::DeviceLink& link) {
  macros_.Apply();
  KeyEditor editor(stores_, link);
  KeyChange change;
  const bool makeable = kind_ == KeyKind::Default || kind_ == KeyKind::SingleKey || TabKind(kind_);
  if (!makeable && !key_touched_) {
    // Something the dialog cannot make, left alone by the user: kept.
    change.record = record_;
    change.code = KeyCodeOfRecord(record_);
    change.stored = ReadAssignment(stores_.EditingStore, table_, record_);
  } else {
    change = editor.Assign(table_, record_, Choice());
    if (change.Ok() && kind_ == KeyKind::SingleKey && change.stored.kind == 0) kind_ = KeyKind::Default;
  }
  // The record the store now holds is what a later Apply starts from.
  opened_ = ReadAssignment(stores_.EditingStore, table_, record_);
  if (kind_ == KeyKind::Default) captured_ = 0;
  changed_ = false;
  macros_.ClearChanged();
  return change;
}

}  // namespace keyloom::keys

namespace keyloom::keys {

ScreenPoint PlaceBesideKey(const ScreenRect& key, int w, int h, int W, int H) {
  const bool right = W - key.right >= w, left = key.left >= w;
  const bool below = H - key.bottom >= h, above = key.top >= h;
  if (right && below) return {key.right, key.bottom};
  if (right && above) return {key.right, key.top - h};
  if (left && below) return {key.left - w, key.bottom};
  if (left && above) return {key.left - w, key.top - h};
  // Fits beside the key nowhere: below-right, moved back onto the screen as
  // far as it goes, so the dialog's buttons stay reachable.
  const int x = std::max(0, std::min(key.right, W - w));
  const int y = std::max(0, std::min(key.bottom, H - h));
  return {x, y};
}

int RecordOfKeyButton(int control_id, int g_bank) {
  const auto g = GKeyControlIds();
  for (std::size_t i = 0; i < g.size(); ++i)
    if (g[i] == control_id) return GKeyRecordIndex(static_cast<int>(i), g_bank);
  for (const PanelOrderKey& key : PanelOrderKeys())
    if (key.controlId == control_id) return KeyCodeToSlot(key.code);
  return -1;
}

}  // namespace keyloom::keys
