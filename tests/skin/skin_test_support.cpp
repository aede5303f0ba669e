#include "skin_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <fstream>
#include <random>

#include "platform/ini.h"

namespace keyloom::skin::testing {

namespace {

// The widgets need an application object; the tests run on the offscreen
// platform.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_skin";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

TempDir::TempDir() {
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() / ("keyloom-skin-" + std::to_string(rd()) + std::to_string(rd()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::Write(const std::string& name, const std::string& contents) const {
  const auto file = path_ / name;
  std::ofstream out(file, std::ios::binary);
  out << contents;
  return file;
}

QRgb CoordinateColour(int x, int y) { return qRgb(x & 0xFF, y & 0xFF, 0x80 + (x >> 8) * 16 + (y >> 8)); }

QImage CoordinatePicture(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.setPixel(x, y, CoordinateColour(x, y));
  }
  return image;
}

QImage FilledPicture(int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

void Pump(int ms) {
  QElapsedTimer timer;
  timer.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  } while (timer.elapsed() < ms);
}

void SendMouse(QWidget& widget, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
  const QPointF local(pos);
  const QPointF global(widget.mapToGlobal(pos));
  QMouseEvent event(type, local, local, global, button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(&widget, &event);
}

}  // namespace keyloom::skin::testing
