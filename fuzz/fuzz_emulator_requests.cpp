// Arbitrary bytes as output reports to the firmware model, as control
// messages to the server's parser, as the client's decoders' input, as a
// state file and as macro images played by a key press.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "emulator/ctl_commands.h"
#include "emulator/factory_memory.h"
#include "emulator/firmware_model.h"
#include "emulator/key_playback.h"
#include "emulator/state_file.h"
#include "vkbdsocket/socket_protocol.h"

using namespace keyloom::emulator;
using namespace keyloom::vkbdsocket;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> in(data, size);
  static FirmwareModel keyboard;

  // Reports: the input cut into 64-byte requests; a request with a fixed-up
  // checksum as well, so the command paths are reached.
  for (std::size_t off = 0; off < size; off += 64) {
    auto piece = in.subspan(off, std::min<std::size_t>(64, size - off));
    auto reply = keyboard.HandleRequest(piece);
    if (piece.size() == 64) {
      Report r{};
      std::copy(piece.begin(), piece.end(), r.begin());
      r[0] = kCommandReportId;
      r[7] = 0;
      const std::uint16_t sum = ReportChecksum(r);
      r[1] = static_cast<std::uint8_t>(sum);
      r[2] = static_cast<std::uint8_t>(sum >> 8);
      reply = keyboard.HandleRequest(r);
      if (!reply || (*reply)[0] != kCommandReportId) __builtin_trap();
    }
  }
  keyboard.Transact(in);

  // Playback of whatever the memories now hold, from every position.
  const Memories mem = keyboard.Snapshot();
  for (std::uint32_t pos = 0; pos < keyboard.Model().keyCount; pos += 7) {
    KeyStroke s{pos, 0, 10};
    PlayKeys(mem, keyboard.Model(), {&s, 1});
  }
  // The input itself as the macro area.
  Memories img = FactoryMemories(keyboard.Model(), 8192, FactoryEffects());
  std::copy_n(data, std::min<std::size_t>(size, img.macroArea.size()), img.macroArea.begin());
  img.layers[3 * 19] = 0x05;
  img.layers[3 * 19 + 1] = 0x01;
  img.layers[3 * 19 + 2] = size > 0 ? data[0] : 0;
  KeyStroke s{19, 0, 10};
  auto events = PlayKeys(img, keyboard.Model(), {&s, 1});
  for (const auto& e : events) HostEventJson(e);

  // Protocol messages.
  ParseControlMessage(in);
  bool plugged = false;
  std::vector<InterfaceInfo> list;
  DecodeInterfaces(in, plugged, list);
  std::uint8_t status = 0;
  DecodeOpened(in, status);
  std::string text;
  bool more = false;
  DecodeCtlReply(in, status, more, text);

  // State file text.
  DecodedState state;
  std::string error;
  DecodeState(std::string(reinterpret_cast<const char*>(data), size), state, error);
  return 0;
}
