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
#include "platform/text.h"
#include "platform/host.h"
#include "profiles/active_slot.h"
#include "profiles/connection_handler.h"
#include "profiles/data_folder.h"
#include "profiles/editing_lock.h"
#include "profiles/keyboard_profile.h"
#include "profiles/profile_file.h"
#include "profiles/profile_observer.h"

namespace keyloom::cli {

namespace {

constexpr auto kConnectTimeout = std::chrono::seconds(3);

// The main window of a keyloomctl run: the connection handler's profile
// refresh reloads the keys and macros from the keyboard; the other messages
// (close the editors, open the window) have nothing to act on here.
class CliMainWindow : public host::MainWindow {
 public:
  void PostMessage(std::uint32_t, std::uint32_t, std::int64_t) override {}
  std::int64_t SendMessage(std::uint32_t message, std::uint32_t wparam, std::int64_t) override {
    if (message == profiles::kReloadProfileMessage && wparam == host::Tag("PROF")) {
      profiles::ReloadFromKeyboard();
      reloads.fetch_add(1);
    }
    return 0;
  }
  void SetTimer(unsigned, unsigned) override {}
  void KillTimer(unsigned) override {}

  std::atomic<int> reloads{0};
};

// There is no key panel to refresh. The unapplied flag matters to slot
// switching, which asks before dropping edits, and its Yes runs Apply.
class CliObserver : public profiles::ProfileObserver {
 public:
  bool MainWindowHasUnappliedChanges() override { return unapplied.load(); }
  void SetMainWindowUnappliedChanges(bool value) override { unapplied.store(value); }
  void RunApply() override {
    if (!unapplied.load()) return;
    profiles::EditingLock lock;
    if (profiles::SaveWorkingProfile(false) == 1 && keys::WriteKeysAndMacros(false) == 1) unapplied.store(false);
  }

  std::atomic<bool> unapplied{false};
};

// Keeps the message boxes that only tell (an OK button) while the keyboard
// is read at connection, so that a failure is reported once; questions go on
// to the prompter installed before.
class HeldMessages : public host::Prompter {
 public:
  HeldMessages() : previous_(host::InstalledPrompter()) { host::SetPrompter(this); }
  ~HeldMessages() override { host::SetPrompter(previous_); }
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
  host::Prompter* previous_;
  std::mutex mutex_;
  std::vector<host::MessageBoxRequest> held_;
};

CliMainWindow& Window() {
  static CliMainWindow window;
  return window;
}

CliObserver& TheObserver() {
  static CliObserver observer;
  return observer;
}

}  // namespace

std::string PartsNotWritten(const keys::WriteOutcome& outcome) {
  std::vector<std::string> parts;
  if (outcome.begin != 1) parts.emplace_back("the start of the write");
  if (outcome.macroArea != 1) parts.emplace_back("the macros");
  for (std::size_t p = 0; p < outcome.keyMaps.size(); ++p) {
    if (outcome.keyMapSent[p] && outcome.keyMaps[p] != 1)
      parts.push_back("the key map of slot " + std::to_string(p));
  }
  if (outcome.end != 1) parts.emplace_back("the end of the write");
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i)
    text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
  return text;
}

bool ConnectAndReadKeyboard(KeyboardSession& keyboard, std::string& reason) {
  HeldMessages held;
  if (!keyboard.Connect(kConnectTimeout, reason, &profiles::HandleConnectionChange)) return false;
  const profiles::KeyboardDefaultsRead read = profiles::LastKeyboardDefaultsRead();
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
    reason = "could not read the keyboard's configuration: " + KeyboardResultText(read.config);
    return false;
  }
  held.Release();
  return true;
}

EditingSession::EditingSession(CommandIo& io) : io_(io) {}

EditingSession::~EditingSession() {
  keyboard_.Close();
  if (opened_) {
    host::SetMainWindow(nullptr);
    profiles::SetProfileObserver(nullptr);
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
  host::SetMainWindow(&Window());
  profiles::SetProfileObserver(&TheObserver());
  // Each run starts as the program does: no connection seen, slot unknown.
  profiles::ResetConnectionHandler();
  profiles::ForgetActiveSlot();

  ProgressLine progress(io_.err, io_.err_is_terminal, "Reading the keyboard");
  if (!ReadKeyboard(reason)) {
    progress.Fail();
    return false;
  }
  return true;
}

bool EditingSession::ReadKeyboard(std::string& reason) {
  const int reloads_before = Window().reloads.load();
  if (!ConnectAndReadKeyboard(keyboard_, reason)) return false;
  if (Window().reloads.load() == reloads_before) {
    reason = "the keyboard's keys and macros were not reloaded";
    return false;
  }
  active_slot_ = profiles::GetActiveSlot();
  if (active_slot_ < 0) {
    reason = "could not read the keyboard's active slot";
    return false;
  }
  // A reload that could not read the keyboard leaves an empty store, which
  // must never be written back over the keyboard's keys and macros.
  if (!profiles::LastReloadReadKeyboard()) {
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
  keys::WriteOutcome outcome;
  {
    profiles::EditingLock lock;
    saved = profiles::SaveWorkingProfile(false);
    keys::KeyboardWriteState& state = keys::WriteState();
    const int current = state.currentProfile.load();
    if (slot >= 0) state.currentProfile.store(slot);
    {
      ProgressLine progress(io_.err, io_.err_is_terminal, "Writing to the keyboard");
      written = keys::WriteKeysAndMacros(all_slots, &outcome);
      if (written != 1) progress.Fail();
    }
    state.currentProfile.store(current);
  }
  if (saved == 1 && written == 1) {
    TheObserver().SetMainWindowUnappliedChanges(false);
    return true;
  }
  if (written != 1) TheObserver().SetMainWindowUnappliedChanges(true);
  const std::uint32_t capacity = keys::WriteState().macroCapacity.load();
  const std::uint32_t needed = keys::MacroImageSizes(keys::EditingStore()).compact;
  if (written != 1 && needed > capacity)
    reason = "nothing was written: the macros need " + std::to_string(needed) + " bytes of the keyboard's " +
             std::to_string(capacity);
  else if (written != 1 && outcome.sent)
    reason = "the keyboard did not take " + PartsNotWritten(outcome);
  else if (written != 1)
    reason = "the keyboard did not take the keys and macros";
  else
    reason = "could not save the working profile " + profiles::WorkingProfilePath().string();
  return false;
}

}  // namespace keyloom::cli
