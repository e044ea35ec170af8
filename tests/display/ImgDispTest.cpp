#include "display/widgets/ImgDisp.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/AppSettings.h"
#include "display/PaneTestSupport.h"
#include "support/DicomBuilder.h"
#include "ui/MessageSink.h"
#include "view/widgets/ToraScanView.h"

using panetest::centrePixel;
using panetest::FakePaneHost;
using panetest::makeImage;

namespace {

const QColor kBlack(0, 0, 0);
const QColor kGrey(100, 100, 100);
const QColor kYellow(255, 255, 0);

// A pane that records what it routes to the filters and annotation containers.
class RecordingPane : public CImgDisp {
 public:
  QStringList calls;
  QList<int> keys;

 protected:
  // The first container changes something on B only.
  bool annotationKeyEvent(int key, unsigned) override {
    keys << key;
    return key == Qt::Key_B;
  }
  void filterEvent(Filter filter, int message, unsigned, const QPoint&) override {
    static const char* names[] = {"WindowLevel", "Magnifier", "Pan", "Zoom"};
    calls << QStringLiteral("%1 %2").arg(QLatin1String(names[int(filter)])).arg(message);
  }
  void annotationMouseEvent(Container container, int message, unsigned, const QPoint&,
                            int tool) override {
    static const char* names[] = {"First", "Second", "Third"};
    calls << QStringLiteral("%1 %2 tool %3")
                 .arg(QLatin1String(names[int(container)]))
                 .arg(message)
                 .arg(tool);
  }
};

void sendMouse(QWidget& widget, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons,
               const QPoint& point = QPoint(50, 50)) {
  QMouseEvent event(type, QPointF(point), widget.mapToGlobal(QPointF(point)), button, buttons,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(&widget, &event);
}

class ImgDispTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view.resize(400, 400);
    view.show();
  }
  CImgDisp& single() { return *view.pane(0, 0); }

  FakePaneHost host;
  CtoraScanView view{&host};
};

TEST_F(ImgDispTest, CreatePaneRejectsMissingViewAndIdsOrPositionsOutOfRange) {
  CImgDisp pane;
  EXPECT_FALSE(pane.CreatePane(QRect(0, 0, 10, 10), nullptr, 5001, 0));
  EXPECT_FALSE(pane.CreatePane(QRect(0, 0, 10, 10), &view, 5000, 0));
  EXPECT_FALSE(pane.CreatePane(QRect(0, 0, 10, 10), &view, 5008, 0));
  EXPECT_FALSE(pane.CreatePane(QRect(0, 0, 10, 10), &view, 5004, 4));
  EXPECT_FALSE(pane.CreatePane(QRect(0, 0, 10, 10), &view, 5004, -1));
  ASSERT_TRUE(pane.CreatePane(QRect(0, 0, 10, 10), &view, 5005, 1));
  EXPECT_FALSE(pane.isActive());  // only position 0 starts active
  EXPECT_FALSE(pane.isVisible());
  EXPECT_EQ(pane.mode(), CImgDisp::kModeNewPane);
}

// The frame ring: grey outermost pixel, yellow two-pixel frame at inset 3 on the active pane.
TEST_F(ImgDispTest, EmptyPanePaintsBlackWithBorderAndYellowFrameWhenActive) {
  CImgDisp& pane = single();
  ASSERT_TRUE(pane.isActive());
  const QImage active = pane.grab().toImage();
  const int w = active.width();
  const int h = active.height();
  ASSERT_EQ(w, 400);
  for (const QPoint& p : {QPoint(0, 0), QPoint(w - 1, h / 2), QPoint(w / 2, h - 1)}) {
    EXPECT_EQ(active.pixelColor(p), kGrey) << p.x() << "," << p.y();
  }
  for (const QPoint& p : {QPoint(3, h / 2), QPoint(4, h / 2), QPoint(w / 2, 3), QPoint(w - 4, 9),
                          QPoint(w - 5, 9), QPoint(w / 2, h - 4), QPoint(w / 2, h - 5)}) {
    EXPECT_EQ(active.pixelColor(p), kYellow) << p.x() << "," << p.y();
  }
  for (const QPoint& p : {QPoint(1, h / 2), QPoint(2, h / 2), QPoint(5, h / 2),
                          QPoint(w - 6, h / 2), QPoint(w / 2, h / 2)}) {
    EXPECT_EQ(active.pixelColor(p), kBlack) << p.x() << "," << p.y();
  }

  pane.setActive(false);
  const QImage inactive = pane.grab().toImage();
  EXPECT_EQ(inactive.pixelColor(3, h / 2), kBlack);
  EXPECT_EQ(inactive.pixelColor(4, h / 2), kBlack);
  EXPECT_EQ(inactive.pixelColor(0, 0), kGrey);
}

TEST_F(ImgDispTest, ShownImageIsPaintedFittedInsideTheBorder) {
  // A wide dark image with a bright top half: fitted into 400 x 400 it fills the width and
  // leaves black bands above and below.
  std::vector<std::uint16_t> pixels(200 * 100, 0);
  std::fill(pixels.begin(), pixels.begin() + 200 * 50, std::uint16_t(4095));
  auto record = std::make_unique<CImageEach>();
  ASSERT_EQ(record->SetRawImage(pixels.data(), 200, 100, 12, 4096, 2048), 0);
  host.images.append(std::move(record));
  view.ShowImage(0);

  const QImage picture = single().grab().toImage();
  EXPECT_GE(picture.pixelColor(200, 150).value(), 250);  // bright half
  EXPECT_EQ(picture.pixelColor(200, 250), kBlack);       // dark half
  EXPECT_EQ(picture.pixelColor(200, 60), kBlack);        // band above the image
  EXPECT_EQ(picture.pixelColor(0, 150), kGrey);
  EXPECT_EQ(picture.pixelColor(3, 150), kYellow);
  EXPECT_EQ(host.images.at(0)->image.displayRect(), QRect(1, 100, 398, 199));
}

TEST_F(ImgDispTest, AttachExchangesWindowValueAndRawFlagWithTheFrame) {
  auto record = makeImage(4095);
  record->image.setWindowValue(0.25);
  host.images.append(std::move(record));
  host.images.append(makeImage(4095, 64, 48, QStringLiteral("/images/a.dcm")));
  host.type = 7;

  view.ShowImage(0);
  EXPECT_DOUBLE_EQ(host.window, 0.25);
  EXPECT_EQ(host.images.at(0)->image.windowType(), 7);
  EXPECT_TRUE(host.raw);  // no file behind it

  view.NextPage();
  EXPECT_FALSE(host.raw);
  EXPECT_EQ(single().histogram().size(), std::size_t(CImgDisp::kHistogramBins));
  EXPECT_EQ(single().histogram()[4095], 64u * 48u);

  // Without an image the pane reports it and keeps nothing.
  host.images.clear();
  EXPECT_FALSE(single().Attach());
}

TEST_F(ImgDispTest, PixelSpacingComesFromTheImageOrFallsBackToTheDefault) {
  const double fallback = theAppSettings().GetDefaultPixelSpacing() / 10.0;
  EXPECT_DOUBLE_EQ(single().pixelSpacingX(), fallback);

  auto calibrated = makeImage(4095);
  calibrated->scanInfo.Img.ImagerPixelSpacing = 0.2;
  host.images.append(std::move(calibrated));
  host.images.append(makeImage(4095));
  view.ShowImage(0);
  EXPECT_DOUBLE_EQ(single().pixelSpacingX(), 0.02);
  EXPECT_DOUBLE_EQ(single().pixelSpacingY(), 0.02);
  // The next image carries no spacing: the calibrated one must not leak into it.
  view.NextPage();
  EXPECT_DOUBLE_EQ(single().pixelSpacingX(), fallback);
  EXPECT_DOUBLE_EQ(single().pixelSpacingY(), fallback);
}

TEST_F(ImgDispTest, SetModeReachesThePanesOfTheLayoutOnly) {
  struct Case {
    int command;
    int mode;
  };
  for (const Case& c : {Case{32774, 0}, Case{32775, 32775}, Case{32776, 32776}, Case{32777, 32777},
                        Case{32778, 32778}, Case{32779, 32779}}) {
    ASSERT_TRUE(view.SetMode(c.command));
    EXPECT_EQ(view.mode(), c.mode);
    EXPECT_EQ(single().mode(), c.mode) << c.command;
    EXPECT_EQ(view.pane(3, 0)->mode(), CImgDisp::kModeNewPane);
  }
  EXPECT_FALSE(view.SetMode(32773));
  EXPECT_FALSE(view.SetMode(32780));
  EXPECT_EQ(view.mode(), 32779);
}

class PaneRoutingTest : public ImgDispTest {
 protected:
  void SetUp() override {
    ImgDispTest::SetUp();
    host.images.append(makeImage(2000));
    view.ShowImage(0);
    ASSERT_TRUE(pane.CreatePane(QRect(0, 0, 200, 200), &view, 5001, 0));
    pane.show();
    pane.Attach();
  }
  RecordingPane pane;
};

TEST_F(PaneRoutingTest, RightDragWindowsTheImageInEveryMode) {
  for (int mode :
       {CImgDisp::kModeNewPane, CImgDisp::kModeDefault, CImgDisp::kModeMagnify, CImgDisp::kModePan,
        CImgDisp::kModeZoom, CImgDisp::kModeAngle, CImgDisp::kModeLine}) {
    pane.SetMode(mode);
    pane.calls.clear();
    sendMouse(pane, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton);
    EXPECT_TRUE(pane.isRightWindowing());
    sendMouse(pane, QEvent::MouseMove, Qt::NoButton, Qt::RightButton, QPoint(60, 70));
    // Released outside the pane: the grab still delivers it here and the drag ends.
    sendMouse(pane, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, QPoint(-30, 500));
    EXPECT_EQ(pane.calls, QStringList({"WindowLevel 513", "WindowLevel 512", "WindowLevel 514"}))
        << mode;
    EXPECT_FALSE(pane.isRightWindowing());
    EXPECT_FALSE(pane.isDragging());
  }
}

TEST_F(PaneRoutingTest, LeftButtonGoesToTheFilterOrContainerOfTheMode) {
  struct Case {
    int mode;
    QStringList calls;
  };
  const Case cases[] = {
      {CImgDisp::kModeNewPane, {"Third 513 tool 5", "Second 512 tool 0", "Second 514 tool 0"}},
      {CImgDisp::kModeDefault, {"First 513 tool 0", "First 512 tool 0", "First 514 tool 0"}},
      {CImgDisp::kModeMagnify, {"Magnifier 513", "Magnifier 512", "Magnifier 514"}},
      {CImgDisp::kModePan, {"Pan 513", "Pan 512", "Pan 514"}},
      {CImgDisp::kModeZoom, {"Zoom 513", "Zoom 512", "Zoom 514"}},
      {CImgDisp::kModeAngle, {"First 513 tool 2", "First 512 tool 0", "First 514 tool 0"}},
      {CImgDisp::kModeLine, {"First 513 tool 1", "First 512 tool 0", "First 514 tool 0"}},
  };
  for (const Case& c : cases) {
    pane.SetMode(c.mode);
    pane.calls.clear();
    sendMouse(pane, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    sendMouse(pane, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(60, 70));
    sendMouse(pane, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(pane.calls, c.calls) << c.mode;
    EXPECT_FALSE(pane.isDragging());
  }
}

TEST_F(PaneRoutingTest, WithoutAnImageNothingIsRoutedAndTheDragStillEnds) {
  host.images.clear();
  pane.SetMode(CImgDisp::kModePan);
  pane.calls.clear();
  sendMouse(pane, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton);
  EXPECT_TRUE(pane.isDragging());
  EXPECT_FALSE(pane.isRightWindowing());
  sendMouse(pane, QEvent::MouseMove, Qt::NoButton, Qt::RightButton);
  sendMouse(pane, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton);
  sendMouse(pane, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
  sendMouse(pane, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
  EXPECT_TRUE(pane.calls.isEmpty()) << pane.calls.join(", ").toStdString();
  EXPECT_FALSE(pane.isDragging());
}

TEST_F(PaneRoutingTest, MovesOverAnImageNotYetLoadedAreIgnored) {
  host.images.at(0)->loaded = false;
  pane.calls.clear();
  sendMouse(pane, QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
  EXPECT_TRUE(pane.calls.isEmpty());
}

// Records the keys that reach a widget.
class KeyRecorder : public QObject {
 public:
  QList<int> keys;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) keys << static_cast<QKeyEvent*>(event)->key();
    return false;
  }
};

TEST_F(PaneRoutingTest, KeysGoToTheFirstContainerAndUnusedOnesOnToTheFrame) {
  KeyRecorder onView;
  view.installEventFilter(&onView);
  for (Qt::Key key : {Qt::Key_A, Qt::Key_B, Qt::Key_Delete}) QTest::keyClick(&pane, key);
  EXPECT_EQ(pane.keys, (QList<int>{Qt::Key_A, Qt::Key_B, Qt::Key_Delete}));
  EXPECT_EQ(onView.keys, QList<int>{Qt::Key_A});

  host.images.clear();  // no image, no container
  pane.keys.clear();
  QTest::keyClick(&pane, Qt::Key_B);
  EXPECT_TRUE(pane.keys.isEmpty());
}

TEST_F(ImgDispTest, LeftButtonUpMakesThePaneActive) {
  view.SetLayout(3);
  ASSERT_EQ(view.ActivePane(), view.pane(3, 0));
  QTest::mouseClick(view.pane(3, 2), Qt::LeftButton, {}, QPoint(20, 20));
  EXPECT_EQ(view.ActivePane(), view.pane(3, 2));
  EXPECT_FALSE(view.pane(3, 0)->isActive());
  // A right click does not change the active pane.
  QTest::mouseClick(view.pane(3, 1), Qt::RightButton, {}, QPoint(20, 20));
  EXPECT_EQ(view.ActivePane(), view.pane(3, 2));
}

// ---- dropping files

class DropTest : public ImgDispTest {
 protected:
  void SetUp() override {
    ImgDispTest::SetUp();
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"a.dcm", "B.dcm", "c.dcm"}) {
      QFile file(dir.filePath(QLatin1String(name)));
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    view.SetLayout(3);
  }
  void TearDown() override { theAppSettings().dispOrder = savedDispOrder; }
  QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
  void openAs(const char* name) { host.images.append(makeImage(4095, 64, 48, path(name))); }

  QTemporaryDir dir;
  RecordingMessageSink sink;
  ScopedMessageSink scoped{&sink};
  int savedDispOrder = theAppSettings().dispOrder;
};

TEST_F(DropTest, ThumbnailPathShowsTheOpenDicomFileOfTheSameName) {
  openAs("a.dcm");
  openAs("B.dcm");
  view.ShowImage(0);
  view.ActivatePane(3);

  EXPECT_TRUE(view.pane(3, 3)->DropFile(path("B.tnb")));
  EXPECT_EQ(view.ActiveImageIndex(), 1);
  EXPECT_EQ(view.ActivePane(), view.pane(3, 1));
  EXPECT_TRUE(host.opened.isEmpty());
  EXPECT_TRUE(sink.isEmpty());
}

TEST_F(DropTest, FileNotOpenYetIsOpenedThroughTheFrame) {
  openAs("a.dcm");
  view.ShowImage(0);
  EXPECT_TRUE(view.pane(3, 2)->DropFile(path("c.TNB")));
  EXPECT_EQ(host.opened, QStringList{path("c.dcm")});
  EXPECT_EQ(view.ActivePane(), view.pane(3, 0));  // the drop makes position 0 active first

  host.openResult = -1;  // the frame declined or failed: the drop fails
  EXPECT_FALSE(view.pane(3, 2)->DropFile(path("c.dcm")));
}

TEST_F(DropTest, MissingFileIsReportedAndNothingOpens) {
  for (const QString& dropped : {path("missing.tnb"), path("missing.dcm"), dir.path(), QString()}) {
    sink.clear();
    EXPECT_FALSE(view.pane(3, 0)->DropFile(dropped)) << dropped.toStdString();
    ASSERT_EQ(sink.count(), 1);
    EXPECT_EQ(sink.messages()[0].text, QStringLiteral("Can't open selected file."));
    EXPECT_EQ(sink.messages()[0].caption, QStringLiteral("Main control"));
    EXPECT_EQ(sink.messages()[0].style, MB_ICONEXCLAMATION);
  }
  EXPECT_TRUE(host.opened.isEmpty());
}

TEST_F(DropTest, DispOrderChoosesBetweenTwoCopiesOfTheSameFile) {
  openAs("a.dcm");
  openAs("c.dcm");
  host.images.append(makeImage(4095, 64, 48, path("a_org.dcm")));  // the same file
  view.ShowImage(0);
  struct Case {
    int dispOrder;
    int shown;
  };
  for (const Case& c : {Case{0, 0}, Case{1, 2}}) {
    theAppSettings().dispOrder = c.dispOrder;
    view.ActivatePane(1);
    ASSERT_TRUE(view.pane(3, 1)->DropFile(path("a.tnb")));
    EXPECT_EQ(view.ActiveImageIndex(), c.shown) << c.dispOrder;
  }
}

// The drag carries the path as a file URL (this program, the file manager) or as text.
TEST_F(DropTest, DropEventTakesFileUrlsAndText) {
  openAs("a.dcm");
  openAs("B.dcm");
  view.ShowImage(0);
  struct Case {
    const char* what;
    void (*fill)(QMimeData&, const QString&);
  };
  const Case cases[] = {
      {"url", [](QMimeData& m, const QString& p) { m.setUrls({QUrl::fromLocalFile(p)}); }},
      {"text", [](QMimeData& m, const QString& p) { m.setText(p + QChar(0)); }},
      {"url as text",
       [](QMimeData& m, const QString& p) { m.setText(QUrl::fromLocalFile(p).toString()); }},
  };
  for (const Case& c : cases) {
    view.ActivatePane(2);
    QMimeData data;
    c.fill(data, path("B.tnb"));
    CImgDisp* target = view.pane(3, 3);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted()) << c.what;
    EXPECT_EQ(enter.dropAction(), Qt::MoveAction) << c.what;
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted()) << c.what;
    EXPECT_EQ(view.ActiveImageIndex(), 1) << c.what;
  }

  QMimeData copy;
  copy.setUrls({QUrl::fromLocalFile(path("a.dcm"))});
  QDragEnterEvent withCtrl(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &copy, Qt::LeftButton,
                           Qt::ControlModifier);
  QCoreApplication::sendEvent(view.pane(3, 0), &withCtrl);
  EXPECT_EQ(withCtrl.dropAction(), Qt::CopyAction);

  QMimeData nothing;
  nothing.setData(QStringLiteral("application/octet-stream"), QByteArray("x"));
  QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &nothing, Qt::LeftButton,
                          Qt::NoModifier);
  QCoreApplication::sendEvent(view.pane(3, 0), &refused);
  EXPECT_FALSE(refused.isAccepted());
}

// ---- cine

class CineTest : public ImgDispTest {
 protected:
  void SetUp() override {
    ImgDispTest::SetUp();
    ASSERT_TRUE(dir.isValid());
    auto record = panetest::makeThreeFrameImage(dir.filePath(QStringLiteral("frames.dcm")),
                                                DCM_FrameTime, "40");
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->frames().size(), 3u);
    host.images.append(std::move(record));
    host.images.append(makeImage(4095));
    view.ShowImage(0);
  }
  CImageEach& record() { return *host.images.at(0); }
  int frame() { return record().currentFrame; }
  // The first stored value of the displayed frame tells which frame it is.
  int shownFrame() { return record().image.bitmap().grey16()[0] / 100; }

  QTemporaryDir dir;
};

TEST_F(CineTest, MultiFrameImageTakesItsFrameTimeAndSteppingWraps) {
  CImgDisp& pane = single();
  ASSERT_TRUE(pane.cineAvailable());
  EXPECT_EQ(pane.cineInterval(), 40);

  pane.CinePrev();  // from frame 0 to the last
  EXPECT_EQ(frame(), 2);
  EXPECT_EQ(shownFrame(), 2);
  pane.CineNext();  // from the last back to 0
  EXPECT_EQ(frame(), 0);
  pane.CineNext();
  EXPECT_EQ(shownFrame(), 1);
  pane.CineStop();
  EXPECT_EQ(frame(), 0);
}

TEST_F(CineTest, PlayLoopsFromTheLastFrameAndPauseKeepsTheFrame) {
  CImgDisp& pane = single();
  pane.CinePrev();
  ASSERT_EQ(frame(), 2);
  pane.CinePlay();  // on the last frame: starts again from 0
  EXPECT_TRUE(pane.cinePlaying());
  EXPECT_EQ(frame(), 0);
  // The timer steps through every frame and wraps from the last back to 0.
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame() == 2; }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame() == 0; }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return frame() == 1; }, 5000));
  pane.CinePause();
  EXPECT_FALSE(pane.cinePlaying());
  const int paused = frame();
  EXPECT_EQ(shownFrame(), paused);
  QTest::qWait(100);
  EXPECT_EQ(frame(), paused);
}

TEST_F(CineTest, SpeedChangeWhilePlayingRestartsFromTheFirstFrame) {
  CImgDisp& pane = single();
  pane.CineNext();
  pane.CineSetSpeed(4.0);  // stopped: only the interval changes
  EXPECT_EQ(pane.cineInterval(), 250);
  EXPECT_EQ(frame(), 1);
  pane.CinePlay();
  pane.CineSetSpeed(0.2);
  EXPECT_EQ(pane.cineInterval(), 5000);
  EXPECT_TRUE(pane.cinePlaying());
  EXPECT_EQ(frame(), 0);
  pane.CineSetSpeed(0);  // nonsense speeds are ignored
  pane.CineSetSpeed(-3);
  EXPECT_EQ(pane.cineInterval(), 5000);
}

TEST_F(CineTest, SingleFrameImageStopsCineAndKeepsTheInterval) {
  CImgDisp& pane = single();
  pane.CinePlay();
  view.NextPage();
  EXPECT_FALSE(pane.cineAvailable());
  EXPECT_FALSE(pane.cinePlaying());
  pane.CinePlay();  // nothing to play
  EXPECT_FALSE(pane.cinePlaying());
  view.PrevPage();
  EXPECT_TRUE(pane.cineAvailable());
  EXPECT_EQ(pane.cineInterval(), 40);
}

}  // namespace
