#include "keys/macro_recorder.h"

namespace keyloom::keys {

int InsertAction(std::vector<MacroAction>& rows, int selected, MacroAction action, bool after_selection) {
  if (rows.size() >= kMaxMacroActions) return -1;
  if (action.state > kRelease) action.state = kPress;
  const bool after = after_selection && selected >= 0 && static_cast<std::size_t>(selected) < rows.size();
  const std::size_t at = after ? static_cast<std::size_t>(selected) + 1 : rows.size();
  if (at == 0) {
    action.delay = 0;
  } else {
    const std::uint32_t before = rows[at - 1].delay;
    rows[at - 1].delay = action.delay;
    action.delay = before;
  }
  rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at), action);
  return static_cast<int>(at);
}

bool ReportsOnlyRelease(KeyCode code) { return code == 0x054 || code == 0x071 || code == 0x072 || code == 0x137; }

void MacroRecorder::Start(std::uint32_t now_ms, int selected) {
  recording_ = true;
  last_tick_ = now_ms;
  selected_ = selected;
}

int MacroRecorder::RecordOne(std::vector<MacroAction>& rows, std::uint32_t pause, KeyCode code, std::uint16_t state,
                             bool record_delays) {
  const int row = InsertAction(rows, selected_, {record_delays ? pause : kFixedRecordPauseMs, code, state}, true);
  if (row >= 0) selected_ = row;
  return row;
}

MacroRecorder::Outcome MacroRecorder::KeyEvent(std::vector<MacroAction>& rows, KeyCode code, bool release,
                                               bool auto_repeat, std::uint32_t now_ms, bool record_delays) {
  Outcome outcome;
  if (!recording_ || code == 0 || IsMediaKeyCode(code)) return outcome;
  outcome.swallow = true;
  if (auto_repeat && !release) {
    outcome.selected = selected_;
    return outcome;
  }
  if (ReportsOnlyRelease(code) && RecordOne(rows, kReleaseOnlyPressPauseMs, code, kPress, record_delays) >= 0)
    ++outcome.recorded;
  // Actions beyond the limit are dropped; recording goes on.
  if (RecordOne(rows, now_ms - last_tick_, code, release ? kRelease : kPress, record_delays) >= 0) ++outcome.recorded;
  last_tick_ = now_ms;
  outcome.selected = selected_;
  return outcome;
}

}  // namespace keyloom::keys
