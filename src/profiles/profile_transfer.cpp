#include "profiles/profile_transfer.h"

#include "keys/keyboard_writer.h"
#include "keys/text_source.h"
#include "lighting/lighting_operations.h"
#include "lighting/lighting_state.h"
#include "profiles/active_slot.h"
#include "profiles/editing_lock.h"
#include "profiles/profile_file.h"

namespace keyloom::profiles {

namespace {

constexpr int kReportRateCount = 4;

void ShowImportFailed(host::Prompter& prompter) {
  host::MessageBoxRequest request;
  request.text = keys::LookUpText("MAIN_PROMPT_INPORT");
  request.buttons = host::Buttons::Ok;
  prompter.Ask(request);
}

// The setting and the record's byte, without telling the windows; false for
// an index that is no report rate.
bool SetReportRate(KeyboardSession& session, int index) {
  if (index < 0 || index >= kReportRateCount) return false;
  session.lighting.CurrentLighting.report_rate = index;
  (void)lighting::WriteLightingField(session.link, session.lighting, lighting::field::kReportRate,
                                     {static_cast<std::uint8_t>(index)});
  return true;
}

}  // namespace

void ApplyReportRate(KeyboardSession& session, int index) {
  if (SetReportRate(session, index)) session.Sink().ReportRateChanged(index);
}

int ImportProfile(KeyboardSession& session, const std::filesystem::path& path, int* keyboardResult,
                  keys::WriteOutcome* outcome) {
  if (keyboardResult) *keyboardResult = 0;
  if (ValidateProfileFile(path, session.Prompter()) <= 0) {
    ShowImportFailed(session.Prompter());
    return 0;
  }
  int rate = 0;
  bool rateSet = false;
  int table = 0;
  int written = 0;
  bool loaded = false;
  {
    EditingLock lock(session);
    loaded = LoadProfileFile(session, path) == 1;
    if (loaded) {
      rate = session.lighting.CurrentLighting.report_rate;
      rateSet = SetReportRate(session, rate);
      SaveWorkingProfileLocked(session);
      written = keys::WriteKeysAndMacros(session.link, session.stores, session.Prompter(), true, outcome);
      if (keyboardResult) *keyboardResult = written;
      table = PanelTable(session);
    }
  }
  // The message waits until the lock is released: no lock is held across a
  // question to the user.
  if (!loaded) {
    ShowImportFailed(session.Prompter());
    return 0;
  }
  // What did not reach the keyboard stays to be applied.
  session.windows.MainWindowHasUnappliedChanges.store(written != 1);
  if (rateSet) session.Sink().ReportRateChanged(rate);
  session.Sink().KeyMapsChanged(table);
  return 1;
}

int ExportProfile(KeyboardSession& session, const std::filesystem::path& path) {
  EditingLock lock(session);
  return ExportProfileFileLocked(session, path);
}

}  // namespace keyloom::profiles
