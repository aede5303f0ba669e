// Writes the default skin: the three skin INI files, the dialogs'
// backgrounds, outlines and state pictures, and the lighting panel's bitmaps;
// every picture that is shown also at twice the size as "name@2x.ext", which
// the program uses on high-density screens (outlines only cut the windows'
// shapes, in layout units, and have no @2x twin); and the notification-area
// icons of the three keyboard states.
//
//   keyloom-skingen [skin folder [icon folder]]
//
// Defaults: res/Skins and res/Icons of the source tree; given only a skin
// folder, the icons go to the Icons folder beside it.
//
// Re-run it after changing the layout table or the artwork and commit its
// output with the change.
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QTextStream>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "keys/key_catalogue.h"
#include "skin/skin_manifest.h"
#include "skin_layout_table.h"
#include "skin_painter.h"
#include "tray_icon_painter.h"

namespace keyloom::skingen {
namespace {

QString OutDir;
QString IconDir;
int Failures = 0;
// Device pixels per layout unit of the pictures being written: 1, then 2.
int Scale = 1;

// The file name of a picture at the current scale: "name@2x.ext" at 2.
QString Named(const QString& name) {
  if (Scale == 1) return name;
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return name.left(dot) + QStringLiteral("@%1x").arg(Scale) + name.mid(dot);
}

void Fail(const QString& what) {
  std::fprintf(stderr, "keyloom-skingen: %s\n", qPrintable(what));
  ++Failures;
}

void SaveJpeg(const QImage& image, const QString& name) {
  QImageWriter writer(OutDir + QLatin1Char('/') + Named(name), "jpg");
  writer.setQuality(95);
  writer.setOptimizedWrite(true);
  if (!writer.write(image.convertToFormat(QImage::Format_RGB32))) Fail(name + QStringLiteral(": ") + writer.errorString());
}

void SaveBmp(const QImage& image, const QString& name) {
  if (!image.convertToFormat(QImage::Format_RGB888).save(OutDir + QLatin1Char('/') + Named(name), "BMP")) Fail(Named(name));
}

// Outlines are pure black and white: one bit per pixel.
void SaveMask(const QImage& image, const QString& name) {
  if (Scale != 1) return;
  if (!image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither).save(OutDir + QLatin1Char('/') + name, "BMP")) {
    Fail(name);
  }
}

// The state picture of `look`: the background with every face in that look.
QImage StatePicture(const DialogLayout& layout, const QImage& background, Look look,
                    const QString& tab = {}, bool macro_only = false) {
  QImage image = background.copy();
  QPainter p(&image);
  if (!tab.isEmpty()) PaintCompositePage(p, layout, tab, macro_only);
  for (const auto& c : layout.controls) {
    if (!tab.isEmpty() && !c.tab.isEmpty() && c.tab != tab) continue;
    if (macro_only && (c.key == QLatin1String("CONTROL_KEY") || c.key == QLatin1String("CONTROL_MEDIA") ||
                       c.key == QLatin1String("CONTROL_FUNCTION") || c.key == QLatin1String("CONTROL_CLEAR"))) {
      continue;
    }
    if (c.key == QLatin1String("CONTROL_MASK")) continue;  // the page itself
    const bool selected_tab = (tab == QLatin1String("key") && c.key == QLatin1String("CONTROL_KEY")) ||
                              (tab == QLatin1String("macro") && c.key == QLatin1String("CONTROL_MACRO")) ||
                              (tab == QLatin1String("media") && c.key == QLatin1String("CONTROL_MEDIA")) ||
                              (tab == QLatin1String("function") && c.key == QLatin1String("CONTROL_FUNCTION"));
    if (selected_tab) continue;  // drawn with the page
    if (c.kind == Kind::KeyCap) {
      PaintKeyCap(p, c, look);
    } else if (c.kind == Kind::Button) {
      if (c.icon == Icon::ArrowLeft || c.icon == Icon::ArrowRight) continue;  // faces come from Arrow.jpg
      PaintButton(p, c, look == Look::Colour0 || look == Look::Colour1 ? Look::Normal : look);
    }
  }
  return image;
}

void WriteIni(const DialogLayout& layout, const QString& file, const std::map<QString, QString>& screen,
              const QString& comment) {
  if (Scale != 1) return;
  QFile out(OutDir + QLatin1Char('/') + file);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    Fail(file);
    return;
  }
  QTextStream s(&out);
  s << "; " << comment << "\n; Written by keyloom-skingen; edit the generator, not this file.\n"
    << "; Layout values: x,y,width,height in the dialog's client pixels.\n\n[SCREEN]\n";
  for (const auto& [k, v] : screen) s << k << '=' << v << '\n';
  s << "\n[BUTTONINFO]\n";
  std::set<QString> written;
  for (const auto& c : layout.controls) {
    if (!written.insert(c.key).second) continue;  // one place per key
    s << c.key << '=' << c.rect.x() << ',' << c.rect.y() << ',' << c.rect.width() << ',' << c.rect.height() << '\n';
  }
  if (!layout.offsets.empty()) {
    s << "\n[BUTTONINFO2]\n";
    for (const auto& [k, r] : layout.offsets) {
      s << k << '=' << r.x() << ',' << r.y() << ',' << r.width() << ',' << r.height() << '\n';
    }
  }
}

// Every key the program reads from this file must be in the layout.
void CheckAgainstManifest(const DialogLayout& layout, skin::SkinFile file) {
  std::set<QString> keys;
  for (const auto& c : layout.controls) keys.insert(c.key);
  std::set<QString> offsets;
  for (const auto& o : layout.offsets) offsets.insert(o.first);
  for (const auto& k : skin::RequiredSkinKeys()) {
    if (k.file != file || !k.layout) continue;
    const QString key = QString::fromStdU16String(k.key);
    const auto& present = k.section == u"BUTTONINFO2" ? offsets : keys;
    if (!present.count(key)) Fail(layout.name + QStringLiteral(": no place for ") + key);
  }
}

// The key catalogue's key buttons and the skin's keys must be the same set.
void CheckAgainstKeyCatalogue() {
  std::set<QString> catalogue, manifest;
  for (const auto& key : keys::PanelOrderKeys()) catalogue.insert(QString::fromStdString(keys::PanelKeySkinName(key.code)));
  for (int g = 1; g <= keys::kGKeyCount; ++g) catalogue.insert(QString::fromStdString(keys::GKeySkinName(g)));
  for (const auto& k : skin::RequiredSkinKeys()) {
    const QString key = QString::fromStdU16String(k.key);
    if (k.file == skin::SkinFile::Main && (key.startsWith(QLatin1String("KEY_")) || key.startsWith(QLatin1String("FUNC_G"))) &&
        key != QLatin1String("KEY_FN")) {
      manifest.insert(key);
    }
  }
  if (catalogue != manifest) Fail(QStringLiteral("the key catalogue's key buttons differ from the skin's key list"));
}

void SavePng(const QImage& image, const QString& folder, const QString& name) {
  QImageWriter writer(folder + QLatin1Char('/') + name, "png");
  writer.setQuality(0);  // smallest file: PNG is lossless at every quality
  if (!writer.write(image)) Fail(name + QStringLiteral(": ") + writer.errorString());
}

void GenerateTrayIcons() {
  for (TrayState state : kTrayStates) {
    for (int size : kTrayIconSizes) SavePng(PaintTrayIcon(state, size), IconDir, TrayIconFileName(state, size));
  }
}

void Generate() {
  if (Scale == 1) CheckAgainstKeyCatalogue();
  // Main window.
  const DialogLayout main = MainLayout();
  if (Scale == 1) CheckAgainstManifest(main, skin::SkinFile::Main);
  const QImage main_bg = PaintBackground(main, Scale);
  SaveJpeg(main_bg, QStringLiteral("main_bg.jpg"));
  SaveMask(PaintOutline(main), QStringLiteral("main_mask.bmp"));
  const std::pair<const char*, Look> main_states[] = {{"main_normal.jpg", Look::Normal}, {"main_over.jpg", Look::Over},
                                                      {"main_down.jpg", Look::Down},     {"main_disable.jpg", Look::Disable},
                                                      {"main_color0.jpg", Look::Colour0}, {"main_color1.jpg", Look::Colour1}};
  for (const auto& [name, look] : main_states) SaveJpeg(StatePicture(main, main_bg, look), QString::fromLatin1(name));
  {
    QImage arrow = main_bg.copy();
    QPainter p(&arrow);
    for (const auto& [key, r] : main.offsets) {
      Control c{key, r, Kind::Button, key == QLatin1String("LEFT_ARROW") ? Icon::ArrowLeft : Icon::ArrowRight, {}, {}, {}};
      PaintButton(p, c, Look::Normal);
    }
    p.end();
    SaveJpeg(arrow, QStringLiteral("Arrow.jpg"));
  }
  for (const auto& name : skin::LightingBitmaps()) {
    const QString n = QString::fromStdU16String(name);
    const QImage image = PaintLightingBitmap(n, Scale);
    if (image.isNull()) {
      Fail(QStringLiteral("no artwork for ") + n);
      continue;
    }
    SaveBmp(image, n + QStringLiteral(".bmp"));
  }
  WriteIni(main, QStringLiteral("Main.ini"),
           {{QStringLiteral("Main"), QStringLiteral("main_bg.jpg")},
            {QStringLiteral("Mask"), QStringLiteral("main_mask.bmp")},
            {QStringLiteral("Link"), QStringLiteral("https://www.example.com/tarn-60")}},
           QStringLiteral("Main window"));

  // Profile manager.
  const DialogLayout profile = ProfileLayout();
  if (Scale == 1) CheckAgainstManifest(profile, skin::SkinFile::Profile);
  const QImage profile_bg = PaintBackground(profile, Scale);
  SaveJpeg(profile_bg, QStringLiteral("Profile_bg.jpg"));
  SaveMask(PaintOutline(profile), QStringLiteral("Profile_mask.bmp"));
  SaveJpeg(StatePicture(profile, profile_bg, Look::Normal), QStringLiteral("Profile_normal.jpg"));
  SaveJpeg(StatePicture(profile, profile_bg, Look::Over), QStringLiteral("Profile_over.jpg"));
  SaveJpeg(StatePicture(profile, profile_bg, Look::Down), QStringLiteral("Profile_down.jpg"));
  WriteIni(profile, QStringLiteral("Profile.ini"),
           {{QStringLiteral("Main"), QStringLiteral("Profile_bg.jpg")},
            {QStringLiteral("Mask"), QStringLiteral("Profile_mask.bmp")}},
           QStringLiteral("Profile manager"));

  // Composite key-setting dialog: one picture set per tab, and the macro-only set.
  const DialogLayout composite = CompositeLayout();
  if (Scale == 1) CheckAgainstManifest(composite, skin::SkinFile::Composite);
  const QImage composite_bg = PaintBackground(composite, Scale);
  SaveJpeg(composite_bg, QStringLiteral("Composite_bg.jpg"));
  SaveMask(PaintOutline(composite), QStringLiteral("Composite_mask.bmp"));
  for (const auto& set : skin::CompositePictureSets()) {
    const QString prefix = QString::fromStdU16String(std::u16string(set.prefix));
    const bool macro_only = prefix == QLatin1String("macro2");
    const QString tab = macro_only ? QStringLiteral("macro") : prefix;
    std::vector<std::pair<QString, Look>> looks = {
        {QStringLiteral("_normal.jpg"), Look::Normal}, {QStringLiteral("_over.jpg"), Look::Over},
        {QStringLiteral("_down.jpg"), Look::Down}};
    if (set.has_disable) looks.push_back({QStringLiteral("_disable.jpg"), Look::Disable});
    for (const auto& [suffix, look] : looks) {
      SaveJpeg(StatePicture(composite, composite_bg, look, tab, macro_only), prefix + suffix);
    }
  }
  WriteIni(composite, QStringLiteral("Composite.ini"),
           {{QStringLiteral("Main"), QStringLiteral("Composite_bg.jpg")},
            {QStringLiteral("Mask"), QStringLiteral("Composite_mask.bmp")}},
           QStringLiteral("Composite key-setting dialog"));
}

}  // namespace
}  // namespace keyloom::skingen

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  using namespace keyloom::skingen;
  OutDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(KEYLOOM_SKIN_OUTPUT);
  IconDir = argc > 2   ? QString::fromLocal8Bit(argv[2])
            : argc > 1 ? QString::fromStdString((std::filesystem::path(OutDir.toStdString()).parent_path() / "Icons").string())
                       : QStringLiteral(KEYLOOM_ICON_OUTPUT);
  std::filesystem::create_directories(OutDir.toStdString());
  std::filesystem::create_directories(IconDir.toStdString());
  for (const int scale : {1, 2}) {
    Scale = scale;
    Generate();
  }
  GenerateTrayIcons();
  if (Failures != 0) return 1;
  std::printf("keyloom-skingen: wrote the default skin to %s and the tray icons to %s\n", qPrintable(OutDir),
              qPrintable(IconDir));
  return 0;
}
