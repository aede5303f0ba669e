#include "app/single_instance.h"

#include <unistd.h>

#include <mutex>
#include <utility>

namespace keyloom::app {
namespace {
std::mutex g_mutex;
std::unique_ptr<InstanceChannel> g_held;
}  // namespace

GuardChannel::GuardChannel(std::string name, std::filesystem::path dir)
    : guard_(std::move(name), std::move(dir)) {}

bool GuardChannel::OtherRunning() { return guard_.OtherRunning(); }

bool GuardChannel::Acquire(instance::Guard::Handler handler) {
  return guard_.Acquire(std::move(handler));
}

std::optional<std::int64_t> GuardChannel::Send(const instance::Request& request) {
  return guard_.Send(request);
}

void GuardChannel::Release() { guard_.Release(); }

std::int64_t ForwardToMainWindow(const instance::Request& request) {
  host::PostToMainWindow(request.message, request.wparam, request.lparam);
  return 1;
}

bool IsKeyboardChangedRequest(const instance::Request& request) {
  return request.message == kKeyboardChangedMessage && request.wparam == kKeyboardChangedTag;
}

bool TellRunningInstanceKeyboardChanged(const std::filesystem::path& runtime_dir, int timeout_ms) {
  if (runtime_dir.empty()) return false;
  const instance::Guard guard(kInstanceName, runtime_dir);
  if (!guard.OtherRunning()) return false;
  const instance::Request request{kKeyboardChangedMessage, kKeyboardChangedTag, static_cast<std::int64_t>(::getpid())};
  return guard.Send(request, timeout_ms).has_value();
}

void SetHeldInstance(std::unique_ptr<InstanceChannel> channel) {
  std::unique_ptr<InstanceChannel> old;
  {
    std::lock_guard lock(g_mutex);
    old = std::exchange(g_held, std::move(channel));
  }
  if (old) old->Release();
}

void ReleaseInstanceLock() {
  std::unique_ptr<InstanceChannel> held;
  {
    std::lock_guard lock(g_mutex);
    held = std::move(g_held);
  }
  if (held) held->Release();
}

}  // namespace keyloom::app
