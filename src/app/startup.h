#pragma once
// The program's start-up up to the point where the main window runs: the
// settings paths, the application's registry key, the store locks, the
// command-line switches, the single-instance rule and the companion program.
// Everything it touches outside the process comes in through the
// environment, so the whole sequence runs in tests.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/shell_actions.h"
#include "app/single_instance.h"

namespace keyloom::app {

struct StartupEnvironment {
  // Command-line arguments after the program name.
  std::vector<std::string> arguments;
  // Where the program's data lies, and the running executable.
  std::filesystem::path resource_dir;
  std::filesystem::path executable;
  // The single-instance mechanism. When start-up takes its lock, it keeps the
  // channel process-wide (ReleaseInstanceLock drops it).
  std::unique_ptr<InstanceChannel> instance;
  // How the running instance serves requests.
  instance::Guard::Handler on_request = ForwardToMainWindow;
  // The shell's "open".
  ShellOpener open = [](const shell::OpenRequest& r) { return shell::Open(r); };
};

enum class StartupAction {
  Run,   // go on: construct and run the main window
  Exit,  // end the process now with exit_code
};

struct StartupResult {
  StartupAction action = StartupAction::Run;
  int exit_code = 0;
  // This process holds the single-instance lock (false also when the lock
  // could not be made and the program runs without it).
  bool holds_lock = false;
  // The companion program was handed to the shell.
  bool companion_started = false;
  // 1 when "/Start" took the decision whether the main window pops up: the
  // program's keyboard session starts with StartupShowHandled set to it.
  int show_handled = 0;
};

// The environment of a real start: paths from the platform layer, the
// instance channel in the runtime folder.
StartupEnvironment DefaultStartupEnvironment(int argc, char** argv);

// Runs the sequence:
//  1. settings key name and the program entries of the settings paths;
//  2. the application's registry key (open or create; the program goes on
//     without it);
//  3. the store locks;
//  4. the switches, left to right: "/Start" sets show_handled, "/Kill"
//     asks a running instance to quit and ends at once with 0, before the
//     instance lock is looked at and before the companion is started;
//  5. the instance lock: when another instance holds it, that instance is
//     asked to show itself and this process ends with 0; otherwise the lock
//     is taken (failing that, the program goes on without it);
//  6. the companion program.
StartupResult StartUp(StartupEnvironment& env);

}  // namespace keyloom::app
