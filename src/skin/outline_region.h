#pragma once
// The visible area of a shaped dialog: every pixel of its outline picture
// that is not pure white.
#include <QImage>
#include <QRegion>
#include <optional>

namespace keyloom::skin {

// The union of the outline's non-white pixels (a pixel is white when its red,
// green and blue channels are all 255). An all-white picture gives an empty
// region; a null picture gives none.
std::optional<QRegion> BuildOutlineRegion(const QImage& outline);

}  // namespace keyloom::skin
