#include "display/ScaleRulers.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <vector>

#include "display/OutlinedText.h"
#include "display/OverlayText.h"

namespace {

using rulers::Orientation;

constexpr double kSpacing = 0.0143;  // cm per pixel (0.143 mm)

TEST(ScaleRulers, PixelsPerCentimetreAndLengthsInSinglePrecision) {
  EXPECT_NEAR(rulers::PixelsPerCm(kSpacing, 4.0f), 17.4825f, 1e-4);
  const rulers::Ruler ruler = rulers::Layout(Orientation::Vertical, QSize(500, 500), kSpacing, 4);
  const std::array<int, 10> lengths = {17, 34, 52, 69, 87, 104, 122, 139, 157, 174};
  EXPECT_EQ(ruler.lengths, lengths);
}

struct CountCase {
  int height;
  float zoom;
  int count;
  int bottom;
  int top;
  std::vector<int> marks;
};

TEST(ScaleRulers, LongestOfTenFiveThreeOrOneCentimetresThatFitsTheMiddle) {
  const CountCase cases[] = {
      {500, 4, 10, 337, 163, {320, 303, 285, 268, 250, 233, 215, 198, 180}},
      {500, 1, 3, 354, 145, {285, 215}},
      // Even 1 cm exceeds the limit of 30 pixels: it is drawn all the same.
      {100, 1, 1, 84, 15, {}},
      // 5 cm = 349 pixels fits a limit of 380; 10 cm does not.
      {800, 1, 5, 574, 225, {505, 435, 365, 295}},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.height << " zoom " << c.zoom);
    const rulers::Ruler ruler =
        rulers::Layout(Orientation::Vertical, QSize(500, c.height), kSpacing, c.zoom);
    EXPECT_EQ(ruler.count, c.count);
    EXPECT_EQ(ruler.farEnd, c.bottom);
    EXPECT_EQ(ruler.nearEnd, c.top);
    EXPECT_EQ(ruler.marks, c.marks);
    EXPECT_EQ(ruler.label, QStringLiteral("%1Cm").arg(c.count));
  }
}

TEST(ScaleRulers, NothingForSmallPanesOrMissingSpacing) {
  EXPECT_EQ(rulers::Layout(Orientation::Vertical, QSize(500, 10), kSpacing, 1).count, 0);
  EXPECT_EQ(rulers::Layout(Orientation::Vertical, QSize(10, 500), kSpacing, 1).count, 3);
  EXPECT_EQ(rulers::Layout(Orientation::Horizontal, QSize(10, 500), kSpacing, 1).count, 0);
  EXPECT_EQ(rulers::Layout(Orientation::Horizontal, QSize(11, 500), kSpacing, 1).count, 1);
  EXPECT_EQ(rulers::Layout(Orientation::Vertical, QSize(500, 500), 0, 1).count, 0);
  EXPECT_EQ(rulers::Layout(Orientation::Horizontal, QSize(500, 500), -0.01, 1).count, 0);
  EXPECT_EQ(rulers::Layout(Orientation::Vertical, QSize(500, 500), kSpacing, 0).count, 0);
}

TEST(ScaleRulers, ShadowsAndLinesInDrawingOrder) {
  // 3 cm in a 500 x 500 pane at zoom 1: from x = 145 (left) to 354 (right), marks 285 and 215.
  const rulers::Ruler h = rulers::Layout(Orientation::Horizontal, QSize(500, 500), kSpacing, 1);
  ASSERT_EQ(h.count, 3);
  const auto box = [](int l, int t, int r, int b) {
    return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
  };
  const std::vector<QRect> shadows = {box(144, 486, 147, 496), box(144, 493, 356, 496),
                                      box(353, 486, 356, 496), box(284, 489, 287, 496),
                                      box(214, 489, 217, 496)};
  EXPECT_EQ(h.shadows, shadows);
  ASSERT_EQ(h.lines.size(), 5u);
  // The main line paints from the right end to the left end, both included.
  EXPECT_EQ(h.lines[0].pixels(), QRect(QPoint(145, 494), QPoint(354, 494)));
  EXPECT_EQ(h.lines[1].pixels(), QRect(QPoint(354, 487), QPoint(354, 493)));  // right cap
  EXPECT_EQ(h.lines[2].pixels(), QRect(QPoint(285, 490), QPoint(285, 493)));  // marks
  EXPECT_EQ(h.lines[3].pixels(), QRect(QPoint(215, 490), QPoint(215, 493)));
  EXPECT_EQ(h.lines[4].pixels(), QRect(QPoint(145, 487), QPoint(145, 493)));  // left cap
  EXPECT_TRUE(h.label.isEmpty());

  const rulers::Ruler v = rulers::Layout(Orientation::Vertical, QSize(500, 500), kSpacing, 1);
  EXPECT_EQ(v.shadows.front(), box(486, 144, 496, 147));  // top cap first
  EXPECT_EQ(v.lines.front().pixels(), QRect(QPoint(494, 145), QPoint(494, 354)));
  EXPECT_EQ(v.lines.back().pixels(), QRect(QPoint(487, 145), QPoint(493, 145)));  // top cap
}

TEST(ScaleRulers, LabelFontGrowsWithTheDisplayedHeight) {
  const std::pair<int, int> cases[] = {{0, 20},   {39, 20},   {40, 20},   {45, 21},
                                       {270, 70}, {499, 119}, {500, 120}, {2000, 120}};
  for (const auto& [height, tenths] : cases) {
    EXPECT_EQ(rulers::LabelFontTenths(height), tenths) << height;
  }
}

}  // namespace

namespace {

// The label stands 4 pixels below the ruler where that is free, above it where the overlay's
// texts or the pane's edge are in the way, and inside the pane in any case.
TEST(ScaleRulers, LabelBelowTheRulerAboveItWhereTextIsInTheWayAndAlwaysInsideThePane) {
  const QFontMetrics metrics(overlay::PointFont(overlay::Face::Arials, 120));
  const QSize pane(500, 500);
  const rulers::Ruler ruler = rulers::Layout(Orientation::Vertical, pane, kSpacing, 4);
  const QRect below = TextCell(metrics, 494, ruler.farEnd + 4, ruler.label, TA_RIGHT);
  const QRect above = TextCell(metrics, 494, ruler.nearEnd - 4, ruler.label, TA_RIGHT | TA_BOTTOM);
  const QRect kvLine(400, 346, 70, 16);  // the top exposure line of a 2 x 2 pane
  const QRect seriesLine(400, 150, 60, 16);
  const struct {
    const char* what;
    std::vector<QRect> taken;
    QRect cell;
  } cases[] = {
      {"free", {}, below},
      {"a line of text under the ruler", {kvLine}, above},
      {"text both under and over it", {kvLine, seriesLine}, below},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(rulers::LabelCell(ruler, pane, metrics, c.taken), c.cell);
  }
  // A pane too low for the label under or over its 1 cm ruler: moved in from below.
  const QSize low(500, 40);
  const rulers::Ruler short1 = rulers::Layout(Orientation::Vertical, low, kSpacing, 1);
  ASSERT_EQ(short1.count, 1);
  const QRect cell = rulers::LabelCell(short1, low, metrics, {});
  EXPECT_TRUE(QRect(1, 1, 498, 38).contains(OutlinedExtent(cell)));
}

}  // namespace
