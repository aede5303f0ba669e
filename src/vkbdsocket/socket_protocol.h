#pragma once
// The wire protocol of keyloom-vkbd (its client is in vkbd_client.h).
//
// Transport: a Unix socket of type SOCK_SEQPACKET. Every message is one
// datagram; nothing is split or joined. Default path: $KEYLOOM_VKBD_SOCKET,
// else keyloom-vkbd.sock in the user's private runtime folder
// (platform/paths.h RuntimeDir). Both ends serve or talk only to a peer of
// their own user (the socket's SO_PEERCRED).
//
// A connection starts in the control phase. All integers are little-endian.
// Every control message starts with the type byte and the version byte
// (kProtocolVersion = 1).
//
// Client -> server (control phase):
//   LIST  0x4C 'L' | version                              -> INTERFACES
//   OPEN  0x4F 'O' | version | interface number (u8)       -> OPENED
//   CTL   0x43 'C' | version | arguments, each UTF-8 text followed by 0x00
//                                                          -> CTL_REPLY
// Server -> client:
//   INTERFACES 0x6C 'l' | version | plugged (u8 0/1) | count n (u8) |
//              n records of:
//                number u8 | vendor u16 | product u16 | usage page u16 |
//                usage u16 | input report length u16 | output report length
//                u16 | feature report length u16 | descriptor length u16 |
//                descriptor bytes
//              (lengths count the report id byte; while unplugged n = 0)
//   OPENED     0x6F 'o' | version | status u8 (0 opened, 1 no such
//              interface, 2 keyboard unplugged)
//   CTL_REPLY  0x63 'c' | version | exit status u8 (0 success) | more u8 (1:
//              another CTL_REPLY part follows) | text UTF-8, at most
//              kCtlReplyPart bytes per part (the command's output on
//              success, an error message otherwise; the parts joined)
//   ERROR      0x65 'e' | version | code u8 (1 malformed message, 2 unknown
//              type, 3 wrong version); the server then closes the connection.
//
// After OPENED with status 0 the connection is bound to that interface and
// carries reports only: each client message is one output report (report id
// first, as many bytes as the interface's output report length; the command
// interface answers each with one input report unless a fault or unplugging
// intervenes), each server message is one input report of the interface
// (for the consumer interface, 3 bytes: 0x01, usage LE). As with a hidraw
// node, every connection bound to an interface receives every input report
// of it: the reply to one client's request reaches every client bound to the
// command interface, so a client must tell its own answers from others'. An
// empty message
// cannot be told from the end of the connection and closes it. When the keyboard is
// unplugged the server closes every bound connection; LIST then answers with
// plugged 0 and no interfaces and OPEN with status 2 until it is plugged again.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace keyloom::vkbdsocket {

constexpr std::uint8_t kProtocolVersion = 1;
constexpr std::uint8_t kMsgList = 0x4C;
constexpr std::uint8_t kMsgOpen = 0x4F;
constexpr std::uint8_t kMsgCtl = 0x43;
constexpr std::uint8_t kMsgInterfaces = 0x6C;
constexpr std::uint8_t kMsgOpened = 0x6F;
constexpr std::uint8_t kMsgCtlReply = 0x63;
constexpr std::uint8_t kMsgError = 0x65;

constexpr std::uint8_t kOpenOk = 0;
constexpr std::uint8_t kOpenNoSuchInterface = 1;
constexpr std::uint8_t kOpenUnplugged = 2;

constexpr std::uint8_t kErrorMalformed = 1;
constexpr std::uint8_t kErrorUnknownType = 2;
constexpr std::uint8_t kErrorVersion = 3;

// Largest message either side sends; longer ctl output goes in parts.
constexpr std::size_t kMaxMessage = 1 << 17;
constexpr std::size_t kCtlReplyPart = 60000;

// One interface of the keyboard as a host lists it. Report lengths count the
// report id byte (0 = the interface has no such report).
struct InterfaceInfo {
  std::uint8_t number = 0;
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  std::uint16_t inputLength = 0;
  std::uint16_t outputLength = 0;
  std::uint16_t featureLength = 0;
  std::vector<std::uint8_t> descriptor;
  bool operator==(const InterfaceInfo&) const = default;
};

// $KEYLOOM_VKBD_SOCKET, else keyloom-vkbd.sock in the private runtime
// folder; empty when there is no private runtime folder.
std::string DefaultSocketPath();

// A control message as the server parses it.
struct ControlMessage {
  enum class Kind { kList, kOpen, kCtl, kInvalid } kind = Kind::kInvalid;
  std::uint8_t interfaceNumber = 0;   // kOpen
  std::vector<std::string> arguments; // kCtl
  std::uint8_t error = 0;             // kInvalid: the ERROR code to answer
};
// Safe on any bytes.
ControlMessage ParseControlMessage(std::span<const std::uint8_t> message);

std::vector<std::uint8_t> EncodeList();
std::vector<std::uint8_t> EncodeOpen(std::uint8_t interfaceNumber);
std::vector<std::uint8_t> EncodeCtl(const std::vector<std::string>& arguments);
std::vector<std::uint8_t> EncodeInterfaces(bool plugged, const std::vector<InterfaceInfo>& interfaces);
std::vector<std::uint8_t> EncodeOpened(std::uint8_t status);
// The parts of one reply (at least one).
std::vector<std::vector<std::uint8_t>> EncodeCtlReply(std::uint8_t exitStatus, const std::string& text);
std::vector<std::uint8_t> EncodeError(std::uint8_t code);

// Client-side decoders; false on anything malformed (safe on any bytes).
bool DecodeInterfaces(std::span<const std::uint8_t> message, bool& plugged,
                      std::vector<InterfaceInfo>& interfaces);
bool DecodeOpened(std::span<const std::uint8_t> message, std::uint8_t& status);
// One part: its status, whether more follow, and its text.
bool DecodeCtlReply(std::span<const std::uint8_t> message, std::uint8_t& exitStatus, bool& more,
                    std::string& text);

}  // namespace keyloom::vkbdsocket
