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

// One short item: its type (0 main, 1 global, 2 local, 3 reserved), tag,
// data size in bytes and data.
struct ShortItem {
  int type = 0;
  int tag = 0;
  std::uint32_t size = 0;
  std::uint32_t raw = 0;
};

enum class ItemRead { Item, Skipped, Fault };

// Reads the item at `i` and moves past it. Long items are skipped: nothing
// defined uses them.
ItemRead ReadItem(std::span<const std::uint8_t> bytes, std::size_t& i, ShortItem& item) {
  const std::size_t n = bytes.size();
  const std::uint8_t prefix = bytes[i++];
  if (prefix == 0xFE) {  // long item: size, tag, data
    if (i + 2 > n) return ItemRead::Fault;
    const std::size_t size = bytes[i];
    i += 2;
    if (size > n - i) return ItemRead::Fault;
    i += size;
    return ItemRead::Skipped;
  }
  item.size = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
  item.type = (prefix >> 2) & 0x03;
  item.tag = prefix >> 4;
  if (item.size > n - i) return ItemRead::Fault;
  item.raw = 0;
  for (std::uint32_t k = 0; k < item.size; ++k) item.raw |= std::uint32_t(bytes[i + k]) << (8 * k);
  i += item.size;
  return ItemRead::Item;
}

// The parse state. Each item handler returns false on a fault; what was
// read before it stays in `out`.
class DescriptorParser {
 public:
  bool Item(const ShortItem& item) {
    switch (item.type) {
      case 0: return MainItem(item);
      case 1: return GlobalItem(item);
      case 2: return LocalItem(item);
      default: return true;  // reserved items are skipped
    }
  }
  bool CollectionsClosed() const { return depth_ == 0; }
  ReportDescriptor& Result() { return out_; }

 private:
  bool GlobalItem(const ShortItem& item) {
    const std::uint32_t raw = item.raw;
    const std::uint32_t size = item.size;
    switch (item.tag) {
      case 0x0: global_.usage_page = static_cast<std::uint16_t>(raw); break;
      case 0x1: global_.logical_min = SignedData(raw, size); break;
      case 0x2:
        global_.logical_max_raw = raw;
        global_.logical_max_size = size;
        break;
      case 0x3: global_.physical_min = SignedData(raw, size); break;
      case 0x4:
        global_.physical_max_raw = raw;
        global_.physical_max_size = size;
        break;
      case 0x5: global_.unit_exponent = static_cast<std::int32_t>(SignedData(raw, size)); break;
      case 0x6: global_.unit = raw; break;
      case 0x7:
        if (raw > kMaxReportSize) return false;
        global_.report_size = raw;
        break;
      case 0x8:
        if (raw == 0 || raw > 0xFF) return false;
        global_.report_id = static_cast<std::uint8_t>(raw);
        out_.uses_report_ids = true;
        break;
      case 0x9:
        if (raw > kMaxReportCount) return false;
        global_.report_count = raw;
        break;
      case 0xA:  // Push
        if (static_cast<int>(stack_.size()) >= kMaxGlobalStackDepth) return false;
        stack_.push_back(global_);
        break;
      case 0xB:  // Pop
        if (stack_.empty()) return false;
        global_ = stack_.back();
        stack_.pop_back();
        break;
      default: break;  // reserved
    }
    return true;
  }

  bool LocalItem(const ShortItem& item) {
    switch (item.tag) {
      case 0x0: return AddUsage(item);
      case 0x1:  // Usage Minimum
        local_.have_min = true;
        local_.explicit_min_page = item.size == 4;
        local_.min_page = item.size == 4 ? static_cast<std::uint16_t>(item.raw >> 16) : global_.usage_page;
        local_.min_usage = static_cast<std::uint16_t>(item.raw);
        return true;
      case 0x2: return CloseUsageRange(item);
      default: return true;  // designators, strings, delimiters: not needed
    }
  }

  bool AddUsage(const ShortItem& item) {
    if (local_.usages.size() >= kMaxUsagesPerField) return false;
    UsageSpan u;
    u.usage_page = item.size == 4 ? static_cast<std::uint16_t>(item.raw >> 16) : global_.usage_page;
    u.usage_min = u.usage_max = static_cast<std::uint16_t>(item.raw);
    local_.usages.push_back(u);
    return true;
  }

  // Usage Maximum: closes the range the last Usage Minimum opened.
  bool CloseUsageRange(const ShortItem& item) {
    if (!local_.have_min) return false;
    if (local_.usages.size() >= kMaxUsagesPerField) return false;
    UsageSpan u;
    u.usage_page = local_.min_page;
    u.usage_min = local_.min_usage;
    u.usage_max = static_cast<std::uint16_t>(item.raw);
    if (u.usage_max < u.usage_min) return false;
    u.is_range = true;
    local_.usages.push_back(u);
    local_.have_min = false;
    return true;
  }

  // Every main item ends the local state it used.
  bool MainItem(const ShortItem& item) {
    bool ok = true;
    switch (item.tag) {
      case 0x8: ok = AddField(ReportType::Input, item.raw); break;
      case 0x9: ok = AddField(ReportType::Output, item.raw); break;
      case 0xB: ok = AddField(ReportType::Feature, item.raw); break;
      case 0xA: ok = OpenCollection(); break;
      case 0xC:  // End Collection
        if (depth_ == 0) return false;
        --depth_;
        break;
      default: break;
    }
    if (!ok) return false;
    local_.Clear();
    return true;
  }

  // An Input, Output or Feature item: one field, placed after the fields of
  // the same report type and id read before it.
  bool AddField(ReportType type, std::uint32_t flags) {
    if (out_.fields.size() >= kMaxDescriptorFields) return false;
    ReportField f;
    f.type = type;
    f.report_id = global_.report_id;
    f.report_size = global_.report_size;
    f.report_count = global_.report_count;
    f.flags = flags;
    f.logical_min = global_.logical_min;
    f.logical_max = ResolveMax(global_.logical_min, global_.logical_max_raw, global_.logical_max_size);
    f.physical_min = global_.physical_min;
    f.physical_max = ResolveMax(global_.physical_min, global_.physical_max_raw, global_.physical_max_size);
    f.unit = global_.unit;
    f.unit_exponent = global_.unit_exponent;
    f.usage_page = global_.usage_page;
    f.usages = std::move(local_.usages);
    f.collection = current_top_;
    auto it = std::find_if(cursors_.begin(), cursors_.end(), [&](const BitCursor& c) {
      return c.type == type && c.id == global_.report_id;
    });
    if (it == cursors_.end()) {
      cursors_.push_back({type, global_.report_id, 0});
      it = cursors_.end() - 1;
    }
    const std::uint64_t width = std::uint64_t(f.report_size) * f.report_count;
    if (it->bits + width > kMaxReportBits) return false;
    f.bit_offset = static_cast<std::uint32_t>(it->bits);
    it->bits += width;
    out_.fields.push_back(std::move(f));
    return true;
  }

  // A collection at the top level starts a new top-level collection, named
  // by its first usage.
  bool OpenCollection() {
    if (depth_ >= kMaxCollectionDepth) return false;
    if (depth_ == 0) {
      if (out_.collections.size() >= kMaxDescriptorFields) return false;
      TopLevelCollection c;
      if (!local_.usages.empty()) {
        c.usage_page = local_.usages.front().usage_page;
        c.usage = local_.usages.front().usage_min;
      } else {
        c.usage_page = global_.usage_page;
      }
      out_.collections.push_back(c);
      current_top_ = static_cast<int>(out_.collections.size()) - 1;
    }
    ++depth_;
    return true;
  }

  ReportDescriptor out_;
  GlobalState global_;
  std::vector<GlobalState> stack_;
  LocalState local_;
  std::vector<BitCursor> cursors_;
  int depth_ = 0;
  int current_top_ = -1;
};

}  // namespace

ReportDescriptor ParseReportDescriptor(std::span<const std::uint8_t> bytes) {
  DescriptorParser parser;
  ReportDescriptor& out = parser.Result();
  std::size_t i = 0;
  while (i < bytes.size()) {
    ShortItem item;
    const ItemRead read = ReadItem(bytes, i, item);
    if (read == ItemRead::Fault || (read == ItemRead::Item && !parser.Item(item))) {
      out.ok = false;
      return std::move(out);
    }
  }
  out.ok = parser.CollectionsClosed();
  return std::move(out);
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
