#include "lighting/lighting_operations.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "device/commands.h"
#include "device/device_table.h"
#include "keys/key_catalogue.h"
#include "lighting/user_colour_files.h"

namespace keyloom::lighting {

namespace {

std::atomic<LightingPanelObserver*> g_observer{nullptr};

LightingPanelObserver& Observer() {
  static LightingPanelObserver none;
  LightingPanelObserver* o = g_observer.load();
  return o ? *o : none;
}

constexpr int kColourChunkBytes = 54;

std::vector<std::u16string> LayoutNames(int slot) {
  std::vector<std::u16string> names;
  for (int n = 0; n < kLayoutCount; ++n) names.push_back(ReadLayoutName(slot, n));
  return names;
}

// Reads the configuration block into the process-wide copy, clearing the
// effect list first so a shorter answer leaves no stale effects.
int ReadConfigurationBlock() {
  ConfigBlock& config = ConfigBlockCopy();
  std::fill(config.begin() + kEffectListOffset, config.end(), std::uint8_t(0));
  std::array<std::uint8_t, kConfigBytes> reply = config;
  const int result = device::ReadConfig(reply.data());
  if (result == 1) config = reply;
  return result;
}

// LightingSlot() takes the keyboard's active slot; a slot byte of 3 or more
// is not a slot and leaves it as it is.
void FollowActiveSlot() {
  const int active = ConfigBlockCopy()[kActiveSlotOffset];
  if (active < kSlotCount) LightingSlot() = active;
}

}  // namespace

void SetLightingPanelObserver(LightingPanelObserver* observer) { g_observer.store(observer); }

int BeginLightingWrite() { return device::BeginWrite(); }
int EndLightingWrite() { return device::EndWrite(); }

int WriteLightingBytes(int offset, const std::uint8_t* bytes, int count) {
  return device::WriteLightingArea(bytes, std::uint8_t(count),
                                   std::uint32_t(LightingSlot() * kRecordBytes + offset));
}

void WriteLightingField(int offset, std::initializer_list<std::uint8_t> bytes) {
  BeginLightingWrite();
  WriteLightingBytes(offset, bytes.begin(), int(bytes.size()));
  EndLightingWrite();
}

void WriteKeyColour(int position, Colour colour) {
  const std::uint8_t rgb[3] = {Red(colour), Green(colour), Blue(colour)};
  BeginLightingWrite();
  device::WriteKeyColours(rgb, 3, std::uint32_t(position), LightingSlot());
  EndLightingWrite();
  SetKeyColourAt(LightingSlot(), position, colour);
}

void SendKeyColours() {
  const int slot = LightingSlot();
  const int chunks = int(device::DeviceTable.KeyCount.load()) / 18;
  BeginLightingWrite();
  for (int c = 0; c <= chunks; ++c) {
    const std::size_t at = std::size_t(slot) * kKeyColourSlotBytes + std::size_t(c) * kColourChunkBytes;
    // WriteKeyColours addresses by key position: 18 keys per chunk.
    device::WriteKeyColours(KeyColours().data() + at, kColourChunkBytes, std::uint32_t(c * 18), slot);
  }
  EndLightingWrite();
}

void WriteDefaultLighting() {
  const auto bytes = DefaultLightingBytes();
  BeginLightingWrite();
  WriteLightingBytes(0, bytes.data(), int(bytes.size()));
  EndLightingWrite();
}

int ReadLightingFromKeyboard(bool with_layouts) {
  if (ReadConfigurationBlock() != 1) return -1;
  BeginLightingWrite();
  if (with_layouts && SupportsCustomColours(ConfigBlockCopy())) {
    Observer().RefillLayoutSelector(LayoutNames(LightingSlot()));
    LoadLayout(true);
  }
  std::array<std::uint8_t, 56> reply{};
  for (int s = 0; s < kSlotCount; ++s) {
    device::ReadLightingArea(reply.data(), 56, std::uint32_t(s * kRecordBytes));
    std::copy_n(reply.begin(), kRecordBytes, LightingRecords()[s].begin());
  }
  EndLightingWrite();
  LightingState& state = CurrentLighting();
  DecodeLightingRecord(LightingRecords()[LightingSlot()], state);
  const bool open_in_file = ReadLightingPanelOpenFlag();
  if (with_layouts)
    state.panel_open = open_in_file;
  else if (open_in_file)
    state.panel_open = true;
  return 1;
}

void LoadLayout(bool send) {
  const int slot = LightingSlot();
  const int n = ReadSelectedLayout(slot);
  CustomColours().selected_layout = n;
  ReadLayoutTools(slot, n);
  auto load = [&](int position) {
    const LayoutKey key = ReadLayoutKey(slot, n, position);
    SetKeyColourAt(slot, position, key.colour);
    Observer().SetBaseColourMark(slot, position, key.base_flag);
  };
  for (const keys::PanelOrderKey& key : keys::PanelOrderKeys()) load(key.colourPosition);
  load(kFnKeyPosition);
  if (send) SendKeyColours();
}

void ResetUserColourFiles() {
  ReadConfigurationBlock();
  FollowActiveSlot();
  if (CurrentLighting().panel_open) Observer().CloseLightingPanel();
  if (Observer().SwitchProfileSlot(LightingSlot()) == 0) return;
  Observer().SyncSlotButtons(LightingSlot());
  if (SupportsCustomColours(ConfigBlockCopy())) {
    for (int s = 0; s < kSlotCount; ++s) {
      LightingSlot() = s;
      CopyColourTemplate(s);
      Observer().RefillLayoutSelector(LayoutNames(s));
      LoadLayout(false);
    }
  }
  FollowActiveSlot();
}

}  // namespace keyloom::lighting
