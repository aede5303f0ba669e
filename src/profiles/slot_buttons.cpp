#include "profiles/slot_buttons.h"

#include "app/store_locks.h"
#include "lighting/lighting_operations.h"
#include "lighting/lighting_state.h"
#include "profiles/active_slot.h"
#include "profiles/editing_lock.h"
#include "profiles/slot_switch.h"

namespace keyloom::profiles {

SlotButtonOutcome PressSlotButton(KeyboardSession& session, int slot) {
  SlotButtonOutcome outcome;
  if (slot < 0 || slot >= kProfileSlotCount) return outcome;
  session.lighting.LightingSlot = slot;
  outcome.lightingRead = lighting::ReadLightingFromKeyboard(session.link, session.lighting, false);
  if (lighting::SupportsCustomColours(session.lighting.ConfigBlockCopy)) {
    lighting::LoadLayout(session.lighting);
    (void)lighting::SendKeyColours(session.link, session.lighting);
  }
  if (GetActiveSlot(session) == slot) return outcome;
  outcome.switched = SwitchProfileSlot(session, slot) == 1;
  return outcome;
}

int SyncSlotButtons(KeyboardSession& session) {
  const int active = GetActiveSlot(session);
  if (active < 0 || active >= kProfileSlotCount) return -1;
  session.lighting.LightingSlot = active;
  return active;
}

std::vector<keys::ButtonPrompt> ResetActiveSlotKeys(KeyboardSession& session) {
  const int active = CachedActiveSlot(session);
  if (active < 0 || active >= kProfileSlotCount) return {};
  std::vector<keys::ButtonPrompt> prompts;
  {
    EditingLock lock(session);
    prompts = keys::ResetPanelAssignments(session.stores.EditingStore, active, 0);
  }
  if (!prompts.empty()) session.windows.MainWindowHasUnappliedChanges.store(true);
  return prompts;
}

void AfterKeyboardReset(KeyboardSession& session) {
  lighting::ResetUserColourFiles(session.link, session.lighting);
  (void)lighting::ReadLightingFromKeyboard(session.link, session.lighting, false);
}

void ReleaseStores(KeyboardSession& session) {
  session.windows.MainWindowHasUnappliedChanges.store(false);
  {
    EditingLock lock(session);
    session.stores.EditingStore.Clear();
  }
  std::lock_guard macro_lock(app::MacroStoreLock());
  std::lock_guard store_lock(session.stores.DeviceStore.Mutex());
  session.stores.DeviceStore.Clear();
}

}  // namespace keyloom::profiles
