#include "ManagerServer.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTextStream>
#include <csignal>
#include <thread>

#include <pthread.h>

#include <dcmtk/oflog/oflog.h>

#include "CStoreReceiver.h"
#include "app/CompanionSettings.h"
#include "app/InstallLayout.h"
#include "app/StopSignals.h"
#include "frame/CompanionProtocol.h"

namespace {

bool anotherManagerRuns(const QString& serverName) {
  QLocalSocket probe;
  probe.connectToServer(serverName);
  return probe.waitForConnected(100);
}

// The receiver serves on a thread of its own that never takes SIGTERM or SIGINT: they belong to
// the event loop, and a signal landing in the middle of a network read must not cut a transfer.
std::thread startReceiving(CStoreReceiver& receiver, QString& failure) {
  sigset_t stopSignals, previous;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
  std::thread thread([&receiver, &failure] {
    failure = receiver.serve();
    // A receiver that fails ends the program; after a stop request the loop has ended already.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return thread;
}

}  // namespace

int RunManager(const QString& serverName) {
  QTextStream err(stderr);
  if (anotherManagerRuns(serverName)) {
    err << "Vantrel: a manager already serves \"" << serverName << "\"\n";
    return 1;
  }
  // dcmnet tells of every association at the info level; warnings and errors are enough here.
  OFLog::configure(OFLogger::WARN_LOG_LEVEL);
  ReceiverConfig config;
  QString problem = ReceiverConfigFrom(
      CompanionSettings::Read(InstallLayout::ForThisProcess().settings), &config);
  CStoreReceiver receiver(config);
  if (problem.isEmpty()) problem = receiver.open();
  if (!problem.isEmpty()) {
    err << "Vantrel: " << problem << '\n';
    return 1;
  }
  // SIGTERM (how the viewer stops a companion it started) leaves the event loop like a close
  // request, so the server's socket file is removed on the way out.
  const StopSignals stopSignals([] { QCoreApplication::quit(); });
  QLocalServer server;
  QLocalServer::removeServer(serverName);  // left behind by a manager that was killed
  if (!server.listen(serverName)) {
    err << "Vantrel: cannot serve \"" << serverName << "\": " << server.errorString() << '\n';
    return 1;
  }
  const QByteArray closeRequest(companion::kCloseRequest);
  QObject::connect(&server, &QLocalServer::newConnection, &server, [&server, closeRequest] {
    while (QLocalSocket* socket = server.nextPendingConnection()) {
      // Probes that only look for the manager connect and leave without a word.
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, closeRequest] {
        const QByteArray request = socket->peek(closeRequest.size() + 1);
        if (request == closeRequest) QCoreApplication::quit();
        if (request.size() > closeRequest.size() || !closeRequest.startsWith(request))
          socket->abort();  // not ours: drop the connection
      });
    }
  });
  QTextStream(stdout) << "Vantrel: " << config.aeTitle << " receives on port " << config.port
                      << " into " << config.folder << Qt::endl;
  QString failure;
  std::thread receiving = startReceiving(receiver, failure);
  const int status = QCoreApplication::exec();
  receiver.requestStop();
  receiving.join();
  if (!failure.isEmpty()) {
    err << "Vantrel: receiving stopped: " << failure << '\n';
    return 1;
  }
  return status;
}
