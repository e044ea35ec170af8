// A second copy of the viewer hands its command line to the running copy, which opens the
// files: a file double-clicked while the viewer runs opens there.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include "app/widgets/InstanceHandOver.h"

namespace {

QString uniqueName() {
  static int counter = 0;
  return QStringLiteral("toraScan-test-instance-%1-%2")
      .arg(QCoreApplication::applicationPid())
      .arg(++counter);
}

// The second copy runs in a process of its own; here a thread of its own, so that the running
// copy's event loop answers while it sends.
bool sendFromSecondCopy(const QString& name, const QStringList& arguments) {
  bool sent = false;
  QThread* copy = QThread::create([&] { sent = InstanceHandOver::Send(name, arguments, 2000); });
  copy->start();
  while (!copy->wait(10)) QCoreApplication::processEvents();
  delete copy;
  return sent;
}

TEST(InstanceHandOver, TheRunningCopyGetsTheSecondCopysCommandLineWhole) {
  const QString name = uniqueName();
  InstanceHandOver running(name);
  ASSERT_TRUE(running.Listen());
  QSignalSpy received(&running, &InstanceHandOver::argumentsReceived);
  const QList<QStringList> commandLines = {
      {"/usr/bin/toraScan", "/home/kim/Bilder/Thorax PA (2).dcm"},
      {"/usr/bin/toraScan", "/tmp/a.dcm", "/tmp/b.dcm", "--layout", "1x2"},
      {"/usr/bin/toraScan", QString::fromUtf8("/srv/患者/ßildé.dcm")},
      {"/usr/bin/toraScan", "/tmp/" + QString(200000, QLatin1Char('x')) + ".dcm"},
      {"/usr/bin/toraScan"},
  };
  for (const QStringList& arguments : commandLines) {
    ASSERT_TRUE(sendFromSecondCopy(name, arguments));
    ASSERT_TRUE(received.wait(2000) || !received.isEmpty());
    EXPECT_EQ(received.takeFirst().at(0).toStringList(), arguments);
  }
}

TEST(InstanceHandOver, NoRunningCopyIsReportedAtOnce) {
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(InstanceHandOver::Send(uniqueName(), {"/usr/bin/toraScan", "/tmp/a.dcm"}, 2000));
  EXPECT_LT(clock.elapsed(), 2000);
}

// Anything else on the socket (a client of another kind, an oversized message) only raises the
// window: no argument is taken from it.
TEST(InstanceHandOver, AMessageThatIsNoCommandLineHandsNothing) {
  const QString name = uniqueName();
  InstanceHandOver running(name);
  ASSERT_TRUE(running.Listen());
  QSignalSpy received(&running, &InstanceHandOver::argumentsReceived);
  const QByteArray oversized(int(InstanceHandOver::kMaxMessageBytes) + 1000, '\x7f');
  for (const QByteArray& message : {QByteArray("raise"), QByteArray(), oversized}) {
    QThread* copy = QThread::create([&] {
      QLocalSocket socket;
      socket.connectToServer(name);
      if (!socket.waitForConnected(2000)) return;
      socket.write(message);
      while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(2000)) {
      }
      socket.disconnectFromServer();
      if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(2000);
    });
    copy->start();
    while (!copy->wait(10)) QCoreApplication::processEvents();
    delete copy;
    ASSERT_TRUE(received.wait(2000) || !received.isEmpty()) << message.size();
    EXPECT_EQ(received.takeFirst().at(0).toStringList(), QStringList()) << message.size();
  }
}

}  // namespace
