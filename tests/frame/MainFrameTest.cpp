// The main window's commands, run modes and open-image rules, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include "anno/AnnoLine.h"
#include "app/AppSettings.h"
#include "db/DbDatabase.h"
#include "display/widgets/ImgDisp.h"
#include "frame/Commands.h"
#include "frame/widgets/MainFrame.h"
#include "support/DicomBuilder.h"
#include "ui/MessageSink.h"
#include "view/widgets/ToraScanView.h"

namespace {

using testsupport::DicomBuilder;

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    savedRunMode = theAppSettings().RunMode;
  }
  void TearDown() override { theAppSettings().RunMode = savedRunMode; }

  // A small 12-bit image with distinct pixels, saved as DICOM.
  QString writeImage(const QString& name) {
    std::vector<std::uint16_t> pixels;
    for (int i = 0; i < 6 * 4; ++i) pixels.push_back(std::uint16_t(i * 100));
    DicomBuilder builder;
    builder.pixels16(6, 4, pixels, 12).set(DCM_WindowWidth, "2000").set(DCM_WindowCenter, "1000");
    const QString path = dir.filePath(name);
    EXPECT_TRUE(builder.save(path));
    return path;
  }
  static QStringList visibleMenus(const CMainFrame& frame) {
    QStringList titles;
    for (QAction* action : frame.menuBar()->actions()) {
      if (action->isVisible()) titles << action->text();
    }
    return titles;
  }

  QTemporaryDir dir;
  int savedRunMode = RunModeStation;
};

TEST_F(MainFrameTest, EmbeddedModeHasNoBrowserLayoutOrReportAndIgnoresTheBrowserCommand) {
  theAppSettings().RunMode = RunModeEmbedded;
  CMainFrame frame;
  EXPECT_FALSE(frame.action(command::Browser)->isVisible());
  const QStringList menus = visibleMenus(frame);
  EXPECT_EQ(menus.size(), 4) << menus.join(',').toStdString();
  EXPECT_EQ(frame.toolBar()->actions().size(), 14) << "layout and report buttons removed";
  QSignalSpy browser(frame.view(), &CtoraScanView::browserRequested);
  EXPECT_TRUE(frame.OnCommand(command::Browser));
  EXPECT_EQ(browser.count(), 0);
}

TEST_F(MainFrameTest, DiscModeLosesConfigAndReportAndIsCalledNorvika) {
  theAppSettings().RunMode = RunModeDisc;
  CMainFrame frame;
  EXPECT_EQ(frame.windowTitle(), QStringLiteral("Norvika"));
  EXPECT_FALSE(frame.action(command::Config)->isVisible());
  EXPECT_EQ(visibleMenus(frame).size(), 5);
  EXPECT_EQ(frame.toolBar()->actions().size(), 18);
}

TEST_F(MainFrameTest, StationModeKeepsEveryMenuAndButton) {
  theAppSettings().RunMode = RunModeStation;
  CMainFrame frame;
  EXPECT_EQ(visibleMenus(frame).size(), 6);
  EXPECT_EQ(frame.toolBar()->actions().size(), 20);
  QSignalSpy browser(frame.view(), &CtoraScanView::browserRequested);
  frame.OnCommand(command::Browser);
  EXPECT_EQ(browser.count(), 1);
}

TEST_F(MainFrameTest, UserLoginAndAddUserAreInTheFileMenuInEveryMode) {
  for (const int mode : {RunModeEmbedded, RunModeStation, RunModeDisc}) {
    theAppSettings().RunMode = mode;
    CMainFrame frame;
    const QMenu* file = frame.menuBar()->actions().value(0)->menu();
    ASSERT_NE(file, nullptr);
    const struct {
      int id;
      const char* text;
    } entries[] = {{command::ChangeUser, "User Login..."}, {command::CreateUser, "Add User..."}};
    for (const auto& entry : entries) {
      QAction* action = frame.action(entry.id);
      ASSERT_NE(action, nullptr) << entry.text;
      EXPECT_EQ(action->text(), entry.text);
      EXPECT_TRUE(file->actions().contains(action)) << entry.text;
      EXPECT_TRUE(action->isVisible()) << mode;
    }
  }
}

TEST_F(MainFrameTest, UserCommandsOpenTheirDialogs) {
  CMainFrame frame;
  const struct {
    int id;
    const char* dialog;
  } commands[] = {{command::ChangeUser, "CDlgChangeUser"}, {command::CreateUser, "CDlgAddUser"}};
  for (const auto& c : commands) {
    QString opened;
    QTimer::singleShot(0, [&] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        opened = QString::fromLatin1(modal->metaObject()->className());
        modal->close();
      }
    });
    frame.action(c.id)->trigger();
    EXPECT_EQ(opened, c.dialog);
  }
}

TEST_F(MainFrameTest, OpeningTheSameFileTwiceAsksAndNoKeepsOneEntry) {
  CMainFrame frame;
  const QString path = writeImage(QStringLiteral("chest.dcm"));
  RecordingMessageSink sink;
  ScopedMessageSink bound(&sink);
  ASSERT_EQ(frame.OpenImage(path, true), 0);
  sink.queueAnswer(IDNO);
  EXPECT_EQ(frame.OpenImage(path, true), -1);
  EXPECT_EQ(frame.openImages().count(), 1);
  ASSERT_EQ(sink.count(), 1);
  EXPECT_EQ(sink.messages()[0].text,
            QStringLiteral("The Image is already opened with Image Index 0"));
  sink.queueAnswer(IDYES);
  EXPECT_EQ(frame.OpenImage(path, true), 0);
  EXPECT_EQ(frame.openImages().count(), 2);
  EXPECT_EQ(frame.openImages().at(0)->filePath, frame.openImages().at(1)->filePath);
}

TEST_F(MainFrameTest, FailedOpenLeavesNoEntry) {
  CMainFrame frame;
  EXPECT_LT(frame.OpenImage(dir.filePath(QStringLiteral("missing.dcm")), true), 0);
  EXPECT_EQ(frame.openImages().count(), 0);
}

TEST_F(MainFrameTest, HandOverReplacesEveryOpenImage) {
  CMainFrame frame;
  ASSERT_EQ(frame.OpenImage(writeImage(QStringLiteral("a.dcm")), true), 0);
  ASSERT_EQ(frame.OpenImage(writeImage(QStringLiteral("b.dcm")), true), 0);
  const std::vector<std::uint16_t> pixels(8 * 5, 1234);
  frame.HandOverRawImage(pixels, 8, 5, 14, 4000, 2000);
  ASSERT_EQ(frame.openImages().count(), 1);
  const CImageEach* image = frame.openImages().at(0);
  EXPECT_EQ(image->width, 8);
  EXPECT_TRUE(frame.rawSource());
  EXPECT_EQ(frame.view()->ActiveImageIndex(), 0);
}

TEST_F(MainFrameTest, FourRotationsAndTwoMirrorsBringThePixelsBack) {
  CMainFrame frame;
  ASSERT_EQ(frame.OpenImage(writeImage(QStringLiteral("turn.dcm")), true), 0);
  const CImageEach* image = frame.openImages().at(0);
  const std::vector<std::uint8_t> before(
      image->image.bitmap().data(),
      image->image.bitmap().data() + image->image.bitmap().byteSize());
  frame.OnCommand(command::RotateRight);
  EXPECT_EQ(image->width, 4) << "the entry keeps the turned size";
  for (int i = 0; i < 3; ++i) frame.OnCommand(command::RotateRight);
  frame.OnCommand(command::Mirror);
  frame.OnCommand(command::Mirror);
  const std::vector<std::uint8_t> after(
      image->image.bitmap().data(),
      image->image.bitmap().data() + image->image.bitmap().byteSize());
  EXPECT_EQ(before, after);
  EXPECT_EQ(image->width, 6);
}

TEST_F(MainFrameTest, OpenedImageTakesTheFilmSizeOfItsAcquisitionProtocol) {
  AppSettings& settings = theAppSettings();
  const QString savedDatabase = settings.imageDatabasePath;
  settings.imageDatabasePath = dir.filePath(QStringLiteral("Pelmora.db"));
  {
    CdbDatabase db(settings.imageDatabasePath);
    for (const char* sql : {"INSERT INTO tEP (KeyEP, NameEP, KeyMT) VALUES (4, 'CHEST', 0)",
                            "INSERT INTO tVP (KeyVP, NameVP, KeyMT, KeyEP) VALUES (8, 'PA', 0, 4)",
                            "INSERT INTO tEC (KeyVP, KeyBS, FilmSizeX, FilmSizeY, LUT) "
                            "VALUES (8, 0, 4300, 3500, 'chest.lut')"}) {
      ASSERT_TRUE(db.Execute(QLatin1String(sql)));
    }
  }
  DicomBuilder builder;
  builder.pixels16(6, 4, std::vector<std::uint16_t>(24, 500), 12)
      .set(DCM_BodyPartExamined, "CHEST")
      .set(DCM_PatientPosition, "PA");
  const QString path = dir.filePath(QStringLiteral("chest.dcm"));
  ASSERT_TRUE(builder.save(path));
  CMainFrame frame;
  ASSERT_EQ(frame.OpenImage(path, true), 0);
  const CImageEach* image = frame.openImages().at(0);
  EXPECT_EQ(image->filmSizeX, 4300);
  EXPECT_EQ(image->filmSizeY, 3500);
  EXPECT_TRUE(image->landscape);
  EXPECT_EQ(image->lut, "chest.lut");
  settings.imageDatabasePath = savedDatabase;
}

TEST_F(MainFrameTest, LayoutCommandsSetTheViewsLayout) {
  CMainFrame frame;
  for (const auto& [id, layout] : std::vector<std::pair<int, int>>{
           {command::Layout1x2, 1}, {command::Layout2x2, 3}, {command::Layout1x1, 0}}) {
    frame.OnCommand(id);
    EXPECT_EQ(frame.view()->layout(), layout);
    EXPECT_EQ(theAppSettings().currentLayout, layout);
  }
}

TEST_F(MainFrameTest, LayoutCommandsShowTheActivePanesImage) {
  const struct {
    int command;
    int activePosition;  // in 2 x 2, whose page starts at image 4
    int expectedImage;
    int expectedPosition;
  } cases[] = {{command::Layout1x1, 1, 5, 0},
               {command::Layout1x1, 0, 4, 0},
               {command::Layout1x2, 1, 5, 1},
               {command::Layout1x2, 2, 6, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    SCOPED_TRACE(c.activePosition);
    CMainFrame frame;
    frame.resize(800, 600);
    frame.show();
    for (int i = 0; i < 8; ++i) {
      ASSERT_EQ(frame.OpenImage(writeImage(QStringLiteral("%1.dcm").arg(i)), true), 0);
    }
    frame.OnCommand(command::Layout2x2);
    frame.OnCommand(command::NextImage);
    ASSERT_EQ(frame.view()->pageStart(), 4);
    frame.view()->ActivatePane(c.activePosition);
    ASSERT_EQ(frame.view()->ActiveImageIndex(), 4 + c.activePosition);
    frame.OnCommand(c.command);
    EXPECT_EQ(frame.view()->ActiveImageIndex(), c.expectedImage);
    EXPECT_EQ(frame.view()->shownImage(c.expectedPosition), c.expectedImage);
    EXPECT_EQ(frame.view()->ActivePane()->position(), c.expectedPosition);
  }
}

// A larger image, so that zoom and pan leave it partly outside the pane.
QString writeLargeImage(const QString& path) {
  std::vector<std::uint16_t> pixels;
  for (int i = 0; i < 300 * 200; ++i) pixels.push_back(std::uint16_t(i % 4000));
  DicomBuilder builder;
  builder.pixels16(300, 200, pixels, 12).set(DCM_WindowWidth, "4000").set(DCM_WindowCenter, "2000");
  EXPECT_TRUE(builder.save(path));
  return path;
}

TEST_F(MainFrameTest, InvertMirrorAndFlipKeepTheZoomAndPlaceWhileRotationFitsAgain) {
  for (const int id : {command::Invert, command::Mirror, command::Flip}) {
    SCOPED_TRACE(id);
    CMainFrame frame;
    frame.resize(800, 600);
    frame.show();
    ASSERT_EQ(frame.OpenImage(writeLargeImage(dir.filePath(QStringLiteral("large.dcm"))), true), 0);
    CBaseImage& pixels = frame.openImages().at(0)->image;
    pixels.SetZoom(0.25f);                // the operator zoomed in ...
    pixels.setDisplayOrigin(-150, -120);  // ... and panned
    const QRect before = pixels.displayRect();
    frame.OnCommand(id);
    EXPECT_FLOAT_EQ(pixels.zoom().value(), 0.25f);
    EXPECT_EQ(pixels.displayRect(), before);
  }
  CMainFrame frame;
  frame.resize(800, 600);
  frame.show();
  ASSERT_EQ(frame.OpenImage(writeLargeImage(dir.filePath(QStringLiteral("large.dcm"))), true), 0);
  CBaseImage& pixels = frame.openImages().at(0)->image;
  const float fitted = pixels.zoom().value();
  pixels.SetZoom(0.25f);
  frame.OnCommand(command::RotateRight);
  EXPECT_NE(pixels.zoom().value(), 0.25f) << "a rotated image is fitted into the pane again";
  EXPECT_NE(pixels.zoom().value(), fitted) << "and the fit follows its new shape";
}

TEST_F(MainFrameTest, ResetReopensTheFileIntoTheSameEntryKeepingItsValuesAndMeasurements) {
  CMainFrame frame;
  frame.resize(800, 600);
  frame.show();
  const QString path = writeImage(QStringLiteral("reset.dcm"));
  ASSERT_EQ(frame.OpenImage(path, true), 0);
  CImageEach* entry = frame.openImages().at(0);
  const std::vector<std::uint16_t> original = [&] {
    const imaging::Bitmap& b = entry->image.bitmap();
    return std::vector<std::uint16_t>(b.grey16(), b.grey16() + b.width() * b.height());
  }();
  entry->scanInfo.Stu.StuSeq = 42;  // a value the browser gave from the database
  entry->annotations[0].objects().Append(std::make_unique<CAnnoLine>());
  frame.OnCommand(command::RotateRight);
  frame.OnCommand(command::Invert);
  ASSERT_FALSE(entry->annotations[0].geometry().OrientationA() == 1 &&
               entry->annotations[0].geometry().OrientationB() == 2);
  frame.OnCommand(command::Reset);
  ASSERT_EQ(frame.openImages().count(), 1);
  EXPECT_EQ(frame.openImages().at(0), entry) << "the same entry";
  EXPECT_EQ(entry->scanInfo.Stu.StuSeq, 42);
  EXPECT_EQ(entry->annotations[0].objects().Count(), 1);
  EXPECT_EQ(entry->annotations[0].geometry().OrientationA(), 1);
  EXPECT_EQ(entry->annotations[0].geometry().OrientationB(), 2);
  const imaging::Bitmap& b = entry->image.bitmap();
  EXPECT_EQ(b.width(), 6);
  EXPECT_EQ(std::vector<std::uint16_t>(b.grey16(), b.grey16() + b.width() * b.height()), original);
  EXPECT_FALSE(entry->image.isInverted());
  EXPECT_EQ(entry->width, 6);
  EXPECT_EQ(frame.view()->ActiveImageIndex(), 0);
}

TEST_F(MainFrameTest, ResetOfAFileThatIsGoneKeepsThePictureAndSaysSo) {
  CMainFrame frame;
  const QString path = writeImage(QStringLiteral("gone.dcm"));
  ASSERT_EQ(frame.OpenImage(path, true), 0);
  ASSERT_TRUE(QFile::remove(path));
  RecordingMessageSink sink;
  ScopedMessageSink bound(&sink);
  frame.OnCommand(command::Reset);
  ASSERT_EQ(sink.count(), 1);
  EXPECT_EQ(sink.messages()[0].text, QStringLiteral("Can't open selected file. [%1]").arg(path));
  EXPECT_TRUE(frame.openImages().at(0)->image.IsAllocated());
}

TEST_F(MainFrameTest, CommandLineReportsEveryFileThatCannotBeOpened) {
  const QString good = writeImage(QStringLiteral("good.dcm"));
  const QString longPath = dir.filePath(QString(250, QLatin1Char('x')) + QStringLiteral(".dcm"));
  ASSERT_GT(longPath.size(), CImageEach::kMaxPathLength);
  const QString missing = dir.filePath(QStringLiteral("missing.dcm"));
  CMainFrame frame;
  RecordingMessageSink sink;
  ScopedMessageSink bound(&sink);
  // Two reports, then the second copy of good.dcm is declined: no report for it.
  sink.queueAnswers({IDOK, IDOK, IDNO});
  frame.OpenCommandLine({QStringLiteral("toraScan"), longPath, good, missing, good,
                         QStringLiteral("--layout"), QStringLiteral("1x2")});
  EXPECT_EQ(frame.openImages().count(), 1);
  EXPECT_EQ(frame.view()->layout(), 1);
  EXPECT_EQ(sink.texts(),
            (QStringList{QStringLiteral("Can't open selected file. [%1]").arg(longPath),
                         QStringLiteral("Can't open selected file. [%1]").arg(missing),
                         QStringLiteral("The Image is already opened with Image Index 0")}));
}

}  // namespace
