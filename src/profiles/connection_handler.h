#pragma once
// What happens when the keyboard comes or goes. The connection monitor calls
// the handler on its own thread with 1 (connected) or 0; a state equal to
// the last one seen (0 at start) is ignored.
//
// On a disconnection: the active slot is forgotten; the windows hear
// CloseEditors and ConnectionChanged(false). On a connection: the keyboard's
// default key map replaces the link's DefaultKeyMap (or
// "MAIN_DEFAULT_MATRIX_PROMPT" is asked), the configuration block's byte 11
// x 128 becomes the writer's macro capacity and the windows hear
// ConnectionChanged(true) (the main window then reloads the profile from the
// keyboard, ReloadFromKeyboard). The first time round, unless the start-up
// decision was already taken, a connection also brings ShowWindow. Every
// notification is sent once the handler's work is done.
#include <cstdint>

#include "device/device_monitors.h"
#include "profiles/keyboard_session.h"

namespace keyloom::profiles {

void HandleConnectionChange(KeyboardSession& session, int connected);

// The connection monitor's reports for a session: changes go to
// HandleConnectionChange, and a first cycle that finds no keyboard takes the
// start-up decision (the window stays hidden until the user opens it). A
// monitor started after that decision waits a moment first.
device::ConnectionReports ConnectionReportsFor(KeyboardSession& session);

// The event monitor's reports for a session: each event goes to the sink.
device::KeyboardEventHandler KeyboardEventsFor(KeyboardSession& session);

// Set while the handler runs.
bool ConnectionHandlerBusy(const KeyboardSession& session);
// The last state the handler acted on (0 at start).
int LastConnectionState(const KeyboardSession& session);

// The command results (1 success) of the last connection's reads: the
// keyboard's factory key map and its configuration block. Both 0 until a
// connection was handled. A failed key map read leaves DefaultKeyMap as it
// was; a failed configuration read leaves the macro capacity as it was.
struct KeyboardDefaultsRead {
  int keyMap = 0;
  int config = 0;
};
KeyboardDefaultsRead LastKeyboardDefaultsRead(const KeyboardSession& session);

}  // namespace keyloom::profiles
