// Arbitrary bytes as a skin JPEG picture: decoding never reads or writes
// outside the data and the rows it was given, asks for rows at most once
// and only of a size within the limits, and a refusal of the rows is
// answered as one.
#include "skin/jpeg_decode.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

using keyloom::skin::DecodeJpeg;
using keyloom::skin::JpegResult;
using keyloom::skin::JpegRows;
using keyloom::skin::JpegSize;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The fuzzer's own limits: rows of at most 16 MB here (the decoder's
  // limit is far above what a fuzzer should allocate).
  constexpr std::int64_t kFuzzPixels = 4 * 1024 * 1024;
  // The first byte decides whether the rows are refused.
  const bool refuse = size > 0 && (data[0] & 1) == 0 && size % 7 == 0;
  std::vector<std::uint8_t> pixels;
  int asked = 0;
  JpegSize seen;
  const JpegResult result = DecodeJpeg({data, size}, [&](const JpegSize& s) {
    ++asked;
    seen = s;
    Check(s.width > 0 && s.height > 0);
    Check(std::int64_t{s.width} * s.height <= keyloom::skin::kMaxJpegPixels);
    if (refuse || std::int64_t{s.width} * s.height > kFuzzPixels) return JpegRows{};
    // Exactly the rows' bytes, so that a write past them is caught.
    const std::ptrdiff_t stride = std::ptrdiff_t{s.width} * (s.grey ? 1 : 4);
    pixels.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(s.height), 0);
    return JpegRows{pixels.data(), stride};
  });
  Check(asked <= 1);
  if (result == JpegResult::kDecoded) {
    Check(asked == 1 && !pixels.empty());
    // Colour pictures fill every fourth byte with 0xFF.
    if (!seen.grey)
      for (std::size_t i = 3; i < pixels.size(); i += 4) Check(pixels[i] == 0xFF);
  }
  if (asked == 1 && pixels.empty()) Check(result == JpegResult::kRefused);
  return 0;
}
