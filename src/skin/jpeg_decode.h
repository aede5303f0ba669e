#pragma once
// The skin's JPEG pictures, decoded straight with libjpeg into rows the
// caller provides. Going through Qt's image plugins instead costs a plugin
// search and load at the program's first picture, several milliseconds of
// its start. Plain C++: the window code wraps the rows in a QImage.
//
// Safe on any bytes: sizes are checked before anything is allocated, a
// progressive picture may have only so many scans, and libjpeg's errors end
// the decoding without leaving this function.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace keyloom::skin {

// Pictures larger than this (in pixels of 4 bytes) are refused: Qt's own
// readers refuse images over 256 MB.
constexpr std::int64_t kMaxJpegPixels = std::int64_t{256} * 1024 * 1024 / 4;
// A progressive picture with more scans than this is refused (a valid one
// has a dozen or so; thousands of empty scans take minutes to decode).
constexpr int kMaxJpegScans = 256;

struct JpegSize {
  int width = 0;
  int height = 0;
  // One grey byte per pixel; otherwise four bytes per pixel, blue, green,
  // red and 0xFF in memory order (a 32-bit 0xFFRRGGBB on this platform).
  bool grey = false;
  // The picture's density as the file gives it: 1 dots per inch, 2 dots
  // per centimetre, 0 an aspect ratio only.
  int density_unit = 0;
  int x_density = 0;
  int y_density = 0;
};

// Where the rows go: `first_row` points at the top row, `stride` bytes from
// one row to the next (at least the row's width).
struct JpegRows {
  std::uint8_t* first_row = nullptr;
  std::ptrdiff_t stride = 0;
};

enum class JpegResult {
  kDecoded,
  // Not a picture this decoder takes (not a JPEG, colours other than grey,
  // YCbCr or RGB, or one libjpeg cannot read to the end): another reader
  // may try it.
  kNotHandled,
  // Over the limits above, or the rows were refused: nobody should try.
  kRefused,
};

// Decodes `data`; `rows` is asked once, when the size is known, and
// returns rows of that size or null rows to refuse. Corrupt data inside a
// readable picture decodes as libjpeg makes it (grey where data is missing),
// as other readers do.
JpegResult DecodeJpeg(std::span<const std::uint8_t> data, const std::function<JpegRows(const JpegSize&)>& rows);

// Whether `data` starts like a JPEG file.
bool LooksLikeJpeg(std::span<const std::uint8_t> data);

}  // namespace keyloom::skin
