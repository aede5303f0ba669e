#include "device/backend_choice.h"

#include <cstdlib>

#include "device/hidraw_backend.h"
#include "device/virtual_backend.h"

namespace keyloom::device {

std::optional<BackendChoice> ParseHidSetting(const std::string& value) {
  BackendChoice c;
  if (value == "hidapi" || value == "hidraw") return c;
  if (value == "virtual") {
    c.virtual_keyboard = true;
    return c;
  }
  if (value.rfind("virtual:", 0) == 0) {
    c.virtual_keyboard = true;
    c.socket = value.substr(8);
    return c;
  }
  return std::nullopt;
}

BackendChoice ChoiceFromEnvironment() {
  const char* env = std::getenv("KEYLOOM_HID");
  if (env && *env) {
    if (auto c = ParseHidSetting(env)) return *c;
  }
  return {};
}

bool TakeVirtualKeyboardOption(std::vector<std::string>& args, BackendChoice& choice) {
  static const std::string kOption = "--virtual-keyboard";
  bool found = false;
  for (std::size_t i = 1; i < args.size();) {
    const std::string& a = args[i];
    if (a == kOption || a.rfind(kOption + "=", 0) == 0) {
      choice.virtual_keyboard = true;
      choice.socket = a.size() > kOption.size() ? a.substr(kOption.size() + 1) : std::string();
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
      found = true;
      continue;
    }
    if (a == "--") break;
    ++i;
  }
  return found;
}

std::shared_ptr<HidBackend> MakeBackend(const BackendChoice& choice) {
  if (choice.virtual_keyboard) return MakeVirtualBackend(choice.socket);
  return MakeHidrawBackend();
}

std::vector<std::string> InstallBackendFromCommandLine(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  BackendChoice choice = ChoiceFromEnvironment();
  TakeVirtualKeyboardOption(args, choice);
  SetHidBackend(MakeBackend(choice));
  return args;
}

}  // namespace keyloom::device
