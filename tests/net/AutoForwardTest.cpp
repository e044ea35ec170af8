// Auto-forwarding: what the watched drop folder indexes is queued for the ForwardTo nodes in
// the same transaction, and goes out with the queue.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "db/DaoDatabase.h"
#include "net/AutoForward.h"
#include "net/NetTestSupport.h"
#include "net/SendQueue.h"

namespace {

TEST(AutoForward, ReadsForwardToFromTheCompanionsSettings) {
  QTemporaryDir program;
  EXPECT_TRUE(ForwardNodes(program.path()).isEmpty());
  QFile ini(program.filePath(QStringLiteral("Vantrel.ini")));
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write("[RECEIVER]\r\nLocalAE=VANTREL\r\nforwardto= PACS , Reading Room,PACS,\r\n");
  ini.close();
  EXPECT_EQ(ForwardNodes(program.path()), (QStringList{"PACS", "Reading Room"}));
}

TEST(AutoForward, WatchQueuesEveryIndexedImageAndTheQueueDeliversIt) {
  QTemporaryDir dir;
  const QString db = dir.filePath(QStringLiteral("Pelmora.db"));
  const QString drop = dir.filePath(QStringLiteral("drop"));
  ASSERT_TRUE(QDir().mkpath(drop));
  std::set<std::string> uids;
  for (int i = 1; i <= 3; ++i) {
    const std::string uid = "1.2.826.0.1.3680043.2.1125.81." + std::to_string(i);
    ASSERT_TRUE(nettest::WriteCrFile(QDir(drop).filePath(QStringLiteral("%1.dcm").arg(i)), uid,
                                     EXS_LittleEndianExplicit, "F1", i));
    uids.insert(uid);
  }
  ASSERT_EQ(nettest::RunCli({"db-fill", "--db", db, "--patients", "0"}).status, 0);
  // The PACS is down while the images arrive.
  const quint16 port = nettest::FreePort();
  ASSERT_EQ(nettest::RunCli({"node", "add", "--db", db, "--name", "PACS", "--ae", "STORESCP",
                             "--host", "127.0.0.1", "--port", QString::number(port)})
                .status,
            0);
  const auto watch =
      nettest::RunCli({"watch", "--db", db, "--folder", drop, "--forward-to", "PACS", "--once"});
  ASSERT_EQ(watch.status, 0) << watch.err.toStdString();
  CDaoDatabase database;
  ASSERT_TRUE(database.Open(db));
  CSendQueue queue(database);
  QList<SendJob> jobs = queue.Jobs();
  ASSERT_EQ(jobs.size(), 3);
  for (const SendJob& job : jobs) {
    EXPECT_EQ(job.node, QStringLiteral("PACS"));
    const QList<SendImage> images = queue.Unsent(job.id);
    ASSERT_EQ(images.size(), 1);
    EXPECT_TRUE(QFile::exists(images[0].path)) << "the archived file, not the dropped one";
    EXPECT_FALSE(images[0].path.startsWith(drop + QLatin1Char('/')));
  }
  EXPECT_EQ(nettest::RunCli({"send-queue", "--db", db, "--once"}).status, 0);
  for (const SendJob& job : queue.Jobs()) EXPECT_EQ(job.state, QLatin1String(CSendQueue::kQueued));

  // Back up: the queue delivers them.
  const QString peerFolder = dir.filePath(QStringLiteral("peer"));
  nettest::Storescp peer(peerFolder, {}, port);
  ASSERT_TRUE(peer.waitUntilListening());
  ASSERT_TRUE(
      database.connection().exec(QStringLiteral("UPDATE SendJob SET NextTry = ''")).isActive());
  EXPECT_EQ(nettest::RunCli({"send-queue", "--db", db, "--once"}).status, 0);
  for (const SendJob& job : queue.Jobs()) EXPECT_EQ(job.state, QLatin1String(CSendQueue::kDone));
  std::set<std::string> arrived;
  for (const QString& name : QDir(peerFolder).entryList(QDir::Files))
    arrived.insert(name.mid(name.indexOf(QLatin1Char('.')) + 1).toStdString());
  EXPECT_EQ(arrived, uids);
}

}  // namespace
