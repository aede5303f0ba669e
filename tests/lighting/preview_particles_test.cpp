#include "lighting/preview_particles.h"

#include <gtest/gtest.h>

#include "lighting/preview_engine.h"
#include "lighting/preview_overlays.h"
#include "lighting/preview_tables.h"

namespace keyloom::lighting::preview {
namespace {

TEST(WavePlanes, SeedSetsTheBitInAllFourPlanes) {
  WavePlanes set;
  Seed(set, 9, 6);
  for (const auto& p : set.plane) EXPECT_EQ(p[9], 0x40);
  EXPECT_EQ(set.Column(9), 0x40);
  EXPECT_TRUE(set.Lit(9, 6));
  EXPECT_FALSE(set.Lit(8, 6));
  Seed(set, 23, 0);  // the spare column is not part of the grid
  Seed(set, -1, 0);
  EXPECT_EQ(set.Column(23), 0);
}

TEST(WavePlanes, SpreadMovesEachPlaneItsOwnWay) {
  WavePlanes set;
  for (auto& p : set.plane) p[5] = 0x04;  // row 2 of column 5
  Spread(set);
  // P0 up and left, P1 up and right, P2 down and right, P3 down and left.
  struct Expect {
    int plane, column, value;
  };
  const Expect expected[] = {{0, 4, 0x04}, {0, 5, 0x02}, {1, 5, 0x02}, {1, 6, 0x04},
                             {2, 5, 0x08}, {2, 6, 0x04}, {3, 4, 0x04}, {3, 5, 0x08}};
  WavePlanes want;
  for (const Expect& e : expected) want.plane[e.plane][e.column] = std::uint8_t(e.value);
  for (int p = 0; p < 4; ++p)
    for (int c = 0; c < kPlaneColumns; ++c)
      EXPECT_EQ(set.plane[p][c], want.plane[p][c]) << "P" << p << " column " << c;
}

TEST(WavePlanes, SpreadAtTheEdgesLosesBitsAndKeepsTheSpareColumn) {
  WavePlanes set;
  set.plane[0][22] = 0x81;
  set.plane[3][22] = 0x81;
  set.plane[1][0] = 0x81;
  set.plane[2][0] = 0x81;
  for (auto& p : set.plane) p[23] = 0x55;  // spare column: never read nor written
  Spread(set);
  EXPECT_EQ(set.plane[0][22], 0x40);
  EXPECT_EQ(set.plane[0][21], 0x81);
  EXPECT_EQ(set.plane[3][22], 0x02);  // bit 7 shifted out of the byte
  EXPECT_EQ(set.plane[3][21], 0x81);
  EXPECT_EQ(set.plane[1][0], 0x40);
  EXPECT_EQ(set.plane[1][1], 0x81);
  EXPECT_EQ(set.plane[2][0], 0x02);
  EXPECT_EQ(set.plane[2][1], 0x81);
  for (const auto& p : set.plane) EXPECT_EQ(p[23], 0x55);
}

TEST(WavePlanes, FallShiftsWithoutCopyingColumns) {
  WavePlanes set;
  for (auto& p : set.plane) {
    p[0] = 0x81;
    p[22] = 0x03;
  }
  Fall(set);
  for (int p : {0, 1}) {
    EXPECT_EQ(set.plane[p][0], 0x40);
    EXPECT_EQ(set.plane[p][22], 0x01);
  }
  for (int p : {2, 3}) {
    EXPECT_EQ(set.plane[p][0], 0x02);
    EXPECT_EQ(set.plane[p][22], 0x06);
  }
  for (const auto& p : set.plane)
    for (int c = 1; c < 22; ++c) EXPECT_EQ(p[c], 0) << c;
}

TEST(Fade, StepsByBrightnessBand) {
  struct Case {
    int value, normal, larger;
  };
  const Case cases[] = {
      {255, 235, 225}, {128, 108, 98}, {127, 111, 107}, {64, 48, 44}, {63, 53, 53},
      {32, 22, 22},    {31, 26, 26},   {17, 12, 12},    {16, 15, 15}, {1, 0, 0},
      {0, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FadeStep(std::uint8_t(c.value), false), c.normal) << c.value;
    EXPECT_EQ(FadeStep(std::uint8_t(c.value), true), c.larger) << c.value;
  }
  // A key lit at 255 is dark after a bounded number of steps.
  int v = 255, steps = 0;
  while (v > 0 && steps < 100) {
    v = FadeStep(std::uint8_t(v), false);
    ++steps;
  }
  EXPECT_EQ(v, 0);
  EXPECT_EQ(steps, 32);
}

TEST(Light, LightsKeysOfLitCellsOnly) {
  WavePlanes set;
  set.plane[2][10] = 0x04;       // row 2, column 10: the O key
  set.plane[0][0] = 0x01 | 0x40;  // row 0 column 0 is empty; bit 6 is off the grid
  set.plane[1][11] = 0x20;        // row 5, column 11: Fn
  ParticlePair pair;
  LcgPreviewRandom random;
  random.Seed(7);
  Light(set, pair, true, random);
  int lit = 0;
  for (int p = 0; p < 128; ++p) lit += pair.brightness[p] != 0;
  EXPECT_EQ(lit, 2);
  EXPECT_EQ(pair.brightness[KeyPosition(1052)], 255);
  EXPECT_EQ(pair.brightness[kFnKeyPosition], 255);
  EXPECT_EQ(pair.brightness[0], 0);  // Esc is not lit by the Fn cell
  EXPECT_LT(pair.hue[KeyPosition(1052)], 255);

  // Single colour leaves the hues alone; the same seed draws the same hues.
  ParticlePair single;
  single.hue.fill(9);
  Light(set, single, false, random);
  EXPECT_EQ(single.hue[KeyPosition(1052)], 9);
  ParticlePair again;
  random.Seed(7);
  Light(set, again, true, random);
  EXPECT_EQ(again.hue, pair.hue);
}

TEST(Show, FadesThenShowsEveryOrdinaryKey) {
  ParticlePair pair;
  const int o = KeyPosition(1052);
  pair.brightness[o] = 255;
  pair.hue[o] = 200;  // wheel entry 8
  KeyOverlayTable keys;
  Show(pair, true, 0, false, keys);
  EXPECT_EQ(pair.brightness[o], 235);
  EXPECT_EQ(keys.Find(1052)->colour, ScaleColour(WheelEntry(8), 235));
  EXPECT_TRUE(keys.Find(1052)->on);
  EXPECT_TRUE(keys.Find(1022)->on);  // shown black, overlay on
  EXPECT_EQ(keys.Find(1022)->colour, 0u);
  EXPECT_FALSE(keys.Find(1000)->on);  // macro keys are not part of it

  Show(pair, false, MakeColour(200, 100, 50), true, keys);
  EXPECT_EQ(pair.brightness[o], 205);
  EXPECT_EQ(keys.Find(1052)->colour, ScaleColour(MakeColour(200, 100, 50), 205));
}

}  // namespace
}  // namespace keyloom::lighting::preview
