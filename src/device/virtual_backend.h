#pragma once
// The virtual keyboard served by `keyloom-vkbd serve`: a HID backend that
// talks to it over its Unix socket. Paths are "vkbd:<interface number>".
#include <memory>
#include <string>

#include "device/hid_backend.h"

namespace keyloom::device {

// An empty socket path means the server's default path.
std::shared_ptr<HidBackend> MakeVirtualBackend(const std::string& socket_path);

}  // namespace keyloom::device
