// Profile files from outside: the header check and the loading of block,
// macros and string pool are bounded on any bytes, agree with each other,
// and what was loaded saves to a file that loads the same again.
//
// Each input is tried twice: as a whole file, and expanded so that short
// inputs reach the string pool: the input's first 32 bytes become the
// profile header of an otherwise empty block, the next bytes patch up to 64
// records (2 bytes record number, 2 bytes kind, 4 bytes value), and the
// rest follows the block as the pool.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "keys/byte_order.h"
#include "profiles/profile_file.h"

using namespace keyloom;
using namespace keyloom::profiles;

namespace {

std::vector<std::uint8_t> Expand(std::span<const std::uint8_t> in) {
  std::vector<std::uint8_t> image = EmptyProfileBlock(0).ToBytes();
  std::size_t at = 0;
  for (; at < kProfileHeaderBytes && at < in.size(); ++at) image[at] = in[at];
  constexpr std::size_t kPatchBytes = 8;
  const std::size_t patches = in.size() > at ? std::min<std::size_t>(in[at], 64) : 0;
  ++at;
  for (std::size_t p = 0; p < patches && at + kPatchBytes <= in.size(); ++p, at += kPatchBytes) {
    const std::size_t record = keys::GetU16(&in[at]) % keys::kStringSlotCount;
    std::uint8_t* r = image.data() + keys::kKeyTableHeaderBytes + record * keys::kKeyAssignmentBytes;
    keys::PutU16(r, keys::GetU16(&in[at + 2]) % 9);
    keys::PutU32(r + 4, keys::GetU32(&in[at + 4]));
  }
  if (at < in.size()) image.insert(image.end(), in.begin() + static_cast<std::ptrdiff_t>(at), in.end());
  return image;
}

void Check(std::span<const std::uint8_t> bytes) {
  static auto loaded = std::make_unique<LoadedProfile>();
  static auto again = std::make_unique<LoadedProfile>();
  static auto store = std::make_unique<keys::KeyMacroStore>();

  const HeaderVerdict verdict = CheckProfileHeader(bytes, bytes.size());
  const bool parsed = ParseProfileImage(bytes, *loaded);
  // A file that passes the check always loads.
  if (verdict == HeaderVerdict::kValid && !parsed) std::abort();
  if (!parsed) return;

  if (loaded->macros.size() > kMaxProfileMacros) std::abort();
  std::uint64_t total = 0;
  for (const keys::StringSlot& slot : loaded->strings) {
    if (slot.size != 0 && slot.size != (slot.text.size() + 1) * 2) std::abort();
    if (slot.size == 0 && !slot.text.empty()) std::abort();
    total += slot.size;
  }
  if (total != loaded->totalStringSize) std::abort();

  // Save and load again: the same macros and strings.
  store->Clear();
  store->block = loaded->block;
  store->macros = loaded->macros;
  store->strings = loaded->strings;
  store->totalStringSize = loaded->totalStringSize;
  const std::vector<std::uint8_t> saved = BuildProfileImage(*store, loaded->trailer);
  if (CheckProfileHeader(saved, saved.size()) != HeaderVerdict::kValid) std::abort();
  if (!ParseProfileImage(saved, *again)) std::abort();
  if (again->macros != loaded->macros || again->totalStringSize != loaded->totalStringSize) std::abort();
  for (std::size_t i = 0; i < loaded->strings.size(); ++i) {
    if (again->strings[i].text != loaded->strings[i].text || again->strings[i].size != loaded->strings[i].size) {
      std::abort();
    }
  }
  if (again->trailer != loaded->trailer) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  Check(bytes);
  Check(Expand(bytes));
  return 0;
}
