#include "device/hid_device.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cctype>
#include <ctime>

#include "device/report_trace.h"

namespace keyloom::device {

std::uint32_t PathTagNumber(const std::string& path, const char* tag) {
  std::string lower(path.size(), '\0');
  for (std::size_t i = 0; i < path.size(); ++i) {
    lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(path[i])));
  }
  const std::size_t at = lower.find(tag);
  if (at == std::string::npos) return 0;
  std::uint32_t value = 0;
  for (std::size_t i = at + std::char_traits<char>::length(tag); i < lower.size(); ++i) {
    const char c = lower[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      break;
    }
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

HidDevice::HidDevice(std::shared_ptr<HidBackend> backend)
    : backend_(std::move(backend)), failed_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

HidDevice::~HidDevice() {
  if (failed_fd_ >= 0) ::close(failed_fd_);
  Close();
  EndEnumeration();
}

void HidDevice::UseBackend(std::shared_ptr<HidBackend> backend) {
  std::lock_guard lock(mutex_);
  backend_ = std::move(backend);
}

std::string HidDevice::KeyboardLockName() const {
  const std::shared_ptr<HidBackend> backend = Backend();
  return backend ? backend->KeyboardLockName() : std::string();
}

std::shared_ptr<HidBackend> HidDevice::Backend() const {
  {
    std::lock_guard lock(mutex_);
    if (backend_) return backend_;
  }
  return CurrentHidBackend();
}

std::shared_ptr<HidChannel> HidDevice::Channel() const {
  std::lock_guard lock(mutex_);
  return channel_;
}

bool HidDevice::BeginEnumeration() {
  paths_.clear();
  cursor_ = 0;
  auto backend = Backend();
  if (!backend) return false;
  std::vector<HidInterfaceInfo> found;
  if (!backend->Enumerate(found)) return false;
  paths_ = std::move(found);
  return true;
}

std::optional<std::string> HidDevice::NextPath() {
  if (cursor_ >= paths_.size()) return std::nullopt;
  return paths_[cursor_++].path;
}

const HidInterfaceInfo* HidDevice::CurrentInterface() const {
  if (cursor_ == 0 || cursor_ > paths_.size()) return nullptr;
  return &paths_[cursor_ - 1];
}

void HidDevice::EndEnumeration() {
  paths_.clear();
  paths_.shrink_to_fit();
  cursor_ = 0;
}

void HidDevice::FreeLayout() {
  layout_ = HidLayout{};
  attributes_ = HidAttributes{};
  input_buffer_.clear();
  input_data_.clear();
  output_buffer_.clear();
  output_data_.clear();
  feature_buffer_.clear();
  feature_data_.clear();
}

void HidDevice::Close() {
  std::shared_ptr<HidChannel> old;
  {
    std::lock_guard lock(mutex_);
    if (read_pending_.load() || write_pending_.load()) abort_.Signal();
    old = std::move(channel_);
  }
  FreeLayout();
  // `old` goes here; a reader still inside it holds its own reference.
}

bool HidDevice::IsOpen() const { return Channel() != nullptr; }

bool HidDevice::Open(const std::string& path, bool read, bool write, bool overlapped, bool exclusive) {
  Close();
  open_read_ = read;
  open_write_ = write;
  overlapped_ = overlapped;
  exclusive_ = exclusive;
  device_path_ = path;
  interface_number_ = PathTagNumber(path, "&mi_");
  collection_number_ = PathTagNumber(path, "&col");

  auto backend = Backend();
  if (!backend) return false;
  std::unique_ptr<HidChannel> channel = backend->Open(path, read, write, exclusive);
  if (!channel) return false;

  const std::vector<std::uint8_t> raw = channel->ReportDescriptor();
  const ReportDescriptor descriptor = ParseReportDescriptor(raw);
  const int collection = collection_number_ > 0 ? static_cast<int>(collection_number_) - 1 : 0;
  if (descriptor.collections.empty() || static_cast<std::size_t>(collection) >= descriptor.collections.size()) {
    return false;  // no layout: the open fails and the channel is closed
  }
  layout_ = HidLayout::FromDescriptor(descriptor, collection);
  attributes_ = channel->Attributes();
  input_buffer_.assign(layout_.Caps().input_report_byte_length, 0);
  input_data_ = layout_.BuildData(ReportType::Input);
  output_buffer_.assign(layout_.Caps().output_report_byte_length, 0);
  output_data_ = layout_.BuildData(ReportType::Output);
  feature_buffer_.assign(layout_.Caps().feature_report_byte_length, 0);
  feature_data_ = layout_.BuildData(ReportType::Feature);
  {
    std::lock_guard lock(mutex_);
    channel_ = std::shared_ptr<HidChannel>(std::move(channel));
  }
  handle_failed_.store(false);
  if (failed_fd_ >= 0) {
    std::uint64_t count = 0;
    (void)!::read(failed_fd_, &count, sizeof count);
  }
  generation_.fetch_add(1);
  return true;
}

bool HidDevice::ProbePath() const {
  auto backend = Backend();
  return backend && !device_path_.empty() && backend->Probe(device_path_);
}

void HidDevice::MarkHandleFailed() {
  handle_failed_.store(true);
  if (failed_fd_ >= 0) {
    const std::uint64_t one = 1;
    (void)!::write(failed_fd_, &one, sizeof one);
  }
}

HidDevice::Watch HidDevice::WatchOpenInterface(int wake_fd, std::uint32_t ms) const {
  // The channel stays alive (and its descriptor open) while this waits,
  // even if another thread closes the device meanwhile.
  const std::shared_ptr<HidChannel> channel = Channel();
  const int fd = channel ? channel->HangUpFd() : -1;
  if (fd < 0) return Watch::Unwatched;
  if (HandleFailed()) return Watch::Failed;
  // A transfer that fails on the handle meanwhile ends the wait too.
  pollfd fds[3] = {{fd, POLLRDHUP, 0}, {wake_fd, POLLIN, 0}, {failed_fd_, POLLIN, 0}};
  const timespec timeout{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  const int r = ::ppoll(fds, 3, &timeout, nullptr);  // negative descriptors are left out
  if (r == 0) return Watch::Stayed;
  if (r < 0) return Watch::Unwatched;  // interrupted: the caller waits its usual way
  if (fds[1].revents & POLLIN) return Watch::Woken;
  if (fds[2].revents & POLLIN) return Watch::Failed;
  return Watch::HungUp;
}

bool HidDevice::Read(std::uint8_t* buffer, std::size_t length, std::size_t* transferred,
                     std::uint32_t timeout_ms) {
  read_pending_.store(true);
  if (transferred) *transferred = 0;
  bool ok = false;
  if (auto channel = Channel()) {
    std::size_t n = 0;
    const IoResult r = channel->Read(buffer, length, n, DeadlineAfter(timeout_ms), abort_);
    ok = r == IoResult::Ok;
    if (r == IoResult::Failed) MarkHandleFailed();
    if (ok) {
      TraceReport('R', buffer, n);
      if (transferred) *transferred = n;
    }
  }
  read_pending_.store(false);
  return ok;
}

bool HidDevice::Write(const std::uint8_t* buffer, std::size_t length, std::size_t* transferred,
                      std::uint32_t timeout_ms) {
  write_pending_.store(true);
  if (transferred) *transferred = 0;
  bool ok = false;
  if (auto channel = Channel()) {
    std::size_t n = 0;
    const IoResult r = channel->Write(buffer, length, n, DeadlineAfter(timeout_ms), abort_);
    ok = r == IoResult::Ok;
    if (r == IoResult::Failed) MarkHandleFailed();
    if (ok) {
      TraceReport('W', buffer, length);
      if (transferred) *transferred = n;
    }
  }
  write_pending_.store(false);
  return ok;
}

void HidDevice::Abort() { abort_.Signal(); }

bool HidDevice::UnpackReport(ReportType type, const std::uint8_t* report, std::size_t length) {
  std::vector<HidData>* data = type == ReportType::Input    ? &input_data_
                               : type == ReportType::Output ? &output_data_
                                                            : &feature_data_;
  return device::UnpackReport(layout_, type, report, length, *data);
}

}  // namespace keyloom::device
