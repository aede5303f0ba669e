#include "platform/host.h"

#include <atomic>

namespace keyloom::host {
namespace {
std::atomic<MainWindow*> g_window{nullptr};
}  // namespace

void SetMainWindow(MainWindow* window) { g_window.store(window); }

ScopedMainWindow::ScopedMainWindow(MainWindow* window) : previous_(g_window.exchange(window)) {}
ScopedMainWindow::~ScopedMainWindow() { g_window.store(previous_); }

void PostToMainWindow(std::uint32_t message, std::uint32_t wparam, std::int64_t lparam) {
  if (MainWindow* w = g_window.load()) w->PostMessage(message, wparam, lparam);
}

}  // namespace keyloom::host
