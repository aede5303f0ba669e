#include "profiles/profile_editor.h"

#include <system_error>

#include "profiles/active_slot.h"
#include "profiles/editing_lock.h"
#include "profiles/keyboard_profile.h"
#include "profiles/profile_transfer.h"

namespace keyloom::profiles {

namespace fs = std::filesystem;

namespace {

ProfileSummary Summarise(const keys::KeyTableBlock& block, std::size_t macros, std::uint32_t text_bytes) {
  ProfileSummary s;
  s.macros = static_cast<int>(macros);
  s.text_bytes = text_bytes;
  for (int p = 0; p < kProfileSlotCount; ++p)
    for (const keys::KeyAssignment& r : block.tables[std::size_t(p)]) s.assigned[std::size_t(p)] += r.kind != 0;
  return s;
}

// The rate a file's trailer stores (its low 16 bits), if any.
void TakeStoredRate(ProfileSummary& s, const std::optional<std::uint32_t>& trailer) {
  if (!trailer) return;
  s.report_rate = *trailer & 0xFFFF;
  s.rate_out_of_range = *s.report_rate > kHighestReportRate;
}

}  // namespace

ProfileSummary SummariseProfile(const LoadedProfile& loaded) {
  ProfileSummary s = Summarise(loaded.block, loaded.macros.size(), loaded.totalStringSize);
  TakeStoredRate(s, loaded.trailer);
  return s;
}

ProfileSummary SummariseEditingStore(KeyboardSession& session) {
  EditingLock lock(session);
  const keys::KeyMacroStore& store = session.stores.EditingStore;
  return Summarise(store.block, store.macros.size(), store.totalStringSize);
}

std::vector<WritePart> PartsNotTaken(const keys::WriteOutcome& outcome) {
  using device::CommandResult;
  std::vector<WritePart> parts;
  if (outcome.begin != CommandResult::kOk) parts.push_back({WritePart::Kind::kBegin});
  if (outcome.macroArea != CommandResult::kOk) parts.push_back({WritePart::Kind::kMacros});
  for (std::size_t p = 0; p < outcome.keyMaps.size(); ++p)
    if (outcome.keyMapSent[p] && outcome.keyMaps[p] != CommandResult::kOk)
      parts.push_back({WritePart::Kind::kKeyMap, int(p)});
  if (outcome.end != CommandResult::kOk) parts.push_back({WritePart::Kind::kEnd});
  return parts;
}

ProfileCheck ProfileEditor::Check(const fs::path& file, LoadedProfile& loaded, bool regular_file_only) {
  using Outcome = ProfileCheck::Outcome;
  ProfileCheck check;
  std::error_code ec;
  if (regular_file_only && !fs::is_regular_file(file, ec)) return {Outcome::kNotAFile, 0};
  if (!fs::exists(file, ec)) return {Outcome::kMissing, 0};
  const int result = ValidateProfileFile(file, session_.Prompter());
  if (result == -2) return {Outcome::kCannotOpen, 0};
  if (result != 1) {
    const std::uintmax_t size = fs::file_size(file, ec);
    if (!ec && size < kProfileBlockBytes) return {Outcome::kTooShort, size};
    return {Outcome::kBadFormat, ec ? 0 : size};
  }
  // The header is right; the rest must load too.
  if (!ReadProfileFile(file, loaded)) return {Outcome::kUnreadable, 0};
  return check;
}

ProfileExport ProfileEditor::Export(const fs::path& file) {
  ProfileExport result;
  result.written = ExportProfile(session_, file) == 1;
  result.summary = SummariseEditingStore(session_);
  result.summary.report_rate = static_cast<std::uint32_t>(session_.lighting.CurrentLighting.report_rate);
  return result;
}

ProfileRestore ProfileEditor::Restore(const fs::path& file, const LoadedProfile& checked) {
  ProfileRestore result;
  // Loading the file sets the rate it stores, in range or not; the keyboard
  // only takes one in range, and otherwise keeps its own.
  const int rate_before = session_.lighting.CurrentLighting.report_rate;
  int written = 0;
  if (ImportProfile(session_, file, &written, &result.write) != 1) {
    result.outcome = ProfileRestore::Outcome::kNotLoaded;
    return result;
  }
  if (written != 1) {
    result.outcome = ProfileRestore::Outcome::kKeyboardRefused;
    if (result.write.sent) result.not_taken = PartsNotTaken(result.write);
  }
  result.summary = SummariseEditingStore(session_);
  TakeStoredRate(result.summary, checked.trailer);
  if (!result.summary.report_rate || result.summary.rate_out_of_range)
    result.summary.kept_rate = static_cast<std::uint32_t>(rate_before);
  return result;
}

ProfileRead ProfileEditor::ReadKeyboard(const fs::path& file) {
  ProfileRead result;
  if (GetActiveSlot(session_) < 0) {
    result.outcome = ProfileRead::Outcome::kNoActiveSlot;
    return result;
  }
  ReloadFailure failure;
  if (ReadProfileFromKeyboard(session_, file, &failure) != 1) {
    result.outcome = failure.step == ReloadStep::kFileWrite ? ProfileRead::Outcome::kWriteFailed
                                                            : ProfileRead::Outcome::kReadFailed;
    result.error = failure.error;
    return result;
  }
  LoadedProfile loaded;
  if (!ReadProfileFile(file, loaded)) {
    result.outcome = ProfileRead::Outcome::kNoReadBack;
    return result;
  }
  result.summary = Summarise(loaded.block, loaded.macros.size(), loaded.totalStringSize);
  return result;
}

}  // namespace keyloom::profiles
