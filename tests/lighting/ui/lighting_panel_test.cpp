// The lighting panel of the main window driven through its controls against
// the in-process keyboard: what each action leaves in the keyboard's
// lighting record and key colour memory, in the user colour file, and what
// the panel then shows.
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>

#include "keys/key_panel.h"
#include "lighting/lighting_operations.h"
#include "lighting/ui/lighting_panel.h"
#include "lighting/ui/picture_switch.h"
#include "lighting/user_colour_files.h"
#include "mainwnd/key_panel_view.h"
#include "mainwnd/main_window_fixture.h"
#include "skin/bitmap_slider.h"
#include "skin/posted_message.h"
#include "skin/skin_color_btn.h"

namespace keyloom::lighting::ui {
namespace {

using mainwnd::testing::Pump;
using mainwnd::testing::PumpUntil;

constexpr int kKeyA = 1058, kKeyS = 1059, kKeyD = 1060, kFn = 1174, kG1 = 1001;

class LightingPanelTest : public mainwnd::testing::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    if (HasFatalFailure()) return;
    window->SetKeyEditor([this](int id) { edited.push_back(id); });
    Connect();
  }

  LightingPanel& Panel() { return window->LightingPanel(); }
  int Slot() const { return session.lighting.LightingSlot; }
  std::uint8_t Byte(int offset) { return LightingByte(Slot(), offset); }
  template <typename T = QWidget>
  T& Widget(int id) {
    T* w = qobject_cast<T*>(Panel().Control(id));
    EXPECT_NE(w, nullptr) << id;
    return *w;
  }
  PictureSwitch& Picture(int id) { return Widget<PictureSwitch>(id); }
  void OpenPanel() {
    if (!Panel().IsOpen()) Picture(control::kLamp).Click();
    ASSERT_TRUE(Panel().IsOpen());
  }
  // Chooses `effect` in the effect selector as the user does.
  void ChooseEffect(int effect) {
    const int index = EffectListIndexOf(session.lighting.ConfigBlockCopy, effect);
    ASSERT_GE(index, 0) << effect;
    if (Panel().EffectSelector()->currentIndex() == index) {
      // Selecting the shown entry again changes nothing; go through another.
      Panel().EffectSelector()->setCurrentIndex(index == 0 ? 1 : 0);
    }
    Panel().EffectSelector()->setCurrentIndex(index);
    ASSERT_EQ(Panel().ShownEffect(), effect);
  }
  // A slider's position message, as the slider posts it to the window.
  void MoveSlider(int id, int position) {
    skin::PostMessageTo(window.get(), skin::CBitmapSlider::kPositionMessage, std::uint32_t(id), position);
    Pump(20);
  }
  // Writes one field straight to the keyboard, behind the panel's back.
  void PokeKeyboard(int offset, std::uint8_t value) {
    ASSERT_EQ(WriteLightingField(session.link, session.lighting, offset, {value}), device::CommandResult::kOk);
  }
  Colour KeyboardKeyColour(int position) {
    const std::vector<std::uint8_t> colours = model->Snapshot().keyColours;
    const std::size_t at = std::size_t(Slot()) * 512 + std::size_t(position) * 3;
    return MakeColour(colours.at(at), colours.at(at + 1), colours.at(at + 2));
  }
  static int Position(int controlId) {
    return controlId == kFn ? kFnKeyPosition : keys::FindPanelButton(controlId)->colourPosition;
  }
  std::string ColourFile() {
    std::ifstream in(UserColourFile(session.lighting.paths, Slot()), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string TemplateFile() {
    std::ifstream in(ColourTemplateFile(session.lighting.paths), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool Shown(int id) { return !Widget(id).isHidden(); }

  std::vector<int> edited;
};

TEST_F(LightingPanelTest, LampSwitchOpensAndClosesThePanelAndRemembersIt) {
  EXPECT_FALSE(Panel().IsOpen());
  EXPECT_FALSE(Shown(control::kEffectSelector));
  EXPECT_TRUE(Shown(control::kLamp));
  EXPECT_EQ(Picture(control::kLamp).PictureName(), "dengup");

  Picture(control::kLamp).Click();
  EXPECT_TRUE(Panel().IsOpen());
  EXPECT_TRUE(ReadLightingPanelOpenFlag(session.lighting.paths));
  EXPECT_EQ(Picture(control::kLamp).PictureName(), "dengdown");
  EXPECT_TRUE(Shown(control::kEffectSelector));
  EXPECT_TRUE(window->PreviewTimerRunning());

  Picture(control::kLamp).Click();
  EXPECT_FALSE(Panel().IsOpen());
  EXPECT_FALSE(ReadLightingPanelOpenFlag(session.lighting.paths));
  EXPECT_FALSE(window->PreviewTimerRunning());
  // A refresh with the panel closed hides the selector as well.
  window->RefreshLightingPanel();
  EXPECT_FALSE(Shown(control::kEffectSelector));
  for (int id : {control::kBrightness, control::kSpeed, control::kRgbRed, control::kGeneralColour})
    EXPECT_FALSE(Shown(id)) << id;
}

TEST_F(LightingPanelTest, OpeningAsksAboutPendingKeyEditsAndStaysClosedWhileTheKeyDialogIsOpen) {
  window->SetUnappliedChanges(true);
  answers.push_back(host::Answer::No);
  OpenPanel();
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_FALSE(window->HasUnappliedChanges()) << "No drops the pending edits";

  Picture(control::kLamp).Click();  // closed again
  session.windows.CompositeDialogOpen.store(true);
  Picture(control::kLamp).Click();
  EXPECT_FALSE(Panel().IsOpen());
  EXPECT_FALSE(ReadLightingPanelOpenFlag(session.lighting.paths));
  session.windows.CompositeDialogOpen.store(false);
}

TEST_F(LightingPanelTest, ChoosingAnEffectWritesItsFieldsOnly) {
  OpenPanel();
  struct Case {
    int effect;
    bool writes_colourful;
  };
  const Case cases[] = {{4, false}, {5, true}, {1, true}, {6, false}, {10, false}, {17, false}, {20, false}, {13, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.effect);
    PokeKeyboard(field::kColourful, 7);  // a value the panel never writes
    ChooseEffect(c.effect);
    EXPECT_EQ(Byte(field::kEffect), c.effect);
    std::vector<FieldWrite> expected{{field::kEffect, {std::uint8_t(c.effect)}}};
    if (c.writes_colourful) {
      const std::uint8_t colourful = session.lighting.CurrentLighting.colourful ? 1 : 0;
      EXPECT_EQ(Byte(field::kColourful), colourful);
      expected.push_back({field::kColourful, {colourful}});
    } else {
      EXPECT_EQ(Byte(field::kColourful), 7);
    }
    EXPECT_EQ(Panel().LastChange().writes, expected) << "effect, then colourful";
    EXPECT_EQ(session.lighting.CurrentLighting.effect, c.effect);
  }
}

TEST_F(LightingPanelTest, ArrowKeysDoNotMoveTheEffectSelector) {
  OpenPanel();
  ChooseEffect(4);
  const std::uint64_t writes = keyboard->WriteCount();
  QComboBox* selector = Panel().EffectSelector();
  for (int key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Left, Qt::Key_Right}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(selector, &press);
  }
  EXPECT_EQ(Panel().ShownEffect(), 4);
  EXPECT_EQ(keyboard->WriteCount(), writes);
}

TEST_F(LightingPanelTest, SlidersWriteBrightnessAndTheInvertedSpeed) {
  OpenPanel();
  ChooseEffect(1);
  MoveSlider(control::kSpeed, 0);
  EXPECT_EQ(Byte(field::kSpeed), 4);
  MoveSlider(control::kSpeed, 4);
  EXPECT_EQ(Byte(field::kSpeed), 0);
  EXPECT_FALSE(Panel().SpeedSlider()->CurrentBitmap().isNull());

  MoveSlider(control::kBrightness, 2);
  EXPECT_EQ(Byte(field::kBrightness), 2);
  const std::uint64_t writes = keyboard->WriteCount();
  MoveSlider(control::kBrightness, 2);
  EXPECT_EQ(keyboard->WriteCount(), writes) << "the shown position writes nothing";
  MoveSlider(control::kSpeed, 4);
  EXPECT_EQ(keyboard->WriteCount(), writes);

  // A position message of another control is not the panel's.
  MoveSlider(1234, 3);
  EXPECT_EQ(keyboard->WriteCount(), writes);
}

TEST_F(LightingPanelTest, ColourButtonsWriteColourfulOffThenTheColourAndTurnBothSwitchesOff) {
  OpenPanel();
  ChooseEffect(1);
  Picture(control::kGeneralColourful).Click();
  if (!session.lighting.CurrentLighting.colourful) Picture(control::kGeneralColourful).Click();
  ASSERT_EQ(Byte(field::kColourful), 1);
  EXPECT_EQ(Picture(control::kGeneralColourful).PictureName(), "sjsdown");
  EXPECT_EQ(Picture(control::kReactiveColourful).PictureName(), "sjsdown");

  Widget<skin::CSkinColorBtn>(control::kGeneralColour).ChooseColour(QColor(10, 20, 30));
  const std::vector<FieldWrite> expected{{field::kColourful, {0}}, {field::kMainColour, {10, 20, 30}}};
  EXPECT_EQ(Panel().LastChange().writes, expected);
  EXPECT_EQ(Byte(field::kColourful), 0);
  EXPECT_EQ(Byte(5), 10);
  EXPECT_EQ(Byte(6), 20);
  EXPECT_EQ(Byte(7), 30);
  EXPECT_EQ(Picture(control::kGeneralColourful).PictureName(), "sjsup");
  EXPECT_EQ(Picture(control::kReactiveColourful).PictureName(), "sjsup");
  EXPECT_EQ(Widget<skin::CSkinColorBtn>(control::kReactiveColour).GetColor(), QColor(10, 20, 30));

  // The reactive switch turns colourful back on.
  ChooseEffect(6);
  Picture(control::kReactiveColourful).Click();
  EXPECT_EQ(Byte(field::kColourful), 1);
  // After a read both switches show the colourful byte they write.
  window->OnTimer(app::kTimerReloadLighting);
  EXPECT_EQ(Picture(control::kReactiveColourful).PictureName(), "sjsdown");
  EXPECT_EQ(Picture(control::kGeneralColourful).PictureName(), "sjsdown");
}

TEST_F(LightingPanelTest, AnEffectChangedOnTheKeyboardRestartsThePreview) {
  OpenPanel();
  ChooseEffect(20);
  EXPECT_TRUE(window->KeyPanel().KeyColour(kFn).has_value()) << "effect 20 shows the key colours";
  PokeKeyboard(field::kEffect, 8);  // an effect the preview leaves dark
  window->OnTimer(app::kTimerReloadLighting);
  EXPECT_EQ(Panel().ShownEffect(), 8);
  EXPECT_FALSE(Shown(control::kLayoutSelector));
  EXPECT_FALSE(window->KeyPanel().KeyColour(kFn).has_value()) << "the custom colours are gone";
}

TEST_F(LightingPanelTest, DirectionAndEffect17ColourButtons) {
  OpenPanel();
  ChooseEffect(18);
  Picture(control::kDirectionFirst).Click();
  EXPECT_EQ(Byte(field::kDirection), 255);
  EXPECT_EQ(Picture(control::kDirectionFirst).PictureName(), "kuosandown");
  EXPECT_EQ(Picture(control::kDirectionSecond).PictureName(), "julong");
  Picture(control::kDirectionSecond).Click();
  EXPECT_EQ(Byte(field::kDirection), 0);
  EXPECT_EQ(Picture(control::kDirectionSecond).PictureName(), "julongdown");

  ChooseEffect(17);
  Picture(1196).Click();  // green
  EXPECT_EQ(Byte(field::kEffect17Colour), 2);
  EXPECT_EQ(Picture(1196).PictureName(), "lvok");
  EXPECT_EQ(Picture(1194).PictureName(), "hong");
}

TEST_F(LightingPanelTest, RgbBoxesKeepTheirNumbersWithin255) {
  OpenPanel();
  const std::uint64_t writes = keyboard->WriteCount();
  const std::pair<const char*, const char*> cases[] = {{"300", "255"}, {"12", "12"}, {"255", "255"}, {"2560", "255"}, {"", ""}};
  for (auto [typed, shown] : cases) {
    QLineEdit& box = Widget<QLineEdit>(control::kRgbGreen);
    box.setText(QString::fromLatin1(typed));
    EXPECT_EQ(box.text(), QString::fromLatin1(shown)) << typed;
  }
  EXPECT_EQ(keyboard->WriteCount(), writes);
}

// Which controls each effect shows with the panel open.
TEST_F(LightingPanelTest, EachEffectShowsItsOwnControls) {
  OpenPanel();
  enum : unsigned { kSpeed = 1, kDirection = 2, kGeneral = 4, kReactive = 8, k17 = 16, kLayouts = 32, kBright = 64 };
  struct Row {
    int effect;
    unsigned shown;
  };
  const Row rows[] = {
      {1, kBright | kSpeed | kDirection | kGeneral}, {2, kBright | kSpeed | kDirection | kGeneral},
      {3, kBright | kSpeed | kDirection | kGeneral}, {4, kBright | kSpeed},
      {5, kBright | kSpeed | kGeneral},              {6, kBright | kReactive},
      {7, kBright | kSpeed | kGeneral},              {8, kBright | kSpeed | kGeneral},
      {9, kBright | kSpeed | kGeneral},              {10, kBright | kSpeed | kGeneral},
      {11, kBright | kSpeed},                        {12, kBright | kSpeed | kDirection},
      {13, kBright | kSpeed | kGeneral},             {14, kBright | kSpeed | kGeneral},
      {15, kBright | kSpeed | kGeneral},             {16, kBright | kReactive},
      {17, kBright | k17},                           {18, kBright | kDirection},
      {20, kBright | kLayouts},                      {19, 0},
      {42, 0},
  };
  const std::pair<unsigned, std::vector<int>> groups[] = {
      {kBright, {control::kBrightnessLabel, control::kBrightness}},
      {kSpeed, {control::kSpeedLabel, control::kSpeed}},
      {kDirection, {control::kDirectionLabel, control::kDirectionFirst, control::kDirectionSecond}},
      {kGeneral, {control::kGeneralLabel, control::kGeneralColour, control::kGeneralColourful, control::kGeneralColourfulLabel}},
      {kReactive, {control::kReactiveLabel, control::kReactiveColour, control::kReactiveColourful, control::kReactiveColourfulLabel}},
      {k17, {1194, 1195, 1196, 1197}},
      {kLayouts, {control::kLayoutSelector, control::kPaintingLabel, control::kPaintingColour, control::kBaseLabel,
                  control::kBaseColour, control::kToolLabel, control::kTool0, control::kTool1}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.effect);
    if (EffectListIndexOf(session.lighting.ConfigBlockCopy, row.effect) >= 0) {
      ChooseEffect(row.effect);
    } else {
      // An effect the keyboard reports but the program has no row for.
      PokeKeyboard(field::kEffect, std::uint8_t(row.effect));
      window->OnTimer(app::kTimerReloadLighting);
      ASSERT_EQ(session.lighting.CurrentLighting.effect, row.effect);
    }
    for (const auto& [group, ids] : groups)
      for (int id : ids) EXPECT_EQ(Shown(id), (row.shown & group) != 0) << id;
    // Always there while open: the lamp, the selector (so another effect
    // can be chosen) and the RGB boxes.
    for (int id : {control::kLamp, control::kLampLabel, control::kEffectSelector, control::kRgbRed})
      EXPECT_TRUE(Shown(id)) << id;
  }
  // The direction controls take the layout of their effect.
  ChooseEffect(12);
  const QRect up_down = Widget(control::kDirectionFirst).geometry();
  EXPECT_EQ(Picture(control::kDirectionFirst).PictureName(), session.lighting.CurrentLighting.direction == 255 ? "updown" : "upup");
  EXPECT_FALSE(up_down.isEmpty());
}

TEST_F(LightingPanelTest, PaintingKeysWithBothToolsAndANewBaseColour) {
  OpenPanel();
  ChooseEffect(20);
  ASSERT_TRUE(Shown(control::kLayoutSelector));
  const int slot = Slot();
  const int layout = session.lighting.CustomColours.selected_layout;

  Widget<skin::CSkinColorBtn>(control::kPaintingColour).ChooseColour(QColor(0, 200, 0));
  Picture(control::kTool1).Click();
  EXPECT_EQ(Picture(control::kTool1).PictureName(), "user2down");
  window->KeyPanel().Click(kKeyA);  // follows the base colour
  Picture(control::kTool0).Click();
  EXPECT_EQ(Picture(control::kTool0).PictureName(), "user1down");
  window->KeyPanel().Click(kKeyS);  // its own colour
  window->KeyPanel().Click(kFn);
  EXPECT_EQ(KeyboardKeyColour(Position(kKeyS)), MakeColour(0, 200, 0));
  EXPECT_EQ(KeyboardKeyColour(Position(kFn)), MakeColour(0, 200, 0));
  EXPECT_EQ(window->KeyPanel().KeyColour(kKeyS), QColor(0, 200, 0)) << "the window shows what the keyboard has";
  EXPECT_EQ(ReadLayoutKey(session.lighting.paths, slot, layout, Position(kKeyS)).base_flag, 0);
  EXPECT_EQ(ReadLayoutKey(session.lighting.paths, slot, layout, Position(kKeyA)).base_flag, 1);

  Widget<skin::CSkinColorBtn>(control::kBaseColour).ChooseColour(QColor(0, 0, 255));
  EXPECT_EQ(KeyboardKeyColour(Position(kKeyA)), MakeColour(0, 0, 255));
  EXPECT_EQ(KeyboardKeyColour(Position(kKeyS)), MakeColour(0, 200, 0)) << "painted with tool 0";
  EXPECT_EQ(window->KeyPanel().KeyColour(kKeyA), QColor(0, 0, 255));
  EXPECT_EQ(window->KeyPanel().KeyColour(kKeyS), QColor(0, 200, 0));
  EXPECT_EQ(ReadLayoutKey(session.lighting.paths, slot, layout, Position(kKeyA)).colour, MakeColour(0, 0, 255));
  EXPECT_EQ(ReadLayoutKey(session.lighting.paths, slot, layout, Position(kKeyS)).colour, MakeColour(0, 200, 0));

  // The same base colour again: nothing written, nothing sent.
  const std::uint64_t writes = keyboard->WriteCount();
  const std::string file = ColourFile();
  Widget<skin::CSkinColorBtn>(control::kBaseColour).ChooseColour(QColor(0, 0, 255));
  EXPECT_EQ(keyboard->WriteCount(), writes);
  EXPECT_EQ(ColourFile(), file);

  // A macro key is never painted: it opens the key-setting dialog.
  window->KeyPanel().Click(kG1);
  EXPECT_EQ(edited, std::vector<int>{kG1});
  EXPECT_EQ(keyboard->WriteCount(), writes);
}

TEST_F(LightingPanelTest, KeysArePaintedOnlyWithEffect20Shown) {
  OpenPanel();
  ChooseEffect(4);
  const Colour before = KeyboardKeyColour(Position(kKeyD));
  const std::uint64_t writes = keyboard->WriteCount();
  window->KeyPanel().Click(kKeyD);
  EXPECT_EQ(keyboard->WriteCount(), writes);
  EXPECT_EQ(KeyboardKeyColour(Position(kKeyD)), before);
  EXPECT_TRUE(edited.empty()) << "with the panel open a key click never edits";
}

TEST_F(LightingPanelTest, SelectingALayoutSendsItAndTypingRenamesItPerCharacter) {
  OpenPanel();
  ChooseEffect(20);
  const int slot = Slot();
  ASSERT_TRUE(WriteLayoutKey(session.lighting.paths, slot, 3, Position(kKeyA), MakeColour(1, 2, 3), 0));
  Panel().LayoutSelector()->setCurrentIndex(3);
  EXPECT_EQ(ReadSelectedLayout(session.lighting.paths, slot), 3);
  EXPECT_EQ(KeyboardKeyColour(Position(kKeyA)), MakeColour(1, 2, 3));

  QLineEdit* edit = Panel().LayoutSelector()->lineEdit();
  edit->selectAll();
  std::u16string typed;
  for (char ch : std::string("Night")) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(ch)));
    QCoreApplication::sendEvent(edit, &press);
    typed += char16_t(ch);
    EXPECT_EQ(ReadLayoutName(session.lighting.paths, slot, 3), typed);
  }
  EXPECT_EQ(Panel().LayoutSelector()->itemText(3), QStringLiteral("Night"));
  EXPECT_EQ(Panel().LayoutSelector()->currentIndex(), 3);
}

TEST_F(LightingPanelTest, DefaultWritesTheDefaultRecordAndRestoresTheColourFile) {
  OpenPanel();
  ChooseEffect(20);
  window->KeyPanel().Click(kKeyA);
  MoveSlider(control::kBrightness, 1);
  ASSERT_NE(ColourFile(), TemplateFile());

  answers.push_back(host::Answer::Yes);
  window->OnCommand(mainwnd::control::kDefault);
  ASSERT_TRUE(PumpUntil([this] { return !window->Busy(); }));
  const auto expected = DefaultLightingBytes();
  for (int i = 0; i < int(expected.size()); ++i) {
    if (i == field::kReportRate) continue;  // Default's report-rate write follows
    EXPECT_EQ(Byte(i), expected[std::size_t(i)]) << i;
  }
  EXPECT_EQ(Byte(field::kReportRate), 0);
  EXPECT_EQ(ColourFile(), TemplateFile());
  EXPECT_EQ(Panel().ShownEffect(), 1);
  EXPECT_EQ(Panel().BrightnessSlider()->Pos(), 5);
  EXPECT_EQ(Panel().SpeedSlider()->Pos(), 2);
}

TEST_F(LightingPanelTest, ControlsTakeNoInputWhileTheWindowWorksOnTheKeyboard) {
  OpenPanel();
  ChooseEffect(1);
  const bool colourful = session.lighting.CurrentLighting.colourful;
  window->Apply();
  ASSERT_TRUE(window->Busy());
  for (int id : {control::kLamp, control::kEffectSelector, control::kBrightness, control::kGeneralColour,
                 control::kGeneralColourful, control::kDirectionFirst})
    EXPECT_FALSE(Widget(id).isEnabled()) << id;
  Picture(control::kGeneralColourful).Click();
  EXPECT_EQ(session.lighting.CurrentLighting.colourful, colourful);
  ASSERT_TRUE(PumpUntil([this] { return !window->Busy(); }));
  EXPECT_TRUE(Widget(control::kEffectSelector).isEnabled());
  Picture(control::kGeneralColourful).Click();
  EXPECT_NE(session.lighting.CurrentLighting.colourful, colourful);
  EXPECT_EQ(Byte(field::kColourful), colourful ? 0 : 1);
}

TEST_F(LightingPanelTest, AKeyboardResetClosesThePanelAndReseedsTheColourFiles) {
  OpenPanel();
  ChooseEffect(20);
  window->KeyPanel().Click(kKeyA);
  ASSERT_NE(ColourFile(), TemplateFile());
  window->OnTimer(app::kTimerReseedColours);
  ASSERT_TRUE(PumpUntil([this] { return !window->Busy(); }));
  EXPECT_FALSE(Panel().IsOpen());
  EXPECT_FALSE(Shown(control::kEffectSelector));
  for (int slot = 0; slot < kSlotCount; ++slot) {
    std::ifstream in(UserColourFile(session.lighting.paths, slot), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), TemplateFile()) << slot;
  }
}

TEST_F(LightingPanelTest, SlotButtonClosesAnOpenPanel) {
  OpenPanel();
  window->OnCommand(mainwnd::control::kSlot2);
  ASSERT_TRUE(PumpUntil([this] { return !window->Busy(); }));
  EXPECT_EQ(Slot(), 1);
  EXPECT_FALSE(Panel().IsOpen());
  EXPECT_FALSE(Shown(control::kEffectSelector));
}

TEST_F(LightingPanelTest, PreviewRunsOnlyWhileShownWithThePanelOpen) {
  OpenPanel();
  ChooseEffect(4);
  ASSERT_TRUE(window->PreviewTimerRunning());
  const int start = Panel().Preview().Phase(4);
  ASSERT_TRUE(PumpUntil([&] { return Panel().Preview().Phase(4) != start; }, 2000)) << "the timer drives the preview";

  window->hide();
  EXPECT_FALSE(window->PreviewTimerRunning());
  window->show();
  EXPECT_TRUE(window->PreviewTimerRunning());
  window->showMinimized();
  EXPECT_FALSE(window->PreviewTimerRunning()) << "minimised";
  window->showNormal();
  EXPECT_TRUE(window->PreviewTimerRunning());

  Picture(control::kLamp).Click();
  EXPECT_FALSE(window->PreviewTimerRunning());
  const int closed = Panel().Preview().Phase(4);
  Panel().PreviewTick();
  EXPECT_EQ(Panel().Preview().Phase(4), closed) << "a closed panel shows no preview";
}

// A preview frame repaints its keys together: every key whose colour the
// frame changed is painted again.
TEST_F(LightingPanelTest, APreviewFrameRepaintsEveryKeyItRecoloured) {
  OpenPanel();
  ChooseEffect(4);
  Pump(50);
  struct PaintCounter : QObject {
    std::map<QObject*, int> paints;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++paints[watched];
      return false;
    }
  } counter;
  mainwnd::KeyPanelView& keys = window->KeyPanel();
  std::map<int, std::optional<QColor>> before;
  for (const auto& [id, button] : keys.Buttons()) {
    before[id] = keys.KeyColour(id);
    button->installEventFilter(&counter);
  }
  Panel().PreviewTick();
  Pump(50);
  int recoloured = 0;
  for (const auto& [id, button] : keys.Buttons()) {
    button->removeEventFilter(&counter);
    if (keys.KeyColour(id) == before[id] || button->isHidden()) continue;
    ++recoloured;
    EXPECT_GT(counter.paints[button], 0) << "key " << id << " recoloured but not repainted";
  }
  EXPECT_GT(recoloured, 50) << "the frame recolours the keyboard";
}

TEST_F(LightingPanelTest, LabelsFollowTheLanguage) {
  const QString deng = Widget<QLabel>(control::kLampLabel).text();
  EXPECT_EQ(deng, QString::fromStdU16String(i18n::LightText("Deng")));
  EXPECT_FALSE(deng.isEmpty());
  EXPECT_EQ(Panel().EffectSelector()->itemText(EffectListIndexOf(session.lighting.ConfigBlockCopy, 4)),
            QString::fromStdU16String(i18n::ModeText("4")));
}

}  // namespace
}  // namespace keyloom::lighting::ui
