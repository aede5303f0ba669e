#include "keys/ui/key_setting_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>

#include "app/record_delays_setting.h"
#include "app/settings_paths.h"
#include "i18n/texts.h"
#include "keys/key_catalogue.h"
#include "keys/key_prompts.h"
#include "platform/native_keys.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "profiles/editing_lock.h"
#include "profiles/keyboard_session.h"
#include "skin/png_button.h"
#include "skin/report_ctrl.h"
#include "skin/skin_layout.h"
#include "skin/skin_picture.h"

namespace keyloom::keys::ui {

namespace {

using namespace composite;

QString Tr(const char* key) { return QString::fromStdU16String(i18n::Text(key)); }
QString Q(const std::u16string& text) { return QString::fromStdU16String(text); }

const QString kFace = QStringLiteral("Arial Unicode MS");

// The controls each tab shows; the others are hidden with it.
const std::map<KeyDialogTab, std::vector<int>>& TabControls() {
  static const std::map<KeyDialogTab, std::vector<int>> tabs = {
      {KeyDialogTab::kSingleKey, {kHint, kKeyboardBox, kKeyboardLabel, kCaptured, kClear, kKeyLabel}},
      {KeyDialogTab::kMacro,
       {kMacroLabel, kMacroList, kAddMacro, kDeleteMacro, kCyclesLabel, kCycles, kActions, kRecord, kDeleteAction,
        kClearActions, kTop, kUp, kDown, kBottom, kRecordDelays, kRecordDelaysLabel}},
      {KeyDialogTab::kMedia, {kMediaLabel, kMediaList}},
      {KeyDialogTab::kFunction, {kFunctionLabel, kFunctionList}},
  };
  return tabs;
}

const char* TabPictureName(KeyDialogTab tab, bool macro_only) {
  switch (tab) {
    case KeyDialogTab::kMacro:
      return macro_only ? "macro2" : "macro";
    case KeyDialogTab::kMedia:
      return "media";
    case KeyDialogTab::kFunction:
      return "function";
    default:
      return "key";
  }
}

}  // namespace

Keyloom_DlgComposite::Keyloom_DlgComposite(profiles::KeyboardSession& session, host::Prompter& prompter, Hooks hooks,
                                           QWidget* parent)
    : CBaseDialog(134, parent, app::Paths().AppDir / "Skins" / "Composite.ini", app::Paths().AppDir / "Skins"),
      session_(session),
      prompter_(prompter),
      hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("KeySettingDialog"));
  setWindowModality(Qt::ApplicationModal);
}

Keyloom_DlgComposite::~Keyloom_DlgComposite() { HoldKeyboard(false); }

QWidget* Keyloom_DlgComposite::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

skin::CPngButton* Keyloom_DlgComposite::Button(int id) const {
  const auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

void Keyloom_DlgComposite::Click(int id) {
  if (skin::CPngButton* button = Button(id)) button->click();
}

void Keyloom_DlgComposite::Message(const std::u16string& text) {
  host::MessageBoxRequest request;
  request.text = text;
  prompter_.Ask(request);
}

// ---- opening ----

int Keyloom_DlgComposite::OpenForButton(int controlId, bool modal) {
  const int record = RecordOfKeyButton(controlId, 0);
  if (record < 0) return -1;
  if (open_count_ > 0) return 0;
  control_id_ = controlId;
  record_ = record;
  if (hooks_.press_button) hooks_.press_button(controlId, true);
  if (modal) return DoModal();
  return OpenModeless() ? 1 : 0;
}

bool Keyloom_DlgComposite::OnInitDialog() {
  if (!CBaseDialog::OnInitDialog()) return false;
  if (!built_) BuildControls();
  const bool macro_only = control_id_ == kMacroOnlyControlId;
  const int table = hooks_.table ? hooks_.table() : 0;
  {
    profiles::EditingLock lock(session_);
    model_ = std::make_unique<KeyDialogModel>(session_.stores, prompter_, table, record_, macro_only);
  }
  open_count_ = 1;
  session_.windows.CompositeDialogOpen.store(true);
  for (int id : {kKeyTab, kMediaTab, kFunctionTab, kClear}) Control(id)->setVisible(!macro_only);
  Control(kMacroTab)->setVisible(true);
  title_->setText(Tr(macro_only ? "MACRO_EDIT_TISHI" : "KEY_SETTING_TISHI"));
  // What the key does now, as its button's tooltip says.
  const KeyCode code = KeyCodeOfRecord(record_);
  const int g = record_ >= kFirstGRecord ? (record_ - kFirstGRecord) % kGRecordsPerBank + 1 : 0;
  const std::u16string name = g ? u"G" + std::u16string(1, char16_t(u'0' + g)) : GetKeyName(code);
  std::u16string prompt;
  {
    profiles::EditingLock lock(session_);
    prompt = KeyPromptText(session_.stores.EditingStore, name, model_->Opened());
  }
  qobject_cast<QLabel*>(Control(kKeyLabel))->setText(Q(prompt));
  ShowModel();

  // Beside the clicked key, or centred for the macro-only dialog.
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->geometry() : QRect(0, 0, 1280, 800);
  const std::optional<QRect> key = hooks_.button_rect ? hooks_.button_rect(control_id_) : std::nullopt;
  if (macro_only || !key) {
    move(area.center() - QPoint(width() / 2, height() / 2));
  } else {
    const QRect k = key->translated(-area.topLeft());
    const ScreenPoint at = PlaceBesideKey({k.left(), k.top(), k.right() + 1, k.bottom() + 1}, width(), height(),
                                          area.width(), area.height());
    move(area.topLeft() + QPoint(at.x, at.y));
  }
  return true;
}

// ---- controls ----

void Keyloom_DlgComposite::Place(QWidget& widget, std::u16string_view layout_key) {
  skin::PlaceControl(widget, SkinIniPath(), u"BUTTONINFO", layout_key);
}

skin::CPngButton* Keyloom_DlgComposite::AddButton(int id, std::u16string_view layout_key, const QString& caption) {
  auto* button = new skin::CPngButton(this);
  button->setObjectName(QStringLiteral("control%1").arg(id));
  button->setFocusPolicy(Qt::NoFocus);
  button->setProperty("layoutKey", QString::fromStdU16String(std::u16string(layout_key)));
  Place(*button, layout_key);
  if (!caption.isEmpty()) {
    button->setText(caption);
    const QColor light(0xE8, 0xEC, 0xF2), dark(0x04, 0x16, 0x1B), dim(0x55, 0x5B, 0x66);
    button->SetCaption(true, 9, kFace, {light, QColor(Qt::white), dark, dim, light});
  }
  controls_[id] = button;
  buttons_[id] = button;
  return button;
}

QLabel* Keyloom_DlgComposite::AddLabel(int id, std::u16string_view layout_key, const char* text_key) {
  auto* label = new QLabel(this);
  label->setObjectName(QStringLiteral("control%1").arg(id));
  label->setFont(QFont(kFace, 9));
  label->setWordWrap(true);
  if (text_key) label->setText(Tr(text_key));
  Place(*label, layout_key);
  controls_[id] = label;
  return label;
}

void Keyloom_DlgComposite::LoadTabPictures() {
  const char* states[] = {"normal", "over", "down", "disable"};
  auto load = [&](std::array<QPixmap, 4>& set, KeyDialogTab tab, bool macro_only) {
    for (int s = 0; s < 4; ++s) {
      // Only the macro sets have a disabled face; the buttons that can be
      // disabled sit at the same places in every set.
      const char* set_name = s == 3 && !macro_only ? "macro" : TabPictureName(tab, macro_only);
      const QString name = QStringLiteral("Skins\\%1_%2.jpg").arg(QLatin1String(set_name), QLatin1String(states[s]));
      if (std::optional<QImage> image = skin::LoadSkinPicture(app::Paths().AppDir, name.toStdU16String()))
        set[std::size_t(s)] = skin::MakeStatePicture(*image, *this);
    }
  };
  for (KeyDialogTab tab : {KeyDialogTab::kSingleKey, KeyDialogTab::kMacro, KeyDialogTab::kMedia, KeyDialogTab::kFunction})
    load(pictures_[tab], tab, false);
  load(macro_only_pictures_, KeyDialogTab::kMacro, true);
}

void Keyloom_DlgComposite::BuildControls() {
  built_ = true;
  setFont(QFont(kFace, 9));
  LoadTabPictures();

  mask_ = new QLabel(this);
  Place(*mask_, u"CONTROL_MASK");
  controls_[kMask] = mask_;
  title_ = AddLabel(kTitle, u"CONTROL_TITLE", "KEY_SETTING_TISHI");
  title_->setFont(QFont(kFace, 11, QFont::Bold));

  AddButton(kOk, u"CONTROL_OK", Tr("MACRO_OK"));
  AddButton(kApply, u"CONTROL2_APPLY");
  AddButton(kCancel, u"CONTROL_CANCEL", Tr("MACRO_CANCLE"));
  AddButton(kKeyTab, u"CONTROL_KEY", Tr("SINGLE_KEY"));
  AddButton(kMacroTab, u"CONTROL_MACRO", Tr("MACRO_SETTING"));
  AddButton(kMediaTab, u"CONTROL_MEDIA", Tr("MULTI_MEDIA"));
  AddButton(kFunctionTab, u"CONTROL_FUNCTION", Tr("FUNCTION_KEY"));
  // The shown tab is drawn lifted, on the page: its caption stays light.
  for (int id : {kKeyTab, kMacroTab, kMediaTab, kFunctionTab}) {
    const QColor light(0xE8, 0xEC, 0xF2), shown(0x5C, 0xD6, 0xF0), dim(0x55, 0x5B, 0x66);
    Button(id)->SetCaption(true, 9, kFace, {light, QColor(Qt::white), shown, dim, light});
  }
  AddButton(kClear, u"CONTROL_CLEAR")->SetTooltipText(Tr("COMPOSITE_PROMPT_CLEAR"), true);
  AddButton(kOsk, u"CONTROL_OSK")->SetTooltipText(Tr("COMPOSITE_PROMPT_OSK"), true);

  // Single key. Only the keyboard source exists on this keyboard: its box
  // stays checked and the second source is not offered.
  AddLabel(kHint, u"TISHI_SINGLE_STATIC", "SINGLE_STATIC");
  keyboard_box_ = new QCheckBox(this);
  keyboard_box_->setChecked(true);
  keyboard_box_->setEnabled(false);
  keyboard_box_->setFocusPolicy(Qt::NoFocus);
  Place(*keyboard_box_, u"FUNC_KEY_RADIO_KB");
  controls_[kKeyboardBox] = keyboard_box_;
  AddLabel(kKeyboardLabel, u"FUNC_KEY_RADIO_KB_STATIC", "IDS_MACRO_KB_KEY");
  captured_ = new QLineEdit(this);
  captured_->setReadOnly(true);
  captured_->setFocusPolicy(Qt::NoFocus);
  captured_->setAlignment(Qt::AlignCenter);
  Place(*captured_, u"FUNC_KEY_INPUT");
  controls_[kCaptured] = captured_;
  AddLabel(kKeyLabel, u"KEY_SETTING", nullptr);

  // Multimedia and function lists.
  AddLabel(kMediaLabel, u"MEDIA_SETTING_TISHI", "MEDIA_EDIT_TISHI");
  media_ = new QListWidget(this);
  for (const MediaKey& key : MediaKeys()) media_->addItem(Q(GetKeyName(key.code)));
  Place(*media_, u"FUNC_MEDIA_SELECT");
  controls_[kMediaList] = media_;
  AddLabel(kFunctionLabel, u"FUNCTION_KEY_SETTING_TISHI", "FUNCTION_TISHI");
  functions_ = new QListWidget(this);
  for (int i = 0; i < kFunctionKeyCount; ++i) functions_->addItem(Q(FunctionKeyName(i)));
  Place(*functions_, u"FUNC_FUNCTION_SELECT");
  controls_[kFunctionList] = functions_;

  // The macro editor.
  AddLabel(kMacroLabel, u"MARCO_NAME_SETTING", "MACRO_NAME_SETTING");
  macro_list_ = new QComboBox(this);
  macro_list_->setEditable(true);
  macro_list_->setInsertPolicy(QComboBox::NoInsert);
  Place(*macro_list_, u"FUNC_MACRO_LIST");
  controls_[kMacroList] = macro_list_;
  AddButton(kAddMacro, u"FUNC_MACRO_ADD");
  AddButton(kDeleteMacro, u"FUNC_MACRO_DELETE");
  AddLabel(kCyclesLabel, u"FUNC_MACRO_CYCLES_PROMPT", "MACRO_CYCLES");
  cycles_ = new QLineEdit(this);
  cycles_->setMaxLength(5);
  cycles_->setAlignment(Qt::AlignCenter);
  Place(*cycles_, u"FUNC_MACRO_CYCLES");
  controls_[kCycles] = cycles_;
  actions_ = new skin::CReportCtrl(this);
  actions_->setObjectName(QStringLiteral("control%1").arg(kActions));
  Place(*actions_, u"FUNC_MACRO_LIST2");
  const int width = actions_->width();
  actions_->InsertColumn(0, Tr("MACRO_ACTION_KEY").startsWith('#') ? QStringLiteral("Key") : Tr("MACRO_ACTION_KEY"),
                         skin::CReportCtrl::kLeft, width * 45 / 100);
  actions_->InsertColumn(1, QString(), skin::CReportCtrl::kCentre, width * 20 / 100);
  actions_->InsertColumn(2, QStringLiteral("ms"), skin::CReportCtrl::kRight, width * 30 / 100);
  actions_->SetEditable(true);
  controls_[kActions] = actions_;
  AddButton(kRecord, u"FUNC_MACRO_RECORD", Tr("A_RECORD"));
  AddButton(kDeleteAction, u"FUNC_MACRO_DELETE2");
  AddButton(kClearActions, u"FUNC_MACRO_CLEAR");
  AddButton(kTop, u"FUNC_MACRO_UP_TOP");
  AddButton(kUp, u"FUNC_MACRO_UP");
  AddButton(kDown, u"FUNC_MACRO_DOWN");
  AddButton(kBottom, u"FUNC_MACRO_DOWN_BOTTOM");
  record_delays_ = new QCheckBox(this);
  record_delays_->setFocusPolicy(Qt::NoFocus);
  Place(*record_delays_, u"FUNC_MACRO_RECORD_DELAY");
  controls_[kRecordDelays] = record_delays_;
  AddLabel(kRecordDelaysLabel, u"FUNC_MACRO_RECORD_DELAY2", "RECORD_DELAY");
  record_delays_->setChecked(app::ReadRecordDelaysSetting());

  // ---- what the controls do ----
  connect(Button(kOk), &QAbstractButton::clicked, this, [this] { OnOK(); });
  connect(Button(kCancel), &QAbstractButton::clicked, this, [this] { OnCancel(); });
  connect(Button(kApply), &QAbstractButton::clicked, this, [this] { Apply(); });
  const std::pair<int, KeyDialogTab> tabs[] = {{kKeyTab, KeyDialogTab::kSingleKey},
                                               {kMacroTab, KeyDialogTab::kMacro},
                                               {kMediaTab, KeyDialogTab::kMedia},
                                               {kFunctionTab, KeyDialogTab::kFunction}};
  for (auto [id, tab] : tabs) {
    connect(Button(id), &QAbstractButton::clicked, this, [this, tab = tab] {
      if (tab != KeyDialogTab::kMacro) StopRecording();
      EndEditing();
      if (model_ && model_->ChooseTab(tab)) {
        ShowModel();
        MarkChanged();
      }
    });
  }
  connect(Button(kClear), &QAbstractButton::clicked, this, [this] {
    if (!model_) return;
    model_->Clear();
    ShowModel();
    MarkChanged();
  });
  connect(Button(kOsk), &QAbstractButton::clicked, this, [this] { StartOnScreenKeyboard(); });
  connect(Button(kRecord), &QAbstractButton::clicked, this, [this] { StartStopRecording(); });
  // The setting is saved as soon as it changes.
  connect(record_delays_, &QCheckBox::toggled, this, [](bool on) { app::WriteRecordDelaysSetting(on); });
  connect(media_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (filling_ || !model_ || !model_->SelectMedia(row)) return;
    MarkChanged();
  });
  connect(functions_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (filling_ || !model_ || !model_->SelectFunction(row)) return;
    MarkChanged();
  });

  connect(macro_list_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (filling_ || !model_ || index < 0) return;
    StopRecording();
    EndEditing();
    model_->SelectMacro(index);
    FillMacroList();
    MarkChanged();
  });
  connect(macro_list_->lineEdit(), &QLineEdit::editingFinished, this, [this] {
    if (filling_ || !model_) return;
    const QString typed = macro_list_->currentText();
    const MacroRecord* macro = model_->Macro();
    if (macro && Q(macro->name) == typed) return;
    if (!macro && typed.isEmpty()) return;
    model_->RenameMacro(typed.toStdU16String());
    FillMacroList();
    MarkChanged();
  });
  connect(Button(kAddMacro), &QAbstractButton::clicked, this, [this] {
    if (!model_) return;
    StopRecording();
    EndEditing();
    if (model_->AddMacro() == MacroListModel::AddResult::Added) MarkChanged();
    FillMacroList();
  });
  connect(Button(kDeleteMacro), &QAbstractButton::clicked, this, [this] {
    if (!model_) return;
    StopRecording();
    EndEditing();
    if (model_->DeleteMacro()) MarkChanged();
    FillMacroList();
  });
  connect(cycles_, &QLineEdit::editingFinished, this, [this] {
    if (filling_ || !model_) return;
    const std::uint8_t kept = model_->SetCycles(cycles_->text().trimmed().toLongLong());
    cycles_->setText(QString::number(kept));
    MarkChanged();
  });
  connect(Button(kDeleteAction), &QAbstractButton::clicked, this, [this] {
    const int row = actions_->GetNextItem(skin::kSelect);
    if (!model_ || !model_->DeleteAction(row)) return;
    actions_->DeleteItem(row, true);
    MarkChanged();
  });
  connect(Button(kClearActions), &QAbstractButton::clicked, this, [this] {
    if (!model_ || !model_->ClearActions()) return;
    actions_->DeleteAllItems();
    MarkChanged();
  });
  const std::pair<int, long long> moves[] = {{kTop, -1}, {kUp, -2}, {kDown, -3}, {kBottom, 1LL << 40}};
  for (auto [id, how] : moves) {
    connect(Button(id), &QAbstractButton::clicked, this, [this, how = how] {
      const int row = actions_->GetNextItem(skin::kSelect);
      if (!model_ || row < 0) return;
      const long long target = how == -1 ? 0 : how == -2 ? row - 1 : how == -3 ? row + 1 : how;
      const int to = model_->MoveAction(row, target);
      if (to < 0 || to == row) return;
      actions_->MoveItem(row, to);
      actions_->EnsureVisible(to);
      MarkChanged();
    });
  }

  // In-place editing of a row: key, state, pause.
  actions_->SetBeforeEditHook([this](int row, int column, skin::CReportCtrl::EditSetup& setup) {
    if (!model_ || row < 0 || row >= static_cast<int>(model_->Actions().size())) return false;
    const MacroAction& action = model_->Actions()[std::size_t(row)];
    switch (column) {
      case 0:
        for (std::uint16_t pos = 0; pos < 106; ++pos) setup.choices << Q(GetListKeyName(pos));
        setup.current_choice = KeyCodeToListPos(action.code);
        return true;
      case 1:
        setup.choices << Q(MacroStateText(kPress)) << Q(MacroStateText(kRelease));
        setup.current_choice = action.state == kRelease ? 1 : 0;
        return true;
      case 2:
        // Editing a pause ends the recording.
        StopRecording();
        setup.max_length = 6;
        return true;
      default:
        Message(i18n::Text("MACRO_ACTION_ERR_MODIFY"));
        return false;
    }
  });
  actions_->SetValidator([this](skin::CReportCtrl::EditCommit& edit) {
    if (!model_) return false;
    bool ok = false;
    switch (edit.column) {
      case 0:
        ok = model_->EditActionKey(edit.row, edit.choice);
        break;
      case 1:
        ok = model_->EditActionState(edit.row, edit.choice == 1 ? kRelease : kPress);
        break;
      case 2: {
        bool number = false;
        const long long typed = edit.text.trimmed().toLongLong(&number);
        if (!number) return false;
        model_->EditActionPause(edit.row, typed);
        ok = true;
        break;
      }
      default:
        return false;
    }
    if (!ok) return false;
    const MacroAction& action = model_->Actions()[std::size_t(edit.row)];
    edit.text = edit.column == 0   ? Q(GetKeyName(action.code))
                : edit.column == 1 ? Q(MacroStateText(action.state))
                                   : QString::number(action.delay);
    MarkChanged();
    return true;
  });
}

// ---- showing the model ----

void Keyloom_DlgComposite::ShowModel() {
  if (!model_) return;
  filling_ = true;
  const KeyDialogTab tab = model_->Tab();
  // The macro-only dialog has its own set, without the other tabs.
  const auto& pictures = model_->MacroOnly() ? macro_only_pictures_ : pictures_[tab];
  // Every button takes the face of the shown tab; the tab picture under the page.
  for (auto& [id, button] : buttons_) {
    skin::PlaceImageButton(*button, SkinIniPath(), u"BUTTONINFO",
                           button->property("layoutKey").toString().toStdU16String(), pictures[0], pictures[1],
                           pictures[2], pictures[3], pictures[0]);
  }
  if (!pictures[0].isNull()) {
    const qreal ratio = pictures[0].devicePixelRatio();
    QPixmap page = pictures[0].copy(QRect((mask_->geometry().topLeft()) * ratio, mask_->size() * ratio));
    page.setDevicePixelRatio(ratio);
    mask_->setPixmap(page);
  }
  mask_->lower();
  for (const auto& [shown, ids] : TabControls())
    for (int id : ids)
      if (QWidget* w = Control(id)) w->setVisible(shown == tab);
  for (auto [id, t] : {std::pair{kKeyTab, KeyDialogTab::kSingleKey}, {kMacroTab, KeyDialogTab::kMacro},
                       {kMediaTab, KeyDialogTab::kMedia}, {kFunctionTab, KeyDialogTab::kFunction}})
    Button(id)->SetPressedLook(t == tab);
  ShowCaptured();
  media_->setCurrentRow(model_->MediaEntry());
  functions_->setCurrentRow(model_->FunctionEntry());
  filling_ = false;
  FillMacroList();
  Button(kApply)->setEnabled(model_->Changed());
  HoldKeyboard(tab == KeyDialogTab::kSingleKey && !model_->MacroOnly());
}

void Keyloom_DlgComposite::ShowCaptured() {
  const KeyCode code = model_ ? model_->CapturedKey() : 0;
  captured_->setText(code ? Q(GetKeyName(code)) : QString());
}

void Keyloom_DlgComposite::FillMacroList() {
  if (!model_) return;
  filling_ = true;
  macro_list_->clear();
  for (const MacroRecord& macro : model_->Macros()) macro_list_->addItem(Q(macro.name));
  macro_list_->setCurrentIndex(model_->SelectedMacro());
  cycles_->setText(QString::number(model_->Cycles()));
  const bool has_macro = model_->Macro() != nullptr;
  for (int id : {kDeleteMacro, kDeleteAction, kClearActions, kTop, kUp, kDown, kBottom, kRecord})
    Button(id)->setEnabled(has_macro);
  cycles_->setEnabled(has_macro);
  filling_ = false;
  FillActions();
}

void Keyloom_DlgComposite::FillActions() {
  actions_->setUpdatesEnabled(false);
  actions_->DeleteAllItems();
  const auto& actions = model_->Actions();
  // A key's name is looked up in the language file: once per key, not per row.
  std::map<KeyCode, QString> names;
  const QString states[] = {Q(MacroStateText(kPress)), Q(MacroStateText(kRelease))};
  for (std::size_t row = 0; row < actions.size(); ++row) {
    const MacroAction& action = actions[row];
    auto name = names.find(action.code);
    if (name == names.end()) name = names.emplace(action.code, Q(GetKeyName(action.code))).first;
    const int at = actions_->InsertItem(static_cast<int>(row), name->second);
    actions_->SetItemText(at, 1, states[action.state == kRelease ? 1 : 0]);
    actions_->SetItemText(at, 2, QString::number(action.delay));
  }
  actions_->setUpdatesEnabled(true);
}

void Keyloom_DlgComposite::MarkChanged() { Button(kApply)->setEnabled(model_ && model_->Changed()); }

void Keyloom_DlgComposite::EndEditing() {
  if (actions_ && actions_->GetEditRow() >= 0) actions_->EndEdit(true);
}

// ---- the keyboard ----

void Keyloom_DlgComposite::HoldKeyboard(bool on) {
  on = on && isVisible();
  if (!on && !holding_) return;
  if (on == holding_) return;
  holding_ = on;
  if (on)
    grabKeyboard();
  else
    releaseKeyboard();
}

bool Keyloom_DlgComposite::TakeKeyEvent(QKeyEvent* event) {
  if (!model_) return false;
  const bool release = event->type() == QEvent::KeyRelease;
  const std::uint32_t evdev = native_keys::EvdevFromXkbKeycode(event->nativeScanCode());
  const auto message = native_keys::WindowsKeyFromNative(evdev, event->nativeVirtualKey(), release, event->isAutoRepeat());
  const KeyCode code = message ? KeyCodeFromKeyMessage(message->vk, message->keyData) : 0;
  if (recorder_.Recording()) return RecordKeyEvent(code, release, event->isAutoRepeat());
  if (model_->Tab() != KeyDialogTab::kSingleKey || model_->MacroOnly()) return false;
  if (!model_->KeyEvent(code, !release, event->isAutoRepeat())) return false;
  ShowCaptured();
  MarkChanged();
  return true;
}

// ---- recording ----

void Keyloom_DlgComposite::StartStopRecording() {
  if (recorder_.Recording()) {
    StopRecording();
    return;
  }
  if (!model_ || !model_->Macro()) return;
  EndEditing();
  if (!clock_.isValid()) clock_.start();
  recorder_.Start(static_cast<std::uint32_t>(clock_.elapsed()), actions_->GetNextItem(skin::kSelect));
  Button(kRecord)->setText(Tr("MACRO_ACTION_STOP_RECORD"));
  // Typed keys are the recorder's: no other window sees them.
  HoldKeyboard(true);
}

void Keyloom_DlgComposite::StopRecording() {
  if (!recorder_.Recording()) return;
  recorder_.Stop();
  Button(kRecord)->setText(Tr("MACRO_ACTION_RECORD"));
  HoldKeyboard(model_ && model_->Tab() == KeyDialogTab::kSingleKey && !model_->MacroOnly());
}

bool Keyloom_DlgComposite::RecordKeyEvent(KeyCode code, bool release, bool auto_repeat) {
  std::vector<MacroAction>* rows = model_ ? model_->EditableActions() : nullptr;
  if (!rows) return false;
  const MacroRecorder::Outcome outcome = recorder_.KeyEvent(
      *rows, code, release, auto_repeat, static_cast<std::uint32_t>(clock_.elapsed()), record_delays_->isChecked());
  if (outcome.recorded > 0) {
    model_->ActionsEdited();
    FillActions();
    // Recorded rows show in grey; the last is selected, the next goes after it.
    for (int row = outcome.selected - outcome.recorded + 1; row <= outcome.selected; ++row)
      actions_->SetCellTextColor(row, -1, QColor(Qt::gray), false);
    actions_->SetAllItemStates(skin::kSelect, skin::kUnselect);
    actions_->SetItemStates(outcome.selected, skin::kSelect | skin::kFocus);
    actions_->EnsureVisible(outcome.selected);
    MarkChanged();
  }
  return outcome.swallow;
}

void Keyloom_DlgComposite::keyPressEvent(QKeyEvent* event) {
  // Every key is the single-key tab's; elsewhere Return and Escape close nothing.
  if (TakeKeyEvent(event)) return;
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      CBaseDialog::keyPressEvent(event);
  }
}

void Keyloom_DlgComposite::keyReleaseEvent(QKeyEvent* event) {
  if (TakeKeyEvent(event)) return;
  CBaseDialog::keyReleaseEvent(event);
}

void Keyloom_DlgComposite::showEvent(QShowEvent* event) {
  CBaseDialog::showEvent(event);
  HoldKeyboard(model_ && model_->Tab() == KeyDialogTab::kSingleKey && !model_->MacroOnly());
}

void Keyloom_DlgComposite::hideEvent(QHideEvent* event) {
  StopRecording();
  HoldKeyboard(false);
  CBaseDialog::hideEvent(event);
}

void Keyloom_DlgComposite::StartOnScreenKeyboard() {
  if (shell::StartOnScreenKeyboard()) return;
  Message(i18n::Text("OSK_NOT_FOUND"));
}

// ---- applying and closing ----

void Keyloom_DlgComposite::Apply() {
  if (!model_) return;
  StopRecording();
  EndEditing();
  if (cycles_->isEnabled() && cycles_->text() != QString::number(model_->Cycles())) {
    cycles_->setText(QString::number(model_->SetCycles(cycles_->text().trimmed().toLongLong())));
  }
  // OK without changes stores nothing new: the main window's Apply stays as it is.
  const bool changed = model_->Changed();
  {
    profiles::EditingLock lock(session_);
    model_->Apply(session_.link);
  }
  ShowModel();
  if (changed && hooks_.applied) hooks_.applied();
}

void Keyloom_DlgComposite::OnOK() {
  Apply();
  CloseDown();
  CBaseDialog::OnOK();
}

void Keyloom_DlgComposite::OnCancel() {
  CloseDown();
  CBaseDialog::OnCancel();
}

void Keyloom_DlgComposite::CloseDown() {
  StopRecording();
  HoldKeyboard(false);
  model_.reset();
  open_count_ = 0;
  session_.windows.CompositeDialogOpen.store(false);
  if (hooks_.press_button) hooks_.press_button(control_id_, false);
}

void Keyloom_DlgComposite::ShowTab(KeyDialogTab tab) {
  if (model_ && model_->ChooseTab(tab)) {
    ShowModel();
    MarkChanged();
  }
}

}  // namespace keyloom::keys::ui
