// Where the strip puts its thumbnail windows, row and grid.
#include <gtest/gtest.h>

#include "browser/StripGeometry.h"

namespace {

TEST(StripGeometry, RowWindowCounts) {
  struct Case {
    int stripWidth, side;
    int first, afterResize;
  };
  const Case cases[] = {
      {1000, 90, 9, 9},    // (1000 - 55) / 95 and (1000 - 56) / 95
      {1005, 90, 10, 9},   // the first layout leaves one pixel less at the ends
      {150, 90, 1, 0},     //
      {100, 90, 0, 0},     // no room for one
      {10, 90, 0, 0},      // narrower than the buttons: none, not a negative count
      {5000, 90, 36, 36},  // never more than 36
      {1000, 0, 0, 0},     // no thumbnail size, no window
  };
  for (const Case& c : cases) {
    EXPECT_EQ(strip::FirstRowCount(c.stripWidth, c.side), c.first) << c.stripWidth << "/" << c.side;
    EXPECT_EQ(strip::RowCount(c.stripWidth, c.side), c.afterResize)
        << c.stripWidth << "/" << c.side;
  }
}

TEST(StripGeometry, RowWindowsStartAfterTheLeftButtonAndAreCentredVertically) {
  EXPECT_EQ(strip::RowWindowRect(0, 9, 100, 90, 90), QRect(32, 5, 90, 90));
  EXPECT_EQ(strip::RowWindowRect(8, 9, 100, 90, 90), QRect(32 + 8 * 95, 5, 90, 90));
  EXPECT_EQ(strip::RowWindowRect(1, 10, 120, 80, 60), QRect(33 + 85, 30, 80, 60));
}

TEST(StripGeometry, GridCellsRunRowByRowEachShrunkByFive) {
  // Cells of (1246 - 46) / 6 = 200 by 600 / 6 = 100 from (23, 0).
  const QList<QRect> rects = strip::GridWindowRects(QSize(1246, 600), 6, 6);
  ASSERT_EQ(rects.size(), 36);
  EXPECT_EQ(rects[0], QRect(28, 5, 190, 90));
  EXPECT_EQ(rects[5], QRect(1028, 5, 190, 90));
  EXPECT_EQ(rects[6], QRect(28, 105, 190, 90));
  EXPECT_EQ(rects[35], QRect(1028, 505, 190, 90));
}

TEST(StripGeometry, GridNeverHoldsMoreThanThirtySixWindows) {
  EXPECT_EQ(strip::GridWindowRects(QSize(1246, 600), 7, 7).size(), 36);
  EXPECT_EQ(strip::GridWindowRects(QSize(1246, 600), 2, 3).size(), 6);
  EXPECT_TRUE(strip::GridWindowRects(QSize(1246, 600), 0, 6).isEmpty());
}

}  // namespace
