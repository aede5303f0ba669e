#pragma once
// Process-wide start-up flags shared by the application shell and the device
// monitors.
#include <atomic>

namespace keyloom::platform {

// Set once the decision whether the main window pops up at start-up has been
// taken: the "/Start" switch sets it (the window then stays hidden until the
// user opens it), and the connection monitor reads and sets it. 0 at start.
extern std::atomic<int> StartupShowHandled;

}  // namespace keyloom::platform
