#include "skin/skin_picture.h"

#include <QColorSpace>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/large_buffer.h"
#include "platform/paths.h"
#include "skin/jpeg_decode.h"
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

std::filesystem::path HighDensityTwin(const std::filesystem::path& path) {
  std::filesystem::path twin = path;
  twin.replace_filename(path.stem().string() + "@2x" + path.extension().string());
  return twin;
}

double SkinDevicePixelRatio() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return 1.0;
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->devicePixelRatio() : 1.0;
}

namespace {

// The bytes of an open file: mapped where the file system allows it,
// otherwise read.
class FileBytes {
 public:
  explicit FileBytes(QFile& file) : file_(file) {
    const qint64 length = file.size();
    if (length <= 0) return;
    mapped_ = file.map(0, length);
    if (mapped_ != nullptr) {
      bytes_ = {mapped_, static_cast<std::size_t>(length)};
      return;
    }
    read_ = file.readAll();
    file.seek(0);
    bytes_ = {reinterpret_cast<const std::uint8_t*>(read_.constData()), static_cast<std::size_t>(read_.size())};
  }
  ~FileBytes() {
    if (mapped_ != nullptr) file_.unmap(mapped_);
  }
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

 private:
  QFile& file_;
  uchar* mapped_ = nullptr;
  QByteArray read_;
  std::span<const std::uint8_t> bytes_;
};

// A picture to decode into. Large ones live in memory of their own that may
// be backed by huge pages: a decoded picture is written once, top to
// bottom, and touching its fresh pages one by one would cost more than
// decoding it.
QImage NewPicture(int width, int height, QImage::Format format) {
  constexpr qsizetype kLarge = qsizetype{1} << 20;
  const int depth = format == QImage::Format_Grayscale8 ? 1 : 4;
  const qsizetype stride = (qsizetype{width} * depth + 3) / 4 * 4;
  if (stride * height < kLarge) return QImage(width, height, format);
  auto buffer = std::make_unique<platform::LargeBuffer>(static_cast<std::size_t>(stride * height));
  if (buffer->Data() == nullptr) return QImage();
  uchar* data = buffer->Data();
  // The picture owns the buffer from here on and lets it go with its last copy.
  return QImage(
      data, width, height, stride, format,
      [](void* owned) { std::unique_ptr<platform::LargeBuffer>(static_cast<platform::LargeBuffer*>(owned)); },
      buffer.release());
}

// A JPEG picture decoded straight, without Qt's image plugins; nullopt
// when it is left to them.
std::optional<QImage> DecodeJpegBytes(std::span<const std::uint8_t> bytes) {
  QImage image;
  const JpegResult result = DecodeJpeg(bytes, [&image](const JpegSize& size) {
    image = NewPicture(size.width, size.height, size.grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    if (image.isNull()) return JpegRows{};
    // As Qt's reader gives it.
    if (size.density_unit == 1) {
      image.setDotsPerMeterX(int(100. * size.x_density / 2.54));
      image.setDotsPerMeterY(int(100. * size.y_density / 2.54));
    } else if (size.density_unit == 2) {
      image.setDotsPerMeterX(size.x_density * 100);
      image.setDotsPerMeterY(size.y_density * 100);
    }
    return JpegRows{image.bits(), image.bytesPerLine()};
  });
  switch (result) {
    case JpegResult::kDecoded: return image;
    case JpegResult::kRefused: return QImage();
    case JpegResult::kNotHandled: break;
  }
  return std::nullopt;
}

std::optional<QImage> DecodeJpegFile(QFile& file) {
  const FileBytes bytes(file);
  return DecodeJpegBytes(bytes.Bytes());
}

// The size a picture's header gives; invalid when it gives none.
QSize HeaderSize(QFile& file) {
  QSize size;
  {
    const FileBytes bytes(file);
    DecodeJpeg(bytes.Bytes(), [&size](const JpegSize& header) {
      size = QSize(header.width, header.height);
      return JpegRows{};  // the header is all that is wanted
    });
  }
  if (!size.isValid()) {
    size = QImageReader(&file).size();
    file.seek(0);
  }
  return size;
}

// The picture in `file`; null when its contents cannot be decoded.
QImage Decode(QFile& file) {
  if (std::optional<QImage> jpeg = DecodeJpegFile(file)) return *jpeg;
  QImageReader reader(&file);
  reader.setAutoTransform(false);
  QImage image;
  if (!reader.read(&image)) return QImage();
  // Pictures are used 1:1 without colour management.
  image.setColorSpace(QColorSpace());
  return image;
}

// The @2x twin of the picture in `file`, when there is a usable one.
std::optional<QImage> LoadTwin(const std::filesystem::path& path, QFile& file) {
  QFile twin_file(QString::fromStdString(HighDensityTwin(path).string()));
  if (!twin_file.open(QIODevice::ReadOnly)) return std::nullopt;
  QImage twin = Decode(twin_file);
  if (twin.isNull()) return std::nullopt;
  // The picture's own size, from its header when the format gives it.
  QSize size = HeaderSize(file);
  if (!size.isValid()) {
    file.seek(0);
    size = Decode(file).size();
  }
  file.seek(0);
  if (!size.isValid() || twin.size() != size * 2) return std::nullopt;
  twin.setDevicePixelRatio(2.0);
  return twin;
}

}  // namespace

std::optional<QImage> LoadSkinPicture(std::u16string_view relative) {
  return LoadSkinPicture(paths::ResourceDir(), relative);
}

std::optional<QImage> LoadSkinPicture(const std::filesystem::path& base, std::u16string_view relative) {
  return LoadSkinPicture(base, relative, SkinDevicePixelRatio());
}

namespace {

std::optional<QImage> LoadFromFile(const std::filesystem::path& path, double device_pixel_ratio) {
  QFile file(QString::fromStdString(path.string()));
  // The picture itself must be there, whatever the screen.
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  if (device_pixel_ratio >= kHighDensityRatio) {
    if (std::optional<QImage> twin = LoadTwin(path, file)) return twin;
  }
  return Decode(file);
}

bool HighDensity(double device_pixel_ratio) { return device_pixel_ratio >= kHighDensityRatio; }

// A picture decoded ahead; nothing when it is left to the load that asks
// for it. The prefetching thread may run before the application object
// exists, and Qt takes the first thread that makes one of its objects (a
// file, an image reader) for its main thread: the file is read with the
// platform layer and only JPEGs are decoded, with no Qt object involved.
// Twins for dense screens are the loader's to choose.
std::optional<QImage> PrefetchFromFile(const std::filesystem::path& path, double device_pixel_ratio) {
  if (HighDensity(device_pixel_ratio)) return std::nullopt;
  const std::optional<std::string> bytes = platform::ReadWholeFile(path);
  if (!bytes) return std::nullopt;
  return DecodeJpegBytes({reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()});
}

// Pictures being decoded ahead: each file's picture is taken once, by the
// first load of that file; the thread that decodes them is waited for when
// the program ends.
class Prefetch {
 public:
  void Start(const std::vector<std::filesystem::path>& paths, double device_pixel_ratio) {
    std::vector<std::promise<std::optional<QImage>>> promises(paths.size());
    {
      std::lock_guard lock(mutex_);
      for (std::size_t i = 0; i < paths.size(); ++i)
        pending_.insert_or_assign(paths[i].string(), Entry{HighDensity(device_pixel_ratio), promises[i].get_future()});
    }
    try {
      workers_.push_back(std::async(std::launch::async, [paths, promises = std::move(promises),
                                                          device_pixel_ratio]() mutable {
        for (std::size_t i = 0; i < paths.size(); ++i) {
          std::optional<QImage> picture;
          try {
            picture = PrefetchFromFile(paths[i], device_pixel_ratio);
          } catch (const std::exception&) {
            // Out of memory, say: the load that asks for it tries again.
          }
          promises[i].set_value(std::move(picture));
        }
      }));
    } catch (const std::system_error&) {
      // No thread to be had: the pictures load when asked for.
      std::lock_guard lock(mutex_);
      for (const auto& path : paths) pending_.erase(path.string());
    }
  }

  // The prefetched picture of `path`, when there is one for this density;
  // either way the file is no longer held.
  std::optional<QImage> Take(const std::filesystem::path& path, double device_pixel_ratio) {
    std::future<std::optional<QImage>> picture;
    {
      std::lock_guard lock(mutex_);
      if (pending_.empty()) return std::nullopt;
      auto it = pending_.find(path.string());
      if (it == pending_.end()) return std::nullopt;
      const bool same_density = it->second.high_density == HighDensity(device_pixel_ratio);
      picture = std::move(it->second.picture);
      pending_.erase(it);
      if (!same_density) return std::nullopt;
    }
    return picture.get();
  }

 private:
  struct Entry {
    bool high_density;
    std::future<std::optional<QImage>> picture;
  };
  std::mutex mutex_;
  std::map<std::string, Entry> pending_;
  // Last, so that it is waited for before the pictures go.
  std::vector<std::future<void>> workers_;
};

Prefetch& Prefetched() {
  static Prefetch prefetch;
  return prefetch;
}

}  // namespace

void PrefetchSkinPictures(std::vector<std::filesystem::path> paths, double device_pixel_ratio) {
  // Qt's main thread is the first that asks for its thread data: this one,
  // before the prefetching thread exists.
  (void)QThread::currentThread();
  Prefetched().Start(paths, device_pixel_ratio);
}

std::optional<QImage> LoadSkinPicture(const std::filesystem::path& base, std::u16string_view relative,
                                      double device_pixel_ratio) {
  const auto path = JoinSkinPath(base, relative);
  if (std::optional<QImage> ready = Prefetched().Take(path, device_pixel_ratio)) return ready;
  return LoadFromFile(path, device_pixel_ratio);
}

QPixmap MakeStatePicture(const QImage& picture, const QWidget& reference) {
  const QSize size = reference.rect().size() + QSize(kStatePictureMargin, kStatePictureMargin);
  const qreal ratio = picture.isNull() ? 1.0 : picture.devicePixelRatio();
  QPixmap surface(size * ratio);
  surface.setDevicePixelRatio(ratio);
  surface.fill(Qt::black);
  if (!picture.isNull()) {
    QPainter painter(&surface);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // In device pixels of the picture, drawn 1:1.
    const QRect part(QPoint(0, 0), surface.size());
    painter.drawImage(QPointF(0, 0), picture, part & picture.rect());
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
