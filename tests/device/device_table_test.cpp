// The supported models, the model sizes and the built-in default key map.
#include <gtest/gtest.h>

#include "device/device_table.h"
#include "emulator/factory_memory.h"

namespace keyloom::device {
namespace {

TEST(DeviceTable, BuiltInKeyMapIsTheFactoryMapOfTheFirstModel) {
  // The virtual keyboard carries its own copy of the factory map: both must agree.
  const emulator::ModelInfo* model = emulator::FindModel(0x0C45, 0x7672);
  ASSERT_NE(model, nullptr);
  const std::vector<std::uint8_t> factory = emulator::FactoryKeyMap(*model);
  const KeyMap& map = BuiltInDefaultKeyMap();
  ASSERT_EQ(factory.size(), map.size());
  EXPECT_TRUE(std::equal(map.begin(), map.end(), factory.begin()));
  // Spot checks against the table: first, a modifier, the two media keys, last.
  struct Entry {
    int position;
    std::uint8_t a, b, c;
  } entries[] = {{0, 0x05, 0x00, 0x00},   {12, 0x02, 0x01, 0x02}, {53, 0x05, 0x02, 0x02},
                 {112, 0x03, 0xB6, 0x00}, {120, 0x03, 0xCD, 0x00}, {125, 0x02, 0x02, 0x63}};
  for (const Entry& e : entries) {
    EXPECT_EQ(map[e.position * 3], e.a) << e.position;
    EXPECT_EQ(map[e.position * 3 + 1], e.b) << e.position;
    EXPECT_EQ(map[e.position * 3 + 2], e.c) << e.position;
  }
  EXPECT_TRUE(std::all_of(map.begin() + 378, map.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(DeviceTable, SizesFollowTheConnectedPair) {
  struct Case {
    std::uint16_t vendor, product;
    std::uint32_t bytes, stride, keys;
  } cases[] = {
      {0x320F, 0x505B, 512, 512, 128},
      {0x0C45, 0x7672, 378, 378, 126},
      {0x1234, 0x5678, 512, 512, 128},  // any pair but the first model's takes the second row
  };
  DeviceLink link;
  for (const Case& c : cases) {
    link.SetModelSizes(c.vendor, c.product);
    EXPECT_EQ(link.DeviceTable.LayerBytes.load(), c.bytes);
    EXPECT_EQ(link.DeviceTable.LayerStride.load(), c.stride);
    EXPECT_EQ(link.DeviceTable.KeyCount.load(), c.keys);
  }
  link.SetModelSizes(0x0C45, 0x7672);
  EXPECT_EQ(FindSupportedModel(0x1234, 0x5678), nullptr);
  EXPECT_EQ(FindSupportedModel(0x0C45, 0x505B), nullptr);
  struct Listed {
    HidInterfaceInfo info;
    bool candidate;
  } listed[] = {
      {{"x", 0x320F, 0x505B, 0xFF1C, 0x0092}, true},
      {{"x", 0x0C45, 0x7672, 0xFF1C, 0x0092}, true},
      {{"x", 0x320F, 0x505B, 0, 0}, true},  // usage unknown: opened and tested
      {{"x", 0x320F, 0x505B, 0x000C, 0x0001}, false},
      {{"x", 0x320F, 0x7672, 0xFF1C, 0x0092}, false},
  };
  for (const Listed& l : listed) {
    EXPECT_EQ(IsCandidate(l.info, kCommandUsagePage, kCommandUsage), l.candidate) << l.info.usage_page;
  }
}

TEST(DeviceTable, DefaultKeyMapIsReplacedWholeAndZeroFilled) {
  DeviceLink link;
  EXPECT_EQ(link.DefaultKeyMap(), BuiltInDefaultKeyMap()) << "a new link starts with the built-in map";
  const std::vector<std::uint8_t> map(378, 0x07);
  link.SetDefaultKeyMap(map);
  const KeyMap now = link.DefaultKeyMap();
  EXPECT_EQ(now[377], 0x07);
  EXPECT_EQ(now[378], 0x00);
  link.SetDefaultKeyMap(BuiltInDefaultKeyMap());
  EXPECT_EQ(link.DefaultKeyMap(), BuiltInDefaultKeyMap());
}

}  // namespace
}  // namespace keyloom::device
