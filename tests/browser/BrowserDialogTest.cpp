// The real browser in the real main window: search, a click on a patient, the thumbnails of its
// series, VIEW into two panes that carry the database's rows.
#include <gtest/gtest.h>

#include <QDir>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTest>

#include "app/AppSettings.h"
#include "browser/BrowserTestSupport.h"
#include "browser/BrwsrImgElement.h"
#include "browser/DropFolder.h"
#include "browser/widgets/DlgBrowser.h"
#include "browser/widgets/DlgWndBrowser.h"
#include "browser/widgets/MyListCtrl.h"
#include "browser/widgets/WndBrowserImg.h"
#include "db/DbTestSupport.h"
#include "display/widgets/ImgDisp.h"
#include "frame/Commands.h"
#include "frame/widgets/MainFrame.h"
#include "login/Passwords.h"
#include "login/widgets/LoginDlg.h"
#include "view/widgets/ToraScanView.h"

namespace {

class BrowserDialog : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    savedDatabase = theAppSettings().imageDatabasePath;
    theAppSettings().imageDatabasePath = path;
    addPatients({{"P1", "Abe^Smith", CDateTime(1970, 1, 2), CDateTime(2024, 3, 1, 9, 0, 0)},
                 {"P2", "Bea^Jones", CDateTime(1980, 5, 6), CDateTime(2024, 3, 2, 9, 0, 0)}});
    const QList<long> studies = addStudies({{"S1", "P1", "ACC1", CDateTime(2024, 3, 1, 9, 0, 0)},
                                            {"S2", "P2", "ACC2", CDateTime(2024, 3, 2, 9, 0, 0)}});
    const long p1Series = addSeries(studies[0], 1, "P1", "S1");
    const long p2Series = addSeries(studies[1], 1, "P2", "S2");
    // The files carry no patient name: what the panes show of it comes from the database.
    for (const auto& [series, number] : {std::pair{p1Series, 1}, {p1Series, 2}, {p2Series, 1}}) {
      const QString file = dir.filePath(QStringLiteral("%1_%2.dcm").arg(series).arg(number));
      ASSERT_TRUE(browsertest::writeFlat(file, 64, 48, std::uint16_t(1000 * number)));
      imageKeys << addImage(series, number, file, QStringLiteral("1.2.%1.%2").arg(series).arg(number));
    }
  }
  void TearDown() override { theAppSettings().imageDatabasePath = savedDatabase; }

  static void clickRow(CMyListCtrl* list, int row) {
    const QRect cell = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
  }

  QString savedDatabase;
  QList<long> imageKeys;
};

TEST_F(BrowserDialog, ClickAPatientSeeItsThumbnailsAndViewThemWithTheDatabaseRows) {
  CMainFrame frame;
  frame.resize(1280, 900);
  frame.show();
  frame.OnCommand(command::Layout1x2);
  frame.OnCommand(command::Browser);
  CDlgBrowser* browser = frame.browser();
  ASSERT_NE(browser, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(browser));
  CMyListCtrl* patients = browser->patientList();
  ASSERT_EQ(patients->model()->rowCount(), 2);
  EXPECT_EQ(browser->lists().patients().text(0, 0), "P2") << "newest schedule first";

  patients->clearSelection();
  clickRow(patients, 1);  // P1
  EXPECT_EQ(browser->lists().studies().rowCount(), 1);
  CDlgWndBrowser* strip = browser->strip();
  // The strip lies between the study list and the bottom buttons, clear of the search row.
  QPushButton* viewButton = browser->findChild<QPushButton*>(QStringLiteral("ctl1042"));
  EXPECT_GT(strip->geometry().top(), browser->studyList()->geometry().bottom());
  EXPECT_LT(strip->geometry().bottom(), viewButton->geometry().top());
  EXPECT_LT(browser->findChild<QWidget*>(QStringLiteral("ctl1270"))->geometry().bottom(),
            browser->patientList()->geometry().top());
  ASSERT_EQ(strip->ElementCount(), 2);
  EXPECT_EQ(strip->SelectedElements().size(), 2) << "listed images start selected";
  EXPECT_EQ(browser->findChild<QPushButton*>(QStringLiteral("ctl2206"))->text(), "2 image(s)");

  QTest::mouseClick(viewButton, Qt::LeftButton);
  EXPECT_FALSE(browser->isVisible()) << "VIEW hides the browser";
  ASSERT_EQ(frame.openImages().count(), 2);
  CtoraScanView* view = frame.view();
  for (int position = 0; position < 2; ++position) {
    SCOPED_TRACE(position);
    const CImageEach* shown = view->pane(1, position)->image();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->scanInfo.Pat.PatName, "Abe^Smith");
    EXPECT_EQ(shown->scanInfo.Stu.StuAccessNo, "ACC1");
    EXPECT_EQ(shown->scanInfo.Img.ImgSeq, imageKeys[position]);
    EXPECT_EQ(shown->scanInfo.Img.ImageNo, position + 1);
  }
}

TEST_F(BrowserDialog, ViewWithNothingSelectedLeavesTheBrowserOpenAndOpensNothing) {
  CMainFrame frame;
  frame.show();
  frame.ShowBrowser();
  CDlgBrowser* browser = frame.browser();
  ASSERT_GT(browser->strip()->ElementCount(), 0);
  browser->strip()->InvertSelection(true);
  browser->OnView();
  EXPECT_TRUE(browser->isVisible());
  EXPECT_EQ(frame.openImages().count(), 0);
}

// The station mode: a pass over the drop folder lists the patients again, nothing selected.
TEST_F(BrowserDialog, ImagesDroppedInTheStationModeAreListedAfterAPassWithNothingSelected) {
  const QString drop = dir.filePath(QStringLiteral("save/CR_1205"));
  const QString savedDrop = theAppSettings().wholeSpinePath;
  const int savedRunMode = theAppSettings().RunMode;
  theAppSettings().wholeSpinePath = drop;
  theAppSettings().RunMode = RunModeStation;
  CMainFrame frame;
  frame.show();
  frame.ShowBrowser();
  theAppSettings().wholeSpinePath = savedDrop;
  theAppSettings().RunMode = savedRunMode;
  CDlgBrowser* browser = frame.browser();
  ASSERT_TRUE(QFileInfo(drop).isDir()) << "the browser makes the drop folder";
  ASSERT_GT(browser->strip()->ElementCount(), 0);

  const auto dropImage = [&](const char* uid) {
    testsupport::DicomBuilder file;
    file.set(DCM_SOPInstanceUID, uid)
        .set(DCM_PatientID, "P3")
        .set(DCM_PatientName, "New^Arrival")
        .set(DCM_StudyInstanceUID, "1.2.3.9")
        .set(DCM_StudyDate, "20240303");
    return file.save(QDir(drop).filePath(QString::fromLatin1(uid) + ".dcm"));
  };
  browser->hide();
  ASSERT_TRUE(dropImage("1.2.3.9.1"));
  browser->PollDropFolder();
  EXPECT_EQ(QDir(drop).entryList(QDir::Files).size(), 1) << "nothing while the browser is hidden";

  browser->show();
  ASSERT_TRUE(dropImage("1.2.3.9.2"));
  browser->PollDropFolder();
  EXPECT_EQ(QDir(drop).entryList(QDir::Files), QStringList());
  EXPECT_TRUE(QFileInfo::exists(CDropFolder::DefaultArchiveFolder(drop) + "/1.2.3.9/1.2.3.9.2.dcm"));
  CBrowserLists& lists = browser->lists();
  ASSERT_EQ(lists.patients().rowCount(), 3);
  EXPECT_EQ(lists.patients().text(0, 0), "P3") << "newest schedule first";
  EXPECT_TRUE(lists.patientSelection().selectedRows().isEmpty());
  EXPECT_EQ(lists.studies().rowCount(), 0);
  EXPECT_EQ(browser->strip()->ElementCount(), 0);
  EXPECT_EQ(browser->findChild<QPushButton*>(QStringLiteral("ctl2206"))->text(), "0 image(s)");
}

// An operator logs in at the first delete and removes one image through the strip's menu: the
// strip, the image count and the series' count follow, and the image's file is gone.
// The program asks for the main window at the screen's size, and the browser takes the main
// window's place: with the window manager's frame around them both stay on the screen, their
// bottom rows included.
TEST_F(BrowserDialog, MainWindowAndBrowserAtTheScreensSizeStayOnTheScreen) {
  CMainFrame frame;
  const QRect available = frame.screen()->availableGeometry();
  frame.move(available.topLeft());
  frame.resize(available.size());
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  frame.ShowBrowser();
  CDlgBrowser* browser = frame.browser();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(browser));
  QCoreApplication::processEvents();
  for (const QWidget* window : {static_cast<QWidget*>(&frame), static_cast<QWidget*>(browser)}) {
    SCOPED_TRACE(window->metaObject()->className());
    ASSERT_GT(window->frameGeometry().height(), window->height()) << "a frame around the window";
    EXPECT_TRUE(available.contains(window->frameGeometry()));
  }
}

TEST_F(BrowserDialog, AnOperatorDeletesOneImageFromTheStripsMenu) {
  ASSERT_TRUE(CdbDatabase(path).Execute(
      QStringLiteral("INSERT INTO Operator (OperatorName, Password) VALUES ('Kim', ?)"),
      {HashPassword(QStringLiteral("secret"))}));
  const QString savedProgramFolder = theAppSettings().programFolder;
  theAppSettings().programFolder = dir.path() + QLatin1Char('/');  // the images' storage
  CMainFrame frame;
  frame.resize(1280, 900);
  frame.show();
  frame.ShowBrowser();
  CDlgBrowser* browser = frame.browser();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(browser));
  // DEL. and File Export are shown beside VIEW and MINIMIZE, overlapping nothing; the other
  // deletes are kept hidden and reached through the menus.
  QList<QRect> bottomRow;
  for (int id : {CDlgBrowser::kDeletePatients, CDlgBrowser::kFileExport, CDlgBrowser::kView,
                 CDlgBrowser::kMinimize, CDlgBrowser::kImageCount}) {
    auto* button = browser->findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id));
    ASSERT_TRUE(button && button->isVisible()) << id;
    for (const QRect& other : bottomRow) EXPECT_FALSE(other.intersects(button->geometry())) << id;
    bottomRow << button->geometry();
  }
  for (int id : {CDlgBrowser::kDeleteStudies, CDlgBrowser::kDeleteSeries,
                 CDlgBrowser::kDeleteImages, CDlgBrowser::kDeleteAll}) {
    EXPECT_FALSE(browser->findChild<QPushButton*>(QStringLiteral("ctl%1").arg(id))->isVisible());
  }
  browser->patientList()->clearSelection();
  clickRow(browser->patientList(), 1);  // P1, two images in one series
  CDlgWndBrowser* strip = browser->strip();
  ASSERT_EQ(strip->ElementCount(), 2);
  const QString secondFile = strip->Element(1)->imageInfo.FullPath;

  // The menu takes the first entry ("Delete Image"); the login dialog gets the password; the
  // question is answered Yes.
  sink.queueAnswer(IDYES);
  QStringList seen;
  QTimer operatorHands;
  operatorHands.setInterval(20);
  QObject::connect(&operatorHands, &QTimer::timeout, [&] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      seen << menu->actions().first()->text();
      QTest::keyClick(menu, Qt::Key_Down);
      QTest::keyClick(menu, Qt::Key_Return);
    } else if (auto* login = qobject_cast<CLoginDlg*>(QApplication::activeModalWidget())) {
      seen << login->windowTitle();
      auto* name = login->findChild<QComboBox*>(QStringLiteral("ctl%1").arg(CLoginDlg::kOperatorCombo));
      name->setCurrentIndex(name->findText(QStringLiteral("Kim")));
      auto* password =
          login->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(CLoginDlg::kPasswordEdit));
      password->setText(QStringLiteral("secret"));
      QTest::keyClick(password, Qt::Key_Return);
    }
  });
  operatorHands.start();
  CWndBrowserImg* thumbnail = strip->Window(1);
  ASSERT_NE(thumbnail, nullptr);
  QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(20, 20),
                               thumbnail->mapToGlobal(QPoint(20, 20)));
  QApplication::sendEvent(thumbnail, &rightClick);
  operatorHands.stop();
  theAppSettings().programFolder = savedProgramFolder;

  EXPECT_EQ(seen, (QStringList{"Delete Image", "Operator"}));
  EXPECT_EQ(sink.texts(), QStringList{"Do you delete selected image?(Y/N)\r\n1 image(s)"});
  ASSERT_EQ(strip->ElementCount(), 1);
  EXPECT_EQ(strip->Element(0)->imageInfo.ImageNo, 1);
  EXPECT_EQ(browser->findChild<QPushButton*>(QStringLiteral("ctl2206"))->text(), "1 image(s)");
  ASSERT_EQ(browser->lists().series().rowCount(), 1);
  EXPECT_EQ(browser->lists().series().text(0, 2), "1") << "the series' image count";
  EXPECT_FALSE(QFileInfo::exists(secondFile));
  EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM ImgInfo"), 2);

  // Logged in once: the next delete asks no more, and No leaves everything.
  sink.clear();
  sink.queueAnswer(IDNO);
  browser->DeleteImages({strip->Element(0)});
  EXPECT_EQ(sink.count(), 1);
  EXPECT_EQ(strip->ElementCount(), 1);
}

// A thumbnail dropped on another of its series: asked first, then the strip shows the new order.
TEST_F(BrowserDialog, DroppingAThumbnailOnAnotherRenumbersTheSeries) {
  CMainFrame frame;
  frame.show();
  frame.ShowBrowser();
  CDlgBrowser* browser = frame.browser();
  browser->patientList()->clearSelection();
  clickRow(browser->patientList(), 1);  // P1
  CDlgWndBrowser* strip = browser->strip();
  ASSERT_EQ(strip->ElementCount(), 2);
  const long series = strip->Element(0)->imageInfo.SerSeq;
  const QString first = strip->Element(0)->imageInfo.FullPath;
  const QString second = strip->Element(1)->imageInfo.FullPath;

  sink.queueAnswers({IDNO, IDYES});
  strip->DropOn(*strip->Element(0), second);  // No: nothing moves
  EXPECT_EQ(strip->Element(0)->imageInfo.FullPath, first);
  strip->DropOn(*strip->Element(0), second);
  EXPECT_EQ(sink.texts(), (QStringList{"Do you want to move [2] in front of [1]?",
                                       "Do you want to move [2] in front of [1]?"}));
  ASSERT_EQ(strip->ElementCount(), 2);
  EXPECT_EQ(strip->Element(0)->imageInfo.FullPath, second);
  EXPECT_EQ(strip->Element(0)->imageInfo.ImageNo, 1);
  EXPECT_EQ(strip->Element(1)->imageInfo.FullPath, first);
  EXPECT_EQ(scalar(QStringLiteral("SELECT ImageNo AS n FROM ImgInfo WHERE SerSeq = %1 AND "
                                  "FullPath = '%2'")
                       .arg(series)
                       .arg(first)),
            2);
}

}  // namespace
