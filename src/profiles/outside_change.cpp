#include "profiles/outside_change.h"

#include "device/keyboard_lock.h"
#include "lighting/lighting_operations.h"
#include "profiles/active_slot.h"
#include "profiles/keyboard_profile.h"
#include "profiles/profile_menu.h"

namespace keyloom::profiles {

int ReloadAfterOutsideChange(KeyboardSession& session) {
  device::KeyboardHold hold(session.link);
  ForgetActiveSlot(session);
  RebuildProfileMenu(session, false);
  // The lighting shown is the active slot's.
  const int slot = CachedActiveSlot(session);
  if (slot != kUnknownSlot) session.lighting.LightingSlot = slot;
  if (lighting::ReadLightingFromKeyboard(session.link, session.lighting, false) != -1)
    session.Sink().ReportRateChanged(session.lighting.CurrentLighting.report_rate);
  ReloadFromKeyboard(session);
  return session.profiles.LastReloadReadKeyboard.load() ? 1 : 0;
}

}  // namespace keyloom::profiles
