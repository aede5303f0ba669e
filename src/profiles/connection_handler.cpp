#include "profiles/connection_handler.h"

#include <array>
#include <functional>
#include <mutex>
#include <vector>

#include "device/commands.h"
#include "device/device_table.h"
#include "keys/text_source.h"
#include "platform/host.h"
#include "profiles/active_slot.h"

namespace keyloom::profiles {

namespace {

constexpr std::uint32_t kMacroCapacityUnit = 128;

void ReadKeyboardDefaults(KeyboardSession& session) {
  std::array<std::uint8_t, device::kDefaultKeyMapBytes> map{};
  const device::CommandResult keyMap = device::ReadDefaultKeyMap(session.link, map.data());
  session.profiles.KeyMapRead.store(static_cast<int>(keyMap));
  if (keyMap == device::CommandResult::kOk) {
    session.link.SetDefaultKeyMap(map);
  } else {
    host::MessageBoxRequest request;
    request.text = keys::LookUpText("MAIN_DEFAULT_MATRIX_PROMPT");
    request.buttons = host::Buttons::Ok;
    session.Prompter().Ask(request);
  }
  std::array<std::uint8_t, device::kConfigBlockBytes> config{};
  const device::CommandResult read = device::ReadConfig(session.link, config.data());
  session.profiles.ConfigRead.store(static_cast<int>(read));
  if (read == device::CommandResult::kOk) {
    session.stores.WriteState.macroCapacity.store(std::uint32_t{config[kMacroCapacityByte]} * kMacroCapacityUnit);
  }
}

}  // namespace

void HandleConnectionChange(KeyboardSession& session, int connected) {
  ProfileState& p = session.profiles;
  std::vector<std::function<void(EventSink&)>> notices;
  {
    std::lock_guard running(p.connection_running);
    p.ConnectionHandlerBusy.store(true);
    const int state = connected != 0 ? 1 : 0;
    if (state != p.LastConnectionState.load()) {
      if (state == 0) {
        ForgetActiveSlot(session);
        notices.push_back([](EventSink& sink) { sink.CloseEditors(); });
        notices.push_back([](EventSink& sink) { sink.ConnectionChanged(false, 0, 0); });
      } else {
        ReadKeyboardDefaults(session);
        const device::HidAttributes model = session.link.CommandDevice().Attributes();
        notices.push_back([model](EventSink& sink) { sink.ConnectionChanged(true, model.vendor_id, model.product_id); });
      }
      p.LastConnectionState.store(state);
      if (session.windows.StartupShowHandled.load() == 0) {
        if (state) notices.push_back([](EventSink& sink) { sink.ShowWindow(); });
        session.windows.StartupShowHandled.store(1);
      }
    }
  }
  for (const auto& notice : notices) notice(session.Sink());
  p.ConnectionHandlerBusy.store(false);
}

device::ConnectionReports ConnectionReportsFor(KeyboardSession& session) {
  device::ConnectionReports reports;
  reports.changed = [&session](int connected) { HandleConnectionChange(session, connected); };
  reports.first_cycle_done = [&session](int connected) {
    if (connected == 0) session.windows.StartupShowHandled.store(1);
  };
  reports.delayed_start = session.windows.StartupShowHandled.load() != 0;
  return reports;
}

KeyboardDefaultsRead LastKeyboardDefaultsRead(const KeyboardSession& session) {
  return {session.profiles.KeyMapRead.load(), session.profiles.ConfigRead.load()};
}

device::KeyboardEventHandler KeyboardEventsFor(KeyboardSession& session) {
  return [&session](std::uint16_t usage) { session.Sink().KeyboardEvent(usage); };
}

bool ConnectionHandlerBusy(const KeyboardSession& session) { return session.profiles.ConnectionHandlerBusy.load(); }

int LastConnectionState(const KeyboardSession& session) { return session.profiles.LastConnectionState.load(); }

}  // namespace keyloom::profiles
