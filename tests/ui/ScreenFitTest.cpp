// Windows asked for at more than the screen's size are fitted into its available area when
// shown, the main window and the browser among them; a later resize by the operator stays.
#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <QWidget>

#include "ui/widgets/ScreenFit.h"

TEST(ScreenFit, AWindowLargerThanTheScreenIsFittedWhenShownAndALaterResizeStays) {
  QWidget window;
  new CScreenFit(&window);
  const QRect available = window.screen()->availableGeometry();
  window.move(available.topLeft() + QPoint(40, 30));
  window.resize(available.size() + QSize(300, 200));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_TRUE(available.contains(window.frameGeometry()));
  EXPECT_EQ(window.frameGeometry().size(), available.size());

  const QSize larger = available.size() + QSize(100, 100);
  window.resize(larger);
  QCoreApplication::processEvents();
  EXPECT_EQ(window.size(), larger);
}
