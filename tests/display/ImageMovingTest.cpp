// The half-transparent copy of a thumbnail that follows the pointer during a drag.
#include <gtest/gtest.h>

#include <QImage>

#include "display/widgets/ImageMoving.h"

namespace {

// Four quadrants of different colours, so that any stretch or crop shows.
QImage quadrants() {
  QImage picture(2, 2, QImage::Format_RGB32);
  picture.setPixel(0, 0, qRgb(255, 0, 0));
  picture.setPixel(1, 0, qRgb(0, 255, 0));
  picture.setPixel(0, 1, qRgb(0, 0, 255));
  picture.setPixel(1, 1, qRgb(255, 255, 255));
  return picture;
}

TEST(ImageMoving, PictureIsStretchedOverTheWholeWindowInEachDirection) {
  CImageMoving window;
  window.resize(60, 30);
  ASSERT_TRUE(window.LoadPicture(quadrants()));
  for (int pass = 0; pass < 2; ++pass) {  // painting again shows the same picture
    const QImage shown = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(29, 14), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(30, 0), qRgb(0, 255, 0));
    EXPECT_EQ(shown.pixel(59, 14), qRgb(0, 255, 0));
    EXPECT_EQ(shown.pixel(0, 15), qRgb(0, 0, 255));
    EXPECT_EQ(shown.pixel(59, 29), qRgb(255, 255, 255));
  }
}

}  // namespace
