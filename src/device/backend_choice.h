#pragma once
// Which keyboard the utility talks to: real keyboards through hidraw (the
// default), or the virtual keyboard of keyloom-vkbd, chosen with
// KEYLOOM_HID=virtual[:SOCKET] or a program's --virtual-keyboard[=SOCKET].
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/hid_backend.h"

namespace keyloom::device {

struct BackendChoice {
  bool virtual_keyboard = false;
  std::string socket;  // empty: the server's default socket
};

// "virtual", "virtual:SOCKET" or "hidapi"; nullopt for anything else.
std::optional<BackendChoice> ParseHidSetting(const std::string& value);
// KEYLOOM_HID, else the default (hidapi).
BackendChoice ChoiceFromEnvironment();
// Removes "--virtual-keyboard" / "--virtual-keyboard=SOCKET" from `args`
// (the program name first is left alone) and stores it in `choice`; true
// when one was found.
bool TakeVirtualKeyboardOption(std::vector<std::string>& args, BackendChoice& choice);

std::shared_ptr<HidBackend> MakeBackend(const BackendChoice& choice);
// A program's start-up: installs the backend of the command line (over) the
// environment as the process-wide one; returns the arguments left over
// (the program name first).
std::vector<std::string> InstallBackendFromCommandLine(int argc, char** argv);

}  // namespace keyloom::device
