#include "platform/startup_flags.h"

namespace keyloom::platform {

std::atomic<int> StartupShowHandled{0};

}  // namespace keyloom::platform
