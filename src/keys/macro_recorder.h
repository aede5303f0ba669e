#pragma once
// The macro recorder: key events typed while the key-setting dialog records
// become actions of the open macro. Each event's pause is the time since the
// previous one (or a fixed 50 ms when the record-delays setting is off); a
// pause belongs to the action it follows, so an inserted action hands its
// pause to the row before it. The dialog feeds key events and the time; the
// recorder decides what is recorded and what is swallowed.
#include <cstdint>
#include <vector>

#include "keys/key_catalogue.h"
#include "keys/macro_record.h"

namespace keyloom::keys {

// Inserts one action into a macro's rows: after `selected` when
// `after_selection` is set and a row is selected, otherwise at the end. The
// row before the new one takes `action.delay` (the time since its event);
// the new row takes the pause that row had, or 0 as the first row. A state
// above 1 is stored as a press. Returns the new row, or -1 when the list
// already holds 4000 rows (the action is dropped).
int InsertAction(std::vector<MacroAction>& rows, int selected, MacroAction action, bool after_selection);

// The fixed pause recorded when the record-delays setting is off.
inline constexpr std::uint32_t kFixedRecordPauseMs = 50;
// The pause before the press recorded for a key that reports only its release.
inline constexpr std::uint32_t kReleaseOnlyPressPauseMs = 2;

// Keys that report only their release: Sys Req, Print Screen and two keys of
// Japanese layouts.
bool ReportsOnlyRelease(KeyCode code);

class MacroRecorder {
 public:
  // What became of one key event.
  struct Outcome {
    bool swallow = false;  // the event is the recorder's: no other window sees it
    int selected = -1;     // the row recorded last (the next one goes after it)
    int recorded = 0;      // rows inserted
  };

  bool Recording() const { return recording_; }
  // Starts recording at `now_ms` (any steady millisecond clock); the first
  // event goes after row `selected` (-1: at the end).
  void Start(std::uint32_t now_ms, int selected);
  void Stop() { recording_ = false; }

  // One key event: `code` 0 for a key without a code. Media keys and keys
  // without a code pass on; a press repeating a key already down is
  // swallowed without recording.
  Outcome KeyEvent(std::vector<MacroAction>& rows, KeyCode code, bool release, bool auto_repeat,
                   std::uint32_t now_ms, bool record_delays);

 private:
  int RecordOne(std::vector<MacroAction>& rows, std::uint32_t pause, KeyCode code, std::uint16_t state,
                bool record_delays);

  bool recording_ = false;
  std::uint32_t last_tick_ = 0;
  int selected_ = -1;
};

}  // namespace keyloom::keys
