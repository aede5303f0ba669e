#include "emulator/vkbd_server.h"

#include <filesystem>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "emulator/descriptors.h"
#include "emulator/state_file.h"
#include "platform/peer_user.h"
#include "vkbdsocket/socket_protocol.h"
#include "vkbdsocket/vkbd_client.h"

namespace keyloom::emulator {

using namespace vkbdsocket;

VkbdServer::VkbdServer(ServerOptions options) : options_(std::move(options)) {
  if (options_.socketPath.empty()) options_.socketPath = DefaultSocketPath();
  started_ = Clock::now();
}

VkbdServer::~VkbdServer() {
  if (firmware_) firmware_->SetInputListener(nullptr);
  for (auto& [id, c] : connections_) ::close(c.fd);
  if (listenFd_ >= 0) ::close(listenFd_);
  if (ownsSocketFile_) ::unlink(options_.socketPath.c_str());
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

bool VkbdServer::Start(std::string& error) {
  // The state file decides model and capacity when it exists; a conflicting
  // command line is an error rather than a silent loss of the stored state.
  FirmwareOptions fw = options_.firmware;
  DecodedState state;
  bool haveState = false;
  if (!options_.statePath.empty()) {
    std::string text;
    std::error_code ec;
    const bool exists = std::filesystem::symlink_status(options_.statePath, ec).type() !=
                        std::filesystem::file_type::not_found;
    if (!ReadWholeFile(options_.statePath, text) && exists && !ec) {
      // Never replaced by a fresh keyboard: what it holds may be the user's.
      error = options_.statePath + ": cannot be read (no regular file, unreadable or larger than " +
              std::to_string(kMaxStateFileBytes >> 20) + " MiB)";
      return false;
    }
    if (exists && !ec) {
      if (!DecodeState(text, state, error)) {
        error = options_.statePath + ": " + error;
        return false;
      }
      if (!options_.modelGiven) {
        fw.vendor = state.model->vendor;
        fw.product = state.model->product;
      }
      if (!options_.capacityGiven) fw.macroCapacity = state.capacity;
      if (state.model->vendor != fw.vendor || state.model->product != fw.product ||
          state.capacity != FirmwareModel(fw).MacroCapacity()) {
        error = options_.statePath + ": holds a " + ModelName(*state.model) + " keyboard with " +
                std::to_string(state.capacity) + " bytes of macro memory; start with the same --model and --capacity";
        return false;
      }
      haveState = true;
    }
  }
  firmware_ = std::make_unique<FirmwareModel>(fw);
  if (haveState && !firmware_->Restore(state.memories)) {
    error = options_.statePath + ": area sizes do not match the model";
    return false;
  }
  savedChanges_ = firmware_->ChangeCount();
  if (!options_.statePath.empty() && !haveState) {
    if (!WriteFileAtomically(options_.statePath,
                             EncodeState(firmware_->Model(), firmware_->MacroCapacity(), firmware_->Snapshot()))) {
      error = options_.statePath + ": cannot be written";
      return false;
    }
  }
  if (!options_.tracePath.empty() && !trace_.Open(options_.tracePath)) {
    error = options_.tracePath + ": cannot be opened";
    return false;
  }

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = "pipe: " + std::string(std::strerror(errno));
    return false;
  }
  wakeRead_ = pipeFds[0];
  wakeWrite_ = pipeFds[1];

  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string& path = options_.socketPath;
  if (path.empty()) {
    error = "no private runtime folder for the socket; give --socket or set XDG_RUNTIME_DIR";
    return false;
  }
  if (path.size() >= sizeof addr.sun_path) {
    error = "socket path too long: " + path;
    return false;
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  // A socket file nobody answers on is left over from a crash: replace it.
  struct stat st{};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      error = path + " exists and is not a socket";
      return false;
    }
    VkbdClient probe;
    if (probe.Connect(path)) {
      error = "another keyloom-vkbd serves " + path;
      return false;
    }
    ::unlink(path.c_str());
  }
  listenFd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listenFd_, 16) != 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  ownsSocketFile_ = true;
  ::chmod(path.c_str(), 0600);
  firmware_->SetInputListener([this](std::span<const std::uint8_t> r) { OnConsumerReport(r); });
  return true;
}

void VkbdServer::Stop() {
  if (wakeWrite_ >= 0) {
    const char b = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeWrite_, &b, 1);
  }
}

double VkbdServer::Elapsed() const {
  return std::chrono::duration<double, std::milli>(Clock::now() - started_).count();
}

int VkbdServer::Run() {
  if (listenFd_ < 0) return 1;
  for (;;) {
    std::vector<pollfd> fds;
    std::vector<std::uint64_t> ids;
    fds.push_back({wakeRead_, POLLIN, 0});
    fds.push_back({listenFd_, POLLIN, 0});
    for (const auto& [id, c] : connections_) {
      fds.push_back({c.fd, POLLIN, 0});
      ids.push_back(id);
    }
    // Woken when the next delivery is due, to the microsecond: a timeout in
    // whole milliseconds would make every report up to a millisecond later
    // than the latency asked for.
    timespec timeout{};
    timespec* until_due = nullptr;
    if (!queue_.empty()) {
      const auto wait = std::max(std::chrono::microseconds(0),
                                 std::chrono::ceil<std::chrono::microseconds>(queue_.top().due - Clock::now()));
      timeout.tv_sec = static_cast<time_t>(wait.count() / 1000000);
      timeout.tv_nsec = static_cast<long>(wait.count() % 1000000) * 1000;
      until_due = &timeout;
    }
    const int r = ::ppoll(fds.data(), fds.size(), until_due, nullptr);
    if (r < 0 && errno != EINTR) return 1;
    if (r > 0) {
      if (fds[0].revents & POLLIN) return 0;
      if (fds[1].revents & POLLIN) Accept();
      for (std::size_t i = 0; i < ids.size(); ++i) {
        if (fds[i + 2].revents & (POLLIN | POLLHUP | POLLERR)) Receive(ids[i]);
      }
    }
    RunDue();
  }
}

void VkbdServer::Accept() {
  for (;;) {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    // Only processes of our own user reach the keyboard.
    if (!peer::SameUser(fd)) {
      ::close(fd);
      continue;
    }
    // Sends block at most one second: a client that stops reading loses
    // messages rather than stalling the keyboard.
    timeval tv{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    int size = static_cast<int>(kMaxMessage) * 2;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    Connection c;
    c.fd = fd;
    connections_[nextId_++] = c;
  }
}

void VkbdServer::Receive(std::uint64_t id) {
  auto it = connections_.find(id);
  if (it == connections_.end()) return;
  if (buffer_.size() != kMaxMessage) buffer_.resize(kMaxMessage);
  const ssize_t n = ::recv(it->second.fd, buffer_.data(), buffer_.size(), MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (n <= 0) {
    CloseConnection(id);
    return;
  }
  std::span<const std::uint8_t> message(buffer_.data(), static_cast<std::size_t>(n));
  if (!it->second.bound) {
    HandleControl(id, message);
    return;
  }
  if (it->second.interfaceNumber != kCommandInterface) return;  // no output reports there
  trace_.Write('W', message, Elapsed());
  Schedule(Delivery::Kind::kProcess, id, std::vector<std::uint8_t>(message.begin(), message.end()),
           std::chrono::milliseconds(options_.latencyMs));
}

void VkbdServer::HandleControl(std::uint64_t id, std::span<const std::uint8_t> message) {
  const ControlMessage m = ParseControlMessage(message);
  switch (m.kind) {
    case ControlMessage::Kind::kList: {
      const auto& model = firmware_->Model();
      SendTo(id, EncodeInterfaces(firmware_->Plugged(), KeyboardInterfaces(model.vendor, model.product)));
      return;
    }
    case ControlMessage::Kind::kOpen: {
      std::uint8_t status = kOpenOk;
      if (!firmware_->Plugged()) status = kOpenUnplugged;
      else if (m.interfaceNumber != kConsumerInterface && m.interfaceNumber != kCommandInterface)
        status = kOpenNoSuchInterface;
      SendTo(id, EncodeOpened(status));
      auto it = connections_.find(id);
      if (status == kOpenOk && it != connections_.end()) {
        it->second.bound = true;
        it->second.interfaceNumber = m.interfaceNumber;
      }
      return;
    }
    case ControlMessage::Kind::kCtl: {
      const CtlResult result = RunCtlCommand(*firmware_, *this, m.arguments);
      SaveStateIfChanged();
      // A reply that cannot be sent whole is not sent in pieces.
      for (const auto& part : EncodeCtlReply(static_cast<std::uint8_t>(result.status), result.text)) {
        if (!SendTo(id, part)) {
          CloseConnection(id);
          break;
        }
      }
      return;
    }
    case ControlMessage::Kind::kInvalid:
      SendTo(id, EncodeError(m.error));
      CloseConnection(id);
      return;
  }
}

void VkbdServer::Schedule(Delivery::Kind kind, std::uint64_t connection, std::vector<std::uint8_t> bytes,
                          Clock::duration after) {
  Delivery d;
  d.due = Clock::now() + after;
  d.seq = nextSeq_++;
  d.kind = kind;
  d.connection = connection;
  d.bytes = std::move(bytes);
  queue_.push(std::move(d));
}

void VkbdServer::RunDue() {
  while (!queue_.empty() && queue_.top().due <= Clock::now()) {
    Delivery d = queue_.top();
    queue_.pop();
    switch (d.kind) {
      case Delivery::Kind::kProcess: {
        // A report on its way is carried out even if the host has closed
        // its handle since; only the reply has nowhere to go.
        const RequestOutcome out = firmware_->Transact(d.bytes);
        SaveStateIfChanged();
        const auto latency = std::chrono::milliseconds(options_.latencyMs);
        if (out.hasReply) {
          Schedule(Delivery::Kind::kSend, d.connection, std::vector<std::uint8_t>(out.reply.begin(), out.reply.end()),
                   latency + std::chrono::milliseconds(out.delayMs));
        }
        if (out.unplugAfter) {
          // After the last reply has left.
          Schedule(Delivery::Kind::kUnplug, 0, {}, latency + std::chrono::milliseconds(out.delayMs));
        }
        break;
      }
      case Delivery::Kind::kSend:
        SendReply(d.connection, d.bytes);
        break;
      case Delivery::Kind::kEvent:
        SendTo(d.connection, d.bytes);
        break;
      case Delivery::Kind::kUnplug:
        Unplug();
        break;
    }
  }
}

void VkbdServer::SendReply(std::uint64_t requester, std::span<const std::uint8_t> reply) {
  // As on a hidraw node, every open handle of the command interface gets a
  // copy of every input report, whoever asked. The other handles get theirs
  // first and without waiting (a handle nobody reads loses reports rather
  // than stalling the keyboard), so that when the requester has its answer,
  // every other copy is already queued where its reader will find it.
  std::vector<std::uint64_t> others;
  for (const auto& [id, c] : connections_) {
    if (id != requester && c.bound && c.interfaceNumber == kCommandInterface) others.push_back(id);
  }
  if (others.empty() && connections_.count(requester) == 0) return;  // nobody to hear it
  trace_.Write('R', reply, Elapsed());
  for (std::uint64_t id : others) SendTo(id, reply, MSG_DONTWAIT);
  SendTo(requester, reply);
}

bool VkbdServer::SendTo(std::uint64_t id, std::span<const std::uint8_t> bytes, int flags) {
  auto it = connections_.find(id);
  if (it == connections_.end()) return false;
  for (;;) {
    const ssize_t n = ::send(it->second.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | flags);
    if (n >= 0) return true;
    if (errno == EINTR) continue;
    if (errno == EPIPE || errno == ECONNRESET) CloseConnection(id);
    return false;  // a time-out (or a full queue) loses this message only
  }
}

void VkbdServer::CloseConnection(std::uint64_t id) {
  auto it = connections_.find(id);
  if (it == connections_.end()) return;
  ::close(it->second.fd);
  connections_.erase(it);
}

void VkbdServer::OnConsumerReport(std::span<const std::uint8_t> report) {
  for (const auto& [id, c] : connections_) {
    if (c.bound && c.interfaceNumber == kConsumerInterface) {
      Schedule(Delivery::Kind::kEvent, id, std::vector<std::uint8_t>(report.begin(), report.end()),
               std::chrono::milliseconds(options_.latencyMs));
    }
  }
}

void VkbdServer::Unplug() {
  firmware_->SetPlugged(false);
  // Reports on their way die with the link.
  queue_ = {};
  std::vector<std::uint64_t> bound;
  for (const auto& [id, c] : connections_) {
    if (c.bound) bound.push_back(id);
  }
  for (auto id : bound) CloseConnection(id);
}

void VkbdServer::Plug() { firmware_->SetPlugged(true); }

void VkbdServer::SaveStateIfChanged() {
  if (options_.statePath.empty()) return;
  const std::uint64_t changes = firmware_->ChangeCount();
  if (changes == savedChanges_) return;
  if (WriteFileAtomically(options_.statePath,
                          EncodeState(firmware_->Model(), firmware_->MacroCapacity(), firmware_->Snapshot()))) {
    savedChanges_ = changes;
  }
}

}  // namespace keyloom::emulator
