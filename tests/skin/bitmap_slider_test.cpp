#include "skin/bitmap_slider.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWheelEvent>
#include <vector>

#include "skin/posted_message.h"
#include "skin_test_support.h"

namespace keyloom::skin {
namespace {

using testing::SendMouse;

// The slider's parent: records the position messages it receives.
class MessageSink : public QWidget {
 public:
  struct Message {
    std::uint32_t message, id;
    std::int64_t pos;
    bool operator==(const Message&) const = default;
  };
  std::vector<Message> received;

 protected:
  bool event(QEvent* e) override {
    if (e->type() == PostedMessageEvent::EventType()) {
      auto* m = static_cast<PostedMessageEvent*>(e);
      received.push_back({m->message(), m->wparam(), m->lparam()});
      return true;
    }
    return QWidget::event(e);
  }
};

class Slider : public ::testing::Test {
 protected:
  Slider() : slider_(1178, &sink_) {
    QPixmap track(100, 20);
    track.fill(Qt::darkGray);
    slider_.SetTrackBitmap(track);
    slider_.SetRange(0, 5);
    slider_.SetPageSize(10);
  }
  std::vector<MessageSink::Message> Drain() {
    QCoreApplication::sendPostedEvents(&sink_);
    auto out = sink_.received;
    sink_.received.clear();
    return out;
  }
  void Key(int key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&slider_, &e);
  }
  void Wheel(int delta) {
    QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&slider_, &e);
  }
  MessageSink sink_;
  CBitmapSlider slider_;
};

TEST_F(Slider, TrackPictureSizesTheControl) { EXPECT_EQ(slider_.size(), QSize(100, 20)); }

TEST_F(Slider, MapsBetweenCoordinateAndPosition) {
  struct Case {
    int x, position;
  };
  // position = (x + 10) / 100 * 5, truncated
  const Case to_position[] = {{40, 2}, {0, 0}, {9, 0}, {10, 1}, {89, 4}, {90, 5}, {99, 5}};
  for (auto c : to_position) EXPECT_EQ(slider_.PositionFromCoordinate(c.x), c.position) << c.x;
  // x = position / 5 * 100, truncated
  const Case to_x[] = {{40, 2}, {0, 0}, {100, 5}, {60, 3}};
  for (auto c : to_x) EXPECT_EQ(slider_.CoordinateFromPosition(c.position), c.x) << c.position;

  slider_.SetRange(3, 3);  // an empty range never divides by zero
  EXPECT_EQ(slider_.CoordinateFromPosition(3), 0);
  EXPECT_EQ(slider_.PositionFromCoordinate(50), 3);
}

TEST_F(Slider, VerticalSliderUsesHeightAndNoOffset) {
  slider_.SetVertical(true);
  slider_.resize(20, 100);
  EXPECT_EQ(slider_.PositionFromCoordinate(40), 2);
  EXPECT_EQ(slider_.PositionFromCoordinate(39), 1);
  EXPECT_EQ(slider_.CoordinateFromPosition(4), 80);
}

TEST_F(Slider, SetPosClamps) {
  slider_.SetPos(9);
  EXPECT_EQ(slider_.Pos(), 5);
  slider_.SetPos(-1);
  EXPECT_EQ(slider_.Pos(), 0);
  EXPECT_TRUE(Drain().empty());  // positions set by the owner are not reported
}

TEST_F(Slider, KeysMoveThePositionAndReportIt) {
  struct Case {
    int start, key, expected;
  };
  const Case cases[] = {
      {4, Qt::Key_PageDown, 5},  // + page size 10, clamped
      {4, Qt::Key_PageUp, 0}, {2, Qt::Key_End, 5}, {2, Qt::Key_Home, 0}, {2, Qt::Key_Right, 3},
      {2, Qt::Key_Down, 3},   {2, Qt::Key_Left, 1}, {2, Qt::Key_Up, 1},   {5, Qt::Key_Right, 5},
      {0, Qt::Key_Left, 0},
  };
  for (auto c : cases) {
    slider_.SetPos(c.start);
    Key(c.key);
    EXPECT_EQ(slider_.Pos(), c.expected) << c.start << " key " << c.key;
    EXPECT_EQ(Drain(), (std::vector<MessageSink::Message>{{0x28D1, 1178, c.expected}}));
  }
  Key(Qt::Key_A);
  EXPECT_TRUE(Drain().empty());
}

TEST_F(Slider, WheelMovesOnlyWithFocusFlagAndOnlyForItsDeltas) {
  slider_.SetPos(2);
  Wheel(120);
  EXPECT_EQ(slider_.Pos(), 2);  // no focus flag yet: ignored
  EXPECT_TRUE(Drain().empty());

  SendMouse(slider_, QEvent::MouseButtonPress, QPoint(30, 5));  // (30 + 10) / 100 * 5 = 2
  SendMouse(slider_, QEvent::MouseButtonRelease, QPoint(30, 5), Qt::LeftButton, Qt::NoButton);
  ASSERT_TRUE(slider_.HasFocusFlag());
  Drain();
  struct Case {
    int delta, expected;
  };
  const Case cases[] = {{120, 1}, {-120, 2}, {-1, 3}, {240, 4}, {60, 4}, {119, 4}, {0, 4}};
  for (auto c : cases) {
    Wheel(c.delta);
    EXPECT_EQ(slider_.Pos(), c.expected) << c.delta;
    EXPECT_EQ(Drain().size(), 1u) << "every wheel event is reported, delta " << c.delta;
  }
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&slider_, &leave);
  EXPECT_FALSE(slider_.HasFocusFlag());
}

TEST_F(Slider, DraggingReportsEachNewPositionAndTheRelease) {
  slider_.SetPos(0);
  SendMouse(slider_, QEvent::MouseButtonPress, QPoint(40, 5));
  EXPECT_TRUE(slider_.IsDragging());
  EXPECT_EQ(slider_.Pos(), 2);
  SendMouse(slider_, QEvent::MouseMove, QPoint(40, 5), Qt::NoButton, Qt::LeftButton);  // x of position 2: no change
  SendMouse(slider_, QEvent::MouseMove, QPoint(75, 5), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(slider_.Pos(), 4);
  SendMouse(slider_, QEvent::MouseButtonRelease, QPoint(75, 5), Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(slider_.IsDragging());
  SendMouse(slider_, QEvent::MouseMove, QPoint(10, 5), Qt::NoButton, Qt::NoButton);  // not dragging
  EXPECT_EQ(slider_.Pos(), 4);
  EXPECT_EQ(Drain(), (std::vector<MessageSink::Message>{{0x28D1, 1178, 2}, {0x28D1, 1178, 4}, {0x28D1, 1178, 4}}));
}

TEST_F(Slider, DisabledSliderIgnoresInput) {
  slider_.SetPos(2);
  slider_.setEnabled(false);
  Key(Qt::Key_End);
  SendMouse(slider_, QEvent::MouseButtonPress, QPoint(90, 5));
  EXPECT_EQ(slider_.Pos(), 2);
  EXPECT_TRUE(Drain().empty());
}

TEST_F(Slider, ShowsTheOwnersPicture) {
  QPixmap face(100, 20);
  face.fill(QColor(1, 2, 3));
  slider_.SetBitmap(face);
  EXPECT_EQ(slider_.grab().toImage().pixel(50, 10), qRgb(1, 2, 3));
}

}  // namespace
}  // namespace keyloom::skin
