#include "device/report_transaction.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <ostream>

#include "device/commands.h"
#include "device/device_table.h"
#include "device/keyboard_lock.h"

namespace keyloom::device {
namespace {

// Before a new request's first write: collects the answers still owed
// (waiting at most one read time-out), then drops whatever is queued.
// Before a retry only the queue is dropped: a late answer to an earlier
// attempt of the same request may still serve as this attempt's answer.
void SettleInput(TransactionState& s, HidDevice& device, bool new_request) {
  if (s.generation != device.OpenGeneration()) {
    s.generation = device.OpenGeneration();
    s.owed = 0;
  }
  std::array<std::uint8_t, kReportBytes> scratch{};
  // Owed to this program, or to the one that held the keyboard before: every
  // handle hears every answer.
  if (new_request && s.owed + s.inherited > 0) {
    std::uint32_t owed = s.owed + s.inherited;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
    while (owed > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      if (!device.Read(scratch.data(), scratch.size(), nullptr, static_cast<std::uint32_t>(left.count()))) break;
      --owed;
    }
    s.owed = 0;  // what did not come within a read time-out is taken as lost
    s.inherited = 0;
  }
  while (device.Read(scratch.data(), scratch.size(), nullptr, 0)) {
    if (s.owed > 0) --s.owed;
  }
}

// The commands that change the keyboard's memory (device/commands.h).
bool ChangesTheKeyboard(std::uint8_t command) {
  return command == kCmdWriteConfig || command == kCmdWriteLightingArea || command == kCmdWriteKeyLayer ||
         command == kCmdWriteMacroArea || command == kCmdWriteKeyColours;
}

std::atomic<std::uint64_t> g_answered{0};
std::atomic<std::uint64_t> g_unanswering{0};

}  // namespace

std::uint16_t RequestChecksum(const std::uint8_t* report) {
  std::uint32_t sum = 0;
  for (std::size_t i = 3; i < kReportBytes; ++i) sum += report[i];
  return static_cast<std::uint16_t>(sum & 0xFFFF);
}

void StoreChecksum(std::uint8_t* report) {
  const std::uint16_t sum = RequestChecksum(report);
  report[1] = static_cast<std::uint8_t>(sum & 0xFF);
  report[2] = static_cast<std::uint8_t>(sum >> 8);
}

std::uint64_t AnsweredReportCount() { return g_answered.load(std::memory_order_relaxed); }

std::uint64_t ChangeRequestsSent(const DeviceLink& link) { return link.transactions.changes_sent.load(); }

std::uint64_t UnansweringReplyCount() { return g_unanswering.load(std::memory_order_relaxed); }

bool ReplyAnswersRequest(const std::uint8_t* request, const std::uint8_t* reply, std::size_t reply_length) {
  if (reply_length < kReportBytes) return false;
  if (reply[0] != kCommandReportId) return false;
  const std::uint16_t checksum = static_cast<std::uint16_t>(reply[1] | (reply[2] << 8));
  if (checksum != RequestChecksum(reply)) return false;
  // Command, length and address come back as they were sent.
  for (std::size_t i = 3; i < kStatusOffset; ++i) {
    if (reply[i] != request[i]) return false;
  }
  return true;
}

std::uint32_t OwedReplies(DeviceLink& link) {
  std::lock_guard lock(link.transactions.lock);
  return link.transactions.owed + link.transactions.inherited;
}

std::ostream& operator<<(std::ostream& out, CommandResult result) { return out << static_cast<int>(result); }

CommandResult SendReport(DeviceLink& link, const std::uint8_t* request, std::size_t request_length,
                         std::uint8_t* reply, std::size_t reply_length, std::size_t* transferred) {
  if (transferred) *transferred = 0;
  if (link.DeviceConnected.load() == 0) return CommandResult::kNotSent;

  std::array<std::uint8_t, kReportBytes> report{};
  std::memcpy(report.data(), request, std::min(request_length, kReportBytes));

  HidDevice& device = link.CommandDevice();
  TransactionState& owed = link.transactions;
  // No other program's transaction comes between this one's attempts.
  KeyboardHold hold(link);
  if (!hold.Held()) return CommandResult::kNotSent;
  bool unanswered = false;  // a reply came that did not answer the request
  for (int attempt = 0;;) {
    // The write and the read of its answer form one transaction.
    std::lock_guard lock(owed.lock);
    SettleInput(owed, device, attempt == 0);
    if (ChangesTheKeyboard(report[3])) owed.changes_sent.fetch_add(1);
    if (!device.Write(report.data(), report.size(), nullptr, kWriteTimeoutMs)) return CommandResult::kWriteFailed;
    ++owed.owed;
    std::size_t got = 0;
    if (device.Read(reply, reply_length, &got, kReadTimeoutMs)) {
      --owed.owed;
      if (ReplyAnswersRequest(report.data(), reply, got)) {
        g_answered.fetch_add(1, std::memory_order_relaxed);
        if (transferred) *transferred = got;
        return CommandResult::kOk;
      }
      std::memset(reply, 0, reply_length);
      unanswered = true;
      g_unanswering.fetch_add(1, std::memory_order_relaxed);
    }
    if (++attempt > kAttempts - 1) return unanswered ? CommandResult::kBadReply : CommandResult::kNotSent;
  }
}

}  // namespace keyloom::device
