#pragma once
// The report trace of keyloom-vkbd --trace FILE: one line per command
// report, "W" (to the keyboard) or "R" (from it), a space, the 64 bytes as
// 128 lowercase hex digits, then a space and the time in ms since the server
// started ("t=12.345"). A report that was not 64 bytes long is shown cut or
// zero-padded to 64 and the line ends with " len=N".
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <span>
#include <string>

namespace keyloom::emulator {

std::string TraceLine(char direction, std::span<const std::uint8_t> report, double ms);

class ReportTrace {
 public:
  ReportTrace() = default;
  ~ReportTrace();
  ReportTrace(const ReportTrace&) = delete;
  ReportTrace& operator=(const ReportTrace&) = delete;
  // Truncates and opens the file; false when it cannot be opened.
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  void Write(char direction, std::span<const std::uint8_t> report, double ms);

 private:
  std::mutex mutex_;
  std::FILE* file_ = nullptr;
};

}  // namespace keyloom::emulator
