#pragma once
// The default skin's geometry: every control of the three dialogs with its
// rectangle and how the skin draws it. Shared by the generator (which paints
// the pictures and writes the INI files) and the gallery (which places the
// controls to look at them).
#include <QRect>
#include <QString>
#include <vector>

namespace keyloom::skingen {

enum class Kind {
  Button,      // image button: its face is painted into the state pictures
  KeyCap,      // a key of the on-screen keyboard: a key cap in the state pictures
  Text,        // a label: drawn by the program, nothing in the pictures
  Field,       // an edit box, list or drop-down: drawn by the program
  Picture,     // a picture control showing one of the lighting bitmaps
  Slider,      // a picture slider
  ColourButton,
  Hidden,      // laid out but never shown
};

enum class Icon {
  None, Brand, Plate, Help, Minimize, Close, Menu, LockCaps, LockNum, LockScroll, LockAb, FlipIndicator,
  FlipLeft, FlipRight, ArrowLeft, ArrowRight, Globe, Chat, Share, Plus, Minus, Trash, Erase, ArrowUp,
  ArrowDown, ArrowTop, ArrowBottom, Keyboard, Check, Cross, ApplyTray, Folder, DocPlus, Record,
};

struct Control {
  QString key;        // layout key in section BUTTONINFO
  QRect rect;
  Kind kind;
  Icon icon = Icon::None;
  QString label;      // text painted into the faces (language-neutral only)
  QString top_label;  // key caps: the shifted legend
  QString tab;        // composite dialog: the tab the control belongs to ("" = every tab)
};

struct DialogLayout {
  QString name;  // "Main", "Profile", "Composite"
  QSize size;
  std::vector<Control> controls;
  // Extra sections: BUTTONINFO2 picture offsets.
  std::vector<std::pair<QString, QRect>> offsets;
};

DialogLayout MainLayout();
DialogLayout ProfileLayout();
DialogLayout CompositeLayout();

// Key positions: the keyboard plate inside the main window.
QRect KeyboardPlate();

}  // namespace keyloom::skingen
