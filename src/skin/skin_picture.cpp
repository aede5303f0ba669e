#include "skin/skin_picture.h"

#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/paths.h"
#include "platform/text.h"

namespace keyloom::skin {

std::filesystem::path JoinSkinPath(const std::filesystem::path& folder, std::u16string_view relative) {
  std::u16string rel(relative);
  for (auto& c : rel) {
    if (c == u'\\') c = u'/';
  }
  while (!rel.empty() && rel.front() == u'/') rel.erase(rel.begin());
  return folder / std::filesystem::path(text::ToUtf8(rel));
}

std::optional<QImage> LoadSkinPicture(std::u16string_view relative) {
  return LoadSkinPicture(paths::ResourceDir(), relative);
}

std::optional<QImage> LoadSkinPicture(const std::filesystem::path& base, std::u16string_view relative) {
  const auto path = JoinSkinPath(base, relative);
  QFile file(QString::fromStdString(path.string()));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QImageReader reader(&file);
  reader.setAutoTransform(false);
  QImage image = reader.read();  // null when the contents cannot be decoded
  if (!image.isNull()) {
    // Pictures are used 1:1 without colour management.
    image.setColorSpace(QColorSpace());
  }
  return image;
}

QPixmap MakeStatePicture(const QImage& picture, const QWidget& reference) {
  const QSize size = reference.rect().size() + QSize(kStatePictureMargin, kStatePictureMargin);
  QPixmap surface(size);
  surface.fill(Qt::black);
  if (!picture.isNull()) {
    QPainter painter(&surface);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QRect part(QPoint(0, 0), size);
    painter.drawImage(part.topLeft(), picture, part & picture.rect());
  }
  return surface;
}

namespace {

std::mutex& HandlerMutex() {
  static std::mutex m;
  return m;
}

SkinFailureHandler& Handler() {
  static SkinFailureHandler handler;
  return handler;
}

}  // namespace

SkinFailureHandler SetSkinFailureHandler(SkinFailureHandler handler) {
  std::lock_guard lock(HandlerMutex());
  SkinFailureHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

void ReportSkinFailure(const std::filesystem::path& path) {
  SkinFailureHandler handler;
  {
    std::lock_guard lock(HandlerMutex());
    handler = Handler();
  }
  if (handler) {
    handler(path);
    return;
  }
  std::fprintf(stderr, "keyloom: the skin picture %s cannot be loaded\n", path.string().c_str());
  std::exit(1);
}

}  // namespace keyloom::skin
