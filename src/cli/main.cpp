// keyloomctl: the Tarn-60 configuration from the command line.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "app/single_instance.h"
#include "cli/command_table.h"
#include "cli/keyboard_session.h"
#include "device/backend_choice.h"
#include "platform/paths.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnInterrupt(int) { g_stop.store(true); }

}  // namespace

int main(int argc, char** argv) {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  // --virtual-keyboard[=SOCKET] or KEYLOOM_HID choose the keyboard.
  std::vector<std::string> args(argv, argv + argc);
  if (!args.empty()) args.erase(args.begin());
  keyloom::cli::JoinVirtualKeyboardSocket(args);
  args.insert(args.begin(), argc > 0 ? argv[0] : "keyloomctl");
  keyloom::device::BackendChoice choice = keyloom::device::ChoiceFromEnvironment();
  keyloom::device::TakeVirtualKeyboardOption(args, choice);
  keyloom::device::SetHidBackend(keyloom::device::MakeBackend(choice));
  if (choice.virtual_keyboard) keyloom::cli::SetVirtualKeyboardSocket(choice.socket);
  args.erase(args.begin());
  // A run that changed the keyboard tells the desktop utility, if it runs,
  // so that it reads the keyboard again instead of writing back what it had.
  keyloom::cli::SetKeyboardChangedNotifier(
      [] { keyloom::app::TellRunningInstanceKeyboardChanged(keyloom::paths::RuntimeDir()); });
  keyloom::cli::CommandIo io{std::cout, std::cerr};
  io.stop = &g_stop;
  io.out_is_terminal = isatty(STDOUT_FILENO) != 0;
  io.in = &std::cin;
  io.in_is_terminal = isatty(STDIN_FILENO) != 0;
  io.err_is_terminal = isatty(STDERR_FILENO) != 0;
  return keyloom::cli::RunCli(args, io);
}
