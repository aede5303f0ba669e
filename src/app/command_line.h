#pragma once
// The program's command-line switches.
#include <string_view>

namespace keyloom::app {

enum class Switch {
  None,   // any other argument: ignored
  Start,  // "/Start": stay hidden in the tray until the user opens the window
  Kill,   // "/Kill": ask the running instance to quit, then end
};

// Letter case is ignored; the argument must match a switch whole.
Switch MatchSwitch(std::string_view argument);

}  // namespace keyloom::app
