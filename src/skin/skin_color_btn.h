#pragma once
// The colour picker button of the lighting panel. Its face: a swatch of the
// chosen colour on the left, a grey drop-down area with a black arrow on the
// right. A click opens a palette pop-up (a grid of colours, 10 columns by
// default, and an optional "other" button that opens the desktop's colour
// dialog). Choosing a colour stores it, repaints and emits colourChosen.
#include <QAbstractButton>
#include <QColor>
#include <QFrame>
#include <QString>
#include <vector>

namespace keyloom::skin {

class CSkinColorBtn : public QAbstractButton {
  Q_OBJECT
 public:
  // The grey of the drop-down area.
  static constexpr QRgb kDropDownGrey = 0xFF94928B;  // RGB(148, 146, 139)

  explicit CSkinColorBtn(QWidget* parent = nullptr);

  // The chosen colour; an invalid colour means none is chosen.
  void SetColor(const QColor& colour);
  QColor GetColor() const { return colour_; }
  // Shown (and reported by EffectiveColour) while no colour is chosen.
  void SetAutomaticColor(const QColor& colour);
  QColor GetAutomaticColor() const { return automatic_; }
  QColor EffectiveColour() const { return colour_.isValid() ? colour_ : automatic_; }

  void SetColumnsNumber(int columns);
  int ColumnsNumber() const { return columns_; }
  // An empty label removes the button.
  void EnableOtherButton(const QString& label);
  const QString& OtherButtonLabel() const { return other_label_; }
  void SetPaletteColors(std::vector<QColor> colours);
  const std::vector<QColor>& PaletteColors() const { return palette_; }

  // Opens the palette below the button (also what a click does).
  void ShowPalette();
  // The open palette pop-up, or nullptr.
  QFrame* PalettePopup() const { return popup_; }
  // What the palette does when a colour is picked (also used by the "other"
  // dialog).
  void ChooseColour(const QColor& colour);

 signals:
  void colourChosen(const QColor& colour);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void OpenOtherDialog();

  QColor colour_;
  QColor automatic_ = Qt::black;
  int columns_ = 10;
  QString other_label_;
  std::vector<QColor> palette_;
  QFrame* popup_ = nullptr;  // owned through Qt's parent (deletes itself on close)
};

// The colours the palette offers unless told otherwise: four rows of ten.
std::vector<QColor> DefaultPaletteColours();

}  // namespace keyloom::skin
