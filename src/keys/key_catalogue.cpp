#include "keys/key_catalogue.h"

#include <algorithm>
#include <cstdio>

#include "keys/text_source.h"
#include "platform/text.h"

namespace keyloom::keys {
namespace {

constexpr std::uint16_t kSpecial = kListSpecial;
constexpr std::uint16_t kUsageBackslash = 0x31;
constexpr std::uint16_t kUsageNonUsHash = 0x32;

struct KeyRow {
  std::uint8_t slot;
  std::uint8_t vk;
  std::uint8_t altVk;
  std::uint16_t listPos;
  std::uint8_t deviceCode;
  std::string_view nameKey;
};

// The key table: slot, vk, alternative vk, pick-list position, device code,
// name key. Slots not listed are empty.
constexpr KeyRow kKeyRows[] = {
    {0x01, 0x1B, 0x1B, 37, 0x29, "IDS_KEYBOARD_ESC"},  // 001 Esc
    {0x02, 0x31, 0x31, 26, 0x1E, "IDS_KEYBOARD_1"},  // 002 1
    {0x03, 0x32, 0x32, 27, 0x1F, "IDS_KEYBOARD_2"},  // 003 2
    {0x04, 0x33, 0x33, 28, 0x20, "IDS_KEYBOARD_3"},  // 004 3
    {0x05, 0x34, 0x34, 29, 0x21, "IDS_KEYBOARD_4"},  // 005 4
    {0x06, 0x35, 0x35, 30, 0x22, "IDS_KEYBOARD_5"},  // 006 5
    {0x07, 0x36, 0x36, 31, 0x23, "IDS_KEYBOARD_6"},  // 007 6
    {0x08, 0x37, 0x37, 32, 0x24, "IDS_KEYBOARD_7"},  // 008 7
    {0x09, 0x38, 0x38, 33, 0x25, "IDS_KEYBOARD_8"},  // 009 8
    {0x0A, 0x39, 0x39, 34, 0x26, "IDS_KEYBOARD_9"},  // 00A 9
    {0x0B, 0x30, 0x30, 35, 0x27, "IDS_KEYBOARD_0"},  // 00B 0
    {0x0C, 0xBD, 0xBD, 41, 0x2D, "IDS_KEYBOARD_MINUS"},  // 00C -
    {0x0D, 0xBB, 0xBB, 42, 0x2E, "IDS_KEYBOARD_EQU"},  // 00D =
    {0x0E, 0x08, 0x08, 38, 0x2A, "IDS_KEYBOARD_BS"},  // 00E Backspace
    {0x0F, 0x09, 0x09, 39, 0x2B, "IDS_KEYBOARD_TAB"},  // 00F Tab
    {0x10, 0x51, 0x51, 16, 0x14, "IDS_KEYBOARD_Q"},  // 010 Q
    {0x11, 0x57, 0x57, 22, 0x1A, "IDS_KEYBOARD_W"},  // 011 W
    {0x12, 0x45, 0x45, 4, 0x08, "IDS_KEYBOARD_E"},  // 012 E
    {0x13, 0x52, 0x52, 17, 0x15, "IDS_KEYBOARD_R"},  // 013 R
    {0x14, 0x54, 0x54, 19, 0x17, "IDS_KEYBOARD_T"},  // 014 T
    {0x15, 0x59, 0x59, 24, 0x1C, "IDS_KEYBOARD_Y"},  // 015 Y
    {0x16, 0x55, 0x55, 20, 0x18, "IDS_KEYBOARD_U"},  // 016 U
    {0x17, 0x49, 0x49, 8, 0x0C, "IDS_KEYBOARD_I"},  // 017 I
    {0x18, 0x4F, 0x4F, 14, 0x12, "IDS_KEYBOARD_O"},  // 018 O
    {0x19, 0x50, 0x50, 15, 0x13, "IDS_KEYBOARD_P"},  // 019 P
    {0x1A, 0xDB, 0xDB, 43, 0x2F, "IDS_KEYBOARD_SB1"},  // 01A [
    {0x1B, 0xDD, 0xDD, 44, 0x30, "IDS_KEYBOARD_SB2"},  // 01B ]
    {0x1C, 0x0D, 0x0D, 36, 0x28, "IDS_KEYBOARD_ENTER"},  // 01C Enter
    {0x1D, 0xA2, 0xA2, 98, 0xE0, "IDS_KEYBOARD_LCTRL"},  // 01D Ctrl
    {0x1E, 0x41, 0x41, 0, 0x04, "IDS_KEYBOARD_A"},  // 01E A
    {0x1F, 0x53, 0x53, 18, 0x16, "IDS_KEYBOARD_S"},  // 01F S
    {0x20, 0x44, 0x44, 3, 0x07, "IDS_KEYBOARD_D"},  // 020 D
    {0x21, 0x46, 0x46, 5, 0x09, "IDS_KEYBOARD_F"},  // 021 F
    {0x22, 0x47, 0x47, 6, 0x0A, "IDS_KEYBOARD_G"},  // 022 G
    {0x23, 0x48, 0x48, 7, 0x0B, "IDS_KEYBOARD_H"},  // 023 H
    {0x24, 0x4A, 0x4A, 9, 0x0D, "IDS_KEYBOARD_J"},  // 024 J
    {0x25, 0x4B, 0x4B, 10, 0x0E, "IDS_KEYBOARD_K"},  // 025 K
    {0x26, 0x4C, 0x4C, 11, 0x0F, "IDS_KEYBOARD_L"},  // 026 L
    {0x27, 0xBA, 0xBA, 46, 0x33, "IDS_KEYBOARD_SEM"},  // 027 ;
    {0x28, 0xDE, 0xDE, 47, 0x34, "IDS_KEYBOARD_QUOT"},  // 028 '
    {0x29, 0xC0, 0xC0, 48, 0x35, "IDS_KEYBOARD_AID1"},  // 029 Grave accent
    {0x2A, 0xA0, 0xA0, 99, 0xE1, "IDS_KEYBOARD_LSHIFT"},  // 02A Shift
    {0x2B, 0xDC, 0xDC, 45, 0x31, "IDS_KEYBOARD_AV"},  // 02B backslash
    {0x2C, 0x5A, 0x5A, 25, 0x1D, "IDS_KEYBOARD_Z"},  // 02C Z
    {0x2D, 0x58, 0x58, 23, 0x1B, "IDS_KEYBOARD_X"},  // 02D X
    {0x2E, 0x43, 0x43, 2, 0x06, "IDS_KEYBOARD_C"},  // 02E C
    {0x2F, 0x56, 0x56, 21, 0x19, "IDS_KEYBOARD_V"},  // 02F V
    {0x30, 0x42, 0x42, 1, 0x05, "IDS_KEYBOARD_B"},  // 030 B
    {0x31, 0x4E, 0x4E, 13, 0x11, "IDS_KEYBOARD_N"},  // 031 N
    {0x32, 0x4D, 0x4D, 12, 0x10, "IDS_KEYBOARD_M"},  // 032 M
    {0x33, 0xBC, 0xBC, 49, 0x36, "IDS_KEYBOARD_COMMA"},  // 033 ,
    {0x34, 0xBE, 0xBE, 50, 0x37, "IDS_KEYBOARD_PER"},  // 034 .
    {0x35, 0xBF, 0xBF, 51, 0x38, "IDS_KEYBOARD_VIR"},  // 035 /
    {0x36, 0xA1, 0xA1, 103, 0xE5, "IDS_KEYBOARD_RSHIFT"},  // 036 Right Shift
    {0x37, 0x6A, 0x6A, 81, 0x55, "IDS_KEYBOARD_S_AST"},  // 037 Num *
    {0x38, 0xA4, 0xA4, 100, 0xE2, "IDS_KEYBOARD_LALT"},  // 038 Alt
    {0x39, 0x20, 0x20, 40, 0x2C, "IDS_KEYBOARD_SPACE"},  // 039 Space
    {0x3A, 0x14, 0x14, 78, 0x39, "IDS_KEYBOARD_CAPS"},  // 03A Caps Lock
    {0x3B, 0x70, 0x70, 52, 0x3A, "IDS_KEYBOARD_F1"},  // 03B F1
    {0x3C, 0x71, 0x71, 53, 0x3B, "IDS_KEYBOARD_F2"},  // 03C F2
    {0x3D, 0x72, 0x72, 54, 0x3C, "IDS_KEYBOARD_F3"},  // 03D F3
    {0x3E, 0x73, 0x73, 55, 0x3D, "IDS_KEYBOARD_F4"},  // 03E F4
    {0x3F, 0x74, 0x74, 56, 0x3E, "IDS_KEYBOARD_F5"},  // 03F F5
    {0x40, 0x75, 0x75, 57, 0x3F, "IDS_KEYBOARD_F6"},  // 040 F6
    {0x41, 0x76, 0x76, 58, 0x40, "IDS_KEYBOARD_F7"},  // 041 F7
    {0x42, 0x77, 0x77, 59, 0x41, "IDS_KEYBOARD_F8"},  // 042 F8
    {0x43, 0x78, 0x78, 60, 0x42, "IDS_KEYBOARD_F9"},  // 043 F9
    {0x44, 0x79, 0x79, 61, 0x43, "IDS_KEYBOARD_F10"},  // 044 F10
    {0x45, 0x13, 0x13, 65, 0x48, "IDS_KEYBOARD_PAUSE"},  // 045 Pause
    {0x46, 0x91, 0x91, 77, 0x47, "IDS_KEYBOARD_SCROLL"},  // 046 Scroll Lock
    {0x47, 0x67, 0x24, 91, 0x5F, "IDS_KEYBOARD_S_7"},  // 047 Num 7
    {0x48, 0x68, 0x26, 92, 0x60, "IDS_KEYBOARD_S_8"},  // 048 Num 8
    {0x49, 0x69, 0x21, 93, 0x61, "IDS_KEYBOARD_S_9"},  // 049 Num 9
    {0x4A, 0x6D, 0x6D, 82, 0x56, "IDS_KEYBOARD_S_MINUS"},  // 04A Num -
    {0x4B, 0x64, 0x25, 88, 0x5C, "IDS_KEYBOARD_S_4"},  // 04B Num 4
    {0x4C, 0x65, 0x0C, 89, 0x5D, "IDS_KEYBOARD_S_5"},  // 04C Num 5
    {0x4D, 0x66, 0x27, 90, 0x5E, "IDS_KEYBOARD_S_6"},  // 04D Num 6
    {0x4E, 0x6B, 0x6B, 83, 0x57, "IDS_KEYBOARD_S_PLUS"},  // 04E Num +
    {0x4F, 0x61, 0x23, 85, 0x59, "IDS_KEYBOARD_S_1"},  // 04F Num 1
    {0x50, 0x62, 0x28, 86, 0x5A, "IDS_KEYBOARD_S_2"},  // 050 Num 2
    {0x51, 0x63, 0x22, 87, 0x5B, "IDS_KEYBOARD_S_3"},  // 051 Num 3
    {0x52, 0x60, 0x2D, 94, 0x62, "IDS_KEYBOARD_S_0"},  // 052 Num 0
    {0x53, 0x6E, 0x2E, 95, 0x63, "IDS_KEYBOARD_S_DEL"},  // 053 Num .
    {0x54, 0x2C, 0x2C, kSpecial + 0x0F, 0x00, "IDS_KEYBOARD_SYSREQ"},  // 054 Sys Req
    {0x56, 0xE2, 0xE2, 96, 0x64, "IDS_KEYBOARD_K45"},  // 056 K45
    {0x57, 0x7A, 0x7A, 62, 0x44, "IDS_KEYBOARD_F11"},  // 057 F11
    {0x58, 0x7B, 0x7B, 63, 0x45, "IDS_KEYBOARD_F12"},  // 058 F12
    {0x64, 0x7C, 0x7C, kSpecial + 0x2A, 0x00, ""},  // 064 F13
    {0x70, 0xFF, 0xFF, kSpecial + 0x15, 0x88, "IDS_KEYBOARD_ROMA"},  // 070 ROMA (133)
    {0x71, 0xE9, 0xE9, kSpecial + 0x16, 0x91, "IDS_KEYBOARD_KL"},  // 071 KL
    {0x72, 0xFF, 0xFF, kSpecial + 0x17, 0x90, "IDS_KEYBOARD_KR"},  // 072 KR
    {0x73, 0xC1, 0xC1, kSpecial + 0x11, 0x87, "IDS_KEYBOARD_K56"},  // 073 K56
    {0x79, 0xFF, 0xFF, kSpecial + 0x14, 0x8A, "IDS_KEYBOARD_CHG"},  // 079 CHG (132)
    {0x7B, 0xEB, 0xEB, kSpecial + 0x13, 0x8B, "IDS_KEYBOARD_N_CHG"},  // 07B N-CHG (131)
    {0x7D, 0xFF, 0xFF, kSpecial + 0x10, 0x89, "IDS_KEYBOARD_K14"},  // 07D K14
    {0x7E, 0xC2, 0xC2, kSpecial + 0x12, 0x85, "IDS_KEYBOARD_K107"},  // 07E K107
    {0x90, 0xB1, 0xB1, kSpecial + 0x1E, 0xD0, "MEDIA_PREV_TRACK_4"},  // 110 Prev Track
    {0x99, 0xB0, 0xB0, kSpecial + 0x1F, 0xD1, "MEDIA_Next_TRACK_5"},  // 119 Next Track
    {0x9C, 0x0D, 0x0D, 84, 0x58, "IDS_KEYBOARD_S_ENTER"},  // 11C Num Enter
    {0x9D, 0xA3, 0xA3, 102, 0xE4, "IDS_KEYBOARD_RCTRL"},  // 11D Right Ctrl
    {0xA0, 0xAD, 0xAD, kSpecial + 0x22, 0xCD, "MEDIA_MUTE_8"},  // 120 Mute
    {0xA1, 0xB7, 0xB7, kSpecial + 0x19, 0xC4, "MEDIA_CALC_17"},  // 121 Calc
    {0xA2, 0xB3, 0xB3, kSpecial + 0x1C, 0xCE, "MEDIA_PALY_PAUSE_2"},  // 122 Play/Pause
    {0xA4, 0xB2, 0xB2, kSpecial + 0x1D, 0xCF, "MEDIA_STOP_PALY_3"},  // 124 Stop Play
    {0xAE, 0xAE, 0xAE, kSpecial + 0x21, 0xC1, "MEDIA_V_LOW_6"},  // 12E V-
    {0xB0, 0xAF, 0xAF, kSpecial + 0x20, 0xC0, "MEDIA_V_ADD_7"},  // 130 V+
    {0xB2, 0xAC, 0xAC, kSpecial + 0x23, 0xC7, "MEDIA_WWW_HOME_9"},  // 132 WWW Home
    {0xB5, 0x6F, 0x6F, 80, 0x54, "IDS_KEYBOARD_S_VIR"},  // 135 Num /
    {0xB6, 0xA1, 0xA1, 103, 0xE5, "IDS_KEYBOARD_RSHIFT"},  // 136 Right Shift
    {0xB7, 0x2C, 0x2C, 64, 0x46, "IDS_KEYBOARD_PRINT"},  // 137 Print Screen
    {0xB8, 0xA5, 0xA5, 104, 0xE6, "IDS_KEYBOARD_RALT"},  // 138 Right Alt
    {0xC5, 0x90, 0x90, 79, 0x53, "IDS_KEYBOARD_NUM"},  // 145 Num Lock
    {0xC6, 0x03, 0x03, 66, 0x48, "IDS_KEYBOARD_BREAK"},  // 146 Break
    {0xC7, 0x24, 0x24, 69, 0x4A, "IDS_KEYBOARD_HOME"},  // 147 Home
    {0xC8, 0x26, 0x26, 73, 0x52, "IDS_KEYBOARD_UP"},  // 148 ↑
    {0xC9, 0x21, 0x21, 71, 0x4B, "IDS_KEYBOARD_PAGE_UP"},  // 149 Page Up
    {0xCB, 0x25, 0x25, 75, 0x50, "IDS_KEYBOARD_LEFT"},  // 14B ←
    {0xCD, 0x27, 0x27, 76, 0x4F, "IDS_KEYBOARD_RIGHT"},  // 14D →
    {0xCF, 0x23, 0x23, 70, 0x4D, "IDS_KEYBOARD_END"},  // 14F End
    {0xD0, 0x28, 0x28, 74, 0x51, "IDS_KEYBOARD_DOWN"},  // 150 ↓
    {0xD1, 0x22, 0x22, 72, 0x4E, "IDS_KEYBOARD_PAGE_DOWN"},  // 151 Page Down
    {0xD2, 0x2D, 0x2D, 67, 0x49, "IDS_KEYBOARD_INSERT"},  // 152 Insert
    {0xD3, 0x2E, 0x2E, 68, 0x4C, "IDS_KEYBOARD_DELETE"},  // 153 Delete
    {0xDB, 0x5B, 0x5B, 101, 0xE3, "IDS_KEYBOARD_LWIN"},  // 15B Win
    {0xDC, 0x5C, 0x5C, 105, 0xE7, "IDS_KEYBOARD_RWIN"},  // 15C Right Win
    {0xDD, 0x5D, 0x5D, 97, 0x65, "IDS_KEYBOARD_APP"},  // 15D App
    {0xDE, 0xFF, 0xFF, kSpecial + 0x01, 0x81, "IDS_KEYBOARD_POWER"},  // 15E Power
    {0xDF, 0x5F, 0x5F, kSpecial + 0x02, 0x82, "IDS_KEYBOARD_SLEEP"},  // 15F Sleep
    {0xE3, 0xFF, 0xFF, kSpecial + 0x03, 0x83, "IDS_KEYBOARD_WAKE"},  // 163 Wake
    {0xE5, 0xAA, 0xAA, kSpecial + 0x29, 0xC6, "MEDIA_WWW_SEARCH_15"},  // 165 WWW Search
    {0xE6, 0xAB, 0xAB, kSpecial + 0x28, 0xCC, "MEDIA_WWW_FAVORITE_14"},  // 166 WWW Favorite
    {0xE7, 0xA8, 0xA8, kSpecial + 0x24, 0xCB, "MEDIA_WWW_REFRESH_10"},  // 167 WWW Refresh
    {0xE8, 0xA9, 0xA9, kSpecial + 0x25, 0xCA, "MEDIA_WWW_STOP_11"},  // 168 WWW Stop
    {0xE9, 0xA7, 0xA7, kSpecial + 0x27, 0xC9, "MEDIA_WWW_FORWARD_13"},  // 169 WWW Forward
    {0xEA, 0xA6, 0xA6, kSpecial + 0x26, 0xC8, "MEDIA_WWW_BACK_12"},  // 16A WWW Back
    {0xEB, 0xB6, 0xB6, kSpecial + 0x18, 0xC5, "MEDIA_MY_PC_16"},  // 16B My PC
    {0xEC, 0xB4, 0xB4, kSpecial + 0x1A, 0xC3, "MEDIA_MAIL_18"},  // 16C Mail
    {0xED, 0xB5, 0xB5, kSpecial + 0x1B, 0xC2, "MEDIA_PALYER_1"},  // 16D Media Player
    {0xEE, 0x8B, 0x8B, kSpecial + 0x04, 0xD2, "IDS_KEYBOARD_FUNC_ZOOMOUT"},  // 16E Zoom-
    {0xEF, 0x8C, 0x8C, kSpecial + 0x05, 0xD3, "IDS_KEYBOARD_FUNC_ZOOMIN"},  // 16F Zoom+
    {0xF0, 0x97, 0x97, kSpecial + 0x06, 0x00, "IDS_KEYBOARD_FUNC_COPY"},  // 170 Copy
    {0xF1, 0x98, 0x98, kSpecial + 0x07, 0x00, "IDS_KEYBOARD_FUNC_CUT"},  // 171 Cut
    {0xF2, 0x99, 0x99, kSpecial + 0x08, 0x00, "IDS_KEYBOARD_FUNC_PASTE"},  // 172 Paste
    {0xF3, 0x9A, 0x9A, kSpecial + 0x09, 0x00, "IDS_KEYBOARD_FUNC_MINI"},  // 173 Minimize
    {0xF4, 0x9B, 0x9B, kSpecial + 0x0A, 0x00, "IDS_KEYBOARD_FUNC_MAXI"},  // 174 Maximize
    {0xF5, 0x9C, 0x9C, kSpecial + 0x0B, 0xD4, "IDS_KEYBOARD_FUNC_WORD"},  // 175 Word
    {0xF6, 0x9D, 0x9D, kSpecial + 0x0C, 0xD5, "IDS_KEYBOARD_FUNC_EXCEL"},  // 176 Excel
    {0xF7, 0x9E, 0x9E, kSpecial + 0x0D, 0x00, "IDS_KEYBOARD_FUNC_POWERPOINT"},  // 177 PowerPoint
    {0xF8, 0x9F, 0x9F, kSpecial + 0x0E, 0x00, "IDS_KEYBOARD_FUNC_CALENDAR"},  // 178 Calendar
};

using KeyTable = std::array<KeyInfo, kSlotCount>;

constexpr KeyTable BuildKeyTable() {
  KeyTable table{};
  for (const KeyRow& row : kKeyRows) {
    table[row.slot] = KeyInfo{row.vk, row.listPos, row.altVk, row.deviceCode, row.nameKey};
  }
  return table;
}

constexpr KeyTable kKeyTable = BuildKeyTable();
constexpr KeyInfo kEmptyKey{};

// Device codes 0xC0 + i; 0 = the device code has no consumer usage.
constexpr std::array<std::uint16_t, kConsumerUsageCount> kConsumerUsages = {
    0x00E9, 0x00EA, 0x0183, 0x018A, 0x0192, 0x0194, 0x0221, 0x0223,
    0x0224, 0x0225, 0x0226, 0x0227, 0x022A, 0x00E2, 0x00CD, 0x00B7,
    0x00B6, 0x00B5, 0,      0,      0,      0,      0,      0,
    0,      0,      0,      0,      0,      0,      0,      0,
};

struct VkSlot {
  std::uint8_t vk;
  std::uint8_t slot;
};

// Virtual-key code -> slot of the key it most likely came from.
constexpr VkSlot kVkFallbackRows[] = {
    {0x03, 0xC6}, {0x08, 0x0E}, {0x09, 0x0F}, {0x0D, 0x1C}, {0x10, 0x2A}, {0x11, 0x1D}, {0x12, 0x38}, {0x13, 0x45},
    {0x14, 0x3A}, {0x1B, 0x01}, {0x20, 0x39}, {0x21, 0xC9}, {0x22, 0xD1}, {0x23, 0xCF}, {0x24, 0xC7}, {0x25, 0xCB},
    {0x26, 0xC8}, {0x27, 0xCD}, {0x28, 0xD0}, {0x2C, 0xB7}, {0x2D, 0xD2}, {0x2E, 0xD3}, {0x30, 0x0B}, {0x31, 0x02},
    {0x32, 0x03}, {0x33, 0x04}, {0x34, 0x05}, {0x35, 0x06}, {0x36, 0x07}, {0x37, 0x08}, {0x38, 0x09}, {0x39, 0x0A},
    {0x41, 0x1E}, {0x42, 0x30}, {0x43, 0x2E}, {0x44, 0x20}, {0x45, 0x12}, {0x46, 0x21}, {0x47, 0x22}, {0x48, 0x23},
    {0x49, 0x17}, {0x4A, 0x24}, {0x4B, 0x25}, {0x4C, 0x26}, {0x4D, 0x32}, {0x4E, 0x31}, {0x4F, 0x18}, {0x50, 0x19},
    {0x51, 0x10}, {0x52, 0x13}, {0x53, 0x1F}, {0x54, 0x14}, {0x55, 0x16}, {0x56, 0x2F}, {0x57, 0x11}, {0x58, 0x2D},
    {0x59, 0x15}, {0x5A, 0x2C}, {0x5B, 0xDB}, {0x5C, 0xDC}, {0x5D, 0xDD}, {0x5F, 0xDF}, {0x60, 0x52}, {0x61, 0x4F},
    {0x62, 0x50}, {0x63, 0x51}, {0x64, 0x4B}, {0x65, 0x4C}, {0x66, 0x4D}, {0x67, 0x47}, {0x68, 0x48}, {0x69, 0x49},
    {0x6A, 0x37}, {0x6B, 0x4E}, {0x6D, 0x4A}, {0x6E, 0x53}, {0x6F, 0xB5}, {0x70, 0x3B}, {0x71, 0x3C}, {0x72, 0x3D},
    {0x73, 0x3E}, {0x74, 0x3F}, {0x75, 0x40}, {0x76, 0x41}, {0x77, 0x42}, {0x78, 0x43}, {0x79, 0x44}, {0x7A, 0x57},
    {0x7B, 0x58}, {0x7C, 0x64}, {0x8B, 0xD2}, {0x8C, 0xD3}, {0x90, 0xC5}, {0x91, 0x46}, {0x9C, 0xD4}, {0x9D, 0xD5},
    {0xA0, 0x2A}, {0xA1, 0x36}, {0xA2, 0x1D}, {0xA3, 0x9D}, {0xA4, 0x38}, {0xA5, 0xB8}, {0xA6, 0xEA}, {0xA7, 0xE9},
    {0xA8, 0xE7}, {0xA9, 0xE8}, {0xAA, 0xE5}, {0xAB, 0xE6}, {0xAC, 0xB2}, {0xAD, 0xA0}, {0xAE, 0xAE}, {0xAF, 0xB0},
    {0xB0, 0x99}, {0xB1, 0x90}, {0xB2, 0xA4}, {0xB3, 0xA2}, {0xB4, 0xEC}, {0xB5, 0xED}, {0xB6, 0xEB}, {0xB7, 0xA1},
    {0xBA, 0x27}, {0xBB, 0x0D}, {0xBC, 0x33}, {0xBD, 0x0C}, {0xBE, 0x34}, {0xBF, 0x35}, {0xC0, 0x29}, {0xC1, 0x73},
    {0xC2, 0x7E}, {0xD1, 0xE1}, {0xD2, 0xE2}, {0xDB, 0x1A}, {0xDC, 0x2B}, {0xDD, 0x1B}, {0xDE, 0x28}, {0xE2, 0x56},
    {0xE9, 0x71}, {0xEB, 0x7B},
};

constexpr std::array<std::uint8_t, 256> BuildVkFallback() {
  std::array<std::uint8_t, 256> table{};
  for (const VkSlot& row : kVkFallbackRows) table[row.vk] = row.slot;
  return table;
}

constexpr std::array<std::uint8_t, 256> kVkFallback = BuildVkFallback();

constexpr std::array<MediaKey, kMediaKeyCount> kMediaKeys = {{
    {0x16D, 0x0183},  // 0 Media Player
    {0x122, 0x00CD},  // 1 Play/Pause
    {0x124, 0x00B7},  // 2 Stop Play
    {0x110, 0x00B6},  // 3 Prev Track
    {0x119, 0x00B5},  // 4 Next Track
    {0x12E, 0x00EA},  // 5 V-
    {0x130, 0x00E9},  // 6 V+
    {0x120, 0x00E2},  // 7 Mute
    {0x132, 0x0223},  // 8 WWW Home
    {0x167, 0x0227},  // 9 WWW Refresh
    {0x168, 0x0226},  // 10 WWW Stop
    {0x16A, 0x0224},  // 11 WWW Back
    {0x169, 0x0225},  // 12 WWW Forward
    {0x166, 0x022A},  // 13 WWW Favorite
    {0x165, 0x0221},  // 14 WWW Search
    {0x16B, 0x0194},  // 15 My PC
    {0x121, 0x0192},  // 16 Calc
    {0x16C, 0x018A},  // 17 Mail
}};

// Per-key colour grid, 6 rows of 21 columns.
constexpr std::array<std::array<KeyCode, kColourColumns>, kColourRows> kColourGrid = {{
    {0x001, 0x03B, 0x03C, 0x03D, 0x03E, 0x03F, 0x040, 0x041, 0x042, 0x043, 0x044, 0x057, 0x058, 0, 0x137, 0x046, 0x045, 0, 0, 0, 0},
    {0x029, 0x002, 0x003, 0x004, 0x005, 0x006, 0x007, 0x008, 0x009, 0x00A, 0x00B, 0x00C, 0x00D, 0x00E, 0x152, 0x147, 0x149, 0x145, 0x135, 0x037, 0x04A},
    {0x00F, 0x010, 0x011, 0x012, 0x013, 0x014, 0x015, 0x016, 0x017, 0x018, 0x019, 0x01A, 0x01B, 0x02B, 0x153, 0x14F, 0x151, 0x047, 0x048, 0x049, 0x04E},
    {0x03A, 0x01E, 0x01F, 0x020, 0x021, 0x022, 0x023, 0x024, 0x025, 0x026, 0x027, 0x028, 0, 0x01C, 0, 0, 0, 0x04B, 0x04C, 0x04D, 0},
    {0x02A, 0x056, 0x02C, 0x02D, 0x02E, 0x02F, 0x030, 0x031, 0x032, 0x033, 0x034, 0x035, 0, 0x036, 0, 0x148, 0, 0x04F, 0x050, 0x051, 0x11C},
    {0x01D, 0x15B, 0x038, 0x039, 0x138, 0, 0x15D, 0x15C, 0x11D, 0, 0, 0, 0, 0, 0x14B, 0x150, 0x14D, 0, 0x052, 0x053, 0},
}};

struct PanelRow {
  KeyCode code;
  int controlId;
};

// The key buttons in panel order with their control identifiers.
constexpr PanelRow kPanelRows[kPanelKeyButtonCount] = {
    {0x01E, 1058},  // A
    {0x030, 1075},  // B
    {0x02E, 1073},  // C
    {0x020, 1060},  // D
    {0x012, 1046},  // E
    {0x021, 1061},  // F
    {0x022, 1062},  // G
    {0x023, 1063},  // H
    {0x017, 1051},  // I
    {0x024, 1064},  // J
    {0x025, 1065},  // K
    {0x026, 1066},  // L
    {0x032, 1077},  // M
    {0x031, 1076},  // N
    {0x018, 1052},  // O
    {0x019, 1053},  // P
    {0x010, 1044},  // Q
    {0x013, 1047},  // R
    {0x01F, 1059},  // S
    {0x014, 1048},  // T
    {0x016, 1050},  // U
    {0x02F, 1074},  // V
    {0x011, 1045},  // W
    {0x02D, 1072},  // X
    {0x015, 1049},  // Y
    {0x02C, 1071},  // Z
    {0x002, 1030},  // 1
    {0x003, 1031},  // 2
    {0x004, 1032},  // 3
    {0x005, 1033},  // 4
    {0x006, 1034},  // 5
    {0x007, 1035},  // 6
    {0x008, 1036},  // 7
    {0x009, 1037},  // 8
    {0x00A, 1038},  // 9
    {0x00B, 1039},  // 0
    {0x01C, 1070},  // Enter
    {0x001, 1022},  // Esc
    {0x00E, 1043},  // Backspace
    {0x00F, 1056},  // Tab
    {0x039, 1090},  // Space
    {0x00C, 1040},  // -
    {0x00D, 1041},  // =
    {0x01A, 1054},  // [
    {0x01B, 1055},  // ]
    {0x02B, 1042},  // backslash
    {0x027, 1067},  // ;
    {0x028, 1068},  // quote
    {0x029, 1029},  // grave accent
    {0x033, 1078},  // comma
    {0x034, 1079},  // full stop
    {0x035, 1080},  // /
    {0x03B, 1010},  // F1
    {0x03C, 1011},  // F2
    {0x03D, 1012},  // F3
    {0x03E, 1013},  // F4
    {0x03F, 1014},  // F5
    {0x040, 1015},  // F6
    {0x041, 1023},  // F7
    {0x042, 1024},  // F8
    {0x043, 1025},  // F9
    {0x044, 1026},  // F10
    {0x057, 1027},  // F11
    {0x058, 1028},  // F12
    {0x137, 1091},  // Print Screen
    {0x045, 1093},  // Pause
    {0x152, 1094},  // Insert
    {0x153, 1097},  // Delete
    {0x147, 1095},  // Home
    {0x14F, 1098},  // End
    {0x149, 1096},  // Page Up
    {0x151, 1099},  // Page Down
    {0x148, 1103},  // Up
    {0x150, 1101},  // Down
    {0x14B, 1100},  // Left
    {0x14D, 1102},  // Right
    {0x046, 1092},  // Scroll Lock
    {0x03A, 1069},  // Caps Lock
    {0x15D, 1088},  // App
    {0x01D, 1083},  // Ctrl
    {0x11D, 1089},  // Right Ctrl
    {0x02A, 1082},  // Shift
    {0x036, 1081},  // Right Shift
    {0x038, 1085},  // Alt
    {0x138, 1086},  // Right Alt
    {0x15B, 1084},  // Win
    {0x15C, 1087},  // Right Win
    {0x04F, 1115},  // Num 1
    {0x050, 1116},  // Num 2
    {0x051, 1117},  // Num 3
    {0x04B, 1112},  // Num 4
    {0x04C, 1113},  // Num 5
    {0x04D, 1114},  // Num 6
    {0x047, 1108},  // Num 7
    {0x048, 1109},  // Num 8
    {0x049, 1110},  // Num 9
    {0x052, 1120},  // Num 0
    {0x145, 1104},  // Num Lock
    {0x11C, 1118},  // Num Enter
    {0x053, 1119},  // Num .
    {0x135, 1105},  // Num /
    {0x037, 1106},  // Num *
    {0x04A, 1107},  // Num -
    {0x04E, 1111},  // Num +
    {0x056, 1222},  // K45
};

constexpr std::array<int, kGKeyCount> kGKeyControlIds = {1000, 1001, 1002, 1003, 1004,
                                                         1140, 1141, 1142, 1143};

constexpr int ColourPositionOf(KeyCode code) {
  for (int row = 0; row < kColourRows; ++row) {
    for (int column = 0; column < kColourColumns; ++column) {
      if (kColourGrid[row][column] == code) return row * kColourColumns + column;
    }
  }
  return -1;
}

constexpr std::array<PanelOrderKey, kPanelKeyButtonCount> BuildPanelKeys() {
  std::array<PanelOrderKey, kPanelKeyButtonCount> keys{};
  for (int i = 0; i < kPanelKeyButtonCount; ++i) {
    keys[i] = PanelOrderKey{kPanelRows[i].code, kPanelRows[i].controlId,
                       ColourPositionOf(kPanelRows[i].code)};
  }
  return keys;
}

constexpr std::array<PanelOrderKey, kPanelKeyButtonCount> kPanelKeys = BuildPanelKeys();

constexpr bool EveryPanelKeyHasAColourPosition() {
  for (const PanelOrderKey& key : kPanelKeys) {
    if (key.colourPosition < 0) return false;
  }
  return true;
}
static_assert(EveryPanelKeyHasAColourPosition(), "a panel key is missing from the colour grid");

}  // namespace

const KeyInfo& KeyInfoOfSlot(std::uint16_t slot) {
  return slot < kSlotCount ? kKeyTable[slot] : kEmptyKey;
}

std::uint16_t KeyCodeToSlot(KeyCode code) {
  if (code < 0x100) return code;
  if (code >= 0x200) return static_cast<std::uint16_t>(code - 0x100);
  return static_cast<std::uint16_t>((code - 0x80) % 256);
}

KeyCode SlotToKeyCode(std::uint16_t slot) {
  return static_cast<KeyCode>(slot < 0x80 ? slot : slot + 0x80);
}

std::uint8_t RawScanByte(KeyCode code) {
  if (code == 0x145) return 0x45;
  if (code == 0x045) return 0x1D;
  return static_cast<std::uint8_t>(code & 0xFF);
}

std::uint32_t PrefixFlags(KeyCode code) {
  if (code == 0x145) return 0;
  if (code == 0x045) return kPrefixE1;
  return (code & 0x100) ? kPrefixE0 : 0;
}

std::u16string GetKeyName(KeyCode code, std::size_t capacity) {
  const KeyInfo& info = KeyInfoOfSlot(KeyCodeToSlot(code));
  std::u16string name;
  if (!info.nameKey.empty()) name = LookUpText(info.nameKey);
  if (name.empty()) {
    name = text::Format(LookUpText("UNKNOWN_KEY"), {std::uint64_t{code}});
  }
  const std::size_t limit = capacity > 0 ? capacity - 1 : 0;
  if (name.size() > limit) name.resize(limit);
  return name;
}

namespace {
// First slot (ascending) with the given pick-list position, or -1.
int SlotOfListPos(std::uint16_t listPos) {
  for (std::uint16_t slot = 0; slot < kSlotCount; ++slot) {
    if (kKeyTable[slot].listPos == listPos) return slot;
  }
  return -1;
}
}  // namespace

std::u16string GetListKeyName(std::uint16_t listPos) {
  const int slot = SlotOfListPos(listPos);
  if (slot < 0 || kKeyTable[slot].nameKey.empty()) return {};
  return LookUpText(kKeyTable[slot].nameKey);
}

KeyCode ListPosToKeyCode(std::uint16_t listPos) {
  const int slot = SlotOfListPos(listPos);
  return slot < 0 ? 0 : SlotToKeyCode(static_cast<std::uint16_t>(slot));
}

std::uint16_t KeyCodeToListPos(KeyCode code) { return KeyInfoOfSlot(KeyCodeToSlot(code)).listPos; }

Usage KeyCodeToUsage(KeyCode code) {
  const std::uint8_t d = KeyInfoOfSlot(KeyCodeToSlot(code)).deviceCode;
  if (d == 0x00 || d == 0xFF) return {0, 0};
  if (d >= 0x81 && d <= 0x83) return {kPageGenericDesktop, d};
  if (d >= 0xF1 && d <= 0xF8) return {2, d};
  return {kPageKeyboard, d};
}

KeyCode UsageToKeyCode(std::uint16_t page, std::uint16_t usage) {
  std::uint16_t v = 0;
  if (page == kPageKeyboard) {
    // The keyboard's backslash key sends 0x31; 0x32 (the key beside Enter on
    // other layouts) is the code earlier key maps and macros carried for it.
    v = usage == kUsageNonUsHash ? kUsageBackslash : usage;
  } else if (page == kPageGenericDesktop) {
    v = (usage >= 0x81 && usage <= 0x83) ? usage : 0;
  } else if (page == kPageConsumer && usage != 0) {
    // The zero entries mark device codes without a consumer usage; they do
    // not stand for usage 0.
    for (std::size_t i = 0; i < kConsumerUsages.size(); ++i) {
      if (kConsumerUsages[i] == usage) {
        v = static_cast<std::uint16_t>(0xC0 + i);
        break;
      }
    }
  }
  for (std::uint16_t slot = 0; slot < kSlotCount; ++slot) {
    if (kKeyTable[slot].deviceCode == v) return SlotToKeyCode(slot);
  }
  return 0;
}

std::span<const std::uint16_t, kConsumerUsageCount> ConsumerUsageTable() { return kConsumerUsages; }

std::uint8_t VkFallbackSlot(std::uint8_t vk) { return kVkFallback[vk]; }

KeyCode KeyCodeFromKeyMessage(std::uint8_t vk, std::uint32_t keyData) {
  const KeyCode c = static_cast<KeyCode>((keyData >> 16) & 0x1FF);
  const std::uint8_t s = static_cast<std::uint8_t>(c & 0xFF);
  if (c == 0x036) return 0x036;
  if (vk == 0xFF) return c;
  const KeyCode fallback = SlotToKeyCode(kVkFallback[vk]);
  if (s == 0) return fallback;
  const KeyInfo& info = KeyInfoOfSlot(KeyCodeToSlot(c));
  if (info.vk == vk || info.altVk == vk || kVkFallback[vk] == s) return c;
  return fallback;
}

KeyCode ModifierBitsToKeyCode(std::uint8_t bits) {
  for (std::size_t bit = 0; bit < kModifierKeys.size(); ++bit) {
    if (bits & (1u << bit)) return kModifierKeys[bit];
  }
  return 0;
}

std::uint8_t KeyCodeToModifierBit(KeyCode code) {
  for (std::size_t bit = 0; bit < kModifierKeys.size(); ++bit) {
    if (kModifierKeys[bit] == code) return static_cast<std::uint8_t>(1u << bit);
  }
  return 0;
}

std::span<const MediaKey, kMediaKeyCount> MediaKeys() { return kMediaKeys; }

bool IsMediaKeyCode(KeyCode code) {
  return std::any_of(kMediaKeys.begin(), kMediaKeys.end(),
                     [code](const MediaKey& key) { return key.code == code; });
}

int MediaIndexOfConsumerUsage(std::uint16_t usage) {
  for (std::size_t i = 0; i < kMediaKeys.size(); ++i) {
    if (kMediaKeys[i].consumerUsage == usage) return static_cast<int>(i);
  }
  return -1;
}

std::string FunctionKeyTextKey(int index) {
  if (index < 0 || index >= kFunctionKeyCount) return {};
  return "FUNC_KEY_DESC" + std::to_string(index + 1);
}

std::u16string FunctionKeyName(int index) {
  const std::string key = FunctionKeyTextKey(index);
  return key.empty() ? std::u16string{} : LookUpText(key);
}

std::span<const PanelOrderKey, kPanelKeyButtonCount> PanelOrderKeys() { return kPanelKeys; }

std::span<const int, kGKeyCount> GKeyControlIds() { return kGKeyControlIds; }

const std::array<std::array<KeyCode, kColourColumns>, kColourRows>& ColourGrid() { return kColourGrid; }

int PanelIndexOfKeyCode(KeyCode code) {
  for (int i = 0; i < kPanelKeyButtonCount; ++i) {
    if (kPanelKeys[i].code == code) return i;
  }
  return -1;
}

int PanelColourPosition(int controlId) {
  int position = 0;
  for (int id : kGKeyControlIds) {
    if (id == controlId) position = kGKeyColourPosition;
  }
  for (const PanelOrderKey& key : kPanelKeys) {
    if (key.controlId == controlId) position = key.colourPosition;
  }
  return position;
}

std::string PanelKeySkinName(KeyCode code) {
  char name[16];
  std::snprintf(name, sizeof name, "KEY_%03X", static_cast<unsigned>(KeyCodeToSlot(code)));
  return name;
}

std::string GKeySkinName(int gNumber) { return "FUNC_G" + std::to_string(gNumber); }

}  // namespace keyloom::keys
