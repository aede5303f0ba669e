#include "skin/tray_icon.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyleHints>
#include <QThread>
#include <array>
#include <map>
#include <memory>
#include <system_error>
#include <vector>
#include <utility>

#include "platform/paths.h"

namespace keyloom::skin {

namespace {

class SystemTrayHost : public TrayHost {
 public:
  bool Available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }

  bool Add(const QIcon& icon, const QString& tip, QMenu* menu, ActivationHandler activated) override {
    icon_ = std::make_unique<QSystemTrayIcon>(icon);
    icon_->setToolTip(tip);
    icon_->setContextMenu(menu);
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
                     [activated = std::move(activated)](QSystemTrayIcon::ActivationReason reason) {
                       if (activated) activated(reason);
                     });
    icon_->show();
    return icon_->isVisible();
  }

  void Modify(const QIcon& icon) override {
    if (icon_) icon_->setIcon(icon);
  }

  void Remove() override {
    if (!icon_) return;
    icon_->hide();
    icon_.reset();
  }

 private:
  std::unique_ptr<QSystemTrayIcon> icon_;
};

const char* StateName(int icon_id) {
  switch (icon_id) {
    case CTrayIcon::kIconDisconnected: return "disconnected";
    case CTrayIcon::kIconConnected: return "connected";
    case CTrayIcon::kIconEvent: return "event";
    default: return nullptr;
  }
}

constexpr std::array<int, 8> kIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

// An icon whose pictures are read when first drawn or asked for. The
// program sets its window and tray icons at start, where the platform may
// never draw them (no tray, no window decorations); reading the eight
// sizes of a state is then work for nothing. Copies of the icon share what
// was read.
class StateIconEngine final : public QIconEngine {
 public:
  explicit StateIconEngine(std::vector<QString> files)
      : shared_(std::make_shared<Shared>(Shared{std::move(files), {}, false})) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    Loaded().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Loaded().actualSize(size, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Loaded().pixmap(size, mode, state);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
    return Loaded().pixmap(size, scale, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return Loaded().availableSizes(mode, state);
  }
  bool isNull() override { return shared_->files.empty(); }
  QString key() const override { return QStringLiteral("keyloom-state-icon"); }
  QIconEngine* clone() const override { return new StateIconEngine(*this); }

 private:
  struct Shared {
    std::vector<QString> files;
    QIcon icon;
    bool loaded;
  };

  const QIcon& Loaded() {
    if (!shared_->loaded) {
      shared_->loaded = true;
      for (const QString& file : shared_->files) {
        QPixmap pixmap;
        if (pixmap.load(file, "PNG")) shared_->icon.addPixmap(pixmap);
      }
    }
    return shared_->icon;
  }

  std::shared_ptr<Shared> shared_;
};

}  // namespace

std::unique_ptr<TrayHost> MakeSystemTrayHost() { return std::make_unique<SystemTrayHost>(); }

CTrayIcon::CTrayIcon(QObject* parent)
    : CTrayIcon(MakeSystemTrayHost(), paths::ResourceDir() / "Icons", parent) {}

CTrayIcon::CTrayIcon(std::unique_ptr<TrayHost> host, std::filesystem::path icon_folder, QObject* parent)
    : QObject(parent), icon_folder_(std::move(icon_folder)), menu_(std::make_unique<QMenu>()),
      host_(std::move(host)) {
  BuildMenu();
  click_timer_.setSingleShot(true);
  connect(&click_timer_, &QTimer::timeout, this, [this] { SendCommand(DefaultCommand()); });
}

CTrayIcon::~CTrayIcon() { RemoveIcon(); }

void CTrayIcon::BuildMenu() {
  const std::pair<unsigned, const char*> items[] = {
      {kCommandOpen, "Open"}, {kCommandAbout, "About"}, {kCommandExit, "Exit"}};
  for (const auto& [command, text] : items) {
    QAction* action = menu_->addAction(QString::fromLatin1(text));
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command = command] { SendCommand(command); });
  }
  connect(menu_.get(), &QMenu::aboutToShow, this, &CTrayIcon::PrepareMenu);
}

void CTrayIcon::PrepareMenu() {
  const unsigned default_command = DefaultCommand();
  for (QAction* action : menu_->actions()) {
    const bool is_default = action->data().toUInt() == default_command;
    QFont font = action->font();
    font.setBold(is_default);
    action->setFont(font);
    if (is_default) menu_->setDefaultAction(action);
  }
  if (menu_customiser_) menu_customiser_(*menu_);
}

unsigned CTrayIcon::DefaultCommand() const {
  if (default_command_ != 0) return default_command_;
  const auto actions = menu_->actions();
  return actions.isEmpty() ? 0 : actions.front()->data().toUInt();
}

QString CTrayIcon::CutTip(const QString& tip) {
  if (tip.size() <= kTipLength) return tip;
  int length = kTipLength;
  if (tip.at(length - 1).isHighSurrogate()) --length;  // keep a pair whole or not at all
  return tip.left(length);
}

QIcon CTrayIcon::LoadStateIcon(const std::filesystem::path& folder, int icon_id) {
  const char* state = StateName(icon_id);
  if (!state) return {};
  // The window and the tray show the same icons: each state is read once
  // (the icons share their pictures).
  static std::map<std::pair<std::filesystem::path, int>, QIcon> loaded;
  // Pictures must go before the application does.
  static const bool cleared_at_exit = [] {
    qAddPostRoutine([] { loaded.clear(); });
    return true;
  }();
  (void)cleared_at_exit;
  const auto key = std::make_pair(folder, icon_id);
  if (auto it = loaded.find(key); it != loaded.end()) return it->second;
  std::vector<QString> files;
  for (int size : kIconSizes) {
    const auto file = folder / ("tray_" + std::string(state) + "_" + std::to_string(size) + ".png");
    std::error_code error;
    if (std::filesystem::is_regular_file(file, error)) files.push_back(QString::fromStdString(file.string()));
  }
  if (files.empty()) return {};
  // QIcon takes the engine over.
  QIcon icon(new StateIconEngine(std::move(files)));  // NOLINT(cppcoreguidelines-owning-memory)
  // A few folders at most are ever asked for (tests use several).
  if (loaded.size() >= 16) loaded.clear();
  loaded.emplace(key, icon);
  return icon;
}

QIcon CTrayIcon::LoadStateIcon(int icon_id) { return LoadStateIcon(paths::ResourceDir() / "Icons", icon_id); }

bool CTrayIcon::Create(QWidget* owner, const QString& tip, int icon_id) {
  RemoveIcon();
  if (!owner || !host_ || !host_->Available()) return false;
  const QIcon icon = LoadStateIcon(icon_folder_, icon_id);
  if (icon.isNull()) return false;
  owner_ = owner;
  tip_ = CutTip(tip);
  PrepareMenu();
  ++shell_updates_;
  QPointer<CTrayIcon> self(this);
  enabled_ = host_->Add(icon, tip_, menu_.get(), [self](QSystemTrayIcon::ActivationReason reason) {
    if (self) self->OnActivated(reason);
  });
  if (enabled_) icon_id_ = icon_id;
  return enabled_;
}

bool CTrayIcon::SetIcon(int icon_id) {
  if (QThread::currentThread() != thread()) {
    QMetaObject::invokeMethod(this, [this, icon_id] { SetIcon(icon_id); }, Qt::QueuedConnection);
    return false;
  }
  if (!enabled_ || icon_id == icon_id_) return false;
  const QIcon icon = LoadStateIcon(icon_folder_, icon_id);
  if (icon.isNull()) return false;
  ++shell_updates_;
  host_->Modify(icon);
  icon_id_ = icon_id;
  return true;
}

void CTrayIcon::RemoveIcon() {
  click_timer_.stop();
  if (!enabled_) return;
  ++shell_updates_;
  host_->Remove();
  enabled_ = false;
}

void CTrayIcon::SetCommandHandler(CommandHandler handler) { command_handler_ = std::move(handler); }

void CTrayIcon::SetSingleClickCommand(unsigned command) { single_click_command_ = command; }

void CTrayIcon::SetMenuCustomiser(MenuCustomiser customiser) {
  menu_customiser_ = std::move(customiser);
  PrepareMenu();
}

void CTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      if (single_click_command_ != 0) single_click_pending_ = true;
      if (click_timer_.isActive()) {
        // The second single activation within the interval: a double click.
        click_timer_.stop();
        single_click_pending_ = false;
        SendCommand(DefaultCommand());
      } else {
        click_timer_.start(QGuiApplication::styleHints()->mouseDoubleClickInterval());
      }
      break;
    case QSystemTrayIcon::DoubleClick:
      click_timer_.stop();
      single_click_pending_ = false;
      SendCommand(DefaultCommand());
      break;
    default: break;  // the context menu is the host's; middle clicks do nothing
  }
}

void CTrayIcon::SendCommand(unsigned command) {
  if (command == 0) return;
  QMetaObject::invokeMethod(
      this,
      [this, command] {
        if (command_handler_) command_handler_(command);
      },
      Qt::QueuedConnection);
}

}  // namespace keyloom::skin
