#include "emulator/report_trace.h"

#include <algorithm>
#include <array>

#include "emulator/state_file.h"

namespace keyloom::emulator {

std::string TraceLine(char direction, std::span<const std::uint8_t> report, double ms) {
  std::array<std::uint8_t, 64> bytes{};
  std::copy_n(report.begin(), std::min<std::size_t>(report.size(), 64), bytes.begin());
  std::string line(1, direction);
  line += ' ';
  line += ToHex(bytes.data(), bytes.size());
  char tail[64];
  std::snprintf(tail, sizeof tail, " t=%.3f", ms);
  line += tail;
  if (report.size() != 64) line += " len=" + std::to_string(report.size());
  line += '\n';
  return line;
}

ReportTrace::~ReportTrace() {
  if (file_) std::fclose(file_);
}

bool ReportTrace::Open(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (file_) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void ReportTrace::Write(char direction, std::span<const std::uint8_t> report, double ms) {
  std::lock_guard lock(mutex_);
  if (!file_) return;
  const std::string line = TraceLine(direction, report, ms);
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace keyloom::emulator
