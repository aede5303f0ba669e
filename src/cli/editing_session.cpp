#include "cli/editing_session.h"

#include <atomic>
#include <filesystem>
#include <mutex>
#include <utility>
#include <vector>

#include "app/settings_paths.h"
#include "cli/progress_line.h"
#include "keys/keyboard_writer.h"
#include "keys/macro_lookups.h"
#include "keys/text_source.h"
#include "platform/atomic_file.h"
#include "platform/host.h"
#include "platform/text.h"
#include "profiles/active_slot.h"
#include "profiles/connection_handler.h"
#include "profiles/data_folder.h"
#include "profiles/editing_lock.h"
#include "profiles/keyboard_profile.h"
#include "profiles/profile_editor.h"
#include "profiles/profile_file.h"
#include "profiles/slot_switch.h"

namespace keyloom::cli {

namespace {

constexpr auto kConnectTimeout = std::chrono::seconds(3);

// Keeps the message boxes that only tell (an OK button) while the keyboard
// is read at connection, so that a failure is reported once; questions go on
// to the session's prompter installed before.
class HeldMessages : public host::Prompter {
 public:
  explicit HeldMessages(profiles::KeyboardSession& session)
      : session_(session), previous_(session.InstalledPrompter()) {
    session_.SetPrompter(this);
  }
  ~HeldMessages() override { session_.SetPrompter(previous_); }
  HeldMessages(const HeldMessages&) = delete;
  HeldMessages& operator=(const HeldMessages&) = delete;

  host::Answer Ask(const host::MessageBoxRequest& request) override {
    if (request.buttons == host::Buttons::Ok) {
      std::lock_guard lock(mutex_);
      held_.push_back(request);
      return host::Answer::Ok;
    }
    return previous_ ? previous_->Ask(request) : request.default_button;
  }
  // The held texts, taken out.
  std::vector<host::MessageBoxRequest> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(held_, {});
  }
  // Shows the held messages after all.
  void Release() {
    for (const host::MessageBoxRequest& r : Take()) {
      if (previous_) previous_->Ask(r);
    }
  }

 private:
  profiles::KeyboardSession& session_;
  host::Prompter* previous_;
  std::mutex mutex_;
  std::vector<host::MessageBoxRequest> held_;
};

}  // namespace

std::string PartsNotWritten(const keys::WriteOutcome& outcome) {
  std::vector<std::string> parts;
  for (const profiles::WritePart& part : profiles::PartsNotTaken(outcome)) {
    switch (part.kind) {
      case profiles::WritePart::Kind::kBegin:
        parts.emplace_back("the start of the write");
        break;
      case profiles::WritePart::Kind::kMacros:
        parts.emplace_back("the macros");
        break;
      case profiles::WritePart::Kind::kKeyMap:
        parts.push_back("the key map of slot " + std::to_string(part.slot));
        break;
      case profiles::WritePart::Kind::kEnd:
        parts.emplace_back("the end of the write");
        break;
    }
  }
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i)
    text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  return text;
}

bool ConnectAndReadKeyboard(profiles::KeyboardSession& session, KeyboardConnection& keyboard, std::string& reason) {
  HeldMessages held(session);
  if (!keyboard.Connect(kConnectTimeout, reason,
                        [&session](int state) { profiles::HandleConnectionChange(session, state); }))
    return false;
  const profiles::KeyboardDefaultsRead read = profiles::LastKeyboardDefaultsRead(session);
  if (read.keyMap != 1) {
    const std::vector<host::MessageBoxRequest> messages = held.Take();
    const std::u16string text =
        messages.empty() ? keys::LookUpText("MAIN_DEFAULT_MATRIX_PROMPT") : messages.front().text;
    reason = text::ToUtf8(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
    return false;
  }
  if (read.config != 1) {
    held.Release();
    reason = "could not read the keyboard's configuration: " +
             KeyboardResultText(session.link, static_cast<device::CommandResult>(read.config));
    return false;
  }
  held.Release();
  return true;
}

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

  ProgressLine progress(io_.err, io_.err_is_terminal, "Reading the keyboard");
  if (!ReadKeyboard(reason)) {
    progress.Fail();
    return false;
  }
  return true;
}

bool EditingSession::ReadKeyboard(std::string& reason) {
  const int reloads_before = sink_->reloads.load();
  if (!ConnectAndReadKeyboard(session_, keyboard_, reason)) return false;
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
    const profiles::ReloadFailure failure = profiles::LastReloadFailure(session_);
    const std::string file = profiles::WorkingProfilePath().string();
    const std::string why = failure.error ? ": " + platform::FileErrorText(failure.error) : std::string();
    switch (failure.step) {
      case profiles::ReloadStep::kFileWrite:
        reason = "could not write the working profile " + file + why +
                 " (the keyboard was read; nothing was changed)";
        break;
      case profiles::ReloadStep::kFileRead:
        reason = "could not load the working profile " + file + " back after writing it" + why;
        break;
      case profiles::ReloadStep::kNoFile:
        reason = "the per-user data folder could not be made";
        break;
      default:
        reason = "could not read the keyboard's key maps and macros";
        break;
    }
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
  keys::WriteOutcome outcome;
  {
    profiles::EditingLock lock(session_);
    saved = profiles::SaveWorkingProfileLocked(session_);
    keys::KeyboardWriteState& state = session_.stores.WriteState;
    const int current = state.currentProfile.load();
    if (slot >= 0) state.currentProfile.store(slot);
    {
      ProgressLine progress(io_.err, io_.err_is_terminal, "Writing to the keyboard");
      written = keys::WriteKeysAndMacros(session_.link, session_.stores, session_.Prompter(), all_slots, &outcome);
      if (written != 1) progress.Fail();
    }
    state.currentProfile.store(current);
  }
  if (saved == 1 && written == 1) {
    session_.windows.MainWindowHasUnappliedChanges.store(false);
    return true;
  }
  if (written != 1) session_.windows.MainWindowHasUnappliedChanges.store(true);
  const std::uint32_t capacity = session_.stores.WriteState.macroCapacity.load();
  const std::uint32_t needed = keys::MacroImageSizes(session_.stores.EditingStore).compact;
  if (written != 1 && needed > capacity)
    reason = "nothing was written: the macros need " + std::to_string(needed) + " bytes of the keyboard's " +
             std::to_string(capacity);
  else if (written != 1 && outcome.sent)
    reason = "the keyboard did not take " + PartsNotWritten(outcome);
  else if (written != 1)
    reason = "the keyboard did not take the keys and macros";
  else
    reason = WriteFailure("the working profile ", profiles::WorkingProfilePath());
  return false;
}

}  // namespace keyloom::cli
