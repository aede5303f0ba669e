#pragma once
// The virtual keyboard's memories kept in a file across restarts.
// Text, one field a line, bytes as lowercase hex:
//   keyloom-vkbd-state 1
//   model 0c45:7672
//   capacity 8192
//   config <hex>  lighting <hex>  key_colours <hex>  layers <hex>
//   macro_area <hex>  factory_map <hex>      (one line each)
// Written to a temporary file beside the target, flushed and renamed over it,
// so a reader never sees half a file. Of the configuration block only the
// active slot is taken back from a file: its other bytes are the keyboard's
// own (model, capacity, effects given at start).
#include <string>

#include "emulator/firmware_model.h"

namespace keyloom::emulator {

std::string EncodeState(const ModelInfo& model, std::uint32_t capacity, const Memories& memories);

struct DecodedState {
  const ModelInfo* model = nullptr;
  std::uint32_t capacity = 0;
  Memories memories;
};
// False with a message on anything malformed (safe on any text).
bool DecodeState(const std::string& text, DecodedState& state, std::string& error);

// Atomic replace of `path` with `contents`; false on any failure.
bool WriteFileAtomically(const std::string& path, const std::string& contents);
// The largest state file read: every area of the larger model with the
// largest capacity, as hex, fits many times over.
inline constexpr std::size_t kMaxStateFileBytes = 16u << 20;
// Whole file; false when it cannot be read, is no regular file or is larger
// than kMaxStateFileBytes.
bool ReadWholeFile(const std::string& path, std::string& contents);

// Lowercase hex of bytes, and back (false on odd length or a non-hex digit).
std::string ToHex(const std::uint8_t* bytes, std::size_t n);
bool FromHex(const std::string& hex, std::vector<std::uint8_t>& bytes);

}  // namespace keyloom::emulator
