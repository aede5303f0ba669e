#include "platform/host.h"

#include <atomic>

namespace keyloom::host {
namespace {
std::atomic<Prompter*> g_prompter{nullptr};
std::atomic<MainWindow*> g_window{nullptr};
std::atomic<Tray*> g_tray{nullptr};
}  // namespace

void SetPrompter(Prompter* prompter) { g_prompter.store(prompter); }
Prompter* InstalledPrompter() { return g_prompter.load(); }
void SetMainWindow(MainWindow* window) { g_window.store(window); }
void SetTray(Tray* tray) { g_tray.store(tray); }

Answer Ask(const MessageBoxRequest& request) {
  if (Prompter* p = g_prompter.load()) return p->Ask(request);
  return request.default_button;
}

void PostToMainWindow(std::uint32_t message, std::uint32_t wparam, std::int64_t lparam) {
  if (MainWindow* w = g_window.load()) w->PostMessage(message, wparam, lparam);
}

std::int64_t SendToMainWindow(std::uint32_t message, std::uint32_t wparam, std::int64_t lparam) {
  if (MainWindow* w = g_window.load()) return w->SendMessage(message, wparam, lparam);
  return 0;
}

void SetMainTimer(unsigned id, unsigned milliseconds) {
  if (MainWindow* w = g_window.load()) w->SetTimer(id, milliseconds);
}

void KillMainTimer(unsigned id) {
  if (MainWindow* w = g_window.load()) w->KillTimer(id);
}

void SetTrayIconState(int state) {
  if (Tray* t = g_tray.load()) t->SetTrayIconState(state);
}

}  // namespace keyloom::host
