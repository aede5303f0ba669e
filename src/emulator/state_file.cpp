#include "emulator/state_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <map>
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
  const std::string tmp = path + ".tmp." + std::to_string(::getpid());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < contents.size()) {
    ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      ::unlink(tmp.c_str());
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  const bool ok = ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  contents = s.str();
  return !f.bad();
}

}  // namespace keyloom::emulator
