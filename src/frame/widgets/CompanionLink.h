#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

#include "frame/CompanionProtocol.h"

class QLocalServer;
class QLocalSocket;
class QProcess;

// Takes raw images from the companion program: it connects to our local server, sends the
// 20-byte hand-over block and closes; the pixels wait in the shared-memory object.
class RawHandOverReceiver : public QObject {
  Q_OBJECT

 public:
  explicit RawHandOverReceiver(QString serverName = companion::kViewerServerName,
                               QString sharedMemoryName = companion::kSharedMemoryName,
                               QObject* parent = nullptr);
  ~RawHandOverReceiver() override;

  // Starts listening, replacing a socket left behind by a viewer that died. False with
  // errorString() set when the server cannot listen.
  bool listen();
  QString errorString() const { return m_error; }
  QString serverName() const { return m_serverName; }

 signals:
  void rawImageReceived(std::vector<std::uint16_t> pixels, int width, int height, int bits,
                        int windowWidth, int windowCentre);
  // A block of the right length whose image could not be taken; blocks of any other length
  // are ignored without a word, as the companion expects.
  void handOverRejected(QString reason);

 private:
  void acceptConnections();
  void finishBlock(QLocalSocket* socket);

  QString m_serverName;
  QString m_sharedMemoryName;
  QLocalServer* m_server = nullptr;
  QString m_error;
};

// Starts the companion program with the main window and stops it with it.
class CompanionManager : public QObject {
  Q_OBJECT

 public:
  explicit CompanionManager(QString managerServerName = companion::kManagerServerName,
                            QObject* parent = nullptr);
  // Stops the companion like Stop(): the main frame goes, so does what it started.
  ~CompanionManager() override;

  // Only when wholeSpineType is non-zero and the program exists in programFolder: finds a
  // running companion by its server, or starts one and waits (up to startTimeoutMs) until it
  // answers. A companion that cannot be started, or ends before it answers (its port taken,
  // say), is told under the caption "Main control" with the reason it gives.
  void LaunchManager(const QString& programFolder, int wholeSpineType);
  // The socket of the station's receiver service (an installed station's; empty: none). While
  // it answers, the station receives without a companion of ours: LaunchManager starts none
  // and Stop leaves the service alone.
  void SetStationService(QString socketPath) { m_stationService = std::move(socketPath); }
  // Terminates a companion we started, asks one we found to close; then forgets it.
  void Stop();

  bool isKnown() const { return m_known; }
  // Process id of the companion we started; 0 when we found it running or know none.
  qint64 processId() const;

  static constexpr int startTimeoutMs = 5000;

 private:
  static bool answers(const QString& serverName);
  bool companionAnswers() const { return answers(m_serverName); }
  void sendCloseRequest() const;
  void reportNotStarted(QString reason) const;

  QString m_serverName;
  QString m_stationService;
  QProcess* m_process = nullptr;
  bool m_known = false;
};
