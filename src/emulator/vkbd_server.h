#pragma once
// keyloom-vkbd serve: one firmware model behind the socket protocol of
// vkbdsocket/socket_protocol.h. Single-threaded: one poll loop handles the listening
// socket, the connections and a queue of timed deliveries.
//
// Timing: an output report reaches the firmware `latencyMs` after it was
// received, and its reply leaves `latencyMs` (plus any delay fault) after
// that; consumer reports also leave `latencyMs` after the event. Deliveries
// to one connection keep their order unless a delay fault reorders them.
// Like a hidraw node, every connection bound to an interface receives every
// input report of it: each reply goes to every command connection (the one
// that sent the request last), each consumer report to every consumer one.
// Unplugging closes every bound connection and drops what was queued for
// them.
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <queue>
#include <string>
#include <vector>

#include "emulator/ctl_commands.h"
#include "emulator/firmware_model.h"
#include "emulator/report_trace.h"

namespace keyloom::emulator {

struct ServerOptions {
  std::string socketPath;  // empty = DefaultSocketPath()
  FirmwareOptions firmware;
  // With a state file present, the model and capacity not given explicitly
  // are taken from it; explicit ones must match it.
  bool modelGiven = false;
  bool capacityGiven = false;
  std::string statePath;   // empty = no state file
  std::string tracePath;   // empty = no trace
  std::uint32_t latencyMs = 1;
};

class VkbdServer : private CtlHost {
 public:
  explicit VkbdServer(ServerOptions options);
  ~VkbdServer() override;
  VkbdServer(const VkbdServer&) = delete;
  VkbdServer& operator=(const VkbdServer&) = delete;

  // Loads the state file (if given and present), opens the trace and binds
  // the socket. False with a message when any of it fails.
  bool Start(std::string& error);
  // Serves until Stop(); returns 0, or 1 after a fatal socket error.
  int Run();
  // Safe from any thread and from a signal handler.
  void Stop();

  FirmwareModel& Firmware() { return *firmware_; }
  const std::string& SocketPath() const { return options_.socketPath; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Connection {
    int fd = -1;
    bool bound = false;
    std::uint8_t interfaceNumber = 0;
  };
  struct Delivery {
    Clock::time_point due;
    std::uint64_t seq = 0;
    // kSend: a command reply (to every command handle); kEvent: one
    // consumer report to one handle.
    enum class Kind { kProcess, kSend, kEvent, kUnplug } kind = Kind::kSend;
    std::uint64_t connection = 0;
    std::vector<std::uint8_t> bytes;
    bool operator>(const Delivery& o) const { return due != o.due ? due > o.due : seq > o.seq; }
  };

  void Unplug() override;
  void Plug() override;

  void Accept();
  void Receive(std::uint64_t id);
  void HandleControl(std::uint64_t id, std::span<const std::uint8_t> message);
  void Schedule(Delivery::Kind kind, std::uint64_t connection, std::vector<std::uint8_t> bytes,
                Clock::duration after);
  void RunDue();
  void SendReply(std::uint64_t requester, std::span<const std::uint8_t> reply);
  bool SendTo(std::uint64_t id, std::span<const std::uint8_t> bytes, int flags = 0);
  void CloseConnection(std::uint64_t id);
  void OnConsumerReport(std::span<const std::uint8_t> report);
  void SaveStateIfChanged();
  double Elapsed() const;

  ServerOptions options_;
  std::unique_ptr<FirmwareModel> firmware_;
  ReportTrace trace_;
  int listenFd_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  bool ownsSocketFile_ = false;
  std::map<std::uint64_t, Connection> connections_;
  std::uint64_t nextId_ = 1;
  std::uint64_t nextSeq_ = 0;
  std::priority_queue<Delivery, std::vector<Delivery>, std::greater<Delivery>> queue_;
  std::uint64_t savedChanges_ = 0;
  std::vector<std::uint8_t> buffer_;
  Clock::time_point started_;
};

}  // namespace keyloom::emulator
