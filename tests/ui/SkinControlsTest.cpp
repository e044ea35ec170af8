#include <gtest/gtest.h>

#include "ui/widgets/SkinControls.h"

namespace {

TEST(SkinControls, ButtonFontSizeIsScaledByOnePointThreeTwoAndTruncated) {
  CButtonSTEx2 button("OK");
  for (const auto& [size, pixels] : {std::pair{14, 18}, {10, 13}, {20, 26}, {1, 1}}) {
    button.SetFont(QString(), size, 700);
    EXPECT_EQ(button.font().pixelSize(), pixels) << size;
    EXPECT_EQ(button.font().weight(), 700);
  }
  button.SetFont("DejaVu Sans", 14, 400);
  EXPECT_EQ(button.font().families().value(0), "DejaVu Sans");
  EXPECT_EQ(button.font().weight(), 400);
}

TEST(SkinControls, StaticTextKeepsHeightAndFaceUntilGivenAndAlwaysTakesTheColour) {
  CStaticEx text;
  text.SetFont(QString(), 0, Qt::red, 700);
  EXPECT_EQ(text.font().pixelSize(), 20);
  EXPECT_EQ(text.font().weight(), 700);
  EXPECT_EQ(text.palette().color(QPalette::WindowText), QColor(Qt::red));

  // Same font, new colour: the colour must not be lost because the font stayed.
  text.SetFont(QString(), 0, Qt::blue, 700);
  EXPECT_EQ(text.palette().color(QPalette::WindowText), QColor(Qt::blue));

  text.SetFont("DejaVu Serif", 16, Qt::blue, 400, true);
  text.SetFont(QString(), 0, Qt::blue, 400, true);  // keeps face and height
  EXPECT_EQ(text.font().pixelSize(), 16);
  EXPECT_EQ(text.font().families().value(0), "DejaVu Serif");
  EXPECT_TRUE(text.font().italic());
}

TEST(SkinControls, CaptionBandFadesFromTheBackgroundAtTheRightToTheTextColourAtTheLeft) {
  const QColor back(200, 100, 50);
  const QColor textColour(1, 2, 3);
  // Width 256: bands of 2 pixels, the last one at x = 2, the strip [0, 2) in the text colour.
  const QImage band = CSAPrefsStatic::BuildBand(256, 4, back, textColour);
  ASSERT_EQ(band.size(), QSize(256, 4));
  EXPECT_EQ(band.pixelColor(255, 3), back);                 // d = 2: 4 * v / 65536 is 0
  EXPECT_EQ(band.pixelColor(128, 0), QColor(150, 75, 38));  // d = 128: v - v / 4
  EXPECT_EQ(band.pixelColor(3, 0), QColor(4, 2, 1));        // d = 254
  EXPECT_EQ(band.pixelColor(1, 0), textColour);
  EXPECT_EQ(band.pixelColor(0, 0), textColour);

  // Narrower than 128: one-pixel bands down to x = 1.
  const QImage narrow = CSAPrefsStatic::BuildBand(100, 2, back, textColour);
  EXPECT_EQ(narrow.pixelColor(0, 0), textColour);
  EXPECT_EQ(narrow.pixelColor(1, 0), QColor(4, 2, 1));  // d = 99: 200 - 9801 * 200 / 10000
}

TEST(SkinControls, WideCaptionBandStillFadesSteadily) {
  const QColor back(255, 255, 255);
  const QImage band = CSAPrefsStatic::BuildBand(4000, 1, back, Qt::black);
  int previous = -1;
  for (int x = 31; x < 4000; ++x) {  // the bands are 31 pixels wide
    const int red = band.pixelColor(x, 0).red();
    ASSERT_GE(red, previous) << x;
    previous = red;
  }
  EXPECT_EQ(band.pixelColor(3999, 0), back);
}

TEST(SkinControls, DateFieldFillsWithTheDialogBackgroundOnlyWhileEnabled) {
  CDateTimeCtrlEx field;
  EXPECT_TRUE(field.autoFillBackground());
  EXPECT_EQ(field.palette().color(QPalette::Window), QColor(Qt::black));
  field.setEnabled(false);
  EXPECT_FALSE(field.autoFillBackground());
  field.setEnabled(true);
  EXPECT_TRUE(field.autoFillBackground());
}

}  // namespace
