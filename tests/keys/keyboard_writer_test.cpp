// The keyboard writer against the virtual keyboard, twice: in the process,
// and served by a running keyloom-vkbd over its socket, where what was
// written is checked through the server's own playback and memory dump.
#include "keys/keyboard_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/vkbd_process.h"
#include "device/commands.h"
#include "device/device_fixture.h"
#include "device/request_hook.h"
#include "device/virtual_backend.h"
#include "emulator/key_playback.h"
#include "emulator/memory_dump.h"
#include "fake_prompter.h"
#include "keys/keymap_image.h"
#include "keys/macro_image.h"
#include "keys/macro_lookups.h"
#include "test_texts.h"

namespace keyloom::keys {
namespace {

constexpr KeyCode kA = 0x1E, kB = 0x30, kCapsLock = 0x3A, kCtrl = 0x1D, kZ = 0x2C, kX = 0x2D, kC = 0x2E, kV = 0x2F,
                  kN = 0x31, kG1 = 0x200;
constexpr int kVolumeUpMedia = 6;

std::map<std::string, std::u16string, std::less<>> Texts() {
  auto texts = testing::DefaultTestTexts();
  texts["EXTRA_MACRO_TOO_LONG"] = u"too long";
  texts["EXTRA_PROFILE_SPACE_TIGHT"] = u"tight";
  return texts;
}

enum class Link { kInProcess, kServed };

// One event of the served keyboard's playback (`press --json`).
emulator::HostEvent HostEventOf(const cli::testing::JsonValue& v) {
  emulator::HostEvent e;
  e.t = static_cast<std::uint32_t>(v["t"].Int());
  if (v.Has("function")) {
    e.kind = emulator::HostEvent::Kind::kFunction;
    e.function = static_cast<std::uint8_t>(v["function"].Int());
  } else {
    e.page = static_cast<std::uint16_t>(v["page"].Int());
    e.usage = static_cast<std::uint16_t>(v["usage"].Int());
    e.down = v["down"].boolean;
  }
  return e;
}

class KeyboardWriter : public ::testing::TestWithParam<Link> {
 protected:
  void SetUp() override {
    if (GetParam() == Link::kInProcess) {
      model = std::make_unique<emulator::FirmwareModel>(device::testing::ModelOptions(0x0C45, 0x7672));
      inprocess = device::InProcessKeyboard::Create(*model);
      hooked = std::make_shared<device::testing::RequestHookBackend>(inprocess);
      link.UseBackend(hooked);
      ASSERT_TRUE(link.CommandDevice().Open(LinkPath(), true, true, true, false));
      capacity = model->MacroCapacity();
    } else {
      served = std::make_unique<cli::testing::VkbdProcess>(std::vector<std::string>{"--latency-ms", "0"});
      ASSERT_TRUE(served->Started()) << served->Error();
      hooked = std::make_shared<device::testing::RequestHookBackend>(
          device::MakeVirtualBackend(served->Socket().string()));
      link.UseBackend(hooked);
      ASSERT_TRUE(link.CommandDevice().Open(LinkPath(), true, true, true, false));
      capacity = static_cast<std::uint32_t>(served->Dump()["capacity"].Int());
      ASSERT_GT(capacity, 0u);
    }
    link.SetModelSizes(0x0C45, 0x7672);
    link.DeviceConnected.store(1);
    // As at connection: the keyboard's own default map is the reference.
    device::KeyMap factory{};
    ASSERT_EQ(device::ReadDefaultKeyMap(link, factory.data()), device::CommandResult::kOk);
    link.SetDefaultKeyMap(factory);
    stores.WriteState.macroCapacity.store(capacity);
  }
  void TearDown() override {
    link.DeviceConnected.store(0);
    link.CommandDevice().Close();
    link.UseBackend(nullptr);
    hooked.reset();
    inprocess.reset();
    model.reset();
    served.reset();
  }

  int WriteKeysAndMacros(bool allProfiles, WriteOutcome* outcome = nullptr) {
    return keys::WriteKeysAndMacros(link, stores, prompter, allProfiles, outcome);
  }
  KeyMacroStore& EditingStore() { return stores.EditingStore; }
  KeyMacroStore& DeviceStore() { return stores.DeviceStore; }
  KeyboardWriteState& WriteState() { return stores.WriteState; }
  std::atomic<bool>& RewriteAllProfiles() { return stores.RewriteAllProfiles; }

  std::string LinkPath() const { return GetParam() == Link::kInProcess ? "inproc:1" : "vkbd:1"; }

  // How the keyboard fails one request.
  enum class Fault { kRefuse, kUnplug };
  // Arms the fault just before the first request of a command (of a key
  // map write: the first chunk of `layer`'s map) reaches the keyboard.
  void FailAt(std::uint8_t command, int layer, Fault fault) {
    const std::uint32_t address = command == device::kCmdWriteKeyLayer
                                      ? static_cast<std::uint32_t>(layer) * link.DeviceTable.LayerStride.load()
                                      : 0;
    auto armed = std::make_shared<bool>(false);
    hooked->SetHook([this, command, address, fault, armed](const std::uint8_t* r, std::size_t length) {
      if (*armed || length < 7 || r[3] != command || static_cast<std::uint32_t>(r[5] | r[6] << 8) != address) return;
      *armed = true;
      if (fault == Fault::kRefuse && model) model->ArmFault(emulator::FaultKind::kRefuse, 1);
      if (fault == Fault::kRefuse && served) {
        EXPECT_EQ(served->Ctl({"fault", "refuse", "1"}).status, 0);
      }
      if (fault == Fault::kUnplug && model) inprocess->Unplug();
      if (fault == Fault::kUnplug && served) {
        EXPECT_EQ(served->Ctl({"fault", "disconnect-after", "0"}).status, 0);
      }
    });
  }
  // Back to a plugged keyboard with its factory memories, no fault armed.
  void FreshKeyboard() {
    hooked->SetHook(nullptr);
    link.CommandDevice().Close();
    if (model) {
      inprocess->Plug();
      model->ClearFaults();
      model->FactoryReset();
    } else {
      ASSERT_EQ(served->Ctl({"plug"}).status, 0);
      ASSERT_EQ(served->Ctl({"fault", "clear"}).status, 0);
      ASSERT_EQ(served->Ctl({"reset"}).status, 0);
    }
    ASSERT_TRUE(link.CommandDevice().Open(LinkPath(), true, true, true, false));
  }

  void Assign(int profile, KeyCode key, KeyKind kind, std::uint32_t value, std::uint8_t cycles = 1) {
    const int record = KeyCodeToSlot(key);
    ASSERT_EQ(StoreAssignment(EditingStore(), profile, record, MakeAssignment(record, kind, value, cycles)), 1);
  }
  void AddMacro(std::u16string name, std::uint16_t id, std::uint8_t cycles, std::vector<MacroAction> actions) {
    MacroRecord m;
    m.name = std::move(name);
    m.id = id;
    m.cycles = cycles;
    m.actions = std::move(actions);
    EditingStore().macros.push_back(std::move(m));
  }
  int PositionOf(KeyCode code) {
    const auto f = link.DefaultKeyMap();
    for (std::uint32_t d = 0; d < link.DeviceTable.KeyCount.load(); ++d) {
      if (TripleToKeyCode(f[3 * d], f[3 * d + 1], f[3 * d + 2]) == code) return static_cast<int>(d);
    }
    return -1;
  }
  std::vector<std::uint8_t> ReadLayer(int layer) {
    std::vector<std::uint8_t> map(link.DeviceTable.LayerBytes.load());
    EXPECT_EQ(device::ReadKeyLayer(link, map.data(), layer), device::CommandResult::kOk);
    return map;
  }
  // What the keyboard sends to the host for one press of the key.
  std::vector<emulator::HostEvent> Play(KeyCode key) {
    const int position = PositionOf(key);
    EXPECT_GE(position, 0) << std::hex << key;
    if (model) {
      const emulator::KeyStroke stroke{static_cast<std::uint32_t>(position), 0, 10};
      return emulator::PlayKeys(model->Snapshot(), model->Model(), std::span(&stroke, 1));
    }
    std::vector<emulator::HostEvent> events;
    for (const auto& v : served->Press({"--pos", std::to_string(position)})) events.push_back(HostEventOf(v));
    return events;
  }
  // Every memory of the keyboard, for before/after comparisons.
  std::string Memories() {
    if (model) return emulator::DumpJson(model->Model(), model->MacroCapacity(), true, model->Snapshot());
    const cli::testing::RunResult dump = served->Ctl({"dump", "--json"});
    EXPECT_EQ(dump.status, 0) << dump.err;
    return dump.out;
  }

  testing::TestTexts texts{Texts()};
  testing::FakePrompter prompter{host::Answer::Ok};
  device::ScopedCommandPause no_pause{[](std::uint32_t) {}};
  device::DeviceLink link;
  KeyStores stores;
  std::unique_ptr<emulator::FirmwareModel> model;
  std::shared_ptr<device::InProcessKeyboard> inprocess;
  std::shared_ptr<device::testing::RequestHookBackend> hooked;
  std::unique_ptr<cli::testing::VkbdProcess> served;
  std::uint32_t capacity = 0;
};

INSTANTIATE_TEST_SUITE_P(Links, KeyboardWriter, ::testing::Values(Link::kInProcess, Link::kServed),
                         [](const ::testing::TestParamInfo<Link>& info) {
                           return info.param == Link::kInProcess ? "InProcess" : "Served";
                         });

TEST_P(KeyboardWriter, KeyboardPlaysAndReadsBackWhatWasAssigned) {
  const std::vector<MacroAction> combo = {
      {100, kCtrl, kPress}, {50, kA, kPress}, {0, kA, kRelease}, {300, kCtrl, kRelease}};
  AddMacro(u"Combo", 7, 3, combo);
  AddMacro(u"Tap", 2, 1, {{10, kB, kPress}, {10, kB, kRelease}});
  Assign(0, kA, KeyKind::SingleKey, kB);
  Assign(0, kCapsLock, KeyKind::SingleKey, kCtrl);
  Assign(0, kB, KeyKind::Media, kVolumeUpMedia);
  Assign(0, kZ, KeyKind::Macro, 7, 3);
  Assign(0, kX, KeyKind::Disabled, 0);
  Assign(0, kC, KeyKind::StopMacro, 0);
  Assign(0, kV, KeyKind::Function, 3);
  Assign(0, kN, KeyKind::Macro, 99);  // no macro has it
  Assign(0, kG1, KeyKind::Macro, 2);

  ASSERT_EQ(WriteKeysAndMacros(false), 1);
  EXPECT_TRUE(prompter.requests.empty());

  auto usages = [](const std::vector<emulator::HostEvent>& events) {
    std::vector<std::tuple<std::uint16_t, std::uint16_t, bool>> out;
    for (const auto& e : events) {
      if (e.kind == emulator::HostEvent::Kind::kUsage) out.emplace_back(e.page, e.usage, e.down);
    }
    return out;
  };
  using U = std::vector<std::tuple<std::uint16_t, std::uint16_t, bool>>;
  EXPECT_EQ(usages(Play(kA)), (U{{7, 0x05, true}, {7, 0x05, false}}));
  EXPECT_EQ(usages(Play(kCapsLock)), (U{{7, 0xE0, true}, {7, 0xE0, false}}));
  EXPECT_EQ(usages(Play(kB)), (U{{12, 0xE9, true}, {12, 0xE9, false}}));
  EXPECT_TRUE(Play(kX).empty());
  U cycle = {{7, 0xE0, true}, {7, 0x04, true}, {7, 0x04, false}, {7, 0xE0, false}};
  U three;
  for (int i = 0; i < 3; ++i) three.insert(three.end(), cycle.begin(), cycle.end());
  const auto macroEvents = Play(kZ);
  EXPECT_EQ(usages(macroEvents), three);
  ASSERT_GE(macroEvents.size(), 2u);
  EXPECT_EQ(macroEvents[1].t - macroEvents[0].t, 100u);
  const auto fn = Play(kV);
  ASSERT_EQ(fn.size(), 1u);
  EXPECT_EQ(fn[0].kind, emulator::HostEvent::Kind::kFunction);
  EXPECT_EQ(fn[0].function, 3);

  const auto layer = ReadLayer(0);
  const int n = PositionOf(kN);
  EXPECT_EQ((std::vector<std::uint8_t>(layer.begin() + 3 * n, layer.begin() + 3 * n + 3)),
            (std::vector<std::uint8_t>{5, 1, 0}));
  AssignmentTable decoded{};
  const auto factory = link.DefaultKeyMap();
  DecodeKeyMap(layer, factory, link.DeviceTable.KeyCount.load(), decoded);
  struct Expect {
    KeyCode key;
    KeyKind kind;
    std::uint32_t value;
  } const expected[] = {{kA, KeyKind::SingleKey, kB},     {kCapsLock, KeyKind::SingleKey, kCtrl},
                        {kB, KeyKind::Media, kVolumeUpMedia}, {kZ, KeyKind::Macro, 1},
                        {kX, KeyKind::Disabled, 0},       {kC, KeyKind::StopMacro, 0},
                        {kV, KeyKind::Function, 3}};
  for (const Expect& e : expected) {
    EXPECT_EQ(decoded[KeyCodeToSlot(e.key)].kind, static_cast<std::uint16_t>(e.kind)) << std::hex << e.key;
    EXPECT_EQ(decoded[KeyCodeToSlot(e.key)].value, e.value) << std::hex << e.key;
  }

  std::vector<std::uint8_t> area(capacity);
  ASSERT_EQ(device::ReadMacroArea(link, area.data(), static_cast<std::uint32_t>(area.size())),
            device::CommandResult::kOk);
  std::vector<MacroRecord> macros;
  ASSERT_TRUE(DecodeMacroImage(area, macros));
  ASSERT_EQ(macros.size(), 2u);
  EXPECT_EQ(macros[0].name, u"Combo");
  EXPECT_EQ(macros[0].cycles, 3);
  EXPECT_EQ(macros[0].actions, combo);
  EXPECT_EQ(macros[1].name, u"Tap");
}

TEST_P(KeyboardWriter, CapacityDecidesBetweenNamesCompactAndRefusal) {
  // Two macros: compact size 16 + 4 + 8 + 4 * actions.
  AddMacro(u"First", 1, 1, std::vector<MacroAction>(2000, {10, kA, kPress}));
  AddMacro(u"Second", 2, 1, std::vector<MacroAction>(41, {10, kB, kRelease}));
  const MacroImageSize sizes = MacroImageSizes(EditingStore().macros);
  ASSERT_EQ(sizes.compact, 28u + 4 * 2041);
  Assign(0, kA, KeyKind::Disabled, 0);

  WriteState().macroCapacity.store(sizes.compact - 1);
  const std::string before = Memories();
  EXPECT_EQ(WriteKeysAndMacros(false), 0);
  EXPECT_EQ(Memories(), before) << "nothing is sent";
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].text, u"too long");
  EXPECT_TRUE(prompter.requests[0].topmost);

  prompter.requests.clear();
  WriteState().macroCapacity.store(sizes.compact);
  EXPECT_EQ(WriteKeysAndMacros(false), 1);
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].text, u"tight");
  std::vector<std::uint8_t> area(sizes.compact);
  ASSERT_EQ(device::ReadMacroArea(link, area.data(), sizes.compact), device::CommandResult::kOk);
  std::vector<MacroRecord> macros;
  ASSERT_TRUE(DecodeMacroImage(area, macros));
  ASSERT_EQ(macros.size(), 2u);
  EXPECT_EQ(macros[1].name, NewMacroName(2));
  EXPECT_EQ(macros[0].actions.size(), 2000u);

  // Without the second macro the names fit the keyboard's memory.
  prompter.requests.clear();
  EditingStore().macros.pop_back();
  ASSERT_LE(MacroImageSizes(EditingStore().macros).full, capacity);
  WriteState().macroCapacity.store(capacity);
  EXPECT_EQ(WriteKeysAndMacros(false), 1);
  EXPECT_TRUE(prompter.requests.empty());
}

TEST_P(KeyboardWriter, CurrentProfileLeavesOtherKeyMapsAlone) {
  Assign(0, kA, KeyKind::Function, 1);
  Assign(1, kA, KeyKind::Function, 2);
  Assign(2, kA, KeyKind::Function, 3);
  ASSERT_EQ(WriteKeysAndMacros(true), 1);
  const auto layer0 = ReadLayer(0);
  const auto layer2 = ReadLayer(2);

  Assign(0, kA, KeyKind::Disabled, 0);
  Assign(1, kA, KeyKind::StopMacro, 0);
  Assign(2, kA, KeyKind::Disabled, 0);
  WriteState().currentProfile.store(1);
  ASSERT_EQ(WriteKeysAndMacros(false), 1);
  EXPECT_EQ(ReadLayer(0), layer0);
  EXPECT_EQ(ReadLayer(2), layer2);
  const int a = PositionOf(kA);
  EXPECT_EQ(ReadLayer(1)[3 * a + 1], 2) << "stop macro";

  // The rewrite flag sends all three even for the current profile.
  RewriteAllProfiles().store(true);
  ASSERT_EQ(WriteKeysAndMacros(false), 1);
  EXPECT_EQ(ReadLayer(0)[3 * a], 0);
  EXPECT_FALSE(RewriteAllProfiles().load());
}

TEST_P(KeyboardWriter, SnapshotPacksStringsAtEvenOffsetsIntoTheEditingRecords) {
  KeyMacroStore& editing = EditingStore();
  Assign(0, kA, KeyKind::LaunchProgram, 0);
  Assign(0, kB, KeyKind::TextBlock, 0);
  Assign(2, kZ, KeyKind::TextBlock, 0);
  editing.SetString(StringSlotIndex(0, KeyCodeToSlot(kA)), u"run");
  editing.SetString(StringSlotIndex(0, KeyCodeToSlot(kB)), u"hello");
  editing.SetString(StringSlotIndex(2, KeyCodeToSlot(kZ)), u"z");
  const KeyTableBlock copied = editing.block;
  AddMacro(u"m", 1, 1, {{10, kA, kPress}});

  ASSERT_TRUE(SnapshotIntoDeviceStore(editing, DeviceStore(), stores.DeviceStringBlob));
  // Record order: profile 0 slot of A (0x1E), slot of B (0x30), then profile 2.
  const std::uint32_t offsets[] = {editing.block.tables[0][KeyCodeToSlot(kA)].value,
                                   editing.block.tables[0][KeyCodeToSlot(kB)].value,
                                   editing.block.tables[2][KeyCodeToSlot(kZ)].value};
  EXPECT_EQ(offsets[0], 0u);
  EXPECT_EQ(offsets[1], 8u);
  EXPECT_EQ(offsets[2], 20u);
  const auto& blob = stores.DeviceStringBlob;
  ASSERT_EQ(blob.size(), editing.totalStringSize);
  EXPECT_EQ(blob[8], 'h');
  EXPECT_EQ(blob[20], 'z');
  EXPECT_EQ(blob[22], 0);
  // The device store keeps the block as it was copied, and the macros.
  EXPECT_EQ(DeviceStore().block.tables[0][KeyCodeToSlot(kB)].value, copied.tables[0][KeyCodeToSlot(kB)].value);
  EXPECT_EQ(DeviceStore().macros, editing.macros);
  // Its file header counts the macros and the string pool.
  const auto& h = DeviceStore().block.headers;
  EXPECT_EQ(h[0] | h[1] << 8, 0x5250);
  EXPECT_EQ(h[14] | h[15] << 8, 1);
  EXPECT_EQ(h[16] | h[17] << 8, static_cast<int>(editing.totalStringSize));
  const std::uint32_t content = h[8] | h[9] << 8 | h[10] << 16 | h[11] << 24;
  EXPECT_EQ(content, 0x8040u + 0x7F00u + editing.totalStringSize);
  std::uint8_t sum = 0;
  for (int i = 0; i < 31; ++i) sum = static_cast<std::uint8_t>(sum + h[i]);
  EXPECT_EQ(h[31], sum);
}

TEST_P(KeyboardWriter, RefusedMacroTransferFailsTheWriteAndStillSendsTheKeyMaps) {
  // Believe in more macro memory than the keyboard has: its macro writes past
  // the end are refused, and the key maps still go.
  WriteState().macroCapacity.store(4 * capacity);
  AddMacro(u"big", 1, 1, std::vector<MacroAction>(capacity / 4, {10, kA, kPress}));
  Assign(0, kA, KeyKind::Function, 4);
  WriteOutcome outcome;
  EXPECT_EQ(WriteKeysAndMacros(false, &outcome), 0);
  EXPECT_NE(outcome.macroArea, device::CommandResult::kOk);
  EXPECT_EQ(outcome.keyMaps[0], device::CommandResult::kOk);
  EXPECT_EQ(outcome.end, device::CommandResult::kOk);
  EXPECT_EQ(ReadLayer(0)[3 * PositionOf(kA) + 2], 4);
}

// The steps of a write that did not reach the keyboard, in sending order.
std::string FailedSteps(const WriteOutcome& o) {
  std::string out;
  auto add = [&out](bool failed, const std::string& name) {
    if (failed) out += (out.empty() ? "" : " ") + name;
  };
  constexpr device::CommandResult kOk = device::CommandResult::kOk;
  add(o.begin != kOk, "begin");
  add(o.macroArea != kOk, "macros");
  for (int p = 0; p < 3; ++p) add(o.keyMapSent[p] && o.keyMaps[p] != kOk, "slot" + std::to_string(p));
  add(o.end != kOk, "end");
  return out;
}

TEST_P(KeyboardWriter, AWriteSucceedsOnlyWhenEveryStepReachedTheKeyboard) {
  AddMacro(u"New", 1, 1, {{10, kB, kPress}, {10, kB, kRelease}});
  for (int p = 0; p < 3; ++p) Assign(p, kA, KeyKind::Function, static_cast<std::uint32_t>(p + 1));
  const int a = PositionOf(kA);
  const auto factory = link.DefaultKeyMap();
  constexpr std::uint8_t kBegin = device::kCmdBeginWrite, kEnd = device::kCmdEndWrite,
                         kMacros = device::kCmdWriteMacroArea, kLayer = device::kCmdWriteKeyLayer;
  struct Case {
    const char* name;
    std::uint8_t command;
    int layer;
    Fault fault;
    std::string failed;  // FailedSteps
  } const cases[] = {
      {"begin refused", kBegin, 0, Fault::kRefuse, "begin"},
      {"macro area refused", kMacros, 0, Fault::kRefuse, "macros"},
      {"slot 0 refused", kLayer, 0, Fault::kRefuse, "slot0"},
      {"slot 1 refused", kLayer, 1, Fault::kRefuse, "slot1"},
      {"slot 2 refused", kLayer, 2, Fault::kRefuse, "slot2"},
      {"end refused", kEnd, 0, Fault::kRefuse, "end"},
      {"unplugged at the macro area", kMacros, 0, Fault::kUnplug, "macros slot0 slot1 slot2 end"},
      {"unplugged at slot 1", kLayer, 1, Fault::kUnplug, "slot1 slot2 end"},
      {"unplugged at the end", kEnd, 0, Fault::kUnplug, "end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FreshKeyboard();
    prompter.requests.clear();
    FailAt(c.command, c.layer, c.fault);
    WriteOutcome outcome;
    EXPECT_EQ(WriteKeysAndMacros(true, &outcome), 0);
    EXPECT_TRUE(outcome.sent);
    EXPECT_FALSE(outcome.Complete());
    EXPECT_EQ(FailedSteps(outcome), c.failed);

    // What the keyboard holds: every step but the failed ones took effect.
    hooked->SetHook(nullptr);
    if (c.fault == Fault::kUnplug) {
      if (model) inprocess->Plug();
      else ASSERT_EQ(served->Ctl({"plug"}).status, 0);
      link.CommandDevice().Close();
      ASSERT_TRUE(link.CommandDevice().Open(LinkPath(), true, true, true, false));
    }
    for (int p = 0; p < 3; ++p) {
      const auto layer = ReadLayer(p);
      const bool failed = c.failed.find("slot" + std::to_string(p)) != std::string::npos;
      const std::vector<std::uint8_t> expected =
          failed ? std::vector<std::uint8_t>(factory.begin() + 3 * a, factory.begin() + 3 * a + 3)
                 : std::vector<std::uint8_t>{5, 5, static_cast<std::uint8_t>(p + 1)};
      EXPECT_EQ(std::vector<std::uint8_t>(layer.begin() + 3 * a, layer.begin() + 3 * a + 3), expected) << p;
    }
    std::vector<std::uint8_t> area(capacity);
    ASSERT_EQ(device::ReadMacroArea(link, area.data(), capacity), device::CommandResult::kOk);
    std::vector<MacroRecord> macros;
    const bool decoded = DecodeMacroImage(area, macros);
    EXPECT_EQ(decoded && macros.size() == 1 && macros[0].name == u"New",
              c.failed.find("macros") == std::string::npos);
  }
  // With nothing failing, the same write succeeds.
  FreshKeyboard();
  WriteOutcome outcome;
  EXPECT_EQ(WriteKeysAndMacros(true, &outcome), 1);
  EXPECT_TRUE(outcome.Complete());
  EXPECT_EQ(FailedSteps(outcome), "");
}

TEST_P(KeyboardWriter, DisconnectedKeyboardGivesZero) {
  link.DeviceConnected.store(0);
  link.CommandDevice().Close();
  EXPECT_EQ(WriteKeysAndMacros(true), 0);
}

}  // namespace
}  // namespace keyloom::keys
