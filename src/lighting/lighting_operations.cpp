#include "lighting/lighting_operations.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "device/keyboard_lock.h"
#include "device/commands.h"
#include "device/device_table.h"
#include "keys/key_catalogue.h"
#include "lighting/user_colour_files.h"

namespace keyloom::lighting {

namespace {

LightingPanelObserver& Observer(const LightingSession& lighting) {
  static LightingPanelObserver none;
  return lighting.panel ? *lighting.panel : none;
}

constexpr int kColourChunkBytes = 54;

std::vector<std::u16string> LayoutNames(const LightingPaths& paths, int slot) {
  std::vector<std::u16string> names;
  for (int n = 0; n < kLayoutCount; ++n) names.push_back(ReadLayoutName(paths, slot, n));
  return names;
}

// Reads the configuration block into the session's copy, clearing the
// effect list first so a shorter answer leaves no stale effects.
device::CommandResult ReadConfigurationBlock(device::DeviceLink& link, LightingSession& lighting) {
  ConfigBlock& config = lighting.ConfigBlockCopy;
  std::fill(config.begin() + kEffectListOffset, config.end(), std::uint8_t(0));
  std::array<std::uint8_t, kConfigBytes> reply = config;
  const device::CommandResult result = device::ReadConfig(link, reply.data());
  if (result == device::CommandResult::kOk) config = reply;
  return result;
}

// LightingSlot takes the keyboard's active slot; a slot byte of 3 or more
// is not a slot and leaves it as it is.
void FollowActiveSlot(LightingSession& lighting) {
  const int active = lighting.ConfigBlockCopy[kActiveSlotOffset];
  if (active < kSlotCount) lighting.LightingSlot = active;
}

// Sends the end of a framed write; the first failure wins.
device::CommandResult Ended(device::DeviceLink& link, device::CommandResult result) {
  const device::CommandResult end = device::EndWrite(link);
  return result == device::CommandResult::kOk ? end : result;
}

}  // namespace

device::CommandResult BeginLightingWrite(device::DeviceLink& link) { return device::BeginWrite(link); }
device::CommandResult EndLightingWrite(device::DeviceLink& link) { return device::EndWrite(link); }

device::CommandResult WriteLightingBytes(device::DeviceLink& link, const LightingSession& lighting, int offset,
                                         const std::uint8_t* bytes, int count) {
  return device::WriteLightingArea(link, bytes, std::uint8_t(count),
                                   std::uint32_t(lighting.LightingSlot * kRecordBytes + offset));
}

device::CommandResult WriteLightingField(device::DeviceLink& link, const LightingSession& lighting, int offset,
                                         std::initializer_list<std::uint8_t> bytes) {
  // One frame: no other program's transaction comes between its reports.
  device::KeyboardHold hold(link);
  device::CommandResult result = BeginLightingWrite(link);
  if (result == device::CommandResult::kOk) result = WriteLightingBytes(link, lighting, offset, bytes.begin(), int(bytes.size()));
  return Ended(link, result);
}

device::CommandResult WriteKeyColour(device::DeviceLink& link, LightingSession& lighting, int position, Colour colour) {
  // One frame: no other program's transaction comes between its reports.
  device::KeyboardHold hold(link);
  const std::uint8_t rgb[3] = {Red(colour), Green(colour), Blue(colour)};
  device::CommandResult result = BeginLightingWrite(link);
  if (result == device::CommandResult::kOk) result = device::WriteKeyColours(link, rgb, 3, std::uint32_t(position), lighting.LightingSlot);
  result = Ended(link, result);
  SetKeyColourAt(lighting.KeyColours, lighting.LightingSlot, position, colour);
  return result;
}

device::CommandResult SendKeyColours(device::DeviceLink& link, const LightingSession& lighting) {
  // One frame: no other program's transaction comes between its reports.
  device::KeyboardHold hold(link);
  const int slot = lighting.LightingSlot;
  const int chunks = int(link.DeviceTable.KeyCount.load()) / 18;
  device::CommandResult result = BeginLightingWrite(link);
  // Every chunk is sent even after a refused one; the first failure is the result.
  for (int c = 0; c <= chunks; ++c) {
    const std::size_t at = std::size_t(slot) * kKeyColourSlotBytes + std::size_t(c) * kColourChunkBytes;
    // WriteKeyColours addresses by key position: 18 keys per chunk.
    const device::CommandResult chunk =
        device::WriteKeyColours(link, lighting.KeyColours.data() + at, kColourChunkBytes, std::uint32_t(c * 18), slot);
    if (result == device::CommandResult::kOk) result = chunk;
  }
  return Ended(link, result);
}

device::CommandResult WriteDefaultLighting(device::DeviceLink& link, const LightingSession& lighting) {
  // One frame: no other program's transaction comes between its reports.
  device::KeyboardHold hold(link);
  const auto bytes = DefaultLightingBytes();
  device::CommandResult result = BeginLightingWrite(link);
  if (result == device::CommandResult::kOk) result = WriteLightingBytes(link, lighting, 0, bytes.data(), int(bytes.size()));
  return Ended(link, result);
}

int ReadLightingFromKeyboard(device::DeviceLink& link, LightingSession& lighting, bool with_layouts) {
  // One frame: no other program's transaction comes between its reports.
  device::KeyboardHold hold(link);
  if (ReadConfigurationBlock(link, lighting) != device::CommandResult::kOk) return -1;
  (void)BeginLightingWrite(link);
  if (with_layouts && SupportsCustomColours(lighting.ConfigBlockCopy)) {
    // A damaged file is set aside and restored before its names are shown;
    // one that cannot be read sends nothing (not the defaults of a file
    // that is merely out of reach).
    const ColourFileCheck check = PrepareUserColourFile(lighting.paths, lighting.LightingSlot, false, false);
    if (const std::string told = check.Message(); !told.empty()) Observer(lighting).ColourFileProblem(told);
    if (check.Usable()) {
      Observer(lighting).RefillLayoutSelector(LayoutNames(lighting.paths, lighting.LightingSlot));
      LoadLayout(lighting);
      (void)SendKeyColours(link, lighting);
    }
  }
  std::array<std::uint8_t, 56> reply{};
  for (int s = 0; s < kSlotCount; ++s) {
    (void)device::ReadLightingArea(link, reply.data(), 56, std::uint32_t(s * kRecordBytes));
    std::copy_n(reply.begin(), kRecordBytes, lighting.LightingRecords[s].begin());
  }
  (void)EndLightingWrite(link);
  LightingState& state = lighting.CurrentLighting;
  DecodeLightingRecord(lighting.LightingRecords[lighting.LightingSlot], state);
  const bool open_in_file = ReadLightingPanelOpenFlag(lighting.paths);
  if (with_layouts)
    state.panel_open = open_in_file;
  else if (open_in_file)
    state.panel_open = true;
  return 1;
}

void LoadLayout(LightingSession& lighting) {
  const int slot = lighting.LightingSlot;
  const int n = ReadSelectedLayout(lighting.paths, slot);
  lighting.CustomColours.selected_layout = n;
  ReadLayoutTools(lighting, slot, n);
  auto load = [&](int position) {
    const LayoutKey key = ReadLayoutKey(lighting.paths, slot, n, position);
    SetKeyColourAt(lighting.KeyColours, slot, position, key.colour);
    Observer(lighting).SetBaseColourMark(slot, position, key.base_flag);
  };
  for (const keys::PanelOrderKey& key : keys::PanelOrderKeys()) load(key.colourPosition);
  load(kFnKeyPosition);
}

void ResetUserColourFiles(device::DeviceLink& link, LightingSession& lighting) {
  (void)ReadConfigurationBlock(link, lighting);
  FollowActiveSlot(lighting);
  if (lighting.CurrentLighting.panel_open) Observer(lighting).CloseLightingPanel();
  if (Observer(lighting).SwitchProfileSlot(lighting.LightingSlot) == 0) return;
  Observer(lighting).SyncSlotButtons(lighting.LightingSlot);
  if (SupportsCustomColours(lighting.ConfigBlockCopy)) {
    for (int s = 0; s < kSlotCount; ++s) {
      lighting.LightingSlot = s;
      CopyColourTemplate(lighting.paths, s);
      Observer(lighting).RefillLayoutSelector(LayoutNames(lighting.paths, s));
      LoadLayout(lighting);
    }
  }
  FollowActiveSlot(lighting);
}

}  // namespace keyloom::lighting
