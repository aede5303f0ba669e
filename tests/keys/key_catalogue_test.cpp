#include "keys/key_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "keys/test_texts.h"

namespace keyloom::keys {
namespace {

TEST(KeySlots, SlotRules) {
  struct Case {
    KeyCode code;
    std::uint16_t slot;
  };
  const Case cases[] = {
      {0x000, 0x00}, {0x01E, 0x1E}, {0x07F, 0x7F}, {0x0FC, 0xFC},  // below 0x100: the code
      {0x100, 0x80}, {0x11C, 0x9C}, {0x145, 0xC5}, {0x17F, 0xFF},  // extended keys
      {0x180, 0x00}, {0x1B6, 0x36}, {0x1FF, 0x7F},                 // share slots with 0x00..0x7F
      {0x200, 0x100}, {0x208, 0x108}, {0x211, 0x111},              // G keys of both banks
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyCodeToSlot(c.code), c.slot) << std::hex << c.code;
  }
}

TEST(KeySlots, EverySlotMapsBackToItsCodeAndNeverTo0x180To0x1FF) {
  for (std::uint16_t slot = 0; slot < kSlotCount; ++slot) {
    const KeyCode code = SlotToKeyCode(slot);
    EXPECT_EQ(KeyCodeToSlot(code), slot);
    EXPECT_FALSE(code >= 0x180 && code <= 0x1FF) << std::hex << code;
  }
}

TEST(KeySlots, RawScanByteAndPrefixFlags) {
  struct Case {
    KeyCode code;
    std::uint8_t raw;
    std::uint32_t flags;
  };
  const Case cases[] = {
      {0x145, 0x45, 0},           // Num Lock: no prefix although 0x100 is set
      {0x045, 0x1D, kPrefixE1},   // Pause: first byte of E1 1D 45
      {0x11D, 0x1D, kPrefixE0},   // Right Ctrl
      {0x01E, 0x1E, 0},           // A
      {0x137, 0x37, kPrefixE0},   // Print Screen
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RawScanByte(c.code), c.raw) << std::hex << c.code;
    EXPECT_EQ(PrefixFlags(c.code), c.flags) << std::hex << c.code;
  }
}

TEST(KeyTable, EveryPickListPositionIsUsedAndListPosMapsBack) {
  for (std::uint16_t pos = 0; pos < kPickListSize; ++pos) {
    const KeyCode code = ListPosToKeyCode(pos);
    ASSERT_NE(code, 0) << "position " << pos;
    EXPECT_EQ(KeyCodeToListPos(code), pos);
    EXPECT_FALSE(KeyInfoOfSlot(KeyCodeToSlot(code)).nameKey.empty()) << "position " << pos;
  }
  // The list reads A to Z, then 1 to 9 and 0, ... and ends with the right-hand modifiers.
  EXPECT_EQ(ListPosToKeyCode(0), 0x01E);
  EXPECT_EQ(ListPosToKeyCode(25), 0x02C);
  EXPECT_EQ(ListPosToKeyCode(26), 0x002);
  EXPECT_EQ(ListPosToKeyCode(35), 0x00B);
  EXPECT_EQ(ListPosToKeyCode(105), 0x15C);
}

TEST(KeyTable, RightShiftHasTwoSlotsAndTheLowerOneWins) {
  EXPECT_EQ(KeyCodeToListPos(0x036), 103);
  EXPECT_EQ(KeyCodeToListPos(0x136), 103);
  EXPECT_EQ(KeyInfoOfSlot(0x36).nameKey, KeyInfoOfSlot(0xB6).nameKey);
  EXPECT_EQ(ListPosToKeyCode(103), 0x036);
}

TEST(KeyTable, PositionsOutsideTheListAndSpecialPositions) {
  EXPECT_EQ(ListPosToKeyCode(106), 0);
  EXPECT_EQ(ListPosToKeyCode(0x7FFF), 0);
  EXPECT_EQ(KeyCodeToListPos(0x054), kListSpecial + 0x0F);  // Sys Req
  EXPECT_EQ(KeyCodeToListPos(0x15E), kListSpecial + 0x01);  // Power
  EXPECT_EQ(KeyCodeToListPos(0x055), kListNone);            // empty slot
  EXPECT_EQ(KeyCodeToListPos(0x200), kListNone);            // G key: no row
  const KeyInfo& empty = KeyInfoOfSlot(0x55);
  EXPECT_EQ(empty.vk, 0);
  EXPECT_EQ(empty.deviceCode, 0);
  EXPECT_TRUE(empty.nameKey.empty());
}

TEST(KeyTable, AltVkDiffersOnlyOnTheKeypad) {
  std::set<std::uint16_t> slots;
  for (std::uint16_t slot = 0; slot < kSlotCount; ++slot) {
    if (KeyInfoOfSlot(slot).altVk != KeyInfoOfSlot(slot).vk) slots.insert(slot);
  }
  const std::set<std::uint16_t> keypad = {0x47, 0x48, 0x49, 0x4B, 0x4C, 0x4D, 0x4F, 0x50, 0x51, 0x52, 0x53};
  EXPECT_EQ(slots, keypad);
  EXPECT_EQ(KeyInfoOfSlot(0x4C).altVk, 0x0C);  // Num 5 with Num Lock off is VK_CLEAR
}

TEST(KeyTable, FallbackEntriesPointAtTheKeyOfThatVirtualKey) {
  // Every fallback entry leads to a slot whose key has that virtual key,
  // except the generic modifiers (which lead to the left-hand key) and a few
  // entries of the table that lead elsewhere.
  const std::set<int> elsewhere = {0x10, 0x11, 0x12, 0x8B, 0x8C, 0x9C, 0x9D, 0xD1, 0xD2};
  int entries = 0;
  for (int vk = 0; vk < 256; ++vk) {
    const std::uint8_t slot = VkFallbackSlot(static_cast<std::uint8_t>(vk));
    if (slot == 0) continue;
    ++entries;
    const KeyInfo& info = KeyInfoOfSlot(slot);
    const bool matches = info.vk == vk || info.altVk == vk;
    EXPECT_EQ(matches, !elsewhere.count(vk)) << std::hex << vk;
  }
  EXPECT_EQ(entries, 138);
  EXPECT_EQ(VkFallbackSlot(0x10), 0x2A);
  EXPECT_EQ(VkFallbackSlot(0x11), 0x1D);
  EXPECT_EQ(VkFallbackSlot(0x12), 0x38);
}

TEST(KeyUsages, KeyCodeToUsage) {
  struct Case {
    KeyCode code;
    Usage usage;
  };
  const Case cases[] = {
      {0x130, {7, 0xC0}},  // V+: consumer keys travel as page 7 with their device code
      {0x15E, {1, 0x81}},  // Power
      {0x163, {1, 0x83}},  // Wake
      {0x054, {0, 0}},     // Sys Req has no device code
      {0x170, {0, 0}},     // Copy neither
      {0x01E, {7, 0x04}},  // A
      {0x02B, {7, 0x31}},  // backslash, as the keyboard's own key sends it
      {0x036, {7, 0xE5}},  // Right Shift
      {0x136, {7, 0xE5}},
      {0x000, {0, 0}},
      {0x200, {0, 0}},     // G key
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyCodeToUsage(c.code), c.usage) << std::hex << c.code;
  }
}

TEST(KeyUsages, UsageToKeyCodeTakesTheFirstMatchingSlot) {
  struct Case {
    std::uint16_t page;
    std::uint16_t usage;
    KeyCode code;
  };
  const Case cases[] = {
      {7, 0x48, 0x045},    // Pause, not Break
      {7, 0xE5, 0x036},    // the lower Right Shift slot
      {7, 0x00, 0},
      {7, 0x04, 0x01E},
      {7, 0x31, 0x02B},    // backslash
      {7, 0x32, 0x02B},    // and the code earlier key maps and macros gave it
      {7, 0xC0, 0x130},    // device code of V+
      {7, 0x148, 0},       // beyond a byte
      {1, 0x81, 0x15E},
      {1, 0x83, 0x163},
      {1, 0x84, 0},
      {1, 0x04, 0},        // page 1 knows only the system keys
      {12, 0x00E9, 0x130}, // consumer V+
      {12, 0x0183, 0x16D},
      {12, 0x0000, 0},     // no consumer key has usage 0
      {12, 0x1234, 0},
      {2, 0xF1, 0},
      {9, 0x01, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UsageToKeyCode(c.page, c.usage), c.code) << c.page << ":" << std::hex << c.usage;
  }
}

TEST(KeyUsages, EveryKeyWithADeviceCodeRoundTrips) {
  for (std::uint16_t slot = 0; slot < kSlotCount; ++slot) {
    const KeyCode code = SlotToKeyCode(slot);
    const Usage usage = KeyCodeToUsage(code);
    if (usage.page == 0) continue;
    const KeyCode back = UsageToKeyCode(usage.page, usage.usage);
    EXPECT_EQ(KeyInfoOfSlot(KeyCodeToSlot(back)).deviceCode, KeyInfoOfSlot(slot).deviceCode)
        << std::hex << code;
  }
}

TEST(MediaKeys, ListAgreesWithTheConsumerTableAndTheKeyTable) {
  ASSERT_EQ(MediaKeys().size(), 18u);
  for (std::size_t i = 0; i < MediaKeys().size(); ++i) {
    const MediaKey& key = MediaKeys()[i];
    EXPECT_EQ(UsageToKeyCode(kPageConsumer, key.consumerUsage), key.code) << i;
    EXPECT_TRUE(IsMediaKeyCode(key.code));
    EXPECT_EQ(MediaIndexOfConsumerUsage(key.consumerUsage), static_cast<int>(i));
    const std::uint8_t device = KeyInfoOfSlot(KeyCodeToSlot(key.code)).deviceCode;
    ASSERT_GE(device, 0xC0);
    EXPECT_EQ(ConsumerUsageTable()[device - 0xC0], key.consumerUsage) << i;
  }
  for (KeyCode other : {0x000, 0x01E, 0x15E, 0x15F, 0x16E, 0x137}) {
    EXPECT_FALSE(IsMediaKeyCode(static_cast<KeyCode>(other))) << std::hex << other;
  }
  EXPECT_EQ(MediaIndexOfConsumerUsage(0), -1);
}

TEST(Modifiers, LowestSetBitWinsAndBitsMapBack) {
  EXPECT_EQ(ModifierBitsToKeyCode(0x00), 0);
  EXPECT_EQ(ModifierBitsToKeyCode(0xFF), 0x01D);
  EXPECT_EQ(ModifierBitsToKeyCode(0xA0), 0x036);
  EXPECT_EQ(ModifierBitsToKeyCode(0x80), 0x15C);
  for (int bit = 0; bit < 8; ++bit) {
    const auto bits = static_cast<std::uint8_t>(1u << bit);
    EXPECT_EQ(KeyCodeToModifierBit(ModifierBitsToKeyCode(bits)), bits);
  }
  EXPECT_EQ(KeyCodeToModifierBit(0x01E), 0);
  EXPECT_EQ(KeyCodeToModifierBit(0x136), 0);  // only the lower Right Shift code is the modifier
}

TEST(KeyMessages, KeyCodeFromKeyMessage) {
  auto data = [](unsigned scan, bool extended) {
    return (scan << 16) | (extended ? 1u << 24 : 0u) | 1u;
  };
  struct Case {
    const char* what;
    std::uint8_t vk;
    std::uint32_t keyData;
    KeyCode code;
  };
  const Case cases[] = {
      {"Num 7, Num Lock on", 0x67, data(0x47, false), 0x047},
      {"Num 7, Num Lock off (altVk)", 0x24, data(0x47, false), 0x047},
      {"Num 5, Num Lock off", 0x0C, data(0x4C, false), 0x04C},
      {"Num ., Num Lock off", 0x2E, data(0x53, false), 0x053},
      {"Home", 0x24, data(0x47, true), 0x147},
      {"Num Lock", 0x90, data(0x45, true), 0x145},
      {"Pause", 0x13, data(0x45, false), 0x045},
      {"Break", 0x03, data(0x46, true), 0x146},
      {"scan code 0 falls back", 0x41, data(0, false), 0x01E},
      {"scan code 0, unknown vk", 0x07, data(0, false), 0},
      {"generic Shift via the fallback table", 0x10, data(0x2A, false), 0x02A},
      {"generic Ctrl, right-hand", 0x11, data(0x1D, true), 0x11D},
      {"generic Alt, right-hand", 0x12, data(0x38, true), 0x138},
      {"Right Shift whatever the vk", 0x00, data(0x36, false), 0x036},
      {"extended Right Shift with its own vk", 0xA1, data(0x36, true), 0x136},
      {"extended Right Shift with the generic vk", 0x10, data(0x36, true), 0x02A},
      {"vk 0xFF keeps the scan code", 0xFF, data(0x5E, true), 0x15E},
      {"mismatching vk falls back", 0x42, data(0x1E, false), 0x030},
      {"mismatching vk without fallback", 0x07, data(0x1E, false), 0},
      {"bits above the extended flag are ignored", 0x41, data(0x1E, false) | 0xC0000000u, 0x01E},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyCodeFromKeyMessage(c.vk, c.keyData), c.code) << c.what;
  }
}

TEST(KeyNames, NamesFromTheTextTable) {
  testing::TestTexts texts;
  struct Case {
    KeyCode code;
    std::u16string name;
  };
  const Case cases[] = {
      {0x01E, u"A"},
      {0x036, u"Right Shift"},
      {0x136, u"Right Shift"},
      {0x130, u"Volume Up"},
      {0x054, u"Key 0054"},   // empty text: UNKNOWN_KEY with the code
      {0x064, u"Key 0064"},   // F13 has no name key
      {0x055, u"Key 0055"},   // empty slot
      {0x200, u"Key 0200"},   // G key
      {0x01F, u"#Error"},     // name key missing from the language file
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetKeyName(c.code), c.name) << std::hex << c.code;
  }
}

TEST(KeyNames, TruncatedToTheCapacity) {
  testing::TestTexts texts({{"IDS_KEYBOARD_A", std::u16string(300, u'x')}});
  EXPECT_EQ(GetKeyName(0x01E).size(), kKeyNameCapacity - 1);
  EXPECT_EQ(GetKeyName(0x01E, 4), u"xxx");
  EXPECT_EQ(GetKeyName(0x01E, 1), u"");
  EXPECT_EQ(GetKeyName(0x01E, 0), u"");
}

TEST(KeyNames, UnknownKeyFormatIsInputNotCode) {
  testing::TestTexts texts({{"UNKNOWN_KEY", u"<%n%p%04X%s%u>"}});
  EXPECT_EQ(GetKeyName(0x055), u"<0055>");
}

TEST(KeyNames, ListNames) {
  testing::TestTexts texts;
  EXPECT_EQ(GetListKeyName(0), u"A");
  EXPECT_EQ(GetListKeyName(103), u"Right Shift");
  EXPECT_EQ(GetListKeyName(106), u"");
  EXPECT_EQ(GetListKeyName(500), u"");
  EXPECT_EQ(GetListKeyName(kListNone), u"");  // the empty slots hold no name
}

TEST(FunctionKeys, TextKeys) {
  testing::TestTexts texts;
  EXPECT_EQ(FunctionKeyTextKey(0), "FUNC_KEY_DESC1");
  EXPECT_EQ(FunctionKeyTextKey(10), "FUNC_KEY_DESC11");
  EXPECT_EQ(FunctionKeyTextKey(11), "");
  EXPECT_EQ(FunctionKeyTextKey(-1), "");
  EXPECT_EQ(FunctionKeyName(0), u"Fn one");
  EXPECT_EQ(FunctionKeyName(10), u"Fn eleven");
  EXPECT_EQ(FunctionKeyName(11), u"");
}

TEST(Panel, EveryPanelKeyHasANamedListedSlotAndOneButton) {
  std::set<KeyCode> codes;
  std::set<int> ids;
  std::set<int> positions;
  for (const PanelOrderKey& key : PanelOrderKeys()) {
    const KeyInfo& info = KeyInfoOfSlot(KeyCodeToSlot(key.code));
    EXPECT_FALSE(info.nameKey.empty()) << std::hex << key.code;
    EXPECT_LT(info.listPos, kPickListSize) << std::hex << key.code;
    EXPECT_EQ(KeyCodeToSlot(key.code), KeyCodeToSlot(SlotToKeyCode(KeyCodeToSlot(key.code))));
    codes.insert(key.code);
    ids.insert(key.controlId);
    positions.insert(key.colourPosition);
  }
  EXPECT_EQ(codes.size(), 105u);
  EXPECT_EQ(ids.size(), 105u);
  EXPECT_EQ(positions.size(), 105u);
  EXPECT_EQ(PanelOrderKeys()[0].code, 0x01E);       // A first
  EXPECT_EQ(PanelOrderKeys()[104].code, 0x056);     // K45 last
  EXPECT_EQ(PanelIndexOfKeyCode(0x036), 82);
  EXPECT_EQ(PanelIndexOfKeyCode(0x136), -1);
}

TEST(Panel, ControlIdsAndColourPositionsOfTheOnScreenKeyboard) {
  struct Button {
    int id;
    KeyCode code;
    int position;
  };
  // Control id, key code and colour position of every key button.
  const Button buttons[] = {
      {1010, 0x03B, 1}, {1011, 0x03C, 2}, {1012, 0x03D, 3}, {1013, 0x03E, 4}, {1014, 0x03F, 5}, 
      {1015, 0x040, 6}, {1022, 0x001, 0}, {1023, 0x041, 7}, {1024, 0x042, 8}, {1025, 0x043, 9}, 
      {1026, 0x044, 10}, {1027, 0x057, 11}, {1028, 0x058, 12}, {1029, 0x029, 21}, {1030, 0x002, 22}, 
      {1031, 0x003, 23}, {1032, 0x004, 24}, {1033, 0x005, 25}, {1034, 0x006, 26}, {1035, 0x007, 27}, 
      {1036, 0x008, 28}, {1037, 0x009, 29}, {1038, 0x00A, 30}, {1039, 0x00B, 31}, {1040, 0x00C, 32}, 
      {1041, 0x00D, 33}, {1042, 0x02B, 55}, {1043, 0x00E, 34}, {1044, 0x010, 43}, {1045, 0x011, 44}, 
      {1046, 0x012, 45}, {1047, 0x013, 46}, {1048, 0x014, 47}, {1049, 0x015, 48}, {1050, 0x016, 49}, 
      {1051, 0x017, 50}, {1052, 0x018, 51}, {1053, 0x019, 52}, {1054, 0x01A, 53}, {1055, 0x01B, 54}, 
      {1056, 0x00F, 42}, {1058, 0x01E, 64}, {1059, 0x01F, 65}, {1060, 0x020, 66}, {1061, 0x021, 67}, 
      {1062, 0x022, 68}, {1063, 0x023, 69}, {1064, 0x024, 70}, {1065, 0x025, 71}, {1066, 0x026, 72}, 
      {1067, 0x027, 73}, {1068, 0x028, 74}, {1069, 0x03A, 63}, {1070, 0x01C, 76}, {1071, 0x02C, 86}, 
      {1072, 0x02D, 87}, {1073, 0x02E, 88}, {1074, 0x02F, 89}, {1075, 0x030, 90}, {1076, 0x031, 91}, 
      {1077, 0x032, 92}, {1078, 0x033, 93}, {1079, 0x034, 94}, {1080, 0x035, 95}, {1081, 0x036, 97}, 
      {1082, 0x02A, 84}, {1083, 0x01D, 105}, {1084, 0x15B, 106}, {1085, 0x038, 107}, {1086, 0x138, 109}, 
      {1087, 0x15C, 112}, {1088, 0x15D, 111}, {1089, 0x11D, 113}, {1090, 0x039, 108}, {1091, 0x137, 14}, 
      {1092, 0x046, 15}, {1093, 0x045, 16}, {1094, 0x152, 35}, {1095, 0x147, 36}, {1096, 0x149, 37}, 
      {1097, 0x153, 56}, {1098, 0x14F, 57}, {1099, 0x151, 58}, {1100, 0x14B, 119}, {1101, 0x150, 120}, 
      {1102, 0x14D, 121}, {1103, 0x148, 99}, {1104, 0x145, 38}, {1105, 0x135, 39}, {1106, 0x037, 40}, 
      {1107, 0x04A, 41}, {1108, 0x047, 59}, {1109, 0x048, 60}, {1110, 0x049, 61}, {1111, 0x04E, 62}, 
      {1112, 0x04B, 80}, {1113, 0x04C, 81}, {1114, 0x04D, 82}, {1115, 0x04F, 101}, {1116, 0x050, 102}, 
      {1117, 0x051, 103}, {1118, 0x11C, 104}, {1119, 0x053, 124}, {1120, 0x052, 123}, {1222, 0x056, 85},
  };
  ASSERT_EQ(std::size(buttons), 105u);
  for (const Button& b : buttons) {
    const int index = PanelIndexOfKeyCode(b.code);
    ASSERT_GE(index, 0) << b.id;
    EXPECT_EQ(PanelOrderKeys()[index].controlId, b.id);
    EXPECT_EQ(PanelOrderKeys()[index].colourPosition, b.position) << b.id;
    EXPECT_EQ(PanelColourPosition(b.id), b.position) << b.id;
    const int row = b.position / kColourColumns;
    const int column = b.position % kColourColumns;
    EXPECT_EQ(ColourGrid()[row][column], b.code) << b.id;
  }
  for (int id : GKeyControlIds()) EXPECT_EQ(PanelColourPosition(id), kGKeyColourPosition);
  EXPECT_EQ(PanelColourPosition(1174), 0);  // Fn is neither
  EXPECT_EQ(PanelColourPosition(1016), 0);  // D1
  EXPECT_EQ(PanelColourPosition(-1), 0);
}

TEST(Panel, ColourGridHoldsExactlyThePanelKeys) {
  int keys = 0;
  for (const auto& row : ColourGrid()) {
    for (KeyCode code : row) {
      if (code == 0) continue;
      ++keys;
      EXPECT_GE(PanelIndexOfKeyCode(code), 0) << std::hex << code;
    }
  }
  EXPECT_EQ(keys, 105);
  EXPECT_EQ(ColourGrid()[5][kColourColumns - 1], 0);  // position 125 belongs to the G keys
}

TEST(Panel, SkinEntryNames) {
  EXPECT_EQ(PanelKeySkinName(0x01E), "KEY_01E");
  EXPECT_EQ(PanelKeySkinName(0x145), "KEY_0C5");
  EXPECT_EQ(PanelKeySkinName(0x15B), "KEY_0DB");
  EXPECT_EQ(PanelKeySkinName(0x11C), "KEY_09C");
  EXPECT_EQ(GKeySkinName(1), "FUNC_G1");
  EXPECT_EQ(GKeySkinName(9), "FUNC_G9");
}

}  // namespace
}  // namespace keyloom::keys
