// One preview tick of the lighting panel on the main window's on-screen
// keyboard, the repaint of the key buttons included: the main window on Qt's
// offscreen platform against the in-process keyboard, the panel open, the
// effect chosen; each iteration runs the tick and lets the window paint.
// The tick runs every 50 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>

#include <memory>
#include <thread>

#include "device/report_transaction.h"
#include "emulator/firmware_model.h"
#include "lighting/lighting_state.h"
#include "lighting/ui/lighting_panel.h"
#include "mainwnd/main_window.h"
#include "profiles/connection_handler.h"
#include "profiles/keyboard_session.h"
#include "support/inprocess_keyboard.h"
#include "support/program_home.h"

namespace {

using namespace keyloom;

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_gui_lighting_preview";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

void BM_PanelPreviewTick(benchmark::State& state) {
  App();
  keyloom::testing::ProgramHome home{KEYLOOM_BUILD_DIR};

  emulator::FirmwareModel model;
  auto keyboard = device::InProcessKeyboard::Create(model);
  profiles::KeyboardSession session;
  session.link.UseBackend(keyboard);
  if (!session.link.CommandDevice().Open("inproc:1", true, true, true, false)) {
    state.SkipWithError("no keyboard");
    return;
  }
  session.link.SetModelSizes(0x0C45, 0x7672);
  session.link.DeviceConnected.store(1);
  {
    auto window = std::make_unique<mainwnd::CKeyloomDlg>(session);
    window->Prompter().SetShower([](QWidget*, const host::MessageBoxRequest& r) { return r.default_button; });
    if (!window->Initialise(false)) {
      state.SkipWithError("no skin");
      return;
    }
    std::thread([&] { profiles::HandleConnectionChange(session, 1); }).join();
    while (window->ShownSlotButton() < 0 || window->Busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    window->show();
    lighting::ui::LightingPanel& panel = window->LightingPanel();
    if (!panel.IsOpen()) panel.ToggleLamp();
    session.lighting.CurrentLighting.colourful = state.range(1) != 0;
    const int index = lighting::EffectListIndexOf(session.lighting.ConfigBlockCopy, int(state.range(0)));
    panel.SelectEffectIndex(index);
    QCoreApplication::processEvents();
    for (auto _ : state) {
      panel.PreviewTick();
      // The repaint the tick asked for.
      QCoreApplication::processEvents();
    }
    window->hide();
  }
  session.link.DeviceConnected.store(0);
  session.link.CommandDevice().Close();
  session.link.UseBackend(nullptr);
}

BENCHMARK(BM_PanelPreviewTick)
    ->Args({1, 1})
    ->Args({1, 0})
    ->Args({4, 1})
    ->Args({8, 1})
    ->Args({10, 1})
    ->Args({14, 1})
    ->Args({20, 1})
    ->ArgNames({"effect", "colourful"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
