#pragma once
// The program's icon in the notification area: one of three state icons, a
// tip, the tray menu (Open, About, Exit) and clicks that open the main
// window.
//
// The icon goes through a TrayHost: the system's notification area
// (QSystemTrayIcon) in the program, a recording host in tests. When no host
// can hold the icon, Create fails and every later call does nothing; the
// menu and the click handling still work on their own, as they only act on
// what a host reports.
//
// Clicks. A double click, or a single click not followed by a second one
// within the double-click interval, sends the default item's command (Open).
// Hosts that speak StatusNotifierItem report every click as a single
// activation and never a double click; with this rule one click opens the
// window there, and where double clicks are reported they open it at once.
// Two single activations within the interval count as a double click.
//
// Commands are delivered to the command handler from the event loop, after
// the menu or the click report that caused them has returned: the handler
// may close windows or end the program, this object included.
//
// When the notification area goes away and comes back (the panel restarts),
// Qt puts the icon back with its picture, tip and menu.
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>

namespace keyloom::skin {

// Where the icon lives. One icon per host.
class TrayHost {
 public:
  using ActivationHandler = std::function<void(QSystemTrayIcon::ActivationReason)>;
  virtual ~TrayHost() = default;
  // A notification area is there to take an icon.
  virtual bool Available() const = 0;
  // Shows the icon with its tip and menu; clicks are reported to `activated`.
  // True when the icon was added.
  virtual bool Add(const QIcon& icon, const QString& tip, QMenu* menu, ActivationHandler activated) = 0;
  virtual void Modify(const QIcon& icon) = 0;
  virtual void Remove() = 0;
};

// The system's notification area.
std::unique_ptr<TrayHost> MakeSystemTrayHost();

class CTrayIcon : public QObject {
  Q_OBJECT
 public:
  // Icon ids: not connected (also the application icon), connected, and a
  // keyboard event pending.
  static constexpr int kIconDisconnected = 128;
  static constexpr int kIconConnected = 141;
  static constexpr int kIconEvent = 142;
  // Menu commands, in menu order; Open is the default item.
  static constexpr unsigned kCommandOpen = 32771;
  static constexpr unsigned kCommandAbout = 32773;
  static constexpr unsigned kCommandExit = 32774;
  // The longest tip, in UTF-16 code units.
  static constexpr int kTipLength = 127;

  using CommandHandler = std::function<void(unsigned command)>;
  // Called with the tray menu before it is shown (to set the item texts).
  using MenuCustomiser = std::function<void(QMenu& menu)>;

  // The system's notification area; icons from the resource folder's Icons/.
  explicit CTrayIcon(QObject* parent = nullptr);
  CTrayIcon(std::unique_ptr<TrayHost> host, std::filesystem::path icon_folder, QObject* parent = nullptr);
  // Removes the icon.
  ~CTrayIcon() override;
  CTrayIcon(const CTrayIcon&) = delete;
  CTrayIcon& operator=(const CTrayIcon&) = delete;

  // Adds the icon for `owner` showing icon `icon_id` with `tip` (cut to
  // kTipLength). False, and disabled, when there is no owner, the icon
  // cannot be loaded or no notification area takes it. Creating again
  // replaces the icon.
  bool Create(QWidget* owner, const QString& tip, int icon_id);
  // Shows icon `icon_id`. Nothing when disabled or when that icon already
  // shows; false for an unknown id. From another thread the change is
  // queued to this object's thread and false is returned.
  bool SetIcon(int icon_id);
  // Takes the icon away; disabled afterwards.
  void RemoveIcon();

  void SetCommandHandler(CommandHandler handler);
  // Command kept for a single click (the main window passes 1009); a single
  // click marks it pending and a double click clears the mark. The click
  // itself opens the window (see above); the pending command is never sent.
  void SetSingleClickCommand(unsigned command);
  // Also applied at once, so that hosts that copy the menu early show the
  // texts too.
  void SetMenuCustomiser(MenuCustomiser customiser);

  // What the host reports: clicks on the icon.
  void OnActivated(QSystemTrayIcon::ActivationReason reason);

  // The tray menu. Each item's data() holds its command.
  QMenu& Menu() { return *menu_; }
  // Marks the default item bold and calls the customiser; done before every
  // showing of the menu.
  void PrepareMenu();

  bool IsEnabled() const { return enabled_; }
  // The id shown; 0 before the first Create.
  int IconId() const { return icon_id_; }
  QString Tip() const { return tip_; }
  // Requests made to the host: add, modify, remove.
  int ShellUpdates() const { return shell_updates_; }
  QWidget* Owner() const { return owner_; }
  unsigned SingleClickCommand() const { return single_click_command_; }
  bool SingleClickPending() const { return single_click_pending_; }
  // A single click waits to see whether a second one follows.
  bool ClickWaiting() const { return click_timer_.isActive(); }

  // The icon of `icon_id` with every size found in `folder` (one icon for
  // each folder and state, its pictures read when it is first drawn or
  // measured); a null icon for an unknown id or when no file of it is there.
  static QIcon LoadStateIcon(const std::filesystem::path& folder, int icon_id);
  // The same from the resource folder's Icons/.
  static QIcon LoadStateIcon(int icon_id);
  // The first kTipLength code units, never ending in half a surrogate pair.
  static QString CutTip(const QString& tip);

 private:
  void BuildMenu();
  void SendCommand(unsigned command);
  unsigned DefaultCommand() const;

  std::filesystem::path icon_folder_;
  std::unique_ptr<QMenu> menu_;
  std::unique_ptr<TrayHost> host_;  // after menu_: goes first, it refers to the menu
  QPointer<QWidget> owner_;
  bool enabled_ = false;
  int icon_id_ = 0;
  QString tip_;
  int shell_updates_ = 0;
  unsigned single_click_command_ = 0;
  bool single_click_pending_ = false;
  unsigned default_command_ = 0;  // 0: the menu's first item
  CommandHandler command_handler_;
  MenuCustomiser menu_customiser_;
  QTimer click_timer_;
};

}  // namespace keyloom::skin
