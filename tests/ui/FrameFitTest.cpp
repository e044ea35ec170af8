// The main window's frame, title bar included, stays inside the screen's available area.
#include "ui/FrameFit.h"

#include <gtest/gtest.h>

TEST(FrameFit, TheFrameLiesInsideTheAvailableAreaAndTheClientShrinksOnlyWhereItMust) {
  const QRect available(0, 0, 1920, 1050);  // a panel takes the bottom 30 rows
  const QMargins frame(1, 24, 1, 1);        // a title bar and thin borders
  const struct {
    const char* what;
    QPoint position;
    QSize client;
    QPoint framePosition;
    QSize clientSize;
  } cases[] = {
      {"the screen's size", {0, 0}, {1920, 1050}, {0, 0}, {1918, 1025}},
      {"smaller: kept", {100, 50}, {1280, 900}, {100, 50}, {1280, 900}},
      {"sticks out below: moved up", {0, 400}, {1280, 900}, {0, 125}, {1280, 900}},
      {"left of the screen: moved in", {-50, -10}, {800, 600}, {0, 0}, {800, 600}},
      {"larger than the screen", {300, 300}, {4000, 3000}, {0, 0}, {1918, 1025}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const FrameFit fit = FitFrameInto(c.position, c.client, frame, available);
    EXPECT_EQ(fit.framePosition, c.framePosition);
    EXPECT_EQ(fit.clientSize, c.clientSize);
    const QRect outer(fit.framePosition, fit.clientSize.grownBy(frame));
    EXPECT_TRUE(available.contains(outer));
  }
  // A screen whose available area does not start at the origin (a panel on top).
  const FrameFit top = FitFrameInto({0, 0}, {1920, 1080}, frame, QRect(0, 28, 1920, 1052));
  EXPECT_EQ(top.framePosition, QPoint(0, 28));
  EXPECT_EQ(top.clientSize, QSize(1918, 1027));
}
