#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

// The single-instance hand-over. A second copy of the viewer (a DICOM file double-clicked in
// the file manager while the viewer runs) passes its whole command line, files as absolute
// paths, to the running copy over a local socket and ends; the running copy comes to the front
// and opens them.
class InstanceHandOver : public QObject {
  Q_OBJECT

 public:
  explicit InstanceHandOver(QString serverName, QObject* parent = nullptr);

  // The running copy's side: listens under the name (the socket a copy that died left behind
  // is removed first). False when the name cannot be taken.
  bool Listen();

  // The second copy's side: the arguments to the copy listening under serverName. False when
  // none answered within timeoutMs.
  static bool Send(const QString& serverName, const QStringList& arguments, int timeoutMs);

  // What a second copy may send at most; a longer message is dropped unread.
  static constexpr qint64 kMaxMessageBytes = 1 << 20;

 signals:
  // A second copy's command line as it sent it; empty when the message was not one (the window
  // is still raised for it).
  void argumentsReceived(const QStringList& arguments);

 private:
  QString m_serverName;
  QLocalServer* m_server;
};
