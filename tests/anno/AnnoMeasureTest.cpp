#include <gtest/gtest.h>

#include <QPainter>
#include <memory>

#include "AnnoTestSupport.h"
#include "anno/AnnoAngle.h"
#include "anno/AnnoLine.h"
#include "display/OutlinedText.h"

using annotest::BlackImage;
using annotest::LitPixels;

namespace {

CAnnoDrawGeometry Unscaled(double cmPerPixelX = 0.0143, double cmPerPixelY = 0.0143) {
  CAnnoDrawGeometry geometry;
  geometry.SetImageSize(400, 300);
  geometry.SetCmPerPixel(cmPerPixelX, cmPerPixelY);
  return geometry;
}

std::unique_ptr<CAnnoLine> Line(float x1, float y1, float x2, float y2) {
  auto line = std::make_unique<CAnnoLine>();
  line->p1 = CFloatPoint(x1, y1);
  line->p2 = CFloatPoint(x2, y2);
  line->valid = true;
  return line;
}

// ---------------------------------------------------------------------------------------------
// Line

TEST(AnnoLine, HundredPixelsAtTheDefaultSpacingReadOnePointFourThreeCm) {
  const auto line = Line(10, 20, 110, 20);
  EXPECT_EQ(line->LabelText(Unscaled()), "1.43 cm");
  EXPECT_EQ(CAnnoLineDrawer::PreviewText(line->p1, line->p2, 0.0143), "14.30mm");
  // The preview counts the third coordinate: a 60-0-80 step is 100 pixels too.
  EXPECT_EQ(CAnnoLineDrawer::PreviewText(CFloatPoint(0, 0, 0), CFloatPoint(60, 0, 80), 0.0143),
            "14.30mm");
}

TEST(AnnoLine, LabelFollowsThePixelSpacingOfTheGeometry) {
  const struct {
    float x2, y2;
    double cmX, cmY;
    const char* label;
  } cases[] = {
      {100, 0, 0.0143, 0.0143, "1.43 cm"},
      {100, 0, 0.02, 0.02, "2.00 cm"},
      {30, 20, 0.01, 0.02, "0.50 cm"},  // x and y scale separately
      {0, 0, 0.0143, 0.0143, "0.00 cm"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Line(0, 0, c.x2, c.y2)->LabelText(Unscaled(c.cmX, c.cmY)), c.label);
  }
}

TEST(AnnoLine, LabelSitsAtTheStartOnTheSideAwayFromTheLine) {
  const struct {
    float x2, y2;
    QPoint anchor;
    int align;
  } cases[] = {
      {50, 50, QPoint(100, 103), TA_LEFT | TA_TOP},       // end up-left
      {150, 50, QPoint(100, 103), TA_RIGHT | TA_TOP},     // end up-right
      {50, 150, QPoint(100, 97), TA_LEFT | TA_BOTTOM},    // end down-left
      {150, 150, QPoint(100, 97), TA_RIGHT | TA_BOTTOM},  // end down-right
      {150, 100, QPoint(100, 97), TA_RIGHT | TA_BOTTOM},  // level: counts as below
  };
  for (const auto& c : cases) {
    const CAnnoLine::Label label = Line(100, 100, c.x2, c.y2)->LabelPlacement(Unscaled());
    EXPECT_EQ(label.anchor, c.anchor) << c.x2 << "," << c.y2;
    EXPECT_EQ(label.align, c.align) << c.x2 << "," << c.y2;
  }
}

TEST(AnnoLine, ClickLineIsKeptButDrawsNothing) {
  const auto line = Line(100, 100, 100, 100);
  line->selected = true;
  QImage image = BlackImage();
  {
    QPainter painter(&image);
    line->Draw(painter, Unscaled());
  }
  EXPECT_TRUE(annotest::IsBlack(image));
  // 3 pixels at 0.143 mm make 0.0429 cm: still below the drawing threshold.
  const auto tiny = Line(100, 100, 103, 100);
  QImage tinyImage = BlackImage();
  {
    QPainter painter(&tinyImage);
    tiny->Draw(painter, Unscaled());
  }
  EXPECT_TRUE(annotest::IsBlack(tinyImage));
}

TEST(AnnoLine, FinishedLineDrawsShadowedArrowLabelAndHandles) {
  if (!annotest::CanDrawText()) GTEST_SKIP() << "text needs a GUI application object";
  const auto line = Line(40, 120, 240, 120);
  line->selected = true;
  QImage image = BlackImage();
  {
    QPainter painter(&image);
    line->Draw(painter, Unscaled());
  }
  EXPECT_EQ(image.pixel(140, 120), qRgb(200, 200, 200));
  EXPECT_EQ(image.pixel(140, 121), qRgb(64, 64, 64));
  // Label right-aligned above the start point, handles around both ends.
  EXPECT_GT(LitPixels(image, QRect(0, 95, 40, 22)), 0);
  EXPECT_EQ(image.pixel(240 + 4, 120 + 4), qRgb(64, 64, 64));
  EXPECT_EQ(image.pixel(40 - 4, 120 - 4), qRgb(220, 220, 220));
}

TEST(AnnoMeasureDrawer, HandlesAreTwoSquaresAroundEachVertex) {
  const auto line = Line(50, 50, 150, 50);
  CAnnoLineDrawer drawer;
  drawer.SetGeometry(Unscaled());
  QImage image = BlackImage();
  {
    QPainter painter(&image);
    drawer.DrawHandles(painter, *line);
  }
  for (const QPoint v : {QPoint(50, 50), QPoint(150, 50)}) {
    EXPECT_EQ(image.pixel(v + QPoint(4, 4)), qRgb(64, 64, 64));
    EXPECT_EQ(image.pixel(v + QPoint(-3, 4)), qRgb(64, 64, 64));
    EXPECT_EQ(image.pixel(v + QPoint(-4, -4)), qRgb(220, 220, 220));
    EXPECT_EQ(image.pixel(v + QPoint(3, -4)), qRgb(220, 220, 220));
    EXPECT_EQ(image.pixel(v), qRgb(0, 0, 0));  // hollow
    EXPECT_EQ(image.pixel(v + QPoint(5, 5)), qRgb(0, 0, 0));
  }
}

// ---------------------------------------------------------------------------------------------
// Angle

TEST(AnnoAngle, ValueIsCounterclockwiseFromArmAToArmB) {
  const CFloatPoint v(100, 100);
  const struct {
    CFloatPoint a, b;
    const char* label;
  } cases[] = {
      {{150, 100}, {100, 150}, "270.0 / 90.0"},  // A right, B down
      {{100, 150}, {150, 100}, "90.0 / 270.0"},  // swapped
      {{150, 100}, {100, 50}, "90.0 / 270.0"},   // A right, B up
      {{150, 100}, {50, 100}, "180.0 / 180.0"},
      {{150, 100}, {150, 50}, "45.0 / 315.0"},
      {{150, 100}, {180, 100}, "0.0 / 360.0"},  // both arms along one ray
      // Points count in whole pixels: the fractions do not tilt the arms.
      {{150.9f, 100.7f}, {100.8f, 150.2f}, "270.0 / 90.0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CAnnoAngle::LabelText(CAnnoAngle::Theta(v, c.a, c.b)), c.label)
        << c.a.x << "," << c.a.y << " " << c.b.x << "," << c.b.y;
  }
}

TEST(AnnoAngle, ArcStartsTwentyPixelsOutOrAtAShortArmsEnd) {
  const QPoint v(100, 100);
  const CAnnoAngle::Arc longArms = CAnnoAngle::ArcFor(v, QPoint(160, 100), QPoint(100, 180));
  EXPECT_EQ(longArms.bounds, QRect(QPoint(79, 79), QPoint(118, 118)));
  EXPECT_EQ(longArms.start, QPoint(120, 100));
  EXPECT_EQ(longArms.end, QPoint(100, 120));
  // Counterclockwise from right to down is three quarters of a turn.
  EXPECT_NEAR(longArms.spanDegrees, 270.0, 6.0);

  const CAnnoAngle::Arc shortArm = CAnnoAngle::ArcFor(v, QPoint(160, 100), QPoint(100, 110));
  EXPECT_EQ(shortArm.start, QPoint(120, 100));
  EXPECT_EQ(shortArm.end, QPoint(100, 110));

  const CAnnoAngle::Arc swapped = CAnnoAngle::ArcFor(v, QPoint(100, 180), QPoint(160, 100));
  EXPECT_NEAR(swapped.spanDegrees, 90.0, 6.0);
  // Arms along one ray close the circle rather than drawing nothing.
  EXPECT_DOUBLE_EQ(CAnnoAngle::ArcFor(v, QPoint(160, 100), QPoint(180, 100)).spanDegrees, 360.0);
}

TEST(AnnoAngle, ArcIsPaintedOnTheCounterclockwiseSideOnly) {
  QImage image = BlackImage(200, 200);
  {
    QPainter painter(&image);
    CAnnoAngle::DrawArc(painter,
                        CAnnoAngle::ArcFor(QPoint(100, 100), QPoint(160, 100), QPoint(100, 180)));
  }
  // Through the top and the left of the circle around (99, 99)...
  EXPECT_GT(LitPixels(image, QRect(96, 77, 7, 4)), 0);
  EXPECT_GT(LitPixels(image, QRect(77, 96, 4, 7)), 0);
  // ...but not through the quarter between the arms (right to down).
  EXPECT_EQ(LitPixels(image, QRect(108, 108, 8, 8)), 0);
}

TEST(AnnoAngle, FinishedAngleDrawsArmsArcAndLabel) {
  if (!annotest::CanDrawText()) GTEST_SKIP() << "text needs a GUI application object";
  CAnnoAngle angle;
  angle.vertex = CFloatPoint(100, 100);
  angle.SetVertex(1, CFloatPoint(200, 100));
  angle.SetVertex(2, CFloatPoint(100, 200));
  angle.placed = 3;
  angle.valid = true;
  QImage image = BlackImage();
  {
    QPainter painter(&image);
    angle.Draw(painter, Unscaled());
  }
  EXPECT_EQ(image.pixel(150, 100), qRgb(200, 200, 200));
  EXPECT_EQ(image.pixel(100, 150), qRgb(200, 200, 200));
  EXPECT_GT(LitPixels(image, QRect(96, 77, 7, 4)), 0);      // arc
  EXPECT_GT(LitPixels(image, QRect(102, 102, 40, 12)), 0);  // label below right of V
}

}  // namespace
