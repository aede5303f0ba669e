#include "profiles/profile_file.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <system_error>

#include "device/device_table.h"
#include "keys/byte_order.h"
#include "keys/text_source.h"
#include "platform/atomic_file.h"
#include "platform/shared_folder.h"
#include "platform/text.h"
#include "profiles/data_folder.h"
#include "profiles/editing_lock.h"

namespace keyloom::profiles {

namespace {

using keys::GetU16;
using keys::GetU32;
using keys::PutU16;
using keys::PutU32;

constexpr std::uint64_t kFourGiB = std::uint64_t{1} << 32;
static_assert(kMaxProfileReadBytes == 137'501'764);
constexpr std::uint64_t kSharedStringBudget = std::uint64_t{4} << 20;

// The vendor and product pairs the key table header names.
constexpr std::uint16_t kHeaderDevices[4][2] = {{0x0C45, 0x7672}, {0x1C4F, 0x000E}, {0, 0}, {0, 0}};

void ShowFormatError(const std::filesystem::path& path, host::Prompter& prompter) {
  host::MessageBoxRequest request;
  request.text = text::Format(keys::LookUpText("PROFILE_FORMAT_ERROR"), {text::FromUtf8(path.string())});
  request.buttons = host::Buttons::Ok;
  prompter.Ask(request);
}

// The string at byte `offset` (even) of a pool: its length in units, or
// nullopt when the offset lies outside the pool or no terminating zero
// follows within kMaxProfileStringUnits units. The scan is bounded, so that
// records pointing into one long run of text cost little each.
std::optional<std::size_t> PoolStringLength(std::span<const std::uint8_t> pool, std::uint32_t offset) {
  const std::size_t units = pool.size() / 2;
  const std::size_t first = offset / 2;
  if (first >= units) return std::nullopt;
  const std::size_t last = std::min(units, first + kMaxProfileStringUnits + 1);
  for (std::size_t u = first; u < last; ++u) {
    if (GetU16(pool.data() + 2 * u) == 0) return u - first;
  }
  return std::nullopt;
}

std::u16string PoolString(std::span<const std::uint8_t> pool, std::uint32_t offset, std::size_t length) {
  std::u16string text(length, u'\0');
  for (std::size_t c = 0; c < length; ++c) text[c] = static_cast<char16_t>(GetU16(pool.data() + offset + 2 * c));
  return text;
}

}  // namespace

void WriteKeyTableHeader(keys::KeyTableBlock& block) {
  std::uint8_t* h = block.headers.data() + kKeyTableHeaderOffset;
  PutU16(h + 0, kKeyTableMagic);
  PutU16(h + 2, 0x0020);
  PutU32(h + 4, 0x20 + keys::kStringSlotCount * static_cast<std::uint32_t>(keys::kKeyAssignmentBytes));
  PutU16(h + 8, keys::kProfileTableCount);
  PutU16(h + 10, keys::kRecordsPerTable);
  PutU32(h + 12, 0);
  for (int d = 0; d < 4; ++d) {
    PutU16(h + 16 + 4 * d, kHeaderDevices[d][0]);
    PutU16(h + 18 + 4 * d, kHeaderDevices[d][1]);
  }
}

keys::KeyTableBlock EmptyProfileBlock(std::uint8_t flag) {
  keys::KeyTableBlock block;
  BuildProfileHeader(block, 0, 0, flag);
  WriteKeyTableHeader(block);
  keys::ResetKeyTables(block);
  return block;
}

HeaderVerdict CheckProfileHeader(std::span<const std::uint8_t> h, std::uint64_t fileSize) {
  if (fileSize >= kFourGiB || fileSize < kProfileBlockBytes || h.size() < kProfileHeaderBytes) {
    return HeaderVerdict::kTooShortOrLarge;
  }
  const std::uint8_t* p = h.data();
  const std::uint32_t content = GetU32(p + header::kContentSize);
  const std::uint16_t macros = GetU16(p + header::kMacroCount);
  const std::uint32_t pool = GetU32(p + header::kPoolSize);
  const bool valid = GetU16(p + header::kMagic) == kProfileMagic &&
                     GetU16(p + header::kHeaderSize) == kProfileHeaderBytes &&
                     GetU16(p + header::kVersionMajor) == 3 && GetU16(p + header::kVersionMinor) == 1 &&
                     content >= kProfileBlockBytes && GetU16(p + header::kKeyRecords) == kProfileKeyRecords &&
                     macros <= kMaxProfileMacros && pool <= kMaxProfilePoolBytes && p[header::kFlag] <= 1 &&
                     content == ProfileContentSize(macros, pool) &&
                     p[header::kChecksum] == ProfileHeaderChecksum(h.first(kProfileHeaderBytes)) &&
                     fileSize >= content;
  return valid ? HeaderVerdict::kValid : HeaderVerdict::kBadFormat;
}

int ValidateProfileFile(const std::filesystem::path& path, host::Prompter& prompter) {
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::status(path, ec))) return 0;
  platform::RegularFile file(path);
  if (!file.IsOpen()) return -2;
  const std::uint64_t size = file.Size();
  std::array<std::uint8_t, kProfileHeaderBytes> h{};
  if (size >= kProfileHeaderBytes && file.Read(h.data(), h.size()) != static_cast<long long>(h.size())) return 0;
  switch (CheckProfileHeader(h, size)) {
    case HeaderVerdict::kValid:
      return 1;
    case HeaderVerdict::kTooShortOrLarge:
      return 0;
    case HeaderVerdict::kBadFormat:
      break;
  }
  ShowFormatError(path, prompter);
  return 0;
}

bool ParseProfileImage(std::span<const std::uint8_t> bytes, LoadedProfile& out) {
  if (bytes.size() < kProfileBlockBytes) return false;
  const std::uint16_t macroCount = GetU16(bytes.data() + header::kMacroCount);
  const std::uint32_t poolSize = GetU32(bytes.data() + header::kPoolSize);
  if (macroCount > kMaxProfileMacros || poolSize > kMaxProfilePoolBytes) return false;
  const std::uint64_t content = ProfileContentSize(macroCount, poolSize);
  if (bytes.size() < content) return false;

  if (!out.block.ReadFrom(bytes)) return false;
  out.macros.clear();
  out.macros.resize(macroCount);
  for (std::size_t m = 0; m < macroCount; ++m) {
    if (!keys::ReadMacroRecord(bytes.subspan(kProfileBlockBytes + m * kProfileMacroBytes, kProfileMacroBytes),
                               out.macros[m])) {
      return false;
    }
  }
  const auto pool = bytes.subspan(static_cast<std::size_t>(content - poolSize), poolSize);
  out.strings.fill(keys::StringSlot{});
  out.totalStringSize = 0;
  // Records may share a string; what their copies take is held to the pool
  // size (or a few MiB for a small pool), so a small file cannot claim
  // thousands of copies of one long string.
  const std::uint64_t budget = std::max<std::uint64_t>(poolSize, kSharedStringBudget);
  for (int i = 0; i < keys::kStringSlotCount; ++i) {
    const keys::KeyAssignment& record = out.block.tables[i / keys::kRecordsPerTable][i % keys::kRecordsPerTable];
    if (!keys::KindKeepsString(record.kind)) continue;
    const std::uint32_t offset = record.value & ~std::uint32_t{1};
    const auto length = PoolStringLength(pool, offset);
    if (!length) continue;
    const std::uint64_t size = (*length + 1) * 2;
    if (out.totalStringSize + size > budget) continue;
    keys::StringSlot& slot = out.strings[i];
    slot.size = static_cast<std::uint32_t>(size);
    slot.text = PoolString(pool, offset, *length);
    out.totalStringSize += slot.size;
  }
  out.trailer.reset();
  if (bytes.size() - content >= kTrailerBytes) out.trailer = GetU32(bytes.data() + content);
  return true;
}

bool ReadProfileFile(const std::filesystem::path& path, LoadedProfile& out) try {
  platform::RegularFile file(path);
  if (!file.IsOpen()) return false;
  const std::uint64_t fileSize = file.Size();
  if (fileSize < kProfileBlockBytes) return false;
  // Read the header first, then only what it announces plus a trailer,
  // never more than the file holds or a profile can hold.
  std::vector<std::uint8_t> bytes(kProfileHeaderBytes);
  if (file.Read(bytes.data(), bytes.size()) != static_cast<long long>(bytes.size())) return false;
  const std::uint16_t macroCount = GetU16(bytes.data() + header::kMacroCount);
  const std::uint32_t poolSize = GetU32(bytes.data() + header::kPoolSize);
  if (macroCount > kMaxProfileMacros || poolSize > kMaxProfilePoolBytes) return false;
  const std::uint64_t wanted = ProfileContentSize(macroCount, poolSize) + kTrailerBytes;
  if (fileSize + kTrailerBytes < wanted) return false;
  const std::uint64_t total = std::min(wanted, fileSize);
  bytes.resize(static_cast<std::size_t>(total));
  const long long got =
      file.Read(bytes.data() + kProfileHeaderBytes, static_cast<std::size_t>(total - kProfileHeaderBytes));
  if (got < 0) return false;
  bytes.resize(kProfileHeaderBytes + static_cast<std::size_t>(got));
  return ParseProfileImage(bytes, out);
} catch (const std::bad_alloc&) {
  return false;
}

namespace {
constexpr int kStoredReportRates = 4;  // indexes 0..3
}  // namespace

int LoadProfileFile(keys::KeyMacroStore& store, lighting::LightingState& lighting, const std::filesystem::path& path) {
  try {
    auto loaded = std::make_unique<LoadedProfile>();
    if (!ReadProfileFile(path, *loaded)) return 0;
    {
      auto lock = store.Lock();
      store.block = loaded->block;
      store.macros = std::move(loaded->macros);
      store.strings = std::move(loaded->strings);
      store.totalStringSize = loaded->totalStringSize;
    }
    // A stored rate outside the four the keyboard knows is not taken: it
    // would reach no keyboard and be written back into every later backup.
    if (loaded->trailer) {
      const int rate = static_cast<int>(*loaded->trailer & 0xFFFF);
      if (rate < kStoredReportRates) lighting.report_rate = rate;
    }
    return 1;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

int LoadProfileFile(KeyboardSession& session, const std::filesystem::path& path) {
  return LoadProfileFile(session.stores.EditingStore, session.lighting.CurrentLighting, path);
}

std::vector<std::uint8_t> BuildProfileImage(keys::KeyMacroStore& store, std::optional<std::uint32_t> trailer) {
  auto lock = store.Lock();
  const std::uint16_t macroCount = store.MacroCount();
  const std::uint32_t poolSize = store.totalStringSize;
  BuildProfileHeader(store.block, macroCount, poolSize, kProfileFlag);

  std::vector<std::uint8_t> pool(poolSize, 0);
  std::uint32_t o = 0;
  for (int i = 0; i < keys::kStringSlotCount; ++i) {
    const keys::StringSlot& slot = store.strings[i];
    keys::KeyAssignment& record = store.block.tables[i / keys::kRecordsPerTable][i % keys::kRecordsPerTable];
    const std::uint32_t b = slot.size;
    if (!keys::KindKeepsString(record.kind)) continue;
    if (b == 0 || std::uint64_t{o} + b > poolSize) {
      // A text-carrying record without a text points just past the pool, so
      // that loading the file gives it no text rather than a neighbour's.
      record.value = poolSize;
      continue;
    }
    const std::size_t units = std::min<std::size_t>(slot.text.size(), b / 2 - 1);
    for (std::size_t c = 0; c < units; ++c) PutU16(pool.data() + o + 2 * c, slot.text[c]);
    record.value = o;
    o += b;
  }

  std::vector<std::uint8_t> image;
  image.reserve(static_cast<std::size_t>(ProfileContentSize(macroCount, poolSize)) + kTrailerBytes);
  image = store.block.ToBytes();
  for (const keys::MacroRecord& macro : store.macros) {
    const std::vector<std::uint8_t> record = keys::MacroRecordBytes(macro);
    image.insert(image.end(), record.begin(), record.end());
  }
  image.insert(image.end(), pool.begin(), pool.end());
  if (trailer) {
    std::uint8_t t[kTrailerBytes];
    PutU32(t, *trailer);
    image.insert(image.end(), t, t + kTrailerBytes);
  }
  return image;
}

bool ReplaceFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes, std::error_code* error) {
  if (path.empty()) {
    if (error) *error = std::make_error_code(std::errc::no_such_file_or_directory);
    return false;
  }
  return platform::WriteFileAtomically(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error);
}

namespace {

// The caller holds the editing store's lock.
int SaveStore(KeyboardSession& session, const std::filesystem::path& path, std::optional<std::uint32_t> trailer) {
  try {
    const std::vector<std::uint8_t> image = BuildProfileImage(session.stores.EditingStore, trailer);
    return ReplaceFile(path, image) ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

// The working profile when that file exists, else empty.
std::filesystem::path ExistingWorkingProfile() {
  const std::filesystem::path path = WorkingProfilePath();
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return {};
  return path;
}

std::optional<std::uint32_t> ReportRateTrailer(const KeyboardSession& session) {
  const int rate = session.lighting.CurrentLighting.report_rate;
  return static_cast<std::uint32_t>(rate < 0 ? 0 : rate);
}

}  // namespace

int SaveWorkingProfile(KeyboardSession& session) {
  const std::filesystem::path path = ExistingWorkingProfile();
  if (path.empty()) return 0;
  EditingLock lock(session);
  return SaveStore(session, path, std::nullopt);
}

int SaveWorkingProfileLocked(KeyboardSession& session) {
  const std::filesystem::path path = ExistingWorkingProfile();
  if (path.empty()) return 0;
  return SaveStore(session, path, std::nullopt);
}

namespace {

// An export goes where the user says, /tmp included: never through a link
// another user planted there.
int ExportStore(KeyboardSession& session, const std::filesystem::path& path, std::optional<std::uint32_t> trailer) {
  bool claimed = false;
  if (!platform::ClaimForReplace(path, claimed)) return 0;
  const int saved = SaveStore(session, path, trailer);
  if (saved != 1 && claimed) platform::ReleaseClaim(path);
  return saved;
}

}  // namespace

int ExportProfileFile(KeyboardSession& session, const std::filesystem::path& path) {
  const std::optional<std::uint32_t> trailer = ReportRateTrailer(session);
  EditingLock lock(session);
  return ExportStore(session, path, trailer);
}

int ExportProfileFileLocked(KeyboardSession& session, const std::filesystem::path& path) {
  return ExportStore(session, path, ReportRateTrailer(session));
}

void SetEmptyProfile(keys::KeyMacroStore& store, std::uint8_t flag) {
  const keys::KeyTableBlock block = EmptyProfileBlock(flag);
  auto lock = store.Lock();
  store.block = block;
}

int WriteEmptyProfile(const std::filesystem::path& path, std::uint8_t flag) {
  return ReplaceFile(path, EmptyProfileBlock(flag).ToBytes()) ? 1 : 0;
}

}  // namespace keyloom::profiles
