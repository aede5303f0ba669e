#pragma once
// Skin pictures: loading by name, the full-dialog state pictures that image
// buttons cut their faces from, and what happens when an essential picture
// is missing.
#include <QImage>
#include <QPixmap>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

class QWidget;

namespace keyloom::skin {

// The extra room of a state picture beyond the dialog's client area, to the
// right and downward.
constexpr int kStatePictureMargin = 100;

// Joins a skin-relative name ("Skins\main_normal.jpg" or "Skins/...") to a
// folder; backslashes are taken as separators.
std::filesystem::path JoinSkinPath(const std::filesystem::path& folder, std::u16string_view relative);

// High-density screens: a picture "name.ext" may have a twin "name@2x.ext"
// beside it, drawn at twice the size. On a screen whose device pixel ratio is
// kHighDensityRatio or more the loader gives the twin, marked with device
// pixel ratio 2, so that its size in layout units (deviceIndependentSize())
// is the picture's and every layout value stays as it is. A twin that is not
// exactly twice the picture's size, or cannot be decoded, is not used.
// Callers that measure a loaded picture use deviceIndependentSize(), not
// size().
inline constexpr double kHighDensityRatio = 1.5;

// "dir/name@2x.ext" for "dir/name.ext".
std::filesystem::path HighDensityTwin(const std::filesystem::path& path);

// The device pixel ratio skin pictures are chosen for: the primary screen's,
// 1 before there is a GUI application.
double SkinDevicePixelRatio();

// Loads a picture named relative to `base` (the resource folder when not
// given), for screens of `device_pixel_ratio` (SkinDevicePixelRatio() when
// not given). Nothing when the file cannot be opened; a file that exists but
// cannot be decoded gives a null image, which draws nothing.
std::optional<QImage> LoadSkinPicture(std::u16string_view relative);
std::optional<QImage> LoadSkinPicture(const std::filesystem::path& base, std::u16string_view relative);
std::optional<QImage> LoadSkinPicture(const std::filesystem::path& base, std::u16string_view relative,
                                      double device_pixel_ratio);

// Starts decoding the pictures at `paths` (JoinSkinPath's) on a thread of
// their own while the program sets itself up, for screens of
// `device_pixel_ratio` (which may be a guess made before there is a
// screen); may be called before the application object exists, from the
// thread that will make it. Only JPEG pictures at density 1 are decoded
// ahead. The first LoadSkinPicture of each file takes its picture, waiting
// for it if need be, when the density is the same; any other load of the
// file, or a later one, reads the file as usual.
void PrefetchSkinPictures(std::vector<std::filesystem::path> paths, double device_pixel_ratio);

// A state picture for dialog `reference`: its client area plus
// kStatePictureMargin to the right and downward, holding the picture's
// top-left part at 1:1. Where the picture is smaller the state picture is
// black. It has the picture's device pixel ratio (a @2x picture stays sharp).
QPixmap MakeStatePicture(const QImage& picture, const QWidget& reference);

// A skin the program cannot run without (a background, an outline or a state
// picture) is missing. The handler is called with the offending path; the
// default handler writes one line to standard error and ends the process
// with exit code 1. Returns the previous handler (tests install their own,
// which may return; callers then give up what they were doing).
using SkinFailureHandler = std::function<void(const std::filesystem::path&)>;
SkinFailureHandler SetSkinFailureHandler(SkinFailureHandler handler);
void ReportSkinFailure(const std::filesystem::path& path);

}  // namespace keyloom::skin
