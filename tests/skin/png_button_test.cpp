#include "skin/png_button.h"
#include "skin/skin_picture.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <cmath>
#include <map>

#include "skin_test_support.h"

namespace keyloom::skin {
namespace {

using Face = CPngButton::Face;
using testing::CoordinateColour;
using testing::Pump;
using testing::SendMouse;

QPixmap Filled(QColor colour) { return QPixmap::fromImage(testing::FilledPicture(300, 200, colour)); }

// A button whose five state pictures and two toggle pictures each have their
// own colour, so a grabbed pixel tells which one was drawn.
class ButtonFaces : public ::testing::Test {
 protected:
  void SetUp() override {
    button_.setGeometry(20, 10, 40, 20);
    button_.SetPicturesAt(20, 10, pictures_[Face::Normal], pictures_[Face::Over], pictures_[Face::Pressed],
                          pictures_[Face::Disabled], pictures_[Face::Highlight], false);
  }
  QRgb Centre() { return button_.grab().toImage().pixel(20, 10); }
  QRgb ColourOf(Face f) { return pictures_[f].toImage().pixel(0, 0); }
  void Hover() {
    SendMouse(button_, QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::NoButton);
    Pump(20);
  }

  std::map<Face, QPixmap> pictures_{{Face::Normal, Filled(QColor(10, 10, 10))},
                                    {Face::Over, Filled(QColor(20, 20, 20))},
                                    {Face::Pressed, Filled(QColor(30, 30, 30))},
                                    {Face::Disabled, Filled(QColor(40, 40, 40))},
                                    {Face::Highlight, Filled(QColor(50, 50, 50))},
                                    {Face::ToggleOff, Filled(QColor(60, 60, 60))},
                                    {Face::ToggleOn, Filled(QColor(70, 70, 70))}};
  CPngButton button_;
};

TEST(PngButton, ShowsTheStatePicturesPixelsFromOneLeftAndAboveItsOffset) {
  const QPixmap picture = QPixmap::fromImage(testing::CoordinatePicture(400, 200));
  CPngButton button;
  button.setGeometry(100, 40, 30, 12);
  button.SetPicturesAt(100, 40, picture, picture, picture, picture, picture, true);
  const QImage shown = button.grab().toImage();
  ASSERT_EQ(shown.size(), QSize(30, 12));
  for (QPoint p : {QPoint(0, 0), QPoint(29, 0), QPoint(0, 11), QPoint(29, 11), QPoint(13, 7)}) {
    EXPECT_EQ(shown.pixel(p), CoordinateColour(99 + p.x(), 39 + p.y())) << p.x() << "," << p.y();
  }
}

// A button keeps only its part of each picture: it shows the same once the
// pictures are gone, and given the skin picture itself instead of a state
// picture it shows what the state picture would give, black past the
// picture's edge.
TEST(PngButton, KeepsItsFacesAfterThePicturesAreGoneAsFromAStatePicture) {
  QWidget dialog;
  dialog.resize(200, 100);
  auto* from_picture = new CPngButton(&dialog);
  auto* from_state_picture = new CPngButton(&dialog);
  for (CPngButton* button : {from_picture, from_state_picture}) button->setGeometry(180, 85, 30, 20);
  {
    const QImage picture = testing::CoordinatePicture(190, 95);
    const QPixmap state = MakeStatePicture(picture, dialog);
    const QPixmap raw = QPixmap::fromImage(picture);
    from_picture->SetPicturesAt(180, 85, raw, raw, raw, raw, raw, false);
    from_state_picture->SetPicturesAt(180, 85, state, state, state, state, state, false);
  }
  const QImage shown = from_picture->grab().toImage();
  EXPECT_EQ(shown, from_state_picture->grab().toImage());
  EXPECT_EQ(shown.pixel(0, 0), CoordinateColour(179, 84));
  EXPECT_EQ(shown.pixel(10, 10), CoordinateColour(189, 94));
  EXPECT_EQ(QColor(shown.pixel(11, 5)), QColor(Qt::black));
  EXPECT_EQ(QColor(shown.pixel(5, 11)), QColor(Qt::black));
}

// Given the same picture again at another place, the button shows the new
// place's part of it, not the face it cut before.
TEST(PngButton, SamePictureAtAnotherOffsetIsCutAgain) {
  const QPixmap picture = QPixmap::fromImage(testing::CoordinatePicture(400, 200));
  CPngButton button;
  button.setGeometry(100, 40, 30, 12);
  button.SetPicturesAt(100, 40, picture, picture, picture, picture, picture, true);
  ASSERT_EQ(button.grab().toImage().pixel(0, 0), CoordinateColour(99, 39));
  button.setGeometry(200, 90, 30, 12);
  button.SetPicturesAt(200, 90, picture, picture, picture, picture, picture, true);
  EXPECT_EQ(button.grab().toImage().pixel(0, 0), CoordinateColour(199, 89));
  button.SetTogglePictures(picture, picture, true, true, true);
  EXPECT_EQ(button.grab().toImage().pixel(0, 0), CoordinateColour(199, 89));
}

TEST_F(ButtonFaces, FaceFollowsThePriorityOfStates) {
  struct Case {
    const char* what;
    bool disabled, toggle, pressed, hover, highlight;
    Face expected;
  };
  const Case cases[] = {
      {"idle", false, false, false, false, false, Face::Normal},
      {"highlight", false, false, false, false, true, Face::Highlight},
      {"hover beats highlight", false, false, false, true, true, Face::Over},
      {"pressed beats hover", false, false, true, true, true, Face::Pressed},
      {"toggle beats pressed and hover", false, true, true, true, true, Face::ToggleOn},
      {"disabled beats toggle", true, true, false, false, false, Face::Disabled},
      {"disabled beats hover", true, false, false, true, false, Face::Disabled},
      {"disabled beats everything", true, true, true, true, true, Face::Disabled},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CPngButton button;
    button.setGeometry(20, 10, 40, 20);
    button.SetPicturesAt(20, 10, pictures_[Face::Normal], pictures_[Face::Over], pictures_[Face::Pressed],
                         pictures_[Face::Disabled], pictures_[Face::Highlight], false);
    button.SetTogglePictures(pictures_[Face::ToggleOff], pictures_[Face::ToggleOn], c.toggle, true, false);
    button.SetHighlight(c.highlight, false);
    button.SetPressedLook(c.pressed);
    if (c.hover) {
      SendMouse(button, QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::NoButton);
      Pump(20);
    }
    button.setEnabled(!c.disabled);
    EXPECT_EQ(button.CurrentFace(), c.expected);
    EXPECT_EQ(button.grab().toImage().pixel(20, 10), pictures_[c.expected].toImage().pixel(0, 0));
  }
}

TEST_F(ButtonFaces, ToggleStateChoosesOnOrOffPicture) {
  button_.SetTogglePictures(pictures_[Face::ToggleOff], pictures_[Face::ToggleOn], true, false, true);
  EXPECT_EQ(Centre(), ColourOf(Face::ToggleOff));
  button_.SetTogglePictures(pictures_[Face::ToggleOff], pictures_[Face::ToggleOn], true, true, true);
  EXPECT_EQ(Centre(), ColourOf(Face::ToggleOn));
}

TEST_F(ButtonFaces, HoverStartsOnMoveAndEndsOnLeave) {
  EXPECT_EQ(Centre(), ColourOf(Face::Normal));
  Hover();
  EXPECT_TRUE(button_.IsHovered());
  EXPECT_EQ(Centre(), ColourOf(Face::Over));
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&button_, &leave);
  EXPECT_FALSE(button_.IsHovered());
  EXPECT_EQ(Centre(), ColourOf(Face::Normal));
  // New pictures clear the hover state.
  Hover();
  button_.SetPictures(pictures_[Face::Normal], pictures_[Face::Over], pictures_[Face::Pressed],
                      pictures_[Face::Disabled], pictures_[Face::Highlight], true);
  EXPECT_FALSE(button_.IsHovered());
}

TEST_F(ButtonFaces, FrameModeDrawsTwoPixelFrameOverTheLastFaceWithoutANewCopy) {
  EXPECT_EQ(Centre(), ColourOf(Face::Normal));  // shows the normal face first
  const QColor frame(200, 0, 0);
  button_.SetFrame(frame, true);
  button_.setEnabled(false);  // would choose the disabled picture, but frame mode copies none
  const QImage shown = button_.grab().toImage();
  const int w = shown.width(), h = shown.height();
  for (QPoint p : {QPoint(0, 0), QPoint(1, 1), QPoint(w - 1, h - 1), QPoint(w - 2, h - 2), QPoint(0, h / 2),
                   QPoint(1, h / 2), QPoint(w / 2, 0), QPoint(w / 2, h - 1), QPoint(w - 2, 5)}) {
    EXPECT_EQ(shown.pixel(p), frame.rgb()) << p.x() << "," << p.y();
  }
  for (QPoint p : {QPoint(2, 2), QPoint(w - 3, h - 3), QPoint(w / 2, h / 2)}) {
    EXPECT_EQ(shown.pixel(p), ColourOf(Face::Normal)) << p.x() << "," << p.y();
  }
  // Frame mode off copies the chosen picture again.
  button_.SetFrame(frame, false);
  EXPECT_EQ(button_.grab().toImage().pixel(0, 0), ColourOf(Face::Disabled));
}

TEST_F(ButtonFaces, FrameModeBeforeTheFirstDrawingFramesTheFace) {
  button_.SetFrame(QColor(200, 0, 0), true);
  const QImage shown = button_.grab().toImage();
  EXPECT_EQ(shown.pixel(0, 0), qRgb(200, 0, 0));
  EXPECT_EQ(shown.pixel(20, 10), ColourOf(Face::Normal));
}

TEST_F(ButtonFaces, DoubleClickCountsAsTwoClicks) {
  int clicks = 0;
  QObject::connect(&button_, &QAbstractButton::clicked, [&] { ++clicks; });
  SendMouse(button_, QEvent::MouseButtonPress, QPoint(5, 5));
  SendMouse(button_, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
  SendMouse(button_, QEvent::MouseButtonDblClick, QPoint(5, 5));
  SendMouse(button_, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(clicks, 2);
}

TEST_F(ButtonFaces, AfterDrawCallbackKnowsWhetherTheNormalPictureWasDrawn) {
  std::vector<bool> calls;
  button_.SetDrawCallback([&](CPngButton&, QPainter& painter, bool normal) {
    calls.push_back(normal);
    painter.fillRect(0, 0, 2, 2, Qt::white);  // draws over the face
  });
  QImage shown = button_.grab().toImage();
  EXPECT_EQ(shown.pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_EQ(shown.pixel(10, 10), ColourOf(Face::Normal));
  button_.SetHighlight(true, true);
  button_.grab();
  // A highlight picture that is the normal picture counts as the normal one.
  button_.SetPictures(pictures_[Face::Normal], pictures_[Face::Over], pictures_[Face::Pressed],
                      pictures_[Face::Disabled], pictures_[Face::Normal], true);
  button_.grab();
  EXPECT_EQ(calls, (std::vector<bool>{true, false, true}));
}

TEST_F(ButtonFaces, CaptionIsWrittenOverThePictureInTheStatesColour) {
  button_.setText(QStringLiteral("MMMM"));
  button_.SetCaption(true, 10, QStringLiteral("Arial Unicode MS"),
                     {QColor(250, 250, 0), QColor(0, 250, 0), QColor(0, 0, 250), QColor(250, 0, 250),
                      QColor(0, 250, 250)});
  auto count = [](const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
    return n;
  };
  const QImage normal = button_.grab().toImage();
  EXPECT_GT(count(normal, qRgb(250, 250, 0)), 5);
  button_.setEnabled(false);
  const QImage disabled = button_.grab().toImage();
  EXPECT_GT(count(disabled, qRgb(250, 0, 250)), 5);
  EXPECT_EQ(count(disabled, qRgb(250, 250, 0)), 0);
  // Margins move the caption: a left margin past the button leaves no text.
  button_.setEnabled(true);
  button_.SetCaptionMargins(100, 100, 0, 0);
  EXPECT_EQ(count(button_.grab().toImage(), qRgb(250, 250, 0)), 0);
}

TEST(PngButtonRotation, CaptionRectangleIsCentredForTheTurnedText) {
  struct Case {
    int escapement, cx, cy;
    QRect in, out;
  };
  // (left, top, width, height); right stays, left and bottom move.
  const Case cases[] = {
      // Unturned: w = cx; left moves by (100 - 40) / 2; bottom moves down by cy / 2 after the centring.
      {0, 40, 12, QRect(0, 0, 100, 20), QRect(30, 0, 70, 20 - 10 + 6)},
      // Turned 90 degrees with pi as a float: cos is a hair below 0 and sin a
      // hair below 1, so w = 0, h = 39 and cy * sin / 2 truncates to 5.
      {900, 40, 12, QRect(0, 0, 20, 100), QRect(5, 0, 15, 70)},
      // Text wider than the rectangle: nothing moves horizontally.
      {0, 300, 12, QRect(5, 5, 100, 20), QRect(5, 5, 100, 16)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CPngButton::RotatedCaptionRect(c.in, c.escapement, c.cx, c.cy), c.out) << c.escapement;
  }
}

TEST_F(ButtonFaces, TooltipWaitsForTheHoverDelayAndIgnoresEmptyText) {
  button_.SetTooltipText(QStringLiteral("Close"), true);
  button_.SetTooltipText(QString(), false);  // empty: nothing changes
  EXPECT_EQ(button_.TooltipText(), QStringLiteral("Close"));
  EXPECT_TRUE(button_.TooltipActive());
  EXPECT_FALSE(button_.TooltipPending());
  Hover();
  EXPECT_TRUE(button_.TooltipPending());  // shown after CPngButton::kTooltipDelayMs
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&button_, &leave);
  EXPECT_FALSE(button_.TooltipPending());
  button_.SetTooltipText(QStringLiteral("Close"), false);
  Hover();
  EXPECT_FALSE(button_.TooltipPending());  // inactive tooltips never show
}

}  // namespace
}  // namespace keyloom::skin
