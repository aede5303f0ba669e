// Playback of hand-built key maps and macro images.
#include "emulator/key_playback.h"

#include <gtest/gtest.h>

#include "emulator/factory_memory.h"

namespace keyloom::emulator {
namespace {

struct Action {
  bool press;
  std::uint16_t pauseMs;
  std::uint8_t type;  // 0, 2, 3, 4
  std::uint8_t d0, d1;
};

struct Macro {
  std::uint8_t cycles;
  std::vector<Action> actions;
};

// A compact macro image, as the host builds it.
std::vector<std::uint8_t> MacroImage(const std::vector<Macro>& macros) {
  std::vector<std::uint8_t> img(16 + 2 * macros.size(), 0);
  auto put16 = [&](std::size_t at, std::uint16_t v) {
    img[at] = static_cast<std::uint8_t>(v);
    img[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  for (std::size_t i = 0; i < macros.size(); ++i) {
    put16(16 + 2 * i, static_cast<std::uint16_t>(img.size()));
    const auto& m = macros[i];
    img.push_back(static_cast<std::uint8_t>(m.actions.size()));
    img.push_back(static_cast<std::uint8_t>(m.actions.size() >> 8));
    img.push_back(m.cycles);
    img.push_back(0);
    for (const auto& a : m.actions) {
      std::uint16_t control = static_cast<std::uint16_t>(((a.pauseMs / 10) & 0xFFF) | (a.type << 12) |
                                                         (a.press ? 0x8000 : 0));
      img.push_back(static_cast<std::uint8_t>(control));
      img.push_back(static_cast<std::uint8_t>(control >> 8));
      img.push_back(a.d0);
      img.push_back(a.d1);
    }
  }
  put16(0, 0x55AA);
  put16(2, static_cast<std::uint16_t>(img.size()));
  put16(4, static_cast<std::uint16_t>(macros.size()));
  return img;
}

class Playback : public ::testing::Test {
 protected:
  Playback() : model(*FindModel(0x0C45, 0x7672)), mem(FactoryMemories(model, 8192, FactoryEffects())) {}
  void SetTriple(std::size_t slot, std::size_t pos, std::uint8_t t, std::uint8_t s, std::uint8_t a) {
    const std::size_t at = slot * model.layerStride + 3 * pos;
    mem.layers[at] = t;
    mem.layers[at + 1] = s;
    mem.layers[at + 2] = a;
  }
  void SetImage(const std::vector<std::uint8_t>& img) { std::copy(img.begin(), img.end(), mem.macroArea.begin()); }
  std::vector<HostEvent> Press(std::uint32_t pos) {
    KeyStroke s{pos, 0, 10};
    return PlayKeys(mem, model, {&s, 1});
  }
  static HostEvent U(std::uint32_t t, std::uint16_t page, std::uint16_t usage, bool down) {
    HostEvent e;
    e.t = t;
    e.page = page;
    e.usage = usage;
    e.down = down;
    return e;
  }
  ModelInfo model;
  Memories mem;
};

TEST_F(Playback, SingleTriples) {
  struct Case {
    const char* name;
    std::array<std::uint8_t, 3> triple;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> keys;  // page, usage
  };
  const Case cases[] = {
      {"letter", {0x02, 0x02, 0x04}, {{7, 0x04}}},
      {"modifier Alt", {0x02, 0x01, 0x04}, {{7, 0xE2}}},
      {"modifier Right Win", {0x02, 0x01, 0x80}, {{7, 0xE7}}},
      {"consumer triple", {0x03, 0xE9, 0x00}, {{12, 0x00E9}}},
      {"consumer 16-bit", {0x03, 0x23, 0x02}, {{12, 0x0223}}},
      {"system triple", {0x04, 0x82, 0x00}, {{1, 0x82}}},
      {"own code V+", {0x02, 0x02, 0xC0}, {{12, 0x00E9}}},
      {"own code Prev Track", {0x02, 0x02, 0xD0}, {{12, 0x00B6}}},
      {"own code without usage", {0x02, 0x02, 0xD3}, {}},
      {"own code power", {0x02, 0x02, 0x81}, {{1, 0x81}}},
      {"key usage 0", {0x02, 0x02, 0x00}, {}},
      {"disabled", {0x00, 0x00, 0x00}, {}},
      {"consumer 0", {0x03, 0x00, 0x00}, {}},
      {"unknown type", {0x09, 0x01, 0x01}, {}},
  };
  for (const auto& c : cases) {
    SetTriple(0, 19, c.triple[0], c.triple[1], c.triple[2]);
    std::vector<HostEvent> want;
    for (const auto& k : c.keys) want.push_back(U(0, k.first, k.second, true));
    for (const auto& k : c.keys) want.push_back(U(10, k.first, k.second, false));
    EXPECT_EQ(Press(19), want) << c.name;
  }
}

TEST_F(Playback, FactoryMapKeys) {
  // Position 19 is A, 13 left Ctrl (bit 0x01), 112 a consumer key.
  EXPECT_EQ(Press(19), (std::vector<HostEvent>{U(0, 7, 0x04, true), U(10, 7, 0x04, false)}));
  EXPECT_EQ(Press(13), (std::vector<HostEvent>{U(0, 7, 0xE0, true), U(10, 7, 0xE0, false)}));
  EXPECT_EQ(Press(112), (std::vector<HostEvent>{U(0, 12, 0xB6, true), U(10, 12, 0xB6, false)}));
  EXPECT_EQ(FindFactoryPosition(mem, model, 0x04), 19);
  EXPECT_EQ(FindFactoryPosition(mem, model, 0xE0), 13);
  EXPECT_EQ(FindFactoryPosition(mem, model, 0x00), -1);
  EXPECT_EQ(FindFactoryPosition(mem, model, 0x87), -1) << "only the other model has 0x87";
}

TEST_F(Playback, FunctionsAndRawFirmwareTriples) {
  SetTriple(0, 20, 0x05, 0x05, 3);
  auto ev = Press(20);
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].kind, HostEvent::Kind::kFunction);
  EXPECT_EQ(HostEventJson(ev[0]), "{\"t\": 0, \"function\": 3}");
  // The factory 05 00 00 keys and G keys are functions the host cannot name.
  ev = Press(0);
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(HostEventJson(ev[0]), "{\"t\": 0, \"function\": 0, \"triple\": \"050000\"}");
  SetTriple(0, 20, 0x06, 0xA2, 4);
  ev = Press(20);
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(HostEventJson(ev[0]), "{\"t\": 0, \"function\": 4, \"triple\": \"06a204\"}");
}

TEST_F(Playback, UsesTheActiveSlotsLayer) {
  SetTriple(1, 19, 0x02, 0x02, 0x05);
  EXPECT_EQ(Press(19)[0].usage, 0x04);
  mem.config[kConfigActiveSlot] = 1;
  EXPECT_EQ(Press(19)[0].usage, 0x05);
  EXPECT_TRUE(Press(126).empty()) << "position past the key count";
}

TEST_F(Playback, MacroWithThreeCyclesAndPauses) {
  // Shift down, B down (pause 20), B up (pause 30), Shift up (pause 0), three
  // times; the second macro (index 1) is the one assigned.
  SetImage(MacroImage({
      {1, {{true, 0, 2, 0x02, 0x05}}},
      {3,
       {{true, 0, 2, 0x01, 0x02},
        {true, 20, 2, 0x02, 0x05},
        {false, 30, 2, 0x02, 0x05},
        {false, 0, 2, 0x01, 0x02}}},
  }));
  SetTriple(0, 19, 0x05, 0x01, 1);
  std::vector<HostEvent> want;
  for (std::uint32_t c = 0; c < 3; ++c) {
    const std::uint32_t t = 50 * c;
    want.push_back(U(t, 7, 0xE1, true));
    want.push_back(U(t, 7, 0x05, true));
    want.push_back(U(t + 20, 7, 0x05, false));
    want.push_back(U(t + 50, 7, 0xE1, false));
  }
  EXPECT_EQ(Press(19), want);
}

TEST_F(Playback, MacroActionTypes) {
  SetImage(MacroImage({{1,
                        {{true, 100, 3, 0xE2, 0x00},   // consumer Mute
                         {false, 0, 3, 0xE2, 0x00},
                         {true, 40950, 0, 0, 0},       // no usage, pause still counts
                         {true, 0, 4, 0x82, 0x00},     // system Sleep
                         {false, 0, 4, 0x82, 0x00},
                         {true, 0, 2, 0x02, 0xC1},     // own code V-
                         {false, 0, 2, 0x02, 0xC1}}}}));
  SetTriple(0, 19, 0x05, 0x01, 0);
  EXPECT_EQ(Press(19), (std::vector<HostEvent>{U(0, 12, 0xE2, true), U(100, 12, 0xE2, false),
                                                U(41050, 1, 0x82, true), U(41050, 1, 0x82, false),
                                                U(41050, 12, 0xEA, true), U(41050, 12, 0xEA, false)}));
}

TEST_F(Playback, StopMacroCutsAndReleases) {
  SetImage(MacroImage({{5, {{true, 30, 2, 0x02, 0x04}, {false, 30, 2, 0x02, 0x04}}}}));
  SetTriple(0, 19, 0x05, 0x01, 0);
  SetTriple(0, 20, 0x05, 0x02, 0x00);
  const KeyStroke strokes[] = {{20, 75, 10}, {19, 0, 10}};  // given out of order
  EXPECT_EQ(PlayKeys(mem, model, strokes),
            (std::vector<HostEvent>{U(0, 7, 0x04, true), U(30, 7, 0x04, false), U(60, 7, 0x04, true),
                                    U(75, 7, 0x04, false)}));
  // Stop with nothing playing sends nothing.
  EXPECT_TRUE(Press(20).empty());
}

TEST_F(Playback, MacroLeavingKeyDownIsReleasedAtItsEnd) {
  SetImage(MacroImage({{1, {{true, 0, 2, 0x02, 0x04}, {true, 25, 2, 0x02, 0x05}}}}));
  SetTriple(0, 19, 0x05, 0x01, 0);
  auto ev = Press(19);
  ASSERT_EQ(ev.size(), 4u);
  EXPECT_EQ(ev[2], U(0, 7, 0x04, false));
  EXPECT_EQ(ev[3], U(0, 7, 0x05, false));
  // A stop after the macro ended changes nothing.
  SetTriple(0, 20, 0x05, 0x02, 0x00);
  const KeyStroke strokes[] = {{19, 0, 10}, {20, 500, 10}};
  EXPECT_EQ(PlayKeys(mem, model, strokes), ev);
}

TEST_F(Playback, BrokenMacroImagesPlayNothing) {
  const auto good = MacroImage({{1, {{true, 0, 2, 0x02, 0x04}, {false, 0, 2, 0x02, 0x04}}}});
  SetTriple(0, 19, 0x05, 0x01, 0);
  struct Case {
    const char* name;
    std::size_t at;
    std::uint8_t value;
  };
  const Case cases[] = {
      {"no magic", 0, 0x00},
      {"count 0", 4, 0},
      {"block offset past image", 16, 0xF0},
      {"action count past image", 18, 9},
      {"image size too small", 2, 10},
  };
  for (const auto& c : cases) {
    auto img = good;
    img[c.at] = c.value;
    std::fill(mem.macroArea.begin(), mem.macroArea.end(), 0);
    SetImage(img);
    EXPECT_TRUE(Press(19).empty()) << c.name;
  }
  // Macro index past the count.
  std::fill(mem.macroArea.begin(), mem.macroArea.end(), 0);
  SetImage(good);
  SetTriple(0, 19, 0x05, 0x01, 1);
  EXPECT_TRUE(Press(19).empty());
  // An image that claims more than the area holds is cut at the area.
  SetTriple(0, 19, 0x05, 0x01, 0);
  mem.macroArea.resize(20);
  EXPECT_TRUE(Press(19).empty());
}

TEST(HostEventJson, UsageFormat) {
  HostEvent e;
  e.t = 120;
  e.page = 12;
  e.usage = 233;
  e.down = false;
  EXPECT_EQ(HostEventJson(e), "{\"t\": 120, \"page\": 12, \"usage\": 233, \"down\": false}");
}

}  // namespace
}  // namespace keyloom::emulator
