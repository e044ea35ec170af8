// The thumbnail strip in a browser stand-in: layouts, filling and scrolling, selection, the
// painted thumbnails, and drags onto other thumbnails and other windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <vector>

#include "BrowserTestSupport.h"
#include "app/AppSettings.h"
#include "browser/StripOwner.h"
#include "browser/widgets/DlgWndBrowser.h"
#include "browser/widgets/WndBrowserImg.h"
#include "display/DragPath.h"
#include "display/OutlinedText.h"
#include "display/widgets/ImageMoving.h"
#include "ui/MessageSink.h"
#include "ui/widgets/SkinControls.h"

using browsertest::writeFlat;

namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kLightGrey = qRgb(200, 200, 200);
const QRect kRowStrip(0, 300, 1000, 100);

class FakeOwner : public CStripOwner {
 public:
  struct Call {
    const char* operation;
    std::vector<long> arguments;
    bool operator==(const Call& other) const {
      return QByteArray(operation) == other.operation && arguments == other.arguments;
    }
  };

  int SelectedStudyCount() const override { return studies; }
  void MoveImageInSeries(long serSeq, long imageNo, long beforeImageNo) override {
    calls.push_back({"in series", {serSeq, imageNo, beforeImageNo}});
  }
  void MoveImageToSeries(long fromSerSeq, long imageNo, long toSerSeq,
                         long beforeImageNo) override {
    calls.push_back({"to series", {fromSerSeq, imageNo, toSerSeq, beforeImageNo}});
  }
  void ImageMenu(const CBrwsrImgElement& element, const QPoint&) override {
    calls.push_back({"menu", {element.imageInfo.SerSeq, element.imageInfo.ImageNo}});
  }

  int studies = 1;
  std::vector<Call> calls;
};

// A window that takes any dropped path, as a display pane does.
class DropRecorder : public QWidget {
 public:
  explicit DropRecorder(QWidget* parent) : QWidget(parent) { setAcceptDrops(true); }
  QString path;
  QStringList formats;
  Qt::DropActions possibleActions;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
  void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
  void dropEvent(QDropEvent* event) override {
    path = DroppedPath(*event->mimeData());
    formats = event->mimeData()->formats();
    possibleActions = event->possibleActions();
    event->acceptProposedAction();
  }
};

class Strip : public ::testing::Test {
 protected:
  void SetUp() override {
    browser.resize(1200, 400);
    strip = new CDlgWndBrowser(&browser);
    strip->InitStrip(kRowStrip, QRect(0, 0, 90, 90), &owner);
    browser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&browser));
  }

  // A record of a flat image file made for it (value 1000 shows as level 63).
  CDImgInfo image(long serSeq, long imageNo, std::uint16_t value = 1000, int frames = 1) {
    CDImgInfo info;
    info.FullPath =
        dir.filePath(QStringLiteral("%1_%2_%3.dcm").arg(serSeq).arg(imageNo).arg(++made));
    info.SerSeq = serSeq;
    info.SeriesNo = serSeq;
    info.ImageNo = imageNo;
    info.NumberOfFrames = frames;
    EXPECT_TRUE(writeFlat(info.FullPath, 32, 32, value, frames));
    return info;
  }
  QList<CDImgInfo> images(int count) {
    QList<CDImgInfo> list;
    for (int i = 0; i < count; ++i) list.append(image(1, i + 1));
    return list;
  }
  // Waits until every window that shows an element has its picture.
  void waitForPictures() {
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          for (int slot = 0; slot < strip->WindowCount(); ++slot) {
            const CWndBrowserImg* window = strip->Window(slot);
            if (window->Element() != nullptr && window->Picture().isNull()) return false;
          }
          return true;
        },
        20000));
  }
  QImage grab(int slot) {
    return strip->Window(slot)->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  // Mouse events as the window under a pressed button receives them (it holds the mouse).
  static void mouse(QWidget* window, QEvent::Type type, const QPoint& local,
                    Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(local), QPointF(window->mapToGlobal(local)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(window, &event);
  }
  // Presses on from, drags sideways and lets go over the centre of target.
  void dragOnto(QWidget* from, QWidget* target) {
    const QPoint start(45, 45);
    mouse(from, QEvent::MouseButtonPress, start, Qt::LeftButton);
    mouse(from, QEvent::MouseMove, start + QPoint(30, 0), Qt::LeftButton);
    const QPoint end = target->mapToGlobal(target->rect().center());
    mouse(from, QEvent::MouseMove, from->mapFromGlobal(end), Qt::LeftButton);
    QCursor::setPos(end);
    mouse(from, QEvent::MouseButtonRelease, from->mapFromGlobal(end), Qt::NoButton);
  }

  QTemporaryDir dir;
  int made = 0;
  RecordingMessageSink messages;
  ScopedMessageSink sink{&messages};
  FakeOwner owner;
  QWidget browser;
  CDlgWndBrowser* strip = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Layouts

TEST_F(Strip, FirstRowHasItsButtonsAtTheEndsAndNineWindowsBetween) {
  EXPECT_EQ(strip->geometry(), kRowStrip);
  EXPECT_EQ(strip->ScrollLeftButton()->geometry(), QRect(0, 0, 22, 100));
  EXPECT_EQ(strip->ScrollRightButton()->geometry(), QRect(978, 0, 22, 100));
  ASSERT_EQ(strip->WindowCount(), 9);
  for (int slot = 0; slot < 9; ++slot) {
    EXPECT_EQ(strip->Window(slot)->geometry(), strip::RowWindowRect(slot, 9, 100, 90, 90));
    EXPECT_EQ(strip->Window(slot)->objectName(), QStringLiteral("thumbnail%1").arg(65000 + slot));
  }
  EXPECT_EQ(strip->Window(9), nullptr);
  EXPECT_EQ(strip->ThumbnailSize(), 90);
}

TEST_F(Strip, GridFillsTheStripFromTheFirstImage) {
  strip->AddImages(images(40));
  strip->ScrollRight();
  strip->ScrollRight();
  strip->LayoutGrid(QRect(0, 0, 1246, 600), 6, 6);
  ASSERT_EQ(strip->WindowCount(), 36);
  EXPECT_EQ(strip->FirstIndex(), 0);
  EXPECT_EQ(strip->LoadedCount(), 36);
  const QList<QRect> cells = strip::GridWindowRects(QSize(1246, 600), 6, 6);
  for (int slot = 0; slot < 36; ++slot) {
    EXPECT_EQ(strip->Window(slot)->geometry(), cells[slot]) << slot;
    EXPECT_EQ(strip->Window(slot)->Element(), strip->Element(slot)) << slot;
  }
}

// Back from the grid the row keeps the windows that fit; a wider strip gets as many as it holds,
// each showing its image, and a resize of the strip alone does the same.
TEST_F(Strip, RowFollowsTheStripsWidth) {
  strip->AddImages(images(30));
  strip->LayoutGrid(QRect(0, 0, 1246, 600), 6, 6);
  strip->LayoutRow(kRowStrip);
  ASSERT_EQ(strip->WindowCount(), 9);
  EXPECT_EQ(strip->Window(9), nullptr);
  EXPECT_EQ(strip->Window(8)->geometry(), strip::RowWindowRect(8, 9, 100, 90, 90));
  strip->LayoutRow(QRect(0, 300, 2000, 100));
  ASSERT_EQ(strip->WindowCount(), 20);
  for (int slot = 0; slot < 20; ++slot) {
    ASSERT_NE(strip->Window(slot), nullptr) << slot;
    EXPECT_EQ(strip->Window(slot)->geometry(), strip::RowWindowRect(slot, 20, 100, 90, 90));
    EXPECT_EQ(strip->Window(slot)->Element(), strip->Element(slot)) << slot;
  }
  EXPECT_EQ(strip->LoadedCount(), 20);
  EXPECT_EQ(strip->ScrollRightButton()->geometry(), QRect(1978, 0, 22, 100));
  strip->resize(500, 100);
  EXPECT_EQ(strip->WindowCount(), 4);
  EXPECT_EQ(strip->Window(4), nullptr);
  EXPECT_EQ(strip->ScrollRightButton()->geometry(), QRect(478, 0, 22, 100));
}

// ---------------------------------------------------------------------------------------------
// Filling and scrolling

TEST_F(Strip, ScrollingStopsAtTheFirstAndTheLastImage) {
  struct Case {
    int images;
    int rights, lefts;
    int firstAfterRights, loadedAfterRights;
  };
  const Case cases[] = {{3, 5, 5, 2, 1}, {12, 20, 20, 11, 1}, {12, 2, 1, 2, 9}, {0, 1, 1, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.images);
    strip->ClearImages();
    strip->AddImages(images(c.images));
    for (int i = 0; i < c.rights; ++i) strip->ScrollRight();
    EXPECT_EQ(strip->FirstIndex(), c.firstAfterRights);
    EXPECT_EQ(strip->LoadedCount(), c.loadedAfterRights);
    if (c.images > 0) {
      EXPECT_EQ(strip->Window(0)->Element(), strip->Element(c.firstAfterRights));
    }
    for (int i = 0; i < c.lefts; ++i) strip->ScrollLeft();
    EXPECT_EQ(strip->FirstIndex(), std::max(0, c.firstAfterRights - c.lefts));
  }
}

TEST_F(Strip, ScrollButtonsScrollByOneImage) {
  strip->AddImages(images(12));
  QTest::mouseClick(strip->ScrollRightButton(), Qt::LeftButton);
  QTest::mouseClick(strip->ScrollRightButton(), Qt::LeftButton);
  EXPECT_EQ(strip->FirstIndex(), 2);
  QTest::mouseClick(strip->ScrollLeftButton(), Qt::LeftButton);
  EXPECT_EQ(strip->FirstIndex(), 1);
}

TEST_F(Strip, ShortListLeavesTheOtherWindowsBlack) {
  strip->AddImages(images(3));
  waitForPictures();
  EXPECT_EQ(strip->LoadedCount(), 3);
  for (int slot = 3; slot < 9; ++slot) {
    EXPECT_EQ(strip->Window(slot)->Element(), nullptr) << slot;
    const QImage picture = grab(slot);
    for (int y = 0; y < picture.height(); y += 3) {
      for (int x = 0; x < picture.width(); x += 3) ASSERT_EQ(picture.pixel(x, y), kBlack) << slot;
    }
  }
}

TEST_F(Strip, AddedImagesStartSelectedAndInvertFlipsThem) {
  strip->AddImages(images(3));
  EXPECT_EQ(strip->SelectedElements().size(), 3);
  strip->InvertSelection(true);
  EXPECT_TRUE(strip->SelectedElements().isEmpty());
  strip->Element(1)->selected = 1;
  strip->InvertSelection(false);
  EXPECT_EQ(strip->SelectedElements(),
            (QList<CBrwsrImgElement*>{strip->Element(0), strip->Element(2)}));
  strip->ClearImages();
  EXPECT_EQ(strip->ElementCount(), 0);
  EXPECT_EQ(strip->Window(0)->Element(), nullptr);
}

// A missing file shows nothing and says nothing; an unreadable one is named to the operator,
// again at every refresh that shows it, and neither counts as loaded.
TEST_F(Strip, MissingAndUnreadableFilesAreNotLoaded) {
  CDImgInfo missing = image(1, 1);
  QFile::remove(missing.FullPath);
  CDImgInfo unreadable = image(1, 2);
  QFile notes(unreadable.FullPath);
  ASSERT_TRUE(notes.open(QIODevice::WriteOnly | QIODevice::Truncate));
  notes.write("not an image\n");
  notes.close();
  strip->AddImages({missing, unreadable, image(1, 3)});
  ASSERT_TRUE(QTest::qWaitFor([&] { return messages.count() == 1; }, 20000));
  waitForPictures();
  const QString text = QStringLiteral("%1 cannot be read.").arg(unreadable.FullPath);
  EXPECT_EQ(messages.texts(), QStringList{text});
  EXPECT_EQ(messages.messages().first().caption, QStringLiteral("Browser"));
  EXPECT_EQ(messages.messages().first().style, MB_ICONWARNING);
  EXPECT_EQ(strip->Window(0)->Element(), nullptr);
  EXPECT_EQ(strip->Window(1)->Element(), nullptr);
  EXPECT_EQ(strip->Window(2)->Element(), strip->Element(2));
  EXPECT_EQ(strip->LoadedCount(), 1);
  strip->InvertSelection(true);
  EXPECT_EQ(messages.texts(), (QStringList{text, text}));
  EXPECT_EQ(strip->LoadedCount(), 1);
}

// ---------------------------------------------------------------------------------------------
// Painting

TEST_F(Strip, ThumbnailIsBlackUntilItsPictureIsReady) {
  strip->AddImages({image(1, 1, 3000)});
  const QPoint middle(45, 60);
  EXPECT_TRUE(strip->Window(0)->Picture().isNull());
  EXPECT_EQ(grab(0).pixel(middle), kBlack);
  waitForPictures();
  EXPECT_EQ(grab(0).pixel(middle), qRgb(191, 191, 191));
}

TEST_F(Strip, SelectedThumbnailHasATwoPixelYellowFrame) {
  strip->AddImages({image(1, 1, 0)});
  waitForPictures();
  const QPoint edge[] = {{0, 45}, {1, 45}, {88, 45}, {89, 45},
                         {45, 0}, {45, 1}, {45, 88}, {45, 89}};
  const QPoint inside[] = {{2, 45}, {87, 45}, {45, 87}};
  QImage picture = grab(0);
  for (const QPoint& point : edge)
    EXPECT_EQ(picture.pixel(point), kYellow) << point.x() << "," << point.y();
  for (const QPoint& point : inside)
    EXPECT_EQ(picture.pixel(point), kBlack) << point.x() << "," << point.y();
  strip->InvertSelection(true);
  picture = grab(0);
  for (const QPoint& point : edge)
    EXPECT_EQ(picture.pixel(point), kBlack) << point.x() << "," << point.y();
}

// On a black picture an unselected thumbnail is exactly its series and image numbers in light
// grey outlined text at (6, 3).
TEST_F(Strip, NumbersAreLightGreyOutlinedTextAtTheTopLeft) {
  CDImgInfo info = image(2, 7, 0);
  info.SeriesNo = 12;
  strip->AddImages({info});
  strip->InvertSelection(true);
  waitForPictures();
  QImage expected(90, 90, QImage::Format_RGB32);
  expected.fill(kBlack);
  {
    QPainter painter(&expected);
    painter.setFont(CWndBrowserImg::TextFont());
    DrawOutlinedText(painter, 6, 3, QStringLiteral("12 - 7"), QColor(kLightGrey));
  }
  const QImage picture = grab(0);
  EXPECT_EQ(picture, expected);
  int grey = 0;
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 60; ++x) grey += picture.pixel(x, y) == kLightGrey;
  }
  EXPECT_GT(grey, 20);
}

TEST_F(Strip, ProcessingMarksTakeTheirLines) {
  // Lines of the marks from the middle: P, then S, then B.
  const int lineHeight = QFontMetrics(CWndBrowserImg::TextFont()).height();
  const int firstLine = 90 / 2 - 5 - lineHeight / 2;
  const auto colours = [&](const QImage& picture, int line) {
    QSet<QRgb> found;
    for (int y = firstLine + line * lineHeight; y < firstLine + (line + 1) * lineHeight; ++y) {
      for (int x = 6; x < 20; ++x) found.insert(picture.pixel(x, y));
    }
    found.remove(kBlack);
    return found;
  };
  struct Case {
    long postProc;
    QSet<QRgb> p, s, b;
  };
  const Case cases[] = {{0, {}, {}, {}},
                        {4, {kLightGrey}, {}, {}},
                        {2, {}, {kYellow}, {}},
                        {1, {}, {}, {kLightGrey}},
                        {7, {kLightGrey}, {kYellow}, {kLightGrey}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.postProc);
    CDImgInfo info = image(1, 1, 0);
    info.PostProc = c.postProc;
    strip->ClearImages();
    strip->AddImages({info});
    strip->InvertSelection(true);
    waitForPictures();
    const QImage picture = grab(0);
    EXPECT_EQ(colours(picture, 0), c.p);
    EXPECT_EQ(colours(picture, 1), c.s);
    EXPECT_EQ(colours(picture, 2), c.b);
  }
}

TEST_F(Strip, CineMarkShowsOnImagesOfTwoFramesOrMore) {
  QTemporaryDir program;
  ASSERT_TRUE(QDir(program.path()).mkpath(QStringLiteral("Skins")));
  QImage mark(30, 24, QImage::Format_ARGB32);
  mark.fill(qRgb(255, 0, 255));
  ASSERT_TRUE(mark.save(program.path() + QStringLiteral("/Skins/cine.png")));
  const QString savedFolder = theAppSettings().programFolder;
  theAppSettings().programFolder = program.path() + QLatin1Char('/');
  for (const int frames : {3, 2, 1}) {
    SCOPED_TRACE(frames);
    strip->ClearImages();
    strip->AddImages({image(1, 1, 0, frames)});
    strip->InvertSelection(true);
    waitForPictures();
    const bool marked = frames >= 2;
    EXPECT_EQ(strip->Window(0)->HasCineMark(), marked);
    const QImage picture = grab(0);
    EXPECT_EQ(picture.pixel(15, 20), marked ? qRgb(255, 0, 255) : kBlack);
    EXPECT_NE(picture.pixel(35, 20), qRgb(255, 0, 255));
  }
  theAppSettings().programFolder = savedFolder;
}

// ---------------------------------------------------------------------------------------------
// Selecting and dragging

TEST_F(Strip, ClickWithoutMovingTogglesTheSelectionOnce) {
  strip->AddImages(images(2));
  CWndBrowserImg* window = strip->Window(0);
  QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(45, 45));
  EXPECT_EQ(strip->Element(0)->selected, 0);
  // Moving less than 20 pixels sideways is still a click.
  mouse(window, QEvent::MouseButtonPress, QPoint(45, 45), Qt::LeftButton);
  mouse(window, QEvent::MouseMove, QPoint(64, 80), Qt::LeftButton);
  EXPECT_EQ(window->DragWindow(), nullptr);
  mouse(window, QEvent::MouseButtonRelease, QPoint(64, 80), Qt::NoButton);
  EXPECT_EQ(strip->Element(0)->selected, 1);
  EXPECT_EQ(strip->Element(1)->selected, 1);
  EXPECT_TRUE(owner.calls.empty());
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Strip, DragTakesAHalfTransparentCopyAlong) {
  strip->AddImages({image(1, 1, 3000)});
  waitForPictures();
  CWndBrowserImg* window = strip->Window(0);
  mouse(window, QEvent::MouseButtonPress, QPoint(45, 45), Qt::LeftButton);
  const QImage thumbnail = window->grab().toImage();
  mouse(window, QEvent::MouseMove, QPoint(70, 45), Qt::LeftButton);
  CImageMoving* copy = window->DragWindow();
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(strip->DragInProgress());
  EXPECT_FALSE(copy->isVisible());
  EXPECT_EQ(copy->geometry(), QRect(window->mapToGlobal(QPoint(0, 0)), window->size()));
  EXPECT_EQ(copy->Picture(), thumbnail);
  EXPECT_DOUBLE_EQ(copy->windowOpacity(), CImageMoving::kOpacity);
  // It follows every move from then on, keeping the pointer where it was on the thumbnail.
  mouse(window, QEvent::MouseMove, QPoint(75, 52), Qt::LeftButton);
  EXPECT_TRUE(copy->isVisible());
  EXPECT_EQ(copy->pos(), window->mapToGlobal(QPoint(30, 7)));
  mouse(window, QEvent::MouseMove, QPoint(75, 60), Qt::LeftButton);
  EXPECT_EQ(copy->pos(), window->mapToGlobal(QPoint(30, 15)));
  mouse(window, QEvent::MouseButtonRelease, QPoint(75, 60), Qt::NoButton);
  EXPECT_EQ(window->DragWindow(), nullptr);
  EXPECT_FALSE(strip->DragInProgress());
}

// Drops of one thumbnail on another: across series, within a series, on itself; and with the
// wrong number of studies selected in the browser.
TEST_F(Strip, DropOnAnotherThumbnailAsksTheOwnerToRenumber) {
  strip->AddImages({image(1, 1), image(1, 2), image(2, 1)});
  using Call = FakeOwner::Call;
  struct Case {
    const char* what;
    int from, to;
    int studies;
    std::vector<Call> calls;
  };
  const Case cases[] = {
      {"across series", 0, 2, 1, {Call{"to series", {1, 1, 2, 1}}}},
      {"back across series", 2, 1, 1, {Call{"to series", {2, 1, 1, 2}}}},
      {"within the series", 0, 1, 1, {Call{"in series", {1, 1, 2}}}},
      {"on itself", 1, 1, 1, {}},
      {"two studies selected", 0, 2, 2, {}},
      {"no study selected", 0, 1, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    owner.calls.clear();
    owner.studies = c.studies;
    messages.clear();
    strip->DropOn(*strip->Element(c.to), strip->Element(c.from)->imageInfo.FullPath);
    EXPECT_EQ(owner.calls, c.calls);
    if (c.studies == 1) {
      EXPECT_TRUE(messages.isEmpty());
    } else {
      ASSERT_EQ(messages.count(), 1);
      EXPECT_EQ(messages.messages().first().text, QStringLiteral("Please select one study."));
      EXPECT_EQ(messages.messages().first().caption, QStringLiteral("Browser"));
      EXPECT_EQ(messages.messages().first().style, 0x10u);
    }
  }
}

// Letting go ends the drag on the platform's drag and drop, which the offscreen platform does
// not have (it drops nowhere); these run under a virtual X server (ctest browser_drags_on_x11).
class StripPlatformDrag : public Strip {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
      GTEST_SKIP() << "no drag and drop on the offscreen platform";
    }
    Strip::SetUp();
  }
};

TEST_F(StripPlatformDrag, LettingGoOverAnotherThumbnailDropsOnIt) {
  strip->AddImages({image(1, 1), image(1, 2), image(2, 1)});
  dragOnto(strip->Window(0), strip->Window(2));
  EXPECT_EQ(owner.calls, (std::vector<FakeOwner::Call>{{"to series", {1, 1, 2, 1}}}));
  EXPECT_FALSE(strip->DragInProgress());
  EXPECT_EQ(strip->Window(0)->DragWindow(), nullptr);
}

// A pane receives the file as a file URL and as text, free to copy or move it.
TEST_F(StripPlatformDrag, LettingGoOverAnotherWindowHandsItTheFile) {
  auto* pane = new DropRecorder(&browser);
  pane->setGeometry(100, 20, 300, 200);
  pane->show();
  strip->AddImages({image(1, 1)});
  dragOnto(strip->Window(0), pane);
  EXPECT_EQ(pane->path, strip->Element(0)->imageInfo.FullPath);
  EXPECT_TRUE(pane->formats.contains(QStringLiteral("text/uri-list")));
  EXPECT_TRUE(pane->formats.contains(QStringLiteral("text/plain")));
  EXPECT_EQ(pane->possibleActions, Qt::CopyAction | Qt::MoveAction);
  EXPECT_TRUE(owner.calls.empty());
}

// Only a drag of this strip renumbers: a file dropped from elsewhere changes nothing.
TEST_F(Strip, ThumbnailIgnoresDropsFromElsewhere) {
  strip->AddImages({image(1, 1), image(2, 1)});
  std::unique_ptr<QMimeData> data(PathMimeData(strip->Element(0)->imageInfo.FullPath));
  QDropEvent drop(QPointF(45, 45), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::NoButton,
                  Qt::NoModifier);
  QApplication::sendEvent(strip->Window(1), &drop);
  EXPECT_FALSE(drop.isAccepted());
  EXPECT_TRUE(owner.calls.empty());
}

}  // namespace
