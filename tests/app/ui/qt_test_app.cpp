#include "qt_test_app.h"

#include <gtest/gtest.h>

#include <memory>

namespace keyloom::app::testing {
namespace {

std::unique_ptr<QApplication>& Instance() {
  static std::unique_ptr<QApplication> app;
  return app;
}

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { App(); }
  void TearDown() override { Instance().reset(); }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(std::make_unique<QtEnvironment>().release());

}  // namespace

QApplication& App() {
  static int argc = 1;
  static char name[] = "test_app_ui";
  static char* argv[] = {name, nullptr};
  if (!Instance()) Instance() = std::make_unique<QApplication>(argc, argv);
  return *Instance();
}

}  // namespace keyloom::app::testing
