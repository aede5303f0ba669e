#pragma once
// The program's main window: the skinned, frameless window of Main.ini
// with the on-screen keyboard, the slot, report-rate, Default and Apply
// buttons, the backup/restore and profile menus and the links. It lives in
// the notification area and shows itself when it is opened (the tray's
// Open, a second start, the keyboard's first connection). Other threads and
// other instances reach it through private messages and timers (the
// message bridge); the core tells it what happened through the event sink.
// Work that talks to the keyboard at length (Apply, reading the profile
// back, restoring a file) runs off the window's thread: the window keeps
// painting, animates the busy picture and refuses edits until it ends.
#include <QImage>
#include <QPixmap>
#include <QMenu>
#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "app/busy_work.h"
#include "app/keyboard_reactions.h"
#include "app/ui/event_sink_adapter.h"
#include "app/ui/message_box_prompter.h"
#include "app/ui/window_message_bridge.h"
#include "mainwnd/about_dialog.h"
#include "mainwnd/key_panel_view.h"
#include "profiles/keyboard_session.h"
#include "profiles/ui/profile_dialog.h"
#include "skin/base_dialog.h"
#include "skin/png_button.h"

class QLabel;
class QMenu;

namespace keyloom::skin {
class CPngButton;
class CTrayIcon;
}  // namespace keyloom::skin

namespace keyloom::lighting::ui {
class LightingPanel;
}

namespace keyloom::keys::ui {
class Keyloom_DlgComposite;
}

namespace keyloom::mainwnd {


// Control ids of the main window.
namespace control {
constexpr int kOk = 1, kCancel = 2, kProfiles = 1005, kApply = 1006, kMacro = 1007, kProfileMenu = 1009,
              kLink = 1121, kHelp = 1122, kMinimise = 1123, kClose = 1124, kLockCaps = 1125, kLockNum = 1126,
              kLockScroll = 1127, kLockAb = 1128, kFlipIndicator = 1129, kFlipLeft = 1130, kFlipRight = 1131,
              kLeftArrow = 1132, kRightArrow = 1133, kVersion = 1134, kSlot1 = 1135, kSlot2 = 1136, kSlot3 = 1137,
              kDefault = 1138, kMenu = 1139, kSwitch = 1144, kReport1 = 1147, kReport2 = 1168, kReport3 = 1169,
              kReport4 = 1170, kBusy = 1177, kWeb = 1219, kFacebook = 1220, kTwitter = 1221;
}  // namespace control

// Menu commands.
namespace command {
constexpr int kOpen = 32771, kAbout = 32773, kExit = 32774, kImport = 32776, kExport = 32777, kMenuExit = 32779;
}  // namespace command

// Private messages besides the instance requests and the language message.
inline constexpr std::uint32_t kInitMessage = 0x4D4E;
inline constexpr std::uint32_t kInitTag = 0x494E4954;  // "INIT"
inline constexpr std::uint32_t kProfileMessage = 0x5452;
inline constexpr std::uint32_t kProfileTag = 0x50524F46;  // "PROF"
inline constexpr std::uint32_t kCloseEditorsMessage = 0x4753;
inline constexpr std::uint32_t kApplyMessage = 0x001E;
// Timers.
inline constexpr unsigned kTimerBusy = 1050;
inline constexpr int kBusyFrames = 10;
inline constexpr int kBusyFrameMs = 50;
inline constexpr unsigned kTimerPreview = 1052;

class CKeyloomDlg final : public skin::CBaseDialog,
                          public app::PrivateMessageTarget,
                          public KeyButtonActions {
  Q_OBJECT
 public:
  // The window becomes the session's event sink and prompter for its
  // lifetime.
  explicit CKeyloomDlg(profiles::KeyboardSession& session, QWidget* parent = nullptr);
  ~CKeyloomDlg() override;

  // Skin, controls, monitors (unless `start_monitors` is false: tests run
  // the connection themselves), tray icon; the window stays hidden. False
  // when the skin could not be loaded.
  bool Initialise(bool start_monitors = true);
  // Starts decoding the pictures the window needs first (its background
  // and the faces of its buttons and keys), so that they are ready, or
  // nearly, when it builds itself. For the program's start, once its paths
  // are set and before the application object exists: the screen's density
  // is not known then, and 1 is taken.
  static void PrefetchPictures();

  // Commands, as the buttons and menus run them.
  void OnCommand(int id);
  void Open();
  void Close();
  void Apply(std::function<void()> then = {});
  void Default();
  void SelectReportRate(int index);
  void PressSlotButton(int slot);
  void ToggleFlip();
  void ShowProfileMenu(QPoint at);
  void ShowBackupMenu(QPoint at);
  // Opens the profile manager (modal, without blocking the caller).
  void OpenProfileManager();
  profiles::ui::CKeyloom_DlgProfile* ProfileManager() const { return profile_dialog_.data(); }
  // Where the file dialogs' names come from: `save` for a save dialog,
  // `initial` the proposed name; empty when cancelled. Tests answer here.
  using FileChooser = std::function<QString(QWidget* parent, bool save, const QString& initial)>;
  void SetFileChooser(FileChooser chooser) { file_chooser_ = std::move(chooser); }
  QString ChooseFile(bool save, const QString& initial = QString());
  void ImportFile(const QString& path);
  bool ExportFile(const QString& path);
  void ShowAbout();
  void RefreshKeyCaptions();
  void ProfileRefresh();
  // Another program changed the keyboard: read everything again.
  void OutsideChangeRefresh();
  void LanguageRefresh();
  void SetTrayIconState(int kind, int id);

  // The unapplied-changes flag (Apply enabled exactly while it is set).
  void SetUnappliedChanges(bool on);
  bool HasUnappliedChanges() const;

  // Keyboard work runs off this thread; edits are refused meanwhile.
  bool Busy() const { return busy_; }
  bool BusyPictureShown() const;
  // Waits (pumping nothing) until the worker thread is idle. Tests.
  void WaitForWorker() { worker_.Wait(); }

  std::int64_t OnPrivateMessage(std::uint32_t message, std::uint32_t wparam, std::int64_t lparam) override;
  void OnTimer(unsigned id) override;

  // KeyButtonActions: the key-setting dialog and the per-key colours plug
  // in here.
  void EditKey(int controlId) override;
  void PaintKey(int controlId) override;
  using KeyHandler = std::function<void(int controlId)>;
  void SetKeyEditor(KeyHandler editor) { key_editor_ = std::move(editor); }
  void SetKeyPainter(KeyHandler painter) { key_painter_ = std::move(painter); }

  skin::CPngButton* Control(int id) const;
  KeyPanelView& KeyPanel() { return *key_panel_; }
  lighting::ui::LightingPanel& LightingPanel() { return *lighting_panel_; }
  // The key-setting dialog the key clicks open (null before Initialise).
  keys::ui::Keyloom_DlgComposite* KeyDialog() const { return key_dialog_; }
  // The lighting panel shows the session's lighting values.
  void RefreshLightingPanel();
  // The preview runs while the window is visible and the lighting panel open.
  bool PreviewTimerRunning() const { return bridge_.TimerRunning(kTimerPreview); }
  app::WindowMessageBridge& Bridge() { return bridge_; }
  app::EventSinkAdapter& Events() { return events_; }
  app::MessageBoxPrompter& Prompter() { return prompter_; }
  int ShownSlotButton() const { return shown_slot_; }
  int ShownReportRate() const { return shown_rate_; }
  int TrayIconShown() const { return tray_state_.Current(); }
  skin::CTrayIcon* Tray() const { return tray_.get(); }
  CAboutDlg* AboutDialog() const { return about_.data(); }
  QMenu* LastMenu() const { return last_menu_.data(); }
  std::uint32_t UserData() const { return user_data_; }

  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override {}

 signals:
  // The window has closed for good; the program ends.
  void Finished();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  skin::CPngButton* AddButton(int id, std::u16string_view key, bool command = true);
  // Gives the image buttons and keys their faces; false when a state
  // picture is missing. The faces seldom shown are cut when first needed.
  bool CutButtonFaces();
  void CutDeferredFace(skin::CPngButton::Face face);
  std::vector<skin::CPngButton*> FacedButtons() const;
  // Decodes a state picture into `picture` (black when it cannot be
  // decoded); false, with the skin failure reported, when it cannot be
  // opened.
  bool LoadStatePicture(std::u16string_view name, QImage& picture) const;
  void SetCaption(int id, const char* text_key, int point_size = 9, const char* face = "Arial Unicode MS");
  void ShowSlotButtons(int slot);
  void ShowReportButtons(int index);
  void ShowProfileCaption();
  // What a read of the keyboard brought: slot, report rate, lighting, caption;
  // the key captions follow once the worker is done.
  void ShowKeyboardRead(bool lighting_read);
  void StartMonitors();
  void StopMonitors();
  bool CanExit();
  // Runs `work` on the worker, with the busy picture; `finished` on this
  // thread afterwards. False when other work runs.
  bool RunBusy(std::function<int()> work, std::function<void(int)> finished);
  void StartBusyPicture();
  void StopBusyPicture();
  void AfterBusy();
  void OpenLink(const QString& link);
  void ShowFlipIndicator();
  void ShowTrayIcon();
  void InitLightingPanel();
  void InitKeyDialog();
  void UpdatePreviewTimer();

  profiles::KeyboardSession& session_;
  app::WindowMessageBridge bridge_;
  app::EventSinkAdapter events_;
  app::MessageBoxPrompter prompter_;
  // Made before reactions_, whose tray workers report into it.
  app::TrayIconState tray_state_;
  app::KeyboardReactions reactions_;
  app::BusyWork worker_;
  std::map<int, skin::CPngButton*> controls_;
  std::unique_ptr<KeyPanelView> key_panel_;
  std::unique_ptr<lighting::ui::LightingPanel> lighting_panel_;
  QLabel* busy_picture_ = nullptr;
  std::array<QPixmap, kBusyFrames> busy_frames_;
  std::array<bool, 2> deferred_cut_{};  // mouse-over, highlight
  int busy_frame_ = 0;
  bool busy_ = false;
  bool refresh_after_busy_ = false;
  bool captions_after_busy_ = false;
  bool exit_after_busy_ = false;
  std::unique_ptr<skin::CTrayIcon> tray_;
  QPointer<CAboutDlg> about_;
  QPointer<profiles::ui::CKeyloom_DlgProfile> profile_dialog_;
  FileChooser file_chooser_;
  QPointer<QMenu> last_menu_;
  QString link_;
  keys::ui::Keyloom_DlgComposite* key_dialog_ = nullptr;  // a child of the window
  KeyHandler key_editor_;
  KeyHandler key_painter_;
  int shown_slot_ = -1;
  int shown_rate_ = -1;
  int view_switch_ = 0;
  std::uint32_t user_data_ = 0;
  bool initialised_ = false;
  // Open was asked for before the start-up message was handled.
  bool open_after_init_ = false;
  bool finished_ = false;
  bool start_monitors_ = true;
  bool monitors_started_ = false;
  std::thread event_monitor_;
  std::thread connection_monitor_;
};

}  // namespace keyloom::mainwnd
