#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>
#include <numbers>

#include "AnnoTestSupport.h"
#include "anno/DrawObject.h"

using annotest::BlackImage;
using annotest::LitPixels;

namespace {

double Distance(const QPoint& a, const QPoint& b) {
  return std::hypot(a.x() - b.x(), a.y() - b.y());
}

TEST(DrawObjectArrow, HeadOnlyOnSegmentsLongerThanTwelvePixels) {
  EXPECT_TRUE(CDrawObject::ArrowHead(QPoint(10, 20), QPoint(22, 20)).isEmpty());
  EXPECT_TRUE(CDrawObject::ArrowHead(QPoint(0, 0), QPoint(0, 0)).isEmpty());
  EXPECT_EQ(CDrawObject::ArrowHead(QPoint(10, 20), QPoint(23, 20)).size(), 3);

  // Painted: a 12-pixel arrow stays on its row, a 13-pixel one widens at its tip.
  QImage shortArrow = BlackImage(40, 40);
  QImage longArrow = BlackImage(40, 40);
  {
    QPainter painter(&shortArrow);
    CDrawObject::DrawArrow(painter, QPoint(10, 20), QPoint(22, 20), QColor(200, 200, 200));
  }
  {
    QPainter painter(&longArrow);
    CDrawObject::DrawArrow(painter, QPoint(10, 20), QPoint(23, 20), QColor(200, 200, 200));
  }
  EXPECT_EQ(
      LitPixels(shortArrow, QRect(0, 0, 40, 20)) + LitPixels(shortArrow, QRect(0, 21, 40, 19)), 0);
  EXPECT_GT(LitPixels(longArrow, QRect(0, 0, 40, 20)), 0);
  EXPECT_GT(LitPixels(longArrow, QRect(0, 21, 40, 19)), 0);
  EXPECT_EQ(longArrow.pixel(18, 22), qRgb(200, 200, 200));  // inside the head: filled
}

TEST(DrawObjectArrow, HeadCornersAreTwelveBackTurnedThirtyDegrees) {
  const struct {
    QPoint from;
    QPoint to;
  } cases[] = {{QPoint(0, 0), QPoint(100, 0)},
               {QPoint(100, 100), QPoint(40, 20)},
               {QPoint(5, 90), QPoint(5, 10)}};
  for (const auto& c : cases) {
    const QPolygon head = CDrawObject::ArrowHead(c.from, c.to);
    ASSERT_EQ(head.size(), 3);
    EXPECT_EQ(head[0], c.to);
    for (int i = 1; i <= 2; ++i) {
      EXPECT_NEAR(Distance(head[i], c.to), 12.0, 1.0) << i;
      // Each corner is as far from the shaft's far end as a 30-degree turn puts it.
      const double back = Distance(c.from, c.to) - 12.0 * std::cos(std::numbers::pi / 6);
      const double expected = std::hypot(back, 12.0 * std::sin(std::numbers::pi / 6));
      EXPECT_NEAR(Distance(head[i], c.from), expected, 1.0) << i;
    }
    EXPECT_NE(head[1], head[2]);
  }
}

TEST(DrawObjectDistance, FromTheThreeSidesOfTheTriangle) {
  const struct {
    QPointF point, a, b;
    double distance;
  } cases[] = {
      {{50, 10}, {0, 0}, {100, 0}, 10.0},  // above a horizontal line
      {{50, 0}, {0, 0}, {100, 0}, 0.0},    // on it
      {{150, 0}, {0, 0}, {100, 0}, 0.0},   // on the line beyond the segment
      {{0, 10}, {0, 0}, {10, 10}, std::sqrt(50.0)},
      {{3, 4}, {0, 0}, {0, 0}, 5.0},  // no line: distance to the point
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(CDrawObject::DistanceToLine(c.point, c.a, c.b), c.distance, 1e-6)
        << c.point.x() << "," << c.point.y();
  }
}

TEST(DrawObjectRect, OutlineFromCornersInEitherOrderWithoutFill) {
  QImage forward = BlackImage(40, 40);
  QImage backward = BlackImage(40, 40);
  {
    QPainter painter(&forward);
    CDrawObject::DrawRectOutline(painter, QPoint(5, 6), QPoint(25, 20), Qt::SolidLine, 1,
                                 QColor(200, 200, 200));
  }
  {
    QPainter painter(&backward);
    CDrawObject::DrawRectOutline(painter, QPoint(25, 20), QPoint(5, 6), Qt::SolidLine, 1,
                                 QColor(200, 200, 200));
  }
  EXPECT_EQ(forward, backward);
  EXPECT_EQ(forward.pixel(5, 6), qRgb(200, 200, 200));
  EXPECT_EQ(forward.pixel(24, 19), qRgb(200, 200, 200));
  // The far corner is just outside; the inside is untouched.
  EXPECT_EQ(forward.pixel(25, 20), qRgb(0, 0, 0));
  EXPECT_EQ(LitPixels(forward, QRect(6, 7, 18, 12)), 0);
}

TEST(DrawObjectPreviewBox, PlacedBelowRightOfTheMouseAndNeverNarrower) {
  int minWidth = 0;
  const QRect first = CDrawObject::PreviewBoxRect(QSize(60, 12), QPoint(100, 50), minWidth);
  EXPECT_EQ(first, QRect(101, 51, 68, 20));
  EXPECT_EQ(minWidth, 60);
  // A shorter text keeps the width of the widest box so far; a longer one widens it.
  EXPECT_EQ(CDrawObject::PreviewBoxRect(QSize(40, 12), QPoint(0, 0), minWidth).width(), 68);
  EXPECT_EQ(CDrawObject::PreviewBoxRect(QSize(70, 12), QPoint(0, 0), minWidth).width(), 78);
  EXPECT_EQ(CDrawObject::PreviewBoxRect(QSize(40, 12), QPoint(0, 0), minWidth).width(), 78);
}

}  // namespace
