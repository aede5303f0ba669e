#pragma once
// The notification-area icons: a small keyboard glyph in three states, drawn
// per size on whole pixels so that the 16-pixel icon stays crisp.
//
//   disconnected  grey keyboard (also the application icon)
//   connected     keyboard in the skin's accent colour
//   event         the connected keyboard with an amber badge at its corner
#include <QImage>
#include <QString>
#include <array>

namespace keyloom::skingen {

enum class TrayState { Disconnected, Connected, Event };

inline constexpr std::array<TrayState, 3> kTrayStates = {TrayState::Disconnected, TrayState::Connected,
                                                         TrayState::Event};
inline constexpr std::array<int, 8> kTrayIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

// "disconnected", "connected" or "event".
QString TrayStateName(TrayState state);
// "tray_<state>_<size>.png".
QString TrayIconFileName(TrayState state, int size);

// A size x size ARGB picture with a transparent background.
QImage PaintTrayIcon(TrayState state, int size);

}  // namespace keyloom::skingen
