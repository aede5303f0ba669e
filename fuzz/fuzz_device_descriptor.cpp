// Report descriptor reading and report decoding on arbitrary bytes. Input:
// one byte n, then n bytes of descriptor, then a report.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "device/hid_data.h"
#include "device/report_descriptor.h"

using namespace keyloom::device;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t n = data[0];
  if (n == 255) n = size - 1;  // the whole rest is descriptor
  if (n > size - 1) n = size - 1;
  const std::span<const std::uint8_t> descriptor(data + 1, n);
  const std::uint8_t* report = data + 1 + n;
  const std::size_t report_length = size - 1 - n;

  const ReportDescriptor d = ParseReportDescriptor(descriptor);
  const int collections = static_cast<int>(d.collections.size() < 4 ? d.collections.size() : 4);
  for (int c = -1; c < collections; ++c) {
    const HidLayout layout = HidLayout::FromDescriptor(d, c);
    for (ReportType type : {ReportType::Input, ReportType::Output, ReportType::Feature}) {
      std::vector<HidData> entries = layout.BuildData(type);
      UnpackReport(layout, type, report, report_length, entries);
      for (const HidButtonCaps& b : layout.ButtonCaps(type)) {
        std::vector<std::uint16_t> usages;
        layout.GetUsages(type, b.usage_page, report, report_length, usages);
      }
      for (const HidValueCaps& v : layout.ValueCaps(type)) {
        std::int32_t scaled = 0;
        layout.GetScaledUsageValue(type, v.usage_page, v.usage_max, report, report_length, scaled);
      }
    }
  }
  return 0;
}
