#include "vkbdsocket/vkbd_client.h"

#include "platform/peer_user.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace keyloom::vkbdsocket {

VkbdClient::~VkbdClient() { Close(); }

VkbdClient::VkbdClient(VkbdClient&& other) noexcept : fd_(other.fd_), buffer_(std::move(other.buffer_)) {
  other.fd_ = -1;
}

VkbdClient& VkbdClient::operator=(VkbdClient&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    buffer_ = std::move(other.buffer_);
    other.fd_ = -1;
  }
  return *this;
}

void VkbdClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool VkbdClient::Connect(const std::string& path) {
  Close();
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // A socket served by another user is no keyboard of ours: it would hear
  // every key map and macro we send.
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || !peer::SameUser(fd)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool VkbdClient::Send(std::span<const std::uint8_t> message) {
  if (fd_ < 0) return false;
  for (;;) {
    ssize_t n = ::send(fd_, message.data(), message.size(), MSG_NOSIGNAL);
    if (n >= 0) return static_cast<std::size_t>(n) == message.size();
    if (errno != EINTR) return false;
  }
}

int VkbdClient::Receive(std::vector<std::uint8_t>& message, int timeoutMs) {
  if (fd_ < 0) return -1;
  pollfd p{fd_, POLLIN, 0};
  for (;;) {
    int r = ::poll(&p, 1, timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) return 0;
    break;
  }
  if (buffer_.size() != kMaxMessage) buffer_.resize(kMaxMessage);
  for (;;) {
    ssize_t n = ::recv(fd_, buffer_.data(), buffer_.size(), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      message.clear();
      return -1;  // 0: the server closed the connection
    }
    message.assign(buffer_.begin(), buffer_.begin() + n);
    return 1;
  }
}

bool VkbdClient::List(bool& plugged, std::vector<InterfaceInfo>& interfaces, int timeoutMs) {
  std::vector<std::uint8_t> reply;
  return Send(EncodeList()) && Receive(reply, timeoutMs) == 1 &&
         DecodeInterfaces(reply, plugged, interfaces);
}

bool VkbdClient::Open(std::uint8_t interfaceNumber, std::uint8_t* status, int timeoutMs) {
  std::vector<std::uint8_t> reply;
  std::uint8_t s = 0xFF;
  bool ok = Send(EncodeOpen(interfaceNumber)) && Receive(reply, timeoutMs) == 1 && DecodeOpened(reply, s);
  if (status) *status = s;
  return ok && s == kOpenOk;
}

bool VkbdClient::Ctl(const std::vector<std::string>& arguments, std::uint8_t& exitStatus, std::string& text,
                     int timeoutMs) {
  if (!Send(EncodeCtl(arguments))) return false;
  text.clear();
  std::vector<std::uint8_t> reply;
  for (;;) {
    std::string part;
    bool more = false;
    if (Receive(reply, timeoutMs) != 1 || !DecodeCtlReply(reply, exitStatus, more, part)) return false;
    text += part;
    if (!more) return true;
  }
}

}  // namespace keyloom::vkbdsocket
