#pragma once
// The commands of `keyloom-vkbd ctl`, carried out on the serving side:
//   unplug | plug | status | event USAGE | slot N | reset
//   press (--pos D[@T] | --key CODE[@T])... [--hold MS] [--json]
//   dump [--json]
//   fault drop-replies N | delay-replies MS N | refuse N | garbage N |
//         disconnect-after N | clear
// Numbers are decimal or 0x-prefixed hex. press plays the strokes on the
// active slot: --pos names a key position, --key the position whose factory
// key is that keyboard usage; @T presses it T ms after the start.
// fault disconnect-after 0 unplugs at once; a fault armed again replaces
// the count left of that kind; reset clears every fault.
#include <string>
#include <vector>

#include "emulator/firmware_model.h"

namespace keyloom::emulator {

// What only the transport can do.
class CtlHost {
 public:
  virtual ~CtlHost() = default;
  virtual void Unplug() = 0;
  virtual void Plug() = 0;
};

struct CtlResult {
  int status = 0;     // 0 success, 1 refused, 2 bad usage
  std::string text;   // output, or the error message
};

// "keyloom-vkbd ctl ..." and the list of commands, without a final newline.
std::string CtlUsage();

CtlResult RunCtlCommand(FirmwareModel& keyboard, CtlHost& host, const std::vector<std::string>& args);

// Decimal or 0x hex, at most `max`; false otherwise.
bool ParseNumber(const std::string& text, std::uint32_t max, std::uint32_t& value);

}  // namespace keyloom::emulator
