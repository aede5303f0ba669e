#pragma once
// One HID interface of the keyboard: listing the interfaces present, opening
// one by its path, its identity and report layout, and whole reports in and
// out with a time-out and an abort event another thread can signal.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/abort_event.h"
#include "device/hid_backend.h"
#include "device/hid_data.h"

namespace keyloom::device {

class HidDevice {
 public:
  // Without a backend the device uses the process-wide one at each call.
  explicit HidDevice(std::shared_ptr<HidBackend> backend = nullptr);
  ~HidDevice();
  HidDevice(const HidDevice&) = delete;
  HidDevice& operator=(const HidDevice&) = delete;
  // Replaces the backend for the next listing and open (nullptr: the
  // process-wide one); what is open stays on the old one until closed.
  void UseBackend(std::shared_ptr<HidBackend> backend);

  // Listing.
  bool BeginEnumeration();
  std::optional<std::string> NextPath();
  // The listing entry of the path NextPath returned last (nullptr before).
  const HidInterfaceInfo* CurrentInterface() const;
  void EndEnumeration();
  std::size_t PathCount() const { return paths_.size(); }

  // Closes what is open, opens `path` and loads its identity and layout.
  // `overlapped` is kept for its record; every wait here can time out.
  bool Open(const std::string& path, bool read, bool write, bool overlapped, bool exclusive);
  void Close();
  bool IsOpen() const;
  // Whether the path of the open (or last opened) interface can still be
  // opened: the keyboard is still there.
  bool ProbePath() const;
  // Waits up to `ms` milliseconds on the open interface's channel, its
  // transfers and `wake_fd` together, for interfaces whose channel tells
  // when they go away (HidChannel::HangUpFd): whatever the interface does
  // ends the wait at once, so it needs no probing meanwhile.
  enum class Watch {
    Stayed,     // the time passed and the interface stayed
    HungUp,     // the channel reports the interface gone (probe to be sure)
    Failed,     // a transfer failed on the handle (HandleFailed)
    Woken,      // wake_fd became readable
    Unwatched,  // nothing open, or a channel that cannot tell: nothing waited
  };
  Watch WatchOpenInterface(int wake_fd, std::uint32_t ms) const;
  // Whether a read or write on the open handle failed outright (not a
  // time-out): the handle is dead even if the path is back, as after a
  // quick unplug and plug.
  bool HandleFailed() const { return handle_failed_.load(); }

  // One report; false on failure, time-out or abort. `transferred` (may be
  // null) is 0 unless the report was moved.
  bool Read(std::uint8_t* buffer, std::size_t length, std::size_t* transferred, std::uint32_t timeout_ms);
  bool Write(const std::uint8_t* buffer, std::size_t length, std::size_t* transferred,
             std::uint32_t timeout_ms);
  // Signals the abort event: a pending (or the next) wait ends with false.
  void Abort();
  // Clears an abort nobody waited for.
  void ClearAbort() { abort_.Consume(); }
  bool ReadPending() const { return read_pending_.load(); }

  bool UnpackReport(ReportType type, const std::uint8_t* report, std::size_t length);

  // Identity and layout of the open interface.
  const HidCaps& Capabilities() const { return layout_.Caps(); }
  const HidAttributes& Attributes() const { return attributes_; }
  const HidLayout& Layout() const { return layout_; }
  std::vector<std::uint8_t>& InputReportBuffer() { return input_buffer_; }
  const std::vector<HidData>& InputData() const { return input_data_; }
  const std::string& DevicePath() const { return device_path_; }
  // Interface and collection numbers found in the path ("&mi_", "&col").
  std::uint32_t InterfaceNumber() const { return interface_number_; }
  std::uint32_t CollectionNumber() const { return collection_number_; }
  // The backend's KeyboardLockName (empty without a backend).
  std::string KeyboardLockName() const;
  // Counts successful opens; lets callers notice that the handle changed.
  std::uint64_t OpenGeneration() const { return generation_.load(); }

 private:
  std::shared_ptr<HidBackend> Backend() const;
  std::shared_ptr<HidChannel> Channel() const;
  void MarkHandleFailed();
  void FreeLayout();

  std::shared_ptr<HidBackend> backend_;
  std::vector<HidInterfaceInfo> paths_;
  std::size_t cursor_ = 0;
  bool open_read_ = false;
  bool open_write_ = false;
  bool overlapped_ = false;
  bool exclusive_ = false;

  mutable std::mutex mutex_;  // guards channel_ against a close from another thread
  std::shared_ptr<HidChannel> channel_;
  std::string device_path_;
  HidAttributes attributes_;
  HidLayout layout_;
  std::vector<std::uint8_t> input_buffer_;
  std::vector<HidData> input_data_;
  std::vector<std::uint8_t> output_buffer_;
  std::vector<HidData> output_data_;
  std::vector<std::uint8_t> feature_buffer_;
  std::vector<HidData> feature_data_;
  std::uint32_t interface_number_ = 0;
  std::uint32_t collection_number_ = 0;

  AbortEvent abort_;
  std::atomic<bool> read_pending_{false};
  std::atomic<bool> write_pending_{false};
  std::atomic<std::uint64_t> generation_{0};
  std::atomic<bool> handle_failed_{false};
  int failed_fd_ = -1;  // readable once handle_failed_ is set (an eventfd)
};

// Selects the top-level collection a path names with a "&col" tag (1-based,
// as listings number them); 0 when the path has none.
std::uint32_t PathTagNumber(const std::string& path, const char* tag);

}  // namespace keyloom::device
