// The key-setting dialog driven from the main window's on-screen keyboard
// against the in-process keyboard: each edit ends with the main window's
// Apply and what the keyboard itself then sends for the key.
#include "keys/ui/key_setting_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>

#include <filesystem>
#include <fstream>

#include "app/record_delays_setting.h"
#include "emulator/key_playback.h"
#include "platform/shell.h"
#include "keys/key_catalogue.h"
#include "keys/key_macro_store.h"
#include "mainwnd/main_window_fixture.h"
#include "skin/report_ctrl.h"

namespace keyloom::mainwnd::testing {
namespace {

using keys::ui::Keyloom_DlgComposite;
namespace dlg = keys::ui::composite;
using emulator::HostEvent;

constexpr keys::KeyCode kA = 0x1E, kB = 0x30, kF12 = 0x58;

int ControlOfKey(keys::KeyCode code) {
  for (const auto& key : keys::PanelOrderKeys())
    if (key.code == code) return key.controlId;
  return 0;
}

class KeySettingDialogTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Connect();
  }

  // A click on the key's button of the on-screen keyboard.
  Keyloom_DlgComposite& Open(keys::KeyCode code) {
    window->KeyPanel().Click(ControlOfKey(code));
    Keyloom_DlgComposite* dialog = window->KeyDialog();
    EXPECT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->OpenCount(), 1);
    return *dialog;
  }
  // A key typed while the dialog holds the keyboard (X11 key code and symbol).
  static void Type(Keyloom_DlgComposite& dialog, std::uint32_t evdev, std::uint32_t keysym) {
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
      QKeyEvent event(type, 0, Qt::NoModifier, evdev + 8, keysym, 0);
      QApplication::sendEvent(&dialog, &event);
    }
  }
  // OK in the dialog, then Apply in the main window.
  void OkAndApply(Keyloom_DlgComposite& dialog) {
    dialog.Click(dlg::kOk);
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_TRUE(Control(control::kApply).isEnabled());
    Click(control::kApply);
    EXPECT_FALSE(window->HasUnappliedChanges());
  }
  // What the keyboard sends for one press of the key.
  std::vector<HostEvent> Play(keys::KeyCode code) {
    const auto memories = model->Snapshot();
    const int position = emulator::FindFactoryPosition(memories, model->Model(), keys::KeyCodeToUsage(code).usage);
    EXPECT_GE(position, 0);
    const emulator::KeyStroke stroke{static_cast<std::uint32_t>(position), 0, 10};
    return emulator::PlayKeys(memories, model->Model(), std::span(&stroke, 1));
  }
  static std::vector<std::pair<std::uint16_t, bool>> Usages(const std::vector<HostEvent>& events) {
    std::vector<std::pair<std::uint16_t, bool>> out;
    for (const HostEvent& e : events) out.emplace_back(e.usage, e.down);
    return out;
  }
  keys::KeyAssignment Record(keys::KeyCode code) {
    return keys::ReadAssignment(session.stores.EditingStore, 0, keys::KeyCodeToSlot(code));
  }
  void PutMacro(std::vector<keys::MacroAction> actions) {
    keys::MacroRecord macro;
    macro.name = u"Hello";
    macro.id = 1;
    macro.actions = std::move(actions);
    session.stores.EditingStore.macros = {macro};
  }
  // Edits a cell of the action list in place.
  static void EditCell(Keyloom_DlgComposite& dialog, int row, int column, const QString& text) {
    skin::CReportCtrl& actions = dialog.Actions();
    ASSERT_TRUE(actions.StartEdit(row, column));
    auto* edit = qobject_cast<QLineEdit*>(actions.EditorWidget());
    ASSERT_NE(edit, nullptr);
    edit->setText(text);
    actions.EndEdit(true);
  }
  static void SetCycles(Keyloom_DlgComposite& dialog, const QString& text) {
    auto* cycles = qobject_cast<QLineEdit*>(dialog.Control(dlg::kCycles));
    cycles->setText(text);
    emit cycles->editingFinished();
  }
};

TEST_F(KeySettingDialogTest, CapturedKeyIsWhatTheKeyboardSends) {
  Keyloom_DlgComposite& dialog = Open(kA);
  EXPECT_TRUE(dialog.Control(dlg::kCaptured)->isVisible()) << "an unassigned key opens on the single-key tab";
  Type(dialog, 48, 'b');  // B
  EXPECT_EQ(qobject_cast<QLineEdit*>(dialog.Control(dlg::kCaptured))->text(), QStringLiteral("B"));
  OkAndApply(dialog);
  EXPECT_EQ(Record(kA).kind, 2);
  EXPECT_EQ(Usages(Play(kA)), (std::vector<std::pair<std::uint16_t, bool>>{{0x05, true}, {0x05, false}}));

  // Opened again, the key shows B; OK without changes keeps it and leaves
  // nothing to apply.
  Keyloom_DlgComposite& again = Open(kA);
  EXPECT_EQ(qobject_cast<QLineEdit*>(again.Control(dlg::kCaptured))->text(), QStringLiteral("B"));
  again.Click(dlg::kOk);
  EXPECT_EQ(Record(kA).kind, 2);
  EXPECT_EQ(Record(kA).value, kB);
  EXPECT_FALSE(Control(control::kApply).isEnabled());

  // The key assigned to itself returns to its factory function.
  Keyloom_DlgComposite& itself = Open(kA);
  Type(itself, 30, 'a');
  OkAndApply(itself);
  EXPECT_EQ(Record(kA).kind, 0);
  EXPECT_EQ(Usages(Play(kA)), (std::vector<std::pair<std::uint16_t, bool>>{{0x04, true}, {0x04, false}}));
}

TEST_F(KeySettingDialogTest, CaptureOfNativeKeys) {
  struct Case {
    const char* name;
    std::uint32_t evdev, keysym;
    bool press;
    keys::KeyCode captured;
  };
  const Case cases[] = {
      {"left Super", 125, 0xFFEB, true, 0x15B},
      {"right Super", 126, 0xFFEC, true, 0x15C},
      {"Menu", 127, 0xFF67, true, 0x15D},
      {"Print Screen on its release", 99, 0xFF61, false, 0x137},
      {"Print Screen's press alone: nothing", 99, 0xFF61, true, 0},
      {"release of B alone: nothing", 48, 'b', false, 0},
      {"volume up passes", 115, 0x1008FF13, true, 0},
  };
  Keyloom_DlgComposite& dialog = Open(kA);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialog.Click(dlg::kClear);
    QKeyEvent event(c.press ? QEvent::KeyPress : QEvent::KeyRelease, 0, Qt::NoModifier, c.evdev + 8, c.keysym, 0);
    QApplication::sendEvent(&dialog, &event);
    EXPECT_EQ(dialog.Model()->CapturedKey(), c.captured);
  }
  dialog.Click(dlg::kCancel);
}

TEST_F(KeySettingDialogTest, MediaAndFunctionEntries) {
  struct Case {
    const char* name;
    int tab, list, entry;
    std::uint16_t kind;
  };
  const Case cases[] = {{"media", dlg::kMediaTab, dlg::kMediaList, 3, 7}, {"function", dlg::kFunctionTab, dlg::kFunctionList, 1, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Keyloom_DlgComposite& dialog = Open(kA);
    dialog.Click(c.tab);
    auto* list = qobject_cast<QListWidget*>(dialog.Control(c.list));
    ASSERT_TRUE(list->isVisible());
    list->setCurrentRow(c.entry);
    OkAndApply(dialog);
    EXPECT_EQ(Record(kA).kind, c.kind);
    EXPECT_EQ(Record(kA).value, std::uint32_t(c.entry));
    const auto events = Play(kA);
    ASSERT_FALSE(events.empty());
    if (c.kind == 7) {
      EXPECT_EQ(events[0].page, 12) << "a consumer usage";
    } else {
      EXPECT_EQ(events[0].kind, HostEvent::Kind::kFunction);
    }
  }
}

TEST_F(KeySettingDialogTest, MacroEditedInPlaceAndAssignedToF12) {
  struct Case {
    QString pause, cycles;
    std::uint32_t kept_pause;
    int kept_cycles;
    bool message;
  };
  const Case cases[] = {{"12345", "300", 12340, 255, false}, {"50000", "0", 40000, 1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pause.toStdString());
    PutMacro({{100, kA, keys::kPress}, {0, kA, keys::kRelease}});
    asked.clear();
    Keyloom_DlgComposite& dialog = Open(kF12);
    dialog.Click(dlg::kMacroTab);
    ASSERT_TRUE(dialog.Control(dlg::kActions)->isVisible());
    ASSERT_EQ(dialog.Actions().GetItemCount(), 2);
    EditCell(dialog, 0, 2, c.pause);
    EXPECT_EQ(dialog.Actions().GetItemText(0, 2), QString::number(c.kept_pause));
    EXPECT_EQ(asked.size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_NE(asked[0].find(u"40000"), std::u16string::npos);
    }
    SetCycles(dialog, c.cycles);
    EXPECT_EQ(qobject_cast<QLineEdit*>(dialog.Control(dlg::kCycles))->text(), QString::number(c.kept_cycles));
    OkAndApply(dialog);
    EXPECT_EQ(Record(kF12).kind, 4);
    EXPECT_EQ(Record(kF12).param, c.kept_cycles);
    const auto events = Play(kF12);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(Usages({events[0], events[1]}), (std::vector<std::pair<std::uint16_t, bool>>{{0x04, true}, {0x04, false}}));
    EXPECT_EQ(events[1].t - events[0].t, c.kept_pause);
    EXPECT_EQ(events.size(), 2u * std::size_t(c.kept_cycles));
  }
}

// Typed keys recorded into the macro after its selected first row, with
// the record-delays setting off (fixed 50 ms pauses, so the figures do not
// depend on the machine's speed); the measured pauses are the recorder's
// own tests.
TEST_F(KeySettingDialogTest, RecordedMacroPlaysOnF12) {
  PutMacro({{100, kA, keys::kPress}, {0, kA, keys::kRelease}});
  Keyloom_DlgComposite& dialog = Open(kF12);
  dialog.Click(dlg::kMacroTab);
  auto* delays = qobject_cast<QCheckBox*>(dialog.Control(dlg::kRecordDelays));
  ASSERT_NE(delays, nullptr);
  delays->setChecked(true);
  EXPECT_TRUE(app::ReadRecordDelaysSetting()) << "saved at once";
  delays->setChecked(false);
  EXPECT_FALSE(app::ReadRecordDelaysSetting());

  dialog.Actions().SetItemStates(0, skin::kSelect | skin::kFocus);
  ASSERT_TRUE(dialog.Button(dlg::kRecord)->isEnabled());
  dialog.Click(dlg::kRecord);
  const auto send = [&](QEvent::Type type, std::uint32_t evdev, std::uint32_t keysym, bool repeat) {
    QKeyEvent event(type, 0, Qt::NoModifier, evdev + 8, keysym, 0, QString(), repeat);
    QApplication::sendEvent(&dialog, &event);
  };
  send(QEvent::KeyPress, 48, 'b', false);
  send(QEvent::KeyPress, 48, 'b', true);  // auto-repeats are not recorded
  send(QEvent::KeyPress, 48, 'b', true);
  send(QEvent::KeyRelease, 48, 'b', false);
  ASSERT_EQ(dialog.Actions().GetItemCount(), 4);
  const std::uint32_t pauses[] = {50, 50, 100, 0};
  for (int row = 0; row < 4; ++row) {
    EXPECT_EQ(dialog.Actions().GetItemText(row, 2), QString::number(pauses[row])) << "row " << row;
  }
  EXPECT_EQ(dialog.Actions().GetNextItem(skin::kSelect), 2) << "the last recorded row";

  // A tab switch ends the recording: the single-key tab takes the next key.
  dialog.Click(dlg::kKeyTab);
  Type(dialog, 46, 'c');
  dialog.Click(dlg::kMacroTab);
  EXPECT_EQ(dialog.Actions().GetItemCount(), 4);
  OkAndApply(dialog);
  EXPECT_EQ(Record(kF12).kind, 4);
  const auto events = Play(kF12);
  EXPECT_EQ(Usages(events), (std::vector<std::pair<std::uint16_t, bool>>{
                                {0x04, true}, {0x05, true}, {0x05, false}, {0x04, false}}));
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1].t - events[0].t, 50u);
  EXPECT_EQ(events[2].t - events[1].t, 50u);
  EXPECT_EQ(events[3].t - events[2].t, 100u);
}

TEST_F(KeySettingDialogTest, MacroListAddRenameAndDeleteInUse) {
  PutMacro({{100, kA, keys::kPress}, {0, kA, keys::kRelease}});
  Keyloom_DlgComposite& dialog = Open(kF12);
  dialog.Click(dlg::kMacroTab);
  auto* list = qobject_cast<QComboBox*>(dialog.Control(dlg::kMacroList));
  dialog.Click(dlg::kAddMacro);
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->currentIndex(), 1);
  EXPECT_EQ(dialog.Actions().GetItemCount(), 0) << "the new macro has no actions";
  list->lineEdit()->setText(QStringLiteral("Greeting"));
  emit list->lineEdit()->editingFinished();
  EXPECT_EQ(list->itemText(1), QStringLiteral("Greeting"));
  OkAndApply(dialog);
  ASSERT_EQ(session.stores.EditingStore.macros.size(), 2u);
  EXPECT_EQ(session.stores.EditingStore.macros[1].name, u"Greeting");
  EXPECT_EQ(Record(kF12).value, session.stores.EditingStore.macros[1].id);

  // Deleting the macro F12 plays asks; No keeps it, Yes removes it and F12
  // returns to its factory function.
  Keyloom_DlgComposite& again = Open(kF12);
  ASSERT_EQ(list->currentText(), QStringLiteral("Greeting"));
  asked.clear();
  answers = {host::Answer::No};
  again.Click(dlg::kDeleteMacro);
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(list->count(), 2);
  answers = {host::Answer::Yes};
  again.Click(dlg::kDeleteMacro);
  EXPECT_EQ(list->count(), 1);
  again.Click(dlg::kKeyTab);
  OkAndApply(again);
  EXPECT_EQ(session.stores.EditingStore.macros.size(), 1u);
  EXPECT_EQ(Record(kF12).kind, 0);
  EXPECT_EQ(Usages(Play(kF12)), (std::vector<std::pair<std::uint16_t, bool>>{{0x45, true}, {0x45, false}}));
}

TEST_F(KeySettingDialogTest, MovedRowsPlayInTheirNewOrder) {
  PutMacro({{0, kB, keys::kPress}, {50, kB, keys::kRelease}, {0, kA, keys::kPress}, {0, kA, keys::kRelease}});
  Keyloom_DlgComposite& dialog = Open(kF12);
  dialog.Click(dlg::kMacroTab);
  skin::CReportCtrl& rows = dialog.Actions();
  // As a click selects: that row alone.
  auto select = [&](int row) {
    rows.SetAllItemStates(skin::kAny, skin::kUnselect | skin::kUnfocus);
    rows.SetItemStates(row, skin::kSelect | skin::kFocus);
  };
  select(2);
  dialog.Click(dlg::kTop);  // A down first
  EXPECT_EQ(rows.GetItemText(0, 0), QStringLiteral("A"));
  select(3);
  dialog.Click(dlg::kUp);  // A up before B up
  EXPECT_EQ(rows.GetItemText(2, 2), QStringLiteral("0"));
  EXPECT_EQ(rows.GetItemText(3, 2), QStringLiteral("50")) << "a row keeps its pause";
  answers = {host::Answer::No};
  dialog.Click(dlg::kClearActions);
  EXPECT_EQ(rows.GetItemCount(), 4) << "No keeps the rows";
  OkAndApply(dialog);
  EXPECT_EQ(Usages(Play(kF12)), (std::vector<std::pair<std::uint16_t, bool>>{
                                    {0x04, true}, {0x05, true}, {0x04, false}, {0x05, false}}));
}

TEST_F(KeySettingDialogTest, CancelAfterChangesLeavesTheStoresAlone) {
  PutMacro({{100, kA, keys::kPress}, {0, kA, keys::kRelease}});
  const auto before = session.stores.EditingStore.macros;
  const auto record_before = Record(kA);
  Keyloom_DlgComposite& dialog = Open(kA);
  Type(dialog, 48, 'b');
  dialog.Click(dlg::kMacroTab);
  EditCell(dialog, 1, 2, "500");
  dialog.Click(dlg::kBottom);
  dialog.Click(dlg::kAddMacro);
  answers.push_back(host::Answer::Yes);
  dialog.Click(dlg::kDeleteMacro);
  dialog.Click(dlg::kCancel);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(session.stores.EditingStore.macros, before);
  EXPECT_EQ(Record(kA), record_before);
  EXPECT_FALSE(Control(control::kApply).isEnabled());
}

TEST_F(KeySettingDialogTest, EscapeAndEnterCloseNothing) {
  Keyloom_DlgComposite& dialog = Open(kA);
  for (int tab : {dlg::kMacroTab, dlg::kKeyTab}) {
    dialog.Click(tab);
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
      QApplication::sendEvent(&dialog, &press);
      EXPECT_TRUE(dialog.isVisible()) << key;
    }
  }
  dialog.Click(dlg::kCancel);
}

TEST_F(KeySettingDialogTest, ProfileSwitchClosesTheDialogWithoutApplying) {
  const auto record_before = Record(kA);
  Keyloom_DlgComposite& dialog = Open(kA);
  Type(dialog, 48, 'b');
  EXPECT_TRUE(session.windows.CompositeDialogOpen.load());
  window->OnPrivateMessage(kCloseEditorsMessage, 0, 0);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.OpenCount(), 0);
  EXPECT_FALSE(session.windows.CompositeDialogOpen.load());
  EXPECT_EQ(Record(kA), record_before);
  EXPECT_FALSE(Key(ControlOfKey(kA)).isDown()) << "the clicked key shows released again";
}

TEST_F(KeySettingDialogTest, LastGButtonEditsMacrosOnlyCentred) {
  window->KeyPanel().Click(keys::kMacroOnlyControlId);
  Keyloom_DlgComposite* dialog = window->KeyDialog();
  ASSERT_TRUE(dialog->isVisible());
  EXPECT_TRUE(dialog->Control(dlg::kActions)->isVisible());
  for (int id : {dlg::kKeyTab, dlg::kMediaTab, dlg::kFunctionTab, dlg::kClear})
    EXPECT_FALSE(dialog->Control(id)->isVisible()) << id;
  dialog->Click(dlg::kCancel);
}

TEST_F(KeySettingDialogTest, OnScreenKeyboardStartsOrIsReportedMissing) {
  // PATH holds only what each case installs.
  const std::filesystem::path bin = home_.path() / "bin";
  std::filesystem::create_directories(bin);
  env_.Set("PATH", bin.c_str());
  std::vector<std::filesystem::path> started;
  shell::ScopedRecorder recorder([&](const shell::OpenRequest& request) {
    started.push_back(request.file);
    return true;
  });
  Keyloom_DlgComposite& dialog = Open(kA);

  asked.clear();
  dialog.Click(dlg::kOsk);
  EXPECT_TRUE(started.empty());
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], i18n::Text("OSK_NOT_FOUND"));
  EXPECT_EQ(asked[0].find(u"#Error"), std::u16string::npos);

  const std::filesystem::path onboard = bin / "onboard";
  std::ofstream(onboard) << "#!/bin/sh\n";
  std::filesystem::permissions(onboard, std::filesystem::perms::owner_all);
  asked.clear();
  dialog.Click(dlg::kOsk);
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0], onboard);
  EXPECT_TRUE(asked.empty());
  EXPECT_TRUE(dialog.isVisible());
  dialog.Click(dlg::kCancel);
}

}  // namespace
}  // namespace keyloom::mainwnd::testing
