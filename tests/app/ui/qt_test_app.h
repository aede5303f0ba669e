#pragma once
// The test program's one QApplication: made before the first test and ended
// after the last, before the program exits.
#include <QApplication>
#include <QElapsedTimer>

namespace keyloom::app::testing {

QApplication& App();

// Runs the UI thread's event loop until `done` holds; false after the time-out.
template <typename Pred>
bool PumpUntil(Pred done, int timeout_ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace keyloom::app::testing
