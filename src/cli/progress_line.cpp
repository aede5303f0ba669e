#include "cli/progress_line.h"

#include <cstdio>

#include "device/report_transaction.h"

namespace keyloom::cli {

namespace {
constexpr const char* kEllipsis = "\xE2\x80\xA6";  // …
}

ProgressLine::ProgressLine(std::ostream& err, bool terminal, std::string label)
    : ProgressLine(err, terminal, std::move(label), Options{}) {}

ProgressLine::ProgressLine(std::ostream& err, bool terminal, std::string label, Options options)
    : err_(err),
      terminal_(terminal),
      label_(std::move(label)),
      options_(std::move(options)),
      first_count_(Reports()),
      start_(std::chrono::steady_clock::now()) {
  thread_ = std::thread([this] { Run(); });
}

ProgressLine::~ProgressLine() { Finish(); }

std::uint64_t ProgressLine::Reports() const {
  return options_.count ? options_.count() : device::AnsweredReportCount();
}

void ProgressLine::Run() {
  std::unique_lock lock(mutex_);
  if (wake_.wait_for(lock, options_.delay, [this] { return finished_; })) return;
  shown_ = true;
  if (!terminal_) return;
  lock.unlock();
  SetActiveLine(this);
  lock.lock();
  while (!finished_) {
    lock.unlock();
    {
      std::lock_guard out(TerminalOutputLock());
      if (!paused_) DrawLocked();
    }
    lock.lock();
    wake_.wait_for(lock, options_.interval, [this] { return finished_; });
  }
}

void ProgressLine::DrawLocked() {
  const std::string text = label_ + kEllipsis + " " + std::to_string(Reports() - first_count_) + " reports";
  // The ellipsis is one column wide on the screen.
  const std::size_t width = text.size() - 2;
  err_ << '\r' << text;
  if (width < drawn_width_) err_ << std::string(drawn_width_ - width, ' ') << '\r' << text;
  err_.flush();
  drawn_width_ = width;
}

void ProgressLine::ClearLocked() {
  if (drawn_width_ == 0) return;
  err_ << '\r' << std::string(drawn_width_, ' ') << '\r';
  err_.flush();
  drawn_width_ = 0;
}

void ProgressLine::Pause() {
  paused_ = true;
  ClearLocked();
}

void ProgressLine::Resume() { paused_ = false; }

void ProgressLine::Fail() {
  {
    std::lock_guard lock(mutex_);
    failed_ = true;
  }
  Finish();
}

void ProgressLine::Finish() {
  {
    std::lock_guard lock(mutex_);
    if (finished_) return;
    finished_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (!shown_) return;
  std::lock_guard out(TerminalOutputLock());
  if (terminal_) {
    ClearLocked();
    SetActiveLineLocked(nullptr);
  } else if (!failed_) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", seconds);
    err_ << label_ << ": " << (Reports() - first_count_) << " reports in " << buf << " s\n";
    err_.flush();
  }
}

}  // namespace keyloom::cli
