#include "ManagerServer.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <memory>

#include <sys/socket.h>
#include <unistd.h>

#include "frame/CompanionProtocol.h"

namespace {

int g_signalFds[2] = {-1, -1};

void onTerminate(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(g_signalFds[0], &byte, 1);
}

// SIGTERM (how the viewer stops a companion it started) leaves the event loop like a close
// request, so the server's socket file is removed on the way out.
std::unique_ptr<QSocketNotifier> quitOnTerminate() {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0) return nullptr;
  struct sigaction action {};
  action.sa_handler = onTerminate;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  auto notifier = std::make_unique<QSocketNotifier>(g_signalFds[1], QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
  return notifier;
}

bool anotherManagerRuns(const QString& serverName) {
  QLocalSocket probe;
  probe.connectToServer(serverName);
  return probe.waitForConnected(100);
}

}  // namespace

int RunManager(const QString& serverName) {
  QTextStream err(stderr);
  if (anotherManagerRuns(serverName)) {
    err << "Vantrel: a manager already serves \"" << serverName << "\"\n";
    return 1;
  }
  const auto notifier = quitOnTerminate();
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
  return QCoreApplication::exec();
}
