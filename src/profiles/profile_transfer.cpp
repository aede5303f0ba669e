#include "profiles/profile_transfer.h"

#include "keys/keyboard_writer.h"
#include "keys/text_source.h"
#include "lighting/lighting_operations.h"
#include "lighting/lighting_state.h"
#include "platform/host.h"
#include "profiles/active_slot.h"
#include "profiles/editing_lock.h"
#include "profiles/profile_file.h"
#include "profiles/profile_observer.h"

namespace keyloom::profiles {

namespace {

constexpr int kReportRateCount = 4;

void ShowImportFailed() {
  host::MessageBoxRequest request;
  request.text = keys::LookUpText("MAIN_PROMPT_INPORT");
  request.buttons = host::Buttons::Ok;
  host::Ask(request);
}

}  // namespace

void ApplyReportRate(int index) {
  if (index < 0 || index >= kReportRateCount) return;
  lighting::CurrentLighting().report_rate = index;
  Observer().ShowReportRate(index);
  lighting::WriteLightingField(lighting::field::kReportRate, {static_cast<std::uint8_t>(index)});
}

int ImportProfile(const std::filesystem::path& path, int* keyboardResult, keys::WriteOutcome* outcome) {
  if (keyboardResult) *keyboardResult = 0;
  if (ValidateProfileFile(path) <= 0) {
    ShowImportFailed();
    return 0;
  }
  int written = 0;
  {
    EditingLock lock;
    if (LoadProfileFile(path) != 1) {
      ShowImportFailed();
      return 0;
    }
    ApplyReportRate(lighting::CurrentLighting().report_rate);
    SaveWorkingProfile(false);
    written = keys::WriteKeysAndMacros(true, outcome);
    if (keyboardResult) *keyboardResult = written;
    Observer().RefreshKeyPanel(PanelTable());
  }
  // What did not reach the keyboard stays to be applied.
  Observer().SetMainWindowUnappliedChanges(written != 1);
  return 1;
}

int ExportProfile(const std::filesystem::path& path) {
  EditingLock lock;
  return ExportProfileFile(false, path);
}

}  // namespace keyloom::profiles
