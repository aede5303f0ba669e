#include "vkbdsocket/socket_protocol.h"

#include <filesystem>

#include "platform/paths.h"

#include <algorithm>
#include <cstdlib>

namespace keyloom::vkbdsocket {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Bounded little-endian reader.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool U8(std::uint8_t& v) {
    if (pos_ + 1 > bytes_.size()) return false;
    v = bytes_[pos_++];
    return true;
  }
  bool U16(std::uint16_t& v) {
    if (pos_ + 2 > bytes_.size()) return false;
    v = static_cast<std::uint16_t>(bytes_[pos_] | (bytes_[pos_ + 1] << 8));
    pos_ += 2;
    return true;
  }
  bool Bytes(std::size_t n, std::vector<std::uint8_t>& out) {
    if (n > bytes_.size() - pos_) return false;
    out.assign(bytes_.begin() + pos_, bytes_.begin() + pos_ + n);
    pos_ += n;
    return true;
  }
  std::span<const std::uint8_t> Rest() const { return bytes_.subspan(pos_); }
  bool AtEnd() const { return pos_ == bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

bool Header(Reader& r, std::uint8_t type) {
  std::uint8_t t = 0, v = 0;
  return r.U8(t) && t == type && r.U8(v) && v == kProtocolVersion;
}

}  // namespace

std::string DefaultSocketPath() {
  if (const char* p = std::getenv("KEYLOOM_VKBD_SOCKET"); p && *p) return p;
  // Never a shared folder: another user's socket there would hear our keys
  // and macros.
  const std::filesystem::path dir = paths::RuntimeDir();
  if (dir.empty()) return {};
  return (dir / "keyloom-vkbd.sock").string();
}

ControlMessage ParseControlMessage(std::span<const std::uint8_t> message) {
  ControlMessage m;
  if (message.size() < 2) {
    m.error = kErrorMalformed;
    return m;
  }
  if (message[1] != kProtocolVersion) {
    m.error = kErrorVersion;
    return m;
  }
  switch (message[0]) {
    case kMsgList:
      if (message.size() != 2) {
        m.error = kErrorMalformed;
        return m;
      }
      m.kind = ControlMessage::Kind::kList;
      return m;
    case kMsgOpen:
      if (message.size() != 3) {
        m.error = kErrorMalformed;
        return m;
      }
      m.kind = ControlMessage::Kind::kOpen;
      m.interfaceNumber = message[2];
      return m;
    case kMsgCtl: {
      // Arguments are zero-terminated; the last one must be terminated too.
      auto rest = message.subspan(2);
      if (!rest.empty() && rest.back() != 0) {
        m.error = kErrorMalformed;
        return m;
      }
      std::string current;
      for (std::uint8_t b : rest) {
        if (b == 0) {
          m.arguments.push_back(std::move(current));
          current.clear();
        } else {
          current.push_back(static_cast<char>(b));
        }
      }
      m.kind = ControlMessage::Kind::kCtl;
      return m;
    }
    default:
      m.error = kErrorUnknownType;
      return m;
  }
}

std::vector<std::uint8_t> EncodeList() { return {kMsgList, kProtocolVersion}; }

std::vector<std::uint8_t> EncodeOpen(std::uint8_t interfaceNumber) {
  return {kMsgOpen, kProtocolVersion, interfaceNumber};
}

std::vector<std::uint8_t> EncodeCtl(const std::vector<std::string>& arguments) {
  std::vector<std::uint8_t> out{kMsgCtl, kProtocolVersion};
  for (const auto& a : arguments) {
    for (char c : a) {
      if (c != 0) out.push_back(static_cast<std::uint8_t>(c));
    }
    out.push_back(0);
  }
  return out;
}

std::vector<std::uint8_t> EncodeInterfaces(bool plugged, const std::vector<InterfaceInfo>& interfaces) {
  std::vector<std::uint8_t> out{kMsgInterfaces, kProtocolVersion, static_cast<std::uint8_t>(plugged ? 1 : 0)};
  const std::size_t n = plugged ? std::min<std::size_t>(interfaces.size(), 255) : 0;
  out.push_back(static_cast<std::uint8_t>(n));
  for (std::size_t i = 0; i < n; ++i) {
    const auto& f = interfaces[i];
    out.push_back(f.number);
    Put16(out, f.vendor);
    Put16(out, f.product);
    Put16(out, f.usagePage);
    Put16(out, f.usage);
    Put16(out, f.inputLength);
    Put16(out, f.outputLength);
    Put16(out, f.featureLength);
    const std::size_t len = std::min<std::size_t>(f.descriptor.size(), 0xFFFF);
    Put16(out, static_cast<std::uint16_t>(len));
    out.insert(out.end(), f.descriptor.begin(), f.descriptor.begin() + len);
  }
  return out;
}

std::vector<std::uint8_t> EncodeOpened(std::uint8_t status) { return {kMsgOpened, kProtocolVersion, status}; }

std::vector<std::vector<std::uint8_t>> EncodeCtlReply(std::uint8_t exitStatus, const std::string& text) {
  std::vector<std::vector<std::uint8_t>> parts;
  std::size_t off = 0;
  do {
    const std::size_t n = std::min(kCtlReplyPart, text.size() - off);
    std::vector<std::uint8_t> part(4 + n);
    part[0] = kMsgCtlReply;
    part[1] = kProtocolVersion;
    part[2] = exitStatus;
    part[3] = off + n < text.size() ? 1 : 0;
    std::copy_n(text.begin() + static_cast<std::ptrdiff_t>(off), n, part.begin() + 4);
    parts.push_back(std::move(part));
    off += n;
  } while (off < text.size());
  return parts;
}

std::vector<std::uint8_t> EncodeError(std::uint8_t code) { return {kMsgError, kProtocolVersion, code}; }

bool DecodeInterfaces(std::span<const std::uint8_t> message, bool& plugged,
                      std::vector<InterfaceInfo>& interfaces) {
  Reader r(message);
  std::uint8_t p = 0, n = 0;
  if (!Header(r, kMsgInterfaces) || !r.U8(p) || !r.U8(n) || p > 1) return false;
  std::vector<InterfaceInfo> list;
  for (std::uint8_t i = 0; i < n; ++i) {
    InterfaceInfo f;
    std::uint16_t len = 0;
    if (!r.U8(f.number) || !r.U16(f.vendor) || !r.U16(f.product) || !r.U16(f.usagePage) ||
        !r.U16(f.usage) || !r.U16(f.inputLength) || !r.U16(f.outputLength) ||
        !r.U16(f.featureLength) || !r.U16(len) || !r.Bytes(len, f.descriptor)) {
      return false;
    }
    list.push_back(std::move(f));
  }
  if (!r.AtEnd()) return false;
  plugged = p == 1;
  interfaces = std::move(list);
  return true;
}

bool DecodeOpened(std::span<const std::uint8_t> message, std::uint8_t& status) {
  Reader r(message);
  std::uint8_t s = 0;
  if (!Header(r, kMsgOpened) || !r.U8(s) || !r.AtEnd()) return false;
  status = s;
  return true;
}

bool DecodeCtlReply(std::span<const std::uint8_t> message, std::uint8_t& exitStatus, bool& more,
                    std::string& text) {
  Reader r(message);
  std::uint8_t s = 0, m = 0;
  if (!Header(r, kMsgCtlReply) || !r.U8(s) || !r.U8(m) || m > 1) return false;
  auto rest = r.Rest();
  exitStatus = s;
  more = m == 1;
  text.assign(rest.begin(), rest.end());
  return true;
}

}  // namespace keyloom::vkbdsocket
