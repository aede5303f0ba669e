#include "cli/terminal_output.h"

namespace keyloom::cli {

namespace {
PausableLine* g_active = nullptr;  // guarded by TerminalOutputLock()
}

std::mutex& TerminalOutputLock() {
  static std::mutex lock;
  return lock;
}

void SetActiveLine(PausableLine* line) {
  std::lock_guard lock(TerminalOutputLock());
  g_active = line;
}

void SetActiveLineLocked(PausableLine* line) { g_active = line; }

TerminalOutputTurn::TerminalOutputTurn() : lock_(TerminalOutputLock()) {
  paused_ = g_active;
  if (paused_) paused_->Pause();
}

TerminalOutputTurn::~TerminalOutputTurn() {
  if (paused_) paused_->Resume();
}

}  // namespace keyloom::cli
