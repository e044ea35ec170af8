#include "display/widgets/DlgMultiFrame.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "display/CineSpeed.h"
#include "display/PaneTestSupport.h"
#include "display/widgets/ImgDisp.h"
#include "support/DicomBuilder.h"
#include "view/widgets/ToraScanView.h"

using panetest::FakePaneHost;
using panetest::makeImage;

namespace {

TEST(CineSpeed, NearestListedSpeedForTheFrameTime) {
  const std::pair<double, float> cases[] = {
      {33, 30.0f},                  // 30.3 per second: beyond the table
      {100, 10.0f},                 // exactly listed
      {300, 4.0f},                  // 3.33 is nearer to 4 than to 2
      {400, 2.0f},                  // 2.5 is nearer to 2
      {80, 10.0f},                  // 12.5 lies half-way: the lower speed
      {40, 25.0f},  {10000, 0.2f},  // slower than the table
      {0, 30.0f},                   // no frame time: as fast as listed
      {-5, 30.0f},
  };
  for (const auto& [frameTime, speed] : cases) {
    const int index = cine::SpeedIndexForFrameTime(frameTime);
    EXPECT_EQ(cine::kSpeeds[static_cast<std::size_t>(index)], speed) << frameTime;
  }
}

TEST(CineSpeed, StepsStayInsideTheTableAndShowOneDecimal) {
  EXPECT_EQ(cine::Slower(0), 0);
  EXPECT_EQ(cine::Faster(cine::kLastSpeedIndex), cine::kLastSpeedIndex);
  EXPECT_EQ(cine::Slower(5), 4);
  EXPECT_EQ(cine::Faster(5), 6);
  EXPECT_EQ(cine::SpeedText(0), "0.2");
  EXPECT_EQ(cine::SpeedText(cine::kInitialSpeedIndex), "4.0");
  EXPECT_EQ(cine::SpeedText(9), "30.0");
  EXPECT_EQ(cine::IntervalMs(30.0), 33);
  // The table holds single-precision speeds: 0.2f is a little above 0.2.
  EXPECT_EQ(cine::IntervalMs(0.2f), 4999);
}

// Two panes (1 x 2) each showing a three-frame image of 40 ms per frame, and a single-frame
// image after them.
class CineBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    for (int i = 0; i < 2; ++i) {
      auto record = panetest::makeThreeFrameImage(dir.filePath(QStringLiteral("frames.dcm")),
                                                  DCM_FrameTime, "40");
      ASSERT_NE(record, nullptr);
      host.images.append(std::move(record));
    }
    host.images.append(makeImage(4095));
    view.resize(600, 400);
    view.show();
    view.SetLayout(1);
    view.ShowImage(0);
    ASSERT_EQ(view.shownImage(1), 1);
  }
  CImgDisp& pane(int position) { return *view.pane(1, position); }
  CDlgMultiFrame& bar(int position) { return *pane(position).cineBar(); }
  int frame(int index) { return host.images.at(index)->currentFrame; }

  QTemporaryDir dir;
  FakePaneHost host;
  CtoraScanView view{&host};
};

TEST_F(CineBarTest, BarSitsCentredSixteenPixelsAboveThePaneBottomAndFollowsThePane) {
  CDlgMultiFrame* cine = pane(0).cineBar();
  ASSERT_NE(cine, nullptr);
  EXPECT_TRUE(cine->isVisible());
  EXPECT_EQ(cine->size(), QSize(240, 24));
  const auto expected = [&](const CImgDisp& p) {
    return QRect((p.width() - 240) / 2, p.height() - 16 - 24, 240, 24);
  };
  EXPECT_EQ(cine->geometry(), expected(pane(0)));
  const int ids[] = {CDlgMultiFrame::kPlay,  CDlgMultiFrame::kPause, CDlgMultiFrame::kStop,
                     CDlgMultiFrame::kPrev,  CDlgMultiFrame::kNext,  CDlgMultiFrame::kSlow,
                     CDlgMultiFrame::kSpeed, CDlgMultiFrame::kFast};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(cine->button(ids[i])->geometry(), QRect(30 * i, 0, 30, 24)) << ids[i];
  }
  // 40 ms per frame is 25 frames per second.
  EXPECT_EQ(cine->button(CDlgMultiFrame::kSpeed)->text(), "25.0");
  EXPECT_EQ(pane(0).cineInterval(), 40);

  view.resize(800, 700);
  EXPECT_EQ(cine->geometry(), expected(pane(0)));
  view.SetLayout(0);  // the pane of the 1 x 2 layout is hidden, and its bar with it
  EXPECT_FALSE(cine->isVisible());
}

TEST_F(CineBarTest, SlowAndFastStopAtTheEndsOfTheTable) {
  CDlgMultiFrame& cine = bar(0);
  for (int i = 0; i < 12; ++i) cine.OnCommand(CDlgMultiFrame::kFast);
  EXPECT_EQ(cine.button(CDlgMultiFrame::kSpeed)->text(), "30.0");
  EXPECT_EQ(pane(0).cineInterval(), 33);
  for (int i = 0; i < 12; ++i) cine.OnCommand(CDlgMultiFrame::kSlow);
  EXPECT_EQ(cine.button(CDlgMultiFrame::kSpeed)->text(), "0.2");
  EXPECT_EQ(pane(0).cineInterval(), 4999);
  cine.OnCommand(CDlgMultiFrame::kFast);
  EXPECT_EQ(cine.button(CDlgMultiFrame::kSpeed)->text(), "0.5");
  EXPECT_EQ(pane(0).cineInterval(), 2000);
}

TEST_F(CineBarTest, ButtonsDriveThePaneAndShowThePlayState) {
  CDlgMultiFrame& cine = bar(0);
  QToolButton* play = cine.button(CDlgMultiFrame::kPlay);
  QToolButton* pause = cine.button(CDlgMultiFrame::kPause);
  QTest::mouseClick(cine.button(CDlgMultiFrame::kNext), Qt::LeftButton);
  EXPECT_EQ(frame(0), 1);
  QTest::mouseClick(cine.button(CDlgMultiFrame::kPrev), Qt::LeftButton);
  QTest::mouseClick(cine.button(CDlgMultiFrame::kPrev), Qt::LeftButton);  // wraps to the last
  EXPECT_EQ(frame(0), 2);

  QTest::mouseClick(play, Qt::LeftButton);  // on the last frame: from the first again
  EXPECT_TRUE(pane(0).cinePlaying());
  EXPECT_EQ(frame(0), 0);
  EXPECT_TRUE(play->isChecked());
  QTest::mouseClick(play, Qt::LeftButton);  // a second click keeps playing and pressed
  EXPECT_TRUE(play->isChecked());
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame(0) == 2; }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame(0) == 0; }, 5000));  // wrapped

  // A speed change while playing starts again from the first frame.
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame(0) == 1; }, 5000));
  QTest::mouseClick(cine.button(CDlgMultiFrame::kSlow), Qt::LeftButton);
  EXPECT_EQ(frame(0), 0);
  EXPECT_TRUE(pane(0).cinePlaying());
  EXPECT_EQ(pane(0).cineInterval(), 50);  // 20 frames per second

  QTest::mouseClick(pause, Qt::LeftButton);
  EXPECT_FALSE(pane(0).cinePlaying());
  EXPECT_FALSE(play->isChecked());
  EXPECT_TRUE(pause->isChecked());
  QTest::mouseClick(cine.button(CDlgMultiFrame::kNext), Qt::LeftButton);
  QTest::mouseClick(cine.button(CDlgMultiFrame::kStop), Qt::LeftButton);
  EXPECT_EQ(frame(0), 0);
  EXPECT_FALSE(play->isChecked());
  EXPECT_FALSE(pause->isChecked());
  // The speed shows the speed and does nothing.
  EXPECT_FALSE(cine.OnCommand(CDlgMultiFrame::kSpeed));
}

TEST_F(CineBarTest, BarOfAnInactivePaneIsIgnoredUntilAClickActivatesItsPane) {
  ASSERT_TRUE(pane(0).isActive());
  CDlgMultiFrame& other = bar(1);
  EXPECT_FALSE(other.OnCommand(CDlgMultiFrame::kNext));
  EXPECT_FALSE(other.OnCommand(CDlgMultiFrame::kPlay));
  EXPECT_FALSE(other.OnCommand(CDlgMultiFrame::kFast));
  EXPECT_EQ(frame(1), 0);
  EXPECT_FALSE(pane(1).cinePlaying());
  EXPECT_FALSE(other.button(CDlgMultiFrame::kPlay)->isChecked());
  EXPECT_EQ(other.button(CDlgMultiFrame::kSpeed)->text(), "25.0");

  // A real click reaches the view first, which activates the pane under it.
  QTest::mouseClick(other.button(CDlgMultiFrame::kNext), Qt::LeftButton);
  EXPECT_TRUE(pane(1).isActive());
  EXPECT_FALSE(pane(0).isActive());
  EXPECT_EQ(frame(1), 1);
  EXPECT_EQ(frame(0), 0);
}

TEST_F(CineBarTest, SingleFrameImageHidesTheBarAndStopsTheTimer) {
  bar(0).OnCommand(CDlgMultiFrame::kPlay);
  ASSERT_TRUE(pane(0).cinePlaying());
  view.NextPage();  // pane 0 now shows the single-frame image
  ASSERT_EQ(view.shownImage(0), 2);
  EXPECT_FALSE(pane(0).cinePlaying());
  EXPECT_FALSE(bar(0).isVisible());
  // Back on the multi-frame image the same bar returns with the speed it had.
  bar(0).SetSpeedIndex(2);
  view.PrevPage();
  EXPECT_TRUE(bar(0).isVisible());
  EXPECT_EQ(bar(0).button(CDlgMultiFrame::kSpeed)->text(), "1.0");
}

// Collects the regions a widget is asked to repaint.
class PaintRegions : public QObject {
 public:
  QRegion painted;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
    return false;
  }
};

TEST_F(CineBarTest, FrameStepRepaintsTheImageAndTheFrameNumber) {
  CImgDisp& p = pane(0);
  QApplication::processEvents();
  PaintRegions regions;
  p.installEventFilter(&regions);
  p.CineNext();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !regions.painted.isEmpty(); }, 2000));
  const QRect image = host.images.at(0)->image.displayRect() & p.rect();
  const QRect frameNumber(p.width() - 70, 50, 30, 15);
  ASSERT_FALSE(image.intersects(frameNumber));
  EXPECT_TRUE(regions.painted.contains(image));
  EXPECT_TRUE(regions.painted.contains(frameNumber));
  // Only those: the corners with the patient lines stay as they are.
  EXPECT_FALSE(regions.painted.contains(QPoint(10, 10)));
}

// The main cine file of the test data: 96 frames of 512 x 512, 33 ms each.
TEST(CineRealFile, MultiFrameFilePlaysInAPane) {
  const QString path = QStringLiteral(TORASCAN_TESTDATA_DIR "/dicom/xa_96f_512_jpeg_ft33.dcm");
  if (!QFileInfo::exists(path)) GTEST_SKIP() << "test data not present";
  FakePaneHost host;
  auto record = std::make_unique<CImageEach>();
  ASSERT_EQ(record->OpenDicom(path, 0, 1), 0);
  ASSERT_EQ(record->frames().size(), 96u);
  record->loaded = true;
  host.images.append(std::move(record));
  CtoraScanView view{&host};
  view.resize(600, 600);
  view.show();
  view.ShowImage(0);
  CImgDisp& pane = *view.pane(0, 0);
  CImageEach& shown = *host.images.at(0);
  ASSERT_NE(pane.cineBar(), nullptr);
  EXPECT_EQ(pane.cineBar()->button(CDlgMultiFrame::kSpeed)->text(), "30.0");
  EXPECT_EQ(pane.cineInterval(), 33);

  const auto centre = [&] { return pane.grab().toImage().copy(200, 200, 200, 200); };
  const QImage first = centre();
  pane.CineNext();
  pane.CineNext();
  EXPECT_EQ(shown.currentFrame, 2);
  EXPECT_NE(centre(), first);  // the picture follows the frame
  pane.CinePrev();
  pane.CinePrev();
  pane.CinePrev();
  EXPECT_EQ(shown.currentFrame, 95);
  pane.CineNext();
  EXPECT_EQ(centre(), first);

  pane.CinePlay();
  ASSERT_TRUE(QTest::qWaitFor([&] { return shown.currentFrame >= 5; }, 5000));
  pane.CinePause();
  EXPECT_FALSE(pane.cinePlaying());
}

}  // namespace
