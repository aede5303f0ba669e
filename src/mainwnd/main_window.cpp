#include "mainwnd/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFileDialog>
#include <QKeyEvent>
#include <QShowEvent>
#include <QLabel>
#include <QMenu>
#include <QImageReader>
#include <QTimer>


#include <algorithm>
#include <cstdio>
#include <string>
#include <system_error>

#include "app/flip_setting.h"
#include "app/settings_paths.h"
#include "app/shell_actions.h"
#include "app/single_instance.h"
#include "app/version.h"
#include "device/device_monitors.h"
#include "i18n/texts.h"
#include "keys/key_prompts.h"
#include "lighting/lighting_operations.h"
#include "lighting/ui/lighting_panel.h"
#include "mainwnd/about_dialog.h"
#include "platform/shell.h"
#include "profiles/active_slot.h"
#include "profiles/connection_handler.h"
#include "profiles/data_folder.h"
#include "keys/ui/key_setting_dialog.h"
#include "profiles/editing_lock.h"
#include "profiles/keyboard_profile.h"
#include "profiles/outside_change.h"
#include "profiles/profile_file.h"
#include "profiles/profile_menu.h"
#include "profiles/profile_transfer.h"
#include "profiles/slot_buttons.h"
#include "profiles/slot_switch.h"
#include "profiles/ui/profile_dialog.h"
#include "skin/png_button.h"
#include "skin/skin_layout.h"
#include "skin/skin_picture.h"
#include "skin/tray_icon.h"

namespace keyloom::mainwnd {
namespace {

constexpr int kTemplateId = 102;
constexpr int kTrayMessageId = 1725;
constexpr std::array<int, 3> kSlotButtons = {control::kSlot1, control::kSlot2, control::kSlot3};
constexpr std::array<int, 4> kReportButtons = {control::kReport1, control::kReport2, control::kReport3,
                                               control::kReport4};
// The vendor's pages behind the link buttons: the skin's link, then its web
// site and two community pages.
constexpr char kDefaultLink[] = "https://www.example.com/tarn-60";
constexpr char kWebAddress[] = "https://www.example.com/";
constexpr char kFacebookAddress[] = "https://www.facebook.com/";
constexpr char kTwitterAddress[] = "https://twitter.com/";

// With KEYLOOM_TRACE_WINDOW set, the window writes a line on standard output
// for each request it handles and each change of its visibility, so scripts
// and tests can follow it.
void Trace(const std::string& line) {
  static const bool on = qEnvironmentVariableIsSet("KEYLOOM_TRACE_WINDOW");
  if (!on) return;
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

QString Tr(const char* key) { return QString::fromStdU16String(i18n::Text(key)); }

skin::CPngButton::CaptionColours CaptionColours() {
  return {QColor(0xDC, 0xE3, 0xEC), QColor(0xFF, 0xFF, 0xFF), QColor(0xFF, 0xFF, 0xFF), QColor(0x6B, 0x72, 0x7D),
          QColor(0xFF, 0xFF, 0xFF)};
}

// A picture the window needs to be there but does not draw yet.
bool SkinPictureReadable(std::u16string_view name) {
  const std::filesystem::path path = skin::JoinSkinPath(app::Paths().AppDir, name);
  QImageReader reader(QString::fromStdString(path.string()));
  if (reader.canRead()) return true;
  skin::ReportSkinFailure(path);
  return false;
}

}  // namespace

CKeyloomDlg::CKeyloomDlg(profiles::KeyboardSession& session, QWidget* parent)
    : CBaseDialog(kTemplateId, parent, app::Paths().MainIniPath, app::Paths().MainSkinDir),
      session_(session),
      bridge_(*this),
      prompter_(this),
      reactions_(bridge_, [this](int kind, int id) {
        // The connection monitor and the tray workers run on threads of their
        // own: the state changes at once, the icon on this thread, showing
        // whatever the state is by then.
        tray_state_.Set(kind, id);
        QMetaObject::invokeMethod(this, [this] { ShowTrayIcon(); }, Qt::QueuedConnection);
      }) {
  setObjectName(QStringLiteral("mainWindow"));
  session_.SetSink(&events_);
  session_.SetPrompter(&prompter_);
  // A slot switch answered Yes applies first, there and then.
  session_.windows.RunApply = [this] { profiles::ApplyPendingEdits(session_); };

  connect(&events_, &app::EventSinkAdapter::showWindow, this, [this] { Open(); });
  connect(&events_, &app::EventSinkAdapter::keyboardEvent, this,
          [this](quint16 usage) { reactions_.OnKeyboardEvent(usage); });
  connect(&events_, &app::EventSinkAdapter::connectionChanged, this, [this](bool connected, quint16, quint16) {
    reactions_.OnConnectionChanged(connected);
    Trace(connected ? "connected" : "disconnected");
    if (connected) {
      OnPrivateMessage(kProfileMessage, kProfileTag, 0);
    } else {
      hide();
    }
  });
  connect(&events_, &app::EventSinkAdapter::closeEditors, this,
          [this] { OnPrivateMessage(kCloseEditorsMessage, 0, 0); });
  connect(&events_, &app::EventSinkAdapter::keyMapsChanged, this, [this](int) { RefreshKeyCaptions(); });
  connect(&events_, &app::EventSinkAdapter::activeSlotChanged, this, [this](int slot) {
    if (slot >= 0 && slot < profiles::kProfileSlotCount) ShowSlotButtons(slot);
    ShowProfileCaption();
    if (profile_dialog_) profile_dialog_->SyncActiveSlot(slot);
  });
  connect(&events_, &app::EventSinkAdapter::reportRateChanged, this, [this](int index) { ShowReportButtons(index); });
}

CKeyloomDlg::~CKeyloomDlg() {
  prompter_.Close();
  StopMonitors();
  worker_.Wait();
  lighting_panel_.reset();
  session_.SetSink(nullptr);
  session_.SetPrompter(nullptr);
  session_.windows.RunApply = nullptr;
  bridge_.Shutdown();
  if (tray_) tray_->RemoveIcon();
}

bool CKeyloomDlg::Initialise(bool start_monitors) {
  start_monitors_ = start_monitors;
  if (!OnInitDialog()) return false;
  Trace("ready");
  return true;
}

namespace {

// The state pictures every button needs at start.
constexpr std::u16string_view kNormalPicture = u"Skins\\main_normal.jpg";
constexpr std::u16string_view kPressedPicture = u"Skins\\main_down.jpg";
constexpr std::u16string_view kArrowPicture = u"Skins\\Arrow.jpg";

}  // namespace

void CKeyloomDlg::PrefetchPictures() {
  // The background, then the state pictures in the order they are cut.
  const app::SettingsPaths& paths = app::Paths();
  std::vector<std::filesystem::path> files;
  if (auto background = BackgroundPath(paths.MainIniPath, paths.MainSkinDir); !background.empty())
    files.push_back(std::move(background));
  for (std::u16string_view name : {kNormalPicture, kPressedPicture, kArrowPicture})
    files.push_back(skin::JoinSkinPath(paths.AppDir, name));
  skin::PrefetchSkinPictures(std::move(files), 1.0);
}

bool CKeyloomDlg::OnInitDialog() {
  if (!CBaseDialog::OnInitDialog()) return false;
  static_assert(skin::CTrayIcon::kIconDisconnected == app::kTrayDisconnected &&
                skin::CTrayIcon::kIconConnected == app::kTrayConnected &&
                skin::CTrayIcon::kIconEvent == app::kTrayIconAlternate);
  const QIcon application_icon = skin::CTrayIcon::LoadStateIcon(app::kTrayDisconnected);
  if (!application_icon.isNull()) {
    QApplication::setWindowIcon(application_icon);
    setWindowIcon(application_icon);
  }
  bridge_.Install();

  // The per-user folder, the lighting files and the working profile's folder.
  if (app::Paths().UserDataDir.empty()) app::InitUserPaths();
  const app::SettingsPaths& paths = app::Paths();
  session_.lighting.paths = {paths.LightingIniPath, paths.UserColorPrefix.string(),
                             paths.ColorTemplatePrefix.string()};
  profiles::EnsureDataFolder();
  {
    // Until the keyboard is read, the editing store holds the empty profile.
    profiles::EditingLock lock(session_);
    session_.stores.EditingStore.Clear();
    profiles::SetEmptyProfile(session_.stores.EditingStore, profiles::kProfileFlag);
  }
  SetUnappliedChanges(false);
  // The keyboard is looked for while the window builds itself: what the
  // monitors find reaches the window through queued events, handled once
  // initialisation is over.
  if (start_monitors_) StartMonitors();

  const std::u16string default_link(kDefaultLink, kDefaultLink + sizeof kDefaultLink - 1);
  link_ = QString::fromStdU16String(SkinIni().GetString(u"SCREEN", u"Link", default_link).value_or(default_link));

  // The on-screen keyboard, then the window's own controls.
  key_panel_ = std::make_unique<KeyPanelView>(*this, SkinIniPath());
  key_panel_->SetActions(this, [this] {
    const lighting::LightingState& state = session_.lighting.CurrentLighting;
    return KeyPanelView::LightingView{state.panel_open, state.effect};
  });
  // The window's image buttons: id, layout key, whether a click is a command.
  struct ButtonPlace {
    int id;
    std::u16string_view key;
    bool command;
  };
  static constexpr ButtonPlace kButtons[] = {
      {control::kOk, u"CONTROL_OK", true},           {control::kCancel, u"CONTROL_CANCEL", true},
      {control::kProfiles, u"FUNC_PROFILES", true},  {control::kApply, u"CONTROL2_APPLY", true},
      {control::kMacro, u"FUNC_MACRO", true},        {control::kLink, u"QUORVE_LINK", true},
      {control::kHelp, u"CONTROL_HELP", true},       {control::kMinimise, u"CONTROL_MINIMIZE", true},
      {control::kClose, u"CONTROL_CLOSE", true},     {control::kLockCaps, u"LOCK_CAPS", false},
      {control::kLockNum, u"LOCK_NUM", false},       {control::kLockScroll, u"LOCK_SCROLL", false},
      {control::kLockAb, u"LOCK_AB", false},         {control::kFlipIndicator, u"FLIP_0", false},
      {control::kFlipLeft, u"FLIP_1", true},         {control::kFlipRight, u"FLIP_2", true},
      {control::kVersion, u"QUORVE_VER", false},     {control::kSlot1, u"FUNC_PROFILE1", true},
      {control::kSlot2, u"FUNC_PROFILE2", true},     {control::kSlot3, u"FUNC_PROFILE3", true},
      {control::kDefault, u"FUNC_DEFAULT", true},    {control::kMenu, u"CONTROL_MENU", true},
      {control::kSwitch, u"FUNC_SWITCH", true},      {control::kReport1, u"FUNC_REPORT1", true},
      {control::kReport2, u"FUNC_REPORT2", true},    {control::kReport3, u"FUNC_REPORT3", true},
      {control::kReport4, u"FUNC_REPORT4", true},    {control::kWeb, u"CONTROL_Network", true},
      {control::kFacebook, u"CONTROL_Facebook", true}, {control::kTwitter, u"CONTROL_twitter", true},
  };
  for (const ButtonPlace& place : kButtons) AddButton(place.id, place.key, place.command);
  // The view switch is laid out and never shown.
  Control(control::kSwitch)->hide();
  for (auto [id, key] : {std::pair{control::kLeftArrow, u"LEFT_ARROW"}, std::pair{control::kRightArrow, u"RIGHT_ARROW"}}) {
    auto* arrow = new skin::CPngButton(this);
    arrow->setFocusPolicy(Qt::NoFocus);
    skin::PlaceButtonWithOffset(*arrow, SkinIniPath(), u"BUTTONINFO", key, u"BUTTONINFO2", key);
    controls_[id] = arrow;
  }
  if (!CutButtonFaces()) return false;
  // The version plate: disabled, it shows the program's version.
  skin::CPngButton* plate = Control(control::kVersion);
  plate->setEnabled(false);
  plate->SetCaption(true, 8, QStringLiteral("Verdana Unicode MS"), CaptionColours());
  plate->setText(QStringLiteral("v") + QString::fromUtf8(app::Version().data(), static_cast<qsizetype>(app::Version().size())));

  // The busy picture: ten frames, hidden until keyboard work runs.
  busy_picture_ = new QLabel(this);
  busy_picture_->setObjectName(QStringLiteral("busyPicture"));
  skin::PlaceControl(*busy_picture_, SkinIniPath(), u"BUTTONINFO", u"CONTROL_BUSY");
  for (int i = 0; i < kBusyFrames; ++i) {
    const std::string number = std::to_string(i + 1);
    const std::u16string name = u"Skins\\jdt" + std::u16string(number.begin(), number.end()) + u".bmp";
    if (std::optional<QImage> frame = skin::LoadSkinPicture(app::Paths().AppDir, name)) busy_frames_[i] = QPixmap::fromImage(*frame);
  }
  busy_picture_->hide();

  key_panel_->ApplyFlip(app::ReadFlipSetting());
  ShowFlipIndicator();
  InitLightingPanel();
  InitKeyDialog();

  user_data_ = app::kMainWindowMarker;
  setProperty("userData", QVariant::fromValue<quint32>(user_data_));
  setWindowTitle(Tr("MAIN_CAPTION"));
  view_switch_ = 0;
  bridge_.PostMessage(kInitMessage, kInitTag, 0);
  // The labels in the current language, as a language change sets them.
  bridge_.SendMessage(i18n::kLanguageMessage, i18n::kLanguageTag, i18n::GetLanguageIndex());
  return true;
}

skin::CPngButton* CKeyloomDlg::AddButton(int id, std::u16string_view key, bool command) {
  auto* button = new skin::CPngButton(this);
  button->setObjectName(QStringLiteral("control%1").arg(id));
  button->setFocusPolicy(Qt::NoFocus);
  skin::PlaceImageButton(*button, SkinIniPath(), u"BUTTONINFO", key);
  if (command) connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
  controls_[id] = button;
  return button;
}

namespace {

using Face = skin::CPngButton::Face;

// The main window's state pictures. The mouse-over and highlight faces are
// cut for every button when first shown (the highlight face never is in
// this window); the disabled face only for the buttons that are disabled
// when it is needed (a dozen at most).
struct StatePicture {
  Face face;
  std::u16string_view name;
  bool deferred;
};
constexpr StatePicture kStatePictures[] = {
    {Face::Normal, kNormalPicture, false},              {Face::Pressed, kPressedPicture, false},
    {Face::Disabled, u"Skins\\main_disable.jpg", true}, {Face::Over, u"Skins\\main_over.jpg", true},
    {Face::Highlight, u"Skins\\main_color0.jpg", true},
};

}  // namespace

std::vector<skin::CPngButton*> CKeyloomDlg::FacedButtons() const {
  std::vector<skin::CPngButton*> buttons;
  for (const auto& [id, button] : controls_) {
    if (id != control::kLeftArrow && id != control::kRightArrow) buttons.push_back(button);
  }
  for (const auto& [id, button] : key_panel_->Buttons()) buttons.push_back(button);
  return buttons;
}

bool CKeyloomDlg::LoadStatePicture(std::u16string_view name, QImage& picture) const {
  std::optional<QImage> loaded = skin::LoadSkinPicture(app::Paths().AppDir, name);
  if (!loaded) {
    skin::ReportSkinFailure(skin::JoinSkinPath(app::Paths().AppDir, name));
    return false;
  }
  picture = std::move(*loaded);
  if (picture.isNull()) {
    picture = QImage(size() + QSize(skin::kStatePictureMargin, skin::kStatePictureMargin), QImage::Format_RGB32);
    picture.fill(Qt::black);
  }
  return true;
}

bool CKeyloomDlg::CutButtonFaces() {
  // The window's image buttons and the keys cut their faces from the
  // full-window state pictures; none of the pictures is kept.
  const std::vector<skin::CPngButton*> buttons = FacedButtons();
  bool complete = true;
  QImage picture;
  for (const StatePicture& state : kStatePictures) {
    if (state.deferred) {
      // Must be there all the same.
      complete = SkinPictureReadable(state.name) && complete;
      continue;
    }
    if (!LoadStatePicture(state.name, picture)) {
      complete = false;
      continue;
    }
    for (skin::CPngButton* button : buttons) button->SetFace(state.face, picture);
  }
  // The arrows show one picture in every state.
  if (LoadStatePicture(kArrowPicture, picture)) {
    for (int id : {control::kLeftArrow, control::kRightArrow}) {
      for (Face face : {Face::Normal, Face::Over, Face::Pressed, Face::Disabled, Face::Highlight})
        Control(id)->SetFace(face, picture);
    }
  } else {
    complete = false;
  }
  // The second colour face goes with the key values' view, which this
  // window never switches to; it must be there all the same.
  if (!SkinPictureReadable(u"Skins\\main_color1.jpg")) return false;
  if (!complete) return false;
  // The report-rate and slot buttons and the keys show the pressed face
  // when on (a key when it has an assignment), the Flip indicator the
  // mouse-over face.
  for (int id : kReportButtons) Control(id)->SetToggleFaces(Face::Normal, Face::Pressed, false, false, false);
  for (int id : kSlotButtons) Control(id)->SetToggleFaces(Face::Normal, Face::Pressed, false, false, false);
  Control(control::kFlipIndicator)->SetToggleFaces(Face::Normal, Face::Over, false, false, false);
  for (const auto& [id, button] : key_panel_->Buttons())
    button->SetToggleFaces(Face::Normal, Face::Pressed, false, false, false);
  for (skin::CPngButton* button : buttons) button->SetFaceLoader([this](Face face) { CutDeferredFace(face); });
  return true;
}

void CKeyloomDlg::CutDeferredFace(Face face) {
  // The only toggle face that is deferred is the Flip indicator's.
  if (face == Face::ToggleOn || face == Face::ToggleOff) face = Face::Over;
  for (const StatePicture& state : kStatePictures) {
    if (!state.deferred || state.face != face) continue;
    std::vector<skin::CPngButton*> buttons = FacedButtons();
    if (face == Face::Disabled) {
      std::erase_if(buttons, [](const skin::CPngButton* b) { return b->isEnabled() || b->HasFace(Face::Disabled); });
      if (buttons.empty()) return;
    } else {
      const std::size_t index = face == Face::Over ? 0 : 1;
      if (deferred_cut_[index]) return;
      deferred_cut_[index] = true;
    }
    QImage picture;
    if (!LoadStatePicture(state.name, picture)) return;
    for (skin::CPngButton* button : buttons) button->SetFace(face, picture);
    if (face == Face::Over) {
      skin::CPngButton* indicator = Control(control::kFlipIndicator);
      indicator->SetToggleFaces(Face::Normal, Face::Over, indicator->IsToggleMode(), indicator->ToggleState(), false);
    }
  }
}

skin::CPngButton* CKeyloomDlg::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void CKeyloomDlg::SetCaption(int id, const char* text_key, int point_size, const char* face) {
  if (skin::CPngButton* button = Control(id)) {
    button->SetCaption(true, point_size, QString::fromLatin1(face), CaptionColours());
    button->setText(Tr(text_key));
    button->update();
  }
}

// ---- commands ----

void CKeyloomDlg::OnCommand(int id) {
  switch (id) {
    case control::kOk:
    case control::kApply:
      Apply();
      return;
    case control::kCancel:
      return;
    case control::kClose:
    case command::kExit:
    case command::kMenuExit:
      Close();
      return;
    case control::kMinimise:
      showMinimized();
      return;
    case control::kHelp:
      app::OpenHelp();
      return;
    case control::kLink:
      OpenLink(link_);
      return;
    case control::kWeb:
      OpenLink(QString::fromLatin1(kWebAddress));
      return;
    case control::kFacebook:
      OpenLink(QString::fromLatin1(kFacebookAddress));
      return;
    case control::kTwitter:
      OpenLink(QString::fromLatin1(kTwitterAddress));
      return;
    case control::kSlot1:
    case control::kSlot2:
    case control::kSlot3:
      PressSlotButton(id - control::kSlot1);
      return;
    case control::kDefault:
      Default();
      return;
    case control::kFlipLeft:
    case control::kFlipRight:
      ToggleFlip();
      return;
    case control::kMenu:
      ShowBackupMenu(QCursor::pos());
      return;
    case control::kProfiles:
      OpenProfileManager();
      return;
    case control::kProfileMenu:
      ShowProfileMenu(QCursor::pos());
      return;
    case control::kMacro:
      EditKey(keys::GKeyControlIds()[keys::kGKeyCount - 1]);
      return;
    case command::kOpen:
      Open();
      return;
    case command::kAbout:
      ShowAbout();
      return;
    case command::kImport: {
      const QString path = ChooseFile(false);
      if (!path.isEmpty()) ImportFile(path);
      return;
    }
    case command::kExport: {
      const QString path = ChooseFile(true);
      if (!path.isEmpty()) ExportFile(path);
      return;
    }
    default:
      break;
  }
  for (int i = 0; i < 4; ++i) {
    if (id == kReportButtons[i]) {
      SelectReportRate(i);
      return;
    }
  }
  int slot = 0;
  if (profiles::SlotOfProfileCommand(id, slot)) {
    if (!busy_) profiles::SwitchProfileSlot(session_, slot);
  }
}

QString CKeyloomDlg::ChooseFile(bool save, const QString& initial) {
  QWidget* parent = isVisible() ? this : nullptr;
  if (profile_dialog_ && profile_dialog_->isVisible()) parent = profile_dialog_;
  if (file_chooser_) return file_chooser_(parent, save, initial);
  QFileDialog dialog(parent, QString(), initial, QStringLiteral("(*.kyl) (*.kyl);;(*.*) (*)"));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (save) {
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setDefaultSuffix(QStringLiteral("kyl"));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().front();
}

void CKeyloomDlg::OpenProfileManager() {
  if (busy_) return;
  if (!profile_dialog_) {
    profiles::ui::CKeyloom_DlgProfile::Hooks hooks;
    hooks.run_busy = [this](std::function<int()> work, std::function<void(int)> finished) {
      return RunBusy(
          [this, work] {
            const int result = work();
            // The lighting of the slot that is active now, as a reload reads it.
            const int slot = profiles::CachedActiveSlot(session_);
            if (slot >= 0) session_.lighting.LightingSlot = slot;
            const int lighting = lighting::ReadLightingFromKeyboard(session_.link, session_.lighting, true);
            return result | (lighting == 1 ? 2 : 0);
          },
          [this, finished](int result) {
            ShowKeyboardRead((result & 2) != 0);
            if (finished) finished(result & 1);
          });
    };
    hooks.choose_file = [this](bool save, const QString& initial) { return ChooseFile(save, initial); };
    profile_dialog_ = new profiles::ui::CKeyloom_DlgProfile(session_, std::move(hooks), this);
    profile_dialog_->setWindowModality(Qt::ApplicationModal);
  }
  if (profile_dialog_->IsOpen()) {
    profile_dialog_->raise();
    profile_dialog_->activateWindow();
    return;
  }
  profile_dialog_->OpenModeless();
}

void CKeyloomDlg::OpenLink(const QString& link) {
  shell::OpenRequest request;
  request.file = link.toStdString();
  shell::Open(request);
}

void CKeyloomDlg::Open() {
  // The keyboard may be found while the window still builds itself: a
  // request that comes before the start-up message is carried out after
  // it, so that the start-up hiding does not undo it.
  if (!initialised_) {
    open_after_init_ = true;
    return;
  }
  if (profiles::LastConnectionState(session_) == 1) {
    showNormal();
    raise();
    activateWindow();
    Trace("shown");
    return;
  }
  host::MessageBoxRequest request;
  Trace("no keyboard");
  request.text = i18n::Text("MAIN_NO_DEVICE_PROMPT");
  request.buttons = host::Buttons::Ok;
  request.default_button = host::Answer::Ok;
  prompter_.Ask(request);
}

void CKeyloomDlg::Close() {
  if (finished_) return;
  hide();
  if (busy_) {
    // The keyboard work ends first; the program then closes.
    exit_after_busy_ = true;
    return;
  }
  if (!CanExit()) return;
  finished_ = true;
  emit Finished();
}

bool CKeyloomDlg::CanExit() {
  if (about_) about_->reject();
  if (profile_dialog_) profile_dialog_->CloseIfOpen();
  // Another start may run from now on.
  app::ReleaseInstanceLock();
  prompter_.Close();
  StopMonitors();
  if (tray_) tray_->RemoveIcon();
  profiles::ReleaseStores(session_);
  bridge_.Shutdown();
  return true;
}

void CKeyloomDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  Close();
}

void CKeyloomDlg::OnOK() { Apply(); }

namespace {
// Enter and Esc neither apply nor close: the window ignores them.
bool IsEnterOrEsc(const QKeyEvent& event) {
  return event.key() == Qt::Key_Escape || event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}
}  // namespace

void CKeyloomDlg::keyPressEvent(QKeyEvent* event) {
  if (IsEnterOrEsc(*event)) {
    event->accept();
    return;
  }
  CBaseDialog::keyPressEvent(event);
}

void CKeyloomDlg::keyReleaseEvent(QKeyEvent* event) {
  if (IsEnterOrEsc(*event)) {
    event->accept();
    return;
  }
  CBaseDialog::keyReleaseEvent(event);
}

// ---- Apply and the busy picture ----

void CKeyloomDlg::SetUnappliedChanges(bool on) {
  session_.windows.MainWindowHasUnappliedChanges.store(on);
  if (skin::CPngButton* apply = Control(control::kApply)) apply->setEnabled(on);
}

bool CKeyloomDlg::HasUnappliedChanges() const { return session_.windows.MainWindowHasUnappliedChanges.load(); }

void CKeyloomDlg::Apply(std::function<void()> then) {
  const bool started = RunBusy([this] {
        profiles::ApplyPendingEdits(session_);
        return session_.windows.MainWindowHasUnappliedChanges.load() ? 0 : 1;
      },
      [this, then](int) {
        SetUnappliedChanges(session_.windows.MainWindowHasUnappliedChanges.load());
        if (then) then();
      });
  (void)started;
}

bool CKeyloomDlg::RunBusy(std::function<int()> work, std::function<void(int)> finished) {
  if (busy_) return false;
  busy_ = true;
  if (lighting_panel_) lighting_panel_->SetEnabled(false);
  StartBusyPicture();
  QPointer<CKeyloomDlg> self(this);
  const bool started = worker_.Start(std::move(work), [self, finished](int result) {
    QMetaObject::invokeMethod(
        self.data(),
        [self, finished, result] {
          if (!self) return;
          self->busy_ = false;
          if (self->lighting_panel_) self->lighting_panel_->SetEnabled(true);
          self->StopBusyPicture();
          if (finished) finished(result);
          self->AfterBusy();
        },
        Qt::QueuedConnection);
  });
  if (!started) {
    busy_ = false;
    if (lighting_panel_) lighting_panel_->SetEnabled(true);
    StopBusyPicture();
  }
  return started;
}

void CKeyloomDlg::AfterBusy() {
  if (exit_after_busy_) {
    exit_after_busy_ = false;
    Close();
    return;
  }
  if (refresh_after_busy_) {
    refresh_after_busy_ = false;
    ProfileRefresh();
    return;
  }
  if (captions_after_busy_) {
    captions_after_busy_ = false;
    RefreshKeyCaptions();
  }
}

void CKeyloomDlg::StartBusyPicture() {
  busy_frame_ = 0;
  busy_picture_->setPixmap(busy_frames_[0]);
  busy_picture_->show();
  bridge_.SetTimer(kTimerBusy, kBusyFrameMs);
}

void CKeyloomDlg::StopBusyPicture() {
  // The last frames stay a moment before the picture goes.
  QTimer::singleShot(100, this, [this] {
    if (busy_) return;
    bridge_.KillTimer(kTimerBusy);
    busy_picture_->hide();
  });
}

bool CKeyloomDlg::BusyPictureShown() const { return busy_picture_ && busy_picture_->isVisible(); }

// ---- Default, report rate, slots, Flip ----

void CKeyloomDlg::Default() {
  if (busy_) return;
  host::MessageBoxRequest request;
  request.text = i18n::Text("MAIN_PROMPT_DEFAULT");
  request.buttons = host::Buttons::YesNo;
  request.default_button = host::Answer::No;
  if (prompter_.Ask(request) == host::Answer::Yes) {
    const std::vector<keys::ButtonPrompt> prompts = profiles::ResetActiveSlotKeys(session_);
    if (!prompts.empty()) {
      key_panel_->ShowPrompts(prompts, app::ReadFlipSetting());
      SetUnappliedChanges(true);
    }
    if (lighting_panel_->IsOpen()) lighting_panel_->ApplyDefault();
    // The report rate goes back to its first value once the keys are on the
    // keyboard, so the two writes never cross.
    Apply([this] { SelectReportRate(0); });
    return;
  }
  SelectReportRate(0);
}

void CKeyloomDlg::SelectReportRate(int index) {
  if (busy_ || index < 0 || index > 3) return;
  ShowReportButtons(index);
  profiles::ApplyReportRate(session_, index);
}

void CKeyloomDlg::ShowReportButtons(int index) {
  shown_rate_ = index;
  for (int i = 0; i < 4; ++i) {
    if (skin::CPngButton* button = Control(kReportButtons[i]))
      button->SetToggleState(true, i == index, true);
  }
}

void CKeyloomDlg::ShowSlotButtons(int slot) {
  shown_slot_ = slot;
  for (int i = 0; i < 3; ++i) {
    if (skin::CPngButton* button = Control(kSlotButtons[i]))
      button->SetToggleState(true, i == slot, true);
  }
}

void CKeyloomDlg::PressSlotButton(int slot) {
  if (busy_) return;
  const profiles::SlotButtonOutcome outcome = profiles::PressSlotButton(session_, slot);
  if (outcome.lightingRead == 1) ShowReportButtons(session_.lighting.CurrentLighting.report_rate);
  RefreshLightingPanel();
  if (lighting_panel_->IsOpen()) lighting_panel_->Close();
  if (!outcome.switched) return;
  ShowSlotButtons(slot);
  view_switch_ = 0;
  RefreshKeyCaptions();
}

void CKeyloomDlg::ToggleFlip() {
  key_panel_->ApplyFlip(app::ToggleFlipSetting());
  ShowFlipIndicator();
}

void CKeyloomDlg::ShowFlipIndicator() {
  if (skin::CPngButton* indicator = Control(control::kFlipIndicator))
    indicator->SetToggleState(true, app::ReadFlipSetting() == 1, true);
}

// ---- menus ----

void CKeyloomDlg::ShowProfileMenu(QPoint at) {
  const profiles::ProfileMenuModel model = profiles::CurrentProfileMenu(session_);
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->setObjectName(QStringLiteral("profileMenu"));
  for (const profiles::ProfileMenuItem& item : model.items) {
    if (item.separator) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(QString::fromStdU16String(item.label));
    action->setCheckable(true);
    action->setChecked(item.checked);
    const int id = item.commandId;
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  }
  last_menu_ = menu;
  menu->popup(at);
}

void CKeyloomDlg::ShowBackupMenu(QPoint at) {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->setObjectName(QStringLiteral("backupMenu"));
  for (auto [id, key] : {std::pair{command::kImport, "MENU_1"}, std::pair{command::kExport, "MENU_2"}}) {
    QAction* action = menu->addAction(Tr(key));
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  }
  last_menu_ = menu;
  menu->popup(at);
}

void CKeyloomDlg::ImportFile(const QString& path) {
  if (busy_) return;
  const std::filesystem::path file = path.toStdString();
  RunBusy([this, file] { return profiles::ImportProfile(session_, file); },
          [this](int) {
            SetUnappliedChanges(session_.windows.MainWindowHasUnappliedChanges.load());
            RefreshKeyCaptions();
          });
}

bool CKeyloomDlg::ExportFile(const QString& path) {
  if (busy_) return false;
  return profiles::ExportProfile(session_, path.toStdString()) == 1;
}

void CKeyloomDlg::ShowAbout() {
  if (about_) {
    about_->raise();
    about_->activateWindow();
    return;
  }
  about_ = new CAboutDlg(isVisible() ? this : nullptr, link_);
  about_->setAttribute(Qt::WA_DeleteOnClose);
  about_->open();
}

// ---- what the keyboard and the core report ----

void CKeyloomDlg::RefreshKeyCaptions() {
  if (busy_) {
    // The worker holds the stores; the captions follow when it is done.
    captions_after_busy_ = true;
    return;
  }
  std::vector<keys::ButtonPrompt> prompts;
  {
    profiles::EditingLock lock(session_);
    prompts = keys::RefreshKeyPrompts(session_.stores.EditingStore, profiles::PanelTable(session_), 0);
  }
  key_panel_->ShowPrompts(prompts, app::ReadFlipSetting());
}

void CKeyloomDlg::ProfileRefresh() {
  if (busy_) {
    refresh_after_busy_ = true;
    return;
  }
  RunBusy(
      [this] {
        profiles::ReloadFromKeyboard(session_);
        (void)profiles::GetActiveSlot(session_);
        const int slot = profiles::CachedActiveSlot(session_);
        if (slot >= 0) session_.lighting.LightingSlot = slot;
        return lighting::ReadLightingFromKeyboard(session_.link, session_.lighting, true);
      },
      [this](int lighting_read) { ShowKeyboardRead(lighting_read == 1); });
}

void CKeyloomDlg::OutsideChangeRefresh() {
  if (busy_) {
    refresh_after_busy_ = true;
    return;
  }
  // The reload reads the slot's lighting and report rate with the keys.
  RunBusy([this] { return profiles::ReloadAfterOutsideChange(session_); },
          [this](int) { ShowKeyboardRead(true); });
}

void CKeyloomDlg::ShowKeyboardRead(bool lighting_read) {
  SetUnappliedChanges(session_.windows.MainWindowHasUnappliedChanges.load());
  const int slot = profiles::SyncSlotButtons(session_);
  if (slot >= 0) ShowSlotButtons(slot);
  if (lighting_read) ShowReportButtons(session_.lighting.CurrentLighting.report_rate);
  RefreshLightingPanel();
  if (lighting::SupportsCustomColours(session_.lighting.ConfigBlockCopy)) lighting_panel_->UpdateBaseMarks();
  ShowProfileCaption();
  // The worker has let go of the stores by the time this runs out.
  captions_after_busy_ = true;
}

void CKeyloomDlg::ShowProfileCaption() {
  if (skin::CPngButton* caption = Control(control::kProfiles)) {
    const profiles::ProfileMenuModel model = profiles::CurrentProfileMenu(session_);
    caption->SetCaption(true, 10, QStringLiteral("Arial Unicode MS"), CaptionColours());
    caption->setText(QString::fromStdU16String(model.caption));
    caption->SetTooltipText(QString::fromStdU16String(model.tooltip), true);
    caption->update();
  }
}

void CKeyloomDlg::LanguageRefresh() {
  if (about_) about_->LoadTexts();
  setWindowTitle(Tr("MAIN_CAPTION"));
  for (auto [id, key] : {std::pair{control::kMinimise, "MAIN_MINIMIZE_PROMPT"}, std::pair{control::kMenu, "MAIN_MENU_PROMPT"},
                         std::pair{control::kClose, "MAIN_CLOSE_PROMPT"}, std::pair{control::kHelp, "MAIN_HELP_PROMPT"}}) {
    if (skin::CPngButton* button = Control(id)) button->SetTooltipText(Tr(key), true);
  }
  SetCaption(control::kSlot1, "PROFILE_1");
  SetCaption(control::kSlot2, "PROFILE_2");
  SetCaption(control::kSlot3, "PROFILE_3");
  SetCaption(control::kMacro, "PROFILE_MACRO");
  SetCaption(control::kDefault, "PROFILE_DEFAULT");
  SetCaption(control::kOk, "PROFILE_OK");
  SetCaption(control::kCancel, "PROFILE_CANCLE");
  SetCaption(control::kApply, "PROFILE_APPLY", 10);
  if (lighting_panel_) lighting_panel_->SetLabels();
  ShowProfileCaption();
  if (tray_) tray_->PrepareMenu();
}

void CKeyloomDlg::SetTrayIconState(int kind, int id) {
  tray_state_.Set(kind, id);
  ShowTrayIcon();
}

void CKeyloomDlg::ShowTrayIcon() {
  if (tray_) tray_->SetIcon(tray_state_.Current());
}

std::int64_t CKeyloomDlg::OnPrivateMessage(std::uint32_t message, std::uint32_t wparam, std::int64_t lparam) {
  if (message == kApplyMessage) {
    Apply();
    return 1;
  }
  if (message == kCloseEditorsMessage) {
    if (about_) about_->reject();
    if (key_dialog_ && key_dialog_->OpenCount() > 0) key_dialog_->OnCancel();
    if (profile_dialog_) profile_dialog_->CloseIfOpen();
    return 1;
  }
  if (message == kInitMessage && wparam == kInitTag) {
    tray_ = std::make_unique<skin::CTrayIcon>();
    tray_->SetMenuCustomiser([](QMenu& menu) {
      for (QAction* action : menu.actions()) {
        switch (action->data().toUInt()) {
          case command::kOpen:
            action->setText(Tr("MENU_11"));
            break;
          case command::kAbout:
            action->setText(Tr("MENU_22"));
            break;
          case command::kExit:
            action->setText(Tr("MENU_33"));
            break;
          default:
            break;
        }
      }
    });
    tray_->SetCommandHandler([this](unsigned id) { OnCommand(static_cast<int>(id)); });
    tray_->SetSingleClickCommand(control::kProfileMenu);
    tray_->Create(this, Tr("KEYBOARD_TRAY_DESC"), tray_state_.Current());
    profiles::RebuildProfileMenu(session_, true);
    initialised_ = true;
    hide();
    if (std::exchange(open_after_init_, false)) Open();
    return 1;
  }
  if (message == app::kShowMessage && wparam == app::kShowTag) {
    Trace("request OPEN");
    Open();
    return 1;
  }
  if (message == app::kQuitMessage && wparam == app::kQuitTag) {
    Trace("request KILL");
    Close();
    return 1;
  }
  if (message == app::kKeyboardChangedMessage && wparam == app::kKeyboardChangedTag) {
    // Another program (keyloomctl) changed the keyboard: what the window
    // holds is stale. The editors close (their edits were made on the old
    // copy) and everything is read again, so nothing stale is written back.
    Trace("keyboard changed elsewhere");
    OnPrivateMessage(kCloseEditorsMessage, 0, 0);
    OutsideChangeRefresh();
    return 1;
  }
  if (message == kProfileMessage && wparam == kProfileTag) {
    ProfileRefresh();
    return 1;
  }
  if (message == i18n::kLanguageMessage && wparam == i18n::kLanguageTag) {
    Trace("language " + std::to_string(lparam));
    LanguageRefresh();
    return 1;
  }
  return 0;
}

void CKeyloomDlg::OnTimer(unsigned id) {
  switch (id) {
    case kTimerBusy:
      busy_frame_ = (busy_frame_ + 1) % kBusyFrames;
      busy_picture_->setPixmap(busy_frames_[busy_frame_]);
      return;
    case app::kTimerReloadLighting:
      bridge_.KillTimer(id);
      if (busy_) return;
      if (lighting::ReadLightingFromKeyboard(session_.link, session_.lighting, false) == 1)
        ShowReportButtons(session_.lighting.CurrentLighting.report_rate);
      RefreshLightingPanel();
      return;
    case app::kTimerReseedColours:
      bridge_.KillTimer(id);
      if (busy_) return;
      profiles::AfterKeyboardReset(session_);
      ShowReportButtons(session_.lighting.CurrentLighting.report_rate);
      RefreshLightingPanel();
      PressSlotButton(0);
      return;
    case kTimerPreview:
      if (lighting_panel_) lighting_panel_->PreviewTick();
      return;
    default:
      return;
  }
}

// ---- the lighting panel ----

void CKeyloomDlg::InitLightingPanel() {
  lighting::ui::LightingPanel::Hooks hooks;
  hooks.refresh_captions = [this] { RefreshKeyCaptions(); };
  hooks.open_changed = [this] {
    // Opening may have answered the pending-changes question.
    SetUnappliedChanges(session_.windows.MainWindowHasUnappliedChanges.load());
    UpdatePreviewTimer();
  };
  lighting_panel_ = std::make_unique<lighting::ui::LightingPanel>(*this, session_, *key_panel_, std::move(hooks));
  if (!key_painter_) key_painter_ = [this](int id) { lighting_panel_->PaintKey(id); };
}

void CKeyloomDlg::InitKeyDialog() {
  keys::ui::Keyloom_DlgComposite::Hooks hooks;
  hooks.table = [this] { return profiles::PanelTable(session_); };
  hooks.button_rect = [this](int id) -> std::optional<QRect> {
    const skin::CPngButton* button = key_panel_->Button(id);
    if (!button) return std::nullopt;
    return QRect(button->mapToGlobal(QPoint(0, 0)), button->size());
  };
  hooks.applied = [this] {
    RefreshKeyCaptions();
    SetUnappliedChanges(true);
  };
  hooks.press_button = [this](int id, bool pressed) {
    if (skin::CPngButton* button = key_panel_->Button(id)) button->SetPressedLook(pressed);
  };
  key_dialog_ = new keys::ui::Keyloom_DlgComposite(session_, prompter_, std::move(hooks), this);
  if (!key_editor_) key_editor_ = [this](int id) {
    if (key_dialog_) key_dialog_->OpenForButton(id, false);
  };
}

void CKeyloomDlg::RefreshLightingPanel() {
  if (!lighting_panel_) return;
  lighting_panel_->Refresh();
  UpdatePreviewTimer();
}

void CKeyloomDlg::UpdatePreviewTimer() {
  // A minimised window is out of sight as much as a hidden one.
  const bool wanted = isVisible() && !isMinimized() && lighting_panel_ && lighting_panel_->IsOpen();
  if (wanted && !bridge_.TimerRunning(kTimerPreview)) {
    bridge_.SetTimer(kTimerPreview, lighting::preview::kTickMilliseconds);
  } else if (!wanted && bridge_.TimerRunning(kTimerPreview)) {
    bridge_.KillTimer(kTimerPreview);
  }
}

void CKeyloomDlg::showEvent(QShowEvent* event) {
  CBaseDialog::showEvent(event);
  UpdatePreviewTimer();
}

void CKeyloomDlg::hideEvent(QHideEvent* event) {
  CBaseDialog::hideEvent(event);
  UpdatePreviewTimer();
}

void CKeyloomDlg::changeEvent(QEvent* event) {
  CBaseDialog::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) UpdatePreviewTimer();
}

// ---- key clicks ----

void CKeyloomDlg::EditKey(int controlId) {
  if (busy_) return;
  if (key_editor_) key_editor_(controlId);
}

void CKeyloomDlg::PaintKey(int controlId) {
  if (busy_) return;
  if (key_painter_) key_painter_(controlId);
}

// ---- monitors ----

void CKeyloomDlg::StartMonitors() {
  if (monitors_started_) return;
  monitors_started_ = true;
  device::ResetMonitorStop(session_.link);
  event_monitor_ = std::thread([this] { device::EventMonitor(session_.link, profiles::KeyboardEventsFor(session_)); });
  connection_monitor_ =
      std::thread([this] { device::ConnectionMonitor(session_.link, profiles::ConnectionReportsFor(session_)); });
}

void CKeyloomDlg::StopMonitors() {
  if (!monitors_started_) return;
  monitors_started_ = false;
  device::RequestMonitorStop(session_.link);
  if (event_monitor_.joinable()) event_monitor_.join();
  if (connection_monitor_.joinable()) connection_monitor_.join();
}

}  // namespace keyloom::mainwnd
