#include "platform/native_keys.h"

#include <gtest/gtest.h>

namespace keyloom::native_keys {
namespace {

TEST(NativeKeys, KeyDataWordLayout) {
  struct Case {
    std::uint16_t scan;
    bool release;
    bool repeat;
    std::uint32_t data;
  };
  const Case cases[] = {
      {0x01E, false, false, 0x001E0001},  // press: repeat count 1, scan code in bits 16..23
      {0x01E, false, true, 0x401E0001},   // auto-repeat: previous state down
      {0x01E, true, false, 0xC01E0001},   // release: previous state and transition
      {0x148, false, false, 0x01480001},  // extended key: bit 24
      {0x148, true, false, 0xC1480001},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeKeyData(c.scan, c.release, c.repeat), c.data) << std::hex << c.scan;
  }
}

TEST(NativeKeys, KeysDecidedByTheKeySymbol) {
  struct Case {
    const char* what;
    std::uint32_t evdev;
    std::uint32_t keysym;
    std::uint8_t vk;
    std::uint16_t scan;
  };
  const Case cases[] = {
      {"Num 7, Num Lock on", 71, 0xFFB7, 0x67, 0x047},
      {"Num 7, Num Lock off", 71, keysym::kKpHome, 0x24, 0x047},
      {"Num 8, Num Lock off", 72, keysym::kKpUp, 0x26, 0x048},
      {"Num 9, Num Lock off", 73, keysym::kKpPageUp, 0x21, 0x049},
      {"Num 4, Num Lock off", 75, keysym::kKpLeft, 0x25, 0x04B},
      {"Num 5, Num Lock off", 76, keysym::kKpBegin, 0x0C, 0x04C},
      {"Num 6, Num Lock off", 77, keysym::kKpRight, 0x27, 0x04D},
      {"Num 1, Num Lock off", 79, keysym::kKpEnd, 0x23, 0x04F},
      {"Num 2, Num Lock off", 80, keysym::kKpDown, 0x28, 0x050},
      {"Num 3, Num Lock off", 81, keysym::kKpPageDown, 0x22, 0x051},
      {"Num 0, Num Lock off", 82, keysym::kKpInsert, 0x2D, 0x052},
      {"Num ., Num Lock off", 83, keysym::kKpDelete, 0x2E, 0x053},
      {"Num - ignores keypad symbols", 74, keysym::kKpHome, 0x6D, 0x04A},
      {"Home", 102, 0xFF50, 0x24, 0x147},
      {"Pause", 119, keysym::kPause, 0x13, 0x045},
      {"Ctrl+Pause is Break", 119, keysym::kBreak, 0x03, 0x146},
      {"Num Lock", 69, 0xFF7F, 0x90, 0x145},
      {"Right Ctrl", 97, 0xFFE4, 0x11, 0x11D},
      {"Right Shift", 54, 0xFFE2, 0x10, 0x036},
      {"Right Alt", 100, 0xFE03, 0x12, 0x138},
  };
  for (const Case& c : cases) {
    const auto message = WindowsKeyFromNative(c.evdev, c.keysym, false, false);
    ASSERT_TRUE(message) << c.what;
    EXPECT_EQ(message->vk, c.vk) << c.what;
    EXPECT_EQ(message->keyData, MakeKeyData(c.scan, false, false)) << c.what;
  }
}

TEST(NativeKeys, ReleaseOnlyKeysGiveNothingOnPress) {
  struct Case {
    std::uint32_t evdev;
    std::uint32_t keysym;
    std::uint16_t scan;
  };
  const Case cases[] = {
      {99, keysym::kPrint, 0x137},
      {99, keysym::kSysReq, 0x054},
      {123, 0xFF34, 0x071},
      {122, 0xFF31, 0x072},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(WindowsKeyFromNative(c.evdev, c.keysym, false, false)) << c.evdev;
    EXPECT_FALSE(WindowsKeyFromNative(c.evdev, c.keysym, false, true)) << c.evdev;
    const auto release = WindowsKeyFromNative(c.evdev, c.keysym, true, false);
    ASSERT_TRUE(release) << c.evdev;
    EXPECT_EQ(release->keyData, MakeKeyData(c.scan, true, false)) << c.evdev;
  }
}

TEST(NativeKeys, UnknownCodesAndKeycodeOffset) {
  EXPECT_FALSE(WindowsKeyFromNative(0, 0, false, false));
  EXPECT_FALSE(WindowsKeyFromNative(84, 0, false, false));
  EXPECT_FALSE(WindowsKeyFromNative(425 + 1, 0, false, false));
  EXPECT_FALSE(WindowsKeyFromNative(0xFFFFFFFF, 0, true, false));
  EXPECT_EQ(EvdevFromXkbKeycode(38), 30u);  // A
  EXPECT_EQ(EvdevFromXkbKeycode(3), 0u);
}

TEST(NativeKeys, RepeatAndReleaseBits) {
  const auto repeat = WindowsKeyFromNative(30, 'a', false, true);
  ASSERT_TRUE(repeat);
  EXPECT_EQ(repeat->keyData & (kKeyDataPreviousDown | kKeyDataRelease), kKeyDataPreviousDown);
  const auto release = WindowsKeyFromNative(30, 'a', true, true);  // a release is never a repeat
  ASSERT_TRUE(release);
  EXPECT_EQ(release->keyData, MakeKeyData(0x01E, true, false));
}

}  // namespace
}  // namespace keyloom::native_keys
