#pragma once
// The record-delays setting of the macro recorder: measured pauses (1) or a
// fixed 50 ms (0). Kept in section "PROFILES" of the settings store under the
// localised name of the setting, as "0" or "1".
namespace keyloom::app {

// A missing value reads as off; a stored value other than 0 or 1 is saved
// back as 0.
bool ReadRecordDelaysSetting();
// Saves the setting at once.
void WriteRecordDelaysSetting(bool on);

}  // namespace keyloom::app
