#include "cli/status_command.h"

#include <cstdio>

#include "cli/keyboard_session.h"
#include "cli/lighting_commands.h"
#include "device/commands.h"
#include "device/device_table.h"
#include "keys/byte_order.h"
#include "keys/macro_image.h"
#include "lighting/lighting_state.h"

namespace keyloom::cli {

namespace {

constexpr std::string_view kName = "status";

std::string Model(device::DeviceLink& link) {
  const device::HidAttributes& a = link.CommandDevice().Attributes();
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04x:%04x", a.vendor_id, a.product_id);
  return buf;
}

// Bytes of macro memory in use: the length the macro area's header gives,
// 0 when the area holds no macros (a header alone holds none, as macro list
// counts it). False when the area cannot be read.
bool MacroMemoryUsed(device::DeviceLink& link, std::uint32_t& used, std::uint32_t& macros) {
  std::uint8_t head[keys::kMacroImageHeaderBytes] = {};
  if (device::ReadMacroArea(link, head, sizeof head) != device::CommandResult::kOk) return false;
  used = 0;
  macros = 0;
  if (keys::GetU16(head) == keys::kMacroImageMagic) {
    used = keys::GetU16(head + 2);
    macros = keys::GetU16(head + 4);
    if (macros == 0) used = 0;
  }
  return true;
}

int RunStatus(const std::vector<std::string>& args, CommandIo& io) {
  bool json = false;
  for (const std::string& a : args) {
    if (a == "--json")
      json = true;
    else
      return UsageError(io, kName, "unknown argument '" + a + "'");
  }
  profiles::KeyboardSession& keyboard = Session(io);
  KeyboardConnection session(keyboard.link);
  std::string reason;
  if (!session.Connect(std::chrono::seconds(3), reason) || !ReadActiveLighting(keyboard, reason))
    return Failure(io, reason);
  const std::string model = Model(keyboard.link);
  // The macro memory in bytes: the configuration byte counts 128-byte blocks.
  const int capacity = keyboard.lighting.ConfigBlockCopy[lighting::kMacroCapacityOffset] * 128;
  const int slot = keyboard.lighting.LightingSlot;
  std::uint32_t used = 0, macros = 0;
  if (!MacroMemoryUsed(keyboard.link, used, macros)) return Failure(io, "could not read the keyboard's macro memory");
  if (json) {
    std::string lighting_json = LightingJson(keyboard);
    if (!lighting_json.empty() && lighting_json.back() == '\n') lighting_json.pop_back();
    io.out << "{\"model\": \"" << model << "\", \"active_slot\": " << slot
           << ", \"macro_capacity\": " << capacity << ", \"macro_bytes_used\": " << used
           << ", \"macros\": " << macros << ", \"effects\": " << EffectsJson(keyboard)
           << ", \"lighting\": " << lighting_json
           << ", \"report_rate\": " << keyboard.lighting.CurrentLighting.report_rate << "}\n";
  } else {
    io.out << "Keyboard:        " << model << "\n"
           << "Active slot:     " << slot << "\n"
           << "Macro memory:    " << used << " of " << capacity << " bytes used (" << macros
           << (macros == 1 ? " macro" : " macros") << ")\n"
           << "Effects:\n"
           << EffectsText(keyboard) << "Lighting of slot " << slot << ":\n"
           << LightingText(keyboard);
  }
  return kExitSuccess;
}

}  // namespace

Command StatusCommand() {
  Command c;
  c.name = std::string(kName);
  c.summary = "Show the connected keyboard, its active slot, effects and lighting";
  c.usage = "keyloomctl status [--json]";
  c.help =
      "Shows the keyboard's vendor:product, the active slot, the macro memory in use and its size,\n"
      "the supported effects with their names, and the active slot's\n"
      "lighting and report rate.\n"
      "\nOptions:\n"
      "  --json   one JSON object instead of the text\n";
  c.run = RunStatus;
  return c;
}

}  // namespace keyloom::cli
