// The main window driven as a user drives it, against the in-process
// keyboard: what each button does to the keyboard's memories and what the
// window then shows.
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include "app/flip_setting.h"
#include "app/keyboard_reactions.h"
#include "app/single_instance.h"
#include "app/version.h"
#include "i18n/texts.h"
#include "keys/key_assignment.h"
#include "keys/key_catalogue.h"
#include "keys/keyboard_writer.h"
#include "mainwnd/main_window_fixture.h"
#include "profiles/active_slot.h"
#include "profiles/profile_file.h"
#include "skin/skin_picture.h"
#include "skin/tray_icon.h"

namespace keyloom::mainwnd::testing {
namespace {

constexpr keys::KeyCode kA = 0x1E, kB = 0x30;
constexpr int kKeyA = 1058;
constexpr int kReportRateByte = 15;

TEST_F(MainWindowTest, FirstConnectionReadsTheProfileAndBringsTheWindowUp) {
  ASSERT_TRUE(model->SwitchSlotOnKeyboard(1));
  EXPECT_FALSE(window->isVisible()) << "the window starts hidden";
  Connect();
  EXPECT_EQ(window->ShownSlotButton(), 1);
  EXPECT_TRUE(Control(control::kSlot2).ToggleState());
  EXPECT_FALSE(Control(control::kSlot1).ToggleState());
  EXPECT_FALSE(Control(control::kApply).isEnabled());
  EXPECT_TRUE(window->isVisible());
}

// The monitors look for the keyboard while the window builds itself: the
// connection (and its request to open the window) can be waiting before the
// window's start-up message, which hides it. The window still comes up.
TEST_F(MainWindowTest, AKeyboardFoundDuringStartUpStillBringsTheWindowUp) {
  window.reset();  // not yet connected, its start-up message not handled
  window = std::make_unique<CKeyloomDlg>(session);
  std::thread([this] { profiles::HandleConnectionChange(session, 1); }).join();
  ASSERT_TRUE(window->Initialise(false));
  ASSERT_TRUE(PumpUntil([this] { return window->ShownSlotButton() >= 0 && !window->Busy(); }, 20000));
  Pump(150);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, StartedHiddenTheWindowWaitsToBeOpened) {
  session.windows.StartupShowHandled.store(1);  // "/Start"
  Connect();
  EXPECT_FALSE(window->isVisible());
  window->OnPrivateMessage(app::kShowMessage, app::kShowTag, 0);
  EXPECT_TRUE(window->isVisible());
}

// Puts B on A in `slot` of the keyboard (the window connected), and lets
// the window read the keyboard again.
void RemapAOnKeyboard(MainWindowTest& test, profiles::KeyboardSession& session, CKeyloomDlg& window, int slot) {
  keys::KeyMacroStore& store = session.stores.EditingStore;
  const int record = keys::KeyCodeToSlot(kA);
  ASSERT_EQ(keys::StoreAssignment(store, slot, record, keys::MakeAssignment(record, keys::KeyKind::SingleKey, kB)), 1);
  ASSERT_EQ(keys::WriteKeysAndMacros(session.link, session.stores, session.Prompter(), true), 1);
  window.ProfileRefresh();
  ASSERT_TRUE(PumpUntil([&] { return !window.Busy(); }));
  (void)test;
}

TEST_F(MainWindowTest, ReportRateButtonWritesTheActiveSlotsRecord) {
  ASSERT_TRUE(model->SwitchSlotOnKeyboard(2));
  Connect();
  const int buttons[] = {control::kReport1, control::kReport2, control::kReport3, control::kReport4};
  for (int n : {3, 1, 2, 0}) {
    SCOPED_TRACE(n);
    Click(buttons[n]);
    EXPECT_EQ(LightingByte(2, kReportRateByte), n);
    EXPECT_EQ(LightingByte(0, kReportRateByte), 0) << "another slot's record changed";
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Control(buttons[i]).ToggleState(), i == n);
  }
}

TEST_F(MainWindowTest, SlotButtonSwitchesTheKeyboardAndShowsThatSlotsKeys) {
  // Slot 2 (the third) has A remapped; slot 0 has nothing.
  Connect();
  RemapAOnKeyboard(*this, session, *window, 2);
  ASSERT_EQ(window->ShownSlotButton(), 0);
  EXPECT_FALSE(window->KeyPanel().Assigned(kKeyA));

  Click(control::kSlot3);
  EXPECT_EQ(model->ActiveSlot(), 2);
  EXPECT_EQ(window->ShownSlotButton(), 2);
  ASSERT_TRUE(PumpUntil([&] { return window->KeyPanel().Assigned(kKeyA); }));
  EXPECT_TRUE(Key(kKeyA).ToggleState()) << "an assigned key shows pressed";
  EXPECT_FALSE(Key(1059).ToggleState());
  EXPECT_TRUE(Key(kKeyA).TooltipText().contains(QStringLiteral("B"))) << Key(kKeyA).TooltipText().toStdString();
  EXPECT_EQ(session.lighting.LightingSlot, 2);
}

TEST_F(MainWindowTest, ActiveSlotsButtonRereadsLightingWithoutSwitching) {
  ASSERT_TRUE(model->SwitchSlotOnKeyboard(1));
  Connect();
  // The keyboard's own change of the slot's report rate, unseen so far.
  ASSERT_TRUE(model->Transact(emulator::MakeRequest(device::kCmdBeginWrite, 0, 0)).hasReply);
  const std::uint8_t rate = 3;
  ASSERT_TRUE(model->Transact(emulator::MakeRequest(device::kCmdWriteLightingArea, 1, 42 + kReportRateByte, {&rate, 1})).hasReply);
  ASSERT_TRUE(model->Transact(emulator::MakeRequest(device::kCmdEndWrite, 0, 0)).hasReply);
  const auto config_before = model->Snapshot().config;

  Click(control::kSlot2);
  EXPECT_EQ(model->Snapshot().config, config_before) << "the slot was switched again";
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(window->ShownReportRate(), 3) << "the lighting was not read again";
}

TEST_F(MainWindowTest, DefaultAnsweredNoStillSelectsReportRateZero) {
  Connect();
  Click(control::kReport3);
  ASSERT_EQ(LightingByte(0, kReportRateByte), 2);
  answers = {host::Answer::No};
  Click(control::kDefault);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], u"Restore the current profile to its factory settings?");
  EXPECT_EQ(LightingByte(0, kReportRateByte), 0);
  EXPECT_TRUE(Control(control::kReport1).ToggleState());
}

TEST_F(MainWindowTest, DefaultAnsweredYesClearsTheSlotsKeysOnTheKeyboard) {
  Connect();
  RemapAOnKeyboard(*this, session, *window, 0);
  const auto layers_with_a = model->Snapshot().layers;
  ASSERT_TRUE(PumpUntil([&] { return window->KeyPanel().Assigned(kKeyA); }));
  Click(control::kReport2);

  answers = {host::Answer::Yes};
  Click(control::kDefault);
  ASSERT_TRUE(PumpUntil([&] { return !window->Busy() && LightingByte(0, kReportRateByte) == 0; }));
  EXPECT_FALSE(window->KeyPanel().Assigned(kKeyA));
  EXPECT_NE(model->Snapshot().layers, layers_with_a) << "the cleared keys did not reach the keyboard";
  EXPECT_FALSE(Control(control::kApply).isEnabled());
}

TEST_F(MainWindowTest, ApplyWithNothingToApplyWritesNothing) {
  Connect();
  const std::uint64_t writes = keyboard->WriteCount();
  Click(control::kApply);
  Click(control::kOk);
  window->OnPrivateMessage(kApplyMessage, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !window->Busy(); }));
  EXPECT_EQ(keyboard->WriteCount(), writes);
}

TEST_F(MainWindowTest, ApplyRunsOffTheWindowsThreadWithTheBusyPicture) {
  Connect();
  window->SetUnappliedChanges(true);
  ASSERT_TRUE(Control(control::kApply).isEnabled());
  // A slow keyboard: each report takes a while, the window must not wait.
  model->ArmFault(emulator::FaultKind::kDelayReplies, 1000, 2);
  Control(control::kApply).click();
  EXPECT_TRUE(window->Busy());
  EXPECT_TRUE(window->BusyPictureShown());
  EXPECT_TRUE(window->Bridge().TimerRunning(kTimerBusy));
  // Edits wait for the write: a report-rate click now changes nothing.
  const std::uint8_t before = LightingByte(0, kReportRateByte);
  Control(control::kReport4).click();
  ASSERT_TRUE(PumpUntil([&] { return !window->Busy(); }, 30000));
  model->ClearFaults();
  EXPECT_EQ(LightingByte(0, kReportRateByte), before);
  EXPECT_FALSE(Control(control::kApply).isEnabled()) << "a successful Apply clears the flag";
  ASSERT_TRUE(PumpUntil([&] { return !window->BusyPictureShown(); }));
  EXPECT_FALSE(window->Bridge().TimerRunning(kTimerBusy));
}

TEST_F(MainWindowTest, EscAndEnterDoNothing) {
  Connect();
  window->SetUnappliedChanges(true);
  window->show();
  const std::uint64_t writes = keyboard->WriteCount();
  for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &press);
    QApplication::sendEvent(window.get(), &release);
    Pump(50);
    EXPECT_TRUE(window->isVisible()) << key;
  }
  EXPECT_FALSE(window->Busy());
  EXPECT_EQ(keyboard->WriteCount(), writes);
  EXPECT_TRUE(window->HasUnappliedChanges());
  window->hide();
}

TEST_F(MainWindowTest, OpenWithoutKeyboardShowsTheMessage) {
  QCoreApplication::processEvents();  // the start-up message (a request before it waits for it)
  window->OnPrivateMessage(app::kShowMessage, app::kShowTag, 0);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], u"No Tarn-60 Gaming Keyboard is connected. Connect the keyboard and try again.");
  EXPECT_FALSE(window->isVisible());

  Connect();
  asked.clear();
  window->OnPrivateMessage(app::kShowMessage, app::kShowTag, 0);
  EXPECT_TRUE(asked.empty());
  EXPECT_TRUE(window->isVisible());
  // Another tag is not a request.
  window->hide();
  EXPECT_EQ(window->OnPrivateMessage(app::kShowMessage, app::kQuitTag, 0), 0);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, FlipChoosesBetweenF1ToF4AndD1ToD6) {
  Connect();
  const int f_keys[] = {1010, 1011, 1012, 1013};
  const int d_keys[] = {1016, 1017, 1018, 1019, 1020, 1021};
  ASSERT_EQ(app::ReadFlipSetting(), 0);
  for (int expected_flip : {1, 0, 1}) {
    Click(expected_flip == 1 ? control::kFlipLeft : control::kFlipRight);
    EXPECT_EQ(app::ReadFlipSetting(), expected_flip);
    for (int id : f_keys) EXPECT_EQ(Key(id).isEnabled(), expected_flip == 0) << id;
    for (int id : d_keys) EXPECT_EQ(Key(id).isEnabled(), expected_flip == 1) << id;
    EXPECT_EQ(Control(control::kFlipIndicator).ToggleState(), expected_flip == 1);
    EXPECT_TRUE(Key(1014).isEnabled()) << "F5 never depends on Flip";
  }
  // A refresh of the captions keeps the setting.
  window->RefreshKeyCaptions();
  EXPECT_TRUE(Key(1016).isEnabled());
  EXPECT_FALSE(Key(1010).isEnabled());
}

TEST_F(MainWindowTest, KeyboardResetEventEndsOnSlotZero) {
  ASSERT_TRUE(model->SwitchSlotOnKeyboard(1));
  Connect();
  ASSERT_EQ(window->ShownSlotButton(), 1);
  std::thread([&] { session.Sink().KeyboardEvent(0x0402); }).join();
  ASSERT_TRUE(PumpUntil([&] { return window->ShownSlotButton() == 0 && !window->Busy(); }));
  EXPECT_EQ(model->ActiveSlot(), 0);
  EXPECT_EQ(session.lighting.LightingSlot, 0);
  EXPECT_FALSE(window->Bridge().TimerRunning(app::kTimerReseedColours));
}

TEST_F(MainWindowTest, ChangeByAnotherProgramIsReadBackAndDropsStaleEdits) {
  Connect();
  window->ShowAbout();
  window->SetUnappliedChanges(true);
  // keyloomctl switched the slot and set its report rate.
  ASSERT_TRUE(model->SwitchSlotOnKeyboard(2));
  ASSERT_TRUE(model->Transact(emulator::MakeRequest(device::kCmdBeginWrite, 0, 0)).hasReply);
  const std::uint8_t rate = 1;
  ASSERT_TRUE(model->Transact(emulator::MakeRequest(device::kCmdWriteLightingArea, 1, 2 * 42 + kReportRateByte, {&rate, 1})).hasReply);
  ASSERT_TRUE(model->Transact(emulator::MakeRequest(device::kCmdEndWrite, 0, 0)).hasReply);
  const auto layers = model->Snapshot().layers;

  EXPECT_EQ(window->OnPrivateMessage(app::kKeyboardChangedMessage, app::kKeyboardChangedTag, 1234), 1);
  ASSERT_TRUE(PumpUntil([&] { return !window->Busy() && window->ShownSlotButton() == 2; }));
  EXPECT_EQ(window->ShownReportRate(), 1);
  EXPECT_FALSE(window->HasUnappliedChanges()) << "stale edits were kept";
  ASSERT_TRUE(PumpUntil([&] { return window->AboutDialog() == nullptr; }));
  EXPECT_EQ(model->Snapshot().layers, layers) << "the window wrote its stale copy back";
  EXPECT_EQ(window->OnPrivateMessage(app::kKeyboardChangedMessage, app::kShowTag, 0), 0);
}

TEST_F(MainWindowTest, LightingEventRereadsTheLighting) {
  Connect();
  ASSERT_TRUE(model->Transact(emulator::MakeRequest(device::kCmdBeginWrite, 0, 0)).hasReply);
  const std::uint8_t rate = 2;
  ASSERT_TRUE(model->Transact(emulator::MakeRequest(device::kCmdWriteLightingArea, 1, kReportRateByte, {&rate, 1})).hasReply);
  ASSERT_TRUE(model->Transact(emulator::MakeRequest(device::kCmdEndWrite, 0, 0)).hasReply);
  std::thread([&] { session.Sink().KeyboardEvent(0x0401); }).join();
  ASSERT_TRUE(PumpUntil([&] { return window->ShownReportRate() == 2; }));
  EXPECT_FALSE(window->Bridge().TimerRunning(app::kTimerReloadLighting));
}

TEST_F(MainWindowTest, TrayMenuAndIconDriveTheWindow) {
  Connect();
  ASSERT_TRUE(PumpUntil([&] { return window->Tray() != nullptr && window->TrayIconShown() == 141; }));
  std::thread([&] { session.Sink().KeyboardEvent(0x1811); }).join();
  ASSERT_TRUE(PumpUntil([&] { return window->TrayIconShown() == 142; }));
  std::thread([&] { session.Sink().KeyboardEvent(0x1810); }).join();
  ASSERT_TRUE(PumpUntil([&] { return window->TrayIconShown() == 141; }));

  QMenu& menu = window->Tray()->Menu();
  window->Tray()->PrepareMenu();
  QStringList texts;
  for (QAction* action : menu.actions()) texts << action->text();
  EXPECT_EQ(texts, (QStringList{QStringLiteral("Open"), QStringLiteral("About"), QStringLiteral("Exit")}));

  window->hide();
  menu.actions().at(0)->trigger();  // Open
  ASSERT_TRUE(PumpUntil([&] { return window->isVisible(); }));
  menu.actions().at(1)->trigger();  // About
  ASSERT_TRUE(PumpUntil([&] { return window->AboutDialog() != nullptr; }));
  EXPECT_EQ(window->AboutDialog()->windowTitle(), QStringLiteral("About Keyloom"));
  bool finished = false;
  QObject::connect(window.get(), &CKeyloomDlg::Finished, [&] { finished = true; });
  menu.actions().at(2)->trigger();  // Exit
  ASSERT_TRUE(PumpUntil([&] { return finished; }));
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->AboutDialog(), nullptr);
}

TEST_F(MainWindowTest, DisconnectionHidesTheWindowAndClosesTheAboutBox) {
  Connect();
  window->Open();
  window->ShowAbout();
  ASSERT_NE(window->AboutDialog(), nullptr);
  std::thread([&] { profiles::HandleConnectionChange(session, 0); }).join();
  ASSERT_TRUE(PumpUntil([&] { return !window->isVisible() && window->AboutDialog() == nullptr; }));
}

// Each button shows its part of the state picture of its state; the faces
// seldom shown (mouse-over, disabled) are cut when first needed.
TEST_F(MainWindowTest, ButtonsShowTheirPartOfTheStatePictures) {
  Connect();  // slot 1 active: its button shows the pressed face
  Click(control::kFlipLeft);  // Flip on: F1 disabled, the indicator shows the mouse-over face
  struct Case {
    const char* what;
    skin::CPngButton* button;
    std::u16string_view picture;
    bool hover;
  };
  const Case cases[] = {
      {"idle key", &Key(kKeyA), u"Skins\\main_normal.jpg", false},
      {"hovered key", &Key(kKeyA), u"Skins\\main_over.jpg", true},
      {"active slot", &Control(control::kSlot1), u"Skins\\main_down.jpg", false},
      {"disabled F1", &Key(1010), u"Skins\\main_disable.jpg", false},
      {"Flip indicator on", &Control(control::kFlipIndicator), u"Skins\\main_over.jpg", false},
  };
  for (const Case& c : cases) {
    if (c.hover) {
      QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), c.button->mapToGlobal(QPointF(3, 3)), Qt::NoButton,
                       Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(c.button, &move);
      ASSERT_TRUE(PumpUntil([&] { return c.button->IsHovered(); })) << c.what;
    }
    const std::optional<QImage> picture = skin::LoadSkinPicture(app::Paths().AppDir, c.picture);
    ASSERT_TRUE(picture) << c.what;
    const QImage shown = c.button->grab().toImage();
    // A corner, clear of any caption.
    const QPoint at(c.button->OffsetX() - 1 + 1, c.button->OffsetY() - 1 + 1);
    EXPECT_EQ(QColor(shown.pixel(1, 1)), QColor(picture->pixel(at))) << c.what;
    EXPECT_NE(QColor(picture->pixel(at)), QColor(Qt::black)) << c.what << ": the case shows nothing";
  }
}

TEST_F(MainWindowTest, ControlsSitAtTheirLayoutRectangles) {
  struct Case {
    int id;
    QRect rect;
  };
  // A few from each group of the skin's layout.
  const Case cases[] = {
      {control::kSlot1, QRect(226, 56, 86, 32)}, {control::kReport4, QRect(922, 56, 62, 32)},
      {control::kApply, QRect(888, 500, 92, 32)}, {control::kClose, QRect(954, 10, 30, 28)},
  };
  for (const Case& c : cases) EXPECT_EQ(Control(c.id).geometry(), c.rect) << c.id;
  EXPECT_EQ(Key(1000).geometry(), QRect(63, 232, 45, 21)) << "G1";
  EXPECT_FALSE(Key(1140).isEnabled()) << "G6 starts disabled";
  EXPECT_EQ(window->size(), QSize(1000, 556));
  EXPECT_FALSE(window->Control(control::kSwitch)->isVisible());
  EXPECT_FALSE(Control(control::kVersion).isEnabled());
  EXPECT_EQ(Control(control::kVersion).text(), QStringLiteral("v") + QString::fromUtf8(app::Version().data(), static_cast<qsizetype>(app::Version().size())));
}

}  // namespace
}  // namespace keyloom::mainwnd::testing
