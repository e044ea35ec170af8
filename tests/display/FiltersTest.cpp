#include "display/Filters.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <cstdint>
#include <vector>

#include "display/OutlinedText.h"
#include "display/PaneTestSupport.h"
#include "display/PaneWindow.h"

namespace {

// A pane of the given client size that records what the filters ask of it.
class RecordingPane : public CPaneWindow {
 public:
  explicit RecordingPane(int width = 500, int height = 500) : client(0, 0, width, height) {}
  QRect clientRect() const override { return client; }
  void invalidate() override { ++fullRepaints; }
  void invalidateRect(const QRect& rect) override { repainted = repainted.united(rect); }
  void beginCapture() override { captured = true; }
  void endCapture() override { captured = false; }
  QPoint cursorPos() const override { return cursor; }
  void setCursorPos(const QPoint& point) override {
    cursor = point;
    ++cursorMoves;
  }

  QRect client;
  int fullRepaints = 0;
  QRect repainted;
  bool captured = false;
  QPoint cursor;
  int cursorMoves = 0;
};

// A grey image whose values rise from minValue (left) to maxValue (right), fitted into pane.
void MakeRamp(CBaseImage& image, const CPaneWindow& pane, int width, int height, int bits,
              int minValue, int maxValue) {
  ASSERT_TRUE(image.Create(width, height, bits > 8 ? 16 : 8));
  image.setBitsStored(bits);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int value = minValue + (maxValue - minValue) * x / (width - 1);
      if (bits > 8) {
        image.bitmap().grey16()[y * width + x] = static_cast<std::uint16_t>(value);
      } else {
        image.bitmap().row(y)[x] = static_cast<std::uint8_t>(value);
      }
    }
  }
  image.ResetView();
  if (bits > 8) {
    image.SetWindow(maxValue - minValue, (maxValue + minValue) / 2);
  } else {
    image.SetPaintWindow(0, 0, true);
  }
  image.FitToRect(pane.clientRect());
}

class Filters : public ::testing::Test {
 protected:
  void TearDown() override { panetest::endAllFilters(); }
  RecordingPane pane;
  CBaseImage image;
};

QPoint Centre(const QRect& r) { return QPoint(r.x() + r.width() / 2, r.y() + r.height() / 2); }

TEST_F(Filters, ZoomStopsAtTwiceAndATenthAndKeepsTheCentre) {
  MakeRamp(image, pane, 1000, 1000, 12, 0, 4095);  // factor 2 in the 500-pixel pane
  const QPoint centre = Centre(image.displayRect());
  struct Case {
    int dragTo;
    float factor;
    const char* text;
  } cases[] = {{-2000, 0.5f, "200.0%"}, {4000, 10.0f, "10.0%"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(CFilterZoom::Start(&pane, &image));
    CFilterZoom::Event(CFilter::kButtonDown, MK_LBUTTON, {250, 250});
    EXPECT_TRUE(pane.captured);
    for (int y = 250; y != 250 + c.dragTo; y += c.dragTo / 40) {
      CFilterZoom::Event(CFilter::kMouseMove, MK_LBUTTON, {250, y});
    }
    CFilterZoom::Event(CFilter::kMouseMove, MK_LBUTTON, {250, 250 + c.dragTo});
    EXPECT_EQ(CFilterZoom::Live()->text(), c.text);
    // The pane's image is untouched until the release.
    EXPECT_FLOAT_EQ(image.zoom().value(), c.dragTo < 0 ? 2.0f : 0.5f);
    CFilterZoom::Event(CFilter::kButtonUp, MK_LBUTTON, {250, 250 + c.dragTo});
    EXPECT_EQ(CFilterZoom::Live(), nullptr);
    EXPECT_FALSE(pane.captured);
    EXPECT_FLOAT_EQ(image.zoom().value(), c.factor);
    const QPoint after = Centre(image.displayRect());
    EXPECT_LE(std::abs(after.x() - centre.x()), 2);
    EXPECT_LE(std::abs(after.y() - centre.y()), 2);
  }
}

TEST_F(Filters, ZoomDownShrinksAndUpEnlarges) {
  MakeRamp(image, pane, 1000, 1000, 12, 0, 4095);
  ASSERT_TRUE(CFilterZoom::Start(&pane, &image));
  CFilterZoom::Event(CFilter::kButtonDown, MK_LBUTTON, {100, 100});
  CFilterZoom::Event(CFilter::kMouseMove, MK_LBUTTON, {100, 150});
  EXPECT_FLOAT_EQ(CFilterZoom::Live()->factor(), 2.5f);
  EXPECT_EQ(CFilterZoom::Live()->text(), "40.0%");
  CFilterZoom::Event(CFilter::kMouseMove, MK_LBUTTON, {100, 50});
  EXPECT_FLOAT_EQ(CFilterZoom::Live()->factor(), 1.5f);
}

TEST_F(Filters, PanFarToEachSideLeavesExactlyTenPixels) {
  MakeRamp(image, pane, 400, 300, 12, 0, 4095);
  const QRect start = image.displayRect();
  struct Case {
    QPoint drag;
    int expectedX;  // -1: unchanged
    int expectedY;
  } cases[] = {
      {{5000, 0}, 500 - 10, start.y()},
      {{-5000, 0}, 10 - start.width(), start.y()},
      {{0, 5000}, start.x(), 500 - 10},
      {{0, -5000}, start.x(), 10 - start.height()},
  };
  for (const Case& c : cases) {
    image.setDisplayOrigin(start.x(), start.y());
    ASSERT_TRUE(CFilterPanning::Start(&pane, &image));
    CFilterPanning::Event(CFilter::kButtonDown, MK_LBUTTON, {250, 250});
    CFilterPanning::Event(CFilter::kMouseMove, MK_LBUTTON, QPoint(250, 250) + c.drag);
    CFilterPanning::Event(CFilter::kButtonUp, MK_LBUTTON, QPoint(250, 250) + c.drag);
    EXPECT_EQ(image.displayRect().topLeft(), QPoint(c.expectedX, c.expectedY))
        << c.drag.x() << "," << c.drag.y();
  }
}

TEST_F(Filters, WindowLevelSensitivityFollowsTheRangeUpToItsCap) {
  struct Case {
    int bits;
    int maxValue;
    int paneWidth;
    double horizontal;
  } cases[] = {
      {12, 4095, 512, 5.0},    // 8 per pixel, capped at 5 for 14 bits and less
      {16, 65535, 512, 10.0},  // above 14 bits the cap is 10
      {12, 511, 512, 1.0},     // below one value per pixel: 1
      {12, 0, 512, 1.0},       // no range: 1
      {16, 2559, 512, 4.998046875},
  };
  for (const Case& c : cases) {
    RecordingPane wide(c.paneWidth, 512);
    CBaseImage ramp;
    MakeRamp(ramp, wide, 256, 256, c.bits, 0, c.maxValue);
    ASSERT_TRUE(CFilterWindowLevel::Start(&wide, &ramp));
    CFilterWindowLevel::Event(CFilter::kButtonDown, MK_RBUTTON, {10, 10});
    EXPECT_DOUBLE_EQ(CFilterWindowLevel::Live()->horizontalSensitivity(), c.horizontal)
        << c.bits << " bits, max " << c.maxValue;
    CFilterWindowLevel::Event(CFilter::kButtonUp, MK_RBUTTON, {10, 10});
  }
}

TEST_F(Filters, WindowLevelStepsWidthUpLevelRightAndCtrlTriples) {
  MakeRamp(image, pane, 256, 256, 12, 0, 4095);  // 4095 / 500 > 5: both sensitivities 5
  ASSERT_TRUE(CFilterWindowLevel::Start(&pane, &image));
  CFilterWindowLevel* wl = CFilterWindowLevel::Live();
  const int width = wl->width();
  const int level = wl->level();
  CFilterWindowLevel::Event(CFilter::kButtonDown, MK_RBUTTON, {100, 100});
  CFilterWindowLevel::Event(CFilter::kMouseMove, MK_RBUTTON, {102, 99});
  EXPECT_EQ(wl->width(), width + 5);
  EXPECT_EQ(wl->level(), level + 10);
  CFilterWindowLevel::Event(CFilter::kMouseMove, MK_RBUTTON | MK_CONTROL, {103, 98});
  EXPECT_EQ(wl->width(), width + 20);
  EXPECT_EQ(wl->level(), level + 25);
  EXPECT_EQ(wl->text(), QString::asprintf("W: %d,  L: %d", width + 20, level + 25));
  // Moves without a button held do not window.
  CFilterWindowLevel::Event(CFilter::kMouseMove, 0, {300, 0});
  EXPECT_EQ(wl->width(), width + 20);
  // The pane's image keeps its window until the release.
  int shownWidth = 0;
  int shownLevel = 0;
  image.GetWindow(shownWidth, shownLevel);
  EXPECT_EQ(shownWidth, 4095);
  CFilterWindowLevel::Event(CFilter::kButtonUp, MK_RBUTTON, {103, 98});
  image.GetWindow(shownWidth, shownLevel);
  EXPECT_EQ(shownWidth, width + 20);
  EXPECT_EQ(shownLevel, level + 25);
  EXPECT_EQ(CFilterWindowLevel::Live(), nullptr);
  EXPECT_EQ(pane.fullRepaints, 1);
}

TEST_F(Filters, NegativeWidthIsShownOnceThenTheNextStepStartsFromZero) {
  MakeRamp(image, pane, 256, 256, 12, 0, 4095);
  ASSERT_TRUE(CFilterWindowLevel::Start(&pane, &image));
  CFilterWindowLevel* wl = CFilterWindowLevel::Live();
  CFilterWindowLevel::Event(CFilter::kButtonDown, MK_RBUTTON, {100, 100});
  CFilterWindowLevel::Event(CFilter::kMouseMove, MK_RBUTTON, {100, 100 + 1000});  // -5000
  EXPECT_EQ(wl->text(), QString::asprintf("W: %d,  L: %d", 4095 - 5000, 2047));
  EXPECT_EQ(wl->width(), 0);
  CFilterWindowLevel::Event(CFilter::kMouseMove, MK_RBUTTON, {100, 100 + 998});
  EXPECT_EQ(wl->text(), "W: 10,  L: 2047");
}

TEST_F(Filters, WindowLevelOnEightBitsSetsPaintIntensityAndContrastWithinLimits) {
  MakeRamp(image, pane, 256, 256, 8, 0, 255);
  ASSERT_TRUE(CFilterWindowLevel::Start(&pane, &image));
  EXPECT_EQ(CFilterWindowLevel::Live()->mode(), 1);
  CFilterWindowLevel::Event(CFilter::kButtonDown, MK_RBUTTON, {250, 250});
  CFilterWindowLevel::Event(CFilter::kMouseMove, MK_RBUTTON | MK_CONTROL, {900, -900});
  EXPECT_EQ(CFilterWindowLevel::Live()->workingCopy().paintIntensity(), 999);
  EXPECT_EQ(CFilterWindowLevel::Live()->workingCopy().paintContrast(), 999);
  CFilterWindowLevel::Event(CFilter::kButtonUp, MK_RBUTTON, {900, -900});
  EXPECT_EQ(image.paintIntensity(), 999);
  EXPECT_EQ(image.paintContrast(), 999);
}

TEST_F(Filters, LivePictureShowsTheWorkingCopyAndTheFilterText) {
  MakeRamp(image, pane, 256, 128, 12, 0, 4095);  // 500 x 250 from y = 125
  ASSERT_TRUE(CFilterWindowLevel::Start(&pane, &image));
  QImage canvas(500, 500, QImage::Format_RGB32);
  canvas.fill(Qt::blue);                             // the pane's picture when the drag began
  EXPECT_FALSE(LiveImageFilter(&pane)->hasDrawn());  // nothing drawn before a move
  CFilterWindowLevel::Event(CFilter::kButtonDown, MK_RBUTTON, {100, 100});
  // Level up by 2000: the left half of the ramp turns black.
  CFilterWindowLevel::Event(CFilter::kMouseMove, MK_RBUTTON, {500, 100});
  ASSERT_TRUE(LiveImageFilter(&pane)->hasDrawn());
  LiveImageFilter(&pane)->PaintLive(canvas);
  EXPECT_EQ(canvas.pixel(100, 250), qRgb(0, 0, 0));
  EXPECT_NE(canvas.pixel(480, 250), qRgb(0, 0, 0));
  // Window and level repaints only the image; the rest of the pane stays as it was.
  EXPECT_EQ(canvas.pixel(10, 10), qRgb(0, 0, 255));
  // The text box: white cells ending 10 pixels inside the image's bottom-right corner.
  const QRect shown = image.displayRect();
  EXPECT_EQ(canvas.pixel(shown.right() - 10, shown.bottom() - 10), qRgb(255, 255, 255));
  RecordingPane other;
  EXPECT_EQ(LiveImageFilter(&other), nullptr);
  CFilterWindowLevel::Event(CFilter::kButtonUp, MK_RBUTTON, {500, 100});

  // A zoom moves the image: black wherever the image is not.
  ASSERT_TRUE(CFilterZoom::Start(&pane, &image));
  CFilterZoom::Event(CFilter::kButtonDown, MK_LBUTTON, {100, 100});
  CFilterZoom::Event(CFilter::kMouseMove, MK_LBUTTON, {100, 101});
  canvas.fill(Qt::blue);
  LiveImageFilter(&pane)->PaintLive(canvas);
  EXPECT_EQ(canvas.pixel(10, 10), qRgb(0, 0, 0));
}

// The "W: L:" text keeps its place 10 pixels inside the displayed image's bottom-right corner
// where that lies in the pane, and is moved inside the pane's border where the image reaches
// beyond it (zoomed in, or panned away): in the pane sizes of 1 x 1 and 2 x 2.
TEST_F(Filters, WindowLevelTextLiesWhollyInsideThePane) {
  const QFontMetrics metrics(QGuiApplication::font());
  const QString text = QStringLiteral("W: 40950,  L: -20480");
  for (const QRect client : {QRect(0, 0, 1918, 1000), QRect(0, 0, 958, 499)}) {
    const struct {
      const char* what;
      QRect shown;
      bool kept;
    } cases[] = {
        {"fitted", client.adjusted(1, 1, -1, -1), true},
        {"zoomed in", QRect(-1000, -800, 4000, 3000), false},
        {"panned up and left", QRect(-3000, -3000, 3010, 3010), false},
        {"panned down and right", QRect(client.width() - 10, client.height() - 10, 2000, 2000),
         false},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << client.width() << " " << c.what);
      const QRect cell = CFilterWindowLevel::TextCell(metrics, text, c.shown, client);
      EXPECT_TRUE(client.adjusted(1, 1, -1, -1).contains(OutlinedExtent(cell)));
      const QRect placed =
          TextCell(metrics, c.shown.x() + c.shown.width() - 10, c.shown.y() + c.shown.height() - 10,
                   text, TA_RIGHT | TA_BOTTOM);
      EXPECT_EQ(cell == placed, c.kept);
    }
  }
  // On the painted picture of a zoomed-in drag: the white text box is whole inside the pane.
  MakeRamp(image, pane, 256, 256, 12, 0, 4095);
  image.SetZoom(0.1f);  // 2560 pixels wide around the pane's centre
  ASSERT_TRUE(CFilterWindowLevel::Start(&pane, &image));
  CFilterWindowLevel::Event(CFilter::kButtonDown, MK_RBUTTON, {100, 100});
  CFilterWindowLevel::Event(CFilter::kMouseMove, MK_RBUTTON, {110, 100});
  QImage canvas(500, 500, QImage::Format_RGB32);
  canvas.fill(Qt::blue);
  LiveImageFilter(&pane)->PaintLive(canvas);
  QRect white;
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      if (canvas.pixel(x, y) == qRgb(255, 255, 255)) white |= QRect(x, y, 1, 1);
    }
  }
  ASSERT_FALSE(white.isEmpty()) << "no text box painted in the pane";
  EXPECT_TRUE(QRect(1, 1, 498, 498).contains(white));
  EXPECT_GE(white.height(), metrics.height());
}

// The zoom's percentage beside the mouse stays in the pane near every edge, and keeps its
// place beside the mouse in the middle.
TEST_F(Filters, ZoomTextLiesWhollyInsideThePane) {
  const QFontMetrics metrics(QGuiApplication::font());
  const QString text = QStringLiteral("200.0%");
  const QRect client(0, 0, 500, 500);
  const QSize size(metrics.horizontalAdvance(text), metrics.height());
  for (const QPoint mouse : {QPoint(2, 250), QPoint(498, 250), QPoint(250, 1), QPoint(250, 499),
                             QPoint(0, 0), QPoint(250, 250)}) {
    SCOPED_TRACE(testing::Message() << mouse.x() << "," << mouse.y());
    const QRect box = CFilterZoom::TextBox(metrics, text, mouse, client);
    const QRect cell(box.x() + (box.width() - size.width()) / 2,
                     box.y() + (box.height() - size.height()) / 2, size.width(), size.height());
    EXPECT_TRUE(client.adjusted(1, 1, -1, -1).contains(cell.adjusted(0, 0, 3, 2)));
    if (mouse == QPoint(250, 250)) {
      EXPECT_EQ(box, QRect(QPoint(125, 240), QPoint(325, 260)));
    }
  }
}

// ---- magnifying glass

class Glass : public Filters {
 protected:
  void SetUp() override { MakeRamp(image, pane, 1000, 1000, 12, 0, 4095); }
  void press(const QPoint& at, unsigned flags = MK_LBUTTON) {
    ASSERT_TRUE(CFilterGlass::Start(&pane, &image));
    CFilterGlass::Event(CFilter::kButtonDown, flags, at);
  }
  CFilterGlass::Settings& settings() { return CFilterGlass::settings(); }
};

TEST_F(Glass, ShiftResizesWithinFiftyAndTwoHundred) {
  press({250, 250});
  QPoint at(250, 250);
  for (int i = 0; i < 20; ++i) {
    at += QPoint(1, 1);
    CFilterGlass::Event(CFilter::kMouseMove, MK_LBUTTON | MK_SHIFT, at);
  }
  EXPECT_EQ(settings().halfWidth, 200);
  EXPECT_EQ(settings().halfHeight, 200);
  // Diagonals against each other leave the size.
  CFilterGlass::Event(CFilter::kMouseMove, MK_LBUTTON | MK_SHIFT, at + QPoint(-1, 1));
  EXPECT_EQ(settings().halfWidth, 200);
  for (int i = 0; i < 20; ++i) {
    at -= QPoint(1, 1);
    CFilterGlass::Event(CFilter::kMouseMove, MK_LBUTTON | MK_SHIFT, at);
  }
  EXPECT_EQ(settings().halfWidth, 50);
  // The sampled half-extent follows: 50 screen pixels at image factor 2 and glass factor 2.
  EXPECT_EQ(settings().sampleHalfWidth, 50);
}

TEST_F(Glass, CtrlChangesTheFactorWithinItsLimitsAndSidewaysLowersIt) {
  press({250, 250});
  CFilterGlass::Event(CFilter::kMouseMove, MK_LBUTTON | MK_CONTROL, {260, 250});
  EXPECT_FLOAT_EQ(settings().factor, 2.0f - 0.08f);
  for (int y = 251; y < 500; ++y) {
    CFilterGlass::Event(CFilter::kMouseMove, MK_LBUTTON | MK_CONTROL, {250, y});
  }
  EXPECT_FLOAT_EQ(settings().factor, 10.0f);
  for (int y = 499; y > 300; --y) {
    CFilterGlass::Event(CFilter::kMouseMove, MK_LBUTTON | MK_CONTROL, {250, y});
  }
  EXPECT_FLOAT_EQ(settings().factor, 0.1f);
}

TEST_F(Glass, APlainMoveAfterAnAdjustmentPutsTheCursorBackOnTheAnchor) {
  press({250, 250});
  EXPECT_EQ(CFilterGlass::Live()->anchor(), QPoint(250, 250));
  CFilterGlass::Event(CFilter::kMouseMove, MK_LBUTTON | MK_SHIFT, {260, 260});
  CFilterGlass::Event(CFilter::kMouseMove, MK_LBUTTON | MK_CONTROL, {270, 270});
  // The adjusted glass stays centred on the anchor.
  EXPECT_EQ(Centre(CFilterGlass::Live()->glassRect()), QPoint(250, 250));
  EXPECT_EQ(pane.cursorMoves, 0);
  CFilterGlass::Event(CFilter::kMouseMove, MK_LBUTTON, {280, 280});
  EXPECT_EQ(pane.cursorMoves, 1);
  EXPECT_EQ(pane.cursor, QPoint(250, 250));
  EXPECT_EQ(CFilterGlass::Live()->anchor(), QPoint(250, 250));
  // The next plain move makes its point the anchor.
  CFilterGlass::Event(CFilter::kMouseMove, MK_LBUTTON, {300, 300});
  EXPECT_EQ(CFilterGlass::Live()->anchor(), QPoint(300, 300));
  EXPECT_EQ(pane.cursorMoves, 1);
}

TEST_F(Glass, IsPushedInsideTheDisplayedImageAndSamplesInsideTheImage) {
  const QRect shown = image.displayRect();  // the whole pane, factor 2
  press({shown.x() + 5, shown.y() + 5});
  const QRect glass = CFilterGlass::Live()->glassRect();
  EXPECT_EQ(glass, QRect(shown.x(), shown.y(), 240, 240));
  EXPECT_EQ(settings().lastRect, glass);
  const QRect sampled = CFilterGlass::Live()->sampledRegion();
  EXPECT_EQ(sampled.topLeft(), QPoint(0, 0));
  CFilterGlass::Event(CFilter::kMouseMove, MK_LBUTTON, {2000, 2000});
  const QRect corner = CFilterGlass::Live()->glassRect();
  EXPECT_EQ(corner.x() + corner.width(), shown.x() + shown.width());
  EXPECT_EQ(corner.y() + corner.height(), shown.y() + shown.height());
  const QRect last = CFilterGlass::Live()->sampledRegion();
  EXPECT_LE(last.x() + last.width(), 1000);
  EXPECT_GE(last.x() + last.width(), 1000 - 3);
  // The glass shows the ramp enlarged: its left edge darker than its right.
  QImage canvas(500, 500, QImage::Format_RGB32);
  canvas.fill(Qt::blue);
  QPainter painter(&canvas);
  CFilterGlass::Live()->PaintGlass(painter);
  EXPECT_EQ(canvas.pixel(corner.x(), corner.y() + 5), qRgb(255, 255, 255));  // the frame
  EXPECT_LT(qRed(canvas.pixel(corner.x() + 2, corner.y() + 50)),
            qRed(canvas.pixel(corner.right() - 2, corner.y() + 50)));
  // Only the old and new glass areas are repainted during the drag.
  EXPECT_TRUE(pane.repainted.contains(glass));
  EXPECT_TRUE(pane.repainted.contains(corner));
  EXPECT_EQ(pane.fullRepaints, 0);
  CFilterGlass::Event(CFilter::kButtonUp, MK_LBUTTON, {2000, 2000});
  EXPECT_EQ(CFilterGlass::Live(), nullptr);
  EXPECT_EQ(pane.fullRepaints, 1);
}

TEST_F(Glass, LargerThanTheDisplayedImageIgnoresEveryEventTheReleaseIncluded) {
  CBaseImage small;
  MakeRamp(small, pane, 100, 100, 12, 0, 4095);  // fitted: 500 pixels, glass 240 fits
  small.SetZoom(2.0f);                           // now 50 pixels on screen
  ASSERT_TRUE(CFilterGlass::Start(&pane, &small));
  CFilterGlass::Event(CFilter::kButtonDown, MK_LBUTTON, {250, 250});
  EXPECT_FALSE(CFilterGlass::Live()->hasDrawn());
  CFilterGlass::Event(CFilter::kButtonUp, MK_LBUTTON, {250, 250});
  EXPECT_NE(CFilterGlass::Live(), nullptr);
  EXPECT_EQ(pane.fullRepaints, 0);
}

}  // namespace
