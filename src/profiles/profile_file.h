#pragma once
// Profile files: the key table block of the key and macro store with its two
// headers, the macro records and the string pool, and in exported files a
// four-byte trailer with the report-rate setting. All fields little-endian,
// read and written field by field.
//
// Three kinds of file share the layout: the working profile (in the per-user
// data folder, no trailer), exported ".kyl" files (with trailer), and the
// files built from what the keyboard holds (no pool, no trailer).
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "keys/key_macro_store.h"
#include "keys/profile_header.h"
#include "lighting/lighting_state.h"
#include "platform/host.h"
#include "profiles/keyboard_session.h"

namespace keyloom::profiles {

// The header fields and their builder live beside the key table block.
using keys::BuildProfileHeader;
using keys::kProfileBlockBytes;
using keys::kProfileHeaderBytes;
using keys::kProfileKeyRecords;
using keys::kProfileMacroBytes;
using keys::kProfileMagic;
using keys::ProfileContentSize;
using keys::ProfileHeaderChecksum;
namespace header = keys::header;

inline constexpr std::uint16_t kKeyTableMagic = 0x544C;  // "LT" in the file
inline constexpr std::size_t kKeyTableHeaderOffset = 32;
inline constexpr std::uint16_t kMaxProfileMacros = 100;
inline constexpr std::size_t kTrailerBytes = 4;
// The longest program path or text block a record carries, in UTF-16 units
// without the terminating zero: the longest path the platform's wide file
// functions take, and what a standard edit field holds.
inline constexpr std::size_t kMaxProfileStringUnits = 32767;
// A pool holds at most one string of that length for each of the 2048 key
// records (128 MiB); a header that claims more is badly formed.
inline constexpr std::uint64_t kMaxProfilePoolBytes =
    std::uint64_t{keys::kStringSlotCount} * (kMaxProfileStringUnits + 1) * 2;
// The largest file whose content and trailer are read: the block, 100 macro
// records, the largest pool and the trailer (137,501,764 bytes). Bytes after
// the trailer are never read.
inline constexpr std::uint64_t kMaxProfileReadBytes =
    ProfileContentSize(kMaxProfileMacros, static_cast<std::uint32_t>(kMaxProfilePoolBytes)) + kTrailerBytes;
inline constexpr std::uint8_t kProfileFlag = 0;

// Fills bytes 32..63: the key table header with the supported vendor and
// product pairs.
void WriteKeyTableHeader(keys::KeyTableBlock& block);
// The block of a profile with no macros and no texts: both headers and the
// four tables as ResetKeyTables leaves them.
keys::KeyTableBlock EmptyProfileBlock(std::uint8_t flag);

// What a header says about a file of `fileSize` bytes.
enum class HeaderVerdict {
  kValid,
  kTooShortOrLarge,  // below one block, or 4 GiB and more: refused without a message
  kBadFormat,        // a field is wrong, the pool is larger than kMaxProfilePoolBytes,
                     // or the file is shorter than its content
};
// `header` holds the file's first bytes (at least 32 of them for a verdict
// other than kTooShortOrLarge).
HeaderVerdict CheckProfileHeader(std::span<const std::uint8_t> header, std::uint64_t fileSize);

// Checks a file before it is imported: 1 valid; 0 missing, too short or too
// large (no message) or badly formed (`prompter` shows
// "PROFILE_FORMAT_ERROR" with the path); -2 when it cannot be opened or is
// no regular file (a FIFO is refused without waiting for a writer). Only the
// header is read.
int ValidateProfileFile(const std::filesystem::path& path, host::Prompter& prompter);

// A profile read from bytes, ready to become a store's contents.
struct LoadedProfile {
  keys::KeyTableBlock block;
  std::vector<keys::MacroRecord> macros;
  std::array<keys::StringSlot, keys::kStringSlotCount> strings;
  std::uint32_t totalStringSize = 0;
  std::optional<std::uint32_t> trailer;  // when four bytes follow the content
};
// Reads a profile image. False when the bytes are shorter than the content
// their header announces, the macro count is above 100 or the pool larger
// than kMaxProfilePoolBytes. A text-carrying record whose pool offset lies
// outside the pool, or whose string has no terminating zero inside it
// within kMaxProfileStringUnits units, gets no string; so does a record
// whose copy would take the loaded strings past the pool size (4 MiB for a
// smaller pool), which only records sharing one string can do. Never reads
// outside `bytes`.
bool ParseProfileImage(std::span<const std::uint8_t> bytes, LoadedProfile& out);

// Reads a profile file: its header first, then only the content it
// announces and a trailer. False when the file is no regular file, cannot
// be read or parsed, announces more than a profile holds, or memory runs
// out.
bool ReadProfileFile(const std::filesystem::path& path, LoadedProfile& out);
// Replaces the store's block, macros and strings with the file's (under the
// store's lock). A file that cannot be read or parsed leaves the store as it
// was and gives 0. A trailer sets the report-rate setting of `lighting` to
// its low 16 bits.
int LoadProfileFile(keys::KeyMacroStore& store, lighting::LightingState& lighting, const std::filesystem::path& path);
// Into the session's editing store and lighting values.
int LoadProfileFile(KeyboardSession& session, const std::filesystem::path& path);

// The file image of a store: rebuilds the block's profile header and, for
// every text-carrying record whose string fits the pool, writes its pool
// offset into the record's value (a text-carrying record without a text
// gets the pool size, an offset that loads as no text); then block, macros,
// pool and the trailer when given. Throws std::bad_alloc only when memory
// runs out.
std::vector<std::uint8_t> BuildProfileImage(keys::KeyMacroStore& store, std::optional<std::uint32_t> trailer);

// Writes the session's editing store to the working profile, only when that
// file already exists. The file is replaced as a whole (temporary file, then
// rename). The editing store's lock is held throughout; the Locked form is
// for callers that already hold it.
int SaveWorkingProfile(KeyboardSession& session);
int SaveWorkingProfileLocked(KeyboardSession& session);
// Writes the editing store and the report-rate trailer to `path`, replacing
// it as a whole; locking as for SaveWorkingProfile.
int ExportProfileFile(KeyboardSession& session, const std::filesystem::path& path);
int ExportProfileFileLocked(KeyboardSession& session, const std::filesystem::path& path);
// The empty block, flag byte `flag`, becomes the store's block (the caller
// holds the lock and has cleared the store).
void SetEmptyProfile(keys::KeyMacroStore& store, std::uint8_t flag);
// The empty block, flag byte `flag`, written to `path`.
int WriteEmptyProfile(const std::filesystem::path& path, std::uint8_t flag);

// Writes `bytes` over `path` through a temporary file in the same folder.
// False with the system's reason in `error` when given.
bool ReplaceFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                 std::error_code* error = nullptr);

}  // namespace keyloom::profiles
