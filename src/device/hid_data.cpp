#include "device/hid_data.h"

#include <algorithm>
#include <limits>

namespace keyloom::device {
namespace {

bool FieldHasPage(const ReportField& f, std::uint16_t page) {
  if (f.usages.empty()) return f.usage_page == page;
  for (const UsageSpan& s : f.usages) {
    if (s.usage_page == page) return true;
  }
  return false;
}

std::uint64_t SpanWidth(const UsageSpan& s) { return std::uint64_t(s.usage_max) - s.usage_min + 1; }

// Where each usage span of a field starts in the field's list of usages.
std::vector<std::uint64_t> SpanStarts(const ReportField& f) {
  std::vector<std::uint64_t> starts;
  starts.reserve(f.usages.size() + 1);
  std::uint64_t start = 0;
  for (const UsageSpan& s : f.usages) {
    starts.push_back(start);
    start += SpanWidth(s);
  }
  starts.push_back(start);  // the total
  return starts;
}

// The (page, usage) of usage index `index` of a field; with `clamp` the last
// usage repeats past the end of the list (as for variable items), without it
// an index past the end has no usage.
bool UsageAt(const ReportField& f, const std::vector<std::uint64_t>& starts, std::uint64_t index, bool clamp,
             std::uint16_t& page, std::uint16_t& usage) {
  if (f.usages.empty()) {
    page = f.usage_page;
    usage = 0;
    return clamp || index == 0;
  }
  if (index >= starts.back()) {
    if (!clamp) return false;
    page = f.usages.back().usage_page;
    usage = f.usages.back().usage_max;
    return true;
  }
  // The last span starting at or before the index.
  const auto it = std::upper_bound(starts.begin(), starts.end() - 1, index) - 1;
  const UsageSpan& s = f.usages[static_cast<std::size_t>(it - starts.begin())];
  page = s.usage_page;
  usage = static_cast<std::uint16_t>(s.usage_min + (index - *it));
  return true;
}

// Bits [bit, bit + size) of the report data (which starts after the id
// byte), at most 32 of them, least significant first.
std::uint32_t ExtractBits(const std::uint8_t* data, std::uint64_t bit, std::uint32_t size) {
  const std::uint32_t n = std::min<std::uint32_t>(size, 32);
  std::uint32_t v = 0;
  for (std::uint32_t k = 0; k < n; ++k) {
    const std::uint64_t b = bit + k;
    if ((data[b / 8] >> (b % 8)) & 1) v |= 1u << k;
  }
  return v;
}

std::int64_t SignExtend(std::uint32_t v, std::uint32_t size) {
  const std::uint32_t n = std::min<std::uint32_t>(size, 32);
  if (n == 0) return 0;
  if (n == 32) return static_cast<std::int32_t>(v);
  const std::uint32_t sign = 1u << (n - 1);
  if (v & sign) return static_cast<std::int64_t>(v) - (std::int64_t(1) << n);
  return v;
}

std::int64_t ElementValue(const ReportField& f, std::uint32_t raw) {
  return f.logical_min < 0 ? SignExtend(raw, f.report_size) : std::int64_t(raw);
}

bool FieldFits(const ReportField& f, std::size_t length) {
  const std::uint64_t end_bits = std::uint64_t(f.bit_offset) + std::uint64_t(f.report_size) * f.report_count;
  return length >= 1 && (end_bits + 7) / 8 <= length - 1;
}

}  // namespace

HidLayout HidLayout::FromDescriptor(const ReportDescriptor& d, int collection) {
  HidLayout l;
  l.uses_report_ids_ = d.uses_report_ids;
  if (collection >= 0 && static_cast<std::size_t>(collection) < d.collections.size()) {
    l.caps_.usage_page = d.collections[collection].usage_page;
    l.caps_.usage = d.collections[collection].usage;
  }
  for (const ReportField& f : d.fields) {
    if (f.collection != collection) continue;
    l.fields_.push_back(f);
  }
  for (std::size_t i = 0; i < l.fields_.size(); ++i) {
    const ReportField& f = l.fields_[i];
    if (f.IsConstant() || f.report_count == 0 || f.report_size == 0) continue;
    const std::size_t t = Index(f.type);
    if (f.IsButton()) {
      if (f.usages.empty()) {
        l.buttons_[t].push_back({f.usage_page, f.report_id, false, 0, 0, i});
      }
      for (const UsageSpan& s : f.usages) {
        l.buttons_[t].push_back({s.usage_page, f.report_id, s.is_range, s.usage_min,
                                 s.is_range ? s.usage_max : s.usage_min, i});
      }
      continue;
    }
    if (f.usages.empty()) {
      l.values_[t].push_back({f.usage_page, f.report_id, false, 0, 0, i, 0, f.report_count});
      continue;
    }
    std::uint64_t start = 0;
    for (std::size_t k = 0; k < f.usages.size() && start < f.report_count; ++k) {
      const UsageSpan& s = f.usages[k];
      const bool last = k + 1 == f.usages.size();
      std::uint64_t count = s.is_range ? SpanWidth(s) : 1;
      if (last && !s.is_range) count = f.report_count - start;  // a value array
      count = std::min<std::uint64_t>(count, f.report_count - start);
      HidValueCaps c{s.usage_page, f.report_id, s.is_range, s.usage_min,
                     s.is_range ? static_cast<std::uint16_t>(s.usage_min + count - 1) : s.usage_min,
                     i, static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(count)};
      l.values_[t].push_back(c);
      start += count;
    }
  }
  auto clamp16 = [](std::size_t v) { return static_cast<std::uint16_t>(std::min<std::size_t>(v, 0xFFFF)); };
  l.caps_.input_report_byte_length = clamp16(ReportByteLength(d, ReportType::Input, collection));
  l.caps_.output_report_byte_length = clamp16(ReportByteLength(d, ReportType::Output, collection));
  l.caps_.feature_report_byte_length = clamp16(ReportByteLength(d, ReportType::Feature, collection));
  l.caps_.number_input_button_caps = clamp16(l.buttons_[0].size());
  l.caps_.number_input_value_caps = clamp16(l.values_[0].size());
  l.caps_.number_output_button_caps = clamp16(l.buttons_[1].size());
  l.caps_.number_output_value_caps = clamp16(l.values_[1].size());
  l.caps_.number_feature_button_caps = clamp16(l.buttons_[2].size());
  l.caps_.number_feature_value_caps = clamp16(l.values_[2].size());
  return l;
}

std::uint16_t HidLayout::ReportLength(ReportType type) const {
  switch (type) {
    case ReportType::Input: return caps_.input_report_byte_length;
    case ReportType::Output: return caps_.output_report_byte_length;
    case ReportType::Feature: return caps_.feature_report_byte_length;
  }
  return 0;
}

HidStatus HidLayout::GetUsages(ReportType type, std::uint16_t usage_page, const std::uint8_t* report,
                               std::size_t length, std::vector<std::uint16_t>& usages) const {
  usages.clear();
  if (length < 1) return HidStatus::InvalidReportLength;
  const std::uint8_t id = report[0];
  bool page_seen = false;
  bool id_seen = false;
  for (const ReportField& f : fields_) {
    if (f.type != type || f.IsConstant() || !f.IsButton() || !FieldHasPage(f, usage_page)) continue;
    page_seen = true;
    if (f.report_id != id) continue;
    id_seen = true;
    if (!FieldFits(f, length)) return HidStatus::InvalidReportLength;
    const std::uint8_t* data = report + 1;
    const std::vector<std::uint64_t> starts = SpanStarts(f);
    for (std::uint32_t e = 0; e < f.report_count; ++e) {
      const std::uint64_t bit = std::uint64_t(f.bit_offset) + std::uint64_t(e) * f.report_size;
      std::uint16_t page = 0;
      std::uint16_t usage = 0;
      if (f.IsVariable()) {
        if (!ExtractBits(data, bit, 1)) continue;
        if (!UsageAt(f, starts, e, true, page, usage)) continue;
      } else {
        const std::int64_t v = ElementValue(f, ExtractBits(data, bit, f.report_size));
        if (v < f.logical_min || v > f.logical_max) continue;
        if (!UsageAt(f, starts, static_cast<std::uint64_t>(v - f.logical_min), false, page, usage)) continue;
      }
      if (page != usage_page || usage == 0) continue;
      usages.push_back(usage);
    }
  }
  if (!page_seen) return HidStatus::UsageNotFound;
  if (!id_seen) return HidStatus::IncompatibleReportId;
  return HidStatus::Success;
}

std::uint32_t HidLayout::MaxUsageListLength(ReportType type, std::uint16_t usage_page) const {
  std::uint64_t total = 0;
  for (const ReportField& f : fields_) {
    if (f.type != type || f.IsConstant() || !f.IsButton()) continue;
    if (usage_page != 0 && !FieldHasPage(f, usage_page)) continue;
    total += f.report_count;
  }
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, kMaxUsageListSlots));
}

const HidValueCaps* HidLayout::FindValue(ReportType type, std::uint16_t usage_page, std::uint16_t usage,
                                         std::uint8_t report_id, HidStatus& status) const {
  status = HidStatus::UsageNotFound;
  for (const HidValueCaps& c : values_[Index(type)]) {
    if (c.usage_page != usage_page || usage < c.usage_min || usage > c.usage_max) continue;
    if (c.report_id != report_id) {
      status = HidStatus::IncompatibleReportId;
      continue;
    }
    status = HidStatus::Success;
    return &c;
  }
  return nullptr;
}

HidStatus HidLayout::GetUsageValue(ReportType type, std::uint16_t usage_page, std::uint16_t usage,
                                   const std::uint8_t* report, std::size_t length,
                                   std::uint32_t& value) const {
  if (length < 1) return HidStatus::InvalidReportLength;
  HidStatus status;
  const HidValueCaps* c = FindValue(type, usage_page, usage, report[0], status);
  if (!c) return status;
  const ReportField& f = fields_[c->field];
  if (!FieldFits(f, length)) return HidStatus::InvalidReportLength;
  const std::uint32_t element = c->first_element + (c->is_range ? usage - c->usage_min : 0);
  value = ExtractBits(report + 1, std::uint64_t(f.bit_offset) + std::uint64_t(element) * f.report_size,
                      f.report_size);
  return HidStatus::Success;
}

HidStatus HidLayout::GetScaledUsageValue(ReportType type, std::uint16_t usage_page, std::uint16_t usage,
                                         const std::uint8_t* report, std::size_t length,
                                         std::int32_t& value) const {
  std::uint32_t raw = 0;
  const HidStatus s = GetUsageValue(type, usage_page, usage, report, length, raw);
  if (s != HidStatus::Success) return s;
  HidStatus dummy;
  const HidValueCaps* c = FindValue(type, usage_page, usage, report[0], dummy);
  const ReportField& f = fields_[c->field];
  std::int64_t pmin = f.physical_min;
  std::int64_t pmax = f.physical_max;
  if (pmin == 0 && pmax == 0) {
    pmin = f.logical_min;
    pmax = f.logical_max;
  }
  if (f.logical_min >= f.logical_max || pmin >= pmax) return HidStatus::BadLogPhyValues;
  const std::int64_t v = ElementValue(f, raw);
  if (v < f.logical_min || v > f.logical_max) {
    return (f.flags & 0x40) ? HidStatus::NullState : HidStatus::ValueOutOfRange;
  }
  const __int128 scaled = (__int128(v - f.logical_min) * (pmax - pmin)) / (f.logical_max - f.logical_min) + pmin;
  if (scaled < std::numeric_limits<std::int32_t>::min() || scaled > std::numeric_limits<std::int32_t>::max()) {
    return HidStatus::ValueOutOfRange;
  }
  value = static_cast<std::int32_t>(scaled);
  return HidStatus::Success;
}

std::vector<HidData> HidLayout::BuildData(ReportType type) const {
  std::vector<HidData> out;
  std::uint64_t slots_left = kMaxTotalUsageSlots;
  for (const HidButtonCaps& c : buttons_[Index(type)]) {
    HidData d;
    d.is_button_data = true;
    d.usage_page = c.usage_page;
    d.report_id = c.report_id;
    d.button.usage_min = c.usage_min;
    d.button.usage_max = c.usage_max;
    d.button.max_usage_list_length =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(MaxUsageListLength(type, c.usage_page), slots_left));
    slots_left -= d.button.max_usage_list_length;
    d.button.usages.assign(d.button.max_usage_list_length, 0);
    out.push_back(std::move(d));
  }
  std::size_t values = 0;
  for (const HidValueCaps& c : values_[Index(type)]) {
    for (std::uint32_t u = c.usage_min; u <= c.usage_max && values < kMaxValueEntries; ++u, ++values) {
      HidData d;
      d.usage_page = c.usage_page;
      d.report_id = c.report_id;
      d.value.usage = static_cast<std::uint16_t>(u);
      out.push_back(std::move(d));
    }
  }
  return out;
}

bool UnpackReport(const HidLayout& layout, ReportType type, const std::uint8_t* report, std::size_t length,
                  std::vector<HidData>& data) {
  if (length < 1) return true;  // no report id: nothing matches
  const std::uint8_t id = report[0];
  // The usages that are on, decoded once per usage page.
  struct PageUsages {
    std::uint16_t page;
    HidStatus status;
    std::vector<std::uint16_t> on;
  };
  std::vector<PageUsages> pages;
  for (HidData& d : data) {
    if (d.report_id != id) continue;
    if (d.is_button_data) {
      auto it = std::find_if(pages.begin(), pages.end(), [&](const PageUsages& p) { return p.page == d.usage_page; });
      if (it == pages.end()) {
        PageUsages p{d.usage_page, HidStatus::Success, {}};
        p.status = layout.GetUsages(type, d.usage_page, report, length, p.on);
        pages.push_back(std::move(p));
        it = pages.end() - 1;
      }
      HidStatus s = it->status;
      const std::vector<std::uint16_t>& on = it->on;
      std::size_t kept = 0;
      const std::size_t slots = d.button.usages.size();
      for (std::uint16_t u : on) {
        if (u < d.button.usage_min || u > d.button.usage_max) continue;
        if (kept == slots) {
          s = HidStatus::BufferTooSmall;
          break;
        }
        d.button.usages[kept++] = u;
      }
      if (kept < slots) d.button.usages[kept] = 0;
      d.status = s;
    } else {
      std::uint32_t raw = 0;
      const HidStatus s = layout.GetUsageValue(type, d.usage_page, d.value.usage, report, length, raw);
      if (s != HidStatus::Success) {
        d.status = s;
        return false;
      }
      d.value.value = raw;
      std::int32_t scaled = 0;
      d.status = layout.GetScaledUsageValue(type, d.usage_page, d.value.usage, report, length, scaled);
      if (d.status == HidStatus::Success) d.value.scaled_value = scaled;
    }
    d.is_data_set = true;
  }
  return true;
}

}  // namespace keyloom::device
