#include "device/virtual_backend.h"

#include <poll.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "vkbdsocket/vkbd_client.h"

namespace keyloom::device {
namespace {

constexpr char kPathPrefix[] = "vkbd:";
constexpr int kControlTimeoutMs = 2000;

int InterfaceOfPath(const std::string& path) {
  if (path.rfind(kPathPrefix, 0) != 0) return -1;
  const std::string digits = path.substr(sizeof kPathPrefix - 1);
  if (digits.empty() || digits.size() > 3 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return -1;
  const int n = std::stoi(digits);
  return n <= 255 ? n : -1;
}

// An open interface's connection as the probes see it. The server closes
// every connection bound to the keyboard when the keyboard goes away (and
// all of them when it stops), so a connection still open means the
// keyboard is still there: asking that costs one poll() and no message.
struct ChannelWatch {
  std::mutex mutex;
  int fd = -1;  // -1 once the channel is gone
};

class VirtualChannel final : public HidChannel {
 public:
  VirtualChannel(vkbdsocket::VkbdClient client, vkbdsocket::InterfaceInfo info, std::shared_ptr<ChannelWatch> watch)
      : client_(std::move(client)), info_(std::move(info)), watch_(std::move(watch)) {
    std::lock_guard lock(watch_->mutex);
    watch_->fd = client_.Fd();
  }
  ~VirtualChannel() override {
    // Before the connection closes: a probe never polls a closed (or
    // reused) descriptor.
    std::lock_guard lock(watch_->mutex);
    watch_->fd = -1;
  }
  VirtualChannel(const VirtualChannel&) = delete;
  VirtualChannel& operator=(const VirtualChannel&) = delete;

  HidAttributes Attributes() const override { return {info_.vendor, info_.product, 0x0100}; }
  // The server closes the connection when the keyboard is unplugged.
  int HangUpFd() const override { return client_.Fd(); }
  std::vector<std::uint8_t> ReportDescriptor() const override { return info_.descriptor; }

  IoResult Read(std::uint8_t* buffer, std::size_t length, std::size_t& transferred, SteadyTime deadline,
                AbortEvent& abort) override {
    transferred = 0;
    for (;;) {
      switch (WaitReadable(client_.Fd(), abort, deadline)) {
        case WaitResult::Ready: break;
        case WaitResult::TimedOut: return IoResult::TimedOut;
        case WaitResult::Aborted: return IoResult::Aborted;
        case WaitResult::Failed: return IoResult::Failed;
      }
      message_.clear();
      const int r = client_.Receive(message_, 0);
      if (r < 0) return IoResult::Failed;  // the keyboard went away
      if (r == 0) continue;
      const std::size_t n = std::min(length, message_.size());
      std::memcpy(buffer, message_.data(), n);
      transferred = n;
      return IoResult::Ok;
    }
  }

  IoResult Write(const std::uint8_t* buffer, std::size_t length, std::size_t& transferred, SteadyTime deadline,
                 AbortEvent& abort) override {
    transferred = 0;
    switch (WaitWritable(client_.Fd(), abort, deadline)) {
      case WaitResult::Ready: break;
      case WaitResult::TimedOut: return IoResult::TimedOut;
      case WaitResult::Aborted: return IoResult::Aborted;
      case WaitResult::Failed: return IoResult::Failed;
    }
    if (!client_.Send({buffer, length})) return IoResult::Failed;
    transferred = length;
    return IoResult::Ok;
  }

 private:
  vkbdsocket::VkbdClient client_;
  vkbdsocket::InterfaceInfo info_;
  std::shared_ptr<ChannelWatch> watch_;
  std::vector<std::uint8_t> message_;
};

class VirtualBackend final : public HidBackend {
 public:
  explicit VirtualBackend(std::string socket) : socket_(std::move(socket)) {}

  bool Enumerate(std::vector<HidInterfaceInfo>& out) override {
    out.clear();
    std::vector<vkbdsocket::InterfaceInfo> interfaces;
    bool plugged = false;
    vkbdsocket::VkbdClient client;
    // No server is like no keyboard: an empty listing, not a failure.
    if (!client.Connect(Socket()) || !client.List(plugged, interfaces, kControlTimeoutMs)) return true;
    for (const vkbdsocket::InterfaceInfo& i : interfaces) {
      out.push_back({kPathPrefix + std::to_string(i.number), i.vendor, i.product, i.usagePage, i.usage});
    }
    return true;
  }

  std::unique_ptr<HidChannel> Open(const std::string& path, bool, bool, bool) override {
    const int number = InterfaceOfPath(path);
    if (number < 0) return nullptr;
    vkbdsocket::VkbdClient client;
    std::vector<vkbdsocket::InterfaceInfo> interfaces;
    bool plugged = false;
    if (!client.Connect(Socket()) || !client.List(plugged, interfaces, kControlTimeoutMs)) return nullptr;
    auto it = std::find_if(interfaces.begin(), interfaces.end(),
                           [&](const vkbdsocket::InterfaceInfo& i) { return i.number == number; });
    if (it == interfaces.end()) return nullptr;
    if (!client.Open(static_cast<std::uint8_t>(number), nullptr, kControlTimeoutMs)) return nullptr;
    auto watch = std::make_shared<ChannelWatch>();
    {
      std::lock_guard lock(probe_mutex_);
      watches_[number] = watch;
    }
    return std::make_unique<VirtualChannel>(std::move(client), *it, std::move(watch));
  }

  // One keyboard per server.
  std::string KeyboardLockName() const override { return "vkbd:" + Socket(); }

  // The connection monitor probes the open interface ten times a second.
  // While this backend has the interface open, its connection tells
  // (ChannelWatch); otherwise the server is asked, the probes sharing one
  // control connection instead of making one each, and a connection that
  // broke is made again once.
  bool Probe(const std::string& path) override {
    const int number = InterfaceOfPath(path);
    if (number < 0) return false;
    std::lock_guard lock(probe_mutex_);
    if (const std::optional<bool> open = ProbeOpenChannel(number)) return *open;
    std::vector<vkbdsocket::InterfaceInfo> interfaces;
    bool plugged = false;
    bool listed = false;
    for (int attempt = 0; attempt < 2 && !listed; ++attempt) {
      if (!probe_client_.Connected() && !probe_client_.Connect(Socket())) return false;
      listed = probe_client_.List(plugged, interfaces, kControlTimeoutMs);
      if (!listed) probe_client_.Close();
    }
    return listed && plugged && std::any_of(interfaces.begin(), interfaces.end(),
                                            [&](const vkbdsocket::InterfaceInfo& i) { return i.number == number; });
  }

 private:
  std::string Socket() const { return socket_.empty() ? vkbdsocket::DefaultSocketPath() : socket_; }

  // Whether the open channel of the interface is still connected; nothing
  // when no channel of this backend has it open. Called with probe_mutex_.
  std::optional<bool> ProbeOpenChannel(int number) {
    auto it = watches_.find(number);
    if (it == watches_.end()) return std::nullopt;
    const std::shared_ptr<ChannelWatch> watch = it->second.lock();
    if (!watch) {
      watches_.erase(it);
      return std::nullopt;
    }
    std::lock_guard lock(watch->mutex);
    if (watch->fd < 0) return std::nullopt;
    pollfd p{watch->fd, POLLRDHUP, 0};
    if (::poll(&p, 1, 0) < 0) return std::nullopt;
    return (p.revents & (POLLHUP | POLLRDHUP | POLLERR | POLLNVAL)) == 0;
  }

  std::string socket_;
  std::mutex probe_mutex_;
  vkbdsocket::VkbdClient probe_client_;
  std::map<int, std::weak_ptr<ChannelWatch>> watches_;  // the latest open channel per interface
};

}  // namespace

std::shared_ptr<HidBackend> MakeVirtualBackend(const std::string& socket_path) {
  return std::make_shared<VirtualBackend>(socket_path);
}

}  // namespace keyloom::device
