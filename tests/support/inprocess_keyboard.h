#pragma once
// The virtual keyboard in the same process: a HID backend on the firmware
// model, with a latency per report each way, the model's faults, unplugging
// and plugging, and the consumer events it raises. Test support for the
// tests and benchmarks; the programs reach the virtual keyboard through its
// socket (device/virtual_backend.h).
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/hid_backend.h"
#include "emulator/firmware_model.h"

namespace keyloom::device {

class InProcessKeyboard final : public HidBackend, public std::enable_shared_from_this<InProcessKeyboard> {
 public:
  // `model` must outlive the backend. Paths are "inproc:0" (consumer
  // interface) and "inproc:1" (command interface).
  static std::shared_ptr<InProcessKeyboard> Create(emulator::FirmwareModel& model,
                                                   std::chrono::microseconds latency = {});
  ~InProcessKeyboard() override;

  bool Enumerate(std::vector<HidInterfaceInfo>& out) override;
  std::unique_ptr<HidChannel> Open(const std::string& path, bool read, bool write, bool exclusive) override;
  bool Probe(const std::string& path) override;

  // The keyboard goes away: open interfaces fail from now on, the listing
  // is empty. Plug brings it back; interfaces must be opened again.
  void Unplug();
  void Plug();
  bool Plugged() const;

  emulator::FirmwareModel& Model() { return model_; }
  // Reports written on the command interface so far.
  std::uint64_t WriteCount() const;

  struct ChannelState;  // shared with the open channels

 private:
  InProcessKeyboard(emulator::FirmwareModel& model, std::chrono::microseconds latency);
  void OnInput(const std::uint8_t* bytes, std::size_t length);
  void KillChannels(bool drop_queued);

  emulator::FirmwareModel& model_;
  std::chrono::microseconds latency_;
  mutable std::mutex mutex_;
  std::vector<std::weak_ptr<ChannelState>> channels_;
  std::uint64_t writes_ = 0;
  friend class InProcessChannel;
};

}  // namespace keyloom::device
