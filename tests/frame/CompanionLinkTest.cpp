// The companion boundary: the raw hand-over through the local server and shared memory, and
// starting and stopping the companion program from the program folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtEndian>
#include <climits>

#include <sys/mman.h>

#include "frame/CompanionProtocol.h"
#include "frame/widgets/CompanionLink.h"
#include "support/CompanionFolder.h"
#include "ui/MessageSink.h"

namespace {

const QString kVantrel =
    QDir(QStringLiteral(TORASCAN_PROGRAM_DIR)).filePath(companion::kProgramName);

// Names of our own, so the tests run in parallel with each other and with a running viewer.
QString uniqueName(const char* what) {
  static int counter = 0;
  return QStringLiteral("toraScan-test-%1-%2-%3")
      .arg(what)
      .arg(QCoreApplication::applicationPid())
      .arg(++counter);
}

// Sends `block` the way the companion does: connect, write, close.
void sendBlock(const QString& server, const QList<QByteArray>& pieces) {
  QLocalSocket socket;
  socket.connectToServer(server);
  ASSERT_TRUE(socket.waitForConnected(2000)) << socket.errorString().toStdString();
  for (const QByteArray& piece : pieces) {
    socket.write(piece);
    socket.waitForBytesWritten(2000);
    QCoreApplication::processEvents();
  }
  socket.disconnectFromServer();
}

std::vector<std::uint16_t> ramp(int count) {
  std::vector<std::uint16_t> pixels(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) pixels[std::size_t(i)] = std::uint16_t(i * 2113 % 65536);
  if (count > 1) pixels.back() = 0xFFFF;
  return pixels;
}

class HandOverTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(receiver.listen()) << receiver.errorString().toStdString(); }
  void TearDown() override { shm_unlink(QFile::encodeName(shmName).constData()); }

  void putPixels(const std::vector<std::uint16_t>& pixels) {
    QString error;
    ASSERT_TRUE(companion::WriteSharedPixels(shmName, pixels, &error)) << error.toStdString();
  }

  QString serverName = uniqueName("viewer");
  QString shmName = QLatin1Char('/') + uniqueName("shm");
  RawHandOverReceiver receiver{serverName, shmName};
  QSignalSpy received{&receiver, &RawHandOverReceiver::rawImageReceived};
  QSignalSpy rejected{&receiver, &RawHandOverReceiver::handOverRejected};
};

TEST_F(HandOverTest, BlockAndSharedMemoryDeliverThePixelsExactly) {
  const std::vector<std::uint16_t> pixels = ramp(7 * 5);
  putPixels(pixels);
  // A negative centre shows that the five values are read as signed.
  sendBlock(serverName, {companion::EncodeHandOverBlock({7, 5, 14, 16383, -3})});
  ASSERT_TRUE(received.wait(5000));
  const QList<QVariant> args = received.takeFirst();
  EXPECT_EQ(args[0].value<std::vector<std::uint16_t>>(), pixels);
  EXPECT_EQ(args[1].toInt(), 7);
  EXPECT_EQ(args[2].toInt(), 5);
  EXPECT_EQ(args[3].toInt(), 14);
  EXPECT_EQ(args[4].toInt(), 16383);
  EXPECT_EQ(args[5].toInt(), -3);
  EXPECT_EQ(rejected.count(), 0);
}

TEST_F(HandOverTest, BlockIsLittleEndianInt32s) {
  const QByteArray block = companion::EncodeHandOverBlock({0x01020304, 2, 16, -1, 0});
  ASSERT_EQ(block.size(), 20);
  EXPECT_EQ(block.left(4), QByteArray("\x04\x03\x02\x01", 4));
  EXPECT_EQ(block.mid(12, 4), QByteArray("\xff\xff\xff\xff", 4));
}

TEST_F(HandOverTest, BlockArrivingInPiecesIsOneBlock) {
  putPixels(ramp(4));
  const QByteArray block = companion::EncodeHandOverBlock({2, 2, 16, 100, 50});
  sendBlock(serverName, {block.left(3), block.mid(3, 11), block.mid(14)});
  ASSERT_TRUE(received.wait(5000));
  EXPECT_EQ(received.takeFirst()[0].value<std::vector<std::uint16_t>>(), ramp(4));
}

TEST_F(HandOverTest, BlocksOfAnyOtherLengthAreIgnored) {
  putPixels(ramp(4));
  const QByteArray block = companion::EncodeHandOverBlock({2, 2, 16, 100, 50});
  const QList<QByteArray> wrong = {QByteArray(), block.left(19), block + 'x', block + block};
  for (const QByteArray& bad : wrong) {
    SCOPED_TRACE(bad.size());
    sendBlock(serverName, {bad});
    // A valid block behind it shows the wrong one was already judged, and ignored.
    sendBlock(serverName, {companion::EncodeHandOverBlock({2, 2, 16, 7, 7})});
    ASSERT_TRUE(received.wait(5000));
    ASSERT_EQ(received.count(), 1);
    EXPECT_EQ(received.takeFirst()[4].toInt(), 7);
    EXPECT_EQ(rejected.count(), 0);
  }
}

TEST_F(HandOverTest, ImagesThatDoNotFitAreRejectedWithAReason) {
  putPixels(ramp(6));  // 12 bytes: room for 3 x 2 pixels
  const struct {
    const char* what;
    companion::RawImageHeader header;
  } cases[] = {
      {"one row more than the memory holds", {3, 3, 16, 0, 0}},
      {"zero width", {0, 2, 16, 0, 0}},
      {"negative height", {3, -2, 16, 0, 0}},
      {"width past the limit", {INT_MAX, 1, 16, 0, 0}},
      // 65536 x 65536 x 2 wraps to 0 in 32 bits.
      {"product overflowing 32 bits", {65536, 65536, 16, 0, 0}},
      {"too many pixels", {32767, 32767, 16, 0, 0}},
      {"no bits stored", {3, 2, 0, 0, 0}},
      {"more than 16 bits", {3, 2, 17, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sendBlock(serverName, {companion::EncodeHandOverBlock(c.header)});
    ASSERT_TRUE(rejected.wait(5000));
    EXPECT_FALSE(rejected.takeFirst()[0].toString().isEmpty());
  }
  EXPECT_EQ(received.count(), 0);
}

TEST_F(HandOverTest, MissingSharedMemoryIsRejected) {
  sendBlock(serverName, {companion::EncodeHandOverBlock({2, 2, 16, 0, 0})});
  ASSERT_TRUE(rejected.wait(5000));
  EXPECT_TRUE(rejected.takeFirst()[0].toString().contains(shmName));
  EXPECT_EQ(received.count(), 0);
}

TEST(HandOverReceiver, ListensOverASocketLeftBehind) {
  const QString name = uniqueName("stale");
  // A viewer that died leaves its socket file behind; the next one must still listen.
  QFile stale(QDir(QDir::tempPath()).filePath(name));
  ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  stale.close();
  QLocalServer plain;
  ASSERT_FALSE(plain.listen(name)) << "the left-over file blocks a server that keeps it";
  RawHandOverReceiver receiver(name, QStringLiteral("/unused"));
  EXPECT_TRUE(receiver.listen()) << receiver.errorString().toStdString();
}

// Companion processes of one test, started from a program folder of the test's own (they
// receive DICOM on a free port): ended whatever the outcome.
class CompanionTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(companionFolder.isValid()) << kVantrel.toStdString(); }

  bool answers() const {
    QLocalSocket probe;
    probe.connectToServer(managerName);
    return probe.waitForConnected(200);
  }

  QString managerName = uniqueName("manager");
  testsupport::CompanionFolder companionFolder;
  QString programFolder = companionFolder.folder();
  QString vantrel = companionFolder.program();
};

TEST_F(CompanionTest, WholeSpineTypeZeroNeverStartsOrStops) {
  CompanionManager manager(managerName);
  manager.LaunchManager(programFolder, 0);
  EXPECT_FALSE(manager.isKnown());
  EXPECT_FALSE(answers());

  QProcess running;
  running.start(vantrel, {QStringLiteral("--manager-name"), managerName});
  ASSERT_TRUE(running.waitForStarted());
  for (int i = 0; i < 50 && !answers(); ++i) running.waitForFinished(100);
  ASSERT_TRUE(answers());
  manager.LaunchManager(programFolder, 0);
  manager.Stop();
  EXPECT_FALSE(running.waitForFinished(500));
  EXPECT_TRUE(answers());
  running.terminate();
  running.waitForFinished();
}

TEST_F(CompanionTest, MissingProgramIsNotStarted) {
  QTemporaryDir empty;
  CompanionManager manager(managerName);
  manager.LaunchManager(empty.path(), 1);
  EXPECT_FALSE(manager.isKnown());
  EXPECT_EQ(manager.processId(), 0);
}

TEST_F(CompanionTest, StartsTheProgramAndStopEndsIt) {
  CompanionManager manager(managerName);
  manager.LaunchManager(programFolder, 1);
  ASSERT_TRUE(manager.isKnown());
  EXPECT_GT(manager.processId(), 0);
  EXPECT_TRUE(answers());
  const QString socketPath = QDir(QDir::tempPath()).filePath(managerName);

  manager.Stop();
  EXPECT_FALSE(manager.isKnown());
  EXPECT_EQ(manager.processId(), 0);
  EXPECT_FALSE(answers());
  // Terminated, it still cleaned up its socket.
  EXPECT_FALSE(QFile::exists(socketPath));
}

TEST_F(CompanionTest, RunningCompanionIsFoundAndAskedToClose) {
  QProcess running;
  running.start(vantrel, {QStringLiteral("--manager-name"), managerName});
  ASSERT_TRUE(running.waitForStarted());
  for (int i = 0; i < 50 && !answers(); ++i) running.waitForFinished(100);
  ASSERT_TRUE(answers());

  CompanionManager manager(managerName);
  manager.LaunchManager(programFolder, 2);
  EXPECT_TRUE(manager.isKnown());
  EXPECT_EQ(manager.processId(), 0) << "found, not started";
  manager.Stop();
  ASSERT_TRUE(running.waitForFinished(5000));
  EXPECT_EQ(running.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(running.exitCode(), 0);
}

TEST_F(CompanionTest, SecondManagerOnTheSameNameRefusesToRun) {
  CompanionManager manager(managerName);
  manager.LaunchManager(programFolder, 1);
  ASSERT_TRUE(manager.isKnown());
  QProcess second;
  second.start(vantrel, {QStringLiteral("--manager-name"), managerName});
  ASSERT_TRUE(second.waitForFinished(5000));
  EXPECT_EQ(second.exitCode(), 1);
  EXPECT_TRUE(answers()) << "the first one still serves";
}

TEST_F(CompanionTest, AReceiverThatCannotTakeItsPortIsToldWithTheReason) {
  QTcpServer taken;
  ASSERT_TRUE(taken.listen(QHostAddress::Any, companionFolder.port()));
  RecordingMessageSink sink;
  ScopedMessageSink bound(&sink);
  CompanionManager manager(managerName);
  manager.LaunchManager(programFolder, 1);
  EXPECT_FALSE(manager.isKnown());
  ASSERT_EQ(sink.count(), 1);
  const QString port = QString::number(companionFolder.port());
  EXPECT_TRUE(sink.messages()[0].text.startsWith(
      QStringLiteral("The companion program %1 could not start:\n").arg(companion::kProgramName)))
      << sink.messages()[0].text.toStdString();
  EXPECT_TRUE(sink.messages()[0].text.contains("port " + port))
      << sink.messages()[0].text.toStdString();
  EXPECT_EQ(sink.messages()[0].caption, "Main control");
  EXPECT_EQ(sink.messages()[0].style, MB_ICONEXCLAMATION);
}

// An installed station's receiver service answers on a socket of its own: the viewer then
// starts no companion (which could not take the port) and leaves the service running at exit.
TEST_F(CompanionTest, AStationServiceThatAnswersIsUsedAndLeftRunning) {
  QTemporaryDir run;
  const QString service = run.filePath("receiver");
  QProcess running;
  running.start(vantrel, {QStringLiteral("--manager-name"), service});
  ASSERT_TRUE(running.waitForStarted());
  const auto serviceAnswers = [&service] {
    QLocalSocket probe;
    probe.connectToServer(service);
    return probe.waitForConnected(200);
  };
  for (int i = 0; i < 50 && !serviceAnswers(); ++i) running.waitForFinished(100);
  ASSERT_TRUE(serviceAnswers());

  RecordingMessageSink sink;
  ScopedMessageSink bound(&sink);
  CompanionManager manager(managerName);
  manager.SetStationService(service);
  manager.LaunchManager(programFolder, 1);
  EXPECT_EQ(sink.count(), 0) << sink.messages()[0].text.toStdString();
  EXPECT_FALSE(manager.isKnown());
  EXPECT_EQ(manager.processId(), 0);
  EXPECT_FALSE(answers());
  manager.Stop();
  EXPECT_FALSE(running.waitForFinished(500));
  running.terminate();
  EXPECT_TRUE(running.waitForFinished(5000));
}

class VantrelSendTest : public HandOverTest {
 protected:
  // Runs Vantrel with the receiver's names after `args`; returns its exit code.
  int runVantrel(QStringList args) {
    args << QStringLiteral("--server") << serverName << QStringLiteral("--shm") << shmName;
    QProcess process;
    process.start(kVantrel, args);
    EXPECT_TRUE(process.waitForStarted());
    // The receiver lives in this thread: keep its event loop turning while Vantrel sends.
    // The event loop may notice the end itself, after which waitForFinished answers false at
    // once: watch the state, and give up after a while rather than spin.
    QDeadlineTimer deadline(30000);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
      process.waitForFinished(10);
      QCoreApplication::processEvents();
    }
    EXPECT_EQ(process.state(), QProcess::NotRunning) << "Vantrel did not end";
    stderrText = QString::fromLocal8Bit(process.readAllStandardError());
    return process.exitCode();
  }
  QString stderrText;
};

TEST_F(VantrelSendTest, SyntheticImageReachesTheReceiver) {
  ASSERT_EQ(runVantrel({QStringLiteral("--send-synthetic"), QStringLiteral("64x32")}), 0)
      << stderrText.toStdString();
  ASSERT_TRUE(received.count() == 1 || received.wait(5000));
  const QList<QVariant> args = received.takeFirst();
  const auto pixels = args[0].value<std::vector<std::uint16_t>>();
  ASSERT_EQ(pixels.size(), 64u * 32u);
  EXPECT_EQ(pixels.front(), 0);
  EXPECT_EQ(pixels.back(), 4095);
  EXPECT_EQ(args[1].toInt(), 64);
  EXPECT_EQ(args[2].toInt(), 32);
  EXPECT_EQ(args[3].toInt(), 12);
  EXPECT_EQ(args[4].toInt(), 4096);
  EXPECT_EQ(args[5].toInt(), 2048);
}

TEST_F(VantrelSendTest, RawFileReachesTheReceiverWithItsWindow) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("image.raw"));
  const std::vector<std::uint16_t> pixels = {10, 20, 30, 40, 50, 4000};
  QByteArray bytes(int(pixels.size() * 2), Qt::Uninitialized);
  qToLittleEndian<std::uint16_t>(pixels.data(), qsizetype(pixels.size()), bytes.data());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  file.close();

  ASSERT_EQ(runVantrel({QStringLiteral("--send"), path, QStringLiteral("3x2x12"),
                        QStringLiteral("--window"), QStringLiteral("300"), QStringLiteral("-20")}),
            0)
      << stderrText.toStdString();
  ASSERT_TRUE(received.count() == 1 || received.wait(5000));
  QList<QVariant> args = received.takeFirst();
  EXPECT_EQ(args[0].value<std::vector<std::uint16_t>>(), pixels);
  EXPECT_EQ(args[3].toInt(), 12);
  EXPECT_EQ(args[4].toInt(), 300);
  EXPECT_EQ(args[5].toInt(), -20);

  // Without a window the image's own range is the window.
  ASSERT_EQ(runVantrel({QStringLiteral("--send"), path, QStringLiteral("3x2x12")}), 0);
  ASSERT_TRUE(received.count() == 1 || received.wait(5000));
  args = received.takeFirst();
  EXPECT_EQ(args[4].toInt(), 3990);
  EXPECT_EQ(args[5].toInt(), 2005);
}

TEST_F(VantrelSendTest, BadRequestsFailWithAMessage) {
  QTemporaryDir dir;
  const QString shortFile = dir.filePath(QStringLiteral("short.raw"));
  QFile file(shortFile);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(10, '\0'));
  file.close();
  const struct {
    QStringList args;
    int exitCode;
  } cases[] = {
      {{QStringLiteral("--send-synthetic"), QStringLiteral("64")}, 2},
      {{QStringLiteral("--send"), shortFile}, 2},
      {{QStringLiteral("--bogus")}, 2},
      {{QStringLiteral("--send"), shortFile, QStringLiteral("4x4x16")}, 1},
      {{QStringLiteral("--send"), dir.filePath(QStringLiteral("none.raw")),
        QStringLiteral("2x2x16")},
       1},
      {{QStringLiteral("--send-synthetic"), QStringLiteral("0x5")}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
    EXPECT_EQ(runVantrel(c.args), c.exitCode);
    EXPECT_FALSE(stderrText.isEmpty());
  }
  EXPECT_EQ(received.count(), 0);
}

TEST(VantrelSend, NoViewerListeningFails) {
  const QString shm = QLatin1Char('/') + uniqueName("shm");
  QProcess process;
  process.start(kVantrel,
                {QStringLiteral("--send-synthetic"), QStringLiteral("4x4"),
                 QStringLiteral("--server"), uniqueName("nobody"), QStringLiteral("--shm"), shm});
  ASSERT_TRUE(process.waitForFinished(10000));
  EXPECT_EQ(process.exitCode(), 1);
  EXPECT_TRUE(process.readAllStandardError().contains("does not answer"));
  shm_unlink(QFile::encodeName(shm).constData());
}

}  // namespace
