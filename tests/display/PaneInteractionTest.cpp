// Real mouse and key sequences on a pane: measurements, selection, deletion and the drags of
// the interaction filters, checked on the objects and on the painted pane.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "anno/AnnoAngle.h"
#include "anno/AnnoLine.h"
#include "anno/AnnoManager.h"
#include "display/Filters.h"
#include "display/PaneTestSupport.h"
#include "display/widgets/ImgDisp.h"
#include "image/ImageEach.h"
#include "image/PipelineSettings.h"
#include "support/DicomBuilder.h"
#include "ui/MessageSink.h"
#include "view/widgets/ToraScanView.h"

using panetest::FakePaneHost;
using panetest::makeImage;

namespace {

const QRgb kLineGrey = qRgb(200, 200, 200);
const QRgb kShadow = qRgb(64, 64, 64);

// Counts the paints a widget receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// A 400 x 400 image in a 202 x 202 pane: fitted into (1, 1, 200, 200), factor 2, so pane
// pixel (x, y) is image pixel (2 (x - 1), 2 (y - 1)). No pixel spacing: 0.143 mm applies.
class PaneInteraction : public ::testing::Test {
 protected:
  void SetUp() override {
    view.resize(400, 400);
    view.show();
    host.images.append(makeImage(1000, 400, 400));
    view.ShowImage(0);
    ASSERT_TRUE(pane.CreatePane(QRect(0, 0, 202, 202), &view, 5001, 0));
    pane.show();
    ASSERT_TRUE(pane.Attach());
  }
  void TearDown() override { panetest::endAllFilters(); }

  CImageEach& record() { return *host.images.at(0); }
  CAnnoObjectManager& manager() { return record().annotations[0]; }
  CAnnoObject* object(int index) { return manager().objects().At(index); }

  void press(const QPoint& at, Qt::MouseButton button = Qt::LeftButton,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    send(QEvent::MouseButtonPress, at, button, button, modifiers);
  }
  void move(const QPoint& to, Qt::MouseButtons held = Qt::LeftButton,
            Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    send(QEvent::MouseMove, to, Qt::NoButton, held, modifiers);
  }
  void release(const QPoint& at, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    send(QEvent::MouseButtonRelease, at, button, Qt::NoButton, modifiers);
  }
  void drag(const QPoint& from, const QPoint& to, Qt::MouseButton button = Qt::LeftButton,
            Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    press(from, button, modifiers);
    move(to, button, modifiers);
    release(to, button, modifiers);
  }
  void click(const QPoint& at) { drag(at, at); }
  void send(QEvent::Type type, const QPoint& at, Qt::MouseButton button, Qt::MouseButtons held,
            Qt::KeyboardModifiers modifiers) {
    QMouseEvent event(type, QPointF(at), pane.mapToGlobal(QPointF(at)), button, held, modifiers);
    QCoreApplication::sendEvent(&pane, &event);
  }
  QImage picture() { return pane.grab().toImage().convertToFormat(QImage::Format_RGB32); }
  // Whether any pixel of the light grey text (smoothed at its edges) lies in the rectangle.
  static bool hasLight(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) {
        if (qGray(image.pixel(x, y)) > 150) return true;
      }
    }
    return false;
  }
  // Whether any pixel of colour lies in the rectangle.
  static bool has(const QImage& image, const QRect& area, QRgb colour) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
      for (int x = area.left(); x <= area.right(); ++x) {
        if (image.rect().contains(x, y) && image.pixel(x, y) == colour) return true;
      }
    }
    return false;
  }

  FakePaneHost host;
  CtoraScanView view{&host};
  CImgDisp pane;
};

TEST_F(PaneInteraction, LineOfAHundredPixelsAtTheDefaultSpacingReadsOnePointFourThreeCm) {
  pane.SetMode(CImgDisp::kModeLine);
  press({21, 51});
  move({71, 51});
  // During the drag: the rubber line and the millimetre box beside the mouse.
  const QImage during = picture();
  EXPECT_EQ(during.pixel(45, 51), kLineGrey);
  EXPECT_TRUE(has(during, QRect(73, 53, 3, 3), kShadow));
  release({71, 51});

  ASSERT_EQ(manager().objects().Count(), 1);
  auto* line = dynamic_cast<CAnnoLine*>(object(0));
  ASSERT_NE(line, nullptr);
  EXPECT_TRUE(line->valid);
  EXPECT_FLOAT_EQ(line->p2.x - line->p1.x, 100.0f);
  EXPECT_EQ(line->LabelText(manager().geometry()), "1.43 cm");
  const QImage after = picture();
  EXPECT_EQ(after.pixel(45, 51), kLineGrey);  // the line
  EXPECT_EQ(after.pixel(45, 52), kShadow);    // its shadow, one pixel down and right
  // The label ends at the start point, above it: the line runs right and not upwards.
  EXPECT_TRUE(hasLight(after, QRect(2, 30, 19, 18)));
  EXPECT_FALSE(hasLight(after, QRect(22, 30, 40, 14)));
}

TEST_F(PaneInteraction, AClickMakesAValidLineThatIsNotDrawnYetCanBePickedAndDeleted) {
  const QImage before = picture();
  pane.SetMode(CImgDisp::kModeLine);
  click({60, 60});
  ASSERT_EQ(manager().objects().Count(), 1);
  EXPECT_TRUE(object(0)->valid);
  EXPECT_EQ(picture(), before);

  pane.SetMode(CImgDisp::kModeDefault);
  click({61, 61});  // within 3 pixels of the vertex: edits it, which selects it
  EXPECT_TRUE(object(0)->selected);
  QTest::keyClick(&pane, Qt::Key_Delete);
  EXPECT_EQ(manager().objects().Count(), 0);
}

TEST_F(PaneInteraction, AngleOfThreeClicksShowsTheAngleAndItsComplement) {
  struct Case {
    QPoint a;
    QPoint b;
    const char* label;
  } cases[] = {{{150, 100}, {100, 150}, "270.0 / 90.0"}, {{100, 150}, {150, 100}, "90.0 / 270.0"}};
  for (const Case& c : cases) {
    manager().objects().Clear();
    pane.SetMode(CImgDisp::kModeAngle);
    click({100, 100});
    click(c.a);
    EXPECT_FALSE(object(0)->valid);  // waiting for its third point
    click(c.b);
    ASSERT_EQ(manager().objects().Count(), 1);
    auto* angle = dynamic_cast<CAnnoAngle*>(object(0));
    ASSERT_NE(angle, nullptr);
    EXPECT_TRUE(angle->valid);
    EXPECT_EQ(CAnnoAngle::LabelText(angle->Theta()), c.label);
    EXPECT_EQ(manager().activeDrawer(), nullptr);
  }
}

class Selection : public PaneInteraction {
 protected:
  void SetUp() override {
    PaneInteraction::SetUp();
    pane.SetMode(CImgDisp::kModeLine);
    drag({20, 40}, {80, 40});     // first line
    drag({20, 120}, {160, 120});  // second line
    pane.SetMode(CImgDisp::kModeDefault);
  }
};

TEST_F(Selection, VertexWithinThreePixelsBodyWithinSix) {
  struct Case {
    QPoint at;
    int hit;
  } cases[] = {{{82, 42}, 2}, {{76, 40}, 1}, {{50, 42}, 1}, {{50, 43}, 0}, {{84, 40}, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(manager().HitTest(c.at.x(), c.at.y()), c.hit) << c.at.x() << "," << c.at.y();
  }
  // A drag on the vertex moves only that end.
  drag({82, 41}, {82, 61});
  auto* line = static_cast<CAnnoLine*>(object(0));
  EXPECT_FLOAT_EQ(line->p1.y, 78.0f);
  EXPECT_FLOAT_EQ(line->p2.y, 120.0f);
}

TEST_F(Selection, CtrlClickAddsToTheSelectionAndStartsNoDrag) {
  drag({50, 40}, {50, 40}, Qt::LeftButton, Qt::ControlModifier);
  drag({90, 120}, {90, 150}, Qt::LeftButton, Qt::ControlModifier);
  EXPECT_TRUE(object(0)->selected);
  EXPECT_TRUE(object(1)->selected);
  EXPECT_FLOAT_EQ(static_cast<CAnnoLine*>(object(1))->p1.y, 238.0f);  // not moved
  // A plain drag on a selected body moves the whole selection.
  drag({50, 40}, {60, 50});
  EXPECT_FLOAT_EQ(static_cast<CAnnoLine*>(object(0))->p1.x, 58.0f);
  EXPECT_FLOAT_EQ(static_cast<CAnnoLine*>(object(1))->p1.y, 258.0f);
}

TEST_F(Selection, RubberBandSelectsOnlyWhatItEnclosesWhole) {
  object(1)->selected = true;
  drag({10, 30}, {120, 130});  // encloses the first line and one end of the second
  EXPECT_TRUE(object(0)->selected);
  EXPECT_FALSE(object(1)->selected);
  EXPECT_EQ(manager().objects().Count(), 2);  // "Default" creates nothing
}

TEST_F(Selection, DeleteWithNothingSelectedDoesNotRepaint) {
  PaintCounter counter;
  pane.installEventFilter(&counter);
  QCoreApplication::processEvents();
  const int paints = counter.paints;
  QTest::keyClick(&pane, Qt::Key_Delete);
  QCoreApplication::processEvents();
  EXPECT_EQ(counter.paints, paints);
  EXPECT_EQ(manager().objects().Count(), 2);

  QTest::keyClick(&pane, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(manager().CountSelected(), 2);
  QTest::keyClick(&pane, Qt::Key_E, Qt::ControlModifier);
  EXPECT_EQ(manager().CountSelected(), 0);
  object(0)->selected = true;
  QTest::keyClick(&pane, Qt::Key_Delete);
  QCoreApplication::processEvents();
  EXPECT_GT(counter.paints, paints);
  EXPECT_EQ(manager().objects().Count(), 1);
}

// Real radiographs: a line measures with the spacing the file gives, as one would by hand.
TEST(PaneMeasurement, RealRadiographsMeasureWithTheirOwnPixelSpacing) {
  struct Case {
    const char* file;
    double millimetresPerPixel;  // what the file's header says
  } cases[] = {
      {"cr_hip_1760x2140_unc.dcm", 0.2},           // Pixel Spacing
      {"dx_mono2_1420x1416_16bit_j2kr.dcm", 0.4},  // Imager Pixel Spacing only
      {"cr_chest_1841x1955_j2ki.dcm", 0.143},      // spacing 0: the configured default
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    FakePaneHost host;
    CtoraScanView view{&host};
    view.resize(600, 600);
    view.show();
    auto record = std::make_unique<CImageEach>();
    ASSERT_EQ(record->OpenDicom(QStringLiteral(TORASCAN_TESTDATA_DIR "/dicom/") + c.file, 0, 0), 0);
    record->loaded = true;
    host.images.append(std::move(record));
    view.ShowImage(0);
    CImgDisp pane;
    ASSERT_TRUE(pane.CreatePane(QRect(0, 0, 502, 502), &view, 5001, 0));
    pane.show();
    ASSERT_TRUE(pane.Attach());
    pane.SetMode(CImgDisp::kModeLine);
    QTest::mousePress(&pane, Qt::LeftButton, {}, QPoint(100, 250));
    QTest::mouseMove(&pane, QPoint(400, 250));
    QTest::mouseRelease(&pane, Qt::LeftButton, {}, QPoint(400, 250));

    CAnnoObjectManager& annotations = host.images.at(0)->annotations[0];
    ASSERT_EQ(annotations.objects().Count(), 1);
    const auto* line = static_cast<const CAnnoLine*>(annotations.objects().At(0));
    const double pixels = line->p2.x - line->p1.x;
    EXPECT_GT(pixels, 800.0);
    const double byHand = pixels * c.millimetresPerPixel / 10.0;
    EXPECT_NEAR(line->LengthCm(annotations.geometry()), byHand, 1e-4);
    EXPECT_EQ(line->LabelText(annotations.geometry()), QString::asprintf("%.2f cm", byHand));
  }
}

// ---- the filter drags through the pane

TEST_F(PaneInteraction, ZoomDragStopsAtTwoHundredPercent) {
  pane.SetMode(CImgDisp::kModeZoom);
  press({100, 150});
  move({100, 0});
  ASSERT_NE(CFilterZoom::Live(), nullptr);
  EXPECT_EQ(CFilterZoom::Live()->text(), "200.0%");
  EXPECT_EQ(record().image.zoom().value(), 2.0f);  // the pane's image waits for the release
  release({100, 0});
  EXPECT_EQ(CFilterZoom::Live(), nullptr);
  EXPECT_FLOAT_EQ(record().image.zoom().value(), 0.5f);
}

TEST_F(PaneInteraction, ImageReplacedDuringADragEndsTheDragUntouched) {
  for (int mode : {CImgDisp::kModeZoom, CImgDisp::kModePan, CImgDisp::kModeMagnify}) {
    pane.SetMode(mode);
    press({100, 100});
    move({100, 50});
    host.images.clear();  // the drag's image is gone
    host.images.append(makeImage(3000, 400, 400));
    view.ShowImage(0);
    pane.Attach();
    release({100, 50});
    EXPECT_FLOAT_EQ(record().image.zoom().value(), 2.0f) << mode;
    EXPECT_EQ(record().image.displayRect().topLeft(), QPoint(1, 1)) << mode;
  }
  press({100, 100}, Qt::RightButton);
  host.images.clear();
  host.images.append(makeImage(3000, 400, 400));
  pane.Attach();
  release({100, 50}, Qt::RightButton);
  int width = 0;
  int level = 0;
  record().image.GetWindow(width, level);
  EXPECT_EQ(width, 4096);
}

TEST_F(PaneInteraction, PanDragLeavesTenPixelsOfTheImage) {
  pane.SetMode(CImgDisp::kModePan);
  drag({100, 100}, {1000, 100});
  EXPECT_EQ(record().image.displayRect().x(), 202 - 10);
}

TEST_F(PaneInteraction, RightDragWindowsTheImageAtTheRelease) {
  const QImage before = picture();
  press({100, 100}, Qt::RightButton);
  move({100, -100}, Qt::RightButton);  // 200 wider: the flat image turns a little lighter
  EXPECT_NE(picture(), before);        // the drag repaints the image with the new window
  int width = 0;
  int level = 0;
  record().image.GetWindow(width, level);
  EXPECT_EQ(width, 4096);  // unchanged until the release
  release({100, -100}, Qt::RightButton);
  record().image.GetWindow(width, level);
  EXPECT_GT(width, 4096);
}

TEST_F(PaneInteraction, WindowDragKeepsThePaneAroundTheImageAndZoomBlanksIt) {
  host.images.clear();
  host.images.append(makeImage(1000, 400, 200));  // 200 x 100 from y = 51
  pane.Attach();
  const QRect below(0, 160, 202, 40);  // the bottom ruler's band, under the image
  const QImage before = picture();
  ASSERT_TRUE(has(before, below, kLineGrey));
  press({100, 100}, Qt::RightButton);
  move({100, -100}, Qt::RightButton);
  const QImage windowing = picture();
  EXPECT_EQ(windowing.copy(below), before.copy(below));
  EXPECT_NE(windowing.copy(QRect(1, 51, 200, 100)), before.copy(QRect(1, 51, 200, 100)));
  release({100, -100}, Qt::RightButton);

  pane.SetMode(CImgDisp::kModeZoom);
  press({100, 100});
  move({100, 110});
  EXPECT_FALSE(has(picture(), below.adjusted(2, 0, -2, -4), kLineGrey));
  release({100, 110});
  EXPECT_TRUE(has(picture(), below, kLineGrey));
}

TEST_F(PaneInteraction, GlassIsDrawnOverThePaneWhileTheButtonIsHeld) {
  pane.SetMode(CImgDisp::kModeMagnify);
  CFilterGlass::settings().halfWidth = CFilterGlass::settings().halfHeight = 50;
  CFilterGlass::settings().lastRect = QRect(0, 0, 100, 100);
  press({100, 100});
  const QRect glass = CFilterGlass::Live()->glassRect();
  EXPECT_EQ(glass, QRect(50, 50, 100, 100));
  EXPECT_EQ(picture().pixel(50, 100), qRgb(255, 255, 255));
  release({100, 100});
  EXPECT_EQ(CFilterGlass::Live(), nullptr);
  EXPECT_NE(picture().pixel(50, 100), qRgb(255, 255, 255));
}

// A file whose pixels could not be decoded still opens for its attributes: every drag over it
// does nothing, no message appears, and the pane shows it black with its overlay.
TEST_F(PaneInteraction, ImageWithoutPixelsIgnoresEveryDragAndPaintsBlackWithItsOverlay) {
  QTemporaryDir dir;
  testsupport::DicomBuilder builder;
  builder.pixels16(8, 8, std::vector<std::uint16_t>(64, 1000), 12)
      .set(DCM_PhotometricInterpretation, "HSV")
      .set(DCM_PatientName, "NO^PIXELS");
  const QString path = dir.filePath(QStringLiteral("no-pixels.dcm"));
  ASSERT_TRUE(builder.save(path));
  auto record = std::make_unique<CImageEach>();
  ASSERT_EQ(record->OpenDicom(path, 0, 1), 0);
  ASSERT_NE(record->pixelError(), 0);
  record->loaded = true;
  host.images.clear();
  host.images.append(std::move(record));
  pane.Attach();
  RecordingMessageSink sink;
  ScopedMessageSink bound(&sink);
  for (int mode : {CImgDisp::kModeZoom, CImgDisp::kModePan, CImgDisp::kModeMagnify}) {
    pane.SetMode(mode);
    drag({100, 100}, {120, 40});
  }
  drag({100, 100}, {40, 20}, Qt::RightButton);
  EXPECT_EQ(sink.count(), 0) << (sink.count() ? sink.messages()[0].text.toStdString() : "");
  const QImage shown = picture();
  EXPECT_EQ(shown.pixel(101, 101), qRgb(0, 0, 0));
  EXPECT_TRUE(hasLight(shown, QRect(2, 2, 100, 40))) << "the patient's name in its corner";
}

}  // namespace

namespace {

// The glass shows the pane's own picture enlarged, through the same window: around its centre
// each glass pixel at offset d shows what the pane shows at d / factor from the same point, on
// real radiographs with the window of their file and after a window drag, on images the pane
// reduces and ones it enlarges (where a smoothed glass over a sharp pane looked flatter), with
// smoothing off and on.
TEST(GlassOverPane, ShowsThePanesPixelsEnlargedThroughTheSameWindow) {
  // Point by point only where the picture is smooth at the pane's scale: on ultrasound speckle
  // and on a small image enlarged many times, half a pixel of registration changes single
  // points, and the contrast (the spread of grey levels) is what must agree.
  const struct {
    const char* file;
    bool windowDrag;
    int paneSize;
    int interpolation;
    bool eachPoint;
  } cases[] = {{"cr_hip_1760x2140_unc.dcm", false, 402, 0, true},
               {"cr_hip_1760x2140_unc.dcm", true, 402, 0, true},
               {"cr_hip_1760x2140_unc.dcm", false, 1002, 0, true},
               {"cr_mono1_440_nopreamble.dcm", false, 402, 0, true},
               {"mg_2394x3062_3win_voilut_jpll.dcm", false, 402, 0, true},
               {"us_1024x768_8bit_jpll.dcm", false, 1002, 0, false},
               {"us_rgb_320x240_le.dcm", false, 1002, 0, false},
               {"ct_small_signed.dcm", false, 402, 0, false},
               {"us_rgb_320x240_le.dcm", false, 1002, 1, false},
               {"ct_small_signed.dcm", false, 402, 1, false}};
  const PipelineSettings saved = pipelineSettings();
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.file << (c.windowDrag ? " after a window drag" : "") << " in a pane of "
                 << c.paneSize << ", interpolation " << c.interpolation);
    PipelineSettings pipeline = saved;
    pipeline.interpolation = c.interpolation;
    setPipelineSettings(pipeline);
    FakePaneHost host;
    CtoraScanView view{&host};
    CImgDisp pane;
    view.resize(c.paneSize + 200, c.paneSize + 200);
    view.show();
    auto record = std::make_unique<CImageEach>();
    ASSERT_EQ(record->OpenDicom(QStringLiteral(TORASCAN_TESTDATA_DIR "/dicom/") + c.file, 0, 1), 0);
    record->loaded = true;
    host.images.append(std::move(record));
    view.ShowImage(0);
    ASSERT_TRUE(pane.CreatePane(QRect(0, 0, c.paneSize, c.paneSize), &view, 5001, 0));
    pane.show();
    ASSERT_TRUE(pane.Attach());
    pane.setActive(false);
    const auto send = [&](QEvent::Type type, const QPoint& at, Qt::MouseButton button,
                          Qt::MouseButtons held) {
      QMouseEvent event(type, QPointF(at), pane.mapToGlobal(QPointF(at)), button, held,
                        Qt::NoModifier);
      QCoreApplication::sendEvent(&pane, &event);
    };
    if (c.windowDrag) {  // a narrower window: more contrast
      send(QEvent::MouseButtonPress, {100, 100}, Qt::RightButton, Qt::RightButton);
      send(QEvent::MouseMove, {100, 250}, Qt::NoButton, Qt::RightButton);
      send(QEvent::MouseButtonRelease, {100, 250}, Qt::RightButton, Qt::NoButton);
    }
    pane.SetMode(CImgDisp::kModeMagnify);
    CFilterGlass::settings().halfWidth = CFilterGlass::settings().halfHeight = 60;
    CFilterGlass::settings().lastRect = QRect(0, 0, 120, 120);
    const QImage shown = pane.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint centre(200, 200);
    send(QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
    const QImage magnified = pane.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect glass = CFilterGlass::Live()->glassRect().adjusted(2, 2, -2, -2);
    const float factor = CFilterGlass::settings().factor;
    // The same grey levels, spread the same way: equal mean and contrast, small differences
    // where the enlargement smooths single pixels.
    double sumGlass = 0, sumPane = 0, squaresGlass = 0, squaresPane = 0, differences = 0;
    int count = 0;
    for (int y = glass.top(); y <= glass.bottom(); ++y) {
      for (int x = glass.left(); x <= glass.right(); ++x) {
        const QPointF offset = QPointF(x - centre.x(), y - centre.y()) / factor;
        const int inGlass = qGray(magnified.pixel(x, y));
        const int inPane = qGray(shown.pixel((QPointF(centre) + offset).toPoint()));
        sumGlass += inGlass;
        sumPane += inPane;
        squaresGlass += inGlass * inGlass;
        squaresPane += inPane * inPane;
        differences += std::abs(inGlass - inPane);
        ++count;
      }
    }
    const double meanGlass = sumGlass / count;
    const double meanPane = sumPane / count;
    const double spreadGlass = std::sqrt(squaresGlass / count - meanGlass * meanGlass);
    const double spreadPane = std::sqrt(squaresPane / count - meanPane * meanPane);
    EXPECT_GT(spreadPane, 5.0) << "a region with detail";
    EXPECT_NEAR(spreadGlass / spreadPane, 1.0, 0.1);
    if (c.eachPoint) {
      EXPECT_NEAR(meanGlass, meanPane, 2.0);
      EXPECT_LT(differences / count, 10.0);
    }
    send(QEvent::MouseButtonRelease, centre, Qt::LeftButton, Qt::NoButton);
    panetest::endAllFilters();
  }
  setPipelineSettings(saved);
}

}  // namespace
