#include "platform/native_keys.h"

#include <array>

namespace keyloom::native_keys {
namespace {

// evdev code -> scan code (0x100 = extended) and virtual-key code.
struct NativeRow {
  std::uint16_t evdev;
  std::uint16_t scan;
  std::uint8_t vk;
};

constexpr NativeRow kRows[] = {
    {1, 0x001, 0x1B},    // Esc
    {2, 0x002, 0x31},    // 1
    {3, 0x003, 0x32},    // 2
    {4, 0x004, 0x33},    // 3
    {5, 0x005, 0x34},    // 4
    {6, 0x006, 0x35},    // 5
    {7, 0x007, 0x36},    // 6
    {8, 0x008, 0x37},    // 7
    {9, 0x009, 0x38},    // 8
    {10, 0x00A, 0x39},   // 9
    {11, 0x00B, 0x30},   // 0
    {12, 0x00C, 0xBD},   // -
    {13, 0x00D, 0xBB},   // =
    {14, 0x00E, 0x08},   // Backspace
    {15, 0x00F, 0x09},   // Tab
    {16, 0x010, 0x51},   // Q
    {17, 0x011, 0x57},   // W
    {18, 0x012, 0x45},   // E
    {19, 0x013, 0x52},   // R
    {20, 0x014, 0x54},   // T
    {21, 0x015, 0x59},   // Y
    {22, 0x016, 0x55},   // U
    {23, 0x017, 0x49},   // I
    {24, 0x018, 0x4F},   // O
    {25, 0x019, 0x50},   // P
    {26, 0x01A, 0xDB},   // [
    {27, 0x01B, 0xDD},   // ]
    {28, 0x01C, 0x0D},   // Enter
    {29, 0x01D, 0x11},   // Left Ctrl
    {30, 0x01E, 0x41},   // A
    {31, 0x01F, 0x53},   // S
    {32, 0x020, 0x44},   // D
    {33, 0x021, 0x46},   // F
    {34, 0x022, 0x47},   // G
    {35, 0x023, 0x48},   // H
    {36, 0x024, 0x4A},   // J
    {37, 0x025, 0x4B},   // K
    {38, 0x026, 0x4C},   // L
    {39, 0x027, 0xBA},   // ;
    {40, 0x028, 0xDE},   // '
    {41, 0x029, 0xC0},   // grave accent
    {42, 0x02A, 0x10},   // Left Shift
    {43, 0x02B, 0xDC},   // backslash
    {44, 0x02C, 0x5A},   // Z
    {45, 0x02D, 0x58},   // X
    {46, 0x02E, 0x43},   // C
    {47, 0x02F, 0x56},   // V
    {48, 0x030, 0x42},   // B
    {49, 0x031, 0x4E},   // N
    {50, 0x032, 0x4D},   // M
    {51, 0x033, 0xBC},   // ,
    {52, 0x034, 0xBE},   // .
    {53, 0x035, 0xBF},   // /
    {54, 0x036, 0x10},   // Right Shift
    {55, 0x037, 0x6A},   // Num *
    {56, 0x038, 0x12},   // Left Alt
    {57, 0x039, 0x20},   // Space
    {58, 0x03A, 0x14},   // Caps Lock
    {59, 0x03B, 0x70},   // F1
    {60, 0x03C, 0x71},   // F2
    {61, 0x03D, 0x72},   // F3
    {62, 0x03E, 0x73},   // F4
    {63, 0x03F, 0x74},   // F5
    {64, 0x040, 0x75},   // F6
    {65, 0x041, 0x76},   // F7
    {66, 0x042, 0x77},   // F8
    {67, 0x043, 0x78},   // F9
    {68, 0x044, 0x79},   // F10
    {69, 0x145, 0x90},   // Num Lock
    {70, 0x046, 0x91},   // Scroll Lock
    {71, 0x047, 0x67},   // Num 7
    {72, 0x048, 0x68},   // Num 8
    {73, 0x049, 0x69},   // Num 9
    {74, 0x04A, 0x6D},   // Num -
    {75, 0x04B, 0x64},   // Num 4
    {76, 0x04C, 0x65},   // Num 5
    {77, 0x04D, 0x66},   // Num 6
    {78, 0x04E, 0x6B},   // Num +
    {79, 0x04F, 0x61},   // Num 1
    {80, 0x050, 0x62},   // Num 2
    {81, 0x051, 0x63},   // Num 3
    {82, 0x052, 0x60},   // Num 0
    {83, 0x053, 0x6E},   // Num .
    {86, 0x056, 0xE2},   // K45 (the ISO key beside Left Shift)
    {87, 0x057, 0x7A},   // F11
    {88, 0x058, 0x7B},   // F12
    {89, 0x073, 0xC1},   // K56 (Ro)
    {92, 0x079, 0xFF},   // CHG (Henkan)
    {93, 0x070, 0xFF},   // ROMA (Katakana/Hiragana)
    {94, 0x07B, 0xEB},   // N-CHG (Muhenkan)
    {96, 0x11C, 0x0D},   // Num Enter
    {97, 0x11D, 0x11},   // Right Ctrl
    {98, 0x135, 0x6F},   // Num /
    {99, 0x137, 0x2C},   // Print Screen (Sys Req by key symbol)
    {100, 0x138, 0x12},  // Right Alt
    {102, 0x147, 0x24},  // Home
    {103, 0x148, 0x26},  // Up
    {104, 0x149, 0x21},  // Page Up
    {105, 0x14B, 0x25},  // Left
    {106, 0x14D, 0x27},  // Right
    {107, 0x14F, 0x23},  // End
    {108, 0x150, 0x28},  // Down
    {109, 0x151, 0x22},  // Page Down
    {110, 0x152, 0x2D},  // Insert
    {111, 0x153, 0x2E},  // Delete
    {113, 0x120, 0xAD},  // Mute
    {114, 0x12E, 0xAE},  // Volume down
    {115, 0x130, 0xAF},  // Volume up
    {116, 0x15E, 0xFF},  // Power
    {119, 0x045, 0x13},  // Pause (Break by key symbol)
    {121, 0x07E, 0xC2},  // K107 (keypad comma)
    {122, 0x072, 0xFF},  // KR (Hangul)
    {123, 0x071, 0xE9},  // KL (Hanja)
    {124, 0x07D, 0xFF},  // K14 (Yen)
    {125, 0x15B, 0x5B},  // Left Win
    {126, 0x15C, 0x5C},  // Right Win
    {127, 0x15D, 0x5D},  // App (menu key)
    {128, 0x168, 0xA9},  // WWW Stop
    {133, 0x170, 0x97},  // Copy
    {135, 0x172, 0x99},  // Paste
    {137, 0x171, 0x98},  // Cut
    {140, 0x121, 0xB7},  // Calc
    {142, 0x15F, 0x5F},  // Sleep
    {143, 0x163, 0xFF},  // Wake
    {144, 0x16B, 0xB6},  // My PC (local machine browser of USB keyboards)
    {155, 0x16C, 0xB4},  // Mail
    {156, 0x166, 0xAB},  // WWW Favorite
    {157, 0x16B, 0xB6},  // My PC (as PS/2 keyboards report it)
    {158, 0x16A, 0xA6},  // WWW Back
    {159, 0x169, 0xA7},  // WWW Forward
    {163, 0x119, 0xB0},  // Next Track
    {164, 0x122, 0xB3},  // Play/Pause
    {165, 0x110, 0xB1},  // Prev Track
    {166, 0x124, 0xB2},  // Stop Play
    {171, 0x16D, 0xB5},  // Media Player (media select of USB keyboards)
    {172, 0x132, 0xAC},  // WWW Home
    {173, 0x167, 0xA8},  // WWW Refresh
    {183, 0x064, 0x7C},  // F13
    {217, 0x165, 0xAA},  // WWW Search
    {226, 0x16D, 0xB5},  // Media Player
    {397, 0x178, 0x9F},  // Calendar
    {418, 0x16F, 0x8C},  // Zoom+
    {419, 0x16E, 0x8B},  // Zoom-
    {421, 0x175, 0x9C},  // Word (word processor)
    {423, 0x176, 0x9D},  // Excel (spreadsheet)
    {425, 0x177, 0x9E},  // PowerPoint (presentation)
};

constexpr std::uint16_t kMaxEvdev = 426;

constexpr std::array<std::int16_t, kMaxEvdev> BuildIndex() {
  std::array<std::int16_t, kMaxEvdev> index{};
  for (auto& entry : index) entry = -1;
  for (std::size_t i = 0; i < std::size(kRows); ++i) index[kRows[i].evdev] = static_cast<std::int16_t>(i);
  return index;
}

constexpr std::array<std::int16_t, kMaxEvdev> kIndex = BuildIndex();

// Keypad symbols with Num Lock off and the navigation virtual key each gives.
struct KeypadSymbol {
  std::uint32_t keysym;
  std::uint8_t vk;
};
constexpr KeypadSymbol kKeypadNavigation[] = {
    {keysym::kKpHome, 0x24},     {keysym::kKpLeft, 0x25},   {keysym::kKpUp, 0x26},
    {keysym::kKpRight, 0x27},    {keysym::kKpDown, 0x28},   {keysym::kKpPageUp, 0x21},
    {keysym::kKpPageDown, 0x22}, {keysym::kKpEnd, 0x23},    {keysym::kKpBegin, 0x0C},
    {keysym::kKpInsert, 0x2D},   {keysym::kKpDelete, 0x2E},
};

constexpr bool IsKeypadDigitOrDot(std::uint32_t evdev) {
  return evdev >= 71 && evdev <= 83 && evdev != 74 && evdev != 78;
}

// Keys whose press Windows programs never see: they arrive as a release only.
constexpr bool ReleaseOnly(std::uint16_t scan) {
  return scan == 0x137 || scan == 0x054 || scan == 0x071 || scan == 0x072;
}

}  // namespace

std::uint32_t MakeKeyData(std::uint16_t scanCode, bool release, bool repeat) {
  std::uint32_t data = 1;  // repeat count
  data |= static_cast<std::uint32_t>(scanCode & 0xFF) << 16;
  if (scanCode & 0x100) data |= kKeyDataExtended;
  if (release || repeat) data |= kKeyDataPreviousDown;
  if (release) data |= kKeyDataRelease;
  return data;
}

std::optional<WindowsKeyMessage> WindowsKeyFromNative(std::uint32_t evdevCode, std::uint32_t sym,
                                                      bool release, bool repeat) {
  if (evdevCode >= kMaxEvdev || kIndex[evdevCode] < 0) return std::nullopt;
  const NativeRow& row = kRows[kIndex[evdevCode]];
  std::uint16_t scan = row.scan;
  std::uint8_t vk = row.vk;

  if (IsKeypadDigitOrDot(evdevCode)) {
    for (const KeypadSymbol& entry : kKeypadNavigation) {
      if (entry.keysym == sym) vk = entry.vk;
    }
  } else if (evdevCode == 119 && sym == keysym::kBreak) {
    scan = 0x146;
    vk = 0x03;
  } else if (evdevCode == 99 && sym == keysym::kSysReq) {
    scan = 0x054;
  }

  if (ReleaseOnly(scan) && !release) return std::nullopt;
  return WindowsKeyMessage{vk, MakeKeyData(scan, release, repeat && !release)};
}

}  // namespace keyloom::native_keys
