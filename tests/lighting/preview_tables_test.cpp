#include "lighting/preview_tables.h"

#include <gtest/gtest.h>

#include <set>

#include "keys/key_catalogue.h"
#include "lighting/preview_engine.h"

namespace keyloom::lighting::preview {
namespace {

TEST(ColourWheel, SegmentBordersAndStoredRepeat) {
  struct Case {
    int index;
    std::uint8_t r, g, b;
  };
  const Case cases[] = {
      {0, 255, 1, 0},     {31, 255, 255, 0}, {32, 248, 255, 0}, {63, 0, 255, 0},
      {64, 0, 255, 1},    {95, 0, 255, 255}, {96, 0, 248, 255}, {127, 0, 0, 255},
      {128, 1, 0, 255},   {159, 255, 0, 255}, {160, 255, 0, 248}, {191, 255, 0, 0},
      {10, 255, 38, 0},   {170, 255, 0, 124},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WheelEntry(c.index), MakeColour(c.r, c.g, c.b)) << "entry " << c.index;
  // Hues 192..255 repeat the first 64 entries.
  for (int h = 192; h < 256; ++h) EXPECT_EQ(WheelEntry(h), WheelEntry(h - 192)) << h;
}

TEST(ColourWheel, APhaseShowsTheEntryTwelveFurther) {
  EXPECT_EQ(WheelAtPhase(0), WheelEntry(12));
  EXPECT_EQ(WheelAtPhase(179), WheelEntry(191));
  EXPECT_EQ(WheelAtPhase(180), WheelEntry(0));
  EXPECT_EQ(WheelAtPhase(190), WheelEntry(10));
  EXPECT_EQ(WheelAtPhase(190 + 192), WheelEntry(10));
  EXPECT_EQ(WheelAtPhase(-14), WheelEntry(190));
}

TEST(BrightnessCurves, LengthsEndsAndMirrorSymmetry) {
  // A: 48 rising values and the same in reverse.
  EXPECT_EQ(CurveA(0), 22);
  EXPECT_EQ(CurveA(47), 255);
  EXPECT_EQ(CurveA(48), 255);
  EXPECT_EQ(CurveA(95), 22);
  for (int i = 0; i < kCurveALength; ++i) EXPECT_EQ(CurveA(i), CurveA(kCurveALength - 1 - i)) << i;
  for (int i = 1; i < 48; ++i) EXPECT_GT(CurveA(i), CurveA(i - 1)) << i;
  EXPECT_EQ(CurveA(kCurveALength), CurveA(0));  // indexes wrap at the length
  EXPECT_EQ(CurveA(-1), CurveA(95));

  // C: 16 low values, curve A's rise, then the 64 in reverse.
  EXPECT_EQ(CurveC(0), 3);
  EXPECT_EQ(CurveC(15), 20);
  EXPECT_EQ(CurveC(16), 22);
  EXPECT_EQ(CurveC(63), 255);
  for (int i = 0; i < kCurveCLength; ++i) EXPECT_EQ(CurveC(i), CurveC(kCurveCLength - 1 - i)) << i;
  EXPECT_EQ(CurveC(kCurveCLength), CurveC(0));

  // B: a quick rise, curve A's fall from 248 to 22, a tail, then zeros.
  struct Case {
    int index;
    int value;
  };
  const Case b[] = {{0, 0},   {1, 4},    {16, 255}, {17, 248}, {18, 241}, {63, 22},
                    {64, 20}, {77, 2},   {78, 2},   {79, 1},   {80, 0},   {127, 0}};
  for (const Case& c : b) EXPECT_EQ(CurveB(c.index), c.value) << "B " << c.index;
  for (int i = 17; i < 63; ++i) EXPECT_GT(CurveB(i), CurveB(i + 1)) << i;
}

TEST(ScaleColour, EachChannelTimesBrightnessOver255Truncated) {
  EXPECT_EQ(ScaleColour(MakeColour(255, 128, 1), 50), MakeColour(50, 25, 0));
  EXPECT_EQ(ScaleColour(MakeColour(200, 100, 50), 255), MakeColour(200, 100, 50));
  EXPECT_EQ(ScaleColour(MakeColour(200, 100, 50), 0), 0u);
}

TEST(Advance, WrapsAtTheLengthInBothSenses) {
  struct Case {
    bool forwards;
    int phase, step, length, expected;
  };
  const Case cases[] = {
      {true, 0, 9, 192, 9},     {true, 183, 9, 192, 0}, {true, 190, 9, 192, 7},
      {false, 0, 2, 192, 190},  {false, 2, 2, 192, 0},  {false, 3, 7, 96, 92},
      {true, 124, 4, 128, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Advance(c.forwards, c.phase, c.step, c.length), c.expected)
        << c.forwards << " " << c.phase << " " << c.step << " " << c.length;
}

// Every key the effects name must be a key button with a key position; a
// mistyped control id would silently drop a key from the animation.
TEST(PreviewTables, EveryNamedKeyIsAKeyButton) {
  std::set<int> grid_keys;
  for (int r = 0; r < kGridRows; ++r)
    for (int c = 0; c < kGridColumns; ++c)
      if (GridKey(r, c) != kNoKey) grid_keys.insert(GridKey(r, c));
  auto check = [](int id, const char* table) {
    if (id == kNoKey) return;
    const int p = KeyPosition(id);
    EXPECT_GE(p, 0) << table << " " << id;
    EXPECT_LT(p, 126) << table << " " << id;
  };
  for (int id : grid_keys) check(id, "grid");
  for (int id : TwinkleSequence()) check(id, "twinkle");
  for (const auto& row : SweepTable())
    for (int id : row) check(id, "sweep");
  for (const auto& pair : PairTable())
    for (int id : pair) check(id, "pairs");
  for (int id : SnakeOrder()) check(id, "snake");
  for (const auto& ring : Rings())
    for (int id : ring) check(id, "rings");

  // The snake visits 105 different keys, all of them on the grid.
  const std::set<int> snake(SnakeOrder().begin(), SnakeOrder().end());
  EXPECT_EQ(snake.size(), 105u);
  for (int id : snake) EXPECT_TRUE(grid_keys.count(id)) << id;
  EXPECT_EQ(grid_keys, snake);
  EXPECT_EQ(GridKey(2, 10), 1052);  // the O key, centre of the rings
  EXPECT_EQ(Rings()[0][0], 1052);
  EXPECT_EQ(GridKey(-1, 0), kNoKey);
  EXPECT_EQ(GridKey(0, kGridColumns), kNoKey);
}

TEST(PreviewTables, KeyPositions) {
  EXPECT_EQ(KeyPosition(1022), 0);    // Esc
  EXPECT_EQ(KeyPosition(1052), 51);   // O
  EXPECT_EQ(KeyPosition(1083), 105);  // Left Ctrl
  EXPECT_EQ(KeyPosition(1087), 112);  // Right Win
  EXPECT_EQ(KeyPosition(kFnKeyId), kFnKeyPosition);
  EXPECT_EQ(KeyPosition(1000), 125);  // G1
  EXPECT_EQ(KeyPosition(1143), 125);  // G9
  EXPECT_EQ(KeyPosition(1016), -1);   // D1 has none
  EXPECT_EQ(KeyPosition(999), -1);
  EXPECT_EQ(KeyPosition(5000), -1);
}

}  // namespace
}  // namespace keyloom::lighting::preview
