#pragma once

// SIGTERM and SIGINT (a desktop session ending, `kill`, Ctrl+C in a terminal) turned into an
// ordinary event: a signal handler may do almost nothing, so it only writes a byte into a socket
// pair, and a notifier on the other end runs the program's normal way out in the event loop.

#include <QObject>
#include <functional>

class QSocketNotifier;

class StopSignals : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers for the whole process; `stop` runs in the event loop once per signal.
  // One instance per process.
  explicit StopSignals(std::function<void()> stop, QObject* parent = nullptr);
  ~StopSignals() override;

  // False when the socket pair could not be made (the signals then end the process as before).
  bool isActive() const { return m_notifier != nullptr; }

 private:
  std::function<void()> m_stop;
  QSocketNotifier* m_notifier = nullptr;
};
