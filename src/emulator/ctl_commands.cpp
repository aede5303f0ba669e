#include "emulator/ctl_commands.h"

#include "emulator/key_playback.h"
#include "emulator/memory_dump.h"

namespace keyloom::emulator {
namespace {

// Refused by the keyboard as it is (unplugged, or a model without that key).
CtlResult Fail(const std::string& message) { return {1, message + "\n"}; }

// Wrong on any keyboard: an unknown command, a missing or badly formed
// argument, a number out of its fixed range.
CtlResult Misuse(const std::string& message) { return {2, message + "\n"}; }

CtlResult Usage() { return Misuse("usage: " + CtlUsage()); }

// "D" or "D@T".
bool ParseStroke(const std::string& text, std::uint32_t& value, std::uint32_t& at) {
  const auto sep = text.find('@');
  at = 0;
  if (sep != std::string::npos && !ParseNumber(text.substr(sep + 1), 3600000, at)) return false;
  return ParseNumber(text.substr(0, sep), 0xFFFF, value);
}

CtlResult Press(FirmwareModel& kb, const std::vector<std::string>& args) {
  const Memories mem = kb.Snapshot();
  const ModelInfo& model = kb.Model();
  std::vector<KeyStroke> strokes;
  std::uint32_t hold = 10;
  bool json = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--hold" && i + 1 < args.size()) {
      if (!ParseNumber(args[++i], 600000, hold)) return Misuse("bad --hold value");
    } else if ((a == "--pos" || a == "--key") && i + 1 < args.size()) {
      std::uint32_t value = 0, at = 0;
      if (!ParseStroke(args[++i], value, at)) return Misuse("bad " + a + " value '" + args[i] + "'");
      if (a == "--pos") {
        if (value >= model.keyCount) {
          return Fail("key position " + std::to_string(value) + " out of range (0.." +
                      std::to_string(model.keyCount - 1) + ")");
        }
      } else {
        const int pos = FindFactoryPosition(mem, model, static_cast<std::uint16_t>(value));
        if (pos < 0) return Fail("no key of the factory map has code " + args[i]);
        value = static_cast<std::uint32_t>(pos);
      }
      strokes.push_back({value, at, 0});
    } else {
      return Usage();
    }
  }
  if (strokes.empty()) return Usage();
  for (auto& s : strokes) s.hold = hold;
  std::string out;
  for (const auto& e : PlayKeys(mem, model, strokes)) out += (json ? HostEventJson(e) : HostEventText(e)) + "\n";
  return {0, out};
}

CtlResult Fault(FirmwareModel& kb, CtlHost& host, const std::vector<std::string>& args) {
  if (args.size() == 2 && args[1] == "clear") {
    kb.ClearFaults();
    return {0, "faults cleared\n"};
  }
  std::uint32_t n = 0, ms = 0;
  if (args.size() == 3) {
    if (!ParseNumber(args[2], 1000000, n)) return Misuse("bad count '" + args[2] + "'");
    if (args[1] == "drop-replies") kb.ArmFault(FaultKind::kDropReplies, n);
    else if (args[1] == "refuse") kb.ArmFault(FaultKind::kRefuse, n);
    else if (args[1] == "garbage") kb.ArmFault(FaultKind::kGarbage, n);
    else if (args[1] == "disconnect-after" && n == 0) host.Unplug();
    else if (args[1] == "disconnect-after") kb.ArmFault(FaultKind::kDisconnectAfter, n);
    else return Usage();
    return {0, "fault " + args[1] + " " + std::to_string(n) + "\n"};
  }
  if (args.size() == 4 && args[1] == "delay-replies") {
    if (!ParseNumber(args[2], 600000, ms) || !ParseNumber(args[3], 1000000, n)) return Misuse("bad number");
    kb.ArmFault(FaultKind::kDelayReplies, n, ms);
    return {0, "fault delay-replies " + std::to_string(ms) + " ms " + std::to_string(n) + "\n"};
  }
  return Usage();
}

}  // namespace

std::string CtlUsage() {
  return "keyloom-vkbd ctl [--socket PATH] COMMAND...\n"
         "ctl commands: unplug | plug | status | event USAGE | slot N | reset |\n"
         "              press (--pos D[@T] | --key CODE[@T])... [--hold MS] [--json] | dump [--json] |\n"
         "              fault drop-replies N | delay-replies MS N | refuse N | garbage N |\n"
         "                    disconnect-after N | clear";
}

bool ParseNumber(const std::string& text, std::uint32_t max, std::uint32_t& value) {
  std::string digits = text;
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits = digits.substr(2);
    base = 16;
  }
  if (digits.empty() || digits.size() > 10) return false;
  std::uint64_t v = 0;
  for (char c : digits) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * base + d;
  }
  if (v > max) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

CtlResult RunCtlCommand(FirmwareModel& kb, CtlHost& host, const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  const std::string& cmd = args[0];
  if (cmd == "unplug" && args.size() == 1) {
    host.Unplug();
    return {0, "unplugged\n"};
  }
  if (cmd == "plug" && args.size() == 1) {
    host.Plug();
    return {0, "plugged\n"};
  }
  if (cmd == "status" && args.size() == 1) {
    return {0, ModelName(kb.Model()) + (kb.Plugged() ? " plugged" : " unplugged") + ", active slot " +
                   std::to_string(kb.ActiveSlot()) + "\n"};
  }
  if (cmd == "event" && args.size() == 2) {
    std::uint32_t usage = 0;
    if (!ParseNumber(args[1], 0xFFFF, usage)) return Misuse("bad usage '" + args[1] + "'");
    if (!kb.Plugged()) return Fail("the keyboard is unplugged");
    kb.RaiseEvent(static_cast<std::uint16_t>(usage));
    return {0, "event sent\n"};
  }
  if (cmd == "slot" && args.size() == 2) {
    std::uint32_t slot = 0;
    if (!ParseNumber(args[1], 2, slot)) return Misuse("slot must be 0, 1 or 2");
    kb.SwitchSlotOnKeyboard(static_cast<int>(slot));
    return {0, "active slot " + std::to_string(slot) + "\n"};
  }
  if (cmd == "reset" && args.size() == 1) {
    kb.ClearFaults();
    kb.FactoryReset();
    return {0, "factory contents restored\n"};
  }
  if (cmd == "dump" && args.size() <= 2) {
    const bool json = args.size() == 2 && args[1] == "--json";
    if (args.size() == 2 && !json) return Usage();
    const Memories m = kb.Snapshot();
    return {0, json ? DumpJson(kb.Model(), kb.MacroCapacity(), kb.Plugged(), m)
                    : DumpText(kb.Model(), kb.MacroCapacity(), kb.Plugged(), m)};
  }
  if (cmd == "press") return Press(kb, args);
  if (cmd == "fault" && args.size() >= 2) return Fault(kb, host, args);
  return Usage();
}

}  // namespace keyloom::emulator
