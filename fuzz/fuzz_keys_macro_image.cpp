// Macro areas and key maps read back from the keyboard: decoding is bounded
// on any bytes and never yields more than the model allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "keys/macro_image.h"
#include "keys/macro_record.h"

using namespace keyloom::keys;

namespace {

void Decode(std::span<const std::uint8_t> image) {
  std::vector<MacroRecord> macros;
  if (DecodeMacroImage(image, macros)) {
    if (macros.size() > 100) std::abort();
    for (const MacroRecord& m : macros)
      if (m.actions.size() > kMaxMacroActions || m.name.size() > kMaxMacroNameLength) std::abort();
  } else if (!macros.empty()) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Decode(std::span<const std::uint8_t>(data, size));
  // The same bytes behind a valid magic, so the fuzzer reaches the blocks.
  std::vector<std::uint8_t> image(data, data + size);
  if (image.size() >= 2) {
    image[0] = std::uint8_t(kMacroImageMagic & 0xFF);
    image[1] = std::uint8_t(kMacroImageMagic >> 8);
    Decode(image);
  }
  return 0;
}
