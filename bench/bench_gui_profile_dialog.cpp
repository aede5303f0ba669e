// The profile manager with the longest list it reads back: the three slot
// rows and 253 remembered files, every other one missing. Opening: the
// stored list read, each file looked up and the rows shown, on Qt's
// offscreen platform. Storing: what Apply writes to the settings store for
// that list, before it turns to the keyboard.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <fstream>
#include <string>

#include "app/app_settings_store.h"
#include "platform/registry.h"
#include "profiles/keyboard_session.h"
#include "profiles/profile_list.h"
#include "profiles/ui/profile_dialog.h"
#include "skin/report_ctrl.h"
#include "support/program_home.h"

namespace {

using namespace keyloom;

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_gui_profile_dialog";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

// The program's paths in a fresh home, the settings store in it, and the
// longest list stored there.
struct FullList {
  keyloom::testing::ProgramHome home{KEYLOOM_BUILD_DIR};
  registry::ScopedStoreFile store{home.path() / "registry.reg"};

  FullList() {
    std::vector<std::filesystem::path> files;
    for (int i = 3; i < profiles::kMaxStoredProfileRows; ++i) {
      const std::filesystem::path file = home.path() / ("profile " + std::to_string(i) + ".kyl");
      if (i % 2 == 0) std::ofstream(file) << "x";
      files.push_back(file);
    }
    list.Fill(home.path() / "data" / "$Profile0.kyl", files, 0);
  }
  profiles::ProfileList list;
};

void BM_OpenWithTheLongestList(benchmark::State& state) {
  App();
  FullList full;
  if (!full.list.Store()) {
    state.SkipWithError("the list could not be stored");
    return;
  }
  profiles::KeyboardSession session;
  profiles::ui::CKeyloom_DlgProfile::Hooks hooks;
  hooks.run_busy = [](std::function<int()>, std::function<void(int)>) { return false; };
  profiles::ui::CKeyloom_DlgProfile dialog(session, std::move(hooks), nullptr);
  for (auto _ : state) {
    if (!dialog.OpenModeless() || dialog.ListControl().GetItemCount() != profiles::kMaxStoredProfileRows) {
      state.SkipWithError("the dialog did not open with the whole list");
      break;
    }
    QApplication::processEvents();
    dialog.CloseIfOpen();
  }
}
BENCHMARK(BM_OpenWithTheLongestList)->Unit(benchmark::kMillisecond);

void BM_StoreTheLongestList(benchmark::State& state) {
  FullList full;
  for (auto _ : state) {
    if (!full.list.Store()) {
      state.SkipWithError("the list could not be stored");
      break;
    }
  }
}
BENCHMARK(BM_StoreTheLongestList)->Unit(benchmark::kMillisecond);

}  // namespace
