#include "profiles/ui/profile_dialog.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>

#include <optional>
#include <vector>

#include "app/settings_paths.h"
#include "app/shell_actions.h"
#include "i18n/texts.h"
#include "profiles/active_slot.h"
#include "profiles/data_folder.h"
#include "profiles/profile_file.h"
#include "skin/png_button.h"
#include "skin/report_ctrl.h"
#include "skin/skin_layout.h"
#include "skin/skin_picture.h"

namespace keyloom::profiles::ui {
namespace {

QString Tr(const char* key) { return QString::fromStdU16String(i18n::Text(key)); }

// The image buttons in the order they are placed, with their tooltips
// (their pictures carry their symbols).
struct ButtonPlace {
  int id;
  std::u16string_view key;
  const char* caption;
};
constexpr ButtonPlace kButtons[] = {
    {control::kOk, u"CONTROL_OK", "PROFILE_OK"},          {control::kCancel, u"CONTROL_CANCEL", "PROFILE_CANCLE"},
    {control::kAdd, u"FUNC_ADD", "PROFILE_LIST_ADD"},     {control::kLoad, u"FUNC_LOAD", "PROFILE_LIST_LOAD"},
    {control::kDelete, u"FUNC_DELETE", "PROFILE_LIST_DELETE"}, {control::kApply, u"CONTROL2_APPLY", "PROFILE_APPLY"},
};

// The dialog's four state pictures: normal, over, pressed and disabled.
// The skin has no disabled picture; the pressed one (lit) would make a
// disabled Apply look active, so the disabled face is the normal picture
// dimmed. Made once, at the first opening.
struct StatePictures {
  QPixmap normal, over, pressed, disabled;
};

std::optional<StatePictures> MakePictures(const QWidget& dialog) {
  const std::u16string_view names[] = {u"Skins\\Profile_normal.jpg", u"Skins\\Profile_over.jpg",
                                       u"Skins\\Profile_down.jpg"};
  std::vector<QPixmap> made;
  for (std::u16string_view name : names) {
    const std::optional<QImage> picture = skin::LoadSkinPicture(app::Paths().AppDir, name);
    if (!picture || picture->isNull()) {
      skin::ReportSkinFailure(skin::JoinSkinPath(app::Paths().AppDir, name));
      return std::nullopt;
    }
    made.push_back(skin::MakeStatePicture(*picture, dialog));
  }
  QPixmap disabled = made[0];
  {
    QPainter painter(&disabled);
    painter.fillRect(QRect(QPoint(0, 0), disabled.deviceIndependentSize().toSize()), QColor(0x10, 0x12, 0x16, 150));
  }
  return StatePictures{made[0], made[1], made[2], disabled};
}

}  // namespace

CKeyloom_DlgProfile::CKeyloom_DlgProfile(KeyboardSession& session, Hooks hooks, QWidget* parent)
    : CBaseDialog(kProfileDialogTemplate, parent, app::Paths().ProfileIniPath, app::Paths().ProfileSkinDir),
      session_(session),
      hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("profileDialog"));
}

CKeyloom_DlgProfile::~CKeyloom_DlgProfile() {
  if (open_count_ > 0) {
    session_.windows.ProfileManagerOpen.store(false);
    session_.windows.ProfileManagerHasUnappliedChanges.store(false);
  }
}

skin::CPngButton* CKeyloom_DlgProfile::Button(int id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

bool CKeyloom_DlgProfile::OnInitDialog() {
  if (!CBaseDialog::OnInitDialog()) return false;
  ++open_count_;
  session_.windows.ProfileManagerOpen.store(true);
  setWindowTitle(Tr("PROFILE_MANAGER_TITLE"));

  if (!controls_made_) {
    const std::optional<StatePictures> pictures = MakePictures(*this);
    if (!pictures) {
      --open_count_;
      session_.windows.ProfileManagerOpen.store(false);
      return false;
    }
    list_ctrl_ = new skin::CReportCtrl(this);
    list_ctrl_->setObjectName(QStringLiteral("profileList"));
    list_ctrl_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_ctrl_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_ctrl_->SetGridLines(true);
    list_ctrl_->setTextElideMode(Qt::ElideMiddle);
    list_ctrl_->horizontalHeader()->setStretchLastSection(true);
    list_ctrl_->SetCheckChangeCallback([this](int row, skin::CReportCtrl&) { CheckChanged(row); });
    for (const ButtonPlace& place : kButtons) {
      auto* button = new skin::CPngButton(this);
      button->setObjectName(QStringLiteral("control%1").arg(place.id));
      button->setFocusPolicy(Qt::NoFocus);
      skin::PlaceImageButton(*button, SkinIniPath(), u"BUTTONINFO", place.key, pictures->normal, pictures->over,
                             pictures->pressed, pictures->disabled, pictures->normal);
      buttons_[place.id] = button;
    }
    connect(Button(control::kOk), &QAbstractButton::clicked, this, [this] { OnOK(); });
    connect(Button(control::kCancel), &QAbstractButton::clicked, this, [this] { OnCancel(); });
    connect(Button(control::kAdd), &QAbstractButton::clicked, this, [this] { OnAdd(); });
    connect(Button(control::kLoad), &QAbstractButton::clicked, this, [this] { OnLoad(); });
    connect(Button(control::kDelete), &QAbstractButton::clicked, this, [this] { OnDelete(); });
    connect(Button(control::kApply), &QAbstractButton::clicked, this, [this] { OnApply(); });
    skin::PlaceControl(*list_ctrl_, SkinIniPath(), u"BUTTONINFO", u"PROGRAM_LIST");
    controls_made_ = true;
  }
  // The columns with their titles in the current language, at every opening.
  list_ctrl_->DeleteAllItems();
  QString layout;
  const std::pair<const char*, int> columns[] = {
      {"PROFILE_LIST_ACTIVE", 60}, {"PROFILE_LIST_NAME", 160}, {"PROFILE_LIST_PATH", 230}};
  for (const auto& [key, width] : columns) {
    QString title = Tr(key);
    title.remove(QLatin1Char(',')).remove(QLatin1Char(';'));
    if (!layout.isEmpty()) layout += QLatin1Char(';');
    layout += QStringLiteral("%1,%2,0").arg(title).arg(width);
  }
  list_ctrl_->SetColumnHeader(layout);
  list_ctrl_->SetCheckboxStyle(skin::CReportCtrl::kSingleCheck);
  for (const ButtonPlace& place : kButtons) Button(place.id)->setToolTip(Tr(place.caption));
  applying_ = false;
  SetButtonsEnabled(true);
  FillList();
  return true;
}

void CKeyloom_DlgProfile::FillList() {
  list_.Fill(WorkingProfilePath(), ReadStoredProfileList(), GetActiveSlot(session_));
  showing_check_ = true;
  list_ctrl_->DeleteAllItems();
  for (int row = 0; row < list_.Count(); ++row) {
    list_ctrl_->InsertItem(row, QString());
    ShowRow(row);
  }
  showing_check_ = false;
  ShowCheck();
  // No cell is current until the user picks one.
  list_ctrl_->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
  SetModified(false);
}

void CKeyloom_DlgProfile::ShowRow(int row) {
  const ProfileListRow& r = list_.Rows()[static_cast<std::size_t>(row)];
  // The slots' rows all show the working profile; their names tell them apart.
  static constexpr const char* kSlotNames[] = {"PROFILE_1", "PROFILE_2", "PROFILE_3"};
  QString name = r.slot >= 0 && r.slot < kProfileSlotCount ? Tr(kSlotNames[r.slot])
                                                             : QString::fromStdU16String(ProfileRowName(r));
  if (r.missing) name += QStringLiteral(" ") + Tr("PROFILE_FILE_MISSING");
  list_ctrl_->SetItemText(row, 1, name);
  list_ctrl_->SetItemText(row, 2, QString::fromStdU16String(ProfileRowFolder(r)));
  list_ctrl_->SetCellTextColor(row, -1, r.missing ? QColor(0x80, 0x80, 0x80) : QColor());
}

void CKeyloom_DlgProfile::ShowCheck() {
  showing_check_ = true;
  const int checked = list_.Checked();
  if (checked >= 0) {
    list_ctrl_->SetItemStates(checked, skin::kCheck);
  } else {
    list_ctrl_->SetAllItemStates(skin::kCheck, skin::kUncheck);
  }
  showing_check_ = false;
}

void CKeyloom_DlgProfile::CheckChanged(int row) {
  if (showing_check_) return;
  const bool checked = (list_ctrl_->GetItemStates(row) & skin::kCheck) != 0;
  if (list_.Check(checked ? row : -1)) {
    SetModified(true);
    return;
  }
  // A missing file cannot be checked: the previous check comes back.
  showing_check_ = true;
  list_ctrl_->SetItemStates(row, skin::kUncheck);
  showing_check_ = false;
  ShowCheck();
}

void CKeyloom_DlgProfile::SetModified(bool on) {
  modified_ = on ? 1 : 0;
  if (open_count_ > 0) session_.windows.ProfileManagerHasUnappliedChanges.store(on);
  if (skin::CPngButton* apply = Button(control::kApply)) apply->setEnabled(on && !applying_);
}

void CKeyloom_DlgProfile::SetButtonsEnabled(bool on) {
  for (const ButtonPlace& place : kButtons) {
    if (place.id != control::kApply) Button(place.id)->setEnabled(on);
  }
  Button(control::kApply)->setEnabled(on && modified_ != 0);
  list_ctrl_->setEnabled(on);
}

void CKeyloom_DlgProfile::AppendChosen(const QString& path, bool create) {
  const std::filesystem::path file = path.toStdString();
  // A file that could not be created shows as missing.
  if (create) (void)WriteEmptyProfile(file, 0);
  const int row = list_.AppendFile(file);
  showing_check_ = true;
  list_ctrl_->InsertItem(row, QString());
  ShowRow(row);
  showing_check_ = false;
  SetModified(true);
}

void CKeyloom_DlgProfile::OnAdd() {
  if (applying_ || !hooks_.choose_file) return;
  const std::filesystem::path folder = app::Paths().UserDataDir;
  const QString initial = QString::fromStdString(folder.string()) + Tr("PROFILE_NEW");
  const QString path = hooks_.choose_file(true, initial);
  if (!path.isEmpty()) AppendChosen(path, true);
}

void CKeyloom_DlgProfile::OnLoad() {
  if (applying_ || !hooks_.choose_file) return;
  const std::filesystem::path folder = app::Paths().UserDataDir;
  const QString path = hooks_.choose_file(false, QString::fromStdString(folder.string()) + QStringLiteral("/*.kyl"));
  if (!path.isEmpty()) AppendChosen(path, false);
}

void CKeyloom_DlgProfile::OnDelete() {
  if (applying_) return;
  const int row = list_ctrl_->GetNextItem(skin::kSelect);
  if (row < 0) return;
  const int next = list_.Delete(row);
  if (next < 0) return;  // a slot's row stays
  showing_check_ = true;
  list_ctrl_->DeleteItem(row, true);
  showing_check_ = false;
  SetModified(true);
}

void CKeyloom_DlgProfile::OnApply(std::function<void()> then) {
  if (applying_) return;
  list_.Store();
  const int checked = list_.Checked();
  std::optional<ProfileListRow> row;
  if (checked >= 0) row = list_.Rows()[static_cast<std::size_t>(checked)];
  auto work = [this, row] { return ApplyProfileRow(session_, row ? &*row : nullptr); };
  QPointer<CKeyloom_DlgProfile> self(this);
  auto finished = [self, then](int result) {
    if (!self) return;
    self->applying_ = false;
    if (self->open_count_ > 0) {
      self->SetButtonsEnabled(true);
      // Whatever Apply did, the check shows the active slot again.
      self->list_.Check(CachedActiveSlot(self->session_) >= 0 ? CachedActiveSlot(self->session_) : -1);
      self->ShowCheck();
      self->SetModified(false);
    }
    if (self->hooks_.applied) self->hooks_.applied(result);
    if (then) then();
  };
  applying_ = true;
  SetButtonsEnabled(false);
  if (!hooks_.run_busy || !hooks_.run_busy(work, finished)) {
    applying_ = false;
    SetButtonsEnabled(true);
    if (then) then();
  }
}

void CKeyloom_DlgProfile::OnOK() {
  if (open_count_ <= 0 || applying_) return;
  QPointer<CKeyloom_DlgProfile> self(this);
  OnApply([self] {
    if (self) self->Close(true);
  });
}

void CKeyloom_DlgProfile::OnCancel() {
  if (open_count_ <= 0) return;
  Close(false);
}

void CKeyloom_DlgProfile::Close(bool ok) {
  SetModified(false);
  --open_count_;
  session_.windows.ProfileManagerOpen.store(false);
  session_.windows.ProfileManagerHasUnappliedChanges.store(false);
  if (ok) {
    CBaseDialog::OnOK();
  } else {
    CBaseDialog::OnCancel();
  }
}

int CKeyloom_DlgProfile::CloseIfOpen() {
  // Work already started finishes in the main window; the dialog goes.
  if (open_count_ > 0) Close(false);
  return 1;
}

void CKeyloom_DlgProfile::SyncActiveSlot(int slot) {
  if (open_count_ <= 0 || applying_) return;
  list_.Check(slot >= 0 && slot < kProfileSlotCount ? ProfileList::SlotRow(slot) : -1);
  ShowCheck();
  SetModified(false);
}

void CKeyloom_DlgProfile::OnHelp() { app::OpenHelp(); }

void CKeyloom_DlgProfile::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    OnHelp();
    return;
  }
  CBaseDialog::keyPressEvent(event);
}

}  // namespace keyloom::profiles::ui
