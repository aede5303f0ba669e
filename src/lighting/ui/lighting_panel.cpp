#include "lighting/ui/lighting_panel.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QSignalBlocker>
#include <QThread>

#include "app/settings_paths.h"
#include "i18n/texts.h"
#include "keys/key_panel.h"
#include "lighting/ui/picture_switch.h"
#include "mainwnd/key_panel_view.h"
#include "profiles/active_slot.h"
#include "profiles/slot_switch.h"
#include "skin/base_dialog.h"
#include "skin/bitmap_slider.h"
#include "skin/posted_message.h"
#include "skin/skin_color_btn.h"
#include "skin/skin_layout.h"
#include "skin/skin_picture.h"

namespace keyloom::lighting::ui {
namespace {

constexpr int kCustomColourEffect = 20;
constexpr int kFnControlId = 1174;
constexpr int kSliderPageSize = 10;
constexpr std::array<int, 4> kEffect17Buttons = {1194, 1195, 1196, 1197};
constexpr std::array<const char*, 4> kEffect17Pictures = {"hong", "huang", "lv", "lan"};
constexpr std::array<int, 3> kRgbBoxes = {control::kRgbRed, control::kRgbGreen, control::kRgbBlue};

QColor ToQColor(Colour c) { return QColor(Red(c), Green(c), Blue(c)); }
Colour FromQColor(const QColor& c) {
  return MakeColour(std::uint8_t(c.red()), std::uint8_t(c.green()), std::uint8_t(c.blue()));
}

QString Name(std::string_view name) { return QString::fromLatin1(name.data(), qsizetype(name.size())); }
std::u16string Key(std::string_view key) { return std::u16string(key.begin(), key.end()); }

// The label texts: the label's id and its key in the "LIGHT" texts.
constexpr std::array<std::pair<int, const char*>, 12> kLabelTexts = {{
    {control::kLampLabel, "Deng"},
    {control::kBrightnessLabel, "Light"},
    {control::kSpeedLabel, "Speed"},
    {control::kDirectionLabel, "FX"},
    {control::kGeneralLabel, "Color"},
    {control::kGeneralColourfulLabel, "DC"},
    {control::kReactiveLabel, "Color"},
    {control::kReactiveColourfulLabel, "DC"},
    {control::kPaintingLabel, "Color"},
    {control::kBaseLabel, "JColor"},
    {control::kToolLabel, "Tool"},
    {0, nullptr},
}};

}  // namespace

// The preview's colours go onto the on-screen keyboard.
class LightingPanel::KeySink final : public preview::KeyOverlaySink {
 public:
  explicit KeySink(mainwnd::KeyPanelView& keys) : keys_(keys) {}
  void ShowKeyColour(int id, Colour colour) override {
    keys_.SetKeyColour(id, ToQColor(colour), preview::kOverlayStrength, true);
  }
  void ClearKeyColours() override { keys_.ClearKeyColours(); }

 private:
  mainwnd::KeyPanelView& keys_;
};

LightingPanel::LightingPanel(skin::CBaseDialog& window, profiles::KeyboardSession& session,
                             mainwnd::KeyPanelView& keys, Hooks hooks)
    : window_(window),
      session_(session),
      keys_(keys),
      hooks_(std::move(hooks)),
      editor_(session.link, session.lighting),
      key_colours_(session.link, session.lighting),
      sink_(std::make_unique<KeySink>(keys)),
      preview_(std::make_unique<preview::PreviewEngine>(clock_, random_)) {
  setObjectName(QStringLiteral("lightingPanel"));

  AddLabel(control::kLampLabel, u"CONTROL_DengStatic");
  PictureSwitch* lamp = AddPicture(control::kLamp, u"CONTROL_DengStaPic");
  connect(lamp, &PictureSwitch::clicked, this, [this] { ToggleLamp(); });

  effect_selector_ = new QComboBox(&window_);
  effect_selector_->setObjectName(QStringLiteral("control%1").arg(control::kEffectSelector));
  Place(*effect_selector_, u"CONTROL_XGcombox");
  effect_selector_->installEventFilter(this);
  connect(effect_selector_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!filling_) SelectEffectIndex(index);
  });
  controls_[control::kEffectSelector] = effect_selector_;

  AddLabel(control::kBrightnessLabel, u"CONTROL_LightStatic");
  AddLabel(control::kSpeedLabel, u"CONTROL_SpeedStatic");
  auto make_slider = [this](int id, std::u16string_view key, const QString& face, int maximum) {
    auto* slider = new skin::CBitmapSlider(id, &window_);
    slider->setObjectName(QStringLiteral("control%1").arg(id));
    Place(*slider, key);
    slider->SetTrackBitmap(Picture(face));
    slider->SetRange(0, maximum);
    slider->SetPageSize(kSliderPageSize);
    controls_[id] = slider;
    return slider;
  };
  brightness_ = make_slider(control::kBrightness, u"CONTROL_LightSlider", QStringLiteral("0"), 5);
  speed_ = make_slider(control::kSpeed, u"CONTROL_SpeedSlider", QStringLiteral("6"), 4);
  // The sliders post their positions to the window.
  window_.installEventFilter(this);

  AddLabel(control::kDirectionLabel, u"CONTROL_BLFXStatic");
  connect(AddPicture(control::kDirectionFirst, u"CONTROL_BLFXLStaPic"), &PictureSwitch::clicked, this,
          [this] { ChooseDirection(255); });
  connect(AddPicture(control::kDirectionSecond, u"CONTROL_BLFXRStaPic"), &PictureSwitch::clicked, this,
          [this] { ChooseDirection(0); });

  AddLabel(control::kGeneralLabel, u"CONTROL_HXysStatic");
  connect(AddColourButton(control::kGeneralColour, u"CONTROL_HXysButton"), &skin::CSkinColorBtn::colourChosen, this,
          [this](const QColor& c) { ChooseColour(c, ColourGroup::kGeneral); });
  connect(AddPicture(control::kGeneralColourful, u"CONTROL_HXsjsStaPic"), &PictureSwitch::clicked, this,
          [this] { ToggleColourful(ColourGroup::kGeneral); });
  AddLabel(control::kGeneralColourfulLabel, u"CONTROL_HXsjsStatic");
  AddLabel(control::kReactiveLabel, u"CONTROL_FYYSStatic");
  connect(AddColourButton(control::kReactiveColour, u"CONTROL_FYYSButton"), &skin::CSkinColorBtn::colourChosen, this,
          [this](const QColor& c) { ChooseColour(c, ColourGroup::kReactive); });
  connect(AddPicture(control::kReactiveColourful, u"CONTROL_FYSJSStaPic"), &PictureSwitch::clicked, this,
          [this] { ToggleColourful(ColourGroup::kReactive); });
  AddLabel(control::kReactiveColourfulLabel, u"CONTROL_FYSJSStatic");

  constexpr std::array<std::u16string_view, 4> effect17_keys = {u"CONTROL_HONGPIC", u"CONTROL_HUANGPIC",
                                                                u"CONTROL_LVPIC", u"CONTROL_LANPIC"};
  for (int i = 0; i < 4; ++i)
    connect(AddPicture(kEffect17Buttons[i], effect17_keys[i]), &PictureSwitch::clicked, this,
            [this, i] { ChooseEffect17Colour(i); });

  layout_selector_ = new QComboBox(&window_);
  layout_selector_->setObjectName(QStringLiteral("control%1").arg(control::kLayoutSelector));
  layout_selector_->setEditable(true);
  layout_selector_->setInsertPolicy(QComboBox::NoInsert);
  Place(*layout_selector_, u"CONTROL_umCombo");
  connect(layout_selector_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!filling_) SelectLayout(index);
  });
  connect(layout_selector_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) { RenameLayout(text); });
  controls_[control::kLayoutSelector] = layout_selector_;
  AddLabel(control::kPaintingLabel, u"CONTROL_USERysStatic");
  connect(AddColourButton(control::kPaintingColour, u"CONTROL_USERysButton"), &skin::CSkinColorBtn::colourChosen, this,
          [this](const QColor& c) { ChoosePaintingColour(c); });
  AddLabel(control::kBaseLabel, u"CONTROL_USERjsStatic");
  connect(AddColourButton(control::kBaseColour, u"CONTROL_USERjsButton"), &skin::CSkinColorBtn::colourChosen, this,
          [this](const QColor& c) { ChooseBaseColour(c); });
  AddLabel(control::kToolLabel, u"CONTROL_USERgjStatic");
  connect(AddPicture(control::kTool0, u"CONTROL_USERgjStaPic1"), &PictureSwitch::clicked, this, [this] { ChooseTool(0); });
  connect(AddPicture(control::kTool1, u"CONTROL_USERgjStaPic2"), &PictureSwitch::clicked, this, [this] { ChooseTool(1); });

  constexpr std::array<std::u16string_view, 3> rgb_keys = {u"COLOR_R", u"COLOR_G", u"COLOR_B"};
  for (int i = 0; i < 3; ++i) {
    auto* box = new QLineEdit(&window_);
    const int id = kRgbBoxes[i];
    box->setObjectName(QStringLiteral("control%1").arg(id));
    box->setMaxLength(8);
    box->setPlaceholderText(QStringList{QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B")}[i]);
    Place(*box, rgb_keys[i]);
    connect(box, &QLineEdit::textChanged, this, [this, id] { EditRgbBox(id); });
    controls_[id] = box;
  }

  ShowPicture(control::kLamp, QStringLiteral("dengup"));
  ShowColourfulSwitches(false, false);
  ShowEffect17Colour(0);
  ShowToolPictures(0);
  ShowDirectionPictures(0);
  ApplyEffectVisibility(0, false);
  session_.lighting.panel = this;
}

LightingPanel::~LightingPanel() {
  if (session_.lighting.panel == this) session_.lighting.panel = nullptr;
}

// ---- building ----

void LightingPanel::Place(QWidget& control, std::u16string_view layout_key) {
  skin::PlaceControl(control, window_.SkinIniPath(), u"BUTTONINFO", layout_key);
}

QLabel* LightingPanel::AddLabel(int id, std::u16string_view layout_key) {
  auto* label = new QLabel(&window_);
  label->setObjectName(QStringLiteral("control%1").arg(id));
  // The colourful switches' labels follow their switch; the others lead
  // their control.
  const bool after = id == control::kGeneralColourfulLabel || id == control::kReactiveColourfulLabel;
  label->setAlignment((after ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
  // Light text straight on the panel's picture (a label draws no
  // background of its own). A palette, not a style sheet: a style sheet
  // gives each label a style of its own to build and polish.
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, QColor(0xDC, 0xE3, 0xEC));
  label->setPalette(palette);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  label->setFont(font);
  Place(*label, layout_key);
  label_keys_[id] = std::u16string(layout_key);
  controls_[id] = label;
  return label;
}

PictureSwitch* LightingPanel::AddPicture(int id, std::u16string_view layout_key) {
  auto* picture = new PictureSwitch(&window_);
  picture->setObjectName(QStringLiteral("control%1").arg(id));
  Place(*picture, layout_key);
  controls_[id] = picture;
  return picture;
}

skin::CSkinColorBtn* LightingPanel::AddColourButton(int id, std::u16string_view layout_key) {
  auto* button = new skin::CSkinColorBtn(&window_);
  button->setObjectName(QStringLiteral("control%1").arg(id));
  button->setFocusPolicy(Qt::NoFocus);
  Place(*button, layout_key);
  button->SetColumnsNumber(10);
  button->SetPaletteColors(skin::DefaultPaletteColours());
  button->EnableOtherButton(QStringLiteral("other"));
  controls_[id] = button;
  return button;
}

// Each picture is read when first shown (most are shown only once the
// panel opens, some only for one effect) and then kept.
const QPixmap& LightingPanel::Picture(const QString& name) {
  auto it = pictures_.find(name);
  if (it != pictures_.end()) return it->second;
  QPixmap pixmap;
  // A missing picture leaves its control without one.
  if (std::optional<QImage> image =
          skin::LoadSkinPicture(app::Paths().AppDir, (QStringLiteral("Skins\\") + name + QStringLiteral(".bmp")).toStdU16String()))
    pixmap = QPixmap::fromImage(*image);
  return pictures_.emplace(name, pixmap).first->second;
}

void LightingPanel::ShowPicture(int id, const QString& name) {
  if (auto* picture = qobject_cast<PictureSwitch*>(Control(id))) picture->ShowPicture(Picture(name), name);
}

QWidget* LightingPanel::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void LightingPanel::SetVisible(std::initializer_list<int> ids, bool on) {
  for (int id : ids)
    if (QWidget* w = Control(id)) w->setVisible(on);
}

void LightingPanel::FitLabel(int id) {
  auto* label = qobject_cast<QLabel*>(Control(id));
  auto key = label_keys_.find(id);
  if (!label || key == label_keys_.end()) return;
  Place(*label, key->second);
  // A text longer than its place grows away from the control it names.
  const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 4;
  const QRect place = label->geometry();
  if (needed <= place.width()) return;
  if (label->alignment() & Qt::AlignRight)
    label->setGeometry(place.right() + 1 - needed, place.y(), needed, place.height());
  else
    label->setGeometry(place.x(), place.y(), needed, place.height());
}

void LightingPanel::SetLabels() {
  for (auto [id, key] : kLabelTexts) {
    if (!key) continue;
    if (auto* label = qobject_cast<QLabel*>(Control(id))) {
      label->setText(QString::fromStdU16String(i18n::LightText(key)));
      FitLabel(id);
    }
  }
  // The effect names follow the language too.
  FillEffectSelector();
}

// ---- showing the values ----

int LightingPanel::ShownEffect() const {
  const int index = effect_selector_->currentIndex();
  return index < 0 ? 0 : effect_selector_->itemData(index).toInt();
}

bool LightingPanel::SupportsLayouts() const { return SupportsCustomColours(session_.lighting.ConfigBlockCopy); }

void LightingPanel::FillEffectSelector() {
  filling_ = true;
  effect_selector_->clear();
  for (const EffectEntry& entry : session_.lighting.EffectList()) {
    const std::string key = std::to_string(entry.effect);
    effect_selector_->addItem(QString::fromStdU16String(i18n::ModeText(key)), entry.effect);
  }
  effect_selector_->setCurrentIndex(EffectListIndexOf(session_.lighting.ConfigBlockCopy, editor_.State().effect));
  filling_ = false;
}

void LightingPanel::FillLayoutSelector(const std::vector<std::u16string>& names) {
  filling_ = true;
  layout_selector_->clear();
  for (const std::u16string& name : names) layout_selector_->addItem(QString::fromStdU16String(name));
  layout_selector_->setCurrentIndex(session_.lighting.CustomColours.selected_layout);
  filling_ = false;
}

void LightingPanel::PlaceDirectionControls(int effect) {
  const auto keys = DirectionLayoutKeys(effect);
  const int ids[3] = {control::kDirectionLabel, control::kDirectionFirst, control::kDirectionSecond};
  for (int i = 0; i < 3; ++i)
    if (QWidget* w = Control(ids[i])) Place(*w, Key(keys[i]));
  label_keys_[control::kDirectionLabel] = Key(keys[0]);
  FitLabel(control::kDirectionLabel);
}

void LightingPanel::ShowDirectionPictures(int effect) {
  const auto names = DirectionPictures(effect, editor_.State().direction);
  ShowPicture(control::kDirectionFirst, Name(names[0]));
  ShowPicture(control::kDirectionSecond, Name(names[1]));
}

void LightingPanel::ShowColourfulSwitches(bool general, bool reactive) {
  ShowPicture(control::kGeneralColourful, general ? QStringLiteral("sjsdown") : QStringLiteral("sjsup"));
  ShowPicture(control::kReactiveColourful, reactive ? QStringLiteral("sjsdown") : QStringLiteral("sjsup"));
}

void LightingPanel::ShowEffect17Colour(int colour) {
  for (int i = 0; i < 4; ++i) {
    const QString name = QString::fromLatin1(kEffect17Pictures[i]);
    ShowPicture(kEffect17Buttons[i], i == colour ? name + QStringLiteral("ok") : name);
  }
}

void LightingPanel::ShowToolPictures(int tool) {
  ShowPicture(control::kTool0, tool == 0 ? QStringLiteral("user1down") : QStringLiteral("user1up"));
  ShowPicture(control::kTool1, tool == 1 ? QStringLiteral("user2down") : QStringLiteral("user2up"));
}

void LightingPanel::ShowSliders() {
  const LightingState& s = editor_.State();
  brightness_->SetPos(s.brightness);
  brightness_->SetBitmap(Picture(QString::number(std::clamp(s.brightness, 0, 5))));
  const int position = SliderPositionFromSpeed(s.speed);
  speed_->SetPos(position);
  speed_->SetBitmap(Picture(QString::number(6 + std::clamp(position, 0, 4))));
}

void LightingPanel::ShowColourButtons() {
  const LightingState& s = editor_.State();
  if (auto* b = qobject_cast<skin::CSkinColorBtn*>(Control(control::kGeneralColour))) b->SetColor(ToQColor(s.colour_button1));
  if (auto* b = qobject_cast<skin::CSkinColorBtn*>(Control(control::kReactiveColour))) b->SetColor(ToQColor(s.colour_button2));
}

void LightingPanel::ApplyEffectVisibility(int effect, bool open) {
  const PanelVisibility v = VisibleControls(effect, open);
  SetVisible({control::kLampLabel, control::kLamp}, true);
  // The effect selector stays reachable while the panel is open, even when
  // the keyboard reports an effect it has no row for.
  SetVisible({control::kEffectSelector}, v.effect_selector || open);
  SetVisible({control::kBrightnessLabel, control::kBrightness}, v.brightness);
  SetVisible({control::kSpeedLabel, control::kSpeed}, v.speed);
  SetVisible({control::kDirectionLabel, control::kDirectionFirst, control::kDirectionSecond}, v.direction);
  SetVisible({control::kGeneralLabel, control::kGeneralColour, control::kGeneralColourful,
              control::kGeneralColourfulLabel},
             v.general_colour);
  SetVisible({control::kReactiveLabel, control::kReactiveColour, control::kReactiveColourful,
              control::kReactiveColourfulLabel},
             v.reactive_colour);
  SetVisible({1194, 1195, 1196, 1197}, v.effect17_colours);
  SetVisible({control::kLayoutSelector, control::kPaintingLabel, control::kPaintingColour, control::kBaseLabel,
              control::kBaseColour, control::kToolLabel, control::kTool0, control::kTool1},
             v.custom_layouts);
  // The RGB boxes belong to the open panel.
  SetVisible({control::kRgbRed, control::kRgbGreen, control::kRgbBlue}, open);
}

void LightingPanel::Refresh() {
  LightingState& s = session_.lighting.CurrentLighting;
  // The keyboard changed the effect (its own keys, another program): the
  // keys drop what the previous effect drew and the preview starts afresh.
  if (s.panel_open && s.effect != ShownEffect()) {
    keys_.ClearKeyColours();
    preview_->RequestRestart();
  }
  FillEffectSelector();
  ShowSliders();
  ShowColourButtons();
  // Both switches show the colourful byte they write.
  ShowColourfulSwitches(s.colourful, s.colourful);
  s.effect17_colour = ShownEffect17Colour(s.effect17_colour);
  ShowEffect17Colour(s.effect17_colour);
  if (SupportsLayouts()) {
    std::vector<std::u16string> names;
    for (int n = 0; n < kLayoutCount; ++n) names.push_back(key_colours_.LayoutName(n));
    FillLayoutSelector(names);
    ShowLayoutValues();
  }
  ShowDirectionPictures(s.effect);
  if (s.effect == kCustomColourEffect && s.panel_open) ShowKeyColours();
  ShowPicture(control::kLamp, s.panel_open ? QStringLiteral("dengdown") : QStringLiteral("dengup"));
  ApplyEffectVisibility(s.effect, s.panel_open);
  PlaceDirectionControls(s.effect);
}

// ---- the lamp switch, Default ----

void LightingPanel::ToggleLamp() {
  if (IsOpen())
    Close();
  else
    Open();
}

void LightingPanel::Open() {
  if (profiles::SwitchProfileSlot(session_, profiles::GetActiveSlot(session_)) == 0) return;
  SetLightingPanelOpen(session_.lighting, true);
  ShowPicture(control::kLamp, QStringLiteral("dengdown"));
  keys_.ClearKeyColours();
  const int effect = editor_.State().effect;
  ApplyEffectVisibility(effect, true);
  PlaceDirectionControls(effect);
  if (effect == kCustomColourEffect) {
    ShowKeyColours();
    ShowLayoutValues();
  }
  preview_->RequestRestart();
  if (hooks_.open_changed) hooks_.open_changed();
}

void LightingPanel::Close() {
  SetLightingPanelOpen(session_.lighting, false);
  ShowPicture(control::kLamp, QStringLiteral("dengup"));
  keys_.ClearKeyColours();
  if (hooks_.refresh_captions) hooks_.refresh_captions();
  ApplyEffectVisibility(editor_.State().effect, false);
  if (hooks_.open_changed) hooks_.open_changed();
}

void LightingPanel::ApplyDefault() {
  // Effect 1 with the current colourful value first, as its selection does.
  const int index = EffectListIndexOf(session_.lighting.ConfigBlockCopy, 1);
  if (index >= 0 && index != effect_selector_->currentIndex()) {
    effect_selector_->setCurrentIndex(index);  // runs the selection
  } else {
    SelectEffectIndex(index);
  }
  if (SupportsLayouts()) {
    (void)key_colours_.ResetLayouts();
    std::vector<std::u16string> names;
    for (int n = 0; n < kLayoutCount; ++n) names.push_back(key_colours_.LayoutName(n));
    FillLayoutSelector(names);
    ShowLayoutValues();
  }
  Took(editor_.WriteDefault());
  const LightingState& s = editor_.State();
  ShowSliders();
  ShowColourButtons();
  ShowColourfulSwitches(s.colourful, s.colourful);
  ShowDirectionPictures(s.effect);
}

// ---- the controls ----

void LightingPanel::Took(LightingChange change) { last_change_ = std::move(change); }

void LightingPanel::SelectEffectIndex(int index) {
  int effect = 1;
  if (index >= 0) {
    const std::vector<EffectEntry> list = session_.lighting.EffectList();
    if (index >= int(list.size())) return;
    effect = list[std::size_t(index)].effect;
  }
  keys_.ClearKeyColours();
  PlaceDirectionControls(effect);
  Took(editor_.SelectEffect(effect));
  ShowDirectionPictures(effect);
  if (effect == kCustomColourEffect) ShowKeyColours();
  preview_->RequestRestart();
  ApplyEffectVisibility(editor_.State().effect, IsOpen());
}

void LightingPanel::MoveBrightness(int position) {
  brightness_->SetBitmap(Picture(QString::number(std::clamp(position, 0, 5))));
  Took(editor_.SetBrightness(position));
}

void LightingPanel::MoveSpeed(int position) {
  speed_->SetBitmap(Picture(QString::number(6 + std::clamp(position, 0, 4))));
  Took(editor_.SetSpeedPosition(position));
}

void LightingPanel::ChooseDirection(int direction) {
  LightingChange change = editor_.SetDirection(direction);
  ShowDirectionPictures(ShownEffect());
  Took(std::move(change));
}

void LightingPanel::ChooseColour(const QColor& colour, ColourGroup group) {
  Took(editor_.ChooseColour(FromQColor(colour), group));
  const LightingState& s = editor_.State();
  ShowColourButtons();
  ShowColourfulSwitches(s.colourful, s.colourful);
}

void LightingPanel::ToggleColourful(ColourGroup group) {
  Took(editor_.ToggleColourful(group));
  const bool on = editor_.State().colourful;
  ShowColourfulSwitches(on, on);
}

void LightingPanel::ChooseEffect17Colour(int colour) {
  Took(editor_.SetEffect17Colour(colour));
  ShowEffect17Colour(ShownEffect17Colour(editor_.State().effect17_colour));
}

void LightingPanel::EditRgbBox(int id) {
  auto* box = qobject_cast<QLineEdit*>(Control(id));
  if (!box) return;
  const QString shown = QString::fromStdString(RgbBoxText(box->text().toStdString()));
  if (shown != box->text()) box->setText(shown);
}

void LightingPanel::PaintKey(int controlId) {
  if (ShownEffect() != kCustomColourEffect) return;
  int position = -1;
  if (controlId == kFnControlId) {
    position = kFnKeyPosition;
  } else if (const keys::PanelButton* button = keys::FindPanelButton(controlId)) {
    // Macro keys never paint (they share one position); D keys have none.
    if (button->kind == keys::PanelButtonKind::Ordinary) position = button->colourPosition;
  }
  if (position < 0) return;
  const KeyColourChange change = key_colours_.PaintKey(position);
  if (change.outcome == KeyColourChange::Outcome::kDone || change.outcome == KeyColourChange::Outcome::kFileFailed)
    keys_.SetKeyColour(controlId, ToQColor(key_colours_.KeyColour(position)), preview::kOverlayStrength, true);
}

void LightingPanel::ChooseBaseColour(const QColor& colour) {
  const KeyColourChange change = key_colours_.ChooseBaseColour(FromQColor(colour));
  if (change.outcome == KeyColourChange::Outcome::kUnchanged) return;
  session_.lighting.CustomColours.base_colour_copy = session_.lighting.CustomColours.base_colour;
  ShowKeyColours();
}

void LightingPanel::ChoosePaintingColour(const QColor& colour) {
  (void)key_colours_.ChoosePaintingColour(FromQColor(colour));
  session_.lighting.CustomColours.painting_colour_copy = session_.lighting.CustomColours.painting_colour;
}

void LightingPanel::ChooseTool(int tool) {
  if (!key_colours_.ChooseTool(tool)) return;
  ShowToolPictures(tool);
}

void LightingPanel::SelectLayout(int index) {
  if (index < 0) return;
  (void)key_colours_.SelectLayout(index);
  ShowLayoutValues();
  ShowKeyColours();
}

void LightingPanel::RenameLayout(const QString& text) {
  const int index = layout_selector_->currentIndex();
  if (index < 0) return;
  const QString name = text.left(int(kLayoutNameLimit));
  (void)key_colours_.RenameLayout(name.toStdU16String());
  filling_ = true;
  layout_selector_->setItemText(index, name);
  filling_ = false;
}

void LightingPanel::ShowLayoutValues() {
  CustomColourState& c = session_.lighting.CustomColours;
  filling_ = true;
  layout_selector_->setCurrentIndex(c.selected_layout);
  filling_ = false;
  c.base_colour = c.base_colour_copy;
  c.painting_colour = c.painting_colour_copy;
  if (auto* b = qobject_cast<skin::CSkinColorBtn*>(Control(control::kBaseColour))) b->SetColor(ToQColor(c.base_colour));
  if (auto* b = qobject_cast<skin::CSkinColorBtn*>(Control(control::kPaintingColour)))
    b->SetColor(ToQColor(c.painting_colour));
  ShowToolPictures(c.tool);
}

void LightingPanel::ShowKeyColours() {
  for (const keys::PanelButton& button : keys::PanelButtons()) {
    if (button.colourPosition < 0) continue;
    keys_.SetKeyColour(button.controlId, ToQColor(key_colours_.KeyColour(button.colourPosition)),
                       preview::kOverlayStrength, true);
  }
}

void LightingPanel::UpdateBaseMarks() { key_colours_.UpdateBaseMarks(); }

void LightingPanel::SetEnabled(bool on) {
  for (auto& [id, control] : controls_)
    if (!qobject_cast<QLabel*>(control) || qobject_cast<PictureSwitch*>(control)) control->setEnabled(on);
}

void LightingPanel::PreviewTick() {
  if (!IsOpen()) return;
  const mainwnd::KeyPanelView::RepaintBatch batch(keys_);
  preview_->Tick(preview::PreviewInputFrom(editor_.State()), true, *sink_);
}

// ---- observer ----

void LightingPanel::RefillLayoutSelector(const std::vector<std::u16string>& names) {
  // A read of the keyboard may run on the window's worker thread.
  if (QThread::currentThread() != thread()) {
    QMetaObject::invokeMethod(this, [this, names] { FillLayoutSelector(names); }, Qt::QueuedConnection);
    return;
  }
  FillLayoutSelector(names);
}

void LightingPanel::SetBaseColourMark(int slot, int position, int flag) {
  key_colours_.RememberMark(slot, position, flag != 0);
}

int LightingPanel::SwitchProfileSlot(int slot) { return profiles::SwitchProfileSlot(session_, slot); }

// ---- events ----

bool LightingPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == effect_selector_ && event->type() == QEvent::KeyPress) {
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Left:
      case Qt::Key_Up:
      case Qt::Key_Right:
      case Qt::Key_Down:
        return true;
      default:
        break;
    }
  }
  if (watched == &window_ && event->type() == skin::PostedMessageEvent::EventType()) {
    const auto* message = static_cast<skin::PostedMessageEvent*>(event);
    if (message->message() == skin::CBitmapSlider::kPositionMessage) {
      if (message->wparam() == std::uint32_t(control::kBrightness)) {
        MoveBrightness(int(message->lparam()));
        return true;
      }
      if (message->wparam() == std::uint32_t(control::kSpeed)) {
        MoveSpeed(int(message->lparam()));
        return true;
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace keyloom::lighting::ui
