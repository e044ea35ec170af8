#include "app/widgets/InstanceHandOver.h"

#include <QDataStream>
#include <QIODevice>
#include <QLocalServer>
#include <QLocalSocket>
#include <memory>

InstanceHandOver::InstanceHandOver(QString serverName, QObject* parent)
    : QObject(parent), m_serverName(std::move(serverName)), m_server(new QLocalServer(this)) {
  connect(m_server, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
      // The message is whole when the sender closes its end.
      auto message = std::make_shared<QByteArray>();
      connect(socket, &QLocalSocket::readyRead, socket, [socket, message] {
        message->append(socket->readAll());
        if (message->size() > kMaxMessageBytes) {
          message->clear();
          socket->abort();
        }
      });
      connect(socket, &QLocalSocket::disconnected, this, [this, socket, message] {
        if (socket->bytesAvailable() > 0) message->append(socket->readAll());
        socket->deleteLater();
        QDataStream in(*message);
        QStringList arguments;
        in >> arguments;
        if (in.status() != QDataStream::Ok || !in.atEnd()) arguments.clear();
        emit argumentsReceived(arguments);
      });
    }
  });
}

bool InstanceHandOver::Listen() {
  QLocalServer::removeServer(m_serverName);
  return m_server->listen(m_serverName);
}

bool InstanceHandOver::Send(const QString& serverName, const QStringList& arguments,
                            int timeoutMs) {
  QByteArray message;
  QDataStream out(&message, QIODevice::WriteOnly);
  out << arguments;
  QLocalSocket socket;
  socket.connectToServer(serverName);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(message);
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
  }
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
  return true;
}
