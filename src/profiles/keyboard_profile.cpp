#include "profiles/keyboard_profile.h"

#include <array>
#include <new>
#include <vector>

#include "device/commands.h"
#include "device/device_table.h"
#include "keys/byte_order.h"
#include "keys/keymap_image.h"
#include "keys/macro_image.h"
#include "profiles/active_slot.h"
#include "profiles/data_folder.h"
#include "profiles/editing_lock.h"
#include "profiles/profile_file.h"

namespace keyloom::profiles {

namespace {

constexpr std::size_t kKeyMapBuffer = 512;

// The macros of the keyboard's macro area; false when a read fails. An area
// without the image magic holds no macros.
bool ReadKeyboardMacros(device::DeviceLink& link, std::vector<keys::MacroRecord>& macros) {
  macros.clear();
  std::array<std::uint8_t, keys::kMacroImageHeaderBytes> head{};
  if (device::ReadMacroArea(link, head.data(), static_cast<std::uint32_t>(head.size())) != device::CommandResult::kOk)
    return false;
  if (keys::GetU16(head.data()) != keys::kMacroImageMagic) return true;
  const std::uint16_t length = keys::GetU16(head.data() + 2);
  std::vector<std::uint8_t> area(length, 0);
  if (length != 0 && device::ReadMacroArea(link, area.data(), length) != device::CommandResult::kOk) return false;
  if (!keys::DecodeMacroImage(area, macros)) macros.clear();
  return true;
}

// A key map can name a macro place the macro area does not hold (a write
// that stopped between the macros and the key maps, a macro area that does
// not decode). The keyboard plays nothing for such a key; read as a macro
// it would dangle, and the next write would give it the first macro.
void DisableMissingMacros(keys::AssignmentTable& table, std::size_t macroCount) {
  for (keys::KeyAssignment& record : table) {
    if (record.kind == static_cast<std::uint16_t>(keys::KeyKind::Macro) && record.value > macroCount) {
      record.kind = static_cast<std::uint16_t>(keys::KeyKind::Disabled);
      record.value = 0;
    }
  }
}

}  // namespace

int ReadProfileFromKeyboard(KeyboardSession& session, const std::filesystem::path& path, ReloadFailure* failure) {
  ReloadFailure local;
  ReloadFailure& failed = failure ? *failure : local;
  failed = {ReloadStep::kKeyboard, {}};
  device::DeviceLink& link = session.link;
  if (GetActiveSlot(session) == kUnknownSlot) return 0;
  // The key maps and macros are read as one: no other program writes
  // between them.
  device::KeyboardHold hold(link);
  try {
    const std::uint32_t layerBytes =
        std::min<std::uint32_t>(link.DeviceTable.LayerBytes.load(), static_cast<std::uint32_t>(kKeyMapBuffer));
    std::array<std::array<std::uint8_t, kKeyMapBuffer>, kProfileSlotCount> maps{};
    for (int slot = 0; slot < kProfileSlotCount; ++slot) {
      if (device::ReadKeyLayer(link, maps[slot].data(), slot) != device::CommandResult::kOk) return 0;
    }
    std::vector<keys::MacroRecord> macros;
    if (!ReadKeyboardMacros(link, macros)) return 0;
    if (macros.size() > kMaxProfileMacros) macros.resize(kMaxProfileMacros);

    keys::KeyTableBlock block;
    BuildProfileHeader(block, static_cast<std::uint16_t>(macros.size()), 0, kProfileFlag);
    WriteKeyTableHeader(block);
    const device::KeyMap factory = link.DefaultKeyMap();
    const std::uint32_t keyCount = link.DeviceTable.KeyCount.load();
    for (int slot = 0; slot < kProfileSlotCount; ++slot) {
      keys::DecodeKeyMap(std::span<const std::uint8_t>(maps[slot].data(), layerBytes), factory, keyCount,
                         block.tables[slot]);
      DisableMissingMacros(block.tables[slot], macros.size());
    }
    block.tables[3].fill(keys::KeyAssignment{});

    std::vector<std::uint8_t> image = block.ToBytes();
    for (const keys::MacroRecord& macro : macros) {
      const std::vector<std::uint8_t> record = keys::MacroRecordBytes(macro);
      image.insert(image.end(), record.begin(), record.end());
    }
    if (!ReplaceFile(path, image, &failed.error)) {
      failed.step = ReloadStep::kFileWrite;
      return 0;
    }
    failed = {};
    return 1;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

ReloadFailure LastReloadFailure(const KeyboardSession& session) {
  ReloadFailure f;
  f.step = static_cast<ReloadStep>(session.profiles.LastReloadFailedStep.load());
  if (const int e = session.profiles.LastReloadErrno.load()) f.error = std::error_code(e, std::generic_category());
  return f;
}

bool LastReloadReadKeyboard(const KeyboardSession& session) { return session.profiles.LastReloadReadKeyboard.load(); }

int ReloadFromKeyboard(KeyboardSession& session) {
  session.profiles.LastReloadReadKeyboard.store(false);
  EnsureDataFolder();
  const int slot = GetActiveSlot(session);
  const std::filesystem::path path = WorkingProfilePath();
  keys::KeyMacroStore& store = session.stores.EditingStore;
  bool loaded = false;
  ReloadFailure failure{ReloadStep::kKeyboard, {}};
  if (path.empty()) {
    failure.step = ReloadStep::kNoFile;
  } else if (slot != kUnknownSlot && ReadProfileFromKeyboard(session, path, &failure) == 1) {
    EditingLock lock(store);
    loaded = LoadProfileFile(store, session.lighting.CurrentLighting, path) == 1;
    failure.step = loaded ? ReloadStep::kNone : ReloadStep::kFileRead;
  }
  session.profiles.LastReloadFailedStep.store(static_cast<int>(failure.step));
  session.profiles.LastReloadErrno.store(failure.error.value());
  int table = 0;
  {
    EditingLock lock(store);
    if (!loaded) {
      store.Clear();
      SetEmptyProfile(store, kProfileFlag);
    }
    table = PanelTable(session);
  }
  session.profiles.LastReloadReadKeyboard.store(loaded);
  session.windows.MainWindowHasUnappliedChanges.store(false);
  session.Sink().KeyMapsChanged(table);
  return 1;
}

}  // namespace keyloom::profiles
