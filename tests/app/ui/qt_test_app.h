#pragma once
// The test program's one QApplication: made before the first test and ended
// after the last, before the program exits.
#include <QApplication>

namespace keyloom::app::testing {

QApplication& App();

}  // namespace keyloom::app::testing
