// What the main window does when the keyboard reports something: the timers
// and tray changes of keyboard events, the tray icon of the connection, and
// the tray workers that change the icon one at a time.
#include "app/keyboard_reactions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace keyloom::app {
namespace {

using namespace std::chrono_literals;

struct RecordingWindow : host::MainWindow {
  std::mutex mutex;
  std::vector<std::pair<unsigned, unsigned>> timers;
  void PostMessage(std::uint32_t, std::uint32_t, std::int64_t) override {}
  std::int64_t SendMessage(std::uint32_t, std::uint32_t, std::int64_t) override { return 0; }
  void SetTimer(unsigned id, unsigned ms) override {
    std::lock_guard lock(mutex);
    timers.emplace_back(id, ms);
  }
  void KillTimer(unsigned) override {}
};

template <typename Pred>
bool WaitFor(Pred pred) {
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(1ms);
  }
  return pred();
}

TEST(KeyboardReactions, EventsSetTimersOrChangeTheTray) {
  struct Case {
    std::uint16_t usage;
    KeyboardEventReaction reaction;
  } cases[] = {
      {0x0401, {kTimerReloadLighting, -1}}, {0x0402, {kTimerReseedColours, -1}}, {0x1811, {0, 1}},
      {0x1810, {0, 0}},                     {0x1801, {}},                          {0x0000, {}},
      {0x7FFF, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ReactionToKeyboardEvent(c.usage), c.reaction) << std::hex << c.usage;
  EXPECT_EQ(kTimerReloadLighting, 1051u);
  EXPECT_EQ(kTimerReseedColours, 1053u);
}

TEST(KeyboardReactions, AppliedToTheWindowAndTheTrayInOrder) {
  RecordingWindow window;
  std::mutex mutex;
  std::vector<std::pair<int, int>> tray;
  KeyboardReactions reactions(window, [&](int kind, int id) {
    std::lock_guard lock(mutex);
    tray.emplace_back(kind, id);
  });
  reactions.OnConnectionChanged(true);
  // One event at a time, so that the tray workers' order is the events'.
  for (std::uint16_t e : {0x0401, 0x1801, 0x0402, 0x1811, 0x1810, 0x0000, 0x7FFF}) {
    reactions.OnKeyboardEvent(e);
    ASSERT_TRUE(WaitFor([&] { return reactions.Workers().Running() == 0; }));
  }
  reactions.OnConnectionChanged(false);
  EXPECT_EQ(window.timers, (std::vector<std::pair<unsigned, unsigned>>{{1051, 0}, {1053, 0}}));
  std::lock_guard lock(mutex);
  EXPECT_EQ(tray, (std::vector<std::pair<int, int>>{{0, 141}, {1, 0}, {0, 0}, {0, 128}}));
}

TEST(TrayIconState, ShowsTheConnectionIconOrTheAlternateOne) {
  struct Step {
    int kind, id;
    int shown;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    int connection_icon;
  } cases[] = {
      {"starts disconnected", {}, 128},
      {"connect, disconnect", {{0, 141, 141}, {0, 128, 128}}, 128},
      {"event while connected, then its end", {{0, 141, 141}, {1, 0, 142}, {0, 0, 141}}, 141},
      {"connected again while the event icon shows", {{0, 141, 141}, {1, 0, 142}, {0, 141, 141}, {0, 0, 141}}, 141},
      {"unplugged during an event", {{0, 141, 141}, {1, 0, 142}, {0, 128, 128}, {0, 0, 128}}, 128},
      {"event end without an event", {{0, 0, 128}, {0, 141, 141}, {0, 0, 141}}, 141},
      {"repeated events", {{1, 0, 142}, {1, 0, 142}, {0, 0, 128}}, 128},
      {"unknown kinds and icons change nothing", {{0, 141, 141}, {2, 128, 141}, {-1, 0, 141}, {0, 7, 141}, {1, 5, 142}},
       141},
  };
  for (const Case& c : cases) {
    TrayIconState state;
    EXPECT_EQ(state.Current(), 128) << c.name;
    for (const Step& s : c.steps) {
      EXPECT_EQ(state.Set(s.kind, s.id), s.shown) << c.name << " (" << s.kind << ", " << s.id << ")";
      EXPECT_EQ(state.Current(), s.shown) << c.name;
    }
    EXPECT_EQ(state.ConnectionIcon(), c.connection_icon) << c.name;
  }
}

TEST(TrayIconState, FedByTheReactionsEndsOnTheLastState) {
  RecordingWindow window;
  TrayIconState state;
  KeyboardReactions reactions(window, [&](int kind, int id) { state.Set(kind, id); });
  auto event = [&](std::uint16_t usage) {
    reactions.OnKeyboardEvent(usage);
    ASSERT_TRUE(WaitFor([&] { return reactions.Workers().Running() == 0; }));
  };
  reactions.OnConnectionChanged(true);
  event(0x1811);
  EXPECT_EQ(state.Current(), 142);
  reactions.OnConnectionChanged(true);
  EXPECT_EQ(state.Current(), 141);
  event(0x1810);
  EXPECT_EQ(state.Current(), 141);
  reactions.OnConnectionChanged(false);
  event(0x1811);
  event(0x1810);
  EXPECT_EQ(state.Current(), 128);
}

TEST(TrayWorkers, RunOneAtATime) {
  std::atomic<int> inside{0};
  std::atomic<int> most{0};
  std::atomic<int> calls{0};
  {
    TrayWorkers workers([&](int, int) {
      const int now = ++inside;
      int seen = most.load();
      while (now > seen && !most.compare_exchange_weak(seen, now)) {
      }
      std::this_thread::sleep_for(1ms);
      --inside;
      ++calls;
    });
    for (int i = 0; i < 20; ++i) workers.Start(i % 2 ? 0 : 1, 0);
    ASSERT_TRUE(WaitFor([&] { return workers.Running() == 0; }));
  }
  EXPECT_EQ(calls.load(), 20);
  EXPECT_EQ(most.load(), 1);
}

TEST(TrayWorkers, DestructionWaitsForTheWorkersStillRunning) {
  std::atomic<int> calls{0};
  {
    TrayWorkers workers([&](int, int) {
      std::this_thread::sleep_for(2ms);
      ++calls;
    });
    for (int i = 0; i < 5; ++i) workers.Start(0, 0);
  }
  EXPECT_EQ(calls.load(), 5);
}

}  // namespace
}  // namespace keyloom::app
