// The real browser in the real main window: search, a click on a patient, the thumbnails of its
// series, VIEW into two panes that carry the database's rows.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <memory>

#include "app/AppSettings.h"
#include "app/CompanionSettings.h"
#include "app/IniFile.h"
#include "browser/BrowserTestSupport.h"
#include "browser/BrwsrImgElement.h"
#include "browser/DropFolder.h"
#include "browser/ImportImage.h"
#include "browser/StripGeometry.h"
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
#include "support/StationFolder.h"
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
      imageKeys << addImage(series, number, file,
                            QStringLiteral("1.2.%1.%2").arg(series).arg(number));
    }
  }
  void TearDown() override { theAppSettings().imageDatabasePath = savedDatabase; }

  // The main window at a usual size with the browser shown over it.
  static CDlgBrowser* showBrowser(CMainFrame& frame) {
    frame.resize(1280, 900);
    frame.show();
    frame.ShowBrowser();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.browser()));
    return frame.browser();
  }
  static void clickRow(CMyListCtrl* list, int row) {
    const QRect cell = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
  }

  // Kim, password "secret", may delete.
  void addOperator() {
    ASSERT_TRUE(CdbDatabase(path).Execute(
        QStringLiteral("INSERT INTO Operator (OperatorName, Password) VALUES ('Kim', ?)"),
        {HashPassword(QStringLiteral("secret"))}));
  }
  // Logs Kim in when the login dialog is up; its title, or nothing when it is not.
  static QString answerLogin() {
    auto* login = qobject_cast<CLoginDlg*>(QApplication::activeModalWidget());
    if (login == nullptr) return {};
    auto* name =
        login->findChild<QComboBox*>(QStringLiteral("ctl%1").arg(CLoginDlg::kOperatorCombo));
    name->setCurrentIndex(name->findText(QStringLiteral("Kim")));
    auto* password =
        login->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(CLoginDlg::kPasswordEdit));
    password->setText(QStringLiteral("secret"));
    QTest::keyClick(password, Qt::Key_Return);
    return login->windowTitle();
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

// The station mode: a pass over the drop folder lists the patients again and leaves the
// operator's patient, its study and its thumbnails as they were chosen; new images join.
TEST_F(BrowserDialog, ADropFolderPassKeepsTheChosenPatientStudyAndThumbnails) {
  const QString drop = dir.filePath(QStringLiteral("save/CR_1205"));
  const QString savedDrop = theAppSettings().wholeSpinePath;
  const int savedRunMode = theAppSettings().RunMode;
  theAppSettings().wholeSpinePath = drop;
  theAppSettings().RunMode = RunModeStation;
  CMainFrame frame;
  CDlgBrowser* browser = showBrowser(frame);
  theAppSettings().wholeSpinePath = savedDrop;
  theAppSettings().RunMode = savedRunMode;
  ASSERT_TRUE(QFileInfo(drop).isDir()) << "the browser makes the drop folder";

  const auto dropImage = [&](const char* uid, const char* patient, const char* study) {
    testsupport::DicomBuilder file;
    file.set(DCM_SOPInstanceUID, uid)
        .set(DCM_PatientID, patient)
        .set(DCM_StudyID, study)
        .set(DCM_StudyInstanceUID, "1.2.3.9")
        .set(DCM_StudyDate, "20240303")
        .set(DCM_SeriesNumber, "7");
    return file.save(QDir(drop).filePath(QString::fromLatin1(uid) + ".dcm"));
  };
  browser->hide();
  ASSERT_TRUE(dropImage("1.2.3.9.1", "P3", "S3"));
  browser->PollDropFolder();
  EXPECT_EQ(QDir(drop).entryList(QDir::Files).size(), 1) << "nothing while the browser is hidden";

  // The operator picks P1, unpicks its first thumbnail and scrolls one image on.
  browser->show();
  CMyListCtrl* patients = browser->patientList();
  patients->clearSelection();
  clickRow(patients, 1);  // P1
  CDlgWndBrowser* strip = browser->strip();
  ASSERT_EQ(strip->ElementCount(), 2);
  QTest::mouseClick(strip->Window(0), Qt::LeftButton, {}, QPoint(45, 45));
  strip->ScrollRight();
  ASSERT_EQ(strip->SelectedElements().size(), 1);
  const long kept = strip->SelectedElements()[0]->imageInfo.ImgSeq;

  // A new patient and a new study of P1 come in.
  ASSERT_TRUE(dropImage("1.2.3.9.2", "P1", "S9"));
  browser->PollDropFolder();
  EXPECT_EQ(QDir(drop).entryList(QDir::Files), QStringList());
  EXPECT_TRUE(
      QFileInfo::exists(CDropFolder::DefaultArchiveFolder(drop) + "/1.2.3.9/1.2.3.9.2.dcm"));
  CBrowserLists& lists = browser->lists();
  ASSERT_EQ(lists.patients().rowCount(), 3);
  const auto selectedTexts = [](CMyListModel& model, QItemSelectionModel& selection, int column) {
    QStringList texts;
    for (int row : CBrowserLists::SelectedRows(selection)) texts << model.text(row, column);
    return texts;
  };
  EXPECT_EQ(selectedTexts(lists.patients(), lists.patientSelection(), 0), QStringList{"P1"});
  EXPECT_EQ(selectedTexts(lists.studies(), lists.studySelection(), 1), QStringList{"S1"})
      << "P1's new study is listed, not chosen";
  EXPECT_EQ(lists.studies().rowCount(), 2);
  ASSERT_EQ(strip->ElementCount(), 2);
  ASSERT_EQ(strip->SelectedElements().size(), 1);
  EXPECT_EQ(strip->SelectedElements()[0]->imageInfo.ImgSeq, kept);
  EXPECT_EQ(strip->FirstIndex(), 1);
  EXPECT_EQ(browser->findChild<QPushButton*>(QStringLiteral("ctl2206"))->text(), "2 image(s)");

  // With nothing chosen a pass chooses nothing.
  patients->clearSelection();
  ASSERT_TRUE(dropImage("1.2.3.9.3", "P4", "S4"));
  browser->PollDropFolder();
  EXPECT_EQ(lists.patients().rowCount(), 4);
  EXPECT_TRUE(lists.patientSelection().selectedRows().isEmpty());
  EXPECT_EQ(lists.studies().rowCount(), 0);
  EXPECT_EQ(strip->ElementCount(), 0);
  EXPECT_EQ(browser->findChild<QPushButton*>(QStringLiteral("ctl2206"))->text(), "0 image(s)");
}

// The receiver service's watcher indexes into the same database from a process of its own: the
// shown browser lists what it added at its next pass, though its own drop folder stays empty,
// and keeps the operator's choice.
TEST_F(BrowserDialog, ImagesAnotherProcessIndexedAreListedAtTheNextPass) {
  const QString savedDrop = theAppSettings().wholeSpinePath;
  const int savedRunMode = theAppSettings().RunMode;
  theAppSettings().wholeSpinePath = dir.filePath(QStringLiteral("save/CR_1205"));
  theAppSettings().RunMode = RunModeStation;
  CMainFrame frame;
  CDlgBrowser* browser = showBrowser(frame);
  theAppSettings().wholeSpinePath = savedDrop;
  theAppSettings().RunMode = savedRunMode;
  CBrowserLists& lists = browser->lists();
  ASSERT_EQ(lists.patients().rowCount(), 2);
  clickRow(browser->patientList(), 1);  // P1

  const auto indexElsewhere = [&](const char* uid, const char* patient) {
    testsupport::DicomBuilder file;
    file.set(DCM_SOPInstanceUID, uid)
        .set(DCM_PatientID, patient)
        .set(DCM_StudyInstanceUID, "1.2.3.7")
        .set(DCM_StudyDate, "20240305");
    const QString image = dir.filePath(QString::fromLatin1(uid) + ".dcm");
    ASSERT_TRUE(file.save(image));
    QProcess cli;
    cli.start(QStringLiteral(TORASCAN_CLI), {"import", "--db", path, image});
    ASSERT_TRUE(cli.waitForFinished(30000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  };
  ASSERT_NO_FATAL_FAILURE(indexElsewhere("1.2.3.7.1", "P5"));
  browser->PollDropFolder();
  ASSERT_EQ(lists.patients().rowCount(), 3);
  QStringList listed;
  for (int row = 0; row < 3; ++row) listed << lists.patients().text(row, 0);
  EXPECT_TRUE(listed.contains("P5")) << listed.join(',').toStdString();
  const QList<int> chosen = CBrowserLists::SelectedRows(lists.patientSelection());
  ASSERT_EQ(chosen.size(), 1);
  EXPECT_EQ(lists.patients().text(chosen[0], 0), "P1");

  // Only a change relists: a pass after nothing came leaves the lists as they are.
  lists.patientSelection().clearSelection();
  browser->PollDropFolder();
  EXPECT_TRUE(CBrowserLists::SelectedRows(lists.patientSelection()).isEmpty());
  EXPECT_EQ(lists.studies().rowCount(), 1) << "P1's study still listed";

  // A second image into a study already listed counts as well.
  ASSERT_NO_FATAL_FAILURE(indexElsewhere("1.2.3.7.2", "P5"));
  browser->PollDropFolder();
  EXPECT_EQ(lists.studies().rowCount(), 0) << "listed again: nothing chosen, nothing below";
}

// The operator moved the receiver's folder in Config while images were still arriving: the
// companion kept filling the old folder until the restart. The next run watches the new folder
// and drains the old one into the archive beside it, then forgets it.
TEST_F(BrowserDialog, ImagesLeftInTheDropFolderOfEarlierSettingsAreIndexedAfterTheChange) {
  testsupport::StationFolder station;
  ASSERT_TRUE(station.isValid());
  const QString old = dir.filePath(QStringLiteral("old/CR_1205"));
  ASSERT_TRUE(CIniFile(station.iniFile()).WriteString("SYSTEM", "WholeSpinePath", old));
  ASSERT_TRUE(station.settings.load(station.path()));
  CompanionSettings moved;
  moved.savePath = dir.filePath(QStringLiteral("moved"));
  ASSERT_EQ(station.settings.SaveReceiverSettings(moved), QString());
  ASSERT_TRUE(QDir().mkpath(old));
  testsupport::DicomBuilder late;
  late.set(DCM_SOPInstanceUID, "1.2.3.8.1")
      .set(DCM_PatientID, "P4")
      .set(DCM_StudyInstanceUID, "1.2.3.8")
      .set(DCM_StudyDate, "20240304");
  ASSERT_TRUE(late.save(QDir(old).filePath("late.dcm")));

  // The restart.
  AppSettings next;
  ASSERT_TRUE(next.load(station.path()));
  AppSettings& app = theAppSettings();
  const QString savedIni = app.ini.Path();
  const int savedRunMode = app.RunMode;
  const QString savedDrop = app.wholeSpinePath;
  const QString savedStart = app.startWholeSpinePath;
  const QStringList savedPrevious = app.previousWholeSpinePaths;
  const std::shared_ptr<void> restore(nullptr, [&](void*) {
    app.ini.SetPath(savedIni);
    app.RunMode = savedRunMode;
    app.wholeSpinePath = savedDrop;
    app.startWholeSpinePath = savedStart;
    app.previousWholeSpinePaths = savedPrevious;
  });
  app.ini.SetPath(next.iniPath);
  app.RunMode = RunModeStation;
  app.wholeSpinePath = next.wholeSpinePath;
  app.startWholeSpinePath = next.startWholeSpinePath;
  app.previousWholeSpinePaths = next.previousWholeSpinePaths;
  CMainFrame frame;
  frame.show();
  frame.ShowBrowser();
  CDlgBrowser* browser = frame.browser();
  browser->PollDropFolder();
  EXPECT_EQ(QDir(old).entryList(QDir::Files), QStringList());
  EXPECT_TRUE(QFileInfo::exists(CDropFolder::DefaultArchiveFolder(old) + "/1.2.3.8/1.2.3.8.1.dcm"));
  ASSERT_GT(browser->lists().patients().rowCount(), 0);
  EXPECT_EQ(browser->lists().patients().text(0, 0), "P4");
  browser->PollDropFolder();
  EXPECT_EQ(CIniFile(station.iniFile()).ReadString("SYSTEM", "PreviousWholeSpinePath1"), "")
      << "drained, and the receiver now fills the new folder: forgotten";
}

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
  // An X server without a window manager draws no frame: nothing to push the rows off there.
  if (frame.frameGeometry() == frame.geometry()) GTEST_SKIP() << "no window frame on this display";
  for (const QWidget* window : {static_cast<QWidget*>(&frame), static_cast<QWidget*>(browser)}) {
    SCOPED_TRACE(window->metaObject()->className());
    ASSERT_GT(window->frameGeometry().height(), window->height()) << "a frame around the window";
    EXPECT_TRUE(available.contains(window->frameGeometry()));
  }
}

// An operator logs in at the first delete and removes one image through the strip's menu: the
// strip, the image count and the series' count follow, and the image's file is gone.
TEST_F(BrowserDialog, AnOperatorDeletesOneImageFromTheStripsMenu) {
  addOperator();
  const QString savedDataFolder = theAppSettings().dataFolder;
  theAppSettings().dataFolder = dir.path() + QLatin1Char('/');  // the images' storage
  CMainFrame frame;
  CDlgBrowser* browser = showBrowser(frame);
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
    } else if (const QString title = answerLogin(); !title.isEmpty()) {
      seen << title;
    }
  });
  operatorHands.start();
  CWndBrowserImg* thumbnail = strip->Window(1);
  ASSERT_NE(thumbnail, nullptr);
  QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(20, 20),
                               thumbnail->mapToGlobal(QPoint(20, 20)));
  QApplication::sendEvent(thumbnail, &rightClick);
  operatorHands.stop();
  theAppSettings().dataFolder = savedDataFolder;

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

// Delete Image takes the chosen image by its key: one numbered 0, and one of two that share a
// number, each go alone with their file.
TEST_F(BrowserDialog, DeleteImageTakesExactlyTheChosenImage) {
  addOperator();
  const long series =
      scalar(QStringLiteral("SELECT SerSeq AS n FROM ImgInfo WHERE ImgSeq = %1").arg(imageKeys[0]));
  const QString twinFile = dir.filePath(QStringLiteral("twin.dcm"));
  ASSERT_TRUE(browsertest::writeFlat(twinFile, 64, 48, 3000));
  addImage(series, 2, twinFile, QStringLiteral("1.2.99"));
  ASSERT_TRUE(CdbDatabase(path).Execute(
      QStringLiteral("UPDATE ImgInfo SET ImageNo = 0 WHERE ImgSeq = %1").arg(imageKeys[0])));
  const QString savedDataFolder = theAppSettings().dataFolder;
  theAppSettings().dataFolder = dir.path() + QLatin1Char('/');  // the images' storage
  CMainFrame frame;
  frame.show();
  frame.ShowBrowser();
  CDlgBrowser* browser = frame.browser();
  browser->patientList()->clearSelection();
  clickRow(browser->patientList(), 1);  // P1: images numbered 0, 2 and 2
  CDlgWndBrowser* strip = browser->strip();
  ASSERT_EQ(strip->ElementCount(), 3);
  QTimer operatorHands;
  operatorHands.setInterval(20);
  QObject::connect(&operatorHands, &QTimer::timeout, [] { answerLogin(); });
  operatorHands.start();

  const struct {
    long imageNo;
    QString file;  // the element's file, gone afterwards
    QString kept;  // another image's file, still there
  } deletes[] = {
      {0, strip->Element(0)->imageInfo.FullPath, strip->Element(1)->imageInfo.FullPath},
      {2, twinFile,
       strip->Element(1)->imageInfo.FullPath == twinFile ? strip->Element(2)->imageInfo.FullPath
                                                         : strip->Element(1)->imageInfo.FullPath}};
  long images = 4;  // with P2's
  for (const auto& d : deletes) {
    SCOPED_TRACE(d.file.toStdString());
    const CBrwsrImgElement* chosen = nullptr;
    for (int i = 0; i < strip->ElementCount(); ++i) {
      if (strip->Element(i)->imageInfo.FullPath == d.file) chosen = strip->Element(i);
    }
    ASSERT_NE(chosen, nullptr);
    ASSERT_EQ(chosen->imageInfo.ImageNo, d.imageNo);
    sink.queueAnswer(IDYES);
    browser->DeleteImages({chosen});
    --images;
    EXPECT_EQ(scalar("SELECT COUNT(*) AS n FROM ImgInfo"), images);
    EXPECT_EQ(strip->ElementCount(), int(images) - 1) << "P2's image is not in the strip";
    EXPECT_FALSE(QFileInfo::exists(d.file));
    EXPECT_TRUE(QFileInfo::exists(d.kept));
  }
  operatorHands.stop();
  theAppSettings().dataFolder = savedDataFolder;
  EXPECT_EQ(sink.count(), 2) << sink.texts().join(" | ").toStdString();
}

// Each edit of the search row has the label that names it.
TEST_F(BrowserDialog, TheSearchEditsAreLabelledWithWhatTheyTake) {
  CMainFrame frame;
  frame.show();
  frame.ShowBrowser();
  CDlgBrowser* browser = frame.browser();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(browser));
  const struct {
    int id;
    const char* text;
  } labels[] = {{CDlgBrowser::kIdLabel, "ID"},
                {CDlgBrowser::kNameLabel, "NAME"},
                {CDlgBrowser::kAccessionLabel, "ACC.NO."}};
  for (const auto& label : labels) {
    auto* widget = browser->findChild<QLabel*>(QStringLiteral("ctl%1").arg(label.id));
    ASSERT_NE(widget, nullptr) << label.id;
    EXPECT_EQ(widget->text(), label.text);
    EXPECT_TRUE(widget->isVisible());
  }
}

// The accession number edit is read afresh at each study fill: once emptied, a click on the
// patient lists all of its studies again.
TEST_F(BrowserDialog, AccessionEditFiltersTheStudiesOnlyWhileItHoldsANumber) {
  addStudies({{"S3", "P1", "ACC3", CDateTime(2024, 3, 3, 9, 0, 0)}});
  CMainFrame frame;
  frame.show();
  frame.ShowBrowser();
  CDlgBrowser* browser = frame.browser();
  CBrowserLists& lists = browser->lists();
  browser->patientList()->clearSelection();
  clickRow(browser->patientList(), 1);  // P1
  ASSERT_EQ(lists.studies().rowCount(), 2);
  auto* accession =
      browser->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(CDlgBrowser::kAccessionEdit));
  QTest::keyClicks(accession, QStringLiteral("ACC1"));
  browser->OnAccessionEntered();  // what Enter in the edit runs
  ASSERT_EQ(lists.studies().rowCount(), 1);
  EXPECT_EQ(lists.studies().text(0, 1), "S1");

  accession->selectAll();
  QTest::keyClick(accession, Qt::Key_Backspace);
  ASSERT_TRUE(accession->text().isEmpty());
  browser->patientList()->clearSelection();
  clickRow(browser->patientList(), 1);
  EXPECT_EQ(lists.studies().rowCount(), 2);
  QTest::keyClicks(accession, QStringLiteral("ACC3"));  // typed, no Enter
  clickRow(browser->patientList(), 1);
  ASSERT_EQ(lists.studies().rowCount(), 1);
  EXPECT_EQ(lists.studies().text(0, 1), "S3");
}

// Files of three frames and of one, indexed by the import: the browser's strip marks the
// multi-frame image for cine and only that one.
TEST_F(BrowserDialog, AnImportedMultiFrameImageShowsTheCineMark) {
  QTemporaryDir program;
  ASSERT_TRUE(QDir(program.path()).mkpath(QStringLiteral("Skins")));
  QImage mark(30, 24, QImage::Format_ARGB32);
  mark.fill(qRgb(255, 0, 255));
  ASSERT_TRUE(mark.save(program.path() + QStringLiteral("/Skins/cine.png")));
  CDaoDatabase database;
  ASSERT_TRUE(database.Open(path));
  CImageImport importer(database);
  for (const int frames : {3, 1}) {
    testsupport::DicomBuilder file = browsertest::greyImage(
        32, 32, [](int x, int) { return std::uint16_t(x * 100); }, frames);
    file.set(DCM_SOPInstanceUID, "1.2.5." + std::to_string(frames))
        .set(DCM_Modality, "CR")
        .set(DCM_PatientID, "P5")
        .set(DCM_StudyInstanceUID, "1.2.5")
        .set(DCM_StudyDate, "20240305")
        .set(DCM_SeriesNumber, "1")
        .set(DCM_InstanceNumber, std::to_string(frames));
    const QString image = dir.filePath(QStringLiteral("frames%1.dcm").arg(frames));
    ASSERT_TRUE(file.save(image));
    QString patID;
    ASSERT_EQ(importer.ImportImageFile(image, patID), kImportDone);
  }
  const QString savedFolder = theAppSettings().programFolder;
  theAppSettings().programFolder = program.path() + QLatin1Char('/');
  CMainFrame frame;
  frame.show();
  frame.ShowBrowser();
  CDlgBrowser* browser = frame.browser();
  ASSERT_EQ(browser->lists().patients().text(0, 0), "P5") << "newest schedule first";
  CDlgWndBrowser* strip = browser->strip();
  ASSERT_EQ(strip->ElementCount(), 2);
  for (int slot = 0; slot < 2; ++slot) {
    SCOPED_TRACE(slot);
    const CWndBrowserImg* window = strip->Window(slot);
    ASSERT_NE(window->Element(), nullptr);
    const long frames = window->Element()->imageInfo.ImageNo == 1 ? 1 : 3;
    EXPECT_EQ(window->Element()->imageInfo.NumberOfFrames, frames);
    EXPECT_EQ(window->HasCineMark(), frames == 3);
  }
  theAppSettings().programFolder = savedFolder;
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

// A real click on a heading sorts the patients by that column (as text), a second click turns
// the order round, and the next search keeps the order.
TEST_F(BrowserDialog, AClickOnAHeadingSortsThePatientsAndASecondClickTurnsThemRound) {
  addPatients({{"P10", "Cid^Brown", CDateTime(1990, 7, 8), CDateTime(2024, 3, 3, 9, 0, 0)}});
  CMainFrame frame;
  CDlgBrowser* browser = showBrowser(frame);
  CMyListCtrl* list = browser->patientList();
  CMyListModel& patients = browser->lists().patients();
  const auto ids = [&] {
    QStringList texts;
    for (int row = 0; row < patients.rowCount(); ++row) texts << patients.text(row, 0);
    return texts;
  };
  ASSERT_EQ(ids(), (QStringList{"P10", "P2", "P1"}));
  const struct {
    int column;
    QStringList ascending;
  } cases[] = {
      {CBrowserLists::kPatID, {"P1", "P10", "P2"}},
      {CBrowserLists::kPatName, {"P1", "P2", "P10"}},
      {CBrowserLists::kPatSchedule, {"P1", "P2", "P10"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.column);
    QHeaderView* heading = list->header();
    const QPoint centre(
        heading->sectionViewportPosition(c.column) + heading->sectionSize(c.column) / 2,
        heading->height() / 2);
    QTest::mouseClick(heading->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    EXPECT_EQ(ids(), c.ascending);
    QTest::mouseClick(heading->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    EXPECT_EQ(ids(), QStringList(c.ascending.rbegin(), c.ascending.rend()));
  }
  browser->OnSearch();
  EXPECT_EQ(ids(), (QStringList{"P10", "P2", "P1"})) << "schedule, newest first, as last clicked";
}

// Restoring the browser from the minimised state finds it and the view as they were; the
// Browser command shows it afresh: the view emptied and the patients searched again.
TEST_F(BrowserDialog, RestoringFromMinimisedKeepsTheBrowserButTheBrowserCommandStartsAfresh) {
  CMainFrame frame;
  frame.resize(1280, 900);
  frame.show();
  frame.OnCommand(command::Browser);
  CDlgBrowser* browser = frame.browser();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(browser));
  CMyListCtrl* patients = browser->patientList();
  patients->clearSelection();
  clickRow(patients, 1);  // P1
  ASSERT_GE(frame.OpenImage(browser->strip()->Element(0)->imageInfo.FullPath, true, nullptr), 0);
  const auto selectedIds = [&] {
    QStringList ids;
    for (int row : CBrowserLists::SelectedRows(browser->lists().patientSelection())) {
      ids << browser->lists().patients().text(row, 0);
    }
    return ids;
  };

  browser->showMinimized();
  browser->showNormal();
  EXPECT_EQ(selectedIds(), QStringList{"P1"});
  EXPECT_EQ(browser->strip()->ElementCount(), 2);
  EXPECT_EQ(frame.openImages().count(), 1);

  browser->hide();
  frame.OnCommand(command::Browser);
  EXPECT_TRUE(browser->isVisible());
  EXPECT_EQ(selectedIds(), QStringList{"P2"});
  EXPECT_EQ(frame.openImages().count(), 0);
}

// The window manager's close button and Escape leave the browser; the main window stays as it
// is, and the Browser command brings the browser back.
TEST_F(BrowserDialog, TheCloseButtonAndEscapeHideOnlyTheBrowser) {
  CMainFrame frame;
  CDlgBrowser* browser = showBrowser(frame);
  EXPECT_TRUE(browser->windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(browser->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  const std::function<void()> leave[] = {
      [&] { browser->windowHandle()->close(); },  // what the close button sends
      [&] { QTest::keyClick(browser->patientList(), Qt::Key_Escape); },
      [&] {
        QTest::keyClick(browser->findChild<QLineEdit*>(QStringLiteral("ctl1270")), Qt::Key_Escape);
      },
  };
  for (std::size_t way = 0; way < std::size(leave); ++way) {
    SCOPED_TRACE(way);
    leave[way]();
    EXPECT_FALSE(browser->isVisible());
    EXPECT_TRUE(frame.isVisible());
    EXPECT_FALSE(frame.isMinimized());
    frame.OnCommand(command::Browser);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(browser));
  }
}

// However the browser is sized, its visible controls lie inside it without overlapping, and the
// strip holds as many thumbnails as its width has room for.
TEST_F(BrowserDialog, ResizingLaysTheControlsOutWithoutOverlapAndTheStripFollows) {
  CMainFrame frame;
  CDlgBrowser* browser = showBrowser(frame);
  CDlgWndBrowser* strip = browser->strip();
  const QSize sizes[] = {{1280, 900}, {1000, 700}, {2100, 1200}, {400, 300}, {1280, 900}};
  for (const QSize& size : sizes) {
    SCOPED_TRACE(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()).toStdString());
    browser->resize(size);
    QCoreApplication::processEvents();
    const QRect inside = browser->rect();
    EXPECT_EQ(browser->width(), std::max(size.width(), browser->minimumWidth()));
    QList<QWidget*> controls;
    for (QWidget* child : browser->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (child->isVisibleTo(browser) && !child->isWindow()) controls << child;
    }
    ASSERT_GE(controls.size(), 15);
    const auto name = [](const QWidget* control) {
      return QStringLiteral("%1 %2")
          .arg(control->metaObject()->className(), control->objectName())
          .toStdString();
    };
    for (int a = 0; a < controls.size(); ++a) {
      const QRect rect = controls[a]->geometry();
      EXPECT_FALSE(rect.isEmpty()) << name(controls[a]);
      EXPECT_TRUE(inside.contains(rect)) << name(controls[a]);
      for (int b = a + 1; b < controls.size(); ++b) {
        EXPECT_FALSE(rect.intersects(controls[b]->geometry()))
            << name(controls[a]) << " and " << name(controls[b]);
      }
    }
    EXPECT_EQ(browser->patientList()->y(), 128);
    EXPECT_EQ(strip->WindowCount(), strip::RowCount(strip->width(), strip->ThumbnailSize()));
    ASSERT_NE(strip->Window(strip->WindowCount() - 1), nullptr);
    EXPECT_EQ(strip->Window(strip->WindowCount()), nullptr);
    EXPECT_TRUE(strip->rect().contains(strip->Window(strip->WindowCount() - 1)->geometry()));
  }
}

}  // namespace

namespace {

// Enter in the patient ID and name fields searches as SEARCH does, Enter in the accession field
// lists the selected patient's studies of that number.
TEST_F(BrowserDialog, EnterInTheSearchFieldsSearches) {
  addStudies({{"S9", "P1", "ACC9", CDateTime(2024, 3, 3, 9, 0, 0)}});
  CMainFrame frame;
  frame.show();
  frame.ShowBrowser();
  CDlgBrowser* browser = frame.browser();
  ASSERT_TRUE(QTest::qWaitForWindowActive(browser));
  CBrowserLists& lists = browser->lists();
  const auto field = [&](int id) {
    return browser->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(id));
  };
  const auto studies = [&] {
    QStringList numbers;
    for (int row = 0; row < lists.studies().rowCount(); ++row)
      numbers << lists.studies().text(row, 2);
    return numbers;
  };
  const struct {
    int edit;
    const char* typed;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QStringList patients;
    QStringList studies;
  } cases[] = {
      {CDlgBrowser::kPatientIdEdit, "P1", Qt::Key_Return, Qt::NoModifier, {"P1"}, {"ACC9", "ACC1"}},
      {CDlgBrowser::kAccessionEdit, "acc9", Qt::Key_Return, Qt::NoModifier, {"P1"}, {"ACC9"}},
      {CDlgBrowser::kPatientNameEdit, "Jones", Qt::Key_Enter, Qt::KeypadModifier, {"P2"}, {"ACC2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    QLineEdit* edit = field(c.edit);
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTest::keyClicks(edit, c.typed);
    QTest::keyClick(edit, c.key, c.modifiers);
    QStringList patients;
    for (int row = 0; row < lists.patients().rowCount(); ++row)
      patients << lists.patients().text(row, 0);
    EXPECT_EQ(patients, c.patients);
    EXPECT_EQ(studies(), c.studies);
    EXPECT_TRUE(browser->isVisible());
    edit->clear();
  }
}

}  // namespace
