#pragma once
// What happens when the keyboard comes or goes. The connection monitor calls
// the handler on its own thread with 1 (connected) or 0; a state equal to
// the last one seen (0 at start) is ignored.
//
// On a disconnection: the active slot is forgotten, the main window gets
// 0x4753 (close the editor dialogs) and is hidden. On a connection: the
// keyboard's default key map replaces DefaultKeyMap (or
// "MAIN_DEFAULT_MATRIX_PROMPT" is shown), the configuration block's byte 11
// x 128 becomes the writer's macro capacity, and the main window gets 0x5452
// 'PROF' (reload the profile). Then the tray icon shows 141 (connected) or
// 128, and the first time round, unless the start-up decision was already
// taken, the main window is told to open ('OPEN', connected only).
#include <cstdint>

namespace keyloom::profiles {

inline constexpr std::uint32_t kCloseEditorsMessage = 0x4753;
inline constexpr std::uint32_t kReloadProfileMessage = 0x5452;
inline constexpr std::uint32_t kOpenMessage = 0x5350;
inline constexpr int kTrayConnected = 141;
inline constexpr int kTrayDisconnected = 128;

void HandleConnectionChange(int connected);

// Installs HandleConnectionChange as the connection monitor's handler.
void InstallConnectionHandler();

// Set while the handler runs.
bool ConnectionHandlerBusy();
// The last state the handler acted on (0 at start).
int LastConnectionState();
// Back to the start-of-process state (tests, a new keyloomctl session).
void ResetConnectionHandler();

// The command results (1 success) of the last connection's reads: the
// keyboard's factory key map and its configuration block. Both 0 until a
// connection was handled. A failed key map read leaves DefaultKeyMap as it
// was; a failed configuration read leaves the macro capacity as it was.
struct KeyboardDefaultsRead {
  int keyMap = 0;
  int config = 0;
};
KeyboardDefaultsRead LastKeyboardDefaultsRead();

}  // namespace keyloom::profiles
