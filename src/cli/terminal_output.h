#pragma once
// keyloomctl's standard error is shared by the command's messages, the
// prompts and the progress line that a long transfer draws from its own
// thread. Whoever writes there holds TerminalOutputLock(); a prompt first
// pauses the progress line so that the question stands on a clean line.
#include <mutex>

namespace keyloom::cli {

std::mutex& TerminalOutputLock();

// Implemented by the progress line: clear the drawn line and stop drawing
// until Resume().
class PausableLine {
 public:
  virtual ~PausableLine() = default;
  // Called with TerminalOutputLock() held.
  virtual void Pause() = 0;
  virtual void Resume() = 0;
};

// The line being drawn now, if any (at most one at a time). The Locked
// form is for callers that hold TerminalOutputLock().
void SetActiveLine(PausableLine* line);
void SetActiveLineLocked(PausableLine* line);

// Pauses the active line for its lifetime and holds TerminalOutputLock().
class TerminalOutputTurn {
 public:
  TerminalOutputTurn();
  ~TerminalOutputTurn();
  TerminalOutputTurn(const TerminalOutputTurn&) = delete;
  TerminalOutputTurn& operator=(const TerminalOutputTurn&) = delete;

 private:
  std::unique_lock<std::mutex> lock_;
  PausableLine* paused_ = nullptr;
};

}  // namespace keyloom::cli
