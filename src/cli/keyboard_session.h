#pragma once
// A command's connection to the keyboard: the connection monitor runs on a
// thread of its own for as long as the connection lives, exactly as in the
// desktop utility, and the command's requests go to the command interface
// it opened on the device link.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/device_table.h"
#include "device/report_transaction.h"
#include "lighting/lighting_state.h"

namespace keyloom::cli {

class KeyboardConnection {
 public:
  explicit KeyboardConnection(device::DeviceLink& link) : link_(link) {}
  ~KeyboardConnection();
  KeyboardConnection(const KeyboardConnection&) = delete;
  KeyboardConnection& operator=(const KeyboardConnection&) = delete;

  // Runs on the monitor's thread at each connection change, before the
  // connection hears of it (keys and macros run the profiles' connection
  // handler there, which reloads them from the keyboard).
  using ConnectionHook = std::function<void(int connected)>;

  // Holds the keyboard against other programs (device/keyboard_lock.h) from
  // here until Close, so that everything the command reads and writes is
  // one step for them; then starts the connection monitor and waits up to
  // `timeout` for its first report (and then for the hook, however long it
  // takes). False with the reason when another program keeps the keyboard
  // or no keyboard answers.
  bool Connect(std::chrono::milliseconds timeout, std::string& reason);
  bool Connect(std::chrono::milliseconds timeout, std::string& reason, ConnectionHook hook);
  // Stops the monitor; the connection may be made again afterwards.
  void Close();

  struct Report;

 private:
  device::DeviceLink& link_;
  std::unique_ptr<device::KeyboardHold> hold_;
  std::uint64_t changes_at_connect_ = 0;
  std::thread monitor_;
  std::shared_ptr<Report> report_;
};

// Called when a connection that sent requests changing the keyboard has
// ended and let go of the keyboard (keyloomctl tells the running desktop
// utility, app::TellRunningInstanceKeyboardChanged). None by default.
void SetKeyboardChangedNotifier(std::function<void()> notifier);

// The virtual keyboard's socket when the run talks to one (empty: the
// server's default), so that a failed connection names the path it tried.
void SetVirtualKeyboardSocket(const std::string& socket);

// "--virtual-keyboard SOCKET" (arguments without the program name) becomes
// "--virtual-keyboard=SOCKET" when SOCKET is a socket on disk, or when the
// option stands before the command and SOCKET is neither an option nor the
// first word of a command.
void JoinVirtualKeyboardSocket(std::vector<std::string>& args);

// What a keyboard command's result (other than kOk) means, in words: "the
// keyboard is not connected", "the keyboard did not answer", "the keyboard
// refused it", ...
std::string KeyboardResultText(const device::DeviceLink& link, device::CommandResult result);

// Reads the configuration block, the keyboard's active slot from it, and
// that slot's lighting record. False with the reason on a failed read or a
// slot number that is no slot.
bool ReadActiveSlotRecord(device::DeviceLink& link, lighting::ConfigBlock& config, lighting::LightingRecord& record, int& slot,
                          std::string& reason);
// Reads the configuration block and the lighting record of the keyboard's
// active slot, and decodes the record into `state` (which keeps the values
// the record does not decide). False with the reason on a failed read.
bool ReadActiveSlotLighting(device::DeviceLink& link, lighting::LightingState& state, int& slot, std::string& reason);

}  // namespace keyloom::cli
