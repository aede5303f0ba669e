#include "keys/keymap_image.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "device/device_table.h"
#include "keys/key_catalogue.h"

namespace keyloom::keys {
namespace {

constexpr KeyCode kA = 0x1E;
constexpr KeyCode kB = 0x30;
constexpr KeyCode kCapsLock = 0x3A;
constexpr KeyCode kCtrl = 0x1D;
constexpr KeyCode kVolumeUp = 0x130;
constexpr int kVolumeUpMedia = 6;

using Triple = std::array<std::uint8_t, 3>;

std::span<const std::uint8_t> Factory() { return device::BuiltInDefaultKeyMap(); }
constexpr std::uint32_t kLayerBytes = 378;
constexpr std::uint32_t kKeyCount = 126;

int PositionOf(KeyCode code) {
  const auto f = Factory();
  for (std::size_t d = 0; d < kKeyCount; ++d) {
    if (TripleToKeyCode(f[3 * d], f[3 * d + 1], f[3 * d + 2]) == code) return static_cast<int>(d);
  }
  return -1;
}

Triple At(const std::vector<std::uint8_t>& map, int d) { return {map[3 * d], map[3 * d + 1], map[3 * d + 2]}; }

int MacroPositions(std::uint16_t id) { return id == 7 ? 3 : 0; }

TEST(TripleToKeyCode, MapsEachTripleType) {
  struct Case {
    Triple triple;
    KeyCode expected;
  } const cases[] = {
      {{2, 2, 0x04}, kA},
      {{2, 1, 0x01}, kCtrl},
      {{2, 1, 0x80}, 0x15C},
      {{3, 0xE9, 0x00}, UsageToKeyCode(kPageConsumer, 0xE9)},
      {{6, 0xA2, 1}, 0x200},
      {{6, 0xA2, 9}, 0x208},
      {{6, 0xA1, 1}, 0},
      {{5, 0, 0}, 0},
      {{1, 2, 3}, 0},
      {{0, 0, 0}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TripleToKeyCode(c.triple[0], c.triple[1], c.triple[2]), c.expected)
        << int(c.triple[0]) << " " << int(c.triple[1]) << " " << int(c.triple[2]);
  }
}

TEST(BuildKeyMap, EachAssignmentKindSendsItsTriple) {
  const int a = PositionOf(kA);
  ASSERT_GE(a, 0);
  const Triple factory = {Factory()[3 * a], Factory()[3 * a + 1], Factory()[3 * a + 2]};
  struct Case {
    KeyKind kind;
    std::uint32_t value;
    Triple expected;
  } const cases[] = {
      {KeyKind::Default, 0, factory},
      {KeyKind::Disabled, 0, {0, 0, 0}},
      {KeyKind::SingleKey, kB, {2, 2, 0x05}},
      {KeyKind::SingleKey, kCtrl, {2, 1, 0x01}},
      {KeyKind::SingleKey, 0x15C, {2, 1, 0x80}},
      {KeyKind::SingleKey, kVolumeUp, {2, 2, 0xC0}},  // the keyboard's own code of V+
      {KeyKind::LaunchProgram, 0, factory},
      {KeyKind::Macro, 7, {5, 1, 3}},
      {KeyKind::Macro, 42, {5, 1, 0}},  // no macro has that identifier
      {KeyKind::StopMacro, 0, {5, 2, 0}},
      {KeyKind::TextBlock, 0, {0, 0, 0}},
      {KeyKind::Media, kVolumeUpMedia, {3, 0xE9, 0x00}},
      {KeyKind::Media, 200, factory},  // outside the media list
      {KeyKind::Function, 3, {5, 5, 3}},
  };
  for (const Case& c : cases) {
    AssignmentTable table{};
    table[KeyCodeToSlot(kA)] = {static_cast<std::uint16_t>(c.kind), 1, c.value};
    const auto map = BuildKeyMap(table, Factory(), kLayerBytes, kKeyCount, MacroPositions);
    ASSERT_EQ(map.size(), kLayerBytes);
    EXPECT_EQ(At(map, a), c.expected) << "kind " << int(c.kind) << " value " << c.value;
  }
}

TEST(BuildKeyMap, UnassignedTableGivesTheFactoryMapAndSharedPositionFollows) {
  AssignmentTable table{};
  const auto map = BuildKeyMap(table, Factory(), kLayerBytes, kKeyCount, MacroPositions);
  std::vector<std::uint8_t> expected(Factory().begin(), Factory().begin() + kLayerBytes);
  std::copy_n(expected.begin() + 3 * 99, 3, expected.begin() + 3 * 106);
  EXPECT_EQ(map, expected);

  // Whatever the key at 99 is set to, 106 sends the same.
  const Triple f99 = {Factory()[297], Factory()[298], Factory()[299]};
  const KeyCode at99 = TripleToKeyCode(f99[0], f99[1], f99[2]);
  ASSERT_NE(at99, 0);
  table[KeyCodeToSlot(at99)] = {static_cast<std::uint16_t>(KeyKind::Function), 0, 9};
  const auto changed = BuildKeyMap(table, Factory(), kLayerBytes, kKeyCount, MacroPositions);
  EXPECT_EQ(At(changed, 99), (Triple{5, 5, 9}));
  EXPECT_EQ(At(changed, 106), (Triple{5, 5, 9}));
}

TEST(BuildKeyMap, LargerModelKeepsFactoryBytesBeyondTheKeys) {
  AssignmentTable table{};
  table[KeyCodeToSlot(kA)] = {static_cast<std::uint16_t>(KeyKind::Disabled), 0, 0};
  std::vector<std::uint8_t> factory(Factory().begin(), Factory().end());
  factory[500] = 0x77;
  const auto map = BuildKeyMap(table, factory, 512, 128, MacroPositions);
  ASSERT_EQ(map.size(), 512u);
  EXPECT_EQ(map[500], 0x77);
  EXPECT_EQ(At(map, PositionOf(kA)), (Triple{0, 0, 0}));
}

TEST(DecodeKeyMap, RebuildsTheAssignmentsThatWereWritten) {
  AssignmentTable table{};
  auto set = [&](KeyCode key, KeyKind kind, std::uint32_t value) {
    table[KeyCodeToSlot(key)] = {static_cast<std::uint16_t>(kind), 0, value};
  };
  set(kA, KeyKind::SingleKey, kB);
  set(kCapsLock, KeyKind::SingleKey, kCtrl);
  set(kB, KeyKind::Media, kVolumeUpMedia);
  set(0x2C, KeyKind::Macro, 7);  // Z
  set(0x2D, KeyKind::Disabled, 0);
  set(0x2E, KeyKind::StopMacro, 0);
  set(0x2F, KeyKind::Function, 3);
  set(0x200, KeyKind::Macro, 7);  // G1
  const auto map = BuildKeyMap(table, Factory(), kLayerBytes, kKeyCount, MacroPositions);

  AssignmentTable decoded{};
  decoded[5].kind = 99;  // reset first
  DecodeKeyMap(map, Factory(), kKeyCount, decoded);
  EXPECT_EQ(decoded[5].kind, 0);
  struct Expect {
    KeyCode key;
    KeyKind kind;
    std::uint32_t value;
  } const expected[] = {
      {kA, KeyKind::SingleKey, kB},         {kCapsLock, KeyKind::SingleKey, kCtrl},
      {kB, KeyKind::Media, kVolumeUpMedia}, {0x2C, KeyKind::Macro, 4},  // device position 3 + 1
      {0x2D, KeyKind::Disabled, 0},         {0x2E, KeyKind::StopMacro, 0},
      {0x2F, KeyKind::Function, 3},
  };
  for (const Expect& e : expected) {
    const KeyAssignment& r = decoded[KeyCodeToSlot(e.key)];
    EXPECT_EQ(r.kind, static_cast<std::uint16_t>(e.kind)) << std::hex << e.key;
    EXPECT_EQ(r.value, e.value) << std::hex << e.key;
  }
  if (PositionOf(0x200) >= 0) {
    EXPECT_EQ(decoded[KeyCodeToSlot(0x200)].kind, static_cast<std::uint16_t>(KeyKind::Macro));
  }
  // Untouched keys stay default.
  EXPECT_EQ(decoded[KeyCodeToSlot(0x10)].kind, 0);  // Q
}

TEST(DecodeKeyMap, UnknownActionsLeaveTheKeyDisabled) {
  const int a = PositionOf(kA);
  struct Case {
    Triple triple;
  } const cases[] = {
      {{3, 0x34, 0x12}},  // consumer usage outside the media list
      {{2, 2, 0x00}},     // key usage without a key
      {{7, 1, 1}},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> map(Factory().begin(), Factory().begin() + kLayerBytes);
    std::copy(c.triple.begin(), c.triple.end(), map.begin() + 3 * a);
    AssignmentTable decoded{};
    DecodeKeyMap(map, Factory(), kKeyCount, decoded);
    EXPECT_EQ(decoded[KeyCodeToSlot(kA)].kind, static_cast<std::uint16_t>(KeyKind::Disabled));
  }
}

TEST(DecodeKeyMap, ShortMapsAreSafe) {
  AssignmentTable decoded{};
  std::vector<std::uint8_t> map(10, 0);
  DecodeKeyMap(map, Factory(), kKeyCount, decoded);
  // Only the three positions the map covers can change.
  ASSERT_GT(PositionOf(kA), 3);
  EXPECT_EQ(decoded[KeyCodeToSlot(kA)].kind, 0);
  decoded[KeyCodeToSlot(kA)].kind = 1;
  DecodeKeyMap({}, Factory(), 512, decoded);
  EXPECT_EQ(decoded[KeyCodeToSlot(kA)].kind, 0);
}

}  // namespace
}  // namespace keyloom::keys
