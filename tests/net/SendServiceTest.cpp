// The send queue worked on threads of its own while the caller's thread stays free: jobs to
// two nodes go out, and every change reaches the caller's thread as a signal.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <map>

#include "db/DaoDatabase.h"
#include "net/NetTestSupport.h"
#include "net/SendService.h"

namespace {

TEST(SendService, WorksJobsToSeveralNodesOffTheCallersThread) {
  QTemporaryDir dir;
  const QString db = dir.filePath(QStringLiteral("Pelmora.db"));
  const QString files = dir.filePath(QStringLiteral("files"));
  ASSERT_TRUE(QDir().mkpath(files));
  for (int i = 1; i <= 6; ++i) {
    ASSERT_TRUE(nettest::WriteCrFile(QDir(files).filePath(QStringLiteral("%1.dcm").arg(i)),
                                     "1.2.826.0.1.3680043.2.1125.79." + std::to_string(i),
                                     EXS_LittleEndianExplicit, i <= 3 ? "A" : "B", i));
  }
  ASSERT_EQ(nettest::RunCli({"import", "--db", db, files}).status, 0);
  nettest::Storescp first(dir.filePath(QStringLiteral("first")), {});
  nettest::Storescp second(dir.filePath(QStringLiteral("second")), {});
  ASSERT_TRUE(first.waitUntilListening());
  ASSERT_TRUE(second.waitUntilListening());
  for (const auto& [name, port] : {std::pair{"ONE", first.port()}, {"TWO", second.port()}}) {
    ASSERT_EQ(nettest::RunCli({"node", "add", "--db", db, "--name", name, "--ae", "STORESCP",
                               "--host", "127.0.0.1", "--port", QString::number(port)})
                  .status,
              0);
  }
  CDaoDatabase database;
  ASSERT_TRUE(database.Open(db));
  CSendQueue queue(database);
  const long one = queue.Enqueue(QStringLiteral("ONE"), queue.Select({{"A"}, {}, {}, {}}));
  const long two = queue.Enqueue(QStringLiteral("TWO"), queue.Select({{"B"}, {}, {}, {}}));

  CSendService service(db, NetworkOptions{}, RetryPolicy{});
  std::map<long, SendJob> seen;
  bool inCallersThread = true;
  QObject::connect(&service, &CSendService::jobChanged, &service, [&](const SendJob& job) {
    inCallersThread = inCallersThread && QThread::currentThread() == qApp->thread();
    seen[job.id] = job;
  });
  service.Start();
  service.Wake();
  QDeadlineTimer deadline(30000);
  const auto done = [&](long id) {
    return seen.count(id) && seen[id].state == QLatin1String(CSendQueue::kDone);
  };
  while (!(done(one) && done(two)) && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  service.Stop();
  EXPECT_TRUE(done(one));
  EXPECT_TRUE(done(two));
  EXPECT_EQ(seen[one].sent, 3);
  EXPECT_TRUE(inCallersThread);
  EXPECT_EQ(QDir(dir.filePath(QStringLiteral("first"))).entryList(QDir::Files).size(), 3);
  EXPECT_EQ(QDir(dir.filePath(QStringLiteral("second"))).entryList(QDir::Files).size(), 3);
}

}  // namespace
