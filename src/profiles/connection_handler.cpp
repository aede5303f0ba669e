#include "profiles/connection_handler.h"

#include <array>
#include <atomic>
#include <mutex>

#include "device/commands.h"
#include "device/device_monitors.h"
#include "device/device_table.h"
#include "keys/keyboard_writer.h"
#include "keys/text_source.h"
#include "platform/host.h"
#include "platform/startup_flags.h"
#include "profiles/active_slot.h"
#include "profiles/profile_observer.h"

namespace keyloom::profiles {

namespace {

constexpr std::uint32_t kMacroCapacityUnit = 128;

std::atomic<bool> g_busy{false};
std::atomic<int> g_last{0};
std::mutex g_running;  // one handler run at a time
std::atomic<int> g_keyMapRead{0};
std::atomic<int> g_configRead{0};

void ReadKeyboardDefaults() {
  std::array<std::uint8_t, device::kDefaultKeyMapBytes> map{};
  const int keyMap = device::ReadDefaultKeyMap(map.data());
  g_keyMapRead.store(keyMap);
  if (keyMap == 1) {
    device::SetDefaultKeyMap(map);
  } else {
    host::MessageBoxRequest request;
    request.text = keys::LookUpText("MAIN_DEFAULT_MATRIX_PROMPT");
    request.buttons = host::Buttons::Ok;
    host::Ask(request);
  }
  std::array<std::uint8_t, device::kConfigBlockBytes> config{};
  const int read = device::ReadConfig(config.data());
  g_configRead.store(read);
  if (read == 1) {
    keys::WriteState().macroCapacity.store(std::uint32_t{config[kMacroCapacityByte]} * kMacroCapacityUnit);
  }
}

}  // namespace

void HandleConnectionChange(int connected) {
  std::lock_guard running(g_running);
  g_busy.store(true);
  const int state = connected != 0 ? 1 : 0;
  if (state != g_last.load()) {
    if (state == 0) {
      ForgetActiveSlot();
      host::SendToMainWindow(kCloseEditorsMessage, 0, 0);
      Observer().HideMainWindow();
    } else {
      ReadKeyboardDefaults();
      host::SendToMainWindow(kReloadProfileMessage, host::Tag("PROF"), 0);
    }
    device::SetTrayIconState(0, state ? kTrayConnected : kTrayDisconnected);
    g_last.store(state);
    if (platform::StartupShowHandled.load() == 0) {
      if (state) host::PostToMainWindow(kOpenMessage, host::Tag("OPEN"), 0);
      platform::StartupShowHandled.store(1);
    }
  }
  g_busy.store(false);
}

void InstallConnectionHandler() { device::SetConnectionHandler(&HandleConnectionChange); }

bool ConnectionHandlerBusy() { return g_busy.load(); }

int LastConnectionState() { return g_last.load(); }

KeyboardDefaultsRead LastKeyboardDefaultsRead() { return {g_keyMapRead.load(), g_configRead.load()}; }

void ResetConnectionHandler() {
  std::lock_guard running(g_running);
  g_keyMapRead.store(0);
  g_configRead.store(0);
  g_last.store(0);
  g_busy.store(false);
}

}  // namespace keyloom::profiles
