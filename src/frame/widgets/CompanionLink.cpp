#include "frame/widgets/CompanionLink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "ui/MessageSink.h"

namespace {

// A companion that connects and never finishes its block is dropped after this long.
constexpr int kBlockTimeoutMs = 5000;
// How long a terminated companion gets to go before it is killed.
constexpr int kTerminateWaitMs = 2000;

}  // namespace

RawHandOverReceiver::RawHandOverReceiver(QString serverName, QString sharedMemoryName,
                                         QObject* parent)
    : QObject(parent),
      m_serverName(std::move(serverName)),
      m_sharedMemoryName(std::move(sharedMemoryName)),
      m_server(new QLocalServer(this)) {
  connect(m_server, &QLocalServer::newConnection, this, &RawHandOverReceiver::acceptConnections);
}

RawHandOverReceiver::~RawHandOverReceiver() = default;

bool RawHandOverReceiver::listen() {
  if (m_server->isListening()) return true;
  // Only one viewer runs at a time, so a socket file already there was left by one that died.
  QLocalServer::removeServer(m_serverName);
  if (!m_server->listen(m_serverName)) {
    m_error = m_server->errorString();
    return false;
  }
  m_error.clear();
  return true;
}

void RawHandOverReceiver::acceptConnections() {
  while (QLocalSocket* socket = m_server->nextPendingConnection()) {
    // The block is whatever arrives before the companion closes; a byte past the block's size
    // already makes it invalid, so no more than that is kept.
    auto block = std::make_shared<QByteArray>();
    const auto collect = [socket, block] {
      const QByteArray data = socket->readAll();
      if (block->size() <= companion::kHandOverBlockSize)
        block->append(data.left(companion::kHandOverBlockSize + 1 - block->size()));
    };
    connect(socket, &QLocalSocket::readyRead, socket, collect);
    connect(socket, &QLocalSocket::disconnected, this, [this, socket, block, collect] {
      collect();
      socket->deleteLater();
      const auto header = companion::DecodeHandOverBlock(*block);
      if (!header) return;
      std::vector<std::uint16_t> pixels;
      QString error;
      if (!companion::ReadSharedPixels(m_sharedMemoryName, *header, pixels, &error)) {
        emit handOverRejected(error);
        return;
      }
      emit rawImageReceived(std::move(pixels), header->width, header->height, header->bitsStored,
                            header->windowWidth, header->windowCentre);
    });
    QTimer::singleShot(kBlockTimeoutMs, socket, [this, socket] {
      disconnect(socket, nullptr, this, nullptr);
      socket->abort();
      socket->deleteLater();
    });
  }
}

CompanionManager::CompanionManager(QString managerServerName, QObject* parent)
    : QObject(parent), m_serverName(std::move(managerServerName)) {}

CompanionManager::~CompanionManager() { Stop(); }

qint64 CompanionManager::processId() const { return m_process ? m_process->processId() : 0; }

bool CompanionManager::answers(const QString& serverName) {
  QLocalSocket probe;
  probe.connectToServer(serverName);
  const bool answers = probe.waitForConnected(100);
  probe.abort();
  return answers;
}

void CompanionManager::sendCloseRequest() const {
  QLocalSocket socket;
  socket.connectToServer(m_serverName);
  if (!socket.waitForConnected(1000)) return;
  socket.write(companion::kCloseRequest);
  socket.waitForBytesWritten(1000);
  socket.disconnectFromServer();
}

void CompanionManager::LaunchManager(const QString& programFolder, int wholeSpineType) {
  if (wholeSpineType == 0 || m_known) return;
  if (!m_stationService.isEmpty() && answers(m_stationService)) return;
  const QString path = QDir(programFolder).filePath(QString::fromLatin1(companion::kProgramName));
  if (!QFileInfo(path).isFile()) return;
  if (companionAnswers()) {
    m_known = true;
    return;
  }
  auto process = std::make_unique<QProcess>(this);
  QStringList arguments;
  // The companion serves the well-known name unless told another (tests run beside a viewer).
  if (m_serverName != QLatin1String(companion::kManagerServerName))
    arguments << QStringLiteral("--manager-name") << m_serverName;
  // Its error channel tells why it could not start; what it says later goes on to ours.
  process->setStandardOutputFile(QProcess::nullDevice());
  process->start(path, arguments);
  if (!process->waitForStarted()) {
    reportNotStarted(process->errorString());
    return;
  }
  QElapsedTimer waited;
  waited.start();
  while (!companionAnswers() && waited.elapsed() < startTimeoutMs) {
    if (process->waitForFinished(20)) {  // it went away again: nothing to remember
      const QString said = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
      reportNotStarted(said.isEmpty()
                           ? QStringLiteral("it ended with exit code %1").arg(process->exitCode())
                           : said);
      return;
    }
  }
  QProcess* started = process.get();
  connect(started, &QProcess::readyReadStandardError, this,
          [started] { std::fputs(started->readAllStandardError().constData(), stderr); });
  QThread::msleep(50);
  m_process = process.release();
  m_known = true;
}

void CompanionManager::reportNotStarted(QString reason) const {
  // The companion's own lines begin with its name; the message names it once.
  const QString prefix = QString::fromLatin1(companion::kProgramName) + QStringLiteral(": ");
  reason.replace(prefix, QString());
  ShowMessage(QStringLiteral("The companion program %1 could not start:\n%2")
                  .arg(QString::fromLatin1(companion::kProgramName), reason),
              QStringLiteral("Main control"), MB_ICONEXCLAMATION);
}

void CompanionManager::Stop() {
  if (!m_known) return;
  if (m_process) {
    m_process->terminate();
    if (!m_process->waitForFinished(kTerminateWaitMs)) {
      m_process->kill();
      m_process->waitForFinished(kTerminateWaitMs);
    }
    delete m_process;
    m_process = nullptr;
  } else {
    sendCloseRequest();
  }
  m_known = false;
}
