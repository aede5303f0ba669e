#pragma once
// Real keyboards on Linux: the hidraw nodes. The listing comes from hidapi
// (when built with it) or from sysfs; reports move through the node itself,
// so that every wait can time out and be aborted. A node that carries more
// than one top-level collection is listed once per collection, the second
// and later with a "&colNN" tag after the node's path.
#include <memory>
#include <string>

#include "device/hid_backend.h"

namespace keyloom::device {

std::shared_ptr<HidBackend> MakeHidrawBackend();
// The same listing from another sysfs class folder and without hidapi
// (tests); the nodes are still named /dev/hidrawN.
std::shared_ptr<HidBackend> MakeHidrawBackendForSysfs(const std::string& class_folder);

// The node path and the 1-based collection a listed path names
// ("/dev/hidraw3&col02" -> "/dev/hidraw3", 2).
std::string HidrawNodePath(const std::string& listed_path);

}  // namespace keyloom::device
