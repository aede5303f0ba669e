#include "device/report_trace.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace keyloom::device {
namespace {

struct TraceState {
  std::mutex mutex;
  bool decided = false;
  std::FILE* file = nullptr;
  std::string path;  // of `file`
};

TraceState& State() {
  static TraceState state;
  return state;
}

void OpenLocked(TraceState& s, const std::string& path) {
  if (s.file) std::fclose(s.file);
  s.file = path.empty() ? nullptr : std::fopen(path.c_str(), "ae");
  s.path = s.file ? path : std::string();
  s.decided = true;
}

}  // namespace

void SetReportTraceFile(const std::string& path) {
  TraceState& s = State();
  std::lock_guard lock(s.mutex);
  OpenLocked(s, path);
}

ScopedReportTrace::ScopedReportTrace(const std::string& path) {
  TraceState& s = State();
  std::lock_guard lock(s.mutex);
  previous_ = s.path;
  OpenLocked(s, path);
}

ScopedReportTrace::~ScopedReportTrace() { SetReportTraceFile(previous_); }

std::string TraceLine(char direction, const std::uint8_t* bytes, std::size_t length) {
  static const char kHex[] = "0123456789abcdef";
  std::string line;
  line.reserve(2 + 2 * length);
  line.push_back(direction);
  line.push_back(' ');
  for (std::size_t i = 0; i < length; ++i) {
    line.push_back(kHex[bytes[i] >> 4]);
    line.push_back(kHex[bytes[i] & 0x0F]);
  }
  return line;
}

void TraceReport(char direction, const std::uint8_t* bytes, std::size_t length) {
  TraceState& s = State();
  std::lock_guard lock(s.mutex);
  if (!s.decided) {
    const char* env = std::getenv("KEYLOOM_TRACE");
    OpenLocked(s, env ? env : "");
  }
  if (!s.file) return;
  const std::string line = TraceLine(direction, bytes, length);
  std::fputs(line.c_str(), s.file);
  std::fputc('\n', s.file);
  std::fflush(s.file);
}

}  // namespace keyloom::device
