#include "view/widgets/ToraScanView.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include "app/AppSettings.h"
#include "display/PaneTestSupport.h"
#include "display/widgets/ImgDisp.h"
#include "frame/Commands.h"
#include "ui/MessageSink.h"

using panetest::centrePixel;
using panetest::FakePaneHost;
using panetest::makeImage;

namespace {

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view.resize(400, 400);
    view.show();
  }
  // Opens n images one after the other, as the main frame does: append, then show the new one.
  void openSeries(int n) {
    for (int i = 0; i < n; ++i) {
      host.images.append(makeImage(4095));
      view.ShowImage(host.images.count() - 1);
    }
  }
  std::vector<int> shownSlots() const {
    std::vector<int> shown;
    for (int p = 0; p < CtoraScanView::PanesIn(view.layout()); ++p) {
      shown.push_back(view.shownImage(p));
    }
    return shown;
  }
  int activePosition() const {
    const CImgDisp* active = view.ActivePane();
    return active != nullptr ? active->position() : -1;
  }

  FakePaneHost host;
  CtoraScanView view{&host};
};

TEST_F(ViewTest, SevenPanesWithTheirIdsAndPositions) {
  struct Case {
    int layout;
    int position;
    int id;
  };
  for (const Case& c : {Case{0, 0, 5001}, Case{1, 0, 5002}, Case{1, 1, 5003}, Case{3, 0, 5004},
                        Case{3, 1, 5005}, Case{3, 2, 5006}, Case{3, 3, 5007}}) {
    CImgDisp* pane = view.pane(c.layout, c.position);
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->controlId(), c.id);
    EXPECT_EQ(pane->position(), c.position);
    EXPECT_EQ(pane->isActive(), c.position == 0) << c.id;
    EXPECT_EQ(pane->isVisible(), c.layout == 0) << c.id;
  }
  EXPECT_EQ(view.pane(0, 1), nullptr);
  EXPECT_EQ(view.pane(2, 0), nullptr);
  EXPECT_EQ(view.layout(), 0);
  EXPECT_EQ(shownSlots(), std::vector<int>{-1});
}

TEST_F(ViewTest, PaneRectanglesFollowTheClientSize) {
  struct Case {
    int layout;
    int position;
    QRect rect;
  };
  // An odd size shows the integer halves.
  const QSize client(801, 601);
  const Case cases[] = {
      {0, 0, QRect(0, 0, 801, 601)},     {1, 0, QRect(0, 0, 400, 601)},
      {1, 1, QRect(400, 0, 400, 601)},   {3, 0, QRect(0, 0, 400, 300)},
      {3, 1, QRect(400, 0, 400, 300)},   {3, 2, QRect(0, 300, 400, 300)},
      {3, 3, QRect(400, 300, 400, 300)},
  };
  view.resize(client);
  for (const Case& c : cases) {
    EXPECT_EQ(CtoraScanView::PaneRect(c.layout, c.position, client), c.rect)
        << c.layout << "/" << c.position;
    EXPECT_EQ(view.pane(c.layout, c.position)->geometry(), c.rect) << c.layout << "/" << c.position;
  }
}

TEST_F(ViewTest, SeriesOpenedInOneByOneShowsTheFirstAndPagesToTheLast) {
  openSeries(5);
  EXPECT_EQ(view.shownImage(0), 0);
  EXPECT_EQ(view.ActiveImageIndex(), 0);
  for (int expected : {1, 2, 3, 4, 4}) {
    view.NextPage();
    EXPECT_EQ(view.shownImage(0), expected);
  }
  for (int expected : {3, 2, 1, 0, 0}) {
    view.PrevPage();
    EXPECT_EQ(view.shownImage(0), expected);
  }
}

TEST_F(ViewTest, TwoByTwoNextPageShowsTheRestAndEmptyPanesPaintBlack) {
  ASSERT_TRUE(view.SetLayout(3));
  openSeries(6);
  EXPECT_EQ(shownSlots(), (std::vector<int>{0, 1, 2, 3}));
  view.NextPage();
  EXPECT_EQ(view.pageStart(), 4);
  EXPECT_EQ(shownSlots(), (std::vector<int>{4, 5, 6, 7}));
  EXPECT_GE(centrePixel(*view.pane(3, 0)).value(), 250);
  EXPECT_GE(centrePixel(*view.pane(3, 1)).value(), 250);
  EXPECT_EQ(centrePixel(*view.pane(3, 2)), QColor(0, 0, 0));
  EXPECT_EQ(centrePixel(*view.pane(3, 3)), QColor(0, 0, 0));
  view.NextPage();  // the page start stops at the last image
  EXPECT_EQ(shownSlots(), (std::vector<int>{5, 6, 7, 8}));
  view.PrevPage();
  EXPECT_EQ(shownSlots(), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(ViewTest, PagingWithoutImagesDoesNothing) {
  view.NextPage();
  view.PrevPage();
  EXPECT_EQ(view.pageStart(), 0);
  EXPECT_EQ(shownSlots(), std::vector<int>{-1});
}

TEST_F(ViewTest, LayoutSwitchKeepsThePageStart) {
  view.SetLayout(3);
  openSeries(6);
  view.NextPage();
  ASSERT_TRUE(view.SetLayout(0));
  EXPECT_EQ(theAppSettings().currentLayout, 0);
  EXPECT_EQ(shownSlots(), std::vector<int>{4});
  EXPECT_TRUE(view.pane(0, 0)->isVisible());
  for (int p = 0; p < 4; ++p) EXPECT_FALSE(view.pane(3, p)->isVisible());
  EXPECT_GE(centrePixel(*view.pane(0, 0)).value(), 250);

  ASSERT_TRUE(view.SetLayout(1));
  EXPECT_EQ(theAppSettings().currentLayout, 1);
  EXPECT_EQ(shownSlots(), (std::vector<int>{4, 5}));
  EXPECT_FALSE(view.pane(0, 0)->isVisible());
}

// Near the start of the list a position whose index passes the pane count stays empty.
TEST_F(ViewTest, LayoutSwitchNearTheStartLeavesPositionsPastThePaneCountEmpty) {
  openSeries(6);
  view.NextPage();
  view.NextPage();
  ASSERT_EQ(view.pageStart(), 2);
  view.SetLayout(3);
  EXPECT_EQ(shownSlots(), (std::vector<int>{2, 3, 4, -1}));
}

TEST_F(ViewTest, OnlyTheThreeLayoutsAreAccepted) {
  view.SetLayout(1);
  for (int layout : {2, -1, 4}) {
    EXPECT_FALSE(view.SetLayout(layout));
    EXPECT_EQ(view.layout(), 1);
    EXPECT_EQ(theAppSettings().currentLayout, 1);
  }
}

TEST_F(ViewTest, ShowImageActivatesThePaneAlreadyShowingIt) {
  view.SetLayout(3);
  openSeries(3);  // 0 lands in the first empty position, 1 and 2 are already mapped
  EXPECT_EQ(shownSlots(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(activePosition(), 2);
  view.ShowImage(1);
  EXPECT_EQ(activePosition(), 1);
  EXPECT_EQ(view.ActiveImageIndex(), 1);
}

TEST_F(ViewTest, ShowImageOfAnUnmappedIndexStartsAgainFromTheFirstPage) {
  view.SetLayout(3);
  openSeries(5);
  // Every position was taken: the slots start again at 0 and no pane stays active.
  EXPECT_EQ(shownSlots(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(view.ActivePane(), nullptr);
  EXPECT_EQ(view.ActiveImageIndex(), -1);

  view.NextPage();
  ASSERT_EQ(view.pageStart(), 4);
  view.ShowImage(0);
  EXPECT_EQ(shownSlots(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(view.pageStart(), 0);
  view.NextPage();  // pages on from the first page, where the panes are now
  EXPECT_EQ(shownSlots(), (std::vector<int>{4, 5, 6, 7}));

  view.SetLayout(0);
  openSeries(1);  // the single pane of 1 x 1 stays active
  EXPECT_EQ(activePosition(), 0);
  EXPECT_EQ(shownSlots(), std::vector<int>{0});
}

TEST_F(ViewTest, ActivateAtFindsThePaneUnderThePoint) {
  view.SetLayout(3);
  struct Case {
    QPoint point;
    int position;
    int active;
  };
  for (const Case& c :
       {Case{QPoint(300, 300), 3, 3}, Case{QPoint(10, 250), 2, 2}, Case{QPoint(250, 10), 1, 1},
        Case{QPoint(-5, 10), -1, 1}, Case{QPoint(10, 400), -1, 1}, Case{QPoint(0, 0), 0, 0}}) {
    EXPECT_EQ(view.ActivateAt(c.point), c.position) << c.point.x() << "," << c.point.y();
    EXPECT_EQ(activePosition(), c.active);
    int activeCount = 0;
    for (int p = 0; p < 4; ++p) activeCount += view.pane(3, p)->isActive() ? 1 : 0;
    EXPECT_EQ(activeCount, 1);
  }
}

TEST_F(ViewTest, ActivePaneIsDrawnWithTheYellowFrame) {
  view.SetLayout(1);
  view.ActivatePane(1);
  const QColor yellow(255, 255, 0);
  EXPECT_EQ(view.pane(1, 1)->grab().toImage().pixelColor(3, 50), yellow);
  EXPECT_NE(view.pane(1, 0)->grab().toImage().pixelColor(3, 50), yellow);
  view.ActivatePane(7);  // no such position: nothing changes
  EXPECT_EQ(activePosition(), 1);
}

// Counts the Delete presses each pane receives, behind the view's own filter.
class DeleteCounter : public QObject {
 public:
  int count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
      ++count;
    }
    return false;
  }
};

TEST_F(ViewTest, DeleteKeyReachesEveryPaneOfEveryLayoutOnce) {
  std::vector<std::unique_ptr<DeleteCounter>> counters;
  std::vector<CImgDisp*> panes;
  for (int layout : {0, 1, 3}) {
    for (int p = 0; p < CtoraScanView::PanesIn(layout); ++p) {
      CImgDisp* pane = view.pane(layout, p);
      counters.push_back(std::make_unique<DeleteCounter>());
      pane->installEventFilter(counters.back().get());
      // Re-installed so that the view's filter runs first, as it does in the program.
      pane->removeEventFilter(&view);
      pane->installEventFilter(&view);
      panes.push_back(pane);
    }
  }
  ASSERT_EQ(panes.size(), 7u);
  auto expectEachOnce = [&](const char* where) {
    for (std::size_t i = 0; i < counters.size(); ++i) {
      EXPECT_EQ(counters[i]->count, 1) << where << " pane " << panes[i]->controlId();
      counters[i]->count = 0;
    }
  };
  QTest::keyClick(&view, Qt::Key_Delete);
  expectEachOnce("to the view");
  QTest::keyClick(view.pane(0, 0), Qt::Key_Delete);
  expectEachOnce("to the pane");
  QTest::keyClick(view.pane(0, 0), Qt::Key_A);
  for (const auto& counter : counters) EXPECT_EQ(counter->count, 0);
}

TEST_F(ViewTest, ReportNeedsAnImageAndUserCommandsAreSignalled) {
  RecordingMessageSink sink;
  ScopedMessageSink scoped(&sink);
  QSignalSpy report(&view, &CtoraScanView::reportRequested);
  QSignalSpy create(&view, &CtoraScanView::createUserRequested);
  QSignalSpy change(&view, &CtoraScanView::changeUserRequested);

  EXPECT_TRUE(view.OnViewCommand(command::Report));
  EXPECT_EQ(sink.texts(), QStringList{QStringLiteral("Please select an image")});
  EXPECT_EQ(report.count(), 0);

  openSeries(2);
  view.NextPage();
  EXPECT_TRUE(view.OnViewCommand(command::Report));
  ASSERT_EQ(report.count(), 1);
  EXPECT_EQ(report.at(0).at(0).toInt(), 1);

  EXPECT_TRUE(view.OnViewCommand(command::CreateUser));
  EXPECT_TRUE(view.OnViewCommand(command::ChangeUser));
  EXPECT_EQ(create.count(), 1);
  EXPECT_EQ(change.count(), 1);
  EXPECT_FALSE(view.OnViewCommand(command::Browser));
  EXPECT_EQ(sink.count(), 1);
}

TEST_F(ViewTest, InitialUpdatePostsTheBrowserOnlyWithoutAStoredPosition) {
  const int savedX = theAppSettings().windowX;
  struct Case {
    int windowX;
    int posted;
  };
  for (const Case& c : {Case{0, 1}, Case{120, 0}}) {
    theAppSettings().windowX = c.windowX;
    QSignalSpy posted(&view, &CtoraScanView::commandPosted);
    view.OnInitialUpdate();
    EXPECT_EQ(posted.count(), 0);  // posted, not sent
    QCoreApplication::processEvents();
    ASSERT_EQ(posted.count(), c.posted) << c.windowX;
    if (c.posted) {
      EXPECT_EQ(posted.at(0).at(0).toInt(), command::Browser);
    }
  }
  theAppSettings().windowX = savedX;
}

}  // namespace
