#include "app/app_registry_key.h"

#include <optional>

namespace keyloom::app {
namespace {
std::optional<registry::Key> g_key;
}  // namespace

bool OpenAppRegistryKey() {
  g_key = registry::Key::Open(kAppRegistryKeyPath);
  if (!g_key) g_key = registry::Key::Create(kAppRegistryKeyPath);
  return g_key.has_value();
}

registry::Key* AppRegistryKey() { return g_key ? &*g_key : nullptr; }

void CloseAppRegistryKey() { g_key.reset(); }

}  // namespace keyloom::app
