#include "lighting/preview_engine.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <vector>

#include "keys/key_catalogue.h"
#include "lighting/preview_overlays.h"
#include "lighting/preview_tables.h"

namespace keyloom::lighting::preview {
namespace {

class FakeClock final : public PreviewClock {
 public:
  std::int64_t Seconds() override { return seconds; }
  std::int64_t seconds = 1000;
};

constexpr Colour kMain = MakeColour(200, 100, 50);

PreviewInput Input(int effect, bool colourful, int direction = 255, Colour main = kMain) {
  PreviewInput in;
  in.effect = effect;
  in.colourful = colourful;
  in.direction = direction;
  in.main_colour = main;
  return in;
}

struct Fixture {
  FakeClock clock;
  LcgPreviewRandom random;
  PreviewEngine engine{clock, random};
  KeyOverlayTable keys;

  void Tick(const PreviewInput& in, int times = 1) {
    for (int i = 0; i < times; ++i) engine.Tick(in, true, keys);
  }
  Colour ColourOf(int id) const { return keys.Find(id)->colour; }
  bool On(int id) const { return keys.Find(id)->on; }
};

TEST(PreviewInput, FilledFromTheCurrentLightingValues) {
  LightingState state;
  state.effect = 12;
  state.direction = 255;
  state.colourful = true;
  state.main_colour = kMain;
  const PreviewInput in = PreviewInputFrom(state);
  EXPECT_EQ(in.effect, 12);
  EXPECT_EQ(in.direction, 255);
  EXPECT_TRUE(in.colourful);
  EXPECT_EQ(in.main_colour, kMain);
}

TEST(PreviewEngine, EffectFourBackwardsFromPhaseZero) {
  Fixture f;
  f.Tick(Input(4, true, 0));
  EXPECT_EQ(f.engine.Phase(4), 190);
  // Phase 190 shows wheel entry 10 on every ordinary key.
  for (const keys::PanelOrderKey& key : keys::PanelOrderKeys()) {
    EXPECT_TRUE(f.On(key.controlId));
    EXPECT_EQ(f.ColourOf(key.controlId), MakeColour(255, 38, 0)) << key.controlId;
  }
  f.Tick(Input(4, true, 255));
  EXPECT_EQ(f.engine.Phase(4), 0);
}

TEST(PreviewEngine, EffectEighteenBackwardsContinuesAt190) {
  Fixture f;
  f.Tick(Input(18, true, 0));
  EXPECT_EQ(f.engine.Phase(18), 190);
  f.Tick(Input(18, true, 0));
  EXPECT_EQ(f.engine.Phase(18), 188);
  // Ring 0 (the O key) at 188 + 21: wheel entry (209 + 12) mod 192 = 29.
  EXPECT_EQ(f.ColourOf(1052), WheelEntry(29));
  // Ring 11 at 188 + 252.
  EXPECT_EQ(f.ColourOf(1107), WheelAtPhase(188 + 252));
  f.engine.SetPhase(18, 191);
  f.Tick(Input(18, true, 255));
  EXPECT_EQ(f.engine.Phase(18), 1);
}

TEST(PreviewEngine, EffectSixIsAStillRainbow) {
  Fixture f;
  f.Tick(Input(6, true));
  const KeyOverlayTable first = f.keys;
  // Column c shows wheel entry 9c + 12; column 22 starts again at 0.
  struct Case {
    int id, column;
  };
  const Case cases[] = {{1082, 0}, {1022, 1}, {1010, 3}, {1052, 10}, {1093, 18}, {1106, 21}};
  for (const Case& c : cases) EXPECT_EQ(f.ColourOf(c.id), WheelEntry(9 * c.column + 12)) << c.id;
  EXPECT_EQ(f.ColourOf(1107), WheelEntry(12));  // column 22
  EXPECT_EQ(f.ColourOf(1022), MakeColour(255, 129, 0));  // entry 21
  f.Tick(Input(6, true), 5);
  for (const KeyOverlay& o : f.keys.Overlays()) EXPECT_EQ(f.keys.Find(o.id)->colour, first.Find(o.id)->colour);

  f.Tick(Input(6, false));
  for (const keys::PanelOrderKey& key : keys::PanelOrderKeys())
    EXPECT_EQ(f.ColourOf(key.controlId), kMain) << key.controlId;
}

// One tick of a phase effect from a set phase: the new phase and the colour
// of one probe key.
TEST(PreviewEngine, PhaseEffectsOneTick) {
  struct Case {
    const char* what;
    int effect;
    bool colourful;
    int direction;
    int start, phase;
    int probe;
    Colour colour;
  };
  const Case cases[] = {
      {"1 wheel", 1, true, 255, 0, 9, 1010, WheelAtPhase(9 + 27)},
      {"1 wheel back", 1, true, 0, 3, 186, 1082, WheelAtPhase(186)},
      {"1 curve A back", 1, false, 0, 0, 89, 1010, ScaleColour(kMain, CurveA(110))},
      {"2 wheel", 2, true, 255, 188, 0, 1010, WheelAtPhase(15)},
      {"2 curve B forwards", 2, false, 255, 126, 2, 1010, ScaleColour(kMain, 248)},
      {"2 curve B runs on forwards", 2, false, 0, 126, 2, 1082, ScaleColour(kMain, 8)},
      {"2 curve B direction 0", 2, false, 0, 126, 2, 1010, 0},
      {"3 snake wheel", 3, true, 255, 0, 4, 1091, WheelAtPhase(14)},
      {"3 snake curve A back", 3, false, 0, 0, 92, 1092, ScaleColour(kMain, 24)},
      {"5 colourful", 5, true, 0, 127, 1, 1010, ScaleColour(WheelAtPhase(21), 3)},
      {"5 single", 5, false, 255, 61, 63, 1010, kMain},
      {"5 single falling", 5, false, 255, 125, 127, 1010, ScaleColour(kMain, 3)},
      {"12 rows back", 12, true, 0, 1, 190, 1052, WheelAtPhase(190 + 64)},
  };
  for (const Case& c : cases) {
    Fixture f;
    f.engine.SetPhase(c.effect, c.start);
    f.Tick(Input(c.effect, c.colourful, c.direction));
    EXPECT_EQ(f.engine.Phase(c.effect), c.phase) << c.what;
    EXPECT_EQ(f.ColourOf(c.probe), c.colour) << c.what;
    EXPECT_TRUE(f.On(c.probe)) << c.what;
  }
}

TEST(PreviewEngine, EffectElevenStartsEachSnakeKeyAtItsOwnPhase) {
  Fixture f;
  f.Tick(Input(11, true));
  const auto& snake = SnakeOrder();
  EXPECT_EQ(f.ColourOf(snake[0]), WheelAtPhase(36));
  EXPECT_EQ(f.ColourOf(snake[5]), WheelAtPhase(9));  // 6 x 33 = 198, minus 192
  f.Tick(Input(11, true), 62);                        // 63 ticks: 33 + 189 = 222 -> 30
  EXPECT_EQ(f.ColourOf(snake[0]), WheelAtPhase(30));
}

TEST(PreviewEngine, AClosedPanelChangesNoKey) {
  for (int effect = -1; effect <= 21; ++effect) {
    Fixture f;
    f.keys.ShowKeyColour(1052, kMain);
    f.engine.SetPhase(4, 7);
    for (int i = 0; i < 3; ++i) f.engine.Tick(Input(effect, true), false, f.keys);
    for (const KeyOverlay& o : f.keys.Overlays()) {
      EXPECT_EQ(o.on, o.id == 1052) << effect << " " << o.id;
      EXPECT_EQ(o.colour, o.id == 1052 ? kMain : 0u) << effect << " " << o.id;
    }
    if (effect >= 0 && effect <= 20) {
      EXPECT_EQ(f.engine.Phase(effect), effect == 4 ? 7 : 0);
    }
    // No restart either: the buffers keep their values.
    EXPECT_EQ(f.engine.Set(0).Column(9), 0);
  }
}

TEST(PreviewEngine, EffectsWithoutPreviewClearTheKeys) {
  for (int effect : {0, 7, 8, 9, 17, 19, 21, 255, -3}) {
    Fixture f;
    f.Tick(Input(4, true));
    f.Tick(Input(effect, true));
    for (const KeyOverlay& o : f.keys.Overlays()) {
      EXPECT_FALSE(o.on) << effect << " " << o.id;
      EXPECT_EQ(o.colour, 0u);
    }
  }
}

TEST(PreviewEngine, EffectTwentyKeepsTheKeysAsTheyAre) {
  Fixture f;
  f.keys.ShowKeyColour(1052, kMain);
  f.Tick(Input(20, true), 3);
  EXPECT_EQ(f.ColourOf(1052), kMain);
  EXPECT_FALSE(f.On(1022));
}

TEST(PreviewEngine, RestartResetsItsBuffersOncePerEffectChange) {
  Fixture f;
  for (int i : {0, 1, 2, 3}) {
    f.engine.Pair(i).brightness[5] = 77;
    f.engine.Set(i).plane[2][4] = 0x08;
  }
  f.Tick(Input(20, true));  // a step that touches no buffer
  EXPECT_EQ(f.engine.Pair(0).brightness[5], 0);
  EXPECT_EQ(f.engine.Pair(3).brightness[5], 0);
  EXPECT_EQ(f.engine.Pair(1).brightness[5], 77);
  EXPECT_EQ(f.engine.Pair(2).brightness[5], 77);
  EXPECT_EQ(f.engine.Set(0).Column(4), 0);
  EXPECT_EQ(f.engine.Set(3).Column(4), 0);
  EXPECT_EQ(f.engine.Set(1).Column(4), 0x08);
  EXPECT_EQ(f.engine.Set(2).Column(4), 0x08);
  for (const auto& p : f.engine.Set(0).plane) EXPECT_EQ(p[9], 0x40);
  for (const auto& p : f.engine.Set(3).plane) EXPECT_EQ(p[1], 0x01);

  // No second reset until the effect changes again.
  f.engine.Pair(0).brightness[5] = 77;
  f.Tick(Input(20, true));
  EXPECT_EQ(f.engine.Pair(0).brightness[5], 77);
  f.engine.RequestRestart();
  f.Tick(Input(20, true));
  EXPECT_EQ(f.engine.Pair(0).brightness[5], 0);
}

TEST(PreviewEngine, PhasesSurviveAnEffectChange) {
  Fixture f;
  f.Tick(Input(4, true), 3);
  f.engine.RequestRestart();
  f.Tick(Input(12, true));
  f.engine.RequestRestart();
  f.Tick(Input(4, true));
  EXPECT_EQ(f.engine.Phase(4), 8);
}

// A sink that runs the preview again from inside a step, as a repaint that
// dispatches the timer message would.
class ReenteringSink final : public KeyOverlaySink {
 public:
  std::function<void()> on_show;
  int shown = 0;
  void ShowKeyColour(int, Colour) override {
    ++shown;
    if (on_show) on_show();
  }
  void ClearKeyColours() override {}
};

TEST(PreviewEngine, AStepDoesNotRunAgainFromInsideItself) {
  FakeClock clock;
  LcgPreviewRandom random;
  PreviewEngine engine(clock, random);
  ReenteringSink sink;
  int nested = 0;
  sink.on_show = [&] {
    if (nested++ < 3) engine.Tick(Input(4, true), true, sink);
  };
  engine.Tick(Input(4, true), true, sink);
  EXPECT_EQ(engine.Phase(4), 2);  // advanced once
  EXPECT_EQ(sink.shown, 105);

  // Another effect's step may still run inside it.
  sink.shown = 0;
  nested = 0;
  sink.on_show = [&] {
    if (nested++ < 1) engine.Tick(Input(12, true), true, sink);
  };
  engine.Tick(Input(4, true), true, sink);
  EXPECT_EQ(engine.Phase(4), 4);
  EXPECT_EQ(engine.Phase(12), 3);
  sink.on_show = nullptr;
  engine.Tick(Input(4, true), true, sink);
  EXPECT_EQ(engine.Phase(4), 6);  // the flag is clear again afterwards
}

TEST(PreviewEngine, TwinkleLightsThreeKeysPerTickAndWraps) {
  Fixture f;
  f.Tick(Input(10, false));
  EXPECT_EQ(f.engine.TwinkleCounter(), 3);
  const auto& seq = TwinkleSequence();
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(f.engine.Pair(0).brightness[KeyPosition(seq[i])], 235) << i;
    EXPECT_EQ(f.ColourOf(seq[i]), ScaleColour(kMain, 235));
  }
  EXPECT_EQ(f.engine.Pair(0).brightness[KeyPosition(seq[0])], 0);
  f.Tick(Input(10, false), 34);  // 105 increments: 103, 104, then 0
  EXPECT_EQ(f.engine.TwinkleCounter(), 0);
  EXPECT_EQ(f.engine.Pair(0).brightness[KeyPosition(seq[0])], 235);
}

TEST(PreviewEngine, RandomHuesRepeatWithinASecond) {
  auto run = [](std::int64_t second) {
    Fixture f;
    f.clock.seconds = second;
    f.Tick(Input(10, true));
    return f.engine.Pair(0).hue;
  };
  EXPECT_EQ(run(5000), run(5000));
  EXPECT_NE(run(5000), run(5001));

  // Same seconds, same draws: every tick of one second lights the same hues.
  Fixture f;
  f.Tick(Input(10, true));
  const auto& seq = TwinkleSequence();
  const std::uint8_t first = f.engine.Pair(0).hue[KeyPosition(seq[1])];
  f.Tick(Input(10, true));
  EXPECT_EQ(f.engine.Pair(0).hue[KeyPosition(seq[4])], first);
}

TEST(PreviewEngine, RainSeedsThreeColumnsAndFalls) {
  Fixture f;
  f.Tick(Input(15, false));
  EXPECT_EQ(f.engine.RainColumn(), 16);  // 0 + 7, then + 3 three times
  // Columns 10, 13, 16 of row 0: F7, F10, Print Screen.
  for (int id : {1023, 1026, 1091}) EXPECT_EQ(f.ColourOf(id), ScaleColour(kMain, 235)) << id;
  EXPECT_EQ(f.ColourOf(1010), 0u);
  // The seeds have fallen one row in P2 and P3 and left P0 and P1.
  const WavePlanes& set = f.engine.Set(0);
  EXPECT_EQ(set.plane[2][10], 0x02);
  EXPECT_EQ(set.plane[0][10], 0x00);
  f.Tick(Input(15, false));
  EXPECT_EQ(f.engine.Pair(0).brightness[KeyPosition(1038)], 235);  // 9, row 1 column 10
}

TEST(PreviewEngine, RipplesReseedTheirSources) {
  Fixture f;
  f.Tick(Input(16, true), 40);
  // After the front has left, the corner sources carry on: a lit key stays.
  int lit = 0;
  for (int p = 0; p < 126; ++p) lit += f.engine.Pair(3).brightness[p] != 0;
  EXPECT_GT(lit, 0);

  Fixture g;
  g.Tick(Input(13, true));
  // The first run seeds column 9 off the grid (bit 6); after the seed has
  // spread down to row 5, the P key area has been lit.
  g.Tick(Input(13, true), 8);
  int lit13 = 0;
  for (int p = 0; p < 126; ++p) lit13 += g.engine.Pair(2).brightness[p] != 0;
  EXPECT_GT(lit13, 0);
}

TEST(PreviewEngine, DemonstrationRunsThroughItsStagesAndStartsAgain) {
  Fixture f;
  f.Tick(Input(14, true), 20);
  EXPECT_EQ(f.engine.Demo().stage, 1);
  EXPECT_EQ(f.engine.Demo().step, 0);
  // Sweep row 0 was lit 20 ticks ago with the larger fade steps.
  f.Tick(Input(14, true), 31);
  EXPECT_EQ(f.engine.Demo().stage, 1);
  EXPECT_EQ(f.engine.Demo().step, 31);
  std::vector<int> stages;
  for (int i = 0; i < 400 && !(stages.size() > 3 && f.engine.Demo().stage == 0); ++i) {
    f.Tick(Input(14, true));
    if (stages.empty() || stages.back() != f.engine.Demo().stage) stages.push_back(f.engine.Demo().stage);
  }
  EXPECT_EQ(stages, (std::vector<int>{1, 2, 3, 4, 0}));
}

TEST(PreviewEngine, DemonstrationUsesTheLargerFadeSteps) {
  Fixture f;
  f.Tick(Input(14, false));
  // Sweep row 0: Esc and Num Enter, lit then faded once by 30.
  EXPECT_EQ(f.engine.Pair(1).brightness[KeyPosition(1022)], 225);
  EXPECT_EQ(f.ColourOf(1118), ScaleColour(kMain, 225));
}

}  // namespace
}  // namespace keyloom::lighting::preview

namespace keyloom::lighting::preview {
namespace {

// Long runs of every effect in every mode, switching modes mid-run (a phase
// of the 192-step wheel then walks a 96- or 128-entry curve): in one colour
// no key is ever shown brighter than the main colour, and nothing reads
// outside its table (checked by the sanitizer build).
class RecordingSink final : public KeyOverlaySink {
 public:
  std::vector<std::pair<int, Colour>> shown;
  int clears = 0;
  void ShowKeyColour(int id, Colour colour) override { shown.emplace_back(id, colour); }
  void ClearKeyColours() override { ++clears; }
};

TEST(PreviewEngine, LongRunsStayWithinTheMainColour) {
  const Colour main = MakeColour(180, 90, 30);
  const std::set<int> with_single_colour = {1, 2, 3, 5, 6, 10, 13, 14, 15, 16};
  for (int effect = -1; effect <= 22; ++effect) {
    FakeClock clock;
    LcgPreviewRandom random;
    PreviewEngine engine(clock, random);
    RecordingSink sink;
    for (int tick = 0; tick < 600; ++tick) {
      const bool colourful = (tick / 50) % 2 == 0;
      const int direction = (tick / 75) % 2 == 0 ? 255 : 0;
      clock.seconds = 2000 + tick / 20;
      if (tick % 200 == 0) engine.RequestRestart();
      sink.shown.clear();
      engine.Tick(Input(effect, colourful, direction, main), true, sink);
      for (const auto& [id, colour] : sink.shown) ASSERT_GE(KeyPosition(id), 0) << effect << " " << id;
      if (colourful || !with_single_colour.count(effect)) continue;
      ASSERT_FALSE(sink.shown.empty()) << effect;
      for (const auto& [id, colour] : sink.shown) {
        ASSERT_LE(Red(colour), Red(main)) << effect << " " << tick << " " << id;
        ASSERT_LE(Green(colour), Green(main)) << effect << " " << tick << " " << id;
        ASSERT_LE(Blue(colour), Blue(main)) << effect << " " << tick << " " << id;
      }
    }
    if (effect >= 0 && effect <= 20) {
      EXPECT_GE(engine.Phase(effect), 0) << effect;
      EXPECT_LT(engine.Phase(effect), 192) << effect;
    }
  }
}

}  // namespace
}  // namespace keyloom::lighting::preview
