#include "profiles/profile_menu.h"

#include <mutex>

#include "keys/text_source.h"
#include "platform/text.h"
#include "profiles/active_slot.h"
#include "profiles/data_folder.h"
#include "profiles/profile_observer.h"

namespace keyloom::profiles {

namespace {

std::mutex g_menuMutex;
ProfileMenuModel g_menu;

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

int RebuildProfileMenu(bool create) {
  ProfileMenuModel menu = BuildProfileMenu(GetActiveSlot());
  {
    std::lock_guard lock(g_menuMutex);
    if (!create) g_menu.items.clear();
    g_menu = menu;
  }
  Observer().ShowProfileMenu(menu);
  return 1;
}

ProfileMenuModel CurrentProfileMenu() {
  std::lock_guard lock(g_menuMutex);
  return g_menu;
}

bool SlotOfProfileCommand(int commandId, int& slot) {
  if (commandId < kDefaultProfileCommand || commandId > kLastProfileCommand) return false;
  slot = commandId - kFirstSlotCommand;
  return true;
}

}  // namespace keyloom::profiles
