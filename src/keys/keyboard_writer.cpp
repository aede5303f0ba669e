#include "keys/keyboard_writer.h"

#include <mutex>
#include <new>

#include "device/commands.h"
#include "device/device_table.h"
#include "keys/byte_order.h"
#include "keys/keymap_image.h"
#include "keys/macro_image.h"
#include "keys/macro_lookups.h"
#include "keys/profile_header.h"
#include "keys/text_source.h"
#include "platform/host.h"

namespace keyloom::keys {

namespace {

void ShowTopmost(host::Prompter& prompter, std::string_view key) {
  host::MessageBoxRequest request;
  request.text = LookUpText(key);
  request.buttons = host::Buttons::Ok;
  request.topmost = true;
  prompter.Ask(request);
}

}  // namespace

bool SnapshotIntoDeviceStore(KeyMacroStore& editing, KeyMacroStore& device, std::vector<std::uint8_t>& deviceBlob) {
  std::scoped_lock locks(editing.Mutex(), device.Mutex());
  try {
    device.Clear();
    device.block = editing.block;
    BuildProfileHeader(device.block, editing.MacroCount(), editing.totalStringSize, 0);
    device.macros = editing.macros;
    std::vector<std::uint8_t> blob(editing.totalStringSize, 0);
    std::size_t at = 0;
    for (int profile = 0; profile < kProfileTableCount; ++profile) {
      for (int record = 0; record < kRecordsPerTable; ++record) {
        KeyAssignment& assignment = editing.block.tables[profile][record];
        if (!KindKeepsString(assignment.kind)) continue;
        const StringSlot& slot = editing.strings[StringSlotIndex(profile, record)];
        at = (at + 1) & ~std::size_t{1};
        const std::size_t bytes = (slot.text.size() + 1) * 2;
        if (slot.size == 0 || at + bytes > blob.size()) continue;
        for (std::size_t c = 0; c < slot.text.size(); ++c) PutU16(blob.data() + at + 2 * c, slot.text[c]);
        assignment.value = static_cast<std::uint32_t>(at);
        at += bytes;
      }
    }
    deviceBlob = std::move(blob);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool WriteOutcome::Complete() const {
  using device::CommandResult;
  if (!sent || begin != CommandResult::kOk || macroArea != CommandResult::kOk || end != CommandResult::kOk) return false;
  for (std::size_t p = 0; p < keyMaps.size(); ++p) {
    if (keyMapSent[p] && keyMaps[p] != CommandResult::kOk) return false;
  }
  return true;
}

int WriteKeysAndMacros(device::DeviceLink& link, KeyStores& stores, host::Prompter& prompter, bool allProfiles,
                       WriteOutcome* outcome) {
  WriteOutcome local;
  WriteOutcome& done = outcome ? *outcome : local;
  done = WriteOutcome{};
  KeyMacroStore& editing = stores.EditingStore;
  KeyMacroStore& device = stores.DeviceStore;
  KeyboardWriteState& WriteState = stores.WriteState;
  std::unique_lock editingLock(editing.Mutex());
  if (!SnapshotIntoDeviceStore(editing, device, stores.DeviceStringBlob)) return 0;
  if (stores.RewriteAllProfiles.load()) allProfiles = true;

  std::unique_lock deviceLock(device.Mutex());
  const MacroImageSize sizes = MacroImageSizes(device);
  if (sizes.compact > WriteState.macroCapacity.load()) {
    deviceLock.unlock();
    ShowTopmost(prompter, "EXTRA_MACRO_TOO_LONG");
    return 0;
  }
  const bool withNames = sizes.full <= WriteState.macroCapacity.load();
  std::vector<std::uint8_t> image;
  std::vector<std::vector<std::uint8_t>> maps;
  std::vector<int> profiles;
  try {
    image = BuildMacroImage(device.macros, withNames);
    if (allProfiles) {
      profiles = {0, 1, 2};
    } else {
      const int current = WriteState.currentProfile.load();
      if (current < 0 || current >= device::kKeyLayerCount) return 0;
      profiles = {current};
    }
    const auto factory = link.DefaultKeyMap();
    const std::uint32_t layerBytes = link.DeviceTable.LayerBytes.load();
    const std::uint32_t keyCount = link.DeviceTable.KeyCount.load();
    const MacroPositionOfId positionOf = [&device](std::uint16_t id) { return MacroIdToIndex(device, id); };
    for (int p : profiles) {
      maps.push_back(BuildKeyMap(device.block.tables[p], factory, layerBytes, keyCount, positionOf));
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  deviceLock.unlock();

  // The whole write holds the keyboard: no other program's transaction
  // comes between its reports.
  device::KeyboardHold hold(link);
  done.sent = true;
  done.begin = device::BeginWrite(link);
  done.macroArea = device::WriteMacroArea(link, image.data(), static_cast<std::uint32_t>(image.size()));
  for (std::size_t i = 0; i < profiles.size(); ++i) {
    const auto p = static_cast<std::size_t>(profiles[i]);
    done.keyMapSent[p] = true;
    done.keyMaps[p] = device::WriteKeyLayer(link, maps[i].data(), profiles[i]);
  }
  done.end = device::EndWrite(link);
  const int result = done.Complete() ? 1 : 0;
  if (!withNames) ShowTopmost(prompter, "EXTRA_PROFILE_SPACE_TIGHT");
  stores.RewriteAllProfiles.store(false);
  return result;
}

}  // namespace keyloom::keys
