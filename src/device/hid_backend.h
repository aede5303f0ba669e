#pragma once
// The HID services the device link runs on: listing the HID interfaces,
// opening one, and moving whole reports with a time-out and an abort event.
// Implementations: hidapi/hidraw for real keyboards, the socket client of
// keyloom-vkbd, and the in-process virtual keyboard for tests.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/abort_event.h"

namespace keyloom::device {

// One HID interface as the listing gives it.
struct HidInterfaceInfo {
  std::string path;
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
  std::uint16_t usage_page = 0;
  std::uint16_t usage = 0;
};

struct HidAttributes {
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
  std::uint16_t version = 0;
};

enum class IoResult { Ok, TimedOut, Aborted, Failed };

// One open interface. Read and Write may run at the same time on two
// threads. Neither leaves anything pending when it returns: a read that
// gives up has not touched, and never will touch, the caller's buffer.
class HidChannel {
 public:
  virtual ~HidChannel() = default;
  virtual HidAttributes Attributes() const = 0;
  // The interface's raw report descriptor.
  virtual std::vector<std::uint8_t> ReportDescriptor() const = 0;
  // One input report into `buffer` (report id first; 0 when the interface
  // does not number its reports). `transferred` gets the bytes stored.
  virtual IoResult Read(std::uint8_t* buffer, std::size_t length, std::size_t& transferred,
                        SteadyTime deadline, AbortEvent& abort) = 0;
  // One output report (report id first).
  virtual IoResult Write(const std::uint8_t* buffer, std::size_t length, std::size_t& transferred,
                         SteadyTime deadline, AbortEvent& abort) = 0;
  // A descriptor that poll() reports hung up (POLLHUP, POLLERR or
  // POLLRDHUP) once the interface is gone, valid while the channel lives;
  // -1 when the channel has none (its presence is then only probed).
  virtual int HangUpFd() const { return -1; }
};

class HidBackend {
 public:
  virtual ~HidBackend() = default;
  // Rebuilds `out` from the interfaces present; false when listing failed.
  virtual bool Enumerate(std::vector<HidInterfaceInfo>& out) = 0;
  virtual std::unique_ptr<HidChannel> Open(const std::string& path, bool read, bool write,
                                           bool exclusive) = 0;
  // Whether the interface at `path` can still be opened (the keyboard is there).
  virtual bool Probe(const std::string& path) = 0;
  // What names the keyboards this backend reaches for other programs that
  // talk to them (device/keyboard_lock.h): the same text in every program
  // reaching the same keyboard. Empty: nobody else can reach them, no lock.
  virtual std::string KeyboardLockName() const { return {}; }
};

// The process-wide backend the device objects use when they were given none.
// Each program installs it at start-up (device/backend_choice.h picks it
// from the command line and the environment); until then there is none and
// no keyboard is found.
void SetHidBackend(std::shared_ptr<HidBackend> backend);
std::shared_ptr<HidBackend> CurrentHidBackend();

}  // namespace keyloom::device
