// Rotating through the key, the tool bar and the menu shows the turned picture at once: what
// reaches the screen (the window's backing store) is the pane's new picture, with nothing else
// having repainted it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <cstdint>
#include <functional>
#include <vector>

#include "display/widgets/ImgDisp.h"
#include "frame/Commands.h"
#include "frame/widgets/MainFrame.h"
#include "view/widgets/ToraScanView.h"

namespace {

// A wide dark image with a bright block in its top-left corner: every quarter turn moves the
// block to another corner of the pane.
std::vector<std::uint16_t> cornerImage(int width, int height) {
  std::vector<std::uint16_t> pixels(std::size_t(width) * height, 200);
  for (int y = 0; y < height / 3; ++y) {
    for (int x = 0; x < width / 4; ++x) pixels[std::size_t(y) * width + x] = 4000;
  }
  return pixels;
}

class RotateRepaint : public ::testing::Test {
 protected:
  void SetUp() override {
    frame.resize(640, 480);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    frame.HandOverRawImage(cornerImage(300, 200), 300, 200, 12, 4096, 2048);
    pane = frame.view()->ActivePane();
    ASSERT_NE(pane, nullptr);
    settle();
  }
  // Lets every pending paint reach the screen.
  static void settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }
  // What the screen shows of the pane.
  QImage onScreen() const {
    const QPoint at = pane->mapTo(&frame, QPoint(0, 0));
    return frame.screen()
        ->grabWindow(frame.winId(), at.x(), at.y(), pane->width(), pane->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }
  // What the pane paints for its current state.
  QImage painted() const { return pane->grab().toImage().convertToFormat(QImage::Format_RGB32); }

  CMainFrame frame;
  CImgDisp* pane = nullptr;
};

TEST_F(RotateRepaint, KeyToolBarAndMenuShowTheTurnedPictureAtOnce) {
  QToolButton* left = qobject_cast<QToolButton*>(
      frame.toolBar()->widgetForAction(frame.action(command::RotateLeft)));
  QToolButton* right = qobject_cast<QToolButton*>(
      frame.toolBar()->widgetForAction(frame.action(command::RotateRight)));
  ASSERT_NE(left, nullptr);
  ASSERT_NE(right, nullptr);
  const struct {
    const char* how;
    std::function<void()> turn;
  } ways[] = {
      {"key R", [&] { QTest::keyClick(&frame, Qt::Key_R); }},
      {"key L", [&] { QTest::keyClick(&frame, Qt::Key_L); }},
      {"tool bar Rotate R", [&] { QTest::mouseClick(right, Qt::LeftButton); }},
      {"tool bar Rotate L", [&] { QTest::mouseClick(left, Qt::LeftButton); }},
      {"menu Rotate R", [&] { frame.action(command::RotateRight)->trigger(); }},
      {"menu Rotate L", [&] { frame.action(command::RotateLeft)->trigger(); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.how);
    const QImage before = onScreen();
    ASSERT_TRUE(before == painted()) << "the screen is up to date before the turn";
    const int widthBefore = frame.openImages().at(0)->width;
    way.turn();
    settle();
    EXPECT_NE(frame.openImages().at(0)->width, widthBefore) << "the image turned";
    const QImage after = onScreen();
    EXPECT_TRUE(after != before) << "the screen still shows the picture from before the turn";
    EXPECT_TRUE(after == painted());
  }
}

}  // namespace
