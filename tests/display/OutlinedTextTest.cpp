#include "display/OutlinedText.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

namespace {

struct AlignCase {
  int align;
  bool rightEdgeAtX;   // else the left edge
  bool bottomEdgeAtY;  // else the top edge
};

TEST(OutlinedText, CellIsPlacedByTheAlignmentFlags) {
  QImage canvas(200, 100, QImage::Format_RGB32);
  QPainter painter(&canvas);
  const AlignCase cases[] = {{TA_LEFT | TA_TOP, false, false},
                             {TA_RIGHT | TA_TOP, true, false},
                             {TA_LEFT | TA_BOTTOM, false, true},
                             {TA_RIGHT | TA_BOTTOM, true, true}};
  for (const AlignCase& c : cases) {
    const QRect cell = TextCell(painter, 100, 50, "W: 400,  L: 200", c.align);
    SCOPED_TRACE(c.align);
    EXPECT_EQ(c.rightEdgeAtX ? cell.left() + cell.width() : cell.left(), 100);
    EXPECT_EQ(c.bottomEdgeAtY ? cell.top() + cell.height() : cell.top(), 50);
    EXPECT_GT(cell.width(), 0);
  }
}

TEST(OutlinedText, TextIsOutlinedInBlackAndOpaqueCellsAreFilled) {
  QImage canvas(200, 60, QImage::Format_RGB32);
  canvas.fill(QColor(0, 0, 255));
  QPainter painter(&canvas);
  painter.setFont(QFont("DejaVu Sans", 20));
  DrawOutlinedText(painter, 10, 10, "I", QColor(200, 200, 200));
  const QRect cell = TextCell(painter, 10, 10, "I", TA_LEFT | TA_TOP);
  bool grey = false;
  bool black = false;
  for (int y = cell.top(); y <= cell.bottom(); ++y) {
    for (int x = cell.left() - 1; x <= cell.right() + 1; ++x) {
      const QRgb p = canvas.pixel(x, y);
      grey = grey || p == qRgb(200, 200, 200);
      black = black || p == qRgb(0, 0, 0);
    }
  }
  EXPECT_TRUE(grey);
  EXPECT_TRUE(black);
  // Transparent: the cell's corner keeps the image; opaque: the background fills it.
  EXPECT_EQ(canvas.pixel(cell.topLeft()), qRgb(0, 0, 255));
  DrawOutlinedText(painter, 100, 10, "I", Qt::black, TA_LEFT | TA_TOP, QColor(255, 255, 255));
  EXPECT_EQ(canvas.pixel(100, 10), qRgb(255, 255, 255));
  EXPECT_EQ(painter.pen().color(), QColor(Qt::black));
}

}  // namespace
