// The macro recorder: what typed key events become in a macro's rows, and
// how an inserted action shares the pauses with its neighbours.
#include "keys/macro_recorder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keys/key_catalogue.h"

namespace keyloom::keys {
namespace {

constexpr KeyCode kA = 0x1E, kB = 0x30, kC = 0x2E, kPrintScreen = 0x137;

struct Event {
  KeyCode code;
  bool release;
  bool repeat;
  std::uint32_t at;  // ms since the start
};

std::vector<MacroAction> Rows(std::initializer_list<MacroAction> rows) { return rows; }

TEST(MacroRecorder, TypedEventsBecomeRows) {
  const KeyCode media = MediaKeys()[0].code;
  struct Case {
    const char* name;
    std::vector<MacroAction> start;
    int selected;
    bool delays;
    std::vector<Event> events;
    std::vector<MacroAction> want;
  };
  const std::vector<Case> cases = {
      {"A press, 300 ms, A release", {}, -1, true, {{kA, false, false, 10}, {kA, true, false, 310}},
       Rows({{300, kA, kPress}, {0, kA, kRelease}})},
      {"delays off: every pause 50 ms, the last 0", {}, -1, false,
       {{kA, false, false, 10}, {kA, true, false, 700}, {kB, false, false, 5000}, {kB, true, false, 5001}},
       Rows({{50, kA, kPress}, {50, kA, kRelease}, {50, kB, kPress}, {0, kB, kRelease}})},
      {"a held key: one press and one release", {}, -1, true,
       {{kA, false, false, 0}, {kA, false, true, 500}, {kA, false, true, 530}, {kA, true, false, 600}},
       Rows({{600, kA, kPress}, {0, kA, kRelease}})},
      {"Print Screen reports only its release", Rows({{0, kA, kPress}}), 0, true, {{kPrintScreen, true, false, 400}},
       Rows({{2, kA, kPress}, {400, kPrintScreen, kPress}, {0, kPrintScreen, kRelease}})},
      {"Print Screen with delays off", Rows({{0, kA, kPress}}), 0, false, {{kPrintScreen, true, false, 400}},
       Rows({{50, kA, kPress}, {50, kPrintScreen, kPress}, {0, kPrintScreen, kRelease}})},
      {"media keys and keys without a code are not recorded", {}, -1, true,
       {{media, false, false, 10}, {0, false, false, 20}, {media, true, false, 30}}, {}},
      {"after a selected middle row, whose pause moves to the last inserted", 
       Rows({{100, kA, kPress}, {777, kA, kRelease}, {0, kC, kPress}}), 1, true,
       {{kB, false, false, 40}, {kB, true, false, 90}},
       Rows({{100, kA, kPress}, {40, kA, kRelease}, {50, kB, kPress}, {777, kB, kRelease}, {0, kC, kPress}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<MacroAction> rows = c.start;
    MacroRecorder recorder;
    recorder.Start(0, c.selected);
    for (const Event& e : c.events) {
      const auto outcome = recorder.KeyEvent(rows, e.code, e.release, e.repeat, e.at, c.delays);
      const bool passes = e.code == 0 || IsMediaKeyCode(e.code);
      EXPECT_EQ(outcome.swallow, !passes) << "event at " << e.at;
    }
    EXPECT_EQ(rows, c.want);
  }
}

TEST(MacroRecorder, StoppedOrFullListsRecordNothingMore) {
  std::vector<MacroAction> rows;
  MacroRecorder recorder;
  EXPECT_FALSE(recorder.KeyEvent(rows, kA, false, false, 5, true).swallow) << "not started";
  recorder.Start(0, -1);
  EXPECT_EQ(recorder.KeyEvent(rows, kA, false, false, 5, true).recorded, 1);
  recorder.Stop();
  EXPECT_FALSE(recorder.KeyEvent(rows, kA, true, false, 9, true).swallow);
  EXPECT_EQ(rows.size(), 1u);

  // At 4000 rows the actions are dropped, and recording goes on swallowing keys.
  rows.assign(kMaxMacroActions - 1, MacroAction{10, kB, kPress});
  recorder.Start(0, static_cast<int>(rows.size()) - 1);
  const auto last = recorder.KeyEvent(rows, kA, false, false, 20, true);
  EXPECT_EQ(last.recorded, 1);
  EXPECT_EQ(last.selected, static_cast<int>(kMaxMacroActions) - 1);
  const auto dropped = recorder.KeyEvent(rows, kA, true, false, 30, true);
  EXPECT_TRUE(dropped.swallow);
  EXPECT_EQ(dropped.recorded, 0);
  EXPECT_EQ(rows.size(), kMaxMacroActions);
  EXPECT_EQ(rows.back(), (MacroAction{10, kA, kPress}));
  EXPECT_EQ(rows[rows.size() - 2].delay, 20u);
}

TEST(MacroRecorder, InsertActionPlacesAndSharesPauses) {
  struct Case {
    const char* name;
    std::vector<MacroAction> rows;
    int selected;
    bool after;
    MacroAction action;
    int want_row;
    std::vector<MacroAction> want;
  };
  const std::vector<Case> cases = {
      {"first row: its pause is dropped", {}, -1, true, {300, kA, kPress}, 0, Rows({{0, kA, kPress}})},
      {"a state above 1 is a press", {}, -1, true, {0, kA, 7}, 0, Rows({{0, kA, kPress}})},
      {"no selection: at the end", Rows({{5, kA, kPress}, {9, kA, kRelease}}), -1, true, {70, kB, kPress}, 2,
       Rows({{5, kA, kPress}, {70, kA, kRelease}, {9, kB, kPress}})},
      {"selection ignored when not inserting after it", Rows({{5, kA, kPress}, {9, kA, kRelease}}), 0, false,
       {70, kB, kPress}, 2, Rows({{5, kA, kPress}, {70, kA, kRelease}, {9, kB, kPress}})},
      {"after the selected first row", Rows({{5, kA, kPress}, {9, kA, kRelease}}), 0, true, {70, kB, kPress}, 1,
       Rows({{70, kA, kPress}, {5, kB, kPress}, {9, kA, kRelease}})},
      {"a selection outside the list: at the end", Rows({{5, kA, kPress}}), 4, true, {70, kB, kPress}, 1,
       Rows({{70, kA, kPress}, {5, kB, kPress}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<MacroAction> rows = c.rows;
    EXPECT_EQ(InsertAction(rows, c.selected, c.action, c.after), c.want_row);
    EXPECT_EQ(rows, c.want);
  }
}

}  // namespace
}  // namespace keyloom::keys
