#pragma once
// The profile header: the first 32 bytes of a key table block, as profile
// files hold it. It counts the macros and the string pool that follow the
// block in a file, and ends with a checksum. The keyboard writer refreshes
// it in its snapshot; profile files are built and checked with it.
#include <cstddef>
#include <cstdint>
#include <span>

#include "keys/key_assignment.h"
#include "keys/macro_record.h"

namespace keyloom::keys {

inline constexpr std::uint16_t kProfileMagic = 0x5250;  // "PR" in the file
inline constexpr std::size_t kProfileHeaderBytes = 32;
inline constexpr std::size_t kProfileBlockBytes = kKeyTableBlockBytes;  // 0x8040
inline constexpr std::size_t kProfileMacroBytes = kMacroRecordBytes;    // 0x7F00
inline constexpr std::uint16_t kProfileKeyRecords = 0x0800;

// Offsets of the profile header fields.
namespace header {
inline constexpr std::size_t kMagic = 0;
inline constexpr std::size_t kHeaderSize = 2;
inline constexpr std::size_t kVersionMajor = 4;  // always 3
inline constexpr std::size_t kVersionMinor = 6;  // always 1
inline constexpr std::size_t kContentSize = 8;
inline constexpr std::size_t kKeyRecords = 12;
inline constexpr std::size_t kMacroCount = 14;
inline constexpr std::size_t kPoolSize = 16;
inline constexpr std::size_t kReserved = 20;  // 10 bytes
inline constexpr std::size_t kFlag = 30;
inline constexpr std::size_t kChecksum = 31;
}  // namespace header

// Bytes of block, macros and pool that a header announces.
constexpr std::uint64_t ProfileContentSize(std::uint16_t macroCount, std::uint32_t poolSize) {
  return kProfileBlockBytes + std::uint64_t{macroCount} * kProfileMacroBytes + poolSize;
}

// Sum of header bytes 0..30 with 8-bit wrap-around.
std::uint8_t ProfileHeaderChecksum(std::span<const std::uint8_t> header);

// Fills bytes 0..31 of the block's headers for `macroCount` macros, a pool of
// `poolSize` bytes and the flag byte.
void BuildProfileHeader(KeyTableBlock& block, std::uint16_t macroCount, std::uint32_t poolSize, std::uint8_t flag);

}  // namespace keyloom::keys
