#pragma once
// Shared helpers of the skin tests: a temporary folder, synthetic pictures
// and event helpers for widgets on the offscreen platform.
#include <QColor>
#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <filesystem>

#include "platform/ini.h"
#include <string>

namespace keyloom::skin::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path Write(const std::string& name, const std::string& contents) const;

 private:
  ini::ScopedEmptyCache ini_cache_;
  std::filesystem::path path_;
};

// A picture whose every pixel encodes its coordinates: red = x & 0xFF,
// green = y & 0xFF, blue = 0x80 + (x >> 8) * 16 + (y >> 8).
QImage CoordinatePicture(int width, int height);
QRgb CoordinateColour(int x, int y);
QImage FilledPicture(int width, int height, QColor colour);

// Runs the event loop for `ms` milliseconds.
void Pump(int ms);

void SendMouse(QWidget& widget, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton,
               Qt::MouseButtons buttons = Qt::LeftButton);

}  // namespace keyloom::skin::testing
