// The native key tables of the platform layer against the key catalogue:
// every key of the catalogue that a Linux keyboard can produce comes out of
// KeyCodeFromKeyMessage as its own code.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "keys/key_catalogue.h"
#include "platform/native_keys.h"

namespace keyloom::keys {
namespace {

namespace nk = native_keys;

KeyCode CodeOf(std::uint32_t evdev, std::uint32_t keysym, bool release = true) {
  const auto message = nk::WindowsKeyFromNative(evdev, keysym, release, false);
  return message ? KeyCodeFromKeyMessage(message->vk, message->keyData) : 0;
}

TEST(NativeKeyCodes, EveryCatalogueKeyIsReachable) {
  // The codes that evdev codes 0..511 give with a neutral key symbol, plus
  // the keys that only a key symbol tells apart.
  std::set<KeyCode> reached;
  for (std::uint32_t evdev = 0; evdev < 512; ++evdev) {
    if (KeyCode code = CodeOf(evdev, 0)) reached.insert(code);
  }
  reached.insert(CodeOf(119, nk::keysym::kBreak));
  reached.insert(CodeOf(99, nk::keysym::kSysReq));

  // Keys no Linux keyboard reports: the second Right Shift code (a Windows
  // artefact of the E0-prefixed shift) and the Minimize and Maximize keys.
  const std::set<KeyCode> unreachable = {0x136, 0x173, 0x174};
  for (std::uint16_t slot = 1; slot < kSlotCount; ++slot) {
    if (KeyInfoOfSlot(slot).listPos == kListNone) continue;
    const KeyCode code = SlotToKeyCode(slot);
    EXPECT_EQ(reached.count(code) == 1, unreachable.count(code) == 0) << std::hex << code;
  }
}

TEST(NativeKeyCodes, KeypadWithNumLockOffKeepsTheKeypadCodes) {
  const std::map<std::uint32_t, std::uint32_t> keypad = {
      {71, nk::keysym::kKpHome},   {72, nk::keysym::kKpUp},     {73, nk::keysym::kKpPageUp},
      {75, nk::keysym::kKpLeft},   {76, nk::keysym::kKpBegin},  {77, nk::keysym::kKpRight},
      {79, nk::keysym::kKpEnd},    {80, nk::keysym::kKpDown},   {81, nk::keysym::kKpPageDown},
      {82, nk::keysym::kKpInsert}, {83, nk::keysym::kKpDelete},
  };
  for (const auto& [evdev, keysym] : keypad) {
    EXPECT_EQ(CodeOf(evdev, keysym, false), evdev) << evdev;  // the keypad's scan code is its evdev code
  }
  // The navigation block's own keys stay apart from the keypad.
  EXPECT_EQ(CodeOf(102, 0xFF50, false), 0x147);
  EXPECT_EQ(CodeOf(111, 0xFFFF, false), 0x153);
}

TEST(NativeKeyCodes, KeysThatShareAnEvdevCode) {
  EXPECT_EQ(CodeOf(119, nk::keysym::kPause), 0x045);
  EXPECT_EQ(CodeOf(119, nk::keysym::kBreak), 0x146);
  EXPECT_EQ(CodeOf(99, nk::keysym::kPrint), 0x137);
  EXPECT_EQ(CodeOf(99, nk::keysym::kSysReq), 0x054);
  EXPECT_EQ(CodeOf(69, 0), 0x145);  // Num Lock
  EXPECT_EQ(CodeOf(54, 0), 0x036);  // Right Shift
  EXPECT_EQ(CodeOf(42, 0), 0x02A);
  EXPECT_EQ(CodeOf(29, 0), 0x01D);
  EXPECT_EQ(CodeOf(97, 0), 0x11D);
  EXPECT_EQ(CodeOf(56, 0), 0x038);
  EXPECT_EQ(CodeOf(100, 0), 0x138);
}

}  // namespace
}  // namespace keyloom::keys
