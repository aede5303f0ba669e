#include "device/hidraw_backend.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#ifdef KEYLOOM_HAVE_HIDAPI
#include <hidapi.h>
#endif

#include "device/hid_device.h"
#include "device/report_descriptor.h"

namespace keyloom::device {
namespace {

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes;
  if (!in) return bytes;
  char buf[4096];
  while (bytes.size() < limit && in.read(buf, sizeof buf).gcount() > 0) {
    bytes.insert(bytes.end(), buf, buf + in.gcount());
  }
  if (bytes.size() > limit) bytes.resize(limit);
  return bytes;
}

constexpr char kSysfsClass[] = "/sys/class/hidraw";

// sysfs report descriptor of /dev/hidrawN.
std::vector<std::uint8_t> SysfsDescriptor(const std::string& sysfs, const std::string& node) {
  const std::string name = std::filesystem::path(node).filename().string();
  return ReadFileBytes(sysfs + "/" + name + "/device/report_descriptor", HID_MAX_DESCRIPTOR_SIZE);
}

// HID_ID=0003:00000C45:00007672 from the node's uevent.
bool SysfsIds(const std::string& sysfs, const std::string& node, std::uint16_t& vendor, std::uint16_t& product) {
  const std::string name = std::filesystem::path(node).filename().string();
  std::ifstream in(sysfs + "/" + name + "/device/uevent");
  std::string line;
  while (std::getline(in, line)) {
    unsigned bus = 0, v = 0, p = 0;
    if (std::sscanf(line.c_str(), "HID_ID=%x:%x:%x", &bus, &v, &p) == 3) {
      vendor = static_cast<std::uint16_t>(v);
      product = static_cast<std::uint16_t>(p);
      return true;
    }
  }
  return false;
}

// One listing entry per top-level collection of a node.
void AddNode(const std::string& sysfs, const std::string& node, std::uint16_t vendor, std::uint16_t product,
             std::vector<HidInterfaceInfo>& out) {
  const ReportDescriptor d = ParseReportDescriptor(SysfsDescriptor(sysfs, node));
  if (d.collections.empty()) {
    out.push_back({node, vendor, product, 0, 0});
    return;
  }
  for (std::size_t i = 0; i < d.collections.size(); ++i) {
    std::string path = node;
    if (i > 0) {
      char tag[32];
      std::snprintf(tag, sizeof tag, "&col%02zx", i + 1);
      path += tag;
    }
    out.push_back({path, vendor, product, d.collections[i].usage_page, d.collections[i].usage});
  }
}

class HidrawChannel final : public HidChannel {
 public:
  HidrawChannel(int fd, std::vector<std::uint8_t> descriptor, HidAttributes attributes, bool numbered)
      : fd_(fd), descriptor_(std::move(descriptor)), attributes_(attributes), numbered_(numbered) {}
  ~HidrawChannel() override { ::close(fd_); }

  // A hidraw node reports POLLHUP | POLLERR once its device is removed.
  int HangUpFd() const override { return fd_; }

  HidAttributes Attributes() const override { return attributes_; }
  std::vector<std::uint8_t> ReportDescriptor() const override { return descriptor_; }

  IoResult Read(std::uint8_t* buffer, std::size_t length, std::size_t& transferred, SteadyTime deadline,
                AbortEvent& abort) override {
    transferred = 0;
    if (length == 0 || (!numbered_ && length < 2)) return IoResult::Failed;
    for (;;) {
      switch (WaitReadable(fd_, abort, deadline)) {
        case WaitResult::Ready: break;
        case WaitResult::TimedOut: return IoResult::TimedOut;
        case WaitResult::Aborted: return IoResult::Aborted;
        case WaitResult::Failed: return IoResult::Failed;
      }
      // Reports of unnumbered interfaces get a leading 0 as their id.
      std::uint8_t* dst = numbered_ ? buffer : buffer + 1;
      const std::size_t room = numbered_ ? length : length - 1;
      const ssize_t n = ::read(fd_, dst, room);
      if (n > 0) {
        if (!numbered_) buffer[0] = 0;
        transferred = static_cast<std::size_t>(n) + (numbered_ ? 0 : 1);
        return IoResult::Ok;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      return IoResult::Failed;
    }
  }

  IoResult Write(const std::uint8_t* buffer, std::size_t length, std::size_t& transferred, SteadyTime deadline,
                 AbortEvent& abort) override {
    transferred = 0;
    switch (WaitWritable(fd_, abort, deadline)) {
      case WaitResult::Ready: break;
      case WaitResult::TimedOut: return IoResult::TimedOut;
      case WaitResult::Aborted: return IoResult::Aborted;
      case WaitResult::Failed: return IoResult::Failed;
    }
    for (;;) {
      const ssize_t n = ::write(fd_, buffer, length);
      if (n >= 0) {
        transferred = static_cast<std::size_t>(n);
        return IoResult::Ok;
      }
      if (errno == EINTR) continue;
      return IoResult::Failed;
    }
  }

 private:
  int fd_;
  std::vector<std::uint8_t> descriptor_;
  HidAttributes attributes_;
  bool numbered_;
};

class HidrawBackend final : public HidBackend {
 public:
  HidrawBackend(std::string sysfs, bool use_hidapi) : sysfs_(std::move(sysfs)), use_hidapi_(use_hidapi) {}

  bool Enumerate(std::vector<HidInterfaceInfo>& out) override {
    out.clear();
#ifdef KEYLOOM_HAVE_HIDAPI
    if (use_hidapi_ && hid_init() == 0) {
      // hidapi lists a node once per top-level collection; our own reading
      // of its descriptor numbers them.
      std::map<std::string, std::pair<std::uint16_t, std::uint16_t>> nodes;
      std::vector<std::string> order;
      hid_device_info* list = hid_enumerate(0, 0);
      for (hid_device_info* d = list; d; d = d->next) {
        if (!d->path || std::strncmp(d->path, "/dev/hidraw", 11) != 0) continue;
        if (nodes.emplace(d->path, std::make_pair(d->vendor_id, d->product_id)).second) order.push_back(d->path);
      }
      hid_free_enumeration(list);
      for (const std::string& node : order) AddNode(sysfs_, node, nodes[node].first, nodes[node].second, out);
      return true;
    }
#endif
    std::error_code ec;
    std::filesystem::directory_iterator it(sysfs_, ec);
    // No class folder: no hidraw device was ever there.
    if (ec) return std::filesystem::exists(std::filesystem::path(sysfs_).parent_path());
    std::vector<std::string> names;
    for (const auto& entry : it) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string node = "/dev/" + name;
      std::uint16_t vendor = 0, product = 0;
      if (!SysfsIds(sysfs_, node, vendor, product)) continue;
      AddNode(sysfs_, node, vendor, product, out);
    }
    return true;
  }

  std::unique_ptr<HidChannel> Open(const std::string& path, bool read, bool write, bool exclusive) override {
    const std::string node = HidrawNodePath(path);
    int flags = O_CLOEXEC | O_NONBLOCK;
    flags |= read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    const int fd = ::open(node.c_str(), flags);
    if (fd < 0) return nullptr;
    hidraw_devinfo info{};
    int size = 0;
    hidraw_report_descriptor rd{};
    if (::ioctl(fd, HIDIOCGRAWINFO, &info) < 0 || ::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0 || size < 0 ||
        size > HID_MAX_DESCRIPTOR_SIZE) {
      ::close(fd);
      return nullptr;
    }
    rd.size = static_cast<__u32>(size);
    if (::ioctl(fd, HIDIOCGRDESC, &rd) < 0) {
      ::close(fd);
      return nullptr;
    }
    std::vector<std::uint8_t> descriptor(rd.value, rd.value + size);
    HidAttributes attributes;
    attributes.vendor_id = static_cast<std::uint16_t>(info.vendor);
    attributes.product_id = static_cast<std::uint16_t>(info.product);
    const bool numbered = ParseReportDescriptor(descriptor).uses_report_ids;
    return std::make_unique<HidrawChannel>(fd, std::move(descriptor), attributes, numbered);
  }

  // One lock for every real keyboard of this user: the node of a keyboard
  // is not known before the listing that finds it, and one person rarely
  // has two of them.
  std::string KeyboardLockName() const override { return "hidraw"; }

  bool Probe(const std::string& path) override {
    const int fd = ::open(HidrawNodePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == EACCES || errno == EPERM;  // present, just not ours to read
    ::close(fd);
    return true;
  }

 private:
  std::string sysfs_;
  bool use_hidapi_;
};

}  // namespace

std::string HidrawNodePath(const std::string& listed_path) {
  std::string lower = listed_path;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  const std::size_t at = lower.find("&col");
  return at == std::string::npos ? listed_path : listed_path.substr(0, at);
}

std::shared_ptr<HidBackend> MakeHidrawBackend() { return std::make_shared<HidrawBackend>(kSysfsClass, true); }

std::shared_ptr<HidBackend> MakeHidrawBackendForSysfs(const std::string& class_folder) {
  return std::make_shared<HidrawBackend>(class_folder, false);
}

}  // namespace keyloom::device
