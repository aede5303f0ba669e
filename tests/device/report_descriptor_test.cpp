// The report descriptor reader and report decoding, on the virtual keyboard's
// descriptors and on hand-written ones of common device kinds.
#include <gtest/gtest.h>

#include <vector>

#include "device/hid_data.h"
#include "device/report_descriptor.h"
#include "emulator/descriptors.h"

namespace keyloom::device {
namespace {

using Bytes = std::vector<std::uint8_t>;

HidLayout LayoutOf(const Bytes& d, int collection = 0) {
  return HidLayout::FromDescriptor(ParseReportDescriptor(d), collection);
}

// A boot-style keyboard: 8 modifier bits, a constant byte, six key slots
// (array), and five LED bits plus padding as output. No report ids.
const Bytes kKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,              // Generic Desktop, Keyboard, Application
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,              // Keyboard page, usages E0..E7
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08,  // 0..1, 1 bit x 8
    0x81, 0x02,                                      // Input (Var)
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,              // one constant byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02,  // 5 LEDs
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,              // LED padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x05, 0x07, 0x19, 0x00, 0x2A, 0xFF, 0x00, 0x81, 0x00,  // 6 key slots (array)
    0xC0};

// A mouse with report id 2: three buttons, padding, X and Y (-127..127,
// physical -1270..1270), and a second top-level collection (report id 3,
// consumer control with one 16-bit usage).
const Bytes kMouseAndConsumer = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x02,  // Mouse, report 2
    0x09, 0x01, 0xA1, 0x00,                          // Pointer, Physical
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x05, 0x81, 0x03,              // padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81, 0x25, 0x7F,
    0x36, 0x0A, 0xFB, 0x46, 0xF6, 0x04,              // physical -1270..1270
    0x75, 0x08, 0x95, 0x02, 0x81, 0x06,              // X, Y relative
    0xC0, 0xC0,
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03,  // Consumer Control, report 3
    0x19, 0x00, 0x2A, 0x3C, 0x02, 0x15, 0x00, 0x26, 0x3C, 0x02, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00,
    0xC0};

TEST(ReportDescriptor, VirtualKeyboardInterfacesGiveTheirUsagesAndReportLengths) {
  struct Case {
    const std::uint8_t* bytes;
    std::size_t size;
    std::uint16_t page, usage, input, output;
  } cases[] = {
      {emulator::kConsumerDescriptor, sizeof emulator::kConsumerDescriptor, 0x000C, 0x0001, 3, 0},
      {emulator::kCommandDescriptor, sizeof emulator::kCommandDescriptor, 0xFF1C, 0x0092, 64, 64},
  };
  for (const Case& c : cases) {
    const ReportDescriptor d = ParseReportDescriptor({c.bytes, c.size});
    ASSERT_TRUE(d.ok);
    EXPECT_TRUE(d.uses_report_ids);
    const HidLayout l = HidLayout::FromDescriptor(d, 0);
    EXPECT_EQ(l.Caps().usage_page, c.page);
    EXPECT_EQ(l.Caps().usage, c.usage);
    EXPECT_EQ(l.Caps().input_report_byte_length, c.input);
    EXPECT_EQ(l.Caps().output_report_byte_length, c.output);
    EXPECT_EQ(l.Caps().feature_report_byte_length, 0);
  }
}

TEST(ReportDescriptor, KeyboardWithoutReportIdsCountsTheZeroIdByte) {
  const ReportDescriptor d = ParseReportDescriptor(kKeyboard);
  ASSERT_TRUE(d.ok);
  EXPECT_FALSE(d.uses_report_ids);
  const HidLayout l = HidLayout::FromDescriptor(d, 0);
  EXPECT_EQ(l.Caps().usage_page, 0x01);
  EXPECT_EQ(l.Caps().usage, 0x06);
  EXPECT_EQ(l.Caps().input_report_byte_length, 9);   // 8 data bytes + id
  EXPECT_EQ(l.Caps().output_report_byte_length, 2);  // 1 data byte + id
  // Modifiers and the key array are buttons; the constant byte is nothing.
  ASSERT_EQ(l.ButtonCaps(ReportType::Input).size(), 2u);
  EXPECT_TRUE(l.ValueCaps(ReportType::Input).empty());
  EXPECT_EQ(l.MaxUsageListLength(ReportType::Input, 0x07), 8u + 6u);
}

TEST(ReportDescriptor, KeyboardReportDecodesModifiersAndKeysInOrder) {
  const HidLayout l = LayoutOf(kKeyboard);
  // Left Shift (E1) and Right Alt (E6), keys A (04) and B (05), unused slots 0.
  const Bytes report = {0x00, 0x42, 0x00, 0x04, 0x05, 0x00, 0x00, 0x00, 0x00};
  std::vector<std::uint16_t> on;
  ASSERT_EQ(l.GetUsages(ReportType::Input, 0x07, report.data(), report.size(), on), HidStatus::Success);
  EXPECT_EQ(on, (std::vector<std::uint16_t>{0xE1, 0xE6, 0x04, 0x05}));
  // Too short a report is refused, not over-read.
  EXPECT_EQ(l.GetUsages(ReportType::Input, 0x07, report.data(), 5, on), HidStatus::InvalidReportLength);
}

TEST(ReportDescriptor, SecondTopLevelCollectionHasItsOwnLayout) {
  const ReportDescriptor d = ParseReportDescriptor(kMouseAndConsumer);
  ASSERT_TRUE(d.ok);
  ASSERT_EQ(d.collections.size(), 2u);
  const HidLayout mouse = HidLayout::FromDescriptor(d, 0);
  const HidLayout consumer = HidLayout::FromDescriptor(d, 1);
  EXPECT_EQ(mouse.Caps().usage, 0x02);
  EXPECT_EQ(mouse.Caps().input_report_byte_length, 4);
  EXPECT_EQ(consumer.Caps().usage_page, 0x0C);
  EXPECT_EQ(consumer.Caps().input_report_byte_length, 3);
}

TEST(ReportDescriptor, SignedValuesAreScaledToThePhysicalRange) {
  const HidLayout l = LayoutOf(kMouseAndConsumer, 0);
  ASSERT_EQ(l.ValueCaps(ReportType::Input).size(), 2u);  // X and Y, one usage each
  struct Case {
    std::uint8_t raw;
    std::int32_t scaled;
  } cases[] = {{0x7F, 1270}, {0x81, -1270}, {0x00, 0}, {0x01, 10}};
  for (const Case& c : cases) {
    const Bytes report = {0x02, 0x05, 0x00, c.raw};  // Y carries the value
    std::uint32_t raw = 0;
    std::int32_t scaled = 0;
    ASSERT_EQ(l.GetUsageValue(ReportType::Input, 0x01, 0x31, report.data(), report.size(), raw), HidStatus::Success);
    EXPECT_EQ(raw, c.raw);
    ASSERT_EQ(l.GetScaledUsageValue(ReportType::Input, 0x01, 0x31, report.data(), report.size(), scaled),
              HidStatus::Success);
    EXPECT_EQ(scaled, c.scaled) << int(c.raw);
  }
  // -128 lies outside -127..127 and the item has no null state.
  const Bytes out_of_range = {0x02, 0x00, 0x00, 0x80};
  std::int32_t scaled = 0;
  EXPECT_EQ(l.GetScaledUsageValue(ReportType::Input, 0x01, 0x31, out_of_range.data(), 4, scaled),
            HidStatus::ValueOutOfRange);
}

TEST(ReportDescriptor, MalformedDescriptorsStopSafely) {
  struct Case {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"item data cut off", {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x26, 0xFF}},
      {"end collection without collection", {0xC0}},
      {"collection never closed", {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01}},
      {"pop without push", {0xB4}},
      {"report id 0", {0x85, 0x00}},
      {"usage maximum without minimum", {0x29, 0x05}},
      {"long item running past the end", {0xFE, 0x10, 0x00, 0x01}},
      {"report too large", {0x75, 0xFF, 0x96, 0xFF, 0xFF, 0x81, 0x02, 0x81, 0x02, 0x81, 0x02, 0x81, 0x02}},
  };
  for (const Case& c : cases) {
    const ReportDescriptor d = ParseReportDescriptor(c.bytes);
    EXPECT_FALSE(d.ok) << c.what;
  }
  // An empty descriptor is well-formed and describes nothing.
  const ReportDescriptor empty = ParseReportDescriptor({});
  EXPECT_TRUE(empty.ok);
  EXPECT_TRUE(empty.collections.empty());
}

class ConsumerUnpack : public ::testing::Test {
 protected:
  HidLayout layout = LayoutOf(Bytes(std::begin(emulator::kConsumerDescriptor), std::end(emulator::kConsumerDescriptor)));
  std::vector<HidData> data = layout.BuildData(ReportType::Input);

  bool Unpack(const Bytes& r) { return UnpackReport(layout, ReportType::Input, r.data(), r.size(), data); }
};

TEST_F(ConsumerUnpack, FirstUsageFollowsEachReportAndZeroMeansNone) {
  ASSERT_EQ(data.size(), 1u);
  ASSERT_TRUE(data[0].is_button_data);
  EXPECT_EQ(data[0].button.max_usage_list_length, 1u);
  struct Case {
    Bytes report;
    std::uint16_t first;
  } cases[] = {
      {{0x01, 0x01, 0x04}, 0x0401}, {{0x01, 0x00, 0x00}, 0}, {{0x01, 0x11, 0x18}, 0x1811}, {{0x01, 0x01, 0x18}, 0x1801},
  };
  for (const Case& c : cases) {
    data[0].button.usages[0] = 0xBEEF;
    ASSERT_TRUE(Unpack(c.report));
    EXPECT_EQ(data[0].button.usages[0], c.first);
    EXPECT_TRUE(data[0].is_data_set);
    EXPECT_EQ(data[0].status, HidStatus::Success);
  }
}

TEST_F(ConsumerUnpack, ReportOfAnotherIdLeavesTheEntryAsItWas) {
  ASSERT_TRUE(Unpack({0x01, 0x01, 0x04}));
  ASSERT_TRUE(Unpack({0x02, 0x02, 0x04}));
  EXPECT_EQ(data[0].button.usages[0], 0x0401);
  // A zero-length report matches nothing either.
  EXPECT_TRUE(UnpackReport(layout, ReportType::Input, nullptr, 0, data));
  EXPECT_EQ(data[0].button.usages[0], 0x0401);
}

TEST(HidDataEntries, ButtonsComeFirstAndValueRangesGiveOneEntryPerUsage) {
  // Report 1: two buttons (1-bit), then a value range of usages 0x30..0x32.
  const Bytes d = {0x05, 0x01, 0x09, 0x05, 0xA1, 0x01, 0x85, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,
                   0x75, 0x08, 0x95, 0x03, 0x19, 0x30, 0x29, 0x32, 0x81, 0x02,   // values first in the descriptor
                   0x05, 0x09, 0x19, 0x01, 0x29, 0x02, 0x25, 0x01, 0x75, 0x01, 0x95, 0x02, 0x81, 0x02,
                   0x95, 0x06, 0x81, 0x03, 0xC0};
  const HidLayout l = LayoutOf(d);
  std::vector<HidData> data = l.BuildData(ReportType::Input);
  ASSERT_EQ(data.size(), 4u);
  EXPECT_TRUE(data[0].is_button_data);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(data[1 + i].is_button_data);
    EXPECT_EQ(data[1 + i].value.usage, 0x30 + i);
  }
  const Bytes report = {0x01, 0x10, 0x20, 0x30, 0x02};
  ASSERT_TRUE(UnpackReport(l, ReportType::Input, report.data(), report.size(), data));
  EXPECT_EQ(data[0].button.usages[0], 2);
  EXPECT_EQ(data[0].button.usages[1], 0);  // the zero after the last usage
  EXPECT_EQ(data[1].value.value, 0x10u);
  EXPECT_EQ(data[3].value.value, 0x30u);
  // A report too short for the values fails at the first value entry.
  EXPECT_FALSE(UnpackReport(l, ReportType::Input, report.data(), 2, data));
}

}  // namespace
}  // namespace keyloom::device
