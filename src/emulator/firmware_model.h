#pragma once
// The virtual Tarn-60's firmware: its memories and its side of the command
// protocol, usable in-process (tests, the in-process HID backend) and served
// over a socket by keyloom-vkbd.
//
// Request (64 bytes, output report of the command interface):
//   0 report id 0x04 | 1..2 checksum LE = sum of bytes 3..63 mod 65536 |
//   3 command | 4 length (0..56) | 5..6 address LE | 7 zero | 8..63 payload
// Reply (64 bytes, input report of the command interface):
//   0 report id 0x04 | 1..2 checksum LE of bytes 3..63 | 3 command echoed |
//   4 length echoed | 5..6 address echoed | 7 status | 8..63 data
//   Status 0x00 is success; 0xFF and 0xFE are refusals.
//
// Areas and commands:
//   0x01 begin write, 0x02 end write: length 0, address 0, no area.
//   0x03 read / 0x04 write the configuration block (44 bytes).
//   0x05 read / 0x06 write the lighting area (3 records of 42 bytes).
//   0x07 read / 0x08 write the key layers (3 layers, LayerStride apart).
//   0x09 read / 0x0A write the macro area (capacity bytes).
//   0x0F read the factory key map (512 bytes).
//   0x11 write the key colour area (3 slots of 512 bytes).
//
// Refusal rules. A refused request changes nothing.
//   0xFF "not understood": the report is not exactly 64 bytes, byte 0 is not
//        0x04, the checksum does not match, byte 7 is not zero, or the
//        command code is not one of the list above.
//   0xFE "understood but not allowed": length above 56; 0x01/0x02 with a
//        non-zero length or address; a write whose address + length passes
//        the end of its area; a read whose address lies past the end of its
//        area (address == size is allowed only with length 0); a
//        configuration write that sets the active slot (byte 10) to 3 or
//        more; any request while the "refuse" fault is armed.
// Choices made on the keyboard's side:
//   - A read may run past the end of its area; the bytes past the end read
//     as zero. (The host reads 56 bytes at 2 x 42 for the last lighting
//     record, 14 bytes past the 126-byte area.) Only `length` bytes are
//     returned; the rest of the data field is zero.
//   - Writes do not need a 0x01 first; they take effect at once. 0x01 and 0x02
//     are acknowledged and counted (a host may send 0x04 on its own to
//     select a slot).
//   - Payload bytes after `length` are ignored (a chunked write leaves the
//     previous chunk's bytes there, covered by the checksum).
//   - The configuration block: bytes 0..1 vendor id LE, 2..3 product id LE,
//     4 firmware major 1, 5 firmware minor 0, 6..9 zero, 10 active slot,
//     11 macro capacity / 128, 12..43 supported effects. Only byte 10 is
//     writable; a write covering other bytes is accepted and those bytes
//     keep the keyboard's values.
//   - Byte 11 is the capacity / 128 rounded down; the capacity given is
//     clamped to 128..32640 and rounded down to a multiple of 128.
//   - Factory contents: see factory_memory.h.
#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace keyloom::emulator {

constexpr std::size_t kReportSize = 64;
constexpr std::size_t kMaxPayload = 56;
constexpr std::uint8_t kCommandReportId = 0x04;
constexpr std::uint8_t kStatusOk = 0x00;
constexpr std::uint8_t kStatusNotUnderstood = 0xFF;
constexpr std::uint8_t kStatusNotAllowed = 0xFE;

constexpr std::size_t kConfigBytes = 44;
constexpr std::size_t kLightingRecordBytes = 42;
constexpr std::size_t kSlotCount = 3;
constexpr std::size_t kLightingBytes = kSlotCount * kLightingRecordBytes;  // 126
constexpr std::size_t kKeyColourSlotBytes = 512;
constexpr std::size_t kKeyColourBytes = kSlotCount * kKeyColourSlotBytes;  // 1536
constexpr std::size_t kFactoryMapBytes = 512;
constexpr std::size_t kConfigActiveSlot = 10;
constexpr std::size_t kConfigCapacity = 11;
constexpr std::size_t kConfigEffects = 12;  // 32 bytes, 12..43
constexpr std::uint32_t kDefaultMacroCapacity = 64 * 128;  // 8 KiB

// Keyboard-originated events sent on the consumer interface.
constexpr std::uint16_t kEventLightingChanged = 0x0401;
constexpr std::uint16_t kEventReset = 0x0402;
constexpr std::uint16_t kEventAltIcon = 0x1811;
constexpr std::uint16_t kEventNormalIcon = 0x1810;

using Report = std::array<std::uint8_t, kReportSize>;

enum Command : std::uint8_t {
  kCmdBeginWrite = 0x01,
  kCmdEndWrite = 0x02,
  kCmdReadConfig = 0x03,
  kCmdWriteConfig = 0x04,
  kCmdReadLighting = 0x05,
  kCmdWriteLighting = 0x06,
  kCmdReadKeyLayer = 0x07,
  kCmdWriteKeyLayer = 0x08,
  kCmdReadMacro = 0x09,
  kCmdWriteMacro = 0x0A,
  kCmdReadFactoryMap = 0x0F,
  kCmdWriteKeyColours = 0x11,
};

// One supported keyboard model.
struct ModelInfo {
  std::uint16_t vendor;
  std::uint16_t product;
  std::uint32_t layerBytes;
  std::uint32_t layerStride;
  std::uint32_t keyCount;
};

// The two supported models; nullptr for any other pair.
const ModelInfo* FindModel(std::uint16_t vendor, std::uint16_t product);
// "0c45:7672" <-> model; nullptr when the text names no supported model.
const ModelInfo* ParseModelName(const std::string& text);
std::string ModelName(const ModelInfo& model);

// Sum of bytes 3..63 modulo 65536 (the request and reply checksum).
std::uint16_t ReportChecksum(std::span<const std::uint8_t, kReportSize> report);
// Builds a well-formed request (checksum included). Payload beyond 56 bytes
// is cut.
Report MakeRequest(std::uint8_t command, std::uint8_t length, std::uint16_t address,
                   std::span<const std::uint8_t> payload = {});

struct FirmwareOptions {
  std::uint16_t vendor = 0x0C45;
  std::uint16_t product = 0x7672;
  std::uint32_t macroCapacity = kDefaultMacroCapacity;  // bytes
  // Supported effects (at most 32, zero bytes are empty places); empty means
  // the factory list 1..18 and 20.
  std::vector<std::uint8_t> effects;
};

// Everything the keyboard remembers. Sizes: config 44, lighting 126,
// keyColours 1536, layers 3 x layerStride, macroArea capacity, factoryMap 512.
struct Memories {
  std::vector<std::uint8_t> config;
  std::vector<std::uint8_t> lighting;
  std::vector<std::uint8_t> keyColours;
  std::vector<std::uint8_t> layers;
  std::vector<std::uint8_t> macroArea;
  std::vector<std::uint8_t> factoryMap;
  bool operator==(const Memories&) const = default;
};

// Faults the keyboard can be told to show. Each counts down per request.
enum class FaultKind {
  kDropReplies,      // the request is carried out, its reply is lost
  kDelayReplies,     // the reply arrives `delayMs` later than usual
  kRefuse,           // the request is refused with 0xFE and not carried out
  kGarbage,          // the request is carried out, the reply is random bytes
  kDisconnectAfter,  // after `count` more requests the keyboard unplugs
};

// What became of one request once faults are applied.
struct RequestOutcome {
  bool hasReply = false;
  Report reply{};
  std::uint32_t delayMs = 0;  // extra delay before the reply reaches the host
  bool unplugAfter = false;   // the keyboard unplugs after this request
};

class FirmwareModel {
 public:
  // Called with each consumer-interface input report (see ConsumerReport),
  // outside the memories' lock; it must not call SetInputListener.
  using InputListener = std::function<void(std::span<const std::uint8_t>)>;

  explicit FirmwareModel(const FirmwareOptions& options = {});
  FirmwareModel(const FirmwareModel&) = delete;
  FirmwareModel& operator=(const FirmwareModel&) = delete;

  const ModelInfo& Model() const { return model_; }
  std::uint32_t MacroCapacity() const { return capacity_; }

  // The keyboard's own answer to one output report: nullopt for an empty
  // report (nothing was sent), otherwise the reply. No faults applied.
  std::optional<Report> HandleRequest(std::span<const std::uint8_t> request);
  // The same with the armed faults applied (what a transport should call).
  RequestOutcome Transact(std::span<const std::uint8_t> request);

  // Memories.
  Memories Snapshot() const;
  // Replaces the memories; false (and nothing changed) when a size does not
  // match this model and capacity, or the active slot byte is 3 or more.
  bool Restore(const Memories& memories);
  // Factory contents; sends the reset event.
  void FactoryReset();
  // Counts changes to the memories (for persistence).
  std::uint64_t ChangeCount() const;

  int ActiveSlot() const;
  // As if the slot was switched on the keyboard itself: stores it and sends
  // the reset event 0x0402 (the host re-reads the active slot on it).
  // False for a slot of 3 or more.
  bool SwitchSlotOnKeyboard(int slot);

  // Consumer-interface events.
  void SetInputListener(InputListener listener);
  // Sends the usage, then a release report (usage 0).
  void RaiseEvent(std::uint16_t usage);

  // Plugged state (the transport decides what unplugged means for it).
  bool Plugged() const;
  void SetPlugged(bool plugged);

  // Faults: arm `count` requests of a kind (delayMs only for kDelayReplies;
  // for kDisconnectAfter `count` requests are answered (at least one), then
  // the model marks itself unplugged and Transact reports unplugAfter).
  // Arming a kind again replaces its count.
  void ArmFault(FaultKind kind, std::uint32_t count, std::uint32_t delayMs = 0);
  void ClearFaults();

  // Counters of acknowledged 0x01 / 0x02 requests.
  std::uint32_t BeginWriteCount() const;
  std::uint32_t EndWriteCount() const;

 private:
  struct Area {
    std::vector<std::uint8_t>* bytes;
    bool writable;
  };
  Report Execute(const std::uint8_t* request, std::size_t size);
  void LoadFactory();
  void Notify(std::uint16_t usage);

  ModelInfo model_;
  std::uint32_t capacity_;
  std::vector<std::uint8_t> effects_;
  mutable std::mutex mutex_;
  Memories mem_;
  std::uint64_t changes_ = 0;
  bool plugged_ = true;
  std::uint32_t beginWrites_ = 0;
  std::uint32_t endWrites_ = 0;
  // Faults.
  std::uint32_t dropCount_ = 0;
  std::uint32_t delayCount_ = 0;
  std::uint32_t delayMs_ = 0;
  std::uint32_t refuseCount_ = 0;
  std::uint32_t garbageCount_ = 0;
  std::uint32_t disconnectCountdown_ = 0;
  bool disconnectArmed_ = false;
  std::uint32_t garbageSeed_ = 0x2545F491u;
  std::mutex listenerMutex_;
  InputListener listener_;
};

// The consumer interface's input report for one usage:
// report id 0x01, usage LE (3 bytes).
std::array<std::uint8_t, 3> ConsumerReport(std::uint16_t usage);

}  // namespace keyloom::emulator
