// The real viewer as an operator's session runs it: its own program folder in the station mode,
// which starts the companion with it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

#include "frame/CompanionProtocol.h"
#include "support/CompanionFolder.h"

namespace {

// The process running `program`, or 0.
qint64 processRunning(const QString& program) {
  const QString wanted = QFileInfo(program).canonicalFilePath();
  for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    bool number = false;
    const qint64 pid = entry.toLongLong(&number);
    if (!number) continue;
    const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    if (exe != wanted) continue;
    // A zombie has ended; only its parent has not looked yet.
    QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
    if (status.open(QIODevice::ReadOnly) && status.readAll().contains(") Z ")) continue;
    return pid;
  }
  return 0;
}

qint64 waitForProcess(const QString& program, bool running, int timeoutMs) {
  for (int waited = 0;; waited += 50) {
    const qint64 pid = processRunning(program);
    if ((pid != 0) == running || waited >= timeoutMs) return pid;
    QThread::msleep(50);
  }
}

// A copy of the built viewer beside the companion of a CompanionFolder, in the station mode.
bool prepareViewer(const testsupport::CompanionFolder& companion) {
  // The viewer carries its database schemas; every other file of the folder is optional.
  const QDir folder(companion.folder());
  if (!QFile::copy(QDir(QStringLiteral(TORASCAN_PROGRAM_DIR)).filePath(QStringLiteral("toraScan")),
                   folder.filePath(QStringLiteral("toraScan"))))
    return false;
  QFile ini(folder.filePath(QStringLiteral("Pelmora.ini")));
  return ini.open(QIODevice::WriteOnly) &&
         ini.write("[SYSTEM]\nWholeSpineType=1\nWholeSpinePath=" +
                   QFile::encodeName(companion.dropFolder()) + "\n") > 0;
}

TEST(ViewerProcess, StopSignalsEndTheViewerAndItsCompanionAsExitDoes) {
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    testsupport::CompanionFolder companion;
    ASSERT_TRUE(companion.isValid());
    ASSERT_TRUE(prepareViewer(companion));
    // Local sockets of its own (the companion's is found by a well-known name).
    QTemporaryDir sockets;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), sockets.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess viewer;
    viewer.setProcessEnvironment(environment);
    viewer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    viewer.start(QDir(companion.folder()).filePath(QStringLiteral("toraScan")));
    ASSERT_TRUE(viewer.waitForStarted());
    const qint64 companionPid = waitForProcess(companion.program(), true, 20000);
    ASSERT_NE(companionPid, 0) << "the viewer starts its companion";

    ::kill(pid_t(viewer.processId()), signal);
    EXPECT_TRUE(viewer.waitForFinished(20000));
    EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(waitForProcess(companion.program(), false, 5000), 0) << "the companion stopped";
    // Whatever the outcome, nothing of this test keeps running.
    if (viewer.state() != QProcess::NotRunning) {
      viewer.kill();
      viewer.waitForFinished();
    }
    if (processRunning(companion.program()) == companionPid) ::kill(pid_t(companionPid), SIGKILL);
  }
}

}  // namespace
