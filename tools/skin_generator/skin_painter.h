#pragma once
// The default skin's artwork: dark panels, crisp key caps, one accent colour.
#include <QColor>
#include <QImage>
#include <QPainter>

#include "skin_layout_table.h"

namespace keyloom::skingen {

// The look a state picture gives its buttons.
enum class Look { Normal, Over, Down, Disable, Colour0, Colour1 };

namespace palette {
inline const QColor kAccent(0x1E, 0xC8, 0xE8);
inline const QColor kAccentDeep(0x0E, 0x7C, 0x93);
inline const QColor kWindow(0x11, 0x13, 0x17);
inline const QColor kPanel(0x18, 0x1B, 0x21);
inline const QColor kLine(0x2A, 0x2F, 0x38);
inline const QColor kText(0xE4, 0xE9, 0xF0);
inline const QColor kMuted(0x7D, 0x86, 0x93);
}  // namespace palette

// Pictures are drawn in the layout's units at `scale` device pixels per unit
// (1, or 2 for the @2x pictures of high-density screens); the image carries
// `scale` as its device pixel ratio.

// The dialog's background without any control face.
QImage PaintBackground(const DialogLayout& layout, int scale = 1);
// The outline: black where the window is, white (holes) elsewhere.
QImage PaintOutline(const DialogLayout& layout);

void PaintButton(QPainter& p, const Control& c, Look look);
void PaintKeyCap(QPainter& p, const Control& c, Look look);
// The composite dialog's tab page and tab strip for one tab set.
void PaintCompositePage(QPainter& p, const DialogLayout& layout, const QString& tab, bool macro_only);
void PaintIcon(QPainter& p, Icon icon, const QRectF& r, const QColor& colour);

// Lighting panel bitmaps, by their names without ".bmp".
QImage PaintLightingBitmap(const QString& name, int scale = 1);

}  // namespace keyloom::skingen
