// Keyboard work off the windows' thread: one piece at a time, its result
// handed back, and nothing left running when the owner goes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "app/busy_work.h"

namespace keyloom::app {
namespace {

using namespace std::chrono_literals;

// A gate the work waits at until the test opens it.
struct Gate {
  std::mutex mutex;
  std::condition_variable cv;
  bool open = false;
  void Wait() {
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return open; });
  }
  void Open() {
    std::lock_guard lock(mutex);
    open = true;
    cv.notify_all();
  }
};

TEST(BusyWork, OnePieceAtATimeWithItsResult) {
  BusyWork work;
  Gate gate;
  std::atomic<int> finished_with{-1};
  std::atomic<bool> other_ran{false};
  ASSERT_TRUE(work.Start([&] { gate.Wait(); return 7; }, [&](int r) { finished_with = r; }));
  EXPECT_TRUE(work.Busy());
  EXPECT_FALSE(work.Start([&] { other_ran = true; return 1; }, nullptr)) << "a second piece while the first runs";
  gate.Open();
  work.Wait();
  EXPECT_EQ(finished_with.load(), 7);
  EXPECT_FALSE(work.Busy());
  EXPECT_FALSE(other_ran.load());
  // Idle again: the next piece runs.
  ASSERT_TRUE(work.Start([] { return 1; }, [&](int r) { finished_with = r; }));
  work.Wait();
  EXPECT_EQ(finished_with.load(), 1);
}

TEST(BusyWork, BusyUntilTheFinishedCallbackHasReturned) {
  BusyWork work;
  Gate in_callback;
  std::atomic<bool> busy_seen_in_callback{false};
  ASSERT_TRUE(work.Start([] { return 0; }, [&](int) {
    busy_seen_in_callback = work.Busy();
    in_callback.Wait();
  }));
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(work.Busy());
  in_callback.Open();
  work.Wait();
  EXPECT_TRUE(busy_seen_in_callback.load());
  EXPECT_FALSE(work.Busy());
}

TEST(BusyWork, DestructionWaitsForTheRunningPiece) {
  std::atomic<bool> done{false};
  {
    BusyWork work;
    ASSERT_TRUE(work.Start([&] { std::this_thread::sleep_for(50ms); done = true; return 1; }, nullptr));
  }
  EXPECT_TRUE(done.load());
}

}  // namespace
}  // namespace keyloom::app
