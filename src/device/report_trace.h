#pragma once
// The report trace: with KEYLOOM_TRACE=FILE set (or a file given here), every
// report the utility writes or reads is appended to FILE as one line, "W" or
// "R", a space and the report's bytes as lowercase hex digits.
#include <cstddef>
#include <cstdint>
#include <string>

namespace keyloom::device {

// Starts tracing to `path` (appending), or stops with an empty path.
// Without a call, KEYLOOM_TRACE decides at the first report.
void SetReportTraceFile(const std::string& path);

// Traces to `path` for its lifetime; then the trace goes back to the file it
// had before (or stops).
class ScopedReportTrace {
 public:
  explicit ScopedReportTrace(const std::string& path);
  ~ScopedReportTrace();
  ScopedReportTrace(const ScopedReportTrace&) = delete;
  ScopedReportTrace& operator=(const ScopedReportTrace&) = delete;

 private:
  std::string previous_;
};
void TraceReport(char direction, const std::uint8_t* bytes, std::size_t length);
// The trace line without its newline, e.g. "W 0400..."
std::string TraceLine(char direction, const std::uint8_t* bytes, std::size_t length);

}  // namespace keyloom::device
