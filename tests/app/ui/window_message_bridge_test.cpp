// Private messages and timers crossing from other threads to the UI thread.
#include "app/ui/window_message_bridge.h"

#include <gtest/gtest.h>

#include "qt_test_app.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace keyloom::app {
namespace {

using namespace std::chrono_literals;

using testing::App;
using testing::PumpUntil;

class RecordingTarget : public PrivateMessageTarget {
 public:
  struct Message {
    std::uint32_t message, wparam;
    std::int64_t lparam;
    bool on_ui_thread;
  };
  std::int64_t OnPrivateMessage(std::uint32_t m, std::uint32_t w, std::int64_t l) override {
    messages.push_back({m, w, l, QThread::currentThread() == App().thread()});
    return l * 2;
  }
  void OnTimer(unsigned id) override {
    timer_ticks.push_back(id);
    if (on_timer) on_timer(id);
  }
  std::vector<Message> messages;
  std::vector<unsigned> timer_ticks;
  std::function<void(unsigned)> on_timer;
};

class WindowMessageBridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    bridge_ = std::make_unique<WindowMessageBridge>(target_);
  }
  void TearDown() override {
    bridge_.reset();
    QCoreApplication::processEvents();
  }
  RecordingTarget target_;
  std::unique_ptr<WindowMessageBridge> bridge_;
};

TEST_F(WindowMessageBridgeTest, PostedMessagesArriveOnTheUiThreadInOrder) {
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) bridge_->PostMessage(0x5452, 0x50524F46, i);
  });
  worker.join();
  EXPECT_TRUE(target_.messages.empty()) << "a post must not run the handler at once";
  ASSERT_TRUE(PumpUntil([&] { return target_.messages.size() == 200; }));
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(target_.messages[i].lparam, i);
    EXPECT_TRUE(target_.messages[i].on_ui_thread);
  }
}

TEST_F(WindowMessageBridgeTest, SendFromAnotherThreadWaitsForTheUiThread) {
  std::atomic<bool> returned{false};
  std::int64_t result = 0;
  std::thread worker([&] {
    result = bridge_->SendMessage(0x5350, 0x4F50454E, 21);
    returned = true;
  });
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(returned.load()) << "the sender went on before the UI thread handled it";
  ASSERT_TRUE(PumpUntil([&] { return returned.load(); }));
  worker.join();
  EXPECT_EQ(result, 42);
  ASSERT_EQ(target_.messages.size(), 1u);
  EXPECT_TRUE(target_.messages[0].on_ui_thread);
}

TEST_F(WindowMessageBridgeTest, SendOnTheUiThreadIsHandledAtOnce) {
  EXPECT_EQ(bridge_->SendMessage(0x5041, 0x4C414E47, 2), 4);
  ASSERT_EQ(target_.messages.size(), 1u);
}

TEST_F(WindowMessageBridgeTest, ShutdownReleasesWaitingSendersAndDropsLaterMessages) {
  std::atomic<bool> returned{false};
  std::int64_t result = -1;
  std::thread worker([&] {
    result = bridge_->SendMessage(0x5350, 0x4F50454E, 21);
    returned = true;
  });
  std::this_thread::sleep_for(50ms);
  bridge_->Shutdown();
  worker.join();
  EXPECT_TRUE(returned.load());
  EXPECT_EQ(result, 0);
  bridge_->PostMessage(1, 2, 3);
  EXPECT_EQ(bridge_->SendMessage(1, 2, 3), 0);
  QCoreApplication::processEvents();
  EXPECT_TRUE(target_.messages.empty());
}

TEST_F(WindowMessageBridgeTest, InstalledBridgeIsTheHostMainWindow) {
  bridge_->Install();
  host::PostToMainWindow(0x4753, 0, 5);
  ASSERT_TRUE(PumpUntil([&] { return target_.messages.size() == 1; }));
  EXPECT_EQ(target_.messages[0].message, 0x4753u);
  bridge_->Shutdown();
  host::PostToMainWindow(0x4753, 0, 6);
  QCoreApplication::processEvents();
  EXPECT_EQ(target_.messages.size(), 1u);
}

TEST_F(WindowMessageBridgeTest, TimersById) {
  // A zero-period timer set from another thread, stopped by its handler
  // (one shot).
  target_.on_timer = [&](unsigned id) {
    if (id == 1051) bridge_->KillTimer(1051);
  };
  std::thread([&] { bridge_->SetTimer(1051, 0); }).join();
  ASSERT_TRUE(PumpUntil([&] { return !target_.timer_ticks.empty(); }));
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(target_.timer_ticks, std::vector<unsigned>{1051});
  EXPECT_FALSE(bridge_->TimerRunning(1051));

  // A periodic timer set twice runs once; killed from another thread it stops.
  target_.timer_ticks.clear();
  bridge_->SetTimer(1050, 10);
  bridge_->SetTimer(1050, 10);
  ASSERT_TRUE(PumpUntil([&] { return target_.timer_ticks.size() >= 3; }));
  std::thread([&] { bridge_->KillTimer(1050); }).join();
  ASSERT_TRUE(PumpUntil([&] { return !bridge_->TimerRunning(1050); }));
  const std::size_t ticks = target_.timer_ticks.size();
  QElapsedTimer wait;
  wait.start();
  while (wait.elapsed() < 60) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(target_.timer_ticks.size(), ticks);
  for (unsigned id : target_.timer_ticks) EXPECT_EQ(id, 1050u);

  // Killing an unknown id is harmless; shutdown stops running timers.
  bridge_->KillTimer(999);
  bridge_->SetTimer(1052, 10);
  bridge_->Shutdown();
  EXPECT_FALSE(bridge_->TimerRunning(1052));
}

}  // namespace
}  // namespace keyloom::app
