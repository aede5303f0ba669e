#pragma once
// The two recursive locks of the shared data stores. Order: KeyStoreLock
// (the editing store) is taken first, MacroStoreLock (the device snapshot)
// second, the device's transaction lock innermost. Both let the owning thread
// enter again.
#include <mutex>

namespace keyloom::app {

// Both locks live until the process ends, so a thread still running while the
// program shuts down never takes a lock that is gone.
std::recursive_mutex& KeyStoreLock();
std::recursive_mutex& MacroStoreLock();

}  // namespace keyloom::app
