#include "device/hid_backend.h"

#include <mutex>

namespace keyloom::device {
namespace {

std::mutex& BackendMutex() {
  static std::mutex m;
  return m;
}

std::shared_ptr<HidBackend>& Installed() {
  static std::shared_ptr<HidBackend> backend;
  return backend;
}

}  // namespace

void SetHidBackend(std::shared_ptr<HidBackend> backend) {
  std::lock_guard lock(BackendMutex());
  Installed() = std::move(backend);
}

std::shared_ptr<HidBackend> CurrentHidBackend() {
  std::lock_guard lock(BackendMutex());
  return Installed();
}

}  // namespace keyloom::device
