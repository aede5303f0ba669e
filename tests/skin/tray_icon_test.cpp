// The tray icon: its menu, clicks, the requests it makes of the notification
// area, and what it does when there is none. The offscreen platform has no
// notification area, so the shell side runs against a recording host.
#include "skin/tray_icon.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QStyleHints>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/scoped_env.h"
#include "skin_test_support.h"

namespace keyloom::skin {
namespace {

using testing::Pump;
using testing::SendMouse;

const std::filesystem::path kIcons = std::filesystem::path(KEYLOOM_SOURCE_DIR) / "res" / "Icons";

// What the host was asked, kept outside the host (which the tray owns).
struct HostLog {
  bool available = true;
  bool add_succeeds = true;
  std::vector<std::string> calls;  // "add", "modify", "remove"
  QIcon icon;
  QString tip;
  QMenu* menu = nullptr;
  TrayHost::ActivationHandler activated;
};

class RecordingHost : public TrayHost {
 public:
  explicit RecordingHost(HostLog& log) : log_(log) {}
  bool Available() const override { return log_.available; }
  bool Add(const QIcon& icon, const QString& tip, QMenu* menu, ActivationHandler activated) override {
    log_.calls.push_back("add");
    log_.icon = icon;
    log_.tip = tip;
    log_.menu = menu;
    log_.activated = std::move(activated);
    return log_.add_succeeds;
  }
  void Modify(const QIcon& icon) override {
    log_.calls.push_back("modify");
    log_.icon = icon;
  }
  void Remove() override { log_.calls.push_back("remove"); }

 private:
  HostLog& log_;
};

// Which of the committed icons `icon` shows, by its 16-pixel picture.
int ShownId(const QIcon& icon) {
  const QImage shown = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
  for (int id : {CTrayIcon::kIconDisconnected, CTrayIcon::kIconConnected, CTrayIcon::kIconEvent}) {
    const QImage file = CTrayIcon::LoadStateIcon(kIcons, id).pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    if (!shown.isNull() && shown == file) return id;
  }
  return 0;
}

class Tray : public ::testing::Test {
 protected:
  void SetUp() override {
    hints_interval_ = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(kInterval);
    tray_ = std::make_unique<CTrayIcon>(std::make_unique<RecordingHost>(log_), kIcons);
    tray_->SetCommandHandler([this](unsigned command) { commands_.push_back(command); });
  }
  void TearDown() override { QGuiApplication::styleHints()->setMouseDoubleClickInterval(hints_interval_); }

  // Delivers what is queued, without letting a click's interval run out.
  void Deliver() { Pump(1); }

  static constexpr int kInterval = 120;
  HostLog log_;
  QWidget owner_;
  std::unique_ptr<CTrayIcon> tray_;
  std::vector<unsigned> commands_;
  int hints_interval_ = 0;
};

TEST_F(Tray, MenuHasOpenAboutExitWithLocalisedTextsAndOpenInBold) {
  std::map<unsigned, QString> texts = {{32771, "Öffnen"}, {32773, "Über"}, {32774, "Beenden"}};
  int customised = 0;
  tray_->SetMenuCustomiser([&](QMenu& menu) {
    ++customised;
    for (QAction* action : menu.actions()) action->setText(texts[action->data().toUInt()]);
  });
  ASSERT_TRUE(tray_->Create(&owner_, "tip", 128));
  EXPECT_EQ(log_.menu, &tray_->Menu());

  // A language change between two showings reaches the next one.
  texts = {{32771, "打开"}, {32773, "关于"}, {32774, "退出"}};
  const int before = customised;
  tray_->Menu().popup(QPoint(10, 10));
  Pump(10);
  EXPECT_GT(customised, before);

  const QList<QAction*> actions = tray_->Menu().actions();
  ASSERT_EQ(actions.size(), 3);
  const unsigned commands[] = {32771, 32773, 32774};
  const char* shown[] = {"打开", "关于", "退出"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(actions[i]->data().toUInt(), commands[i]) << i;
    EXPECT_EQ(actions[i]->text(), QString::fromUtf8(shown[i])) << i;
    EXPECT_EQ(actions[i]->font().bold(), i == 0) << i;
  }
  EXPECT_EQ(tray_->Menu().defaultAction(), actions[0]);
  tray_->Menu().hide();
}

TEST_F(Tray, ChoosingAMenuItemSendsItsCommandAfterTheMenuCloses) {
  ASSERT_TRUE(tray_->Create(&owner_, "tip", 128));
  QMenu& menu = tray_->Menu();
  for (int i = 0; i < 3; ++i) {
    commands_.clear();
    menu.popup(QPoint(10, 10));
    Pump(10);
    ASSERT_TRUE(menu.isVisible());
    QAction* action = menu.actions()[i];
    const QPoint at = menu.actionGeometry(action).center();
    SendMouse(menu, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    SendMouse(menu, QEvent::MouseButtonPress, at);
    SendMouse(menu, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(commands_.empty()) << i;  // not from inside the menu's own handling
    Deliver();
    EXPECT_FALSE(menu.isVisible()) << i;
    EXPECT_EQ(commands_, std::vector<unsigned>{action->data().toUInt()}) << i;
  }
}

TEST_F(Tray, ExitMayDestroyTheTrayIconFromTheCommandHandler) {
  ASSERT_TRUE(tray_->Create(&owner_, "tip", 128));
  tray_->SetCommandHandler([this](unsigned command) {
    commands_.push_back(command);
    if (command == CTrayIcon::kCommandExit) tray_.reset();
  });
  tray_->Menu().actions()[2]->trigger();
  Deliver();
  EXPECT_EQ(commands_, std::vector<unsigned>{32774});
  EXPECT_EQ(tray_, nullptr);
  EXPECT_EQ(log_.calls, (std::vector<std::string>{"add", "remove"}));
}

TEST_F(Tray, ClicksOpenTheWindow) {
  using R = QSystemTrayIcon::ActivationReason;
  struct Case {
    const char* name;
    std::vector<R> reports;
    std::vector<unsigned> at_once, after_interval;
  } cases[] = {
      {"double click", {R::DoubleClick}, {32771}, {32771}},
      {"click then double click (X11, Windows)", {R::Trigger, R::DoubleClick}, {32771}, {32771}},
      {"one click waits for a second one, then opens", {R::Trigger}, {}, {32771}},
      {"two single activations (StatusNotifierItem)", {R::Trigger, R::Trigger}, {32771}, {32771}},
      {"context and middle clicks", {R::Context, R::MiddleClick, R::Unknown}, {}, {}},
  };
  for (const Case& c : cases) {
    commands_.clear();
    for (R r : c.reports) tray_->OnActivated(r);
    Deliver();
    EXPECT_EQ(commands_, c.at_once) << c.name;
    Pump(kInterval * 3);
    EXPECT_EQ(commands_, c.after_interval) << c.name;
    EXPECT_FALSE(tray_->ClickWaiting()) << c.name;
  }
}

TEST_F(Tray, ClicksReachTheTrayThroughTheHost) {
  ASSERT_TRUE(tray_->Create(&owner_, "tip", 128));
  ASSERT_TRUE(log_.activated);
  log_.activated(QSystemTrayIcon::DoubleClick);
  Deliver();
  EXPECT_EQ(commands_, std::vector<unsigned>{32771});
}

TEST_F(Tray, SingleClickCommandIsMarkedPendingAndClearedByADoubleClick) {
  tray_->OnActivated(QSystemTrayIcon::Trigger);
  EXPECT_FALSE(tray_->SingleClickPending());  // no command kept
  Pump(kInterval * 3);

  tray_->SetSingleClickCommand(1009);
  tray_->OnActivated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(tray_->SingleClickPending());
  tray_->OnActivated(QSystemTrayIcon::DoubleClick);
  EXPECT_FALSE(tray_->SingleClickPending());
  Pump(kInterval * 3);
  // The kept command is never sent; the clicks opened the window.
  EXPECT_EQ(commands_, (std::vector<unsigned>{32771, 32771}));
}

TEST_F(Tray, ShowingTheIconAlreadyShownAsksNothingOfTheShell) {
  ASSERT_TRUE(tray_->Create(&owner_, "Tarn-60", 128));
  EXPECT_TRUE(tray_->IsEnabled());
  EXPECT_EQ(ShownId(log_.icon), 128);
  EXPECT_EQ(log_.tip, "Tarn-60");
  EXPECT_EQ(tray_->Owner(), &owner_);
  struct Step {
    int id;
    bool changed;
    int shown;
  } steps[] = {{128, false, 128}, {141, true, 141}, {141, false, 141}, {142, true, 142},
               {141, true, 141},  {999, false, 141}, {0, false, 141}};
  int updates = tray_->ShellUpdates();
  for (const Step& s : steps) {
    EXPECT_EQ(tray_->SetIcon(s.id), s.changed) << s.id;
    updates += s.changed;
    EXPECT_EQ(tray_->ShellUpdates(), updates) << s.id;
    EXPECT_EQ(tray_->IconId(), s.shown) << s.id;
    EXPECT_EQ(ShownId(log_.icon), s.shown) << s.id;
  }
  EXPECT_EQ(log_.calls, (std::vector<std::string>{"add", "modify", "modify", "modify"}));
}

TEST_F(Tray, IconChangesFromAnotherThreadAreMadeOnTheTraysThread) {
  ASSERT_TRUE(tray_->Create(&owner_, "tip", 128));
  bool result = true;
  std::thread worker([&] { result = tray_->SetIcon(142); });
  worker.join();
  EXPECT_FALSE(result);
  EXPECT_EQ(log_.calls, std::vector<std::string>{"add"});
  Deliver();
  EXPECT_EQ(log_.calls, (std::vector<std::string>{"add", "modify"}));
  EXPECT_EQ(tray_->IconId(), 142);
}

TEST_F(Tray, RemovedIconIsDisabledAndDestructionRemovesIt) {
  ASSERT_TRUE(tray_->Create(&owner_, "tip", 141));
  tray_->RemoveIcon();
  EXPECT_FALSE(tray_->IsEnabled());
  tray_->RemoveIcon();
  EXPECT_FALSE(tray_->SetIcon(128));
  EXPECT_EQ(log_.calls, (std::vector<std::string>{"add", "remove"}));

  ASSERT_TRUE(tray_->Create(&owner_, "tip", 128));
  // Creating again replaces the icon rather than adding a second one.
  ASSERT_TRUE(tray_->Create(&owner_, "other tip", 142));
  EXPECT_EQ(log_.tip, "other tip");
  EXPECT_EQ(ShownId(log_.icon), 142);
  tray_.reset();
  EXPECT_EQ(log_.calls, (std::vector<std::string>{"add", "remove", "add", "remove", "add", "remove"}));
}

TEST_F(Tray, WithoutATrayHostEveryCallDoesNothing) {
  struct Case {
    const char* name;
    bool owner, available, add_succeeds;
    std::filesystem::path icons;
    int icon_id;
    std::vector<std::string> calls;
  } cases[] = {
      {"no notification area", true, false, true, kIcons, 128, {}},
      {"no owner window", false, true, true, kIcons, 128, {}},
      {"icon files missing", true, true, true, kIcons / "missing", 128, {}},
      {"unknown icon", true, true, true, kIcons, 140, {}},
      {"the area refuses the icon", true, true, false, kIcons, 128, {"add"}},
  };
  for (const Case& c : cases) {
    HostLog log;
    log.available = c.available;
    log.add_succeeds = c.add_succeeds;
    {
      CTrayIcon tray(std::make_unique<RecordingHost>(log), c.icons);
      EXPECT_FALSE(tray.Create(c.owner ? &owner_ : nullptr, "tip", c.icon_id)) << c.name;
      EXPECT_FALSE(tray.IsEnabled()) << c.name;
      EXPECT_FALSE(tray.SetIcon(141)) << c.name;
      EXPECT_FALSE(tray.SetIcon(142)) << c.name;
      tray.RemoveIcon();
    }
    EXPECT_EQ(log.calls, c.calls) << c.name;
  }
}

TEST(TrayOffscreen, SystemTrayIsUnavailableSoTheIconIsNotAdded) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
  QWidget owner;
  CTrayIcon tray;
  EXPECT_FALSE(tray.Create(&owner, "tip", 128));
  EXPECT_FALSE(tray.IsEnabled());
  EXPECT_FALSE(tray.SetIcon(141));
  EXPECT_EQ(tray.ShellUpdates(), 0);
  // The menu is there all the same.
  EXPECT_EQ(tray.Menu().actions().size(), 3);
}

TEST(TrayTip, CutTo127CodeUnitsNeverHalfAPair) {
  const QString pair = QString::fromUtf8("\xF0\x9F\x8E\xB9");  // one character, two code units
  struct Case {
    const char* name;
    QString tip;
    QString expected;
  } cases[] = {
      {"empty", "", ""},
      {"short", "Tarn-60 Gaming Keyboard", "Tarn-60 Gaming Keyboard"},
      {"exactly 127", QString(127, 'a'), QString(127, 'a')},
      {"128", QString(128, 'b'), QString(127, 'b')},
      {"long", QString(300, 'c'), QString(127, 'c')},
      {"pair across the end", QString(126, 'd') + pair + "e", QString(126, 'd')},
      {"pair just inside", QString(125, 'f') + pair + "g", QString(125, 'f') + pair},
  };
  for (const Case& c : cases) EXPECT_EQ(CTrayIcon::CutTip(c.tip), c.expected) << c.name;

  HostLog log;
  QWidget owner;
  CTrayIcon tray(std::make_unique<RecordingHost>(log), kIcons);
  ASSERT_TRUE(tray.Create(&owner, QString(200, 'x'), 128));
  EXPECT_EQ(log.tip, QString(127, 'x'));
  EXPECT_EQ(tray.Tip(), QString(127, 'x'));
}

TEST(TrayIcons, EveryStateLoadsWithEverySize) {
  for (int id : {128, 141, 142}) {
    const QIcon icon = CTrayIcon::LoadStateIcon(kIcons, id);
    ASSERT_FALSE(icon.isNull()) << id;
    EXPECT_EQ(icon.availableSizes().size(), 8) << id;
    EXPECT_EQ(ShownId(icon), id);
  }
  for (int id : {0, 127, 140, 143}) EXPECT_TRUE(CTrayIcon::LoadStateIcon(kIcons, id).isNull()) << id;
  // The program finds them in its resource folder: the build tree holds a copy of res/.
  keyloom::testing::ScopedEnv env("KEYLOOM_RESOURCE_DIR", KEYLOOM_BUILD_DIR);
  EXPECT_EQ(ShownId(CTrayIcon::LoadStateIcon(141)), 141);
}

}  // namespace
}  // namespace keyloom::skin
