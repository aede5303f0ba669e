#include "cli/editing_session.h"

#include <atomic>
#include <filesystem>
#include <mutex>

#include "app/settings_paths.h"
#include "cli/progress_line.h"
#include "keys/keyboard_writer.h"
#include "keys/macro_lookups.h"
#include "profiles/active_slot.h"
#include "profiles/connection_handler.h"
#include "profiles/data_folder.h"
#include "profiles/editing_lock.h"
#include "profiles/keyboard_profile.h"
#include "profiles/profile_file.h"
#include "profiles/slot_switch.h"

namespace keyloom::cli {

namespace {

constexpr auto kConnectTimeout = std::chrono::seconds(3);

}  // namespace

// What a keyloomctl run does with what the core tells it: as the main
// window does, each connection reloads the keys and macros from the
// keyboard (on the monitor's thread, within the connection's hook); there is
// no panel, window or editor to act on otherwise.
class EditingSession::Sink : public profiles::EventSink {
 public:
  explicit Sink(profiles::KeyboardSession& session) : session_(session) {}
  void ConnectionChanged(bool connected, std::uint16_t, std::uint16_t) override {
    if (!connected) return;
    profiles::ReloadFromKeyboard(session_);
    reloads.fetch_add(1);
  }

  std::atomic<int> reloads{0};

 private:
  profiles::KeyboardSession& session_;
};

EditingSession::EditingSession(CommandIo& io)
    : io_(io), session_(Session(io)), sink_(std::make_unique<Sink>(session_)), keyboard_(session_.link) {}

EditingSession::~EditingSession() {
  keyboard_.Close();
  if (opened_) {
    session_.SetSink(nullptr);
    session_.windows.RunApply = nullptr;
  }
}

bool EditingSession::Open(std::string& reason) {
  // The working profile lives in the per-user data folder.
  if (app::Paths().AppDir.empty()) app::InitProgramPaths();
  if (app::Paths().UserDataDir.empty()) app::InitUserPaths();
  const std::filesystem::path working = profiles::WorkingProfilePath();
  if (working.empty()) {
    reason = "the per-user data folder could not be made";
    return false;
  }

  opened_ = true;
  session_.SetSink(sink_.get());
  // The unapplied flag matters to slot switching, which asks before
  // dropping edits, and its Yes runs Apply.
  session_.windows.RunApply = [this] { profiles::ApplyPendingEdits(session_); };
  // Each run starts as the program does: no connection seen, slot unknown.
  session_.profiles.LastConnectionState.store(0);
  profiles::ForgetActiveSlot(session_);
  const int reloads_before = sink_->reloads.load();

  bool connected = false;
  {
    ProgressLine progress(io_.err, io_.err_is_terminal, "Reading the keyboard");
    connected = keyboard_.Connect(kConnectTimeout, reason,
                                  [this](int state) { profiles::HandleConnectionChange(session_, state); });
  }
  if (!connected) return false;
  if (sink_->reloads.load() == reloads_before) {
    reason = "the keyboard's keys and macros were not reloaded";
    return false;
  }
  active_slot_ = profiles::GetActiveSlot(session_);
  if (active_slot_ < 0) {
    reason = "could not read the keyboard's active slot";
    return false;
  }
  // A reload that could not read the keyboard leaves an empty store, which
  // must never be written back over the keyboard's keys and macros.
  if (!profiles::LastReloadReadKeyboard(session_)) {
    reason = "could not read the keyboard's key maps and macros";
    return false;
  }
  return true;
}

bool EditingSession::OpenOrFail(int& status) {
  std::string reason;
  if (Open(reason)) return true;
  status = Failure(io_, reason);
  return false;
}

bool EditingSession::Apply(bool all_slots, int slot, std::string& reason) {
  int saved = 0;
  int written = 0;
  {
    profiles::EditingLock lock(session_);
    saved = profiles::SaveWorkingProfile(session_, false);
    keys::KeyboardWriteState& state = session_.stores.WriteState;
    const int current = state.currentProfile.load();
    if (slot >= 0) state.currentProfile.store(slot);
    {
      ProgressLine progress(io_.err, io_.err_is_terminal, "Writing to the keyboard");
      written = keys::WriteKeysAndMacros(session_.link, session_.stores, session_.Prompter(), all_slots);
    }
    state.currentProfile.store(current);
  }
  if (saved == 1 && written == 1) {
    session_.windows.MainWindowHasUnappliedChanges.store(false);
    return true;
  }
  const std::uint32_t capacity = session_.stores.WriteState.macroCapacity.load();
  const std::uint32_t needed = keys::MacroImageSizes(session_.stores.EditingStore).compact;
  if (written != 1 && needed > capacity)
    reason = "nothing was written: the macros need " + std::to_string(needed) + " bytes of the keyboard's " +
             std::to_string(capacity);
  else if (written != 1)
    reason = "the keyboard did not take the keys and macros";
  else
    reason = "could not save the working profile " + profiles::WorkingProfilePath().string();
  return false;
}

}  // namespace keyloom::cli
