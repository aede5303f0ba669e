#include "platform/host.h"

#include <atomic>

namespace keyloom::host {
namespace {
std::atomic<MainWindow*> g_window{nullptr};
std::atomic<Tray*> g_tray{nullptr};
}  // namespace

void SetMainWindow(MainWindow* window) { g_window.store(window); }

ScopedMainWindow::ScopedMainWindow(MainWindow* window) : previous_(g_window.exchange(window)) {}
ScopedMainWindow::~ScopedMainWindow() { g_window.store(previous_); }
void SetTray(Tray* tray) { g_tray.store(tray); }

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
