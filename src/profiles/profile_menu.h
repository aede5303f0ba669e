#pragma once
// The profile pop-up menu and the profile caption of the main window, as a
// model the GUI shows: a "default" item, a separator and one item per slot
// (all three labelled with the working profile's file name), the checked
// item, and the profile button's caption and tooltip.
#include <string>
#include <vector>

namespace keyloom::profiles {

class KeyboardSession;

inline constexpr int kDefaultProfileCommand = 9000;
inline constexpr int kFirstSlotCommand = 9001;
inline constexpr int kLastProfileCommand = 9200;

struct ProfileMenuItem {
  int commandId = 0;  // 0 for the separator
  std::u16string label;
  bool separator = false;
  bool checked = false;
};

struct ProfileMenuModel {
  std::vector<ProfileMenuItem> items;
  int checkedPosition = 0;
  std::u16string caption;  // the checked item's label
  std::u16string tooltip;  // "PROFILE_TIP" followed by the caption
};

// The menu for an active slot (0..2; anything else checks the default item).
ProfileMenuModel BuildProfileMenu(int activeSlot);

// Builds the menu for the keyboard's active slot, keeps it as the session's
// current menu and tells the windows (ActiveSlotChanged). `create` starts a
// new menu, otherwise the current one is emptied and refilled; either way
// the result is the same. Returns 1.
int RebuildProfileMenu(KeyboardSession& session, bool create);
// The menu the last rebuild made (empty before the first).
ProfileMenuModel CurrentProfileMenu(KeyboardSession& session);

// The slot a menu command switches to: id - 9001 for ids 9000..9200 (so the
// default item gives -1); false for other ids.
bool SlotOfProfileCommand(int commandId, int& slot);

}  // namespace keyloom::profiles
