#pragma once
// The key catalogue: one 16-bit key code per key and every conversion between
// that code and the worlds it meets (Windows virtual-key codes of captured
// key events, the keyboard's one-byte device key codes, HID usages inside
// macros, localised display names, the single-key pick list, the on-screen
// keyboard panel and the per-key colour table).
//
// All tables are constant data. Nothing here holds state or takes a lock;
// every function may be called from any thread.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace keyloom::keys {

// The set-1 scan code of a key, plus 0x100 for E0-prefixed keys; 0 = no key.
// Num Lock is 0x145 and Pause is 0x045. 0x200..0x211 are the G keys G1..G9
// of the two banks (0x1FF + n).
using KeyCode = std::uint16_t;

inline constexpr std::uint16_t kSlotCount = 253;  // slots 0x00..0xFC
inline constexpr KeyCode kFirstGKeyCode = 0x200;  // G1 of the first bank

// listPos values that are not pick-list positions.
inline constexpr std::uint16_t kListSpecial = 0x8000;  // 0x8000 + n: media and function lists only
inline constexpr std::uint16_t kListNone = 0xFFFF;     // empty slot
inline constexpr std::uint16_t kPickListSize = 106;    // positions 0..105

// One row of the key table (one per slot).
struct KeyInfo {
  std::uint8_t vk = 0;             // Windows virtual-key code; 0xFF where the key has none
  std::uint16_t listPos = kListNone;
  std::uint8_t altVk = 0;          // second virtual-key code (keypad with Num Lock off), else vk
  std::uint8_t deviceCode = 0;     // the keyboard's code for the key; 0 where it has none
  std::string_view nameKey;        // language-file key of the display name; empty for none
};

// The record of a slot; slots at or beyond kSlotCount give the empty record.
const KeyInfo& KeyInfoOfSlot(std::uint16_t slot);

// Slot rules: below 0x100 the code itself; from 0x200 the code minus 0x100
// (G keys give 0x100..0x111, which index the assignment table only);
// otherwise (code - 0x80) mod 256.
std::uint16_t KeyCodeToSlot(KeyCode code);
// The slot itself below 0x80, the slot plus 0x80 from 0x80 on.
KeyCode SlotToKeyCode(std::uint16_t slot);

// Raw scan byte and prefix flags of a code, for rebuilding a key event:
// prefix flag 2 = E0, 4 = E1.
inline constexpr std::uint32_t kPrefixE0 = 2;
inline constexpr std::uint32_t kPrefixE1 = 4;
std::uint8_t RawScanByte(KeyCode code);
std::uint32_t PrefixFlags(KeyCode code);

// Display name of a key: the localised text of its name key, or the
// UNKNOWN_KEY format with the code when that text is empty (or the key has no
// name key), cut to capacity - 1 characters (callers use 260).
inline constexpr std::size_t kKeyNameCapacity = 260;
std::u16string GetKeyName(KeyCode code, std::size_t capacity = kKeyNameCapacity);

// Pick list: the first slot (ascending) whose listPos matches.
std::u16string GetListKeyName(std::uint16_t listPos);
KeyCode ListPosToKeyCode(std::uint16_t listPos);
// The listPos field of the code's slot as stored (0x8000 + n, 0xFFFF included).
std::uint16_t KeyCodeToListPos(KeyCode code);

// HID usage pages the catalogue deals in.
inline constexpr std::uint16_t kPageGenericDesktop = 1;
inline constexpr std::uint16_t kPageKeyboard = 7;
inline constexpr std::uint16_t kPageConsumer = 12;

struct Usage {
  std::uint16_t page = 0;
  std::uint16_t usage = 0;
  friend bool operator==(const Usage&, const Usage&) = default;
};
// Page and usage under which a macro carries the key: system keys on page 1,
// every other key with a device code on page 7 (consumer keys included, with
// their device codes 0xC0..0xD5 as usage); (0, 0) for keys without a code.
Usage KeyCodeToUsage(KeyCode code);
// The first slot whose device code matches the usage's device code; 0 if none.
// Page 7 usage 0x32 stands for backslash as 0x31 does.
KeyCode UsageToKeyCode(std::uint16_t page, std::uint16_t usage);

// Consumer usage table: entry i stands for device code 0xC0 + i.
inline constexpr std::size_t kConsumerUsageCount = 32;
std::span<const std::uint16_t, kConsumerUsageCount> ConsumerUsageTable();

// Virtual-key fallback: the slot of a virtual-key code, 0 for none.
std::uint8_t VkFallbackSlot(std::uint8_t vk);

// The key code of a captured key event: vk and the keystroke data word of a
// Windows keyboard message (scan code in bits 16..23, extended flag bit 24).
KeyCode KeyCodeFromKeyMessage(std::uint8_t vk, std::uint32_t keyData);

// Modifier bits of the keyboard's formats: bit i stands for kModifierKeys[i].
inline constexpr std::array<KeyCode, 8> kModifierKeys = {
    0x01D,  // 0x01 Ctrl
    0x02A,  // 0x02 Shift
    0x038,  // 0x04 Alt
    0x15B,  // 0x08 Win
    0x11D,  // 0x10 Right Ctrl
    0x036,  // 0x20 Right Shift
    0x138,  // 0x40 Right Alt
    0x15C,  // 0x80 Right Win
};
// Code of the lowest set bit; 0 for an empty byte.
KeyCode ModifierBitsToKeyCode(std::uint8_t bits);
// The bit of a modifier key code; 0 for any other code.
std::uint8_t KeyCodeToModifierBit(KeyCode code);

// Media key list: the index is what a media assignment stores.
struct MediaKey {
  KeyCode code;                 // the key whose name the entry shows
  std::uint16_t consumerUsage;  // what the keyboard sends
};
inline constexpr std::size_t kMediaKeyCount = 18;
std::span<const MediaKey, kMediaKeyCount> MediaKeys();
// Membership in the media key set (the codes of the media key list).
bool IsMediaKeyCode(KeyCode code);
// The first media entry whose consumer usage matches; -1 if none.
int MediaIndexOfConsumerUsage(std::uint16_t usage);

// Function key list: entry n (0..10) is shown under FUNC_KEY_DESC<n+1> and
// sent to the keyboard as n.
inline constexpr int kFunctionKeyCount = 11;
std::string FunctionKeyTextKey(int index);  // empty outside 0..10
std::u16string FunctionKeyName(int index);  // localised; empty outside 0..10

// ---- the on-screen keyboard panel ----
inline constexpr int kPanelKeyButtonCount = 105;
inline constexpr int kGKeyCount = 9;
inline constexpr int kPanelButtonCount = kGKeyCount + kPanelKeyButtonCount;  // 114
inline constexpr int kColourRows = 6;
inline constexpr int kColourColumns = 21;
inline constexpr int kColourPositionCount = kColourRows * kColourColumns;  // 126
inline constexpr int kGKeyColourPosition = 125;

struct PanelOrderKey {
  KeyCode code;
  int controlId;       // the main window's control identifier of the button
  int colourPosition;  // row * 21 + column in the colour grid
};
// The 105 key buttons in panel order.
std::span<const PanelOrderKey, kPanelKeyButtonCount> PanelOrderKeys();
// Control identifiers of the G buttons G1..G9.
std::span<const int, kGKeyCount> GKeyControlIds();
// The colour grid, row by row; 0 where no key sits.
const std::array<std::array<KeyCode, kColourColumns>, kColourRows>& ColourGrid();
// Panel-order index of a key code, or -1.
int PanelIndexOfKeyCode(KeyCode code);
// Colour position of a control: 125 for a G button, the key's position for a
// key button, 0 for anything else.
int PanelColourPosition(int controlId);

// Skin entry names: "KEY_%03X" with the key's slot, "FUNC_G%d" with 1..9.
std::string PanelKeySkinName(KeyCode code);
std::string GKeySkinName(int gNumber);

}  // namespace keyloom::keys
