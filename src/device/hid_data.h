#pragma once
// The layout of one HID interface (one top-level collection of its report
// descriptor): its capabilities, button and value capabilities per report
// type, and the decoding of reports into usages and values. `HidData` is the
// program's decoded view of a report, refreshed by `UnpackReport`.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/report_descriptor.h"

namespace keyloom::device {

enum class HidStatus {
  Success = 0,
  InvalidReportLength,
  IncompatibleReportId,
  UsageNotFound,
  BufferTooSmall,
  BadLogPhyValues,
  NullState,
  ValueOutOfRange,
};

struct HidCaps {
  std::uint16_t usage = 0;
  std::uint16_t usage_page = 0;
  // Report byte lengths, the report id byte included; 0 = no such report.
  std::uint16_t input_report_byte_length = 0;
  std::uint16_t output_report_byte_length = 0;
  std::uint16_t feature_report_byte_length = 0;
  std::uint16_t number_input_button_caps = 0;
  std::uint16_t number_input_value_caps = 0;
  std::uint16_t number_output_button_caps = 0;
  std::uint16_t number_output_value_caps = 0;
  std::uint16_t number_feature_button_caps = 0;
  std::uint16_t number_feature_value_caps = 0;
};

// A button capability: the usages a button field (an array, or 1-bit
// variables) can report.
struct HidButtonCaps {
  std::uint16_t usage_page = 0;
  std::uint8_t report_id = 0;
  bool is_range = false;
  std::uint16_t usage_min = 0;
  std::uint16_t usage_max = 0;
  std::size_t field = 0;  // index into the layout's fields
};

// A value capability: one usage (or a range, one element per usage).
struct HidValueCaps {
  std::uint16_t usage_page = 0;
  std::uint8_t report_id = 0;
  bool is_range = false;
  std::uint16_t usage_min = 0;
  std::uint16_t usage_max = 0;
  std::size_t field = 0;
  std::uint32_t first_element = 0;  // element of the field for usage_min
  std::uint32_t element_count = 0;
};

struct HidData {
  bool is_button_data = false;
  std::uint16_t usage_page = 0;
  HidStatus status = HidStatus::Success;
  std::uint8_t report_id = 0;
  bool is_data_set = false;
  struct {
    std::uint16_t usage_min = 0;
    std::uint16_t usage_max = 0;
    std::uint32_t max_usage_list_length = 0;
    std::vector<std::uint16_t> usages;  // max_usage_list_length slots
  } button;
  struct {
    std::uint16_t usage = 0;
    std::uint32_t value = 0;
    std::int32_t scaled_value = 0;
  } value;
};

// Upper bound on the usage-list slots of one entry, and on the value entries
// one range may produce, so that no descriptor costs unbounded memory.
inline constexpr std::uint32_t kMaxUsageListSlots = 4096;
inline constexpr std::size_t kMaxValueEntries = 4096;
// Usage-list slots of all button entries of one report type together.
inline constexpr std::uint64_t kMaxTotalUsageSlots = 65536;

class HidLayout {
 public:
  HidLayout() = default;
  // The layout of top-level collection `collection` of the descriptor.
  static HidLayout FromDescriptor(const ReportDescriptor& descriptor, int collection = 0);

  const HidCaps& Caps() const { return caps_; }
  bool UsesReportIds() const { return uses_report_ids_; }
  const std::vector<HidButtonCaps>& ButtonCaps(ReportType type) const { return buttons_[Index(type)]; }
  const std::vector<HidValueCaps>& ValueCaps(ReportType type) const { return values_[Index(type)]; }
  std::uint16_t ReportLength(ReportType type) const;

  // The usages that are on in `report` (report id first) on `usage_page`,
  // in report order; usage 0 is never listed.
  HidStatus GetUsages(ReportType type, std::uint16_t usage_page, const std::uint8_t* report,
                      std::size_t length, std::vector<std::uint16_t>& usages) const;
  // Most usages of the page that can be on at once in one report.
  std::uint32_t MaxUsageListLength(ReportType type, std::uint16_t usage_page) const;
  HidStatus GetUsageValue(ReportType type, std::uint16_t usage_page, std::uint16_t usage,
                          const std::uint8_t* report, std::size_t length, std::uint32_t& value) const;
  HidStatus GetScaledUsageValue(ReportType type, std::uint16_t usage_page, std::uint16_t usage,
                                const std::uint8_t* report, std::size_t length,
                                std::int32_t& value) const;

  // The HidData entries of a report type: button entries first, then one
  // value entry per value usage in increasing usage order.
  std::vector<HidData> BuildData(ReportType type) const;

 private:
  static std::size_t Index(ReportType t) { return static_cast<std::size_t>(t); }
  const HidValueCaps* FindValue(ReportType type, std::uint16_t usage_page, std::uint16_t usage,
                                std::uint8_t report_id, HidStatus& status) const;

  HidCaps caps_;
  bool uses_report_ids_ = false;
  std::vector<ReportField> fields_;
  std::vector<HidButtonCaps> buttons_[3];
  std::vector<HidValueCaps> values_[3];
};

// Refreshes the entries whose report id is the report's first byte from one
// report; false when a value could not be read (later entries then keep
// their contents).
bool UnpackReport(const HidLayout& layout, ReportType type, const std::uint8_t* report,
                  std::size_t length, std::vector<HidData>& data);

}  // namespace keyloom::device
