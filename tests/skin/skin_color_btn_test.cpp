#include "skin/skin_color_btn.h"

#include <gtest/gtest.h>

#include <QGridLayout>
#include <QPushButton>
#include <QToolButton>

#include "skin_test_support.h"

namespace keyloom::skin {
namespace {

TEST(SkinColorButton, FaceShowsSwatchGreyDropDownAndBlackArrow) {
  CSkinColorBtn button;
  button.resize(60, 20);
  button.SetColor(QColor(200, 30, 40));
  QImage face = button.grab().toImage();
  // Swatch up to (61 / 2 + 5) - 2 = 33; drop-down from -1 + 61 / 2 + 3 = 32.
  EXPECT_EQ(face.pixel(5, 10), qRgb(200, 30, 40));
  EXPECT_EQ(face.pixel(30, 10), qRgb(200, 30, 40));
  EXPECT_EQ(face.pixel(40, 3), CSkinColorBtn::kDropDownGrey);
  // Arrow: corners (50, 9), (56, 9), (53, 12) with r = 61 and m = 22 / 2 - 2.
  EXPECT_EQ(face.pixel(53, 10), qRgb(0, 0, 0));
  EXPECT_EQ(face.pixel(53, 14), CSkinColorBtn::kDropDownGrey);

  // Disabled: no colour in the swatch.
  button.setEnabled(false);
  face = button.grab().toImage();
  EXPECT_NE(face.pixel(5, 10), qRgb(200, 30, 40));

  // No colour chosen: the automatic colour stands in.
  button.setEnabled(true);
  button.SetColor(QColor());
  button.SetAutomaticColor(QColor(0, 0, 255));
  EXPECT_EQ(button.grab().toImage().pixel(5, 10), qRgb(0, 0, 255));
  EXPECT_EQ(button.EffectiveColour(), QColor(0, 0, 255));
}

TEST(SkinColorButton, PaletteHasItsColumnsAndOtherButtonAndReportsTheChoice) {
  CSkinColorBtn button;
  button.resize(60, 20);
  button.SetColumnsNumber(10);
  button.EnableOtherButton(QStringLiteral("other"));
  std::vector<QColor> chosen;
  QObject::connect(&button, &CSkinColorBtn::colourChosen, [&](const QColor& c) { chosen.push_back(c); });
  button.ShowPalette();
  QFrame* popup = button.PalettePopup();
  ASSERT_NE(popup, nullptr);
  auto* grid = popup->findChild<QGridLayout*>();
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->columnCount(), 10);
  EXPECT_EQ(grid->rowCount(), static_cast<int>((button.PaletteColors().size() + 9) / 10));
  const auto others = popup->findChildren<QPushButton*>();
  ASSERT_EQ(others.size(), 1);
  EXPECT_EQ(others[0]->text(), QStringLiteral("other"));

  auto cells = popup->findChildren<QToolButton*>();
  ASSERT_EQ(cells.size(), static_cast<qsizetype>(button.PaletteColors().size()));
  auto* cell = qobject_cast<QToolButton*>(grid->itemAtPosition(1, 3)->widget());
  ASSERT_NE(cell, nullptr);
  cell->click();
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_EQ(chosen[0], button.PaletteColors()[13]);
  EXPECT_EQ(button.GetColor(), button.PaletteColors()[13]);
  testing::Pump(10);
  EXPECT_EQ(button.PalettePopup(), nullptr);  // closed by the choice
}

}  // namespace
}  // namespace keyloom::skin
