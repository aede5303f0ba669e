// Opening the key-setting dialog on a key that plays a macro of 4000
// actions (the most a macro holds): the dialog on Qt's offscreen platform,
// the macro's rows filled into the action list. Each iteration opens the
// dialog for the key and closes it again. Recording the 4000th action: a
// typed key arriving while the dialog records into a macro of 3999 actions,
// the action list shown again with it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>

#include "keys/key_catalogue.h"
#include "keys/key_macro_store.h"
#include "keys/ui/key_setting_dialog.h"
#include "platform/host.h"
#include "profiles/keyboard_session.h"
#include "skin/report_ctrl.h"
#include "support/program_home.h"

namespace {

using namespace keyloom;

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_gui_key_dialog";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

class OkPrompter : public host::Prompter {
 public:
  host::Answer Ask(const host::MessageBoxRequest& request) override { return request.default_button; }
};

// Gives the editing store one macro of `actions` actions and plays it on A
// in the first slot; returns A's button on the on-screen keyboard.
int PlaceLongMacroOnA(profiles::KeyboardSession& session, std::size_t actions) {
  keys::MacroRecord macro;
  macro.name = u"Long";
  macro.id = 1;
  for (std::size_t i = 0; i < actions; ++i)
    macro.actions.push_back({10, keys::KeyCode(0x1E + i % 10), std::uint16_t(i % 2)});
  session.stores.EditingStore.macros = {macro};
  constexpr keys::KeyCode kA = 0x1E;
  const int record = keys::KeyCodeToSlot(kA);
  keys::StoreAssignment(session.stores.EditingStore, 0, record, keys::MakeAssignment(record, keys::KeyKind::Macro, 1, 1));
  int control = 0;
  for (const auto& key : keys::PanelOrderKeys())
    if (key.code == kA) control = key.controlId;
  return control;
}

void BM_OpenOnA4000ActionMacro(benchmark::State& state) {
  App();
  keyloom::testing::ProgramHome home{KEYLOOM_BUILD_DIR};

  profiles::KeyboardSession session;
  const int control = PlaceLongMacroOnA(session, keys::kMaxMacroActions);

  OkPrompter prompter;
  keys::ui::Keyloom_DlgComposite::Hooks hooks;
  hooks.table = [] { return 0; };
  keys::ui::Keyloom_DlgComposite dialog(session, prompter, std::move(hooks), nullptr);
  for (auto _ : state) {
    if (dialog.OpenForButton(control, false) != 1 || dialog.Actions().GetItemCount() != 4000) {
      state.SkipWithError("the dialog did not open on the macro");
      break;
    }
    QApplication::processEvents();
    dialog.OnCancel();
  }
}
BENCHMARK(BM_OpenOnA4000ActionMacro)->Unit(benchmark::kMillisecond);

void BM_RecordThe4000thAction(benchmark::State& state) {
  App();
  keyloom::testing::ProgramHome home{KEYLOOM_BUILD_DIR};

  profiles::KeyboardSession session;
  const int control = PlaceLongMacroOnA(session, keys::kMaxMacroActions - 1);

  OkPrompter prompter;
  keys::ui::Keyloom_DlgComposite::Hooks hooks;
  hooks.table = [] { return 0; };
  keys::ui::Keyloom_DlgComposite dialog(session, prompter, std::move(hooks), nullptr);
  namespace dlg = keys::ui::composite;
  for (auto _ : state) {
    state.PauseTiming();
    dialog.OpenForButton(control, false);
    dialog.Click(dlg::kMacroTab);
    dialog.Click(dlg::kRecord);
    QApplication::processEvents();
    state.ResumeTiming();
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, 48 + 8, 'b', 0);  // B
    QApplication::sendEvent(&dialog, &press);
    QApplication::processEvents();
    state.PauseTiming();
    const bool recorded = dialog.Actions().GetItemCount() == 4000;
    dialog.OnCancel();
    state.ResumeTiming();
    if (!recorded) {
      state.SkipWithError("the key was not recorded as the 4000th action");
      break;
    }
  }
}
BENCHMARK(BM_RecordThe4000thAction)->Unit(benchmark::kMillisecond);

}  // namespace
