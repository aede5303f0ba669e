#include "mainwnd/main_window_fixture.h"

namespace keyloom::mainwnd::testing {
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
  static char name[] = "test_mainwnd";
  static char* argv[] = {name, nullptr};
  if (!Instance()) Instance() = std::make_unique<QApplication>(argc, argv);
  return *Instance();
}

}  // namespace keyloom::mainwnd::testing
