// The core's notifications crossing to the UI thread through the adapter:
// raised on a monitor-like thread, they arrive as signals on the UI thread,
// in order, without the raising thread waiting for the UI.
#include "app/ui/event_sink_adapter.h"

#include <gtest/gtest.h>

#include "qt_test_app.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "profiles/keyboard_session.h"

namespace keyloom::app {
namespace {

using testing::App;
using testing::PumpUntil;

// What arrived, and whether each arrived on the UI thread.
struct Arrivals {
  std::vector<std::string> seen;
  bool all_on_ui_thread = true;
  void Note(const std::string& what) {
    seen.push_back(what);
    if (QThread::currentThread() != App().thread()) all_on_ui_thread = false;
  }
};

void Record(EventSinkAdapter& adapter, Arrivals& arrivals) {
  QObject::connect(&adapter, &EventSinkAdapter::connectionChanged, [&](bool c, quint16 v, quint16 p) {
    arrivals.Note((c ? "connected " : "disconnected ") + std::to_string(v) + ":" + std::to_string(p));
  });
  QObject::connect(&adapter, &EventSinkAdapter::keyboardEvent,
                   [&](quint16 usage) { arrivals.Note("event " + std::to_string(usage)); });
  QObject::connect(&adapter, &EventSinkAdapter::keyMapsChanged,
                   [&](int t) { arrivals.Note("key maps " + std::to_string(t)); });
  QObject::connect(&adapter, &EventSinkAdapter::activeSlotChanged,
                   [&](int s) { arrivals.Note("slot " + std::to_string(s)); });
  QObject::connect(&adapter, &EventSinkAdapter::reportRateChanged,
                   [&](int r) { arrivals.Note("rate " + std::to_string(r)); });
  QObject::connect(&adapter, &EventSinkAdapter::closeEditors, [&] { arrivals.Note("close editors"); });
  QObject::connect(&adapter, &EventSinkAdapter::showWindow, [&] { arrivals.Note("show"); });
}

TEST(EventSinkAdapter, NotificationsFromAnotherThreadArriveOnTheUiThreadInOrder) {
  App();
  EventSinkAdapter adapter;
  Arrivals arrivals;
  Record(adapter, arrivals);
  profiles::EventSink& sink = adapter;
  std::thread monitor([&] {
    sink.ConnectionChanged(true, 0x0C45, 0x7672);
    sink.KeyboardEvent(0x0401);
    sink.KeyMapsChanged(2);
    sink.ActiveSlotChanged(1);
    sink.ReportRateChanged(3);
    sink.CloseEditors();
    sink.ShowWindow();
    sink.ConnectionChanged(false, 0, 0);
  });
  monitor.join();
  EXPECT_TRUE(arrivals.seen.empty()) << "nothing is delivered on the raising thread";
  ASSERT_TRUE(PumpUntil([&] { return arrivals.seen.size() == 8; }));
  EXPECT_EQ(arrivals.seen, (std::vector<std::string>{"connected 3141:30322", "event 1025", "key maps 2", "slot 1",
                                                      "rate 3", "close editors", "show", "disconnected 0:0"}));
  EXPECT_TRUE(arrivals.all_on_ui_thread);
}

TEST(EventSinkAdapter, RaisingNeverWaitsForTheUiThread) {
  App();
  EventSinkAdapter adapter;
  Arrivals arrivals;
  Record(adapter, arrivals);
  // The UI thread is busy here (not pumping); the raising thread still
  // returns at once.
  auto raised = std::async(std::launch::async, [&] {
    for (int i = 0; i < 100; ++i) adapter.KeyboardEvent(0x0402);
  });
  EXPECT_EQ(raised.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(arrivals.seen.empty());
  ASSERT_TRUE(PumpUntil([&] { return arrivals.seen.size() == 100; }));
  EXPECT_TRUE(arrivals.all_on_ui_thread);
}

TEST(EventSinkAdapter, WhatIsStillQueuedWhenTheAdapterGoesIsDropped) {
  App();
  Arrivals arrivals;
  {
    EventSinkAdapter adapter;
    Record(adapter, arrivals);
    std::thread([&] { adapter.ShowWindow(); }).join();
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_TRUE(arrivals.seen.empty());
}

}  // namespace
}  // namespace keyloom::app
