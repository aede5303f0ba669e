#pragma once
// A client connection to keyloom-vkbd: the control requests and, once bound
// to an interface, whole reports in both directions.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "vkbdsocket/socket_protocol.h"

namespace keyloom::vkbdsocket {

// A client connection. Move-only; closes its socket when destroyed.
class VkbdClient {
 public:
  VkbdClient() = default;
  ~VkbdClient();
  VkbdClient(VkbdClient&& other) noexcept;
  VkbdClient& operator=(VkbdClient&& other) noexcept;
  VkbdClient(const VkbdClient&) = delete;
  VkbdClient& operator=(const VkbdClient&) = delete;

  // Connects to the server; false when nobody listens there or the server
  // runs as another user.
  bool Connect(const std::string& path);
  bool Connected() const { return fd_ >= 0; }
  void Close();
  int Fd() const { return fd_; }

  // Control phase. Each waits at most timeoutMs for the answer.
  bool List(bool& plugged, std::vector<InterfaceInfo>& interfaces, int timeoutMs = 2000);
  // True when the connection is now bound to the interface.
  bool Open(std::uint8_t interfaceNumber, std::uint8_t* status = nullptr, int timeoutMs = 2000);
  bool Ctl(const std::vector<std::string>& arguments, std::uint8_t& exitStatus, std::string& text,
           int timeoutMs = 10000);

  // Sends one message (a report once bound); false on failure.
  bool Send(std::span<const std::uint8_t> message);
  // Receives one message: 1 and the bytes, 0 on time-out, -1 when the
  // connection is closed or failed. timeoutMs < 0 waits without limit.
  int Receive(std::vector<std::uint8_t>& message, int timeoutMs);

 private:
  int fd_ = -1;
  std::vector<std::uint8_t> buffer_;  // one message, allocated on first use
};

}  // namespace keyloom::vkbdsocket
