#pragma once
// The application object: owns the life of the process.

namespace keyloom::app {

class CKeyloomApp {
 public:
  // Start-up, the main window's run and the shutdown; returns the process's
  // exit code (0 also when another instance or "/Kill" ends the start).
  int Run(int argc, char** argv);
};

}  // namespace keyloom::app
