#include "device/report_descriptor.h"

#include <algorithm>

namespace keyloom::device {
namespace {

// Limits on one report: a field element of at most 1024 bits and a report of
// at most 64 KiB of data.
constexpr std::uint32_t kMaxReportSize = 1024;
constexpr std::uint32_t kMaxReportCount = 65535;
constexpr std::uint64_t kMaxReportBits = 8ull * 65535;

struct GlobalState {
  std::uint16_t usage_page = 0;
  std::int64_t logical_min = 0;
  std::int64_t logical_max = 0;
  std::int64_t physical_min = 0;
  std::int64_t physical_max = 0;
  bool logical_max_signed = false;   // raw item data, before the sign rule
  std::uint32_t logical_max_raw = 0;
  std::uint32_t logical_max_size = 0;
  bool physical_max_signed = false;
  std::uint32_t physical_max_raw = 0;
  std::uint32_t physical_max_size = 0;
  std::int32_t unit_exponent = 0;
  std::uint32_t unit = 0;
  std::uint32_t report_size = 0;
  std::uint32_t report_count = 0;
  std::uint8_t report_id = 0;
};

struct LocalState {
  std::vector<UsageSpan> usages;
  bool have_min = false;
  std::uint16_t min_page = 0;
  std::uint16_t min_usage = 0;
  bool explicit_min_page = false;

  void Clear() { *this = LocalState{}; }
};

std::int64_t SignedData(std::uint32_t raw, std::uint32_t size) {
  switch (size) {
    case 1: return static_cast<std::int8_t>(raw & 0xFF);
    case 2: return static_cast<std::int16_t>(raw & 0xFFFF);
    case 4: return static_cast<std::int32_t>(raw);
    default: return 0;
  }
}

// A maximum is read as unsigned when its minimum is not negative (a 0..255
// range written as 15 00 25 FF means 255, not -1).
std::int64_t ResolveMax(std::int64_t min, std::uint32_t raw, std::uint32_t size) {
  if (min >= 0) return raw;
  return SignedData(raw, size);
}

struct BitCursor {
  ReportType type;
  std::uint8_t id;
  std::uint64_t bits;
};

}  // namespace

ReportDescriptor ParseReportDescriptor(std::span<const std::uint8_t> bytes) {
  ReportDescriptor out;
  GlobalState global;
  std::vector<GlobalState> stack;
  LocalState local;
  std::vector<BitCursor> cursors;
  int depth = 0;
  int current_top = -1;

  auto fail = [&out]() {
    out.ok = false;
    return out;
  };

  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const std::uint8_t prefix = bytes[i++];
    if (prefix == 0xFE) {  // long item: size, tag, data; nothing defined uses it
      if (i + 2 > n) return fail();
      const std::size_t size = bytes[i];
      i += 2;
      if (size > n - i) return fail();
      i += size;
      continue;
    }
    const std::uint32_t size = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
    const int type = (prefix >> 2) & 0x03;
    const int tag = prefix >> 4;
    if (size > n - i) return fail();
    std::uint32_t raw = 0;
    for (std::uint32_t k = 0; k < size; ++k) raw |= std::uint32_t(bytes[i + k]) << (8 * k);
    i += size;

    if (type == 1) {  // global
      switch (tag) {
        case 0x0: global.usage_page = static_cast<std::uint16_t>(raw); break;
        case 0x1: global.logical_min = SignedData(raw, size); break;
        case 0x2:
          global.logical_max_raw = raw;
          global.logical_max_size = size;
          break;
        case 0x3: global.physical_min = SignedData(raw, size); break;
        case 0x4:
          global.physical_max_raw = raw;
          global.physical_max_size = size;
          break;
        case 0x5: global.unit_exponent = static_cast<std::int32_t>(SignedData(raw, size)); break;
        case 0x6: global.unit = raw; break;
        case 0x7:
          if (raw > kMaxReportSize) return fail();
          global.report_size = raw;
          break;
        case 0x8:
          if (raw == 0 || raw > 0xFF) return fail();
          global.report_id = static_cast<std::uint8_t>(raw);
          out.uses_report_ids = true;
          break;
        case 0x9:
          if (raw > kMaxReportCount) return fail();
          global.report_count = raw;
          break;
        case 0xA:
          if (static_cast<int>(stack.size()) >= kMaxGlobalStackDepth) return fail();
          stack.push_back(global);
          break;
        case 0xB:
          if (stack.empty()) return fail();
          global = stack.back();
          stack.pop_back();
          break;
        default: break;  // reserved
      }
    } else if (type == 2) {  // local
      switch (tag) {
        case 0x0: {  // Usage
          if (local.usages.size() >= kMaxUsagesPerField) return fail();
          UsageSpan u;
          u.usage_page = size == 4 ? static_cast<std::uint16_t>(raw >> 16) : global.usage_page;
          u.usage_min = u.usage_max = static_cast<std::uint16_t>(raw);
          local.usages.push_back(u);
          break;
        }
        case 0x1:  // Usage Minimum
          local.have_min = true;
          local.explicit_min_page = size == 4;
          local.min_page = size == 4 ? static_cast<std::uint16_t>(raw >> 16) : global.usage_page;
          local.min_usage = static_cast<std::uint16_t>(raw);
          break;
        case 0x2: {  // Usage Maximum
          if (!local.have_min) return fail();
          if (local.usages.size() >= kMaxUsagesPerField) return fail();
          UsageSpan u;
          u.usage_page = local.min_page;
          u.usage_min = local.min_usage;
          u.usage_max = static_cast<std::uint16_t>(raw);
          if (u.usage_max < u.usage_min) return fail();
          u.is_range = true;
          local.usages.push_back(u);
          local.have_min = false;
          break;
        }
        default: break;  // designators, strings, delimiters: not needed
      }
    } else if (type == 0) {  // main
      switch (tag) {
        case 0x8:    // Input
        case 0x9:    // Output
        case 0xB: {  // Feature
          const ReportType rt = tag == 0x8 ? ReportType::Input
                                : tag == 0x9 ? ReportType::Output
                                             : ReportType::Feature;
          if (out.fields.size() >= kMaxDescriptorFields) return fail();
          ReportField f;
          f.type = rt;
          f.report_id = global.report_id;
          f.report_size = global.report_size;
          f.report_count = global.report_count;
          f.flags = raw;
          f.logical_min = global.logical_min;
          f.logical_max = ResolveMax(global.logical_min, global.logical_max_raw, global.logical_max_size);
          f.physical_min = global.physical_min;
          f.physical_max = ResolveMax(global.physical_min, global.physical_max_raw, global.physical_max_size);
          f.unit = global.unit;
          f.unit_exponent = global.unit_exponent;
          f.usage_page = global.usage_page;
          f.usages = std::move(local.usages);
          f.collection = current_top;
          auto it = std::find_if(cursors.begin(), cursors.end(), [&](const BitCursor& c) {
            return c.type == rt && c.id == global.report_id;
          });
          if (it == cursors.end()) {
            cursors.push_back({rt, global.report_id, 0});
            it = cursors.end() - 1;
          }
          const std::uint64_t width = std::uint64_t(f.report_size) * f.report_count;
          if (it->bits + width > kMaxReportBits) return fail();
          f.bit_offset = static_cast<std::uint32_t>(it->bits);
          it->bits += width;
          out.fields.push_back(std::move(f));
          break;
        }
        case 0xA: {  // Collection
          if (depth >= kMaxCollectionDepth) return fail();
          if (depth == 0) {
            if (out.collections.size() >= kMaxDescriptorFields) return fail();
            TopLevelCollection c;
            if (!local.usages.empty()) {
              c.usage_page = local.usages.front().usage_page;
              c.usage = local.usages.front().usage_min;
            } else {
              c.usage_page = global.usage_page;
            }
            out.collections.push_back(c);
            current_top = static_cast<int>(out.collections.size()) - 1;
          }
          ++depth;
          break;
        }
        case 0xC:  // End Collection
          if (depth == 0) return fail();
          --depth;
          break;
        default: break;
      }
      local.Clear();
    }
    // type 3 (reserved) items are skipped.
  }
  if (depth != 0) return fail();
  out.ok = true;
  return out;
}

std::uint32_t ReportByteLength(const ReportDescriptor& d, ReportType type, int collection) {
  // Bits per report id; the longest report decides.
  std::vector<std::pair<std::uint8_t, std::uint64_t>> ends;
  for (const ReportField& f : d.fields) {
    if (f.type != type) continue;
    if (collection >= 0 && f.collection != collection) continue;
    const std::uint64_t end = std::uint64_t(f.bit_offset) + std::uint64_t(f.report_size) * f.report_count;
    auto it = std::find_if(ends.begin(), ends.end(), [&](const auto& e) { return e.first == f.report_id; });
    if (it == ends.end()) {
      ends.emplace_back(f.report_id, end);
    } else {
      it->second = std::max(it->second, end);
    }
  }
  std::uint64_t longest = 0;
  bool any = false;
  for (const auto& e : ends) {
    longest = std::max(longest, e.second);
    any = true;
  }
  if (!any) return 0;
  return static_cast<std::uint32_t>((longest + 7) / 8 + 1);
}

}  // namespace keyloom::device
