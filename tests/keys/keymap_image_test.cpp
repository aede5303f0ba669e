#include "keys/keymap_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <vector>

#include "device/device_table.h"
#include "emulator/factory_memory.h"
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

TEST(BuildKeyMap, UnassignedTableGivesTheFactoryMap) {
  AssignmentTable table{};
  const auto map = BuildKeyMap(table, Factory(), kLayerBytes, kKeyCount, MacroPositions);
  EXPECT_EQ(map, std::vector<std::uint8_t>(Factory().begin(), Factory().begin() + kLayerBytes));
}

TEST(BuildKeyMap, Position106FollowsPosition99OnlyWhereTheFactoryMapMakesThemTwins) {
  constexpr Triple kQuote = {2, 2, 0x34}, kBracket = {2, 2, 0x30}, kFirmware = {5, 0, 0};
  const KeyCode quote = TripleToKeyCode(2, 2, 0x34), bracket = TripleToKeyCode(2, 2, 0x30);
  ASSERT_NE(quote, 0);
  ASSERT_NE(bracket, 0);
  auto factoryWith = [](Triple at99, Triple at106) {
    std::vector<std::uint8_t> f(Factory().begin(), Factory().end());
    std::copy(at99.begin(), at99.end(), f.begin() + 3 * 99);
    std::copy(at106.begin(), at106.end(), f.begin() + 3 * 106);
    return f;
  };
  const Triple fn9 = {5, 5, 9}, fn4 = {5, 5, 4};
  struct Case {
    const char* name;
    std::vector<std::uint8_t> factory;
    std::vector<std::pair<KeyCode, std::uint32_t>> functions;  // key, function number
    Triple at99, at106;
    int readBack;  // assignments the map gives back
  } const cases[] = {
      // The keyboard's own map: ' at 99, ] at 106, each its own key.
      {"factory map, nothing assigned", factoryWith(kQuote, kBracket), {}, kQuote, kBracket, 0},
      {"factory map, ' assigned", factoryWith(kQuote, kBracket), {{quote, 9}}, fn9, kBracket, 1},
      {"factory map, ] assigned", factoryWith(kQuote, kBracket), {{bracket, 4}}, kQuote, fn4, 1},
      {"factory map, both assigned", factoryWith(kQuote, kBracket), {{quote, 9}, {bracket, 4}}, fn9, fn4, 2},
      // Twins: one key at both positions sends the same action from both.
      {"twins, nothing assigned", factoryWith(kQuote, kQuote), {}, kQuote, kQuote, 0},
      {"twins, assigned", factoryWith(kQuote, kQuote), {{quote, 9}}, fn9, fn9, 1},
      // ' is nowhere on this map: its assignment has no place.
      {"twin firmware positions", factoryWith(kFirmware, kFirmware), {{quote, 9}}, kFirmware, kFirmware, 0},
  };
  for (const Case& c : cases) {
    AssignmentTable table{};
    for (const auto& [key, function] : c.functions)
      table[KeyCodeToSlot(key)] = {static_cast<std::uint16_t>(KeyKind::Function), 0, function};
    const auto map = BuildKeyMap(table, c.factory, kLayerBytes, kKeyCount, MacroPositions);
    EXPECT_EQ(At(map, 99), c.at99) << c.name;
    EXPECT_EQ(At(map, 106), c.at106) << c.name;
    // Read back, the map gives the same assignments and nothing more.
    AssignmentTable decoded{};
    DecodeKeyMap(map, c.factory, kKeyCount, decoded);
    int assigned = 0;
    for (const KeyAssignment& record : decoded) assigned += record.kind != 0;
    EXPECT_EQ(assigned, c.readBack) << c.name;
  }
}

// Every key of the catalogue against the factory map of both models: each
// position that holds a key leads back to a catalogue key, a key assigned to
// another sends what the key itself sends, and the on-screen keyboard's keys
// are all there but for the ones each model lacks.
TEST(FactoryMaps, EveryCatalogueKeyFindsItsPositionInBothModels) {
  // Keys of the on-screen keyboard that no position of the map holds.
  const std::vector<KeyCode> lackedByBoth = {0x037, 0x04E, 0x051, 0x04D, 0x049, 0x11C, 0x15C};
  struct Case {
    std::uint16_t vendor, product;
    std::vector<KeyCode> lacked;  // beyond lackedByBoth
    std::vector<KeyCode> extra;   // keys present that the on-screen keyboard does not show
  } const cases[] = {
      {0x0C45, 0x7672, {0x056}, {0x110, 0x122}},
      {0x320F, 0x505B, {}, {0x110, 0x122, 0x073}},
  };
  for (const Case& c : cases) {
    const emulator::ModelInfo* model = emulator::FindModel(c.vendor, c.product);
    ASSERT_NE(model, nullptr);
    const std::vector<std::uint8_t> factory = emulator::FactoryKeyMap(*model);
    std::map<KeyCode, int> positionOf;
    for (std::uint32_t d = 0; d < model->keyCount; ++d) {
      const std::uint8_t* t = factory.data() + 3 * d;
      const bool holdsKey = (t[0] == 2 && t[2] != 0) || (t[0] == 3 && (t[1] | t[2]) != 0);
      const KeyCode code = TripleToKeyCode(t[0], t[1], t[2]);
      EXPECT_EQ(code != 0, holdsKey) << std::hex << c.product << " position " << std::dec << d;
      if (code == 0) continue;
      positionOf.emplace(code, static_cast<int>(d));
      if (t[0] != 2) continue;
      Triple sent{};
      AssignmentTriple({static_cast<std::uint16_t>(KeyKind::SingleKey), 0, code}, t, MacroPositions, sent.data());
      EXPECT_EQ(sent, (Triple{t[0], t[1], t[2]})) << std::hex << c.product << " key " << code;
    }
    for (std::uint16_t slot = 0; slot < kSlotCount; ++slot) {
      const KeyCode code = SlotToKeyCode(slot);
      if (KeyInfoOfSlot(slot).nameKey.empty() && KeyInfoOfSlot(slot).deviceCode == 0) continue;
      const bool panel = PanelIndexOfKeyCode(code) >= 0;
      const auto listed = [code](const std::vector<KeyCode>& keys) {
        return std::find(keys.begin(), keys.end(), code) != keys.end();
      };
      const bool expected = (panel && !listed(lackedByBoth) && !listed(c.lacked)) || listed(c.extra);
      EXPECT_EQ(positionOf.count(code) == 1, expected) << std::hex << c.product << " key " << code;
    }
  }
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
