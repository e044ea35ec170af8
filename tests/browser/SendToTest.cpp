// Sending from the browser: a study chosen in the real browser goes to a node through the study
// list's "Send to" menu, the Send Queue window follows the job to 100 %, and DCMTK's storescp
// holds the files.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "app/AppSettings.h"
#include "browser/widgets/DlgBrowser.h"
#include "browser/widgets/MyListCtrl.h"
#include "db/DbTestSupport.h"
#include "frame/Commands.h"
#include "frame/widgets/MainFrame.h"
#include "net/DicomNodes.h"
#include "net/NetTestSupport.h"
#include "net/widgets/DlgNodes.h"
#include "net/widgets/DlgSendQueue.h"
#include "support/ModalDialogs.h"

namespace {

class SendToBrowser : public DbTest {
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
    for (const auto& [series, number] :
         {std::pair{p1Series, 1}, {p1Series, 2}, {p1Series, 3}, {p2Series, 1}}) {
      const QString file = dir.filePath(QStringLiteral("%1_%2.dcm").arg(series).arg(number));
      const QString uid =
          QStringLiteral("1.2.826.0.1.3680043.2.1125.80.%1.%2").arg(series).arg(number);
      ASSERT_TRUE(nettest::WriteCrFile(file, uid.toStdString(), EXS_LittleEndianExplicit,
                                       series == p1Series ? "P1" : "P2", number));
      addImage(series, number, file, uid);
      if (series == p1Series) studyUids.insert(uid);
    }
  }
  void TearDown() override { theAppSettings().imageDatabasePath = savedDatabase; }

  QString savedDatabase;
  QSet<QString> studyUids;
};

TEST_F(SendToBrowser, AStudySentFromTheStudyMenuReachesThePeerAndTheQueueShowsItDone) {
  const QString peerFolder = dir.filePath(QStringLiteral("peer"));
  nettest::Storescp peer(peerFolder, {});
  ASSERT_TRUE(peer.waitUntilListening());
  {
    CDaoDatabase db;
    ASSERT_TRUE(db.Open(path));
    DicomNode node;
    node.name = QStringLiteral("PACS");
    node.aeTitle = QStringLiteral("STORESCP");
    node.host = QStringLiteral("127.0.0.1");
    node.port = peer.port();
    ASSERT_EQ(CDicomNodes(db).Add(node), QString());
  }
  CMainFrame frame;
  frame.resize(1280, 900);
  frame.show();
  frame.ShowBrowser();
  CDlgBrowser* browser = frame.browser();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(browser));
  // P1's study, chosen as an operator does.
  CMyListCtrl* patients = browser->patientList();
  patients->clearSelection();
  const QRect p1 = patients->visualRect(patients->model()->index(1, 0));
  QTest::mouseClick(patients->viewport(), Qt::LeftButton, Qt::NoModifier, p1.center());
  CMyListCtrl* studies = browser->studyList();
  ASSERT_EQ(studies->model()->rowCount(), 1);
  const QRect s1 = studies->visualRect(studies->model()->index(0, 0));
  QTest::mouseClick(studies->viewport(), Qt::LeftButton, Qt::NoModifier, s1.center());

  // The study list's menu: Send to > PACS.
  QStringList offered;
  QTimer operatorHands;
  operatorHands.setInterval(20);
  QObject::connect(&operatorHands, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    auto* sendTo = menu->findChild<QMenu*>(QStringLiteral("sendTo"));
    if (sendTo == nullptr) return;
    for (QAction* action : sendTo->actions()) offered << action->text();
    menu->close();
    if (!sendTo->actions().isEmpty()) sendTo->actions().first()->trigger();
  });
  operatorHands.start();
  emit studies->customContextMenuRequested(s1.center());
  operatorHands.stop();
  EXPECT_EQ(offered, QStringList{"PACS"});

  auto* queue = browser->findChild<CDlgSendQueue*>();
  ASSERT_NE(queue, nullptr);
  EXPECT_TRUE(queue->isVisible());
  QDeadlineTimer deadline(30000);
  while (!deadline.hasExpired() &&
         !(queue->table()->rowCount() == 1 && queue->ProgressAt(0) == 100 &&
           queue->table()->item(0, CDlgSendQueue::kState)->text() == "done"))
    QTest::qWait(50);
  ASSERT_EQ(queue->table()->rowCount(), 1);
  EXPECT_EQ(queue->ProgressAt(0), 100);
  EXPECT_EQ(queue->table()->item(0, CDlgSendQueue::kNode)->text(), "PACS");
  EXPECT_EQ(queue->table()->item(0, CDlgSendQueue::kState)->text(), "done");
  QSet<QString> arrived;
  for (const QString& name : QDir(peerFolder).entryList(QDir::Files))
    arrived.insert(name.mid(name.indexOf(QLatin1Char('.')) + 1));  // storescp: "CR.<uid>"
  EXPECT_EQ(arrived, studyUids) << "the study's three images, not P2's";
  EXPECT_TRUE(sink.texts().isEmpty()) << sink.texts().join('|').toStdString();
}

TEST_F(SendToBrowser, FileDicomNodesAddsACheckedNodeAndEchoesIt) {
  nettest::Storescp peer(dir.filePath(QStringLiteral("peer")), {});
  ASSERT_TRUE(peer.waitUntilListening());
  CMainFrame frame;
  ASSERT_EQ(testsupport::AnswerModals<CDlgNodes>(
                [&] { frame.OnCommand(command::DicomNodes); },
                [&](CDlgNodes& dialog) {
                  dialog.nameEdit()->setText(QStringLiteral("PACS"));
                  dialog.aeEdit()->setText(QStringLiteral("SEVENTEEN_LETTERS"));
                  dialog.hostEdit()->setText(QStringLiteral("127.0.0.1"));
                  dialog.portEdit()->setText(QString::number(peer.port()));
                  dialog.OnAdd();  // refused, with the Config dialog's reason
                  EXPECT_EQ(dialog.table()->rowCount(), 0);
                  dialog.aeEdit()->setText(QStringLiteral("STORESCP"));
                  dialog.OnAdd();
                  ASSERT_EQ(dialog.table()->rowCount(), 1);
                  dialog.table()->setCurrentCell(0, 0);
                  QSignalSpy echoed(&dialog, &CDlgNodes::echoed);
                  dialog.OnEcho();
                  ASSERT_TRUE(echoed.wait(20000));
                  dialog.accept();
                }),
            1);
  ASSERT_EQ(sink.count(), 2);
  EXPECT_TRUE(sink.texts()[0].contains("must be 1 to 16")) << sink.texts()[0].toStdString();
  EXPECT_EQ(sink.texts()[1], "STORESCP answered the echo.");
  CDaoDatabase db;
  ASSERT_TRUE(db.Open(path));
  const QList<DicomNode> nodes = CDicomNodes(db).List();
  ASSERT_EQ(nodes.size(), 1);
  EXPECT_EQ(nodes[0].port, peer.port());
}

}  // namespace
