#pragma once
// The keyboard session: everything the program keeps about one keyboard and
// its editing, in one object that each program (and each test) builds and
// passes down. Its parts belong to the folders that use them, so lower
// folders take only their part: the device link (device/), the key and macro
// stores (keys/), the lighting values (lighting/); the profiles' own state,
// the state the windows set, and the event sink and prompter live here.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "device/device_table.h"
#include "keys/key_macro_store.h"
#include "lighting/lighting_session.h"
#include "platform/host.h"
#include "profiles/event_sink.h"
#include "profiles/profile_menu.h"

namespace keyloom::profiles {

// The profiles' own values.
struct ProfileState {
  // The keyboard's active slot, cached: -1 while unknown.
  std::atomic<int> ActiveSlot{-1};
  // The connection handler: one run at a time, the last state it acted on,
  // and whether it is running.
  std::mutex connection_running;
  std::atomic<int> LastConnectionState{0};
  std::atomic<bool> ConnectionHandlerBusy{false};
  // The command results (1 success) of the last connection's reads of the
  // factory key map and the configuration block; 0 until one was handled.
  std::atomic<int> KeyMapRead{0};
  std::atomic<int> ConfigRead{0};
  // Whether the last reload filled the editing store from the keyboard.
  std::atomic<bool> LastReloadReadKeyboard{false};
  // When it did not, which step failed (ReloadStep) and the system's error
  // number of a file step (0 when there is none).
  std::atomic<int> LastReloadFailedStep{0};
  std::atomic<int> LastReloadErrno{0};
  // The menu the last rebuild made.
  std::mutex menu_mutex;
  ProfileMenuModel Menu;
  // Keeps a second slot switch, started while the question is open, from
  // asking again. User-interface thread only.
  bool SlotPromptOpen = false;
};

// What the windows tell the core by setting it: which editors are open and
// whether edits are waiting to be applied. Windows set these on their own
// thread; the core reads them from any thread.
struct WindowState {
  std::atomic<bool> CompositeDialogOpen{false};
  std::atomic<bool> ProfileManagerOpen{false};
  std::atomic<bool> ProfileManagerHasUnappliedChanges{false};
  std::atomic<bool> MainWindowHasUnappliedChanges{false};
  // Set once the decision whether the main window pops up at start-up has
  // been taken ("/Start", the first show, or no keyboard at start). 0 at start.
  std::atomic<int> StartupShowHandled{0};
  // The main window's Apply command (control 1006): runs and returns when it
  // has finished. Empty: there is nothing to apply.
  std::function<void()> RunApply;
};

class KeyboardSession {
 public:
  // Without a backend the devices use the process-wide one.
  explicit KeyboardSession(std::shared_ptr<device::HidBackend> backend = nullptr) : link(std::move(backend)) {}
  KeyboardSession(const KeyboardSession&) = delete;
  KeyboardSession& operator=(const KeyboardSession&) = delete;

  device::DeviceLink link;
  keys::KeyStores stores;
  lighting::LightingSession lighting;
  ProfileState profiles;
  WindowState windows;

  // Where notifications go and questions are asked (not owning; the builder
  // keeps them alive; nullptr: notifications are dropped and questions get
  // their default button).
  void SetSink(EventSink* sink) { sink_.store(sink); }
  void SetPrompter(host::Prompter* prompter) { prompter_.store(prompter); }
  EventSink& Sink() {
    EventSink* sink = sink_.load();
    return sink ? *sink : no_sink_;
  }
  // The prompter set, or null when none is.
  host::Prompter* InstalledPrompter() const { return prompter_.load(); }
  host::Prompter& Prompter() {
    host::Prompter* prompter = prompter_.load();
    return prompter ? *prompter : default_answers_;
  }

 private:
  class DefaultAnswers final : public host::Prompter {
   public:
    host::Answer Ask(const host::MessageBoxRequest& request) override { return request.default_button; }
  };

  std::atomic<EventSink*> sink_{nullptr};
  std::atomic<host::Prompter*> prompter_{nullptr};
  EventSink no_sink_;
  DefaultAnswers default_answers_;
};

}  // namespace keyloom::profiles
