#pragma once
// The command report and its transaction: one 64-byte output report to the
// command device, one 64-byte input report back, with time-outs, retries and
// the transaction lock.
//
// Request: 0 report id 0x04 | 1..2 checksum LE (sum of bytes 3..63 modulo
// 65536) | 3 command | 4 payload length (0..56) | 5..6 address LE | 7 zero |
// 8..63 payload.  Reply: 0 report id 0x04 | 1..2 checksum LE of bytes 3..63 |
// 3 command, 4 length, 5..6 address, each echoed from the request | 7 status
// (0xFF, 0xFE refusals; any other value success) | 8..63 returned data.
#include <cstddef>
#include <cstdint>
#include <iosfwd>

namespace keyloom::device {

class DeviceLink;

inline constexpr std::size_t kReportBytes = 64;
inline constexpr std::size_t kPayloadBytes = 56;
inline constexpr std::size_t kPayloadOffset = 8;
inline constexpr std::size_t kStatusOffset = 7;
inline constexpr std::uint8_t kCommandReportId = 0x04;

// Results of every command operation; callers test for kOk. The numbers are
// the ones reported outward (static_cast<int> at the edges).
enum class [[nodiscard]] CommandResult : int {
  kOk = 1,
  kNotSent = 0,        // not connected, or no answer after four attempts
  kWriteFailed = -1,
  kBadReply = -2,      // four attempts, and what came back did not answer the request
  kRefusedFF = -102,   // status 0xFF
  kRefusedFE = -103,   // status 0xFE
  kBadLayer = -201,    // layer 3 or more; nothing sent
};

// Writes the number (test failure messages, logs).
std::ostream& operator<<(std::ostream& out, CommandResult result);

inline constexpr std::uint32_t kWriteTimeoutMs = 1000;
inline constexpr std::uint32_t kReadTimeoutMs = 300;
inline constexpr int kAttempts = 4;

// Sum of bytes 3..63 modulo 65536.
std::uint16_t RequestChecksum(const std::uint8_t* report);
// Stores the checksum in bytes 1 and 2.
void StoreChecksum(std::uint8_t* report);

// Whether `reply` (`reply_length` bytes received) is the keyboard's answer
// to `request` (64 bytes): a whole report with the report id, a matching
// checksum and the request's command, length and address echoed. Anything
// else (noise, a late answer to another request) is no answer and never data.
bool ReplyAnswersRequest(const std::uint8_t* request, const std::uint8_t* reply, std::size_t reply_length);

// Sends one request (cut to, or zero-filled up to, 64 bytes) on the link's
// command device, under its transaction lock, and reads its answer into `reply` (`reply_length` bytes).
// 1 answered; 0 not connected or no answer after four attempts; -1 the write
// failed; -2 four attempts and at least one reply came back that did not
// answer the request (see ReplyAnswersRequest). A reply that does not answer
// counts as a lost one: the request is written again, and the buffer is
// zeroed. `transferred` (may be null) gets the answer's byte count.
//
// Answers that come after their read gave up are counted as owed: the next
// transaction first collects them (waiting at most one read time-out) and
// discards every report already queued, so a late answer never lands in a
// later caller's buffer. The whole transaction holds the keyboard against
// other programs (device/keyboard_lock.h); when another program keeps it
// past the wait limit, the result is 0 and KeyboardBusy(link) is true.
CommandResult SendReport(DeviceLink& link, const std::uint8_t* request, std::size_t request_length,
                         std::uint8_t* reply, std::size_t reply_length, std::size_t* transferred);

// Answers still owed by the keyboard on the command device (for tests).
std::uint32_t OwedReplies(DeviceLink& link);

// Replies read since the start of the process, on every link, that did not
// answer the request they were read for (noise, another program's or a late
// answer); each was thrown away and the request sent again.
std::uint64_t UnansweringReplyCount();

// Requests sent on the link that change the keyboard's memory (the write
// commands: configuration, lighting, key layers, macros, key colours),
// whether answered or not: another program showing the keyboard must then
// read it again. Safe from any thread.
std::uint64_t ChangeRequestsSent(const DeviceLink& link);

// Transactions answered since the start of the process, on every link:
// progress displays count a long transfer's reports with it. Safe from any
// thread.
std::uint64_t AnsweredReportCount();

}  // namespace keyloom::device
