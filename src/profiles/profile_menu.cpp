#include "profiles/profile_menu.h"

#include <mutex>

#include "keys/text_source.h"
#include "platform/text.h"
#include "profiles/active_slot.h"
#include "profiles/data_folder.h"
#include "profiles/keyboard_session.h"

namespace keyloom::profiles {

namespace {

std::u16string SlotLabel() {
  const std::filesystem::path path = WorkingProfilePath();
  const std::filesystem::path name = path.empty() ? std::filesystem::path(kWorkingProfileName) : path.stem();
  return text::FromUtf8(name.string());
}

}  // namespace

ProfileMenuModel BuildProfileMenu(int activeSlot) {
  ProfileMenuModel menu;
  menu.items.push_back({kDefaultProfileCommand, keys::LookUpText("DEFAULT_PROFILE_NAME"), false, false});
  menu.items.push_back({0, {}, true, false});
  const std::u16string label = SlotLabel();
  for (int n = 0; n < kProfileSlotCount; ++n) menu.items.push_back({kFirstSlotCommand + n, label, false, false});
  menu.checkedPosition = activeSlot >= 0 && activeSlot < kProfileSlotCount ? activeSlot + 2 : 0;
  menu.items[menu.checkedPosition].checked = true;
  menu.caption = menu.items[menu.checkedPosition].label;
  menu.tooltip = keys::LookUpText("PROFILE_TIP") + menu.caption;
  return menu;
}

int RebuildProfileMenu(KeyboardSession& session, bool create) {
  const int slot = GetActiveSlot(session);
  ProfileMenuModel menu = BuildProfileMenu(slot);
  {
    std::lock_guard lock(session.profiles.menu_mutex);
    if (!create) session.profiles.Menu.items.clear();
    session.profiles.Menu = menu;
  }
  session.Sink().ActiveSlotChanged(slot);
  return 1;
}

ProfileMenuModel CurrentProfileMenu(KeyboardSession& session) {
  std::lock_guard lock(session.profiles.menu_mutex);
  return session.profiles.Menu;
}

bool SlotOfProfileCommand(int commandId, int& slot) {
  if (commandId < kDefaultProfileCommand || commandId > kLastProfileCommand) return false;
  slot = commandId - kFirstSlotCommand;
  return true;
}

}  // namespace keyloom::profiles
