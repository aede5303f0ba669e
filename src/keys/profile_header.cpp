#include "keys/profile_header.h"

#include "keys/byte_order.h"

namespace keyloom::keys {

std::uint8_t ProfileHeaderChecksum(std::span<const std::uint8_t> h) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < header::kChecksum && i < h.size(); ++i) sum = static_cast<std::uint8_t>(sum + h[i]);
  return sum;
}

void BuildProfileHeader(KeyTableBlock& block, std::uint16_t m, std::uint32_t s, std::uint8_t flag) {
  std::uint8_t* h = block.headers.data();
  PutU16(h + header::kMagic, kProfileMagic);
  PutU16(h + header::kHeaderSize, static_cast<std::uint16_t>(kProfileHeaderBytes));
  PutU16(h + header::kVersionMajor, 3);
  PutU16(h + header::kVersionMinor, 1);
  PutU32(h + header::kContentSize, static_cast<std::uint32_t>(ProfileContentSize(m, s)));
  PutU16(h + header::kKeyRecords, kProfileKeyRecords);
  PutU16(h + header::kMacroCount, m);
  PutU32(h + header::kPoolSize, s);
  for (std::size_t i = header::kReserved; i < header::kFlag; ++i) h[i] = 0;
  h[header::kFlag] = flag;
  h[header::kChecksum] = ProfileHeaderChecksum(std::span<const std::uint8_t>(h, kProfileHeaderBytes));
}

}  // namespace keyloom::keys
