// Sending images: the queue's table (on SQLite and on the server), and torascan-cli send and
// send-queue against DCMTK's storescp on loopback: as stored, converted for a node that takes
// only uncompressed syntaxes, refused by the node, to a node that is down and comes back, and
// killed with SIGKILL while it sends.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <random>
#include <set>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <csignal>

#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include "db/DaoDatabase.h"
#include "net/DicomNodes.h"
#include "net/NetTestSupport.h"
#include "net/SendQueue.h"
#include "net/Sender.h"
#include "reception/ReceptionSupport.h"
#include "support/TestDatabase.h"

namespace {

using nettest::RunCli;

QList<SendImage> someImages(int count) {
  QList<SendImage> images;
  for (int i = 1; i <= count; ++i)
    images.append({i, QStringLiteral("/archive/%1.dcm").arg(i), QStringLiteral("1.2.3.%1").arg(i)});
  return images;
}

class SendQueueTable : public ::testing::Test {
 protected:
  void SetUp() override {
    TORASCAN_NEEDS_DATABASE(database);
    ASSERT_TRUE(db.Open(database.location()));
  }
  QTemporaryDir dir;
  TestDatabase database{dir.path()};
  CDaoDatabase db;
};

TEST_F(SendQueueTable, KeepsAJobUntilEveryImageIsSentAndRetriesWithGrowingPauses) {
  CSendQueue queue(db);
  const long id = queue.Enqueue(QStringLiteral("PACS"), someImages(3));
  ASSERT_GT(id, 0) << queue.LastError().toStdString();
  EXPECT_EQ(queue.Enqueue(QStringLiteral("PACS"), someImages(1)), id + 1);
  EXPECT_EQ(queue.MsUntilDue(), 0);

  RetryPolicy retry;
  retry.maxTries = 3;
  retry.firstPauseSeconds = 0;
  auto job = queue.Claim(QStringLiteral("w1"), id);
  ASSERT_TRUE(job);
  EXPECT_EQ(job->state, QLatin1String(CSendQueue::kSending));
  // A job a living worker holds is nobody else's.
  EXPECT_FALSE(queue.Claim(CSendQueue::ProcessOwner(), id)) << "w1 counts as another host's";
  ASSERT_TRUE(queue.MarkSent(id, {1, 3}));
  EXPECT_EQ(queue.Unsent(id).size(), 1);
  ASSERT_TRUE(queue.EndTry(id, QStringLiteral("refused 1.2.3.2"), retry, true));
  job = queue.Job(id);
  EXPECT_EQ(job->state, QLatin1String(CSendQueue::kQueued)) << "not done while one is unsent";
  EXPECT_EQ(job->sent, 2);
  EXPECT_EQ(job->lastError, QStringLiteral("refused 1.2.3.2"));
  // Tries that never reached the node do not use the job up when they do not count.
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(queue.Claim(QStringLiteral("w1"), id));
    ASSERT_TRUE(queue.EndTry(id, QStringLiteral("connection refused"), retry, false));
  }
  EXPECT_EQ(queue.Job(id)->state, QLatin1String(CSendQueue::kQueued));
  ASSERT_TRUE(queue.Claim(QStringLiteral("w1"), id));
  ASSERT_TRUE(queue.EndTry(id, QStringLiteral("refused again"), retry, true));
  EXPECT_EQ(queue.Job(id)->state, QLatin1String(CSendQueue::kFailed));
  EXPECT_FALSE(queue.Claim(QStringLiteral("w1"), id)) << "a failed job waits for Retry";
  ASSERT_TRUE(queue.Retry(id));
  ASSERT_TRUE(queue.Claim(QStringLiteral("w1"), id));
  ASSERT_TRUE(queue.MarkSent(id, {2}));
  ASSERT_TRUE(queue.EndTry(id, {}, retry, true));
  EXPECT_EQ(queue.Job(id)->state, QLatin1String(CSendQueue::kDone));
  EXPECT_FALSE(queue.Retry(id));
  ASSERT_TRUE(queue.Remove(id));
  EXPECT_EQ(queue.Jobs().size(), 1);
  EXPECT_EQ(queue.Unsent(id).size(), 0);

  RetryPolicy growing;
  growing.firstPauseSeconds = 10;
  growing.longestPauseSeconds = 60;
  EXPECT_EQ(growing.pauseSeconds(1), 10);
  EXPECT_EQ(growing.pauseSeconds(2), 20);
  EXPECT_EQ(growing.pauseSeconds(3), 40);
  EXPECT_EQ(growing.pauseSeconds(4), 60);
  EXPECT_EQ(growing.pauseSeconds(40), 60);
}

TEST_F(SendQueueTable, TakesUpAJobWhoseWorkerDied) {
  CSendQueue queue(db);
  const long id = queue.Enqueue(QStringLiteral("PACS"), someImages(2));
  ASSERT_GT(id, 0);
  // A worker of this host that is gone: a pid no process has.
  QProcess gone;
  gone.start(QStringLiteral("true"));
  ASSERT_TRUE(gone.waitForFinished());
  const QString dead = QSysInfo::machineHostName() + QStringLiteral(":%1").arg(gone.processId());
  ASSERT_TRUE(queue.Claim(dead, id));
  ASSERT_TRUE(queue.MarkSent(id, {1}));
  const auto again = queue.Claim(CSendQueue::ProcessOwner(), id);
  ASSERT_TRUE(again) << "left sending by a dead worker";
  ASSERT_EQ(queue.Unsent(id).size(), 1);
  EXPECT_EQ(queue.Unsent(id)[0].seq, 2);
  // This process lives: its job is not taken from it.
  EXPECT_FALSE(queue.Claim(QStringLiteral("elsewhere:1"), id));
}

TEST_F(SendQueueTable, JobsFollowTheirNodeToItsNewName) {
  CDicomNodes nodes(db);
  DicomNode pacs;
  pacs.name = QStringLiteral("PACS");
  pacs.aeTitle = QStringLiteral("MAIN");
  pacs.host = QStringLiteral("pacs.example");
  pacs.port = 104;
  ASSERT_EQ(nodes.Add(pacs), QString());
  CSendQueue queue(db);
  const long id = queue.Enqueue(QStringLiteral("PACS"), someImages(1));
  const long other = queue.Enqueue(QStringLiteral("OTHER"), someImages(1));
  pacs.name = QStringLiteral("Main PACS");
  ASSERT_EQ(nodes.Edit(QStringLiteral("PACS"), pacs), QString());
  EXPECT_EQ(queue.Job(id)->node, QStringLiteral("Main PACS"));
  EXPECT_EQ(queue.Job(other)->node, QStringLiteral("OTHER"));
}

// The archive of a test: images made with DCMTK and indexed by the tool, a node called PACS.
class SendCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunCli({"db-fill", "--db", db, "--patients", "0"}).status, 0);
    QDir().mkpath(files);
  }

  // count images of patient `patient` in syntax, indexed.
  void makeImages(int count, E_TransferSyntax syntax, const std::string& patient) {
    for (int i = 1; i <= count; ++i) {
      const std::string uid =
          "1.2.826.0.1.3680043.2.1125.78." + patient.substr(1) + "." + std::to_string(i);
      ASSERT_TRUE(nettest::WriteCrFile(
          QDir(files).filePath(QString::fromStdString(patient + "_" + std::to_string(i)) + ".dcm"),
          uid, syntax, patient, i));
      uids.insert(uid);
    }
    const auto run = RunCli({"import", "--db", db, "--recursive", files});
    ASSERT_EQ(run.status, 0) << run.out.toStdString() << run.err.toStdString();
  }
  void addNode(quint16 port, const QString& ae = QStringLiteral("STORESCP")) {
    const auto run = RunCli({"node", "add", "--db", db, "--name", "PACS", "--ae", ae, "--host",
                             "127.0.0.1", "--port", QString::number(port)});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
  }
  // SOP Instance UID -> transfer syntax of what the peer stored in folder.
  static std::map<std::string, std::string> received(const QString& folder) {
    std::map<std::string, std::string> got;
    QDirIterator it(folder, QDir::Files);
    while (it.hasNext()) {
      const auto image = reception::ReadDatasetImage(it.next());
      if (!image.metaInstanceUid.empty()) got[image.metaInstanceUid] = image.metaSyntax;
    }
    return got;
  }
  std::set<std::string> receivedUids(const QString& folder) const {
    std::set<std::string> got;
    for (const auto& [uid, syntax] : received(folder)) got.insert(uid);
    return got;
  }

  QTemporaryDir dir;
  QString db = dir.filePath(QStringLiteral("Pelmora.db"));
  QString files = dir.filePath(QStringLiteral("files"));
  QString peerFolder = dir.filePath(QStringLiteral("peer"));
  std::set<std::string> uids;
};

TEST_F(SendCommand, SendsAsStoredWhereAcceptedAndConvertsWhereNot) {
  makeImages(3, EXS_RLELossless, "P1");
  makeImages(2, EXS_LittleEndianExplicit, "P2");
  const struct {
    QStringList storescpArgs;
    const char* rleArrivesAs;
  } cases[] = {{{"+xa"}, UID_RLELosslessTransferSyntax},
               {{}, UID_LittleEndianExplicitTransferSyntax},
               {{"+xi"}, UID_LittleEndianImplicitTransferSyntax}};
  int round = 0;
  for (const auto& c : cases) {
    const QString folder = peerFolder + QString::number(++round);
    nettest::Storescp peer(folder, c.storescpArgs);
    ASSERT_TRUE(peer.waitUntilListening());
    if (round == 1) {
      addNode(peer.port());
    } else {
      ASSERT_EQ(RunCli({"node", "edit", "--db", db, "--name", "PACS", "--port",
                        QString::number(peer.port())})
                    .status,
                0);
    }
    const auto run =
        RunCli({"send", "--db", db, "--node", "PACS", "--patient", "P1", "--patient", "P2"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject job = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(job.value("state").toString(), "done");
    EXPECT_EQ(job.value("sent").toInt(), 5);
    const auto got = received(folder);
    ASSERT_EQ(got.size(), 5u) << c.rleArrivesAs;
    for (const auto& [uid, syntax] : got) {
      const bool rle = uid.find(".78.1.") != std::string::npos;
      EXPECT_EQ(syntax, rle ? c.rleArrivesAs
                            : (c.storescpArgs == QStringList{"+xi"}
                                   ? UID_LittleEndianImplicitTransferSyntax
                                   : UID_LittleEndianExplicitTransferSyntax))
          << uid;
    }
  }
  // The pixels survive the conversion: what arrived decodes to what was sent.
  DcmRLEDecoderRegistration::registerCodecs();
  DcmFileFormat sent, arrived;
  ASSERT_TRUE(
      sent.loadFile(QFile::encodeName(QDir(files).filePath("P1_1.dcm")).constData()).good());
  ASSERT_TRUE(sent.getDataset()->chooseRepresentation(EXS_LittleEndianExplicit, nullptr).good());
  QDirIterator it(peerFolder + QStringLiteral("2"), {"*78.1.1"}, QDir::Files);
  ASSERT_TRUE(it.hasNext());
  ASSERT_TRUE(arrived.loadFile(QFile::encodeName(it.next()).constData()).good());
  const Uint16 *a = nullptr, *b = nullptr;
  unsigned long na = 0, nb = 0;
  ASSERT_TRUE(sent.getDataset()->findAndGetUint16Array(DCM_PixelData, a, &na).good());
  ASSERT_TRUE(arrived.getDataset()->findAndGetUint16Array(DCM_PixelData, b, &nb).good());
  ASSERT_EQ(na, nb);
  EXPECT_TRUE(std::equal(a, a + na, b));
}

TEST_F(SendCommand, FailsWithTheNodesStatusWhenItRefusesEveryImage) {
  makeImages(2, EXS_LittleEndianExplicit, "P1");
  nettest::Storescp peer(peerFolder, {});
  ASSERT_TRUE(peer.waitUntilListening());
  // A receiver that cannot write answers every image with "out of resources".
  ASSERT_TRUE(QDir(peerFolder).removeRecursively());
  addNode(peer.port());
  const auto run = RunCli({"send", "--db", db, "--node", "PACS", "--patient", "P1", "--max-tries",
                           "2", "--retry-pause", "0"});
  EXPECT_EQ(run.status, 1);
  const QJsonObject job = QJsonDocument::fromJson(run.out).object();
  EXPECT_EQ(job.value("state").toString(), "failed");
  EXPECT_EQ(job.value("tries").toInt(), 2);
  EXPECT_EQ(job.value("sent").toInt(), 0);
  EXPECT_TRUE(job.value("lastError").toString().contains("0xa700"))
      << job.value("lastError").toString().toStdString();
}

TEST_F(SendCommand, QueueWaitsForANodeThatIsDownAndSendsWhenItIsBack) {
  makeImages(4, EXS_LittleEndianExplicit, "P1");
  const quint16 port = nettest::FreePort();
  addNode(port);
  // Queued for a node nobody answers for: a foreground send gives up after its tries...
  auto run = RunCli({"send", "--db", db, "--node", "PACS", "--patient", "P1", "--max-tries", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(QJsonDocument::fromJson(run.out).object().value("state").toString(), "failed");
  // ...the queue keeps trying it (tries to an unreachable node use nothing up).
  CDaoDatabase database;
  ASSERT_TRUE(database.Open(db));
  CSendQueue queue(database);
  const long id = queue.Enqueue(QStringLiteral("PACS"), queue.Select({{"P1"}, {}, {}, {}}));
  ASSERT_GT(id, 0);
  QProcess worker;
  worker.start(QStringLiteral(TORASCAN_CLI),
               {"send-queue", "--db", db, "--max-tries", "2", "--retry-pause", "1"});
  ASSERT_TRUE(worker.waitForStarted());
  QThread::msleep(4000);
  EXPECT_EQ(queue.Job(id)->state, QLatin1String(CSendQueue::kQueued));
  EXPECT_GE(queue.Job(id)->tries, 2);
  nettest::Storescp peer(peerFolder, {}, port);
  ASSERT_TRUE(peer.waitUntilListening());
  QDeadlineTimer deadline(30000);
  while (queue.Job(id)->state != QLatin1String(CSendQueue::kDone) && !deadline.hasExpired())
    QThread::msleep(200);
  EXPECT_EQ(queue.Job(id)->state, QLatin1String(CSendQueue::kDone));
  EXPECT_EQ(receivedUids(peerFolder), uids);
  worker.terminate();
  EXPECT_TRUE(worker.waitForFinished(10000));
  EXPECT_EQ(worker.exitStatus(), QProcess::NormalExit);
}

TEST_F(SendCommand, EveryAssociationHasNagleOff) {
  makeImages(2, EXS_LittleEndianExplicit, "P1");
  nettest::Storescp peer(peerFolder, {});
  ASSERT_TRUE(peer.waitUntilListening());
  DicomNode node;
  node.name = QStringLiteral("PACS");
  node.aeTitle = QStringLiteral("STORESCP");
  node.host = QStringLiteral("127.0.0.1");
  node.port = peer.port();
  CDaoDatabase database;
  ASSERT_TRUE(database.Open(db));
  CImageSender sender(node, NetworkOptions{});
  int checked = 0;
  sender.onImage = [&](const SendImage&, bool arrived) {
    EXPECT_TRUE(arrived);
    for (const auto& socket : reception::ConnectedSockets()) {
      if (socket.peerPort != peer.port()) continue;
      int on = 0;
      socklen_t size = sizeof on;
      EXPECT_EQ(getsockopt(socket.fd, IPPROTO_TCP, TCP_NODELAY, &on, &size), 0);
      EXPECT_EQ(on, 1);
      ++checked;
    }
    return true;
  };
  const SendOutcome outcome = sender.Send(CSendQueue(database).Select({{"P1"}, {}, {}, {}}));
  EXPECT_EQ(outcome.error, QString());
  EXPECT_EQ(outcome.sent.size(), 2);
  EXPECT_EQ(checked, 2);
}

TEST_F(SendCommand, SendQueueKilledAtRandomLosesNoImageAndEndsNoJobEarly) {
  constexpr int kImages = 200;
  constexpr int kKills = 20;
  makeImages(kImages, EXS_LittleEndianExplicit, "P1");
  nettest::Storescp peer(peerFolder, {});
  ASSERT_TRUE(peer.waitUntilListening());
  addNode(peer.port());
  CDaoDatabase database;
  ASSERT_TRUE(database.Open(db));
  CSendQueue queue(database);
  const QList<SendImage> images = queue.Select({{"P1"}, {}, {}, {}});
  ASSERT_EQ(images.size(), kImages);
  // Ten jobs of twenty images.
  std::vector<long> jobs;
  for (int j = 0; j < 10; ++j) jobs.push_back(queue.Enqueue("PACS", images.mid(j * 20, 20)));
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> imagesBeforeKill(1, 12);
  int killsWhileSending = 0;
  const auto filesAtPeer = [this] { return QDir(peerFolder).entryList(QDir::Files).size(); };
  for (int kill = 0; kill < kKills; ++kill) {
    QProcess worker;
    const qsizetype before = filesAtPeer();
    worker.start(QStringLiteral(TORASCAN_CLI), {"send-queue", "--db", db, "--retry-pause", "0"});
    ASSERT_TRUE(worker.waitForStarted());
    // Killed in the middle of its sending: once a random number of images arrived.
    const qsizetype target = std::min<qsizetype>(before + imagesBeforeKill(random), kImages);
    QDeadlineTimer sending(10000);
    while (filesAtPeer() < target && !sending.hasExpired()) QThread::usleep(200);
    ::kill(pid_t(worker.processId()), SIGKILL);
    worker.waitForFinished();
    // No job lost, none done before the peer holds all of its images.
    const auto got = receivedUids(peerFolder);
    if (got.size() < std::size_t(kImages)) ++killsWhileSending;
    for (const long id : jobs) {
      const auto job = queue.Job(id);
      ASSERT_TRUE(job) << "job " << id << " lost";
      EXPECT_LE(job->sent, 20);
      if (job->state == QLatin1String(CSendQueue::kDone)) {
        for (int i = 0; i < 20; ++i)
          EXPECT_TRUE(got.count(images[int(id - jobs[0]) * 20 + i].uid.toStdString()));
      }
    }
  }
  // The kills must have cut the sending, not only hit an idle worker.
  EXPECT_GE(killsWhileSending, kKills / 2);
  std::cerr << killsWhileSending << " kills while sending, the peer holding "
            << receivedUids(peerFolder).size() << " images\n";
  const auto run = RunCli({"send-queue", "--db", db, "--once", "--retry-pause", "0"});
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  for (const long id : jobs) EXPECT_EQ(queue.Job(id)->state, QLatin1String(CSendQueue::kDone));
  EXPECT_EQ(receivedUids(peerFolder), uids);
  database.Close();
  {
    QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "integrity");
    check.setDatabaseName(db);
    ASSERT_TRUE(check.open());
    QSqlQuery integrity(check);
    ASSERT_TRUE(integrity.exec(QStringLiteral("PRAGMA integrity_check")) && integrity.next());
    EXPECT_EQ(integrity.value(0).toString(), QStringLiteral("ok"));
  }
  QSqlDatabase::removeDatabase(QStringLiteral("integrity"));
}

}  // namespace
