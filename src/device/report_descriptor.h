#pragma once
// Reading a HID report descriptor: the top-level collections with their
// usages, and every data field of every report (input, output, feature) with
// its report id, bit position, size, count, logical and physical range and
// usages. Bounded and safe on any bytes: a malformed descriptor yields what
// was read up to the fault and ok = false.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace keyloom::device {

enum class ReportType { Input = 0, Output = 1, Feature = 2 };

// One span of usages given to a main item: a single usage (min == max,
// is_range false) or a Usage Minimum .. Usage Maximum range.
struct UsageSpan {
  std::uint16_t usage_page = 0;
  std::uint16_t usage_min = 0;
  std::uint16_t usage_max = 0;
  bool is_range = false;
};

// One Input, Output or Feature main item (constant items included, as they
// take room in the report).
struct ReportField {
  ReportType type = ReportType::Input;
  std::uint8_t report_id = 0;
  std::uint32_t bit_offset = 0;  // from the start of the report data (after the id byte)
  std::uint32_t report_size = 0; // bits per element
  std::uint32_t report_count = 0;
  std::uint32_t flags = 0;       // main item data: bit 0 constant, bit 1 variable, ...
  std::int64_t logical_min = 0;
  std::int64_t logical_max = 0;
  std::int64_t physical_min = 0;
  std::int64_t physical_max = 0;
  std::uint32_t unit = 0;
  std::int32_t unit_exponent = 0;
  std::uint16_t usage_page = 0;  // the global usage page when the item was read
  std::vector<UsageSpan> usages; // in descriptor order
  int collection = -1;           // index of the top-level collection it belongs to

  bool IsConstant() const { return flags & 0x01; }
  bool IsVariable() const { return flags & 0x02; }
  // Buttons are arrays and 1-bit variables; everything else is a value.
  bool IsButton() const { return !IsVariable() || report_size == 1; }
};

struct TopLevelCollection {
  std::uint16_t usage_page = 0;
  std::uint16_t usage = 0;
};

struct ReportDescriptor {
  std::vector<TopLevelCollection> collections;
  std::vector<ReportField> fields;
  bool uses_report_ids = false;
  bool ok = false;  // the whole descriptor was read without a fault
};

// Limits that keep a hostile descriptor from costing unbounded memory.
inline constexpr std::size_t kMaxDescriptorFields = 1024;
inline constexpr std::size_t kMaxUsagesPerField = 1024;
inline constexpr int kMaxGlobalStackDepth = 16;
inline constexpr int kMaxCollectionDepth = 32;

ReportDescriptor ParseReportDescriptor(std::span<const std::uint8_t> bytes);

// Byte length of the longest report of `type` in the given top-level
// collection (-1 = all), including the leading report id byte (0 when the
// device does not number its reports); 0 when there is no such report.
std::uint32_t ReportByteLength(const ReportDescriptor& d, ReportType type, int collection = -1);

}  // namespace keyloom::device
