#pragma once
// A progress line on standard error for keyboard transfers that take a
// while. It stays silent for the first half second; then, on a terminal, it
// draws "Writing to the keyboard… N reports" and updates it in place until
// the transfer ends, when it is cleared. When standard error is not a
// terminal, a transfer that lasted that long leaves one summary line
// instead ("Writing to the keyboard: N reports in 1.4 s").
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "cli/terminal_output.h"

namespace keyloom::cli {

class ProgressLine : public PausableLine {
 public:
  struct Options {
    std::chrono::milliseconds delay{500};
    std::chrono::milliseconds interval{100};
    // Reports exchanged so far; the default counts the device's answered
    // transactions.
    std::function<std::uint64_t()> count;
  };

  ProgressLine(std::ostream& err, bool terminal, std::string label);
  ProgressLine(std::ostream& err, bool terminal, std::string label, Options options);
  ~ProgressLine() override;
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Ends the line (the destructor does it too); idempotent.
  void Finish();
  // Ends the line without the summary: a transfer that failed is told by
  // the command's one failure line alone.
  void Fail();

  void Pause() override;
  void Resume() override;

 private:
  void Run();
  void DrawLocked();
  void ClearLocked();
  std::uint64_t Reports() const;

  std::ostream& err_;
  const bool terminal_;
  const std::string label_;
  Options options_;
  const std::uint64_t first_count_;
  const std::chrono::steady_clock::time_point start_;

  std::mutex mutex_;  // guards the fields below, apart from the drawing
  std::condition_variable wake_;
  bool finished_ = false;
  bool shown_ = false;        // the half second has passed
  bool failed_ = false;
  std::thread thread_;

  // Guarded by TerminalOutputLock().
  bool paused_ = false;
  std::size_t drawn_width_ = 0;
};

// Runs `work` with a progress line labelled `label`; returns its result.
template <typename Work>
auto WithProgress(std::ostream& err, bool terminal, std::string label, Work&& work) {
  ProgressLine line(err, terminal, std::move(label));
  return work();
}

}  // namespace keyloom::cli
