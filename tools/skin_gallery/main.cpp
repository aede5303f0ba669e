// Shows one dialog's skin with every control placed, all buttons in one
// state, so the skin can be looked at (under Xvfb, say) before it ships.
//
//   keyloom-skin-gallery <main|profile|composite> [state] [variant] [--shot file.png]
//     state:   normal over down disable frame color0 color1   (default normal)
//     variant: main: general reactive e17 custom; composite: key macro macro2 media function
//
// Buttons that carry a caption in the program get a sample caption; labels,
// edit boxes and lists are shown as outlined placeholders named by their key.
#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <map>
#include <memory>

#include "skin/base_dialog.h"
#include "skin/bitmap_slider.h"
#include "skin/png_button.h"
#include "skin/skin_color_btn.h"
#include "skin/skin_layout.h"
#include "skin/skin_manifest.h"
#include "skin/skin_picture.h"
#include "skin_layout_table.h"

using namespace keyloom;
using skingen::Kind;

namespace {

const std::filesystem::path kSkinDir = KEYLOOM_SKIN_DIR;

// A lighting bitmap, as the program loads it (its @2x twin on dense screens).
QPixmap Bitmap(const QString& name) {
  const auto picture = skin::LoadSkinPicture(kSkinDir.parent_path(), u"Skins\\" + (name + QStringLiteral(".bmp")).toStdU16String());
  return picture ? QPixmap::fromImage(*picture) : QPixmap();
}

QPixmap State(const QString& file, const QWidget& dialog) {
  const auto picture = skin::LoadSkinPicture(kSkinDir.parent_path(), (u"Skins\\" + file.toStdU16String()));
  if (!picture) {
    std::fprintf(stderr, "missing %s\n", qPrintable(file));
    std::exit(1);
  }
  return skin::MakeStatePicture(*picture, dialog);
}

const std::map<QString, QString> kCaptions = {
    {"CONTROL_OK", "OK"},          {"CONTROL_CANCEL", "Cancel"},     {"CONTROL2_APPLY", "Apply"},
    {"FUNC_MACRO", "Macro"},       {"FUNC_PROFILE1", "Profile 1"},   {"FUNC_PROFILE2", "Profile 2"},
    {"FUNC_PROFILE3", "Profile 3"}, {"FUNC_DEFAULT", "Default"},     {"FUNC_PROFILES", "Profile 1"},
    {"CONTROL_KEY", "Single key"}, {"CONTROL_MACRO", "Macro"},       {"CONTROL_MEDIA", "Multimedia"},
    {"CONTROL_FUNCTION", "Function key"}, {"FUNC_MACRO_RECORD", "Record"},
};

// Picture controls: which bitmap the gallery shows on each.
const std::map<QString, QString> kPictures = {
    {"CONTROL_DengStaPic", "dengdown"},   {"CONTROL_BLFXLStaPic", "leftdown1"}, {"CONTROL_BLFXRStaPic", "rightup1"},
    {"CONTROL_HXsjsStaPic", "sjsdown"},   {"CONTROL_FYSJSStaPic", "sjsup"},     {"CONTROL_HONGPIC", "hongok"},
    {"CONTROL_HUANGPIC", "huang"},        {"CONTROL_LVPIC", "lv"},              {"CONTROL_LANPIC", "lan"},
    {"CONTROL_USERgjStaPic1", "user1down"}, {"CONTROL_USERgjStaPic2", "user2up"}, {"CONTROL_BUSY", "jdt3"},
};

bool ShownInVariant(const QString& key, const QString& variant) {
  auto in = [&](std::initializer_list<const char*> keys) {
    for (auto k : keys)
      if (key == QLatin1String(k)) return true;
    return false;
  };
  const bool general = in({"CONTROL_HXysStatic", "CONTROL_HXysButton", "CONTROL_HXsjsStaPic", "CONTROL_HXsjsStatic"});
  const bool reactive = in({"CONTROL_FYYSStatic", "CONTROL_FYYSButton", "CONTROL_FYSJSStaPic", "CONTROL_FYSJSStatic"});
  const bool e17 = in({"CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC", "CONTROL_LANPIC"});
  const bool custom = key.startsWith(QLatin1String("CONTROL_USER")) || key == QLatin1String("CONTROL_umCombo");
  const bool direction = key.startsWith(QLatin1String("CONTROL_BLFX"));
  const bool alternate = key.endsWith(QLatin1Char('2')) || key.endsWith(QLatin1Char('3'));
  if (direction) return !alternate && (variant == QLatin1String("general"));
  if (general) return variant == QLatin1String("general");
  if (reactive) return variant == QLatin1String("reactive");
  if (e17) return variant == QLatin1String("e17");
  if (custom) return variant == QLatin1String("custom");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  QString shot;
  if (const int i = args.indexOf(QStringLiteral("--shot")); i >= 0 && i + 1 < args.size()) {
    shot = args[i + 1];
    args.remove(i, 2);
  }
  const QString which = args.value(0, QStringLiteral("main"));
  const QString state = args.value(1, QStringLiteral("normal"));
  skingen::DialogLayout layout;
  skin::SkinFile file;
  QString variant;
  if (which == QLatin1String("profile")) {
    layout = skingen::ProfileLayout();
    file = skin::SkinFile::Profile;
  } else if (which == QLatin1String("composite")) {
    layout = skingen::CompositeLayout();
    file = skin::SkinFile::Composite;
    variant = args.value(2, QStringLiteral("key"));
  } else {
    layout = skingen::MainLayout();
    file = skin::SkinFile::Main;
    variant = args.value(2, QStringLiteral("general"));
  }
  const auto ini = kSkinDir / std::u16string(skin::SkinIniName(file));
  skin::CBaseDialog dialog(0, nullptr, ini, kSkinDir);
  if (!dialog.OpenModeless()) return 1;
  dialog.move(40, 40);

  // State pictures of the dialog: normal, over, down, disable.
  std::vector<QString> names;
  if (file == skin::SkinFile::Main) {
    names = {"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_disable.jpg"};
    if (state == QLatin1String("color0")) names[0] = "main_color0.jpg";
    if (state == QLatin1String("color1")) names[0] = "main_color1.jpg";
  } else if (file == skin::SkinFile::Profile) {
    names = {"Profile_normal.jpg", "Profile_over.jpg", "Profile_down.jpg", "Profile_down.jpg"};
  } else {
    const bool disable = variant.startsWith(QLatin1String("macro"));
    names = {variant + "_normal.jpg", variant + "_over.jpg", variant + "_down.jpg",
             variant + (disable ? "_disable.jpg" : "_down.jpg")};
  }
  std::vector<QPixmap> pics;
  for (const auto& n : names) pics.push_back(State(n, dialog));
  const QPixmap arrow = file == skin::SkinFile::Main ? State(QStringLiteral("Arrow.jpg"), dialog) : QPixmap();
  const QString composite_tab = variant == QLatin1String("macro2") ? QStringLiteral("macro") : variant;

  std::map<QString, const skingen::Control*> by_key;
  for (const auto& c : layout.controls) by_key.emplace(c.key, &c);
  std::vector<std::unique_ptr<QWidget>> widgets;
  // The composite page first, so it lies under the page's controls.
  auto keys = skin::LayoutKeys(file, u"BUTTONINFO");
  std::stable_partition(keys.begin(), keys.end(), [](const std::u16string& k) { return k == u"CONTROL_MASK"; });
  for (const auto& k16 : keys) {
    const QString key = QString::fromStdU16String(k16);
    const auto found = by_key.find(key);
    const Kind kind = found == by_key.end() ? Kind::Field : found->second->kind;
    const QString tab = found == by_key.end() ? QString() : found->second->tab;
    if (kind == Kind::Hidden) continue;
    if (file == skin::SkinFile::Main && !ShownInVariant(key, variant)) continue;
    if (file == skin::SkinFile::Composite) {
      if (!tab.isEmpty() && tab != composite_tab) continue;
      if (variant == QLatin1String("macro2") &&
          (key == "CONTROL_KEY" || key == "CONTROL_MEDIA" || key == "CONTROL_FUNCTION" || key == "CONTROL_CLEAR")) {
        continue;
      }
    }
    if (kind == Kind::Button || kind == Kind::KeyCap) {
      auto button = std::make_unique<skin::CPngButton>(&dialog);
      if (key == QLatin1String("LEFT_ARROW") || key == QLatin1String("RIGHT_ARROW")) {
        skin::PlaceButtonWithOffset(*button, ini, u"BUTTONINFO", k16, u"BUTTONINFO2", k16, arrow);
      } else if (state == QLatin1String("over")) {
        skin::PlaceImageButton(*button, ini, u"BUTTONINFO", k16, pics[1], pics[1], pics[2], pics[3], pics[1]);
      } else {
        skin::PlaceImageButton(*button, ini, u"BUTTONINFO", k16, pics[0], pics[1], pics[2], pics[3], pics[0]);
      }
      if (state == QLatin1String("down")) button->SetPressedLook(true);
      if (state == QLatin1String("disable")) button->setEnabled(false);
      if (state == QLatin1String("frame") && kind == Kind::KeyCap) button->SetFrame(QColor(0xFF, 0x8A, 0x3A), true);
      const bool has_icon = found != by_key.end() && found->second->icon != skingen::Icon::None;
      if (const auto caption = kCaptions.find(key); caption != kCaptions.end() && !has_icon) {
        button->setText(caption->second);
        const QColor light(0xE8, 0xEC, 0xF2), dark(0x04, 0x16, 0x1B), dim(0x55, 0x5B, 0x66);
        button->SetCaption(true, key == QLatin1String("FUNC_PROFILES") ? 10 : 9, QStringLiteral("Arial Unicode MS"),
                           {light, QColor(Qt::white), dark, dim, light});
      }
      if (key == QLatin1String("FUNC_G6") || key == QLatin1String("FUNC_G7") || key == QLatin1String("FUNC_G8") ||
          key == QLatin1String("FUNC_G9")) {
        button->setEnabled(false);  // as the program starts them
      }
      if (key == QLatin1String("QUORVE_VER")) button->setEnabled(false);
      widgets.push_back(std::move(button));
    } else if (kind == Kind::Slider) {
      auto slider = std::make_unique<skin::CBitmapSlider>(0, &dialog);
      const bool light = key == QLatin1String("CONTROL_LightSlider");
      slider->SetTrackBitmap(Bitmap(light ? "0" : "6"));
      slider->SetBitmap(Bitmap(light ? "3" : "8"));
      skin::PlaceControl(*slider, ini, u"BUTTONINFO", k16);
      widgets.push_back(std::move(slider));
    } else if (kind == Kind::ColourButton) {
      auto button = std::make_unique<skin::CSkinColorBtn>(&dialog);
      button->SetColor(key.contains(QLatin1String("js")) ? QColor(0x3A, 0x7C, 0xF5) : QColor(0xF0, 0x4A, 0x4A));
      skin::PlaceControl(*button, ini, u"BUTTONINFO", k16);
      widgets.push_back(std::move(button));
    } else if (kind == Kind::Picture) {
      auto label = std::make_unique<QLabel>(&dialog);
      label->setPixmap(Bitmap(kPictures.count(key) ? kPictures.at(key) : QStringLiteral("0")));
      skin::PlaceControl(*label, ini, u"BUTTONINFO", k16);
      widgets.push_back(std::move(label));
    } else {
      // Labels, fields and lists: outlined placeholders.
      // Labels in the dialog's own palette; fields outlined.
      auto label = std::make_unique<QLabel>(key, &dialog);
      if (kind != Kind::Text) {
        label->setStyleSheet(QStringLiteral("color:#7d8693;font:10px 'DejaVu Sans';border:1px dashed #3a404b;"));
      }
      skin::PlaceControl(*label, ini, u"BUTTONINFO", k16);
      widgets.push_back(std::move(label));
    }
    widgets.back()->show();
  }
  if (!shot.isEmpty()) {
    QTimer::singleShot(800, &app, [&] {
      QApplication::primaryScreen()->grabWindow(0).save(shot);
      app.quit();
    });
  }
  return app.exec();
}
