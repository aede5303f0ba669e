#pragma once
// Native key events into Windows keyboard messages.
//
// X11 and Wayland report a key by its Linux evdev code (their hardware key
// code minus 8) and by the key symbol the layout produced. The key code model
// works on the pair a Windows keyboard message carries: the virtual-key code
// and the keystroke data word (repeat count in bits 0..15, scan code in bits
// 16..23, extended-key flag bit 24, previous key state bit 30, transition
// state bit 31). These tables make that pair from a native event.
#include <cstdint>
#include <optional>

namespace keyloom::native_keys {

// X11/Wayland hardware key codes are the evdev code plus this offset.
inline constexpr std::uint32_t kXkbKeycodeOffset = 8;
constexpr std::uint32_t EvdevFromXkbKeycode(std::uint32_t keycode) {
  return keycode >= kXkbKeycodeOffset ? keycode - kXkbKeycodeOffset : 0;
}

// Key symbols that decide between two keys of one evdev code.
namespace keysym {
inline constexpr std::uint32_t kPause = 0xFF13;
inline constexpr std::uint32_t kSysReq = 0xFF15;
inline constexpr std::uint32_t kPrint = 0xFF61;
inline constexpr std::uint32_t kBreak = 0xFF6B;
// Keypad with Num Lock off.
inline constexpr std::uint32_t kKpHome = 0xFF95;
inline constexpr std::uint32_t kKpLeft = 0xFF96;
inline constexpr std::uint32_t kKpUp = 0xFF97;
inline constexpr std::uint32_t kKpRight = 0xFF98;
inline constexpr std::uint32_t kKpDown = 0xFF99;
inline constexpr std::uint32_t kKpPageUp = 0xFF9A;
inline constexpr std::uint32_t kKpPageDown = 0xFF9B;
inline constexpr std::uint32_t kKpEnd = 0xFF9C;
inline constexpr std::uint32_t kKpBegin = 0xFF9D;
inline constexpr std::uint32_t kKpInsert = 0xFF9E;
inline constexpr std::uint32_t kKpDelete = 0xFF9F;
}  // namespace keysym

// Bits of the keystroke data word.
inline constexpr std::uint32_t kKeyDataExtended = 1u << 24;
inline constexpr std::uint32_t kKeyDataPreviousDown = 1u << 30;
inline constexpr std::uint32_t kKeyDataRelease = 1u << 31;

// The keystroke data word of one event: repeat count 1, the scan code
// (0x100 set = extended key), bit 30 for an auto-repeat or a release, bit 31
// for a release.
std::uint32_t MakeKeyData(std::uint16_t scanCode, bool release, bool repeat);

struct WindowsKeyMessage {
  std::uint8_t vk = 0;
  std::uint32_t keyData = 0;
  friend bool operator==(const WindowsKeyMessage&, const WindowsKeyMessage&) = default;
};

// The message a Windows keyboard (thread) hook would see for the event:
// - Shift, Ctrl and Alt carry the generic virtual keys 0x10, 0x11 and 0x12;
//   the side is in the scan code and the extended flag;
// - keypad keys carry the navigation virtual keys when the key symbol is a
//   Num-Lock-off keypad symbol (KP_Home, ..., KP_Delete, KP_Begin);
// - Pause gives Break (Ctrl+Pause) when the symbol is Break, and Print
//   Screen gives Sys Req (Alt+Print) when the symbol is Sys_Req;
// - keys that reach Windows programs only as a release (Print Screen,
//   Sys Req, Hanja, Hangul) give nothing for their press and its repeats;
// - keys without a Windows counterpart in the key catalogue give nothing.
std::optional<WindowsKeyMessage> WindowsKeyFromNative(std::uint32_t evdevCode, std::uint32_t keysym,
                                                      bool release, bool repeat);

}  // namespace keyloom::native_keys
