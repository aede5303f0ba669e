#include "emulator/state_file.h"

#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>

namespace keyloom::emulator {
namespace {

constexpr const char* kMagic = "keyloom-vkbd-state 1";
constexpr const char* kAreas[] = {"config", "lighting", "key_colours", "layers", "macro_area", "factory_map"};

std::vector<std::uint8_t>* AreaOf(Memories& m, const std::string& name) {
  if (name == "config") return &m.config;
  if (name == "lighting") return &m.lighting;
  if (name == "key_colours") return &m.keyColours;
  if (name == "layers") return &m.layers;
  if (name == "macro_area") return &m.macroArea;
  if (name == "factory_map") return &m.factoryMap;
  return nullptr;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string ToHex(const std::uint8_t* bytes, std::size_t n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string s(2 * n, '0');
  for (std::size_t i = 0; i < n; ++i) {
    s[2 * i] = kDigits[bytes[i] >> 4];
    s[2 * i + 1] = kDigits[bytes[i] & 15];
  }
  return s;
}

bool FromHex(const std::string& hex, std::vector<std::uint8_t>& bytes) {
  if (hex.size() % 2 != 0) return false;
  std::vector<std::uint8_t> out(hex.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    out[i] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  bytes = std::move(out);
  return true;
}

std::string EncodeState(const ModelInfo& model, std::uint32_t capacity, const Memories& m) {
  std::string s = kMagic;
  s += "\nmodel " + ModelName(model) + "\ncapacity " + std::to_string(capacity) + "\n";
  Memories copy = m;
  for (const char* name : kAreas) {
    const auto* area = AreaOf(copy, name);
    s += name;
    s += ' ';
    s += ToHex(area->data(), area->size());
    s += '\n';
  }
  return s;
}

bool DecodeState(const std::string& text, DecodedState& state, std::string& error) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kMagic) {
    error = "not a keyloom-vkbd state file";
    return false;
  }
  std::map<std::string, std::string> fields;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const auto space = line.find(' ');
    if (space == std::string::npos) {
      error = "malformed line";
      return false;
    }
    fields[line.substr(0, space)] = line.substr(space + 1);
  }
  DecodedState out;
  out.model = ParseModelName(fields["model"]);
  if (!out.model) {
    error = "unknown model '" + fields["model"] + "'";
    return false;
  }
  const std::string& cap = fields["capacity"];
  if (cap.empty() || cap.size() > 6 || cap.find_first_not_of("0123456789") != std::string::npos) {
    error = "bad capacity";
    return false;
  }
  out.capacity = static_cast<std::uint32_t>(std::stoul(cap));
  for (const char* name : kAreas) {
    auto it = fields.find(name);
    if (it == fields.end() || !FromHex(it->second, *AreaOf(out.memories, name))) {
      error = std::string("missing or malformed ") + name;
      return false;
    }
  }
  state = std::move(out);
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& contents) {
  return platform::WriteFileAtomically(path, contents);
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
  std::optional<std::string> bytes = platform::ReadWholeFile(path, kMaxStateFileBytes);
  if (!bytes) return false;
  contents = std::move(*bytes);
  return true;
}

}  // namespace keyloom::emulator
