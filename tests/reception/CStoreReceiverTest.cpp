// The receiver inside the test process: which UIDs may name a file, which settings can serve,
// what a start finds in the folder, and the sockets it answers on.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <thread>

#include <netinet/tcp.h>

#include "CStoreReceiver.h"
#include "app/CompanionSettings.h"
#include "image/InstanceUid.h"
#include "reception/ReceptionSupport.h"

namespace {

TEST(CStoreReceiver, OnlyPlainUidsMayNameAFile) {
  const struct {
    QString uid;
    bool safe;
  } cases[] = {
      {"1.2.840.10008.5.1.4.1.1.1", true},
      {"0", true},
      {QString(64, '1'), true},
      {QString(65, '1'), false},
      {"", false},
      {".", false},
      {"..", false},
      {".1.2", false},  // would hide from the watcher
      {"1.2.", false},
      {"1..2", false},
      {"../../etc/passwd", false},
      {"1.2/3", false},
      {"1.2\\3", false},
      {"1.2 ", false},
      {"1.2\n", false},
      {QString::fromUtf8("1.\u0662"), false},  // a digit, but not an ASCII one
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uid.toStdString());
    EXPECT_EQ(IsSafeInstanceUid(c.uid), c.safe);
  }
}

TEST(CStoreReceiver, SettingsThatCannotServeGiveAReason) {
  const struct {
    QString port;
    QString aeTitle;
    bool serves;
  } cases[] = {
      {"1205", "VANTREL", true},
      {"104", "A", true},
      {"65535", "SIXTEEN_LETTERS_", true},
      {"0", "VANTREL", false},
      {"65536", "VANTREL", false},
      {"", "VANTREL", false},
      {"12o5", "VANTREL", false},
      {"-1", "VANTREL", false},
      {"1205", "", false},
      {"1205", "   ", false},
      {"1205", "SEVENTEEN_LETTERS", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE((c.port + " / " + c.aeTitle).toStdString());
    CompanionSettings settings;
    settings.localPort = c.port;
    settings.localAE = c.aeTitle;
    ReceiverConfig config;
    const QString reason = ReceiverConfigFrom(settings, &config);
    EXPECT_EQ(reason.isEmpty(), c.serves) << reason.toStdString();
    if (c.serves) {
      EXPECT_EQ(config.port, c.port.toUInt());
      EXPECT_EQ(config.folder, settings.wholeSpinePath());
    }
  }
}

ReceiverConfig configFor(const QString& folder) {
  ReceiverConfig config;
  config.aeTitle = QStringLiteral("VANTREL");
  config.port = testsupport::FreeTcpPort();
  config.folder = folder;
  return config;
}

void touch(const QString& path) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("x");
}

TEST(CStoreReceiver, StartRemovesOnlyThePartialFilesAnInterruptedRunLeft) {
  QTemporaryDir dir;
  const QString folder = dir.filePath("drop/CR_1205");  // made with its parents
  ASSERT_TRUE(QDir().mkpath(folder));
  const QStringList ours = {".vantrel-3.part", ".vantrel-17.part"};
  const QStringList others = {"1.2.3.dcm", ".vantrel-3", "vantrel-3.part", ".other.part",
                              "1.2.3.dcm.part"};
  for (const QString& name : ours + others) touch(QDir(folder).filePath(name));

  CStoreReceiver receiver(configFor(folder));
  ASSERT_EQ(receiver.open(), QString());
  QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
  QStringList expected = others;
  left.sort();
  expected.sort();
  EXPECT_EQ(left, expected);
}

TEST(CStoreReceiver, MissingDropFolderIsMadeWithItsParents) {
  QTemporaryDir dir;
  const QString folder = dir.filePath("a/b/CR_104");
  CStoreReceiver receiver(configFor(folder));
  ASSERT_EQ(receiver.open(), QString());
  EXPECT_TRUE(QFileInfo(folder).isDir());
}

// Without TCP_NODELAY each answer waits for the peer's delayed acknowledgement (tens of
// milliseconds per instance).
TEST(CStoreReceiver, AnswersOnSocketsWithoutNagleDelay) {
  QTemporaryDir dir;
  CStoreReceiver receiver(configFor(dir.path()));
  ASSERT_EQ(receiver.open(), QString());
  QString failure;
  std::thread serving([&] { failure = receiver.serve(); });

  {
    reception::TestScu scu(receiver.config().port);
    ASSERT_TRUE(scu.connect().good());
    ASSERT_TRUE(scu.sendECHORequest(0).good());
    int accepted = 0;
    for (const auto& socket : reception::ConnectedSockets()) {
      if (socket.localPort != receiver.config().port) continue;
      ++accepted;
      int noDelay = 0;
      socklen_t size = sizeof noDelay;
      ASSERT_EQ(getsockopt(socket.fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, &size), 0);
      EXPECT_EQ(noDelay, 1);
    }
    EXPECT_EQ(accepted, 1);
    scu.releaseAssociation();
  }
  receiver.requestStop();
  serving.join();
  EXPECT_EQ(failure, QString());
}

}  // namespace
