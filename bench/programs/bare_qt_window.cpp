// The yardstick of the desktop program's start: a bare Qt Widgets window
// with one label. It writes "shown" once the window is shown, as keyloom
// does with KEYLOOM_TRACE_WINDOW, and runs until it is ended.
#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label(QStringLiteral("Tarn-60 Gaming Keyboard"));
  label.resize(1000, 556);
  label.show();
  QTimer::singleShot(0, [] {
    std::printf("shown\n");
    std::fflush(stdout);
  });
  return app.exec();
}
