#include "skin/jpeg_decode.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
// clang-format on

#include <climits>
#include <csetjmp>

namespace keyloom::skin {
namespace {

// Everything libjpeg and its callbacks share, kept in the frame of the
// function that calls the one holding the jump target, so that nothing in
// that function's own frame lives across the jump.
struct Decoder {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  jpeg_progress_mgr progress;
  std::jmp_buf jump;
  bool created;
  bool refused;
};

Decoder& Of(j_common_ptr info) { return *static_cast<Decoder*>(info->client_data); }

[[noreturn]] void LeaveOnError(j_common_ptr info) { std::longjmp(Of(info).jump, 1); }

// libjpeg would write its warnings to standard error.
void KeepQuiet(j_common_ptr) {}

void LimitScans(j_common_ptr common) {
  Decoder& decoder = Of(common);
  if (decoder.info.progressive_mode && decoder.info.input_scan_number > kMaxJpegScans) {
    decoder.refused = true;
    std::longjmp(decoder.jump, 1);
  }
}

// Runs the decoding; the result, or kNotHandled after a jump back here
// (kRefused when the jump came from a limit).
JpegResult Run(Decoder& decoder, std::span<const std::uint8_t> data,
               const std::function<JpegRows(const JpegSize&)>& rows) {
  if (setjmp(decoder.jump) != 0) return decoder.refused ? JpegResult::kRefused : JpegResult::kNotHandled;

  jpeg_decompress_struct& info = decoder.info;
  decoder.created = true;  // destroying a zeroed decoder is harmless
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);

  JpegSize size;
  if (info.jpeg_color_space == JCS_GRAYSCALE && info.num_components == 1) {
    info.out_color_space = JCS_GRAYSCALE;
    size.grey = true;
  } else if ((info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB) && info.num_components == 3) {
    info.out_color_space = JCS_EXT_BGRX;
  } else {
    return JpegResult::kNotHandled;
  }
  if (info.image_width == 0 || info.image_height == 0 || info.image_width > INT_MAX || info.image_height > INT_MAX)
    return JpegResult::kNotHandled;
  if (std::int64_t{info.image_width} * info.image_height > kMaxJpegPixels) return JpegResult::kRefused;
  if (info.progressive_mode) {
    decoder.progress.progress_monitor = LimitScans;
    info.progress = &decoder.progress;
  }
  size.width = static_cast<int>(info.image_width);
  size.height = static_cast<int>(info.image_height);
  size.density_unit = info.density_unit;
  size.x_density = info.X_density;
  size.y_density = info.Y_density;

  const JpegRows target = rows(size);
  const std::ptrdiff_t row_bytes = std::ptrdiff_t{size.width} * (size.grey ? 1 : 4);
  if (target.first_row == nullptr || target.stride < row_bytes) return JpegResult::kRefused;

  jpeg_start_decompress(&info);
  if (info.output_width != info.image_width || info.output_height != info.image_height ||
      info.output_components != (size.grey ? 1 : 4))
    return JpegResult::kNotHandled;
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = target.first_row + target.stride * static_cast<std::ptrdiff_t>(info.output_scanline);
    if (jpeg_read_scanlines(&info, &row, 1) != 1) return JpegResult::kNotHandled;
  }
  // Every row is there; whatever follows the last one does not matter.
  return JpegResult::kDecoded;
}

}  // namespace

bool LooksLikeJpeg(std::span<const std::uint8_t> data) {
  return data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

JpegResult DecodeJpeg(std::span<const std::uint8_t> data, const std::function<JpegRows(const JpegSize&)>& rows) {
  if (!LooksLikeJpeg(data) || data.size() > ULONG_MAX) return JpegResult::kNotHandled;
  Decoder decoder{};
  decoder.info.err = jpeg_std_error(&decoder.errors);
  decoder.errors.error_exit = LeaveOnError;
  decoder.errors.output_message = KeepQuiet;
  decoder.info.client_data = &decoder;
  const JpegResult result = Run(decoder, data, rows);
  if (decoder.created) jpeg_destroy_decompress(&decoder.info);
  return result;
}

}  // namespace keyloom::skin
