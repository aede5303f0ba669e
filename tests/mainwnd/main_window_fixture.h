#pragma once
// The main window on Qt's offscreen platform against the in-process virtual
// keyboard: the program's resource folder of the build tree (skins and
// language files), a per-test user folder and settings store, the
// keyboard connected as the connection monitor would report it, and the
// message boxes answered by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include "app/ui/qt_test_app.h"

#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/settings_paths.h"
#include "device/device_fixture.h"
#include "device/report_transaction.h"
#include "emulator/firmware_model.h"
#include "i18n/texts.h"
#include "mainwnd/main_window.h"
#include "platform/registry.h"
#include "platform/scoped_env.h"
#include "platform/test_dir.h"
#include "profiles/connection_handler.h"
#include "profiles/keyboard_session.h"
#include "skin/png_button.h"
#include "support/inprocess_keyboard.h"

namespace keyloom::mainwnd::testing {

using app::testing::App;
using app::testing::PumpUntil;

// Runs the event loop for a while.
inline void Pump(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    env_.Set("XDG_CONFIG_HOME", (home_.path() / "config").c_str());
    env_.Set("XDG_DATA_HOME", (home_.path() / "data").c_str());
    env_.Set("LC_ALL", "en_US.UTF-8");
    app::InitProgramPaths(KEYLOOM_BUILD_DIR, std::string(KEYLOOM_BUILD_DIR) + "/keyloom");
    app::InitUserPaths(home_.path() / "data");

    model = std::make_unique<emulator::FirmwareModel>(device::testing::ModelOptions(0x0C45, 0x7672));
    keyboard = device::InProcessKeyboard::Create(*model);
    session.link.UseBackend(keyboard);
    ASSERT_TRUE(session.link.CommandDevice().Open("inproc:1", true, true, true, false));
    session.link.SetModelSizes(0x0C45, 0x7672);
    session.link.DeviceConnected.store(1);

    window = std::make_unique<CKeyloomDlg>(session);
    window->Prompter().SetShower([this](QWidget*, const host::MessageBoxRequest& request) {
      asked.push_back(std::u16string(request.text));
      if (answers.empty()) return request.default_button;
      const host::Answer answer = answers.front();
      answers.pop_front();
      return answer;
    });
    ASSERT_TRUE(window->Initialise(false));
  }

  void TearDown() override {
    window.reset();
    session.link.DeviceConnected.store(0);
    session.link.CommandDevice().Close();
    session.link.UseBackend(nullptr);
  }

  // The connection monitor's report of the keyboard, and the window's
  // reading of the profile that follows it.
  void Connect() {
    std::thread([this] { profiles::HandleConnectionChange(session, 1); }).join();
    ASSERT_TRUE(PumpUntil([this] { return window->ShownSlotButton() >= 0 && !window->Busy(); }, 20000));
    Pump(150);  // the busy picture's last frames
  }

  skin::CPngButton& Control(int id) {
    skin::CPngButton* button = window->Control(id);
    EXPECT_NE(button, nullptr) << id;
    return *button;
  }
  skin::CPngButton& Key(int id) {
    skin::CPngButton* button = window->KeyPanel().Button(id);
    EXPECT_NE(button, nullptr) << id;
    return *button;
  }
  // Clicks a control as the user does and lets the window finish what
  // follows (keyboard work included).
  void Click(int id) {
    Control(id).click();
    ASSERT_TRUE(PumpUntil([this] { return !window->Busy(); }));
  }
  std::uint8_t LightingByte(int slot, int offset) {
    return model->Snapshot().lighting.at(static_cast<std::size_t>(slot * 42 + offset));
  }

  keyloom::testing::TempDir home_;
  // The settings store is chosen once per process: each test has its own.
  registry::ScopedStoreFile store_{home_.path() / "config" / "keyloom" / "registry.reg"};
  keyloom::testing::ScopedEnv env_;
  app::ScopedSettingsPaths paths_;
  i18n::ScopedLanguageFileDir languages_{KEYLOOM_BUILD_DIR};
  device::ScopedCommandPause no_pause_{[](std::uint32_t) {}};
  std::unique_ptr<emulator::FirmwareModel> model;
  std::shared_ptr<device::InProcessKeyboard> keyboard;
  profiles::KeyboardSession session;
  std::unique_ptr<CKeyloomDlg> window;
  std::vector<std::u16string> asked;
  std::deque<host::Answer> answers;
};

}  // namespace keyloom::mainwnd::testing
